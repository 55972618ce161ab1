// CSelectCard: one player's card in the character select: a copy of the
// layout's "Chara" group placed in its column, holding one participant
// record. What the card shows is derived from the record by the Set
// operations only, so taking a record (Apply) reproduces a card whole.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/LayerState.h"
#include "game/battle/scene/ConsoleBase.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>

class CSceneObject;
class CSkillList;
class CSkillSetting;
struct CBattleEntry;

namespace select_card {

// Words of the card record; 0..25 have the battle entry's layout.
enum Word : u32 {
    kKind = 0,
    kCharacter = 1,
    kDrawnCharacter = 2,
    kTeam = 3,
    kType = 4,
    kDrawnType = 5,
    kHand = 6,
    kColour = 7,
    kMusic = 9,
    kSkill0 = 10,   // 10..12, one per skill kind
    kCpuSkill = 13,
    kEntryWords = 26,
    kSlot = 26,
    kLocal = 27,
    kNetwork = 28,
    kReady = 29,
    kRecordWords = 30,
};

enum Row : u32 { kRowPlayer, kRowTeam, kRowName, kRowColour, kRowType, kRowCustom, kRowCpuSkill, kRowHand, kRowCount };

inline constexpr u32 kKindComputer = 4;
inline constexpr u32 kKindNone = 5;
inline constexpr u32 kCharacters = 18;
inline constexpr u32 kRandom = 18;
inline constexpr u32 kNobody = 19;
inline constexpr u32 kEntries = 20;   // 18 characters, random, nobody
inline constexpr u32 kSkillKinds = 3;
inline constexpr u32 kOrbCount = 45;
inline constexpr f32 kColumn = 244.0f;
inline constexpr f32 kPopSeconds = 0.3f;
inline constexpr f32 kBounceSeconds = menu::kArrowBounceTime;

// The computer's skill sets (1-based skill-list positions).
inline constexpr u32 kCpuSkillSets = 26;
extern const u32 kCpuSkillTable[kCpuSkillSets][3];

// Element names of a row: value, left and right arrow, two cursor parts.
struct RowNames {
    const char* value;
    const char* left;
    const char* right;
    const char* cursor[2];
};
extern const RowNames kRowNames[kRowCount];

// The orb element names "rei_geki0e".. by orb number (0..44); the select
// scene's large orbs drop the "e".
const char* OrbElementName(u32 orb, bool small);

// The skill list's record of a 1-based position, or null (0, beyond the
// list, or no list).
const CSkillSetting* SkillAt(const CSkillList* skills, u32 position);

}  // namespace select_card

class CSelectCard : public CConsoleBase {
    ORV_VALUE_CLASS(CSelectCard)

public:
    CSelectCard() = default;
    CSelectCard(CScene* owner, const CBattleEntry& entry);
    CSelectCard(const CSelectCard&) = default;
    CSelectCard& operator=(const CSelectCard&) = delete;
    ~CSelectCard() override;

    i32 Update(u32 argument) override;
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    // Builds the card: a copy of source in source's owner list (which owns
    // it), its elements found by name, placed in slot's column. 1; 0 for a
    // null source (the card then draws nothing).
    i32 Load(u32 slot, u32 local, CSceneObject* source);

    void Increase(u32 row);
    void Decrease(u32 row);
    // Takes a participant entry (26 words); slot and flags stay.
    void Apply(const u32* entry);

    void ShowRow(u32 row);
    void HideRows();
    // The cursor parts of row from moved toward row to by fraction.
    void BlendRowCursor(u32 from, u32 to, f32 fraction);

    void SetKind(u32 kind);
    void SetTeam(u32 team);
    void SetCharacter(u32 character, bool upward);
    void SetColour(u32 colour);
    void SetType(u32 type);
    void SetHand(u32 hand);
    void SetSkills(const u32* skills);
    void SetCpuSkill(u32 flag);
    void SetReady(u32 flag);
    void SetNetwork(u32 flag) { m_record[select_card::kNetwork] = flag; }
    void PickCpuSkills();

    const u32* GetRecord() const { return m_record; }
    u32 Word(u32 i) const { return i < select_card::kRecordWords ? m_record[i] : 0; }
    bool IsRandomComputer() const
    {
        return m_record[select_card::kKind] == select_card::kKindComputer &&
            m_record[select_card::kCharacter] == select_card::kRandom;
    }
    CSceneObject* GetGroup() const { return m_group; }
    // An element of the copy by name (null without a group).
    CSceneObject* Element(const char* name) const;
    f32 GetPopTime() const { return m_popTime; }
    // The offset of a row's moving arrow (0 while still).
    f32 ArrowOffset(u32 row) const;

private:
    struct RowParts {
        CSceneObject* left = nullptr;
        CSceneObject* right = nullptr;
        CSceneObject* cursor[2] = {};
        f32 time = 0.0f;
        u32 direction = 0;
        u32 active = 0;
    };
    struct CharacterParts {
        CSceneObject* name = nullptr;
        CSceneObject* portrait = nullptr;
        CSceneObject* image = nullptr;
        CSceneObject* types[2] = {};
    };
    enum Named : u32 { kElImage, kElPlayer, kElName, kElTeam, kElColour, kElType, kElCustom, kElHand, kElCpuSkill, kElOk, kElHandItem, kNamedCount };

    void FindElements();
    void ShowCharacter(u32 character);
    void LookUpSkills(u32 character, u32 type);
    // The skill look-up after a character or type change.
    void RefreshSkills();
    void StartBounce(u32 row, u32 direction);
    const CSkillList* Skills() const;

    CSceneObject* m_group = nullptr;   // in the layout's list, which owns it
    u32 m_record[select_card::kRecordWords] = {};
    f32 m_popTime = select_card::kPopSeconds;
    CLayerState m_state;
    CSceneObject* m_named[kNamedCount] = {};
    CSceneObject* m_kinds[6] = {};
    CSceneObject* m_teams[4] = {};
    CSceneObject* m_colours[4] = {};
    CSceneObject* m_orbs[select_card::kOrbCount] = {};
    CSceneObject* m_mystery[select_card::kSkillKinds] = {};
    CSceneObject* m_empty[select_card::kSkillKinds] = {};
    CSceneObject* m_cpuOff = nullptr;
    CSceneObject* m_cpuOn = nullptr;
    CharacterParts m_characters[select_card::kEntries];
    RowParts m_rows[select_card::kRowCount];
};

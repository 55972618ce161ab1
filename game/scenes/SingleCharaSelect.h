// CSingleCharaSelect: player 1's character, colour and orbs before the
// story, adventure or survival mode.
//
// The set-up's mode flags say which mode follows (survival over adventure
// over story). Survival offers a random entry after the 18 characters. The
// orbs come from the save data's sets of (character, player 0, colour) and
// are checked against the skill list when read: an orb past the list, of
// the wrong kind for its slot, or locked is none.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBattleSetup;
class CCamera;
class CSaveData;
class CSceneObject;
class CSkillList;

namespace single_select {

inline constexpr u32 kCharacters = 18;
inline constexpr u32 kRandomEntry = 18;   // survival only
inline constexpr u32 kRosterCount = 19;
inline constexpr u32 kSlots = 3;          // orb kinds, one slot each
inline constexpr u32 kOkItem = 3;         // the panel's fourth item
inline constexpr u32 kIcons = 45;         // icon numbers 0..44, 15 a kind
inline constexpr u32 kRowPlaces = 16;

enum Mode : u32 { kStory, kAdventure, kSurvival };
// The title items each mode came from and goes back to.
inline constexpr u32 kTitleItems[3] = {0, 1, 4};

inline constexpr const char* kLayout = "Scene\\SingleCharaSelect.sce";
inline constexpr const char* kPack = "Data\\CharaSharing.gpk";
inline constexpr const char* kPackName = "CHARASHARING";
inline constexpr const char* kFrameTexture = "Arcade_01.dds";
inline constexpr const char* kMusic = "Bgm_chara.ogg";
inline constexpr const char* kVoices[kCharacters] = {"Vo_select_talve.ogg", "Vo_select_derona.ogg",
    "Vo_select_pellu.ogg", "Vo_select_miravo.ogg", "Vo_select_quena.ogg", "Vo_select_ezmel.ogg",
    "Vo_select_tubeca.ogg", "Vo_select_kerlia.ogg", "Vo_select_ombrisa.ogg", "Vo_select_grell.ogg",
    "Vo_select_navoie.ogg", "Vo_select_drusa.ogg", "Vo_select_ovu.ogg", "Vo_select_wenna.ogg",
    "Vo_select_lossin.ogg", "Vo_select_bialto.ogg", "Vo_select_sirkel.ogg", "Vo_select_vek.ogg"};
inline constexpr u32 kMoveSound = 18, kDecideSound = 19, kCancelSound = 20, kSoundCount = 21;
inline constexpr const char* kSounds[3] = {"Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"};
inline constexpr const char* kCaptions[2] = {
    "【ロックキー】：霊玉設定", "【ロックキー】：霊玉設定 【スペルトリガー】：CPUの霊玉使用ON、OFF"};
// Buttons beyond the menu's common ones.
inline constexpr u32 kLockButton = 26, kTriggerButton = 28;

Mode ModeOf(const CBattleSetup& setup);
// A roster entry's number in its file and layer names: entries 0..7 are
// 1..8, 8..17 are 10..19, the random entry is 9.
u32 EntryNumber(u32 entry);
std::string PictureName(u32 entry);        // "Chara_01.dds"
std::string CardLayerName(u32 entry);      // "cha1"
std::string PlateLayerName(u32 entry);     // "name1"
std::string PortraitLayerName(u32 entry);  // "face1"
std::string ColourBoxLayerName(u32 entry, u32 colour);   // "color1_1", "color1_2"
// "rei_geki0".."rei_syu14" by icon number, "_m" the small form; "" past 44.
std::string IconLayerName(u32 icon, bool small = false);
// Every layer the scene looks up, in the order the data lays them out.
std::vector<std::string> LayerNames();

// One step left (-1) or right (+1) over the roster; the random entry only
// in survival.
u32 StepEntry(u32 entry, i32 direction, bool survival);

// The orbs of the skill list: value v (1-based position) has a kind 0..2
// and an icon 0..44; a record with neither in range is no orb.
struct Orb {
    u32 value = 0;
    u32 kind = 0;
    u32 icon = 0;
};
class OrbTable {
public:
    OrbTable() = default;
    explicit OrbTable(const CSkillList* skills);
    // The orbs of a kind in list order.
    const std::vector<Orb>& OfKind(u32 kind) const;
    // The orb of value v, null for 0 or no orb.
    const Orb* Find(u32 value) const;
    // v when it is an orb of the slot's kind, locked or not, else 0.
    u32 OfSlot(u32 value, u32 slot) const;
    // v when it is an unlocked orb of the slot's kind, else 0.
    u32 Check(u32 value, u32 slot, const CSaveData* save) const;
    bool Locked(u32 value, const CSaveData* save) const;
    // The slot's ordinal of value; the count (none) when it is not a usable
    // orb of the slot.
    u32 Ordinal(u32 value, u32 slot, const CSaveData* save) const;
    // The next (+1) or previous (-1) ordinal of the slot, skipping locked
    // orbs: none after the last and before the first. A step forward
    // running past the last stops at none.
    u32 Step(u32 ordinal, u32 slot, i32 direction, const CSaveData* save) const;
    u32 ValueAt(u32 slot, u32 ordinal) const;

private:
    std::vector<Orb> m_byValue;   // index v - 1
    std::vector<Orb> m_kinds[kSlots];
};

using Orbs = std::array<u32, kSlots>;
// The saved set of (character, player 0, colour): a locked orb is kept (only
// the panel shows it as none), a value that is no orb of its slot is none; all
// none for a character, colour or save data out of range.
Orbs SavedOrbs(const CSaveData* save, const OrbTable& table, u32 character, u32 colour);

}  // namespace single_select

class CSingleCharaSelect : public CSceneResource {
    ORV_VALUE_CLASS(CSingleCharaSelect)

public:
    CSingleCharaSelect();
    CSingleCharaSelect(const CSingleCharaSelect& other);
    CSingleCharaSelect& operator=(const CSingleCharaSelect&) = delete;
    ~CSingleCharaSelect() override;

    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // What the tests read.
    single_select::Mode GetMode() const { return m_mode; }
    u32 GetCursor() const { return m_cursor; }
    u32 GetColour() const { return m_colour; }
    const single_select::Orbs& GetWorkingOrbs() const { return m_orbs; }
    const CBattleSetup* GetSetup() const { return m_setup.get(); }
    bool IsPanelOpen() const { return m_panelOpen; }
    bool IsAnimating() const { return m_animation != kNoAnimation; }
    u32 GetPanelSlot() const { return m_slot; }
    u32 GetCandidate(u32 slot) const { return slot < single_select::kSlots ? m_candidate[slot] : 0; }
    u32 GetCpuOrbs() const { return m_cpuOrbs; }
    bool IsLeaving() const { return m_decided || m_cancelled; }
    f32 GetCurtain() const { return m_curtain; }
    const CResourceList* GetTextures() const { return m_textures; }

protected:
    // The modes' scenes; each is handed the set-up with entry 0 complete.
    virtual i32 GoStory();
    virtual i32 GoAdventure();
    i32 GoSurvival();
    i32 GoTitle();

private:
    enum Animation : u32 { kNoAnimation, kOpening, kClosing, kCursorMove, kChoice };

    void FindLayers();
    i32 LoadTextures();
    void MoveCursor(u32 target);
    void StoreOrbs();
    void SetCaption(u32 survival);
    void StepFrame(f32 dt);
    void TakeInput();
    void PanelInput(bool up, bool down);
    void OpenOrbPanel();
    void StepOrb(i32 direction);
    void AnimateOrbPanel(f32 dt);
    void CompleteEntry();
    i32 Leave();
    void PlaySe(u32 index) const;
    bool OnRandom() const { return m_cursor == single_select::kRandomEntry; }

    void DrawColourBoxes();
    void DrawCarousel();
    void DrawArrows();
    void DrawOrbPanel();
    void DrawCaption();

    CEffect* m_effect = nullptr;
    CSoundBuffer* m_music = nullptr;
    std::unique_ptr<CBattleSetup> m_setup;
    std::unique_ptr<CSkillList> m_skills;
    single_select::OrbTable m_table;
    CCamera* m_camera = nullptr;
    CResourceList* m_textures = nullptr;
    std::array<CSoundBuffer*, single_select::kSoundCount> m_sounds{};

    single_select::Mode m_mode = single_select::kStory;
    u32 m_cursor = 0;
    u32 m_colour = 0;
    u32 m_pickCharacter = 0, m_pickColour = 0;
    single_select::Orbs m_orbs{};
    single_select::Orbs m_copies[2]{};
    bool m_panelOpen = false;
    u32 m_slot = 0;
    u32 m_candidate[single_select::kSlots] = {};
    u32 m_previous = 0;
    Animation m_animation = kNoAnimation;
    f32 m_animationTime = 0.0f;
    bool m_decided = false, m_cancelled = false;
    f32 m_curtain = 1.0f;
    u32 m_caption = 0;
    f32 m_captionScroll = 0.0f;
    f32 m_pattern = 0.0f;
    f32 m_bounce = 0.0f;
    bool m_bouncing = false;
    u32 m_bounceSide = 0;
    u32 m_cpuOrbs = 0;

    // Found layers (null when the layout lacks one).
    CSceneObject *m_base = nullptr, *m_patternLayer = nullptr, *m_arrows[2] = {};
    CSceneObject* m_plates[single_select::kRosterCount] = {};
    CSceneObject* m_portraits[single_select::kRosterCount] = {};
    CSceneObject* m_boxes[single_select::kCharacters][2] = {};
    CSceneObject* m_cards[single_select::kRosterCount] = {};
    CSceneObject *m_frames[2][2] = {}, *m_marks[2][2] = {};   // [chosen][colour]
    CSceneObject *m_panel = nullptr, *m_panelBase = nullptr, *m_items[4] = {};
    CSceneObject *m_icons[single_select::kIcons] = {}, *m_smallIcons[single_select::kIcons] = {};
    CSceneObject *m_locked = nullptr, *m_panelCursor = nullptr;
    CSceneObject *m_slotFrames[3] = {}, *m_slotBoxes[3] = {}, *m_boxMarks[2][3] = {};
    CSceneObject *m_cpuBase = nullptr, *m_cpuStates[2] = {};
};

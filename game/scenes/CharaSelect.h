// CCharaSelect: the character select of free battle, training and network
// battle: four cards, one cursor, then the battle option select.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/SelectCard.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CBattleSetup;
class CCamera;
class ILobbyRoom;
class CEffect;
class CSaveData;
class CSceneObject;
class CSkillList;
class CSoundBuffer;

namespace chara_select {

inline constexpr const char* kLayout = "Scene\\CharaSelect.sce";
inline constexpr const char* kMusicFile = "Bgm_chara.ogg";
inline constexpr const char* kSkillFile = "Setting/Skill.dat";
inline constexpr u32 kMusicSlots = 51;
inline constexpr u32 kSoundCount = 21;
inline constexpr u32 kSeCursor = 18, kSeDecide = 19, kSeCancel = 20;
inline constexpr u32 kHelpTexts = 4;
inline constexpr u32 kSkillQuery = 19;
inline constexpr f32 kRowSlideSeconds = 0.15f;
inline constexpr f32 kPanelSeconds = 0.15f;
inline constexpr f32 kSlideSeconds = 0.1f;
inline constexpr f32 kFlashSeconds = 0.15f;
inline constexpr u32 kSlotOk = 3;
inline constexpr u32 kChatKey = 32;   // F1

// Every layer the scene looks up by name (the cards' group "Chara" apart).
std::vector<std::string> SceneLayerNames();
// The 21 sounds: the 18 select voices, cursor, decide, cancel.
const char* SoundName(u32 i);
extern const char* const kHelpText[kHelpTexts];
extern const f32 kHelpWidth[kHelpTexts];

// A track among the held ones (held(slot) for 0..50) at random; previous
// when none is held (a draw from nothing keeps what was there).
u32 DrawMusicSlot(u32 previous, const std::function<bool(u32)>& held);

// Whether cards of these kinds and teams may start a battle: at least two
// taking part, in at least two teams.
bool CanStartWith(const u32 kinds[4], const u32 teams[4]);

// The next row from row (step -1 up, +1 down) on a card of that kind and
// character, skipping what the card does not offer.
u32 StepRow(u32 row, i32 step, u32 kind, u32 character);

// The skills of one kind the panel offers: 1-based list positions, in list
// order, and whether each is unlocked.
struct KindSkills {
    std::vector<u32> positions;
    std::vector<bool> unlocked;
    u32 Count() const { return u32(positions.size()); }
    // Index of position among them; Count() (the empty choice) for 0, an
    // unknown or a locked one.
    u32 IndexOf(u32 position) const;
    // The next / previous unlocked index from index with the empty choice
    // (Count()) between the last and the first.
    u32 Next(u32 index) const;
    u32 Prev(u32 index) const;
    // 1-based position at index, 0 for the empty choice.
    u32 PositionAt(u32 index) const { return index < Count() ? positions[index] : 0; }
};
// The list split by kind; a record whose kind or orb number is out of
// range belongs to none. Unlock flags from save (none without one).
std::array<KindSkills, 3> SplitSkills(const CSkillList* skills, const CSaveData* save);

// Whether the host takes a client's change of a card: the client (sender,
// never the host's slot 0) edits its own card, the computer's and empty
// ones, and can neither take another player's card nor make one a player.
bool ClientMayChangeCard(u32 sender, u32 kind, u32 newKind);

// The next card from cursor in step's direction (1 or 3, with wrap) that
// the local side may choose: in network play the other sides' players are
// passed over.
u32 NextChoosableCard(u32 cursor, u32 step, const u32 kinds[4], u32 local, bool network);

}  // namespace chara_select

class CCharaSelect : public CSceneResource, public IPeerMessageSink {
    ORV_VALUE_CLASS(CCharaSelect)

public:
    CCharaSelect();
    CCharaSelect(const CCharaSelect& other);
    CCharaSelect& operator=(const CCharaSelect&) = delete;
    ~CCharaSelect() override;

    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    // Network play's peer messages: cards, music data, proceed, leave, a
    // peer gone. 0 refuses (nothing changes, nothing is relayed).
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override;
    i32 Draw(u32 argument) override;

    bool CanStart() const;
    bool CanEditCursorCard() const;
    void OpenSkillPanel();
    void NextSkill(u32 kind);
    void PrevSkill(u32 kind);
    void SetHelpText(u32 index);
    // Each card's words 0..25 into the set-up's entries (what the option
    // select is handed).
    void WriteSetupEntries();
    // Network play: the card of slot to every peer (10001).
    void SendCard(u32 slot);

    CSelectCard* GetCard(u32 i) const { return i < 4 ? m_cards[i].get() : nullptr; }
    u32 GetCursor() const { return m_cursor; }
    bool IsEditing() const { return m_edit != 0; }
    u32 GetRow() const { return m_row; }
    u32 GetTargetRow() const { return m_targetRow; }
    bool IsPanelOpen() const { return m_panel != 0; }
    u32 GetSkillSlot() const { return m_skillSlot; }
    u32 GetChosenSkill(u32 kind) const { return kind < 3 ? m_chosen[kind] : 0; }
    u32 GetSkillIndex(u32 kind) const { return kind < 3 ? m_skillIndex[kind] : 0; }
    const chara_select::KindSkills* GetKindSkills(u32 kind) const { return kind < 3 ? &m_kinds[kind] : nullptr; }
    u32 GetHelpText() const { return m_help; }
    f32 GetHelpOffset() const { return m_helpOffset; }
    bool IsProceeding() const { return m_proceed != 0; }
    bool IsLeaving() const { return m_leave != 0; }
    CBattleSetup* GetSetup() const { return m_setup; }
    f32 GetAlpha() const { return GetSceneState().colour.w; }
    const CSkillList* GetSkillList() const { return m_skills.get(); }
    bool IsNetwork() const { return m_network != 0; }
    u32 GetLocalSlot() const { return m_local; }
    bool IsChatOpen() const { return m_chat != 0; }

private:
    void SetAlpha(f32 alpha) { GetSceneState().colour.w = alpha; }
    void FindLayers();
    void PlaySe(u32 sound);
    void PlayVoice(u32 character);
    bool StepPanelAnimation(f32 dt);
    void SlotMode();
    void EditMode();
    void PanelInput();
    void ClosePanel();
    void MoveRow(i32 step);
    void ColourSlotButtons();
    void CloseEditing();
    // A peer's change of the card being edited takes it away: editing and
    // the panel end at once.
    void DropEditing();
    void MoveCursor(u32 step);
    // Start: the cards this side controls draw their computer skills and
    // go out, then the proceed word.
    void Start();
    u32 TakeCard(const u8* data, u32 length);
    u32 TakeOption(const u8* data, u32 length);
    u32 TakePlayerData(const u8* data, u32 length);
    u32 TakeWord(u32 type, const u8* data, u32 length);
    u32 TakePeerLeft(const u8* data, u32 length);
    void Broadcast(u32 type, const u8* data, u32 length) const;
    ILobbyRoom* Lobby() const;
    i32 GoOptionSelect();
    i32 BackToTitle();
    i32 LeaveToLobby();
    void DrawHelp();
    void DrawSkillPanel();
    // The panel's zoom now: a layout position p stands at p x scale + (x, y)
    // while the panel opens or closes; scale 1 and no move once open.
    struct PanelZoom {
        f32 scale = 1.0f, x = 0.0f, y = 0.0f;
    };
    PanelZoom Zoom() const;

    f32 m_curtain = 1.0f;
    u32 m_edit = 0;
    u32 m_cursor = 0;
    u32 m_row = 0;
    u32 m_targetRow = 0;
    u32 m_chosen[3] = {};
    u32 m_previousIndex = 0;
    u32 m_skillIndex[3] = {};
    u32 m_skillSlot = 0;
    f32 m_skillTime = 0.0f;
    f32 m_rowTime = 0.0f;
    u32 m_proceed = 0;
    u32 m_leave = 0;
    u32 m_panel = 0;
    u32 m_opening = 0;
    u32 m_closing = 0;
    u32 m_sliding = 0;
    u32 m_flash = 0;
    CBattleSetup* m_setup = nullptr;   // owned until handed on
    f32 m_helpOffset = 0.0f;
    u32 m_help = 0;
    u32 m_local = 0;
    u32 m_training = 0;
    u32 m_network = 0;
    u32 m_chat = 0;   // the chat line is open
    std::array<std::unique_ptr<CSelectCard>, 4> m_cards;
    std::array<chara_select::KindSkills, 3> m_kinds;

    CSceneObject* m_title = nullptr;
    CSceneObject* m_select = nullptr;
    CSceneObject* m_skillLayer = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_log = nullptr;
    CSceneObject* m_input = nullptr;
    CSceneObject* m_slotButtons[4] = {};
    CSceneObject* m_orbs[select_card::kOrbCount] = {};
    CSceneObject* m_locked = nullptr;
    CSceneObject* m_skillCursor = nullptr;
    CSceneObject* m_emptyMarks[3] = {};
    CSceneObject* m_emptyButtons[3] = {};

    CEffect* m_effect = nullptr;        // owned while held
    std::unique_ptr<CCamera> m_camera;
    CSoundBuffer* m_music = nullptr;    // the sound list's; stopped on release while held
    std::unique_ptr<CSkillList> m_skills;
    CSoundBuffer* m_sounds[chara_select::kSoundCount] = {};
};

#include "game/scenes/CharaSelect.h"

#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/StencilMask.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/ConsoleNames.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/scenes/ChatLine.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/SelectMessages.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

using namespace select_card;
namespace chara_select {

const char* const kHelpText[kHelpTexts] = {
    "左右キー：枠の選択　決定キー：枠の決定　スタートキー：バトルオプションへ",
    "上下キー：項目の選択　左右キー：項目の変更　決定キー：変更確定",
    "左右キー：枠の選択　決定キー：枠の決定　スタートキー：バトルオプションへ　F1キー：チャット入力",
    "上下キー：項目の選択　左右キー：項目の変更　決定キー：変更確定　F1キー：チャット入力",
};
const f32 kHelpWidth[kHelpTexts] = {1500.0f, 1350.0f, 1825.0f, 1675.0f};

namespace {

constexpr const char* kSlotButtons[4] = {"rei_n_geki", "rei_n_soku", "rei_n_syu", "rei_ok"};
constexpr const char* kEmptyMarks[3] = {"rei_emp", "rei_emp2", "rei_emp3"};
constexpr const char* kEmptyButtons[3] = {"rei_empk", "rei_emp2k", "rei_emp3k"};
constexpr f32 kRowOrigin[3][2] = {{300, 376}, {300, 444}, {300, 512}};
constexpr f32 kTextOrigin[3][2] = {{300, 412}, {300, 480}, {300, 548}};
// Columns 0..15 of a kind's row.
constexpr u32 kRowPlaces = 16;

bool IsBelow(const CSceneObject* group, const CSceneObject* layer)
{
    for (u32 i = 0; i < group->GetChildCount(); ++i) {
        const CSceneObject* child = group->GetChild(i);
        if (child && (child == layer || IsBelow(child, layer))) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> SceneLayerNames()
{
    std::vector<std::string> names = {"Title", "Select", "Log", "Input", "Skill", "Base"};
    for (const char* n : kSlotButtons) names.push_back(n);
    for (u32 i = 0; i < kOrbCount; ++i) names.push_back(OrbElementName(i, false));
    names.push_back("rei_nazos");
    names.push_back("rei_car");
    for (u32 k = 0; k < 3; ++k) {
        names.push_back(kEmptyMarks[k]);
        names.push_back(kEmptyButtons[k]);
    }
    return names;
}

const char* SoundName(u32 i)
{
    static const auto names = [] {
        std::vector<std::string> out;
        for (const char* name : console_names::kImageName) {
            std::string lower = name;
            for (char& c : lower) c = char(std::tolower(u8(c)));
            out.push_back("Vo_select_" + lower + ".ogg");
        }
        out.push_back("Se_gameopt_select.ogg");
        out.push_back("Se_gameopt_set.ogg");
        out.push_back("Se_cancel.ogg");
        return out;
    }();
    return i < names.size() ? names[i].c_str() : nullptr;
}

u32 DrawMusicSlot(u32 previous, const std::function<bool(u32)>& held)
{
    std::vector<u32> slots;
    for (u32 s = 0; s < kMusicSlots; ++s)
        if (held(s)) slots.push_back(s);
    return slots.empty() ? previous : slots[RandomInt(u32(slots.size()))];
}

bool CanStartWith(const u32 kinds[4], const u32 teams[4])
{
    u32 players = 0;
    bool team[4] = {};
    for (u32 i = 0; i < 4; ++i) {
        if (kinds[i] == kKindNone) continue;
        ++players;
        if (teams[i] < 4) team[teams[i]] = true;
    }
    return players >= 2 && std::count(team, team + 4, true) >= 2;
}

u32 StepRow(u32 row, i32 step, u32 kind, u32 character)
{
    const bool random = character == kRandom;
    if (step < 0) {
        i32 r = i32(row) - 1;
        if (random && r == i32(kRowCustom)) r = kRowType;
        if (random && r == i32(kRowType)) r = kRowColour;
        if (r < 0) r = kRowHand;
        if (r == i32(kRowCpuSkill)) {
            if (random) r = kind == kKindComputer ? kRowCpuSkill : kRowColour;
            else r = kRowCustom;
        }
        return u32(r);
    }
    u32 r = row + 1;
    if (random && r == kRowType) r = kRowCustom;
    if (random && r == kRowCustom) r = kRowCpuSkill;
    if (r >= kRowCount) r = 0;
    if (r == kRowCpuSkill && !(random && kind == kKindComputer)) r = kRowHand;
    return r;
}

u32 KindSkills::IndexOf(u32 position) const
{
    for (u32 i = 0; i < Count(); ++i)
        if (positions[i] == position) return unlocked[i] ? i : Count();
    return Count();
}

u32 KindSkills::Next(u32 index) const
{
    for (u32 i = index >= Count() ? 0 : index + 1; i < Count(); ++i)
        if (unlocked[i]) return i;
    return Count();
}

u32 KindSkills::Prev(u32 index) const
{
    if (index == 0) return Count();
    for (i32 i = i32(std::min(index, Count())) - 1; i >= 0; --i)
        if (unlocked[u32(i)]) return u32(i);
    return Count();
}

std::array<KindSkills, 3> SplitSkills(const CSkillList* skills, const CSaveData* save)
{
    std::array<KindSkills, 3> out;
    const u32 count = skills ? skills->skills.GetCount() : 0;
    for (u32 i = 0; i < count; ++i) {
        const CSkillSetting* skill = skills->skills.GetAt(i);
        if (!skill) continue;
        const i32 kind = skill->values.type;
        const i32 orb = skill->values.imageId;
        // A record no kind row or orb image can show is not offered.
        if (kind < 0 || kind > 2 || orb < 0 || orb >= i32(kOrbCount)) continue;
        out[u32(kind)].positions.push_back(i + 1);
        out[u32(kind)].unlocked.push_back(save && save->GetUnlockFlag(i32(i)) != 0);
    }
    return out;
}

bool ClientMayChangeCard(u32 sender, u32 kind, u32 newKind)
{
    const auto open = [](u32 k) { return k == kKindComputer || k == kKindNone; };
    if (sender == 0 || sender > 3) return false;
    if (kind != sender && !open(kind)) return false;
    return newKind == kind || (open(kind) && open(newKind));
}

u32 NextChoosableCard(u32 cursor, u32 step, const u32 kinds[4], u32 local, bool network)
{
    u32 next = cursor % 4;
    // At most a round: the local card itself always stops the cursor.
    for (u32 tries = 0; tries < 4; ++tries) {
        next = (next + step) % 4;
        if (!network || kinds[next] >= 4 || kinds[next] == local) return next;
    }
    return cursor % 4;
}

}  // namespace chara_select

using namespace chara_select;
using namespace select_net;

namespace {

bool TensionHeld(u32 slot)
{
    CGameApp* app = GetGameApp();
    return app && app->GetTensionFile(slot) != nullptr;
}

CSaveData* SaveData()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetSaveData() : nullptr;
}

}  // namespace

CCharaSelect::CCharaSelect() = default;

CCharaSelect::CCharaSelect(const CCharaSelect& other)
    : CSceneResource(other),
      m_curtain(other.m_curtain),
      m_edit(other.m_edit),
      m_cursor(other.m_cursor),
      m_row(other.m_row),
      m_targetRow(other.m_targetRow),
      m_help(other.m_help),
      m_local(other.m_local),
      m_training(other.m_training),
      m_network(other.m_network),
      m_kinds(other.m_kinds),
      m_skills(other.m_skills ? std::make_unique<CSkillList>(*other.m_skills) : nullptr)
{
    // The clone takes no effect, music, set-up or cards: those stay the
    // original's.
    std::copy(std::begin(other.m_chosen), std::end(other.m_chosen), std::begin(m_chosen));
    std::copy(std::begin(other.m_skillIndex), std::end(other.m_skillIndex), std::begin(m_skillIndex));
    std::copy(std::begin(other.m_sounds), std::end(other.m_sounds), std::begin(m_sounds));
    FindLayers();
}

CCharaSelect::~CCharaSelect() { CCharaSelect::Release(); }

i32 CCharaSelect::Release()
{
    m_camera.reset();
    m_skills.reset();
    menu::ReleaseEffect(m_effect);
    // Dropped by the network scene mid-line: the lobby gets its entry back empty.
    chat_line::Close(Lobby(), m_chat);
    delete m_setup;
    m_setup = nullptr;
    for (auto& card : m_cards) card.reset();
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    return CSceneResource::Release();
}

void CCharaSelect::FindLayers()
{
    m_title = FindLayer("Title");
    m_select = FindLayer("Select");
    m_skillLayer = FindLayer("Skill");
    m_base = FindLayer("Base");
    m_log = FindLayer("Log");
    m_input = FindLayer("Input");
    for (u32 i = 0; i < 4; ++i) m_slotButtons[i] = FindLayer(kSlotButtons[i]);
    for (u32 i = 0; i < kOrbCount; ++i) m_orbs[i] = FindLayer(OrbElementName(i, false));
    m_locked = FindLayer("rei_nazos");
    m_skillCursor = FindLayer("rei_car");
    for (u32 k = 0; k < 3; ++k) {
        m_emptyMarks[k] = FindLayer(kEmptyMarks[k]);
        m_emptyButtons[k] = FindLayer(kEmptyButtons[k]);
    }
}

i32 CCharaSelect::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuSetupArgs*>(argument);
    // What the block hands over is ours from here, whatever fails below.
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
        m_setup = args->setup;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!m_setup) m_setup = new CBattleSetup(app->GetSaveConfig());
    m_curtain = args ? std::clamp(args->curtain, 0.0f, 1.0f) : 1.0f;
    SetAlpha(args ? std::clamp(args->alpha, 0.0f, 1.0f) : 1.0f);
    m_local = std::min(m_setup->localEntry, 3u);
    m_training = m_setup->trainingMode;
    m_network = m_setup->networkMode ? 1 : 0;

    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (CResourceController* resources = app->GetResourceController()) BindTextures(resources->GetTextureList());
    m_skills = std::make_unique<CSkillList>();
    if (!m_skills->LoadFile(kSkillFile)) return menu::Missing(kSkillFile);
    m_kinds = SplitSkills(m_skills.get(), SaveData());

    CSceneObject* chara = FindLayer("Chara");
    if (!chara) return menu::Missing("Chara");
    for (u32 i = 0; i < 4; ++i) {
        CBattleEntry* entry = m_setup->GetEntry(i);
        if (!entry) return menu::Missing(kLayout);
        entry->ownMusic = DrawMusicSlot(entry->ownMusic, TensionHeld);
        m_cards[i] = std::make_unique<CSelectCard>(this, *entry);
        // Before Load: another side's card must not look up this side's
        // saved skill sets.
        m_cards[i]->SetNetwork(m_network);
        m_cards[i]->Load(i, i == m_local, chara);
    }
    // The source group stays in the layout for the copies; it is not drawn.
    chara->SetVisible(0);
    FindLayers();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    m_camera.reset(app->CreateDefaultCamera());
    const bool found = !m_music;
    if (!m_music && !(m_music = menu::FindSound(kMusicFile))) return menu::Missing(kMusicFile);
    for (u32 i = 0; i < kSoundCount; ++i) m_sounds[i] = menu::FindSound(SoundName(i));

    m_cursor = m_local;
    m_proceed = m_leave = 0;
    SendCard(m_cursor);
    if (m_select) m_select->SetOffset(f32(m_cursor) * kColumn, 0.0f);
    for (auto& card : m_cards) card->HideRows();
    SetHelpText(m_network ? 2 : 0);
    // A sound handed over keeps playing; PlayMusic starts a voice only when
    // one is free.
    if (found || !m_music->IsPlaying(0)) menu::PlayMusic(m_music);
    return CSceneResource::Initialize(argument);
}

void CCharaSelect::SetHelpText(u32 index)
{
    m_help = std::min(index, kHelpTexts - 1);
    m_helpOffset = kHelpWidth[m_help];
}

void CCharaSelect::PlaySe(u32 sound)
{
    if (sound < kSoundCount) menu::PlaySe(m_sounds[sound]);
}

void CCharaSelect::PlayVoice(u32 character)
{
    if (character < kCharacters) menu::PlayVoice(m_sounds[character]);
}

bool CCharaSelect::CanStart() const
{
    u32 kinds[4], teams[4];
    for (u32 i = 0; i < 4; ++i) {
        kinds[i] = m_cards[i] ? m_cards[i]->Word(kKind) : kKindNone;
        teams[i] = m_cards[i] ? m_cards[i]->Word(kTeam) : 0;
    }
    if (!CanStartWith(kinds, teams)) return false;
    if (!m_network) return true;
    // Only the host starts, and only once every player has confirmed.
    for (u32 i = 0; i < 4; ++i)
        if (kinds[i] < kKindComputer && !m_cards[i]->Word(kReady)) return false;
    return m_local == 0;
}

bool CCharaSelect::CanEditCursorCard() const
{
    if (!m_network) return true;
    const u32 kind = m_cards[m_cursor] ? m_cards[m_cursor]->Word(kKind) : kKindNone;
    return kind == m_local || kind == kKindComputer || kind == kKindNone;
}

i32 CCharaSelect::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 dt = GetFrameTime();
    m_helpOffset -= 80.0f * dt;
    if (m_helpOffset <= 0.0f) m_helpOffset = kHelpWidth[m_help];
    if (m_curtain > 0.0f) {
        m_curtain = menu::Approach(m_curtain, -2.0f * dt);
        return CSceneResource::Update(argument);
    }
    if (!m_proceed && !m_leave) {
        if (GetAlpha() < 1.0f) {
            SetAlpha(menu::Approach(GetAlpha(), 2.0f * dt));
            return CSceneResource::Update(argument);
        }
        if (m_row != m_targetRow) {
            m_rowTime += dt;
            if (m_rowTime >= kRowSlideSeconds) {
                m_rowTime = 0.0f;
                m_row = m_targetRow;
                m_cards[m_cursor]->ShowRow(m_row);
            }
            return 1;
        }
        if (StepPanelAnimation(dt)) return 1;
        if (m_chat) chat_line::Update(Lobby(), m_chat);
        else if (m_panel) PanelInput();
        else if (m_edit) EditMode();
        else SlotMode();
        for (auto& card : m_cards) card->Update(argument);
        // The host alone in its room has no one to play with.
        if (m_network && m_local == 0)
            if (ILobbyRoom* lobby = Lobby(); lobby && lobby->GetMemberCount() < 2) m_leave = 1;
        return CSceneResource::Update(argument);
    }
    SetAlpha(GetAlpha() - 2.0f * dt);
    if (GetAlpha() > 0.0f) return CSceneResource::Update(argument);
    SetAlpha(0.0f);
    chat_line::Close(Lobby(), m_chat);
    // Each leaves this scene behind: nothing of it may run after them.
    if (m_proceed) return GoOptionSelect();
    if (m_music) m_music->StopAll(1);
    return m_network ? LeaveToLobby() : BackToTitle();
}

bool CCharaSelect::StepPanelAnimation(f32 dt)
{
    if (m_sliding || m_flash) {
        m_skillTime += dt;
        if (m_skillTime < (m_sliding ? kSlideSeconds : kFlashSeconds)) return true;
        m_sliding = m_flash = 0;
        m_skillTime = 0.0f;
        return false;
    }
    if (!m_opening && !m_closing) return false;
    m_skillTime += dt;
    const PanelZoom zoom = Zoom();
    if (m_skillLayer) {
        m_skillLayer->SetScale(zoom.scale, zoom.scale);
        m_skillLayer->SetOffset(zoom.x, zoom.y);
    }
    if (m_skillTime / kPanelSeconds >= 1.0f) {
        if (m_closing) m_panel = 0;
        m_opening = m_closing = 0;
        m_skillTime = 0.0f;
    }
    CSceneResource::Update(0);
    return true;
}

void CCharaSelect::SlotMode()
{
    // Each key pressed this frame takes its step, in this order: a move and
    // a decide in one frame open the card moved to.
    if (menu::LeftTriggered() || menu::RightTriggered()) MoveCursor(menu::LeftTriggered() ? 3 : 1);
    if (menu::Triggered(menu::kDecide)) {
        if (CanEditCursorCard()) {
            CSelectCard* card = m_cards[m_cursor].get();
            m_edit = 1;
            m_row = m_targetRow = 0;
            card->SetReady(0);
            card->ShowRow(0);
            SendCard(m_cursor);
        }
        PlaySe(kSeDecide);
        SetHelpText(m_network ? 3 : 1);
    }
    // A refused start does nothing, and plays nothing.
    if (menu::Triggered(menu::kStart) && CanStart()) {
        Start();
        PlaySe(kSeDecide);
    }
    // Only the host breaks the select up for everyone.
    if (menu::Triggered(menu::kCancel) && !(m_network && m_local != 0)) {
        m_leave = 1;
        if (m_network) {
            const auto word = WriteWord(m_leave);
            Broadcast(kMsgLeave, word.data(), u32(word.size()));
        }
        PlaySe(kSeCancel);
    }
    if (m_network && menu::Triggered(kChatKey)) m_chat = 1;
}

void CCharaSelect::MoveCursor(u32 step)
{
    u32 kinds[4];
    for (u32 i = 0; i < 4; ++i) kinds[i] = m_cards[i]->Word(kKind);
    m_cursor = NextChoosableCard(m_cursor, step, kinds, m_local, m_network != 0);
    if (m_select) m_select->SetOffset(f32(m_cursor) * kColumn, 0.0f);
    for (auto& c : m_cards) c->HideRows();
    PlaySe(kSeCursor);
}

void CCharaSelect::Start()
{
    m_proceed = 1;
    for (u32 i = 0; i < 4; ++i) {
        // Each side draws for the cards it controls; the host controls all.
        if (m_network && m_local != 0 && i != m_local) continue;
        m_cards[i]->PickCpuSkills();
        SendCard(i);
    }
    if (m_network) {
        const auto word = WriteWord(m_proceed);
        Broadcast(kMsgProceed, word.data(), u32(word.size()));
    }
}

void CCharaSelect::MoveRow(i32 step)
{
    CSelectCard* card = m_cards[m_cursor].get();
    if (card->Word(kKind) == kKindNone) return;
    m_targetRow = StepRow(m_targetRow, step, card->Word(kKind), card->Word(kCharacter));
    PlaySe(kSeCursor);
}

void CCharaSelect::CloseEditing()
{
    m_edit = 0;
    m_row = m_targetRow = 0;
    m_rowTime = 0.0f;
    m_cards[m_cursor]->HideRows();
    SetHelpText(m_network ? 2 : 0);
}

void CCharaSelect::DropEditing()
{
    // The panel's working copy belongs to the card taken away.
    m_panel = m_opening = m_closing = m_sliding = m_flash = 0;
    m_skillTime = 0.0f;
    CloseEditing();
}

void CCharaSelect::EditMode()
{
    CSelectCard* card = m_cards[m_cursor].get();
    const bool left = menu::LeftTriggered(), right = menu::RightTriggered();
    if (left || right) {
        // Who plays another side's card, or this side's own, is the
        // lobby's to say.
        if (m_network && m_targetRow == kRowPlayer && card->Word(kKind) < kKindComputer) return;
        if (m_targetRow == kRowCustom) {
            OpenSkillPanel();
        } else {
            if (left) card->Decrease(m_targetRow);
            else card->Increase(m_targetRow);
            SendCard(m_cursor);
        }
        PlaySe(kSeCursor);
    }
    // The keys below are still examined after left or right, each taking
    // its step (the panel opened there takes the keys from the next frame).
    if (menu::UpTriggered()) MoveRow(-1);
    if (menu::DownTriggered()) MoveRow(1);
    if (menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart)) {
        PlaySe(kSeDecide);
        card->SetReady(1);
        SendCard(m_cursor);
        const u32 character = card->Word(kCharacter);
        if (character != kRandom && card->Word(kKind) != kKindNone) PlayVoice(character);
        CloseEditing();
    }
    if (menu::Triggered(menu::kCancel)) {
        CloseEditing();
        PlaySe(kSeCancel);
    }
    if (m_network && menu::Triggered(kChatKey)) m_chat = 1;
}

void CCharaSelect::ColourSlotButtons()
{
    for (u32 i = 0; i < 4; ++i)
        if (m_slotButtons[i]) m_slotButtons[i]->SetColorARGB(i == m_skillSlot ? 0xFFFFFFFFu : 0xFF808080u);
}

void CCharaSelect::OpenSkillPanel()
{
    m_panel = 1;
    m_skillSlot = 0;
    m_skillTime = 0.0f;
    m_opening = 1;
    if (m_skillLayer) m_skillLayer->SetScale(0.0f, 0.0f);
    ColourSlotButtons();
    const CSelectCard* card = m_cards[m_cursor].get();
    // Split again: an orb won since the scene started is offered too.
    m_kinds = SplitSkills(m_skills.get(), SaveData());
    for (u32 k = 0; k < 3; ++k) {
        // The card's orbs stay chosen as they are: one this side has not
        // won (another side's, on a card it may edit) is only not offered
        // to the cursor, which then starts on none.
        m_chosen[k] = card->Word(kSkill0 + k);
        m_skillIndex[k] = m_kinds[k].IndexOf(m_chosen[k]);
    }
}

void CCharaSelect::NextSkill(u32 kind)
{
    if (kind >= 3) return;
    m_previousIndex = m_skillIndex[kind];
    m_skillTime = 0.0f;
    m_sliding = 1;
    m_skillIndex[kind] = m_kinds[kind].Next(m_skillIndex[kind]);
}

void CCharaSelect::PrevSkill(u32 kind)
{
    if (kind >= 3) return;
    m_previousIndex = m_skillIndex[kind];
    m_skillTime = 0.0f;
    m_sliding = 1;
    m_skillIndex[kind] = m_kinds[kind].Prev(m_skillIndex[kind]);
}

void CCharaSelect::PanelInput()
{
    // Each key pressed this frame takes its step, in this order: a turn, a
    // move to another slot, a choice there, then Ok or start, then cancel.
    CSelectCard* card = m_cards[m_cursor].get();
    if (menu::LeftTriggered() || menu::RightTriggered()) {
        if (m_skillSlot < 3) {
            if (menu::LeftTriggered()) PrevSkill(m_skillSlot);
            else NextSkill(m_skillSlot);
        }
        PlaySe(kSeCursor);
    }
    if (menu::UpTriggered() || menu::DownTriggered()) {
        m_skillSlot = (m_skillSlot + (menu::UpTriggered() ? 3 : 1)) % 4;
        ColourSlotButtons();
        PlaySe(kSeCursor);
    }
    const bool decide = menu::Triggered(menu::kDecide);
    if (decide && m_skillSlot != kSlotOk) {
        const u32 position = m_kinds[m_skillSlot].PositionAt(m_skillIndex[m_skillSlot]);
        if (position != m_chosen[m_skillSlot]) {
            m_chosen[m_skillSlot] = position;
            m_skillTime = 0.0f;
            m_flash = 1;
        }
        PlaySe(kSeDecide);
    }
    if (menu::Triggered(menu::kStart) || (decide && m_skillSlot == kSlotOk)) {
        card->SetSkills(m_chosen);
        SendCard(m_cursor);
        // Another side's card or the computer's in network play is not
        // this player's to keep.
        CSaveData* save = (card->Word(kLocal) || !m_network) ? SaveData() : nullptr;
        if (save) {
            const u32 slot = card->Word(kLocal) ? 0 : card->Word(kSlot);
            GameDataItem item{{m_chosen[0], m_chosen[1], m_chosen[2]}};
            save->SetSkillSet(i32(card->Word(kCharacter)), i32(slot), i32(card->Word(kType)), item);
        }
        ClosePanel();
        PlaySe(kSeDecide);
    }
    if (menu::Triggered(menu::kCancel)) {
        ClosePanel();
        PlaySe(kSeCancel);
    }
}

void CCharaSelect::ClosePanel()
{
    // A slide or flash begun in the same frame gives way: the closing
    // panel runs on the same clock.
    m_sliding = m_flash = 0;
    m_skillTime = 0.0f;
    m_closing = 1;
}

void CCharaSelect::WriteSetupEntries()
{
    for (u32 i = 0; i < 4 && m_setup; ++i) {
        CBattleEntry* entry = m_setup->GetEntry(i);
        if (entry && m_cards[i]) std::memcpy(static_cast<void*>(entry), m_cards[i]->GetRecord(), sizeof *entry);
    }
}

i32 CCharaSelect::GoOptionSelect()
{
    CGameApp* app = GetGameApp();
    INetworkSceneHost* host = m_network ? GetNetworkSceneHost() : nullptr;
    // A network child with nothing above it cannot go on: the title
    // instead of a select no one hosts.
    if (m_network && !host) {
        if (m_music) m_music->StopAll(1);
        return BackToTitle();
    }
    WriteSetupEntries();
    MenuSetupArgs args;
    args.effect = m_effect;
    args.music = m_music;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.setup = m_setup;
    // Handed on: this scene's release must neither stop nor delete them.
    m_effect = nullptr;
    m_music = nullptr;
    m_setup = nullptr;
    if (host) return host->ChangeChildScene(new COptionSelect, kHostedOptionMode, args);
    return app->ChangeScene(new COptionSelect, reinterpret_cast<intptr_t>(&args));
}

i32 CCharaSelect::LeaveToLobby()
{
    // The network scene deletes this scene and shows its own screen again.
    if (INetworkSceneHost* host = GetNetworkSceneHost()) return host->SetChildScene(nullptr, kHostedLobbyMode);
    return BackToTitle();
}

i32 CCharaSelect::BackToTitle()
{
    CGameApp* app = GetGameApp();
    TitleArgs args;
    args.effect = m_effect;
    args.music = nullptr;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = m_training ? title::kTraining : title::kBattle;
    m_effect = nullptr;
    m_music = nullptr;
    return app->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

u32 CCharaSelect::OnMessage(u32 message, intptr_t parameter)
{
    if (message == kSkillQuery && parameter) {
        *reinterpret_cast<const CSkillList**>(parameter) = m_skills.get();
        return 1;
    }
    const i32 size = FixedBodySize(message);
    if (size > 0) return OnPeerMessage(message, reinterpret_cast<const u8*>(parameter), u32(size));
    // A body of variable size cannot be read without its length.
    if (size < 0) return 0;
    return 1;
}

u32 CCharaSelect::OnPeerMessage(u32 type, const u8* data, u32 length)
{
    // Peers exist only in network play, and only once the cards do.
    if (!m_network || !m_setup || !m_cards[0]) return 0;
    switch (type) {
    case kMsgCard: return TakeCard(data, length);
    case kMsgPlayerData: return TakePlayerData(data, length);
    case kMsgProceed:
    case kMsgLeave: return TakeWord(type, data, length);
    case select_net::kMsgPeerLeft: return TakePeerLeft(data, length);
    case kMsgOption: return TakeOption(data, length);
    // Late battle messages or an option sent before this side caught up:
    // nothing of this scene's.
    default: return 1;
    }
}

u32 CCharaSelect::TakeCard(const u8* data, u32 length)
{
    CardMessage message;
    if (ReadCardMessage(data, length, &message) != MessageError::kNone) return 0;
    CSelectCard* card = m_cards[message.slot].get();
    // The host checks every change a client makes; a client takes what the
    // host sends, its own changes relayed among them.
    if (m_local == 0 && !ClientMayChangeCard(message.sender, card->Word(kKind), message.words[kKind])) return 0;
    card->Apply(message.words);
    card->SetCpuSkill(message.words[kCpuSkill]);
    card->SetReady(message.ready);
    if (message.sender != m_local && m_edit && m_cursor == message.slot) DropEditing();
    if (m_local == 0) Broadcast(kMsgCard, data, length);
    return 1;
}

u32 CCharaSelect::TakeOption(const u8* data, u32 length)
{
    // The option is the host's alone to send. Its option select may start
    // while this side still fades out: the set-up keeps the option for this
    // side's option select, the player's own music choice apart.
    CBattleOption option;
    if (m_local == 0 || ReadOptionMessage(data, length, &option) != MessageError::kNone) return 0;
    if (option.ownTension) {
        option.music = m_setup->option.music;
        option.drawnMusic = m_setup->option.drawnMusic;
    }
    m_setup->option = option;
    return 1;
}

u32 CCharaSelect::TakePlayerData(const u8* data, u32 length)
{
    PlayerData player;
    if (ReadPlayerData(data, length, &player) != MessageError::kNone) return 0;
    CTensionFile* tension = m_setup->GetTensionFile(player.entry);
    if (!tension) return 0;
    ApplyPlayerData(player, tension);
    if (m_local == 0) Broadcast(kMsgPlayerData, data, length);
    return 1;
}

u32 CCharaSelect::TakeWord(u32 type, const u8* data, u32 length)
{
    // Proceed and leave go from the host to the clients only.
    u32 word = 0;
    if (m_local == 0 || ReadWord(data, length, &word) != MessageError::kNone || word != 1) return 0;
    (type == kMsgProceed ? m_proceed : m_leave) = 1;
    return 1;
}

u32 CCharaSelect::TakePeerLeft(const u8* data, u32 length)
{
    u32 entry = 0;
    // This side is here to read it: its own card never leaves by a message.
    if (ReadPeerLeft(data, length, &entry) != MessageError::kNone || entry == m_local) return 0;
    m_cards[entry]->SetKind(kKindNone);
    if (CBattleEntry* setupEntry = m_setup->GetEntry(entry)) setupEntry->kind = kKindNone;
    return 1;
}

void CCharaSelect::SendCard(u32 slot)
{
    if (!m_network || slot >= 4 || !m_cards[slot]) return;
    const CSelectCard* card = m_cards[slot].get();
    CardMessage message;
    std::copy(card->GetRecord(), card->GetRecord() + kCardWords, message.words);
    message.sender = m_local;
    message.slot = slot;
    message.ready = card->Word(kReady);
    const auto bytes = WriteCardMessage(message);
    Broadcast(kMsgCard, bytes.data(), u32(bytes.size()));
}

void CCharaSelect::Broadcast(u32 type, const u8* data, u32 length) const
{
    if (m_network && m_setup && m_setup->netHost) m_setup->netHost->Broadcast(type, data, length);
}

ILobbyRoom* CCharaSelect::Lobby() const { return m_setup ? m_setup->lobbyClient : nullptr; }

i32 CCharaSelect::Draw(u32 /*argument*/)
{
    menu::DrawEffectBackground(m_camera.get(), m_effect);
    menu::SetLayoutViewport();
    if (m_title) m_title->Draw(nullptr);
    if (m_select && m_cursor < 4) m_select->Draw(nullptr);
    if (m_row != m_targetRow && m_cards[m_cursor])
        m_cards[m_cursor]->BlendRowCursor(m_row, m_targetRow, m_rowTime / kRowSlideSeconds);
    for (auto& card : m_cards)
        if (card) card->Draw(0);
    DrawHelp();
    if (m_panel) DrawSkillPanel();
    if (m_network) {
        if (m_log) m_log->Draw(nullptr);
        if (m_chat && m_input) m_input->Draw(nullptr);
        const CLayerState& state = GetSceneState();
        chat_line::Draw(Lobby(), m_chat, std::min(state.scaleX, state.scaleY));
    }
    menu::DrawCover(m_curtain);
    return 1;
}

void CCharaSelect::DrawHelp()
{
    CFontTexture* font = menu::MenuFont();
    if (!font) return;
    const CLayerState& state = GetSceneState();
    const f32 s = std::min(state.scaleX, state.scaleY);
    const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
    // The ticker runs inside its window only.
    const CStencilMaskScope mask(GetGraphicDevice(), [s] {
        CRect4 window;
        window.Set(580.0f * s, 1024.0f * s, 14.0f * s, 64.0f * s);
        FillScreenRect(&window, 0xFFFFFFFFu);
    });
    // The offset places the text's end: each restart width is the text's
    // own plus the window's, so the whole text crosses it.
    font->DrawTextAlignedOutlinedFlags((580.0f + m_helpOffset) * s, 24.0f * s, state.colour.ToARGB(), outline, 28, s,
        1.0f, kHelpText[m_help], kTextTop);
}

CCharaSelect::PanelZoom CCharaSelect::Zoom() const
{
    PanelZoom zoom;
    if (!m_opening && !m_closing) return zoom;
    const f32 u = std::min(m_skillTime / kPanelSeconds, 1.0f);
    zoom.scale = m_opening ? u : 1.0f - u;
    zoom.x = (f32(m_cursor) * kColumn + 200.0f) * (1.0f - zoom.scale);
    zoom.y = (1.0f - zoom.scale) * 530.0f;
    return zoom;
}

void CCharaSelect::DrawSkillPanel()
{
    const PanelZoom zoom = Zoom();
    const auto zoomed = [&zoom](const CVector3& p) {
        return CVector3(p.x * zoom.scale + zoom.x, p.y * zoom.scale + zoom.y, 0.0f);
    };
    // The frame carries the zoom in its own scale and offset, which scale it
    // about its own corner: it is moved so that its place zooms as every
    // other does. A mark inside it moves with it.
    CVector3 frameShift;
    if (m_skillLayer) {
        frameShift = zoomed(m_skillLayer->GetAnimatedState().position) - menu::LayoutPlace(m_skillLayer);
        CLayerState extra;
        extra.position = CVector3(frameShift.x, frameShift.y, 0.0f);
        m_skillLayer->Draw(&extra);
    }
    const auto inFrame = [this](const CSceneObject* mark) { return m_skillLayer && IsBelow(m_skillLayer, mark); };
    const auto markAt = [&](const CSceneObject* mark) {
        const CVector3 own = menu::LayoutPlace(mark);
        return inFrame(mark) ? CVector3(own.x + frameShift.x, own.y + frameShift.y, 0.0f) : zoomed(own);
    };
    const auto drawMark = [&](CSceneObject* mark) {
        if (mark) menu::DrawPlaced(mark, markAt(mark), inFrame(mark) ? 1.0f : zoom.scale);
    };
    // A layer drawn moved by (x, y) layout units from its own place.
    const auto drawMoved = [&](CSceneObject* layer, f32 x, f32 y) {
        if (layer) menu::DrawPlaced(layer, zoomed(menu::LayoutPlace(layer) + CVector3(x, y, 0.0f)), zoom.scale);
    };
    if (m_skillCursor && m_skillSlot < 3) {
        const u32 kind = m_skillSlot;
        const auto cursorAt = [&](u32 index) {
            const CVector3 own = menu::LayoutPlace(m_skillCursor);
            if (index < m_kinds[kind].Count())
                return zoomed(own + CVector3(kRowOrigin[kind][0] + 40.0f * f32(index), kRowOrigin[kind][1], 0.0f));
            // The empty choice stands on the kind's empty mark.
            return m_emptyMarks[kind] ? markAt(m_emptyMarks[kind]) : zoomed(own);
        };
        CVector3 at = cursorAt(m_skillIndex[kind]);
        if (m_sliding) {
            const f32 t = std::clamp(m_skillTime / kSlideSeconds, 0.0f, 1.0f);
            const CVector3 from = cursorAt(m_previousIndex);
            at = from + (at - from) * (t * t);
        }
        menu::DrawPlaced(m_skillCursor, at, zoom.scale);
    }
    const CLayerState& scene = GetSceneState();
    for (u32 k = 0; k < 3; ++k) {
        const KindSkills& kind = m_kinds[k];
        // Sixteen places a row; a longer list shows all its records.
        for (u32 c = 0; c < std::max(kRowPlaces, kind.Count()); ++c) {
            CSceneObject* layer = m_locked;
            if (c < kind.Count() && kind.unlocked[c]) {
                const CSkillSetting* skill = SkillAt(m_skills.get(), kind.positions[c]);
                const u32 orb = skill ? u32(skill->values.imageId) : kOrbCount;
                layer = orb < kOrbCount ? m_orbs[orb] : nullptr;
            }
            drawMoved(layer, kRowOrigin[k][0] + 40.0f * f32(c), kRowOrigin[k][1]);
        }
        const u32 shown = k == m_skillSlot ? kind.PositionAt(m_skillIndex[k]) : m_chosen[k];
        const CSkillSetting* skill = SkillAt(m_skills.get(), shown);
        if (CFontTexture* font = menu::MenuFont(); font && skill) {
            const f32 s = std::min(scene.scaleX, scene.scaleY);
            CVector4 colour = scene.colour;
            f32 x = kTextOrigin[k][0];
            if (m_sliding && k == m_skillSlot) {
                // The text under the cursor comes in with it.
                const f32 t = std::clamp(m_skillTime / kSlideSeconds, 0.0f, 1.0f);
                colour.w *= t;
                x -= 16.0f * t * t;
            }
            const CVector3 at = zoomed(CVector3(x, kTextOrigin[k][1], 0.0f));
            font->DrawTextAlignedOutlinedFixed(at.x * s, at.y * s, colour.ToARGB(), 0, 14, s * zoom.scale, 1.0f,
                skill->explanation.GetText());
        }
        const CSkillSetting* chosen = SkillAt(m_skills.get(), m_chosen[k]);
        const u32 orb = chosen ? u32(chosen->values.imageId) : kOrbCount;
        CSceneObject* image = orb < kOrbCount ? m_orbs[orb] : m_emptyButtons[k];
        if (m_flash && k == m_skillSlot && m_slotButtons[k]) {
            // The choice flashes: full white, then fading over its second half.
            const f32 half = kFlashSeconds * 0.5f;
            const f32 alpha = m_skillTime < half ? 1.0f : std::max(0.0f, 1.0f - (m_skillTime - half) / half);
            const CVector3 at = markAt(m_slotButtons[k]);
            const CLayerState& fit = m_slotButtons[k]->GetFitState();
            const f32 disc[3] = {at.x * fit.scaleX + fit.position.x, at.y * fit.scaleY + fit.position.y,
                16.0f * scene.scaleY * zoom.scale};
            FillScreenCircle(disc, (u32(alpha * 255.0f) << 24) | 0xFFFFFFu);
        } else if (m_slotButtons[k] && image) {
            // The chosen orb (or the empty image) on the slot's button.
            menu::DrawPlaced(image, markAt(m_slotButtons[k]), zoom.scale);
        }
        drawMark(m_emptyMarks[k]);
    }
}

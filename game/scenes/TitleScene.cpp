#include "game/scenes/TitleScene.h"

#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/GameData.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/ReplayScene.h"
#include "game/scenes/SingleCharaSelect.h"

#include <algorithm>

namespace title {

const ItemLayers kItemLayers[kItemCount] = {
    {"Story", "story", "piron12"},
    {"Adventure", "sky", "piron1"},
    {"Battle", "vs", "piron2"},
    {"Network", "net", "piron3"},
    {"Survival", "surv", "piron4"},
    {"Tutorial", "turt", "piron5"},
    {"Training", "trai", "piron6"},
    {"Record", "memo", "piron7"},
    {"Replay", "repla", "piron8"},
    {"Option", "option", "piron9"},
    {"End", "owari", "piron10"},
};

const char* const kCalls[kCallCount] = {"Vo_title_talve.ogg", "Vo_title_derona.ogg", "Vo_title_pellu.ogg",
    "Vo_title_miravo.ogg", "Vo_title_quena.ogg", "Vo_title_ezmel.ogg", "Vo_title_tubeca.ogg", "Vo_title_kerlia.ogg",
    "Vo_title_ombrisa.ogg", "Vo_title_grell.ogg", "Vo_title_navoie.ogg", "Vo_title_drusa.ogg", "Vo_title_ovu.ogg",
    "Vo_title_wenna.ogg", "Vo_title_lossni.ogg", "Vo_title_bialto.ogg", "Vo_title_sirkel.ogg", "Vo_title_vek.ogg"};

std::string IconLayerName(u32 icon)
{
    static constexpr const char* kKinds[3] = {"rei_geki", "rei_soku", "rei_syu"};
    if (icon >= kIconCount) return {};
    return kKinds[icon / 15] + std::to_string(icon % 15);
}

u32 StepItem(u32 item, i32 step)
{
    const i32 next = (i32(std::min(item, kItemCount - 1)) + step) % i32(kItemCount);
    return u32(next < 0 ? next + i32(kItemCount) : next);
}

bool HandsOverEffect(u32 item) { return item == kBattle || item == kTraining || item == kReplay || item == kOption; }

std::string OrbNoticeText(const std::vector<std::string>& names)
{
    std::string text = "霊玉【";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text += "・";
        text += names[i];
    }
    return text + "】を取得しました。";
}

u32 ChooseTutorialSlot(u32 slot, const std::function<bool(u32)>& held)
{
    if (held(slot)) return slot;
    // A draw among the held slots: what drawing until one is held picks,
    // without drawing for ever when none is.
    std::vector<u32> slots;
    for (u32 s = 0; s < CGameData::kMusicSlots; ++s) {
        if (held(s)) slots.push_back(s);
    }
    return slots.empty() ? kNoSlot : slots[RandomInt(u32(slots.size()))];
}

bool MakeTutorialSetup(CBattleSetup& setup, const std::function<bool(u32)>& held)
{
    setup.tutorialMode = 1;
    setup.trainingMode = 1;
    setup.entries[0].character = RandomInt(CBattleEntry::kRandomCharacter);
    setup.entries[1].character = RandomInt(CBattleEntry::kRandomCharacter);
    setup.entries[2].kind = CBattleEntry::kKindNone;
    setup.entries[3].kind = CBattleEntry::kKindNone;
    setup.option.stage = 18;
    setup.option.music = CBattleOption::kRandomMusic;
    const u32 slot = ChooseTutorialSlot(setup.option.drawnMusic, held);
    if (slot != kNoSlot) setup.option.drawnMusic = slot;
    setup.option.characterSetting = 4;
    setup.entries[1].ownMusic = setup.option.drawnMusic;
    return slot != kNoSlot;
}

}  // namespace title

using namespace title;

namespace {

CSaveData* SaveData()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetSaveData() : nullptr;
}

bool TensionHeld(u32 slot)
{
    CGameApp* app = GetGameApp();
    return app && app->GetTensionFile(slot) != nullptr;
}

f32 Ease(f32 u) { return 2.0f * u - u * u; }

}  // namespace

CTitleScene::CTitleScene() = default;

CTitleScene::CTitleScene(const CTitleScene& other)
    : CSceneResource(other),
      m_background(other.m_background),
      m_curtain(other.m_curtain),
      m_current(other.m_current),
      m_target(other.m_target),
      m_leaving(other.m_leaving),
      m_orbNotice(other.m_orbNotice),
      m_moveTimer(other.m_moveTimer),
      m_skills(other.m_skills ? std::make_unique<CSkillList>(*other.m_skills) : nullptr),
      m_newOrbs(other.m_newOrbs),
      m_noticePage(other.m_noticePage)
{
    std::copy(std::begin(other.m_sounds), std::end(other.m_sounds), std::begin(m_sounds));
    FindLayers();
}

CTitleScene::~CTitleScene() { CTitleScene::Release(); }

i32 CTitleScene::Release()
{
    m_camera.reset();
    menu::ReleaseEffect(m_effect);
    m_skills.reset();
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_base = m_skillGet = nullptr;
    std::fill(std::begin(m_icons), std::end(m_icons), nullptr);
    std::fill(std::begin(m_items), std::end(m_items), ItemRecord{});
    return CSceneResource::Release();
}

void CTitleScene::FindLayers()
{
    m_base = FindLayer("Base");
    m_skillGet = FindLayer("SkillGet");
    for (u32 i = 0; i < kItemCount; ++i) {
        m_items[i] = {FindLayer(kItemLayers[i].label), FindLayer(kItemLayers[i].name), FindLayer(kItemLayers[i].flash)};
    }
    for (u32 i = 0; i < kIconCount; ++i) m_icons[i] = FindLayer(IconLayerName(i).c_str());
}

void CTitleScene::CollectNewOrbs()
{
    m_newOrbs.clear();
    m_noticePage = 0;
    CSaveData* save = SaveData();
    if (!save || !m_skills) return;
    for (u32 i = 0; i < m_skills->skills.GetCount(); ++i) {
        if (save->GetUnlockFlag(i32(i)) && !save->GetShownUnlockFlag(i32(i))) m_newOrbs.push_back(i);
    }
}

i32 CTitleScene::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const TitleArgs*>(argument);
    // What the block hands over is ours from here, whatever fails below.
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    const f32 scale = app->GetLayoutScale();
    SetScale(scale, scale);
    m_background = menu::FindTexture(kBackground);
    if (!m_background) return menu::Missing(kBackground);
    SetTextureAll(m_background);
    FindLayers();
    m_skills = std::make_unique<CSkillList>();
    if (!m_skills->LoadFile(kSkillFile)) return menu::Missing(kSkillFile);
    m_camera.reset(app->CreateDefaultCamera());
    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!m_music && !(m_music = menu::StartTitleMusic())) return 0;
    for (u32 i = 0; i < kCallCount; ++i) m_sounds[i] = menu::FindSound(kCalls[i]);
    m_sounds[kCallCount] = menu::FindSound(kSelectSound);
    m_sounds[kCallCount + 1] = menu::FindSound(kSetSound);

    m_leaving = 0;
    m_moveTimer = 0.0f;
    m_current = m_target = args && args->item < kItemCount ? args->item : 0;
    m_curtain = args ? std::clamp(args->curtain, 0.0f, 1.0f) : 1.0f;
    SetAlpha(args ? std::clamp(args->alpha, 0.0f, 1.0f) : 1.0f);
    CollectNewOrbs();
    // Flags with no orb of the list to name (past its end) show no empty
    // notice.
    CSaveData* save = SaveData();
    m_orbNotice = save && save->HasUnshownUnlockFlags() && !m_newOrbs.empty() ? 1 : 0;
    return CSceneResource::Initialize(argument);
}

void CTitleScene::PlayTitleCall() { menu::PlayVoice(m_sounds[RandomInt(kCallCount)]); }

bool CTitleScene::StepFades(f32 dt)
{
    // One title call when the menu is fully shown, whichever fade ends
    // last.
    if (m_curtain > 0.0f) {
        m_curtain = menu::Approach(m_curtain, -2.0f * dt);
        if (m_curtain <= 0.0f && GetAlpha() >= 1.0f) PlayTitleCall();
        return true;
    }
    if (GetAlpha() < 1.0f) {
        SetAlpha(menu::Approach(GetAlpha(), 2.0f * dt));
        if (GetAlpha() >= 1.0f) PlayTitleCall();
        return true;
    }
    return false;
}

i32 CTitleScene::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 dt = GetFrameTime();
    if (m_leaving) {
        SetAlpha(GetAlpha() - 2.0f * dt);
        if (GetAlpha() <= 0.0f) {
            SetAlpha(0.0f);
            if (HandsOverEffect(m_current) || m_curtain >= 1.0f) return Dispatch();
            m_curtain = menu::Approach(m_curtain, 2.0f * dt);
        }
    } else if (!StepFades(dt)) {
        TakeInput(dt);
    }
    return CSceneResource::Update(argument);
}

void CTitleScene::TakeInput(f32 dt)
{
    const bool decide = menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart);
    if (m_orbNotice) {
        if (!decide) return;
        // Page by page, and marked shown only once the last page closes:
        // an orb is never marked shown that the player was not shown.
        if ((m_noticePage + 1) * kOrbsPerPage < m_newOrbs.size()) {
            ++m_noticePage;
            return;
        }
        m_orbNotice = 0;
        if (CSaveData* save = SaveData()) save->MarkUnlockFlagsShown();
        return;
    }
    if (m_current != m_target) {
        m_moveTimer += dt;
        if (m_moveTimer >= kMoveSeconds) {
            m_moveTimer = 0.0f;
            m_current = m_target;
        }
        return;
    }
    if (menu::UpTriggered()) {
        m_target = StepItem(m_target, -1);
        menu::PlaySe(m_sounds[kCallCount]);
    } else if (menu::DownTriggered()) {
        m_target = StepItem(m_target, 1);
        menu::PlaySe(m_sounds[kCallCount]);
    } else if (decide) {
        Decide();
    }
}

bool CTitleScene::CanLeaveFor(u32 item) const
{
    switch (item) {
    case kNetwork: return GetNetworkSceneFactory() != nullptr;
    case kBattle:
    case kTraining:
    case kStory:
    case kAdventure:
    case kSurvival:
    case kTutorial:
    case kRecord:
    case kReplay:
    case kOption: return true;
    default: return false;   // their scenes are not there yet
    }
}

void CTitleScene::Decide()
{
    CGameApp* app = GetGameApp();
    if (!app) return;
    if (m_current == kEnd) {
        app->Quit();
        return;
    }
    if (!CanLeaveFor(m_current)) return;
    if (m_current == kTutorial && ChooseTutorialSlot(0, TensionHeld) == kNoSlot) {
        // No music a battle can follow: said here rather than by a battle
        // that cannot load.
        app->QueueMessage(kNoMusic);
        return;
    }
    m_leaving = 1;
    menu::PlaySe(m_sounds[kCallCount + 1]);
}

i32 CTitleScene::Dispatch()
{
    CGameApp* app = GetGameApp();
    switch (m_current) {
    case kNetwork:
        if (NetworkSceneFactory factory = GetNetworkSceneFactory()) {
            if (CScene* scene = factory()) return app->ChangeScene(scene, 0);
        }
        break;
    case kBattle:
    case kTraining: {
        // The title's music stops with the title; the select starts its own.
        MenuSetupArgs args;
        args.effect = m_effect;
        args.curtain = 0.0f;
        args.alpha = 0.0f;
        args.setup = new CBattleSetup(app->GetSaveConfig());
        args.setup->trainingMode = m_current == kTraining ? 1 : 0;
        m_effect = nullptr;
        return app->ChangeScene(new CCharaSelect, reinterpret_cast<intptr_t>(&args));
    }
    case kTutorial: return StartTutorial();
    case kStory:
    case kAdventure:
    case kSurvival: return StartSingleSelect();
    case kRecord: {
        MenuArgs args{nullptr, nullptr, 1.0f, 1.0f};
        return app->ChangeScene(new CRecordScene, reinterpret_cast<intptr_t>(&args));
    }
    case kReplay: {
        // The crowd and the music run on under the list.
        CReplaySceneArgs args{m_effect, m_music, 0.0f, 0.0f, 0, 0};
        m_effect = nullptr;
        m_music = nullptr;
        return app->ChangeScene(new CReplayScene, reinterpret_cast<intptr_t>(&args));
    }
    case kOption: {
        MenuArgs args{m_effect, m_music, 0.0f, 0.0f};
        m_effect = nullptr;
        m_music = nullptr;
        return app->ChangeScene(new CGameOption, reinterpret_cast<intptr_t>(&args));
    }
    default: break;
    }
    // Nowhere to go after all: the menu fades back in.
    m_leaving = 0;
    return CSceneResource::Update(0);
}

i32 CTitleScene::StartTutorial()
{
    CGameApp* app = GetGameApp();
    auto setup = std::make_unique<CBattleSetup>(app->GetSaveConfig());
    // Checked on decide; a slot lost since leaves the battle's load to say so.
    MakeTutorialSetup(*setup, TensionHeld);
    LoadingArgs args{new CBattleScene(app->BattleApp()), reinterpret_cast<intptr_t>(setup.release()), 0};
    return app->ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
}

i32 CTitleScene::StartSingleSelect()
{
    CGameApp* app = GetGameApp();
    auto* setup = new CBattleSetup(app->GetSaveConfig());
    setup->entries[0].character = 0;
    if (m_current == kStory) setup->storyMode = 1;
    if (m_current == kAdventure) setup->adventureMode = 1;
    if (m_current == kSurvival) {
        setup->survivalMode = 1;
        setup->SetProgress(new CSurvivalProgress);
    }
    MenuSetupArgs args;
    args.setup = setup;
    return app->ChangeScene(new CSingleCharaSelect, reinterpret_cast<intptr_t>(&args));
}

u32 CTitleScene::OnMessage(u32 /*message*/, intptr_t /*parameter*/) { return 1; }

i32 CTitleScene::Draw(u32 /*argument*/)
{
    menu::DrawEffectBackground(m_camera.get(), m_effect);
    menu::SetLayoutViewport();
    if (m_base) m_base->Draw(nullptr);
    DrawItems();
    if (m_orbNotice) DrawOrbNotice();
    menu::DrawCover(m_curtain);
    return 1;
}

void CTitleScene::DrawItems()
{
    const bool moving = m_current != m_target;
    const f32 t = std::clamp(m_moveTimer / kMoveSeconds, 0.0f, 1.0f);
    for (u32 i = 0; i < kItemCount; ++i) {
        const ItemRecord& item = m_items[i];
        if (!item.label) continue;
        CLayerState extra;
        if (moving && i == m_target) {
            extra.position.x = kSelectedOffset * Ease(t);
            if (item.flash) item.flash->Draw(&extra);
            if (!item.name) continue;
            item.name->Draw(&extra);
            extra.scaleX = extra.scaleY = 1.4f - 0.4f * Ease(t);
            item.name->Draw(&extra);
            continue;
        }
        if (i == m_current) extra.position.x = moving ? kSelectedOffset * Ease(1.0f - t) : kSelectedOffset;
        item.label->Draw(&extra);
    }
}

std::string CTitleScene::GetOrbNoticeText() const
{
    if (!m_orbNotice || !m_skills) return {};
    std::vector<std::string> names;
    const size_t first = size_t(m_noticePage) * kOrbsPerPage;
    for (size_t j = first; j < std::min(m_newOrbs.size(), first + kOrbsPerPage); ++j) {
        const CSkillSetting* skill = m_skills->skills.GetAt(m_newOrbs[j]);
        const char* name = skill ? skill->GetName().GetText() : nullptr;
        names.emplace_back(name ? name : "");
    }
    return OrbNoticeText(names);
}

CSceneObject* CTitleScene::GetIconLayer(i32 icon) const
{
    return icon >= 0 && u32(icon) < kIconCount ? m_icons[icon] : nullptr;
}

void CTitleScene::DrawOrbNotice()
{
    if (m_skillGet) m_skillGet->Draw(nullptr);
    const CLayerState& state = GetSceneState();
    const f32 s = std::max(state.scaleX, state.scaleY);
    if (CFontTexture* font = menu::MenuFont()) {
        const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
        font->DrawTextAlignedOutlinedFixed(340.0f * s, 340.0f * s, state.colour.ToARGB(), outline, 22, s, 1.0f,
            GetOrbNoticeText().c_str());
    }
    const size_t first = size_t(m_noticePage) * kOrbsPerPage;
    const size_t n = std::min<size_t>(kOrbsPerPage, m_newOrbs.size() - std::min(first, m_newOrbs.size()));
    for (size_t j = 0; j < n; ++j) {
        const CSkillSetting* skill = m_skills ? m_skills->skills.GetAt(m_newOrbs[first + j]) : nullptr;
        CSceneObject* icon = skill ? GetIconLayer(skill->values.imageId) : nullptr;
        if (!icon) continue;
        // Icons stand at the layout's origin: the offset is their place.
        CLayerState extra;
        extra.position.x = 516.0f - f32(n) * 40.0f * 0.5f + f32(j) * 40.0f;
        extra.position.y = 388.0f;
        icon->Draw(&extra);
    }
}

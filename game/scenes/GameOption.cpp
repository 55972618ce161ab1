#include "game/scenes/GameOption.h"

#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>

using namespace option;

namespace {

u8 Clamp01(u32 value) { return value ? 1 : 0; }

}  // namespace

CGameOption::CGameOption() = default;

CGameOption::CGameOption(const CGameOption& other)
    : CSceneResource(other), m_curtain(other.m_curtain), m_item(other.m_item), m_target(other.m_target),
      m_slideTime(other.m_slideTime), m_leaving(other.m_leaving), m_loaded(other.m_loaded),
      m_values(other.m_values), m_app(other.m_app), m_sounds(other.m_sounds)
{
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
    std::copy(&other.m_barScale[0][0], &other.m_barScale[0][0] + 6, &m_barScale[0][0]);
    std::copy(&other.m_knobPlace[0][0], &other.m_knobPlace[0][0] + 6, &m_knobPlace[0][0]);
    for (i32 i = 0; i < kItemCount; ++i) {
        m_rows[i].arrowTime = other.m_rows[i].arrowTime;
        m_rows[i].arrowDirection = other.m_rows[i].arrowDirection;
        m_rows[i].arrowActive = other.m_rows[i].arrowActive;
    }
}

CGameOption::~CGameOption() { CGameOption::Release(); }

i32 CGameOption::Release()
{
    WriteBack();
    delete m_camera;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_sounds.fill(nullptr);
    m_loaded = false;
    m_app = nullptr;
    return CSceneResource::Release();
}

void CGameOption::FindLayers()
{
    auto find = [this](CSceneObject** layers, const char* const* names, u32 count) {
        for (u32 i = 0; i < count; ++i) layers[i] = FindLayer(names[i]);
    };
    m_title = FindLayer("Title");
    find(m_items.data(), kItemNames, kItemCount);
    find(m_padMarks, kPadMarks, 2);
    find(m_screenMarks, kScreenMarks, 2);
    find(m_cameraMarks, kCameraMarks, 2);
    find(m_voiceMarks, kVoiceMarks, 2);
    find(m_mapMarks, kMapMarks, 2);
    find(m_guardMarks, kGuardMarks, 2);
    find(m_storyMarks, kStoryMarks, 4);
    find(m_volumeFrames, kVolumeFrames, 3);
    find(m_volumeKnobs, kVolumeKnobs, 3);
    find(m_volumeBars, kVolumeBars, 3);
    for (i32 i = 0; i < kItemCount; ++i) find(m_rows[i].cursors, kCursors[i], 2);
}

void CGameOption::KeepLayoutPlaces()
{
    for (u32 i = 0; i < 3; ++i) {
        if (const CSceneObject* bar = m_volumeBars[i]) {
            m_barScale[i][0] = bar->GetSettings().offset.scaleX;
            m_barScale[i][1] = bar->GetSettings().offset.scaleY;
        }
        if (const CSceneObject* knob = m_volumeKnobs[i]) {
            m_knobPlace[i][0] = knob->GetSettings().offset.position.x;
            m_knobPlace[i][1] = knob->GetSettings().offset.position.y;
        }
    }
}

i32 CGameOption::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuArgs*>(argument);
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    m_app = app;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (CResourceController* resources = app->GetResourceController()) BindTextures(resources->GetTextureList());
    FindLayers();
    KeepLayoutPlaces();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    m_camera = app->CreateDefaultCamera();
    if (!m_music && !(m_music = menu::StartTitleMusic())) return 0;
    for (u32 i = 0; i < m_sounds.size(); ++i)
        if (!(m_sounds[i] = menu::FindSound(kSounds[i]))) return menu::Missing(kSounds[i]);

    // The bars measure their length from the placed layers.
    CSceneResource::Update(0);
    ReadConfig();
    m_item = m_target = kPad;
    ShowItem(m_item);
    m_curtain = args ? args->curtain : 1.0f;
    GetSceneState().colour.w = args ? args->alpha : 1.0f;
    return CSceneResource::Initialize(argument);
}

void CGameOption::ReadConfig()
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    if (!config) return;
    const ConfigGame& g = *config->GetGameSettings();
    SetPadVibration(g.padVibration);
    SetScreenShake(g.screenShake);
    SetCameraSide(g.cameraSide);
    SetVoicePlay(g.voicePlay);
    SetRadarType(g.radarType);
    SetGuardCorrection(g.guardCorrection);
    SetStoryDifficulty(g.arcadeDifficulty);
    SetBgmVolume(g.bgmVolume);
    SetSeVolume(g.seVolume);
    SetVoiceVolume(g.voiceVolume);
    // From here on the values are the configuration's: writing them back
    // loses nothing.
    m_loaded = true;
}

// ---------------------------------------------------------------- values

void CGameOption::ShowMarks(CSceneObject* const* marks, u32 count, u32 value)
{
    for (u32 i = 0; i < count; ++i)
        if (marks[i]) marks[i]->SetColorARGB(i == value ? kMarkOn : kMarkOff);
}

void CGameOption::SetPadVibration(u32 value)
{
    m_values.padVibration = Clamp01(value);
    ShowMarks(m_padMarks, 2, m_values.padVibration);
}

void CGameOption::SetScreenShake(u32 value)
{
    m_values.screenShake = Clamp01(value);
    ShowMarks(m_screenMarks, 2, m_values.screenShake);
}

void CGameOption::SetCameraSide(u32 value)
{
    m_values.cameraSide = Clamp01(value);
    ShowMarks(m_cameraMarks, 2, m_values.cameraSide);
}

void CGameOption::SetVoicePlay(u32 value)
{
    m_values.voicePlay = Clamp01(value);
    ShowMarks(m_voiceMarks, 2, m_values.voicePlay);
}

void CGameOption::SetRadarType(u32 value)
{
    m_values.radarType = Clamp01(value);
    ShowMarks(m_mapMarks, 2, m_values.radarType);
}

void CGameOption::SetGuardCorrection(u32 value)
{
    m_values.guardCorrection = Clamp01(value);
    ShowMarks(m_guardMarks, 2, m_values.guardCorrection);
}

void CGameOption::SetStoryDifficulty(u32 value)
{
    m_values.storyDifficulty = u8(std::min(value, 3u));
    ShowMarks(m_storyMarks, 4, m_values.storyDifficulty);
}

void CGameOption::ShowVolume(u32 bar, i32 value)
{
    const f32 f = f32(value - kVolumeMin) / f32(kVolumeMax - kVolumeMin);
    CSceneObject* barLayer = m_volumeBars[bar];
    if (!barLayer) return;
    // The bar's full length in its parent's units, from its layout scale
    // (not the one set here, or the knob would follow a bar an earlier
    // value shrank).
    const LayerSettings& settings = barLayer->GetSettings();
    const CLayerState& animated = barLayer->GetAnimatedState();
    const f32 width = (settings.offset.rect.right - settings.offset.rect.left) + (animated.rect.right - animated.rect.left);
    const f32 length = width * m_barScale[bar][0] * animated.scaleX;
    barLayer->SetScale(f * m_barScale[bar][0], m_barScale[bar][1]);
    if (CSceneObject* knob = m_volumeKnobs[bar])
        knob->SetOffset(m_knobPlace[bar][0] + f * length, m_knobPlace[bar][1]);
}

void CGameOption::SetBgmVolume(i32 value)
{
    m_values.bgmVolume = std::clamp(value, kVolumeMin, kVolumeMax);
    ShowVolume(0, m_values.bgmVolume);
}

void CGameOption::SetSeVolume(i32 value)
{
    m_values.seVolume = std::clamp(value, kVolumeMin, kVolumeMax);
    ShowVolume(1, m_values.seVolume);
}

void CGameOption::SetVoiceVolume(i32 value)
{
    m_values.voiceVolume = std::clamp(value, kVolumeMin, kVolumeMax);
    ShowVolume(2, m_values.voiceVolume);
}

i32* CGameOption::VolumeOf(i32 item)
{
    switch (item) {
    case kBgmVolume: return &m_values.bgmVolume;
    case kSeVolume: return &m_values.seVolume;
    case kVoiceVolume: return &m_values.voiceVolume;
    default: return nullptr;
    }
}

void CGameOption::SetVolume(i32 item, i32 value)
{
    if (item == kBgmVolume) SetBgmVolume(value);
    if (item == kSeVolume) SetSeVolume(value);
    if (item == kVoiceVolume) SetVoiceVolume(value);
}

void CGameOption::StepVolume(i32 item, i32 delta)
{
    if (const i32* volume = VolumeOf(item)) SetVolume(item, *volume + delta);
}

bool CGameOption::Toggle(i32 item)
{
    Values& v = m_values;
    switch (item) {
    case kPad: SetPadVibration(!v.padVibration); return true;
    case kScreen: SetScreenShake(!v.screenShake); return true;
    case kCamera: SetCameraSide(!v.cameraSide); return true;
    case kVoice: SetVoicePlay(!v.voicePlay); return true;
    case kMap: SetRadarType(!v.radarType); return true;
    case kGuard: SetGuardCorrection(!v.guardCorrection); return true;
    default: return false;
    }
}

void CGameOption::Increase(i32 item)
{
    if (Toggle(item)) {
    } else if (item == kStory) {
        SetStoryDifficulty((m_values.storyDifficulty + 1u) % 4u);
    } else {
        StepVolume(item, kVolumeStep);
    }
    StartBounce(item, 1);
}

void CGameOption::Decrease(i32 item)
{
    if (Toggle(item)) {
    } else if (item == kStory) {
        SetStoryDifficulty((m_values.storyDifficulty + 3u) % 4u);
    } else {
        StepVolume(item, -kVolumeStep);
    }
    StartBounce(item, -1);
}

void CGameOption::StepVolumeUp(i32 item)
{
    if (!VolumeOf(item)) return;
    StepVolume(item, kVolumeStep);
    StartBounce(item, 1);
}

void CGameOption::StepVolumeDown(i32 item)
{
    if (!VolumeOf(item)) return;
    StepVolume(item, -kVolumeStep);
    StartBounce(item, -1);
}

void CGameOption::ResetDefaults()
{
    const Values defaults;
    SetPadVibration(defaults.padVibration);
    SetScreenShake(defaults.screenShake);
    SetCameraSide(defaults.cameraSide);
    SetVoicePlay(defaults.voicePlay);
    SetGuardCorrection(defaults.guardCorrection);
    SetRadarType(defaults.radarType);
    SetStoryDifficulty(defaults.storyDifficulty);
    SetBgmVolume(defaults.bgmVolume);
    SetSeVolume(defaults.seVolume);
    SetVoiceVolume(defaults.voiceVolume);
}

// ---------------------------------------------------------------- cursor

void CGameOption::StartBounce(i32 item, i32 direction)
{
    if (item < 0 || item >= kItemCount) return;
    Row& row = m_rows[item];
    if (!(direction > 0 ? row.rightArrow : row.leftArrow)) return;
    StopBounce(item);
    row.arrowActive = true;
    row.arrowTime = 0.0f;
    row.arrowDirection = direction;
}

void CGameOption::StopBounce(i32 item)
{
    Row& row = m_rows[item];
    row.arrowActive = false;
    row.arrowTime = 0.0f;
    for (CSceneObject* arrow : {row.leftArrow, row.rightArrow})
        if (arrow) arrow->SetOffset(0.0f, 0.0f);
}

void CGameOption::UpdateBounces(f32 dt)
{
    for (i32 i = 0; i < kItemCount; ++i) {
        Row& row = m_rows[i];
        if (!row.arrowActive) continue;
        row.arrowTime += dt;
        if (row.arrowTime >= kArrowTime) {
            StopBounce(i);
            continue;
        }
        CSceneObject* arrow = row.arrowDirection > 0 ? row.rightArrow : row.leftArrow;
        if (arrow) arrow->SetOffset(f32(row.arrowDirection) * menu::ArrowBounce(row.arrowTime), 0.0f);
    }
}

void CGameOption::ShowItem(i32 item)
{
    for (i32 i = 0; i < kItemCount; ++i) {
        Row& row = m_rows[i];
        const u32 shown = i == item ? 1 : 0;
        for (CSceneObject* layer : {row.cursors[0], row.cursors[1], row.leftArrow, row.rightArrow})
            if (layer) layer->SetVisible(shown);
        StopBounce(i);
    }
}

// ---------------------------------------------------------------- leaving

i32 CGameOption::WriteBack()
{
    // The application met at Load: on exit it forgets itself as the
    // process's before it deletes the scene, and the values must still
    // reach the configuration it saves next.
    CGameApp* app = m_app ? m_app : GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    if (!config || !m_loaded) return 0;
    ConfigGame& g = *config->GetGameSettings();
    g.padVibration = m_values.padVibration;
    g.screenShake = m_values.screenShake;
    g.bgmVolume = m_values.bgmVolume;
    g.seVolume = m_values.seVolume;
    g.voiceVolume = m_values.voiceVolume;
    g.voicePlay = m_values.voicePlay;
    g.radarType = m_values.radarType;
    g.cameraSide = m_values.cameraSide;
    g.guardCorrection = m_values.guardCorrection;
    g.arcadeDifficulty = m_values.storyDifficulty;
    if (CEffectController* effects = app->GetEffectController()) effects->SetSeVolume(config->GetSeVolume());
    // The pads obey the setting from the next frame, battles included.
    if (CInput* input = app->GetInput())
        for (u32 p = 0; p < kPadPlayerCount; ++p)
            if (InputState* state = input->GetInputState(p)) state->vibrationEnabled = m_values.padVibration ? 1 : 0;
    // Music handed to the next scene is that scene's to set.
    if (m_music) m_music->SetVolumeAll(config->GetBgmVolume());
    return 1;
}

void CGameOption::BackToTitle()
{
    WriteBack();
    CGameApp* app = GetGameApp();
    if (!app) return;
    TitleArgs args;
    args.effect = m_effect;
    args.music = m_music;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = kTitleItem;
    m_effect = nullptr;
    m_music = nullptr;
    app->ChangeScene(new CTitleScene(), reinterpret_cast<intptr_t>(&args));
}

// ---------------------------------------------------------------- frame

void CGameOption::HandleInput()
{
    if (menu::LeftTriggered()) {
        Decrease(m_item);
        menu::PlaySe(m_sounds[kSide]);
    } else if (menu::RightTriggered()) {
        Increase(m_item);
        menu::PlaySe(m_sounds[kSide]);
    } else if (menu::LeftHeld()) {
        StepVolumeDown(m_item);
    } else if (menu::RightHeld()) {
        StepVolumeUp(m_item);
    }

    if (menu::UpTriggered()) {
        m_target = m_target == 0 ? kItemCount - 1 : m_target - 1;
        menu::PlaySe(m_sounds[kSelect]);
    } else if (menu::DownTriggered()) {
        m_target = m_target == kItemCount - 1 ? 0 : m_target + 1;
        menu::PlaySe(m_sounds[kSelect]);
    } else if (menu::Triggered(menu::kDecide)) {
        if (m_item == kInit) {
            ResetDefaults();
            menu::PlaySe(m_sounds[kSet]);
        }
    } else if (menu::Triggered(menu::kStart)) {
        m_leaving = true;
        menu::PlaySe(m_sounds[kSet]);
    } else if (menu::Triggered(menu::kCancel)) {
        m_leaving = true;
        menu::PlaySe(m_sounds[kCancel]);
    }
}

i32 CGameOption::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 dt = GetFrameTime();
    f32& alpha = GetSceneState().colour.w;
    if (m_curtain > 0.0f) {
        m_curtain = std::max(0.0f, m_curtain - 2.0f * dt);
        return CSceneResource::Update(argument);
    }
    if (!m_leaving) {
        if (alpha < 1.0f) {
            alpha = menu::Approach(alpha, 2.0f * dt);
            return CSceneResource::Update(argument);
        }
        UpdateBounces(dt);
        if (m_item != m_target) {
            m_slideTime += dt;
            if (m_slideTime >= kSlideTime) {
                m_slideTime = 0.0f;
                m_item = m_target;
                ShowItem(m_item);
            }
            return 1;
        }
        HandleInput();
        if (!m_leaving) return CSceneResource::Update(argument);
    }
    alpha = std::max(0.0f, alpha - 2.0f * dt);
    if (alpha <= 0.0f && GetGameApp()) {
        // The change deletes this scene: nothing of it may be touched after.
        BackToTitle();
        return 1;
    }
    // The layers take the falling alpha.
    return CSceneResource::Update(argument);
}

u32 CGameOption::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }

i32 CGameOption::Draw(u32)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    if (m_title) m_title->Draw(nullptr);

    // While the cursor slides, the current item's cursor is drawn on its way
    // to the target's; its own place comes back after the draw, so the
    // next frame blends from there again.
    Row& from = m_rows[std::clamp(m_item, 0, kItemCount - 1)];
    const Row& to = m_rows[std::clamp(m_target, 0, kItemCount - 1)];
    CLayerState kept[2];
    const bool sliding = m_item != m_target;
    for (u32 i = 0; sliding && i < 2; ++i) {
        if (!from.cursors[i]) continue;
        kept[i] = from.cursors[i]->GetScreenState();
        from.cursors[i]->BlendTo(to.cursors[i], m_slideTime / kSlideTime, -1.0f);
    }
    for (CSceneObject* item : m_items)
        if (item) item->Draw(nullptr);
    for (u32 i = 0; sliding && i < 2; ++i)
        if (from.cursors[i]) from.cursors[i]->GetScreenState() = kept[i];

    menu::DrawCover(m_curtain);
    return 1;
}

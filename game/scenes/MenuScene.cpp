#include "game/scenes/MenuScene.h"

#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/model/RenderList.h"
#include "engine/platform/Input.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"

#include <algorithm>
#include <memory>

namespace menu {
namespace {

const InputState* Player1()
{
    CGameApp* app = GetGameApp();
    CInput* input = app ? app->GetInput() : nullptr;
    return input ? input->GetInputState(0) : nullptr;
}

CSaveConfig* Config()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetSaveConfig() : nullptr;
}

template <class T>
T* FindIn(CResourceList* list, const char* fileName)
{
    if (!list || !fileName) return nullptr;
    return static_cast<T*>(static_cast<CValueBase*>(list->FindByFileName(fileName)));
}

CResourceController* Resources()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetResourceController() : nullptr;
}

}  // namespace

bool Triggered(u32 code)
{
    const InputState* state = Player1();
    return state && state->IsTriggered(code);
}

bool Held(u32 code)
{
    const InputState* state = Player1();
    return state && state->IsHeld(code);
}

bool UpTriggered() { return Triggered(kUp) || Triggered(kStickUp); }
bool DownTriggered() { return Triggered(kDown) || Triggered(kStickDown); }
bool LeftTriggered() { return Triggered(kLeft) || Triggered(kStickLeft); }
bool RightTriggered() { return Triggered(kRight) || Triggered(kStickRight); }
bool LeftHeld() { return Held(kLeft) || Held(kStickLeft); }
bool RightHeld() { return Held(kRight) || Held(kStickRight); }
bool AnyTriggered() { return IsAnyButtonTriggered(Player1()) != 0; }

CTexture* FindTexture(const char* fileName)
{
    CResourceController* resources = Resources();
    return FindIn<CTexture>(resources ? resources->GetTextureList() : nullptr, fileName);
}

CSoundBuffer* FindSound(const char* fileName)
{
    CResourceController* resources = Resources();
    return FindIn<CSoundBuffer>(resources ? resources->GetSoundList() : nullptr, fileName);
}

void PlaySe(CSoundBuffer* sound)
{
    if (CSaveConfig* config = Config(); sound && config) sound->PlayWithVolume(config->GetSeVolume(), 0, 0.0f, 1);
}

void PlayVoice(CSoundBuffer* sound)
{
    CSaveConfig* config = Config();
    if (sound && config && config->GetGameSettings()->voicePlay)
        sound->PlayWithVolume(config->GetVoiceVolume(), 0, 0.0f, 1);
}

void PlayMusic(CSoundBuffer* music)
{
    if (CSaveConfig* config = Config(); music && config) music->PlayWithVolume(config->GetBgmVolume(), 1, 0.0f, 1);
}

CSoundBuffer* StartTitleMusic()
{
    const char* name = kTitleMusic[RandomInt(3)];
    CResourceController* resources = Resources();
    if (!resources) return Missing(name), nullptr;
    CSoundBuffer* music = FindSound(name);
    if (!music) {
        auto loaded = std::make_unique<CSoundBuffer>();
        if (!loaded->Load(name, 1, 2)) return Missing(name), nullptr;
        void* element = static_cast<CValueBase*>(loaded.get());
        if (!resources->GetSoundList()->Add(&element)) return Missing(name), nullptr;
        music = loaded.release();
    }
    PlayMusic(music);
    return music;
}

CEffect* StartMenuEffect()
{
    CGameApp* app = GetGameApp();
    CResourceController* resources = Resources();
    const auto* effect = resources ? static_cast<const CEffectContainer*>(
                                         static_cast<CValueBase*>(resources->GetEffectList()->FindByName(kMenuEffect)))
                                   : nullptr;
    CEffect* played = effect ? effect->PlayInScene(app->GetEffectController(), 0, nullptr) : nullptr;
    if (!played) Missing(kMenuEffect);
    return played;
}

void ReleaseEffect(CEffect*& effect)
{
    if (effect) effect->Release();
    effect = nullptr;
}

CResourceList* CopyTextures(CSceneResource& scene, const CResourceList* from)
{
    if (!from) return nullptr;
    auto* textures = new CResourceList(*from);
    scene.BindTextures(textures);
    return textures;
}

void DeleteTextures(CSceneResource& scene, CResourceList*& textures)
{
    // Layers point at these textures.
    if (textures) scene.BindTextures(nullptr);
    delete textures;
    textures = nullptr;
}

void DrawEffectBackground(CCamera* camera, CEffect* effect)
{
    CGameApp* app = GetGameApp();
    CGraphicDevice* device = app ? app->GetDevice() : nullptr;
    if (!device) return;
    device->SetState3D();
    if (camera) camera->Apply();
    if (CRenderList* list = app->GetRenderList()) {
        list->Clear();
        if (effect) effect->Draw(list);
        if (CEffectController* effects = app->GetEffectController()) effects->DrawAll(list);
        list->Draw();
        list->Present();
    }
    device->SetBlendMode(1);
    device->SetState2D();
}

void SetLayoutViewport()
{
    CGameApp* app = GetGameApp();
    CGraphicDevice* device = app ? app->GetDevice() : nullptr;
    if (!device) return;
    device->SetViewport(u32(app->GetMargin()), 0, u32(app->GetLayoutWidth()), u32(app->GetClientHeight()));
    device->SetState2D();
}

void DrawCover(f32 level)
{
    const u32 alpha = u32(std::clamp(level, 0.0f, 1.0f) * 255.0f);
    if (alpha == 0) return;
    FillScreenRect(nullptr, alpha << 24);
}

CFontTexture* MenuFont()
{
    CResourceController* resources = Resources();
    CResourceList* fonts = resources ? resources->GetFontList() : nullptr;
    void* first = fonts && fonts->GetCount() > 0 ? fonts->GetAt(0) : nullptr;
    return first ? dynamic_cast<CFontTexture*>(static_cast<CValueBase*>(first)) : nullptr;
}

f32 Approach(f32 value, f32 delta, f32 lo, f32 hi) { return std::clamp(value + delta, lo, hi); }

f32 ArrowBounce(f32 time)
{
    if (time <= 0.0f || time >= kArrowBounceTime) return 0.0f;
    const f32 half = kArrowBounceTime * 0.5f;
    const f32 f = time < half ? time / half : (kArrowBounceTime - time) / half;
    return (2.0f * f - f * f) * 6.0f;
}

CVector3 LayoutPlace(const CSceneObject* layer)
{
    const CLayerState& fit = layer->GetFitState();
    const CVector3& at = layer->GetScreenState().position;
    return CVector3(fit.scaleX != 0.0f ? (at.x - fit.position.x) / fit.scaleX : 0.0f,
        fit.scaleY != 0.0f ? (at.y - fit.position.y) / fit.scaleY : 0.0f, 0.0f);
}

void DrawPlaced(CSceneObject* layer, const CVector3& to, f32 scale)
{
    if (!layer) return;
    const CVector3 own = LayoutPlace(layer);
    CLayerState extra;
    extra.position = CVector3(to.x - own.x, to.y - own.y, 0.0f);
    extra.scaleX = extra.scaleY = scale;
    layer->Draw(&extra);
}

i32 Missing(const char* what)
{
    if (CGameApp* app = GetGameApp()) app->SetLoadError(what ? what : "");
    return 0;
}

}  // namespace menu

#include "game/battle/scene/ConsoleBase.h"

#include "engine/core/Scene.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/LayerState.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"

u32 CConsoleBase::Ask(u32 message, u32* word) const
{
    return m_owner ? m_owner->OnMessage(message, reinterpret_cast<intptr_t>(word)) : 0;
}

CResourceController* CConsoleBase::Resources() const
{
    CResourceController* controller = nullptr;
    if (m_owner) m_owner->OnMessage(kConsoleMsgResourceController, reinterpret_cast<intptr_t>(&controller));
    return controller;
}

CFontTexture* CConsoleBase::Font() const
{
    CResourceController* controller = Resources();
    const CResourceList* fonts = controller ? controller->GetFontList() : nullptr;
    if (!fonts || fonts->GetCount() == 0) return nullptr;
    return static_cast<CFontTexture*>(static_cast<CValueBase*>(fonts->GetAt(0)));
}

CSoundBuffer* CConsoleBase::FindSound(const char* fileName) const
{
    CResourceController* controller = Resources();
    CResourceList* sounds = controller ? controller->GetSoundList() : nullptr;
    return sounds ? static_cast<CSoundBuffer*>(sounds->FindByFileName(fileName)) : nullptr;
}

void CConsoleBase::PlayAt(CSoundBuffer* sound, i32 volume)
{
    if (!sound) return;
    const u32 voice = sound->PlayWithVolume(volume, 0, 0.0f, 1);
    if (voice != CSoundBuffer::kNoVoice) sound->SetMinDistance(voice, 3000.0f);
}

CSceneObject* CConsoleBase::Find(const CSceneResource* layout, const char* name)
{
    return layout ? layout->FindLayer(name) : nullptr;
}

void CConsoleBase::DrawAt(CSceneObject* layer, f32 x, f32 y, f32 sx, f32 sy, u32 argb)
{
    DrawAt(layer, x, y, sx, sy, f32((argb >> 16) & 0xFF) / 255.0f, f32((argb >> 8) & 0xFF) / 255.0f,
        f32(argb & 0xFF) / 255.0f, f32(argb >> 24) / 255.0f);
}

void CConsoleBase::DrawAt(CSceneObject* layer, f32 x, f32 y, f32 sx, f32 sy, f32 r, f32 g, f32 b, f32 a)
{
    if (!layer) return;
    CLayerState extra;
    extra.position = CVector3(x, y, 0.0f);
    extra.scaleX = sx;
    extra.scaleY = sy;
    extra.colour = CVector4(r, g, b, a);
    layer->Draw(&extra);
}

// Drawing of the battle: every view with the split screen, and the
// screenshots taken during a spell card.
#include "game/battle/scene/BattleScene.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "engine/scene/EffectController.h"
#include "game/battle/character/Character.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/CameraController.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageEnclosure.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/data/SaveConfig.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>

namespace render = host::render;

namespace {

constexpr u32 kRenderListCapacity = 2048;
// The dash's trail: the previous frame laid over the view.
constexpr u32 kDashOverlayColour = 0xB4FFFFFFu;
constexpr u32 kScreenshotSide = 2048;

template <class T>
T* Element(const CResourceList& list, u32 i)
{
    return i < list.GetCount() ? static_cast<T*>(static_cast<CValueBase*>(list.GetAt(i))) : nullptr;
}

template <class T, class Call>
void Each(const CResourceList& list, Call call)
{
    for (u32 i = 0; i < list.GetCount(); ++i)
        if (T* element = Element<T>(list, i)) call(element);
}

CCamera* ViewCamera(const CCharacter* character)
{
    auto* controller = character ? dynamic_cast<CCameraController*>(character->GetCameraController()) : nullptr;
    return controller ? controller->GetCamera() : nullptr;
}

// The HDR filter's three regions for a view at (x, y) of w x h: where the
// scene lies, its half-size work region, and the destination size.
void SetHdrRects(CFilter* hdr, u32 x, u32 y, u32 w, u32 h)
{
    CRect4 cell, quarter, size;
    cell.Set(f32(x), f32(x + w), f32(y), f32(y + h));
    quarter.Set(f32(x), f32(x + w / 2), f32(y), f32(y + h / 2));
    size.Set(0.0f, f32(w), 0.0f, f32(h));
    hdr->SetScreenRect1(&cell);
    hdr->SetScreenRect2(&quarter);
    hdr->SetScreenRect3(&size);
}

// The filter's whole-screen quad again, after the split screen moved it.
void SetupScreenQuad(CFilter* hdr)
{
    if (auto* glow = dynamic_cast<CHDRFilter*>(hdr)) glow->SetupRects();
}

// The battle's own sizes are the first six of the shared table; the
// configuration tool offers all twelve, and each fits the target, so they
// are taken too. An index past the table (a damaged file) takes the first.
ScreenSize ScreenshotSize(const ConfigGame* game)
{
    const u32 index = game ? game->screenshotSize : 0;
    return kScreenSizes[index < kScreenSizeCount ? index : 0];
}

}  // namespace

void CBattleScene::DrawState::Reset()
{
    delete screenshotCamera;
    delete screenshotTexture;
    delete renderList;
    screenshotCamera = nullptr;
    screenshotTexture = nullptr;
    renderList = nullptr;
    shotTaken = 0;
}

u32 CBattleScene::GetViewedCharacter(u32 i) const
{
    const CCharacter* character = GetCharacter(i);
    const u32 followed = character ? character->GetStatus()->followed : i;
    return followed < GetCharacterCount() ? followed : i;
}

CRenderList* CBattleScene::GetRenderList()
{
    if (CRenderList* list = m_app ? m_app->GetRenderList() : nullptr) return list;
    if (!m_draw.renderList) m_draw.renderList = new CRenderList("描画リスト", kRenderListCapacity, GetGraphicDevice());
    // The application's filter may be made again after a device reset.
    m_draw.renderList->SetFilter(m_app ? m_app->GetHdrFilter() : nullptr);
    return m_draw.renderList;
}

i32 CBattleScene::Draw(u32)
{
    const u32 count = GetCharacterCount();
    if (!m_app || !count || !GetGraphicDevice()) return 1;
    CFilter* hdr = m_app->GetHdrFilter();
    const i32 found = FindLocalCharacter();
    const u32 local = found >= 0 ? u32(found) : 0;
    CCamera* localCamera = ViewCamera(GetCharacter(GetViewedCharacter(local)));
    if (!m_splitScreen) {
        if (localCamera) localCamera->Apply();
        SetupScreenQuad(hdr);
        DrawView(local);
        return 1;
    }
    const u32 entries = m_setup ? std::max(m_setup->count, count) : count;
    u32 n = 1;
    while (n * n < entries) ++n;
    const u32 w = m_app->GetScreenWidth() / n, h = m_app->GetScreenHeight() / n;
    for (u32 i = 0; i < count; ++i) {
        const u32 x = i % n * w, y = i / n * h;
        if (CCamera* camera = ViewCamera(GetCharacter(GetViewedCharacter(i)))) camera->SetViewport(x, y, w, h);
        if (hdr) SetHdrRects(hdr, x, y, w, h);
        DrawView(i);
    }
    if (localCamera) {
        localCamera->SetViewport(0, 0, 0, 0);
        localCamera->Apply();
    }
    SetupScreenQuad(hdr);
    return 1;
}

void CBattleScene::DrawWorld(CCharacter* viewer, CRenderList* list, CBattleConsole* console)
{
    list->Clear();
    Each<CStage>(m_stageObjects, [&](CStage* s) { s->Draw(list); });
    Each<CStage>(m_stageObjects, [&](CStage* s) {
        s->DrawDarkening(viewer);
        s->DrawDarkMesh(viewer);
    });
    Each<CCharacter>(m_characters, [&](CCharacter* c) { c->Draw(list); });
    if (console) console->AddToRenderList(list);
    for (CBullet* b = m_bullets.First(); b; b = b->GetNext()) b->Draw(list);
    if (CEffectController* effects = m_app->GetEffectController()) effects->DrawAll(list);
    Each<CStage>(m_stageObjects, [&](CStage* s) {
        if (CStageEnclosure* enclosure = s->GetEnclosure()) list->Add(enclosure, viewer->GetId());
    });
    list->Draw();
}

i32 CBattleScene::DrawView(u32 index)
{
    CCharacter* self = GetCharacter(index);
    CGraphicDevice* device = GetGraphicDevice();
    if (!self || !device || !m_app) return 0;
    const u32 viewed = GetViewedCharacter(index);
    CCharacter* viewer = GetCharacter(viewed);
    m_drawnEntry = GetEntryOf(viewed);
    device->SetState3D();
    if (!AllMenusOpen()) Each<CStage>(m_stageObjects, [&](CStage* s) { s->ShakeViewCamera(self); });
    if (CCamera* camera = ViewCamera(viewer)) camera->Apply();
    CRenderList* list = GetRenderList();
    CBattleConsole* console = GetConsole(viewed);
    DrawWorld(viewer, list, console);
    list->Present();
    device->SetBlendMode(1);
    device->SetState2D();

    CFilter* basic = m_app->GetBasicFilter();
    if (basic) {
        if (viewer->GetStatus()->action == kActionDash) basic->DrawTarget(nullptr, nullptr, kDashOverlayColour, 0);
        // Every frame, so a dash never starts on a picture from long ago.
        basic->CaptureToTarget(nullptr, nullptr, 0);
    }
    if (console) console->Draw(0);
    if (m_timer > 0.0f) FillScreenRect(nullptr, u32(std::min(m_timer, 1.0f) * 255.0f) << 24);

    // One picture per spell: the request holds until the spell ends.
    const u32 bit = viewed < 32 ? 1u << viewed : 0;
    if (!viewer->IsInScreenshotSpell()) {
        m_draw.shotTaken &= ~bit;
        return 1;
    }
    const ConfigGame* game = GameSettings();
    if (!basic || !bit || (m_draw.shotTaken & bit) || GetEntryOf(index) != m_localEntry || m_replayMode ||
        !game || !game->screenshot)
        return 1;
    TakeScreenshot(viewed);
    m_draw.shotTaken |= bit;
    return 1;
}

i32 CBattleScene::TakeScreenshot(u32 viewed)
{
    CGraphicDevice* device = GetGraphicDevice();
    CFilter* basic = m_app ? m_app->GetBasicFilter() : nullptr;
    CTexture* target = basic ? basic->GetTarget(0) : nullptr;
    CCharacter* viewer = GetCharacter(viewed);
    CCamera* source = ViewCamera(viewer);
    if (!device || !target || !source) return 0;
    if (!m_draw.screenshotTexture) {
        auto* texture = new CTexture();
        if (!texture->Create(kScreenshotSide, kScreenshotSide, 0, target->GetFormat(), render::kPoolSystemMem)) {
            delete texture;
            return 0;
        }
        m_draw.screenshotTexture = texture;
        m_draw.screenshotCamera = new CCamera();
    }
    const ScreenSize size = ScreenshotSize(GameSettings());
    CCamera& camera = *m_draw.screenshotCamera;
    camera = *source;
    const CameraProjection& p = *source->GetProjectionParams();
    camera.SetPerspective(p.fov, f32(size.width) / f32(size.height), p.nearZ, p.farZ);
    camera.SetViewport(0, 0, size.width, size.height);

    const render::Ref<render::Surface> colour(device->GetColorTarget()), depth(device->GetDepthTarget());
    CFilter* hdr = m_app->GetHdrFilter();
    CRect4 rects[3];
    if (hdr) {
        rects[0] = hdr->GetScreenRect1(), rects[1] = hdr->GetScreenRect2(), rects[2] = hdr->GetScreenRect3();
        SetHdrRects(hdr, 0, 0, size.width, size.height);
    }
    basic->SetTarget(0);
    basic->SetDepthTarget();
    camera.Apply();
    device->Clear(render::kClearTarget | render::kClearZBuffer | render::kClearStencil);
    device->SetState3D();
    CRenderList* list = GetRenderList();
    DrawWorld(viewer, list, nullptr);
    list->PresentToFilter(basic);
    if (hdr) {
        hdr->SetScreenRect1(&rects[0]);
        hdr->SetScreenRect2(&rects[1]);
        hdr->SetScreenRect3(&rects[2]);
    }
    // The view's camera again before the targets, which apply it anew: the
    // picture's viewport may not fit the back buffer.
    source->Apply();
    if (colour) device->SetColorTarget(colour.Get());
    device->SetDepthTarget(depth.Get());
    device->SetState2D();

    if (!device->GetRenderTargetData(target->GetSurface(), m_draw.screenshotTexture->GetSurface())) return 0;
    const std::string folder = m_app->GetUserDataFolder();
    if (folder.empty()) return 0;
    const host::kernel::LocalTime now = host::kernel::GetLocalTime();
    char name[1024];
    const int length = std::snprintf(name, sizeof name, "%s%02d%02d_%02d%02d%02d.bmp", folder.c_str(), now.month,
        now.day, now.hour, now.minute, now.second);
    if (length < 0 || size_t(length) >= sizeof name) return 0;
    CRect4 picture;
    picture.Set(0.0f, f32(size.width), 0.0f, f32(size.height));
    return m_draw.screenshotTexture->SaveToFile(name, render::kImageFileBmp, &picture);
}

// The game application's drawing: draw pacing, the side bars beside the 4:3
// menus, the screen filters, the menus' font and camera, and the layout
// sizes the scenes read.
#include "game/scenes/GameApp.h"

#include "engine/core/Geometry.h"
#include "engine/core/Scene.h"
#include "engine/core/Vector3.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/model/RenderList.h"
#include "engine/scene/ResourceController.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>

namespace {

constexpr f32 kLayoutAspect = 0.75f;   // 4:3, height / width
constexpr f32 kLayoutHeight = 768.0f;
constexpr u32 kFilterSize = 2048;
constexpr u32 kFontSize = 2048;
constexpr const char* kFontFace = "ＭＳ　ゴシック";
constexpr i32 kFontHeight = 32;
constexpr i32 kSquare = 16;
constexpr u32 kSquareDark = 0xFF000000u, kSquareLight = 0xFF484848u;

u32 SquareColour(i32 row, i32 column) { return (row % 2) == (column % 2) ? kSquareDark : kSquareLight; }

}  // namespace

// ------------------------------------------------------------ sizes

i32 CGameApp::GetClientWidth() const { return GetSystem() ? GetSystem()->GetWidth() : kMainWindowWidth; }
i32 CGameApp::GetClientHeight() const { return GetSystem() ? GetSystem()->GetHeight() : kMainWindowHeight; }

f32 CGameApp::GetLayoutWidth() const
{
    const f32 width = f32(GetClientWidth()), height = f32(GetClientHeight());
    if (width <= 0.0f || height / width > kLayoutAspect) return width;
    return height / kLayoutAspect;
}

f32 CGameApp::GetMargin() const { return (f32(GetClientWidth()) - GetLayoutWidth()) * 0.5f; }

f32 CGameApp::GetLayoutScale() const { return f32(GetClientHeight()) / kLayoutHeight; }

// ------------------------------------------------------------ drawing

i32 CGameApp::Draw()
{
    if (m_lag > u32(m_skippedDraws + 1) * kDrawBudgetMs && m_skippedDraws < kMaxSkippedDraws) {
        ++m_skippedDraws;
        return 0;
    }
    CGraphicDevice* device = GetDevice();
    if (device && device->BeginScene()) {
        DrawSideBars();
        if (m_scene) m_scene->Draw(0);
        device->EndScene();
    }
    m_lag = 0;
    if (m_skippedDraws != 0) {
        m_skippedDraws = 0;
        return 0;
    }
    return 1;
}

i32 CGameApp::DrawSideBars()
{
    CSystem* window = GetSystem();
    CGraphicDevice* device = GetDevice();
    if (!window || !device || !m_menuLayout || window->GetAspect() > kLayoutAspect) return 1;
    device->SetViewport(0, 0, 0, 0);
    device->SetCurrentCamera(nullptr);
    device->Clear(7);
    device->SetState2D();
    const f32 width = f32(window->GetWidth()), height = f32(window->GetHeight());
    const f32 layout = height / kLayoutAspect, margin = (width - layout) * 0.5f;
    CRect4 square;
    for (i32 row = 0; f32(row * kSquare) < height; ++row) {
        const f32 top = f32(row * kSquare), bottom = top + f32(kSquare);
        // The left bar's last square stops at the layout; the right bar runs
        // off the window's edge.
        for (i32 column = 0; f32(column * kSquare) < margin; ++column) {
            const f32 left = f32(column * kSquare);
            square.Set(left, std::min(left + f32(kSquare), margin), top, bottom);
            FillScreenRect(&square, SquareColour(row, column));
        }
        for (i32 column = 0; margin + layout + f32(column * kSquare) < width; ++column) {
            const f32 left = margin + layout + f32(column * kSquare);
            square.Set(left, left + f32(kSquare), top, bottom);
            FillScreenRect(&square, SquareColour(row, column));
        }
    }
    return 1;
}

// ------------------------------------------------------------ filters and font

void CGameApp::MakeFilters()
{
    const u32 level = m_saveConfig ? m_saveConfig->GetGraphicsSettings()->hdrLevel : 0;
    // The device's colour format: the blur passes blend by the target's
    // alpha, which a target with alpha of its own keeps near 0.
    CGraphicDevice* device = GetDevice();
    const u32 colourFormat = device ? device->GetColorFormat() : u32(host::render::kFormatX8R8G8B8);
    m_hdrFilter.reset();
    if (level > 0) {
        auto hdr = std::make_unique<CHDRFilter>();
        if (hdr->Create(kFilterSize, kFilterSize, colourFormat, host::render::kFormatD24S8)) {
            hdr->SetPassCount(level + 1);
            m_hdrFilter = std::move(hdr);
        }
    }
    if (m_renderList) m_renderList->SetFilter(m_hdrFilter.get());
    m_screenFilter.reset();
    auto screen = std::make_unique<CFilter>();
    if (screen->Create(kFilterSize, kFilterSize, colourFormat, host::render::kFormatD24S8, 1))
        m_screenFilter = std::move(screen);
}

// The current scene hears of the reset too: a scene holding a default-pool
// texture (the logo's movie) lets it go and makes it again.
i32 CGameApp::OnDeviceLost()
{
    if (auto* listener = dynamic_cast<IDeviceResetListener*>(m_scene)) listener->OnDeviceLost();
    return ReleaseDeviceResources();
}

i32 CGameApp::OnDeviceReset()
{
    const i32 result = CreateFilters();
    if (auto* listener = dynamic_cast<IDeviceResetListener*>(m_scene)) listener->OnDeviceReset();
    return result;
}

i32 CGameApp::CreateFilters()
{
    if (!m_resources) return 1;
    MakeFilters();
    CreateDefaultFont();
    return 1;
}

i32 CGameApp::ReleaseDeviceResources()
{
    if (!m_resources) return 1;
    if (m_renderList) m_renderList->SetFilter(nullptr);
    m_hdrFilter.reset();
    m_screenFilter.reset();
    CResourceList* fonts = m_resources->GetFontList();
    for (u32 i = 0; i < fonts->GetCount(); ++i) {
        if (auto* font = static_cast<CValueBase*>(fonts->GetAt(i))) static_cast<CResourceBase*>(font)->Release();
    }
    return 1;
}

i32 CGameApp::CreateDefaultFont()
{
    if (!m_resources) return 0;
    CResourceList* fonts = m_resources->GetFontList();
    if (fonts->GetCount() > 0 && fonts->GetAt(0)) {
        auto* font = static_cast<CFontTexture*>(static_cast<CValueBase*>(fonts->GetAt(0)));
        return font->Create(kFontSize, kFontSize, host::render::kFormatA8R8G8B8, kFontFace, kFontHeight);
    }
    auto font = std::make_unique<CFontTexture>();
    const i32 created = font->Create(kFontSize, kFontSize, host::render::kFormatA8R8G8B8, kFontFace, kFontHeight);
    void* element = static_cast<CValueBase*>(font.get());
    if (fonts->Add(&element)) font.release();
    return created;
}

// ------------------------------------------------------------ camera

CCamera* CGameApp::CreateDefaultCamera() const
{
    auto* camera = new CCamera();
    const CVector3 eye(0.0f, 0.0f, -2.5f), target(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    camera->SetLookAt(&eye, &target, &up);
    const f32 width = f32(GetClientWidth()), height = f32(GetClientHeight());
    if (width > 0.0f && height / width <= kLayoutAspect) {
        const f32 layout = GetLayoutWidth(), margin = GetMargin();
        camera->SetPerspective(60.0f, 1.333333f, 0.1f, 1500.0f);
        camera->SetViewport(u32(margin), 0, u32(layout), u32(height));
        if (CFilter* hdr = m_hdrFilter.get()) {
            CRect4 whole, half, size;
            whole.Set(margin, margin + layout, 0.0f, height);
            half.Set(margin, margin + layout * 0.5f, 0.0f, height * 0.5f);
            size.Set(0.0f, layout, 0.0f, height);
            hdr->SetScreenRect1(&whole);
            hdr->SetScreenRect2(&half);
            hdr->SetScreenRect3(&size);
        }
    } else {
        camera->SetPerspective(60.0f, -1.0f, 0.1f, 1500.0f);
        camera->SetViewport(0, 0, 0, 0);
        if (auto* hdr = dynamic_cast<CHDRFilter*>(m_hdrFilter.get())) hdr->SetupRects();
    }
    return camera;
}

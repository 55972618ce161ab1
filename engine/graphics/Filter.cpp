#include "engine/graphics/Filter.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"

namespace render = host::render;

namespace {

bool Ok(render::Result r) { return r == render::Result::Ok; }

CRect4 MakeRect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

}  // namespace

// ---------------------------------------------------------------- CFilter

CFilter::TargetScope::TargetScope()
    : colour_(GetGraphicDevice()->GetColorTarget()), depth_(GetGraphicDevice()->GetDepthTarget())
{
}

CFilter::TargetScope::~TargetScope()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (colour_) device->SetColorTarget(colour_);
    device->SetDepthTarget(depth_);
}

void CFilter::ClearDepthStencil()
{
    GetGraphicDevice()->GetDevice()->Clear(render::kClearZBuffer | render::kClearStencil, 0xFF000000u, 1.0f, 0);
}

CFilter::CFilter(const CFilter& other)
    : CResourceBase(other), m_ownsShader(other.m_ownsShader), m_depth(other.m_depth)
{
    if (other.m_targets) m_targets = new CResourceList(*other.m_targets);
    if (other.m_shader) m_shader = other.m_ownsShader ? new CShader(*other.m_shader) : other.m_shader;
    if (!m_shader) m_ownsShader = 0;
}

CFilter::~CFilter() { CFilter::Release(); }

i32 CFilter::Release()
{
    m_depth.Reset();
    ReleaseShader();
    ReleaseTargets();
    return CResourceBase::Release();
}

void CFilter::ReleaseShader()
{
    if (m_ownsShader) delete m_shader;
    m_shader = nullptr;
    m_ownsShader = 0;
}

void CFilter::ReleaseTargets()
{
    delete m_targets;
    m_targets = nullptr;
}

i32 CFilter::Create(u32 width, u32 height, u32 colourFormat, u32 depthFormat, u32 count)
{
    m_depth.Reset();
    ReleaseTargets();
    CGraphicDevice* device = GetGraphicDevice();
    if (!device || !device->GetDevice() || count == 0) return 0;
    m_targets = new CResourceList(count);
    if (!m_targets || m_targets->GetCount() != count) return 0;
    for (u32 i = 0; i < count; ++i) {
        auto* texture = new CTexture();
        if (!texture) return 0;
        *m_targets->GetAtPointer(i) = texture;
        if (!texture->Create(width, height, render::kUsageRenderTarget, colourFormat, render::kPoolDefault))
            return 0;
        // The service clears a render target on the device rather than
        // locking it, which the default pool refuses.
        if (!texture->FillColor(0xFF000000u)) return 0;
    }
    return Ok(device->GetDevice()->CreateDepthStencilSurface(width, height, depthFormat, 0, 0, true, m_depth.Put()))
        ? 1 : 0;
}

i32 CFilter::LoadShader(const void* bytes, const char* name, u32 size, u32 flags, u32 keepCopy)
{
    ReleaseShader();
    auto* shader = new CShader();
    if (!shader) return 0;
    m_shader = shader;
    m_ownsShader = 1;
    return shader->CreateFromMemory(bytes, name, size, flags, keepCopy);
}

CTexture* CFilter::GetTarget(u32 i) const
{
    if (!m_targets || i >= m_targets->GetCount()) return nullptr;
    return static_cast<CTexture*>(static_cast<CValueBase*>(m_targets->GetAt(i)));
}

i32 CFilter::SetTarget(u32 i)
{
    CTexture* target = GetTarget(i);
    return target ? target->SetAsRenderTarget() : 0;
}

i32 CFilter::SetTargetAndClear(u32 i, u32 /*colour*/)
{
    if (!SetTarget(i)) return 0;
    GetGraphicDevice()->GetDevice()->Clear(render::kClearTarget, 0x00000000u, 1.0f, 0);
    return 1;
}

i32 CFilter::SetDepthTarget()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!m_depth || !device) return 0;
    return device->SetDepthTarget(m_depth.Get());
}

i32 CFilter::ClearTarget(u32 i)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!GetTarget(i) || !device) return 0;
    TargetScope scope;
    SetTargetAndClear(i, 0);
    if (SetDepthTarget()) ClearDepthStencil();
    return 1;
}

CRect4 CFilter::ViewportRect()
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!device) return CRect4();
    if (const CCamera* camera = device->GetCurrentCamera()) {
        const CameraProjection* p = camera->GetProjectionParams();
        if (p->viewportWidth && p->viewportHeight)
            return MakeRect(f32(p->viewportX), f32(p->viewportY), f32(p->viewportX + p->viewportWidth),
                            f32(p->viewportY + p->viewportHeight));
    }
    return MakeRect(0.0f, 0.0f, f32(device->GetBackBufferWidth()), f32(device->GetBackBufferHeight()));
}

i32 CFilter::CaptureToTarget(const CRect4* source, const CRect4* destination, u32 i)
{
    CTexture* target = GetTarget(i);
    CGraphicDevice* device = GetGraphicDevice();
    if (!target || !device || !device->GetDevice() || !target->GetSurface()) return 0;
    const CRect4 whole = ViewportRect();
    const render::Rect s = (source ? *source : whole).ToRect<render::Rect>();
    const render::Rect d = (destination ? *destination : whole).ToRect<render::Rect>();
    return Ok(device->GetDevice()->StretchRect(device->GetBackBuffer(), &s, target->GetSurface(), &d,
                                               render::kFilterPoint))
        ? 1 : 0;
}

i32 CFilter::DrawTarget(const CRect4* destination, const CRect4* source, u32 colour, u32 i)
{
    CTexture* target = GetTarget(i);
    if (!target || !GetGraphicDevice()) return 0;
    const CRect4 whole = ViewportRect();
    // The destination counts from the viewport origin, which DrawRect adds.
    const CRect4 size = MakeRect(0.0f, 0.0f, whole.right - whole.left, whole.bottom - whole.top);
    return target->DrawRect(destination ? destination : &size, source ? source : &whole, colour, kOrientNormal);
}

i32 CFilter::Begin(u32 colour)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (!GetTargetCount() || !device || !device->GetDevice()) return 0;
    TargetScope scope;
    for (u32 i = 0; i < GetTargetCount(); ++i) SetTargetAndClear(i, colour);
    if (SetDepthTarget()) ClearDepthStencil();
    return 1;
}

i32 CFilter::Apply(u32 /*unused*/) { return DrawTarget(nullptr, nullptr, 0xFFFFFFFFu, 0); }

void CFilter::SetScreenRect1(const CRect4* rect)
{
    if (rect) m_rect1 = *rect;
}

void CFilter::SetScreenRect2(const CRect4* rect)
{
    if (rect) m_rect2 = *rect;
}

void CFilter::SetScreenRect3(const CRect4* rect)
{
    if (rect) m_rect3 = *rect;
}

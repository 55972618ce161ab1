#include "engine/scene/EffectObject.h"

#include "engine/core/Memory.h"
#include "engine/core/StringUtil.h"
#include "engine/graphics/Texture.h"
#include "engine/model/Mesh.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"

#include <cstring>

namespace {

// An AlignedAlloc'd copy of text; null for null.
char* CopyText(const char* text)
{
    if (!text) return nullptr;
    const size_t n = std::strlen(text) + 1;
    if (n > UINT32_MAX) return nullptr;
    char* copy = static_cast<char*>(AlignedAlloc(u32(n), 16));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

bool ContainsAny(const char* text, std::initializer_list<const char*> patterns)
{
    for (const char* p : patterns) {
        if (StrStr(text, p)) return true;
    }
    return false;
}

}  // namespace

// ------------------------------------------------------------------ trace

CEffectTrace::CEffectTrace(const CEffectTrace& other)
    : CValueBase(other),
      edge0(other.edge0),
      edge1(other.edge1),
      alphaDecrease(other.alphaDecrease),
      widthFactor(other.widthFactor),
      vertexCount(other.vertexCount),
      texture(other.texture),
      m_textureName(CopyText(other.m_textureName))
{
}

CEffectTrace::~CEffectTrace() { AlignedFree(m_textureName); }

void CEffectTrace::SetTextureName(const char* name)
{
    AlignedFree(m_textureName);
    m_textureName = CopyText(name);
}

// ------------------------------------------------------------------ object

CEffectObject::CEffectObject()
    : m_position("Position", CSegment(), &InterpolateCurveKey, 1),
      m_rotation("Rotation", CVector3(), 1),
      m_scaling("Scaling", CVector3(1.0f, 1.0f, 1.0f), 0),
      m_color("Color", CVector4(1.0f, 1.0f, 1.0f, 1.0f), 0),
      m_uv("UV", CVector3(), 1),
      m_rect("Rect", nullptr, 0),
      m_animation("Animation", 0u, 0),
      m_particle("Particle", 1u, 0),
      m_play("Play", 1.0f, 0)
{
    m_traces.SetName("Trace");
}

CEffectObject::CEffectObject(const CEffectObject& other)
    : CResourceBase(other),
      m_resourceName(CopyText(other.m_resourceName)),
      m_resource(other.m_resource),
      m_position(other.m_position),
      m_rotation(other.m_rotation),
      m_scaling(other.m_scaling),
      m_color(other.m_color),
      m_uv(other.m_uv),
      m_rect(other.m_rect),
      m_animation(other.m_animation),
      m_particle(other.m_particle),
      m_play(other.m_play),
      m_traces(other.m_traces),
      m_node(other.m_node),
      m_particles(other.m_particles)
{
    ResolveResource();
    // A bound texture gives its whole rectangle again.
    if (m_texture) BindResource(m_resource);
}

CEffectObject::~CEffectObject() { CEffectObject::Release(); }

void CEffectObject::FreeTexts()
{
    AlignedFree(m_resourceName);
    m_resourceName = nullptr;
    AlignedFree(m_trailingText);
    m_trailingText = nullptr;
}

i32 CEffectObject::Release()
{
    FreeTexts();
    m_position.Release();
    m_rotation.Release();
    m_scaling.Release();
    m_color.Release();
    m_uv.Release();
    m_rect.Release();
    m_animation.Release();
    m_particle.Release();
    m_play.Release();
    m_traces.Release();
    return CResourceBase::Release();
}

void CEffectObject::ResolveResource()
{
    m_texture = dynamic_cast<CTexture*>(m_resource);
    m_mesh = dynamic_cast<CMesh*>(m_resource);
    m_sound = dynamic_cast<CSoundBuffer*>(m_resource);
    m_effect = dynamic_cast<CEffectContainer*>(m_resource);
}

void CEffectObject::SetResource(const char* name, CResourceBase* resource)
{
    if (name != m_resourceName) {
        AlignedFree(m_resourceName);
        m_resourceName = CopyText(name);
    }
    BindResource(resource);
}

void CEffectObject::StoreResource(CResourceBase* resource)
{
    m_resource = resource;
    ResolveResource();
}

void CEffectObject::BindResource(CResourceBase* resource)
{
    m_resource = resource;
    ResolveResource();
    const char* name = m_resourceName;
    if (!name) return;
    if (ContainsAny(name, {".BMP", ".bmp", ".PNG", ".png", ".DDS", ".dds"})) {
        m_node.resourceKind = kEffectKindTexture;
        if (m_texture) {
            CRect4 whole;
            whole.Set(0.0f, f32(m_texture->GetWidth()), 0.0f, f32(m_texture->GetHeight()));
            m_rect.SetRectDefault(&whole);
        }
    } else if (ContainsAny(name, {".mdl", ".MDL"})) {
        m_node.resourceKind = kEffectKindModel;
    } else if (ContainsAny(name, {".wav", ".WAV", ".ogg", ".OGG"})) {
        m_node.resourceKind = kEffectKindSound;
    } else if (m_effect) {
        m_node.resourceKind = kEffectKindEffect;
    }
}

CEffectTrace* CEffectObject::GetTrace(u32 i) const
{
    return i < m_traces.GetCount() ? static_cast<CEffectTrace*>(static_cast<CValueBase*>(m_traces.GetAt(i)))
                                   : nullptr;
}

u32 CEffectObject::AddTrace(const CEffectTrace& trace)
{
    void* copy = trace.Clone();
    if (!copy) return 0;
    if (!m_traces.Add(&copy)) {
        delete static_cast<CEffectTrace*>(copy);
        return 0;
    }
    m_particles.traceCount = m_traces.GetCount();
    return 1;
}

void CEffectObject::SetTrailingText(const char* text)
{
    AlignedFree(m_trailingText);
    m_trailingText = CopyText(text);
}

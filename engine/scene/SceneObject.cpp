#include "engine/scene/SceneObject.h"

#include "engine/core/FloatMath.h"
#include "engine/graphics/Texture.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

namespace {

CRect4 AddRects(const CRect4& a, const CRect4& b)
{
    CRect4 r;
    r.Set(a.left + b.left, a.right + b.right, a.top + b.top, a.bottom + b.bottom);
    return r;
}

// Scale and colour blend relative to their own value, so a fade of a
// component keeps its ratio; a zero component grows from 0.
f32 BlendRelative(f32 v, f32 target, f32 f)
{
    return v != 0.0f ? v * (1.0f + (target / v - 1.0f) * f) : target * f;
}

f32 BlendLinear(f32 v, f32 target, f32 f) { return v + (target - v) * f; }

// Bit for bit, so -0 and +0 differ and a NaN equals itself: equal bits in
// give equal bits out.
template <class T>
bool SameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// Sets field to value; true when its bits changed.
template <class T>
bool Change(T& field, const T& value)
{
    if (SameBits(field, value)) return false;
    field = value;
    return true;
}

// A track without keys evaluates to its default: most layers of a layout
// never move, and theirs is read where it lies, with no copy to wait for.
template <class Track, class T>
const T& Evaluated(const Track& track, f32 t, u32 mode, T& scratch)
{
    if (!track.GetCount()) return *track.GetDefaultValue();
    scratch = *track.GetDefaultValue();
    track.Evaluate(t, &scratch, mode);
    return scratch;
}

}  // namespace

void KeepUnnamed(CResourceBase& copy, const CResourceBase& source)
{
    if (!source.GetName()) copy.AllocName(0);
}

CSceneObject* LayerAt(const CResourceList* list, u32 i)
{
    if (!list || i >= list->GetCount()) return nullptr;
    return static_cast<CSceneObject*>(static_cast<CValueBase*>(list->GetAt(i)));
}

u32 AppendLayer(CResourceList* list, CSceneObject* layer)
{
    if (!list || !layer) return 0;
    void* element = static_cast<CValueBase*>(layer);
    return list->Add(&element) ? 1 : 0;
}

CResourceList* CloneLayerList(const CResourceList* list)
{
    if (!list) return nullptr;
    CResourceList* copy = new CResourceList(*list);
    if (!copy) return nullptr;
    for (u32 i = 0; i < copy->GetCount(); ++i) {
        if (CSceneObject* layer = LayerAt(copy, i)) layer->SetOwnerList(copy);
    }
    return copy;
}

CSceneObject::CSceneObject() = default;

CSceneObject::CSceneObject(const char* name, CResourceList* owner) : CResourceBase(name), m_owner(owner) {}

CSceneObject::CSceneObject(CResourceList* owner) : m_owner(owner) {}

CSceneObject::CSceneObject(const CSceneObject& other)
    : CResourceBase(other),
      m_owner(other.m_owner),
      m_settings(other.m_settings),
      m_animated(other.m_animated),
      m_screen(other.m_screen),
      m_fit(other.m_fit),
      m_scene(other.m_scene),
      m_textureName(other.m_textureName),
      m_texture(other.m_texture),
      m_positionTrack(other.m_positionTrack),
      m_rotationTrack(other.m_rotationTrack),
      m_scalingTrack(other.m_scalingTrack),
      m_colourTrack(other.m_colourTrack),
      m_rectTrack(other.m_rectTrack)
{
    KeepUnnamedTracks(other);
    CopyChildrenOf(other);
}

void CSceneObject::KeepUnnamedTracks(const CSceneObject& other)
{
    KeepUnnamed(*this, other);
    KeepUnnamed(m_positionTrack, other.m_positionTrack);
    KeepUnnamed(m_rotationTrack, other.m_rotationTrack);
    KeepUnnamed(m_scalingTrack, other.m_scalingTrack);
    KeepUnnamed(m_colourTrack, other.m_colourTrack);
    KeepUnnamed(m_rectTrack, other.m_rectTrack);
}

CSceneObject::CSceneObject(const CSceneObject& other, CResourceList* owner) : CSceneObject(other)
{
    m_owner = owner;
    if (!owner) return;
    // Beside other: the walk that came to it comes through again.
    if (owner == other.m_owner) other.ForgetHeldBelow();
    AppendLayer(owner, this);
}

CSceneObject::~CSceneObject() { CSceneObject::Release(); }

i32 CSceneObject::Release()
{
    ForgetPlacement();
    m_textureName.Free();
    m_positionTrack.Release();
    m_rotationTrack.Release();
    m_scalingTrack.Release();
    m_colourTrack.Release();
    m_rectTrack.Release();
    DeleteChildren();
    return CResourceBase::Release();
}

CResourceList* CSceneObject::NewChildList() { return new CResourceList(); }

void CSceneObject::CopyChildrenOf(const CSceneObject& other)
{
    DeleteChildren();
    // An empty list is made again when it is asked for.
    if (other.m_children && other.m_children->GetCount()) m_children = CloneLayerList(other.m_children);
}

void CSceneObject::DeleteChildren()
{
    // A child that outlives its list (one that does not own it) no longer
    // reports to this layer.
    for (u32 i = 0; i < GetChildCount(); ++i) {
        CSceneObject* child = GetChild(i);
        if (child && child->m_walkParent == this) child->m_walkParent = nullptr;
    }
    ForgetHeldBelow();
    delete m_children;
    m_children = nullptr;
}

CResourceList* CSceneObject::GetChildren() const
{
    // The list may be changed: the walk looks at it again.
    ForgetHeldBelow();
    if (!m_children) m_children = NewChildList();
    return m_children;
}

CSceneObject* CSceneObject::GetChild(u32 i) const { return LayerAt(m_children, i); }

i32 CSceneObject::Initialize(intptr_t argument)
{
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) child->Initialize(argument);
    }
    return 1;
}

void CSceneObject::Evaluate()
{
    const f32 t = m_settings.time;
    const u32 mode = m_settings.evaluationMode;
    // A time that is not a number evaluates to nothing: the defaults stand.
    CSegment curveAt;
    CVector3 rotationAt, scalingAt;
    CVector4 colourAt;
    CRect4 rectAt;
    const CSegment& curve = Evaluated(m_positionTrack, t, mode, curveAt);
    const CVector3& rotation = Evaluated(m_rotationTrack, t, mode, rotationAt);
    const CVector3& scaling = Evaluated(m_scalingTrack, t, mode, scalingAt);
    const CVector4& colour = Evaluated(m_colourTrack, t, mode, colourAt);
    const CRect4& rect = Evaluated(m_rectTrack, t, mode, rectAt);

    m_animated.position = curve.end;
    m_animated.scaleX = scaling.x;
    m_animated.scaleY = scaling.y;
    m_animated.rotation = rotation.z;
    m_animated.colour = colour;
    m_animated.rect = rect;

    // From the values, not read back from the animated state just stored.
    const CLayerState& o = m_settings.offset;
    m_screen.position = o.position + curve.end;
    m_screen.scaleX = o.scaleX * scaling.x;
    m_screen.scaleY = o.scaleY * scaling.y;
    m_screen.rotation = o.rotation + rotation.z;
    m_screen.colour = o.colour.Modulate(colour);
    m_screen.rect = AddRects(o.rect, rect);
}

CRect4 CSceneObject::GetLayoutRect() const { return AddRects(m_settings.offset.rect, m_animated.rect); }

u32 CSceneObject::Update(u32 argument)
{
    // The screen state is not placed until ApplyParent.
    ForgetPlacement();
    Evaluate();
    u32 result = 1;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) result = child->Update(argument) && result;
    }
    return result;
}

void CSceneObject::Place(const CLayerState& parent, const CLayerState* scene, u32 fit, u32 keepAspect)
{
    if (scene) {
        m_scene = *scene;
        m_fit = *scene;
        if (!fit) {
            m_fit.scaleX = m_fit.scaleY = 1.0f;
        } else if (keepAspect) {
            m_fit.scaleX = m_fit.scaleY = std::min(parent.scaleX, parent.scaleY);
        }
    }
    // Top-level layers are placed by the fitted scene, children by their
    // parent's screen state.
    const CLayerState& p = &parent == scene ? m_fit : parent;

    const f32 x = m_screen.position.x * p.scaleX;
    const f32 y = m_screen.position.y * p.scaleY;
    const f32 angle = p.rotation * kDegToRad;
    // Unturned parents are the rule; the sine of a zero is that zero.
    const f32 c = angle == 0.0f ? 1.0f : CosF(angle), s = angle == 0.0f ? angle : SinF(angle);
    m_screen.position.x = x * c - y * s + p.position.x;
    m_screen.position.y = x * s + y * c + p.position.y;
    m_screen.position.z += p.position.z;
    m_screen.scaleX *= p.scaleX;
    m_screen.scaleY *= p.scaleY;

    if (keepAspect || !fit) {
        // What the fit left of the scene's size, taken up on the anchored side.
        const f32 w = m_scene.rect.right - m_scene.rect.left;
        const f32 h = m_scene.rect.bottom - m_scene.rect.top;
        const u8 anchor = m_settings.anchor;
        if (anchor & kLayerMiddle) {
            m_screen.position.y += (h * m_scene.scaleY - h * m_fit.scaleY) * 0.5f;
        } else if (anchor & kLayerBottom) {
            m_screen.position.y += h * m_scene.scaleY - h * m_fit.scaleY;
        }
        if (anchor & kLayerCentre) {
            m_screen.position.x += (w * m_scene.scaleX - w * m_fit.scaleX) * 0.5f;
        } else if (anchor & kLayerRight) {
            m_screen.position.x += w * m_scene.scaleX - w * m_fit.scaleX;
        }
    }

    m_screen.rotation += p.rotation;
    m_screen.colour *= p.colour;
}

u32 CSceneObject::ApplyParent(const CLayerState* parent, const CLayerState* scene, u32 fit, u32 keepAspect)
{
    if (!parent) return 0;
    // Placed by the two walks, which the layer keeps no account of.
    ForgetPlacement();
    Place(*parent, scene, fit, keepAspect);
    u32 result = 1;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) result = child->ApplyParent(&m_screen, scene, fit, keepAspect) && result;
    }
    return result;
}

u32 CSceneObject::UpdatePlaced(u32 argument, const CLayerState& parent, const CLayerState* scene, u32 fit, u32 keepAspect)
{
    // A top-level layer is placed in the scene state, which it copied when it
    // was last placed; any other parent may have moved since.
    const bool moved = !(scene && &parent == scene && m_placedWithScene && SameBits(m_scene, *scene));
    // Placed apart from the walk that came to it last: that walk must come
    // through again.
    if (m_walkParent) m_walkParent->ForgetHeldBelow();
    return UpdatePlacedBelow(argument, parent, scene, fit, keepAspect, moved, m_walkParent);
}

u32 CSceneObject::UpdatePlacedBelow(u32 argument, const CLayerState& parent, const CLayerState* scene, u32 fit,
                                    u32 keepAspect, bool moved, CSceneObject* walkParent)
{
    m_walkParent = walkParent;
    // A layer of a derived class takes the two walks through its own
    // Update and ApplyParent (which forget what they place), every frame.
    if (typeid(*this) != typeid(CSceneObject)) {
        m_heldBelow = false;
        const u32 result = Update(argument);
        ApplyParent(&parent, scene, fit, keepAspect);
        return result;
    }
    // A placement reads the settings and tracks (any change forgets it), the
    // parent's placed state, the scene state and the fit flags. When none of
    // them changed its states are those a new placement would give.
    const bool anew = moved || !m_placed || m_placedIn != &parent || m_placedWithScene != (scene != nullptr) ||
        m_placedFit != (fit != 0) || m_placedKeepAspect != (keepAspect != 0);
    // Nothing below changed either (every layer there is plain): the walk
    // would keep every placement of the group.
    if (!anew && m_heldBelow) return 1;
    if (anew) {
        // A layer's evaluation reads nothing a placement writes, and a child's
        // placement reads only its parent's placed state: one walk, each layer
        // evaluated and placed before its children, ends where the two walks do.
        Evaluate();
        Place(parent, scene, fit, keepAspect);
        m_placedIn = &parent;
        m_placedWithScene = scene != nullptr;
        m_placedFit = fit != 0;
        m_placedKeepAspect = keepAspect != 0;
        m_placed = true;
    }
    const CResourceList* children = m_children;
    if (!children) {
        m_heldBelow = m_placed;
        return 1;
    }
    u32 result = 1;
    const u32 count = children->GetCount();
    bool held = true;
    for (u32 i = 0; i < count; ++i) {
        if (CSceneObject* child = LayerAt(children, i)) {
            result = child->UpdatePlacedBelow(argument, m_screen, scene, fit, keepAspect, anew, this) && result;
            held = held && child->m_heldBelow;
        }
    }
    // A change made during the walk (by a derived layer's Update) has
    // cleared what it touched.
    m_heldBelow = held && m_placed;
    return result;
}

u32 CSceneObject::Draw(const CLayerState* extra)
{
    if (!m_settings.visible || !(m_screen.colour.w > 0.0f)) return 1;
    if (m_texture && !m_settings.group) {
        CLayerState l = m_screen;
        if (extra) {
            l.position.x += extra->position.x * m_fit.scaleX;
            l.position.y += extra->position.y * m_fit.scaleY;
            l.position.z += extra->position.z;
            l.scaleX *= extra->scaleX;
            l.scaleY *= extra->scaleY;
            l.rotation += extra->rotation;
            l.colour *= extra->colour;
        }
        const u32 argb = l.colour.ToARGB();
        const u8 orientation = m_settings.orientation, pivot = m_settings.pivot;
        if (l.rotation == 0.0f) {
            m_texture->DrawSprite(l.position.x, l.position.y, l.position.z, &l.rect, l.scaleX, l.scaleY, argb,
                                  orientation, 0, 0, pivot);
        } else {
            m_texture->DrawSpriteRotated(l.position.x, l.position.y, l.position.z, &l.rect, l.rotation, l.scaleX,
                                         l.scaleY, argb, orientation, pivot);
        }
    }
    u32 result = 1;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) result = child->Draw(extra) && result;
    }
    return result;
}

void CSceneObject::SetOffset(f32 x, f32 y)
{
    // Both always set (no short-circuit).
    const bool changed = Change(m_settings.offset.position.x, x) | Change(m_settings.offset.position.y, y);
    if (changed) ForgetPlacement();
}

void CSceneObject::SetRotation(f32 degrees)
{
    if (Change(m_settings.offset.rotation, degrees)) ForgetPlacement();
}

void CSceneObject::SetScale(f32 x, f32 y)
{
    const bool changed = Change(m_settings.offset.scaleX, x) | Change(m_settings.offset.scaleY, y);
    if (changed) ForgetPlacement();
}

void CSceneObject::SetColorARGB(u32 argb)
{
    CVector4 colour = m_settings.offset.colour;
    colour.FromARGB(argb);
    if (Change(m_settings.offset.colour, colour)) ForgetPlacement();
}

void CSceneObject::SetTime(f32 time)
{
    if (Change(m_settings.time, time)) ForgetPlacement();
}

void CSceneObject::MoveToRect(const CRect4* rect)
{
    if (!rect) return;
    const CRect4& a = m_animated.rect;
    CRect4 offset;
    offset.Set(rect->left - a.left, rect->right - a.right, rect->top - a.top, rect->bottom - a.bottom);
    if (Change(m_settings.offset.rect, offset)) ForgetPlacement();
}

void CSceneObject::SetRectSize(f32 w, f32 h)
{
    const CRect4& a = m_animated.rect;
    CRect4 o = m_settings.offset.rect;
    o.right = w - (a.right - a.left) + o.left;
    o.bottom = h - (a.bottom - a.top) + o.top;
    if (Change(m_settings.offset.rect, o)) ForgetPlacement();
}

void CSceneObject::SetSourceRect(const CRect4* rect)
{
    if (!rect) return;
    // The screen state is the placement's result: the next frame places anew.
    ForgetPlacement();
    m_screen.rect = *rect;
}

void CSceneObject::SetBasePosition(f32 x, f32 y)
{
    ForgetPlacement();
    const CVector3 at(x, y, 0.0f);
    const CSegment value(at, at);
    m_positionTrack.SetCurveDefault(&value);
}

void CSceneObject::SetBaseRect(f32 left, f32 right, f32 top, f32 bottom)
{
    ForgetPlacement();
    CRect4 rect;
    rect.Set(left, right, top, bottom);
    m_rectTrack.SetRectDefault(&rect);
}

void CSceneObject::SetBaseSize(f32 w, f32 h)
{
    ForgetPlacement();
    const CRect4& r = *m_rectTrack.GetDefaultValue();
    const f32 width = r.right - r.left, height = r.bottom - r.top;
    const CVector3 scale(width > 0.0f ? w / width : 1.0f, height > 0.0f ? h / height : 1.0f, 1.0f);
    m_scalingTrack.SetDefaultValue(&scale);
}

void CSceneObject::SetTextureRecursive(CTexture* texture)
{
    m_texture = texture;
    m_textureName = texture ? texture->GetName() : nullptr;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) child->SetTextureRecursive(texture);
    }
}

void CSceneObject::BindTexture(const CResourceList* textures)
{
    const char* name = m_textureName.GetText();
    m_texture = textures && name ? static_cast<CTexture*>(textures->FindByFileName(name)) : nullptr;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (CSceneObject* child = GetChild(i)) child->BindTexture(textures);
    }
}

CSceneObject* CSceneObject::FindLayer(const char* name) const
{
    if (!name || !m_children) return nullptr;
    for (u32 i = 0; i < GetChildCount(); ++i) {
        if (const CSceneObject* child = GetChild(i)) {
            if (CSceneObject* hit = child->FindLayer(name)) return hit;
        }
    }
    return static_cast<CSceneObject*>(m_children->FindByName(name));
}

u32 CSceneObject::BlendTo(const CLayerState* target, f32 t, f32 e)
{
    if (!target) return 0;
    ForgetPlacement();
    const f32 f = (1.0f - e) * t + e * t * t;
    m_screen.position.x = BlendLinear(m_screen.position.x, target->position.x, f);
    m_screen.position.y = BlendLinear(m_screen.position.y, target->position.y, f);
    m_screen.scaleX = BlendRelative(m_screen.scaleX, target->scaleX, f);
    m_screen.scaleY = BlendRelative(m_screen.scaleY, target->scaleY, f);
    m_screen.rotation = BlendLinear(m_screen.rotation, target->rotation, f);
    for (int i = 0; i < 4; ++i) m_screen.colour[i] = BlendRelative(m_screen.colour[i], target->colour[i], f);
    return 1;
}

u32 CSceneObject::BlendTo(const CSceneObject* target, f32 t, f32 e)
{
    return BlendTo(target ? &target->m_screen : nullptr, t, e);
}

CRect4 CSceneObject::OwnRect() const
{
    const f32 x = m_screen.position.x, y = m_screen.position.y;
    const f32 w = (m_screen.rect.right - m_screen.rect.left) * m_screen.scaleX;
    const f32 h = (m_screen.rect.bottom - m_screen.rect.top) * m_screen.scaleY;
    CRect4 r;
    r.Set(x, x, y, y);
    const u8 pivot = m_settings.pivot;
    if ((pivot & kLayerLeft) || pivot == 0) {
        r.right += w;
    } else if (pivot & kLayerCentre) {
        r.left -= w / 2.0f;
        r.right += w / 2.0f;
    } else if (pivot & kLayerRight) {
        r.left -= w;
    }
    if ((pivot & kLayerTop) || pivot == 0) {
        r.bottom += h;
    } else if (pivot & kLayerMiddle) {
        r.top -= h / 2.0f;
        r.bottom += h / 2.0f;
    } else if (pivot & kLayerBottom) {
        r.top -= h;
    }
    return r;
}

CRect4 CSceneObject::GetBoundingRect() const
{
    bool have = !m_settings.group;
    CRect4 r = have ? OwnRect() : CRect4();
    for (u32 i = 0; i < GetChildCount(); ++i) {
        const CSceneObject* child = GetChild(i);
        if (!child || child->m_settings.group) continue;
        const CRect4 c = child->GetBoundingRect();
        if (!have) {
            r = c;
            have = true;
            continue;
        }
        r.Set(std::min(r.left, c.left), std::max(r.right, c.right), std::min(r.top, c.top),
              std::max(r.bottom, c.bottom));
    }
    // A group with nothing to unite: the point where it stands.
    if (!have) r.Set(m_screen.position.x, m_screen.position.x, m_screen.position.y, m_screen.position.y);
    return r;
}

void CSceneObject::GetCenter(f32* x, f32* y) const
{
    f32 sumX = 0.0f, sumY = 0.0f;
    u32 n = 0;
    if (!m_settings.group) {
        const CRect4& r = m_screen.rect;
        sumX += m_screen.position.x + (r.right - r.left) * m_screen.scaleX * 0.5f;
        sumY += m_screen.position.y + (r.bottom - r.top) * m_screen.scaleY * 0.5f;
        ++n;
    }
    for (u32 i = 0; i < GetChildCount(); ++i) {
        const CSceneObject* child = GetChild(i);
        if (!child || child->m_settings.group) continue;
        f32 cx = 0.0f, cy = 0.0f;
        child->GetCenter(&cx, &cy);
        sumX += cx;
        sumY += cy;
        ++n;
    }
    // A group with nothing to average: the point where it stands.
    if (x) *x = n ? sumX / f32(n) : m_screen.position.x;
    if (y) *y = n ? sumY / f32(n) : m_screen.position.y;
}

u32 CSceneObject::RotateChildren(f32 degrees)
{
    if (!m_settings.group) return 0;
    const CRect4 bounds = GetBoundingRect();
    const f32 cx = (bounds.left + bounds.right) * 0.5f;
    const f32 cy = (bounds.top + bounds.bottom) * 0.5f;
    const f32 angle = degrees * kDegToRad;
    const f32 c = CosF(angle), s = SinF(angle);
    for (u32 i = 0; i < GetChildCount(); ++i) {
        CSceneObject* child = GetChild(i);
        if (!child) continue;
        child->ForgetPlacement();
        CVector3& p = child->m_screen.position;
        const f32 dx = p.x - cx, dy = p.y - cy;
        p.x = cx + (dx * c - dy * s);
        p.y = cy + (dx * s + dy * c);
        child->m_screen.rotation = degrees;
        child->m_settings.pivot = kLayerLeft | kLayerTop;
    }
    return 1;
}

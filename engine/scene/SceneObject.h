// CSceneObject: one layer of a 2D scene layout: a named rectangle of a
// texture (a button, a caption, a digit, a cursor) or a group of layers.
//
// Five key-frame tracks animate the position (a curve), rotation, scale,
// colour and source rectangle. Each frame Update evaluates them at the
// layer's time and combines them with the layer's fixed offsets into the
// screen state; ApplyParent places that state through the parent's and the
// scene's; Draw draws it as a sprite, then the children. Between those two
// steps scenes may still adjust the screen state (BlendTo, RotateChildren,
// SetSourceRect).
//
// A layer keeps its last placement while nothing it reads has changed: its
// settings and tracks, its parent's placed state, the scene state and the
// fit flags. Every setter and every mutable accessor (settings, screen
// state, tracks) forgets the placement, so the next frame places the layer
// anew; a layer that changed nothing keeps the very states a new placement
// would give. A forgotten placement is also made known to the layers above
// (the ones the last walk came through), so that a walk passes over a whole
// group in which nothing changed. Asking for a child list or an owner list
// makes it known too, since a layer may be added to it: ask again for each
// change rather than keep the list across frames.
//
// The layer keeps its own record inside a scene layout file (SceneFile.h).
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/KeyFrameList.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/scene/LayerState.h"

#include <cstdint>

namespace host::kernel { class File; }
namespace scene_file { class Reader; }
class CMemStream;
class CPSDReader;
class CTexture;

// Where the screen position lies on the drawn image (pivot flags), and
// which way a layer follows a scaled scene (anchor flags).
enum LayerPlacement : u8 {
    kLayerLeft = 1,
    kLayerCentre = 2,
    kLayerRight = 4,
    kLayerTop = 16,
    kLayerMiddle = 32,
    kLayerBottom = 64,
};

// The settings a layer stores: 76 bytes in its record, in this order.
struct LayerSettings {
    // Added to the animated position, rotation and rect; multiplied with
    // the animated scale and colour.
    CLayerState offset;
    // 0 hides the layer and all its children.
    u32 visible = 0;
    // Non-zero: no image of its own, a folder of children.
    u32 group = 0;
    // Sprite orientation 0..5 (4 and 5 exchange width and height).
    u8 orientation = 0;
    // LayerPlacement; 0 means left and top.
    u8 pivot = 0;
    u8 reserved = 0;
    // LayerPlacement: centre, right, middle and bottom are used.
    u8 anchor = 0;
    // Passed to every track evaluation: 0 wraps a looping track from time
    // 0, 1 repeats it between its first and last key, 2 holds the last key.
    u32 evaluationMode = 0;
    // The time at which the tracks are evaluated.
    f32 time = 0.0f;
};
static_assert(sizeof(LayerSettings) == 76);

class CSceneObject : public CResourceBase {
    ORV_VALUE_CLASS(CSceneObject)

public:
    using CurveTrack = CKeyFrameList<CSegment>;   // start = control point, end = point
    using VectorTrack = CKeyFrameList<CVector3>;
    using ColourTrack = CKeyFrameList<CVector4>;
    using RectTrack = CKeyFrameList<CRect4>;

    // An unnamed layer of no list: hidden, offset scale (1, 1), offset
    // colour white, no texture, no children.
    CSceneObject();
    CSceneObject(const char* name, CResourceList* owner);
    explicit CSceneObject(CResourceList* owner);
    // A deep copy: settings, states, texture name and (shared) texture,
    // tracks and owner; every child is copied too and owned by the copy.
    CSceneObject(const CSceneObject& other);
    // The same copy with owner as its owner; a non-null owner also gets the
    // copy appended (scenes duplicate a layer beside the original this way).
    CSceneObject(const CSceneObject& other, CResourceList* owner);
    CSceneObject& operator=(const CSceneObject&) = delete;
    ~CSceneObject() override;

    // Frees the texture name, empties the tracks, deletes the children,
    // then the name. Returns 1.
    i32 Release() override;

    // -- Virtual operations, in their fixed order. --

    // Every child's Initialize; returns 1.
    virtual i32 Initialize(intptr_t argument);
    // Evaluates the tracks into the animated state and builds the screen
    // state from it and the offsets; then the children. The AND of the
    // children's results (1 without children).
    virtual u32 Update(u32 argument);
    // Fills this group from a PSD layout starting after the group marker at
    // *index, with child layers whose images come from the atlas; *index
    // ends at the group's folder record, or at the last record when the
    // group is never closed. 0 when a list or index is missing or groups
    // nest too deep.
    virtual u32 BuildGroup(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture, u32* index);
    // Writes the layer record, children included, at the file's position.
    // 1, or 0 for a null file or a failed write.
    virtual u32 Save(host::kernel::File* file) const;
    // Read one layer record from the stream's position or the file's,
    // replacing name, settings, texture name, tracks and children; the
    // texture is unbound. A record cut short keeps what was read and leaves
    // the fields after it as they were, the position at the end. 0 for a
    // null stream or file, or a name that cannot be allocated.
    virtual u32 LoadFromMemory(CMemStream* stream);
    virtual u32 LoadFromFile(host::kernel::File* file);
    // Draws the layer and its children, unless it is hidden or its screen
    // alpha is not above 0. extra (may be null) is added at draw time: its
    // position (scaled by the fit state), scale, rotation and colour. The
    // AND of the children's results (1 without children or when hidden).
    virtual u32 Draw(const CLayerState* extra);
    // Places the screen state in the frame of parent (the parent layer's
    // screen state, or the scene state itself for top-level layers) and
    // scene; then the children. 0 for a null parent, else the AND of the
    // children's results.
    virtual u32 ApplyParent(const CLayerState* parent, const CLayerState* scene, u32 fit, u32 keepAspect);

    // This class's Update(argument) and then its ApplyParent(&parent, ...),
    // in one walk over the layers instead of two, with the same states at
    // the end; the AND of the evaluation results. A layout's frame calls it.
    // A layer of a derived class gets its own Update and ApplyParent, one
    // after the other, so an override is called as before (though one below
    // a plain layer finds its parent already placed).
    // A plain layer whose last placement still holds keeps it: it is placed
    // anew after any change to what it reads, or when its parent was; a
    // group in which nothing changed is passed over whole.
    u32 UpdatePlaced(u32 argument, const CLayerState& parent, const CLayerState* scene, u32 fit, u32 keepAspect);
    // Whether the layer's states hold its last placement (nothing it reads
    // has changed since); the next UpdatePlaced then keeps them.
    bool HoldsPlacement() const { return m_placed; }

    // -- What scenes call. --

    // Visibility and grouping are not read by a placement, so it stays.
    void SetVisible(u32 visible) { m_settings.visible = visible; }
    void SetGroup(u32 group) { m_settings.group = group; }
    // Offset position x and y.
    void SetOffset(f32 x, f32 y);
    // Offset rotation, degrees.
    void SetRotation(f32 degrees);
    // Offset scale.
    void SetScale(f32 x, f32 y);
    // Offset colour from 0xAARRGGBB.
    void SetColorARGB(u32 argb);
    void SetTime(f32 time);
    // After the next Update the screen rect equals rect. Null is ignored.
    void MoveToRect(const CRect4* rect);
    // After the next Update the screen rect is w wide and h high, its left
    // and top unchanged (panels unroll this way).
    void SetRectSize(f32 w, f32 h);
    // The same operation under the name the lobby's wipes use.
    void SetRectOrigin(f32 x, f32 y) { SetRectSize(x, y); }
    // Screen rect := rect until the next Update. Null is ignored.
    void SetSourceRect(const CRect4* rect);
    // Default of the Position track: control point and point (x, y, 0).
    void SetBasePosition(f32 x, f32 y);
    // Default of the Rect track (the argument order of CRect4::Set).
    void SetBaseRect(f32 left, f32 right, f32 top, f32 bottom);
    // Default of the Scaling track: (w, h) over the Rect track's default
    // size; an axis whose extent is not positive keeps 1.
    void SetBaseSize(f32 w, f32 h);
    // Binds texture (not owned) and takes its name as the texture name; a
    // null texture clears both. The same for every child.
    void SetTextureRecursive(CTexture* texture);
    // Binds the texture of textures whose file name equals this layer's
    // texture name (none when there is no such texture, or no list); the
    // texture name stays. The same for every child.
    void BindTexture(const CResourceList* textures);

    // The first layer of that name below this one: each child's own
    // descendants before the child list itself, so a deeper match wins.
    // Null for a null name.
    CSceneObject* FindLayer(const char* name) const;
    // The list that holds this layer (not owned). A layer may be added to
    // it, so the walk looks through the groups above this one again.
    CResourceList* GetOwnerList() const
    {
        ForgetHeldBelow();
        return m_owner;
    }
    // A layer given to another list leaves the walk it came from: the groups
    // it reported to may be deleted before it.
    void SetOwnerList(CResourceList* owner)
    {
        if (owner != m_owner) {
            ForgetHeldBelow();
            m_walkParent = nullptr;
        }
        m_owner = owner;
    }

    // Moves the screen position, scale, rotation and colour toward target by
    // f = (1 - e) t + e t^2 (scale and colour relative to their own value);
    // z and rect stay. 0 for a null target.
    u32 BlendTo(const CLayerState* target, f32 t, f32 e);
    u32 BlendTo(const CSceneObject* target, f32 t, f32 e);
    // The drawn rectangle of the layer (by its pivot flags) united with
    // those of its children that are not groups.
    CRect4 GetBoundingRect() const;
    // The mean of the centre of this layer's image and those of its
    // children that are not groups.
    void GetCenter(f32* x, f32* y) const;
    // Groups only: turns every child's screen position about the group's
    // centre by degrees and gives each that rotation and pivot top-left.
    // 0 for a layer that is not a group.
    u32 RotateChildren(f32 degrees);

    // -- Contents. --

    // The mutable accessors forget the placement (a reference taken from
    // them is for writing now, not after the next frame's placement); read
    // through a const layer to keep it.
    LayerSettings& GetSettings()
    {
        ForgetPlacement();
        return m_settings;
    }
    const LayerSettings& GetSettings() const { return m_settings; }
    const CLayerState& GetAnimatedState() const { return m_animated; }
    // The source rectangle as the layout gives it (its track plus its
    // offset), whatever the drawn rectangle has been set to since.
    CRect4 GetLayoutRect() const;
    CLayerState& GetScreenState()
    {
        ForgetPlacement();
        return m_screen;
    }
    const CLayerState& GetScreenState() const { return m_screen; }
    const CLayerState& GetFitState() const { return m_fit; }
    const CLayerState& GetSceneState() const { return m_scene; }
    const char* GetTextureName() const { return m_textureName.GetText(); }
    CTexture* GetTexture() const { return m_texture; }
    // The child list, made empty when first asked for (a layer without
    // children may have none); null only when it could not be allocated.
    CResourceList* GetChildren() const;
    u32 GetChildCount() const { return m_children ? m_children->GetCount() : 0; }
    // Child i, null past the count.
    CSceneObject* GetChild(u32 i) const;

    CurveTrack& GetPositionTrack()
    {
        ForgetPlacement();
        return m_positionTrack;
    }
    VectorTrack& GetRotationTrack()
    {
        ForgetPlacement();
        return m_rotationTrack;
    }
    VectorTrack& GetScalingTrack()
    {
        ForgetPlacement();
        return m_scalingTrack;
    }
    ColourTrack& GetColourTrack()
    {
        ForgetPlacement();
        return m_colourTrack;
    }
    RectTrack& GetRectTrack()
    {
        ForgetPlacement();
        return m_rectTrack;
    }
    const CurveTrack& GetPositionTrack() const { return m_positionTrack; }
    const VectorTrack& GetRotationTrack() const { return m_rotationTrack; }
    const VectorTrack& GetScalingTrack() const { return m_scalingTrack; }
    const ColourTrack& GetColourTrack() const { return m_colourTrack; }
    const RectTrack& GetRectTrack() const { return m_rectTrack; }

    // The record reader of scene files: one layer record at the reader's
    // position over this layer, its children depth + 1 levels down. 1, also
    // for a record cut short; 0 only when the name cannot be allocated
    // (nothing after it is read then).
    u32 ReadRecord(scene_file::Reader& in, u32 depth);

private:
    // This layer's placement no longer holds, nor therefore the groups'
    // above it.
    void ForgetPlacement() const
    {
        m_placed = false;
        ForgetHeldBelow();
    }
    // Something below this layer changed: it and the layers above it are
    // walked through again. The walk stops at the first layer already known.
    void ForgetHeldBelow() const
    {
        for (const CSceneObject* p = this; p && p->m_heldBelow; p = p->m_walkParent) p->m_heldBelow = false;
    }
    // UpdatePlaced below the top: moved says the parent was placed anew,
    // walkParent is the layer whose child this one is (null at the top).
    u32 UpdatePlacedBelow(u32 argument, const CLayerState& parent, const CLayerState* scene, u32 fit, u32 keepAspect,
                          bool moved, CSceneObject* walkParent);
    // An empty owned child list, or null when it cannot be allocated.
    static CResourceList* NewChildList();
    // Replaces the children with copies of other's children.
    void CopyChildrenOf(const CSceneObject& other);
    void DeleteChildren();
    // The resource base's copy names an unnamed object "": undone for the
    // layer and its tracks, so a copy saves as its source does.
    void KeepUnnamedTracks(const CSceneObject& other);
    // Reads a record from bytes; *used gets the bytes it took.
    u32 LoadFromBytes(const u8* data, size_t size, size_t* used);
    bool WriteRecord(host::kernel::File& file) const;
    u32 BuildGroupAt(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture, u32* index, u32 depth);
    // The tracks evaluated into the animated and screen states (Update
    // without the children).
    void Evaluate();
    // The screen state placed in parent's frame (ApplyParent without the
    // children).
    void Place(const CLayerState& parent, const CLayerState* scene, u32 fit, u32 keepAspect);
    // This layer's own drawn rectangle, without its children.
    CRect4 OwnRect() const;

    // First, beside the class pointer, so that the walk decides about a
    // layer from the line it reads first: what its last placement was made
    // in (the parent state's address, whether there was a scene, the fit
    // flags), whether its states still hold it, and its child list.
    const CLayerState* m_placedIn = nullptr;
    // The layer whose walk last came to this one (null for a top-level
    // layer or one never walked); cleared when that layer deletes its
    // children, so that it never outlives it.
    CSceneObject* m_walkParent = nullptr;
    CResourceList* m_owner = nullptr;
    // Null until a child list is asked for or read, so that the walk over a
    // layer without children stops at this line.
    mutable CResourceList* m_children = nullptr;
    mutable bool m_placed = false;
    // This layer and every layer below it hold their placements.
    mutable bool m_heldBelow = false;
    bool m_placedWithScene = false;
    bool m_placedFit = false;
    bool m_placedKeepAspect = false;

    LayerSettings m_settings;
    CLayerState m_animated;
    CLayerState m_screen;
    CLayerState m_fit;
    CLayerState m_scene;
    CString m_textureName;
    CTexture* m_texture = nullptr;
    CurveTrack m_positionTrack{"Position", CSegment(), &InterpolateCurveKey, 1};
    VectorTrack m_rotationTrack{"Rotation", CVector3(), 1};
    VectorTrack m_scalingTrack{"Scaling", CVector3(1.0f, 1.0f, 1.0f), 0};
    ColourTrack m_colourTrack{"Color", CVector4(1.0f, 1.0f, 1.0f, 1.0f), 0};
    RectTrack m_rectTrack{"Rect", nullptr, 0};
};

// Makes copy unnamed when source is (the resource base's copy gives an
// unnamed object the name "").
void KeepUnnamed(CResourceBase& copy, const CResourceBase& source);
// Layer i of a layer list, null for a null list, past the count or an
// empty slot.
CSceneObject* LayerAt(const CResourceList* list, u32 i);
// Appends layer to list; 0 when the list cannot grow (layer not added).
u32 AppendLayer(CResourceList* list, CSceneObject* layer);
// A deep copy of a layer list whose copied layers are owned by the copy;
// null for a null list or when the copy cannot be allocated.
CResourceList* CloneLayerList(const CResourceList* list);

// CEffectObject: one node of an effect definition. It names the resource the
// node shows or plays (a texture for sprite particles, a model, a sound or a
// nested effect), animates it with nine key-frame tracks and two settings
// blocks, and may give every particle ribbon trails (its trace entries).
// Playing the definition turns each object into a live CEffect node.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/KeyFrameList.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <string>

namespace scene_file { class Reader; }
namespace host::kernel { class File; }

class CEffectContainer;
class CMesh;
class CSoundBuffer;
class CTexture;

// What the node's resource is.
enum EffectResourceKind : u8 {
    kEffectKindTexture = 0,   // sprite particles
    kEffectKindModel = 1,
    kEffectKindSound = 2,
    kEffectKindEffect = 3,    // a nested effect per particle
};

// Placement flags of the node settings.
enum EffectPlacementFlag : u32 {
    kPlaceNoOwnRotation = 1,       // particles unrotated, translated through the node's rotation
    kPlaceFaceAway = 2,            // particles face away from their owner
    kPlaceFogOff = 4,
    kPlaceTowardOrigin = 8,
    kPlaceAlongBone = 16,          // the node faces along its linked bone
    kPlaceReleased = 32,           // particles keep the node's placement of their birth
    kPlaceNoRotation = 64,         // the node's placement is not rotated
    kPlaceReleasePosition = 128,
    kPlaceReleaseRotation = 256,
    kPlaceReleaseScaling = 512,
    kPlaceReleaseColor = 1024,
};

// The node settings block, 60 bytes in the file.
struct EffectNodeSettings {
    f32 life = 0.0f;             // 0 or less: no limit
    u8 resourceKind = 0;         // EffectResourceKind
    u8 unused[3] = {};
    f32 radiusFactor = 0.0f;     // particles' sorting radius (0: left alone)
    CVector3 axisWeights;        // axis-locked billboard (modes 4 and above)
    u32 sorted = 0;              // particles go through the render list
    u32 billboard = 0;           // 0 none, 1 inverse view, 2 camera orientation, 3 about Y, else axis-locked
    u32 blendMode = 0;
    u32 drawLayer = 0;
    u32 userWord = 0;            // the render list's filter target
    u32 loopMode = 1;            // 1 repeats the keys, 2 holds the last, else wraps from 0
    u32 flags = 0;               // EffectPlacementFlag
    i32 volumeOffset = 0;        // hundredths of a dB
    u32 rotationOrder = 1;       // lowest set bit: 1 ZXY, 2 XYZ, 4 YZX, 8 ZYX, 16 XZY, 32 YXZ
};

// The particle settings block, 156 bytes in the file.
struct EffectParticleSettings {
    f32 life = 0.0f;             // seconds; 0: as long as the node
    CVector3 offset;             // a non-zero z, x, y turns it at random about X, Y, Z
    CVector3 offsetSpread;
    CVector3 rotationSpread;     // degrees
    CVector3 scalingSpread;
    CVector3 scalingDecrease;    // per second
    CVector3 direction;
    CVector3 directionSpread;
    CVector3 spin;               // degrees per second
    CVector4 colorSpread;
    CVector4 colorDecrease;      // per second
    f32 speed = 0.0f;
    f32 speedSpread = 0.0f;
    f32 acceleration = 0.0f;     // vertical
    u32 unused = 0;
    u32 linked = 0;              // new particles hang off the previous generation
    u32 traceCount = 0;          // kept equal to the trace entries
};

constexpr u32 kEffectNodeSettingsSize = 60;
constexpr u32 kEffectParticleSettingsSize = 156;

// One ribbon trail of every particle of the node.
class CEffectTrace : public CValueBase {
    ORV_VALUE_CLASS(CEffectTrace)

public:
    CEffectTrace() = default;
    // The texture name copied; the bound texture shared.
    CEffectTrace(const CEffectTrace& other);
    CEffectTrace& operator=(const CEffectTrace&) = delete;
    ~CEffectTrace() override;

    // A copy of name (null: none).
    void SetTextureName(const char* name);
    const char* GetTextureName() const { return m_textureName; }

    CVector3 edge0;              // the two edge points of the ribbon, in the particle's space
    CVector3 edge1;
    f32 alphaDecrease = 0.0f;    // per update
    f32 widthFactor = 0.0f;      // older second vertices move this much towards the first
    u32 vertexCount = 0;         // two per trail point
    CTexture* texture = nullptr; // bound, not owned

private:
    char* m_textureName = nullptr;
};

class CEffectObject : public CResourceBase {
    ORV_VALUE_CLASS(CEffectObject)

public:
    // Empty tracks with their names and defaults; loop mode 1, rotation
    // order 1; no resource, no trace entries, no parent object.
    CEffectObject();
    // Name, tracks, both blocks, trace entries, resource name and bound
    // resource; no trailing text and no parent object.
    CEffectObject(const CEffectObject& other);
    CEffectObject& operator=(const CEffectObject&) = delete;
    ~CEffectObject() override;

    // Names, keys, trace entries and texts freed. 1.
    i32 Release() override;

    // One object record at the open file's position (the file's position
    // moves past it), or without a file from path, opened and closed here.
    // A damaged record leaves the object as it was. 1 or 0.
    u32 Read(const char* path, host::kernel::File* file);
    u32 Write(const char* path, host::kernel::File* file) const;

    // -- The resource. --

    const char* GetResourceName() const { return m_resourceName; }
    // Stores a copy of name, then binds resource as BindResource does.
    void SetResource(const char* name, CResourceBase* resource);
    // Stores resource (null: unbound) and takes the kind from the resource
    // name: ".bmp", ".png", ".dds" texture (with a texture, the Rect track's
    // default becomes its whole rectangle), ".mdl" model, ".wav", ".ogg"
    // sound, anything else a nested effect when resource is a container; in
    // both cases as upper or lower case, else the kind stays.
    void BindResource(CResourceBase* resource);
    // Stores resource as the bound one (null: unbound) and nothing else:
    // the kind and the Rect track stay as the file gave them.
    void StoreResource(CResourceBase* resource);
    CResourceBase* GetResource() const { return m_resource; }
    u8 GetResourceKind() const { return m_node.resourceKind; }
    // The bound resource as the class the kind says, or null when it is not
    // one: a node never takes a resource for another class than it is.
    CTexture* GetTexture() const { return m_node.resourceKind == kEffectKindTexture ? m_texture : nullptr; }
    CMesh* GetModel() const { return m_node.resourceKind == kEffectKindModel ? m_mesh : nullptr; }
    CSoundBuffer* GetSound() const { return m_node.resourceKind == kEffectKindSound ? m_sound : nullptr; }
    CEffectContainer* GetEffect() const { return m_node.resourceKind == kEffectKindEffect ? m_effect : nullptr; }

    // -- Tracks and settings. --

    CKeyFrameList<CSegment>& GetPositionTrack() { return m_position; }
    CKeyFrameList<CVector3>& GetRotationTrack() { return m_rotation; }
    CKeyFrameList<CVector3>& GetScalingTrack() { return m_scaling; }
    CKeyFrameList<CVector4>& GetColorTrack() { return m_color; }
    CKeyFrameList<CVector3>& GetUVTrack() { return m_uv; }
    CKeyFrameList<CRect4>& GetRectTrack() { return m_rect; }
    CKeyFrameTrack& GetAnimationTrack() { return m_animation; }
    CKeyFrameTrack& GetParticleTrack() { return m_particle; }
    CKeyFrameList<f32>& GetPlayTrack() { return m_play; }
    const CKeyFrameList<CSegment>& GetPositionTrack() const { return m_position; }
    const CKeyFrameList<CVector3>& GetRotationTrack() const { return m_rotation; }
    const CKeyFrameList<CVector3>& GetScalingTrack() const { return m_scaling; }
    const CKeyFrameList<CVector4>& GetColorTrack() const { return m_color; }
    const CKeyFrameList<CVector3>& GetUVTrack() const { return m_uv; }
    const CKeyFrameList<CRect4>& GetRectTrack() const { return m_rect; }
    const CKeyFrameTrack& GetAnimationTrack() const { return m_animation; }
    const CKeyFrameTrack& GetParticleTrack() const { return m_particle; }
    const CKeyFrameList<f32>& GetPlayTrack() const { return m_play; }

    EffectNodeSettings& GetNodeSettings() { return m_node; }
    const EffectNodeSettings& GetNodeSettings() const { return m_node; }
    EffectParticleSettings& GetParticleSettings() { return m_particles; }
    const EffectParticleSettings& GetParticleSettings() const { return m_particles; }

    // -- Trace entries. --

    u32 GetTraceCount() const { return m_traces.GetCount(); }
    CEffectTrace* GetTrace(u32 i) const;
    // Appends a copy; the particle settings' count follows. 0 when the list
    // cannot grow.
    u32 AddTrace(const CEffectTrace& trace);

    // -- Texts and links. --

    const char* GetTrailingText() const { return m_trailingText; }
    void SetTrailingText(const char* text);
    // The object whose node becomes this node's parent when played; never
    // stored in the file.
    CEffectObject* GetParentObject() const { return m_parent; }
    void SetParentObject(CEffectObject* parent) { m_parent = parent; }

    // -- The file record, for the container (EffectFile.cpp). --

    // Appends the record to out.
    void AppendRecord(std::string& out) const;
    // Replaces the object with the record at data; *used gets its length.
    // A damaged or cut record gives 0 and leaves the object as it was.
    u32 ParseRecord(const u8* data, size_t size, size_t* used);

private:
    // Reads a record into this object field by field; false when it is
    // damaged, the object then partly read.
    bool ParseInto(scene_file::Reader& in);
    void FreeTexts();
    void ResolveResource();

    char* m_resourceName = nullptr;
    CResourceBase* m_resource = nullptr;
    // The bound resource as each class it may be, or null.
    CTexture* m_texture = nullptr;
    CMesh* m_mesh = nullptr;
    CSoundBuffer* m_sound = nullptr;
    CEffectContainer* m_effect = nullptr;

    CKeyFrameList<CSegment> m_position;
    CKeyFrameList<CVector3> m_rotation;
    CKeyFrameList<CVector3> m_scaling;
    CKeyFrameList<CVector4> m_color;
    CKeyFrameList<CVector3> m_uv;
    CKeyFrameList<CRect4> m_rect;
    CKeyFrameTrack m_animation;
    CKeyFrameTrack m_particle;
    CKeyFrameList<f32> m_play;
    CResourceListOf<CEffectTrace> m_traces;

    EffectNodeSettings m_node;
    EffectParticleSettings m_particles;
    char* m_trailingText = nullptr;
    CEffectObject* m_parent = nullptr;
};

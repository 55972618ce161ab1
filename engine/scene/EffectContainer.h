// CEffectContainer: an effect definition, a named list of effect objects
// (EffectObject.h) read from and written to an effect file (EffectFile.h).
// The resource controller owns the loaded definitions in its effect list,
// finds them by name and binds their objects to its media lists.
//
// Playing a container builds one live instance: a tree of CEffect nodes,
// one per object, taken from the effect controller's node pool. Objects
// with a parent object become children of that object's node; the others
// (every object read from a file) play as siblings.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <cstddef>
#include <string>

class CEffect;
class CEffectController;
class CEffectObject;
class CObjectBase;
struct CAnimationFrame;
struct EffectPlayParams;

class CEffectContainer : public CResourceBase {
    ORV_VALUE_CLASS(CEffectContainer)

public:
    static constexpr u8 kResourceType = 8;

    CEffectContainer();
    // Every object copied deeply (EffectObject.h), the parent links among
    // them made again between the copies.
    CEffectContainer(const CEffectContainer& other);
    CEffectContainer& operator=(const CEffectContainer&) = delete;
    ~CEffectContainer() override;

    // Deletes every object, then the name. 1.
    i32 Release() override;

    // Reads path (null: the container's name + ".efc") and appends its
    // objects after those held; the stored name replaces the container's.
    // 1, or 0 when the file cannot be read or is damaged: the container is
    // then unchanged.
    u32 Load(const char* path);
    // The same from size bytes of an effect file.
    u32 LoadFromMemory(const void* data, size_t size);
    // Writes the file at path (null: the name + ".efc"), replacing it whole.
    // 1, or 0 when it cannot.
    u32 Save(const char* path) const;
    // The file's bytes.
    std::string SaveToMemory() const;
    // Binds each object's resource by its kind to the first element of
    // textures, models, sounds or effects whose file name equals the
    // resource's (a null list or no match leaves it unbound), and every
    // trace entry's texture in textures. 1.
    u32 BindResources(CResourceList* models, CResourceList* textures, CResourceList* sounds, CResourceList* effects);

    u32 GetObjectCount() const { return m_objects.GetCount(); }
    CEffectObject* GetObject(u32 i) const;
    // Takes object (it is deleted with the container). 0 for null or when
    // the list cannot grow; the object is then still the caller's.
    u32 AddObject(CEffectObject* object);

    // -- Playing. --

    // Builds an instance in controller: for each object a node from the
    // node pool (a full pool ends the instance with the nodes made so far,
    // counted by the controller as refused), set up with params (null: the
    // defaults of EffectPlayParams), the given placement and end time (0:
    // none). Without a parent node the instance's first node is returned and,
    // with registerFlag, put in front of the controller's live effects. Under
    // a parent node the instance's first nodes go in front of that node's
    // children and belong to its tree: they are never registered. Null
    // without a controller, when no node could be taken, or when an object's
    // parent object has no node among the first nodes (its nodes go back).
    CEffect* Play(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, f32 endTime, u32 registerFlag, const EffectPlayParams* params,
        CEffect* parent) const;

    // The play wrappers: each fills a play record (colour and scaling 1)
    // and calls Play.
    // position and rotation into the record when given; scaling and colour
    // from theirs or 1; with follow the four become followed; the frame.
    CEffect* PlayFull(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, const CVector4* color, f32 endTime, u32 registerFlag, u32 follow,
        CAnimationFrame* linkFrame, CEffect* parent) const;
    // With follow, position, rotation and scaling are followed. endTime is
    // when the instance ends (0: never by itself); callers that think of it
    // as a start time pass 0, which plays from the start with no end.
    CEffect* PlayAt(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, f32 endTime, u32 registerFlag, u32 follow, CEffect* parent) const;
    // Follows attached's position, rotation, scaling and colour.
    CEffect* PlayAttached(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, u32 registerFlag, CObjectBase* attached, CEffect* parent) const;
    // Placed on a bone frame: position and rotation into the record when
    // given, scaling from its pointer or 1.
    CEffect* PlayLinked(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, u32 registerFlag, CAnimationFrame* linkFrame, CEffect* parent) const;
    CEffect* PlayPlaced(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, u32 registerFlag, CEffect* parent) const;
    CEffect* PlayAtPosition(CEffectController* controller, const CVector3* position, u32 registerFlag,
        CEffect* parent) const;
    CEffect* PlayInScene(CEffectController* controller, u32 registerFlag, CEffect* parent) const;

    // The names the battle objects use: PlayPlaced and PlayLinked.
    CEffect* PlayAtMatrix(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, u32 registerFlag, CEffect* parent) const
    {
        return PlayPlaced(controller, position, rotation, scaling, registerFlag, parent);
    }
    CEffect* PlayWithColor(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, u32 registerFlag, CAnimationFrame* boneFrame, CEffect* parent) const
    {
        return PlayLinked(controller, position, rotation, scaling, registerFlag, boneFrame, parent);
    }

    // Play for a nested effect: every node made is nestLevel deep.
    CEffect* PlayNested(CEffectController* controller, CObjectBase* attached, u32 nestLevel) const;

private:
    CEffect* Build(CEffectController* controller, const CVector3* position, const CVector3* rotation,
        const CVector3* scaling, f32 endTime, u32 registerFlag, const EffectPlayParams* params, CEffect* parent,
        u32 nestLevel) const;

    CResourceList m_objects;
};

#include "engine/scene/EffectContainer.h"

#include "engine/graphics/Texture.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"

CEffectContainer::CEffectContainer() { SetType(kResourceType); }

CEffectContainer::CEffectContainer(const CEffectContainer& other) : CResourceBase(other), m_objects(other.m_objects)
{
    // The copies' parent links point at the copies.
    const u32 n = GetObjectCount();
    for (u32 i = 0; i < n; ++i) {
        const CEffectObject* parent = other.GetObject(i) ? other.GetObject(i)->GetParentObject() : nullptr;
        CEffectObject* copy = GetObject(i);
        if (!parent || !copy) continue;
        for (u32 j = 0; j < n; ++j) {
            if (other.GetObject(j) == parent) copy->SetParentObject(GetObject(j));
        }
    }
}

CEffectContainer::~CEffectContainer() { CEffectContainer::Release(); }

i32 CEffectContainer::Release()
{
    m_objects.Release();
    return CResourceBase::Release();
}

CEffectObject* CEffectContainer::GetObject(u32 i) const
{
    return i < m_objects.GetCount() ? static_cast<CEffectObject*>(static_cast<CValueBase*>(m_objects.GetAt(i)))
                                    : nullptr;
}

u32 CEffectContainer::AddObject(CEffectObject* object)
{
    if (!object) return 0;
    void* slot = static_cast<CValueBase*>(object);
    return m_objects.Add(&slot) ? 1 : 0;
}

u32 CEffectContainer::BindResources(CResourceList* models, CResourceList* textures, CResourceList* sounds,
    CResourceList* effects)
{
    for (u32 i = 0; i < GetObjectCount(); ++i) {
        CEffectObject* object = GetObject(i);
        if (!object) continue;   // a copy that could not be made
        if (const char* name = object->GetResourceName()) {
            CResourceList* list = nullptr;
            switch (object->GetResourceKind()) {
            case kEffectKindTexture: list = textures; break;
            case kEffectKindModel: list = models; break;
            case kEffectKindSound: list = sounds; break;
            case kEffectKindEffect: list = effects; break;
            default: break;
            }
            // Only stored: a sprite keeps the cell of its sheet it was saved with.
            if (list) object->StoreResource(list->FindByFileName(name));
        }
        for (u32 t = 0; t < object->GetTraceCount(); ++t) {
            CEffectTrace* trace = object->GetTrace(t);
            const char* name = trace->GetTextureName();
            if (name && textures) trace->texture = dynamic_cast<CTexture*>(textures->FindByFileName(name));
        }
    }
    return 1;
}

// ------------------------------------------------------------------ playing

CEffect* CEffectContainer::Build(CEffectController* controller, const CVector3* position, const CVector3* rotation,
    const CVector3* scaling, f32 endTime, u32 registerFlag, const EffectPlayParams* params, CEffect* parent,
    u32 nestLevel) const
{
    if (!controller) return nullptr;
    CEffect* first = nullptr;
    CEffect* lastRoot = nullptr;
    for (u32 i = 0; i < GetObjectCount(); ++i) {
        CEffectObject* object = GetObject(i);
        if (!object) continue;   // a copy that could not be made
        CEffect* node = controller->TakeNode();
        // A full pool leaves a partial instance.
        if (!node) break;
        node->Setup(object, controller, params);
        node->SetNestLevel(nestLevel);
        if (position) *node->GetPlacePosition() = *position;
        if (rotation) *node->GetPlaceRotation() = *rotation;
        if (scaling) *node->GetPlaceScaling() = *scaling;
        node->SetEndTime(endTime);
        const CEffectObject* parentObject = object->GetParentObject();
        if (!parentObject) {
            if (lastRoot) lastRoot->InsertNext(node);
            else first = node;
            lastRoot = node;
            continue;
        }
        CEffect* owner = first;
        while (owner && owner->GetDefinition() != parentObject) owner = owner->GetNext();
        if (!owner) {
            node->Release();
            if (first) first->Release();
            return nullptr;
        }
        owner->InsertChild(node);
    }
    if (!first) return nullptr;
    if (parent) parent->InsertChild(first);
    else if (registerFlag) controller->Register(first);
    return first;
}

CEffect* CEffectContainer::Play(CEffectController* controller, const CVector3* position, const CVector3* rotation,
    const CVector3* scaling, f32 endTime, u32 registerFlag, const EffectPlayParams* params, CEffect* parent) const
{
    return Build(controller, position, rotation, scaling, endTime, registerFlag, params, parent, 0);
}

CEffect* CEffectContainer::PlayFull(CEffectController* controller, const CVector3* position,
    const CVector3* rotation, const CVector3* scaling, const CVector4* color, f32 endTime, u32 registerFlag,
    u32 follow, CAnimationFrame* linkFrame, CEffect* parent) const
{
    EffectPlayParams p;
    if (position) p.position = *position;
    if (rotation) p.rotation = *rotation;
    if (scaling) p.scaling = *scaling;
    if (color) p.color = *color;
    if (follow) {
        p.followPosition = position;
        p.followRotation = rotation;
        p.followScaling = scaling;
        p.followColor = color;
    }
    p.linkFrame = linkFrame;
    return Play(controller, position, rotation, scaling, endTime, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayAt(CEffectController* controller, const CVector3* position, const CVector3* rotation,
    const CVector3* scaling, f32 endTime, u32 registerFlag, u32 follow, CEffect* parent) const
{
    EffectPlayParams p;
    if (follow) {
        p.followPosition = position;
        p.followRotation = rotation;
        p.followScaling = scaling;
    }
    return Play(controller, position, rotation, scaling, endTime, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayAttached(CEffectController* controller, const CVector3* position,
    const CVector3* rotation, const CVector3* scaling, u32 registerFlag, CObjectBase* attached, CEffect* parent) const
{
    EffectPlayParams p;
    p.attached = attached;
    return Play(controller, position, rotation, scaling, 0.0f, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayLinked(CEffectController* controller, const CVector3* position,
    const CVector3* rotation, const CVector3* scaling, u32 registerFlag, CAnimationFrame* linkFrame,
    CEffect* parent) const
{
    EffectPlayParams p;
    if (position) p.position = *position;
    if (rotation) p.rotation = *rotation;
    if (scaling) p.scaling = *scaling;
    p.linkFrame = linkFrame;
    return Play(controller, position, rotation, scaling, 0.0f, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayPlaced(CEffectController* controller, const CVector3* position,
    const CVector3* rotation, const CVector3* scaling, u32 registerFlag, CEffect* parent) const
{
    const EffectPlayParams p;
    return Play(controller, position, rotation, scaling, 0.0f, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayAtPosition(CEffectController* controller, const CVector3* position,
    u32 registerFlag, CEffect* parent) const
{
    const EffectPlayParams p;
    return Play(controller, position, nullptr, nullptr, 0.0f, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayInScene(CEffectController* controller, u32 registerFlag, CEffect* parent) const
{
    const EffectPlayParams p;
    return Play(controller, nullptr, nullptr, nullptr, 0.0f, registerFlag, &p, parent);
}

CEffect* CEffectContainer::PlayNested(CEffectController* controller, CObjectBase* attached, u32 nestLevel) const
{
    if (!attached) return nullptr;
    EffectPlayParams p;
    p.attached = attached;
    return Build(controller, attached->GetPosition(), attached->GetRotation(), attached->GetScaling(), 0.0f, 0, &p,
        nullptr, nestLevel);
}

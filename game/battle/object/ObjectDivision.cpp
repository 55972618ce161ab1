#include "game/battle/object/ObjectDivision.h"

#include "engine/core/Path.h"
#include "engine/graphics/Texture.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/ResourceController.h"

#include <cstring>
#include <string>
#include <typeinfo>

namespace {

// The settings' default for a name left unset: it names no file.
bool NamesNothing(const char* path) { return !*path || std::strcmp(path, "Non Name") == 0; }

// The getters' common road: the list's element of that file name, or a new
// resource loaded by load and added to the list (when there is one). A path
// that failed once is remembered by the controller and not tried again.
template <class R, class Load>
u32 FindOrLoad(CResourceController* controller, u32 kind, const char* path, R** out, Load load)
{
    if (!path || !out || NamesNothing(path)) return 0;
    CResourceList* list = controller ? controller->GetList(kind) : nullptr;
    if (list) {
        if (CResourceBase* found = list->FindByFileName(path)) {
            *out = static_cast<R*>(found);
            return 1;
        }
    }
    if (controller && controller->IsKnownMiss(kind, path)) return 0;
    R* made = new R();
    if (!made) return 0;
    if (!load(*made)) {
        delete made;
        if (controller) controller->RememberMiss(kind, path);
        return 0;
    }
    if (list) {
        void* slot = made;
        if (!list->Add(&slot)) {
            delete made;
            return 0;
        }
    }
    *out = made;
    return 1;
}

}  // namespace

CObjectDivision::CObjectDivision() { Register(); }

CObjectDivision::CObjectDivision(const CObjectDivision& other) : CMessageObject(other), m_resource(other.m_resource)
{
    Register();
}

CObjectDivision::~CObjectDivision() { CObjectDivision::Release(); }

void CObjectDivision::Register()
{
    CObjectRegistry* registry = GetObjectRegistry();
    if (!registry) {
        // The registry's owner is whoever made it: here, nobody.
        registry = new CObjectRegistry();
        SetObjectRegistry(registry);
    }
    SetId(registry->NewId());
    registry->Add(this);
}

i32 CObjectDivision::Release()
{
    ReleaseAttachedEffect();
    DestroyAnimationController();
    if (CObjectRegistry* registry = GetObjectRegistry()) registry->Remove(this);
    return CMessageObject::Release();
}

void CObjectDivision::ReleaseAttachedEffect()
{
    if (!m_attachedEffect) return;
    m_attachedEffect->Release();
    m_attachedEffect = nullptr;
}

void CObjectDivision::DestroyAnimationController()
{
    if (!m_controller) return;
    m_controller->Destroy();
    m_controller = nullptr;
}

u32 CObjectDivision::GetTexture(CResourceController* controller, const char* path, CTexture** out)
{
    return FindOrLoad(controller, CResourceController::kListTextures, path, out,
        [path](CTexture& t) { return t.LoadFromFile(path) != 0; });
}

u32 CObjectDivision::GetModel(CResourceController* controller, const char* path, CMesh** out)
{
    CResourceList* textures = controller ? controller->GetTextureList() : nullptr;
    return FindOrLoad(controller, CResourceController::kListModels, path, out,
        [path, textures](CMesh& m) { return m.Load(path, textures, nullptr, nullptr) != 0; });
}

u32 CObjectDivision::GetSound(CResourceController* controller, const char* path, u32 count, u32 flags,
    CSoundBuffer** out)
{
    return FindOrLoad(controller, CResourceController::kListSounds, path, out,
        [path, count, flags](CSoundBuffer& s) { return s.Load(path, count, flags) != 0; });
}

u32 CObjectDivision::GetEffectContainer(CResourceController* controller, const char* path, CEffectContainer** out)
{
    CResourceList* list = controller ? controller->GetEffectList() : nullptr;
    if (!path || !out || NamesNothing(path)) return 0;
    // Effects are named as their files store them, without ".efc": look for
    // that name too, or every ask would load and list the effect again.
    std::string stem = FileNamePart(path);
    if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
    if (CResourceBase* found = list ? list->FindByFileName(stem.c_str()) : nullptr) {
        *out = static_cast<CEffectContainer*>(found);
        return 1;
    }
    return FindOrLoad(controller, CResourceController::kListEffects, path, out, [path, &stem](CEffectContainer& e) {
        if (!e.Load(path)) return false;
        if (!e.GetName() || !*e.GetName()) e.SetName(stem.c_str());
        return true;
    });
}

void CObjectDivision::HashState(CStateHash& hash) const
{
    hash.U32(GetId()).I32(GetGroup());
    hash.Vector(m_position).Vector(m_rotation).Vector(m_scaling).Matrix(m_world).F32(m_sphereRadius);
    hash.U32(m_controller ? 1 : 0);
    hash.U32(m_previousChangedAnimation).U32(m_changedAnimation).U32(m_playedAnimation).U32(m_playMode);
    hash.F32(m_blendTime);
    hash.U32(m_changeLoop).F32(m_changeTime).F32(m_changeSpeed).F32(m_changeLength);
    hash.U32(m_playLoop).F32(m_playTime).F32(m_playSpeed).F32(m_playLength);
}

CEffectController* CObjectDivision::GetEffectManager()
{
    CEffectController* manager = nullptr;
    SendObjectMessage(kMsgEffectManager, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&manager));
    return manager;
}

i32 CObjectDivision::CreateAttachedEffect()
{
    ReleaseAttachedEffect();
    if (!m_resource || m_resource->GetType() != kEffectResource) return 0;
    const auto* container = static_cast<const CEffectContainer*>(m_resource);
    m_attachedEffect =
        container->PlayAttached(GetEffectManager(), &m_position, &m_rotation, &m_scaling, 0, this, nullptr);
    return m_attachedEffect ? 1 : 0;
}

i32 CObjectDivision::UpdateAttachedEffect() { return m_attachedEffect ? m_attachedEffect->Update(0) : 0; }

i32 CObjectDivision::CreateAnimationController()
{
    DestroyAnimationController();
    if (!m_resource || m_resource->GetType() != kModelResource) return 0;
    const auto* mesh = static_cast<const CMesh*>(m_resource);
    const CResourceList* animations = mesh->GetAnimations();
    if (!animations || animations->GetCount() == 0) return 1;
    m_controller = mesh->CreateAnimationController();
    if (!m_controller) return 0;
    m_controller->SetAnimation(0, 0.0f, 1.0f, 0.0f, 1, 0);
    m_controller->AdvanceTime(0.0f);
    const CMatrix identity;
    m_controller->UpdateMatrices(&identity);
    return 1;
}

i32 CObjectDivision::PlayAnimation(u32 id, f32 speed, u32 loop, u32 mode, f32 blend, u32 force)
{
    if (!m_controller || (id == m_playedAnimation && !force)) return 0;
    // A set the model lacks starts nothing: the track must not claim it.
    if (!m_controller->SetAnimation(id, 0.0f, speed, blend, loop, mode)) return 0;
    m_playedAnimation = id;
    m_playMode = mode;
    m_playLoop = loop;
    m_playSpeed = speed;
    m_playTime = 0.0f;
    m_playLength = m_controller->GetAnimationLength(id);
    return 1;
}

i32 CObjectDivision::ChangeAnimation(u32 id, f32 speed, u32 loop, u32 mode, f32 blend, u32 force)
{
    if (!m_controller || (id == m_changedAnimation && !force)) return 0;
    if (!m_controller->SetAnimation(id, 0.0f, speed, blend, loop, mode)) return 0;
    m_blendTime = blend;
    m_previousChangedAnimation = m_changedAnimation;
    m_changedAnimation = id;
    m_changeLoop = loop;
    m_changeSpeed = speed;
    m_changeTime = 0.0f;
    m_changeLength = m_controller->GetAnimationLength(id);
    PlayTrackFollows(mode);
    return 1;
}

i32 CObjectDivision::ResumeAnimation(u32 mode, f32 blend)
{
    if (!m_controller) return 0;
    if (!m_controller->SetAnimation(m_changedAnimation, m_changeTime, m_changeSpeed, blend, m_changeLoop, mode))
        return 0;
    m_blendTime = blend;
    PlayTrackFollows(mode);
    return 1;
}

void CObjectDivision::PlayTrackFollows(u32 mode)
{
    // A play track that holds its bones (1, 3) is replaced only by a change
    // that overrides held bones (2, 3).
    const bool held = m_playMode == 1 || m_playMode == 3;
    if (held && mode != 2 && mode != 3) return;
    m_playedAnimation = m_changedAnimation;
    m_playMode = 0;
}

i32 CObjectDivision::AdvanceAnimation(f32 scale)
{
    if (!m_controller) return 0;
    const f32 dt = GetFrameTime() * scale;
    m_controller->AdvanceTime(dt);
    // Scaled frame time, not the tracks' speeds: the ended queries compare
    // it with the sets' lengths.
    m_changeTime += dt;
    m_playTime += dt;
    return 1;
}

CObjectDivision* AsObjectDivision(CMessageObject* object)
{
    if (!object) return nullptr;
    // The cast's answer depends on the object's class alone. A class whose
    // division part the static cast does not find as the dynamic one does
    // (none under the engine's single inheritance) is never remembered.
    struct Known {
        const std::type_info* type = nullptr;
        bool division = false;
    };
    thread_local Known known;
    const std::type_info* type = &typeid(*object);
    if (type != known.type) {
        CObjectDivision* division = dynamic_cast<CObjectDivision*>(object);
        if (division && division != static_cast<CObjectDivision*>(object)) return division;
        known = {type, division != nullptr};
    }
    return known.division ? static_cast<CObjectDivision*>(object) : nullptr;
}

// CWeapon: a model or effect that a fighter carries on one bone. Each
// update it takes the bone's pose from the owner's animation controller and
// places itself at a fixed offset in the bone's space. It is drawn only
// while shown; the owner shows and hides it, and a bullet that throws it
// hides it until it comes back (message 50).
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/ObjectDivision.h"

#include <cstdint>

class CRenderList;
class CWeaponSetting;
struct CAnimationFrame;

class CWeapon : public CObjectDivision {
    ORV_VALUE_CLASS(CWeapon)

public:
    // Group 16, no settings, hidden, on no owner.
    CWeapon();
    // The same, owning settings from now on.
    explicit CWeapon(CWeaponSetting* settings);
    // Hangs on the same owner and bone, shown as other is, with a copy of
    // its settings.
    CWeapon(const CWeapon& other);
    ~CWeapon() override;

    // Deletes the settings, then the base's release.
    i32 Release() override;

    // 0 without settings or a resource controller (whatever the getters
    // load uncached would have nobody to free it); 1 without loading
    // anything for RESOURCE "Non Name". A RESOURCE containing ".mdl" (any
    // case) loads as a model, any other as an effect definition.
    i32 LoadResource(CResourceController* controller) override;
    // The animation controller and attached effect of the resource, then
    // shown = SHOWFLG bit 0. 1.
    i32 Initialize(intptr_t argument) override;
    // Follows the bone (when there is one), advances the animation and the
    // attached effect. 1.
    i32 Update(u32 argument) override;
    // 0 without a resource or while hidden; else the attached effect (its
    // sorted particles into renderList, at once with none) and the model at
    // the world matrix, 1.
    i32 Draw(CRenderList* renderList);
    // Draw without a render list.
    i32 Draw(u32 argument) override;
    // Message 50: shown = *(u32*)parameter (a null parameter changes
    // nothing). Every message answers 1.
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    // The world matrix with each of the first three rows made unit length
    // (a row of length 0 stays as it is); translation unchanged.
    void GetMatrix(CMatrix* out) const override;
    // The owner's rotation while it lives, else this weapon's own.
    using CObjectBase::GetRotation;
    void GetRotation(CVector3* out) const override;
    // The base's fields, then shown, the owner's id (0 without one) and the
    // bone's frame index (all ones without one).
    void HashState(CStateHash& hash) const override;

    // Hangs the weapon on owner's bone named BONE. Without an owner, an
    // animation controller or such a bone the weapon stays where it is. 1.
    i32 AttachToOwnerModel(CObjectDivision* owner);
    // Shown: the owner asks whether a thrown weapon is back.
    u32 HasReturned() const { return m_weaponShown; }

    CWeaponSetting* GetSettings() const { return m_settings; }
    CObjectDivision* GetOwner() const { return LiveOwner(); }
    // The bone as of the last attach or update; null when none was found.
    const CAnimationFrame* GetBone() const { return m_bone; }

private:
    friend struct StateHashProbe;   // the state hash tests change each field
    // The owner while it is still registered under its id; a released
    // owner leaves the weapon on nobody.
    CObjectDivision* LiveOwner() const;
    // The bone looked up afresh in the owner's current controller, so a
    // controller the owner has made anew since never leaves a dangling frame.
    void RefreshBone();
    void FollowBone();

    static constexpr u32 kNoBone = 0xFFFFFFFFu;

    CAnimationFrame* m_bone = nullptr;
    u32 m_boneIndex = kNoBone;   // the bone's frame index, for the hash
    CAnimationController* m_ownerController = nullptr;
    CObjectDivision* m_owner = nullptr;
    u32 m_ownerId = 0;
    u32 m_weaponShown = 0;
    CWeaponSetting* m_settings = nullptr;
};

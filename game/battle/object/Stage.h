// CStage: the arena of a battle (group 2). It draws the stage model in
// linear fog with its ambient effect, is the collision world for moves,
// segments and spheres of fighters and bullets (its HIT model and its box),
// and keeps per fighter slot a screen shake of that slot's view camera and
// a darkening of that view that spell cards ask for.
//
// Other objects reach it only by messages to group 2 and through the
// callbacks the battle scene runs in its interaction passes and around each
// view; nobody holds a stage pointer but the scene and its enclosure.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/MeshHitRecord.h"
#include "game/battle/object/ObjectDivision.h"

#include <cstdint>

class CCamera;
class CRenderList;
class CStageEnclosure;
class CStageSetting;
struct StageParameters;

class CStage : public CObjectDivision {
    ORV_VALUE_CLASS(CStage)

public:
    static constexpr u32 kSlotCount = 4;
    // Alpha of a full darkening fill per unit of darkness.
    static constexpr f32 kDarkFillAlpha = 76.0f;
    // Darkness gained per frame while a slot's darkening is on.
    static constexpr f32 kDarkStep = 0.1f;
    // Half-extents below this are raised to it, so whoever divides by the
    // arena's size never divides by 0.
    static constexpr f32 kMinHalfExtent = 1.0f;

    // Group 2, no settings, per-slot state zero.
    CStage();
    // The same, owning settings from now on.
    explicit CStage(CStageSetting* settings);
    // The per-slot state, a copy of the settings and an enclosure of its
    // own that draws for the copy; no model or effect until LoadResource.
    CStage(const CStage& other);
    ~CStage() override;

    // Deletes the settings and the enclosure, then the base's release.
    i32 Release() override;

    // Base, hit, the four walls (+X, -X, +Z, -Z), EFFECT as the main
    // resource, the dark model and the four effect definitions; a name left
    // at "Non Name" (or empty) or a file that fails leaves its slot null.
    // 0 without settings or without a controller (what the getters load
    // uncached would have nobody to free it), else 1.
    i32 LoadResource(CResourceController* controller) override;
    // Attached effect, the enclosure, dark limits 1. 1.
    i32 Initialize(intptr_t argument) override;
    // Animation and effect, then each slot's shake and darkening. 1.
    i32 Update(u32 argument) override;
    // Fog, the base model, and the ambient effect unless the view being
    // drawn is darkened. The effect's sorted particles go into renderList;
    // with none they are drawn at once. 1.
    i32 Draw(CRenderList* renderList);
    // Draw without a render list.
    i32 Draw(u32 argument) override;
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    // The base's fields, then per slot: dark flag, darkness, dark limit,
    // shake amplitude, shake timer.
    void HashState(CStateHash& hash) const override;

    // -- Collision (messages 9, 11 and the interaction passes). --

    // The mover's position to position + displacement against the hit
    // model; on a hit, message 10 to the mover and the displacement cut to
    // the hit point. 1 on a hit or without a hit model, 0 on a miss.
    u32 MoveTest(CObjectDivision* mover, CVector3* displacement);
    // Inside when STAGEMIN + r < p < STAGEMAX - r on every axis (p the
    // position field, r GetRadius). 0 inside (or without settings); else
    // message 14 to the object with the numeric settings block and 1.
    u32 IsOutsideStageBox(CObjectDivision* object);
    // GetPosition to GetPosition + GetDirection against the hit model;
    // message 12 on a hit. 1 on a hit or without a hit model, 0 on a miss.
    u32 CollideSegment(CObjectDivision* object);
    // The sphere at GetPosition of GetRadius against the hit model;
    // message 13 on a hit. 1 on a hit or without a hit model, 0 on a miss.
    u32 CollideSphere(CObjectDivision* object);

    // -- Per view, with the fighter whose view is drawn. --

    // Turns the viewer's camera (message 34) off its line of sight by the
    // slot's shake; the eye stays. 1 always.
    u32 ShakeViewCamera(CObjectDivision* viewer);
    // Fills the view black with alpha darkness x 76 (at most 255) while the
    // viewer's slot is darkened. 1 when filled, else 0.
    u32 DrawDarkening(CObjectDivision* viewer);
    // The dark model tinted (1, 1, 1, darkness) while the slot is darkened.
    // 1 when darkened, else 0.
    u32 DrawDarkMesh(CObjectDivision* viewer);
    // The four walls, each faded by the viewer's distance to its face.
    // 0 for a null viewer, else 1.
    u32 DrawEnclosure(const CObjectBase* viewer);

    // -- What the scene and the HUD read. --

    CStageSetting* GetSettings() const { return m_settings; }
    CStageEnclosure* GetEnclosure() const { return m_enclosure; }
    // The stage box; an all-zero box without settings.
    CBox GetStageBox() const;
    // Half the box's size per axis, each at least kMinHalfExtent (a
    // zero-size, inverted or NaN box included).
    CVector3 GetHalfExtent() const;

    CMesh* GetBaseModel() const { return m_baseModel; }
    CMesh* GetHitModel() const { return m_hitModel; }
    CMesh* GetWallModel(u32 wall) const { return wall < 4 ? m_wallModels[wall] : nullptr; }
    CMesh* GetDarkModel() const { return m_darkModel; }

    // Per-slot state; 0 for a slot outside 0..3.
    u32 GetDarkFlag(u32 slot) const { return slot < kSlotCount ? m_darkFlag[slot] : 0; }
    f32 GetDarkness(u32 slot) const { return slot < kSlotCount ? m_darkness[slot] : 0.0f; }
    f32 GetDarkLimit(u32 slot) const { return slot < kSlotCount ? m_darkLimit[slot] : 0.0f; }
    f32 GetShakeAmplitude(u32 slot) const { return slot < kSlotCount ? m_shakeAmplitude[slot] : 0.0f; }
    f32 GetShakeTimer(u32 slot) const { return slot < kSlotCount ? m_shakeTimer[slot] : 0.0f; }

private:
    friend struct StateHashProbe;   // the state hash tests change each field
    // The slot the object answers to message 36 (0 when it gives none).
    static u32 SlotOf(CMessageObject* object);
    // Nearest hit of the segment with the hit model into record.
    u32 HitSegment(const CVector3& start, const CVector3& end, CMeshHitRecord* record) const;
    void StartShake(intptr_t slotPointer, f32 amplitude);
    void DrawFog() const;
    const StageParameters* Parameters() const;

    u32 m_darkFlag[kSlotCount] = {};
    f32 m_darkness[kSlotCount] = {};
    f32 m_darkLimit[kSlotCount] = {};
    f32 m_shakeAmplitude[kSlotCount] = {};
    f32 m_shakeTimer[kSlotCount] = {};
    // Milliseconds of frame time since the stage was made: the phase of the
    // shake. It moves the view only, so it stays out of the hash.
    u32 m_shakeClock = 0;
    CStageSetting* m_settings = nullptr;
    CMesh* m_baseModel = nullptr;
    CMesh* m_hitModel = nullptr;
    CMesh* m_wallModels[4] = {};
    CMesh* m_darkModel = nullptr;
    CEffectContainer* m_cloudEffect = nullptr;
    CEffectContainer* m_traceCloudEffect = nullptr;
    CEffectContainer* m_highTensionFieldEffect = nullptr;
    CEffectContainer* m_climaxFieldEffect = nullptr;
    CStageEnclosure* m_enclosure = nullptr;
};

// CCameraController: a fighter's battle camera. It chases the fighter from
// behind while keeping the locked opponent in view: two anchors (eye and
// target) follow two objects with a speed that ramps up and a catch-up
// trace when an object runs away, yaw and pitch turn toward a look-at point
// at a limited rate, and the view is built from the current mode's row of
// the camera parameter set. A mode change blends from the old row to the
// new one over the given time.
//
// Angles are degrees. Pitch is positive when the eye is above the look-at
// point. The fighter reads and writes the state record directly.
#pragma once

#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/CameraParameter.h"

class CCamera;
class CObjectDivision;

// The battle camera as a fighter holds it: what the fighter sets and reads.
class ICameraController {
public:
    virtual ~ICameraController() = default;
    virtual ICameraController* Clone() const = 0;
    // Each point is set only when given.
    virtual void SetPoints(const CVector3* a, const CVector3* b) = 0;
    // yaw as given, pitch negated and wrapped into [-180, 180).
    virtual void SetAngles(f32 yaw, f32 pitch) = 0;
    // Owner and followed object, by registry id (ids outlive nothing).
    virtual void SetOwner(u32 ownerId, u32 followedId) = 0;
    virtual void SetParticipantSlot(u32 slot) = 0;
    // The player's camera side: 1 right of the fighter, anything else left.
    virtual void SetSide(u8) {}
    virtual void HashState(CStateHash& hash) const = 0;
    // The camera's eye and angles (degrees); zero until it has a camera.
    virtual void GetView(CVector3* eye, CVector3* angles) const { *eye = *angles = CVector3(); }
    // The forward direction and the settings' view angle limit (degrees).
    virtual void GetForward(CVector3* out) const = 0;
    virtual f32 GetViewAngleLimit() const = 0;
    // The view camera the controller owns, null when it has none.
    virtual CCamera* GetCamera() const { return nullptr; }
    // The mode whose row the view shows (or blends toward).
    virtual u32 GetMode() const = 0;
    // Blends to mode over blendTime seconds; nothing for the current mode.
    virtual void SetMode(u8 mode, f32 blendTime) = 0;
    // Turns toward the object; 0 for null.
    virtual i32 LookAtObject(const CObjectDivision* object) = 0;
    // One frame: blend, follow, turn, build the view. 1.
    virtual i32 Update(u32 argument = 0) = 0;
    // Raised when the fighter meets a solid shot; kept for the view, it
    // feeds no simulation value.
    virtual void SetCollisionFlag(u32) {}
    // Where the fighter's voices and sounds are placed and which they
    // follow: the first reference point, which chases the fighter; null
    // for none (they then follow the fighter itself).
    virtual const CVector3* GetReferencePoint() const { return nullptr; }
    // The shoot-out's firing view for the shoot-out's clock (seconds): both
    // reference points at midpoint; the pitch swung between the current
    // vertical limits by t = (sin(clock x verticalWidth degrees) + 1) / 2;
    // the yaw the rotation speed times the clock. Placed, not turned to.
    virtual void FrameShootOut(const CVector3& /*midpoint*/, f32 /*clock*/, f32 /*verticalWidth*/) {}
};

// How one anchor chases its object.
struct CCameraFollower {
    f32 accelerationTime = 0.0f;   // seconds since the chase began
    u32 tracing = 0;               // catching up from beyond LENGTHMAX
    f32 traceTime = 0.0f;
    CVector3 direction;            // unit, from the anchor toward its object
};

struct CCameraState {
    u8 previousMode = 0;
    u8 mode = 0;
    u8 side = 0;   // 1 keeps the horizontal offsets, anything else mirrors them
    CVector3 eyeAnchor;
    CVector3 targetAnchor;
    CVector3 viewDirection;   // target minus eye of the last update
    CCameraFollower eye;
    CCameraFollower target;
    f32 yaw = 0.0f;
    f32 targetYaw = 0.0f;
    f32 pitch = 0.0f;
    f32 targetPitch = 0.0f;
    f32 blendTime = 0.0f;
    f32 blendElapsed = 0.0f;
    u32 blending = 0;
    // While set, a tracing anchor jumps to its goal; the update clears it.
    u32 jump = 0;
    f32 values[CCameraParameter::kColumnCount] = {};
};

class CCameraController : public ICameraController {
public:
    // Owns parameter (null reads as all zeros) and a camera of its own whose
    // viewport is the whole back buffer.
    explicit CCameraController(CCameraParameter* parameter);
    // The state and both objects; its own copy of the parameter set and of
    // the camera.
    CCameraController(const CCameraController& other);
    CCameraController& operator=(const CCameraController&) = delete;
    ~CCameraController() override;
    CCameraController* Clone() const override { return new CCameraController(*this); }

    // One frame of the frame time: blend, follow, turn, build the view. 1.
    i32 Update(u32 argument = 0) override;
    // Deletes the parameter set and the camera. 1; safe to call twice.
    virtual i32 Release();

    // Either may be null and is then left as it is.
    void SetPoints(const CVector3* eye, const CVector3* target) override;
    // The eye's anchor.
    const CVector3* GetReferencePoint() const override { return &m_state.eyeAnchor; }
    void FrameShootOut(const CVector3& midpoint, f32 clock, f32 verticalWidth) override;
    // Places yaw and pitch at once, without turning; pitch is given as the
    // fighter's rotation about x, the opposite sign to the stored one.
    void SetAngles(f32 yaw, f32 pitch) override;
    // Followed objects, not owned; one that leaves the registry is no
    // longer read and its anchor stays where it is.
    void SetEyeObject(CObjectDivision* object);
    void SetTargetObject(CObjectDivision* object);
    // The eye follows the owner, the target the followed object; an id
    // the registry does not hold follows nothing.
    void SetOwner(u32 ownerId, u32 followedId) override;
    void SetParticipantSlot(u32 slot) override { m_participantSlot = slot; }
    u32 GetParticipantSlot() const { return m_participantSlot; }
    void SetSide(u8 side) override { m_state.side = side; }
    // Starts a blend to mode over blendTime seconds (0 switches at the next
    // update). Nothing for the current mode, a running blend included, or
    // for a mode the parameter set has no row for.
    void SetMode(u8 mode, f32 blendTime) override;
    u32 GetMode() const override { return m_state.mode; }
    void SetCollisionFlag(u32 flag) override { m_collision = flag; }
    u32 GetCollisionFlag() const { return m_collision; }

    // Aims the turn at point, the pitch clamped to the current vertical
    // range. 0 for null.
    i32 LookAt(const CVector3* point);
    i32 LookAtObject(const CObjectDivision* object) override;

    CCamera* GetCamera() const override { return m_camera; }
    // (0, 0, -1) turned by the heading: for moving relative to the camera
    // and for the sound listener.
    void GetForward(CVector3* out) const override;
    // The eye of the last update and the angles in the fighter's terms:
    // (pitch up, yaw, 0).
    void GetView(CVector3* eye, CVector3* angles) const override;
    // Half the current mode's FOV: an object further off the forward
    // direction is out of view.
    f32 GetViewAngleLimit() const override { return Row(m_state.mode, kCameraFov) * 0.5f; }
    CCameraState& GetState() { return m_state; }
    const CCameraState& GetState() const { return m_state; }
    const CCameraParameter* GetParameter() const { return m_parameter; }

    // The state record in field order, the parameter set's 96 values, the
    // ids of both followed objects (0 for none) and the participant slot.
    void HashState(CStateHash& hash) const override;

private:
    f32 Row(u32 mode, u32 column) const { return m_parameter ? m_parameter->Get(mode, column) : 0.0f; }
    CObjectDivision* Live(CObjectDivision* object, u32 id) const;
    void Follow(CVector3& anchor, CCameraFollower& follower, const CObjectDivision* object, f32 dt);
    void BuildView();

    CCameraState m_state;
    u32 m_collision = 0;
    CCameraParameter* m_parameter = nullptr;
    CObjectDivision* m_eyeObject = nullptr;
    CObjectDivision* m_targetObject = nullptr;
    u32 m_eyeObjectId = 0;
    u32 m_targetObjectId = 0;
    u32 m_participantSlot = 0;
    CCamera* m_camera = nullptr;
};

// `CActiveCamera`: a scripted camera move (a special attack's camera work)
// kept as eight key-frame tracks, played back by evaluating them at a time
// and aiming a CCamera with the result, optionally relative to a game
// object's position and rotation.
//
// Stored as eight track blocks in this order: "Position" (curve),
// "Rotation" (vector), "TargetPosition" (curve), "Distance", "Zoom" (float),
// "Target", "Object", "Enable" (integer). The point of "Position" is what
// the camera looks at; "TargetPosition" plus ("Distance" along z) is where
// it stands before "Rotation" swings it about the origin.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/KeyFrameList.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CCamera;
namespace host::kernel { class File; }

class CActiveCamera : public CResourceBase {
    ORV_VALUE_CLASS(CActiveCamera)

public:
    using CurveTrack = CKeyFrameList<CSegment>;
    using VectorTrack = CKeyFrameList<CVector3>;
    using FloatTrack = CKeyFrameList<f32>;
    using IntTrack = CKeyFrameList<i32>;

    CActiveCamera();
    CActiveCamera(const CActiveCamera& other) = default;
    CActiveCamera& operator=(const CActiveCamera& other) = default;
    ~CActiveCamera() override;

    // Every track's keys and name, then the camera's name. 1.
    i32 Release() override;

    // The eight track blocks from file at its position (left open), or from
    // path ("rb") when file is null. 1; 0 when the path cannot be opened or a
    // block is damaged or cut short before its last key, and then every track
    // stays as it was. A last block that ends after its keys keeps the
    // track's own values for those missing.
    i32 LoadBinary(const char* path, host::kernel::File* file);
    // The eight track blocks to file at its position, or to path (replaced
    // whole) when file is null. 1 on success.
    i32 SaveBinary(const char* path, host::kernel::File* file) const;

    // Aims camera with the tracks at time t: 1, or 0 (camera untouched) when
    // camera is null or "Enable" is 0 then. "Target" non-zero takes the
    // second reference pair. A rotation reference (Euler degrees) turns eye
    // and target, then a position reference moves them. Any reference may be
    // null. The camera is not applied to the device.
    i32 Update(f32 t, CCamera* camera, const CVector3* position1, const CVector3* rotation1,
               const CVector3* position2, const CVector3* rotation2) const;

    CurveTrack& GetPositionTrack() { return m_position; }
    CurveTrack& GetTargetPositionTrack() { return m_targetPosition; }
    VectorTrack& GetRotationTrack() { return m_rotation; }
    FloatTrack& GetDistanceTrack() { return m_distance; }
    FloatTrack& GetZoomTrack() { return m_zoom; }
    IntTrack& GetTargetTrack() { return m_target; }
    IntTrack& GetObjectTrack() { return m_object; }
    IntTrack& GetEnableTrack() { return m_enable; }

private:
    CurveTrack m_position;
    CurveTrack m_targetPosition;
    VectorTrack m_rotation;
    FloatTrack m_distance;
    FloatTrack m_zoom;
    IntTrack m_target;
    IntTrack m_object;
    IntTrack m_enable;
};

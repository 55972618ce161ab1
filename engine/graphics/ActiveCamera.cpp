#include "engine/graphics/ActiveCamera.h"

#include "engine/core/Matrix.h"
#include "engine/graphics/Camera.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <memory>
#include <string>

namespace {

constexpr f32 kDefaultDistance = 10.0f;
constexpr f32 kDefaultZoom = 60.0f;   // field of view, degrees
constexpr f32 kNear = 0.1f;
constexpr f32 kFar = 1500.0f;

// The eight tracks in their stored order.
template <class Camera, class Fn>
bool ForEachStored(Camera& c, Fn&& fn)
{
    return fn(c.position) && fn(c.rotation) && fn(c.targetPosition) && fn(c.distance) && fn(c.zoom) &&
           fn(c.target) && fn(c.object) && fn(c.enable);
}

// The tracks of a camera as one group, so a load can fill copies and commit
// them only when every block has been read; a block that ends after its
// keys leaves the copy's own values past its end.
struct ActiveCameraTracks {
    CActiveCamera::CurveTrack position;
    CActiveCamera::VectorTrack rotation;
    CActiveCamera::CurveTrack targetPosition;
    CActiveCamera::FloatTrack distance;
    CActiveCamera::FloatTrack zoom;
    CActiveCamera::IntTrack target;
    CActiveCamera::IntTrack object;
    CActiveCamera::IntTrack enable;
};

}  // namespace

CActiveCamera::CActiveCamera()
    : CResourceBase("ActiveCamera"),
      m_position("Position", CSegment(), &InterpolateCurveKey, 1),
      m_targetPosition("TargetPosition", CSegment(), &InterpolateCurveKey, 1),
      m_rotation("Rotation"),
      m_distance("Distance", kDefaultDistance),
      m_zoom("Zoom", kDefaultZoom),
      m_target("Target", 0, 0),
      m_object("Object", 0, 0),
      m_enable("Enable", 0, 0)
{
}

CActiveCamera::~CActiveCamera() { CActiveCamera::Release(); }

i32 CActiveCamera::Release()
{
    m_position.Release();
    m_rotation.Release();
    m_targetPosition.Release();
    m_distance.Release();
    m_zoom.Release();
    m_target.Release();
    m_object.Release();
    m_enable.Release();
    return CResourceBase::Release();
}

i32 CActiveCamera::LoadBinary(const char* path, host::kernel::File* file)
{
    std::unique_ptr<host::kernel::File> opened;
    file = host::kernel::GivenOrOpened(file, path, opened);
    if (!file) return 0;
    ActiveCameraTracks read{m_position, m_rotation, m_targetPosition, m_distance, m_zoom, m_target, m_object, m_enable};
    const bool ok = ForEachStored(read, [file](auto& track) { return track.ReadFromFile(file) != 0; });
    if (opened) opened->Close();
    if (!ok) return 0;
    m_position = read.position;
    m_rotation = read.rotation;
    m_targetPosition = read.targetPosition;
    m_distance = read.distance;
    m_zoom = read.zoom;
    m_target = read.target;
    m_object = read.object;
    m_enable = read.enable;
    return 1;
}

i32 CActiveCamera::SaveBinary(const char* path, host::kernel::File* file) const
{
    struct View {
        const CurveTrack& position;
        const VectorTrack& rotation;
        const CurveTrack& targetPosition;
        const FloatTrack& distance;
        const FloatTrack& zoom;
        const IntTrack& target;
        const IntTrack& object;
        const IntTrack& enable;
    } tracks{m_position, m_rotation, m_targetPosition, m_distance, m_zoom, m_target, m_object, m_enable};
    if (file) return ForEachStored(tracks, [file](const auto& track) { return track.WriteToFile(file) != 0; });
    if (!path) return 0;
    host::kernel::ByteSink sink;
    ForEachStored(tracks, [&sink](const auto& track) { return track.WriteToFile(&sink) != 0; });
    return host::kernel::WriteFileAtomic(path, sink.Bytes().data(), sink.Bytes().size()) ? 1 : 0;
}

i32 CActiveCamera::Update(f32 t, CCamera* camera, const CVector3* position1, const CVector3* rotation1,
                          const CVector3* position2, const CVector3* rotation2) const
{
    i32 enable = 0;
    m_enable.EvaluateInt(t, &enable);
    if (!camera || enable == 0) return 0;

    CSegment look;
    m_position.EvaluateCurve(t, &look);
    CVector3 target = look.end;

    i32 second = 0;
    m_target.EvaluateInt(t, &second);
    const CVector3* position = second ? position2 : position1;
    const CVector3* rotation = second ? rotation2 : rotation1;

    f32 distance = 0.0f;
    m_distance.EvaluateFloat(t, &distance);
    CSegment stand;
    m_targetPosition.EvaluateCurve(t, &stand);
    CVector3 eye = CVector3(0.0f, 0.0f, distance) + stand.end;

    // Pitch about x, then yaw about the pitched up axis; no roll.
    CVector3 turn;
    m_rotation.EvaluateVector3(t, &turn);
    CMatrix m;
    m.RotationX(turn.x);
    CVector3 up(0.0f, 1.0f, 0.0f);
    up.TransformCoord(m);
    CMatrix yaw;
    yaw.RotationAxis(turn.y, &up);
    m *= yaw;
    eye.TransformCoord(m);

    if (rotation) {
        CMatrix object;
        object.RotationEuler(rotation);
        target.TransformCoord(object);
        eye.TransformCoord(object);
    }
    if (position) {
        target += *position;
        eye += *position;
    }

    f32 zoom = 0.0f;
    m_zoom.EvaluateFloat(t, &zoom);
    camera->SetPerspective(zoom, -1.0f, kNear, kFar);
    const CVector3 worldUp(0.0f, 1.0f, 0.0f);
    camera->SetLookAt(&eye, &target, &worldUp);
    return 1;
}

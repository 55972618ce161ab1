// CEventCamera: a scripted camera flight played while a spell card is
// declared. Its tracks are animated cameras read from an event camera file;
// each frame the first track enabled at the clock aims the camera. When the
// flight ends the view glides from the last scripted frame back to whatever
// the battle camera shows, so the owner steps it after the battle camera's
// own update of the frame.
//
// Event camera file: u32 track count, then that many animated cameras, each
// as the eight key-frame blocks that CActiveCamera reads and writes.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

#include <cstddef>

class CActiveCamera;
class CCamera;

// What the owner fills to start a flight, and the flight's running state.
struct CEventCameraState {
    u32 reserved = 0;          // not read by the event camera
    f32 clock = 0.0f;          // seconds since Start
    f32 returnTime = 0.0f;     // length of the glide back, seconds
    f32 returnClock = 0.0f;    // seconds since the flight ended
    f32 endTime = 0.0f;        // 0: the flight ends when no track is enabled
    u32 ended = 0;
    u32 paused = 0;            // the clock stands still
    CVector3 lastEye;          // the last scripted view
    CVector3 lastTarget;
};

class CEventCamera {
public:
    CEventCamera() = default;
    // The state and a clone of every track.
    CEventCamera(const CEventCamera& other);
    CEventCamera& operator=(const CEventCamera&) = delete;
    virtual ~CEventCamera();

    // Engine heap, like every engine object.
    static void* operator new(size_t size) noexcept;
    static void operator delete(void* block) noexcept;
    static void* operator new(size_t, void* memory) noexcept { return memory; }
    static void operator delete(void*, void*) noexcept {}

    // From the clock 0 with the record's return and end times. 1; 0 for null.
    virtual i32 Start(const CEventCameraState* state);
    // One frame of the frame time into camera (the battle camera, already
    // updated this frame). The references go to the tracks unchanged: a
    // track's "Target" chooses the first pair or the second. 1.
    virtual i32 Step(CCamera* camera, const CVector3* positionA, const CVector3* rotationA,
                     const CVector3* positionB, const CVector3* rotationB);
    virtual const char* GetClassName() const { return "CEventCamera"; }
    virtual u32 GetSize() const { return u32(sizeof(CEventCamera)); }
    virtual CEventCamera* CreatePooled(void* memory) const;
    virtual CEventCamera* Create() const;
    virtual CEventCamera* ClonePooled(void* memory) const;
    virtual CEventCamera* Clone() const;

    // Replaces the tracks with those of the file. 0 when it cannot be
    // opened, its count promises more tracks than its bytes can hold, or a
    // track is damaged or cut short; the tracks are then as they were.
    i32 Load(const char* path);
    // Writes the tracks as an event camera file, replaced whole. 1 on success.
    i32 Save(const char* path) const;
    void Clear();

    // A new empty track at the end of the list; null when it cannot be made.
    CActiveCamera* AddTrack();
    u32 GetTrackCount() const { return m_tracks.GetCount(); }
    CActiveCamera* GetTrack(u32 index) const;

    CEventCameraState& GetState() { return m_state; }
    const CEventCameraState& GetState() const { return m_state; }

    // The state in field order, then the track count.
    void HashState(CStateHash& hash) const;

private:
    CEventCameraState m_state;
    CResourceList m_tracks;
};

#include "game/battle/object/EventCamera.h"

#include "engine/core/Geometry.h"
#include "engine/core/Memory.h"
#include "engine/graphics/ActiveCamera.h"
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <memory>
#include <new>
#include <vector>

namespace {

// The smallest track a file can hold: eight blocks without name or keys,
// each a name length, a key count, interpolate, loop and its default value.
constexpr u64 kBlockHeader = 4 * 4;
constexpr u64 kSmallestTrack = 8 * kBlockHeader + 2 * sizeof(CSegment) + sizeof(CVector3) + 2 * sizeof(f32) +
                               3 * sizeof(i32);
static_assert(kSmallestTrack == 208);
// The last track may end after Enable's keys, without its interpolate, loop
// and default value.
constexpr u64 kLastTrackShortBy = 2 * 4 + sizeof(i32);

}  // namespace

CEventCamera::CEventCamera(const CEventCamera& other) : m_state(other.m_state), m_tracks(other.m_tracks) {}

CEventCamera::~CEventCamera() { Clear(); }

void* CEventCamera::operator new(size_t size) noexcept
{
    return size > 0xFFFFFFFFu ? nullptr : AlignedAlloc(u32(size), 16);
}

void CEventCamera::operator delete(void* block) noexcept { AlignedFree(block); }

CEventCamera* CEventCamera::CreatePooled(void* memory) const { return memory ? new (memory) CEventCamera() : nullptr; }
CEventCamera* CEventCamera::Create() const { return new CEventCamera(); }
CEventCamera* CEventCamera::ClonePooled(void* memory) const
{
    return memory ? new (memory) CEventCamera(*this) : nullptr;
}
CEventCamera* CEventCamera::Clone() const { return new CEventCamera(*this); }

i32 CEventCamera::Start(const CEventCameraState* state)
{
    if (!state) return 0;
    m_state.paused = 0;
    m_state.ended = 0;
    m_state.clock = 0.0f;
    m_state.returnClock = 0.0f;
    m_state.returnTime = state->returnTime;
    m_state.endTime = state->endTime;
    return 1;
}

CActiveCamera* CEventCamera::GetTrack(u32 index) const
{
    return index < m_tracks.GetCount() ? static_cast<CActiveCamera*>(m_tracks.GetAt(index)) : nullptr;
}

i32 CEventCamera::Step(CCamera* camera, const CVector3* positionA, const CVector3* rotationA,
                       const CVector3* positionB, const CVector3* rotationB)
{
    const f32 dt = GetFrameTime();
    CEventCameraState& s = m_state;
    if (!s.paused) s.clock += dt;
    if (s.endTime != 0.0f && s.clock >= s.endTime) s.ended = 1;

    if (!s.ended) {
        CActiveCamera* enabled = nullptr;
        for (u32 i = 0; i < m_tracks.GetCount() && !enabled; ++i) {
            CActiveCamera* track = GetTrack(i);
            i32 on = 0;
            if (track && track->GetEnableTrack().EvaluateInt(s.clock, &on) && on != 0) enabled = track;
        }
        if (!enabled) {
            s.ended = 1;
        } else if (camera) {
            enabled->Update(s.clock, camera, positionA, rotationA, positionB, rotationB);
            s.lastEye = camera->GetEye();
            s.lastTarget = camera->GetTarget();
        }
    }

    if (s.ended) {
        s.returnClock += dt;
        // A return time of 0 (or less) is no glide at all, not a division by it.
        if (camera && s.returnTime > 0.0f && s.returnClock <= s.returnTime) {
            const f32 f = s.returnClock / s.returnTime;
            const CVector3 eye = s.lastEye + (camera->GetEye() - s.lastEye) * f;
            const CVector3 target = s.lastTarget + (camera->GetTarget() - s.lastTarget) * f;
            const CVector3 up(0.0f, 1.0f, 0.0f);
            camera->SetLookAt(&eye, &target, &up);
        }
    }
    return 1;
}

i32 CEventCamera::Load(const char* path)
{
    if (!path) return 0;
    const auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0;
    u32 count = 0;
    u8 word[4];
    bool ok = file->Read(word, 4) == 4;
    if (ok) count = u32(word[0]) | u32(word[1]) << 8 | u32(word[2]) << 16 | u32(word[3]) << 24;
    const int64_t size = file->Size(), at = file->Tell();
    // A count the bytes left cannot hold is refused before anything is made.
    if (ok && (size < at || u64(count) * kSmallestTrack > u64(size - at) + kLastTrackShortBy)) ok = false;

    struct Deleter {
        void operator()(CActiveCamera* c) const { delete c; }
    };
    std::vector<std::unique_ptr<CActiveCamera, Deleter>> read;
    if (ok) {
        try {
            read.reserve(count);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    for (u32 i = 0; ok && i < count; ++i) {
        std::unique_ptr<CActiveCamera, Deleter> track(new CActiveCamera());
        ok = track && track->LoadBinary(nullptr, file.get());
        if (ok) read.push_back(std::move(track));
    }
    file->Close();
    if (!ok) return 0;

    Clear();
    if (count && !m_tracks.Resize(count)) return 0;
    for (u32 i = 0; i < count; ++i) m_tracks.SetAt(read[i].release(), i);
    return 1;
}

i32 CEventCamera::Save(const char* path) const
{
    if (!path) return 0;
    host::kernel::ByteSink sink;
    const u32 count = m_tracks.GetCount();
    const u8 word[4] = {u8(count), u8(count >> 8), u8(count >> 16), u8(count >> 24)};
    if (sink.Write(word, 4) != 4) return 0;
    for (u32 i = 0; i < count; ++i) {
        const CActiveCamera* track = GetTrack(i);
        if (!track || !track->SaveBinary(nullptr, &sink)) return 0;
    }
    return host::kernel::WriteFileAtomic(path, sink.Bytes().data(), sink.Bytes().size()) ? 1 : 0;
}

void CEventCamera::Clear() { m_tracks.Release(); }

CActiveCamera* CEventCamera::AddTrack()
{
    CActiveCamera* track = new CActiveCamera();
    if (!track) return nullptr;
    if (!m_tracks.SetAt(track, m_tracks.GetCount())) {
        delete track;
        return nullptr;
    }
    return track;
}

void CEventCamera::HashState(CStateHash& hash) const
{
    const CEventCameraState& s = m_state;
    hash.U32(s.reserved).F32(s.clock).F32(s.returnTime).F32(s.returnClock).F32(s.endTime);
    hash.U32(s.ended).U32(s.paused).Vector(s.lastEye).Vector(s.lastTarget);
    hash.U32(m_tracks.GetCount());
}

// Key-frame blocks read by every track type, from memory or through a file,
// then evaluated around and between their keys and written back: a block
// that was taken must come out byte for byte as it went in, its name with a
// NUL added when it was stored without one, and the words it ended before
// (interpolate, loop, default value) as a fresh track's.
//
// Input: one selector byte (bits 0-2 the value type, bit 3 read through a
// file), then the block.
#include "engine/core/Endian.h"
#include "engine/core/KeyFrameList.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

template <class T>
void Evaluate(const CKeyFrameList<T>& track, typename CKeyFrameList<T>::Callback callback)
{
    std::vector<f32> times = {-1.0f, 0.0f, 1e30f, -1e30f, std::numeric_limits<f32>::quiet_NaN(),
        std::numeric_limits<f32>::infinity()};
    const u32 n = track.GetCount();
    for (u32 i = 0; i < n && i < 4; ++i) {
        const f32 k = track.GetAt(i)->time;
        times.insert(times.end(), {k, std::nextafter(k, 1e38f), std::nextafter(k, -1e38f)});
        if (i + 1 < n) times.push_back((k + track.GetAt(i + 1)->time) / 2);
    }
    const f32 end = track.GetEndTime();
    times.insert(times.end(), {end + 0.25f, end * 3.7f + 0.1f, -end});
    for (const f32 t : times) {
        for (u32 mode = 0; mode < 3; ++mode) {
            T out{};
            track.GetValue(t, &out, mode, callback);
        }
    }
}

template <class T>
void Run(const uint8_t* block, size_t size, bool throughFile, typename CKeyFrameList<T>::Callback callback = nullptr)
{
    CKeyFrameList<T> track;
    size_t used = 0;
    if (throughFile) {
        fuzz::MemoryFile file(block, size);
        if (!track.ReadFromFile(&file)) return;
        used = size_t(file.Tell());
    } else {
        u32 taken = 0;
        if (!track.ReadFromMemory(block, u32(size), &taken)) return;
        used = taken;
    }
    FUZZ_CHECK(used <= size);
    Evaluate(track, callback);
    // The other way round the end of the track.
    const u32 loop = track.GetLoop();
    track.SetLoop(loop ? 0 : 1);
    Evaluate(track, callback);
    track.SetLoop(loop);

    fuzz::MemoryFile out;
    FUZZ_CHECK(track.WriteToFile(&out) == 1);
    // A block that ends after its keys keeps a fresh track's interpolate,
    // loop and default words past its end.
    const u32 nameSize = GetLe32(block);
    const size_t keysEnd = 8 + size_t(nameSize) + size_t(track.GetCount()) * sizeof(typename CKeyFrameList<T>::Key);
    const size_t tailBytes = 8 + sizeof(T);
    FUZZ_CHECK(keysEnd <= used);
    const size_t present = std::min((used - keysEnd) / 4 * 4, tailBytes);
    std::string expected(reinterpret_cast<const char*>(block), keysEnd + present);
    if (present < tailBytes) {
        FUZZ_CHECK(size - keysEnd - present < 4);
        fuzz::MemoryFile fresh;
        FUZZ_CHECK(CKeyFrameList<T>().WriteToFile(&fresh) == 1);
        expected += fresh.Bytes().substr(fresh.Bytes().size() - tailBytes + present);
    }
    if (nameSize && block[3 + nameSize] != 0) {
        expected.insert(4 + nameSize, 1, '\0');
        PutLe32(expected.data(), nameSize + 1);
    }
    FUZZ_CHECK(out.Bytes() == expected);
    const CKeyFrameList<T> copy(track);
    FUZZ_CHECK(copy.GetCount() == track.GetCount());
}

// Model parts blend their quaternion keys this way.
u32 SlerpKeys(const CQuaternion* a, const CQuaternion* b, f32 w, CQuaternion* out)
{
    if (!out || !a) return 0;
    if (!b) *out = *a;
    else out->Slerp(a, b, w);
    return 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > UINT32_MAX) return 0;
    const u8 selector = data[0];
    const bool file = selector & 8;
    ++data, --size;
    switch (selector & 7) {
    case 0: Run<f32>(data, size, file); break;
    case 1: Run<i32>(data, size, file); break;
    case 2: Run<u32>(data, size, file); break;
    case 3: Run<CVector3>(data, size, file); break;
    case 4: Run<CQuaternion>(data, size, file, SlerpKeys); break;
    case 5: Run<CVector4>(data, size, file); break;
    case 6: Run<CRect4>(data, size, file); break;
    default: Run<CSegment>(data, size, file, selector & 16 ? InterpolateCurveKey : nullptr); break;
    }
    return 0;
}

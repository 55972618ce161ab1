// Fuzz driver: any bytes as a tension script. The first byte picks the
// music's length (40..295 seconds, so both sides of the length limits are
// met); the rest is the script. Every result must be a track of known levels
// in time order, whatever the report says.
#include "game/data/TensionFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const f32 length = 40.0f + f32(data[0]) + f32(data[0] & 3) * 0.25f;
    const std::string script(reinterpret_cast<const char*>(data + 1), size - 1);

    CTensionFile file;
    CString report;
    file.ParseForLength(length, script.c_str(), ':', ';', &report);

    const CTensionTrack* track = file.GetTrack();
    for (u32 i = 0; track && i < track->GetCount(); ++i) {
        const CKeyFrame<i32>* key = track->GetAt(i);
        if (key->value < 0 || key->value > 3) std::abort();
        if (i > 0 && !(track->GetAt(i - 1)->time < key->time)) std::abort();
    }
    CTensionFile copy(file);
    for (f32 t : {-1.0f, 0.0f, length * 0.5f, length, length * 3.7f}) {
        const i32 level = copy.GetLevelAt(t);
        if (level < 0 || level > 3) std::abort();
        copy.IsClimaxFinaleAt(t);
    }
    return 0;
}

// Light blocks through CLight::Load from a file at its position; a block
// that was taken must save back to the bytes it came from, its name cut at
// the end of the file and with a NUL added when it was stored without one,
// and the fields it ended before as a fresh light's. A block without a
// whole name length leaves the light fresh.
#include "engine/core/Endian.h"
#include "engine/graphics/Light.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::MemoryFile file(data, size);
    CLight light;
    if (!light.Load(nullptr, &file)) {
        // Refused blocks leave the light as it was.
        FUZZ_CHECK(std::strcmp(light.GetName(), "Light") == 0);
        return 0;
    }
    const size_t used = size_t(file.Tell());
    fuzz::MemoryFile fresh;
    FUZZ_CHECK(CLight().Save(nullptr, &fresh) == 1);
    fuzz::MemoryFile out;
    FUZZ_CHECK(light.Save(nullptr, &out) == 1);
    if (size < 4) {
        FUZZ_CHECK(out.Bytes() == fresh.Bytes());
        return 0;
    }
    const u32 nameLength = GetLe32(data);
    const size_t nameEnd = 4 + std::min<size_t>(nameLength, size - 4);
    constexpr size_t kFields = CLight::BlockSize(0) - 4, kFlagEnd = 41;
    FUZZ_CHECK(nameEnd <= used);
    const size_t there = std::min(used - nameEnd, kFields);
    // Whole fields only: every one is four bytes but the flag.
    const size_t taken = there < kFlagEnd ? there / 4 * 4 : kFlagEnd + (there - kFlagEnd) / 4 * 4;
    std::string expected(reinterpret_cast<const char*>(data), nameEnd + taken);
    if (nameLength) {
        const bool ended = nameEnd > 4 && data[nameEnd - 1] == 0;
        if (!ended) expected.insert(nameEnd, 1, '\0');
        PutLe32(expected.data(), u32(nameEnd - 4 + (ended ? 0 : 1)));
    }
    if (taken < kFields) {
        FUZZ_CHECK(used == size);
        expected += fresh.Bytes().substr(fresh.Bytes().size() - kFields + taken);
    }
    FUZZ_CHECK(out.Bytes() == expected);
    return 0;
}

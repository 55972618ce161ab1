// Light blocks through CLight::Load from a file at its position; a block
// that was taken must save back to the bytes it came from, its name with a
// NUL added when it was stored without one, and the fields it ended before
// as a fresh light's.
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
    const u32 nameLength = GetLe32(data);
    const size_t nameEnd = 4 + size_t(nameLength);
    constexpr size_t kFields = CLight::BlockSize(0) - 4, kFlagEnd = 41;
    FUZZ_CHECK(nameEnd <= used);
    const size_t there = std::min(used - nameEnd, kFields);
    // Whole fields only: every one is four bytes but the flag.
    const size_t taken = there < kFlagEnd ? there / 4 * 4 : kFlagEnd + (there - kFlagEnd) / 4 * 4;
    std::string expected(reinterpret_cast<const char*>(data), nameEnd + taken);
    if (nameLength && data[nameEnd - 1] != 0) {
        expected.insert(nameEnd, 1, '\0');
        PutLe32(expected.data(), nameLength + 1);
    }
    if (taken < kFields) {
        FUZZ_CHECK(used == size);
        fuzz::MemoryFile fresh;
        FUZZ_CHECK(CLight().Save(nullptr, &fresh) == 1);
        expected += fresh.Bytes().substr(fresh.Bytes().size() - kFields + taken);
    }
    fuzz::MemoryFile out;
    FUZZ_CHECK(light.Save(nullptr, &out) == 1);
    FUZZ_CHECK(out.Bytes() == expected);
    return 0;
}

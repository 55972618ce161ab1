// Light blocks through CLight::Load from a file at its position; a block
// that was taken must save back to the bytes it came from.
#include "engine/graphics/Light.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

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
    fuzz::MemoryFile out;
    FUZZ_CHECK(light.Save(nullptr, &out) == 1);
    FUZZ_CHECK(out.Bytes().size() == used && std::memcmp(out.Bytes().data(), data, used) == 0);
    return 0;
}

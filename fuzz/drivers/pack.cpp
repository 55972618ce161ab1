// Plain .gpk archives through CqelPackFile::Open and ReadEntry.
#include "fuzz/drivers/PackDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzz::Folder("pack") + "input.gpk";
    fuzz::WriteFile(path, data, size);
    CqelPackFile pack;
    if (pack.Open(path.c_str())) {
        FUZZ_CHECK(!pack.IsScrambled());
        fuzz::ReadEntries(pack, data, size);
    }
    return 0;
}

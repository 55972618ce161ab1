// Scrambled .gpk archives through CqelPackFile::OpenScrambled, with either
// key byte. The identifier asked for is the one the archive stores, so the
// fuzzer need not guess 32 bits to pass the check; a wrong one is refused.
#include "engine/core/Endian.h"
#include "fuzz/drivers/PackDriver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = fuzz::Folder("pack") + "input.gpk";
    fuzz::WriteFile(path, data, size);
    for (const u8 key : {kPackKeyFirst, kPackKeySecond}) {
        u32 identifier = 0;
        if (size >= 5) {
            u8 word[4];
            std::memcpy(word, data + 1, 4);
            ScrambleBytes(u8(data[0] ^ key), word, 4);
            identifier = GetLe32(word);
        }
        CqelPackFile pack;
        FUZZ_CHECK(!pack.OpenScrambled(path.c_str(), identifier + 1, key));
        if (pack.OpenScrambled(path.c_str(), identifier, key)) {
            FUZZ_CHECK(pack.IsScrambled() && pack.GetDataKey() == identifier % 255);
            fuzz::ReadEntries(pack, data, size);
        }
    }
    return 0;
}

// Stored strings (CString::Read and ReadPlain) one after another from a
// file, as the settings caches and scene files hold them. A string read
// scrambled must write back to the bytes it came from.
//
// Input: the key byte, then the strings.
#include "engine/core/String.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    const u8 key = input.Byte();
    const char* stored = reinterpret_cast<const char*>(input.Rest());

    fuzz::MemoryFile file(stored, input.RestSize());
    CString text("left over");
    for (int i = 0; i < 64; ++i) {
        const int64_t start = file.Tell();
        if (!text.Read(&file, key)) {
            FUZZ_CHECK(text.GetLength() == 0 && text.GetText() == nullptr);
            break;
        }
        FUZZ_CHECK(text.GetLength() == 0 || (text.GetText() && text.GetText()[text.GetLength()] == '\0'));
        fuzz::MemoryFile out;
        FUZZ_CHECK(text.Write(&out, key) == 1);
        const size_t used = size_t(file.Tell() - start);
        FUZZ_CHECK(out.Bytes().size() == used && std::memcmp(out.Bytes().data(), stored + start, used) == 0);
    }

    fuzz::MemoryFile plain(stored, input.RestSize());
    for (int i = 0; i < 64 && text.ReadPlain(&plain); ++i) {
        FUZZ_CHECK(text.GetLength() == 0 || text.GetText()[text.GetLength()] == '\0');
    }
    return 0;
}

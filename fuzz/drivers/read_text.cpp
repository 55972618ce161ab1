// The text tokenizer (CqelReadText) driven by a script of its operations
// over a text, loaded from memory or from a file in text mode.
//
// Input: a header byte (bit 0: load from a file; bits 1-4: script length
// less one), the script (one operation per byte, its high nibble an
// argument), then the text. The script repeats for up to 256 steps.
#include "engine/core/Memory.h"
#include "engine/core/ReadText.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

namespace {

constexpr const char* kDelimiterSets[4] = {" \t\r\n,;", " \r\n", ",;{}", ""};

// A token fits its buffer, terminator included.
void CheckToken(const char* token, u32 size) { FUZZ_CHECK(strnlen(token, size) < size); }

void Step(CqelReadText& reader, u8 op)
{
    const u32 arg = op >> 4;
    char token[128];
    f32 floats[16];
    switch (op & 15) {
    case 0: {
        const u32 size = 1 + arg * 8;
        if (reader.ReadToken(token, size) == 0) CheckToken(token, size);
        break;
    }
    case 1: {
        const u32 cursor = reader.GetCursor();
        if (reader.PeekToken(token) == 0) CheckToken(token, sizeof token);
        FUZZ_CHECK(reader.GetCursor() == cursor);
        break;
    }
    case 2: reader.SkipComment(); break;
    case 3: reader.SeekAnyOf(arg & 1 ? "{};" : "\"/"); break;
    case 4: reader.SkipPast(arg & 1 ? ",;" : "}"); break;
    case 5: reader.SkipBlock(); break;
    case 6:
    case 13: {
        char* text = (op & 15) == 6 ? reader.ReadQuotedString() : reader.ReadString();
        if (text) FUZZ_CHECK(std::strlen(text) <= CqelReadText::kMaxString);
        AlignedFree(text);
        break;
    }
    case 7:
        switch (arg & 3) {
        case 0: reader.ReadInt8(); break;
        case 1: reader.ReadInt16(); break;
        case 2: reader.ReadInt32(); break;
        default: reader.ReadUInt32(); break;
        }
        break;
    case 8: reader.ReadFloat(); break;
    case 9:
        if (arg & 1) reader.ReadFloat16(floats);
        else reader.ReadFloat3(floats);
        break;
    case 10: reader.SetDelimiters(kDelimiterSets[arg & 3]); break;
    case 11:
        if (arg & 8) reader.Skip(arg & 7);
        else reader.SetCursor(reader.GetCursor() > arg ? reader.GetCursor() - arg : 0);
        break;
    case 12: {
        const CqelReadText copy(reader);
        FUZZ_CHECK(copy.GetCursor() == reader.GetCursor() && copy.GetDataSize() == reader.GetDataSize());
        FUZZ_CHECK(std::strcmp(copy.GetDelimiters(), reader.GetDelimiters()) == 0);
        reader = copy;
        break;
    }
    case 14: reader.ReadToken(nullptr, 0); break;
    default:
        switch (arg & 3) {
        case 0: reader.ReadFloat2(floats); break;
        case 1: reader.ReadFloat4A(floats); break;
        case 2: reader.ReadFloat4B(floats); break;
        default: reader.ReadFloat4C(floats); break;
        }
        break;
    }
    FUZZ_CHECK(reader.GetCursor() <= reader.GetDataSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX - 1) return 0;
    fuzz::Input input(data, size);
    const u8 header = input.Byte();
    u8 script[16];
    const u32 length = 1 + ((header >> 1) & 15);
    for (u32 i = 0; i < length; ++i) script[i] = input.Byte();

    CqelReadText reader;
    reader.SetDelimiters(kDelimiterSets[0]);
    if (header & 1) {
        static const std::string path = fuzz::Folder("text") + "input.x";
        fuzz::WriteFile(path, input.Rest(), input.RestSize());
        FUZZ_CHECK(reader.LoadFromFile(path.c_str()) == 1);
        FUZZ_CHECK(reader.GetDataSize() >= 1 && reader.GetDataSize() <= input.RestSize() + 1);
        FUZZ_CHECK(reader.GetData()[reader.GetDataSize() - 1] == 0);
    } else if (!reader.LoadFromMemory(input.Rest(), u32(input.RestSize()))) {
        FUZZ_CHECK(input.RestSize() == 0);
        return 0;
    }
    for (u32 i = 0; i < 256; ++i) Step(reader, script[i % length]);
    return 0;
}

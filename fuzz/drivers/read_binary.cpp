// The little-endian field reader (CqelReadBinary) driven by a script of its
// operations over a block, loaded from memory or from a file. A field that
// was there must hold the bytes at its place.
//
// Input: a header byte (bit 0: load from a file; bits 1-4: script length
// less one), the script (one operation per byte, its high nibble an
// argument), then the data. The script repeats for up to 256 steps.
#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/core/ReadBinary.h"
#include "fuzz/FuzzSupport.h"

#include <cstring>

namespace {

void Step(CqelReadBinary& reader, u8 op)
{
    const u32 arg = op >> 4;
    const u32 at = reader.GetCursor();
    const u8* field = reader.GetData() + at;
    const bool had = !reader.HasError();
    u8 bytes[64];
    f32 floats[16];
    switch (op & 7) {
    case 0: {
        char* text = reader.ReadString();
        if (text) {
            const size_t length = std::strlen(text);
            FUZZ_CHECK(length <= CqelReadBinary::kMaxString && std::memcmp(text, field, length) == 0);
        }
        AlignedFree(text);
        break;
    }
    case 1: {
        const i32 value = reader.ReadInt32();
        if (had && !reader.HasError()) FUZZ_CHECK(u32(value) == GetLe32(field) && reader.GetCursor() == at + 4);
        break;
    }
    case 2: {
        const i16 value = reader.ReadInt16();
        const i8 small = reader.ReadInt8();
        if (had && !reader.HasError()) FUZZ_CHECK(u16(value) == GetLe16(field) && u8(small) == field[2]);
        break;
    }
    case 3:
        reader.ReadUInt32();
        reader.ReadFloat();
        break;
    case 4:
        if (reader.ReadBytes(bytes, arg * 4)) FUZZ_CHECK(std::memcmp(bytes, field, arg * 4) == 0);
        break;
    case 5:
        switch (arg & 3) {
        case 0: reader.ReadFloat16(floats); break;
        case 1: reader.ReadFloat3(floats); break;
        case 2: reader.ReadFloat4A(floats); break;
        default: reader.ReadFloat2(floats); break;
        }
        break;
    case 6:
        if (arg & 8) reader.Skip(arg & 7);
        else reader.SetCursor(at > arg ? at - arg : 0);
        break;
    default: {
        const CqelReadBinary copy(reader);
        FUZZ_CHECK(copy.GetCursor() == at && copy.GetDataSize() == reader.GetDataSize());
        FUZZ_CHECK(copy.HasError() == reader.HasError());
        reader = copy;
        break;
    }
    }
    FUZZ_CHECK(reader.GetCursor() <= reader.GetDataSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX) return 0;
    fuzz::Input input(data, size);
    const u8 header = input.Byte();
    u8 script[16];
    const u32 length = 1 + ((header >> 1) & 15);
    for (u32 i = 0; i < length; ++i) script[i] = input.Byte();

    CqelReadBinary reader;
    bool loaded;
    if (header & 1) {
        static const std::string path = fuzz::Folder("binary") + "input.bin";
        fuzz::WriteFile(path, input.Rest(), input.RestSize());
        loaded = reader.LoadFromFile(path.c_str());
    } else {
        loaded = reader.LoadFromMemory(input.Rest(), u32(input.RestSize()));
    }
    FUZZ_CHECK(loaded == (input.RestSize() > 0));
    if (!loaded) return 0;
    FUZZ_CHECK(reader.GetDataSize() == input.RestSize() && std::memcmp(reader.GetData(), input.Rest(), input.RestSize()) == 0);
    for (u32 i = 0; i < 256; ++i) Step(reader, script[i % length]);
    return 0;
}

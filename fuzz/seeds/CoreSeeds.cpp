// Seeds of the core readers: archives from the packer, key-frame blocks and
// stored strings from their writers, and texts and blocks for the whole-file
// readers (which have no writer) laid out by hand.
#include "engine/core/Endian.h"
#include "engine/core/KeyFrameList.h"
#include "engine/core/PackFile.h"
#include "engine/core/Scramble.h"
#include "engine/core/String.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"

#include <cstring>

namespace seeds {

namespace {

// The packer's archive of the named files, made in the current folder.
Bytes Pack(const std::vector<std::pair<std::string, Bytes>>& files)
{
    std::vector<const char*> paths;
    fuzz::Folder("pk");
    for (const auto& [name, body] : files) {
        FUZZ_CHECK(host::kernel::WriteFileAtomic(name, body.data(), body.size()));
        paths.push_back(name.c_str());
    }
    FUZZ_CHECK(CqelPackFile::Write(paths.data(), u32(paths.size()), "seed.gpk") == 1);
    return fuzz::ReadFile("seed.gpk");
}

// A plain archive turned scrambled: seed byte, identifier and count, then
// each entry scrambled with the header key and each body with the data key.
Bytes Scramble(const Bytes& plain, u8 seed, u32 identifier, u8 key)
{
    const u8 headerKey = u8(seed ^ key);
    const u32 count = GetLe32(plain.data());
    Bytes out(1, char(seed)), word;
    Le32(word, identifier), Le32(word, count);
    ScrambleBytes(headerKey, word.data(), 4);
    ScrambleBytes(headerKey, word.data() + 4, 4);
    out += word;
    Bytes bodies;
    for (u32 i = 0; i < count; ++i) {
        Bytes entry = plain.substr(4 + size_t(i) * kPackEntrySize, kPackEntrySize);
        const u32 size = GetLe32(entry.data() + kPackNameSize);
        const u32 offset = GetLe32(entry.data() + kPackNameSize + 4);
        Bytes body = plain.substr(offset, size);
        ScrambleBytes(u8(identifier % 255), body.data(), u32(body.size()));
        PutLe32(entry.data() + kPackNameSize + 4, offset + 5);
        ScrambleBytes(headerKey, entry.data(), kPackEntrySize);
        out += entry;
        bodies += body;
    }
    return out + bodies;
}

void MakePackSeeds(const std::string& root)
{
    const std::vector<std::vector<std::pair<std::string, Bytes>>> sets = {
        {},
        {{"pk/one.txt", "NAME=one;"}},
        {{"pk/a.dat", Bytes(300, 'a')}, {"pk/empty", ""}, {"pk/\x83\x65\x83\x58\x83\x67.txt", "dbcs"}},
        {{"pk/same", "first"}, {"pk/same", "second body"}},
    };
    Sink plain(root, "pack"), scrambled(root, "pack_scrambled");
    for (size_t i = 0; i < sets.size(); ++i) {
        const Bytes archive = Pack(sets[i]);
        plain.Add("packer-" + std::to_string(i), archive);
        scrambled.Add("first-key-" + std::to_string(i), Scramble(archive, u8(0x11 * i), 1000 + u32(i), kPackKeyFirst));
        scrambled.Add("second-key-" + std::to_string(i), Scramble(archive, u8(0xA5 ^ i), 0x12345678u + u32(i), kPackKeySecond));
    }
}

// Tracks of 0, 1 and 3 keys written by the track itself; value words are
// small distinct floats (or their bit patterns for the word tracks).
template <class T>
void AddTracks(Sink& sink, u8 type, const char* typeName)
{
    for (u32 keys : {0u, 1u, 3u}) {
        CKeyFrameList<T> track(keys == 1 ? nullptr : "track");
        for (u32 k = 0; k < keys; ++k) {
            T value;
            f32 words[sizeof(T) / 4];
            for (u32 w = 0; w < sizeof(T) / 4; ++w) words[w] = f32(k) * 1.5f + f32(w) * 0.25f - 1.0f;
            std::memcpy(static_cast<void*>(&value), words, sizeof(T));
            track.AddKey(f32(k) * 0.5f, value, k == 1 ? 0.5f : 0.0f);
        }
        track.SetLoop(keys == 3 ? 1 : 0);
        fuzz::MemoryFile out;
        FUZZ_CHECK(track.WriteToFile(&out) == 1);
        for (u8 file : {0, 8}) {
            const std::string name = std::string(typeName) + "-" + std::to_string(keys) + (file ? "-file" : "-memory");
            sink.Add(name, Bytes(1, char(type | file)) + out.Bytes());
        }
    }
}

void MakeKeyFrameSeeds(const std::string& root)
{
    Sink sink(root, "keyframe");
    AddTracks<f32>(sink, 0, "float");
    AddTracks<i32>(sink, 1, "int");
    AddTracks<u32>(sink, 2, "word");
    AddTracks<CVector3>(sink, 3, "vector3");
    AddTracks<CQuaternion>(sink, 4, "quaternion");
    AddTracks<CVector4>(sink, 5, "colour");
    AddTracks<CRect4>(sink, 6, "rect");
    AddTracks<CSegment>(sink, 7 | 16, "curve");
    // A name stored without its NUL.
    CKeyFrameList<f32> named("Play");
    named.AddKey(0.5f, 1.0f);
    fuzz::MemoryFile out;
    FUZZ_CHECK(named.WriteToFile(&out) == 1);
    std::string unended = out.Bytes();
    unended[4 + 4] = '!';
    sink.Add("float-name-without-nul", Bytes(1, char(0)) + unended);
    // Blocks that end after their keys: before the loop word, halfway into
    // the default value (read through a file).
    sink.Add("float-ends-after-interpolate", Bytes(1, char(0)) + out.Bytes().substr(0, out.Bytes().size() - 8));
    CKeyFrameList<CVector3> moved("Move");
    moved.AddKey(1.0f, CVector3(1, 2, 3));
    fuzz::MemoryFile vector;
    FUZZ_CHECK(moved.WriteToFile(&vector) == 1);
    sink.Add("vector3-ends-in-default", Bytes(1, char(3 | 8)) + vector.Bytes().substr(0, vector.Bytes().size() - 6));
}

void MakeStringSeeds(const std::string& root)
{
    Sink sink(root, "string");
    const std::vector<const char*> texts = {"", "Resource/Stage01.x", "\x83\x65\x83\x58\x83\x67 text", "a"};
    for (u8 key : {u8(0), u8(0x5A), u8(0xFF)}) {
        fuzz::MemoryFile out;
        for (const char* text : texts) FUZZ_CHECK(CString(text).Write(&out, key) == 1);
        FUZZ_CHECK(CString(std::string(600, 'x').c_str()).Write(&out, key) == 1);
        sink.Add("strings-key-" + std::to_string(key), Bytes(1, char(key)) + out.Bytes());
    }
}

// A header byte (file bit, script length) and a script before the data.
Bytes Scripted(bool file, const Bytes& script, const Bytes& data)
{
    return Bytes(1, char((file ? 1 : 0) | ((script.size() - 1) << 1))) + script + data;
}

void MakeReaderSeeds(const std::string& root)
{
    const Bytes mesh =
        "xof 0302txt 0032\n"
        "// a mesh\n"
        "Mesh body {\n"
        "  4;\n"
        "  0.0;0.0;0.0;,\n"
        "  1.5;-2.25;3e2;;\n"
        "  \"\x83\x65\x83\x58\x83\x67.png\";\n"
        "  { nested { deeper } }\n"
        "  -17 4294967295 99999999999 0x10\n"
        "}\n";
    const Bytes crlf = "Frame top {\r\n  FrameTransformMatrix {\r\n    1.0,0.0,0.0,0.0,0.0,1.0,0.0,0.0,"
                       "0.0,0.0,1.0,0.0,0.0,0.0,0.0,1.0;;\r\n  }\r\n}\r\n";
    // Set delimiters, then: token, ints, float, block, quoted string, peek, comment, matrix.
    const Bytes script = {0x0A, 0x70, 0x07, 0x27, 0x08, 0x05, 0x06, 0x01, 0x02, 0x19, 0x03, 0x0C, 0x0E, 0x1F, 0x0B};
    Sink text(root, "read_text");
    text.Add("mesh-memory", Scripted(false, script, mesh));
    text.Add("mesh-file", Scripted(true, script, mesh));
    text.Add("frame-file", Scripted(true, {0x0A, 0x00, 0x00, 0x05, 0x19, 0x04}, crlf));
    text.Add("unclosed", Scripted(false, {0x06, 0x05, 0x0D}, "\"open { { // comment \x83"));

    Bytes block;
    block += "Body";
    block += '\0';
    Le32(block, 0xFFFFFFFE);
    Le16(block, 0x8001);
    block += char(0x7F);
    for (f32 f : {1.0f, -2.5f, 1e-3f, 3.0f}) {
        u32 bits;
        std::memcpy(&bits, &f, 4);
        Le32(block, bits);
    }
    block += "\x83\x65\x83\x58";
    block += '\0';
    block += Bytes(40, '\x11');
    Sink binary(root, "read_binary");
    // String, int, short and byte, floats, bytes, matrix, cursor, copy.
    const Bytes fields = {0x00, 0x01, 0x02, 0x03, 0x15, 0x00, 0x44, 0x05, 0x06, 0x07};
    binary.Add("fields-memory", Scripted(false, fields, block));
    binary.Add("fields-file", Scripted(true, fields, block));
    binary.Add("strings", Scripted(false, {0x00}, Bytes("a\0bc\0\0unterminated", 19)));
}

}  // namespace

void MakeCoreSeeds(const std::string& root)
{
    MakePackSeeds(root);
    MakeKeyFrameSeeds(root);
    MakeStringSeeds(root);
    MakeReaderSeeds(root);
}

}  // namespace seeds

// Seeds of a character's face file, laid out by the tests' writer: a file
// with faces, voice values and a code page 932 name, an empty one, and files
// read as far as they go (a name filling its 260 bytes, a record count past
// the end, a file ending after its expressions, keys cut short), and tracks
// with names and settings of their own.
#include "fuzz/seeds/Seeds.h"
#include "game/battle/character/tests/FaceFileWriter.h"

namespace seeds {

void MakeCharacterSeeds(const std::string& root)
{
    using namespace face_test;
    Sink sink(root, "face_file");
    const std::vector<Face> faces = {
        {"def", {{{0.0f, 1}, {0.5f, 2}, {1.0f, 0}}, {{0.0f, 3}}}},
        {"smile", {{{0.25f, 4}}, {}}},
        {"\x8B\x83\x82\xAB", {{}, {}}},
    };
    sink.Add("faces", FaceFileBytes(faces, {0, 2, 1, 1}));
    sink.Add("empty", FaceFileBytes({}, {}));
    sink.Add("name-filling-260-bytes", FaceFileBytes({{std::string(260, 'x'), {}}}, {}));
    Bytes counted = FaceFileBytes(faces, {});
    counted[0] = 9;
    sink.Add("count-past-end", counted);
    const Bytes whole = FaceFileBytes(faces, {0, 2});
    sink.Add("ends-after-expressions", whole.substr(0, whole.size() - 12));
    sink.Add("keys-cut-short", whole.substr(0, 4 + 260 + 8 + 12 + 5));
    // Tracks with names and settings of their own, the second cut after its
    // interpolate word.
    Bytes named("\x01\x00\x00\x00", 4);
    named += std::string("eyes") + std::string(256, '\0');
    named += Bytes("\x06\x00\x00\x00" "blink\0" "\x01\x00\x00\x00" "\x00\x00\x00\x3F" "\x00\x00\x00\x00"
                   "\x03\x00\x00\x00" "\x00\x00\x00\x00" "\x01\x00\x00\x00" "\x07\x00\x00\x00", 38);
    named += Bytes("\x03\x00\x00\x00" "lid" "\x00\x00\x00\x00" "\x02\x00\x00\x00", 15);
    sink.Add("named-tracks", named);
}

}  // namespace seeds

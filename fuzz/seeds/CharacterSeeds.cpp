// Seeds of a character's face file, laid out by the tests' writer: a file
// with faces, voice values and a code page 932 name, an empty one, and two
// refused (a name that never ends, a record count past the end).
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
    sink.Add("unended-name", FaceFileBytes({{std::string(260, 'x'), {}}}, {}));
    Bytes counted = FaceFileBytes(faces, {});
    counted[0] = 9;
    sink.Add("count-past-end", counted);
}

}  // namespace seeds

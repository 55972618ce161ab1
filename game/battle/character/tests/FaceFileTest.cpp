#include "FaceFileWriter.h"

#include "game/battle/character/CharacterParameter.h"
#include "game/battle/character/FaceFile.h"
#include "game/data/tests/SettingTestSupport.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using namespace face_test;

namespace {

const std::vector<Face> kFaces = {
    {"def", {{{0.0f, 1}, {0.5f, 2}}, {{0.0f, 3}}}},
    {"smile", {{{0.0f, 4}}, {}}},
    {"\x8B\x83\x82\xAB", {{}, {{1.0f, 5}}}},   // code page 932 name
    {"smile", {{{0.25f, 6}}, {{0.25f, 7}}}},
};
const std::vector<u32> kValues = {2, 0, 3};

}  // namespace

TEST(FaceFile, ReadsRecordsTracksAndVoiceValues)
{
    const std::string bytes = FaceFileBytes(kFaces, kValues);
    FaceTables tables;
    ASSERT_EQ(ReadFaceFile(bytes.data(), bytes.size(), tables), FaceFileError::kNone);
    ASSERT_EQ(tables.expressions.size(), kFaces.size());
    for (size_t i = 0; i < kFaces.size(); ++i) {
        const CNamedArray& face = tables.expressions[i];
        EXPECT_EQ(face.GetName(), kFaces[i].name);
        ASSERT_EQ(face.GetCount(), 2u);
        for (u32 t = 0; t < 2; ++t) {
            const CKeyFrameTrack& track = *face.GetItem(t);
            ASSERT_EQ(track.GetCount(), kFaces[i].tracks[t].size());
            for (u32 k = 0; k < track.GetCount(); ++k) EXPECT_EQ(track.GetAt(k)->value, kFaces[i].tracks[t][k].value);
        }
    }
    EXPECT_EQ(tables.voiceExpressions, kValues);
}

// A file that ends early, or whose counts pass its end, keeps what its reads
// delivered: records as far as they go (a name cut short, the whole keys
// there are), whole values only; a missing count is 0. A name filling its
// 260 bytes is ended after them.
TEST(FaceFile, ShortFilesKeepWhatTheirReadsDelivered)
{
    const std::string good = FaceFileBytes(kFaces, kValues);
    const size_t valuesAt = good.size() - 4 * (kValues.size() + 1);
    const size_t secondAt = 4 + FaceFileBytes({kFaces[0]}, {}).size() - 8;
    const std::string full(260, 'A');
    std::string fourValuesThreeThere;
    for (u32 v : {4, 5, 6, 7}) PutU32(fourValuesThreeThere, v);
    fourValuesThreeThere += "\x09\x09";   // and part of a fourth
    std::string hugeKeys = FaceFileBytes({{"def", {}}}, {});
    hugeKeys[4 + 260 + 4] = '\xFF';   // first track's key count; 36 bytes follow
    hugeKeys[4 + 260 + 7] = '\x0F';
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> names;
        std::vector<u32> keys;   // key count of each track, record by record
        std::vector<u32> values;
    } cases[] = {
        {"empty", "", {}, {}, {}},
        {"part of the record count", "\x01\x00", {}, {}, {}},
        {"ends after its expressions", good.substr(0, valuesAt), {"def", "smile", kFaces[2].name, "smile"},
         {2, 1, 1, 0, 0, 1, 1, 1}, {}},
        {"part of the value count", good.substr(0, valuesAt + 3), {"def", "smile", kFaces[2].name, "smile"},
         {2, 1, 1, 0, 0, 1, 1, 1}, {}},
        {"values past the end", good.substr(0, valuesAt) + fourValuesThreeThere,
         {"def", "smile", kFaces[2].name, "smile"}, {2, 1, 1, 0, 0, 1, 1, 1}, {5, 6, 7}},
        {"record count past the end", FaceFileBytes({}, {}).replace(0, 4, "\xFF\xFF\xFF\xFF"), {""}, {0, 0}, {}},
        {"one record fewer than counted", good.substr(0, 4) + FaceFileBytes({kFaces[0]}, {9}).substr(4), {"def", "\x01"},
         {2, 1, 0, 0}, {}},
        {"name cut short", good.substr(0, secondAt + 3), {"def", "smi"}, {2, 1, 0, 0}, {}},
        {"keys cut short", good.substr(0, 4 + 260 + 8 + 12 + 11), {"def"}, {1, 0}, {}},
        {"key count past the end", hugeKeys, {"def"}, {3, 0}, {}},
        {"name filling its 260 bytes", FaceFileBytes({{full, {{{0.0f, 8}}, {}}}}, {1}), {full}, {1, 0}, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaceTables tables;
        tables.voiceExpressions = {42};
        EXPECT_EQ(ReadFaceFile(c.bytes.data(), c.bytes.size(), tables), FaceFileError::kNone);
        std::vector<std::string> names;
        std::vector<u32> keys;
        for (const CNamedArray& face : tables.expressions) {
            names.push_back(face.GetName());
            for (u32 t = 0; t < face.GetCount(); ++t) keys.push_back(face.GetItem(t)->GetCount());
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(tables.voiceExpressions, c.values);
    }
    // Every cut of a good file reads, to a start of what the whole file holds.
    for (size_t size = 0; size < good.size(); ++size) {
        FaceTables tables;
        ASSERT_EQ(ReadFaceFile(good.data(), size, tables), FaceFileError::kNone) << size;
        ASSERT_LE(tables.expressions.size(), kFaces.size()) << size;
        for (size_t i = 0; i < tables.expressions.size(); ++i) {
            const CNamedArray& face = tables.expressions[i];
            EXPECT_EQ(kFaces[i].name.rfind(face.GetName(), 0), 0u) << size;
            for (u32 t = 0; t < 2; ++t) {
                const CKeyFrameTrack& track = *face.GetItem(t);
                ASSERT_LE(track.GetCount(), kFaces[i].tracks[t].size()) << size;
                for (u32 k = 0; k < track.GetCount(); ++k) EXPECT_EQ(track.GetAt(k)->value, kFaces[i].tracks[t][k].value);
            }
        }
        EXPECT_EQ(tables.voiceExpressions, std::vector<u32>(kValues.begin(), kValues.begin() + tables.voiceExpressions.size()))
            << size;
    }
}

// Golden bytes of one record whose tracks carry names and settings: each
// track keeps its own name, and a block cut in its settings words keeps
// the track's own for the words missing (a new track interpolates).
TEST(FaceFile, TracksKeepTheirNamesAndSettings)
{
    std::string bytes("\x01\x00\x00\x00", 4);
    bytes += std::string("eyes") + std::string(256, '\0');
    const std::string tracks[] = {
        // "blink", 1 key (t 0.5, ease 0, 3), interpolate 0, loop 1, default 7
        std::string("\x06\x00\x00\x00" "blink\0" "\x01\x00\x00\x00"
                    "\x00\x00\x00\x3F" "\x00\x00\x00\x00" "\x03\x00\x00\x00"
                    "\x00\x00\x00\x00" "\x01\x00\x00\x00" "\x07\x00\x00\x00", 38),
        // "lid" stored without its NUL, no keys, interpolate 2, loop 0, default 9
        std::string("\x03\x00\x00\x00" "lid" "\x00\x00\x00\x00"
                    "\x02\x00\x00\x00" "\x00\x00\x00\x00" "\x09\x00\x00\x00", 23),
    };
    const std::string whole = bytes + tracks[0] + tracks[1] + std::string(4, '\0');
    struct Case {
        const char* what;
        size_t size;
        const char* secondName;
        u32 interpolate, loop, value;
    } cases[] = {
        {"whole", whole.size(), "lid", 2, 0, 9},
        {"cut after the keys", bytes.size() + 38 + 11, "lid", 1, 0, 0},
        {"cut inside interpolate", bytes.size() + 38 + 13, "lid", 1, 0, 0},
        {"cut after interpolate", bytes.size() + 38 + 15, "lid", 2, 0, 0},
        {"cut inside the name", bytes.size() + 38 + 6, "li", 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaceTables tables;
        ASSERT_EQ(ReadFaceFile(whole.data(), c.size, tables), FaceFileError::kNone);
        ASSERT_EQ(tables.expressions.size(), 1u);
        const CNamedArray& face = tables.expressions[0];
        EXPECT_STREQ(face.GetName(), "eyes");
        const CKeyFrameTrack& first = *face.GetItem(0);
        EXPECT_STREQ(first.GetName(), "blink");
        ASSERT_EQ(first.GetCount(), 1u);
        EXPECT_EQ(first.GetAt(0)->time, 0.5f);
        EXPECT_EQ(first.GetAt(0)->value, 3u);
        EXPECT_EQ(first.GetInterpolate(), 0u);
        EXPECT_EQ(first.GetLoop(), 1u);
        EXPECT_EQ(*first.GetDefaultValue(), 7u);
        const CKeyFrameTrack& second = *face.GetItem(1);
        EXPECT_STREQ(second.GetName(), c.secondName);
        EXPECT_EQ(second.GetCount(), 0u);
        EXPECT_EQ(second.GetInterpolate(), c.interpolate);
        EXPECT_EQ(second.GetLoop(), c.loop);
        EXPECT_EQ(*second.GetDefaultValue(), c.value);
    }
}

TEST(FaceFile, FaceKeysTakeTheLaterMatchingRecord)
{
    setting_test::WorkFolder folder;
    setting_test::WriteBytes("Chara.fac", FaceFileBytes(kFaces, kValues));
    CCharacterParameter parameter;
    parameter.RegisterKeys();
    parameter.ApplyDefaults();
    parameter.values.faces[kDamageFace].index = 9;
    ASSERT_EQ(parameter.LoadFaces("Chara.fac"), FaceFileError::kNone);
    EXPECT_EQ(parameter.values.faces[kDefaultFace].index, 0);
    EXPECT_EQ(parameter.values.faces[kSmileFace].index, 3);
    EXPECT_EQ(parameter.values.faces[kDamageFace].index, 9);   // no "damage" record: kept
    EXPECT_EQ(parameter.GetVoiceExpressions(), kValues);

    // A file cut short in the third record's name keeps the records read:
    // the later "smile" is gone.
    setting_test::WriteBytes("Cut.fac", FaceFileBytes(kFaces, kValues).substr(0, 700));
    EXPECT_EQ(parameter.LoadFaces("Cut.fac"), FaceFileError::kNone);
    EXPECT_EQ(parameter.GetExpressions().size(), 3u);
    EXPECT_EQ(parameter.values.faces[kSmileFace].index, 1);
    EXPECT_TRUE(parameter.GetVoiceExpressions().empty());
    // A file that cannot be read changes nothing.
    EXPECT_EQ(parameter.LoadFaces("Missing.fac"), FaceFileError::kMissing);
    EXPECT_EQ(parameter.GetFaceError(), FaceFileError::kMissing);
    EXPECT_EQ(parameter.GetExpressions().size(), 3u);
    EXPECT_EQ(parameter.values.faces[kSmileFace].index, 1);
}

}  // namespace ORV_TEST_FILE_ID

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

// Each damaged file is refused with its reason and leaves the tables as
// they were.
TEST(FaceFile, DamagedFilesAreRefusedWhole)
{
    const std::string good = FaceFileBytes(kFaces, kValues);
    const size_t valuesAt = good.size() - 4 * (kValues.size() + 1);
    std::string unended = FaceFileBytes({{std::string(260, 'A'), {}}}, {});
    std::string hugeKeys = FaceFileBytes({{"def", {}}}, {});
    hugeKeys[4 + 260 + 4] = '\xFF';   // first track's key count
    hugeKeys[4 + 260 + 7] = '\x0F';
    struct Case {
        const char* what;
        std::string bytes;
        FaceFileError error;
    } cases[] = {
        {"empty", "", FaceFileError::kCut},
        {"record count past the end", FaceFileBytes({}, {}).replace(0, 4, "\xFF\xFF\xFF\xFF"), FaceFileError::kCut},
        {"one record fewer than counted", good.substr(0, 4) + FaceFileBytes({kFaces[0]}, {}).substr(4), FaceFileError::kCut},
        {"name without its end", unended, FaceFileError::kUnendedName},
        {"key count past the end", hugeKeys, FaceFileError::kBadTrack},
        {"value count past the end", good.substr(0, valuesAt) + "\x04\x00\x00\x00" + std::string(12, '\0'),
         FaceFileError::kCut},
    };
    for (const Case& c : cases) {
        FaceTables tables;
        tables.voiceExpressions = {42};
        EXPECT_EQ(ReadFaceFile(c.bytes.data(), c.bytes.size(), tables), c.error) << c.what;
        EXPECT_EQ(tables.voiceExpressions, std::vector<u32>{42}) << c.what;
        EXPECT_TRUE(tables.expressions.empty()) << c.what;
    }
    // Every cut of a good file is refused.
    for (size_t size = 0; size < good.size(); ++size) {
        FaceTables tables;
        EXPECT_NE(ReadFaceFile(good.data(), size, tables), FaceFileError::kNone) << size;
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

    // A damaged file changes nothing.
    setting_test::WriteBytes("Bad.fac", FaceFileBytes(kFaces, kValues).substr(0, 700));
    EXPECT_EQ(parameter.LoadFaces("Bad.fac"), FaceFileError::kCut);
    EXPECT_EQ(parameter.GetFaceError(), FaceFileError::kCut);
    EXPECT_EQ(parameter.GetExpressions().size(), kFaces.size());
    EXPECT_EQ(parameter.values.faces[kSmileFace].index, 3);
    EXPECT_EQ(parameter.LoadFaces("Missing.fac"), FaceFileError::kMissing);
}

}  // namespace ORV_TEST_FILE_ID

// What a damaged face file costs: counts past its bytes hold no more records,
// keys or values than the bytes can carry.
#include "FaceFileWriter.h"

#include "game/battle/character/FaceFile.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

using face_test::PutU32;

constexpr size_t kMiB = size_t(1) << 20;

// Records, keys and values a table holds, each at what one costs it.
size_t Held(const FaceTables& t)
{
    size_t bytes = t.expressions.size() * sizeof(CNamedArray) + t.voiceExpressions.size() * 4;
    for (const CNamedArray& face : t.expressions)
        for (u32 i = 0; i < face.GetCount(); ++i)
            bytes += sizeof(CKeyFrameTrack) + size_t(face.GetItem(i)->GetCount()) * 12;
    return bytes;
}

TEST(FaceFileCost, CountsPastTheBytesHoldNoMoreThanTheBytesCarry)
{
    // Every count says 4 G: many bare records, one record whose keys run to
    // the end, and voice values running to the end.
    std::string records;
    PutU32(records, 0xFFFFFFFFu);
    const std::string bare = std::string(260, 'f') + std::string(40, '\0');
    while (records.size() + bare.size() < kMiB - 16) records += bare;
    std::string keys;
    PutU32(keys, 1);
    keys += std::string(260, '\0');
    PutU32(keys, 0);
    PutU32(keys, 0xFFFFFFFFu);
    keys.resize(kMiB - 16, '\x01');
    std::string values;
    PutU32(values, 0);
    PutU32(values, 0xFFFFFFFFu);
    values.resize(kMiB - 16, '\x02');
    for (const std::string* file : {&records, &keys, &values}) {
        ASSERT_LT(file->size(), kMiB);
        FaceTables tables;
        ASSERT_EQ(ReadFaceFile(file->data(), file->size(), tables), FaceFileError::kNone);
        EXPECT_GT(Held(tables), 0u);
        EXPECT_LE(Held(tables), 4 * file->size()) << Held(tables);
    }
}

}  // namespace ORV_TEST_FILE_ID

// GameData.dat golden files, laid out by hand; their checksums come from a
// CRC written here from the byte rule, not from the engine's.
#include "game/data/SaveData.h"
#include "game/data/tests/SaveTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <unistd.h>
#include <vector>

namespace save_data_test {

namespace ORV_TEST_FILE_ID {

using save_test::ReadBytes;
using save_test::WriteBytes;

namespace {

// CRC-32 (reflected 0xEDB88320, start 0xFFFFFFFF, no final inversion) fed
// with the absolute value of each byte as a signed char.
u32 PartCrc(const std::string& bytes)
{
    u32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        const int s = static_cast<signed char>(c);
        crc ^= u32(s < 0 ? -s : s);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

using Table = std::array<u32, 256>;

std::string TableBytes(const Table& t)
{
    save_test::Bytes b;
    for (u32 v : t) b.U32(v);
    return b;
}

struct DataFile {
    u32 version = 0x13002000, count = 18, recordSize = 96;
    std::string records;
    Table tables[5] = {};
    u32 word = 0;

    std::string Build() const
    {
        save_test::Bytes b;
        b.U32(version).U8(count).U32(recordSize).Raw(records);
        for (const Table& t : tables) b.Raw(TableBytes(t));
        b.U32(word);
        for (const Table& t : tables) b.U32(PartCrc(TableBytes(t)));
        return b;
    }
};

DataFile Defaults()
{
    DataFile f;
    f.records = std::string(18 * 96, '\0');
    for (u32 i : {0, 1, 4, 13, 15, 16, 21, 23, 30, 32, 38, 44}) f.tables[0][i] = f.tables[1][i] = 1;
    f.tables[2][0] = 1;
    return f;
}

u32 ItemValue(u32 character, u32 word) { return 0x00010000u * (character + 1) + word; }

// n records of 24 distinct words, each stored in recordSize bytes (cut, or
// padded with 0xEE).
std::string Records(u32 n, u32 recordSize = 96)
{
    std::string out;
    for (u32 r = 0; r < n; ++r) {
        save_test::Bytes b;
        for (u32 w = 0; w < 24; ++w) b.U32(ItemValue(r, w));
        out += (b.str() + std::string(recordSize, '\xEE')).substr(0, recordSize);
    }
    return out;
}

DataFile Custom()
{
    DataFile f;
    f.records = Records(18);
    for (u32 t = 0; t < 5; ++t)
        for (u32 i = 0; i < 256; ++i) f.tables[t][i] = (i * 7 + t) % 3 == 0 ? 1 : 0;
    f.tables[4][255] = 0xFFFFFFFFu;   // high bytes exercise the signed-byte rule
    f.word = 1;
    return f;
}

void ExpectTables(const CSaveData& data, const DataFile& f)
{
    for (u32 t = 0; t < 5; ++t)
        for (i32 i = 0; i < 256; ++i) ASSERT_EQ(data.GetFlag(t, i), f.tables[t][i]) << t << " " << i;
}

class SaveData : public ::testing::Test {
protected:
    save_test::UserFolder folder;
    const std::string path = folder.Save("GameData.dat");
};

}  // namespace

TEST_F(SaveData, FirstLoadWritesTheDefaults)
{
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    EXPECT_EQ(ReadBytes(path), Defaults().Build());
    EXPECT_EQ(data.GetRecordCount(), 18u);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);
    EXPECT_EQ(data.HasUnshownAdventureRewardFlags(), 1);   // reward 0 shows as new
}

TEST_F(SaveData, HandWrittenFileLoadsAndRoundTripsByteForByte)
{
    const DataFile custom = Custom();
    const std::string golden = custom.Build();
    WriteBytes(path, golden);
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ExpectTables(data, custom);
    EXPECT_EQ(data.GetAdventureWord(), 1u);
    EXPECT_EQ(data.IsAdventureCompleteShown(), 1);
    EXPECT_EQ(data.GetSkillSet(17, 3, 1)->value[2], ItemValue(17, 23));   // words 21..23 of record 17
    EXPECT_EQ(data.GetSkillSet(0, 1, 0)->value[0], ItemValue(0, 6));
    ASSERT_EQ(data.Save(), 1);
    EXPECT_EQ(ReadBytes(path), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameData.dat"});
}

// Records stored in fewer than 96 bytes: each the first `size` bytes of its
// Records(18) record, then zeros.
std::string Narrowed(u32 size)
{
    std::string out;
    for (u32 r = 0; r < 18; ++r) out += Records(18).substr(r * 96, size) + std::string(96 - size, '\0');
    return out;
}

// Counts and sizes on both sides of 18 records and of 96 bytes, and the
// largest count a byte holds.
TEST_F(SaveData, OtherRecordCountsAndSizesAreReadThroughTheStoredLayout)
{
    const struct {
        u32 count, size, held;
        std::string saved;
    } cases[] = {
        {10, 96, 18, Records(10) + std::string(8 * 96, '\0')},
        {19, 96, 19, Records(19)},
        {255, 96, 255, Records(255)},
        {18, 97, 18, Records(18)},
        {18, 95, 18, Narrowed(95)},
        {18, 0, 18, Narrowed(0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        DataFile file = Custom();
        file.count = c.count, file.recordSize = c.size, file.records = Records(c.count, c.size);
        WriteBytes(path, file.Build());
        CSaveData data;
        ASSERT_EQ(data.Load(), 1);
        EXPECT_EQ(data.GetRecordCount(), c.held);
        EXPECT_EQ(data.GetSkillSet(i32(c.held), 0, 0), nullptr);
        ASSERT_EQ(data.Save(), 1);
        file.count = c.held, file.recordSize = 96, file.records = c.saved;
        EXPECT_EQ(ReadBytes(path), file.Build());
        EXPECT_FALSE(ReadBytes(path + ".bad"));
    }
}

TEST_F(SaveData, MismatchedOrOlderFilesGiveTheDefaultsAndKeepACopy)
{
    std::string mismatched = Custom().Build();
    mismatched[9 + 18 * 96 + 3 * 1024 + 17] ^= 0x01;   // a byte of table 3
    DataFile older = Custom();
    older.version = 0x13001000;
    const struct {
        std::string file;
        const char* copy;
        u32 word;
    } cases[] = {{mismatched, ".bad", 1}, {older.Build(), ".old", 5}};   // a mismatch still reads the word
    for (const auto& c : cases) {
        SCOPED_TRACE(c.copy);
        WriteBytes(path, c.file);
        // No copy can be made: the game runs on the defaults but never
        // replaces the only one.
        ASSERT_EQ(::mkdir((path + c.copy).c_str(), 0777), 0);
        CSaveData uncopied;
        ASSERT_EQ(uncopied.Load(), 1);
        EXPECT_EQ(uncopied.Save(), 0);
        EXPECT_EQ(ReadBytes(path), c.file);
        ASSERT_EQ(::rmdir((path + c.copy).c_str()), 0);

        CSaveData data;
        data.SetAdventureWord(5);
        ASSERT_EQ(data.Load(), 1);
        EXPECT_EQ(data.GetAdventureWord(), c.word);
        EXPECT_EQ(ReadBytes(path), c.file);   // the load does not rewrite it
        EXPECT_EQ(ReadBytes(path + c.copy), c.file);
        ASSERT_EQ(data.Save(), 1);
        DataFile expected = Defaults();
        expected.word = c.word;
        EXPECT_EQ(ReadBytes(path), expected.Build());
    }
}

TEST_F(SaveData, NewerVersionIsRefusedAndLeftAlone)
{
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ASSERT_EQ(data.SetUnlockFlag(100, 1), 1);
    DataFile newer = Custom();
    newer.version = 0x13002001;
    save_test::ExpectRefused(data, path, newer.Build());
    EXPECT_EQ(data.GetUnlockFlag(100), 1u);
}

// A file that ends early cannot match the checksums it lacks: the defaults,
// with the adventure word it holds (or the earlier one when it ends before
// the word) and a copy of the file kept aside.
TEST_F(SaveData, ATruncatedFileGivesTheDefaultsAndIsKeptAside)
{
    const std::string whole = Custom().Build();   // adventure word 1
    const size_t wordEnd = 9 + 18 * 96 + 5 * 1024 + 4;
    const std::vector<size_t> boundaries = {9, 9 + 18 * 96, wordEnd - 4, wordEnd, whole.size() - 4};
    std::vector<std::pair<std::string, u32>> files;   // the file, the word after loading it
    for (size_t cut : save_test::CutPoints(whole.size(), 64, boundaries, 97))
        files.push_back({whole.substr(0, cut), cut >= wordEnd ? 1u : 5u});
    // Sizes and counts past the end of the file.
    DataFile huge = Custom();
    huge.count = 255, huge.recordSize = 0xFFFFFFFFu;
    files.push_back({huge.Build(), 5});
    DataFile many = Custom();
    many.count = 200;   // 18 stored
    files.push_back({many.Build(), 5});
    for (const auto& [file, word] : files) {
        SCOPED_TRACE(file.size());
        CSaveData data;
        data.SetAdventureWord(5);
        ASSERT_EQ(data.SetUnlockFlag(99, 3), 1);   // not kept
        DataFile expected = Defaults();
        expected.word = word;
        ASSERT_EQ(save_test::ResavedAfterPartialLoad(data, path, file), expected.Build());
        EXPECT_EQ(data.GetRecordCount(), 18u);
    }
}

TEST(SaveDataValues, FlagsOutsideTheTablesAreRefused)
{
    CSaveData data;
    data.SetDefaults();
    for (auto [table, index] : {std::pair<u32, i32>{0, 256}, {2, -1}, {5, 0}}) {
        EXPECT_EQ(data.SetFlag(table, index, 1), 0) << table << " " << index;
        EXPECT_EQ(data.GetFlag(table, index), 0u);
    }
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);   // nothing changed
    // The last table's first and last flags are its own.
    ASSERT_EQ(data.SetFlag(4, 0, 7), 1);
    ASSERT_EQ(data.SetFlag(4, 255, 9), 1);
    EXPECT_EQ(data.GetFlag(4, 0), 7u);
    EXPECT_EQ(data.GetFlag(4, 255), 9u);

    ASSERT_EQ(data.SetUnlockFlag(255, 1), 1);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 1);
    data.MarkUnlockFlagsShown();
    EXPECT_EQ(data.GetShownUnlockFlag(255), 1u);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);
    data.MarkAdventureRewardFlagsShown();
    EXPECT_EQ(data.HasUnshownAdventureRewardFlags(), 0);
}

TEST(SaveDataValues, SkillSetsOutsideTheRecordsAreRefused)
{
    CSaveData data;
    EXPECT_EQ(data.GetSkillSet(0, 0, 0), nullptr);   // no records before the defaults
    data.SetDefaults();
    const GameDataItem item{{1, 2, 3}};
    for (auto [character, set, k] : {std::array{18, 0, 0}, {-1, 0, 0}, {0, 4, 0}, {0, 0, 2}, {0, -1, 0}}) {
        EXPECT_EQ(data.SetSkillSet(character, set, k, item), 0) << character << set << k;
        EXPECT_EQ(data.GetSkillSet(character, set, k), nullptr);
    }
    ASSERT_EQ(data.SetSkillSet(17, 3, 1, item), 1);
    EXPECT_EQ(data.GetSkillSet(17, 3, 1)->value[1], 2u);
    EXPECT_EQ(data.GetSkillSet(17, 3, 0)->value[1], 0u);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace save_data_test

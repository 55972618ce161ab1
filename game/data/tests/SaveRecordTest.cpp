// GameRecord.dat golden files, laid out by hand in each version the reader knows.
#include "game/data/SaveRecord.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

namespace save_record_test {

namespace ORV_TEST_FILE_ID {

using save_test::ReadBytes;
using save_test::WriteBytes;

namespace {

u32 Counter(u32 r, u32 w) { return 0x01000000u * (r + 1) + w * 3 + 1; }

// n records of 16 distinct counters each.
std::string Records(u32 n)
{
    save_test::Bytes b;
    for (u32 r = 0; r < n; ++r)
        for (u32 w = 0; w < 16; ++w) b.U32(Counter(r, w));
    return b;
}

std::string RecordFile(u32 version, u32 playTime, u8 flag, u32 blockSize, const std::string& block)
{
    return save_test::Bytes().U32(version).U32(playTime).U8(flag).U8(18).U32(blockSize).Raw(block);
}

std::string Current(u32 playTime, u8 flag, const std::string& block)
{
    return RecordFile(0x13001000, playTime, flag, 1152, block);
}

class SaveRecord : public ::testing::Test {
protected:
    save_test::UserFolder folder;
    // Never zero, so absolute times cannot pass for play time.
    host::kernel::FakeClock clock{5000};
    host::kernel::ScopedClock useClock{clock};
    const std::string path = folder.Save("GameRecord.dat");

    struct SavedBack {
        std::string file, saved;
    };
    // Each file loads, and saves back as its saved bytes: a whole file, so
    // no copy of it is kept aside.
    void ExpectSavedBack(std::initializer_list<SavedBack> cases)
    {
        for (const SavedBack& c : cases) {
            SCOPED_TRACE(&c - cases.begin());
            WriteBytes(path, c.file);
            CSaveRecord record;
            ASSERT_EQ(record.Load(), 1);
            ASSERT_EQ(record.Save(), 1);
            EXPECT_EQ(ReadBytes(path), c.saved);
            EXPECT_FALSE(ReadBytes(path + ".bad"));
        }
    }
};

}  // namespace

TEST_F(SaveRecord, FirstLoadWritesAnEmptyRecord)
{
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    EXPECT_EQ(ReadBytes(path), Current(0, 0, std::string(1152, '\0')));
    EXPECT_EQ(record.GetRecordCount(), 18u);
}

TEST_F(SaveRecord, EachSaveBanksOnlyTheTimeSinceTheLast)
{
    clock.Set(0xFFFFF000u);   // the millisecond counter wraps meanwhile
    WriteBytes(path, Current(100000, 0, Records(18)));
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    clock.Advance(30000);
    EXPECT_EQ(record.GetPlayTime(), 130000u);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(ReadBytes(path), Current(130000, 0, Records(18)));
    clock.Advance(2500);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(ReadBytes(path), Current(132500, 0, Records(18)));
    EXPECT_EQ(record.GetStoredPlayTime(), 132500u);
}

TEST_F(SaveRecord, CurrentVersionRoundTripsByteForByte)
{
    const std::string golden = Current(987654, 0x5C, Records(18));
    WriteBytes(path, golden);
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    EXPECT_EQ(record.GetFlagByte(), 0x5C);
    EXPECT_EQ(record.GetRecord(17)->word[15], Counter(17, 15));
    EXPECT_EQ(record.GetRecord(18), nullptr);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(ReadBytes(path), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameRecord.dat"});
}

TEST_F(SaveRecord, OlderAndOversizedFilesSaveBackAsTheCurrentVersion)
{
    // The intermediate version copies characters 8 and 9 to their new numbers 12 and 13.
    std::string renumbered = Records(18);
    renumbered.replace(12 * 64, 64, renumbered.substr(8 * 64, 64));
    renumbered.replace(13 * 64, 64, renumbered.substr(9 * 64, 64));
    ExpectSavedBack({
        {RecordFile(0x12001000, 10, 1, 1152, Records(18)), Current(10, 1, renumbered)},
        {RecordFile(0x10001000, 77, 0, 64, Records(8)), Current(77, 0, Records(8) + std::string(640, '\0'))},
        // Blocks larger than the array are read up to it.
        {RecordFile(0x13001000, 1, 0, 1156, Records(18) + "tail"), Current(1, 0, Records(18))},
        {RecordFile(0x10001000, 1, 0, 145, Records(18) + std::string(8, '\x55')), Current(1, 0, Records(18))},
    });
}

TEST_F(SaveRecord, NewerVersionIsRefusedAndLeftAlone)
{
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    record.GetRecord(3)->word[0] = 42;
    save_test::ExpectRefused(record, path, RecordFile(0x13001001, 5, 0, 1152, Records(18)));
    EXPECT_EQ(record.GetRecord(3)->word[0], 42u);
}

// Block sizes on both sides of the array's 1152 bytes (144 per record in
// the early format): a whole file either way, so no copy is kept.
TEST_F(SaveRecord, BlockSizesAtTheEdgeOfTheArray)
{
    std::string lastByteZero = Records(18);
    lastByteZero.back() = '\0';
    ExpectSavedBack({
        {RecordFile(0x13001000, 1, 0, 1151, Records(18)), Current(1, 0, lastByteZero)},   // one byte left over
        {RecordFile(0x13001000, 1, 0, 1152, Records(18)), Current(1, 0, Records(18))},
        {RecordFile(0x13001000, 1, 0, 1153, Records(18) + "x"), Current(1, 0, Records(18))},
        {RecordFile(0x10001000, 1, 0, 143, Records(18).substr(0, 8 * 143)),
         Current(1, 0, Records(18).substr(0, 8 * 143) + std::string(8, '\0'))},
        {RecordFile(0x10001000, 1, 0, 144, Records(18)), Current(1, 0, Records(18))},
    });
}

// Current(5, 0x5C, Records(18)) cut at `cut` saves back with the fields it
// holds and its record bytes over zero records; the rest keeps the defaults.
std::string ResavedAfterCut(size_t cut)
{
    const u32 playTime = cut >= 8 ? 5 : 0;
    const u8 flag = cut >= 9 ? 0x5C : 0;
    const size_t there = cut >= 14 ? cut - 14 : 0;   // past the block size
    return Current(playTime, flag, Records(18).substr(0, there) + std::string(1152 - there, '\0'));
}

TEST_F(SaveRecord, ATruncatedFileLoadsWhatItHoldsAndIsKeptAside)
{
    const std::string whole = Current(5, 0x5C, Records(18));
    for (size_t cut : save_test::CutPoints(whole.size(), 80, {14 + 64 * 8, 14 + 64 * 17}, 31)) {
        SCOPED_TRACE(cut);
        CSaveRecord record;
        record.SetDefaults();
        record.GetRecord(17)->word[15] = 9;   // not kept: the file is read over the defaults
        ASSERT_EQ(save_test::ResavedAfterPartialLoad(record, path, whole.substr(0, cut)), ResavedAfterCut(cut));
    }
}

// Sizes past the end of the file read what is there and never more than the array.
TEST_F(SaveRecord, OlderOrOversizedFilesThatEndEarlyAreMigratedAsFarAsTheyGo)
{
    // The intermediate version cut inside record 9: records 12 and 13 copy
    // records 8 and the part of 9 that is there.
    const std::string partial = Records(9) + Records(10).substr(9 * 64, 20) + std::string(44, '\0');
    std::string renumbered = partial + std::string(8 * 64, '\0');
    renumbered.replace(12 * 64, 128, partial.substr(8 * 64, 128));
    std::string wholeRenumbered = Records(18);
    wholeRenumbered.replace(12 * 64, 128, wholeRenumbered.substr(8 * 64, 128));
    const struct {
        std::string file, saved;
    } cases[] = {
        {RecordFile(0x12001000, 10, 1, 1152, Records(18)).substr(0, 14 + 9 * 64 + 20), Current(10, 1, renumbered)},
        {RecordFile(0x10001000, 7, 0, 64, Records(8)).substr(0, 14 + 100), Current(7, 0, Records(2).substr(0, 100) + std::string(1052, '\0'))},
        {RecordFile(0x13001000, 5, 0, 0xFFFFFFFFu, Records(18)), Current(5, 0, Records(18))},
        {RecordFile(0x12001000, 5, 0, 1153, Records(18)), Current(5, 0, wholeRenumbered)},
        {RecordFile(0x10001000, 5, 0, 0x40000000u, Records(18)), Current(5, 0, Records(18))},   // 8 x S is past 32 bits
        {RecordFile(0x10001000, 5, 0, 145, Records(18)), Current(5, 0, Records(18))},   // 8 x 145 > 1152 stored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        CSaveRecord record;
        EXPECT_EQ(save_test::ResavedAfterPartialLoad(record, path, c.file), c.saved);
    }
}

TEST_F(SaveRecord, AddBattleCountsIntoTheChosenHalf)
{
    CSaveRecord record;
    record.SetDefaults();
    const u32 stats[4] = {10, 20, 30, 40};
    ASSERT_EQ(record.AddBattle(5, false, 1, stats), 1);
    ASSERT_EQ(record.AddBattle(5, true, 3, stats), 1);
    ASSERT_EQ(record.AddBattle(5, true, 7, stats), 1);
    const u32 expected[16] = {1, 1, 0, 0, 30, 40, 10, 20, 2, 0, 0, 1, 60, 80, 20, 40};
    for (u32 w = 0; w < 16; ++w) EXPECT_EQ(record.GetRecord(5)->word[w], expected[w]) << w;
    EXPECT_EQ(record.AddBattle(18, false, 1, stats), 0);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace save_record_test

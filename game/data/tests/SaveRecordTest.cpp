// GameRecord.dat. The golden files are laid out here by hand from the
// record layout, in each of the three versions the reader knows.
#include "game/data/SaveConfig.h"
#include "game/data/SaveRecord.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <memory>

using save_test::Bytes;
using save_test::ReadBytes;
using save_test::UserFolder;
using save_test::WriteBytes;

namespace {

// The distinct counter value of (record r, word w).
u32 Counter(u32 r, u32 w) { return 0x01000000u * (r + 1) + w * 3 + 1; }

// n records of 16 distinct counters each.
std::string Records(u32 n)
{
    Bytes b;
    for (u32 r = 0; r < n; ++r)
        for (u32 w = 0; w < 16; ++w) b.U32(Counter(r, w));
    return b;
}

std::string RecordFile(u32 version, u32 playTime, u8 flag, u32 blockSize, const std::string& block)
{
    return Bytes().U32(version).U32(playTime).U8(flag).U8(18).U32(blockSize).Raw(block);
}

std::string RecordPath(const UserFolder& folder) { return folder.Save("GameRecord.dat"); }

}  // namespace

TEST(SaveRecord, FirstLoadWritesAnEmptyRecord)
{
    UserFolder folder;
    host::kernel::FakeClock clock(5000);
    host::kernel::ScopedClock useClock(clock);
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    const auto file = ReadBytes(RecordPath(folder));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 1166u);
    EXPECT_EQ(*file, RecordFile(0x13001000, 0, 0, 1152, std::string(1152, '\0')));
    EXPECT_EQ(record.GetRecordCount(), 18u);
    EXPECT_EQ(record.GetPlayTime(), 0u);
}

TEST(SaveRecord, EachSaveBanksOnlyTheTimeSinceTheLast)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0xFFFFF000u);   // the millisecond counter wraps meanwhile
    host::kernel::ScopedClock useClock(clock);
    WriteBytes(RecordPath(folder), RecordFile(0x13001000, 100000, 0, 1152, Records(18)));
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    clock.Advance(30000);
    EXPECT_EQ(record.GetPlayTime(), 130000u);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(save_test::ReadU32At(*ReadBytes(RecordPath(folder)), 4), 130000u);
    clock.Advance(2500);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(save_test::ReadU32At(*ReadBytes(RecordPath(folder)), 4), 132500u);
    EXPECT_EQ(record.GetStoredPlayTime(), 132500u);
}

TEST(SaveRecord, CurrentVersionRoundTripsByteForByte)
{
    UserFolder folder;
    host::kernel::FakeClock clock(1000);
    host::kernel::ScopedClock useClock(clock);
    const std::string golden = RecordFile(0x13001000, 987654, 0x5C, 1152, Records(18));
    WriteBytes(RecordPath(folder), golden);
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    EXPECT_EQ(record.GetFlagByte(), 0x5C);
    EXPECT_EQ(record.GetRecord(17)->word[15], Counter(17, 15));
    EXPECT_EQ(record.GetRecord(18), nullptr);
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(ReadBytes(RecordPath(folder)), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameRecord.dat"});
}

TEST(SaveRecord, IntermediateVersionCopiesTheRenumberedCharacters)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0);
    host::kernel::ScopedClock useClock(clock);
    WriteBytes(RecordPath(folder), RecordFile(0x12001000, 10, 1, 1152, Records(18)));
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    for (u32 w = 0; w < 16; ++w) {
        EXPECT_EQ(record.GetRecord(12)->word[w], Counter(8, w));
        EXPECT_EQ(record.GetRecord(13)->word[w], Counter(9, w));
        EXPECT_EQ(record.GetRecord(8)->word[w], Counter(8, w));
        EXPECT_EQ(record.GetRecord(9)->word[w], Counter(9, w));
        EXPECT_EQ(record.GetRecord(14)->word[w], Counter(14, w));
    }
    ASSERT_EQ(record.Save(), 1);
    std::string expected = Records(18);
    expected.replace(12 * 64, 64, expected.substr(8 * 64, 64));
    expected.replace(13 * 64, 64, expected.substr(9 * 64, 64));
    EXPECT_EQ(ReadBytes(RecordPath(folder)), RecordFile(0x13001000, 10, 1, 1152, expected));
}

TEST(SaveRecord, EarlyVersionStoredEightCharacters)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0);
    host::kernel::ScopedClock useClock(clock);
    WriteBytes(RecordPath(folder), RecordFile(0x10001000, 77, 0, 64, Records(8)));
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    EXPECT_EQ(record.GetRecord(7)->word[3], Counter(7, 3));
    for (u32 r = 8; r < 18; ++r)
        for (u32 w = 0; w < 16; ++w) EXPECT_EQ(record.GetRecord(r)->word[w], 0u) << r;
    ASSERT_EQ(record.Save(), 1);
    EXPECT_EQ(ReadBytes(RecordPath(folder)),
              RecordFile(0x13001000, 77, 0, 1152, Records(8) + std::string(10 * 64, '\0')));
}

TEST(SaveRecord, BlocksLargerThanTheArrayAreReadUpToIt)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0);
    host::kernel::ScopedClock useClock(clock);
    // Current version: a 1156-byte block; early version: 8 blocks of 145 bytes.
    const std::string files[] = {
        RecordFile(0x13001000, 1, 0, 1156, Records(18) + "tail"),
        RecordFile(0x10001000, 1, 0, 145, Records(18) + std::string(8, '\x55')),
    };
    for (const std::string& file : files) {
        WriteBytes(RecordPath(folder), file);
        CSaveRecord record;
        ASSERT_EQ(record.Load(), 1);
        EXPECT_EQ(record.GetRecord(17)->word[15], Counter(17, 15));
        ASSERT_EQ(record.Save(), 1);
        EXPECT_EQ(ReadBytes(RecordPath(folder)), RecordFile(0x13001000, 1, 0, 1152, Records(18)));
    }
}

TEST(SaveRecord, NewerVersionIsRefusedAndLeftAlone)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0);
    host::kernel::ScopedClock useClock(clock);
    CSaveRecord record;
    ASSERT_EQ(record.Load(), 1);
    record.GetRecord(3)->word[0] = 42;
    const std::string newer = RecordFile(0x13001001, 5, 0, 1152, Records(18));
    WriteBytes(RecordPath(folder), newer);
    EXPECT_EQ(record.Load(), 0);
    EXPECT_EQ(record.GetRecord(3)->word[0], 42u);
    EXPECT_EQ(record.Save(), 0);
    EXPECT_EQ(ReadBytes(RecordPath(folder)), newer);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameRecord.dat"});
}

TEST(SaveRecord, DamagedFilesAreRefusedAndKeptAside)
{
    UserFolder folder;
    host::kernel::FakeClock clock(0);
    host::kernel::ScopedClock useClock(clock);
    std::vector<std::string> files;
    const std::string whole = RecordFile(0x13001000, 5, 0, 1152, Records(18));
    for (size_t cut = 0; cut < whole.size(); ++cut) files.push_back(whole.substr(0, cut));
    files.push_back(RecordFile(0x13001000, 5, 0, 0xFFFFFFFFu, Records(18)));
    files.push_back(RecordFile(0x12001000, 5, 0, 1153, Records(18)));
    files.push_back(RecordFile(0x10001000, 5, 0, 0x40000000u, Records(18)));   // 8 S wraps 32 bits
    files.push_back(RecordFile(0x10001000, 5, 0, 145, Records(18)));   // 8 x 145 > 1152 in the file

    const std::string path = RecordPath(folder);
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(path, files[i]);
        CSaveRecord record;
        record.SetDefaults();
        record.GetRecord(0)->word[1] = 9;
        ASSERT_EQ(record.Load(), 0);
        EXPECT_EQ(record.GetRecord(0)->word[1], 9u);
        EXPECT_EQ(ReadBytes(path + ".bad"), files[i]);
        EXPECT_FALSE(ReadBytes(path));
        EXPECT_EQ(record.Save(), 0);
        EXPECT_FALSE(ReadBytes(path));
    }
}

TEST(SaveRecord, SaveReportsAFailedWrite)
{
    UserFolder folder;
    ASSERT_EQ(GetUserDataDirectory("ORV"), folder.Saves());
    ASSERT_EQ(::mkdir(RecordPath(folder).c_str(), 0777), 0);
    CSaveRecord record;
    EXPECT_EQ(record.Load(), 0);   // something that is not a file is left alone
    CSaveRecord fresh;
    fresh.SetDefaults();
    EXPECT_EQ(fresh.Save(), 0);
    EXPECT_TRUE(save_test::IsFolder(RecordPath(folder)));
}

TEST(SaveRecord, AddBattleCountsIntoTheChosenHalf)
{
    CSaveRecord record;
    record.SetDefaults();
    const u32 stats[4] = {10, 20, 30, 40};
    ASSERT_EQ(record.AddBattle(5, false, 1, stats), 1);
    ASSERT_EQ(record.AddBattle(5, true, 3, stats), 1);
    ASSERT_EQ(record.AddBattle(5, true, 7, stats), 1);
    const PlayRecordEntry& e = *record.GetRecord(5);
    const u32 expected[16] = {1, 1, 0, 0, 30, 40, 10, 20, 2, 0, 0, 1, 60, 80, 20, 40};
    for (u32 w = 0; w < 16; ++w) EXPECT_EQ(e.word[w], expected[w]) << w;
    EXPECT_EQ(record.AddBattle(18, false, 1, stats), 0);
}

TEST(SaveRecord, ACopyOwnsItsRecords)
{
    CSaveRecord record;
    record.SetDefaults();
    std::unique_ptr<CSaveRecord> copy(record.Clone());
    ASSERT_TRUE(copy);
    EXPECT_STREQ(copy->GetClassName(), "CSaveRecord");
    copy->GetRecord(0)->word[0] = 3;
    EXPECT_EQ(record.GetRecord(0)->word[0], 0u);
    EXPECT_EQ(copy->Release(), 1);
    EXPECT_EQ(copy->GetRecordCount(), 0u);
}

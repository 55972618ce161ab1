// GameData.dat. The golden files are laid out here by hand from the
// record layout; their checksums come from a CRC written here from the
// byte rule, not from the engine's.
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/tests/SaveTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

using save_test::Bytes;
using save_test::ReadBytes;
using save_test::UserFolder;
using save_test::WriteBytes;

namespace {

// The engine's CRC-32: reflected polynomial 0xEDB88320, register
// 0xFFFFFFFF, no final inversion, each byte fed as the absolute value of a
// signed char.
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
    Bytes b;
    for (u32 v : t) b.U32(v);
    return b;
}

struct DataFile {
    u32 version = 0x13002000;
    u32 count = 18;
    u32 recordSize = 96;
    std::string records;
    Table tables[5] = {};
    u32 word = 0;

    std::string Build() const
    {
        Bytes b;
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

// n records of 24 distinct words, each record stored in recordSize bytes
// (cut, or padded with 0xEE).
std::string Records(u32 n, u32 recordSize = 96)
{
    std::string out;
    for (u32 r = 0; r < n; ++r) {
        Bytes b;
        for (u32 w = 0; w < 24; ++w) b.U32(ItemValue(r, w));
        std::string record = b;
        record.resize(recordSize, '\xEE');
        out += record;
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

std::string DataPath(const UserFolder& folder) { return folder.Save("GameData.dat"); }

void ExpectTables(const CSaveData& data, const DataFile& f)
{
    for (u32 t = 0; t < 5; ++t)
        for (i32 i = 0; i < 256; ++i) ASSERT_EQ(data.GetFlag(t, i), f.tables[t][i]) << t << " " << i;
}

}  // namespace

TEST(SaveData, FirstLoadWritesTheDefaults)
{
    UserFolder folder;
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    const auto file = ReadBytes(DataPath(folder));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 6881u);
    EXPECT_EQ(*file, Defaults().Build());
    EXPECT_EQ(data.GetRecordCount(), 18u);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);
    EXPECT_EQ(data.HasUnshownAdventureRewardFlags(), 1);   // reward 0 shows as new
    EXPECT_EQ(data.GetUnlockFlag(44), 1u);
    EXPECT_EQ(data.GetUnlockFlag(45), 0u);
}

TEST(SaveData, HandWrittenFileLoadsAndRoundTripsByteForByte)
{
    UserFolder folder;
    const DataFile custom = Custom();
    const std::string golden = custom.Build();
    WriteBytes(DataPath(folder), golden);
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ExpectTables(data, custom);
    EXPECT_EQ(data.GetAdventureWord(), 1u);
    EXPECT_EQ(data.IsAdventureCompleteShown(), 1);
    const GameDataItem* item = data.GetSkillSet(17, 3, 1);   // words 21..23 of record 17
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value[0], ItemValue(17, 21));
    EXPECT_EQ(item->value[2], ItemValue(17, 23));
    EXPECT_EQ(data.GetSkillSet(0, 1, 0)->value[0], ItemValue(0, 6));   // offset 1 x 24
    ASSERT_EQ(data.Save(), 1);
    EXPECT_EQ(ReadBytes(DataPath(folder)), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameData.dat"});
}

TEST(SaveData, EditsRoundTrip)
{
    UserFolder folder;
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ASSERT_EQ(data.SetUnlockFlag(200, 1), 1);
    ASSERT_EQ(data.SetAdventureRewardFlag(3, 1), 1);
    ASSERT_EQ(data.SetAdventureClearFlag(255, 1), 1);
    ASSERT_EQ(data.SetSkillSet(4, 2, 1, GameDataItem{{7, 8, 9}}), 1);
    data.SetAdventureCompleteShown();
    ASSERT_EQ(data.Save(), 1);

    CSaveData again;
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(again.GetUnlockFlag(200), 1u);
    EXPECT_EQ(again.GetShownUnlockFlag(200), 0u);
    EXPECT_EQ(again.GetAdventureRewardFlag(3), 1u);
    EXPECT_EQ(again.GetAdventureClearFlag(255), 1u);
    EXPECT_EQ(again.GetSkillSet(4, 2, 1)->value[2], 9u);
    EXPECT_EQ(again.GetAdventureWord(), 1u);
}

TEST(SaveData, AChangedTableByteGivesTheDefaultsAndKeepsACopy)
{
    UserFolder folder;
    DataFile custom = Custom();
    std::string file = custom.Build();
    const size_t table3 = 9 + 18 * 96 + 3 * 1024;
    file[table3 + 17] ^= 0x01;
    WriteBytes(DataPath(folder), file);
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ExpectTables(data, Defaults());
    EXPECT_EQ(data.GetSkillSet(17, 3, 1)->value[0], 0u);   // records reset too
    EXPECT_EQ(data.GetAdventureWord(), 1u);                // the word keeps the value read
    // The file is not rewritten by the load; a copy waits beside it.
    EXPECT_EQ(ReadBytes(DataPath(folder)), file);
    EXPECT_EQ(ReadBytes(DataPath(folder) + ".bad"), file);

    ASSERT_EQ(data.Save(), 1);
    DataFile expected = Defaults();
    expected.word = 1;
    EXPECT_EQ(ReadBytes(DataPath(folder)), expected.Build());
    EXPECT_EQ(ReadBytes(DataPath(folder) + ".bad"), file);
}

TEST(SaveData, RecordCountsAboveAndBelowEighteen)
{
    UserFolder folder;
    DataFile twenty = Custom();
    twenty.count = 20;
    twenty.records = Records(20);
    WriteBytes(DataPath(folder), twenty.Build());
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    EXPECT_EQ(data.GetRecordCount(), 20u);
    EXPECT_EQ(data.GetSkillSet(19, 0, 0)->value[1], ItemValue(19, 1));
    EXPECT_EQ(data.GetSkillSet(20, 0, 0), nullptr);
    ASSERT_EQ(data.Save(), 1);
    EXPECT_EQ(ReadBytes(DataPath(folder)), twenty.Build());

    DataFile ten = Custom();
    ten.count = 10;
    ten.records = Records(10);
    WriteBytes(DataPath(folder), ten.Build());
    ASSERT_EQ(data.Load(), 1);
    EXPECT_EQ(data.GetRecordCount(), 18u);
    EXPECT_EQ(data.GetSkillSet(9, 3, 1)->value[2], ItemValue(9, 23));
    EXPECT_EQ(data.GetSkillSet(10, 0, 0)->value[0], 0u);
    ASSERT_EQ(data.Save(), 1);
    DataFile expected = ten;
    expected.count = 18;
    expected.records = Records(10) + std::string(8 * 96, '\0');
    EXPECT_EQ(ReadBytes(DataPath(folder)), expected.Build());
}

TEST(SaveData, StoredRecordSizesOtherThan96)
{
    UserFolder folder;
    DataFile wide = Custom();
    wide.recordSize = 100;
    wide.records = Records(18, 100);
    WriteBytes(DataPath(folder), wide.Build());
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    EXPECT_EQ(data.GetSkillSet(17, 3, 1)->value[2], ItemValue(17, 23));
    ASSERT_EQ(data.Save(), 1);
    EXPECT_EQ(ReadBytes(DataPath(folder)), Custom().Build());

    DataFile narrow = Custom();
    narrow.recordSize = 48;   // items (0..1, k) only
    narrow.records = Records(18, 48);
    WriteBytes(DataPath(folder), narrow.Build());
    ASSERT_EQ(data.Load(), 1);
    EXPECT_EQ(data.GetSkillSet(5, 1, 1)->value[2], ItemValue(5, 11));
    EXPECT_EQ(data.GetSkillSet(5, 2, 0)->value[0], 0u);
}

TEST(SaveData, OlderVersionGivesTheDefaultsAndKeepsACopy)
{
    UserFolder folder;
    DataFile old = Custom();
    old.version = 0x13001000;
    const std::string file = old.Build();
    WriteBytes(DataPath(folder), file);
    CSaveData data;
    data.SetAdventureWord(5);
    ASSERT_EQ(data.Load(), 1);
    ExpectTables(data, Defaults());
    EXPECT_EQ(data.GetAdventureWord(), 5u);
    EXPECT_EQ(ReadBytes(DataPath(folder)), file);
    EXPECT_EQ(ReadBytes(DataPath(folder) + ".old"), file);
    EXPECT_EQ(data.Save(), 1);
}

TEST(SaveData, NewerVersionIsRefusedAndLeftAlone)
{
    UserFolder folder;
    CSaveData data;
    ASSERT_EQ(data.Load(), 1);
    ASSERT_EQ(data.SetUnlockFlag(100, 1), 1);
    DataFile newer = Custom();
    newer.version = 0x13002001;
    WriteBytes(DataPath(folder), newer.Build());
    EXPECT_EQ(data.Load(), 0);
    EXPECT_EQ(data.GetUnlockFlag(100), 1u);
    EXPECT_EQ(data.Save(), 0);
    EXPECT_EQ(ReadBytes(DataPath(folder)), newer.Build());
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameData.dat"});
}

TEST(SaveData, DamagedFilesAreRefusedAndKeptAside)
{
    UserFolder folder;
    std::vector<std::string> files;
    const std::string whole = Custom().Build();
    for (size_t cut = 0; cut < whole.size(); cut += (cut < 64 || cut + 64 > whole.size()) ? 1 : 97)
        files.push_back(whole.substr(0, cut));
    DataFile huge = Custom();
    huge.count = 255;
    huge.recordSize = 0xFFFFFFFFu;
    files.push_back(huge.Build());
    DataFile many = Custom();
    many.count = 200;   // 200 records claimed, 18 stored
    files.push_back(many.Build());

    const std::string path = DataPath(folder);
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(path, files[i]);
        CSaveData data;
        data.SetDefaults();
        ASSERT_EQ(data.SetUnlockFlag(99, 3), 1);
        ASSERT_EQ(data.Load(), 0);
        EXPECT_EQ(data.GetUnlockFlag(99), 3u);
        EXPECT_EQ(data.GetRecordCount(), 18u);
        EXPECT_EQ(ReadBytes(path + ".bad"), files[i]);
        EXPECT_FALSE(ReadBytes(path));
        EXPECT_EQ(data.Save(), 0);
        EXPECT_FALSE(ReadBytes(path));
    }
}

TEST(SaveData, SaveReportsAFailedWrite)
{
    UserFolder folder;
    ASSERT_EQ(GetUserDataDirectory("ORV"), folder.Saves());
    ASSERT_EQ(::mkdir(DataPath(folder).c_str(), 0777), 0);
    CSaveData data;
    EXPECT_EQ(data.Load(), 0);
    CSaveData fresh;
    fresh.SetDefaults();
    EXPECT_EQ(fresh.Save(), 0);
    EXPECT_TRUE(save_test::IsFolder(DataPath(folder)));
}

TEST(SaveData, FlagsOutsideTheTablesAreRefused)
{
    CSaveData data;
    data.SetDefaults();
    EXPECT_EQ(data.SetUnlockFlag(256, 1), 0);
    EXPECT_EQ(data.SetAdventureRewardFlag(-1, 1), 0);
    EXPECT_EQ(data.SetAdventureClearFlag(1000, 1), 0);
    EXPECT_EQ(data.GetUnlockFlag(256), 0u);
    EXPECT_EQ(data.GetFlag(5, 0), 0u);
    EXPECT_EQ(data.SetFlag(5, 0, 1), 0);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);   // nothing changed

    ASSERT_EQ(data.SetUnlockFlag(255, 1), 1);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 1);
    data.MarkUnlockFlagsShown();
    EXPECT_EQ(data.GetShownUnlockFlag(255), 1u);
    EXPECT_EQ(data.HasUnshownUnlockFlags(), 0);
    data.MarkAdventureRewardFlagsShown();
    EXPECT_EQ(data.GetShownAdventureRewardFlag(0), 1u);
    EXPECT_EQ(data.HasUnshownAdventureRewardFlags(), 0);
}

TEST(SaveData, SkillSetsOutsideTheRecordsAreRefused)
{
    CSaveData data;
    EXPECT_EQ(data.GetSkillSet(0, 0, 0), nullptr);   // no records before the defaults
    data.SetDefaults();
    const GameDataItem item{{1, 2, 3}};
    EXPECT_EQ(data.SetSkillSet(18, 0, 0, item), 0);
    EXPECT_EQ(data.SetSkillSet(-1, 0, 0, item), 0);
    EXPECT_EQ(data.SetSkillSet(0, 4, 0, item), 0);
    EXPECT_EQ(data.SetSkillSet(0, 0, 2, item), 0);
    EXPECT_EQ(data.GetSkillSet(0, -1, 0), nullptr);
    ASSERT_EQ(data.SetSkillSet(17, 3, 1, item), 1);
    EXPECT_EQ(data.GetSkillSet(17, 3, 1)->value[1], 2u);
    EXPECT_EQ(data.GetSkillSet(17, 3, 0)->value[1], 0u);
}

TEST(SaveData, ACopyOwnsItsRecords)
{
    CSaveData data;
    data.SetDefaults();
    std::unique_ptr<CSaveData> copy(data.Clone());
    ASSERT_TRUE(copy);
    EXPECT_STREQ(copy->GetClassName(), "CSaveData");
    ASSERT_EQ(copy->SetSkillSet(0, 0, 0, GameDataItem{{4, 5, 6}}), 1);
    EXPECT_EQ(data.GetSkillSet(0, 0, 0)->value[0], 0u);
    EXPECT_EQ(copy->Release(), 1);
    EXPECT_EQ(copy->GetRecordCount(), 0u);
}

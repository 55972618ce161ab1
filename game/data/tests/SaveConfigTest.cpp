// GameConfig.dat golden files, laid out by hand section by section, and the
// per-user folder all three save files share.
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/FakeFileWatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace save_config_test {

namespace ORV_TEST_FILE_ID {

using save_test::Bytes;
using save_test::ReadBytes;
using save_test::UserFolder;
using save_test::WriteBytes;

namespace {

constexpr u32 kCurrent = 0x13001000;

std::string Ip(const char* a, const char* b, const char* c, const char* d)
{
    return Bytes().Text(a, 4).Text(b, 4).Text(c, 4).Text(d, 4);
}

IpAddressEntry Entry(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry e{};
    std::memcpy(&e, Ip(a, b, c, d).data(), sizeof e);
    return e;
}

// Each section's bytes; ConfigFile prepends the sizes (the lists have none).
struct Sections {
    std::string graphics, game, network, allow, deny, replay, bgm, keys, radio;
};

std::string ConfigFile(u32 version, const Sections& s)
{
    return Bytes().U32(version).Sized(s.graphics).Sized(s.game).Sized(s.network).Raw(s.allow).Raw(s.deny)
        .Sized(s.replay).Sized(s.bgm).Sized(s.keys).Sized(s.radio);
}

Sections Defaults()
{
    Sections s;
    s.graphics = Bytes().U8(2).Zeros(3).U32(0).U32(1).U8(0).Zeros(3).U32(1);
    // shake, vibration, three volumes, voice, lock-on; radar, camera, guard
    // correction, difficulty; screenshot, its size, reserved
    s.game = Bytes().U32(1).U32(1).Zeros(12).U32(1).U32(0).U8(0).U8(1).U8(1).U8(1).U32(0).Zeros(4);
    // port, reserved, UPnP, key response; IDs, connect list, reserved, list
    // counts; BGM in network play
    s.network = Bytes().U16(18000).Zeros(6).U8(1).Zeros(33 + 33 + 24 * 16 + 1 + 8).U32(1);
    s.replay = Bytes().U32(1).Zeros(30 * 4);
    s.bgm = std::string(5200, '\0');
    Bytes keys;
    for (u32 code : {0x50, 0x48, 0x4B, 0x4D, 0xC8, 0xD0, 0xCB, 0xCD, 0x11, 0x4F, 0x51, 0x47,
                     0x49, 0x4C, 0x2C, 0x2F, 0x2D, 0x2E, 0x10, 0x1F, 0x1E, 0x20, 0x1C, 0x39})
        keys.U32(code);
    for (u32 p = 0; p < 4; ++p) {
        for (u32 i = 0; i < 24; ++i) keys.U32(i);
        keys.U8(p).Zeros(3);
    }
    s.keys = keys;
    s.radio = std::string(492, '\0');
    return s;
}

// Every field away from its default, reserved bytes included.
Sections Custom()
{
    Sections s;
    s.graphics = Bytes().U8(8).U8(1).U8(2).U8(3).U32(1).U32(0).U8(3).U8(4).U8(5).U8(6).U32(4);
    s.game = Bytes().U32(0).U32(0).I32(-1500).I32(-3000).I32(-2999).U32(0).U32(3).U8(1).U8(0).U8(0).U8(3)
                 .U32(1).U8(11).U8(7).U8(8).U8(9);
    s.network = Bytes().U16(27015).U8(0xAA).U8(0xBB).U32(1).U8(4).Text("Talve", 33).Text("Derona", 33)
                    .Raw(Ip("192", "168", "000", "001") + Ip("010", "000", "*", "001")).Zeros(22 * 16)
                    .U8(0x5A).U32(2).U32(1).U32(0);
    s.allow = Ip("010", "000", "*", "001") + Ip("127", "000", "000", "001");
    s.deny = Ip("*", "*", "*", "*");
    Bytes replay, bgm, keys, radio;
    replay.U32(0);
    for (u32 i = 0; i < 30; ++i) replay.U32(i % 2);
    for (int row = 0; row < 10; ++row)
        bgm.Text("Music\\track" + std::to_string(row) + ".ogg", 260).Text("曲" + std::to_string(row) + ".txt", 260);
    for (u32 i = 0; i < 24; ++i) keys.U32(i + 1);
    for (u32 p = 0; p < 4; ++p) {
        for (u32 i = 0; i < 24; ++i) keys.U32(63 - i);
        keys.U8(3 - p).U8(p).U8(p).U8(p);
    }
    for (u32 k = 0; k < 12; ++k) radio.U8(k % 2).Text("message " + std::to_string(k), 40);
    s.replay = replay, s.bgm = bgm, s.keys = keys, s.radio = radio;
    return s;
}

// Fields of Custom() late in their sections, where a misplaced read shows.
void ExpectCustom(CSaveConfig& c)
{
    EXPECT_EQ(c.GetGraphicsSettings()->traceQuality, 4u);
    EXPECT_EQ(c.GetGameSettings()->screenshotSize, 11);
    const ConfigNetwork& n = *c.GetNetworkSettings();
    EXPECT_STREQ(n.connect[1].octet[2], "*");
    EXPECT_EQ(n.playBgm, 0u);
    ASSERT_EQ(c.GetAllowCount(), 2u);
    ASSERT_EQ(c.GetDenyCount(), 1u);
    EXPECT_STREQ(c.GetAllowIp(1)->octet[0], "127");
    EXPECT_STREQ(c.GetDenyIp(0)->octet[3], "*");
    EXPECT_EQ(c.GetReplaySection()->locked[29], 1u);
    EXPECT_STREQ(c.GetBgmSection()->rows[3].tensionPath, "曲3.txt");
    EXPECT_EQ(c.GetKeyConfigSection()->pads[3].button[23], 40u);
    EXPECT_EQ(c.GetKeyConfigSection()->pads[3].controller, 0);
    EXPECT_STREQ(c.GetRadioChatSection()->entries[11].message, "message 11");
}

class SaveConfig : public ::testing::Test {
protected:
    UserFolder folder;
    const std::string path = folder.Save("GameConfig.dat");
};

}  // namespace

TEST(UserDataDirectory, IsTheParentOfTempOrBesideTheDataHome)
{
    UserFolder folder;
    EXPECT_EQ(GetUserDataDirectory("ORV"), folder.Root() + "Vantorel/ORV/");
    EXPECT_TRUE(save_test::IsFolder(folder.Root() + "Vantorel/ORV"));
    setenv("TEMP", (folder.Root() + "Temp//").c_str(), 1);
    EXPECT_EQ(GetUserDataDirectory("Replay"), folder.Root() + "Vantorel/Replay/");
    // The trail byte of 表 (0x95 0x5C in the game's code page; the
    // environment holds UTF-8) is no separator.
    setenv("TEMP", (folder.Root() + "\xE8\xA1\xA8Temp/").c_str(), 1);
    EXPECT_EQ(GetUserDataDirectory("Replay"), folder.Root() + "Vantorel/Replay/");

    std::optional<std::string> oldData;
    if (const char* data = std::getenv("XDG_DATA_HOME")) oldData = data;
    unsetenv("TEMP");
    setenv("XDG_DATA_HOME", (folder.Root() + "share").c_str(), 1);
    EXPECT_EQ(GetUserDataDirectory("ORV"), folder.Root() + "share/Vantorel/ORV/");
    EXPECT_TRUE(save_test::IsFolder(folder.Root() + "share/Vantorel/ORV"));
    if (oldData) setenv("XDG_DATA_HOME", oldData->c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
}

TEST(UserDataDirectory, FillsABufferOnlyWhenItFits)
{
    UserFolder folder;
    const std::string expected = folder.Root() + "Vantorel/ORV/";
    char buffer[512];
    ASSERT_EQ(GetUserDataDirectory(buffer, "ORV", sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer), expected);
    std::string small(expected.size(), 'x');
    EXPECT_EQ(GetUserDataDirectory(small.data(), "ORV", u32(small.size())), 0);
    EXPECT_EQ(small, std::string(expected.size(), '\0'));
    EXPECT_EQ(GetUserDataDirectory(nullptr, "ORV", 512), 0);
    EXPECT_EQ(GetUserDataDirectory(buffer, nullptr, 512), 0);
}

TEST(SaveFiles, AreNeitherReadNorReplacedWhereTheyCannotBe)
{
    UserFolder folder;
    ASSERT_EQ(GetUserDataDirectory("ORV"), folder.Saves());
    // `fresh` never loaded: only the failed write stops its Save.
    const auto check = [&](auto loaded, auto fresh, const char* name) {
        ASSERT_EQ(::mkdir(folder.Save(name).c_str(), 0777), 0);
        EXPECT_EQ(loaded.Load(), 0) << name;
        EXPECT_EQ(fresh.Save(), 0) << name;
        EXPECT_TRUE(save_test::IsFolder(folder.Save(name))) << name;
    };
    CSaveConfig config;
    CSaveData data;
    CSaveRecord record;
    config.SetDefaultGraphics();
    data.SetDefaults();
    record.SetDefaults();
    check(CSaveConfig(), config, "GameConfig.dat");
    check(CSaveData(), data, "GameData.dat");
    check(CSaveRecord(), record, "GameRecord.dat");

    // No per-user folder at all: nothing loads or saves.
    WriteBytes(folder.Root() + "Elsewhere/Vantorel", "a file in the way");
    ::mkdir((folder.Root() + "Elsewhere/Temp").c_str(), 0777);
    setenv("TEMP", (folder.Root() + "Elsewhere/Temp/").c_str(), 1);
    EXPECT_EQ(GetUserDataDirectory("ORV"), "");
    CSaveConfig none;
    EXPECT_EQ(none.Load(), 0);
    EXPECT_EQ(none.Save(), 0);
}

// Every store writes through a synced temporary file; a failure at any step
// keeps the old file whole and leaves nothing behind, and does not stop the
// next save.
TEST(SaveFiles, AFailedStepOfASaveKeepsTheOldFile)
{
    using host::kernel::FileStep;
    UserFolder folder;
    CSaveConfig config;
    CSaveData data;
    CSaveRecord record;
    ASSERT_EQ(config.Load() + data.Load() + record.Load(), 3);
    const struct {
        const char* name;
        std::function<i32()> save;
    } stores[] = {{"GameConfig.dat", [&] { return config.Save(); }},
                  {"GameData.dat", [&] { return data.Save(); }},
                  {"GameRecord.dat", [&] { return record.Save(); }}};
    const std::vector<FileStep> steps = {FileStep::CreateTemp, FileStep::WriteTemp, FileStep::SyncTemp,
                                         FileStep::CloseTemp, FileStep::Rename};
    config.GetGraphicsSettings()->screenSize = 9;
    data.SetUnlockFlag(200, 1);
    record.SetFlagByte(7);
    for (const auto& store : stores) {
        const std::string path = folder.Save(store.name);
        const std::optional<std::string> old = ReadBytes(path);
        for (FileStep step : steps) {
            SCOPED_TRACE(testing::Message() << store.name << " " << int(step));
            host::kernel::FakeFileWatch watch;
            watch.Fail(step);
            EXPECT_EQ(store.save(), 0);
            EXPECT_EQ(ReadBytes(path), old);
        }
        host::kernel::FakeFileWatch watch;
        ASSERT_EQ(store.save(), 1);
        EXPECT_NE(ReadBytes(path), old);
        const std::vector<FileStep> synced = {FileStep::CreateTemp, FileStep::WriteTemp, FileStep::SyncTemp,
                                              FileStep::CloseTemp, FileStep::Rename, FileStep::SyncFolder};
        EXPECT_EQ(watch.Steps(store.name, folder.Saves()), synced) << store.name;
    }
    EXPECT_EQ(save_test::ListFolder(folder.Saves()),
              (std::set<std::string>{"GameConfig.dat", "GameData.dat", "GameRecord.dat"}));
}

// A file that cannot be read whole is refused, not replaced; a copy of a
// truncated file that cannot be made whole blocks saving.
TEST(SaveFiles, FailedReadsAndCopiesNeverLeadToAReplacedFile)
{
    using host::kernel::FileStep;
    UserFolder folder;
    const std::string path = folder.Save("GameConfig.dat");
    const std::string whole = ConfigFile(kCurrent, Custom());
    WriteBytes(path, whole);
    {
        host::kernel::FakeFileWatch watch;
        watch.Limit(FileStep::Read, whole.size() - 1);
        CSaveConfig config;
        EXPECT_EQ(config.Load(), 0);
        EXPECT_EQ(config.Save(), 0);
    }
    EXPECT_EQ(ReadBytes(path), whole);

    const std::string cut = whole.substr(0, 500);
    for (FileStep step : {FileStep::CreateTemp, FileStep::WriteTemp, FileStep::SyncTemp, FileStep::Rename}) {
        SCOPED_TRACE(int(step));
        WriteBytes(path, cut);
        host::kernel::FakeFileWatch watch;
        watch.Fail(step);   // the first write of the load is the copy
        CSaveConfig config;
        EXPECT_EQ(config.Load(), 1);
        EXPECT_EQ(config.Save(), 0);
        EXPECT_EQ(ReadBytes(path), cut);
        EXPECT_FALSE(ReadBytes(path + ".bad"));
    }
}

TEST_F(SaveConfig, FirstLoadWritesTheDefaults)
{
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(ReadBytes(path), ConfigFile(kCurrent, Defaults()));
}

TEST_F(SaveConfig, HandWrittenFileLoadsEveryFieldAndSavesByteForByte)
{
    const std::string golden = ConfigFile(kCurrent, Custom());
    WriteBytes(path, golden);
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    ExpectCustom(config);
    std::remove(path.c_str());
    ASSERT_EQ(config.Save(), 1);
    EXPECT_EQ(ReadBytes(path), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameConfig.dat"});
}

TEST_F(SaveConfig, AddedEntriesAreSavedWithTheRealListLengths)
{
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    ASSERT_EQ(config.AddConnectIp(Entry("001", "002", "003", "004")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("1", "1", "1", "1")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("010", "*", "000", "001")), 1);
    ASSERT_EQ(config.AddDenyIp(Entry("*", "*", "*", "*")), 1);
    config.GetNetworkSettings()->allowCount = 99;   // stale mirrors of the lists
    config.GetNetworkSettings()->denyCount = 7;
    ASSERT_EQ(config.Save(), 1);
    Sections s = Defaults();
    s.network.replace(75, 16, Ip("001", "002", "003", "004")).replace(460, 8, Bytes().U32(2).U32(1).str());
    s.allow = Ip("1", "1", "1", "1") + Ip("010", "*", "000", "001");
    s.deny = Ip("*", "*", "*", "*");
    EXPECT_EQ(ReadBytes(path), ConfigFile(kCurrent, s));
}

TEST_F(SaveConfig, SectionsAreReadThroughTheirStoredSizes)
{
    // A short game section keeps the default screenshot size; later sections
    // stay in step.
    Sections s = Custom();
    s.game.resize(36);
    WriteBytes(path, ConfigFile(kCurrent, s));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.GetGameSettings()->screenshot, 1u);
    EXPECT_EQ(config.GetGameSettings()->screenshotSize, 0);
    EXPECT_EQ(config.GetKeyConfigSection()->keyboard[0], 1u);

    // Sections larger than their records are read up to the record.
    s = Custom();
    s.graphics += "XXXX";
    s.game += std::string(8, '\x7F');
    s.radio += "tail";
    WriteBytes(path, ConfigFile(kCurrent, s));
    ASSERT_EQ(config.Load(), 1);
    ASSERT_EQ(config.Save(), 1);
    EXPECT_EQ(ReadBytes(path), ConfigFile(kCurrent, Custom()));
}

TEST_F(SaveConfig, OlderVersionsSaveBackAsTheCurrentOne)
{
    const Sections custom = Custom(), defaults = Defaults();
    const auto resaved = [&](u32 version, const Sections& file) {
        WriteBytes(path, ConfigFile(version, file));
        CSaveConfig config;
        EXPECT_EQ(config.Load(), 1);
        EXPECT_EQ(config.Save(), 1);
        return ReadBytes(path);
    };
    // The first version keeps only graphics, game, BGM and keys.
    Sections s = custom;
    s.network = defaults.network, s.replay = defaults.replay, s.radio = defaults.radio, s.allow = s.deny = "";
    EXPECT_EQ(resaved(0x10001000, custom), ConfigFile(kCurrent, s));
    // A later one had a shorter network section: no reserved byte, list
    // counts, lists or BGM flag.
    s = custom;
    s.network.resize(459);
    s.allow = s.deny = "";
    const auto saved = resaved(0x12001000, s);
    s.network += defaults.network.substr(459);
    EXPECT_EQ(saved, ConfigFile(kCurrent, s));
}

TEST_F(SaveConfig, NewerVersionIsRefusedAndLeftAlone)
{
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    config.GetGraphicsSettings()->screenSize = 5;
    ASSERT_EQ(config.AddAllowIp(Entry("1", "2", "3", "4")), 1);
    save_test::ExpectRefused(config, path, ConfigFile(0x13001001, Custom()));
    EXPECT_EQ(config.GetGraphicsSettings()->screenSize, 5);
    EXPECT_EQ(config.GetAllowCount(), 1u);
    // A later good load lets Save write again.
    WriteBytes(path, ConfigFile(kCurrent, Custom()));
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.Save(), 1);
}

// What Custom() saves back as after being cut at byte `cut`: each section
// takes the bytes of it that the file still holds over its defaults (none
// when the cut falls in its size), each list the whole entries it holds.
std::string ResavedAfterCut(size_t cut, std::vector<size_t>* boundaries = nullptr)
{
    const Sections custom = Custom(), defaults = Defaults();
    size_t at = 4;   // past the version
    const auto held = [&](size_t start, size_t size) {
        if (boundaries) boundaries->insert(boundaries->end(), {at, start, start + size});
        at = start + size;
        return cut <= start ? 0 : std::min(cut - start, size);
    };
    const auto section = [&](std::string Sections::*member) {
        const std::string& mine = custom.*member;
        const size_t there = held(at + 4, mine.size());
        return mine.substr(0, there) + (defaults.*member).substr(there);
    };
    const auto list = [&](std::string Sections::*member) {
        return (custom.*member).substr(0, held(at, (custom.*member).size()) / 16 * 16);
    };
    Sections s;
    s.graphics = section(&Sections::graphics);
    s.game = section(&Sections::game);
    s.network = section(&Sections::network);
    s.allow = list(&Sections::allow);
    s.deny = list(&Sections::deny);
    s.replay = section(&Sections::replay);
    s.bgm = section(&Sections::bgm);
    s.keys = section(&Sections::keys);
    s.radio = section(&Sections::radio);
    // The counts saved are the lengths of the lists read.
    s.network.replace(460, 8, Bytes().U32(u32(s.allow.size() / 16)).U32(u32(s.deny.size() / 16)).str());
    return ConfigFile(kCurrent, s);
}

TEST_F(SaveConfig, AFileCutInsideASectionTakesItsFirstFieldsOverTheDefaults)
{
    const Sections custom = Custom();
    // Cut after the game section's radar type (29 of its 40 bytes).
    const std::string file = ConfigFile(kCurrent, custom).substr(0, 4 + 24 + 4 + 29);
    Sections s = Defaults();
    s.graphics = custom.graphics;
    s.game = Bytes().U32(0).U32(0).I32(-1500).I32(-3000).I32(-2999).U32(0).U32(3).U8(1)   // from the file
                 .U8(1).U8(1).U8(1).U32(0).U8(0).Zeros(3);   // camera side and on: defaults
    CSaveConfig config;
    EXPECT_EQ(save_test::ResavedAfterPartialLoad(config, path, file), ConfigFile(kCurrent, s));
    EXPECT_EQ(ResavedAfterCut(file.size()), ConfigFile(kCurrent, s));
}

TEST_F(SaveConfig, ATruncatedFileLoadsWhatItHoldsAndIsKeptAside)
{
    const std::string whole = ConfigFile(kCurrent, Custom());
    std::vector<size_t> boundaries;
    ResavedAfterCut(0, &boundaries);
    ASSERT_EQ(boundaries.back(), whole.size());
    for (size_t cut : save_test::CutPoints(whole.size(), 700, boundaries, 89)) {
        SCOPED_TRACE(cut);
        CSaveConfig config;
        config.GetGraphicsSettings()->screenSize = 7;   // not kept: the file is read over the defaults
        ASSERT_EQ(save_test::ResavedAfterPartialLoad(config, path, whole.substr(0, cut)), ResavedAfterCut(cut));
    }
}

// Counts run past the end of the file: the lists take the whole entries that
// are there and never allocate more.
TEST_F(SaveConfig, ListCountsAreTakenUpToTheEndOfTheFile)
{
    Sections s = Custom();
    const auto listsThenEnd = [&](u32 allow, u32 deny) {
        Sections cut = s;
        cut.network.replace(460, 8, Bytes().U32(allow).U32(deny).str());
        const std::string file = ConfigFile(kCurrent, cut);
        return file.substr(0, 4 + 24 + 44 + 476 + 48);   // the 3 entries written, nothing after
    };
    const auto expected = [&](const std::string& allow, const std::string& deny) {
        Sections e = Defaults();
        e.graphics = s.graphics, e.game = s.game, e.network = s.network, e.allow = allow, e.deny = deny;
        e.network.replace(460, 8, Bytes().U32(u32(allow.size() / 16)).U32(u32(deny.size() / 16)).str());
        return ConfigFile(kCurrent, e);
    };
    const std::string all = s.allow + s.deny;
    const struct {
        u32 allow, deny;
        std::string savedAllow, savedDeny;
    } cases[] = {
        {2, 1, s.allow, s.deny},                           // exactly to the end
        {2, 2, s.allow, s.deny},                           // one past it
        {3, 0, all, ""},                                   // the allow list takes the deny entry
        {4, 0, all, ""},
        {0xFFFFFFFFu, 0xFFFFFFFFu, all, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.allow << " " << c.deny);
        CSaveConfig config;
        EXPECT_EQ(save_test::ResavedAfterPartialLoad(config, path, listsThenEnd(c.allow, c.deny)),
                  expected(c.savedAllow, c.savedDeny));
    }
    // A whole file whose counts fit exactly is no truncated one.
    std::remove((path + ".bad").c_str());
    WriteBytes(path, ConfigFile(kCurrent, s));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.GetAllowCount() + config.GetDenyCount(), 3u);
    EXPECT_FALSE(ReadBytes(path + ".bad"));
}

TEST_F(SaveConfig, ATruncatedFileThatCannotBeCopiedIsNeverReplaced)
{
    const std::string file = ConfigFile(kCurrent, Custom()).substr(0, 100);
    WriteBytes(path, file);
    ASSERT_EQ(::mkdir((path + ".bad").c_str(), 0777), 0);
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);   // the program runs on what it read
    EXPECT_EQ(config.GetGraphicsSettings()->traceQuality, 4u);
    EXPECT_EQ(config.Save(), 0);
    EXPECT_EQ(ReadBytes(path), file);
}

TEST(SaveConfigValues, ConnectListFillsTheFirstEmptyEntry)
{
    CSaveConfig config;
    config.SetDefaultNetwork();
    const ConfigNetwork& n = *config.GetNetworkSettings();
    // Entries that read as zero count as empty and are filled over.
    ASSERT_EQ(config.AddConnectIp(Entry("*", "*", "*", "*")), 1);
    ASSERT_EQ(config.AddConnectIp(Entry("000", "abc", "0", "000")), 1);
    EXPECT_STREQ(n.connect[0].octet[1], "abc");
    ASSERT_EQ(config.AddConnectIp(Entry("005", "0", "0", "0")), 1);
    EXPECT_STREQ(n.connect[0].octet[0], "005");
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(n.connect[1]));
    ASSERT_EQ(config.RemoveConnectIp(0), 1);

    for (int i = 0; i < 24; ++i)
        ASSERT_EQ(config.AddConnectIp(Entry(std::to_string(i + 1).c_str(), "0", "0", "1")), 1) << i;
    EXPECT_EQ(config.AddConnectIp(Entry("9", "9", "9", "9")), 0);
    ASSERT_EQ(config.RemoveConnectIp(0), 1);
    EXPECT_STREQ(n.connect[0].octet[0], "2");
    EXPECT_STREQ(n.connect[22].octet[0], "24");
    EXPECT_EQ(std::memcmp(&n.connect[23], std::string(16, '\0').data(), 16), 0);
    EXPECT_EQ(config.RemoveConnectIp(-1), 0);
    EXPECT_EQ(config.RemoveConnectIp(24), 0);
}

TEST(SaveConfigValues, AllowAndDenyListsKeepTheirOrder)
{
    CSaveConfig config;
    config.SetDefaultNetwork();
    for (const char* first : {"1", "2", "3"}) ASSERT_EQ(config.AddAllowIp(Entry(first, "0", "0", "0")), 1);
    EXPECT_EQ(config.GetNetworkSettings()->allowCount, 3u);
    ASSERT_EQ(config.RemoveAllowIp(1), 1);
    ASSERT_EQ(config.GetAllowCount(), 2u);
    EXPECT_STREQ(config.GetAllowIp(0)->octet[0], "1");
    EXPECT_STREQ(config.GetAllowIp(1)->octet[0], "3");
    EXPECT_EQ(config.GetAllowIp(2), nullptr);
    EXPECT_EQ(config.GetAllowIp(-1), nullptr);
    EXPECT_EQ(config.RemoveAllowIp(2), 0);

    ASSERT_EQ(config.AddDenyIp(Entry("4", "0", "0", "0")), 1);
    ASSERT_EQ(config.RemoveDenyIp(0), 1);
    EXPECT_EQ(config.GetDenyIp(0), nullptr);
    EXPECT_EQ(config.RemoveDenyIp(0) + config.GetNetworkSettings()->denyCount, 0u);
    config.SetDefaultNetwork();
    EXPECT_EQ(config.GetAllowCount(), 0u);
}

TEST(SaveConfigValues, VolumesAtTheBottomReadAsSilence)
{
    CSaveConfig config;
    config.GetGameSettings()->bgmVolume = -3000;
    config.GetGameSettings()->seVolume = -2999;
    config.GetGameSettings()->voiceVolume = -5000;
    EXPECT_EQ(config.GetBgmVolume(), -10000);
    EXPECT_EQ(config.GetSeVolume(), -2999);
    EXPECT_EQ(config.GetVoiceVolume(), -10000);
}

TEST(SaveConfigValues, SetDefaultPadResetsOnePad)
{
    CSaveConfig config;
    config.GetKeyConfigSection()->pads[2].button[0] = 40;
    EXPECT_EQ(config.SetDefaultPad(2), 1);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[2].button[0], 0u);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[2].controller, 2);
    EXPECT_EQ(config.SetDefaultPad(4), 0);
}

TEST(SaveFiles, ReleaseEmptiesOnlyItsOwnStore)
{
    CSaveConfig config;
    CSaveData data;
    CSaveRecord record;
    ASSERT_EQ(config.AddAllowIp(Entry("1", "2", "3", "4")), 1);
    data.SetDefaults();
    record.SetDefaults();
    std::unique_ptr<CSaveConfig> copy(config.Clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->Release() + data.Release() + record.Release(), 3);
    EXPECT_EQ(copy->GetAllowCount() + copy->GetNetworkSettings()->allowCount, 0u);
    EXPECT_EQ(data.GetRecordCount() + record.GetRecordCount(), 0u);
    EXPECT_EQ(config.GetAllowCount(), 1u);
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace save_config_test

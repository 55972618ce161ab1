// GameConfig.dat. The golden files are laid out here by hand from the
// record layout, section by section.
#include "game/data/SaveConfig.h"
#include "game/data/tests/SaveTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

using save_test::Bytes;
using save_test::ReadBytes;
using save_test::UserFolder;
using save_test::WriteBytes;

namespace {

constexpr u32 kDefaultKeyboard[24] = {0x50, 0x48, 0x4B, 0x4D, 0xC8, 0xD0, 0xCB, 0xCD, 0x11, 0x4F, 0x51, 0x47,
                                      0x49, 0x4C, 0x2C, 0x2F, 0x2D, 0x2E, 0x10, 0x1F, 0x1E, 0x20, 0x1C, 0x39};

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


// The file's sections and lists, each as its bytes (sizes are prepended).
struct Sections {
    std::string graphics, game, network, allow, deny, replay, bgm, keys, radio;
};

std::string ConfigFile(u32 version, const Sections& s)
{
    return Bytes()
        .U32(version)
        .Sized(s.graphics)
        .Sized(s.game)
        .Sized(s.network)
        .Raw(s.allow)
        .Raw(s.deny)
        .Sized(s.replay)
        .Sized(s.bgm)
        .Sized(s.keys)
        .Sized(s.radio);
}

std::string DefaultNetwork()
{
    return Bytes()
        .U16(18000).Zeros(2)   // port, reserved
        .U32(0)                // UPnP
        .U8(1)                 // key response
        .Zeros(33).Zeros(33)   // lobby ID, connect ID
        .Zeros(24 * 16)        // connect list
        .Zeros(1)              // reserved
        .U32(0).U32(0)         // allow and deny counts
        .U32(1);               // BGM in network play
}

std::string DefaultKeys()
{
    Bytes b;
    for (u32 code : kDefaultKeyboard) b.U32(code);
    for (u32 p = 0; p < 4; ++p) {
        for (u32 i = 0; i < 24; ++i) b.U32(i);
        b.U8(p).Zeros(3);
    }
    return b;
}

Sections Defaults()
{
    Sections s;
    s.graphics = Bytes().U8(2).Zeros(3).U32(0).U32(1).U8(0).Zeros(3).U32(1);
    s.game = Bytes()
                 .U32(1).U32(1)             // shake, vibration
                 .I32(0).I32(0).I32(0)      // volumes
                 .U32(1).U32(0)             // voice, lock-on type
                 .U8(0).U8(1).U8(1).U8(1)   // radar, camera, guard correction, difficulty
                 .U32(0).U8(0).Zeros(3);    // screenshot, its size, reserved
    s.network = DefaultNetwork();
    Bytes replay;
    replay.U32(1);
    for (int i = 0; i < 30; ++i) replay.U32(0);
    s.replay = replay;
    s.bgm = std::string(5200, '\0');
    s.keys = DefaultKeys();
    s.radio = std::string(492, '\0');
    return s;
}

// Every field away from its default, reserved bytes included.
Sections Custom()
{
    Sections s;
    s.graphics = Bytes().U8(8).U8(1).U8(2).U8(3).U32(1).U32(0).U8(3).U8(4).U8(5).U8(6).U32(4);
    s.game = Bytes()
                 .U32(0).U32(0)
                 .I32(-1500).I32(-3000).I32(-2999)
                 .U32(0).U32(3)
                 .U8(1).U8(0).U8(0).U8(3)
                 .U32(1).U8(11).U8(7).U8(8).U8(9);
    Bytes connect;
    connect.Raw(Ip("192", "168", "000", "001")).Raw(Ip("010", "000", "*", "001"));
    connect.Zeros(22 * 16);
    s.network = Bytes()
                    .U16(27015).U8(0xAA).U8(0xBB)
                    .U32(1)
                    .U8(4)
                    .Text("Reimu", 33)
                    .Text("Marisa", 33)
                    .Raw(connect)
                    .U8(0x5A)
                    .U32(2).U32(1)
                    .U32(0);
    s.allow = Ip("010", "000", "*", "001") + Ip("127", "000", "000", "001");
    s.deny = Ip("*", "*", "*", "*");
    Bytes replay;
    replay.U32(0);
    for (u32 i = 0; i < 30; ++i) replay.U32(i % 2);
    s.replay = replay;
    Bytes bgm;
    for (int row = 0; row < 10; ++row)
        bgm.Text("Music\\track" + std::to_string(row) + ".ogg", 260).Text("曲" + std::to_string(row) + ".txt", 260);
    s.bgm = bgm;
    Bytes keys;
    for (u32 i = 0; i < 24; ++i) keys.U32(i + 1);
    for (u32 p = 0; p < 4; ++p) {
        for (u32 i = 0; i < 24; ++i) keys.U32(63 - i);
        keys.U8(3 - p).U8(p).U8(p).U8(p);
    }
    s.keys = keys;
    Bytes radio;
    for (u32 k = 0; k < 12; ++k) radio.U8(k % 2).Text("message " + std::to_string(k), 40);
    s.radio = radio;
    return s;
}

std::string ConfigPath(const UserFolder& folder) { return folder.Save("GameConfig.dat"); }

// The checks of Custom() on a loaded record.
void ExpectCustom(CSaveConfig& c)
{
    const ConfigGraphics& g = *c.GetGraphicsSettings();
    EXPECT_EQ(g.screenSize, 8);
    EXPECT_EQ(g.reserved0[2], 3);
    EXPECT_EQ(g.fullScreen, 1u);
    EXPECT_EQ(g.movieDisplay, 0u);
    EXPECT_EQ(g.hdrLevel, 3);
    EXPECT_EQ(g.traceQuality, 4u);
    const ConfigGame& game = *c.GetGameSettings();
    EXPECT_EQ(game.screenShake, 0u);
    EXPECT_EQ(game.bgmVolume, -1500);
    EXPECT_EQ(game.lockOnType, 3u);
    EXPECT_EQ(game.radarType, 1);
    EXPECT_EQ(game.cameraSide, 0);
    EXPECT_EQ(game.arcadeDifficulty, 3);
    EXPECT_EQ(game.screenshot, 1u);
    EXPECT_EQ(game.screenshotSize, 11);
    const ConfigNetwork& n = *c.GetNetworkSettings();
    EXPECT_EQ(n.port, 27015);
    EXPECT_EQ(n.useUpnp, 1u);
    EXPECT_EQ(n.keyResponse, 4);
    EXPECT_STREQ(n.lobbyId, "Reimu");
    EXPECT_STREQ(n.connectId, "Marisa");
    EXPECT_STREQ(n.connect[1].octet[2], "*");
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(n.connect[2]));
    EXPECT_EQ(n.allowCount, 2u);
    EXPECT_EQ(n.denyCount, 1u);
    EXPECT_EQ(n.playBgm, 0u);
    ASSERT_EQ(c.GetAllowCount(), 2u);
    ASSERT_EQ(c.GetDenyCount(), 1u);
    EXPECT_STREQ(c.GetAllowIp(1)->octet[0], "127");
    EXPECT_STREQ(c.GetDenyIp(0)->octet[3], "*");
    EXPECT_EQ(c.GetReplaySection()->saveReplays, 0u);
    EXPECT_EQ(c.GetReplaySection()->locked[29], 1u);
    EXPECT_STREQ(c.GetBgmSection()->rows[9].bgmPath, "Music\\track9.ogg");
    EXPECT_STREQ(c.GetBgmSection()->rows[3].tensionPath, "曲3.txt");
    EXPECT_EQ(c.GetKeyConfigSection()->keyboard[23], 24u);
    EXPECT_EQ(c.GetKeyConfigSection()->pads[1].button[0], 63u);
    EXPECT_EQ(c.GetKeyConfigSection()->pads[1].controller, 2);
    EXPECT_EQ(c.GetRadioChatSection()->entries[11].destination, 1);
    EXPECT_STREQ(c.GetRadioChatSection()->entries[11].message, "message 11");
}

}  // namespace

// ---------------------------------------------------------------- folder

TEST(UserDataDirectory, IsTheParentOfTempWithTheGameFolders)
{
    UserFolder folder;
    EXPECT_EQ(GetUserDataDirectory("ORV"), folder.Root() + "Vantorel/ORV/");
    EXPECT_TRUE(save_test::IsFolder(folder.Root() + "Vantorel/ORV"));

    setenv("TEMP", (folder.Root() + "Temp//").c_str(), 1);
    EXPECT_EQ(GetUserDataDirectory("Replay"), folder.Root() + "Vantorel/Replay/");
}

TEST(UserDataDirectory, WithoutTempLandsBesideTheDataHomeTempFolder)
{
    UserFolder folder;
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

TEST(UserDataDirectory, FailsWhenTheFolderCannotBeMade)
{
    UserFolder folder;
    WriteBytes(folder.Root() + "Vantorel", "a file in the way");
    EXPECT_EQ(GetUserDataDirectory("ORV"), "");
    CSaveConfig config;
    EXPECT_EQ(config.Load(), 0);
    EXPECT_EQ(config.Save(), 0);
}

// ---------------------------------------------------------------- load and save

TEST(SaveConfig, FirstLoadWritesTheDefaults)
{
    UserFolder folder;
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    const auto file = ReadBytes(ConfigPath(folder));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 6876u);
    EXPECT_EQ(*file, ConfigFile(0x13001000, Defaults()));

    EXPECT_EQ(config.GetGraphicsSettings()->screenSize, 2);
    EXPECT_EQ(config.GetNetworkSettings()->port, 18000);
    EXPECT_EQ(config.GetKeyConfigSection()->keyboard[22], 0x1Cu);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[3].controller, 3);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[2].button[17], 17u);
    EXPECT_EQ(config.GetAllowCount(), 0u);
}

TEST(SaveConfig, LoadsEveryFieldOfAHandWrittenFile)
{
    UserFolder folder;
    WriteBytes(ConfigPath(folder), ConfigFile(0x13001000, Custom()));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    ExpectCustom(config);
}

TEST(SaveConfig, SaveRewritesALoadedFileByteForByte)
{
    UserFolder folder;
    const std::string golden = ConfigFile(0x13001000, Custom());
    WriteBytes(ConfigPath(folder), golden);
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    std::remove(ConfigPath(folder).c_str());
    ASSERT_EQ(config.Save(), 1);
    EXPECT_EQ(ReadBytes(ConfigPath(folder)), golden);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameConfig.dat"});
}

TEST(SaveConfig, EditsAndListsRoundTrip)
{
    UserFolder folder;
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    config.GetGameSettings()->seVolume = -1200;
    std::strcpy(config.GetNetworkSettings()->lobbyId, "Sakuya");
    config.GetReplaySection()->locked[4] = 1;
    std::strcpy(config.GetBgmSection()->rows[2].bgmPath, "C:\\Music\\boss.ogg");
    config.GetKeyConfigSection()->pads[0].controller = 2;
    config.GetRadioChatSection()->entries[0].destination = 1;
    ASSERT_EQ(config.AddConnectIp(Entry("001", "002", "003", "004")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("010", "*", "000", "001")), 1);
    ASSERT_EQ(config.AddDenyIp(Entry("*", "*", "*", "*")), 1);
    ASSERT_EQ(config.AddDenyIp(Entry("255", "255", "255", "255")), 1);
    ASSERT_EQ(config.Save(), 1);
    const auto saved = ReadBytes(ConfigPath(folder));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 6876u + 3 * 16);

    CSaveConfig again;
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(std::memcmp(again.GetGameSettings(), config.GetGameSettings(), sizeof(ConfigGame)), 0);
    EXPECT_EQ(std::memcmp(again.GetNetworkSettings(), config.GetNetworkSettings(), sizeof(ConfigNetwork)), 0);
    EXPECT_EQ(std::memcmp(again.GetReplaySection(), config.GetReplaySection(), sizeof(ConfigReplay)), 0);
    EXPECT_EQ(std::memcmp(again.GetBgmSection(), config.GetBgmSection(), sizeof(ConfigBgm)), 0);
    EXPECT_EQ(std::memcmp(again.GetKeyConfigSection(), config.GetKeyConfigSection(), sizeof(ConfigKeyAssign)), 0);
    EXPECT_EQ(std::memcmp(again.GetRadioChatSection(), config.GetRadioChatSection(), sizeof(ConfigRadioChat)), 0);
    ASSERT_EQ(again.GetDenyCount(), 2u);
    EXPECT_STREQ(again.GetDenyIp(1)->octet[0], "255");
    EXPECT_STREQ(again.GetAllowIp(0)->octet[1], "*");
    ASSERT_EQ(again.Save(), 1);
    EXPECT_EQ(ReadBytes(ConfigPath(folder)), saved);
}

TEST(SaveConfig, ShortGameSectionKeepsTheDefaultScreenshotSize)
{
    UserFolder folder;
    Sections s = Custom();
    s.game.resize(36);
    WriteBytes(ConfigPath(folder), ConfigFile(0x13001000, s));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.GetGameSettings()->screenshot, 1u);
    EXPECT_EQ(config.GetGameSettings()->screenshotSize, 0);
    EXPECT_EQ(config.GetGameSettings()->reserved[0], 0);
    EXPECT_EQ(config.GetKeyConfigSection()->keyboard[0], 1u);   // later sections still in step
}

TEST(SaveConfig, SectionStoredLargerThanItsRecordIsReadUpToTheRecord)
{
    UserFolder folder;
    Sections s = Custom();
    s.graphics += "XXXX";
    s.game += std::string(8, '\x7F');
    s.radio += "tail";
    WriteBytes(ConfigPath(folder), ConfigFile(0x13001000, s));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    ExpectCustom(config);
    ASSERT_EQ(config.Save(), 1);
    EXPECT_EQ(ReadBytes(ConfigPath(folder)), ConfigFile(0x13001000, Custom()));
}

TEST(SaveConfig, FirstVersionKeepsOnlyGraphicsGameBgmAndKeys)
{
    UserFolder folder;
    WriteBytes(ConfigPath(folder), ConfigFile(0x10001000, Custom()));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.GetAllowCount(), 0u);
    EXPECT_EQ(config.GetDenyCount(), 0u);
    ASSERT_EQ(config.Save(), 1);

    const Sections custom = Custom(), defaults = Defaults();
    Sections expected = custom;
    expected.network = defaults.network;
    expected.allow = expected.deny = "";
    expected.replay = defaults.replay;
    expected.radio = defaults.radio;
    EXPECT_EQ(ReadBytes(ConfigPath(folder)), ConfigFile(0x13001000, expected));
}

TEST(SaveConfig, OlderVersionLoadsThroughItsStoredSizes)
{
    UserFolder folder;
    Sections s = Custom();
    s.network.resize(459);   // an older network section: no list counts, no BGM flag
    s.allow = s.deny = "";
    WriteBytes(ConfigPath(folder), ConfigFile(0x12001000, s));
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.GetNetworkSettings()->port, 27015);
    EXPECT_EQ(config.GetNetworkSettings()->playBgm, 1u);
    EXPECT_EQ(config.GetAllowCount(), 0u);
    EXPECT_EQ(config.GetReplaySection()->locked[1], 1u);
}

TEST(SaveConfig, NewerVersionIsRefusedAndLeftAlone)
{
    UserFolder folder;
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    config.GetGraphicsSettings()->screenSize = 5;
    ASSERT_EQ(config.AddAllowIp(Entry("1", "2", "3", "4")), 1);

    const std::string newer = ConfigFile(0x13001001, Custom());
    WriteBytes(ConfigPath(folder), newer);
    EXPECT_EQ(config.Load(), 0);
    EXPECT_EQ(config.GetGraphicsSettings()->screenSize, 5);
    EXPECT_EQ(config.GetAllowCount(), 1u);
    // The refused file is never overwritten, not even by a later save.
    EXPECT_EQ(config.Save(), 0);
    EXPECT_EQ(ReadBytes(ConfigPath(folder)), newer);
    EXPECT_EQ(save_test::ListFolder(folder.Saves()), std::set<std::string>{"GameConfig.dat"});

    WriteBytes(ConfigPath(folder), ConfigFile(0x13001000, Custom()));
    ASSERT_EQ(config.Load(), 1);
    EXPECT_EQ(config.Save(), 1);
}

TEST(SaveConfig, EveryTruncationIsRefusedAndKeptAside)
{
    UserFolder folder;
    const std::string whole = ConfigFile(0x13001000, Custom());
    const std::string path = ConfigPath(folder);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        SCOPED_TRACE(cut);
        const std::string truncated = whole.substr(0, cut);
        WriteBytes(path, truncated);
        CSaveConfig config;
        config.GetGraphicsSettings()->screenSize = 7;
        ASSERT_EQ(config.Load(), 0);
        EXPECT_EQ(config.GetGraphicsSettings()->screenSize, 7);
        EXPECT_EQ(config.GetAllowCount(), 0u);
        EXPECT_EQ(ReadBytes(path + ".bad"), truncated);
        EXPECT_FALSE(ReadBytes(path));
        EXPECT_EQ(config.Save(), 0);
        EXPECT_FALSE(ReadBytes(path));
    }
    // The next start begins from the defaults; the damaged file stays aside.
    CSaveConfig config;
    EXPECT_EQ(config.Load(), 1);
    EXPECT_EQ(ReadBytes(path), ConfigFile(0x13001000, Defaults()));
    EXPECT_TRUE(ReadBytes(path + ".bad"));
}

TEST(SaveConfig, SizesAndCountsPastTheEndOfTheFileAreRefused)
{
    UserFolder folder;
    const Sections custom = Custom();
    std::vector<std::string> files;

    std::string graphicsTooLong = ConfigFile(0x13001000, custom);
    graphicsTooLong.replace(4, 4, Bytes().U32(0xFFFFFFFFu).str());
    files.push_back(graphicsTooLong);

    std::string radioTooLong = ConfigFile(0x13001000, custom);
    radioTooLong.replace(radioTooLong.size() - 492 - 4, 4, Bytes().U32(493).str());
    files.push_back(radioTooLong);

    const size_t afterNetwork = 4 + 24 + 44 + 476;
    for (u32 count : {0xFFFFFFFFu, 0x10000000u, u32((ConfigFile(0x13001000, custom).size() - afterNetwork) / 16 + 1)}) {
        Sections s = custom;
        s.network.replace(460, 4, Bytes().U32(count).str());   // allow count
        files.push_back(ConfigFile(0x13001000, s));
        s = custom;
        s.network.replace(464, 4, Bytes().U32(count).str());   // deny count
        files.push_back(ConfigFile(0x13001000, s));
    }

    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        WriteBytes(ConfigPath(folder), files[i]);
        CSaveConfig config;
        config.GetGameSettings()->bgmVolume = -700;
        EXPECT_EQ(config.Load(), 0);
        EXPECT_EQ(config.GetGameSettings()->bgmVolume, -700);
        EXPECT_EQ(config.GetAllowCount() + config.GetDenyCount(), 0u);
        EXPECT_EQ(ReadBytes(ConfigPath(folder) + ".bad"), files[i]);
        EXPECT_FALSE(ReadBytes(ConfigPath(folder)));
    }
}

TEST(SaveConfig, AFileThatCannotBeReadIsNotReplaced)
{
    UserFolder folder;
    ASSERT_EQ(GetUserDataDirectory("ORV"), folder.Saves());
    ASSERT_EQ(::mkdir(ConfigPath(folder).c_str(), 0777), 0);
    CSaveConfig config;
    EXPECT_EQ(config.Load(), 0);
    EXPECT_EQ(config.Save(), 0);
    EXPECT_TRUE(save_test::IsFolder(ConfigPath(folder)));
}

TEST(SaveConfig, SaveReportsAFailedWrite)
{
    UserFolder folder;
    ASSERT_EQ(GetUserDataDirectory("ORV"), folder.Saves());
    ASSERT_EQ(::mkdir(ConfigPath(folder).c_str(), 0777), 0);
    CSaveConfig config;
    config.SetDefaultGraphics();
    EXPECT_EQ(config.Save(), 0);
    EXPECT_TRUE(save_test::IsFolder(ConfigPath(folder)));
}

TEST(SaveConfig, SaveWritesTheRealListLengths)
{
    UserFolder folder;
    CSaveConfig config;
    ASSERT_EQ(config.Load(), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("1", "1", "1", "1")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("2", "2", "2", "2")), 1);
    config.GetNetworkSettings()->allowCount = 99;
    config.GetNetworkSettings()->denyCount = 7;
    ASSERT_EQ(config.Save(), 1);
    const auto file = ReadBytes(ConfigPath(folder));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 6876u + 32);
    EXPECT_EQ(save_test::ReadU32At(*file, 76 + 460), 2u);
    EXPECT_EQ(save_test::ReadU32At(*file, 76 + 464), 0u);
    CSaveConfig again;
    ASSERT_EQ(again.Load(), 1);
    EXPECT_EQ(again.GetAllowCount(), 2u);
}

// ---------------------------------------------------------------- lists and values

TEST(SaveConfig, ConnectListFillsTheFirstEmptyEntry)
{
    CSaveConfig config;
    config.SetDefaultNetwork();
    for (int i = 0; i < 24; ++i) {
        const std::string octet = std::to_string(i + 1);
        ASSERT_EQ(config.AddConnectIp(Entry(octet.c_str(), "0", "0", "1")), 1) << i;
    }
    EXPECT_EQ(config.AddConnectIp(Entry("9", "9", "9", "9")), 0);

    ASSERT_EQ(config.RemoveConnectIp(0), 1);
    const ConfigNetwork& n = *config.GetNetworkSettings();
    EXPECT_STREQ(n.connect[0].octet[0], "2");
    EXPECT_STREQ(n.connect[22].octet[0], "24");
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(n.connect[23]));
    EXPECT_EQ(std::memcmp(&n.connect[23], std::string(16, '\0').data(), 16), 0);
    EXPECT_EQ(config.RemoveConnectIp(-1), 0);
    EXPECT_EQ(config.RemoveConnectIp(24), 0);
}

TEST(SaveConfig, ConnectEntriesThatReadAsZeroCountAsEmpty)
{
    CSaveConfig config;
    config.SetDefaultNetwork();
    ASSERT_EQ(config.AddConnectIp(Entry("*", "*", "*", "*")), 1);
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(config.GetNetworkSettings()->connect[0]));
    ASSERT_EQ(config.AddConnectIp(Entry("000", "abc", "0", "000")), 1);
    EXPECT_STREQ(config.GetNetworkSettings()->connect[0].octet[1], "abc");
    ASSERT_EQ(config.AddConnectIp(Entry("005", "0", "0", "0")), 1);
    EXPECT_STREQ(config.GetNetworkSettings()->connect[0].octet[0], "005");
    EXPECT_FALSE(CSaveConfig::IsEmptyIp(config.GetNetworkSettings()->connect[0]));
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(config.GetNetworkSettings()->connect[1]));
}

TEST(SaveConfig, AllowAndDenyListsKeepTheirOrder)
{
    CSaveConfig config;
    config.SetDefaultNetwork();
    ASSERT_EQ(config.AddAllowIp(Entry("1", "0", "0", "0")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("2", "0", "0", "0")), 1);
    ASSERT_EQ(config.AddAllowIp(Entry("3", "0", "0", "0")), 1);
    EXPECT_EQ(config.GetNetworkSettings()->allowCount, 3u);
    ASSERT_EQ(config.RemoveAllowIp(1), 1);
    ASSERT_EQ(config.GetAllowCount(), 2u);
    EXPECT_STREQ(config.GetAllowIp(0)->octet[0], "1");
    EXPECT_STREQ(config.GetAllowIp(1)->octet[0], "3");
    EXPECT_EQ(config.GetAllowIp(2), nullptr);
    EXPECT_EQ(config.GetAllowIp(-1), nullptr);
    EXPECT_EQ(config.RemoveAllowIp(2), 0);
    EXPECT_EQ(config.RemoveAllowIp(-1), 0);

    ASSERT_EQ(config.AddDenyIp(Entry("4", "0", "0", "0")), 1);
    ASSERT_EQ(config.RemoveDenyIp(0), 1);
    EXPECT_EQ(config.GetDenyCount(), 0u);
    EXPECT_EQ(config.GetNetworkSettings()->denyCount, 0u);
    EXPECT_EQ(config.GetDenyIp(0), nullptr);
    EXPECT_EQ(config.RemoveDenyIp(0), 0);

    config.SetDefaultNetwork();
    EXPECT_EQ(config.GetAllowCount(), 0u);
}

TEST(SaveConfig, VolumesAtTheBottomReadAsSilence)
{
    CSaveConfig config;
    config.GetGameSettings()->bgmVolume = -3000;
    config.GetGameSettings()->seVolume = -2999;
    config.GetGameSettings()->voiceVolume = -5000;
    EXPECT_EQ(config.GetBgmVolume(), -10000);
    EXPECT_EQ(config.GetSeVolume(), -2999);
    EXPECT_EQ(config.GetVoiceVolume(), -10000);
}

TEST(SaveConfig, DefaultPadsAndKeyboard)
{
    CSaveConfig config;
    config.SetDefaultKeyAssign();
    for (u32 i = 0; i < 24; ++i) EXPECT_EQ(config.GetKeyConfigSection()->keyboard[i], kDefaultKeyboard[i]) << i;
    config.GetKeyConfigSection()->pads[2].button[0] = 40;
    EXPECT_EQ(config.SetDefaultPad(2), 1);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[2].button[0], 0u);
    EXPECT_EQ(config.GetKeyConfigSection()->pads[2].controller, 2);
    EXPECT_EQ(config.SetDefaultPad(4), 0);
}

TEST(SaveConfig, ACopyOwnsItsLists)
{
    CSaveConfig config;
    ASSERT_EQ(config.AddAllowIp(Entry("1", "2", "3", "4")), 1);
    std::unique_ptr<CSaveConfig> copy(config.Clone());
    ASSERT_TRUE(copy);
    EXPECT_STREQ(copy->GetClassName(), "CSaveConfig");
    std::strcpy(copy->GetAllowIp(0)->octet[0], "9");
    ASSERT_EQ(copy->AddAllowIp(Entry("5", "6", "7", "8")), 1);
    EXPECT_STREQ(config.GetAllowIp(0)->octet[0], "1");
    EXPECT_EQ(config.GetAllowCount(), 1u);
    EXPECT_EQ(copy->Release(), 1);
    EXPECT_EQ(copy->GetAllowCount(), 0u);
    EXPECT_EQ(copy->GetNetworkSettings()->allowCount, 0u);
}

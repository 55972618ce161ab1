#include "game/scenes/GameData.h"

#include "engine/core/Random.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/Movie.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "engine/scene/ResourceController.h"
#include "game/data/SaveConfig.h"
#include "game/data/TensionFile.h"
#include "game/scenes/tests/GameDataSet.h"
#include "host/render/FakeRender.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace ORV_TEST_FILE_ID {

namespace {

namespace kernel = host::kernel;
using game_data_test::Faults;

class GameDataTest : public sound_test::SoundFixture {
protected:
    void TearDown() override
    {
        kernel::SetCurrentDirectory(cwd_);
        SoundFixture::TearDown();
    }

    // The set under this test's folder, with data over it reading config_.
    std::unique_ptr<CGameData> Write(const Faults& faults = {})
    {
        const std::string error = game_data_test::WriteGameData(Root(), faults);
        EXPECT_EQ(error, "");
        auto data = std::make_unique<CGameData>(DataFolders{Root() + "/one", Root() + "/two"});
        data->SetSaveConfig(&config_);
        return data;
    }
    std::string Root() const { return temp_.Path() + "set"; }
    std::string Resource(const char* folder) const { return Root() + "/" + folder + "/Resource"; }
    LoadMessageSink Sink()
    {
        return [this](const std::string& text) { messages_.push_back(text); };
    }
    // A user row; path fields are filled without a terminator when the text
    // takes all 260 bytes.
    void SetRow(u32 row, const std::string& music, const std::string& tension)
    {
        ConfigBgmRow& r = config_.GetBgmSection()->rows[row];
        std::memset(&r, 0, sizeof r);
        std::memcpy(r.bgmPath, music.data(), std::min<size_t>(music.size(), kBgmPathSize));
        std::memcpy(r.tensionPath, tension.data(), std::min<size_t>(tension.size(), kBgmPathSize));
    }
    // A file whose absolute path is exactly 260 bytes.
    std::string FullFieldPath(const std::string& ext, const std::string& bytes)
    {
        const std::string folder = temp_.Path() + "user/";
        std::string path = folder + std::string(kBgmPathSize - folder.size() - ext.size(), 'm') + ext;
        EXPECT_EQ(game_data_test::Put(path, bytes), "");
        return path;
    }

    CSaveConfig config_;
    std::vector<std::string> messages_;
};

// A whole 8-bit RGBA PNG of side x side texels, each opaque and its own
// grey level from first on, its rows in one stored deflate block followed
// by `padding` bytes more (some encoders pad the stream so).
std::string StoredPng(u32 side, u8 first, u32 padding)
{
    const auto crc = [](const std::string& bytes) {
        u32 c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return c ^ 0xFFFFFFFFu;
    };
    const auto be32 = [](u32 v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    const auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(u32(data.size())) + type + data + be32(crc(type + data));
    };
    std::string rows;
    for (u32 y = 0; y < side; ++y) {
        rows += '\0';
        for (u32 x = 0; x < side; ++x) rows += std::string(3, char(first + y * side + x)) + '\xFF';
    }
    rows += std::string(padding, '\0');
    const u32 n = u32(rows.size());
    u32 a = 1, b = 0;
    for (unsigned char c : rows) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    const std::string stream = std::string("\x78\x01\x01", 3) + char(n) + char(n >> 8) + char(~n) + char(~n >> 8) +
                               rows + be32(b << 16 | a);
    const std::string header = be32(side) + be32(side) + std::string("\x08\x06\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1A\n", 8) + chunk("IHDR", header) + chunk("IDAT", stream) + chunk("IEND", "");
}

// One of the game's archives holding a PNG whose stream runs on past its
// rows between two others: the start-up's registering loads all three,
// each with its own texels.
TEST_F(GameDataTest, AnArchiveWithAPaddedPngLoadsEveryTexture)
{
    host::render::InstallFakeRender();
    CGraphicDevice device;
    ASSERT_EQ(device.Create(&window_), 1);
    const auto data = Write();
    ASSERT_EQ(game_data_test::PutPack(Resource("one"), "Data\\Quena.gpk", "QUENAPACK", kPackKeyFirst,
                                      {{"Quena_a.png", StoredPng(4, 0, 0)}, {"Quena_b.png", StoredPng(4, 16, 200)},
                                       {"Quena_c.png", StoredPng(4, 32, 0)}}),
              "");
    {
        CResourceController resources;
        EXPECT_EQ(data->RegisterPacks(resources, Sink()), 1);
        EXPECT_TRUE(messages_.empty());
        const char* names[] = {"Quena_a.png", "Quena_b.png", "Quena_c.png"};
        ASSERT_EQ(resources.GetTextureList()->GetCount(), 3u);
        for (u32 i = 0; i < 3; ++i) {
            SCOPED_TRACE(names[i]);
            auto* texture = static_cast<CTexture*>(static_cast<CValueBase*>(resources.GetTextureList()->GetAt(i)));
            EXPECT_STREQ(texture->GetName(), names[i]);
            host::render::LockedRect locked;
            ASSERT_EQ(texture->GetTexture()->LockRect(0, locked, nullptr, 0), host::render::Result::Ok);
            const auto* texels = static_cast<const u32*>(locked.bits);
            for (u32 t = 0; t < 16; ++t) {
                const u32 grey = 16 * i + t;
                EXPECT_EQ(texels[t / 4 * (u32(locked.pitch) / 4) + t % 4], 0xFF000000u | grey << 16 | grey << 8 | grey);
            }
            texture->GetTexture()->UnlockRect(0);
        }
    }
    device.Release();
    host::render::InstallBackend(nullptr);
}

TEST_F(GameDataTest, PackListsFollowFolderOrder)
{
    const auto data = Write();
    const u32 id = Crc32String(game_data_test::kTestPackName);
    static const struct {
        const char* file;
        u8 key;
        u32 count;
    } cases[] = {
        {game_data_test::kTestPack, kPackKeyFirst, 2},
        {game_data_test::kSecondPack, kPackKeyFirst, 1},
        {"Data\\None.gpk", kPackKeyFirst, 0},
        {game_data_test::kTestPack, kPackKeySecond, 0},
    };
    for (const auto& c : cases) {
        const auto list = data->OpenPack(c.file, id, c.key);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->GetCount(), c.count) << c.file;
        EXPECT_EQ(kernel::GetCurrentDirectory(), Resource("two")) << c.file;
    }

    // tone.wav is in both (1 s first, 2 s second); second.wav only in two.
    const auto list = data->OpenPack(game_data_test::kTestPack, id, kPackKeyFirst);
    static const struct {
        const char* entry;
        i32 loaded;
        f32 seconds;
    } sounds[] = {{"tone.wav", 1, 1.0f}, {"second.wav", 1, 2.0f}, {"none.wav", 0, 0.0f}};
    for (const auto& s : sounds) {
        CSoundBuffer sound;
        EXPECT_EQ(CGameData::LoadFromPackList(s.entry, list.get(), &sound, 1, CSoundBuffer::kBufferStatic), s.loaded);
        if (s.loaded) {
            EXPECT_NEAR(sound.GetLength(), s.seconds, 0.01f) << s.entry;
        }
    }
}

TEST_F(GameDataTest, DataFilesAreFoundFirstFolderFirst)
{
    const auto data = Write();
    static const struct {
        const char* path;
        i32 found;
        const char* leftIn;
    } cases[] = {{"only1.txt", 1, "one"}, {"only2.txt", 1, "two"}, {"both.txt", 1, "one"}, {"none.txt", 0, "two"}};
    for (const auto& c : cases) {
        EXPECT_EQ(data->FindDataFile(c.path), c.found) << c.path;
        EXPECT_EQ(kernel::GetCurrentDirectory(), Resource(c.leftIn)) << c.path;
    }
    for (u32 which : {1u, 0u, 2u}) {
        EXPECT_EQ(data->SetDataFolder(which), 1);
        EXPECT_EQ(kernel::GetCurrentDirectory(), Resource(which == 1 ? "one" : "two"));
    }
    // The movie's folder is the generator's next number: 1 the second.
    for (u32 seed = 1; seed <= 6; ++seed) {
        SeedRandom(seed);
        const char* expected = RandomInt(2) == 1 ? "two" : "one";
        SeedRandom(seed);
        CMovie movie;
        EXPECT_EQ(data->OpenMovie("OP.mpg", &movie), 0);
        EXPECT_EQ(kernel::GetCurrentDirectory(), Resource(expected)) << seed;
    }
}

TEST_F(GameDataTest, TrackNamesOfTheSlots)
{
    static const struct {
        u32 slot;
        const char* track;
    } cases[] = {{0, "Vocal_orig_01.ogg"}, {29, "Vocal_orig_30.ogg"}, {30, "Vocal_prov_01.ogg"},
        {40, "Vocal_prov_11.ogg"}, {41, ""}};
    for (const auto& c : cases) EXPECT_EQ(CGameData::TrackName(c.slot), c.track);
    EXPECT_EQ(CGameData::ScriptName(40), "Vocal_prov_11.txt");
}

TEST_F(GameDataTest, MusicOfBuiltInAndUserSlots)
{
    const auto data = Write(Faults::NoSound(12));
    const auto music = data->OpenPack(CGameData::kMusicArchive, Crc32String(CGameData::kMusicPackName), kPackKeyFirst);
    const std::string ogg = FullFieldPath(".ogg", game_data_test::MusicOgg());
    SetRow(0, "", "x.txt");                              // no music: empty
    SetRow(1, ogg, "");                                  // no script: empty, silently
    SetRow(2, temp_.Path() + "gone.ogg", "x.txt");       // a file that is not there
    SetRow(3, ogg, FullFieldPath(".txt", game_data_test::kScript));   // both fields full
    static const struct {
        u32 slot;
        bool loads;
        u32 messages;
    } cases[] = {{0, true, 0}, {40, true, 0}, {12, false, 0}, {41, false, 0}, {42, false, 0}, {43, false, 1},
        {44, true, 1}, {51, false, 1}};
    for (const auto& c : cases) {
        const std::unique_ptr<CSoundBuffer> sound(data->LoadBgm(c.slot, music.get(), Sink()));
        EXPECT_EQ(sound != nullptr, c.loads) << c.slot;
        EXPECT_EQ(messages_.size(), c.messages) << c.slot;
    }
    EXPECT_EQ(messages_[0], CGameData::kUserMusicMissing);
}

TEST_F(GameDataTest, RegisterPacksStopsAtTheFirstFailure)
{
    static const struct {
        const char* missing;
        u32 registered;   // archives registered before it
    } cases[] = {
        {"", 42}, {"one/Resource/GameResource.grc", 0}, {"one/Resource/Data/Quena.gpk", 4},
        {"two/Resource/GameResource.grc", 14}, {"two/Resource/Data/Grell.gpk", 17},
        {"two/Resource/Data/Wenna.gpk", 32},
    };
    for (const auto& c : cases) {
        messages_.clear();
        const auto data = Write(Faults::Missing(c.missing));
        CResourceController resources;
        EXPECT_EQ(data->RegisterPacks(resources, Sink()), *c.missing ? 0 : 1) << c.missing;
        EXPECT_EQ(resources.GetPackList()->GetCount(), c.registered) << c.missing;
        if (*c.missing) {
            ASSERT_EQ(messages_.size(), 1u) << c.missing;
            EXPECT_NE(messages_[0].find(Root() + "/" + game_data_test::Native(c.missing)), std::string::npos);
        }
    }
}

// One installation as both folders: the archives both lists name are
// registered once.
TEST_F(GameDataTest, OneFolderRegistersEachArchiveOnce)
{
    ASSERT_EQ(game_data_test::WriteGameData(Root()), "");
    for (const GameArchive& a : kSecondFolderArchives)
        ASSERT_EQ(game_data_test::PutPack(Resource("one"), a.path, a.packName, a.key, {}), "");
    for (const GameArchive& a : kSharedArchives)
        ASSERT_EQ(game_data_test::PutPack(Resource("one"), a.path, a.packName, a.key, {}), "");
    CGameData data({Root() + "/one", ""});
    CResourceController resources;
    EXPECT_EQ(data.RegisterPacks(resources), 1);
    EXPECT_EQ(resources.GetPackList()->GetCount(), 40u);
    EXPECT_EQ(data.OpenPack(game_data_test::kTestPack, Crc32String("TESTPACK"), kPackKeyFirst)->GetCount(), 1u);
}

TEST_F(GameDataTest, LoadResourcesMeasuresEverySlot)
{
    const auto data = Write();
    const std::string ogg = FullFieldPath(".ogg", game_data_test::MusicOgg());
    SetRow(0, ogg, FullFieldPath(".txt", game_data_test::kScript));
    SetRow(1, ogg, temp_.Path() + "gone.txt");
    SetRow(2, temp_.Path() + "gone.ogg", "x.txt");
    CResourceController resources;
    ASSERT_EQ(data->LoadResources(resources, Sink()), 1);
    for (u32 slot = 0; slot < CGameData::kMusicSlots; ++slot) {
        const bool expected = slot <= 41;
        ASSERT_EQ(data->GetTensionFile(slot) != nullptr, expected) << slot;
        // The music it was measured against is gone.
        if (expected) {
            EXPECT_EQ(data->GetTensionFile(slot)->GetSound(), nullptr);
        }
    }
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[0].rfind(temp_.Path() + "gone.txt\n", 0), 0u) << messages_[0];
    EXPECT_EQ(messages_[1], CGameData::kUserMusicMissing);
}

TEST_F(GameDataTest, LoadResourcesEndsNamingABrokenTrack)
{
    static const struct {
        Faults faults;
        const char* named;
        u32 loadedBefore;
    } cases[] = {
        {Faults::NoScript(7), "Vocal_orig_08.txt\nファイルが開けません!!", 7},
        {Faults::NoSound(33), "Vocal_prov_04.ogg\n", 33},
        // The tracks are set up a few at a time: the first and last of a
        // turn, the last built-in one, and a track that does not decode.
        {Faults::NoSound(8), "Vocal_orig_09.ogg\n", 8},
        {Faults::NoScript(15), "Vocal_orig_16.txt\n", 15},
        {Faults::NoSound(40), "Vocal_prov_11.ogg\n", 40},
        {Faults::DamagedTrack(20), "Vocal_orig_21.ogg\n", 20},
        {Faults::Missing("one/Resource/Data/BattleBgm.gpk"), "Vocal_orig_01.ogg\n", 0},
    };
    for (const auto& c : cases) {
        messages_.clear();
        const auto data = Write(c.faults);
        CResourceController resources;
        EXPECT_EQ(data->LoadResources(resources, Sink()), 0) << c.named;
        ASSERT_EQ(messages_.size(), 1u) << c.named;
        EXPECT_EQ(messages_[0].rfind(c.named, 0), 0u) << messages_[0];
        if (c.loadedBefore) {
            EXPECT_NE(data->GetTensionFile(c.loadedBefore - 1), nullptr);
        }
        EXPECT_EQ(data->GetTensionFile(c.loadedBefore), nullptr);
    }
}

TEST_F(GameDataTest, DataFoldersFromArgumentsEnvironmentOrCurrentFolder)
{
    ASSERT_EQ(game_data_test::WriteGameData(Root()), "");
    const std::string one = Root() + "/one", two = Root() + "/two", bare = temp_.Path() + "bare";
    ASSERT_TRUE(kernel::CreateDirectories(bare));
    ASSERT_TRUE(kernel::SetCurrentDirectory(Root()));
    const std::string both = one + ":" + two;
    static const struct {
        std::vector<std::string> args;
        const char* env;
        const char* first;
        const char* second;
    } cases[] = {
        {{"one", "two"}, nullptr, "one", "two"},
        {{"two"}, nullptr, "two", "two"},
        {{"one", "missing"}, "two", "two", "two"},
        {{}, "::two:", "two", "two"},
        {{}, nullptr, nullptr, nullptr},   // the current folder holds no Resource/
    };
    for (const auto& c : cases) {
        DataFolders folders;
        std::string error;
        const bool found = FindDataFolders(c.args, c.env, folders, &error);
        EXPECT_EQ(found, c.first != nullptr);
        if (!c.first) {
            EXPECT_NE(error.find("\n" + Root()), std::string::npos) << error;
            continue;
        }
        EXPECT_EQ(folders.first, Root() + "/" + c.first);
        EXPECT_EQ(folders.second, Root() + "/" + c.second);
    }
    ASSERT_TRUE(kernel::SetCurrentDirectory(one));
    DataFolders folders;
    EXPECT_TRUE(FindDataFolders({}, both.c_str(), folders, nullptr));
    EXPECT_EQ(folders.second, two);
    EXPECT_TRUE(FindDataFolders({}, nullptr, folders, nullptr));
    EXPECT_EQ(folders.first, one);
    EXPECT_EQ(folders.second, one);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

#include "game/scenes/GameApp.h"

#include "engine/core/Crc32.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/tests/GameDataSet.h"
#include "host/kernel/FakeMessageBox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

class GameAppTest : public sound_test::SoundFixture {
protected:
    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(cwd_);
        SoundFixture::TearDown();
    }
};

// The configuration read at start-up names the user music the data loads.
TEST_F(GameAppTest, UserMusicComesFromTheLoadedConfiguration)
{
    const std::string root = temp_.Path() + "set";
    ASSERT_EQ(game_data_test::WriteGameData(root), "");
    // The user folder lies beside TEMP: both inside this test's folder.
    setenv("TEMP", (temp_.Path() + "Temp/").c_str(), 1);
    host::kernel::FakeMessageBox boxes;
    CGameApp app({root + "/one", root + "/two"});
    EXPECT_EQ(app.GetSaveConfig(), nullptr);
    ASSERT_EQ(app.LoadSaveConfig(), 1);
    ASSERT_NE(app.GetSaveConfig(), nullptr);

    ConfigBgmRow& row = app.GetSaveConfig()->GetBgmSection()->rows[5];
    std::strcpy(row.bgmPath, "gone.ogg");
    std::strcpy(row.tensionPath, "gone.txt");
    // The text waits for the main thread: no box from the load itself.
    EXPECT_EQ(app.LoadBgm(46, nullptr), nullptr);
    EXPECT_TRUE(boxes.Boxes().empty());

    const auto music = app.OpenPack(CGameData::kMusicArchive, Crc32String(CGameData::kMusicPackName), kPackKeyFirst);
    EXPECT_EQ(music->GetCount(), 1u);
    const std::unique_ptr<CSoundBuffer> track(app.LoadBgm(0, music.get()));
    EXPECT_NE(track, nullptr);
    EXPECT_EQ(app.GetTensionFile(0), nullptr);   // nothing measured before the load
}

}  // namespace

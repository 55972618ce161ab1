// The BGM page: paths typed, browsed for and dropped, and the check of a
// row's music against its tension script.
#include "tool/config/tests/ToolTestSupport.h"

#include "engine/platform/tests/SoundTestSupport.h"
#include "host/dialog/Dialog.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tool_test {
namespace ORV_TEST_FILE_ID {

namespace {

namespace dlg = host::dialog;
namespace win = host::window;

constexpr u32 kBgm = 4;

i32 BgmEdit(i32 row) { return kBgmPath + kBgmRowStep * row; }
i32 TensionEdit(i32 row) { return kTensionPath + kBgmRowStep * row; }

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(host::kernel::NativePath(path), std::ios::binary) << text;
}

class BgmTest : public ToolTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Start());
        ShowTab(i32(kBgm));
    }
    ConfigBgmRow& Row(i32 row) { return app->GetConfig()->GetBgmSection()->rows[row]; }
    std::string Refusal() { return TakeBoxes().empty() ? "" : windows.Boxes().back().text; }
};

TEST_F(BgmTest, TypedBrowsedAndDroppedPathsAreSaved)
{
    const std::string at259 = "/" + std::string(258, 'x');
    ASSERT_TRUE(dialogs.Type(Item(kBgm, TensionEdit(4)), at259));
    // A paste past 259 bytes keeps the 259 that fit, as the edit shows.
    ASSERT_TRUE(dialogs.Type(Item(kBgm, TensionEdit(5)), at259 + "q"));
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(5))), at259);
    // Browsing asks for the music, then its script.
    windows.AnswerFileDialogs({"/music/a.ogg", "/music/a.txt", "/music/b.wav", ""});
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * 2)));
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(2))), "/music/a.txt");
    ASSERT_EQ(windows.FileDialogs().size(), 2u);
    EXPECT_EQ(windows.FileDialogs()[0].filters[0].patterns, "*.wav;*.ogg");
    EXPECT_EQ(windows.FileDialogs()[1].filters[0].patterns, "*.txt");
    // A cancelled second chooser keeps the music just chosen.
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * 3)));
    // A dropped file fills the edit it falls on.
    ASSERT_TRUE(windows.DropFiles(Item(kBgm, TensionEdit(7)), {"/music/seven.txt", "/music/second.txt"}));
    Pump();
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(7))), "/music/seven.txt");
    EXPECT_TRUE(TakeBoxes().empty());
    const std::string expected = ExpectedBytes([&](CSaveConfig& c) {
        ConfigBgmRow* rows = c.GetBgmSection()->rows;
        std::strcpy(rows[4].tensionPath, at259.c_str());
        std::strcpy(rows[5].tensionPath, at259.c_str());
        std::strcpy(rows[2].bgmPath, "/music/a.ogg");
        std::strcpy(rows[2].tensionPath, "/music/a.txt");
        std::strcpy(rows[3].bgmPath, "/music/b.wav");
        std::strcpy(rows[7].tensionPath, "/music/seven.txt");
    });
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

// A name the record cannot hold is refused aloud, not taken for a cancel.
TEST_F(BgmTest, NamesTheRecordCannotHoldAreRefused)
{
    const std::string notCp932 = "ファイル名にShift_JISで表せない文字が含まれているため、このファイルは使えません。";
    const std::string tooLong = "ファイルのパスが長すぎます（259バイトまで）。";
    const std::string at260 = "/" + std::string(259, 'x');
    windows.AnswerFileDialogs({win::FakeWindow::kNotCp932, at260, "/m/a.ogg", win::FakeWindow::kNotCp932});
    for (i32 row = 0; row < 3; ++row) ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * row)));
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, notCp932);
    EXPECT_EQ(boxes[1].text, tooLong);
    EXPECT_EQ(boxes[2].text, notCp932);
    EXPECT_STREQ(Row(0).bgmPath, "");
    EXPECT_STREQ(Row(1).bgmPath, "");
    EXPECT_STREQ(Row(2).bgmPath, "/m/a.ogg");
    ASSERT_TRUE(windows.DropFiles(Item(kBgm, BgmEdit(3)), {at260}));
    Pump();
    EXPECT_EQ(Refusal(), tooLong);
    EXPECT_STREQ(Row(3).bgmPath, "");
}

TEST_F(BgmTest, TheCheckLoadsTheMusicAndItsScript)
{
    const std::string music = folder.Root() + "music.wav", shortMusic = folder.Root() + "short.wav";
    // Ogg Vorbis made by another program: sox writes the WAV, oggenc encodes it.
    const std::string ogg = folder.Root() + "sox.ogg", make = "sox -n -r 22050 -c 2 -b 16 '" + folder.Root() +
        "sox.wav' synth 75 sine 440 vol 0.1 && oggenc -Q -o '" + ogg + "' '" + folder.Root() + "sox.wav'";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    // WAVE_FORMAT_EXTENSIBLE as sox writes it: 24 bits, and 16 bits in six
    // channels; the device plays both converted.
    const std::string wide = folder.Root() + "wide.wav", six = folder.Root() + "six.wav";
    const std::string makeWide = "sox -n -r 8000 -c 2 -b 24 '" + wide + "' synth 75 sine 440 vol 0.1 && " +
        "sox -n -r 8000 -c 6 -b 16 '" + six + "' synth 75 sine 440 vol 0.1";
    ASSERT_EQ(std::system(makeWide.c_str()), 0) << makeWide;
    for (const auto& [path, seconds] : {std::pair{music, 90}, std::pair{shortMusic, 30}}) {
        const sound_test::Bytes wav = sound_test::MakeWav(std::vector<i16>(size_t(seconds) * 1000), 1, 1000);
        WriteText(path, std::string(wav.begin(), wav.end()));
    }
    const std::string script = folder.Root() + "tension.txt", bad = folder.Root() + "bad.txt";
    WriteText(script, "名前:ステージ;\nHI:10;\nLOW:20;\n");
    WriteText(bad, "名前:ステージ;\nCT:10;\nLOW:30;\n");
    const std::string error = "\nTime Data IsCorrect Error!!\n変換エラー!!\n";
    const struct {
        std::string bgm, tension, box;
    } cases[] = {
        {music, script, "テンションファイル作成成功!!"},
        {ogg, script, "テンションファイル作成成功!!"},
        {wide, script, "テンションファイル作成成功!!"},
        {six, script, "テンションファイル作成成功!!"},
        {music, bad, "ClimaxTension 時間オーバー[現在 20.000000 秒です 9 秒以内にしてください]" + error},
        {shortMusic, script, "ファイル時間 エラー[30.000000秒のファイルです : 60秒以上の長さのファイルが必要です]" + error},
        {folder.Root() + "none.wav", script, "BGMファイルが開けません"},
        {music, folder.Root() + "none.txt", "ファイルが開けません!!\n"},
    };
    for (const auto& c : cases) {
        std::strcpy(Row(0).bgmPath, c.bgm.c_str());
        std::strcpy(Row(0).tensionPath, c.tension.c_str());
        ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmCheck)));
        EXPECT_EQ(Refusal(), c.box);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace tool_test

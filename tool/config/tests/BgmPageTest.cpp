// The BGM page: paths typed, browsed for and dropped, and the check of a
// row's music against its tension script.
#include "tool/config/tests/ToolTestSupport.h"

#include "engine/platform/tests/SoundTestSupport.h"
#include "host/dialog/Dialog.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tool_test {
namespace {

namespace dlg = host::dialog;
namespace win = host::window;

constexpr u32 kBgm = 4;

i32 BgmEdit(i32 row) { return kBgmPath + kBgmRowStep * row; }
i32 TensionEdit(i32 row) { return kTensionPath + kBgmRowStep * row; }

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(host::kernel::NativePath(path), std::ios::binary);
    out << text;
}

class BgmTest : public ToolTest {
protected:
    // A silent mono WAV of the given length, written by our own writer.
    std::string Music(const std::string& name, f32 seconds)
    {
        const std::string path = folder.Root() + name;
        const sound_test::Bytes wav = sound_test::MakeWav(std::vector<i16>(size_t(seconds * 1000.0f)), 1, 1000);
        WriteText(path, std::string(wav.begin(), wav.end()));
        return path;
    }
    ConfigBgmRow& Row(i32 row) { return app->GetConfig()->GetBgmSection()->rows[row]; }
    // Pumps what the user's actions queued (dropped files).
    void Pump()
    {
        win::Message m;
        while (win::PeekMessage(m)) win::DispatchMessage(m);
    }
    // The check of a row as the page's handler answers it.
    LResult CheckRow(i32 row)
    {
        const Handle button = Item(kBgm, kBgmCheck + kBgmRowStep * row);
        return win::SendMessage(app->GetPage(kBgm), win::kWmCommand,
            win::MakeWParam(u32(kBgmCheck + kBgmRowStep * row), dlg::kBnClicked), reinterpret_cast<LParam>(button));
    }
};

TEST_F(BgmTest, FillTypeAndSave)
{
    WriteConfig([](CSaveConfig& c) {
        std::strcpy(c.GetBgmSection()->rows[0].bgmPath, "/music/曲.ogg");
        std::strcpy(c.GetBgmSection()->rows[9].tensionPath, "/music/曲.txt");
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kBgm));
    EXPECT_EQ(Text(Item(kBgm, BgmEdit(0))), "/music/曲.ogg");
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(9))), "/music/曲.txt");
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(0))), "");

    const std::string long259(259, 'p');
    const std::string expected = ExpectedBytes([&](CSaveConfig& c) {
        ConfigBgmRow* rows = c.GetBgmSection()->rows;
        std::memset(rows[0].bgmPath, 0, kBgmPathSize);
        std::strcpy(rows[0].bgmPath, "/music/b.wav");
        std::strcpy(rows[4].tensionPath, long259.c_str());
        std::memset(rows[9].tensionPath, 0, kBgmPathSize);
    });
    ASSERT_TRUE(dialogs.Type(Item(kBgm, BgmEdit(0)), "/music/b.wav"));
    ASSERT_TRUE(dialogs.Type(Item(kBgm, TensionEdit(4)), long259));
    EXPECT_FALSE(dialogs.Type(Item(kBgm, TensionEdit(5)), long259 + "q"));
    ASSERT_TRUE(dialogs.Type(Item(kBgm, TensionEdit(9)), ""));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(BgmTest, BrowsingChoosesTheMusicAndThenItsScript)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kBgm));
    windows.AnswerFileDialogs({"/music/a.ogg", "/music/a.txt", "/music/b.wav", ""});
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * 2)));
    EXPECT_STREQ(Row(2).bgmPath, "/music/a.ogg");
    EXPECT_STREQ(Row(2).tensionPath, "/music/a.txt");
    EXPECT_EQ(Text(Item(kBgm, BgmEdit(2))), "/music/a.ogg");
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(2))), "/music/a.txt");
    const auto& requests = windows.FileDialogs();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].owner, app->GetMainWindow());
    EXPECT_EQ(requests[0].title, "BGMファイルを開く");
    ASSERT_EQ(requests[0].filters.size(), 2u);
    EXPECT_EQ(requests[0].filters[0].description, "すべての対応ファイル");
    EXPECT_EQ(requests[0].filters[0].patterns, "*.wav;*.ogg");
    EXPECT_EQ(requests[0].filters[1].description, "すべてのファイル(*.*)");
    EXPECT_EQ(requests[0].filters[1].patterns, "*.*");
    EXPECT_EQ(requests[0].defaultExtension, "wav");
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].fileName, "");
    EXPECT_EQ(requests[1].title, "テンションファイルを開く");
    ASSERT_EQ(requests[1].filters.size(), 2u);
    EXPECT_EQ(requests[1].filters[0].patterns, "*.txt");
    EXPECT_EQ(requests[1].defaultExtension, "txt");

    // A cancelled second chooser keeps the music just chosen.
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * 3)));
    EXPECT_STREQ(Row(3).bgmPath, "/music/b.wav");
    EXPECT_STREQ(Row(3).tensionPath, "");
    // A cancelled first one changes nothing and asks no more.
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * 2)));
    EXPECT_STREQ(Row(2).bgmPath, "/music/a.ogg");
    EXPECT_EQ(windows.FileDialogs().size(), 5u);
    EXPECT_TRUE(win::IsWindowEnabled(app->GetMainWindow()));
}

TEST_F(BgmTest, DroppedFilesFillTheEditTheyFallOn)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kBgm));
    ASSERT_TRUE(windows.DropFiles(Item(kBgm, BgmEdit(1)), {"/music/first.ogg", "/music/second.ogg"}));
    ASSERT_TRUE(windows.DropFiles(Item(kBgm, TensionEdit(7)), {"/music/seven.txt"}));
    Pump();
    EXPECT_STREQ(Row(1).bgmPath, "/music/first.ogg");
    EXPECT_STREQ(Row(1).tensionPath, "");
    EXPECT_STREQ(Row(7).tensionPath, "/music/seven.txt");
    EXPECT_STREQ(Row(7).bgmPath, "");
    EXPECT_EQ(Text(Item(kBgm, BgmEdit(1))), "/music/first.ogg");
    EXPECT_EQ(Text(Item(kBgm, TensionEdit(7))), "/music/seven.txt");

    // A path that does not fit the field is refused whole.
    ASSERT_TRUE(windows.DropFiles(Item(kBgm, BgmEdit(1)), {"/" + std::string(300, 'x')}));
    TakeBoxes();
    Pump();
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ファイルのパスが長すぎます（259バイトまで）。");
    EXPECT_STREQ(Row(1).bgmPath, "/music/first.ogg");

    // Other messages reach the edit's own procedure, also after the page is
    // filled again; after Release the edits have it back.
    EXPECT_EQ(win::SendMessage(Item(kBgm, BgmEdit(1)), win::kWmUser, 0, 0), 0);
    app->FillBgmPage();
    EXPECT_EQ(win::SendMessage(Item(kBgm, BgmEdit(1)), win::kWmUser, 0, 0), 0);
    EXPECT_EQ(Text(Item(kBgm, BgmEdit(1))), "/music/first.ogg");
    const Handle edit = Item(kBgm, BgmEdit(1));
    app->Release();
    EXPECT_FALSE(win::IsWindow(edit));
}

// A name the record cannot hold is refused with a word, not taken for a
// cancel or dropped in silence; a path of 259 bytes is the longest taken.
TEST_F(BgmTest, NamesTheRecordCannotHoldAreRefusedAloud)
{
    const std::string notCp932 = "ファイル名にShift_JISで表せない文字が含まれているため、このファイルは使えません。";
    const std::string tooLong = "ファイルのパスが長すぎます（259バイトまで）。";
    const std::string at259 = "/" + std::string(258, 'x');
    struct Case {
        std::vector<std::string> chosen;   // the choosers' answers
        std::vector<std::string> dropped;  // else a drop of these and one refused name
        std::string bgm, tension, box;
    } cases[] = {
        {{win::FakeWindow::kNotCp932}, {}, "", "", notCp932},
        {{at259 + "x"}, {}, "", "", tooLong},
        {{"/m/a.ogg", win::FakeWindow::kNotCp932}, {}, "/m/a.ogg", "", notCp932},
        {{at259, at259}, {}, at259, at259, ""},
        {{}, {}, "", "", notCp932},
        {{}, {"/m/b.ogg"}, "/m/b.ogg", "", ""},
    };
    ASSERT_TRUE(Start());
    ShowTab(i32(kBgm));
    for (i32 row = 0; row < i32(std::size(cases)); ++row) {
        const Case& c = cases[row];
        TakeBoxes();
        if (!c.chosen.empty()) {
            for (const std::string& answer : c.chosen) windows.AnswerFileDialogs({answer});
            ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmBrowse + kBgmRowStep * row)));
        } else {
            ASSERT_TRUE(windows.DropFiles(Item(kBgm, BgmEdit(row)), c.dropped, 1));
            Pump();
        }
        EXPECT_EQ(Row(row).bgmPath, c.bgm) << row;
        EXPECT_EQ(Row(row).tensionPath, c.tension) << row;
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), c.box.empty() ? 0u : 1u) << row;
        if (!c.box.empty()) {
            EXPECT_EQ(boxes[0].text, c.box);
            EXPECT_EQ(boxes[0].caption, "Error");
        }
        EXPECT_TRUE(win::IsWindowEnabled(app->GetMainWindow()));
    }
}

TEST_F(BgmTest, TheCheckLoadsTheMusicAndItsScript)
{
    const std::string music = Music("music.wav", 90.0f);
    const std::string shortMusic = Music("short.wav", 30.0f);
    const std::string script = folder.Root() + "tension.txt";
    WriteText(script, "名前:ステージ;\nHI:10;\nLOW:20;\n");
    const std::string bad = folder.Root() + "bad.txt";
    WriteText(bad, "名前:ステージ;\nCT:10;\nLOW:30;\n");
    WriteConfig([&](CSaveConfig& c) {
        ConfigBgmRow* rows = c.GetBgmSection()->rows;
        std::strcpy(rows[0].bgmPath, music.c_str());
        std::strcpy(rows[0].tensionPath, script.c_str());
        std::strcpy(rows[1].bgmPath, music.c_str());
        std::strcpy(rows[1].tensionPath, bad.c_str());
        std::strcpy(rows[2].bgmPath, shortMusic.c_str());
        std::strcpy(rows[2].tensionPath, script.c_str());
        std::strcpy(rows[3].bgmPath, (folder.Root() + "none.wav").c_str());
        std::strcpy(rows[4].bgmPath, music.c_str());
        std::strcpy(rows[4].tensionPath, (folder.Root() + "none.txt").c_str());
    });
    const std::string before = ConfigBytes();
    ASSERT_TRUE(Start());
    ShowTab(i32(kBgm));
    struct Case {
        i32 row;
        LResult result;
        std::string text;
    } cases[] = {
        {0, 1, "テンションファイル作成成功!!"},
        {1, 0, "ClimaxTension 時間オーバー[現在 20.000000 秒です 9 秒以内にしてください]\n"
               "Time Data IsCorrect Error!!\n変換エラー!!\n"},
        {2, 0, "ファイル時間 エラー[30.000000秒のファイルです : 60秒以上の長さのファイルが必要です]\n"
               "Time Data IsCorrect Error!!\n変換エラー!!\n"},
        {3, 0, "BGMファイルが開けません"},
        {4, 0, "ファイルが開けません!!\n"},
        {5, 0, "BGMファイルが開けません"},   // an empty row
    };
    for (const Case& c : cases) {
        TakeBoxes();
        EXPECT_EQ(CheckRow(c.row), c.result) << c.row;
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.row;
        EXPECT_EQ(boxes[0].owner, nullptr);
        EXPECT_EQ(boxes[0].caption, "");
        EXPECT_EQ(boxes[0].type, host::kernel::kMbOk);
        EXPECT_EQ(boxes[0].text, c.text) << c.row;
    }
    // The button goes the same way; the check changes nothing.
    ASSERT_TRUE(dialogs.Click(Item(kBgm, kBgmCheck)));
    EXPECT_EQ(TakeBoxes().back().text, "テンションファイル作成成功!!");
    Save();
    EXPECT_EQ(ConfigBytes(), before);
}

// Music made by other programs: sox writes the WAV, oggenc the Ogg Vorbis.
TEST_F(BgmTest, TheCheckReadsMusicOtherProgramsMade)
{
    const std::string wav = folder.Root() + "sox.wav", ogg = folder.Root() + "sox.ogg";
    const std::string script = folder.Root() + "tension.txt";
    WriteText(script, "名前:外部;\nCT:60;\nNT:65;\n");
    const std::string make = "sox -n -r 22050 -c 2 -b 16 '" + wav + "' synth 75 sine 440 vol 0.1 && oggenc -Q -o '" +
        ogg + "' '" + wav + "'";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    WriteConfig([&](CSaveConfig& c) {
        std::strcpy(c.GetBgmSection()->rows[0].bgmPath, wav.c_str());
        std::strcpy(c.GetBgmSection()->rows[0].tensionPath, script.c_str());
        std::strcpy(c.GetBgmSection()->rows[1].bgmPath, ogg.c_str());
        std::strcpy(c.GetBgmSection()->rows[1].tensionPath, script.c_str());
    });
    ASSERT_TRUE(Start());
    for (i32 row : {0, 1}) {
        TakeBoxes();
        EXPECT_EQ(CheckRow(row), 1) << row;
        EXPECT_EQ(TakeBoxes().at(0).text, "テンションファイル作成成功!!") << row;
    }
}

}  // namespace
}  // namespace tool_test

// Tension scripts, written here in code page 932 (the test is compiled with
// it as its execution character set, like the rest of the system).
#include "game/data/TensionFile.h"

#include "engine/core/PackFile.h"
#include "engine/core/ResourceList.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using host::kernel::testing::TempFolder;

struct Parsed {
    i32 result;
    std::string report;
};

Parsed Parse(CTensionFile& file, f32 length, const std::string& script)
{
    CString report;
    const i32 result = file.ParseForLength(length, script.c_str(), ':', ';', &report);
    return {result, report.GetText() ? report.GetText() : ""};
}

Parsed Parse(f32 length, const std::string& script)
{
    CTensionFile file;
    return Parse(file, length, script);
}

// The track as (time, level) pairs.
std::vector<std::pair<f32, i32>> Keys(const CTensionFile& file)
{
    std::vector<std::pair<f32, i32>> keys;
    for (u32 i = 0; file.GetTrack() && i < file.GetTrack()->GetCount(); ++i)
        keys.emplace_back(file.GetTrack()->GetAt(i)->time, file.GetTrack()->GetAt(i)->value);
    return keys;
}

using KeyList = std::vector<std::pair<f32, i32>>;

const std::string kName = "名前:テスト曲;\n";

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// ---------------------------------------------------------------- entries

// Every spelling of every entry; keys are trimmed and come in any order.
TEST(TensionFile, EntriesOfEachKindInEverySpelling)
{
    const struct {
        i32 level;
        std::vector<const char*> spellings;
    } levels[] = {
        {0, {"ローテンション", "ロー", "LOW", "LowTension", "lt"}},
        {1, {"ノーマルテンション", "ノーマル", "normal", "NormalTension", "NT"}},
        {2, {"ハイテンション", "ハイ", "Hi", "hitension"}},
        {3, {"クライマックステンション", "クライマックス", "Climax", "ct"}},
    };
    for (const auto& l : levels)
        for (const char* spelling : l.spellings) {
            CTensionFile file;
            EXPECT_EQ(Parse(file, 200.0f, kName + " \t" + spelling + " : 185 ;\nLOW:190;\n").result, 1) << spelling;
            EXPECT_EQ(Keys(file).at(1), (std::pair<f32, i32>{185, l.level})) << spelling;
        }
    CTensionFile file;
    const Parsed p = Parse(file, 200.0f,
        "ファイル名:  ステージ１;\n"
        "ファイルコメント:一行目\n二行目;\n"
        "LOW:60;\nHI:30;\nCLIMAX:180;\n"
        "クライマックスフィナーレ:175.5;\n");
    EXPECT_EQ(p.result, 1) << p.report;
    EXPECT_EQ(Keys(file), (KeyList{{0, 1}, {30, 2}, {60, 0}, {180, 3}, {200, 1}}));
    EXPECT_STREQ(file.GetName().GetText(), "ステージ１");
    EXPECT_STREQ(file.GetComment().GetText(), "一行目\n二行目");
    EXPECT_FLOAT_EQ(file.GetFinaleMark(), 175.5f);
    EXPECT_FLOAT_EQ(file.GetFinaleLength(), 200.0f * 0.1f * 0.2f);
    for (const char* spelling : {"名前", "NAME", "filename", "Fn"}) {
        CTensionFile other;
        EXPECT_EQ(Parse(other, 200.0f, std::string(spelling) + ":曲;\nCOMMENT:説明;\nCF:99;\n").result, 1) << spelling;
        EXPECT_STREQ(other.GetName().GetText(), "曲") << spelling;
    }
    for (const char* spelling : {"コメント", "filecomment", "FC", "フィナーレ", "FINALE", "climaxfinale"}) {
        CTensionFile other;
        EXPECT_EQ(Parse(other, 200.0f, kName + spelling + ":99;\n").result, 1) << spelling;
        EXPECT_TRUE(other.GetFinaleMark() == 99.0f || std::string(other.GetComment().GetText()) == "99") << spelling;
    }
}

// The Japanese keys are the code page 932 bytes of their words, whatever
// execution charset the reader was built with: the words come in here as
// UTF-8 and are converted at run time, not by the compiler.
TEST(TensionFile, JapaneseKeysAreTheCodePage932BytesOfTheirWords)
{
    const auto cp932 = [](const char* utf8) { return host::kernel::Utf8ToCp932(utf8); };
    const struct {
        const char* word;
        i32 kind;   // 0..3 a level, 4 name, 5 comment, 6 finale
    } words[] = {
        {u8"ローテンション", 0}, {u8"ロー", 0}, {u8"ノーマルテンション", 1}, {u8"ノーマル", 1},
        {u8"ハイテンション", 2}, {u8"ハイ", 2}, {u8"クライマックステンション", 3}, {u8"クライマックス", 3},
        {u8"ファイル名", 4}, {u8"名前", 4}, {u8"ファイルコメント", 5}, {u8"コメント", 5},
        {u8"クライマックスフィナーレ", 6}, {u8"フィナーレ", 6},
    };
    const auto kindOf = [](const std::string& key) {
        const char* k = key.c_str();
        const i32 level = CTensionFile::GetLevelKey(k);
        if (level >= 0) return level;
        if (CTensionFile::IsNameKey(k)) return 4;
        return CTensionFile::IsCommentKey(k) ? 5 : CTensionFile::IsFinaleKey(k) ? 6 : -1;
    };
    for (const auto& w : words) {
        const std::string bytes = cp932(w.word);
        ASSERT_NE(bytes, w.word) << "no conversion";
        EXPECT_EQ(kindOf(bytes), w.kind) << w.word;
        EXPECT_EQ(kindOf(w.word), -1) << w.word << ": the UTF-8 bytes are no key";
    }
    // A high-tension entry in those bytes sets the level.
    CTensionFile file;
    const Parsed p = Parse(file, 200.0f, cp932(u8"名前:曲;\nハイテンション:30;\nロー:60;\n"));
    EXPECT_EQ(p.result, 1) << p.report;
    EXPECT_EQ(Keys(file), (KeyList{{0, 1}, {30, 2}, {60, 0}, {200, 1}}));
}

// A double-byte character whose trail byte is the separator's or the
// terminator's cousin ('\', '|') stays whole, in keys and in values.
TEST(TensionFile, DoubleByteCharactersStayWhole)
{
    CTensionFile file;
    const Parsed p = Parse(file, 200.0f, "名前:表示ソ;\nコメント:能力\\;\n");
    EXPECT_EQ(p.result, 1) << p.report;
    EXPECT_STREQ(file.GetName().GetText(), "表示ソ");
    EXPECT_STREQ(file.GetComment().GetText(), "能力\\");
}

TEST(TensionFile, EntryMessages)
{
    struct Case {
        const char* script;
        i32 result;
        std::string report;
        KeyList keys;
    } cases[] = {
        // At time 0 or at the music's length: ignored, the script still valid.
        {"HI:0;\nHI:200;\nLOW:-5;\n", 1,
            "Time Data Outside Range!!\nTime Data Outside Range!!\nTime Data Outside Range!!\n", {{0, 1}, {200, 1}}},
        {"HI:nan;\nHI:;\n", 1, "Time Data Outside Range!!\nTime Data Outside Range!!\n", {{0, 1}, {200, 1}}},
        // Two keys at one time, or closer than 0.006 s.
        {"HI:50;\nLOW:50;\nLOW:50.005;\nLOW:49.995;\nLOW:60;\n", 1,
            "Time Data KeyAdd Error!!\nTime Data KeyAdd Error!!\nTime Data KeyAdd Error!!\n",
            {{0, 1}, {50, 2}, {60, 0}, {200, 1}}},
        {"TEMPO:120;\nHI:30;\nLOW:60;\n", 1, "Time Data Not Tension!!\n", {{0, 1}, {30, 2}, {60, 0}, {200, 1}}},
        // More than one finale.
        {"FINALE:10;\nCF:20;\nフィナーレ:30;\n", 0,
            "クライマックスフィナーレ エラー[クライマックスフィナーレが複数指定されています]\n"
            "Time Data IsCorrect Error!!\n",
            {{0, 1}, {200, 1}}},
        // A finale time that is no finite number: replays and network play
        // carry only finite times, so the script is refused at its line. A
        // large finite one passes.
        {"FINALE:1e39;\n", 0,
            "クライマックスフィナーレ エラー[2 行目の時間が数値になっていません]\nTime Data IsCorrect Error!!\n",
            {{0, 1}, {200, 1}}},
        {"HI:30;\nLOW:60;\n\nFINALE : nan ;\n", 0,
            "クライマックスフィナーレ エラー[5 行目の時間が数値になっていません]\nTime Data IsCorrect Error!!\n",
            {{0, 1}, {30, 2}, {60, 0}, {200, 1}}},
        {"CF:-inf;\n", 0,
            "クライマックスフィナーレ エラー[2 行目の時間が数値になっていません]\nTime Data IsCorrect Error!!\n",
            {{0, 1}, {200, 1}}},
        {"FINALE:1e30;\n", 1, "", {{0, 1}, {200, 1}}},
        {"FINALE:3.4e38;\n", 1, "", {{0, 1}, {200, 1}}},
    };
    for (const Case& c : cases) {
        CTensionFile file;
        const Parsed p = Parse(file, 200.0f, kName + c.script);
        EXPECT_EQ(p.result, c.result) << c.script;
        EXPECT_EQ(p.report, c.report) << c.script;
        EXPECT_EQ(Keys(file), c.keys) << c.script;
    }
}

TEST(TensionFile, LayoutOfEntriesAndComments)
{
    struct Case {
        const char* script;
        KeyList keys;
    } cases[] = {
        // The last entry needs no line break after it.
        {"名前:x;\nHI:30;\nLOW:60;", {{0, 1}, {30, 2}, {60, 0}, {200, 1}}},
        // Comments of both kinds between entries, with CR LF line ends.
        {"// 見出し\r\n名前:x;\r\n/* HI:10; LOW:20;\r\n */HI:30;\r\nLOW:60; // 終わり", {{0, 1}, {30, 2}, {60, 0}, {200, 1}}},
        // Level entries may share a line; after a name, comment or finale
        // the next byte is passed over, so the next entry must start a line.
        {"名前:x;\nHI:30;LOW:60;CT:190;", {{0, 1}, {30, 2}, {60, 0}, {190, 3}, {200, 1}}},
        {"名前:x;XHI:30;\nLOW:60;", {{0, 1}, {30, 2}, {60, 0}, {200, 1}}},
    };
    for (const Case& c : cases) {
        CTensionFile file;
        const Parsed p = Parse(file, 200.0f, c.script);
        EXPECT_EQ(p.result, 1) << c.script << p.report;
        EXPECT_EQ(Keys(file), c.keys) << c.script;
    }
    // A block comment that never closes fails the parse, with no message of
    // its own (the loader adds one).
    const Parsed open = Parse(200.0f, kName + "/* HI:30;\n");
    EXPECT_EQ(open.result, 0);
    EXPECT_EQ(open.report, "");
    // A name entry whose value never ends leaves the name as it was.
    CTensionFile file;
    EXPECT_EQ(Parse(file, 200.0f, "名前:a;\n名前:b").result, 1);
    EXPECT_STREQ(file.GetName().GetText(), "a");
}

// ---------------------------------------------------------------- validation

TEST(TensionFile, MusicLength)
{
    struct Case {
        f32 length;
        i32 result;
        const char* report;
    } cases[] = {
        {60.0f, 0, "ファイル時間 エラー[60.000000秒のファイルです : 60秒以上の長さのファイルが必要です]\n"},
        {60.5f, 1, ""},
        {479.5f, 1, ""},
        {480.0f, 0, "ファイル時間 エラー[480.000000秒のファイルです : 480秒以下の長さのファイルが必要です]\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.length, kName);
        EXPECT_EQ(p.result, c.result) << c.length;
        EXPECT_EQ(p.report, c.report + std::string(c.result ? "" : "Time Data IsCorrect Error!!\n")) << c.length;
    }
}

TEST(TensionFile, NameAndCommentLimits)
{
    const std::string nameError = "ファイル名 エラー[ファイル名を 1 ～ 40 文字以内にしてください]\n";
    const std::string line40(40, 'a');
    struct Case {
        std::string script;
        std::string report;
    } cases[] = {
        {"名前:" + std::string(40, 'n') + ";\n", ""},
        {"名前:あいうえおかきくけこさしすせそたちつてと;\n", ""},
        {"名前:" + std::string(41, 'n') + ";\n", nameError},
        // Four lines of 40, 40, 40 and 37 bytes: 160 in all.
        {kName + "コメント:" + line40 + "\n" + line40 + "\n" + line40 + "\n" + std::string(37, 'a') + ";\n", ""},
        {kName + "コメント:a\nb\nc\nd\ne;\n", "ファイルコメント エラー[行数を 4 以内にしてください]\n"},
        {kName + "コメント:" + line40 + "a;\n", "ファイルコメント エラー[1行の文字数を 40 以内にしてください]\n"},
        {kName + "コメント:" + line40 + "\r\r\nb;\n", ""},   // carriage returns take no column
        {kName + "コメント:" + std::string(161, 'c') + ";\n", "ファイルコメント エラー[文字数を 160 以内にしてください]\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(200.0f, c.script);
        EXPECT_EQ(p.result, c.report.empty() ? 1 : 0) << c.script;
        EXPECT_EQ(p.report, c.report + (c.report.empty() ? "" : "Time Data IsCorrect Error!!\n")) << c.script;
    }
    // A script parsed on its own has no name until it names itself.
    EXPECT_EQ(Parse(200.0f, "HI:30;\nLOW:60;\n").report, nameError + "Time Data IsCorrect Error!!\n");
}

TEST(TensionFile, LevelTimesAndCounts)
{
    struct Case {
        f32 length;
        const char* script;
        std::string report;
    } cases[] = {
        // 50 s of high on a 200 s track: the limit is 40.
        {200.0f, "HI:50;\nLOW:100;\n", "HiTension 時間オーバー[現在 50.000000 秒です 40 秒以内にしてください]\n"},
        {200.0f, "CT:170;\nNORMAL:190.5;\n", "ClimaxTension 時間オーバー[現在 20.500000 秒です 20 秒以内にしてください]\n"},
        // Whole seconds of the limits: 0.1 x 199 s is 19.9, so 19.
        {199.0f, "CT:179;\n", "ClimaxTension 時間オーバー[現在 20.000000 秒です 19 秒以内にしてください]\n"},
        {200.0f, "CT:150;\nLOW:151;\nCT:160;\nLOW:161;\nCT:170;\nLOW:171;\n",
            "ClimaxTension 回数オーバー[現在 3 回です 2 回以内にしてください]\n"},
        {200.0f, "HI:10;\nLOW:15;\nHI:30;\nLOW:35;\nHI:50;\nLOW:55;\nHI:70;\nLOW:75;\nHI:90;\nLOW:95;\n",
            "LowTension 回数オーバー[現在 5 回です 4 回以内にしてください]\n"
            "HiTension 回数オーバー[現在 5 回です 4 回以内にしてください]\n"},
        // The key at 0 counts as a normal entry: 10 more make 11.
        {200.0f, "NT:10;\nNT:20;\nNT:30;\nNT:40;\nNT:50;\nNT:60;\nNT:70;\nNT:80;\nNT:90;\nNT:100;\n",
            "NormalTension 回数オーバー[現在 11 回です 10 回以内にしてください]\n"},
        {200.0f, "NT:10;\nNT:20;\nNT:30;\nNT:40;\nNT:50;\nNT:60;\nNT:70;\nNT:80;\nNT:90;\n", ""},
        // Exactly at each limit: taken.
        {200.0f, "CT:170;\nNORMAL:190;\n", ""},
        {200.0f, "CT:150;\nLOW:151;\nCT:160;\nLOW:161;\n", ""},
        {200.0f, "HI:10;\nLOW:15;\nHI:30;\nLOW:35;\nHI:50;\nLOW:55;\nHI:70;\nLOW:75;\n", ""},
        {200.0f, "HI:100;\nLOW:130;\nNT:160;\n", ""},
        // Less low than high time.
        {200.0f, "HI:100;\nLOW:130;\nNT:140;\n",
            "LowTension 時間不足[現在 10.000000 秒です HiTension 時間の 30.000000 秒以上必要です]\n"},
        // Every message of a script, in order.
        {100.0f, "CT:10;\nHI:20;\nCT:60;\nHI:70;\nCT:80;\nLOW:95;\n",
            "HiTension 時間オーバー[現在 50.000000 秒です 20 秒以内にしてください]\n"
            "ClimaxTension 時間オーバー[現在 35.000000 秒です 10 秒以内にしてください]\n"
            "ClimaxTension 回数オーバー[現在 3 回です 2 回以内にしてください]\n"
            "LowTension 時間不足[現在 5.000000 秒です HiTension 時間の 50.000000 秒以上必要です]\n"},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.length, kName + c.script);
        EXPECT_EQ(p.result, c.report.empty() ? 1 : 0) << c.script;
        EXPECT_EQ(p.report, c.report + (c.report.empty() ? "" : "Time Data IsCorrect Error!!\n")) << c.script;
    }
}

// ---------------------------------------------------------------- playing

TEST(TensionFile, LevelAtATimeAgainstTheMusicsLength)
{
    CTensionFile file;
    ASSERT_EQ(Parse(file, 200.0f, kName + "HI:40;\nLOW:70;\nNT:100;\nCT:180;\nFINALE:185;\n").result, 1);
    file.SetLoopStart(20.0f);
    struct Case {
        f32 t;
        i32 level;
        bool finale;
    } cases[] = {
        {-1.0f, 1, false}, {39.9f, 1, false}, {40.0f, 2, false}, {70.0f, 0, false}, {100.0f, 1, false},
        {180.0f, 3, false}, {185.0f, 3, true}, {189.0f, 3, true}, {189.1f, 3, false}, {200.0f, 1, false},
        // Past the end the music wraps to its loop start: 200 + 25 is 45.
        {225.0f, 2, false}, {200.0f + 165.0f, 3, true}, {200.0f + 2 * 180.0f + 60.0f, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.GetLevelAt(c.t), c.level) << c.t;
        EXPECT_EQ(file.IsClimaxFinaleAt(c.t), c.finale) << c.t;
    }
    EXPECT_FLOAT_EQ(file.GetLoopedTime(150.0f), 150.0f);
    EXPECT_FLOAT_EQ(file.GetLoopedTime(230.0f), 50.0f);
    // A loop start at the end cannot repeat: the end holds.
    file.SetLoopStart(200.0f);
    EXPECT_FLOAT_EQ(file.GetLoopedTime(250.0f), 200.0f);
    EXPECT_EQ(CTensionFile().GetLevelAt(10.0f), kTensionNormal);
}

TEST(TensionFile, CopiesOwnTheirTrack)
{
    auto* file = new CTensionFile;
    ASSERT_EQ(Parse(*file, 200.0f, kName + "HI:40;\nLOW:70;\n").result, 1);
    file->SetLoopStart(12.0f);
    CTensionFile copy(*file);
    CTensionFile assigned;
    assigned = *file;
    delete file;
    for (const CTensionFile* f : {&copy, &assigned}) {
        EXPECT_EQ(Keys(*f), (KeyList{{0, 1}, {40, 2}, {70, 0}, {200, 1}}));
        EXPECT_STREQ(f->GetName().GetText(), "テスト曲");
        EXPECT_FLOAT_EQ(f->GetLoopStart(), 12.0f);
        EXPECT_EQ(f->GetLevelAt(50.0f), kTensionHigh);
    }
}

// ---------------------------------------------------------------- damage

TEST(TensionFile, DamagedScriptsGiveMessagesNeverACrash)
{
    std::mt19937 random(1234);
    const std::string good = kName + "コメント:説明;\nHI:40;\nLOW:70;\nCT:180;\nFINALE:185;\n";
    std::vector<std::string> scripts = {
        std::string(100000, 'K'),                       // one endless key
        "名前:" + std::string(100000, 'v') + ";",        // one endless value
        std::string(5000, ':'), std::string(5000, ';'), std::string(5000, '\x82'),
        "\x82", "名前:\x82", "HI:\x82;", "/*", "/", "//", ":", ";",
    };
    for (int i = 0; i < 300; ++i) {
        std::string s = good;
        for (int n = 0; n < 4; ++n) s[random() % s.size()] = char(random() % 255 + 1);
        s.resize(random() % (s.size() + 1));
        scripts.push_back(s);
    }
    for (const std::string& s : scripts) {
        CTensionFile file;
        const Parsed p = Parse(file, 200.0f, s);
        if (p.result == 0) {
            EXPECT_FALSE(p.report.empty() && s.find("/*") == std::string::npos) << s;
        }
        // Whatever was parsed is a track in time order of known levels.
        const KeyList keys = Keys(file);
        for (size_t k = 0; k < keys.size(); ++k) {
            EXPECT_GE(keys[k].second, 0);
            EXPECT_LT(keys[k].second, 4);
            if (k) {
                EXPECT_LT(keys[k - 1].first, keys[k].first);
            }
        }
    }
}

// ---------------------------------------------------------------- loading

TEST(TensionFileLoad, FromFilesAndArchives)
{
    TempFolder folder;
    CTensionFile file;
    CString report;
    // Every load here fails: there is no sound, so the length is 0.
    const auto failed = [&](i32 result) {
        EXPECT_EQ(result, 0);
        const std::string text = report.GetText() ? report.GetText() : "";
        report = CString();
        return text;
    };
    const std::string tooShort =
        "ファイル時間 エラー[0.000000秒のファイルです : 60秒以上の長さのファイルが必要です]\n"
        "Time Data IsCorrect Error!!\n変換エラー!!\n";
    const std::string path = folder / "曲.txt";
    WriteFile(host::kernel::NativePath(path), "名前:曲;\r\nHI:40;\r\nLOW:70;\r\n");
    EXPECT_EQ(failed(file.LoadFromFile(nullptr, path.c_str(), &report)),
        "Time Data Outside Range!!\nTime Data Outside Range!!\n" + tooShort);
    EXPECT_EQ(failed(file.LoadFromFile(nullptr, (folder / "none.txt").c_str(), &report)), "ファイルが開けません!!\n");
    // Without a name entry the name is the path, here longer than 40 bytes.
    const std::string nameless = folder / "a-rather-long-name-for-a-tension-script.txt";
    WriteFile(nameless, "HI:40;\n");
    failed(file.LoadFromFile(nullptr, nameless.c_str(), &report));
    EXPECT_STREQ(file.GetName().GetText(), nameless.c_str());

    const std::string good = folder / "Vocal_orig_01.txt", bad = folder / "Vocal_orig_02.txt";
    WriteFile(good, "名前:曲;\nHI:40;\nLOW:70;");   // the body has no terminator
    WriteFile(bad, "名前:曲;\n/*");
    const char* paths[] = {good.c_str(), bad.c_str()};
    const std::string archive = folder / "Bgm.gpk";
    ASSERT_EQ(CqelPackFile::Write(paths, 2, archive.c_str()), 1u);
    CqelPackFile pack, empty;
    ASSERT_EQ(pack.Open(archive.c_str()), 1u);
    failed(file.LoadFromPack(nullptr, good.c_str(), &pack, &report));
    EXPECT_EQ(Keys(file), (KeyList{{0, 1}}));
    EXPECT_EQ(failed(file.LoadFromPack(nullptr, "none.txt", &pack, &report)), "ファイルが開けません!!\n");
    // The list tries each archive holding the entry.
    CList<void*> packs;
    void* items[] = {&empty, &pack};
    packs.SetArray(items, 2);
    EXPECT_EQ(failed(file.LoadFromPackList(nullptr, bad.c_str(), &packs, &report)), "File Buffer Conversion Error!!\n");
}

// Against real music: the sound's length bounds the times.
class TensionWithMusic : public sound_test::SoundFixture {
protected:
    // A silent WAV of the given length at 1 kHz.
    void LoadMusic(CSoundBuffer& music, f32 seconds)
    {
        bytes_ = sound_test::MakeWav(std::vector<i16>(size_t(seconds * 1000.0f)), 1, 1000);
        ASSERT_EQ(music.LoadFromMemory(bytes_.data(), "music.wav", u32(bytes_.size()), 1, CSoundBuffer::kBufferStatic),
            1u);
        ASSERT_FLOAT_EQ(music.GetLength(), seconds);
    }
    sound_test::Bytes bytes_;
};

TEST_F(TensionWithMusic, TimesAreCheckedAgainstTheMusic)
{
    CSoundBuffer music;
    LoadMusic(music, 90.5f);
    const std::string path = temp_ / "script.txt";
    WriteFile(path, "名前:曲;\nHI:10;\nLOW:20;\nCT:85;\nLOW:90.5;\n");
    CTensionFile file;
    CString report;
    EXPECT_EQ(file.LoadFromText(&music, path.c_str(), &report), 1) << report.GetText();
    EXPECT_EQ(file.GetSound(), &music);
    EXPECT_STREQ(report.GetText(), "Time Data Outside Range!!\n");
    EXPECT_EQ(Keys(file), (KeyList{{0, 1}, {10, 2}, {20, 0}, {85, 3}, {90.5f, 1}}));
    EXPECT_EQ(file.GetLevelAt(88.0f), kTensionClimax);

    // A finale past what a float holds is refused by the load, with its line.
    const std::string far = temp_ / "far.txt";
    WriteFile(far, "名前:曲;\nHI:10;\nLOW:20;\nFINALE:1e39;\n");
    report = CString();
    EXPECT_EQ(file.LoadFromText(&music, far.c_str(), &report), 0);
    EXPECT_STREQ(report.GetText(),
        "クライマックスフィナーレ エラー[4 行目の時間が数値になっていません]\n"
        "Time Data IsCorrect Error!!\n変換エラー!!\n");

    // A script is read whole however long it is: 3 MiB of comment between
    // its entries.
    const std::string commented = temp_ / "commented.txt";
    WriteFile(commented, "名前:曲;\nHI:10;\n/*" + std::string(3u << 20, 'x') + "*/\nLOW:20;\nCT:85;\n");
    report = CString();
    EXPECT_EQ(file.LoadFromText(&music, commented.c_str(), &report), 1) << report.GetText();
    EXPECT_EQ(Keys(file), (KeyList{{0, 1}, {10, 2}, {20, 0}, {85, 3}, {90.5f, 1}}));

    CSoundBuffer shortMusic;
    LoadMusic(shortMusic, 59.0f);
    report = CString();
    EXPECT_EQ(file.LoadFromText(&shortMusic, path.c_str(), &report), 0);
    EXPECT_STREQ(report.GetText(),
        "Time Data Outside Range!!\nTime Data Outside Range!!\n"
        "ファイル時間 エラー[59.000000秒のファイルです : 60秒以上の長さのファイルが必要です]\n"
        "Time Data IsCorrect Error!!\n変換エラー!!\n");
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

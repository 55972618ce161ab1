#include "host/kernel/Kernel.h"
#include "host/kernel/FakeFileWatch.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace host::kernel {
namespace ORV_TEST_FILE_ID {

namespace {

using testing::TempFolder;
using Names = std::vector<std::string>;
using namespace std::string_literals;

// Plain C++ on native paths, so the checks bypass the code under test.
void WriteRaw(const std::string& native, const std::string& bytes) {
    std::ofstream(native, std::ios::binary) << bytes;
}
std::string ReadRaw(const std::string& native) {
    std::ifstream in(native, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}
Names Listing(const std::string& native) {
    Names names;
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator(native, error)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Through the code under test, on system paths.
std::string Contents(std::string_view path) {
    std::string out;
    return ReadWholeFile(path, out) ? out : "<missing>";
}
std::string ReadAll(File& file, size_t chunk = 7) {
    std::string out;
    char buffer[64];
    for (size_t n; out.size() < (1u << 20) && (n = file.Read(buffer, chunk)) > 0;) out.append(buffer, n);
    return out;
}

// Chunks of 1 and 7 bytes split CR LF pairs across reads.
TEST(File, OnlyTextModeReadsCrLfAsLf) {
    TempFolder temp;
    const std::string raw = "one\r\ntwo\rthree\r\n\r\nend\r\0"s, text = "one\ntwo\rthree\n\nend\r\0"s;
    WriteRaw(temp / "a.txt", raw);
    const struct { const char* mode; size_t chunk; std::string expected; } cases[] = {
        {"r", 7, text}, {"rt", 1, text}, {"rb", 7, raw}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " by " + std::to_string(c.chunk));
        EXPECT_EQ(ReadAll(*OpenFile(temp / "a.txt", c.mode), c.chunk), c.expected);
    }

    // A request is filled whole although pairs shrink it; Tell counts file bytes, as on Windows.
    WriteRaw(temp / "b.txt", "\r\n\r\n\r\nxyz");
    auto file = OpenFile(temp / "b.txt", "rt");
    char buffer[5];
    ASSERT_EQ(file->Read(buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "\n\n\nxy");
    EXPECT_EQ(file->Tell(), 8);

    EXPECT_EQ(OpenFile(temp / "w.txt", "wt")->Write("a\nb\r\n", 5), 5u);   // written as given
    EXPECT_EQ(ReadRaw(temp / "w.txt"), "a\nb\r\n");
}

TEST(File, ModesPositionsAndSizes) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "old contents");
    auto file = OpenFile(temp / "a.bin", "wb");
    file->Write("0123", 4);
    EXPECT_EQ(file->Size(), 4);   // buffered bytes count
    EXPECT_TRUE(file->Close());
    OpenFile(temp / "a.bin", "ab")->Write("456789", 6);   // the destructor closes too
    EXPECT_EQ(ReadRaw(temp / "a.bin"), "0123456789");

    // A read then a write at one position, with no seek between.
    file = OpenFile(temp / "a.bin", "r+b");
    char buffer[100];
    ASSERT_TRUE(file->Seek(3, SeekOrigin::Begin) && file->Seek(2, SeekOrigin::Current));
    ASSERT_EQ(file->Read(buffer, 1), 1u);
    EXPECT_EQ(file->Write("XY", 2), 2u);
    ASSERT_TRUE(file->Seek(-2, SeekOrigin::End));
    EXPECT_EQ(file->Tell(), 8);
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 2u);
    EXPECT_TRUE(file->AtEnd());
    EXPECT_FALSE(file->Seek(-20, SeekOrigin::Current));
    EXPECT_EQ(Contents(temp / "a.bin"), "012345XY89");
    EXPECT_EQ(OpenFile(temp / "a.bin", "rb")->Write("x", 1), 0u);

    EXPECT_EQ(OpenFile(temp.Path(), "rb"), nullptr);   // a folder is no file
}

TEST(Path, BackslashesAndCaseAreResolvedPerComponent) {
    TempFolder temp;
    ASSERT_TRUE(CreateDirectories(temp / "Resource/Setting"));
    WriteRaw(temp / "Resource/Setting/Chara01.dat", "chara");
    EXPECT_EQ(NativePath(temp / "RESOURCE\\setting\\chara01.DAT"), temp / "Resource/Setting/Chara01.dat");
    // Below the first missing name the rest stays as written.
    EXPECT_EQ(NativePath(temp / "resource\\Missing\\CHARA01.dat"), temp / "Resource/Missing/CHARA01.dat");

    WriteRaw(temp / "a.txt", "lower");
    WriteRaw(temp / "A.txt", "upper");
    EXPECT_EQ(Contents(temp / "A.txt"), "upper");   // an exact name wins over a case variant
    EXPECT_EQ(Contents(temp / "a.txt"), "lower");

    // Writes go to the existing names.
    ASSERT_NE(OpenFile(temp / "resource\\setting\\CHARA01.dat", "wb"), nullptr);
    EXPECT_EQ(Listing(temp / "Resource/Setting"), Names{"Chara01.dat"});

    // Relative paths follow the current folder, itself found the same way.
    const std::string before = GetCurrentDirectory();
    ASSERT_TRUE(SetCurrentDirectory(temp / "RESOURCE\\setting\\"));
    EXPECT_EQ(GetCurrentDirectory() + "/", temp / "Resource/Setting/");
    EXPECT_EQ(Contents("CHARA01.DAT"), "");
    ASSERT_TRUE(SetCurrentDirectory(before));
    EXPECT_TRUE(FileExists(GetProgramFolder() + "host_kernel_tests"));
}

TEST(Path, TrailByte5COfAJapaneseNameIsNoSeparator) {
    TempFolder temp;
    ASSERT_EQ(std::string("ソ"), "\x83\x5C");   // CP932
    ASSERT_TRUE(CreateDirectory(temp / "セーブ"));
    ASSERT_NE(OpenFile(temp / "セーブ\\ソフト.dat", "wb"), nullptr);
    EXPECT_EQ(Listing(temp / u8"セーブ"), Names{u8"ソフト.dat"});
    EXPECT_EQ(NativePath(temp / "セーブ\\ソフト.dat"), temp / u8"セーブ/ソフト.dat");
}

TEST(FileFolder, CreateWithParentsAndDelete) {
    TempFolder temp;
    EXPECT_FALSE(CreateDirectory(temp / "a/b"));   // one level only
    EXPECT_TRUE(CreateDirectory(temp / "a") && CreateDirectory(temp / "A"));   // already there counts
    EXPECT_TRUE(CreateDirectories(temp / "A\\Replay\\x") && CreateDirectories(temp / "a/REPLAY/Shot/"));
    EXPECT_EQ(Listing(temp / "a/Replay"), (Names{"Shot", "x"}));
    WriteRaw(temp / "f", "x");
    EXPECT_FALSE(CreateDirectories(temp / "f/sub"));
    EXPECT_TRUE(FileExists(temp / "f") && !DirectoryExists(temp / "f") && !FileExists(temp / "a"));
    EXPECT_TRUE(DeleteFile(temp / "F"));
    EXPECT_EQ(Listing(temp.Path()), Names{"a"});
}

// Replays move from TEMP into the user's folder, which may be on another file system.
TEST(FileFolder, MoveReplacesTheTargetEvenAcrossFileSystems) {
    TempFolder temp;
    char shm[] = "/dev/shm/orv-kernel-XXXXXX";
    std::vector<std::string> sources = {temp / "from"};
    if (mkdtemp(shm)) sources.push_back(std::string(shm) + "/from");
    for (const std::string& from : sources) {
        SCOPED_TRACE(from);
        WriteRaw(from, "new");
        WriteRaw(temp / "To", "old");
        EXPECT_TRUE(MoveFile(from, temp / "to"));
        EXPECT_EQ(Listing(temp.Path()), Names{"To"});
        EXPECT_EQ(ReadRaw(temp / "To"), "new");
        EXPECT_EQ(ReadRaw(from), "<missing>");
    }
    rmdir(shm);
    EXPECT_FALSE(MoveFile(temp / "from", temp / "again"));
}

using Step = FileStep;
using Steps = std::vector<FileStep>;

// The data reaches the disk before the rename points at it, and the rename
// before the write reports success.
TEST(AtomicFileWrite, SyncsTheDataThenRenamesThenSyncsTheFolderKeepingTheMode) {
    TempFolder temp;
    WriteRaw(temp / "Config.dat", "old");
    ASSERT_EQ(chmod((temp / "Config.dat").c_str(), 0640), 0);
    FakeFileWatch watch;
    ASSERT_TRUE(WriteFileAtomic(temp / "config.dat", "new", 3));
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "new");
    struct stat st;
    ASSERT_EQ(stat((temp / "Config.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(watch.Steps("Config.dat", temp.Path()),
              (Steps{Step::CreateTemp, Step::WriteTemp, Step::SyncTemp, Step::CloseTemp, Step::Rename, Step::SyncFolder}));
    const auto log = watch.Log();
    const std::string tempName = log.at(0).path;
    EXPECT_TRUE(tempName.starts_with(temp / ".Config.dat." + std::to_string(getpid()) + "-") &&
                tempName.ends_with(".tmp")) << tempName;
    EXPECT_EQ(log.at(4).path, temp / "Config.dat");

    // An empty file has nothing to write, but is synced all the same.
    watch.Clear();
    ASSERT_TRUE(WriteFileAtomic(temp / "Empty.dat", "", 0));
    EXPECT_EQ(ReadRaw(temp / "Empty.dat"), "");
    EXPECT_EQ(watch.Steps("Empty.dat", temp.Path()),
              (Steps{Step::CreateTemp, Step::SyncTemp, Step::CloseTemp, Step::Rename, Step::SyncFolder}));

    ASSERT_TRUE(CreateDirectory(temp / "Folder.dat"));
    EXPECT_FALSE(WriteFileAtomic(temp / "Folder.dat", "x", 1));
    EXPECT_FALSE(WriteFileAtomic(temp / "missing/Config.dat", "x", 1));
    EXPECT_EQ(Listing(temp.Path()), (Names{"Config.dat", "Empty.dat", "Folder.dat"}));
}

TEST(AtomicFileWrite, AFailureAtAnyStepBeforeTheRenameKeepsTheOldFile) {
    TempFolder temp;
    // The temporary file is closed whatever failed; nothing else follows a failure.
    const Steps all = {Step::CreateTemp, Step::WriteTemp, Step::SyncTemp, Step::CloseTemp, Step::Rename};
    for (size_t failed = 0; failed < all.size(); ++failed) {
        SCOPED_TRACE(failed);
        WriteRaw(temp / "Config.dat", "old");
        FakeFileWatch watch;
        watch.Fail(all[failed]);
        EXPECT_FALSE(WriteFileAtomic(temp / "Config.dat", "new contents", 12));
        EXPECT_EQ(ReadRaw(temp / "Config.dat"), "old");
        EXPECT_EQ(Listing(temp.Path()), Names{"Config.dat"});
        Steps expected(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(failed) + 1);
        if (failed < 3) expected.push_back(Step::CloseTemp);
        EXPECT_EQ(watch.Steps("Config.dat", temp.Path()), expected);
    }
    // Past the rename the new file is whole: a failed folder sync is no failed write.
    FakeFileWatch watch;
    watch.Fail(Step::SyncFolder);
    EXPECT_TRUE(WriteFileAtomic(temp / "Config.dat", "new", 3));
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "new");
    EXPECT_EQ(Listing(temp.Path()), Names{"Config.dat"});
}

TEST(AtomicFileWrite, ShortWritesAreCarriedOn) {
    TempFolder temp;
    FakeFileWatch watch;
    watch.Limit(Step::WriteTemp, 5);
    watch.Limit(Step::WriteTemp, 1, 2);
    ASSERT_TRUE(WriteFileAtomic(temp / "Config.dat", "0123456789", 10));
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "0123456789");
    std::vector<size_t> asked;
    for (const auto& e : watch.Log())
        if (e.step == Step::WriteTemp) asked.push_back(e.bytes);
    EXPECT_EQ(asked, (std::vector<size_t>{10, 5, 4}));
}

TEST(File, ShortAndFailedReadsAndWritesAreReported) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "0123456789");
    FakeFileWatch watch;
    watch.Limit(Step::Read, 4);
    std::string out;
    EXPECT_FALSE(ReadWholeFile(temp / "a.bin", out));
    EXPECT_EQ(out, "");
    ASSERT_TRUE(ReadWholeFile(temp / "a.bin", out));
    EXPECT_EQ(out, "0123456789");

    auto file = OpenFile(temp / "a.bin", "rb");
    char buffer[16];
    watch.Limit(Step::Read, 3);
    EXPECT_EQ(file->Read(buffer, 8), 3u);
    EXPECT_EQ(file->Read(buffer, 8), 7u);   // on from where the short read ended
    EXPECT_EQ(std::string(buffer, 7), "3456789");

    file = OpenFile(temp / "b.bin", "wb");
    watch.Limit(Step::Write, 2);
    EXPECT_EQ(file->Write("abcd", 4), 2u);
    EXPECT_EQ(file->Write("ef", 2), 2u);
    EXPECT_FALSE(file->Close());   // a short write fails the file
}

// A process id that was in use a moment ago and is not now.
pid_t GonePid() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(AtomicFileWrite, RemovesOnlyTheLeftoversOfGoneProcesses) {
    TempFolder temp;
    const std::string gone = std::to_string(GonePid()), live = std::to_string(getppid());

    const Names removed = {".Config.dat." + gone + "-0.tmp", ".Config.dat." + gone + "-12345.tmp"};
    const Names kept = {
        ".Config.dat." + live + "-1.tmp",       // a process still running
        ".Other.dat." + gone + "-1.tmp",        // another file's
        ".Config.dat." + gone + "-1.tmp.x",     // not of the temporary form
        ".Config.dat." + gone + "--1.tmp",
        ".Config.dat.0-1.tmp",                  // 0 would mean the whole process group
        ".Config.dat.99999999999999999999-1.tmp",
    };
    for (const auto& name : removed) WriteRaw(temp / name, "partial");
    for (const auto& name : kept) WriteRaw(temp / name, "partial");
    ASSERT_TRUE(CreateDirectory(temp / (".Config.dat." + gone + "-7.tmp")));   // a folder is left alone

    ASSERT_TRUE(WriteFileAtomic(temp / "Config.dat", "new", 3));
    Names expected = kept;
    expected.insert(expected.end(), {"Config.dat", ".Config.dat." + gone + "-7.tmp"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(temp.Path()), expected);
}

TEST(TempPath, IsTempOrElseTheXdgDataFolderAndHoldsUniqueFiles) {
    TempFolder temp;   // puts TEMP back
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/root";
    const struct { const char *temp, *xdg, *expected; } cases[] = {
        {"/some/where", "/data/home", "/some/where/"},
        {nullptr, "/data/home", "/data/home/Temp/"},
        {nullptr, "relative", "/home/player/.local/share/Temp/"},   // XDG ignores relative paths
        {nullptr, nullptr, "/home/player/.local/share/Temp/"},
    };
    setenv("HOME", "/home/player", 1);
    for (const auto& c : cases) {
        c.temp ? setenv("TEMP", c.temp, 1) : unsetenv("TEMP");
        c.xdg ? setenv("XDG_DATA_HOME", c.xdg, 1) : unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(GetTempFolder(), c.expected);
    }
    setenv("HOME", home.c_str(), 1);   // XDG_DATA_HOME was left unset

    // Nothing is created until temporary files are asked for, each a new one in TEMP.
    setenv("TEMP", temp.Path().c_str(), 1);
    const std::string a = MakeTempFileName();
    EXPECT_NE(MakeTempFileName(), a);
    EXPECT_EQ(a.rfind(temp.Path(), 0), 0u) << a;
    EXPECT_EQ(Listing(temp.Path()).size(), 2u);
}

// A native name with no exact code page 932 form would name another file.
TEST(TempPath, FoldersWithoutACodePage932FormAreRefused) {
    std::string out;
    EXPECT_TRUE(NativeToSystemPath(u8"/ゲーム/ソフト", out));
    EXPECT_EQ(out, "/ゲーム/ソフト");
    for (const char* bad : {u8"/a¥b", u8"/😀", u8"/〜", "/a\\b", "/a\xFF"})
        EXPECT_FALSE(NativeToSystemPath(bad, out)) << bad;

    TempFolder temp;
    const std::string yen = temp / u8"a¥/";
    ASSERT_EQ(mkdir(yen.c_str(), 0777), 0);
    setenv("TEMP", yen.c_str(), 1);
    EXPECT_EQ(GetTempFolder(), "");
    EXPECT_EQ(MakeTempFileName(), "");
    EXPECT_TRUE(Listing(yen).empty());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::kernel

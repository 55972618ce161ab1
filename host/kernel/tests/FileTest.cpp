#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <cstdio>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace host::kernel {
namespace {

using testing::TempFolder;

// Plain POSIX helpers on native paths, so the checks do not go through the
// code under test.
void WriteRaw(const std::string& native, const std::string& bytes) {
    FILE* f = std::fopen(native.c_str(), "wb");
    ASSERT_NE(f, nullptr) << native;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string ReadRaw(const std::string& native) {
    std::string out;
    FILE* f = std::fopen(native.c_str(), "rb");
    if (!f) return "<missing>";
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

std::vector<std::string> Listing(const std::string& native) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(native.c_str())) {
        while (dirent* e = readdir(dir))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(File& file) {
    std::string out;
    char buffer[7];   // odd size: CR LF pairs fall across reads
    size_t n;
    while (out.size() < (1u << 20) && (n = file.Read(buffer, sizeof buffer)) > 0) out.append(buffer, n);
    return out;
}

// ---------------------------------------------------------------- text and binary modes

TEST(File, TextModeReadsCrLfAsLfAndKeepsLoneCr) {
    TempFolder temp;
    WriteRaw(temp / "a.txt", "one\r\ntwo\rthree\r\n\r\nend\r");
    for (const char* mode : {"r", "rt"}) {
        auto file = OpenFile(temp / "a.txt", mode);
        ASSERT_NE(file, nullptr) << mode;
        EXPECT_EQ(ReadAll(*file), "one\ntwo\rthree\n\nend\r") << mode;
        EXPECT_TRUE(file->AtEnd());
    }
}

TEST(File, TextModeJoinsCrLfSplitAcrossReads) {
    TempFolder temp;
    WriteRaw(temp / "a.txt", "a\r\nb\rc\r\n");
    auto file = OpenFile(temp / "a.txt", "rt");
    ASSERT_NE(file, nullptr);
    std::string got;
    char c;
    while (got.size() < 100 && file->Read(&c, 1) == 1) got += c;
    EXPECT_EQ(got, "a\nb\rc\n");
}

TEST(File, TextModeFillsTheWholeRequestWhenPairsShrinkIt) {
    TempFolder temp;
    WriteRaw(temp / "a.txt", "\r\n\r\n\r\nxyz");
    auto file = OpenFile(temp / "a.txt", "rt");
    ASSERT_NE(file, nullptr);
    char buffer[5] = {};
    ASSERT_EQ(file->Read(buffer, 5), 5u);
    EXPECT_EQ(std::string(buffer, 5), "\n\n\nxy");
    // The position is the byte offset in the file, as the Windows runtime's.
    EXPECT_EQ(file->Tell(), 8);
}

TEST(File, BinaryModeKeepsCrLf) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", std::string("x\r\ny\0z", 6));
    auto file = OpenFile(temp / "a.bin", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(*file), std::string("x\r\ny\0z", 6));
}

TEST(File, TextWritesAreNotTranslated) {
    TempFolder temp;
    auto file = OpenFile(temp / "w.txt", "wt");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Write("a\nb\r\n", 5), 5u);
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadRaw(temp / "w.txt"), "a\nb\r\n");
}

TEST(File, ShortReadReturnsTheBytesThatWereThere) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "0123456789");
    auto file = OpenFile(temp / "a.bin", "rb");
    ASSERT_NE(file, nullptr);
    char buffer[100];
    EXPECT_FALSE(file->AtEnd());
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 10u);
    EXPECT_TRUE(file->AtEnd());
    EXPECT_EQ(file->Read(buffer, sizeof buffer), 0u);
}

TEST(File, SeekTellAndSize) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "0123456789");
    auto file = OpenFile(temp / "a.bin", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Size(), 10);
    ASSERT_TRUE(file->Seek(0, SeekOrigin::End));
    EXPECT_EQ(file->Tell(), 10);
    EXPECT_TRUE(file->AtEnd());
    ASSERT_TRUE(file->Seek(3, SeekOrigin::Begin));
    ASSERT_TRUE(file->Seek(2, SeekOrigin::Current));
    char c = 0;
    ASSERT_EQ(file->Read(&c, 1), 1u);
    EXPECT_EQ(c, '5');
    ASSERT_TRUE(file->Seek(-1, SeekOrigin::End));
    ASSERT_EQ(file->Read(&c, 1), 1u);
    EXPECT_EQ(c, '9');
    EXPECT_FALSE(file->Seek(-20, SeekOrigin::Current));
}

TEST(File, SizeCountsBytesNotYetFlushed) {
    TempFolder temp;
    auto file = OpenFile(temp / "a.bin", "wb");
    ASSERT_NE(file, nullptr);
    file->Write("abc", 3);
    EXPECT_EQ(file->Size(), 3);
    EXPECT_EQ(file->Tell(), 3);
}

TEST(File, WriteTruncatesAndAppendAppends) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "old contents");
    auto file = OpenFile(temp / "a.bin", "wb");
    ASSERT_NE(file, nullptr);
    file->Write("new", 3);
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(ReadRaw(temp / "a.bin"), "new");
    file = OpenFile(temp / "a.bin", "ab");
    ASSERT_NE(file, nullptr);
    file->Write("er", 2);
    file.reset();   // the destructor closes too
    EXPECT_EQ(ReadRaw(temp / "a.bin"), "newer");
}

TEST(File, UpdateModeReadsAndWrites) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "abcdef");
    auto file = OpenFile(temp / "a.bin", "r+b");
    ASSERT_NE(file, nullptr);
    char two[2];
    ASSERT_EQ(file->Read(two, 2), 2u);
    EXPECT_EQ(file->Write("XY", 2), 2u);
    ASSERT_TRUE(file->Seek(0, SeekOrigin::Begin));
    char all[6];
    ASSERT_EQ(file->Read(all, 6), 6u);
    EXPECT_EQ(std::string(all, 6), "abXYef");
}

TEST(File, ReadOnlyFileRefusesWrites) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", "abc");
    auto file = OpenFile(temp / "a.bin", "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Write("x", 1), 0u);
}

TEST(File, MissingFileOrFolderDoesNotOpen) {
    TempFolder temp;
    EXPECT_EQ(OpenFile(temp / "missing.bin", "rb"), nullptr);
    EXPECT_EQ(OpenFile(temp / "no/such/folder.bin", "wb"), nullptr);
    EXPECT_EQ(OpenFile(temp.Path(), "rb"), nullptr);   // a folder is no file
    EXPECT_EQ(OpenFile(temp / "x", "q"), nullptr);
}

TEST(File, ReadWholeFile) {
    TempFolder temp;
    WriteRaw(temp / "a.bin", std::string("a\r\n\0b", 5));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(temp / "a.bin", bytes));
    EXPECT_EQ(bytes, std::string("a\r\n\0b", 5));
    EXPECT_FALSE(ReadWholeFile(temp / "missing", bytes));
}

// ---------------------------------------------------------------- paths

TEST(Path, BackslashesSeparateFolders) {
    TempFolder temp;
    ASSERT_EQ(mkdir((temp / "Data").c_str(), 0777), 0);
    WriteRaw(temp / "Data/Scene.gpk", "pack");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(temp / "Data\\Scene.gpk", bytes));
    EXPECT_EQ(bytes, "pack");
    EXPECT_EQ(NativePath("Data\\Scene.gpk"), "Data/Scene.gpk");
}

TEST(Path, NestedPathIsFoundWithoutRegardToCase) {
    TempFolder temp;
    ASSERT_EQ(mkdir((temp / "Resource").c_str(), 0777), 0);
    ASSERT_EQ(mkdir((temp / "Resource/Setting").c_str(), 0777), 0);
    WriteRaw(temp / "Resource/Setting/Chara01.dat", "chara");
    std::string path = temp / "RESOURCE\\setting\\chara01.DAT";
    EXPECT_EQ(NativePath(path), temp / "Resource/Setting/Chara01.dat");
    auto file = OpenFile(path, "rb");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadAll(*file), "chara");
    EXPECT_TRUE(FileExists(path));
    EXPECT_TRUE(DirectoryExists(temp / "resource/SETTING/"));
    EXPECT_EQ(NativePath(temp / "resource\\SETTING\\"), temp / "Resource/Setting/");
    // Below the first missing name nothing can be found; the rest stays as written.
    EXPECT_EQ(NativePath(temp / "resource\\Missing\\CHARA01.dat"), temp / "Resource/Missing/CHARA01.dat");
    EXPECT_FALSE(FileExists(temp / "resource/setting/chara02.dat"));
}

TEST(Path, ExactNameWinsOverACaseVariant) {
    TempFolder temp;
    WriteRaw(temp / "a.txt", "lower");
    WriteRaw(temp / "A.txt", "upper");
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(temp / "A.txt", bytes));
    EXPECT_EQ(bytes, "upper");
    ASSERT_TRUE(ReadWholeFile(temp / "a.txt", bytes));
    EXPECT_EQ(bytes, "lower");
}

TEST(Path, NewFileGoesIntoTheFolderWhoseNameDiffersInCase) {
    TempFolder temp;
    ASSERT_EQ(mkdir((temp / "Save").c_str(), 0777), 0);
    auto file = OpenFile(temp / "SAVE\\New.dat", "wb");
    ASSERT_NE(file, nullptr);
    file->Write("n", 1);
    EXPECT_TRUE(file->Close());
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Save"});
    EXPECT_EQ(ReadRaw(temp / "Save/New.dat"), "n");
}

TEST(Path, WritingACaseVariantReplacesTheExistingFile) {
    TempFolder temp;
    WriteRaw(temp / "Config.dat", "old");
    auto file = OpenFile(temp / "config.DAT", "wb");
    ASSERT_NE(file, nullptr);
    file->Write("new", 3);
    file.reset();
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Config.dat"});
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "new");
}

TEST(Path, JapaneseNamesAndTrailByte5C) {
    TempFolder temp;
    // "ソ" is 0x83 0x5C in code page 932: its second byte is no separator.
    ASSERT_EQ(std::string("ソ"), "\x83\x5C");
    ASSERT_TRUE(CreateDirectory(temp / "セーブ"));
    auto file = OpenFile(temp / "セーブ\\ソフト.dat", "wb");
    ASSERT_NE(file, nullptr);
    file.reset();
    EXPECT_EQ(Listing(temp / u8"セーブ"), std::vector<std::string>{u8"ソフト.dat"});
    EXPECT_EQ(NativePath(temp / "セーブ\\ソフト.dat"), temp / u8"セーブ/ソフト.dat");
}

TEST(Path, RelativePathsFollowTheCurrentDirectory) {
    TempFolder temp;
    std::string before = GetCurrentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(CreateDirectories(temp / "Game/Resource"));
    WriteRaw(temp / "Game/Resource/a.txt", "a");
    ASSERT_TRUE(SetCurrentDirectory(temp / "GAME\\resource\\"));
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile("A.TXT", bytes));
    EXPECT_EQ(GetCurrentDirectory() + "/", temp / "Game/Resource/");
    EXPECT_FALSE(SetCurrentDirectory(temp / "missing"));
    ASSERT_TRUE(SetCurrentDirectory(before));
}

TEST(Path, ProgramFolderHoldsTheRunningTest) {
    std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(FileExists(folder + "host_kernel_tests"));
}

// ---------------------------------------------------------------- folders

TEST(Folder, CreateOneLevelNeedsTheParent) {
    TempFolder temp;
    EXPECT_FALSE(CreateDirectory(temp / "a/b"));
    EXPECT_TRUE(CreateDirectory(temp / "a"));
    EXPECT_TRUE(CreateDirectory(temp / "a"));   // already there counts
    EXPECT_TRUE(CreateDirectory(temp / "A\\b"));
    EXPECT_TRUE(DirectoryExists(temp / "a/b"));
}

TEST(Folder, CreateWithParents) {
    TempFolder temp;
    EXPECT_TRUE(CreateDirectories(temp / "Vantorel\\ORV\\Replay"));
    EXPECT_TRUE(DirectoryExists(temp / "Vantorel/ORV/Replay"));
    EXPECT_TRUE(CreateDirectories(temp / "vantorel/orv/Shot/"));
    EXPECT_EQ(Listing(temp / "Vantorel/ORV"), (std::vector<std::string>{"Replay", "Shot"}));
    WriteRaw(temp / "file", "x");
    EXPECT_FALSE(CreateDirectories(temp / "file/sub"));
}

TEST(Folder, ExistsTellsFilesFromFolders) {
    TempFolder temp;
    WriteRaw(temp / "f", "x");
    EXPECT_TRUE(FileExists(temp / "f"));
    EXPECT_FALSE(DirectoryExists(temp / "f"));
    EXPECT_TRUE(DirectoryExists(temp.Path()));
    EXPECT_FALSE(FileExists(temp.Path()));
    EXPECT_FALSE(FileExists(temp / "g"));
}

TEST(Folder, DeleteFile) {
    TempFolder temp;
    WriteRaw(temp / "Old.rep", "x");
    EXPECT_TRUE(DeleteFile(temp / "old.REP"));
    EXPECT_FALSE(FileExists(temp / "Old.rep"));
    EXPECT_FALSE(DeleteFile(temp / "Old.rep"));
    ASSERT_TRUE(CreateDirectory(temp / "dir"));
    EXPECT_FALSE(DeleteFile(temp / "dir"));
}

TEST(Folder, MoveReplacesTheTarget) {
    TempFolder temp;
    WriteRaw(temp / "from", "new");
    WriteRaw(temp / "To", "old");
    EXPECT_TRUE(MoveFile(temp / "from", temp / "to"));
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"To"});
    EXPECT_EQ(ReadRaw(temp / "To"), "new");
    EXPECT_FALSE(MoveFile(temp / "from", temp / "again"));
}

// A recorded replay moves from the temporary folder into the user's folder,
// which may lie on another file system, where rename cannot go.
TEST(Folder, MoveCrossesFileSystems) {
    TempFolder temp;
    char other[] = "/dev/shm/orv-kernel-XXXXXX";
    struct stat a, b;
    if (!mkdtemp(other)) GTEST_SKIP() << "no /dev/shm";
    std::string from = std::string(other) + "/Replay.tmp";
    WriteRaw(from, "replay");
    if (stat(other, &a) != 0 || stat(temp.Path().c_str(), &b) != 0 || a.st_dev == b.st_dev) {
        unlink(from.c_str());
        rmdir(other);
        GTEST_SKIP() << "/dev/shm is on the same file system as " << temp.Path();
    }
    WriteRaw(temp / "Replay_01.rep", "old");
    EXPECT_TRUE(MoveFile(from, temp / "replay_01.REP"));
    EXPECT_EQ(ReadRaw(temp / "Replay_01.rep"), "replay");
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Replay_01.rep"});
    EXPECT_TRUE(Listing(other).empty());
    unlink(from.c_str());
    rmdir(other);
}

// ---------------------------------------------------------------- atomic writes

TEST(AtomicWrite, ReplacesTheFileAndLeavesNothingElse) {
    TempFolder temp;
    WriteRaw(temp / "Config.dat", "old");
    ASSERT_EQ(chmod((temp / "Config.dat").c_str(), 0640), 0);
    ASSERT_TRUE(WriteFileAtomic(temp / "config.dat", "new contents", 12));
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "new contents");
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Config.dat"});
    struct stat st;
    ASSERT_EQ(stat((temp / "Config.dat").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    ASSERT_TRUE(WriteFileAtomic(temp / "Empty.dat", "", 0));
    EXPECT_EQ(ReadRaw(temp / "Empty.dat"), "");
}

TEST(AtomicWrite, FailsInAMissingFolder) {
    TempFolder temp;
    EXPECT_FALSE(WriteFileAtomic(temp / "missing/Config.dat", "x", 1));
    EXPECT_TRUE(Listing(temp.Path()).empty());
}

// Runs a call in a child process that, when we are root, has dropped to the
// unprivileged user "nobody", so permission bits bind it; the call's answer
// is the exit status.
template <class Call>
bool AsUnprivileged(Call call) {
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(call() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST(AtomicWrite, KeepsTheOldFileWhenTheFolderCannotBeWritten) {
    TempFolder temp;
    ASSERT_EQ(chmod(temp.Path().c_str(), 0755), 0);
    ASSERT_TRUE(CreateDirectory(temp / "locked"));
    WriteRaw(temp / "locked/Config.dat", "old");
    ASSERT_EQ(chmod((temp / "locked/Config.dat").c_str(), 0666), 0);
    ASSERT_EQ(chmod((temp / "locked").c_str(), 0555), 0);
    // The same child can replace a file in a folder it may write, so the
    // failure below comes from the folder alone.
    ASSERT_TRUE(CreateDirectory(temp / "open"));
    ASSERT_EQ(chmod((temp / "open").c_str(), 0777), 0);
    EXPECT_TRUE(AsUnprivileged([&] { return WriteFileAtomic(temp / "open/Config.dat", "new", 3); }));
    EXPECT_FALSE(AsUnprivileged([&] { return WriteFileAtomic(temp / "locked/Config.dat", "new", 3); }));
    chmod((temp / "locked").c_str(), 0755);
    EXPECT_EQ(ReadRaw(temp / "locked/Config.dat"), "old");
    EXPECT_EQ(Listing(temp / "locked"), std::vector<std::string>{"Config.dat"});
}

// A write that fails half-way (here the file size limit, which binds root
// too): the old file stays whole and the temporary file goes.
TEST(AtomicWrite, FailedWriteKeepsTheOldFile) {
    TempFolder temp;
    WriteRaw(temp / "Config.dat", "old");
    std::string big(64 * 1024, 'n');
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WriteFileAtomic(temp / "Config.dat", big.data(), big.size());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadRaw(temp / "Config.dat"), "old");
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Config.dat"});
}

TEST(AtomicWrite, RefusesToReplaceAFolder) {
    TempFolder temp;
    ASSERT_TRUE(CreateDirectory(temp / "Config.dat"));
    EXPECT_FALSE(WriteFileAtomic(temp / "Config.dat", "x", 1));
    EXPECT_TRUE(DirectoryExists(temp / "Config.dat"));
    EXPECT_EQ(Listing(temp.Path()), std::vector<std::string>{"Config.dat"});
}

// ---------------------------------------------------------------- TEMP

class EnvironmentGuard {
public:
    explicit EnvironmentGuard(std::vector<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
        }
    }
    ~EnvironmentGuard() {
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(Temp, IsTempWithASlash) {
    EnvironmentGuard guard({"TEMP"});
    setenv("TEMP", "/some/where", 1);
    EXPECT_EQ(GetTempFolder(), "/some/where/");
    setenv("TEMP", "/some/where/", 1);
    EXPECT_EQ(GetTempFolder(), "/some/where/");
}

TEST(Temp, FallsBackToTheXdgDataFolder) {
    EnvironmentGuard guard({"TEMP", "XDG_DATA_HOME", "HOME"});
    unsetenv("TEMP");
    setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(GetTempFolder(), "/data/home/Temp/");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(GetTempFolder(), "/home/player/.local/share/Temp/");
    setenv("XDG_DATA_HOME", "relative", 1);   // ignored, as the XDG rules say
    EXPECT_EQ(GetTempFolder(), "/home/player/.local/share/Temp/");
}

TEST(Temp, CreatesNothing) {
    TempFolder temp;
    EnvironmentGuard guard({"TEMP"});
    setenv("TEMP", (temp / "NotYet").c_str(), 1);
    EXPECT_EQ(GetTempFolder(), temp / "NotYet/");
    EXPECT_TRUE(Listing(temp.Path()).empty());
}

TEST(Temp, TemporaryFileNamesAreUniqueFilesInTemp) {
    TempFolder temp;
    std::string a = MakeTempFileName(), b = MakeTempFileName();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(temp.Path(), 0), 0u) << a;
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
}

}  // namespace
}  // namespace host::kernel

#include "engine/core/Crc32.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Bit-by-bit CRC-32 without the final inversion, independent of the table.
u32 ReferenceCrc(const std::vector<u32>& fed)
{
    u32 crc = 0xFFFFFFFFu;
    for (u32 v : fed) {
        crc ^= v;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

// The byte rule, spelled out: the absolute value of the signed byte.
u32 AbsoluteOf(u8 b) { return b < 0x80 ? b : 256u - b; }

u32 ReferenceOf(const std::string& bytes)
{
    std::vector<u32> fed;
    for (char c : bytes) fed.push_back(AbsoluteOf(u8(c)));
    return ReferenceCrc(fed);
}

class TempFolder {
public:
    TempFolder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "orv-crc-XXXXXX").string();
        path_ = mkdtemp(name.data()) ? name + "/" : std::string();
    }
    ~TempFolder()
    {
        if (!path_.empty()) std::filesystem::remove_all(path_);
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

std::string WriteFile(const TempFolder& folder, const char* name, const std::string& bytes)
{
    const std::string path = folder.Path() + name;
    auto file = host::kernel::OpenFile(path, "wb");
    EXPECT_TRUE(file);
    if (!file) return path;
    EXPECT_EQ(file->Write(bytes.data(), bytes.size()), bytes.size());
    EXPECT_TRUE(file->Close());
    return path;
}

}  // namespace

// Fixed keys are usable at compile time.
static_assert(Crc32NameKey("abc") == 0xCADBBE3Du);

TEST(Crc32, AsciiKeysAreCrc32WithoutFinalInversion)
{
    EXPECT_EQ(Crc32String("123456789"), 0x340BC6D9u);   // ~0xCBF43926
    EXPECT_EQ(Crc32String("abc"), 0xCADBBE3Du);         // ~0x352441C2
    EXPECT_EQ(Crc32NameKey("123456789"), 0x340BC6D9u);
    EXPECT_EQ(Crc32Buffer("123456789", 9), 0x340BC6D9u);
}

TEST(Crc32, EmptyAndNullGiveTheInitialRegister)
{
    EXPECT_EQ(Crc32String(""), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32String(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32NameKey(nullptr), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32Buffer("abc", 0), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32Buffer(nullptr, 5), 0xFFFFFFFFu);
}

TEST(Crc32, HighBytesFeedTheirAbsoluteValue)
{
    // Hashes of the equivalent low bytes under plain CRC-32 without inversion.
    EXPECT_EQ(Crc32String("\x95\x5C"), 0x5AF242B3u);   // fed as 0x6B 0x5C, "k\"
    EXPECT_EQ(Crc32String("\xFF"), 0x5AFA20E4u);       // fed as 0x01
    EXPECT_EQ(Crc32String("\xC0"), 0x5B2151E2u);       // fed as 0x40, "@"
    EXPECT_EQ(Crc32String("\x80"), 0xC0459352u);       // fed as 128
    EXPECT_EQ(Crc32String("ab\x81" "cd"), Crc32String("ab\x7F" "cd"));
}

TEST(Crc32, EveryByteValueMatchesTheBitwiseReference)
{
    for (int b = 1; b < 256; ++b) {
        const std::string s = std::string("key") + char(b) + "tail";
        EXPECT_EQ(Crc32String(s.c_str()), ReferenceOf(s)) << b;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EXPECT_EQ(Crc32Buffer(all.data(), u32(all.size())), ReferenceOf(all));   // includes a zero byte
}

TEST(Crc32, BufferStringAndNameKeyAgree)
{
    const char* names[] = {"BGMPACK", "Resource/Data\\Scene.gpk", "\x95\x5C\x8E\xA6", "x"};
    for (const char* name : names) {
        const u32 size = u32(std::char_traits<char>::length(name));
        EXPECT_EQ(Crc32String(name), Crc32Buffer(name, size)) << name;
        EXPECT_EQ(Crc32NameKey(name), Crc32String(name)) << name;
        EXPECT_EQ(Crc32Update(Crc32Update(0xFFFFFFFFu, name, 1), name + 1, size - 1), Crc32String(name));
    }
}

TEST(Crc32, FileAgreesWithBuffer)
{
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());

    const std::string text = "Resource/\x95\x5C.dat";
    EXPECT_EQ(Crc32File(WriteFile(folder, "small.bin", text).c_str()), Crc32String(text.c_str()));

    // Longer than one read chunk, with every byte value.
    std::string big;
    for (int i = 0; i < 40000; ++i) big += char((i * 7 + i / 256) & 0xFF);
    EXPECT_EQ(Crc32File(WriteFile(folder, "big.bin", big).c_str()), Crc32Buffer(big.data(), u32(big.size())));
    EXPECT_EQ(Crc32File(WriteFile(folder, "big.bin", big).c_str()), ReferenceOf(big));

    EXPECT_EQ(Crc32File(WriteFile(folder, "empty.bin", "").c_str()), 0xFFFFFFFFu);
}

TEST(Crc32, MissingFileOrNullPathGivesTheInitialRegister)
{
    TempFolder folder;
    EXPECT_EQ(Crc32File((folder.Path() + "missing.bin").c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32File(nullptr), 0xFFFFFFFFu);
}

#include "engine/core/Crc32.h"
#include "engine/core/tests/TestFiles.h"
#include "host/kernel/FakeFileWatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;

// Bit-by-bit CRC-32 without the final inversion, independent of the table,
// fed with the absolute value of each signed byte.
u32 ReferenceOf(const std::string& bytes)
{
    u32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        const u8 b = u8(c);
        crc ^= b < 0x80 ? b : 256u - b;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc;
}

}  // namespace

// Fixed keys are usable at compile time.
static_assert(Crc32NameKey("abc") == 0xCADBBE3Du);

TEST(Crc32, KnownKeysAgreeAcrossEveryEntryPoint)
{
    const struct {
        const char* text;
        u32 key;
    } cases[] = {
        {"123456789", 0x340BC6D9u},  // ~0xCBF43926: plain CRC-32 without the final inversion
        {"abc", 0xCADBBE3Du},
        {"", 0xFFFFFFFFu},
        {"\x95\x5C", 0x5AF242B3u},  // high bytes feed their absolute value: 0x6B 0x5C
        {"\x80", 0xC0459352u},      // 128
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
        const u32 size = u32(std::strlen(c.text));
        EXPECT_EQ(Crc32String(c.text), c.key);
        EXPECT_EQ(Crc32NameKey(c.text), c.key);
        EXPECT_EQ(Crc32Buffer(c.text, size), c.key);
        const u32 head = size > 0 ? 1 : 0;  // fed in two calls
        EXPECT_EQ(Crc32Update(Crc32Update(0xFFFFFFFFu, c.text, head), c.text + head, size - head), c.key);
    }
    for (u32 key : {Crc32String(nullptr), Crc32NameKey(nullptr), Crc32Buffer("abc", 0), Crc32Buffer(nullptr, 5),
             Crc32File(nullptr)})
        EXPECT_EQ(key, 0xFFFFFFFFu);
}

TEST(Crc32, EveryByteValueMatchesTheBitwiseReference)
{
    for (int b = 1; b < 256; ++b) {
        const std::string s = std::string("key") + char(b) + "tail";
        EXPECT_EQ(Crc32String(s.c_str()), ReferenceOf(s)) << b;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) all += char(b);
    EXPECT_EQ(Crc32Buffer(all.data(), u32(all.size())), ReferenceOf(all));  // includes a zero byte
}

TEST(Crc32, FileAgreesWithTheReference)
{
    TempFolder folder;
    // Longer than one read chunk, with every byte value.
    std::string big;
    for (int i = 0; i < 40000; ++i) big += char((i * 7 + i / 256) & 0xFF);
    EXPECT_EQ(Crc32File(Put(folder / "big.bin", big).c_str()), ReferenceOf(big));
    EXPECT_EQ(Crc32File(Put(folder / "empty.bin", "").c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32File((folder / "missing.bin").c_str()), 0xFFFFFFFFu);
}

// A file that reads short (a disk error, or a file cut while it is read) has
// no CRC: the value of a missing file, never one over part of the bytes.
TEST(Crc32, FileThatReadsShortHasNone)
{
    using host::kernel::FileStep;
    TempFolder folder;
    std::string big(40000, 'x');
    big[39999] = 'y';
    const std::string path = Put(folder / "big.bin", big);
    const struct {
        int nth;     // which read of the file
        size_t got;  // bytes it delivers
    } cases[] = {{1, 0}, {1, 100}, {2, 16383}, {3, 40000 - 2 * 16384 - 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nth);
        host::kernel::FakeFileWatch watch;
        watch.Limit(FileStep::Read, c.got, c.nth);
        EXPECT_EQ(Crc32File(path.c_str()), 0xFFFFFFFFu);
    }
    host::kernel::FakeFileWatch watch;
    watch.Fail(FileStep::Read, 2);
    EXPECT_EQ(Crc32File(path.c_str()), 0xFFFFFFFFu);
    EXPECT_EQ(Crc32File(path.c_str()), ReferenceOf(big));
}

}  // namespace ORV_TEST_FILE_ID

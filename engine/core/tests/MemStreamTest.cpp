#include "engine/core/MemStream.h"

#include "engine/core/tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;

const char kTen[] = "0123456789";

std::string Contents(const CMemStream& stream)
{
    return std::string(reinterpret_cast<const char*>(stream.GetData()), stream.GetSize());
}

}  // namespace

TEST(MemStream, ReadsLikeFreadAndStopsAtTheEnd)
{
    CMemStream stream(kTen, 10);
    char out[16] = {};
    EXPECT_EQ(stream.Read(out, 4, 3), 2u);  // 10 bytes copied, the partial third item too
    EXPECT_EQ(std::memcmp(out, kTen, 10), 0);
    EXPECT_EQ(stream.GetPosition(), 10u);
    EXPECT_EQ(stream.Read(out, 1, 1), 0u);

    stream.Seek(0, 0);
    EXPECT_EQ(stream.Read(out, 2, 3), 3u);
    EXPECT_EQ(stream.GetPosition(), 6u);
    EXPECT_EQ(stream.Read(nullptr, 1, 1), u32(-1));
    EXPECT_EQ(stream.Read(out, 0, 5), 0u);
    EXPECT_EQ(stream.GetPosition(), 6u);

    // 65536 x 65537 wraps to 65536 in 32 bits: a whole "complete" read.
    std::vector<u8> bytes(70000, 7), big(70000);
    CMemStream large(bytes.data(), u32(bytes.size()));
    EXPECT_EQ(large.Read(big.data(), 65536, 65537), 1u);
    EXPECT_EQ(large.GetPosition(), 70000u);
}

TEST(MemStream, SeeksWithClamping)
{
    CMemStream stream(kTen, 10);
    const struct {
        long long offset;
        int origin;
        u32 position;
    } seeks[] = {{-5, 0, 0}, {5, 2, 10}, {-3, 2, 7}, {-2, 1, 5}, {0x100000000ll, 1, 10}, {4, 7, 0}};
    for (const auto& s : seeks) {
        MemStreamSeek(&stream, s.offset, s.origin);
        EXPECT_EQ(stream.GetPosition(), s.position) << s.offset << " from " << s.origin;
    }
    EXPECT_EQ(MemStreamSeek(&stream, -5, 0), 0);
    EXPECT_EQ(MemStreamSeek(nullptr, 0, 0), -1);
}

TEST(MemStream, ServesAsDecoderCallbacks)
{
    CMemStream* stream = CreateMemStream(kTen, 10);
    ASSERT_NE(stream, nullptr);
    char out[8] = {};
    EXPECT_EQ(MemStreamRead(out, 1, 4, stream), 4u);
    EXPECT_EQ(std::string(out, 4), "0123");
    EXPECT_EQ(MemStreamRead(out, 1, 4, nullptr), 0u);
    EXPECT_EQ(MemStreamRead(nullptr, 1, 4, stream), size_t(-1));
    EXPECT_EQ(stream->Clear(), 0u);
    EXPECT_EQ(MemStreamRead(out, 1, 4, stream), 0u);
    stream->DeletingDestructor(1);
}

TEST(MemStream, WritesInPlaceWithoutGrowing)
{
    CMemStream stream(kTen, 10);
    stream.Seek(8, 0);
    EXPECT_EQ(stream.Write("abcd", 1, 4), 2u);
    EXPECT_EQ(Contents(stream), "01234567ab");
    EXPECT_EQ(stream.Write("x", 1, 1), 0u);
    EXPECT_EQ(stream.Write(nullptr, 1, 1), u32(-1));
}

TEST(MemStream, AdoptsAnEngineHeapBlock)
{
    CMemStream stream(kTen, 10);
    stream.Seek(4, 0);
    u8* block = static_cast<u8*>(AlignedAlloc(3, 16));
    std::memcpy(block, "xyz", 3);
    stream.Adopt(block, 3);  // the old data is freed, the block owned
    EXPECT_EQ(stream.GetData(), block);
    EXPECT_EQ(stream.GetPosition(), 0u);
    EXPECT_EQ(Contents(stream), "xyz");
    stream.Adopt(static_cast<u8*>(AlignedAlloc(1, 16)), 0);  // freed: an empty stream
    EXPECT_EQ(stream.GetData(), nullptr);
    EXPECT_EQ(stream.GetSize(), 0u);
}

TEST(MemStream, LoadsWholeFiles)
{
    TempFolder folder;
    const std::string path = Put(folder / "data.bin", "a\r\nb"), empty = Put(folder / "empty.bin", "");
    const struct {
        std::string path;
        const char* mode;
        std::string contents;
    } loads[] = {{path, "rb", "a\r\nb"}, {path, "rt", "a\nb"}, {empty, "rb", ""}};
    for (const auto& l : loads) {
        CMemStream* stream = LoadFileToMemStream(l.path.c_str(), l.mode);
        ASSERT_NE(stream, nullptr) << l.mode;
        EXPECT_EQ(Contents(*stream), l.contents) << l.mode;
        delete stream;
    }
    EXPECT_EQ(LoadFileToMemStream((folder / "missing.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(LoadFileToMemStream(path.c_str(), "wb"), nullptr);  // would empty the file
    EXPECT_EQ(Get(path), "a\r\nb");
}

}  // namespace ORV_TEST_FILE_ID

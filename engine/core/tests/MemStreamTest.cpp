#include "engine/core/MemStream.h"

#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kTen[] = "0123456789";

}  // namespace

TEST(MemStream, ReadsLikeFreadAndStopsAtTheEnd)
{
    CMemStream stream(kTen, 10);
    char out[16] = {};
    EXPECT_EQ(stream.Read(out, 4, 3), 2u);   // 10 bytes copied, the partial third item too
    EXPECT_EQ(std::memcmp(out, kTen, 10), 0);
    EXPECT_EQ(stream.GetPosition(), 10u);
    EXPECT_EQ(stream.Read(out, 1, 1), 0u);

    stream.Seek(0, 0);
    EXPECT_EQ(stream.Read(out, 2, 3), 3u);
    EXPECT_EQ(stream.Read(out, 2, 2), 2u);   // ends exactly at the end
    EXPECT_EQ(stream.GetPosition(), 10u);

    stream.Seek(0, 0);
    EXPECT_EQ(stream.Read(nullptr, 1, 1), u32(-1));
    EXPECT_EQ(stream.Read(out, 0, 5), 0u);
    EXPECT_EQ(stream.GetPosition(), 0u);
}

TEST(MemStream, LargeRequestsDoNotWrap)
{
    // 65536 x 65537 wraps to 65536 in 32 bits: a whole "complete" read.
    std::vector<u8> bytes(70000, 7), out(70000);
    CMemStream stream(bytes.data(), u32(bytes.size()));
    EXPECT_EQ(stream.Read(out.data(), 65536, 65537), 1u);
    EXPECT_EQ(stream.GetPosition(), 70000u);
}

TEST(MemStream, SeeksWithClamping)
{
    CMemStream stream(kTen, 10);
    EXPECT_EQ(MemStreamSeek(&stream, -5, 0), 0);
    EXPECT_EQ(stream.GetPosition(), 0u);
    MemStreamSeek(&stream, 5, 2);
    EXPECT_EQ(stream.GetPosition(), 10u);
    MemStreamSeek(&stream, -3, 2);
    EXPECT_EQ(stream.GetPosition(), 7u);
    MemStreamSeek(&stream, -2, 1);
    EXPECT_EQ(stream.GetPosition(), 5u);
    MemStreamSeek(&stream, 0x100000000ll, 1);
    EXPECT_EQ(stream.GetPosition(), 10u);
    MemStreamSeek(&stream, 4, 7);
    EXPECT_EQ(stream.GetPosition(), 0u);
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
    EXPECT_EQ(stream->GetSize(), 0u);
    EXPECT_EQ(MemStreamRead(out, 1, 4, stream), 0u);
    stream->DeletingDestructor(1);
}

TEST(MemStream, WritesInPlaceWithoutGrowing)
{
    CMemStream stream(kTen, 10);
    stream.Seek(8, 0);
    EXPECT_EQ(stream.Write("abcd", 1, 4), 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.GetData()), 10), "01234567ab");
    EXPECT_EQ(stream.GetSize(), 10u);
    EXPECT_EQ(stream.Write("x", 1, 1), 0u);
    EXPECT_EQ(stream.Write(nullptr, 1, 1), u32(-1));
}

TEST(MemStream, LoadsWholeFiles)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "data.bin", empty = folder / "empty.bin";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, "a\r\nb", 4));
    ASSERT_TRUE(host::kernel::WriteFileAtomic(empty, "", 0));

    CMemStream* stream = LoadFileToMemStream(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream->GetData()), stream->GetSize()), "a\r\nb");
    delete stream;

    stream = LoadFileToMemStream(path.c_str(), "rt");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetSize(), 3u);
    delete stream;

    stream = LoadFileToMemStream(empty.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetSize(), 0u);
    EXPECT_EQ(stream->GetData(), nullptr);
    delete stream;

    EXPECT_EQ(LoadFileToMemStream((folder / "missing.bin").c_str(), "rb"), nullptr);
    EXPECT_EQ(LoadFileToMemStream(path.c_str(), "wb"), nullptr);   // would empty the file
    EXPECT_TRUE(host::kernel::FileExists(path));
    stream = LoadFileToMemStream(path.c_str(), "rb");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->GetSize(), 4u);
    delete stream;
}

#include "engine/graphics/Light.h"

#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

using host::kernel::testing::TempFolder;

namespace {

std::string Read(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    return bytes;
}

// An open file in memory that takes or gives at most `limit` bytes in all,
// while Size claims the whole contents: a disk that fills, a read that ends
// early.
class ShortFile : public host::kernel::File {
public:
    ShortFile(std::string contents, size_t limit) : m_contents(std::move(contents)), m_limit(limit) {}
    size_t Read(void* buffer, size_t bytes) override
    {
        const size_t n = std::min({bytes, m_limit - m_done, m_contents.size() - m_position});
        std::memcpy(buffer, m_contents.data() + m_position, n);
        m_position += n, m_done += n;
        return n;
    }
    size_t Write(const void* buffer, size_t bytes) override
    {
        const size_t n = std::min(bytes, m_limit - m_done);
        m_contents.append(static_cast<const char*>(buffer), n);
        m_done += n;
        return n;
    }
    bool Seek(int64_t, host::kernel::SeekOrigin) override { return false; }
    int64_t Tell() const override { return int64_t(m_position); }
    int64_t Size() const override { return int64_t(m_contents.size()); }
    bool AtEnd() const override { return m_position >= m_contents.size(); }
    bool Close() override { return true; }
    const std::string& Contents() const { return m_contents; }

private:
    std::string m_contents;
    size_t m_limit;
    size_t m_position = 0;
    size_t m_done = 0;
};

std::string F32(f32 v)
{
    std::string out(4, '\0');
    std::memcpy(out.data(), &v, 4);  // the host is little-endian, like the block
    return out;
}

// A light whose every field differs from every other, so a field saved or
// loaded in the wrong place shows.
CLight DistinctLight()
{
    CLight light;
    light.SetName("Lt");
    light.GetPosition()->Set(1.0f, 2.0f, 3.0f);
    light.GetDirection()->Set(4.0f, 5.0f, 6.0f);
    light.SetRange(7.5f);
    light.SetDiffuse(0x11223344);
    light.SetAmbient(0x55667788);
    light.SetSpecular(0x99AABBCC);
    light.SetFlag(0xDD);
    light.GetAttenuation()->Set(8.0f, 9.0f, 10.0f);
    light.GetSpot()->Set(11.0f, 12.0f, 13.0f);
    return light;
}

const std::string kDistinctBlock = std::string("\x03\0\0\0Lt\0", 7) +                       // name
    F32(1) + F32(2) + F32(3) + F32(4) + F32(5) + F32(6) + F32(7.5f) +                         // vectors, range
    std::string("\x44\x33\x22\x11\x88\x77\x66\x55\xCC\xBB\xAA\x99\xDD", 13) +        // colours, flag
    F32(8) + F32(9) + F32(10) + F32(11) + F32(12) + F32(13);                                  // attenuation, spot

}  // namespace

TEST(Light, EveryFieldHasItsPlaceInTheBlock)
{
    ASSERT_EQ(kDistinctBlock.size(), CLight::BlockSize(3));
    TempFolder folder;
    const std::string path = folder / "l.bin";
    CLight light = DistinctLight();
    ASSERT_EQ(light.Save(path.c_str(), nullptr), 1);
    EXPECT_EQ(Read(path), kDistinctBlock);

    // Loaded and saved again: every field came back to its own place.
    CLight loaded;
    ASSERT_EQ(loaded.Load(path.c_str(), nullptr), 1);
    ASSERT_EQ(loaded.Save(path.c_str(), nullptr), 1);
    EXPECT_EQ(Read(path), kDistinctBlock);
}

TEST(Light, ANameAtTheLongestLoadsAndOneLongerDoesNot)
{
    for (u32 length : {CLight::kMaxNameLength, CLight::kMaxNameLength + 1}) {
        std::string block(4, '\0');
        block[0] = char(length), block[1] = char(length >> 8), block[2] = char(length >> 16);
        block += std::string(length - 1, 'n') + '\0' + kDistinctBlock.substr(7);
        ShortFile file(block, block.size());
        CLight light;
        EXPECT_EQ(light.Load(nullptr, &file), length == CLight::kMaxNameLength ? 1 : 0) << length;
        EXPECT_EQ(light.GetNameLength(), length == CLight::kMaxNameLength ? length : 6u);
    }
}

TEST(Light, AWriteOrReadThatEndsEarlyFails)
{
    // Every length the disk may stop at, in an open file.
    const std::string block = kDistinctBlock;
    for (size_t limit = 0; limit < block.size(); ++limit) {
        ShortFile out("", limit);
        EXPECT_EQ(DistinctLight().Save(nullptr, &out), 0) << limit;
        // A file whose size promises the whole block but whose reads stop.
        ShortFile in(block, limit);
        CLight light;
        light.SetRange(-1.0f);
        EXPECT_EQ(light.Load(nullptr, &in), 0) << limit;
        EXPECT_EQ(light.GetRange(), -1.0f);
        EXPECT_STREQ(light.GetName(), "Light");
    }
    ShortFile whole("", block.size());
    EXPECT_EQ(DistinctLight().Save(nullptr, &whole), 1);
    EXPECT_EQ(whole.Contents(), block);
}

TEST(Light, SavesItsBlockAndLoadsItBack)
{
    TempFolder folder;
    const std::string path = folder / "l.bin";
    ASSERT_EQ(CLight().Save(path.c_str(), nullptr), 1);
    const std::string golden = std::string("\x06\0\0\0Light\0", 10) + std::string(28, '\0') +  // vectors, range
        std::string("\xFF\xFF\xFF\xFF\x88\x88\x88\xFF\xBB\xBB\xBB\xFF\0", 13) +             // colours, flag
        std::string("\0\0\x80\x3F", 4) + std::string(20, '\0');                             // (1, 0, 0), (0, 0, 0)
    EXPECT_EQ(Read(path), golden);

    // Blocks follow each other in an open file; an unnamed one stores length 0.
    CLight light;
    light.SetName(nullptr);
    light.SetSpecular(0x12345678);
    auto out = host::kernel::OpenFile(path, "wb");
    ASSERT_EQ(CLight().Save(nullptr, out.get()), 1);
    ASSERT_EQ(light.Save(nullptr, out.get()), 1);
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(Read(path).size(), golden.size() + CLight::BlockSize(0));

    auto in = host::kernel::OpenFile(path, "rb");
    CLight first, loaded;
    ASSERT_EQ(first.Load(nullptr, in.get()), 1);
    EXPECT_EQ(in->Tell(), 75);
    ASSERT_EQ(loaded.Load(nullptr, in.get()), 1);
    EXPECT_TRUE(in->AtEnd());
    EXPECT_EQ(loaded.GetName(), nullptr);
    EXPECT_EQ(loaded.GetSpecular(), 0x12345678u);
}

TEST(Light, RefusesDamagedBlocksAndKeepsItsFields)
{
    TempFolder folder;
    ASSERT_EQ(CLight().Save((folder / "l.bin").c_str(), nullptr), 1);
    const std::string whole = Read(folder / "l.bin");
    auto load = [&](const std::string& bytes) {
        EXPECT_TRUE(host::kernel::WriteFileAtomic(folder / "d.bin", bytes.data(), bytes.size()));
        CLight light;
        light.SetName("Kept");
        light.SetRange(7.0f);
        const i32 result = light.Load((folder / "d.bin").c_str(), nullptr);
        EXPECT_TRUE(result || (light.GetRange() == 7.0f && std::string(light.GetName()) == "Kept"));
        return result;
    };
    EXPECT_EQ(load(whole), 1);
    for (size_t n = 0; n < whole.size(); ++n) EXPECT_EQ(load(whole.substr(0, n)), 0) << n;
    EXPECT_EQ(load(std::string("\xFF\xFF\xFF\x7F", 4) + whole), 0);  // name longer than the file
    std::string unterminated = whole;
    unterminated[9] = '!';
    EXPECT_EQ(load(unterminated), 0);
    EXPECT_EQ(CLight().Save((folder / "no/such.bin").c_str(), nullptr), 0);
}

// The light block against golden bytes laid out field by field, and damaged
// or cut-short blocks read as far as they go.
#include "engine/graphics/Light.h"

#include "engine/core/tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using coretest::Get;
using coretest::MemoryFile;
using coretest::TempFolder;

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

// A disk that takes all of a write but its last byte.
struct OneByteShort : MemoryFile {
    size_t Write(const void* buffer, size_t n) override { return MemoryFile::Write(buffer, n - 1); }
};

TEST(Light, EveryFieldHasItsPlaceInTheBlock)
{
    ASSERT_EQ(kDistinctBlock.size(), CLight::BlockSize(3));
    TempFolder folder;
    const std::string path = folder / "l.bin";
    ASSERT_EQ(DistinctLight().Save(path.c_str(), nullptr), 1);
    EXPECT_EQ(Get(path), kDistinctBlock);

    // Loaded and saved again: every field came back to its own place.
    CLight loaded;
    ASSERT_EQ(loaded.Load(path.c_str(), nullptr), 1);
    ASSERT_EQ(loaded.Save(path.c_str(), nullptr), 1);
    EXPECT_EQ(Get(path), kDistinctBlock);
    EXPECT_EQ(CLight().Save((folder / "no/such.bin").c_str(), nullptr), 0);
    OneByteShort full;
    EXPECT_EQ(loaded.Save(nullptr, &full), 0);
}

// Whatever name Save writes, Load reads back.
TEST(Light, ALongNameSavedLoadsBack)
{
    TempFolder folder;
    const std::string path = folder / "long.bin";
    for (const size_t length : {size_t(0x10000), size_t(0x10001), size_t(300000)}) {
        CLight light = DistinctLight();
        const std::string name(length, 'n');
        light.SetName(name.c_str());
        ASSERT_EQ(light.Save(path.c_str(), nullptr), 1);
        CLight loaded;
        ASSERT_EQ(loaded.Load(path.c_str(), nullptr), 1) << length;
        EXPECT_EQ(std::string(loaded.GetName()), name);
        EXPECT_EQ(loaded.GetSpot()->z, 13.0f);
    }
}

TEST(Light, TheDefaultsAndAnUnnamedLightFollowEachOtherInAnOpenFile)
{
    const std::string golden = std::string("\x06\0\0\0Light\0", 10) + std::string(28, '\0') +  // vectors, range
        std::string("\xFF\xFF\xFF\xFF\x88\x88\x88\xFF\xBB\xBB\xBB\xFF\0", 13) +             // colours, flag
        std::string("\0\0\x80\x3F", 4) + std::string(20, '\0');                             // (1, 0, 0), (0, 0, 0)
    CLight unnamed;
    unnamed.SetName(nullptr);
    unnamed.SetSpecular(0x12345678);
    MemoryFile out;
    ASSERT_EQ(CLight().Save(nullptr, &out), 1);
    ASSERT_EQ(unnamed.Save(nullptr, &out), 1);
    // An unnamed light stores length 0.
    std::string second = std::string(4, '\0') + golden.substr(10);
    second.replace(4 + 36, 4, "\x78\x56\x34\x12");
    ASSERT_EQ(out.Bytes(), golden + second);

    MemoryFile in(out.Bytes());
    CLight first, loaded;
    ASSERT_EQ(first.Load(nullptr, &in), 1);
    EXPECT_EQ(in.Tell(), 75);
    ASSERT_EQ(loaded.Load(nullptr, &in), 1);
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(loaded.GetName(), nullptr);
    EXPECT_EQ(loaded.GetSpecular(), 0x12345678u);
}

TEST(Light, NamesPastTheFileAreCutAndNamesWithoutTheirEndAreEnded)
{
    // A long name the file holds, one whose length takes every byte left
    // (no field after it), one a byte past the file (what the file holds,
    // ended), and ones without their NUL, the fields after them read all
    // the same.
    const auto named = [](u32 length, char last, u32 claimed) {
        return coretest::U32(claimed) + std::string(length - 1, 'n') + last + kDistinctBlock.substr(7);
    };
    const u32 all = 0x10001 + 65;
    const struct {
        std::string bytes;
        i32 result;
        u32 nameLength;
        char last;
        u32 diffuse;
    } rows[] = {
        {named(0x10001, '\0', 0x10001), 1, 0x10001, 'n', 0x11223344},
        {named(0x10001, '\0', all), 1, all + 1, '\x41', 0xFFFFFFFF},   // ends in spot's last byte
        {named(0x10001, '\0', all + 1), 1, all + 1, '\x41', 0xFFFFFFFF},
        {named(0x10001, '\0', 0xFFFFFFFF), 1, all + 1, '\x41', 0xFFFFFFFF},
        {named(3, '!', 3), 1, 4, '!', 0x11223344},
        {named(1, '!', 1), 1, 2, '!', 0x11223344},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.nameLength);
        MemoryFile file(row.bytes);
        CLight light;
        EXPECT_EQ(light.Load(nullptr, &file), row.result);
        ASSERT_EQ(light.GetNameLength(), row.nameLength);
        EXPECT_EQ(light.GetName()[row.nameLength - 2], row.last);
        EXPECT_EQ(light.GetName()[row.nameLength - 1], '\0');
        EXPECT_EQ(light.GetDiffuse(), row.diffuse);
        if (row.result) {
            EXPECT_EQ(file.Tell(), int64_t(row.bytes.size()));
        }
    }
}

// A block cut short keeps the fields past its end as they were: one cut
// inside its name length leaves the light as it was, one cut inside its
// name takes the part of the name there.
TEST(Light, ABlockCutShortReadsTheFieldsItHolds)
{
    CLight before;
    before.SetName("Lt");
    before.SetRange(-1.0f);
    MemoryFile out;
    ASSERT_EQ(before.Save(nullptr, &out), 1);
    const std::string kept = out.Bytes();
    // Where each field after the name ends: the flag is the only odd one.
    const auto wholeFields = [](size_t limit) {
        const size_t flagEnd = 48;
        return limit >= flagEnd ? flagEnd + (limit - flagEnd) / 4 * 4 : 7 + (limit - 7) / 4 * 4;
    };
    ASSERT_EQ(wholeFields(kDistinctBlock.size()), kDistinctBlock.size());

    // Every length a read may stop at, whether the file's size says so or
    // promises the whole block.
    for (const bool liar : {false, true}) {
        for (size_t limit = 0; limit < kDistinctBlock.size(); ++limit) {
            SCOPED_TRACE(testing::Message() << limit << (liar ? " claiming all" : ""));
            MemoryFile in(kDistinctBlock.substr(0, limit));
            if (liar) in.claimed = int64_t(kDistinctBlock.size());
            CLight light = before;
            if (limit < 7) {
                EXPECT_EQ(light.Load(nullptr, &in), 1);
                EXPECT_EQ(in.Tell(), int64_t(limit));
                EXPECT_STREQ(light.GetName(), limit < 4 ? "Lt" : kDistinctBlock.substr(4, limit - 4).c_str());
                MemoryFile again;
                ASSERT_EQ(light.Save(nullptr, &again), 1);
                EXPECT_EQ(again.Bytes().substr(again.Bytes().size() - (kept.size() - 7)), kept.substr(7));
                continue;
            }
            ASSERT_EQ(light.Load(nullptr, &in), 1);
            EXPECT_EQ(in.Tell(), int64_t(limit));
            MemoryFile again;
            ASSERT_EQ(light.Save(nullptr, &again), 1);
            const size_t taken = wholeFields(limit);
            EXPECT_EQ(again.Bytes(), kDistinctBlock.substr(0, taken) + kept.substr(taken));
        }
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

#include "engine/graphics/Light.h"

#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

using host::kernel::testing::TempFolder;

namespace {

std::string Read(const std::string& path)
{
    std::string bytes;
    EXPECT_TRUE(host::kernel::ReadWholeFile(path, bytes));
    return bytes;
}

}  // namespace

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
    light.GetSpot()->Set(0.25f, 10.0f, 20.0f);
    light.SetSpecular(0x12345678);
    light.SetFlag(1);
    auto out = host::kernel::OpenFile(path, "wb");
    ASSERT_EQ(CLight().Save(nullptr, out.get()), 1);
    ASSERT_EQ(light.Save(nullptr, out.get()), 1);
    ASSERT_TRUE(out->Close());
    EXPECT_EQ(Read(path).size(), golden.size() + CLight::BlockSize(0));

    auto in = host::kernel::OpenFile(path, "rb");
    CLight first, loaded;
    ASSERT_EQ(first.Load(nullptr, in.get()), 1);
    EXPECT_EQ(in->Tell(), 75);
    EXPECT_STREQ(first.GetName(), "Light");
    ASSERT_EQ(loaded.Load(nullptr, in.get()), 1);
    EXPECT_TRUE(in->AtEnd());
    EXPECT_EQ(loaded.GetName(), nullptr);
    EXPECT_EQ(loaded.GetNameLength(), 0u);
    EXPECT_EQ(loaded.GetSpot()->z, 20.0f);
    EXPECT_EQ(loaded.GetSpecular(), 0x12345678u);
    EXPECT_EQ(loaded.GetFlag(), 1);
    EXPECT_EQ(loaded.GetAttenuation()->x, 1.0f);
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
    EXPECT_EQ(CLight().Load((folder / "none.bin").c_str(), nullptr), 0);
    EXPECT_EQ(CLight().Save((folder / "no/such.bin").c_str(), nullptr), 0);
}

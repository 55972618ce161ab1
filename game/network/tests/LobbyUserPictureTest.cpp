// A lobby user's picture: the header checks made before decoding, the
// record's SetPicture, and the detail arriving on the receive thread while
// the main thread copies the record out to draw it.
#include "engine/graphics/tests/DeviceTestSupport.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyUserPicture.h"
#include "game/network/tests/LobbyDoubles.h"
#include "host/image/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace ORV_TEST_FILE_ID {

using namespace lobby;
using namespace lobby_test;

namespace {

// A real BMP of width x height from the project's image writer.
std::vector<u8> Bmp(u32 width, u32 height)
{
    std::vector<uint32_t> pixels(size_t(width) * height, 0xFF336699u);
    std::vector<u8> out;
    host::image::WriteBmp24(pixels.data(), width, height, size_t(width) * 4, out);
    return out;
}

// A small PNG that claims width x height in its header: all it takes to
// make a texture loader allocate.
std::vector<u8> PngClaiming(u32 width, u32 height, u32 size = 2048)
{
    std::vector<u8> p(std::max(size, 24u), 0);
    const u8 head[16] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    std::memcpy(p.data(), head, 16);
    const u8 sides[8] = {u8(width >> 24), u8(width >> 16), u8(width >> 8), u8(width),
                         u8(height >> 24), u8(height >> 16), u8(height >> 8), u8(height)};
    std::memcpy(p.data() + 16, sides, 8);
    p.resize(size);
    return p;
}

std::vector<u8> Jpeg(u32 width, u32 height)
{
    // SOI, an APP0 of 16 bytes, then a baseline frame header.
    std::vector<u8> j = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16};
    j.resize(j.size() + 14, 0);
    const u8 sof[] = {0xFF, 0xC0, 0, 17, 8, u8(height >> 8), u8(height), u8(width >> 8), u8(width), 3};
    j.insert(j.end(), sof, sof + sizeof sof);
    j.resize(j.size() + 9, 0);
    return j;
}

std::vector<u8> Tga(u32 width, u32 height)
{
    std::vector<u8> t(18 + width * height * 3, 0);
    t[2] = 2;
    PutLe16(t.data() + 12, u16(width));
    PutLe16(t.data() + 14, u16(height));
    t[16] = 24;
    return t;
}

TEST(LobbyUserPicture, HeaderSizes)
{
    std::vector<u8> topDown = Bmp(5, 3);
    PutLe32(topDown.data() + 22, u32(-3));
    std::vector<u8> dds(128, 0);
    std::memcpy(dds.data(), "DDS ", 4);
    PutLe32(dds.data() + 12, 40);
    PutLe32(dds.data() + 16, 30);
    std::vector<u8> jpegCut = Jpeg(64, 48);
    jpegCut.resize(24);   // ends inside the frame header
    const struct {
        const char* what;
        std::vector<u8> bytes;
        bool found;
        u32 width, height;
    } cases[] = {
        {"bmp", Bmp(5, 3), true, 5, 3},
        {"bmp rows top first", topDown, true, 5, 3},
        {"png", PngClaiming(4096, 16), true, 4096, 16},
        {"png cut in its header", PngClaiming(4, 4, 20), false, 0, 0},
        {"dds", dds, true, 30, 40},
        {"jpeg past a segment", Jpeg(640, 480), true, 640, 480},
        {"jpeg cut", jpegCut, false, 0, 0},
        {"tga", Tga(2, 7), true, 2, 7},
        {"garbage", std::vector<u8>(64, 0x7E), false, 0, 0},
        {"one byte", {0xFF}, false, 0, 0},
    };
    for (const auto& c : cases) {
        u32 w = 0, h = 0;
        EXPECT_EQ(ReadPictureSize(c.bytes.data(), u32(c.bytes.size()), &w, &h), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(w, c.width) << c.what;
            EXPECT_EQ(h, c.height) << c.what;
        }
    }
}

// The image loader's own limits: a side up to 16384, 2^26 pixels, also once
// each side is stretched to a power of two; at most what a detail carries.
TEST(LobbyUserPicture, LimitsRefuseBeforeDecoding)
{
    std::vector<u8> huge = Bmp(4, 4);
    huge.resize(kMaxPictureBytes + 1, 0);
    std::vector<u8> atLimit = Bmp(4, 4);
    atLimit.resize(kMaxPictureBytes, 0);
    const struct {
        const char* what;
        std::vector<u8> bytes;
        bool allowed;
    } cases[] = {
        {"small bmp", Bmp(8, 8), true},
        {"a photo", PngClaiming(1280, 960), true},
        {"a tall photo", Jpeg(960, 1280), true},
        {"at the side limit", PngClaiming(16384, 4096), true},
        {"one column over", PngClaiming(16385, 1), false},
        {"one row over", PngClaiming(1, 16385), false},
        {"no columns", PngClaiming(0, 16), false},
        {"pixels at the limit once stretched", PngClaiming(8193, 4096), true},
        {"pixels over the limit once stretched", PngClaiming(8193, 4097), false},
        {"pixels over the limit", PngClaiming(8192, 8193), false},
        {"all a detail carries", atLimit, true},
        {"more than a detail carries", huge, false},
        {"unreadable header", std::vector<u8>(64, 0x7E), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureAllowed(c.bytes.data(), u32(c.bytes.size())), c.allowed) << c.what;
    EXPECT_EQ(kMaxPictureBytes, kMaxPayload - kUserDetailBytes);
}

// Without a device the load fails: the bytes stay, the texture is empty
// and nothing is drawn.
TEST(LobbyUserPicture, SetPictureKeepsReplacesAndReleases)
{
    LobbyUserRecord user;
    const std::vector<u8> first = Bmp(4, 4);
    const std::vector<u8> second = Bmp(2, 2);
    EXPECT_EQ(user.SetPicture(nullptr, 10), 0);
    EXPECT_FALSE(user.picture);

    EXPECT_EQ(user.SetPicture(first.data(), u32(first.size())), 0);   // no device: load fails
    ASSERT_TRUE(user.picture);
    EXPECT_EQ(user.PictureBytes(), first.size());
    EXPECT_EQ(LoadedTexture(user), nullptr);
    EXPECT_EQ(user.picture->texture.GetTexture(), nullptr);

    std::weak_ptr<const LobbyPicture> old = user.picture;
    std::vector<u8> tooLong = first;
    tooLong.resize(kMaxPictureBytes + 1, 0);
    EXPECT_EQ(user.SetPicture(tooLong.data(), u32(tooLong.size())), 0);
    EXPECT_FALSE(old.expired());   // more than a detail carries: nothing changes
    const std::vector<u8> tooWide = PngClaiming(16385, 4);
    EXPECT_EQ(user.SetPicture(tooWide.data(), u32(tooWide.size())), 0);
    EXPECT_TRUE(old.expired());    // past the loader's limits: replaced, not decoded
    EXPECT_EQ(user.PictureBytes(), tooWide.size());
    EXPECT_FALSE(user.picture->loaded);
    old = user.picture;
    EXPECT_EQ(user.SetPicture(second.data(), 0), 0);
    EXPECT_TRUE(old.expired());    // size 0 releases it
    EXPECT_FALSE(user.picture);

    user.SetPicture(first.data(), u32(first.size()));
    const std::weak_ptr<const LobbyPicture> replaced = user.picture;
    user.SetPicture(second.data(), u32(second.size()));
    EXPECT_TRUE(replaced.expired());   // nothing of the first remains
    EXPECT_EQ(user.PictureBytes(), second.size());
}

class LobbyUserPictureDevice : public device_test::DeviceTest {};

TEST_F(LobbyUserPictureDevice, LoadedPictureIsTheTextureToDraw)
{
    CreateDevice();
    LobbyUserRecord user;
    std::memcpy(user.data + kUserNameAt, "nine", 5);
    const std::vector<u8> bmp = Bmp(3, 5);
    ASSERT_EQ(user.SetPicture(bmp.data(), u32(bmp.size())), 1);
    CTexture* texture = LoadedTexture(user);
    ASSERT_NE(texture, nullptr);
    EXPECT_NE(texture->GetTexture(), nullptr);
    EXPECT_EQ(texture->GetWidth(), 3u);
    EXPECT_EQ(texture->GetHeight(), 5u);
    EXPECT_STREQ(texture->GetName(), "nine");
    // A file the decoder refuses although its header passed.
    std::vector<u8> broken = bmp;
    broken.resize(40);
    EXPECT_EQ(user.SetPicture(broken.data(), u32(broken.size())), 0);
    EXPECT_EQ(user.PictureBytes(), 40u);
    EXPECT_EQ(LoadedTexture(user), nullptr);
}

// The detail (1015) is applied on the receive thread while the main thread
// copies the record out, as a drawing screen does: the copy's picture stays
// whole while a newer one replaces it.
TEST_F(LobbyUserPictureDevice, DetailsOnTheReceiveThreadAgainstCopies)
{
    CreateDevice();
    RecordingScreens::Shared screens;
    RecordingPeerSide::Shared peers;
    CLobbyClient client{nullptr};
    ASSERT_EQ(CreateRecorded(client, screens, peers), 1);
    auto deliver = [&](u16 type, std::vector<u8> payload) {
        ScrambleLobby(payload.data(), payload.size(), client.GetPayloadKey());
        return client.Dispatch(type, kStatusSuccess, payload.data(), u32(payload.size()));
    };
    ASSERT_EQ(deliver(kHandshake, {'~', 0x44}), 1);
    ASSERT_EQ(deliver(kLoginResult, UserDetailBytes(7, "me", "")), 1);
    ASSERT_EQ(deliver(kUsersAdded, UserEntryBytes(9, "nine")), 1);

    constexpr int kDetails = 60;
    std::atomic<int> sent{0};
    std::thread receive([&] {
        for (int i = 0; i < kDetails; ++i) {
            const std::vector<u8> bmp = Bmp(1 + i % 4, 2);
            std::vector<u8> d = UserDetailBytes(9, "nine", "p", i32(bmp.size()), 0);
            d.insert(d.end(), bmp.begin(), bmp.end());
            deliver(kUserDetail, d);
            sent = i + 1;
        }
    });
    u32 seen = 0;
    for (int spins = 0; spins < 200000 && sent.load() < kDetails; ++spins) {
        LobbyUserRecord copy;
        if (!client.GetUser(9, &copy) || !copy.picture) continue;
        const CTexture* texture = LoadedTexture(copy);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->GetHeight(), 2u);
        EXPECT_EQ(copy.PictureBytes(), copy.picture->bytes.size());
        ++seen;
    }
    receive.join();
    EXPECT_EQ(sent.load(), kDetails);
    LobbyUserRecord last;
    ASSERT_TRUE(client.GetUser(9, &last));
    ASSERT_NE(LoadedTexture(last), nullptr);
    EXPECT_EQ(LoadedTexture(last)->GetWidth(), u32(1 + (kDetails - 1) % 4));
    // A later detail without a picture keeps it.
    ASSERT_EQ(deliver(kUserDetail, UserDetailBytes(9, "nine", "p", -5)), 1);
    ASSERT_TRUE(client.GetUser(9, &last));
    EXPECT_NE(LoadedTexture(last), nullptr);
    client.Destroy();
    (void)seen;
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

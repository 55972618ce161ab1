// The user information window in a running game: what it draws from the
// fake render device's log, the kick rules, and a user deleted while shown.
#include "engine/graphics/GraphicDevice.h"
#include "game/network/LobbyUserInformation.h"
#include "game/network/LobbyUserPicture.h"
#include "game/network/tests/LobbySceneHarness.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "host/image/Image.h"

namespace lobby_user_information_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby;
using namespace lobby_scene_test;
using namespace lobby_screen;

namespace {

using lobby_test::kOwnId;
constexpr u32 kOtherId = 9;

TEST(UserInformationTexts, RecordColumnSumsInSixtyFourBits)
{
    const struct {
        u32 first, second, third;
        const char* sum;
        const char* rate;
    } cases[] = {
        {0, 0, 0, "0", "0\x81\x93"},   // no results: no division
        {1, 1, 1, "3", "33\x81\x93"},
        {5, 0, 0, "5", "100\x81\x93"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, "12884901885", "33\x81\x93"},
        {0xFFFFFFFFu, 1, 0, "4294967296", "99\x81\x93"},
    };
    for (const auto& c : cases) {
        LobbyUserRecord user;
        PutLe32(user.data + kListNumberAt, 4);
        PutLe32(user.data + kFirstCountAt, c.first);
        PutLe32(user.data + kSecondCountAt, c.second);
        PutLe32(user.data + kThirdCountAt, c.third);
        PutLe32(user.data + kLastNumberAt, 77);
        const std::vector<std::string> texts = UserRecordTexts(user);
        EXPECT_EQ(texts, (std::vector<std::string>{"4", c.sum, std::to_string(c.first), std::to_string(c.second),
                                                   std::to_string(c.third), c.rate, "77"}));
        RoomMember member = {};
        member.results[0] = c.first;
        member.results[1] = c.second;
        member.results[2] = c.third;
        EXPECT_EQ(MemberRecordTexts(member)[1], c.sum);
        EXPECT_EQ(MemberRecordTexts(member)[5], c.rate);
    }
}

// The list number as the lists show it: signed.
TEST(UserInformationTexts, ListNumberSigned)
{
    const struct {
        u32 stored;
        const char* shown;
    } cases[] = {
        {0, "0"}, {45, "45"}, {0x7FFFFFFFu, "2147483647"}, {0xFFFFFFFFu, "-1"}, {0x80000000u, "-2147483648"},
    };
    for (const auto& c : cases) {
        LobbyUserRecord user;
        PutLe32(user.data + kListNumberAt, c.stored);
        EXPECT_EQ(UserRecordTexts(user)[0], c.shown) << c.stored;
    }
}

class UserInformationRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        run.quietScreens = true;
        ASSERT_TRUE(run.Start());
        Deliver(kHandshake, {'~', 0x44});
        Deliver(kLoginResult, lobby_test::UserDetailBytes(kOwnId, "me", ""));
        std::vector<u8> entries = lobby_test::UserEntryBytes(kOwnId, "me");
        const std::vector<u8> other = lobby_test::UserEntryBytes(kOtherId, "nine");
        entries.insert(entries.end(), other.begin(), other.end());
        Deliver(kUsersAdded, entries);
        run.client.SetScreen(u32(LobbyLayer::kLobby));
    }

    void Deliver(u16 type, std::vector<u8> payload)
    {
        ScrambleLobby(payload.data(), payload.size(), run.client.GetPayloadKey());
        ASSERT_EQ(run.client.Dispatch(type, kStatusSuccess, payload.data(), u32(payload.size())), 1) << type;
    }
    // The detail (1015) of the other user, with a picture when given.
    void Detail(const std::vector<u8>& picture, u32 listNumber = 0)
    {
        std::vector<u8> d = lobby_test::UserDetailBytes(kOtherId, "nine", "a comment", i32(picture.size()));
        PutLe32(d.data() + 29, listNumber);
        d.insert(d.end(), picture.begin(), picture.end());
        Deliver(kUserDetail, d);
    }
    // Puts the other user in this player's room, hosted by hostId.
    void ShareRoom(u32 hostId, bool withOther)
    {
        LobbyRoomRecord* room = run.Context().state.ownRoom;
        ASSERT_NE(room, nullptr);
        PutLe32(room->data + kHostEntryAt, hostId);
        PutLe16(room->data + kMemberBlockAt, 2);
        PutLe32(room->data + kMemberEntriesAt, kOwnId == hostId ? kOtherId : kOwnId);
        if (!withOther) PutLe32(room->data + kMemberEntriesAt, 12345);
        run.client.SetRoomHost(hostId == kOwnId, 0);
    }
    CLobbyUserInformation& Window()
    {
        return *static_cast<CLobbyUserInformation*>(run.Set().Scene(LobbyLayer::kUserInformation));
    }
    std::vector<std::string> Layers() { return run.DrawnNames(scene_data::UserInformationLayers()); }
    // Sprites drawn with the texture, last frame: their corners.
    std::vector<CRect4> SpritesOf(const CTexture* texture)
    {
        std::vector<CRect4> rects;
        const u64 id = run.game.Render().IdOf(texture->GetTexture());
        for (const host::render::Call& call : run.game.RenderLog()) {
            SpriteVertex v[4];
            if (call.op != "DrawPrimitiveUP" || call.data.size() != sizeof v || u64(call.Number("texture")) != id)
                continue;
            std::memcpy(static_cast<void*>(v), call.data.data(), sizeof v);
            CRect4 r;
            r.Set(v[0].x, v[2].x, v[0].y, v[2].y);
            rects.push_back(r);
        }
        return rects;
    }
    static std::vector<u8> Bmp(u32 width, u32 height)
    {
        std::vector<uint32_t> pixels(size_t(width) * height, 0xFFCC8844u);
        std::vector<u8> out;
        host::image::WriteBmp24(pixels.data(), width, height, size_t(width) * 4, out);
        return out;
    }
    static std::vector<u8> Png(u32 width, u32 height)
    {
        std::vector<uint32_t> pixels(size_t(width) * height, 0xFF4488CCu);
        std::vector<u8> out;
        host::image::WritePng(pixels.data(), width, height, size_t(width) * 4, out);
        return out;
    }

    LobbySceneRun run;
};

TEST_F(UserInformationRun, PanelWithPictureStretchedOverItsSquare)
{
    Detail(Bmp(16, 8));
    ASSERT_TRUE(Window().IsVisible());
    run.game.Frame();
    EXPECT_EQ(Layers(), (std::vector<std::string>{"Base"}));   // no room: no kick button
    LobbyUserRecord user;
    ASSERT_TRUE(run.client.GetUser(kOtherId, &user));
    const CTexture* picture = LoadedTexture(user);
    ASSERT_NE(picture, nullptr);
    const std::vector<CRect4> drawn = SpritesOf(picture);
    ASSERT_EQ(drawn.size(), 1u);
    const f32 s = std::min(Window().GetSceneState().scaleX, Window().GetSceneState().scaleY);
    const ViewportOrigin origin = GetGraphicDevice()->GetViewportOrigin();
    EXPECT_NEAR(drawn[0].left, 296.0f * s + origin.x, 0.5f);
    EXPECT_NEAR(drawn[0].top, 232.0f * s + origin.y, 0.5f);
    EXPECT_NEAR(drawn[0].right - drawn[0].left, 128.0f * s, 0.5f);
    EXPECT_NEAR(drawn[0].bottom - drawn[0].top, 128.0f * s, 0.5f);
    EXPECT_FALSE(run.Glyphs().empty());
}

// Photos of ordinary sizes are shown; a later picture past the image
// loader's limits replaces the shown one and draws nothing.
TEST_F(UserInformationRun, PhotoSizedPicturesAreShownAndReplaced)
{
    std::vector<u8> tooWide = Png(4, 4);
    PutLe32(tooWide.data() + 16, 0x01400000u);   // big-endian 16385
    const struct {
        const char* what;
        std::vector<u8> bytes;
        u32 width, height;
    } cases[] = {
        {"1280 x 960", Png(1280, 960), 1280, 960},
        {"1025 x 1", Png(1025, 1), 1025, 1},
        {"300 x 2000", Png(300, 2000), 300, 2000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_LE(c.bytes.size(), kMaxPictureBytes);
        Detail(c.bytes);
        run.game.Frame();
        LobbyUserRecord user;
        ASSERT_TRUE(run.client.GetUser(kOtherId, &user));
        EXPECT_EQ(user.PictureBytes(), c.bytes.size());
        const CTexture* picture = LoadedTexture(user);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetWidth(), c.width);
        EXPECT_EQ(picture->GetHeight(), c.height);
        EXPECT_EQ(SpritesOf(picture).size(), 1u);

        Detail(tooWide);
        run.game.Frame();
        EXPECT_TRUE(SpritesOf(picture).empty());   // the old one is gone
        LobbyUserRecord after;
        ASSERT_TRUE(run.client.GetUser(kOtherId, &after));
        EXPECT_EQ(after.PictureBytes(), tooWide.size());
        EXPECT_EQ(LoadedTexture(after), nullptr);
    }
}

// A list number of -1 is drawn in two characters, as 10 is.
TEST_F(UserInformationRun, NegativeListNumberDrawnSigned)
{
    const auto glyphs = [&](u32 listNumber) {
        Detail({}, listNumber);
        EXPECT_TRUE(Window().IsVisible());
        run.game.Frame();
        return run.Glyphs().size();
    };
    const size_t ten = glyphs(10);
    EXPECT_GT(ten, 0u);
    EXPECT_EQ(glyphs(u32(-1)), ten);
    EXPECT_GT(glyphs(1000000000), ten);   // the count sees the number's length
}

TEST_F(UserInformationRun, OnlyALoadedPictureIsDrawn)
{
    std::vector<u8> broken = Bmp(4, 4);
    broken.resize(60);   // header whole, pixels missing: the load fails
    Detail(broken);
    run.game.Frame();
    LobbyUserRecord user;
    ASSERT_TRUE(run.client.GetUser(kOtherId, &user));
    EXPECT_EQ(user.PictureBytes(), 60u);
    EXPECT_EQ(LoadedTexture(user), nullptr);
    ASSERT_TRUE(user.picture);
    // The empty texture has no device texture to draw with.
    EXPECT_EQ(user.picture->texture.GetTexture(), nullptr);
    EXPECT_EQ(Layers(), (std::vector<std::string>{"Base"}));
}

TEST_F(UserInformationRun, KickButtonAndSelectionFollowTheRules)
{
    const struct {
        const char* what;
        u32 shown;       // whose detail
        bool host;
        bool inRoom;
        bool buttonShown;
        bool selectable;
    } cases[] = {
        {"host looks at his member", kOtherId, true, true, true, true},
        {"host looks at himself", kOwnId, true, true, false, false},
        {"guest sees no button", kOtherId, false, true, false, false},
        {"host, user outside the room", kOtherId, true, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShareRoom(c.host ? kOwnId : 55, c.inRoom);
        run.client.SetScreen(u32(LobbyLayer::kRoom));
        Deliver(kUserDetail, lobby_test::UserDetailBytes(c.shown, c.shown == kOwnId ? "me" : "nine", "", 0));
        ASSERT_TRUE(Window().IsVisible());
        run.game.Frame();
        const std::vector<std::string> want =
            c.buttonShown ? std::vector<std::string>{"Base", "taisyutu"} : std::vector<std::string>{"Base"};
        EXPECT_EQ(Layers(), want);
        run.game.Press(menu::kDown);
        EXPECT_EQ(Window().KickSelected(), c.selectable);
        run.game.Press(menu::kDecide);
        // Only a kick the host may make asks first; the rest just closes.
        const bool asks = c.selectable && c.inRoom && c.host;
        EXPECT_EQ(run.Message().IsShowing() && !run.Message().IsAnswered(), asks);
        EXPECT_EQ(Window().IsVisible(), asks);
        if (asks) {
            run.game.Press(menu::kLeft);   // onto yes
            run.game.Press(menu::kDecide);
            EXPECT_FALSE(Window().IsVisible());
        }
        run.Message().Show(28, nullptr);
    }
}

// Keys pressed in one frame each take their step, in order: move, decide,
// cancel. The host looks at a member of his room.
TEST_F(UserInformationRun, KeysPressedInOneFrameEachTakeTheirStep)
{
    const struct {
        const char* what;
        bool selectFirst;               // Down in a frame before
        std::vector<u32> together;      // then these in one frame
        bool selected, asks, visible;
    } cases[] = {
        {"down and decide ask about the kick", false, {menu::kDown, menu::kDecide}, true, true, true},
        {"up and decide leave the kick and close", true, {menu::kUp, menu::kDecide}, false, false, false},
        {"decide and cancel ask, and close the window", true, {menu::kDecide, menu::kCancel}, true, true, false},
        {"decide and cancel without the kick close", false, {menu::kDecide, menu::kCancel}, false, false, false},
        {"down and cancel select and close", false, {menu::kDown, menu::kCancel}, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShareRoom(kOwnId, true);
        run.client.SetScreen(u32(LobbyLayer::kRoom));
        Deliver(kUserDetail, lobby_test::UserDetailBytes(kOtherId, "nine", "", 0));
        ASSERT_TRUE(Window().IsVisible());
        run.game.Frame();
        if (c.selectFirst) run.game.Press(menu::kDown);
        ASSERT_EQ(Window().KickSelected(), c.selectFirst);
        for (u32 code : c.together) run.game.Hold(code, true);
        run.game.Frame();
        for (u32 code : c.together) run.game.Hold(code, false);
        EXPECT_EQ(Window().KickSelected(), c.selected);
        EXPECT_EQ(run.Message().IsShowing() && run.Message().IsCode(kUserKickMessage), c.asks);
        EXPECT_EQ(Window().IsVisible(), c.visible);
        run.game.Frame();
        run.Message().Show(28, nullptr);
        Window().Hide();
    }
}

TEST_F(UserInformationRun, DirectMemberShowsHisEntry)
{
    RoomMember member = {};
    std::memset(member.name, 'M', sizeof member.name);   // unterminated from the wire
    member.results[0] = 2;
    member.results[1] = 2;
    Window().OpenFromMember(member);
    run.game.Frame();
    EXPECT_TRUE(Window().IsVisible());
    EXPECT_EQ(Layers(), (std::vector<std::string>{"Base"}));
    EXPECT_FALSE(run.Glyphs().empty());
    run.game.Press(menu::kCancel);
    EXPECT_FALSE(Window().IsVisible());
}

// 1013 deletes the record on the receive thread: the window holds only the
// id and closes on its next frame.
TEST_F(UserInformationRun, UserDeletedWhileShownClosesTheWindow)
{
    Detail(Bmp(8, 8));
    run.game.Frame();
    ASSERT_TRUE(Window().IsVisible());
    std::vector<u8> id(4);
    PutLe32(id.data(), kOtherId);
    std::thread receive([&] { Deliver(kUserRemoved, id); });
    receive.join();
    run.game.Frame();
    EXPECT_FALSE(Window().IsVisible());
    run.game.Frame();
    EXPECT_TRUE(Layers().empty());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_user_information_test

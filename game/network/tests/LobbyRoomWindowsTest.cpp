// The room information and room creation windows on the lobby client, fed
// server messages as they arrive, drawn on the fake render device.
#include "game/network/LobbyRoomCreate.h"
#include "game/network/LobbyRoomInformation.h"
#include "game/network/tests/LobbySceneHarness.h"
#include "game/scenes/testdata/LobbyRoomWindowsData.h"
#include "host/window/Messages.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace lobby_room_windows_test {

namespace ORV_TEST_FILE_ID {

using namespace lobby;
using namespace lobby_test;
using lobby_scene_test::LobbySceneRun;

namespace {

constexpr u32 kRoomId = 30;

class LobbyRoomWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        run.quietScreens = true;
        ASSERT_TRUE(run.Start());
        ASSERT_EQ(Deliver(kHandshake, kStatusSuccess, {'~', 0x44}), 1);
        std::vector<u8> own = UserDetailBytes(kOwnId, "me", "");
        PutLe32(own.data() + 29, 45);   // list number 45
        ASSERT_EQ(Deliver(kLoginResult, kStatusSuccess, own), 1);
        ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, UserEntryBytes(kOwnId, "me", 45)), 1);
        ASSERT_EQ(Deliver(kUsersAdded, kStatusSuccess, UserEntryBytes(99, "host", 12)), 1);
        ASSERT_EQ(Deliver(kRoomsAdded, kStatusSuccess, RoomEntryBytes(kRoomId)), 1);
        run.client.SetScreen(u32(LobbyLayer::kLobby));
    }
    i32 Deliver(u16 type, u16 status, std::vector<u8> payload)
    {
        ScrambleLobby(payload.data(), payload.size(), run.client.GetPayloadKey());
        return run.client.Dispatch(type, status, payload.data(), u32(payload.size()));
    }
    // The room's detail as the server answers 1009: opens the window.
    void ShowRoom(u8 levelRange, u32 state = 0, std::vector<u32> members = {99})
    {
        std::vector<u8> detail = RoomDataBytes(kRoomId, members, state);
        detail[kLevelRangeAt] = levelRange;
        std::memcpy(detail.data() + kRoomNameAt, "Arena", 5);
        ASSERT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, detail), 1);
    }
    // Down one frame, up the next, so the next press triggers again.
    void Press(u32 code)
    {
        run.game.Press(code);
        run.game.Frame();
    }
    CLobbyRoomInformation& Information()
    {
        return *static_cast<CLobbyRoomInformation*>(run.Set().Scene(LobbyLayer::kRoomInformation));
    }
    CLobbyRoomCreate& Create() { return *static_cast<CLobbyRoomCreate*>(run.Set().Scene(LobbyLayer::kRoomCreate)); }
    std::vector<std::string> DrawnInformation()
    {
        run.game.Frame();
        return run.DrawnNames(scene_data::RoomInformationLayers());
    }
    LobbySceneRun run;
};

using Names = std::vector<std::string>;

TEST_F(LobbyRoomWindows, LevelPictureAndButtonsByRange)
{
    // The index is the server's byte: past the table nothing is drawn for
    // it and nobody may enter.
    struct Case {
        u8 range;
        Names drawn;
    };
    const Case cases[] = {
        {2, {"Base", "40-59", "Btest1", "Broomin1"}},
        {6, {"Base", "40mima"}},            // at most 39: 45 refused
        {12, {"Base", "80-99"}},            // shares the picture of 4
        {13, {"Base", "museigen", "Btest1", "Broomin1"}},
        {14, {"Base"}},
        {255, {"Base"}},
    };
    for (const Case& c : cases) {
        ShowRoom(c.range);
        ASSERT_TRUE(Information().IsOpen()) << int(c.range);
        EXPECT_EQ(DrawnInformation(), c.drawn) << int(c.range);
    }
}

TEST_F(LobbyRoomWindows, CursorHighlightsOneButtonAndWraps)
{
    ShowRoom(13);
    EXPECT_EQ(Information().GetCursor(), CLobbyRoomInformation::kNoAction);
    Press(menu::kDown);
    EXPECT_EQ(Information().GetCursor(), CLobbyRoomInformation::kLineTest);
    EXPECT_EQ(DrawnInformation(), (Names{"Base", "museigen", "Btest2", "Broomin1"}));
    Press(menu::kDown);
    EXPECT_EQ(DrawnInformation(), (Names{"Base", "museigen", "Btest1", "Broomin2"}));
    Press(menu::kUp);
    Press(menu::kUp);
    EXPECT_EQ(Information().GetCursor(), CLobbyRoomInformation::kNoAction);
    // The line test keeps the window; decide on no action closes it.
    Press(menu::kDown);
    Press(menu::kDecide);
    EXPECT_TRUE(Information().IsOpen());
    Press(menu::kUp);
    Press(menu::kDecide);
    EXPECT_FALSE(Information().IsOpen());
}

TEST_F(LobbyRoomWindows, UnjoinableRoomShowsNoButtonsAndDecideCloses)
{
    struct Case {
        const char* what;
        u32 state;
        std::vector<u32> members;
    };
    const Case cases[] = {
        {"battle running", 1, {99}},
        {"full", 0, {99, 1, 2, 3}},
    };
    for (const Case& c : cases) {
        ShowRoom(13, c.state, c.members);
        EXPECT_EQ(DrawnInformation(), (Names{"Base", "museigen"})) << c.what;
        Press(menu::kDown);
        Press(menu::kDecide);
        EXPECT_FALSE(Information().IsOpen()) << c.what;
    }
}

TEST_F(LobbyRoomWindows, RoomLeavingTheListClosesTheWindow)
{
    ShowRoom(13);
    std::vector<u8> id(4);
    PutLe32(id.data(), kRoomId);
    ASSERT_EQ(Deliver(kRoomRemoved, kStatusSuccess, id), 1);
    run.game.Frame();
    EXPECT_FALSE(Information().IsOpen());
}

TEST_F(LobbyRoomWindows, CreateNewRoomRefusesAnEmptyName)
{
    Create().Open(CLobbyRoomCreate::kNewRoom);
    EXPECT_EQ(Create().GetCursor(), CLobbyRoomCreate::kName);
    run.game.Frame();
    for (int i = 0; i < 5; ++i) Press(menu::kDown);
    EXPECT_EQ(Create().GetCursor(), CLobbyRoomCreate::kConfirm);
    Press(menu::kDecide);
    EXPECT_EQ(run.Message().GetCode(), CLobbyRoomCreate::kNoNameCode);
    EXPECT_TRUE(Create().IsOpen());
}

// A field erased with backspace and entered is stored empty; the window
// then takes its keys again (down moves on, cancel closes). An emptied name
// still never reaches the server.
TEST_F(LobbyRoomWindows, CreateStoresAnErasedFieldAndTakesKeysAgain)
{
    const struct {
        const char* what;
        u32 mode;
        i32 line;
        int downs;
    } cases[] = {
        {"name", CLobbyRoomCreate::kNewRoom, CLobbyRoomCreate::kName, 0},
        {"password", CLobbyRoomCreate::kExistingRoom, CLobbyRoomCreate::kPassword, 2},
        {"comment", CLobbyRoomCreate::kExistingRoom, CLobbyRoomCreate::kComment, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        lobby::RoomSettings& settings = Create().Settings();
        std::strcpy(settings.name, "Arena");
        std::strcpy(settings.password, "abc");
        std::strcpy(settings.comment, "hello");
        Create().Open(c.mode);
        run.game.Frame();
        for (int i = 0; i < c.downs; ++i) Press(menu::kDown);
        ASSERT_EQ(Create().GetCursor(), c.line);
        const char* stored = c.line == CLobbyRoomCreate::kName       ? Create().GetSettings().name
                             : c.line == CLobbyRoomCreate::kPassword ? Create().GetSettings().password
                                                                     : Create().GetSettings().comment;
        const std::string before = stored;
        for (size_t i = 0; i < before.size(); ++i)
            run.Ime().HandleMessage(run.Window(), host::window::kWmKeyDown, host::window::kVkBack, 0);
        Press(menu::kDown);   // typing: the keys wait for Enter
        EXPECT_EQ(Create().GetCursor(), c.line);
        EXPECT_EQ(std::string(stored), before);
        run.PressKey(lobby_scene_test::kEnter);
        run.game.Frame();
        EXPECT_STREQ(stored, "");
        Press(menu::kDown);
        EXPECT_EQ(Create().GetCursor(), c.line + 1);
        if (c.line == CLobbyRoomCreate::kName) {
            for (int i = 0; i < 4; ++i) Press(menu::kDown);
            ASSERT_EQ(Create().GetCursor(), CLobbyRoomCreate::kConfirm);
            Press(menu::kDecide);
            EXPECT_EQ(run.Message().GetCode(), CLobbyRoomCreate::kNoNameCode);
            run.Message().Show(CLobbyRoomCreate::kNoCode, nullptr);   // the notice read
        }
        Press(menu::kCancel);
        EXPECT_FALSE(Create().IsOpen());
    }
}

TEST_F(LobbyRoomWindows, CreateStepsTheLevelRangeForTheOwnNumber)
{
    Create().Open(CLobbyRoomCreate::kExistingRoom);
    EXPECT_EQ(Create().GetCursor(), CLobbyRoomCreate::kLevel);
    // 45: 0, 1, 3, 4, 6 and 11 refuse it; 5 and 12 are skipped.
    const u8 expected[] = {2, 7, 8, 9, 10, 13, 2};
    for (u8 want : expected) {
        Press(menu::kRight);
        EXPECT_EQ(Create().GetSettings().levelRange, want);
    }
    Press(menu::kLeft);
    EXPECT_EQ(Create().GetSettings().levelRange, 13);
    // Mode 1 never lands on the name.
    Press(menu::kUp);
    EXPECT_EQ(Create().GetCursor(), CLobbyRoomCreate::kConfirm);
    Press(menu::kDown);
    EXPECT_EQ(Create().GetCursor(), CLobbyRoomCreate::kLevel);
    Press(menu::kCancel);
    EXPECT_FALSE(Create().IsOpen());
}

TEST_F(LobbyRoomWindows, CreateDrawsThePictureArrowsAndModeButton)
{
    Create().Open(CLobbyRoomCreate::kExistingRoom);
    run.game.Frame();
    const Names layers = scene_data::RoomCreateLayers();
    EXPECT_EQ(run.DrawnNames(layers), (Names{"Base", "museigen", "sentaku2", "sentaku", "Bvsstart1"}));
    Press(menu::kUp);
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(layers), (Names{"Base", "museigen", "Bvsstart2"}));
    Create().Settings().levelRange = 200;   // none drawn for a bad index
    run.game.Frame();
    EXPECT_EQ(run.DrawnNames(layers), (Names{"Base", "Bvsstart2"}));
}

TEST_F(LobbyRoomWindows, RoomDetailOpensInformationWhenHostingNone)
{
    std::vector<u8> id(4);
    PutLe32(id.data(), kRoomId);
    Create().RoomDetail(CLobbyRoomCreate::kRoomDetailMessage, id.data(), 4);
    EXPECT_TRUE(Information().IsOpen());
    EXPECT_EQ(Information().GetRoomId(), kRoomId);
    EXPECT_FALSE(Create().IsOpen());
    // Too short to carry an id: nothing opens.
    Press(menu::kCancel);
    Create().RoomDetail(CLobbyRoomCreate::kRoomDetailMessage, id.data(), 3);
    EXPECT_FALSE(Information().IsOpen());
}

}  // namespace

namespace {

// The rows of the text drawn last frame (the outline's eight copies left
// out: the text is the colour drawn least), each row's glyph count.
std::vector<size_t> TextRows(const std::vector<lobby_scene_test::Glyph>& glyphs)
{
    std::map<u32, size_t> colours;
    for (const auto& g : glyphs) ++colours[g.colour];
    if (colours.empty()) return {};
    const u32 text = std::min_element(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
                         return a.second < b.second;
                     })->first;
    std::map<i32, size_t> rows;
    for (const auto& g : glyphs)
        if (g.colour == text) ++rows[i32(std::lround(g.y))];
    std::vector<size_t> out;
    for (const auto& [y, n] : rows) out.push_back(n);
    return out;
}

// A room's comment in the line-breaking box: a line feed starts a row and
// is no glyph, a row holds 30 bytes; the name and members draw nothing here.
TEST_F(LobbyRoomWindows, InformationDrawsTheCommentInALineBreakingBox)
{
    const struct {
        std::string comment;
        std::vector<size_t> rows;
    } cases[] = {
        {"abcd\nefgh", {4, 4}},
        {std::string(30, 'a'), {30}},
        {std::string(31, 'a'), {30, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comment);
        std::vector<u8> detail = RoomDataBytes(kRoomId, {555});
        std::memset(detail.data() + kRoomNameAt, 0, kRoomNameField);
        std::memcpy(detail.data() + kRoomCommentAt, c.comment.data(), c.comment.size());
        ASSERT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, detail), 1);
        ASSERT_TRUE(Information().IsOpen());
        run.game.Frame();
        EXPECT_EQ(TextRows(run.Glyphs()), c.rows);
    }
}

// The comment is typed in 4 lines of 30 and stored whole; stored, it is
// drawn in the line-breaking box.
TEST_F(LobbyRoomWindows, CreateTakesACommentOfFourLinesAndDrawsItInABox)
{
    Create().Open(CLobbyRoomCreate::kNewRoom);
    run.game.Frame();
    for (int i = 0; i < 4; ++i) Press(menu::kDown);
    ASSERT_EQ(Create().GetCursor(), CLobbyRoomCreate::kComment);
    CImeInput* ime = run.client.GetImeInput();
    const auto type = [&](const std::string& text) {
        for (char ch : text) ime->HandleMessage(run.Window(), host::window::kWmChar, u8(ch), 0);
    };
    type(std::string(45, 'x'));
    run.PressKey(28);
    run.game.Frame();
    EXPECT_EQ(std::string(Create().GetSettings().comment), std::string(45, 'x'));
    // Four lines of 30 hold 120 bytes: the rest is refused.
    type(std::string(100, 'y'));
    run.PressKey(28);
    run.game.Frame();
    EXPECT_EQ(std::string(Create().GetSettings().comment), std::string(45, 'x') + std::string(75, 'y'));

    std::strcpy(Create().Settings().comment, "abcd\nefgh");
    ime->SetText(Create().Settings().comment);   // as stored: not typing
    Press(menu::kDown);   // off the comment: the stored text is drawn
    ASSERT_EQ(Create().GetCursor(), CLobbyRoomCreate::kConfirm);
    run.game.Frame();
    EXPECT_EQ(TextRows(run.Glyphs()), (std::vector<size_t>{4, 4}));
}

// The server's name field unterminated, running into the state bytes: the
// window draws at most its 20 bytes.
TEST_F(LobbyRoomWindows, UnterminatedRoomNameStaysInsideItsField)
{
    auto glyphsOf = [&](const std::string& name) {
        std::vector<u8> detail = RoomDataBytes(kRoomId, {555}, 0x41414141u);
        std::memset(detail.data() + kRoomNameAt, 0, kRoomNameField);
        std::memcpy(detail.data() + kRoomNameAt, name.data(), name.size());
        EXPECT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, detail), 1);
        run.game.Frame();
        return run.Glyphs().size();
    };
    const size_t twenty = glyphsOf(std::string(20, 'A'));
    EXPECT_GT(twenty, 0u);
    EXPECT_EQ(glyphsOf(std::string(21, 'A')), twenty);
}

}  // namespace

// The members of a room, each in his own row: one the user list does not
// hold leaves his row empty, the rows after stay where they are.
TEST_F(LobbyRoomWindows, InformationLeavesAnUnknownMembersRowEmpty)
{
    std::vector<u8> detail = RoomDataBytes(kRoomId, {99, 555, kOwnId});
    std::memset(detail.data() + kRoomNameAt, 0, kRoomNameField);
    ASSERT_EQ(Deliver(kRoomDetailAsked, kStatusSuccess, detail), 1);
    ASSERT_TRUE(Information().IsOpen());
    run.game.Frame();
    // The text's own glyphs (the outline's copies are the other colour),
    // per row of the member column.
    const std::vector<lobby_scene_test::Glyph> glyphs = run.Glyphs();
    std::map<u32, size_t> colours;
    for (const auto& g : glyphs) ++colours[g.colour];
    ASSERT_FALSE(colours.empty());
    const u32 text = std::min_element(colours.begin(), colours.end(), [](const auto& a, const auto& b) {
                         return a.second < b.second;
                     })->first;
    const f32 s = run.Scale();
    std::map<i32, size_t> rows;
    for (const auto& g : glyphs) {
        if (g.colour != text || g.x < CLobbyRoomInformation::kMemberX * s) continue;
        ++rows[i32(std::floor((g.y / s - CLobbyRoomInformation::kMemberY) / CLobbyRoomInformation::kMemberStep))];
    }
    EXPECT_EQ(rows, (std::map<i32, size_t>{{0, 8}, {2, 6}}));   // "host(12)", none, "me(45)"
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace lobby_room_windows_test

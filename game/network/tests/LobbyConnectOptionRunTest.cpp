#include "game/network/LobbyConnectOption.h"
#include "game/network/tests/LobbyScreensRun.h"
#include "game/scenes/tests/SpritePicture.h"
#include "game/scenes/tests/TextRecogniser.h"

#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace lobby_run;
using namespace lobby_screen;

namespace {


CLobbyConnectOptionScene* Options(Player& p) { return p.Screen<CLobbyConnectOptionScene>(LobbyLayer::kConnectOptions); }

std::string Address(const CLobbyConnectOptionScene* s) { return AddressText(s->GetAddress()); }

}  // namespace

class ConnectOptionRun : public LobbyRun {
protected:
    Player& Start()
    {
        Player& p = AddPlayer(1, 1);
        EXPECT_TRUE(FramesUntil([&] { return p.client.GetScreen() == u32(LobbyLayer::kConnectOptions); }, 60));
        return p;
    }
    void TypeAddress(const std::string& digits)
    {
        for (char c : digits) Key(kDigitKeys[c - '0']);
    }
    void ToRow(CLobbyConnectOptionScene* s, u32 row)
    {
        for (u32 i = 0; i < kRowCount && s->GetRow() != row; ++i) Press(menu::kStickDown);
        ASSERT_EQ(s->GetRow(), row);
    }
};

TEST_F(ConnectOptionRun, DigitsTypedShowInTheirSlotsAndTheCursorBlinks)
{
    Player& p = Start();
    CLobbyConnectOptionScene* s = Options(p);
    ToRow(s, kRowAddress);
    TypeAddress("19216800");
    Key(0x50);   // the keypad's 2 (also a direction code): a digit here, no move
    TypeAddress("2559");   // the last digit stays: 259 would pass 255
    EXPECT_EQ(s->GetRow(), u32(kRowAddress));
    EXPECT_EQ(Address(s), "192.168.2.255");
    EXPECT_EQ(s->GetDigitCursor(), kAddressDigits - 1);
    const std::vector<std::string> drawn = Drawn(scene_data::ConnectOptionLayers());
    const auto at = std::find(drawn.begin(), drawn.end(), "ClientIP");
    ASSERT_LT(at + 12, drawn.end());
    std::string shown;
    for (auto it = at + 1; it != at + 13; ++it) shown += it->substr(it->size() - 1);
    EXPECT_EQ(shown, "192168002255");
    f32 lowest[2] = {1.0f, 1.0f};
    for (u32 i = 0; i < 60; ++i) {
        game.Frame();
        lowest[0] = std::min(lowest[0], FindOutsideDigits(*s, "n12")->GetSettings().offset.colour.w);
        lowest[1] = std::min(lowest[1], FindOutsideDigits(*s, "n1")->GetSettings().offset.colour.w);
    }
    EXPECT_LT(lowest[0], 0.2f);
    EXPECT_FLOAT_EQ(lowest[1], 1.0f);
}

// The keypad's 8 is the default Down and also a digit: the press that
// moves onto the address row types nothing there.
TEST_F(ConnectOptionRun, TheKeyThatMovesOntoTheAddressRowTypesNoDigit)
{
    Player& p = Start();
    CLobbyConnectOptionScene* s = Options(p);
    ASSERT_EQ(s->GetRow(), u32(kRowMode));
    Press(menu::kDown);
    ASSERT_EQ(s->GetRow(), u32(kRowAddress));
    EXPECT_EQ(s->GetDigitCursor(), 0u);
    TypeAddress("127000000001");
    EXPECT_EQ(Address(s), "127.0.0.1");
}

// The screen as drawn, read by tesseract: every row's name down the left,
// whichever row the cursor is on, and the cursor's row lit (the layer's
// orange) where no other row is. Written as ConnectRows<row>.png in the
// test's temporary folder.
TEST_F(ConnectOptionRun, EveryRowIsNamedAndTheCurrentOneLit)
{
    Player& p = Start();
    CLobbyConnectOptionScene* s = Options(p);
    const host::image::Image lobby = sprite_picture::DataSetTexture(scene_data::kLobbyTexture);
    ASSERT_FALSE(lobby.pixels.empty());
    const u32 width = u32(game.App().GetClientWidth()), height = u32(game.App().GetClientHeight());
    const f32 scale = game.App().GetLayoutScale();
    const auto box = [&](u32 row) {
        const f32 y = scene_data::kConnectRowTop + scene_data::kConnectRowStep * f32(row);
        return text_recogniser::Box{u32((scene_data::kConnectRowLeft + 3.0f) * scale), u32((y + 3.0f) * scale),
                                    u32(120.0f * scale), u32(26.0f * scale)};
    };
    for (const u32 row : {u32(kRowMode), u32(kRowStart)}) {
        ToRow(s, row);
        game.Frame();
        const std::vector<u32> frame =
            sprite_picture::Compose(game.RenderLog(), game.Render().IdOf(texture->GetTexture()), lobby, width, height);
        std::vector<std::vector<text_recogniser::Box>> rows;
        for (u32 r = 0; r < kRowCount; ++r) rows.push_back({box(r)});
        const std::string name = ::testing::TempDir() + "ConnectRows" + std::to_string(row) + ".png";
        int status = 0;
        EXPECT_EQ(text_recogniser::ReadBoxes(frame, width, rows, name, &status), "Mode\nAddress\nRecent\nName\nStart\n")
            << "row " << row << "; see " << name;
        ASSERT_NE(status, 127) << "tesseract is not installed (scripts/install-deps.sh installs it)";
        for (u32 r = 0; r < kRowCount; ++r) {
            const text_recogniser::Box b = box(r);
            u32 lit = 0;
            for (u32 y = b.y; y < b.y + b.h; ++y)
                for (u32 x = b.x; x < b.x + b.w; ++x) lit += (frame[y * width + x] & 0xFFFFFFu) == 0xFF9A10u;
            if (r == row) {
                EXPECT_GT(lit, b.w * b.h / 3) << "row " << r << " not lit";
            } else {
                EXPECT_EQ(lit, 0u) << "row " << r << " lit with the cursor on " << row;
            }
        }
    }
}

TEST_F(ConnectOptionRun, JoinRefusesThisMachine)
{
    Player& p = Start();
    CLobbyConnectOptionScene* s = Options(p);
    ToRow(s, kRowStart);
    Press(menu::kDecide);   // 0.0.0.0
    EXPECT_EQ(p.MessageCode(), u32(kEventJoinFailed));
    EXPECT_EQ(recorded.joins.load(), 0u);
}

TEST_F(ConnectOptionRun, AddressListShowsEveryEntryAndHandsTheChosenOneBack)
{
    Player& p = Start();
    IpAddressEntry* recent = p.client.GetAddressList();
    const char* texts[2][4] = {{"010", "000", "000", "007"}, {"1x3", "4", "", ""}};   // hand-edited: no glyph for x
    for (u32 e = 0; e < 2; ++e)
        for (u32 i = 0; i < 4; ++i) std::strncpy(recent[e].octet[i], texts[e][i], 4);
    CLobbyConnectOptionScene* s = Options(p);
    ToRow(s, kRowList);
    Press(menu::kDecide);
    ASSERT_TRUE(s->IsListOpen());
    const std::vector<std::string> layers = scene_data::AddressListLayers();
    std::vector<std::string> drawn = Drawn(layers);
    ASSERT_EQ(drawn.size(), 3u + kRecentCount * 14);
    EXPECT_EQ(std::vector<std::string>(drawn.begin(), drawn.begin() + 3),
              (std::vector<std::string>{"bg02", "Top", "kira"}));
    std::string second;   // entry 2: its number, then its digits
    for (u32 i = 0; i < 14; ++i) second += drawn[3 + 14 + i].substr(drawn[3 + 14 + i].size() - 1);
    EXPECT_EQ(second, "02103400000000");   // NUL shows 0
    Press(menu::kStickDown);
    Press(menu::kDecide);
    game.Frame();
    EXPECT_FALSE(s->IsListOpen());
    EXPECT_EQ(Address(s), "103.400.0.0");
    // Cancel keeps the address as it was.
    Press(menu::kDecide);
    Press(menu::kCancel);
    game.Frame();
    EXPECT_EQ(Address(s), "103.400.0.0");
}

}  // namespace ORV_TEST_FILE_ID

// The network page and the IP address dialog.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <cstring>
#include <vector>

namespace tool_test {
namespace {

namespace dlg = host::dialog;
namespace win = host::window;

constexpr u32 kNetwork = 2;

IpAddressEntry Address(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry e{};
    const char* texts[] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) std::strncpy(e.octet[i], texts[i], 3);
    return e;
}

std::vector<std::string> Lines(Handle list)
{
    std::vector<std::string> lines;
    for (i32 i = 0; i < dlg::ItemCount(list); ++i) lines.push_back(dlg::ItemText(list, i));
    return lines;
}

class NetworkTest : public ToolTest {
protected:
    // The user's part in the next address dialogs: the four octets typed,
    // then OK (or Cancel when ok is false, or after a refusal).
    struct Typing {
        std::vector<std::string> octets;
        bool ok = true;
    };
    void WillType(std::vector<Typing> typings)
    {
        typings_ = std::move(typings);
        dialogs.OnModal([this](Handle dialog) {
            ASSERT_FALSE(typings_.empty());
            const Typing t = typings_.front();
            typings_.erase(typings_.begin());
            dialogShown = dialog;
            EXPECT_EQ(win::GetWindowText(dialog), "IPアドレス入力");
            EXPECT_FALSE(win::IsWindowEnabled(app->GetMainWindow()));
            for (i32 i = 0; i < 4; ++i) {
                EXPECT_EQ(win::GetWindowText(dlg::GetDlgItem(dialog, kOctet1 + i)), "");
                dialogs.Type(dlg::GetDlgItem(dialog, kOctet1 + i), t.octets[size_t(i)]);
            }
            const size_t boxes = windows.Boxes().size();
            if (t.ok) dialogs.Click(dlg::GetDlgItem(dialog, kSave));
            // Refused, or not meant to be taken: the dialog is still up.
            if (!t.ok || windows.Boxes().size() > boxes) dialogs.Click(dlg::GetDlgItem(dialog, kQuit));
        });
    }
    void Press(i32 id) { ASSERT_TRUE(dialogs.Click(Item(kNetwork, id))); }
    Handle List(i32 id) const { return Item(kNetwork, id); }

    std::vector<Typing> typings_;
    Handle dialogShown = nullptr;
};

TEST_F(NetworkTest, FillEditAndSave)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigNetwork& n = *c.GetNetworkSettings();
        n.port = 15000;
        n.useUpnp = 1;
        n.keyResponse = 3;
        n.playBgm = 0;
        std::strcpy(n.lobbyId, "player_one");
        std::strcpy(n.connectId, "直結");
        // An empty entry between two used ones, as a hand-edited file may have.
        n.connect[0] = Address("192", "168", "000", "005");
        n.connect[1] = Address("000", "000", "000", "000");
        n.connect[2] = Address("010", "*", "*", "001");
        c.AddAllowIp(Address("010", "000", "*", "001"));
        c.AddDenyIp(Address("001", "002", "003", "004"));
        c.AddDenyIp(Address("005", "006", "007", "008"));
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    EXPECT_EQ(Text(Item(kNetwork, kPort)), "15000");
    EXPECT_EQ(Text(Item(kNetwork, kLobbyId)), "player_one");
    EXPECT_EQ(Text(Item(kNetwork, kConnectId)), "直結");
    EXPECT_TRUE(dlg::IsChecked(Item(kNetwork, kUseUpnp)));
    EXPECT_FALSE(dlg::IsChecked(Item(kNetwork, kPlayBgm)));
    EXPECT_EQ(Lines(Item(kNetwork, kKeyResponse)), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(dlg::GetSelection(Item(kNetwork, kKeyResponse)), 3);
    EXPECT_EQ(Lines(List(kConnectList)), (std::vector<std::string>{"192.168.0.5", "10.0.0.1"}));
    EXPECT_EQ(Lines(List(kAllowList)), (std::vector<std::string>{"010.000.*.001"}));
    EXPECT_EQ(Lines(List(kDenyList)), (std::vector<std::string>{"001.002.003.004", "005.006.007.008"}));

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        ConfigNetwork& n = *c.GetNetworkSettings();
        n.port = 18001;
        n.useUpnp = 0;
        n.playBgm = 1;
        n.keyResponse = 0;
        std::memset(n.lobbyId, 0, sizeof n.lobbyId);
        std::strcpy(n.lobbyId, "abc");
        std::memset(n.connectId, 0, sizeof n.connectId);
        c.RemoveConnectIp(2);   // the second line
        c.AddConnectIp(Address("127", "000", "000", "001"));
        c.AddAllowIp(Address("172", "016", "*", "009"));
        c.RemoveDenyIp(0);
    });
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kPort), "18001"));
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kLobbyId), "abc"));
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kConnectId), ""));
    Press(kUseUpnp);
    Press(kPlayBgm);
    ASSERT_TRUE(dialogs.Choose(Item(kNetwork, kKeyResponse), 0));
    ASSERT_TRUE(dialogs.Choose(List(kConnectList), 1));
    Press(kConnectRemove);
    EXPECT_EQ(Lines(List(kConnectList)), (std::vector<std::string>{"192.168.0.5"}));
    WillType({{{"127", "0", "0", "1"}}, {{"172", "16", "*", "9"}}});
    Press(kConnectAdd);
    // The empty entry in between takes it: the list follows the entries.
    EXPECT_EQ(Lines(List(kConnectList)), (std::vector<std::string>{"192.168.0.5", "127.0.0.1"}));
    Press(kAllowAdd);
    EXPECT_EQ(Lines(List(kAllowList)), (std::vector<std::string>{"010.000.*.001", "172.016.*.009"}));
    ASSERT_TRUE(dialogs.Choose(List(kDenyList), 0));
    Press(kDenyRemove);
    EXPECT_EQ(Lines(List(kDenyList)), (std::vector<std::string>{"005.006.007.008"}));
    EXPECT_TRUE(TakeBoxes().empty());
    EXPECT_TRUE(win::IsWindowEnabled(app->GetMainWindow()));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(NetworkTest, OctetsAreNumbersUpTo255OrAWildcard)
{
    struct Case {
        std::vector<std::string> octets;
        const char* stored;   // null: refused
    } cases[] = {
        {{"1", "2", "3", "4"}, "001.002.003.004"},
        {{"255", "0", "00", "*"}, "255.000.000.*"},
        {{"*", "*", "*", "*"}, "*.*.*.*"},
        {{"256", "1", "1", "1"}, nullptr},
        {{"1", "-1", "1", "1"}, nullptr},
        {{"1", "1", "1", ""}, nullptr},
        // Read as numbers are read: leading digits, letters alone are 0.
        {{"ab", " 1", "1x", "**"}, "000.001.001.000"},
    };
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    std::vector<std::string> lines;
    for (const Case& c : cases) {
        WillType({{c.octets}});
        TakeBoxes();
        Press(kAllowAdd);
        const auto boxes = TakeBoxes();
        if (c.stored) {
            lines.push_back(c.stored);
            EXPECT_TRUE(boxes.empty()) << c.stored;
        } else {
            ASSERT_EQ(boxes.size(), 1u) << c.octets[0];
            EXPECT_EQ(boxes[0].owner, dialogShown);
            EXPECT_EQ(boxes[0].text, "IPアドレスには0～255までの数字を入力してください。");
            EXPECT_EQ(boxes[0].caption, "Error");
        }
        EXPECT_EQ(Lines(List(kAllowList)), lines);
        EXPECT_EQ(app->GetConfig()->GetAllowCount(), lines.size());
    }
    EXPECT_STREQ(app->GetConfig()->GetAllowIp(1)->octet[0], "255");
    EXPECT_STREQ(app->GetConfig()->GetAllowIp(1)->octet[3], "*");
    // An octet edit takes three characters at most.
    WillType({{{"1234", "1", "1", "1"}, false}});
    Press(kDenyAdd);
    EXPECT_EQ(dlg::ItemCount(List(kDenyList)), 0);
}

TEST_F(NetworkTest, CancellingTheDialogAddsNothing)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    WillType({{{"1", "2", "3", "4"}, false}});
    Press(kConnectAdd);
    dialogs.OnModal([&](Handle dialog) { dialogs.PressEscape(dialog); });
    Press(kAllowAdd);
    dialogs.OnModal([&](Handle dialog) {
        dialogs.Close(dialog);
    });
    Press(kDenyAdd);
    EXPECT_EQ(dlg::ItemCount(List(kConnectList)), 0);
    EXPECT_EQ(dlg::ItemCount(List(kAllowList)), 0);
    EXPECT_EQ(dlg::ItemCount(List(kDenyList)), 0);
    EXPECT_TRUE(CSaveConfig::IsEmptyIp(app->GetConfig()->GetNetworkSettings()->connect[0]));
    EXPECT_TRUE(TakeBoxes().empty());
}

// An address that counts as an empty connect entry would be listed now and
// lost later (the next add takes its place); it is refused instead.
TEST_F(NetworkTest, ConnectAddressesThatCountAsEmptyAreRefused)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    WillType({{{"0", "0", "0", "0"}}, {{"*", "*", "*", "*"}}, {{"0", "*", "00", "000"}}, {{"10", "*", "*", "1"}},
        {{"10", "0", "0", "2"}}});
    for (int i = 0; i < 3; ++i) {
        Press(kConnectAdd);
        const auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].owner, app->GetPage(kNetwork));
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].text, "0.0.0.0（すべて0または*）は接続IPアドレスに登録できません。");
        EXPECT_EQ(dlg::ItemCount(List(kConnectList)), 0);
    }
    Press(kConnectAdd);
    Press(kConnectAdd);
    EXPECT_EQ(Lines(List(kConnectList)), (std::vector<std::string>{"10.0.0.1", "10.0.0.2"}));
    // Remove takes the entry of the line chosen.
    ASSERT_TRUE(dialogs.Choose(List(kConnectList), 0));
    Press(kConnectRemove);
    EXPECT_EQ(Lines(List(kConnectList)), (std::vector<std::string>{"10.0.0.2"}));
    EXPECT_STREQ(app->GetConfig()->GetNetworkSettings()->connect[0].octet[3], "002");
}

TEST_F(NetworkTest, FullListsAndRemovingWithoutASelection)
{
    WriteConfig([](CSaveConfig& c) {
        for (u32 i = 0; i < kConnectIpCount; ++i)
            c.GetNetworkSettings()->connect[i] = Address("010", "000", "000", std::to_string(100 + i).c_str());
        c.AddAllowIp(Address("001", "001", "001", "001"));
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    ASSERT_EQ(dlg::ItemCount(List(kConnectList)), 24);
    WillType({{{"1", "2", "3", "4"}}});
    Press(kConnectAdd);
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "接続IPアドレスの登録は２４件までです。");
    EXPECT_EQ(dlg::ItemCount(List(kConnectList)), 24);
    for (i32 button : {kConnectRemove, kAllowRemove, kDenyRemove}) {
        Press(button);
        boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u) << button;
        EXPECT_EQ(boxes[0].owner, app->GetPage(kNetwork));
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(boxes[0].text, "削除するIPアドレスをリストから選択してください。");
    }
    EXPECT_EQ(dlg::ItemCount(List(kConnectList)), 24);
    EXPECT_EQ(app->GetConfig()->GetAllowCount(), 1u);
    // Removing the only allow entry empties the list.
    ASSERT_TRUE(dialogs.Choose(List(kAllowList), 0));
    Press(kAllowRemove);
    EXPECT_EQ(dlg::ItemCount(List(kAllowList)), 0);
    EXPECT_EQ(app->GetConfig()->GetAllowCount(), 0u);
}

TEST_F(NetworkTest, PortsOutOfRangeAreRefusedAndChangeNothing)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    const Handle port = Item(kNetwork, kPort);
    const u16& stored = app->GetConfig()->GetNetworkSettings()->port;
    struct Case {
        const char* typed;
        u16 port;
        bool refused;
    } cases[] = {
        {"1", 1, false}, {"65535", 65535, false}, {"", 65535, false},   // still being typed
        {"65536", 65535, true}, {"0", 65535, true}, {"12a", 65535, true}, {"-5", 65535, true},
        {"99999", 65535, true}, {"080", 80, false},
    };
    for (const Case& c : cases) {
        TakeBoxes();
        ASSERT_TRUE(dialogs.Type(port, c.typed)) << c.typed;
        EXPECT_EQ(stored, c.port) << c.typed;
        const auto boxes = TakeBoxes();
        EXPECT_EQ(boxes.size(), c.refused ? 1u : 0u) << c.typed;
        if (c.refused) {
            EXPECT_EQ(boxes[0].text, "PORTには1～65535までの数字を入力してください。");
            EXPECT_EQ(boxes[0].caption, "Error");
            EXPECT_EQ(Text(port), std::to_string(c.port));
        }
    }
    EXPECT_FALSE(dialogs.Type(port, "123456"));   // six characters: the edit refuses
    EXPECT_EQ(stored, 80);
}

TEST_F(NetworkTest, IdsLongerThanTheirFieldAreRefused)
{
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    const std::string id31(31, 'i');
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kLobbyId), id31));
    EXPECT_FALSE(dialogs.Type(Item(kNetwork, kLobbyId), id31 + "j"));
    EXPECT_EQ(std::string(app->GetConfig()->GetNetworkSettings()->lobbyId), id31);
    // Pasted past the limit some other way: refused, the field as it was.
    TakeBoxes();
    win::SetWindowText(Item(kNetwork, kConnectId), std::string(40, 'c'));
    const auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "IDは半角31文字以内で入力してください。");
    EXPECT_EQ(Text(Item(kNetwork, kConnectId)), "");
    EXPECT_EQ(app->GetConfig()->GetNetworkSettings()->connectId[0], '\0');
}

}  // namespace
}  // namespace tool_test

// The network page and the IP address dialog.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <cstring>
#include <tuple>
#include <vector>

namespace tool_test {
namespace ORV_TEST_FILE_ID {

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

using Lines = std::vector<std::string>;

class NetworkTest : public ToolTest {
protected:
    // The next address dialogs: the four octets typed, then OK; Cancel
    // after a refusal or when ok is false.
    void WillType(std::vector<std::pair<Lines, bool>> typings)
    {
        typings_ = std::move(typings);
        dialogs.OnModal([this](Handle dialog) {
            ASSERT_FALSE(typings_.empty());
            const auto [octets, ok] = typings_.front();
            typings_.erase(typings_.begin());
            for (i32 i = 0; i < 4; ++i) dialogs.Type(dlg::GetDlgItem(dialog, kOctet1 + i), octets[size_t(i)]);
            const size_t boxes = windows.Boxes().size();
            if (ok) dialogs.Click(dlg::GetDlgItem(dialog, kSave));
            if (!ok || windows.Boxes().size() > boxes) dialogs.Click(dlg::GetDlgItem(dialog, kQuit));
        });
    }
    void Press(i32 id) { ASSERT_TRUE(dialogs.Click(Item(kNetwork, id))); }
    Lines List(i32 id) const
    {
        Lines lines;
        for (i32 i = 0; i < dlg::ItemCount(Item(kNetwork, id)); ++i) lines.push_back(dlg::ItemText(Item(kNetwork, id), i));
        return lines;
    }
    std::string Refusal() { return TakeBoxes().size() == 1 ? windows.Boxes().back().text : "no single box"; }

    std::vector<std::pair<Lines, bool>> typings_;
};

TEST_F(NetworkTest, FillEditAndSave)
{
    WriteConfig([](CSaveConfig& c) {
        ConfigNetwork& n = *c.GetNetworkSettings();
        n.port = 15000;
        n.keyResponse = 3;
        std::strcpy(n.connectId, "直結");
        // An empty entry between two used ones, as a hand-edited file may have.
        n.connect[0] = Address("192", "168", "000", "005");
        n.connect[2] = Address("010", "*", "*", "001");
        c.AddDenyIp(Address("001", "002", "003", "004"));
        c.AddDenyIp(Address("005", "006", "007", "008"));
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    EXPECT_EQ(Text(Item(kNetwork, kPort)), "15000");
    EXPECT_EQ(Text(Item(kNetwork, kConnectId)), "直結");
    EXPECT_EQ(dlg::GetSelection(Item(kNetwork, kKeyResponse)), 3);
    EXPECT_EQ(List(kConnectList), (Lines{"192.168.0.5", "10.0.0.1"}));
    EXPECT_EQ(List(kDenyList), (Lines{"001.002.003.004", "005.006.007.008"}));

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        ConfigNetwork& n = *c.GetNetworkSettings();
        n.port = 18001;
        n.useUpnp = !n.useUpnp;
        std::strcpy(n.lobbyId, std::string(31, 'i').c_str());
        std::memset(n.connectId, 0, sizeof n.connectId);
        c.RemoveConnectIp(2);   // the second line
        c.AddConnectIp(Address("127", "000", "000", "001"));
        c.AddAllowIp(Address("172", "016", "*", "009"));
        c.RemoveDenyIp(0);
    });
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kPort), "18001"));
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kLobbyId), std::string(31, 'i')));
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kLobbyId), std::string(32, 'i')));   // the 31 that fit
    EXPECT_EQ(Text(Item(kNetwork, kLobbyId)), std::string(31, 'i'));
    ASSERT_TRUE(dialogs.Type(Item(kNetwork, kConnectId), ""));
    Press(kUseUpnp);
    ASSERT_TRUE(dialogs.Choose(Item(kNetwork, kConnectList), 1));
    Press(kConnectRemove);
    WillType({{{"127", "0", "0", "1"}, true}, {{"172", "16", "*", "9"}, true}});
    Press(kConnectAdd);
    // The empty entry in between takes it: the list follows the entries.
    EXPECT_EQ(List(kConnectList), (Lines{"192.168.0.5", "127.0.0.1"}));
    Press(kAllowAdd);
    ASSERT_TRUE(dialogs.Choose(Item(kNetwork, kDenyList), 0));
    Press(kDenyRemove);
    EXPECT_EQ(List(kDenyList), (Lines{"005.006.007.008"}));
    // Pasted past the field some other way: refused, the field as it was.
    TakeBoxes();
    win::SetWindowText(Item(kNetwork, kConnectId), std::string(40, 'c'));
    EXPECT_EQ(Refusal(), "IDは半角31文字以内で入力してください。");
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(NetworkTest, AddressesAndPortsThatAreRefused)
{
    const std::string octet = "IPアドレスには0～255までの数字を入力してください。";
    const std::string empty = "0.0.0.0（すべて0または*）は接続IPアドレスに登録できません。";
    struct Case {
        i32 button;
        Lines octets;
        std::string refusal;   // empty: taken
    } cases[] = {
        {kAllowAdd, {"255", "0", "00", "*"}, ""},
        {kAllowAdd, {"ab", " 1", "1x", "**"}, ""},   // read as numbers are read
        {kAllowAdd, {"256", "1", "1", "1"}, octet},
        {kAllowAdd, {"1", "-1", "1", "1"}, octet},
        {kAllowAdd, {"1", "1", "1", ""}, octet},
        {kConnectAdd, {"0", "*", "00", "000"}, empty},
        {kConnectAdd, {"10", "*", "*", "1"}, ""},   // the 24th
        {kConnectAdd, {"10", "*", "*", "2"}, "接続IPアドレスの登録は２４件までです。"},
    };
    WriteConfig([](CSaveConfig& c) {
        for (u32 i = 0; i + 1 < kConnectIpCount; ++i)
            c.GetNetworkSettings()->connect[i] = Address("010", "000", "000", std::to_string(100 + i).c_str());
    });
    ASSERT_TRUE(Start());
    ShowTab(i32(kNetwork));
    for (const Case& c : cases) {
        WillType({{c.octets, true}});
        Press(c.button);
        EXPECT_EQ(Refusal(), c.refusal.empty() ? "no single box" : c.refusal) << c.octets[0];
    }
    EXPECT_EQ(List(kAllowList), (Lines{"255.000.000.*", "000.001.001.000"}));
    EXPECT_EQ(List(kConnectList).size(), 24u);
    EXPECT_EQ(List(kConnectList).back(), "10.0.0.1");
    // Cancelled, nothing is added; removing without a choice is refused.
    WillType({{{"1", "2", "3", "4"}, false}});
    Press(kDenyAdd);
    Press(kDenyRemove);
    EXPECT_EQ(Refusal(), "削除するIPアドレスをリストから選択してください。");
    EXPECT_EQ(List(kDenyList), Lines{});

    // A port outside 1..65535 is refused and changes nothing.
    const u16& port = app->GetConfig()->GetNetworkSettings()->port;
    const std::tuple<const char*, u16, bool> ports[] = {
        {"65535", 65535, false}, {"65536", 65535, true}, {"0", 65535, true}, {"", 65535, false}, {"1", 1, false}};
    for (const auto& [typed, stored, refused] : ports) {
        ASSERT_TRUE(dialogs.Type(Item(kNetwork, kPort), typed));
        EXPECT_EQ(port, stored) << typed;
        EXPECT_EQ(Refusal(), refused ? "PORTには1～65535までの数字を入力してください。" : "no single box") << typed;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace tool_test

// Seeds of the select message driver, taken from a run: a room's host and a
// member in their selects over the test relay, the member edits and confirms
// its card, the host starts, both option selects exchange option and music
// data, and the host starts the battle. What each machine received becomes
// the input of the same scene on that machine; each kind of message also
// stands alone.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/drivers/SelectMessagesDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/tests/NetPlay.h"

#include <map>

namespace seeds {

namespace {

using namespace fuzz::select_messages;

// What the run sent in the scene, from the host (machine 0) or a member.
struct Heard {
    std::string byHost, byMember;
    std::map<u32, std::string> alone;   // one message of each type, with its sender
};

void Take(const std::vector<net_test::Posted>& log, Heard& heard)
{
    for (const net_test::Posted& p : log) {
        const std::string record = MessageRecord(p.type, std::string(p.body.begin(), p.body.end()));
        (p.from == 0 ? heard.byHost : heard.byMember) += record;
        heard.alone.emplace(p.type * 2 + (p.from != 0), record);
    }
}

void Add(Sink& sink, const std::string& name, SceneKind scene, const Heard& heard)
{
    // A member hears the host; the host hears its members.
    sink.Add(name + "-member-run", char(Choice(scene, true)) + heard.byHost);
    sink.Add(name + "-host-run", char(Choice(scene, false)) + heard.byMember);
    for (const auto& [key, record] : heard.alone) {
        const bool fromHost = key % 2 == 0;
        sink.Add(name + "-" + std::to_string(key / 2) + (fromHost ? "-member" : "-host"),
            char(Choice(scene, fromHost)) + record);
    }
}

}  // namespace

void MakeSelectSeeds(const std::string& root)
{
    Sink sink(root, "select_messages");
    const std::string dataRoot = fuzz::WriteGameDataFolder("select-data");
    game_test::DriverOptions options = net_test::Options(2);
    options.desktopWidth = 1024;
    options.desktopHeight = 768;
    game_test::GameDriver game(dataRoot, options);
    FUZZ_CHECK(net_test::Ready(game));
    net_test::FakeNetworkScene& net = net_test::Net(game);
    const auto press = [&](u32 machine, u32 code) {
        net.Focus(i32(machine));
        game.Press(code);
        game.Frames(12);
        FUZZ_CHECK(net.relay.WaitIdle());
    };

    Heard select, option;
    {
        // Both machines' selects are up before the first message arrives.
        host::kernel::Lock lock(net.GetLock());
        FUZZ_CHECK(net.StartSelect(0) == 0 && net.StartSelect(1) == 0);
    }
    game.Frames(40);
    FUZZ_CHECK(net.relay.WaitIdle());
    // The member's card: team, then confirmed; the host's confirmed.
    for (u32 code : {menu::kDecide, menu::kDown, menu::kRight, menu::kDecide}) press(1, code);
    for (u32 code : {menu::kDecide, menu::kDecide, menu::kStart}) press(0, code);
    Take(net.relay.Log(), select);
    net.relay.ClearLog();

    net.Focus(net_test::FakeNetworkScene::kAll);
    game.Frames(75);
    FUZZ_CHECK(net.relay.WaitIdle());
    FUZZ_CHECK(net.ChildAs<COptionSelect>(0) && net.ChildAs<COptionSelect>(1));
    press(1, menu::kRight);   // the member's own music
    press(0, menu::kRight);   // the host's stage
    press(0, menu::kStart);
    Take(net.relay.Log(), option);
    FUZZ_CHECK(!select.byMember.empty() && !option.byHost.empty());

    Add(sink, "select", kCharaSelect, select);
    Add(sink, "option", kOptionSelect, option);
    // Each scene also hears the other's messages: a late card, an early option.
    sink.Add("select-hears-option", char(Choice(kCharaSelect, true)) + option.byHost);
    sink.Add("option-hears-select", char(Choice(kOptionSelect, false)) + select.byMember);
}

}  // namespace seeds

// Fuzz driver for the peer messages of the hosted selects
// (SelectMessagesDriver.h says how an input reads): a character select or an
// option select runs on the room's host or on a member of a two-machine
// network stand-in, takes the input's messages one by one as its receive
// thread would hand them over, and after each its cards, set-up and option
// must still hold values within their limits (what the selects' own message
// readers accept). Two frames after the last message let the flags act.
// Each input starts the game headless on the data set.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/GameDataFolder.h"
#include "fuzz/drivers/SelectMessagesDriver.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/SelectMessages.h"
#include "game/scenes/tests/NetPlay.h"

#include <cstdint>
#include <memory>
#include <string>

namespace {

using namespace fuzz::select_messages;

constexpr u32 kFramesAfter = 2;

const std::string& DataRoot()
{
    static const std::string root = fuzz::WriteGameDataFolder("game");
    return root;
}

// Values within what the readers of the records accept.
void CheckEntry(const CBattleEntry& entry)
{
    u8 bytes[kBattleEntryBytes];
    WriteBattleEntry(entry, bytes);
    CBattleEntry back;
    FUZZ_CHECK(ReadBattleEntry(bytes, sizeof bytes, &back) == BattleRecordError::kNone);
}

void CheckSetup(const CBattleSetup* setup)
{
    if (!setup) return;
    for (u32 i = 0; i < setup->count; ++i) CheckEntry(*setup->GetEntry(i));
    const auto option = select_net::WriteOptionMessage(setup->option, 0);
    CBattleOption back;
    FUZZ_CHECK(select_net::ReadOptionMessage(option.data(), u32(option.size()), &back) == select_net::MessageError::kNone);
}

void CheckCards(const CCharaSelect& select)
{
    for (u32 i = 0; i < 4; ++i) {
        const CSelectCard* card = select.GetCard(i);
        if (!card) continue;
        select_net::CardMessage message;
        for (u32 w = 0; w < select_net::kCardWords; ++w) message.words[w] = card->GetRecord()[w];
        message.slot = i;
        message.ready = card->GetRecord()[select_card::kReady];
        const auto bytes = select_net::WriteCardMessage(message);
        select_net::CardMessage back;
        FUZZ_CHECK(select_net::ReadCardMessage(bytes.data(), u32(bytes.size()), &back) ==
                   select_net::MessageError::kNone);
    }
    FUZZ_CHECK(select.GetCursor() < 4);
}

void CheckChild(net_test::FakeNetworkScene& net, u32 machine)
{
    if (auto* select = net.ChildAs<CCharaSelect>(machine)) {
        CheckCards(*select);
        CheckSetup(select->GetSetup());
    }
    if (auto* option = net.ChildAs<COptionSelect>(machine)) {
        CheckSetup(option->GetSetup());
        const auto bytes = select_net::WriteOptionMessage(option->GetOption(), 0);
        CBattleOption back;
        FUZZ_CHECK(select_net::ReadOptionMessage(bytes.data(), u32(bytes.size()), &back) ==
                   select_net::MessageError::kNone);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    game_test::DriverOptions options = net_test::Options(2);
    options.desktopWidth = 1024;   // the fake device copies whole surfaces
    options.desktopHeight = 768;
    game_test::GameDriver game(DataRoot(), options);
    FUZZ_CHECK(net_test::Ready(game));
    net_test::FakeNetworkScene& net = net_test::Net(game);
    fuzz::Input input(data, size);
    const u8 choice = input.Byte();
    const auto scene = SceneKind(choice & 1);
    const u32 machine = (choice >> 1) & 1;

    // Both machines run the scene, so what the host relays lands somewhere.
    {
        host::kernel::Lock lock(net.GetLock());
        for (u32 m = 0; m < 2; ++m) {
            const i32 failed = scene == kCharaSelect ? net.StartSelect(m) : net.StartOptionSelect(m);
            FUZZ_CHECK(failed == 0);
        }
    }
    FUZZ_CHECK(net.relay.WaitIdle());

    std::string body;
    while (input.RestSize() > 0) {
        const u32 type = kFirstType + input.Byte() % kTypes;
        const u32 length = u32(input.Byte()) | (u32(input.Byte()) << 8);
        const size_t take = std::min<size_t>(length, input.RestSize());
        body.assign(reinterpret_cast<const char*>(input.Rest()), take);
        for (size_t i = 0; i < take; ++i) input.Byte();
        net.Deliver(machine, type, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
        FUZZ_CHECK(net.relay.WaitIdle());
        CheckChild(net, 0);
        CheckChild(net, 1);
    }
    for (u32 frame = 0; frame < kFramesAfter; ++frame) game.Frame();
    FUZZ_CHECK(net.relay.WaitIdle());
    CheckChild(net, 0);
    CheckChild(net, 1);
    return 0;
}

// The network scene handing its child over through the real hosted scenes:
// a battle loaded from the option select's start and again for a rematch,
// each on the loading screen's thread while the scene it replaces is gone
// already (ThreadSanitizer runs these: the loader's fighters take effect
// nodes the old child's release gives back); and the room's music after
// every way back to the room.
#include "game/network/tests/NetworkSceneRun.h"

#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/ConsoleBase.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/OptionSelect.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <functional>
#include <type_traits>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace netscene;
using namespace netscene_test;

// Frames until the network scene's child is a T, or it has none when T is
// CScene; a loading screen's thread gets 2 ms of real time a frame, two
// minutes in all (ThreadSanitizer is slow). False past a bound.
template <class T>
bool RunUntilChild(SceneRun& run)
{
    auto reached = [&] {
        CScene* child = run.scene->GetChild();
        if constexpr (std::is_same_v<T, CScene>) return child == nullptr;
        else return dynamic_cast<T*>(child) != nullptr;
    };
    for (u32 frames = 0, waits = 0; !reached() && frames < 3000 && waits < 60000;) {
        if (dynamic_cast<CLoadingScene*>(run.scene->GetChild())) {
            host::kernel::Event never(true, false);
            never.Wait(2);
            ++waits;
        } else {
            ++frames;
        }
        run.game.Frame();
    }
    return reached();
}

// A room of two with this player its host (local 0) or its guest (local 1),
// its music stopped; the set-up as the network scene builds it, with the
// other entries computers, so that a host's battle starts without a peer.
CBattleSetup* RoomSetup(SceneRun& run, u32 local)
{
    run.Room(2, i32(local), local == 0);
    run.Lobby().SetScreen(u32(LobbyLayer::kRoom));
    run.Lobby().SetPlayStateRaw(1);
    run.scene->GetMusic()->StopAll(1);
    auto* setup = new CBattleSetup(run.game.App().GetSaveConfig());
    setup->networkMode = 1;
    setup->localEntry = local;
    setup->netHost = run.Lobby().GetNetHost();
    setup->lobbyClient = &run.Lobby();
    setup->entries[local].kind = local;
    return setup;
}

i32 HostChild(SceneRun& run, CScene* scene, u32 mode, CBattleSetup* setup)
{
    MenuSetupArgs args;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.setup = setup;
    return run.scene->ChangeChildScene(scene, mode, args);
}

// The battle's end menu, as its console sends it, under the scene's lock.
void EndBattle(SceneRun& run, u32 code)
{
    run.scene->EnterLock();
    run.scene->GetChild()->OnMessage(kConsoleMsgEndCode, reinterpret_cast<intptr_t>(&code));
    run.scene->LeaveLock();
}

// The host of a room whose member plays entry 1 presses start on its option
// select.
bool StartHostsOptionSelect(SceneRun& run)
{
    if (!run.Enter()) return false;
    CBattleSetup* setup = RoomSetup(run, 0);
    setup->entries[1].kind = 1;
    if (HostChild(run, new COptionSelect, kHostedOptionMode, setup) != 0) return false;
    run.game.Frames(40);
    run.game.Press(menu::kStart);
    return true;
}

// A member's ready word for the given entry, as the host's network scene
// is handed it.
i32 SendReady(SceneRun& run, u32 entry)
{
    const std::string ready = WriteU32Body(entry);
    return run.scene->OnPeerMessage(nullptr, reinterpret_cast<const u8*>(ready.data()), i32(kMsgNetReady),
                                    u32(ready.size()));
}

std::function<void(CSaveConfig&)> PlayBgm()
{
    return [](CSaveConfig& c) { c.GetNetworkSettings()->playBgm = 1; };
}

// The host starts from its option select; the battle ends on a rematch and
// loads again. Each load runs on the loading screen's thread once the scene
// it replaces is released (ThreadSanitizer would see the two meet).
TEST(NetworkSceneHandOver, StartAndRematchLoadTheBattleOnceTheOldChildIsGone)
{
    SceneRun run;
    ASSERT_TRUE(run.Enter(PlayBgm()));
    CBattleSetup* setup = RoomSetup(run, 0);
    ASSERT_EQ(HostChild(run, new COptionSelect, kHostedOptionMode, setup), 0);
    // Faded in, then the host's start.
    run.game.Frames(40);
    run.game.Press(menu::kStart);
    ASSERT_TRUE(RunUntilChild<CLoadingScene>(run));
    EXPECT_EQ(run.scene->GetChildMode(), kHostedBattleMode);
    ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
    auto* first = dynamic_cast<CBattleScene*>(run.scene->GetChild());
    EXPECT_EQ(first->GetCharacterCount(), CBattleSetup::kEntryCount);
    EXPECT_EQ(first->GetSetup(), setup);
    EXPECT_FALSE(menu_run::Playing(kMusic));

    EndBattle(run, kExitNextBattle);
    ASSERT_TRUE(RunUntilChild<CLoadingScene>(run));
    ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
    auto* second = dynamic_cast<CBattleScene*>(run.scene->GetChild());
    EXPECT_EQ(second->GetCharacterCount(), CBattleSetup::kEntryCount);
    ASSERT_TRUE(second->GetSetup());
    EXPECT_EQ(second->GetSetup()->networkMode, 1u);
    EXPECT_EQ(second->GetSetup()->localEntry, 0u);
    EXPECT_EQ(run.scene->GetChildMode(), kHostedBattleMode);
    EXPECT_EQ(run.Lobby().GetPlayState(), 1u);
}

// The member's cover can close first and its battle load in a few
// milliseconds: its ready word then reaches the host while the host's option
// select still shows, before the loading screen and its battle exist. Kept
// for that battle, it ends the host's start handshake by the member's word
// wherever it came; lost, the handshake waited until its limit (about ten
// seconds on the loading screen). The index is the body's: one out of range
// is not kept (the battle's lockstep would refuse it).
TEST(NetworkSceneHandOver, AMembersReadyWordBeforeTheHostsLoadingScreenEndsTheHandshake)
{
    enum When { kOnTheOptionSelect, kOnTheLoadingScreen };
    const struct {
        const char* name;
        When when;
        u32 entry;
        u32 done, givenUp, refused;
    } rows[] = {
        {"on the option select, its cover closing", kOnTheOptionSelect, 1, 1, 0, 0},
        {"on the loading screen", kOnTheLoadingScreen, 1, 1, 0, 0},
        {"out of range, on the option select", kOnTheOptionSelect, 4, 0, 1, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SceneRun run;
        ASSERT_TRUE(StartHostsOptionSelect(run));
        if (r.when == kOnTheLoadingScreen) ASSERT_TRUE(RunUntilChild<CLoadingScene>(run));
        else ASSERT_TRUE(dynamic_cast<COptionSelect*>(run.scene->GetChild()));
        EXPECT_EQ(SendReady(run, r.entry), 1);
        ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
        const auto* battle = dynamic_cast<CBattleScene*>(run.scene->GetChild());
        const LockstepStats stats = battle->GetLockstep()->GetStats();
        EXPECT_EQ(stats.handshakesDone, r.done);
        EXPECT_EQ(stats.handshakesGivenUp, r.givenUp);
        EXPECT_EQ(stats.refusedMessages, r.refused);
        EXPECT_EQ(battle->EarlyMessageCount(), 0u);
    }
}

// The host's rematch: its old battle fades out while a member, told the end a
// moment later, may finish its own fade and load first. The member's ready
// word for the new battle then reaches the host's old one, which had its own
// words long ago: kept for the battle the rematch builds, it ends that
// battle's handshake; taken by the old lockstep, both machines waited until
// the limit. A word that came before the host's end is the old battle's own
// (a late one) and never starts the next battle.
TEST(NetworkSceneHandOver, AMembersReadyWordDuringTheHostsEndFadeEndsTheRematchsHandshake)
{
    enum When { kBeforeTheEnd, kInTheEndFade, kOnTheLoadingScreen };
    const struct {
        const char* name;
        When when;
        u32 done, givenUp;
    } rows[] = {
        {"in the old battle's end fade", kInTheEndFade, 1, 0},
        {"on the rematch's loading screen", kOnTheLoadingScreen, 1, 0},
        {"in the old battle before its end", kBeforeTheEnd, 0, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SceneRun run;
        ASSERT_TRUE(StartHostsOptionSelect(run));
        ASSERT_TRUE(RunUntilChild<CLoadingScene>(run));
        EXPECT_EQ(SendReady(run, 1), 1);
        ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
        auto* old = dynamic_cast<CBattleScene*>(run.scene->GetChild());
        ASSERT_EQ(old->GetLockstep()->GetStats().handshakesDone, 1u);

        if (r.when == kBeforeTheEnd) {
            EXPECT_EQ(SendReady(run, 1), 1);
        }
        EndBattle(run, kExitNextBattle);
        if (r.when == kInTheEndFade) {
            ASSERT_EQ(run.scene->GetChild(), old);
            EXPECT_EQ(SendReady(run, 1), 1);
        }
        ASSERT_TRUE(RunUntilChild<CLoadingScene>(run));
        if (r.when == kOnTheLoadingScreen) {
            EXPECT_EQ(SendReady(run, 1), 1);
        }
        ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
        const auto* next = dynamic_cast<CBattleScene*>(run.scene->GetChild());
        const LockstepStats stats = next->GetLockstep()->GetStats();
        EXPECT_EQ(stats.handshakesDone, r.done);
        EXPECT_EQ(stats.handshakesGivenUp, r.givenUp);
        EXPECT_EQ(stats.refusedMessages, 0u);
        EXPECT_EQ(run.scene->GetDropped(), 0u);
    }
}

// Every way back to the room: the scene left is released before the room's
// music starts, so its release (which stops what it played, the battle's
// every sound) leaves that music playing.
TEST(NetworkSceneHandOver, TheRoomsMusicPlaysAfterEveryWayBack)
{
    enum Way { kSelectAlone, kOptionBack, kBattleToRoom, kWaitGivenUp };
    const struct {
        const char* name;
        Way way;
    } rows[] = {
        {"the character select's host left alone", kSelectAlone},
        {"the option select's back", kOptionBack},
        {"a battle ended back to the room", kBattleToRoom},
        {"a network wait given up", kWaitGivenUp},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        SceneRun run;
        ASSERT_TRUE(run.Enter(PlayBgm()));
        CBattleSetup* setup = RoomSetup(run, r.way == kWaitGivenUp ? 1 : 0);
        switch (r.way) {
        case kSelectAlone:
        case kOptionBack:
            if (r.way == kSelectAlone) ASSERT_EQ(HostChild(run, new CCharaSelect, kHostedSelectMode, setup), 0);
            else ASSERT_EQ(HostChild(run, new COptionSelect, kHostedOptionMode, setup), 0);
            run.Lobby().MemberTable().count = 1;
            break;
        case kBattleToRoom:
        case kWaitGivenUp: {
            auto* battle = new CBattleScene(run.game.App().BattleApp(), GetBattleNetwork());
            // A guest whose host never answers: no start, a short wait.
            LockstepLimits limits;
            limits.handshakeCycles = 1;
            limits.waitCycles = 20;
            if (r.way == kWaitGivenUp) battle->SetLockstepLimits(limits);
            LoadingArgs args{battle, reinterpret_cast<intptr_t>(setup), 1};
            ASSERT_EQ(run.scene->ChangeChildScene(new CLoadingScene, kHostedBattleMode, args), 0);
            ASSERT_TRUE(RunUntilChild<CBattleScene>(run));
            if (r.way == kBattleToRoom) EndBattle(run, kExitNetworkRoom);
            break;
        }
        }
        ASSERT_TRUE(RunUntilChild<CScene>(run));
        EXPECT_EQ(run.scene->GetChildMode(), kHostedLobbyMode);
        EXPECT_EQ(run.Lobby().GetPlayState(), 0u);
        EXPECT_TRUE(menu_run::Playing(kMusic));
        run.game.Frame();
        EXPECT_TRUE(menu_run::Playing(kMusic));
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

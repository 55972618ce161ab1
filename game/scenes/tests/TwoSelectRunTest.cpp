// Two machines of a room in one process, the room's host and a member, each
// in its own hosted character select, their peer messages carried by the
// relay's thread under the network scene's lock: from the selects to the
// option select, back, and there again with equal set-ups.
#include "game/scenes/tests/NetPlay.h"

#include "game/data/TensionFile.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/SelectMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace two_select_run_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace select_card;
using net_test::FakeNetworkScene;

constexpr u32 kHost = 0, kMember = 1;
// A row change slides for 0.15 s before the next key counts.
constexpr u32 kSlideFrames = 12;

struct TwoSelects : net_test::Room {
    CCharaSelect* Select(u32 m) { return net().ChildAs<CCharaSelect>(m); }
    COptionSelect* Options(u32 m) { return net().ChildAs<COptionSelect>(m); }
    std::vector<u32> Entry(const u32* record) { return std::vector<u32>(record, record + kEntryWords); }
    std::vector<u32> Card(u32 m, u32 slot) { return Entry(Select(m)->GetCard(slot)->GetRecord()); }
    // Every machine fades out of its scene and into the next (half a second
    // each).
    void Settle()
    {
        net().Focus(FakeNetworkScene::kAll);
        game.Frames(75);
        net().relay.WaitIdle();
    }
    // Machine m opens its cursor card and confirms it as it is.
    void Confirm(u32 m)
    {
        Press(m, menu::kDecide);
        Press(m, menu::kDecide);
    }
};

std::string TensionName(CBattleSetup* setup, u32 entry)
{
    const CTensionFile* file = setup->GetTensionFile(entry);
    const char* name = file ? file->GetName().GetText() : nullptr;
    return name ? name : "";
}

TEST(TwoSelectRun, HostAndMemberEditTheirCardsAndReachTheOptionSelectTogether)
{
    TwoSelects room;
    ASSERT_TRUE(room.Start());
    CCharaSelect* host = room.Select(kHost);
    CCharaSelect* member = room.Select(kMember);
    ASSERT_TRUE(host && member);
    // Each side told the other its own card when it came up.
    EXPECT_EQ(room.Card(kHost, 1), room.Card(kMember, 1));
    EXPECT_EQ(room.Card(kHost, 0), room.Card(kMember, 0));

    // The member's cursor passes over the host's card both ways.
    EXPECT_EQ(member->GetCursor(), 1u);
    room.Press(kMember, menu::kLeft);
    EXPECT_EQ(member->GetCursor(), 3u);
    room.Press(kMember, menu::kRight);
    EXPECT_EQ(member->GetCursor(), 1u);

    // Its own card: who plays it is not its to change; team and character are.
    const std::vector<u32> before = room.Card(kMember, 1);
    room.Press(kMember, menu::kDecide);
    ASSERT_TRUE(member->IsEditing());
    room.Press(kMember, menu::kRight);
    EXPECT_EQ(member->GetCard(1)->Word(kKind), 1u);
    room.Press(kMember, menu::kDown, kSlideFrames);
    room.Press(kMember, menu::kRight);
    room.Press(kMember, menu::kDown, kSlideFrames);
    room.Press(kMember, menu::kRight);
    room.Press(kMember, menu::kDecide);
    EXPECT_FALSE(member->IsEditing());
    const std::vector<u32> edited = room.Card(kMember, 1);
    EXPECT_NE(edited[kTeam], before[kTeam]);
    EXPECT_NE(edited[kCharacter], before[kCharacter]);
    EXPECT_EQ(room.Card(kHost, 1), edited);
    EXPECT_EQ(host->GetCard(1)->Word(kReady), 1u);

    // It cannot start the battle.
    room.Press(kMember, menu::kStart);
    EXPECT_FALSE(member->IsProceeding());

    // The member edits the computer's card 2; the host makes that card
    // empty, which ends the member's editing, then a computer again.
    room.Press(kMember, menu::kRight);
    ASSERT_EQ(member->GetCursor(), 2u);
    room.Press(kMember, menu::kDecide);
    ASSERT_TRUE(member->IsEditing());
    room.Press(kHost, menu::kRight);
    ASSERT_EQ(host->GetCursor(), 2u);   // past the member's card
    room.Press(kHost, menu::kDecide);
    room.Press(kHost, menu::kRight);
    EXPECT_EQ(member->GetCard(2)->Word(kKind), kKindNone);
    EXPECT_FALSE(member->IsEditing());
    room.Press(kHost, menu::kRight);
    room.Press(kHost, menu::kDecide);
    EXPECT_EQ(member->GetCard(2)->Word(kKind), kKindComputer);

    // The host confirms its own card and starts for both.
    room.Press(kHost, menu::kLeft);
    ASSERT_EQ(host->GetCursor(), 0u);
    room.Confirm(kHost);
    room.Press(kHost, menu::kStart);
    ASSERT_TRUE(host->IsProceeding());
    EXPECT_TRUE(member->IsProceeding());
    room.Settle();
    ASSERT_TRUE(room.Options(kHost) && room.Options(kMember)) << room.game.Describe();
    const std::vector<u32> both{kHostedSelectMode, kHostedOptionMode};
    EXPECT_EQ(room.net().modes[kHost], both);
    EXPECT_EQ(room.net().modes[kMember], both);

    // The host goes back; its 10005 takes the member back too.
    room.Press(kHost, menu::kCancel);
    room.Settle();
    host = room.Select(kHost);
    member = room.Select(kMember);
    ASSERT_TRUE(host && member) << room.game.Describe();
    EXPECT_EQ(room.Card(kMember, 1)[kCharacter], edited[kCharacter]);

    // A third member that left: card 3 is nobody's on both machines.
    const auto left = select_net::WriteWord(3);
    for (u32 m : {kHost, kMember}) {
        EXPECT_EQ(room.Deliver(m, select_net::kMsgPeerLeft, left.data(), u32(left.size())), 1u);
        EXPECT_EQ(room.Select(m)->GetCard(3)->Word(kKind), kKindNone);
    }

    // Both confirm again and the host starts.
    room.Confirm(kMember);
    room.Confirm(kHost);
    room.Press(kHost, menu::kStart);
    room.Settle();
    COptionSelect* hostOptions = room.Options(kHost);
    COptionSelect* memberOptions = room.Options(kMember);
    ASSERT_TRUE(hostOptions && memberOptions) << room.game.Describe();

    // Equal set-ups: the entries, the option the host decided (each keeps
    // its own music choice while every player plays its own), and each
    // player's music data on both machines.
    CBattleSetup* a = hostOptions->GetSetup();
    CBattleSetup* b = memberOptions->GetSetup();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->localEntry, 0u);
    EXPECT_EQ(b->localEntry, 1u);
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry x = *a->GetEntry(i), y = *b->GetEntry(i);
        if (x.kind < kKindComputer) x.ownMusic = y.ownMusic = 0;   // a player's music: its own choice
        EXPECT_EQ(std::memcmp(&x, &y, sizeof x), 0) << "entry " << i;
    }
    EXPECT_EQ(a->GetEntry(1)->character, edited[kCharacter]);
    EXPECT_EQ(a->GetEntry(3)->kind, kKindNone);
    CBattleOption x = hostOptions->GetOption(), y = memberOptions->GetOption();
    ASSERT_EQ(x.ownTension, 1u);
    x.music = y.music = x.drawnMusic = y.drawnMusic = 0;
    u8 bx[kBattleOptionBytes], by[kBattleOptionBytes];
    WriteBattleOption(x, bx);
    WriteBattleOption(y, by);
    EXPECT_EQ(std::memcmp(bx, by, sizeof bx), 0);
    for (u32 entry : {0u, 1u}) {
        EXPECT_FALSE(TensionName(a, entry).empty()) << entry;
        EXPECT_EQ(TensionName(a, entry), TensionName(b, entry)) << entry;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace two_select_run_test

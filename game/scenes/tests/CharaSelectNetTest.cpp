#include "game/scenes/tests/NetPlay.h"

#include "engine/core/Endian.h"
#include "game/data/Skill.h"
#include "game/data/TensionFile.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/SelectMessages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace chara_select_net_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace chara_select;
using namespace select_card;
using namespace select_net;
using game_test::GameDriver;

TEST(CharaSelectNetTest, HostTakesAClientsChangeOfItsOwnAndOpenCardsOnly)
{
    const struct {
        u32 sender, kind, newKind;
        bool taken;
    } cases[] = {
        {1, 1, 1, true}, {1, 4, 5, true}, {2, 5, 4, true}, {3, 4, 4, true},
        {1, 0, 0, false},   // the host's card
        {1, 2, 2, false},   // another client's
        {1, 1, 4, false},   // giving up its own card
        {1, 4, 1, false},   // taking a computer's card
        {1, 5, 2, false},   // making another player
        {0, 4, 4, false},   // the host never hears itself
        {4, 4, 4, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClientMayChangeCard(c.sender, c.kind, c.newKind), c.taken) << c.sender << " " << c.kind << "->" << c.newKind;
}

TEST(CharaSelectNetTest, CursorPassesOverTheOtherSidesPlayers)
{
    const struct {
        u32 kinds[4], local, cursor, step;
        bool network;
        u32 expected;
    } cases[] = {
        {{0, 1, 4, 4}, 1, 1, 3, true, 3}, {{0, 1, 4, 4}, 1, 3, 1, true, 1},
        {{0, 1, 2, 5}, 1, 1, 1, true, 3}, {{0, 1, 2, 3}, 1, 1, 1, true, 1},
        {{0, 1, 4, 4}, 1, 1, 3, false, 0}, {{0, 1, 4, 4}, 0, 0, 1, true, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NextChoosableCard(c.cursor, c.step, c.kinds, c.local, c.network), c.expected) << c.cursor;
}

// ---------------------------------------------------------------- two sides

// Host (machine 0) and client (machine 1) in their selects, faded in:
// cards 0 and 1 the players, 2 and 3 computers.
struct Room : net_test::Room {
    using net_test::Room::Room;
    CCharaSelect* select(u32 m) { return net().ChildAs<CCharaSelect>(m); }
    std::vector<u32> Kinds(u32 m)
    {
        std::vector<u32> kinds;
        for (u32 i = 0; i < 4; ++i) kinds.push_back(select(m)->GetCard(i)->Word(kKind));
        return kinds;
    }
    // Every word of machine m's four cards.
    std::vector<u32> Records(u32 m)
    {
        std::vector<u32> words;
        for (u32 i = 0; i < 4; ++i) {
            const u32* record = select(m)->GetCard(i)->GetRecord();
            words.insert(words.end(), record, record + kRecordWords);
        }
        return words;
    }
};

CardMessage CardOf(const CSelectCard* card, u32 sender)
{
    CardMessage m;
    std::copy(card->GetRecord(), card->GetRecord() + kCardWords, m.words);
    m.sender = sender;
    m.slot = card->Word(kSlot);
    m.ready = card->Word(kReady);
    return m;
}

TEST(CharaSelectNetRun, ClientCursorSkipsTheHostsCardAndCannotStart)
{
    Room room;
    ASSERT_TRUE(room.Start());
    CCharaSelect* client = room.select(1);
    EXPECT_TRUE(client->IsNetwork());
    EXPECT_EQ(client->GetCursor(), 1u);
    EXPECT_EQ(client->GetHelpText(), 2u);
    room.Press(1, menu::kLeft);
    EXPECT_EQ(client->GetCursor(), 3u);
    room.Press(1, menu::kRight);
    EXPECT_EQ(client->GetCursor(), 1u);
    // Every player confirmed: the host may start, the client never.
    for (u32 m : {0u, 1u})
        for (u32 i : {0u, 1u}) room.select(m)->GetCard(i)->SetReady(1);
    EXPECT_TRUE(room.select(0)->CanStart());
    EXPECT_FALSE(client->CanStart());
    room.net().relay.ClearLog();
    room.Press(1, menu::kStart);
    room.Press(1, menu::kCancel);
    EXPECT_FALSE(client->IsProceeding() || client->IsLeaving());
    EXPECT_TRUE(room.net().relay.Log().empty());
    room.select(0)->GetCard(1)->SetReady(0);
    EXPECT_FALSE(room.select(0)->CanStart());
}

// The client's player row stays its own; a computer's card turns empty and
// back, never into a player.
TEST(CharaSelectNetRun, ClientCannotTakeAnotherPlayersPlace)
{
    Room room;
    ASSERT_TRUE(room.Start());
    room.Press(1, menu::kDecide);
    ASSERT_TRUE(room.select(1)->IsEditing());
    room.net().relay.ClearLog();
    room.Press(1, menu::kRight);
    room.Press(1, menu::kLeft);
    EXPECT_TRUE(room.net().relay.Log().empty());
    room.Press(1, menu::kCancel);
    room.Press(1, menu::kLeft);
    room.Press(1, menu::kDecide);
    for (u32 expected : {kKindNone, kKindComputer, kKindNone}) {
        room.Press(1, menu::kRight);
        for (u32 m : {0u, 1u}) EXPECT_EQ(room.Kinds(m), (std::vector<u32>{0, 1, 4, expected})) << m;
    }
}

// A change of another side to the card this side edits ends the editing
// (and the skill panel over it); its own change coming back does not.
TEST(CharaSelectNetRun, PeersChangeOfTheEditedCardEndsEditing)
{
    Room room;
    ASSERT_TRUE(room.Start());
    CCharaSelect *host = room.select(0), *client = room.select(1);
    room.Press(0, menu::kRight);
    room.Press(0, menu::kDecide);
    ASSERT_EQ(host->GetCursor(), 2u);
    ASSERT_TRUE(host->IsEditing());
    room.Press(1, menu::kLeft);
    room.Press(1, menu::kLeft);
    room.Press(1, menu::kDecide);
    ASSERT_EQ(client->GetCursor(), 2u);
    EXPECT_FALSE(host->IsEditing());
    EXPECT_TRUE(client->IsEditing());
    // The client picks a character (random offers no panel), goes down to
    // "Custom" and opens the panel; the host's change closes both.
    room.Press(1, menu::kDown);
    room.Press(1, menu::kDown);
    room.Press(1, menu::kRight);
    for (u32 i = 0; i < 3; ++i) room.Press(1, menu::kDown);
    ASSERT_EQ(client->GetRow(), u32(kRowCustom));
    room.Press(1, menu::kRight);
    ASSERT_TRUE(client->IsPanelOpen());
    room.Press(0, menu::kDecide);
    EXPECT_FALSE(client->IsEditing());
    EXPECT_FALSE(client->IsPanelOpen());
    EXPECT_EQ(client->GetCard(2)->Word(kCharacter), host->GetCard(2)->Word(kCharacter));
}

// Hostile cards: out of range, they change nothing anywhere and the host
// relays none of them; the sound one is taken and relayed.
TEST(CharaSelectNetRun, HostileCardsAreRefused)
{
    Room room;
    ASSERT_TRUE(room.Start());
    const u32 skills = room.select(0)->GetSkillList()->skills.GetCount();
    const struct {
        const char* what;
        u32 offset, value;
    } cases[] = {
        // Every range is the reader's (its own tests); one of each kind here.
        {"kind", 0, 6}, {"colour", 28, 4}, {"sender", 104, 4}, {"slot", 108, 4},
    };
    CardMessage sound = CardOf(room.select(0)->GetCard(2), 1);
    sound.words[kTeam] = (sound.words[kTeam] + 1) % 4;
    const auto bytes = WriteCardMessage(sound);
    std::vector<u8> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    room.net().relay.ClearLog();
    for (u32 m : {0u, 1u}) {
        SCOPED_TRACE(m);
        const std::vector<u32> before = room.Records(m);
        for (const auto& c : cases) {
            auto bad = bytes;
            PutLe32(&bad[c.offset], c.value);
            EXPECT_EQ(room.Deliver(m, kMsgCard, bad.data(), kCardBytes), 0u) << c.what;
        }
        for (u32 length : {kCardBytes - 1, kCardBytes + 1, 0u})
            EXPECT_EQ(room.Deliver(m, kMsgCard, longer.data(), length), 0u) << length;
        EXPECT_EQ(room.Records(m), before);
    }
    EXPECT_TRUE(room.net().relay.Log().empty());
    // The sound change: taken by both, relayed by the host unchanged.
    EXPECT_EQ(room.Deliver(0, kMsgCard, bytes.data(), kCardBytes), 1u);
    for (u32 m : {0u, 1u}) EXPECT_EQ(room.select(m)->GetCard(2)->Word(kTeam), sound.words[kTeam]) << m;
    const auto relayed = room.net().relay.Log(kMsgCard);
    ASSERT_EQ(relayed.size(), 1u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), relayed[0].body.begin()));

    // An orb past the skill list is no refusal: the card takes it (and shows
    // none), the host relays it, the connection goes on.
    for (u32 orb : {skills + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(orb);
        auto past = bytes;
        PutLe32(&past[40], orb);   // the first orb
        room.net().relay.ClearLog();
        EXPECT_EQ(room.Deliver(0, kMsgCard, past.data(), kCardBytes), 1u);
        for (u32 m : {0u, 1u}) EXPECT_EQ(room.select(m)->GetCard(2)->Word(kSkill0), orb) << m;
        EXPECT_EQ(room.net().relay.Log(kMsgCard).size(), 1u);
    }
}

// A client puts an orb the host has not won on a computer's card; the host
// opens the panel on that card and closes it with Ok: the orb stays on the
// card, in what the host sends and on the client.
TEST(CharaSelectNetRun, HostsPanelKeepsAClientsOrbItHasNotWon)
{
    Room room;
    ASSERT_TRUE(room.Start());
    CCharaSelect *host = room.select(0), *client = room.select(1);
    // Orb value 3 (kind 0) is locked in the saved defaults.
    ASSERT_EQ(host->GetKindSkills(0)->IndexOf(3), host->GetKindSkills(0)->Count());
    CardMessage card = CardOf(client->GetCard(2), 1);
    card.words[kCharacter] = 0;
    card.words[kSkill0] = 3;
    card.words[kSkill0 + 1] = 16;
    card.words[kSkill0 + 2] = 0;
    const auto bytes = WriteCardMessage(card);
    ASSERT_EQ(room.Deliver(0, kMsgCard, bytes.data(), kCardBytes), 1u);
    ASSERT_EQ(host->GetCard(2)->Word(kSkill0), 3u);

    room.Press(0, menu::kRight);
    ASSERT_EQ(host->GetCursor(), 2u);
    room.Press(0, menu::kDecide);
    for (u32 i = 0; i < 5; ++i) room.Press(0, menu::kDown);
    ASSERT_EQ(host->GetRow(), u32(kRowCustom));
    room.Press(0, menu::kRight, 14);
    ASSERT_TRUE(host->IsPanelOpen());
    EXPECT_EQ(host->GetChosenSkill(0), 3u);
    for (u32 i = 0; i < 3; ++i) room.Press(0, menu::kDown);
    room.net().relay.ClearLog();
    room.Press(0, menu::kDecide, 14);
    ASSERT_FALSE(host->IsPanelOpen());

    for (u32 m : {0u, 1u}) {
        SCOPED_TRACE(m);
        const CSelectCard* onMachine = room.select(m)->GetCard(2);
        EXPECT_EQ(onMachine->Word(kSkill0), 3u);
        EXPECT_EQ(onMachine->Word(kSkill0 + 1), 16u);
        EXPECT_EQ(onMachine->Word(kSkill0 + 2), 0u);
    }
    const auto sent = room.net().relay.Log(kMsgCard);
    ASSERT_FALSE(sent.empty());
    CardMessage first;
    ASSERT_EQ(ReadCardMessage(sent[0].body.data(), u32(sent[0].body.size()), &first), MessageError::kNone);
    EXPECT_EQ(first.slot, 2u);
    EXPECT_EQ(first.words[kSkill0], 3u);
}

// What a client may not send the host: someone else's card, a player's
// place, proceed, leave, the option.
TEST(CharaSelectNetRun, HostRefusesWhatAClientMayNotSend)
{
    Room room;
    ASSERT_TRUE(room.Start());
    CCharaSelect* host = room.select(0);
    const struct {
        u32 sender, slot, kind;
    } cards[] = {{1, 0, 0}, {1, 1, kKindComputer}, {1, 2, 1}, {0, 2, kKindNone}, {2, 1, 1}};
    room.net().relay.ClearLog();
    const std::vector<u32> before = room.Records(0);
    for (const auto& c : cards) {
        CardMessage m = CardOf(host->GetCard(c.slot), c.sender);
        m.words[kKind] = c.kind;
        m.words[kTeam] = (m.words[kTeam] + 1) % 4;
        const auto bytes = WriteCardMessage(m);
        EXPECT_EQ(room.Deliver(0, kMsgCard, bytes.data(), kCardBytes), 0u) << c.sender << " " << c.slot;
    }
    EXPECT_EQ(room.Records(0), before);
    const auto one = WriteWord(1);
    for (u32 type : {kMsgProceed, kMsgLeave}) EXPECT_EQ(room.Deliver(0, type, one.data(), 4), 0u) << type;
    const auto option = WriteOptionMessage(CBattleOption{}, 1);
    EXPECT_EQ(room.Deliver(0, kMsgOption, option.data(), kOptionBytes), 0u);
    room.game.Frames(40);
    EXPECT_FALSE(host->IsProceeding() || host->IsLeaving());
    EXPECT_TRUE(room.net().relay.Log().empty());
    // A client hears them from the host, but only the word 1, whole.
    const auto two = WriteWord(2);
    EXPECT_EQ(room.Deliver(1, kMsgProceed, two.data(), 4), 0u);
    EXPECT_EQ(room.Deliver(1, kMsgProceed, one.data(), 3), 0u);
    EXPECT_FALSE(room.select(1)->IsProceeding());
}

// The host's option select may start while a client still fades out of its
// select: the client's set-up keeps the option, its own music choice apart
// while every player plays its own.
TEST(CharaSelectNetRun, ClientKeepsTheHostsEarlyOptionForItsOptionSelect)
{
    for (u32 ownMusic : {0u, 1u}) {
        Room room;
        ASSERT_TRUE(room.Start());
        CBattleSetup* setup = room.select(1)->GetSetup();
        const CBattleOption mine = setup->option;
        CBattleOption hosts;
        hosts.stage = 3;
        hosts.music = 7;
        hosts.drawnMusic = 9;
        hosts.ownTension = ownMusic;
        hosts.randomSeed = 0x1234;
        const auto bytes = WriteOptionMessage(hosts, 0);
        ASSERT_EQ(room.Deliver(1, kMsgOption, bytes.data(), kOptionBytes), 1u);
        EXPECT_EQ(setup->option.stage, 3u);
        EXPECT_EQ(setup->option.randomSeed, 0x1234u);
        EXPECT_EQ(setup->option.music, ownMusic ? mine.music : 7u);
        EXPECT_EQ(setup->option.drawnMusic, ownMusic ? mine.drawnMusic : 9u);
        auto spoilt = bytes;
        spoilt[0] = 20;   // past the random stage
        EXPECT_EQ(room.Deliver(1, kMsgOption, spoilt.data(), kOptionBytes), 0u);
        EXPECT_EQ(setup->option.stage, 3u);
    }
}

TEST(CharaSelectNetRun, PeerThatLeftTurnsItsCardEmpty)
{
    Room room;
    ASSERT_TRUE(room.Start());
    const struct {
        u32 entry, length, answer;
    } cases[] = {{0, 4, 0}, {4, 4, 0}, {1, 3, 0}, {1, 4, 1}};
    for (const auto& c : cases) {
        const auto word = WriteWord(c.entry);
        EXPECT_EQ(room.Deliver(0, select_net::kMsgPeerLeft, word.data(), c.length), c.answer) << c.entry;
    }
    EXPECT_EQ(room.Kinds(0), (std::vector<u32>{0, kKindNone, 4, 4}));
    EXPECT_EQ(room.select(0)->GetSetup()->GetEntry(1)->kind, kKindNone);
    // Fixed-size peer ids through OnMessage come with their size; music
    // data cannot.
    const auto word = WriteWord(1);
    EXPECT_EQ(room.select(1)->OnMessage(kMsgProceed, reinterpret_cast<intptr_t>(word.data())), 1u);
    EXPECT_TRUE(room.select(1)->IsProceeding());
    EXPECT_EQ(room.select(1)->OnMessage(kMsgPlayerData, reinterpret_cast<intptr_t>(word.data())), 0u);
}

// Music data lands in the entry's tension file; the host passes it on.
TEST(CharaSelectNetRun, PlayerDataReachesTheSetupsTensionFile)
{
    Room room;
    ASSERT_TRUE(room.Start());
    PlayerData data;
    data.entry = 1;
    data.name = "Track";
    data.loopStart = 2.5f;
    data.keys = {{0.0f, 0.0f, 1}, {4.0f, 0.5f, 3}};
    auto bytes = WritePlayerData(data);
    room.net().relay.ClearLog();
    EXPECT_EQ(room.Deliver(0, kMsgPlayerData, bytes.data(), u32(bytes.size())), 1u);
    for (u32 m : {0u, 1u}) {
        const CTensionFile* file = room.select(m)->GetSetup()->GetTensionFile(1);
        ASSERT_TRUE(file);
        EXPECT_STREQ(file->GetName().GetText(), "Track") << m;
        EXPECT_EQ(file->GetLoopStart(), 2.5f);
        ASSERT_TRUE(file->GetTrack());
        EXPECT_EQ(file->GetTrack()->GetCount(), 2u);
    }
    ASSERT_EQ(room.net().relay.Log(kMsgPlayerData).size(), 1u);
    EXPECT_EQ(room.net().relay.Log(kMsgPlayerData)[0].body, bytes);
    bytes[8 + 5] = 'x';   // the name's zero
    EXPECT_EQ(room.Deliver(0, kMsgPlayerData, bytes.data(), u32(bytes.size())), 0u);
    EXPECT_EQ(room.net().relay.Log(kMsgPlayerData).size(), 1u);
}

// The host's cancel, or the host alone in its room, takes the room back to
// the network scene's screen; a client alone waits for its host to say so.
TEST(CharaSelectNetRun, RoomLeavesToTheLobbyOnTheHostsWord)
{
    constexpr u32 kSelect = kHostedSelectMode, kLobby = kHostedLobbyMode;
    const struct {
        i32 alone;   // the machine left alone, or -1: the host cancels
        std::vector<u32> hostModes, clientModes;
    } cases[] = {{0, {kSelect, kLobby}, {kSelect}}, {1, {kSelect}, {kSelect}}, {-1, {kSelect, kLobby}, {kSelect, kLobby}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alone);
        Room room;
        ASSERT_TRUE(room.Start());
        if (c.alone < 0) room.Press(0, menu::kCancel);
        else room.net().lobbies[u32(c.alone)].members = 1;
        EXPECT_EQ(room.net().relay.Log(kMsgLeave).size(), c.alone < 0 ? 1u : 0u);
        room.net().Focus(net_test::FakeNetworkScene::kAll);
        room.game.Frames(40);
        EXPECT_EQ(room.net().modes[0], c.hostModes);
        EXPECT_EQ(room.net().modes[1], c.clientModes);
        EXPECT_EQ(room.net().Child(0) == nullptr, c.hostModes.size() == 2);
    }
}

TEST(CharaSelectNetRun, ChatLineGoesToTheRoomWithTheNameCut)
{
    Room room;
    ASSERT_TRUE(room.Start());
    room.net().Focus(1);
    room.PressKey(host::input::key::F1);
    ASSERT_TRUE(room.select(1)->IsChatOpen());
    CImeInput* ime = room.net().lobbies[1].GetImeInput();
    ASSERT_TRUE(ime->IsEnabled());
    ime->SetText("hello");
    room.game.Frame();
    room.PressKey(host::input::key::Return);
    EXPECT_FALSE(room.select(1)->IsChatOpen());
    ASSERT_EQ(room.net().lobbies[1].chat.size(), 1u);
    const std::vector<u8>& line = room.net().lobbies[1].chat[0];
    ASSERT_EQ(line.size(), kChatLineBytes);
    EXPECT_EQ(std::string(line.begin(), line.begin() + 25), std::string(24, 'n') + '\0');
    EXPECT_STREQ(reinterpret_cast<const char*>(&line[25]), "hello");
    EXPECT_EQ(line.back(), 0);
    EXPECT_GT(room.net().lobbies[1].chatDraws, 0u);
}

// Keys of one frame on the cards in network play each take their step: the
// host's move past the client's card and decide open the computer's card
// and send it; a client's cancel does nothing, and the chat key beside it
// still opens the chat line.
TEST(CharaSelectNetRun, KeysOfOneFrameEachTakeTheirStepOnBothSides)
{
    const struct {
        const char* what;
        u32 machine;
        std::vector<u32> codes;
        u32 cursor;
        bool editing, chat, leaving;
        size_t cardsSent;   // a client's card goes out twice: sent, then relayed by the host
    } cases[] = {
        {"host: right and decide", 0, {menu::kRight, menu::kDecide}, 2, true, false, false, 1},
        {"client: cancel and chat", 1, {menu::kCancel, kChatKey}, 1, false, true, false, 0},
        {"client: left and decide", 1, {menu::kLeft, menu::kDecide}, 3, true, false, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Room room;
        ASSERT_TRUE(room.Start());
        CCharaSelect* select = room.select(c.machine);
        room.net().relay.ClearLog();
        room.net().Focus(i32(c.machine));
        const auto hold = [&](bool down) {
            for (u32 code : c.codes) {
                if (code == kChatKey) room.game.Input().SetKey(host::input::key::F1, down);
                else room.game.Hold(code, down);
            }
        };
        hold(true);
        room.game.Frame();
        hold(false);
        room.net().relay.WaitIdle();
        EXPECT_EQ(select->GetCursor(), c.cursor);
        EXPECT_EQ(select->IsEditing(), c.editing);
        EXPECT_EQ(select->IsChatOpen(), c.chat);
        EXPECT_EQ(select->IsLeaving(), c.leaving);
        const auto log = room.net().relay.Log();
        EXPECT_EQ(size_t(std::count_if(log.begin(), log.end(), [](const auto& m) { return m.type == kMsgCard; })),
            c.cardsSent);
        for (const auto& m : log) EXPECT_NE(m.type, kMsgLeave);
        room.game.Frame();
    }
}

// Start on the host: every card goes out, then proceed; both sides go on
// to the option select.
TEST(CharaSelectNetRun, HostsStartTakesBothToTheOptionSelect)
{
    Room room;
    ASSERT_TRUE(room.Start());
    for (u32 m : {0u, 1u}) {
        room.Press(m, menu::kDecide);
        room.Press(m, menu::kDecide);
    }
    ASSERT_TRUE(room.select(0)->CanStart());
    room.net().relay.ClearLog();
    room.Press(0, menu::kStart, 1);
    const auto log = room.net().relay.Log();
    ASSERT_EQ(log.size(), 5u);
    for (u32 i = 0; i < 4; ++i) {
        CardMessage m;
        ASSERT_EQ(log[i].type, kMsgCard);
        ASSERT_EQ(ReadCardMessage(log[i].body.data(), kCardBytes, &m), MessageError::kNone);
        EXPECT_EQ(m.slot, i);
    }
    EXPECT_EQ(log[4].type, kMsgProceed);
    EXPECT_TRUE(room.select(1)->IsProceeding());
    room.net().Focus(net_test::FakeNetworkScene::kAll);
    room.game.Frames(40);
    for (u32 m : {0u, 1u}) {
        EXPECT_EQ(room.net().modes[m].back(), kHostedOptionMode) << m;
        EXPECT_TRUE(room.net().ChildAs<COptionSelect>(m)) << m << room.game.Describe();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace chara_select_net_test

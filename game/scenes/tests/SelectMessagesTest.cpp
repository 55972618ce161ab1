// The selects' peer messages against bodies laid out by hand, field by
// field, and the refusals of hostile ones.
#include "game/scenes/SelectMessages.h"

#include "game/data/TensionFile.h"
#include "game/data/tests/SaveTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace select_messages_test {

namespace ORV_TEST_FILE_ID {

namespace {

using namespace select_net;
using save_test::Bytes;

constexpr u32 kOneHalf = 0x3FC00000;   // 1.5f
constexpr u32 kTwo = 0x40000000;       // 2.0f
constexpr u32 kHalf = 0x3F000000;      // 0.5f
constexpr u32 kHundred = 0x42C80000;   // 100.0f
constexpr u32 kNaN = 0x7FC00000, kInfinity = 0x7F800000;

const u8* Data(const std::string& s) { return reinterpret_cast<const u8*>(s.data()); }

// A computer Derona card (slot 2, sent by client 1): every entry word laid
// out, then sender, slot and ready; change one word to spoil it.
struct CardFields {
    u32 kind = 4, character = 1, drawn = 0, team = 2, type = 1, drawnType = 0, hand = 3, colour = 2, level = 4,
        music = 50, orbs[3] = {1, 0, 45}, cpuSkill = 1, sender = 1, slot = 2, ready = 1;
    std::string name = "Player2";

    std::string Body() const
    {
        return Bytes().U32(kind).U32(character).U32(drawn).U32(team).U32(type).U32(drawnType).U32(hand)
            .U32(colour).U32(level).U32(music).U32(orbs[0]).U32(orbs[1]).U32(orbs[2]).U32(cpuSkill)
            .U32(7).U8(1).U8(2).U8(3).U8(0).U32(0).Text(name, 32).U32(0)
            .U32(sender).U32(slot).U32(ready);
    }
};

TEST(SelectMessagesTest, CardMessageMatchesItsLayoutBothWays)
{
    const std::string golden = CardFields{}.Body();
    ASSERT_EQ(golden.size(), kCardBytes);
    CardMessage m;
    ASSERT_EQ(ReadCardMessage(Data(golden), kCardBytes, &m), MessageError::kNone);
    EXPECT_EQ(m.words[0], 4u);
    EXPECT_EQ(m.words[9], 50u);
    EXPECT_EQ(m.words[12], 45u);
    EXPECT_EQ(m.words[13], 1u);
    EXPECT_EQ(m.sender, 1u);
    EXPECT_EQ(m.slot, 2u);
    EXPECT_EQ(m.ready, 1u);
    const auto written = WriteCardMessage(m);
    EXPECT_EQ(std::string(written.begin(), written.end()), golden);
}

TEST(SelectMessagesTest, HostileCardMessagesAreRefusedWhole)
{
    const struct {
        const char* what;
        void (*spoil)(CardFields&);
        MessageError error;
    } cases[] = {
        {"kind 6", [](CardFields& f) { f.kind = 6; }, MessageError::kEntry},
        {"character 19", [](CardFields& f) { f.character = 19; }, MessageError::kEntry},
        {"drawn character 18", [](CardFields& f) { f.drawn = 18; }, MessageError::kEntry},
        {"team 4", [](CardFields& f) { f.team = 4; }, MessageError::kEntry},
        {"type 2", [](CardFields& f) { f.type = 2; }, MessageError::kEntry},
        {"drawn type 2", [](CardFields& f) { f.drawnType = 2; }, MessageError::kEntry},
        {"hand 5", [](CardFields& f) { f.hand = 5; }, MessageError::kEntry},
        {"music 51", [](CardFields& f) { f.music = 51; }, MessageError::kEntry},
        {"name without its zero", [](CardFields& f) { f.name = std::string(32, 'x'); }, MessageError::kEntry},
        {"colour 4", [](CardFields& f) { f.colour = 4; }, MessageError::kColour},
        {"computer level 5", [](CardFields& f) { f.level = 5; }, MessageError::kComputerLevel},
        {"computer orb use 2", [](CardFields& f) { f.cpuSkill = 2; }, MessageError::kCpuSkill},
        {"sender 4", [](CardFields& f) { f.sender = 4; }, MessageError::kSender},
        {"slot 4", [](CardFields& f) { f.slot = 4; }, MessageError::kSlot},
        {"ready 2", [](CardFields& f) { f.ready = 2; }, MessageError::kReady},
    };
    for (const auto& c : cases) {
        CardFields fields;
        c.spoil(fields);
        const std::string body = fields.Body();
        CardMessage m;
        m.words[0] = 99;
        EXPECT_EQ(ReadCardMessage(Data(body), kCardBytes, &m), c.error) << c.what;
        EXPECT_EQ(m.words[0], 99u) << c.what;
    }
    const std::string body = CardFields{}.Body() + "x";
    CardMessage m;
    for (u32 length : {0u, 4u, kCardBytes - 1, kCardBytes + 1})
        EXPECT_EQ(ReadCardMessage(Data(body), length, &m), MessageError::kLength) << length;
    // An orb past any skill list is taken as it is: the card shows none.
    for (u32 orb : {46u, 0xFFFFFFFFu}) {
        CardFields fields;
        fields.orbs[2] = orb;
        const std::string past = fields.Body();
        ASSERT_EQ(ReadCardMessage(Data(past), kCardBytes, &m), MessageError::kNone) << orb;
        EXPECT_EQ(m.words[12], orb);   // the third orb's word
    }
}

// stage, drawn stage, music, drawn music, rule, points, time, computer,
// friend, tension rule, own music, seed, then the key response byte.
std::string OptionBody(const u32 (&w)[12], u32 keyResponse, u32 padding = 0)
{
    Bytes b;
    for (u32 v : w) b.U32(v);
    return b.U8(keyResponse).U8(padding).U8(padding).U8(padding).U32(0);
}

TEST(SelectMessagesTest, OptionMessageCarriesTheRecordAndTheSender)
{
    const u32 words[12] = {19, 18, 51, 50, 1, 4, 6, 4, 2, 5, 1, 0xCAFEF00D};
    const std::string golden = OptionBody(words, 4);
    ASSERT_EQ(golden.size(), kOptionBytes);
    CBattleOption o;
    ASSERT_EQ(ReadOptionMessage(Data(golden), kOptionBytes, &o), MessageError::kNone);
    EXPECT_EQ(o.stage, 19u);
    EXPECT_EQ(o.drawnMusic, 50u);
    EXPECT_EQ(o.characterSetting, 5u);
    EXPECT_EQ(o.randomSeed, 0xCAFEF00Du);
    EXPECT_EQ(o.inputDelay, 4u);
    const auto written = WriteOptionMessage(o, 0);
    EXPECT_EQ(std::string(written.begin(), written.end()), golden);

    // Padding after the key response is nobody's: ignored, not kept.
    ASSERT_EQ(ReadOptionMessage(Data(OptionBody(words, 2, 0xEE)), kOptionBytes, &o), MessageError::kNone);
    EXPECT_EQ(o.inputDelay, 2u);
}

TEST(SelectMessagesTest, OptionWordsOutsideTheirRowsAreRefused)
{
    const u32 past[12] = {20, 19, 52, 51, 2, 5, 7, 5, 3, 6, 2, 0};
    for (u32 i = 0; i < 11; ++i) {
        u32 words[12] = {0, 0, 0, 0, 0, 2, 6, 0, 2, 0, 1, 7};
        words[i] = past[i];
        CBattleOption o;
        o.stage = 77;
        EXPECT_EQ(ReadOptionMessage(Data(OptionBody(words, 0)), kOptionBytes, &o), MessageError::kOption) << i;
        EXPECT_EQ(o.stage, 77u);
    }
    const u32 fine[12] = {0, 0, 0, 0, 0, 2, 6, 0, 2, 0, 1, 7};
    CBattleOption o;
    EXPECT_EQ(ReadOptionMessage(Data(OptionBody(fine, 5)), kOptionBytes, &o), MessageError::kOption);
    EXPECT_EQ(ReadOptionMessage(Data(OptionBody(fine, 0)), kOptionBytes - 4, &o), MessageError::kLength);
}

// Entry 3's music "Ab": loop 1.5 s, finale 100 s for 2 s, two keys.
std::string PlayerBody(u32 entry, u32 n, const std::string& name, u32 k, const std::string& keys)
{
    return Bytes().U32(entry).U32(n).Raw(name).U32(kOneHalf).U32(kHundred).U32(kTwo).U32(k).Raw(keys);
}
const std::string kTwoKeys = Bytes().U32(0).U32(kHalf).I32(1).U32(kHundred).U32(0).I32(3);

TEST(SelectMessagesTest, PlayerDataRoundTripsThroughATensionFile)
{
    const std::string golden = PlayerBody(3, 2, std::string("Ab\0", 3), 2, kTwoKeys);
    ASSERT_EQ(golden.size(), 25u + 2 + 24);
    PlayerData data;
    ASSERT_EQ(ReadPlayerData(Data(golden), u32(golden.size()), &data), MessageError::kNone);
    CTensionFile tension;
    ApplyPlayerData(data, &tension);
    EXPECT_STREQ(tension.GetName().GetText(), "Ab");
    EXPECT_EQ(tension.GetLoopStart(), 1.5f);
    EXPECT_EQ(tension.GetFinaleMark(), 100.0f);
    EXPECT_EQ(tension.GetFinaleLength(), 2.0f);
    ASSERT_TRUE(tension.GetTrack());
    EXPECT_TRUE(tension.GetTrack()->GetLoop());
    EXPECT_EQ(tension.GetTrack()->GetCount(), 2u);
    EXPECT_EQ(tension.GetLevelAt(50.0f), 1);

    const std::vector<u8> written = WritePlayerData(MakePlayerData(3, tension));
    EXPECT_EQ(std::string(written.begin(), written.end()), golden);
}

TEST(SelectMessagesTest, HostilePlayerDataIsRefused)
{
    const std::string ab("Ab\0", 3);
    const std::string key = Bytes().U32(0).U32(0).I32(0);
    const struct {
        const char* what;
        std::string body;
        MessageError error;
    } cases[] = {
        {"entry 4", PlayerBody(4, 2, ab, 0, ""), MessageError::kSlot},
        {"41-byte name", PlayerBody(0, 41, std::string(41, 'a') + '\0', 0, ""), MessageError::kName},
        {"name without its zero", PlayerBody(0, 2, "Abc", 0, ""), MessageError::kName},
        {"zero inside the name", PlayerBody(0, 2, std::string("A\0\0", 3), 0, ""), MessageError::kName},
        {"a name past the end", PlayerBody(0, 0xFFFFFFFF, ab, 0, ""), MessageError::kName},
        {"one key too many", PlayerBody(0, 2, ab, 2, key), MessageError::kLength},
        {"key count that wraps", PlayerBody(0, 2, ab, 0x15555556, key), MessageError::kLength},
        {"bytes after the keys", PlayerBody(0, 2, ab, 1, key + "x"), MessageError::kLength},
        {"level 4", PlayerBody(0, 2, ab, 1, Bytes().U32(0).U32(0).I32(4)), MessageError::kLevel},
        {"level -1", PlayerBody(0, 2, ab, 1, Bytes().U32(0).U32(0).I32(-1)), MessageError::kLevel},
        {"key time NaN", PlayerBody(0, 2, ab, 1, Bytes().U32(kNaN).U32(0).I32(0)), MessageError::kTime},
        {"key ease infinite", PlayerBody(0, 2, ab, 1, Bytes().U32(0).U32(kInfinity).I32(0)), MessageError::kTime},
        {"loop start NaN",
            Bytes().U32(0).U32(2).Raw(ab).U32(kNaN).U32(0).U32(0).U32(0).str(), MessageError::kTime},
        {"shorter than its head", Bytes().U32(0).U32(2).str(), MessageError::kLength},
    };
    for (const auto& c : cases) {
        PlayerData data;
        data.entry = 9;
        EXPECT_EQ(ReadPlayerData(Data(c.body), u32(c.body.size()), &data), c.error) << c.what;
        EXPECT_EQ(data.entry, 9u) << c.what;
    }
}

// At every limit at once: the last entry, a 40-byte name, the highest level;
// each read back.
TEST(SelectMessagesTest, PlayerDataAtItsLimitsIsTaken)
{
    const std::string name(kMaxNameBytes, 'n');
    const std::string body = PlayerBody(3, kMaxNameBytes, name + '\0', 1, Bytes().U32(kTwo).U32(kHalf).I32(3));
    PlayerData data;
    ASSERT_EQ(ReadPlayerData(Data(body), u32(body.size()), &data), MessageError::kNone);
    EXPECT_EQ(data.entry, 3u);
    EXPECT_EQ(data.name, name);
    EXPECT_EQ(data.loopStart, 1.5f);
    EXPECT_EQ(data.finaleMark, 100.0f);
    EXPECT_EQ(data.finaleLength, 2.0f);
    ASSERT_EQ(data.keys.size(), 1u);
    EXPECT_EQ(data.keys[0].time, 2.0f);
    EXPECT_EQ(data.keys[0].ease, 0.5f);
    EXPECT_EQ(data.keys[0].level, 3);
    const std::vector<u8> written = WritePlayerData(data);
    EXPECT_EQ(std::string(written.begin(), written.end()), body);
}

// A music whose script names none still reaches the others, its keys read.
TEST(SelectMessagesTest, PlayerDataWithAnEmptyNameIsTaken)
{
    const std::string body = PlayerBody(1, 0, std::string(1, '\0'), 1, Bytes().U32(kTwo).U32(kHalf).I32(2));
    PlayerData data;
    ASSERT_EQ(ReadPlayerData(Data(body), u32(body.size()), &data), MessageError::kNone);
    EXPECT_EQ(data.entry, 1u);
    EXPECT_EQ(data.name, "");
    ASSERT_EQ(data.keys.size(), 1u);
    EXPECT_EQ(data.keys[0].level, 2);
    const std::vector<u8> written = WritePlayerData(data);
    EXPECT_EQ(std::string(written.begin(), written.end()), body);
}

// A track too long for one peer body is written whole (it is the sender
// that must not send it).
TEST(SelectMessagesTest, PlayerDataIsWrittenToItsSizeWhateverTheKeyCount)
{
    PlayerData data;
    data.name = "Long";
    data.keys.resize(200, {1.0f, 0.0f, 2});
    const std::vector<u8> bytes = WritePlayerData(data);
    EXPECT_EQ(bytes.size(), 25u + 4 + 12 * 200);
    EXPECT_GT(bytes.size(), kPeerBodyLimit);
    PlayerData back;
    ASSERT_EQ(ReadPlayerData(bytes.data(), u32(bytes.size()), &back), MessageError::kNone);
    EXPECT_EQ(back.keys.size(), 200u);
}

TEST(SelectMessagesTest, PeerLeftNamesAnEntry)
{
    const struct {
        std::string body;
        MessageError error;
    } cases[] = {
        {Bytes().U32(3), MessageError::kNone},
        {Bytes().U32(4), MessageError::kSlot},
        {Bytes().U16(1), MessageError::kLength},
        {Bytes().U32(1).U32(1), MessageError::kLength},
    };
    for (const auto& c : cases) {
        u32 entry = 77;
        EXPECT_EQ(ReadPeerLeft(Data(c.body), u32(c.body.size()), &entry), c.error);
        EXPECT_EQ(entry, c.error == MessageError::kNone ? 3u : 77u);
    }
}

TEST(SelectMessagesTest, ChatLineCutsNameAndTextToTheirFieldsWithTheirZeros)
{
    char fullName[kChatNameBytes];
    std::memset(fullName, 'n', sizeof fullName);   // no zero anywhere
    const std::string longText(300, 't');
    // "\x82\xA0" is one double-byte character: never split.
    char kanaName[kChatNameBytes + 1] = {};
    std::memset(kanaName, 'k', 23);
    std::memcpy(kanaName + 23, "\x82\xA0", 2);
    const struct {
        const char* name;
        std::string text;
        std::string nameField, textField;
    } cases[] = {
        {fullName, longText, std::string(24, 'n'), std::string(255, 't')},
        {"Talve", "hello", "Talve", "hello"},
        {kanaName, std::string(254, 'a') + "\x82\xA0", std::string(23, 'k'), std::string(254, 'a')},
        {nullptr, "", "", ""},
    };
    for (const auto& c : cases) {
        const auto line = MakeChatLine(c.name, c.text.c_str());
        ASSERT_EQ(line.size(), 281u);
        const char* p = reinterpret_cast<const char*>(line.data());
        EXPECT_EQ(std::string(p), c.nameField);
        EXPECT_EQ(std::string(p + kChatNameBytes), c.textField);
        EXPECT_EQ(line[kChatNameBytes - 1], 0);
        EXPECT_EQ(line[kChatLineBytes - 1], 0);
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

}  // namespace select_messages_test

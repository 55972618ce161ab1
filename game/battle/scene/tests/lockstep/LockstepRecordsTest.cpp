// The lockstep's wire records: golden bytes laid out field by field, and the
// readers' refusals of what a hostile or broken peer may send.
#include "game/battle/scene/LockstepRecords.h"
#include "game/data/tests/SaveTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>

namespace ORV_TEST_FILE_ID {

using save_test::Bytes;
using E = LockstepRecordError;

namespace {

const u8* Data(const std::string& s) { return reinterpret_cast<const u8*>(s.data()); }

// A radio-chat side message, laid out by hand.
std::string Chat(const std::string& text, u32 sender, u32 teamOnly)
{
    return Bytes().U32(3).U32(48).Text(text, 40).U32(sender).U32(teamOnly);
}

std::string Record(f32 music, u8 frameMs, u8 count)
{
    Bytes b;
    b.U32(std::bit_cast<u32>(music));
    for (u32 i = 0; i < 16; ++i) b.U8(0x10 + i);
    return b.U8(frameMs).U8(count);
}

FrameRecord RecordValue(f32 music, u8 frameMs, u8 count)
{
    FrameRecord r{music, {}, frameMs, count};
    for (u32 e = 0; e < 4; ++e)
        r.inputs[e] = InputPacket{{u8(0x10 + 4 * e), u8(0x11 + 4 * e)}, i8(0x12 + 4 * e), i8(0x13 + 4 * e)};
    return r;
}

TEST(LockstepRecords, WritersLayOutTheGoldenBytes)
{
    const FrameRecord record = RecordValue(61.25f, 33, 2);
    u8 bytes[kFrameRecordBytes];
    WriteFrameRecord(record, bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), sizeof bytes), Record(61.25f, 33, 2));

    const StatePacket a = MakeRadioChat("Cover me!", 2, 1), b = MakeRadioChat("", 0, 0);
    EXPECT_EQ(WriteFrameBundle(record, std::array{a, b}.data()),
              Record(61.25f, 33, 2) + Chat("Cover me!", 2, 1) + Chat("", 0, 0));

    const InputPacket input{{0x81, 0x40}, -100, 37};
    EXPECT_EQ(WriteNetInput(3, input, &a, 1), Bytes().U8(3).U8(0x81).U8(0x40).U8(0x9C).U8(37).U8(1).str() +
                                                  Chat("Cover me!", 2, 1));
    EXPECT_EQ(WriteNetInput(1, input, nullptr, 0), Bytes().U8(1).U8(0x81).U8(0x40).U8(0x9C).U8(37).U8(0).str());
    EXPECT_EQ(WriteU32Body(0x01020304), Bytes().U32(0x01020304).str());
}

TEST(LockstepRecords, ReadersTakeWhatTheWritersWrote)
{
    const std::string bundleBytes = Record(-0.0f, 255, 1) + Chat("abc", 3, 0);
    FrameBundle bundle{};
    ASSERT_EQ(ReadFrameBundle(Data(bundleBytes), bundleBytes.size(), &bundle), E::kNone);
    EXPECT_EQ(std::bit_cast<u32>(bundle.record.musicTime), 0x80000000u);
    EXPECT_EQ(bundle.record.frameMs, 255);
    EXPECT_EQ(WriteFrameBundle(bundle.record, bundle.messages), bundleBytes);

    const std::string inputBytes = Bytes().U8(2).U8(1).U8(2).U8(0xFF).U8(0x80).U8(2).str() + Chat("x", 1, 1) +
                                   Chat("y", 2, 0);
    NetInputMessage input{};
    ASSERT_EQ(ReadNetInput(Data(inputBytes), inputBytes.size(), &input), E::kNone);
    EXPECT_EQ(input.entry, 2u);
    EXPECT_EQ(input.input.stickX, -1);
    EXPECT_EQ(input.input.stickY, -128);
    EXPECT_EQ(WriteNetInput(input.entry, input.input, input.messages, input.messageCount), inputBytes);

    RadioChatLine line{};
    ASSERT_EQ(ReadRadioChat(input.messages[0].id, input.messages[0].data, input.messages[0].length, &line), E::kNone);
    EXPECT_STREQ(line.text, "x");
    EXPECT_EQ(line.sender, 1u);
    EXPECT_EQ(line.teamOnly, 1u);
}

// Each case breaks one field of a valid record; the reader refuses it and
// leaves its destination as it was.
struct Broken {
    const char* name;
    std::function<std::string()> bytes;
    E error;
};

TEST(LockstepRecords, BundleReaderRefusesEveryBrokenField)
{
    const std::string chat = Chat("hi", 1, 0);
    const f32 nan = std::numeric_limits<f32>::quiet_NaN(), inf = std::numeric_limits<f32>::infinity();
    const Broken cases[] = {
        {"empty", [] { return std::string(); }, E::kTooShort},
        {"record cut", [] { return Record(1, 18, 0).substr(0, 21); }, E::kTooShort},
        {"frame ms 17", [] { return Record(1, 17, 0); }, E::kFrameMs},
        {"NaN music", [=] { return Record(nan, 18, 0); }, E::kMusicTime},
        {"infinite music", [=] { return Record(-inf, 18, 0); }, E::kMusicTime},
        {"count past the buffer", [=] {
             std::string b = Record(1, 18, 25);
             for (int i = 0; i < 25; ++i) b += chat;
             return b;
         }, E::kMessageCount},
        {"count 2 over one message", [=] { return Record(1, 18, 2) + chat; }, E::kTooShort},
        {"message cut", [=] { return Record(1, 18, 1) + chat.substr(0, 55); }, E::kTooShort},
        {"message header cut", [=] { return Record(1, 18, 1) + chat.substr(0, 7); }, E::kTooShort},
        {"bytes after the last message", [=] { return Record(1, 18, 1) + chat + "x"; }, E::kTrailing},
        {"bytes with no message", [] { return Record(1, 18, 0) + "x"; }, E::kTrailing},
        // id 0 is the scene's "take this bullet": its body would be a pointer.
        {"id 0", [] { return Record(1, 18, 1) + Bytes().U32(0).U32(48).Zeros(48).str(); }, E::kMessageId},
        {"id 42", [] { return Record(1, 18, 1) + Bytes().U32(42).U32(4).U32(1).str(); }, E::kMessageId},
        // Past the 256 bytes of a state packet.
        {"length 300", [] { return Record(1, 18, 1) + Bytes().U32(3).U32(300).Zeros(300).str(); }, E::kMessageLength},
        {"length 47", [] { return Record(1, 18, 1) + Bytes().U32(3).U32(47).Zeros(47).str(); }, E::kMessageLength},
        {"length 2^32-1", [] { return Record(1, 18, 1) + Bytes().U32(3).U32(~0u).Zeros(48).str(); }, E::kMessageLength},
        {"text without NUL", [] { return Record(1, 18, 1) + Bytes().U32(3).U32(48).Text(std::string(40, 'a'), 40).U32(0).U32(0).str(); }, E::kMessageText},
        {"sender 4", [] { return Record(1, 18, 1) + Chat("a", 4, 0); }, E::kMessageSender},
        {"team-only 2", [] { return Record(1, 18, 1) + Chat("a", 0, 2); }, E::kMessageFlag},
    };
    for (const Broken& c : cases) {
        FrameBundle out{}, before{};
        std::memset(&out, 0x5A, sizeof out);
        std::memcpy(&before, &out, sizeof out);
        const std::string bytes = c.bytes();
        EXPECT_EQ(ReadFrameBundle(Data(bytes), bytes.size(), &out), c.error) << c.name;
        EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0) << c.name;
        EXPECT_NE(DescribeLockstepRecordError(c.error), nullptr);
    }
}

TEST(LockstepRecords, InputReaderRefusesEveryBrokenField)
{
    const auto header = [](u8 entry, u8 count) { return Bytes().U8(entry).U32(0x7F0102).U8(count).str(); };
    const std::string chat = Chat("hi", 1, 0);
    const Broken cases[] = {
        {"header cut", [=] { return header(1, 0).substr(0, 5); }, E::kTooShort},
        {"entry -1", [=] { return header(0xFF, 0); }, E::kEntry},
        {"entry 4", [=] { return header(4, 0); }, E::kEntry},
        {"count past the buffer", [=] {
             std::string b = header(1, 25);
             for (int i = 0; i < 25; ++i) b += chat;
             return b;
         }, E::kMessageCount},
        {"count over the bytes", [=] { return header(1, 2) + chat; }, E::kTooShort},
        {"bytes after the messages", [=] { return header(1, 1) + chat + chat; }, E::kTrailing},
        {"id 0", [=] { return header(1, 1) + Bytes().U32(0).U32(48).Zeros(48).str(); }, E::kMessageId},
        {"length 300", [=] { return header(1, 1) + Bytes().U32(3).U32(300).Zeros(300).str(); }, E::kMessageLength},
    };
    for (const Broken& c : cases) {
        NetInputMessage out{}, before{};
        std::memset(&out, 0x5A, sizeof out);
        std::memcpy(&before, &out, sizeof out);
        const std::string bytes = c.bytes();
        EXPECT_EQ(ReadNetInput(Data(bytes), bytes.size(), &out), c.error) << c.name;
        EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0) << c.name;
    }
    // The most a buffer holds is taken.
    std::string full = header(3, u8(kMaxTickMessages));
    for (u32 i = 0; i < kMaxTickMessages; ++i) full += chat;
    EXPECT_LE(full.size(), kLockstepBufferBytes);
    NetInputMessage out{};
    EXPECT_EQ(ReadNetInput(Data(full), full.size(), &out), E::kNone);
    EXPECT_EQ(out.messageCount, kMaxTickMessages);
}

TEST(LockstepRecords, WordBodiesAreExactlyFourBytes)
{
    u32 v = 99;
    EXPECT_EQ(ReadU32Body(Data(WriteU32Body(7)), 3, &v), E::kTooShort);
    EXPECT_EQ(ReadU32Body(Data(WriteU32Body(7) + "x"), 5, &v), E::kTrailing);
    EXPECT_EQ(v, 99u);
    EXPECT_EQ(ReadU32Body(Data(WriteU32Body(0xFFFFFFFF)), 4, &v), E::kNone);
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_EQ(ReadEntryBody(Data(WriteU32Body(4)), 4, &v), E::kEntry);
    EXPECT_EQ(ReadEntryBody(Data(WriteU32Body(3)), 4, &v), E::kNone);
    EXPECT_EQ(v, 3u);
}

TEST(LockstepRecords, RadioChatTextEndsInsideItsFieldAtACharacterBoundary)
{
    const struct {
        std::string text;
        size_t kept;
    } cases[] = {
        {std::string(45, 'a'), 39},
        {std::string(39, 'a'), 39},
        // A double-byte character whose trail byte would be the 40th byte.
        {std::string(38, 'a') + "\x82\xA0", 38},
        {std::string(37, 'a') + "\x82\xA0", 39},
    };
    for (const auto& c : cases) {
        const StatePacket m = MakeRadioChat(c.text.c_str(), 1, 0);
        RadioChatLine line{};
        ASSERT_EQ(ReadRadioChat(m.id, m.data, m.length, &line), E::kNone);
        EXPECT_EQ(std::strlen(line.text), c.kept);
        EXPECT_EQ(std::string(line.text), c.text.substr(0, c.kept));
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

// Seeds of the lockstep's records: input messages, frame bundles and side
// messages written by the lockstep's own writers, and refused ones made
// from them.
#include "fuzz/seeds/Seeds.h"
#include "game/battle/scene/LockstepRecords.h"

#include <bit>
#include <limits>
#include <vector>

namespace seeds {

namespace {

std::vector<StatePacket> Lines(u32 count)
{
    std::vector<StatePacket> lines;
    for (u32 i = 0; i < count; ++i)
        lines.push_back(MakeRadioChat(i % 2 ? "\x82\xa0\x82\xa2 left" : "Cover me, I am going in", i % 4, i % 2));
    return lines;
}

// Messages the readers refuse: the battle's bullet id, and a length past
// a state packet.
Bytes Bullet()
{
    Bytes b;
    Le32(b, 0);
    Le32(b, 48);
    return b + Bytes(48, '\x7F');
}

Bytes TooLong()
{
    Bytes b;
    Le32(b, 3);
    Le32(b, 300);
    return b + Bytes(300, 'a');
}

}  // namespace

void MakeLockstepSeeds(const std::string& root)
{
    const InputPacket input{{0x81, 0x40}, -100, 37};
    const std::vector<StatePacket> two = Lines(2), full = Lines(kMaxTickMessages);

    Sink inputs(root, "lockstep_input");
    inputs.Add("plain", WriteNetInput(1, input, nullptr, 0));
    inputs.Add("two_lines", WriteNetInput(3, input, two.data(), 2));
    inputs.Add("full", WriteNetInput(2, input, full.data(), kMaxTickMessages));
    inputs.Add("host_entry", WriteNetInput(0, input, nullptr, 0));
    const Bytes cut = WriteNetInput(3, input, two.data(), 2);
    inputs.Add("cut", cut.substr(0, cut.size() - 1));
    Bytes bullet = WriteNetInput(1, input, nullptr, 0);
    bullet[5] = 1;
    inputs.Add("bullet", bullet + Bullet());
    Bytes tooLong = WriteNetInput(1, input, nullptr, 0);
    tooLong[5] = 1;
    inputs.Add("too_long", tooLong + TooLong());

    Sink bundles(root, "lockstep_bundle");
    FrameRecord record{12.5f, {input, {}, input, {{1, 2}, 3, 4}}, 18, 0};
    bundles.Add("idle", WriteFrameBundle(record, nullptr));
    record.messageCount = 2;
    record.frameMs = 255;
    bundles.Add("two_lines", WriteFrameBundle(record, two.data()));
    record.messageCount = u8(kMaxTickMessages);
    bundles.Add("full", WriteFrameBundle(record, full.data()));
    const Bytes whole = WriteFrameBundle(record, full.data());
    bundles.Add("cut", whole.substr(0, whole.size() - 30));
    record.messageCount = 1;
    bundles.Add("bullet", WriteFrameBundle({0, {}, 18, 0}, nullptr).substr(0, 21) + '\x01' + Bullet());
    bundles.Add("too_long", WriteFrameBundle({0, {}, 18, 0}, nullptr).substr(0, 21) + '\x01' + TooLong());
    record.messageCount = 0;
    record.musicTime = std::numeric_limits<f32>::quiet_NaN();
    bundles.Add("nan", WriteFrameBundle(record, nullptr));

    Sink messages(root, "side_message");
    Bytes line;
    AppendSideMessage(line, two[1]);
    messages.Add("line", line);
    Bytes lineAndMore = line;
    AppendSideMessage(lineAndMore, two[0]);
    messages.Add("two", lineAndMore);
    messages.Add("bullet", Bullet());
    messages.Add("too_long", TooLong());
    // The body alone, behind a 4-byte id, as a replay hands it over.
    Bytes body;
    Le32(body, 3);
    messages.Add("body", body + line.substr(8));
}

}  // namespace seeds

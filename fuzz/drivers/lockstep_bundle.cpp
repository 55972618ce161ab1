// The lockstep's frame bundle (10008) as a client receives it: read, checked,
// queued and played. A bundle read must write back to the bytes it was read
// from; a refused one must leave the destination and the client's queue as
// they were; a taken one is played for one tick whose last frame hands back
// exactly its side messages, each a radio-chat line the battle can show.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleLockstep.h"

#include <cstring>
#include <string>

namespace {

class Nowhere : public ILockstepTransport {
public:
    i32 Broadcast(u32, const u8*, u32) override { return 1; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FrameBundle bundle, before;
    std::memset(&bundle, 0x5A, sizeof bundle);
    std::memcpy(&before, &bundle, sizeof bundle);
    const LockstepRecordError error = ReadFrameBundle(data, size, &bundle);
    FUZZ_CHECK(DescribeLockstepRecordError(error) != nullptr);
    if (error != LockstepRecordError::kNone) {
        FUZZ_CHECK(std::memcmp(&bundle, &before, sizeof bundle) == 0);
    } else {
        FUZZ_CHECK(bundle.record.frameMs >= kMinFrameMs && bundle.record.messageCount <= kMaxTickMessages);
        FUZZ_CHECK(WriteFrameBundle(bundle.record, bundle.messages) ==
                   std::string(reinterpret_cast<const char*>(data), size));
    }

    Nowhere transport;
    LockstepConfig config;
    config.localEntry = 1;
    config.kinds[1] = 0;
    CBattleLockstep client(config, &transport, nullptr, nullptr);
    FUZZ_CHECK(client.OnMessage(kMsgFrameBundle, data, size) == error);
    // The two idle records, then the bundle's when it was taken.
    static LockstepFrame frame;
    u32 frames = 0, lines = 0;
    while (client.TakeFrame(&frame)) {
        ++frames;
        FUZZ_CHECK(frame.messageCount == 0 || frame.tickEnd);
        for (u32 i = 0; i < frame.messageCount; ++i) {
            RadioChatLine line;
            const StatePacket& m = frame.messages[i];
            FUZZ_CHECK(ReadRadioChat(m.id, m.data, m.length, &line) == LockstepRecordError::kNone);
            FUZZ_CHECK(std::memchr(line.text, 0, sizeof line.text) && line.sender < kLockstepEntries);
            ++lines;
        }
    }
    const bool taken = error == LockstepRecordError::kNone;
    FUZZ_CHECK(frames == client.GetInputDelay() * (taken ? 3 : 2));
    FUZZ_CHECK(lines == (taken ? bundle.record.messageCount : 0u));
    return 0;
}

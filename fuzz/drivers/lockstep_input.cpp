// The lockstep's input message (10007) as a host receives it: read, checked
// and taken into the ring. A message read must write back to the bytes it
// was read from; a refused one must leave the destination as it was; and
// whatever the host took, the bundle it sends next reads back whole and
// fits the bundle buffer.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleLockstep.h"

#include <cstring>
#include <string>

namespace {

class LastBundle : public ILockstepTransport {
public:
    i32 Broadcast(u32 type, const u8* data, u32 length) override
    {
        if (type == kMsgFrameBundle) bytes.assign(reinterpret_cast<const char*>(data), length);
        return 1;
    }
    std::string bytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static NetInputMessage message, before;
    std::memset(&message, 0xA5, sizeof message);
    std::memcpy(&before, &message, sizeof message);
    const LockstepRecordError error = ReadNetInput(data, size, &message);
    FUZZ_CHECK(DescribeLockstepRecordError(error) != nullptr);
    if (error != LockstepRecordError::kNone) {
        FUZZ_CHECK(std::memcmp(&message, &before, sizeof message) == 0);
    } else {
        FUZZ_CHECK(message.entry < kLockstepEntries && message.messageCount <= kMaxTickMessages);
        FUZZ_CHECK(WriteNetInput(message.entry, message.input, message.messages, message.messageCount) ==
                   std::string(reinterpret_cast<const char*>(data), size));
    }

    // The same bytes twice, as two peers might send them, then one bundle.
    LastBundle transport;
    LockstepConfig config;
    config.kinds[1] = config.kinds[2] = config.kinds[3] = 0;
    CBattleLockstep host(config, &transport, nullptr, nullptr);
    const LockstepRecordError taken = host.OnMessage(kMsgNetInput, data, size);
    FUZZ_CHECK(taken == error || (error == LockstepRecordError::kNone && message.entry == 0));
    host.OnMessage(kMsgNetInput, data, size);
    FUZZ_CHECK(host.SendFrameBundle() == 1);
    static FrameBundle bundle;
    FUZZ_CHECK(ReadFrameBundle(reinterpret_cast<const u8*>(transport.bytes.data()), transport.bytes.size(), &bundle) ==
               LockstepRecordError::kNone);
    FUZZ_CHECK(transport.bytes.size() <= kLockstepBufferBytes);
    return 0;
}

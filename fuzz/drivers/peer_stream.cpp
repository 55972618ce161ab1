// Fuzz driver for a peer connection's stream (PeerStreamDriver.h says how an
// input reads): the bytes go through the receive thread's reassembly and
// parse steps in the input's cuts, with a sink that records what is handed
// over. However the stream is cut, the same messages come out in the same
// order with the same refusal as when it arrives in one piece; every message
// handed over fits its type's rule for that sender, and nothing refused
// keeps a byte queued.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/PeerStreamDriver.h"
#include "game/network/NetClient.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Recording : IPeerStreamSink {
    void OnPing() override { log.push_back("ping"); }
    void OnPong() override { log.push_back("pong"); }
    i32 OnMessage(i32 type, const u8* payload, u32 length) override
    {
        const peer::TypeRule* rule = peer::FindTypeRule(type);
        FUZZ_CHECK(rule && length >= rule->minLength && length <= rule->maxLength);
        FUZZ_CHECK(peer::CheckHeader({i16(type), 1, length}, from) == peer::WireError::kNone);
        log.push_back(std::to_string(type) + ":" + std::string(reinterpret_cast<const char*>(payload), length));
        return 1;
    }
    peer::Sender from = peer::Sender::kEither;
    std::vector<std::string> log;
};

struct Outcome {
    std::vector<std::string> log;
    peer::WireError error;
    size_t queued;
};

Outcome Run(peer::Sender from, const u8* data, size_t size, const std::vector<size_t>& cuts)
{
    CPeerStream stream(from);
    Recording sink;
    sink.from = from;
    size_t at = 0, turn = 0;
    while (at < size) {
        const size_t take = cuts.empty() ? size - at : std::min(cuts[turn++ % cuts.size()], size - at);
        const bool whole = stream.Receive(data + at, take);
        FUZZ_CHECK(stream.ParseMessages(sink));
        at += take;
        if (!whole) {
            FUZZ_CHECK(stream.Error() != peer::WireError::kNone);
            FUZZ_CHECK(stream.QueuedMessages() == 0);
            break;
        }
    }
    return {sink.log, stream.Error(), stream.QueuedMessages()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    const peer::Sender from = fuzz::peer_stream::SenderOf(input.Byte());
    const u8 n = input.Byte();
    std::vector<size_t> cuts;
    for (u8 i = 0; i < n; ++i) cuts.push_back(size_t(input.Byte()) + 1);
    const Outcome cut = Run(from, input.Rest(), input.RestSize(), cuts);
    const Outcome whole = Run(from, input.Rest(), input.RestSize(), {});
    FUZZ_CHECK(cut.log == whole.log);
    FUZZ_CHECK(cut.error == whole.error);
    FUZZ_CHECK(cut.queued == whole.queued);
    // An incomplete message at the end is all that may stay queued.
    FUZZ_CHECK(cut.queued <= 1);
    return 0;
}

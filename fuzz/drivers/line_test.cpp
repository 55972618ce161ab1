// The line test's records as a responder or tester reads them from a peer
// (LineTestDriver.h says how an input reads). A record read must write back
// to the bytes it was read from and lie within the test's bounds; a refused
// one leaves the destination as it was. Datagrams go one by one into a
// link's tally: a refused one changes nothing, and the tally never counts
// more than the sequence numbers it has climbed through.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/LineTestDriver.h"
#include "game/network/LineTest.h"

#include <cstring>

namespace {

using namespace line_wire;

void HeaderRecord(const u8* data, size_t size)
{
    line_wire::Header header{0xA5A5, 0x5A5A};
    const LineError error = ReadHeader(data, size, &header);
    FUZZ_CHECK(DescribeLineError(error) != nullptr);
    if (error != LineError::kNone) {
        FUZZ_CHECK(header.count == 0xA5A5 && header.size == 0x5A5A);
        return;
    }
    FUZZ_CHECK(header.size >= kMinSize && header.size <= kMaxSize && header.count <= kMaxCount);
    const auto back = WriteHeader(header);
    FUZZ_CHECK(size == back.size() && std::memcmp(back.data(), data, size) == 0);
}

void Word(const u8* data, size_t size, bool isCount, u16 packetCount)
{
    u32 value = 0xDEADBEEF;
    const LineError error =
        isCount ? ReadDatagramCount(data, size, packetCount, &value) : ReadMarker(data, size, &value);
    if (error != LineError::kNone) {
        FUZZ_CHECK(value == 0xDEADBEEF);
        return;
    }
    if (isCount) FUZZ_CHECK(value < packetCount || value == 0);
    const auto back = WriteWord(value);
    FUZZ_CHECK(size == back.size() && std::memcmp(back.data(), data, size) == 0);
}

void Datagrams(fuzz::Input& input)
{
    DatagramTally tally;
    tally.count = u16(input.Byte() | input.Byte() << 8);
    tally.size = u16(input.Byte() | input.Byte() << 8);
    while (input.RestSize() > 0) {
        const size_t length = size_t(input.Byte()) | size_t(input.Byte()) << 8;
        const size_t take = std::min(length, input.RestSize());
        const DatagramTally before = tally;
        const LineError error = CountDatagram(tally, input.Rest(), take);
        if (error != LineError::kNone) {
            FUZZ_CHECK(std::memcmp(&before, &tally, sizeof tally) == 0);
        } else {
            FUZZ_CHECK(take == tally.size && take >= kMinSize);
            FUZZ_CHECK(tally.received <= before.received + 1);
        }
        // Each counted datagram climbed at least one sequence number above 0.
        FUZZ_CHECK(tally.received <= tally.highest);
        FUZZ_CHECK(tally.highest == 0 || tally.highest < tally.count);
        for (size_t i = 0; i < take; ++i) input.Byte();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input input(data, size);
    switch (input.Byte() % 4) {
    case fuzz::line_test::kHeader: HeaderRecord(input.Rest(), input.RestSize()); break;
    case fuzz::line_test::kMarker: Word(input.Rest(), input.RestSize(), false, 0); break;
    case fuzz::line_test::kDatagramCount: {
        const u16 count = u16(input.Byte() | input.Byte() << 8);
        Word(input.Rest(), input.RestSize(), true, count);
        break;
    }
    default: Datagrams(input); break;
    }
    return 0;
}

// Seeds of the line test driver, made with the test's own writers: the
// lobby's test (100 packets of 1,000 bytes), the bounds either side, the
// words each side sends, and datagram runs as a line delivers them: in
// order, reordered, doubled, lost, and the empty and one-byte datagrams a
// stranger may send.
#include "fuzz/drivers/LineTestDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/network/LineTest.h"

#include <vector>

namespace seeds {

namespace {

using namespace fuzz::line_test;

Bytes Record(Record kind, const Bytes& body) { return char(kind) + body; }

template <size_t N>
Bytes Text(const std::array<u8, N>& bytes)
{
    return Bytes(reinterpret_cast<const char*>(bytes.data()), N);
}

Bytes Datagram(u16 sequence, u16 size)
{
    Bytes bytes(size, '\0');
    line_wire::StampDatagram(reinterpret_cast<u8*>(bytes.data()), sequence);
    return DatagramRecord(bytes);
}

Bytes Run(u16 count, u16 size, const std::vector<u16>& sequences)
{
    Bytes b = fuzz::line_test::Le16(count) + fuzz::line_test::Le16(size);
    for (u16 s : sequences) b += Datagram(s, size);
    return Record(kDatagrams, b);
}

std::vector<u16> Upto(u16 count)
{
    std::vector<u16> all;
    for (u16 i = 0; i < count; ++i) all.push_back(i);
    return all;
}

}  // namespace

void MakeLineTestSeeds(const std::string& root)
{
    Sink sink(root, "line_test");
    const auto header = [&](const std::string& name, u16 count, u16 size) {
        sink.Add("header-" + name, Record(kHeader, Text(line_wire::WriteHeader({count, size}))));
    };
    header("lobby", 100, 1000);
    header("largest", line_wire::kMaxCount, line_wire::kMaxSize);
    header("smallest", 0, line_wire::kMinSize);
    header("size-1", 100, 1);
    header("size-1401", 100, 1401);
    header("count-1001", 1001, 1000);
    sink.Add("header-cut", Record(kHeader, Text(line_wire::WriteHeader({100, 1000})).substr(0, 3)));

    sink.Add("marker", Record(kMarker, Text(line_wire::WriteWord(0))));
    sink.Add("count-99-of-100", Record(kDatagramCount, fuzz::line_test::Le16(100) + Text(line_wire::WriteWord(99))));
    sink.Add("count-100-of-100", Record(kDatagramCount, fuzz::line_test::Le16(100) + Text(line_wire::WriteWord(100))));
    sink.Add("count-of-none", Record(kDatagramCount, fuzz::line_test::Le16(0) + Text(line_wire::WriteWord(0))));

    // Small datagrams keep the runs short; the lobby's size once.
    sink.Add("datagrams-lobby", Run(100, 1000, Upto(100)));
    sink.Add("datagrams-in-order", Run(20, 8, Upto(20)));
    sink.Add("datagrams-late", Run(20, 8, {0, 1, 3, 2, 4, 6, 5, 19, 18}));
    sink.Add("datagrams-doubled-and-lost", Run(20, 8, {0, 0, 1, 1, 4, 4, 9, 12, 12}));
    sink.Add("datagrams-past-count", Run(20, 8, {0, 1, 20, 0xFFFF, 2}));
    Bytes tiny = fuzz::line_test::Le16(20) + fuzz::line_test::Le16(8) + DatagramRecord("") + DatagramRecord("\x05") + Datagram(1, 8) +
                 DatagramRecord(Bytes(7, '\x02')) + Datagram(2, 8);
    sink.Add("datagrams-empty-and-one-byte", Record(kDatagrams, tiny));
    sink.Add("datagrams-before-header", Run(0, 0, {0, 1}));
}

}  // namespace seeds

// What the line test driver and its seeds share: the input's layout.
//
//   byte 0       the record (value % 4): 0 the test's header, 1 the
//                tester's marker, 2 the responder's datagram count, 3 a run
//                of datagrams into one link's tally
//   record 2     u16 packet count of the test, then the word's bytes
//   record 3     u16 packet count, u16 size (the tally's, as a header set
//                them), then datagrams to the end: u16 length, that many
//                bytes (fewer when the input ends first)
//   else         the record's bytes, the rest of the input
#pragma once

#include "engine/core/Types.h"

#include <string>

namespace fuzz::line_test {

enum Record : u8 { kHeader, kMarker, kDatagramCount, kDatagrams };

inline std::string Le16(u32 v) { return std::string{char(v), char(v >> 8)}; }

// One datagram of a kDatagrams input.
inline std::string DatagramRecord(const std::string& bytes) { return Le16(u32(bytes.size())) + bytes; }

}  // namespace fuzz::line_test

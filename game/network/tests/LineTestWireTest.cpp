// The line test's records: golden bytes, the readers' bounds, and the
// datagram tally that decides what a test reports.
#include "game/network/LineTest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace line_wire;

TEST(LineTestWire, WritesLittleEndianRecords)
{
    EXPECT_EQ(WriteHeader({100, 1000}), (std::array<u8, 4>{0x64, 0x00, 0xE8, 0x03}));
    EXPECT_EQ(WriteWord(99), (std::array<u8, 4>{0x63, 0, 0, 0}));
    EXPECT_EQ(WriteWord(0x01020304), (std::array<u8, 4>{4, 3, 2, 1}));
    u8 datagram[4] = {9, 9, 9, 9};
    StampDatagram(datagram, 0x0102);
    EXPECT_EQ(std::vector<u8>(datagram, datagram + 4), (std::vector<u8>{2, 1, 9, 9}));
}

struct HeaderCase {
    std::vector<u8> bytes;
    LineError error;
    u16 count = 0, size = 0;
};

TEST(LineTestWire, HeaderKeepsSizesAndCountsInBounds)
{
    const HeaderCase cases[] = {
        {{0x64, 0, 0xE8, 3}, LineError::kNone, 100, 1000},
        {{0xE8, 3, 0x78, 5}, LineError::kNone, 1000, 1400},
        {{0, 0, 2, 0}, LineError::kNone, 0, 2},
        {{0x64, 0, 1, 0}, LineError::kSize},        // no room for the sequence number
        {{0x64, 0, 0, 0}, LineError::kSize},
        {{0x64, 0, 0x79, 5}, LineError::kSize},     // 1401
        {{0xE9, 3, 0xE8, 3}, LineError::kCount},    // 1001
        {{0xFF, 0xFF, 0xE8, 3}, LineError::kCount},
        {{0x64, 0, 0xE8}, LineError::kLength},
        {{0x64, 0, 0xE8, 3, 0}, LineError::kLength},
    };
    for (const HeaderCase& c : cases) {
        Header header{7, 7};
        EXPECT_EQ(ReadHeader(c.bytes.data(), c.bytes.size(), &header), c.error) << c.bytes.size() << " bytes";
        if (c.error == LineError::kNone) {
            EXPECT_EQ(header.count, c.count);
            EXPECT_EQ(header.size, c.size);
        } else {
            EXPECT_EQ(header.count, 7);   // a refused record changes nothing
            EXPECT_EQ(header.size, 7);
        }
    }
}

TEST(LineTestWire, PeerCountNeverPassesWhatTheTestCouldCount)
{
    struct Case {
        u16 packets;
        u32 value;
        LineError error;
    } const cases[] = {
        {100, 99, LineError::kNone},   {100, 100, LineError::kTooMany}, {100, 0xFFFFFFFF, LineError::kTooMany},
        {1, 0, LineError::kNone},      {1, 1, LineError::kTooMany},     {0, 0, LineError::kNone},
        {0, 1, LineError::kTooMany},   {1000, 999, LineError::kNone},
    };
    for (const Case& c : cases) {
        const auto bytes = WriteWord(c.value);
        u32 out = 12345;
        EXPECT_EQ(ReadDatagramCount(bytes.data(), bytes.size(), c.packets, &out), c.error) << c.value;
        EXPECT_EQ(out, c.error == LineError::kNone ? c.value : 12345u);
    }
    u32 out = 0;
    const u8 three[3] = {};
    EXPECT_EQ(ReadDatagramCount(three, 3, 100, &out), LineError::kLength);
    EXPECT_EQ(ReadMarker(three, 3, &out), LineError::kLength);
}

// A datagram of the run: its sequence number, or a raw length (empty,
// one byte, the wrong size) when negative.
constexpr int kEmpty = -1, kOneByte = -2, kWrongSize = -3;

struct TallyCase {
    const char* name;
    u16 count, size;
    std::vector<int> run;
    u32 received;
    u16 highest;
};

TEST(LineTestWire, TallyCountsOnlyDatagramsAboveTheHighestSeen)
{
    std::vector<int> all;
    for (int i = 0; i < 100; ++i) all.push_back(i);
    const TallyCase cases[] = {
        {"perfect line: 99 of 100", 100, 1000, all, 99, 99},
        {"late datagram", 10, 8, {0, 1, 3, 2, 4}, 3, 4},
        {"doubled", 10, 8, {0, 0, 1, 1, 2, 2}, 2, 2},
        {"first alone", 10, 8, {0}, 0, 0},
        {"lost ones", 10, 8, {0, 5, 9}, 2, 9},
        {"empty and one-byte skipped", 10, 8, {0, kEmpty, 1, kOneByte, 2, kWrongSize, 3}, 3, 3},
        {"past the count refused", 10, 8, {0, 1, 10, 0xFFFF, 2}, 2, 2},
        {"before the header", 0, 0, {0, 1, 2}, 0, 0},
    };
    for (const TallyCase& c : cases) {
        DatagramTally tally;
        tally.count = c.count;
        tally.size = c.size;
        const size_t size = c.size ? c.size : 8;   // what arrives before any header
        for (int item : c.run) {
            std::vector<u8> bytes(item == kEmpty ? 0 : item == kOneByte ? 1 : item == kWrongSize ? size - 1 : size, 0x33);
            if (item >= 0) StampDatagram(bytes.data(), u16(item));
            CountDatagram(tally, bytes.data(), bytes.size());
        }
        EXPECT_EQ(tally.received, c.received) << c.name;
        EXPECT_EQ(tally.highest, c.highest) << c.name;
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

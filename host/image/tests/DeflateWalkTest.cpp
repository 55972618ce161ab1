// The walk of a deflate stream's codes gives zlib's verdict without
// inflating: on what zlib writes at every strategy, and on those streams
// damaged a byte at a time or cut short.
#include "host/image/Formats.h"
#include "host/image/tests/ImageTestSupport.h"
#include "host/image/tests/ZlibVerdict.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using Bytes = std::vector<uint8_t>;
using host::image::detail::WalkDeflate;
using image_test::Deflated;
using image_test::ZlibTakes;

// A raw stream (no zlib header) at level and strategy.
Bytes RawDeflate(const Bytes& data, int level, int strategy) { return Deflated(data, level, -15, 8, strategy); }

// What each kind of stream is made of: runs, a pattern, noise, and rows of
// each in turn.
std::vector<Bytes> Data()
{
    std::vector<Bytes> out;
    uint32_t r = 12345;
    const auto next = [&r] { return uint8_t((r = r * 1103515245u + 12345u) >> 16); };
    for (size_t size : {size_t(1), size_t(300), size_t(70000)}) {
        Bytes zeros(size, 0), pattern(size), noise(size), mixed(size);
        for (size_t i = 0; i < size; ++i) {
            pattern[i] = uint8_t(i * 7 % 251);
            noise[i] = next();
            mixed[i] = (i / 97) % 3 == 0 ? 0 : (i / 97) % 3 == 1 ? uint8_t(i % 13) : next();
        }
        out.insert(out.end(), {zeros, pattern, noise, mixed});
    }
    return out;
}

struct Strategy {
    int level, strategy;
};
constexpr Strategy kStrategies[] = {{0, Z_DEFAULT_STRATEGY}, {1, Z_DEFAULT_STRATEGY}, {9, Z_DEFAULT_STRATEGY},
                                    {6, Z_FILTERED},         {6, Z_HUFFMAN_ONLY},     {6, Z_RLE},
                                    {6, Z_FIXED}};

TEST(DeflateWalk, TakesWhatZlibWritesAtEveryStrategy)
{
    for (const Bytes& data : Data()) {
        for (const Strategy& s : kStrategies) {
            SCOPED_TRACE(::testing::Message() << data.size() << " bytes, level " << s.level << " strategy " << s.strategy);
            const Bytes stream = RawDeflate(data, s.level, s.strategy);
            EXPECT_EQ(WalkDeflate(stream.data(), stream.size(), data.size()), nullptr);
            // Asked for fewer bytes, the rest is data past the picture.
            EXPECT_EQ(WalkDeflate(stream.data(), stream.size(), data.size() - 1), nullptr);
            const char* more = WalkDeflate(stream.data(), stream.size(), data.size() + 1);
            ASSERT_NE(more, nullptr);
            EXPECT_STREQ(more, "too little image data");
        }
    }
}

// Every stream damaged at many places, one byte at a time, and cut at
// every length: the walk says what zlib says.
TEST(DeflateWalk, GivesZlibsVerdictOnDamagedAndCutStreams)
{
    uint32_t r = 777;
    const auto next = [&r] { return (r = r * 1103515245u + 12345u) >> 8; };
    size_t refused = 0, cases = 0;
    for (const Bytes& data : Data()) {
        if (data.size() > 1000) continue;   // the short ones: every cut
        for (const Strategy& s : kStrategies) {
            const Bytes stream = RawDeflate(data, s.level, s.strategy);
            for (size_t cut = 0; cut < stream.size(); ++cut) {
                const Bytes part(stream.begin(), stream.begin() + long(cut));
                const bool walk = WalkDeflate(part.data(), part.size(), data.size()) == nullptr;
                EXPECT_EQ(walk, ZlibTakes(part, data.size())) << "cut at " << cut << " of " << stream.size();
                ++cases;
                refused += !walk;
            }
            for (int i = 0; i < 300; ++i) {
                Bytes damaged = stream;
                damaged[next() % damaged.size()] ^= uint8_t(1 + next() % 255);
                const bool walk = WalkDeflate(damaged.data(), damaged.size(), data.size()) == nullptr;
                ASSERT_EQ(walk, ZlibTakes(damaged, data.size())) << "damage " << i << ", level " << s.level
                                                                 << " strategy " << s.strategy;
                ++cases;
                refused += !walk;
            }
        }
    }
    // Most damage shows.
    EXPECT_GT(refused, cases / 2);
}

// Blocks zlib does not write, laid by hand: each refused as zlib refuses it.
TEST(DeflateWalk, RefusesBlocksZlibRefuses)
{
    // Fields from the low bit up; Huffman codes (Code) from their top bit.
    struct Bits {
        Bytes out;
        int used = 8;
        Bits& Put(uint32_t v, int n)
        {
            for (int i = 0; i < n; ++i) {
                if (used == 8) {
                    out.push_back(0);
                    used = 0;
                }
                out.back() = uint8_t(out.back() | (v >> i & 1) << used++);
            }
            return *this;
        }
        Bits& Code(uint32_t code, int n)
        {
            for (int i = n - 1; i >= 0; --i) Put(code >> i & 1, 1);
            return *this;
        }
        Bits& Repeat(uint32_t code, int n, int times)
        {
            for (int i = 0; i < times; ++i) Code(code, n);
            return *this;
        }
    };
    // A dynamic block under the fixed code's lengths, naming 288 length
    // and 32 distance codes: the bytes 'a' 'b' 'c' then the end.
    Bits tooMany;
    tooMany.Put(1, 1).Put(2, 2).Put(31, 5).Put(31, 5).Put(6, 4);
    for (int n : {0, 0, 0, 0, 2, 2, 2, 0, 0, 2}) tooMany.Put(uint32_t(n), 3);   // code lengths 5 7 8 9
    tooMany.Repeat(2, 2, 144).Repeat(3, 2, 112).Repeat(1, 2, 24).Repeat(2, 2, 8).Repeat(0, 2, 32);
    for (uint8_t c : {'a', 'b', 'c'}) tooMany.Code(0x30u + c, 8);
    tooMany.Code(0, 7);
    // Code-length code 8 "0", 0 "10", 9 "110" (one code of three bits
    // unused); 255 lengths of 8 and two of 9 (complete), no distance code;
    // the literal 0 then the end (the last nine-bit code).
    Bits loosePre;
    loosePre.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5).Put(3, 4);
    for (int n : {0, 0, 0, 2, 1, 0, 3}) loosePre.Put(uint32_t(n), 3);
    loosePre.Repeat(0, 1, 255).Repeat(6, 3, 2).Code(2, 2).Code(0, 8).Code(511, 9);
    // Code-length codes 0 "0" and 8 "1"; 255 lengths of 8 (one code
    // unused), no distance code; the literal 0 then the end (254).
    Bits looseLengths;
    looseLengths.Put(1, 1).Put(2, 2).Put(0, 5).Put(0, 5).Put(1, 4);
    for (int n : {0, 0, 0, 1, 1}) looseLengths.Put(uint32_t(n), 3);
    looseLengths.Repeat(1, 1, 254).Repeat(0, 1, 2).Code(1, 1).Code(0, 1).Code(0, 8).Code(254, 8);
    struct Case {
        const char* what;
        Bytes stream;
        uint64_t need;
    };
    // A stored block of three bytes, and one whose check is wrong.
    const Bytes stored = {0x01, 3, 0, 0xFC, 0xFF, 'a', 'b', 'c'};
    Bytes badCheck = stored;
    badCheck[3] = 0;
    // A fixed block: literal 0 (00110000), then a copy of 3 at distance 2
    // (length code 257 = 0000001, distance code 1 = 00001), then the end.
    const auto fixed = [](int distanceCode) {
        Bits b;
        b.Put(1, 1).Put(1, 2);
        for (int bit : {0, 0, 1, 1, 0, 0, 0, 0}) b.Put(uint32_t(bit), 1);
        for (int bit : {0, 0, 0, 0, 0, 0, 1}) b.Put(uint32_t(bit), 1);
        for (int i = 4; i >= 0; --i) b.Put(uint32_t(distanceCode >> i & 1), 1);
        b.Put(0, 7);
        return b.out;
    };
    const Case cases[] = {
        {"block type 3", Bits().Put(1, 1).Put(3, 2).Put(0, 16).out, 1},
        {"stored length unchecked", badCheck, 3},
        {"a copy from before the start", fixed(1), 4},
        {"distance code 30", fixed(30), 4},
        {"288 length and 32 distance codes", tooMany.out, 3},
        {"an incomplete code-length code", loosePre.out, 1},
        {"an incomplete length code", looseLengths.out, 1},
        {"257 + 31 length codes", Bits().Put(1, 1).Put(2, 2).Put(31, 5).Put(0, 5).Put(0, 4).Put(0, 20).out, 1},
        {"1 + 31 distance codes", Bits().Put(1, 1).Put(2, 2).Put(0, 5).Put(31, 5).Put(0, 4).Put(0, 20).out, 1},
        {"code-length code over-subscribed", Bits().Put(1, 1).Put(2, 2).Put(0, 10).Put(15, 4).Put(0x49249249, 30)
                                                 .Put(0x49249249, 27).Put(0, 20).out, 1},
        {"code-length code incomplete", Bits().Put(1, 1).Put(2, 2).Put(0, 10).Put(0, 4).Put(2, 3).Put(0, 9)
                                            .Put(0, 20).out, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(ZlibTakes(c.stream, c.need));
        EXPECT_NE(WalkDeflate(c.stream.data(), c.stream.size(), c.need), nullptr);
    }
    // The sound ones beside them.
    EXPECT_TRUE(ZlibTakes(stored, 3));
    EXPECT_EQ(WalkDeflate(stored.data(), stored.size(), 3), nullptr);
    const Bytes copy = fixed(0);   // distance 1: the literal thrice more
    EXPECT_TRUE(ZlibTakes(copy, 4));
    EXPECT_EQ(WalkDeflate(copy.data(), copy.size(), 4), nullptr);
}

// Data past the picture's bytes is walked to the stream's end as zlib
// inflates it: a stored block there whose length runs past the end is
// refused at every size, as a stream with no last block is.
TEST(DeflateWalk, WalksPastThePictureToTheStreamsEnd)
{
    const Bytes data(5000, 7);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes flushed(deflateBound(&z, uLong(data.size())) + 64);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = flushed.data();
    z.avail_out = uInt(flushed.size());
    ASSERT_EQ(deflate(&z, Z_SYNC_FLUSH), Z_OK);
    flushed.resize(z.total_out);
    deflateEnd(&z);
    Bytes pastTheEnd = flushed;
    pastTheEnd.insert(pastTheEnd.end(), {0x01, 0x00, 0x10, 0xFF, 0xEF});   // a last stored block of 4096
    pastTheEnd.insert(pastTheEnd.end(), 40, 0);
    Bytes ends = flushed;
    ends.insert(ends.end(), {0x01, 40, 0x00, 0xD7, 0xFF});
    ends.insert(ends.end(), 40, 0);
    const struct {
        const char* what;
        Bytes stream;
        bool sound;
    } cases[] = {
        {"no last block", flushed, false},
        {"a stored block past the end", pastTheEnd, false},
        {"a last stored block", ends, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (uint64_t need : {uint64_t(1), uint64_t(4999), uint64_t(5000)}) {
            EXPECT_EQ(ZlibTakes(c.stream, need), c.sound);
            EXPECT_EQ(WalkDeflate(c.stream.data(), c.stream.size(), need) == nullptr, c.sound) << need;
        }
    }
}

// Given where rows start, the walk reads each row's filter byte, whether
// it comes as a literal, a copy (a run the length of many rows) or a
// stored block, row by row and pass by pass; bytes past the rows are data,
// not filters.
TEST(DeflateWalk, SeesEachRowsFilterByte)
{
    using host::image::detail::RowLayout;
    RowLayout plain;
    plain.count = 1;
    plain.passes[0] = {40, 33};
    RowLayout passes;   // three passes, one empty
    passes.count = 3;
    passes.passes[0] = {3, 9};
    passes.passes[1] = {0, 1};
    passes.passes[2] = {10, 17};
    for (const RowLayout* layout : {&plain, &passes}) {
        const uint64_t need = layout->Bytes();
        Bytes rows(need + 50, 9);   // a filter past the rows is nothing
        std::vector<size_t> starts;
        for (int p = 0, at = 0; p < layout->count; ++p)
            for (uint64_t r = 0; r < layout->passes[p].rows; ++r, at += int(layout->passes[p].stride)) starts.push_back(size_t(at));
        for (size_t i = 0; i < starts.size(); ++i) rows[starts[i]] = uint8_t(i % 5);
        for (const Strategy& s : kStrategies) {
            SCOPED_TRACE(::testing::Message() << need << " bytes, level " << s.level << " strategy " << s.strategy);
            const Bytes sound = RawDeflate(rows, s.level, s.strategy);
            EXPECT_EQ(WalkDeflate(sound.data(), sound.size(), need, layout), nullptr);
            for (size_t row : {size_t(0), starts.size() / 2, starts.size() - 1}) {
                Bytes bad = rows;
                bad[starts[row]] = 5;
                const Bytes stream = RawDeflate(bad, s.level, s.strategy);
                const char* why = WalkDeflate(stream.data(), stream.size(), need, layout);
                ASSERT_NE(why, nullptr) << "row " << row;
                EXPECT_STREQ(why, "a row filter PNG does not have");
                // Without the layout it is only data.
                EXPECT_EQ(WalkDeflate(stream.data(), stream.size(), need), nullptr);
            }
        }
    }
    // A run of rows copied from the first: each copied filter byte seen.
    Bytes run(33 * 40, 0);
    run[0] = 6;
    const Bytes stream = RawDeflate(run, 9, Z_RLE);
    EXPECT_NE(WalkDeflate(stream.data(), stream.size(), 33 * 40, &plain), nullptr);
    run[0] = 4;
    const Bytes good = RawDeflate(run, 9, Z_RLE);
    EXPECT_EQ(WalkDeflate(good.data(), good.size(), 33 * 40, &plain), nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

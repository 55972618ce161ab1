// A deflate stream's codes walked without writing what they give: blocks,
// code tables, symbols and distances checked as zlib checks them, and the
// bytes they would give counted, to the end of the last block. Where
// zlib's copying of long runs takes a second for a picture of a quarter of
// a gigabyte, this takes milliseconds, so a small damaged file claiming a
// large picture is refused before the picture's room is made. Given where
// the rows start, it keeps the last 32 KiB given (runs copied a span at a
// time) to see each row's filter byte.
#include "host/image/Formats.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace host::image::detail {
namespace {

constexpr int kMaxBits = 15;

// The stream's bits from the low bit of each byte up; reading past the end
// gives zeros and marks the walk as cut short.
class BitReader {
public:
    BitReader(const uint8_t* p, size_t size) : p_(p), size_(size) {}

    uint32_t Bits(int n)
    {
        while (count_ < n) {
            if (pos_ == size_) {
                over_ = true;
                return 0;
            }
            buffer_ |= uint64_t(p_[pos_++]) << count_;
            count_ += 8;
        }
        const uint32_t v = uint32_t(buffer_ & ((uint64_t(1) << n) - 1));
        buffer_ >>= n;
        count_ -= n;
        return v;
    }
    // To the next byte; what is left of this one is dropped.
    void Align()
    {
        buffer_ >>= count_ % 8;
        count_ -= count_ % 8;
    }
    // Skips n whole bytes after Align.
    bool Skip(size_t n)
    {
        const size_t buffered = size_t(count_ / 8);
        const size_t fromBuffer = n < buffered ? n : buffered;
        buffer_ = fromBuffer == 8 ? 0 : buffer_ >> (8 * fromBuffer);
        count_ -= int(8 * fromBuffer);
        n -= fromBuffer;
        if (n > size_ - pos_) {
            over_ = true;
            return false;
        }
        pos_ += n;
        return true;
    }
    bool Over() const { return over_; }
    // The next whole byte, after Align.
    const uint8_t* Here() const { return p_ + pos_ - size_t(count_ / 8); }

private:
    const uint8_t* p_;
    size_t size_, pos_ = 0;
    uint64_t buffer_ = 0;
    int count_ = 0;
    bool over_ = false;
};

// A canonical Huffman code: how many codes of each length, and the symbols
// in code order.
struct Code {
    uint16_t count[kMaxBits + 1] = {};
    uint16_t symbol[288] = {};
};

// Builds the code; the codes left unused (0: complete), or -1 when the
// lengths ask for more codes than there are.
int Build(Code& h, const uint8_t* lengths, int n)
{
    std::memset(h.count, 0, sizeof h.count);
    for (int s = 0; s < n; ++s) ++h.count[lengths[s]];
    if (h.count[0] == n) return 0;
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
        left = left * 2 - h.count[len];
        if (left < 0) return -1;
    }
    uint16_t offsets[kMaxBits + 1];
    offsets[1] = 0;
    for (int len = 1; len < kMaxBits; ++len) offsets[len + 1] = uint16_t(offsets[len] + h.count[len]);
    for (int s = 0; s < n; ++s)
        if (lengths[s]) h.symbol[offsets[lengths[s]]++] = uint16_t(s);
    return left;
}

// The next symbol, or -1 for bits no code has.
int Decode(BitReader& in, const Code& h)
{
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        code |= int(in.Bits(1));
        const int count = h.count[len];
        if (code - count < first) return h.symbol[index + (code - first)];
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return -1;
}

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,    65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// A dynamic block's two codes, read from its header; null when sound.
const char* ReadCodes(BitReader& in, Code& lengths, Code& distances)
{
    const int nLength = int(in.Bits(5)) + 257, nDistance = int(in.Bits(5)) + 1, nCode = int(in.Bits(4)) + 4;
    if (nLength > 286 || nDistance > 30) return "damaged image data";
    static constexpr uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    uint8_t bits[286 + 30] = {};
    for (int i = 0; i < nCode; ++i) bits[kOrder[i]] = uint8_t(in.Bits(3));
    Code code;
    // zlib takes no incomplete code-length code.
    if (Build(code, bits, 19) != 0) return "damaged image data";
    std::memset(bits, 0, sizeof bits);
    for (int i = 0; i < nLength + nDistance;) {
        const int s = Decode(in, code);
        if (in.Over()) return "image data cut short";
        if (s < 0) return "damaged image data";
        if (s < 16) {
            bits[i++] = uint8_t(s);
            continue;
        }
        uint8_t fill = 0;
        int times;
        if (s == 16) {
            if (i == 0) return "damaged image data";
            fill = bits[i - 1];
            times = 3 + int(in.Bits(2));
        } else {
            times = s == 17 ? 3 + int(in.Bits(3)) : 11 + int(in.Bits(7));
        }
        if (in.Over()) return "image data cut short";
        if (i + times > nLength + nDistance) return "damaged image data";
        std::memset(bits + i, fill, size_t(times));
        i += times;
    }
    if (bits[256] == 0) return "damaged image data";   // no end of block
    // Incomplete codes only as zlib takes them: one code of one bit.
    const int leftL = Build(lengths, bits, nLength);
    if (leftL < 0 || (leftL > 0 && nLength != lengths.count[0] + lengths.count[1])) return "damaged image data";
    const int leftD = Build(distances, bits + nLength, nDistance);
    if (leftD < 0 || (leftD > 0 && nDistance != distances.count[0] + distances.count[1])) return "damaged image data";
    return nullptr;
}

// The last 32 KiB given (what a copy may reach back into), kept in a
// buffer that slides when full.
class Window {
public:
    static constexpr size_t kKeep = size_t(32) << 10, kSize = 4 * kKeep;

    uint8_t* Room(size_t n)
    {
        if (pos_ + n > kSize) {
            std::memmove(b_.data(), b_.data() + pos_ - kKeep, kKeep);
            pos_ = kKeep;
        }
        return b_.data() + pos_;
    }
    void Literal(uint8_t v) { *Room(1) = v, ++pos_; }
    // A copy of length from distance back (within the window): runs
    // shorter than their length repeat, so each span copies what the
    // last ones gave.
    const uint8_t* Copy(size_t distance, size_t length)
    {
        uint8_t* to = Room(length);
        if (distance == 1) {
            std::memset(to, to[-1], length);
            pos_ += length;
            return to;
        }
        for (size_t done = 0; done < length;) {
            const size_t span = (distance + done) / distance * distance;
            const size_t n = std::min(length - done, span);
            std::memcpy(to + done, to + done - span, n);
            done += n;
        }
        pos_ += length;
        return to;
    }
    void Stored(const uint8_t* from, size_t n)
    {
        if (n >= kKeep) {
            std::memcpy(b_.data(), from + n - kKeep, kKeep);
            pos_ = kKeep;
            return;
        }
        std::memcpy(Room(n), from, n);
        pos_ += n;
    }

private:
    std::vector<uint8_t> b_ = std::vector<uint8_t>(kSize);
    size_t pos_ = kKeep;   // zeros before the start are never reached
};

// Where the next row starts, pass by pass.
class RowStarts {
public:
    explicit RowStarts(const RowLayout* layout) : layout_(layout) { Skip(); }
    uint64_t Next() const { return next_; }
    void Advance()
    {
        next_ += layout_->passes[pass_].stride;
        ++row_;
        Skip();
    }

private:
    // Past a pass's last row (or an empty pass) to the next one's first.
    void Skip()
    {
        while (layout_ && pass_ < layout_->count && row_ >= layout_->passes[pass_].rows) {
            ++pass_;
            row_ = 0;
        }
        if (!layout_ || pass_ >= layout_->count) next_ = UINT64_MAX;
    }
    const RowLayout* layout_;
    int pass_ = 0;
    uint64_t row_ = 0, next_ = 0;
};

constexpr const char* kBadFilter = "a row filter PNG does not have";

}  // namespace

const char* WalkDeflate(const uint8_t* p, size_t size, uint64_t need, const RowLayout* rows)
{
    RowStarts starts(rows);
    std::unique_ptr<Window> window;
    if (rows) window = std::make_unique<Window>();
    // The filter bytes among the n bytes given from out on.
    const auto filters = [&starts](uint64_t at, const uint8_t* given, size_t n) {
        for (; starts.Next() < at + n; starts.Advance())
            if (given[starts.Next() - at] > 4) return false;
        return true;
    };
    BitReader in(p, size);
    uint64_t out = 0;
    Code fixedLengths, fixedDistances;
    {
        uint8_t bits[288];
        std::memset(bits, 8, 144);
        std::memset(bits + 144, 9, 112);
        std::memset(bits + 256, 7, 24);
        std::memset(bits + 280, 8, 8);
        Build(fixedLengths, bits, 288);
        std::memset(bits, 5, 30);
        Build(fixedDistances, bits, 30);
    }
    Code lengths, distances;
    for (;;) {
        const uint32_t last = in.Bits(1), type = in.Bits(2);
        if (in.Over()) return "image data cut short";
        if (type == 0) {
            in.Align();
            const uint32_t length = in.Bits(16), check = in.Bits(16);
            if (in.Over()) return "image data cut short";
            if (length != (~check & 0xFFFF)) return "damaged image data";
            const uint8_t* from = in.Here();
            if (!in.Skip(length)) return "image data cut short";
            if (window) {
                if (!filters(out, from, length)) return kBadFilter;
                window->Stored(from, length);
            }
            out += length;
        } else if (type == 3) {
            return "damaged image data";
        } else {
            if (type == 2) {
                if (const char* why = ReadCodes(in, lengths, distances)) return why;
            }
            const Code& l = type == 1 ? fixedLengths : lengths;
            const Code& d = type == 1 ? fixedDistances : distances;
            for (;;) {
                const int s = Decode(in, l);
                if (in.Over()) return "image data cut short";
                if (s < 0) return "damaged image data";
                if (s < 256) {
                    if (window) {
                        const uint8_t v = uint8_t(s);
                        if (!filters(out, &v, 1)) return kBadFilter;
                        window->Literal(v);
                    }
                    ++out;
                } else if (s == 256) {
                    break;
                } else {
                    if (s - 257 >= 29) return "damaged image data";
                    const uint32_t length = kLengthBase[s - 257] + in.Bits(kLengthExtra[s - 257]);
                    const int ds = Decode(in, d);
                    if (ds < 0 || ds >= 30) return in.Over() ? "image data cut short" : "damaged image data";
                    const uint32_t distance = kDistanceBase[ds] + in.Bits(kDistanceExtra[ds]);
                    if (in.Over()) return "image data cut short";
                    if (distance > out) return "damaged image data";   // before the stream's start
                    if (window && !filters(out, window->Copy(distance, length), length)) return kBadFilter;
                    out += length;
                }
            }
        }
        if (last) return out < need ? "too little image data" : nullptr;
    }
}

}  // namespace host::image::detail

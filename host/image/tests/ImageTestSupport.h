// Helpers of the image tests: little-endian byte builders for golden files,
// a test pattern with a different value in every channel, zlib's deflate and
// ImageMagick's convert run into a temporary folder.
#pragma once

#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace image_test {

using host::image::Image;
using Bytes = std::vector<uint8_t>;

struct Builder {
    Bytes b;
    Builder& U8(uint32_t v) { b.push_back(uint8_t(v)); return *this; }
    Builder& U16(uint32_t v) { return U8(v).U8(v >> 8); }
    Builder& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
    Builder& Zeros(size_t n) { b.insert(b.end(), n, 0); return *this; }
    Builder& Raw(const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); return *this; }
    Builder& Text(const char* s) { while (*s) U8(uint8_t(*s++)); return *this; }
};

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
inline uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

// No two channels alike and each running its own way, so a swapped channel
// or a flipped row shows.
inline uint32_t Pattern(uint32_t x, uint32_t y)
{
    return Argb(255 - 30 * x - 10 * y, 16 * x + 3, 32 * y + 5, 250 - 20 * (x + y));
}

inline std::vector<uint32_t> PatternPixels(uint32_t w, uint32_t h)
{
    std::vector<uint32_t> out;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) out.push_back(Pattern(x, y));
    return out;
}

// Decodes at the file's own size, without a key.
inline Image Plain(const Bytes& file, std::string* error = nullptr)
{
    host::image::DecodeOptions options;
    options.powerOfTwo = false;
    Image image;
    host::image::Decode(file.data(), file.size(), options, image, error);
    return image;
}

inline bool Refused(const Bytes& file, std::string* error = nullptr)
{
    Image image;
    std::string reason;
    const bool ok = host::image::Decode(file.data(), file.size(), 0, image, &reason);
    if (error) *error = reason;
    return !ok && image.pixels.empty() && image.width == 0 && !reason.empty();
}

// data deflated by zlib in one go; windowBits as deflateInit2 takes them
// (negative: a raw stream, without the zlib header and checksum).
inline Bytes Deflated(const Bytes& data, int level, int windowBits, int memLevel, int strategy)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, windowBits, memLevel, strategy), Z_OK);
    Bytes out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<uint8_t*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline std::string Hex(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

inline ::testing::AssertionResult Near(uint32_t got, uint32_t want, uint32_t tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int(Channel(got, shift)) - int(Channel(want, shift));
        if (uint32_t(d < 0 ? -d : d) > tolerance)
            return ::testing::AssertionFailure() << "got " << Hex(got) << ", want " << Hex(want);
    }
    return ::testing::AssertionSuccess();
}

inline bool HaveConvert() { return std::system("convert -version > /dev/null 2>&1") == 0; }

// The pixels (A8R8G8B8, rows top first) made into a file by ImageMagick's
// convert with the given options (and a coder prefix such as "BMP3:" before
// the file name); empty when convert fails.
inline Bytes Convert(const host::kernel::testing::TempFolder& folder, const std::vector<uint32_t>& pixels,
    uint32_t w, uint32_t h, const std::string& options, const std::string& name, const std::string& coder = "")
{
    Bytes raw;
    for (uint32_t p : pixels) raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    const std::string in = folder / "in.rgba", out = folder / name;
    if (!host::kernel::WriteFileAtomic(in, raw.data(), raw.size())) return {};
    const std::string command = "convert -size " + std::to_string(w) + "x" + std::to_string(h) + " -depth 8 rgba:" +
        in + " " + options + " " + coder + out + " > /dev/null 2>&1";
    std::string bytes;
    if (std::system(command.c_str()) != 0 || !host::kernel::ReadWholeFile(out, bytes)) return {};
    return Bytes(bytes.begin(), bytes.end());
}

// A file in the folder as ImageMagick reads it: A8R8G8B8, rows top first.
inline std::vector<uint32_t> ReadBack(const host::kernel::testing::TempFolder& folder, const std::string& name)
{
    const std::string raw = folder / "back.rgba";
    std::string bytes;
    if (std::system(("convert " + (folder / name) + " -depth 8 rgba:" + raw + " > /dev/null 2>&1").c_str()) != 0 ||
        !host::kernel::ReadWholeFile(raw, bytes))
        return {};
    std::vector<uint32_t> out;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + i);
        out.push_back(Argb(p[3], p[0], p[1], p[2]));
    }
    return out;
}

}  // namespace image_test

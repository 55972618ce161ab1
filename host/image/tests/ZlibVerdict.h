// zlib's verdict on a raw deflate stream, as the PNG reader takes it: what
// the walk of a stream's codes is held to, by the tests and the image fuzz
// driver alike (no test framework here, so the driver can include it).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace image_test {

// need bytes and more (the stream may run on), or need bytes at the
// stream's end; false when zlib cannot start.
inline bool ZlibTakes(const std::vector<uint8_t>& stream, uint64_t need)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    std::vector<uint8_t> out(need + 1);
    z.next_in = const_cast<uint8_t*>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    int r = Z_OK;
    while (r == Z_OK && z.avail_out) {
        const uInt before = z.avail_in + z.avail_out;
        r = inflate(&z, Z_NO_FLUSH);
        if (r == Z_OK && z.avail_in + z.avail_out == before) break;
    }
    const uint64_t got = z.total_out;
    inflateEnd(&z);
    return got == need + 1 || (r == Z_STREAM_END && got == need);
}

}  // namespace image_test

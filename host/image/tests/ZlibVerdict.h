// zlib's verdict on a raw deflate stream, as the PNG reader takes it: what
// the walk of a stream's codes is held to, by the tests and the image fuzz
// driver alike (no test framework here, so the driver can include it).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace image_test {

// Inflated to the end of its last block, giving need bytes or more (the
// stream may run on past the picture); false when zlib cannot start.
inline bool ZlibTakes(const std::vector<uint8_t>& stream, uint64_t need)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    std::vector<uint8_t> out(64 << 10);
    z.next_in = const_cast<uint8_t*>(stream.data());
    z.avail_in = uInt(stream.size());
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = out.data();
        z.avail_out = uInt(out.size());
        r = inflate(&z, Z_NO_FLUSH);
    }
    const uint64_t got = z.total_out;
    inflateEnd(&z);
    return r == Z_STREAM_END && got >= need;
}

}  // namespace image_test

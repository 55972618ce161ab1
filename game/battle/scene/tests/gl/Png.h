// A PNG of a read-back frame, for a person to look at.
#pragma once

#include "engine/core/Types.h"

#include <algorithm>
#include <string>
#include <vector>

namespace gl_test {

// A PNG of stored (uncompressed) deflate blocks: large, but needs no codec.
inline std::string Png(const std::vector<u32>& argb, u32 width, u32 height)
{
    const auto crcOf = [](const std::string& bytes) {
        u32 c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        return ~c;
    };
    const auto be = [](u32 v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    const auto chunk = [&](const char* type, const std::string& data) {
        const std::string body = type + data;
        return be(u32(data.size())) + body + be(crcOf(body));
    };
    std::string raw;
    for (u32 y = 0; y < height; ++y) {
        raw += '\0';
        for (u32 x = 0; x < width; ++x) {
            const u32 p = argb[y * width + x];
            raw += {char(p >> 16), char(p >> 8), char(p)};
        }
    }
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z += char(at + n == raw.size() ? 1 : 0);
        z += {char(n), char(n >> 8), char(~n), char(~n >> 8)};
        z += raw.substr(at, n);
    }
    u32 a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    z += be(b << 16 | a);
    const std::string header = be(width) + be(height) + std::string{8, 2, 0, 0, 0};
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", z) + chunk("IEND", "");
}

}  // namespace gl_test

// Code page 932 <-> UTF-8 through iconv. glibc's "CP932" keeps 0x5C as the
// backslash and 0x7E as the tilde ("SHIFT_JIS" would turn them into the yen
// sign and the overline). Bytes that cannot be converted become '?'.
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace host::kernel {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

// iconv descriptors keep state, so each thread has its own pair.
struct Converters {
    iconv_t toUtf8 = iconv_open("UTF-8", "CP932");
    iconv_t toCp932 = iconv_open("CP932", "UTF-8");
    ~Converters() {
        if (toUtf8 != kNoConverter) iconv_close(toUtf8);
        if (toCp932 != kNoConverter) iconv_close(toCp932);
    }
};

Converters& ThreadConverters() {
    thread_local Converters converters;
    return converters;
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<uint8_t>(c) >= 0x80) return false;
    return true;
}

// How many bytes of an unconvertible CP932 character to skip: a lead byte
// takes its trail byte with it only when that byte could be a trail byte.
size_t Cp932BadLength(const char* p, size_t left) {
    uint8_t lead = static_cast<uint8_t>(p[0]);
    if (!IsDBCSLeadByte(lead) || left < 2) return 1;
    uint8_t trail = static_cast<uint8_t>(p[1]);
    bool trailOk = (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC);
    return trailOk ? 2 : 1;
}

// A malformed or unmappable UTF-8 sequence: the lead byte and the
// continuation bytes that follow it, at most as many as the lead announces.
size_t Utf8BadLength(const char* p, size_t left) {
    uint8_t lead = static_cast<uint8_t>(p[0]);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    size_t n = 1;
    while (n < length && n < left && (static_cast<uint8_t>(p[n]) & 0xC0) == 0x80) ++n;
    return n;
}

std::string Convert(iconv_t cd, std::string_view text, size_t (*badLength)(const char*, size_t)) {
    std::string out;
    if (cd == kNoConverter) {
        // No converter installed: keep ASCII, mark the rest.
        for (char c : text) out += static_cast<uint8_t>(c) < 0x80 ? c : '?';
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(text.size() * 3 + 8);
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        int error = errno;
        used = out.size() - outLeft;
        if (result != static_cast<size_t>(-1)) break;
        if (error == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (cannot convert) or EINVAL (cut off at the end).
        if (used == out.size()) out.resize(out.size() * 2);
        out[used++] = '?';
        size_t skip = error == EINVAL ? inLeft : badLength(in, inLeft);
        in += skip;
        inLeft -= skip;
    }
    out.resize(used);
    return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    return Convert(ThreadConverters().toUtf8, text, Cp932BadLength);
}

size_t Cp932Fit(std::string_view text, size_t maxBytes) {
    size_t end = std::min(text.size(), maxBytes), n = 0;
    while (n < end) {
        size_t width = IsDBCSLeadByte(static_cast<uint8_t>(text[n])) ? 2 : 1;
        if (n + width > end) break;
        n += width;
    }
    return n;
}

std::string Utf8ToCp932(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    return Convert(ThreadConverters().toCp932, text, Utf8BadLength);
}

}  // namespace host::kernel

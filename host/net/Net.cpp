#include "host/net/Net.h"

#include <atomic>
#include <charconv>

namespace host::net {

namespace {
std::atomic<Net*> g_installed{nullptr};
}

Net& DefaultNet()
{
    if (Net* net = g_installed.load())
        return *net;
    static const std::unique_ptr<Net> posix = CreatePosixNet();
    return *posix;
}

void InstallNet(Net* net) { g_installed.store(net); }

std::string FormatAddress(uint32_t address)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        if (i)
            text += '.';
        text += std::to_string((address >> (8 * i)) & 0xFF);
    }
    return text;
}

bool ParseAddress(std::string_view text, uint32_t& address)
{
    uint32_t result = 0;
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 4; ++i) {
        if (i) {
            if (p == end || *p != '.')
                return false;
            ++p;
        }
        // Decimal, leading zeros allowed ("192.168.001.010" as the address
        // lists write them), at most three digits.
        unsigned value = 0;
        auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || next - p > 3 || value > 255)
            return false;
        result |= uint32_t(value) << (8 * i);
        p = next;
    }
    if (p != end)
        return false;
    address = result;
    return true;
}

}  // namespace host::net

// A whole send for tests and seed makers: waits (bounded) while the socket
// is full, as a plain client would.
#pragma once

#include "host/net/Net.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace net_test {

// All bytes in pieces of at most 1,400; false on an error or 50 waits of
// 100 ms without progress. A socket of -1 succeeds at once.
inline bool SendAll(host::net::Net& net, host::net::Socket socket, const std::uint8_t* data, size_t size)
{
    if (socket == host::net::kNoSocket) return true;
    size_t offset = 0;
    for (std::uint32_t stalls = 0; offset < size;) {
        const host::net::IoResult r = net.Send(socket, data + offset, std::min<size_t>(size - offset, 1400));
        if (r.bytes > 0) {
            offset += size_t(r.bytes);
            stalls = 0;
            continue;
        }
        if (r.bytes < 0 && r.error != host::net::Error::WouldBlock) return false;
        if (++stalls >= 50) return false;
        if (net.Wait(socket, host::net::kEventWrite, 100) == host::net::kWaitFailed) return false;
    }
    return true;
}

}  // namespace net_test

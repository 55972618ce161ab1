// Loopback addresses for tests. Test cases run as processes side by side;
// each takes addresses of its own, 127.A.B.k with A.B from its process id,
// so fixed ports (the line test's, the peer port) never meet another
// process's sockets.
#pragma once

#include "host/net/Net.h"

#include <unistd.h>

namespace net_test {

// k = 1..254: the k-th address of this process.
inline uint32_t Loopback(uint8_t k)
{
    const uint32_t pid = static_cast<uint32_t>(getpid());
    // 127.0.x.x holds 127.0.0.1, which tests of other kinds use.
    const uint8_t a = static_cast<uint8_t>(1 + (pid >> 8) % 254);
    return host::net::MakeAddress(127, a, static_cast<uint8_t>(pid), k);
}

}  // namespace net_test

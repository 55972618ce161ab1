// CPacketQueue: the FIFO a receive thread reassembles messages into. Each
// element is one message of a known total size, filled as its bytes arrive;
// it is complete once filled reaches the total. Peer connections and the
// lobby client's server connection both use it; neither locks it (its owner
// does).
#pragma once

#include "engine/core/Types.h"

#include <cstddef>
#include <deque>
#include <vector>

class CPacketQueue {
public:
    // Appends an element of `total` bytes holding the first `filled` of
    // data (filled is cut to total). A negative total is refused: false.
    bool Push(const u8* data, u32 filled, i32 total);
    // Copies into the tail while it is incomplete: the bytes taken (0 when
    // the queue is empty or its tail complete).
    size_t FillTail(const u8* data, size_t size);
    bool TailIncomplete() const;
    bool HeadComplete() const;
    // Unlinks the head into out (its bytes filled so far); false when empty.
    bool Pop(std::vector<u8>& out);
    size_t Count() const { return m_elements.size(); }
    void Clear() { m_elements.clear(); }

private:
    struct Element {
        std::vector<u8> bytes;   // total bytes
        size_t filled = 0;
        bool Complete() const { return filled >= bytes.size(); }
    };
    std::deque<Element> m_elements;
};

#include "game/network/PacketQueue.h"

#include <algorithm>
#include <cstring>

bool CPacketQueue::Push(const u8* data, u32 filled, i32 total)
{
    if (total < 0) return false;
    Element element;
    element.bytes.resize(size_t(total));
    element.filled = std::min<size_t>(data ? filled : 0, size_t(total));
    if (element.filled) std::memcpy(element.bytes.data(), data, element.filled);
    m_elements.push_back(std::move(element));
    return true;
}

size_t CPacketQueue::FillTail(const u8* data, size_t size)
{
    if (!TailIncomplete() || !data) return 0;
    Element& tail = m_elements.back();
    const size_t take = std::min(size, tail.bytes.size() - tail.filled);
    std::memcpy(tail.bytes.data() + tail.filled, data, take);
    tail.filled += take;
    return take;
}

bool CPacketQueue::TailIncomplete() const { return !m_elements.empty() && !m_elements.back().Complete(); }

bool CPacketQueue::HeadComplete() const { return !m_elements.empty() && m_elements.front().Complete(); }

bool CPacketQueue::Pop(std::vector<u8>& out)
{
    if (m_elements.empty()) return false;
    out = std::move(m_elements.front().bytes);
    out.resize(m_elements.front().filled);
    m_elements.pop_front();
    return true;
}

#include "engine/core/ObjectRegistry.h"

#include "engine/core/Memory.h"

#include <algorithm>
#include <cstring>

namespace {

CObjectRegistry* g_objectRegistry = nullptr;

}  // namespace

CObjectRegistry* GetObjectRegistry() { return g_objectRegistry; }

void SetObjectRegistry(CObjectRegistry* registry) { g_objectRegistry = registry; }

u32 CMessageObject::SendObjectMessage(u32 message, u32 target, i32 group, intptr_t parameter)
{
    CObjectRegistry* registry = GetObjectRegistry();
    if (!registry) return target == CObjectRegistry::kHandlerId ? 0 : 1;
    return registry->Dispatch(message, target, group, this, parameter);
}

namespace {

template <class T>
T* Allocate(u32 count)
{
    if (count == 0 || count > UINT32_MAX / sizeof(T)) return nullptr;
    return static_cast<T*>(AlignedAlloc(u32(count * sizeof(T)), 16));
}

// Doubling keeps Add constant time, amortised. 0 when it cannot grow.
u32 Grown(u32 capacity) { return capacity < 8 ? 8 : capacity > UINT32_MAX / 4 ? 0 : capacity * 2; }

u32 IdHome(u32 id)
{
    const u32 h = id * 0x9E3779B1u;
    return h ^ (h >> 16);
}

u32 ObjectHome(const CMessageObject* object)
{
    return u32((u64(reinterpret_cast<uintptr_t>(object)) * 0x9E3779B97F4A7C15ull) >> 32);
}

void Hash(u32* table, u32 size, u32 home, u32 slot)
{
    u32 i = home & (size - 1);
    while (table[i]) i = (i + 1) & (size - 1);
    table[i] = slot + 1;
}

}  // namespace

u32 CObjectRegistry::NewId()
{
    for (;;) {
        const u32 id = m_generator.Next();
        if (id != kHandlerId && id != kBroadcastId && !Find(id)) return id;
    }
}

u32 CObjectRegistry::SlotOfId(u32 id) const
{
    if (!m_tableSize) return kNoSlot;
    for (u32 i = IdHome(id) & (m_tableSize - 1);; i = (i + 1) & (m_tableSize - 1)) {
        const u32 entry = m_byId[i];
        if (!entry) return kNoSlot;
        if (m_slots[entry - 1].id == id) return entry - 1;
    }
}

u32 CObjectRegistry::SlotOfObject(const CMessageObject* object) const
{
    if (!m_tableSize || !object) return kNoSlot;
    for (u32 i = ObjectHome(object) & (m_tableSize - 1);; i = (i + 1) & (m_tableSize - 1)) {
        const u32 entry = m_byObject[i];
        if (!entry) return kNoSlot;
        if (m_slots[entry - 1].object == object) return entry - 1;
    }
}

// Takes the slot out of a table, moving later entries of the probe chain
// back so that no look-up stops short of them.
void CObjectRegistry::Unhash(u32* table, u32 slot, bool byObject)
{
    const u32 mask = m_tableSize - 1;
    const auto home = [&](u32 s) { return (byObject ? ObjectHome(m_slots[s].object) : IdHome(m_slots[s].id)) & mask; };
    u32 hole = home(slot);
    while (table[hole] != slot + 1) hole = (hole + 1) & mask;
    table[hole] = 0;
    for (u32 j = (hole + 1) & mask; table[j]; j = (j + 1) & mask) {
        const u32 h = home(table[j] - 1);
        // Stays when its home lies cyclically after the hole, up to j.
        const bool stays = hole < j ? (h > hole && h <= j) : (h > hole || h <= j);
        if (stays) continue;
        table[hole] = table[j];
        table[j] = 0;
        hole = j;
    }
}

bool CObjectRegistry::Reserve()
{
    if (m_freeSlot == kNoSlot && m_slotCount == m_slotCapacity) {
        const u32 capacity = Grown(m_slotCapacity);
        Slot* slots = Allocate<Slot>(capacity);
        if (!slots) return false;
        if (m_slotCount) std::memcpy(slots, m_slots, m_slotCount * sizeof(Slot));
        AlignedFree(m_slots);
        m_slots = slots;
        m_slotCapacity = capacity;
    }
    if (m_orderSize == m_orderCapacity && m_removed) Normalize();
    if (m_orderSize == m_orderCapacity) {
        const u32 capacity = Grown(m_orderCapacity);
        auto* order = Allocate<OrderEntry>(capacity);
        auto* spare = Allocate<OrderEntry>(capacity);
        if (!order || !spare) {
            AlignedFree(order);
            AlignedFree(spare);
            return false;
        }
        if (m_orderSize) std::memcpy(order, m_order, m_orderSize * sizeof(OrderEntry));
        AlignedFree(m_order);
        AlignedFree(m_spare);
        m_order = order;
        m_spare = spare;
        m_orderCapacity = capacity;
    }
    // At most half full, so that probe chains stay short.
    if (u64(m_count + 1) * 2 > m_tableSize) {
        const u32 size = m_tableSize ? Grown(m_tableSize) : 32;
        u32* byId = Allocate<u32>(size);
        u32* byObject = Allocate<u32>(size);
        if (!byId || !byObject) {
            AlignedFree(byId);
            AlignedFree(byObject);
            return false;
        }
        AlignedFree(m_byId);
        AlignedFree(m_byObject);
        m_byId = byId;
        m_byObject = byObject;
        m_tableSize = size;
        for (u32 s = 0; s < m_slotCount; ++s) {
            if (!m_slots[s].object) continue;
            Hash(m_byId, size, IdHome(m_slots[s].id), s);
            Hash(m_byObject, size, ObjectHome(m_slots[s].object), s);
        }
    }
    return true;
}

i32 CObjectRegistry::Add(CMessageObject* object)
{
    if (!object) return 0;
    const u32 id = object->GetId();
    if (id == kHandlerId || id == kBroadcastId || SlotOfId(id) != kNoSlot) return 0;
    // The same object under an id it no longer carries.
    if (SlotOfObject(object) != kNoSlot) return 0;
    if (!Reserve()) return 0;

    u32 slot = m_freeSlot;
    if (slot != kNoSlot) {
        m_freeSlot = m_slots[slot].at;
    } else {
        slot = m_slotCount++;
    }
    // Above every id so far, it extends the sorted run; otherwise it waits
    // to be merged in.
    const bool inOrder = m_sorted == m_orderSize && (m_orderSize == 0 || m_order[m_orderSize - 1].id < id);
    m_slots[slot] = {object, id, m_orderSize};
    m_order[m_orderSize++] = {id, slot};
    if (inOrder) m_sorted = m_orderSize;
    Hash(m_byId, m_tableSize, IdHome(id), slot);
    Hash(m_byObject, m_tableSize, ObjectHome(object), slot);
    ++m_count;
    if (m_count > m_capacity) m_capacity = m_count;
    return 1;
}

i32 CObjectRegistry::Remove(CMessageObject* object)
{
    const u32 slot = SlotOfObject(object);
    if (slot == kNoSlot) return 0;
    Unhash(m_byId, slot, false);
    Unhash(m_byObject, slot, true);
    m_order[m_slots[slot].at].slot = kNoSlot;
    ++m_removed;
    m_slots[slot] = {nullptr, 0, m_freeSlot};
    m_freeSlot = slot;
    --m_count;
    // Dropping the removed entries once they are half the order keeps
    // Remove constant time, amortised.
    if (m_removed > 32 && m_removed * 2 > m_orderSize) Normalize();
    return 1;
}

void CObjectRegistry::Normalize() const
{
    if (m_sorted == m_orderSize && m_removed == 0) return;
    OrderEntry* const tail = m_order + m_sorted;
    std::sort(tail, m_order + m_orderSize, [](const OrderEntry& a, const OrderEntry& b) { return a.id < b.id; });
    u32 i = 0, j = m_sorted, out = 0;
    while (i < m_sorted || j < m_orderSize) {
        const bool fromHead = j == m_orderSize || (i < m_sorted && m_order[i].id < m_order[j].id);
        const OrderEntry e = fromHead ? m_order[i++] : m_order[j++];
        if (e.slot == kNoSlot) continue;
        m_slots[e.slot].at = out;
        m_spare[out++] = e;
    }
    OrderEntry* const merged = m_spare;
    m_spare = m_order;
    m_order = merged;
    m_orderSize = m_sorted = out;
    m_removed = 0;
    ++m_layout;
}

i32 CObjectRegistry::Clear()
{
    for (void* block : {static_cast<void*>(m_slots), static_cast<void*>(m_order), static_cast<void*>(m_spare),
             static_cast<void*>(m_byId), static_cast<void*>(m_byObject)})
        AlignedFree(block);
    m_slots = nullptr;
    m_order = m_spare = nullptr;
    m_byId = m_byObject = nullptr;
    m_slotCount = m_slotCapacity = 0;
    m_freeSlot = kNoSlot;
    m_orderSize = m_sorted = m_removed = m_orderCapacity = 0;
    m_tableSize = 0;
    m_capacity = 0;
    m_count = 0;
    ++m_layout;
    return 1;
}

u32 CObjectRegistry::Dispatch(u32 message, u32 target, i32 group, CMessageObject* sender, intptr_t parameter)
{
    if (target == kHandlerId) {
        // Nobody to ask: the query is not answered.
        return m_handler ? m_handler->OnMessage(message, parameter) : 0;
    }
    if (target == kBroadcastId) {
        Normalize();
        u32 result = 1;
        u32 i = 0;
        while (i < m_orderSize) {
            const OrderEntry e = m_order[i];
            if (e.slot == kNoSlot) {   // removed during this broadcast
                ++i;
                continue;
            }
            CMessageObject* object = m_slots[e.slot].object;
            const u32 layout = m_layout;
            if (group == kAllGroups || object->GetGroup() == group) {
                result &= object->HandleMessage(message, sender, parameter);
            }
            if (layout == m_layout && m_sorted == m_orderSize) {
                ++i;
            } else {
                Normalize();
                i = UpperBound(e.id);
            }
        }
        return result;
    }
    CMessageObject* object = Find(target);
    return object ? object->HandleMessage(message, sender, parameter) : 1;
}

CMessageObject* CObjectRegistry::Find(u32 id) const
{
    const u32 slot = SlotOfId(id);
    return slot == kNoSlot ? nullptr : m_slots[slot].object;
}

CMessageObject* CObjectRegistry::GetAt(u32 index) const
{
    if (index >= m_count) return nullptr;
    Normalize();
    return m_slots[m_order[index].slot].object;
}

u32 CObjectRegistry::UpperBound(u32 id) const
{
    u32 low = 0, high = m_orderSize;
    while (low < high) {
        const u32 middle = low + (high - low) / 2;
        if (m_order[middle].id <= id) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

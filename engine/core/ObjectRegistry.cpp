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
    if (m_blockCount == m_blockCapacity) {
        const u32 capacity = Grown(m_blockCapacity);
        auto** blocks = capacity ? Allocate<Block*>(capacity) : nullptr;
        u32* firstIds = capacity ? Allocate<u32>(capacity) : nullptr;
        u32* counts = capacity ? Allocate<u32>(capacity + 1) : nullptr;
        if (!blocks || !firstIds || !counts) {
            AlignedFree(blocks);
            AlignedFree(firstIds);
            AlignedFree(counts);
            return false;
        }
        if (m_blockCount) {
            std::memcpy(blocks, m_blocks, m_blockCount * sizeof(Block*));
            std::memcpy(firstIds, m_firstIds, m_blockCount * sizeof(u32));
            std::memcpy(counts, m_counts, (m_blockCount + 1) * sizeof(u32));
        } else {
            counts[0] = 0;
        }
        AlignedFree(m_blocks);
        AlignedFree(m_firstIds);
        AlignedFree(m_counts);
        m_blocks = blocks;
        m_firstIds = firstIds;
        m_counts = counts;
        m_blockCapacity = capacity;
    }
    if (!m_spareBlock) {
        m_spareBlock = Allocate<Block>(1);
        if (!m_spareBlock) return false;
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

u32 CObjectRegistry::BlockOf(u32 id) const
{
    const u32* const after = std::upper_bound(m_firstIds, m_firstIds + m_blockCount, id);
    return after == m_firstIds ? 0 : u32(after - m_firstIds - 1);
}

CObjectRegistry::Place CObjectRegistry::UpperBound(u32 id) const
{
    if (!m_blockCount) return {0, 0};
    const u32 b = BlockOf(id);
    const Block& block = *m_blocks[b];
    const OrderEntry* const at = std::upper_bound(block.entries, block.entries + block.count, id,
        [](u32 v, const OrderEntry& e) { return v < e.id; });
    return {b, u32(at - block.entries)};
}

void CObjectRegistry::CountAll()
{
    for (u32 i = 1; i <= m_blockCount; ++i) m_counts[i] = m_blocks[i - 1]->count;
    for (u32 i = 1; i <= m_blockCount; ++i) {
        const u32 parent = i + (i & (0u - i));
        if (parent <= m_blockCount) m_counts[parent] += m_counts[i];
    }
}

void CObjectRegistry::Count(u32 block, i32 delta)
{
    for (u32 i = block + 1; i <= m_blockCount; i += i & (0u - i)) m_counts[i] += u32(delta);
}

void CObjectRegistry::InsertBlock(u32 at, Block* block)
{
    std::memmove(m_blocks + at + 1, m_blocks + at, (m_blockCount - at) * sizeof(Block*));
    std::memmove(m_firstIds + at + 1, m_firstIds + at, (m_blockCount - at) * sizeof(u32));
    m_blocks[at] = block;
    m_firstIds[at] = block->count ? block->entries[0].id : 0;
    ++m_blockCount;
}

void CObjectRegistry::EraseBlock(u32 at)
{
    FreeBlock(m_blocks[at]);
    std::memmove(m_blocks + at, m_blocks + at + 1, (m_blockCount - at - 1) * sizeof(Block*));
    std::memmove(m_firstIds + at, m_firstIds + at + 1, (m_blockCount - at - 1) * sizeof(u32));
    --m_blockCount;
}

void CObjectRegistry::FreeBlock(Block* block)
{
    if (m_spareBlock) {
        AlignedFree(block);
    } else {
        m_spareBlock = block;
    }
}

// Reserve has made room for one more block and put a spare by.
void CObjectRegistry::Insert(u32 id, u32 slot)
{
    ++m_layout;
    if (!m_blockCount) {
        Block* first = m_spareBlock;
        m_spareBlock = nullptr;
        first->count = 1;
        first->entries[0] = {id, slot};
        InsertBlock(0, first);
        CountAll();
        return;
    }
    u32 b = BlockOf(id);
    Block* block = m_blocks[b];
    u32 at = u32(std::lower_bound(block->entries, block->entries + block->count, id,
                     [](const OrderEntry& e, u32 v) { return e.id < v; }) -
                 block->entries);
    bool split = false;
    if (block->count == kBlockSize) {
        // The upper half moves to a block of its own after this one.
        Block* upper = m_spareBlock;
        m_spareBlock = nullptr;
        constexpr u32 half = kBlockSize / 2;
        upper->count = kBlockSize - half;
        std::memcpy(upper->entries, block->entries + half, upper->count * sizeof(OrderEntry));
        block->count = half;
        InsertBlock(b + 1, upper);
        split = true;
        if (at > half) {
            b += 1;
            at -= half;
            block = upper;
        }
    }
    std::memmove(block->entries + at + 1, block->entries + at, (block->count - at) * sizeof(OrderEntry));
    block->entries[at] = {id, slot};
    ++block->count;
    if (at == 0) m_firstIds[b] = id;
    if (split) {
        CountAll();
    } else {
        Count(b, 1);
    }
}

void CObjectRegistry::Erase(u32 id)
{
    ++m_layout;
    const u32 b = BlockOf(id);
    Block* const block = m_blocks[b];
    const u32 at = u32(std::lower_bound(block->entries, block->entries + block->count, id,
                           [](const OrderEntry& e, u32 v) { return e.id < v; }) -
                       block->entries);
    std::memmove(block->entries + at, block->entries + at + 1, (block->count - at - 1) * sizeof(OrderEntry));
    --block->count;
    if (block->count == 0) {
        EraseBlock(b);
        CountAll();
        return;
    }
    if (at == 0) m_firstIds[b] = block->entries[0].id;
    // A block under a quarter full joins a neighbour when the two fill at
    // most half a block, so blocks stay few and a split is far off.
    if (block->count < kBlockSize / 4) {
        const u32 left = b > 0 && m_blocks[b - 1]->count + block->count <= kBlockSize / 2 ? b - 1 : kNoSlot;
        const u32 right = b + 1 < m_blockCount && m_blocks[b + 1]->count + block->count <= kBlockSize / 2 ? b : kNoSlot;
        const u32 into = left != kNoSlot ? left : right;
        if (into != kNoSlot) {
            Block* const low = m_blocks[into];
            const Block* const high = m_blocks[into + 1];
            std::memcpy(low->entries + low->count, high->entries, high->count * sizeof(OrderEntry));
            low->count += high->count;
            EraseBlock(into + 1);
            CountAll();
            return;
        }
    }
    Count(b, -1);
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
        m_freeSlot = m_slots[slot].nextFree;
    } else {
        slot = m_slotCount++;
    }
    m_slots[slot] = {object, id, kNoSlot};
    Insert(id, slot);
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
    Erase(m_slots[slot].id);
    m_slots[slot] = {nullptr, 0, m_freeSlot};
    m_freeSlot = slot;
    --m_count;
    return 1;
}

i32 CObjectRegistry::Clear()
{
    for (u32 b = 0; b < m_blockCount; ++b) AlignedFree(m_blocks[b]);
    for (void* block : {static_cast<void*>(m_slots), static_cast<void*>(m_blocks), static_cast<void*>(m_firstIds),
             static_cast<void*>(m_counts), static_cast<void*>(m_spareBlock), static_cast<void*>(m_byId),
             static_cast<void*>(m_byObject)})
        AlignedFree(block);
    m_slots = nullptr;
    m_blocks = nullptr;
    m_firstIds = m_counts = nullptr;
    m_spareBlock = nullptr;
    m_byId = m_byObject = nullptr;
    m_slotCount = m_slotCapacity = 0;
    m_freeSlot = kNoSlot;
    m_blockCount = m_blockCapacity = 0;
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
        u32 result = 1;
        Place p{0, 0};
        while (p.block < m_blockCount) {
            const Block& block = *m_blocks[p.block];
            if (p.at >= block.count) {
                ++p.block;
                p.at = 0;
                continue;
            }
            const OrderEntry e = block.entries[p.at];
            CMessageObject* object = m_slots[e.slot].object;
            const u32 layout = m_layout;
            if (group == kAllGroups || object->GetGroup() == group) {
                result &= object->HandleMessage(message, sender, parameter);
            }
            // A receiver that changed the order: on from the next id above
            // the one just served.
            if (layout == m_layout) {
                ++p.at;
            } else {
                p = UpperBound(e.id);
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
    // The block holding the entry: the Fenwick tree's descent past every
    // prefix of blocks that ends at or before the index.
    u32 step = 1;
    while (step * 2 <= m_blockCount) step *= 2;
    u32 block = 0, rest = index;
    for (; step; step /= 2) {
        if (block + step <= m_blockCount && m_counts[block + step] <= rest) {
            block += step;
            rest -= m_counts[block];
        }
    }
    return m_slots[m_blocks[block]->entries[rest].slot].object;
}

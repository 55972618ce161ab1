// Object messages: game objects address each other by a 32-bit id rather
// than by pointer, so a message to an object that has gone away is harmless
// and one message can reach every object of a group.
//
// CObjectRegistry is the one global table of live game objects, kept in id
// order. It hands out ids from its own generator (fixed seeds, so a run hands
// out the same ids for the same registrations) and delivers messages to one
// object, to a group, or to its handler, the current battle scene:
//   id 0           the handler's OnMessage(message, parameter)
//   id 0xFFFFFFFF  every registered object of the group (-1: all groups),
//                  in id order; the replies ANDed, 1 when nobody answers
//   any other id   that object, whatever its group; 1 when nobody has it
//
// CMessageObject is what the registry needs of an object: an id, a group and
// the message operation. The battle objects' base derives from it, takes its
// id from NewId and registers in its constructors, and unregisters (Remove)
// when it is released. Main thread only; no locks.
#pragma once

#include "engine/core/ObjectBase.h"
#include "engine/core/Random.h"
#include "engine/core/Scene.h"
#include "engine/core/Types.h"

#include <cstdint>

class CMessageObject : public CObjectBase {
    ORV_ABSTRACT_CLASS(CMessageObject)

public:
    CMessageObject() = default;
    explicit CMessageObject(const char* name) : CObjectBase(name) {}
    // A copy keeps the group but not the id: the copy is another object and
    // must draw its own.
    CMessageObject(const CMessageObject& other) : CObjectBase(other), m_group(other.m_group) {}
    CMessageObject& operator=(const CMessageObject& other)
    {
        CObjectBase::operator=(other);
        m_group = other.m_group;
        return *this;
    }

    u32 GetId() const { return m_id; }
    i32 GetGroup() const { return m_group; }
    void SetGroup(i32 group) { m_group = group; }

    // Receives a message sent to this object's id or broadcast to its group.
    // The parameter is pointer-sized: senders pass pointers to data in it.
    virtual u32 HandleMessage(u32 message, CMessageObject* sender, intptr_t parameter) = 0;

    // Dispatch on the global registry with this object as the sender.
    // Without a registry: 0 for id 0 (nobody answered), else 1.
    u32 SendObjectMessage(u32 message, u32 target, i32 group, intptr_t parameter);

protected:
    // Set from CObjectRegistry::NewId before the object registers; never
    // changed while it is registered.
    void SetId(u32 id) { m_id = id; }

private:
    u32 m_id = 0;
    i32 m_group = 0;
};

class CObjectRegistry {
public:
    static constexpr u32 kHandlerId = 0;
    static constexpr u32 kBroadcastId = 0xFFFFFFFFu;
    static constexpr i32 kAllGroups = -1;

    CObjectRegistry() = default;
    // The owner is kept for whoever created the registry; it is not used.
    explicit CObjectRegistry(void* owner) : m_owner(owner) {}
    CObjectRegistry(const CObjectRegistry&) = delete;
    CObjectRegistry& operator=(const CObjectRegistry&) = delete;
    virtual ~CObjectRegistry() { Clear(); }

    // The receiver of messages to id 0 (the battle scene installs itself).
    void SetHandler(CScene* handler) { m_handler = handler; }
    CScene* GetHandler() const { return m_handler; }

    // The next value of the registry's generator that is neither 0 nor
    // 0xFFFFFFFF nor the id of a registered object.
    u32 NewId();

    // Registers an object that already carries its id. 0 for a null object,
    // a reserved id (0, 0xFFFFFFFF), an object or id already registered, or
    // when the larger tables cannot be allocated. Logarithmic time, plus a
    // move of at most one block of the order.
    i32 Add(CMessageObject* object);
    // Unregisters an object (found by pointer), keeping the order of the
    // rest. 0 when it is not registered. Logarithmic time, plus a move of
    // at most one block of the order.
    i32 Remove(CMessageObject* object);
    // Frees the tables: capacity and count 0. The handler stays. Returns 1.
    i32 Clear();

    // Delivers a message (see the top of this file). Receivers may register
    // and unregister objects during a broadcast: it goes on with the next id
    // after the one just served.
    u32 Dispatch(u32 message, u32 target, i32 group, CMessageObject* sender, intptr_t parameter);

    // The registered object with this id, or null (a hash look-up).
    CMessageObject* Find(u32 id) const;
    u32 GetCount() const { return m_count; }
    // The most objects registered at once since the last Clear.
    u32 GetCapacity() const { return m_capacity; }
    // Registered object index in id order, null past the count.
    // Logarithmic time.
    CMessageObject* GetAt(u32 index) const;
    void* GetOwner() const { return m_owner; }
    // The id generator (tests steer it).
    CRandom* GetGenerator() { return &m_generator; }

private:
    static constexpr u32 kNoSlot = 0xFFFFFFFFu;
    // A registered object.
    struct Slot {
        CMessageObject* object;
        u32 id;         // the id it registered with
        u32 nextFree;   // the next free slot while free
    };
    struct OrderEntry {
        u32 id;
        u32 slot;
    };
    // The id order is kept as objects come and go, in blocks: ids ascend
    // within a block and every id of a block is below the next block's. A
    // block splits when full and joins a neighbour when nearly empty, so an
    // insertion or removal moves at most one block's entries.
    static constexpr u32 kBlockSize = 256;
    struct Block {
        u32 count;
        OrderEntry entries[kBlockSize];
    };
    // An entry of the order; at == the block's count is past its end.
    struct Place {
        u32 block;
        u32 at;
    };

    // Room for one more object in every table, one more block included;
    // false when it cannot be had.
    bool Reserve();
    // The block an id belongs in: the last whose first id is not above it.
    u32 BlockOf(u32 id) const;
    // The first entry whose id is above id.
    Place UpperBound(u32 id) const;
    // Puts an id in the order, or takes it out; neither allocates.
    void Insert(u32 id, u32 slot);
    void Erase(u32 id);
    void InsertBlock(u32 at, Block* block);
    void EraseBlock(u32 at);
    // The counts of entries per block as a Fenwick tree (m_counts[1..n]), for
    // the entry at an index in id order.
    void CountAll();
    void Count(u32 block, i32 delta);
    void FreeBlock(Block* block);
    u32 SlotOfId(u32 id) const;
    u32 SlotOfObject(const CMessageObject* object) const;
    void Unhash(u32* table, u32 slot, bool byObject);

    u32 m_capacity = 0;
    u32 m_count = 0;
    // Slots, recycled through a free list.
    Slot* m_slots = nullptr;
    u32 m_slotCount = 0;
    u32 m_slotCapacity = 0;
    u32 m_freeSlot = kNoSlot;
    // The blocks in order, each block's first id, and the Fenwick tree of
    // their counts (one more entry than the blocks).
    Block** m_blocks = nullptr;
    u32* m_firstIds = nullptr;
    u32* m_counts = nullptr;
    u32 m_blockCount = 0;
    u32 m_blockCapacity = 0;
    // A block put by for the next split, so that Add allocates only in
    // Reserve.
    Block* m_spareBlock = nullptr;
    // Open-addressed tables of slot + 1 (0: empty), by id and by object;
    // the address only finds an object, it never orders anything.
    u32* m_byId = nullptr;
    u32* m_byObject = nullptr;
    u32 m_tableSize = 0;
    CScene* m_handler = nullptr;
    void* m_owner = nullptr;
    CRandom m_generator;
    // Counts the changes to the order, so a broadcast finds its place again.
    u32 m_layout = 0;
};

// The global registry; null until the game application (or the first battle
// object) creates and sets it. The caller keeps ownership.
CObjectRegistry* GetObjectRegistry();
void SetObjectRegistry(CObjectRegistry* registry);

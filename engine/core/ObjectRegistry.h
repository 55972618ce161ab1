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
    // when the larger tables cannot be allocated. Constant time, amortised:
    // the new object joins the id order when the order is next needed.
    i32 Add(CMessageObject* object);
    // Unregisters an object (found by pointer), keeping the order of the
    // rest. 0 when it is not registered. Constant time, amortised.
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
    CMessageObject* GetAt(u32 index) const;
    void* GetOwner() const { return m_owner; }
    // The id generator (tests steer it).
    CRandom* GetGenerator() { return &m_generator; }

private:
    // A registered object and where it stands in the order.
    struct Slot {
        CMessageObject* object;
        u32 id;     // the id it registered with
        u32 at;     // its index in m_order; the next free slot while free
    };
    // The id order: ids ascending up to m_sorted, then the registrations
    // not yet merged in. A removed object leaves its id with kNoSlot.
    struct OrderEntry {
        u32 id;
        u32 slot;
    };
    static constexpr u32 kNoSlot = 0xFFFFFFFFu;

    // Room for one more object in every table; false when it cannot be had.
    bool Reserve();
    // Merges the new registrations into the order and drops removed ones.
    void Normalize() const;
    // First index of the order whose id is above id (after Normalize).
    u32 UpperBound(u32 id) const;
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
    // The order and a spare of the same size to merge into.
    mutable OrderEntry* m_order = nullptr;
    mutable OrderEntry* m_spare = nullptr;
    mutable u32 m_orderSize = 0;
    mutable u32 m_sorted = 0;
    mutable u32 m_removed = 0;   // kNoSlot entries in the order
    u32 m_orderCapacity = 0;
    // Open-addressed tables of slot + 1 (0: empty), by id and by object;
    // the address only finds an object, it never orders anything.
    u32* m_byId = nullptr;
    u32* m_byObject = nullptr;
    u32 m_tableSize = 0;
    CScene* m_handler = nullptr;
    void* m_owner = nullptr;
    CRandom m_generator;
    // Counts the times the order moved, so a broadcast finds its place again.
    mutable u32 m_layout = 0;
};

// The global registry; null until the game application (or the first battle
// object) creates and sets it. The caller keeps ownership.
CObjectRegistry* GetObjectRegistry();
void SetObjectRegistry(CObjectRegistry* registry);

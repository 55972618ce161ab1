#include "engine/core/ObjectRegistry.h"

#include "engine/core/Memory.h"

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

u32 CObjectRegistry::NewId()
{
    for (;;) {
        const u32 id = m_generator.Next();
        if (id != kHandlerId && id != kBroadcastId && !Find(id)) return id;
    }
}

i32 CObjectRegistry::Add(CMessageObject* object)
{
    if (!object) return 0;
    const u32 id = object->GetId();
    if (id == kHandlerId || id == kBroadcastId || Find(id)) return 0;
    // The same object under an id it no longer carries.
    for (u32 i = 0; i < m_count; ++i) {
        if (m_objects[i] == object) return 0;
    }

    if (m_count == m_capacity) {
        if (m_capacity >= UINT32_MAX / sizeof(CMessageObject*)) return 0;
        const u32 capacity = m_capacity + 1;
        auto* objects = static_cast<CMessageObject**>(AlignedAlloc(u32(capacity * sizeof(CMessageObject*)), 16));
        if (!objects) return 0;
        if (m_count) std::memcpy(objects, m_objects, m_count * sizeof(CMessageObject*));
        AlignedFree(m_objects);
        m_objects = objects;
        m_capacity = capacity;
    }
    const u32 at = UpperBound(id);
    for (u32 i = m_count; i > at; --i) m_objects[i] = m_objects[i - 1];
    m_objects[at] = object;
    ++m_count;
    ++m_changes;
    return 1;
}

i32 CObjectRegistry::Remove(CMessageObject* object)
{
    u32 at = 0;
    while (at < m_count && m_objects[at] != object) ++at;
    if (!object || at == m_count) return 0;
    for (u32 i = at; i + 1 < m_capacity; ++i) m_objects[i] = m_objects[i + 1];
    m_objects[m_capacity - 1] = nullptr;
    --m_count;
    ++m_changes;
    return 1;
}

i32 CObjectRegistry::Clear()
{
    AlignedFree(m_objects);
    m_objects = nullptr;
    m_capacity = 0;
    m_count = 0;
    ++m_changes;
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
        u32 i = 0;
        while (i < m_count) {
            CMessageObject* object = m_objects[i];
            const u32 id = object->GetId();
            const u32 changes = m_changes;
            if (group == kAllGroups || object->GetGroup() == group) {
                result &= object->HandleMessage(message, sender, parameter);
            }
            i = changes == m_changes ? i + 1 : UpperBound(id);
        }
        return result;
    }
    CMessageObject* object = Find(target);
    return object ? object->HandleMessage(message, sender, parameter) : 1;
}

CMessageObject* CObjectRegistry::Find(u32 id) const
{
    i64 low = 0, high = i64(m_count) - 1;
    while (low <= high) {
        const i64 middle = (low + high) / 2;
        const u32 at = m_objects[middle]->GetId();
        if (at == id) return m_objects[middle];
        if (at > id) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return nullptr;
}

u32 CObjectRegistry::UpperBound(u32 id) const
{
    u32 low = 0, high = m_count;
    while (low < high) {
        const u32 middle = low + (high - low) / 2;
        if (m_objects[middle]->GetId() <= id) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

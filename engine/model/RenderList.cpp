#include "engine/model/RenderList.h"

#include "engine/core/Matrix.h"
#include "engine/core/Memory.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Vector3.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/GraphicDevice.h"

#include <algorithm>
#include <cmath>

namespace {

CObjectBase* Entry(const void* slot) { return static_cast<CObjectBase*>(*static_cast<void* const*>(slot)); }

void** NewSlots(u32 count)
{
    if (count == 0 || count > UINT32_MAX / sizeof(void*)) return nullptr;
    return static_cast<void**>(AlignedAlloc(u32(count * sizeof(void*)), 16));
}

bool Before(void* a, void* b) { return CRenderList::Compare(&a, &b) < 0; }

}  // namespace

CRenderList::CRenderList() = default;

CRenderList::CRenderList(const char* name, u32 capacity, CGraphicDevice* device)
    : CList<void*>(capacity), m_capacity(capacity), m_device(device)
{
    SetName(name);
}

CRenderList::CRenderList(const CRenderList& other)
    : CList<void*>(other), m_capacity(other.m_capacity), m_far(other.m_far), m_device(other.m_device),
      m_filter(other.m_filter)
{
}

CRenderList::~CRenderList() { AlignedFree(m_scratch); }

i32 CRenderList::Add(CObjectBase* object, u32 drawArgument)
{
    if (!object) return 1;
    // Without a camera the device draws under its default view, the
    // identity, and the object is judged under it too.
    CMatrix view;
    const CCamera* camera = m_device ? m_device->GetCurrentCamera() : nullptr;
    if (camera) view = *camera->GetViewMatrix();
    CVector3* centre = object->GetBoundingCenter();
    object->GetPosition()->TransformedCoord(centre, view);
    const f32 radius = object->GetBoundingRadius();
    // Each test lets a NaN depth through.
    if (centre->z + radius < 0.0f) return 1;
    if (m_used >= GetCount()) return 1;
    if (centre->z - radius > m_far) return 1;
    object->SetDrawArgument(drawArgument);
    m_data[m_used++] = object;
    return 1;
}

i32 CRenderList::Compare(const void* a, const void* b)
{
    const CObjectBase* x = Entry(a);
    const CObjectBase* y = Entry(b);
    // Unmarked entries come after the marked ones, all equal among
    // themselves: a comparison that put A after B whichever came first
    // would be no order at all.
    const bool markedX = x->IsDepthSorted() != 0, markedY = y->IsDepthSorted() != 0;
    if (markedX != markedY) return markedX ? -1 : 1;
    if (!markedX) return 0;
    if (x->GetDrawPriority() != y->GetDrawPriority()) return x->GetDrawPriority() > y->GetDrawPriority() ? -1 : 1;
    // Far to near; a depth that is no number goes last.
    const f32 keyX = x->GetBoundingCenter()->z + x->GetBoundingRadius();
    const f32 keyY = y->GetBoundingCenter()->z + y->GetBoundingRadius();
    const bool nanX = std::isnan(keyX), nanY = std::isnan(keyY);
    if (nanX || nanY) return nanX == nanY ? 0 : (nanX ? 1 : -1);
    if (keyY > keyX) return 1;
    if (keyY < keyX) return -1;
    return 0;
}

void CRenderList::Sort()
{
    const u32 n = std::min(m_used, GetCount());
    if (n < 2) return;
    if (m_scratchCount < n) {
        AlignedFree(m_scratch);
        m_scratchCount = 0;
        m_scratch = NewSlots(GetCount());
        if (m_scratch) m_scratchCount = GetCount();
    }
    if (!m_scratch) {
        std::stable_sort(m_data, m_data + n, Before);
        return;
    }
    // Bottom-up merge sort between the slots and the scratch space; merging
    // takes from the left run on ties, so equal entries keep their order.
    void** from = m_data;
    void** to = m_scratch;
    for (u32 width = 1; width < n; width *= 2) {
        for (u32 low = 0; low < n; low += 2 * width) {
            const u32 middle = std::min(low + width, n), high = std::min(low + 2 * width, n);
            std::merge(from + low, from + middle, from + middle, from + high, to + low, Before);
        }
        std::swap(from, to);
    }
    if (from != m_data) std::copy(from, from + n, m_data);
}

i32 CRenderList::Draw()
{
    Sort();
    if (m_device) m_device->SetZWriteEnable(0);
    const u32 n = std::min(m_used, m_capacity);
    for (u32 i = 0; i < n && i < GetCount(); ++i) {
        CObjectBase* object = static_cast<CObjectBase*>(m_data[i]);
        if (!object) continue;
        const i32 target = object->GetUserWord();
        if (target >= 0 && m_filter) m_filter->SetTarget(u32(target));
        object->Draw(object->GetDrawArgument());
    }
    if (m_device) {
        m_device->SetZWriteEnable(1);
        m_device->SetBlendMode(1);
    }
    return 1;
}

i32 CRenderList::Clear()
{
    m_used = 0;
    if (m_filter) {
        m_filter->Begin(0);
        m_filter->SetTarget(0);
        m_filter->SetDepthTarget();
    }
    return 1;
}

i32 CRenderList::Present()
{
    if (!m_filter) return 1;
    if (m_device) {
        m_device->RestoreColorTarget();
        m_device->RestoreDepthTarget();
        m_device->SetState2D();
    }
    m_filter->Apply(0);
    return 1;
}

i32 CRenderList::PresentToFilter(CFilter* destination)
{
    if (!m_filter) return 1;
    if (!destination) return 0;
    destination->SetTarget(0);
    destination->SetDepthTarget();
    if (m_device) m_device->SetState2D();
    m_filter->Apply(0);
    return 1;
}

CObjectBase* CRenderList::GetEntry(u32 i) const
{
    return i < m_used && i < GetCount() ? static_cast<CObjectBase*>(m_data[i]) : nullptr;
}

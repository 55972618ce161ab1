// `CRenderList`: the objects of one frame's 3D pass. Each frame a scene
// clears it, its objects add themselves (those wholly behind the camera or
// beyond the far distance are turned away), and Draw sorts and draws them,
// steering each into the post-process filter's target it asks for; Present
// composes the filter onto the back buffer.
//
// Order: objects marked depth-sorted first, by descending draw priority,
// then from far to near; unmarked objects after them. Equal objects keep the
// order they were added in.
//
// The list does not own its objects; they must outlive the frame's Draw.
#pragma once

#include "engine/core/List.h"
#include "engine/core/Types.h"

class CFilter;
class CGraphicDevice;
class CObjectBase;

class CRenderList : public CList<void*> {
    ORV_VALUE_CLASS(CRenderList)

public:
    // No slots: every Add is turned away.
    CRenderList();
    // capacity slots, named name, drawing through device.
    CRenderList(const char* name, u32 capacity, CGraphicDevice* device);
    // The slots copied, nothing used; capacity, far distance, device and
    // filter as the source's.
    CRenderList(const CRenderList& other);
    CRenderList& operator=(const CRenderList&) = delete;
    ~CRenderList() override;

    // Puts object in view space: its bounding centre becomes its position
    // seen from the device's current camera (the identity view without a
    // camera), and it is added with drawArgument unless it lies wholly
    // behind the camera (z + radius < 0), beyond the far distance
    // (z - radius > far) or the list is full. 1 whether added or not.
    i32 Add(CObjectBase* object, u32 drawArgument);
    // The order of two entries, qsort style (addresses of entry pointers):
    // negative when A comes first, positive when B does, 0 when equal. A
    // consistent order, so any sort may use it.
    static i32 Compare(const void* a, const void* b);
    // Sorts the entries, then draws each with depth writing off, first
    // switching to the filter target its user word names (a negative one
    // keeps the current target). Depth writing on and blend mode 1 after. 1.
    i32 Draw();
    // Forgets the entries; the filter's targets are cleared and its first
    // target and depth surface become the device's. 1.
    i32 Clear();
    // Back to the back buffer, 2D states, and the filter composed onto it.
    // Nothing without a filter. 1.
    i32 Present();
    // The filter composed into destination's first target instead. Nothing
    // without a filter of this list's; 0 for a null destination, else 1.
    i32 PresentToFilter(CFilter* destination);

    // Not owned; null draws straight into the current target.
    void SetFilter(CFilter* filter) { m_filter = filter; }
    CFilter* GetFilter() const { return m_filter; }
    CGraphicDevice* GetDevice() const { return m_device; }
    u32 GetUsedCount() const { return m_used; }
    u32 GetCapacity() const { return m_capacity; }
    f32 GetFarDistance() const { return m_far; }
    void SetFarDistance(f32 distance) { m_far = distance; }
    // Entry i in the current order; null past the used count.
    CObjectBase* GetEntry(u32 i) const;

private:
    void Sort();

    u32 m_used = 0;
    u32 m_capacity = 0;
    f32 m_far = 200.0f;
    CGraphicDevice* m_device = nullptr;
    CFilter* m_filter = nullptr;
    // The sort's merge space, as long as the slots, so a frame allocates
    // nothing.
    void** m_scratch = nullptr;
    u32 m_scratchCount = 0;
};

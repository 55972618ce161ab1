// CNamedArray: a named set of word tracks. A character's facial expressions
// are these: track m gives the texture index of material m over time.
#pragma once

#include "engine/core/KeyFrameList.h"
#include "engine/core/Types.h"

#include <vector>

class CNamedArray {
public:
    static constexpr u32 kNameBytes = 260;

    CNamedArray() = default;
    // count default tracks, empty name.
    explicit CNamedArray(u32 count) : m_tracks(count) {}
    CNamedArray(const CNamedArray&) = default;
    CNamedArray& operator=(const CNamedArray&) = default;
    virtual ~CNamedArray() = default;

    // Releases every track; count 0.
    virtual void Clear() { m_tracks.clear(); }

    // The name: at most 260 bytes, then its end.
    const char* GetName() const { return m_name; }
    // Copies at most 260 bytes of name and ends it.
    void SetName(const char* name);
    u32 GetCount() const { return u32(m_tracks.size()); }
    // Track i, or null when i >= count.
    CKeyFrameTrack* GetItem(u32 i) { return i < m_tracks.size() ? &m_tracks[i] : nullptr; }
    const CKeyFrameTrack* GetItem(u32 i) const { return i < m_tracks.size() ? &m_tracks[i] : nullptr; }

private:
    char m_name[kNameBytes + 1] = {};
    std::vector<CKeyFrameTrack> m_tracks;
};

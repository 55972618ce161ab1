// CKeyFrameList<T>, the engine's animation track: a named list of keys
// {time, ease, value} that yields a value at any time, stepping or blending
// between the two keys around it and holding, wrapping or repeating past the
// last key. Scene layers, effects, the animated camera and the tension files
// keep their animation in these tracks, and store them in one block format:
//
//   u32 name size (with its NUL; 0: no name), the name bytes,
//   u32 key count, the keys (f32 time, f32 ease, value),
//   u32 interpolate, u32 loop, the default value
//
// little-endian and packed. Every value type is made of 4-byte fields, so a
// key is stored as its words in order.
//
// Instances: f32, i32, u32 (CKeyFrameTrack, the word track), CVector3,
// CQuaternion (keys only: model parts read them; no default blend), CVector4
// (colour), CRect4 and CSegment (curve: start = control point, end = key
// point). The track does not sort keys written with the list operations;
// AddKey inserts in time order.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/List.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

#include <cmath>
#include <cstring>
#include <type_traits>

namespace host::kernel { class File; }

template <class T>
struct CKeyFrame {
    f32 time;
    f32 ease;
    T value;
};

static_assert(sizeof(CKeyFrame<f32>) == 12 && sizeof(CKeyFrame<i32>) == 12 && sizeof(CKeyFrame<u32>) == 12);
static_assert(sizeof(CKeyFrame<CVector3>) == 20 && sizeof(CKeyFrame<CQuaternion>) == 24);
static_assert(sizeof(CKeyFrame<CVector4>) == 24 && sizeof(CKeyFrame<CRect4>) == 24);
static_assert(sizeof(CKeyFrame<CSegment>) == 32);

// The curve callback of effects and the animated camera: the quadratic curve
// from a's point through a's control point to b's point; the control point
// stays a's. Null out or a: 0; null b or w = 0: a copied.
u32 InterpolateCurveKey(const CSegment* a, const CSegment* b, f32 w, CSegment* out);

// The stored block, in a form that does not depend on the value type.
// KeyFrameList.cpp.
namespace keyframe_block {

struct View {
    const char* name;        // null: no name
    u32 nameLength;          // bytes with the NUL
    const void* keys;        // keyCount keys of 8 + valueBytes bytes
    u32 keyCount;
    u32 valueBytes;
    u32 interpolate;
    u32 loop;
    const void* defaultValue;
};

// What a read delivered; nothing of the track is touched until all of it
// has arrived and checked out.
struct Parts {
    char* name = nullptr;     // AlignedAlloc'd copy ending in NUL, or null
    u32 nameLength = 0;
    u32* keyWords = nullptr;  // AlignedAlloc'd, keyCount x (8 + valueBytes) / 4 words
    u32 keyCount = 0;
    u32 interpolate = 0;
    u32 loop = 0;
    u32 defaultWords[8] = {};
    // Words of interpolate, loop and the default value that were there, in
    // that order: a block that ends early keeps the track's own for the rest.
    u32 trailingWords = 0;
    Parts() = default;
    Parts(const Parts&) = delete;
    Parts& operator=(const Parts&) = delete;
    ~Parts();
};

u32 Write(host::kernel::File* file, const View& view);
u32 Save(const char* path, host::kernel::File* file, const View& view);
u32 Read(host::kernel::File* file, u32 valueBytes, Parts& parts);
u32 ReadMemory(const void* data, u32 size, u32 valueBytes, Parts& parts, u32* used);
u32 Load(const char* path, host::kernel::File* file, u32 valueBytes, Parts& parts);

// Time past the last key moved back into the key range; mode 1 repeats
// [first, last], any other mode wraps from time 0. The caller has checked
// that the span is not zero.
inline f32 WrapTime(f32 t, f32 first, f32 last, u32 mode)
{
    if (mode == 1) {
        const f32 d = t - last;
        const f32 s = last - first;
        const f32 q = std::trunc(d / s);
        const f32 r = d - s * q;
        return first + r;
    }
    const f32 q = std::trunc(t / last);
    return t - last * q;
}

// Blend weight of time t between keys at t0 and t1 with the earlier key's
// ease e: (1 - e) s + e s s, s = (t - t0) / (t1 - t0). The span and s are
// f32; the weight is worked out in f64 and rounded to f32 once, so its
// terms lose nothing on the way (IEEE f64 gives the same bits everywhere).
inline f32 EaseWeight(f32 t, f32 t0, f32 t1, f32 e)
{
    const f32 span = t1 - t0;
    const f32 s = (t - t0) / span;
    const f64 ds = f64(s), de = f64(e);
    return f32((1.0 - de) * ds + de * ds * ds);
}

}  // namespace keyframe_block

template <class T>
class CKeyFrameList : public CList<CKeyFrame<T>> {
    ORV_VALUE_CLASS_NAMED(CKeyFrameList, "CKeyFrameList")

    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) % 4 == 0 && sizeof(T) <= 32,
        "track values are plain records of 4-byte fields");

    using Base = CList<CKeyFrame<T>>;

public:
    using Key = CKeyFrame<T>;
    // (a, b, w, out) -> 1 when out was written. b is null when a single
    // key's value is wanted, and w is then 0.
    using Callback = u32 (*)(const T* a, const T* b, f32 w, T* out);

    CKeyFrameList() = default;
    explicit CKeyFrameList(const char* name, const T& defaultValue = T(), u32 interpolate = 1)
        : Base(name), m_interpolate(interpolate), m_default(defaultValue)
    {
    }
    // The word track's form.
    CKeyFrameList(const char* name, const T& defaultValue, Callback callback, u32 interpolate)
        : Base(name), m_interpolate(interpolate), m_default(defaultValue), m_callback(callback)
    {
    }
    // The rectangle track's form.
    CKeyFrameList(const char* name, Callback callback, u32 interpolate)
        requires std::is_same_v<T, CRect4>
        : Base(name), m_interpolate(interpolate), m_callback(callback)
    {
    }
    CKeyFrameList(const CKeyFrameList&) = default;
    CKeyFrameList& operator=(const CKeyFrameList&) = default;
    ~CKeyFrameList() override = default;

    // -- Settings. --

    u32 GetValueSize() const { return m_valueSize; }
    u32 GetInterpolate() const { return m_interpolate; }
    void SetInterpolate(u32 interpolate) { m_interpolate = interpolate; }
    u32 GetLoop() const { return m_loop; }
    void SetLoop(u32 loop) { m_loop = loop; }
    Callback GetInterpolator() const { return m_callback; }
    void SetInterpolator(Callback callback) { m_callback = callback; }
    const T* GetDefaultValue() const { return &m_default; }
    // A null value is ignored.
    void SetDefaultValue(const T* value)
    {
        if (value) m_default = *value;
    }
    void SetCurveDefault(const CSegment* value)
        requires std::is_same_v<T, CSegment>
    {
        SetDefaultValue(value);
    }
    void SetRectDefault(const CRect4* value)
        requires std::is_same_v<T, CRect4>
    {
        SetDefaultValue(value);
    }
    // Effects keep a word track's kind in its default value.
    void SetKind(const u32* kind)
        requires std::is_same_v<T, u32>
    {
        SetDefaultValue(kind);
    }

    // -- Keys (GetAt, GetCount, GetData, SetArray are the list's). --

    // Inserts a key in time order. Refused (0) when a key already stands
    // near time: k - 0.006 <= time < k + 0.006 for a key time k.
    u32 AddKey(f32 time, const T& value, f32 ease = 0.0f)
    {
        const f32 kNear = 0.006f;
        u32 at = 0;
        for (u32 i = 0; i < this->m_count; ++i) {
            const f32 k = this->m_data[i].time;
            if (k - kNear <= time && time < k + kNear) return 0;
            if (k <= time) at = i + 1;
        }
        const Key key{time, ease, value};
        return this->InsertAt(&key, at) ? 1 : 0;
    }

    // The last key's time; 0 without keys.
    f32 GetEndTime() const { return this->m_count ? this->m_data[this->m_count - 1].time : 0.0f; }
    f32 GetEndTimeFloat() const
        requires(sizeof(T) == 4)
    {
        return GetEndTime();
    }
    f32 GetEndTimeVector3() const
        requires(sizeof(T) == 12)
    {
        return GetEndTime();
    }
    f32 GetEndTimeVector4() const
        requires(sizeof(T) == 16)
    {
        return GetEndTime();
    }

    // -- Evaluation. --

    // The value at time t into out through callback, or the type's default
    // blend when callback is null. mode matters past the last key when loop
    // is 1: 2 holds the last key, 1 repeats the key range, anything else
    // wraps from time 0. 1 when out was written; 0 for a null out, a time
    // that is not a number, or a quaternion track without a callback.
    u32 GetValue(f32 t, T* out, u32 mode = 0, Callback callback = nullptr) const
    {
        if (!out) return 0;
        const Callback blend = callback ? callback : DefaultBlend();
        if (!blend) return 0;
        return VisitKeys(t, mode, [blend, out](const T* a, const T* b, f32 w) { return blend(a, b, w, out); });
    }
    // GetValue's search alone: the keys the value at time t comes from go to
    // visit(a, b, w) (b null and w 0 for one key's value), whose answer comes
    // back; 0 for a time that is not a number.
    template <class Visit>
    u32 VisitKeys(f32 t, u32 mode, Visit&& visit) const
    {
        const Key* keys = this->m_data;
        const u32 n = keys ? this->m_count : 0;
        if (n == 0) return visit(&m_default, nullptr, 0.0f);
        const Key& first = keys[0];
        const Key& last = keys[n - 1];
        if (n == 1) return visit(&first.value, nullptr, 0.0f);
        if (t > last.time) {
            if (m_loop == 0 || mode == 2) return visit(&last.value, nullptr, 0.0f);
            // A range of zero length cannot be repeated: hold its end.
            const f32 span = mode == 1 ? last.time - first.time : last.time;
            if (span == 0.0f) return visit(&last.value, nullptr, 0.0f);
            t = keyframe_block::WrapTime(t, first.time, last.time, mode);
        }
        if (t <= first.time) return visit(&first.value, nullptr, 0.0f);
        // The first key at or past t (one test a key; a NaN time is neither).
        u32 i = 1;
        while (i < n && !(keys[i].time >= t)) ++i;
        if (i < n) {
            const Key& k = keys[i];
            if (k.time == t) return visit(&k.value, nullptr, 0.0f);
            const Key& prev = keys[i - 1];
            if (!m_interpolate) return visit(&prev.value, nullptr, 0.0f);
            const f32 w = keyframe_block::EaseWeight(t, prev.time, k.time, prev.ease);
            return visit(&prev.value, &k.value, w);
        }
        if (std::isnan(t)) return 0;
        // Rounding in the wrap (or keys at negative times) left t past the
        // end: hold the last key rather than return nothing.
        return visit(&last.value, nullptr, 0.0f);
    }
    // GetValue with the track's own callback.
    u32 Evaluate(f32 t, T* out, u32 mode = 0) const { return GetValue(t, out, mode, m_callback); }

    // The per-type names used across the engine.
    u32 GetFloatValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, f32>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetIntValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, i32>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetScalarValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, u32>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetVector3Value(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, CVector3>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetColorValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, CVector4>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetRectValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, CRect4>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 GetCurveValue(f32 t, T* out, u32 mode = 0, Callback cb = nullptr) const
        requires std::is_same_v<T, CSegment>
    {
        return GetValue(t, out, mode, cb);
    }
    u32 EvaluateFloat(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, f32>
    {
        return Evaluate(t, out, mode);
    }
    u32 EvaluateInt(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, i32>
    {
        return Evaluate(t, out, mode);
    }
    u32 EvaluateVector3(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, CVector3>
    {
        return Evaluate(t, out, mode);
    }
    u32 EvaluateColor(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, CVector4>
    {
        return Evaluate(t, out, mode);
    }
    u32 EvaluateRect(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, CRect4>
    {
        return Evaluate(t, out, mode);
    }
    u32 EvaluateCurve(f32 t, T* out, u32 mode = 0) const
        requires std::is_same_v<T, CSegment>
    {
        return Evaluate(t, out, mode);
    }

    // -- Default blends: 0 for a null out or a; a copied when b is null or
    // -- w is exactly 0; otherwise 1.

    // a + (b - a) w in f32.
    static u32 BlendFloatKeys(const f32* a, const f32* b, f32 w, f32* out)
    {
        if (!out || !a) return 0;
        *out = (!b || w == 0.0f) ? *a : *a + (*b - *a) * w;
        return 1;
    }
    // a + trunc(f32(b - a) w), the difference a wrapping signed 32-bit one.
    static u32 BlendIntKeys(const i32* a, const i32* b, f32 w, i32* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        const i32 d = i32(u32(*b) - u32(*a));
        *out = i32(u32(*a) + u32(TruncToI32(f32(d) * w)));
        return 1;
    }
    // a + trunc((b - a) w) with b - a taken as an unsigned 32-bit number, so
    // a falling word track climbs through the wrap instead. Kept: effects
    // store kinds and counts in word tracks and replay the same way.
    static u32 BlendScalarKeys(const u32* a, const u32* b, f32 w, u32* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        const f64 product = f64(u32(*b - *a)) * f64(w);
        // Beyond 64 bits (only for absurd weights) the result is undefined
        // in C++; keep it to a defined value.
        const i64 step = (product > -9.2e18 && product < 9.2e18) ? i64(product) : 0;
        *out = *a + u32(u64(step));
        return 1;
    }
    // Component-wise a + (b - a) w in f32.
    static u32 BlendVector3Keys(const CVector3* a, const CVector3* b, f32 w, CVector3* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        out->Set(a->x + (b->x - a->x) * w, a->y + (b->y - a->y) * w, a->z + (b->z - a->z) * w);
        return 1;
    }
    static u32 BlendColorKeys(const CVector4* a, const CVector4* b, f32 w, CVector4* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        *out = CVector4(a->x + (b->x - a->x) * w, a->y + (b->y - a->y) * w, a->z + (b->z - a->z) * w,
            a->w + (b->w - a->w) * w);
        return 1;
    }
    // The difference b - a is scaled about its own centre by w and added to
    // a: the centre lands on b's at once, the half-extents blend straight.
    static u32 BlendRectKeys(const CRect4* a, const CRect4* b, f32 w, CRect4* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        const f32 dl = b->left - a->left, dt = b->top - a->top;
        const f32 dr = b->right - a->right, db = b->bottom - a->bottom;
        const f32 cx = (dl + dr) / 2.0f, cy = (dt + db) / 2.0f;
        const f32 hx = (dr - dl) / 2.0f * w, hy = (db - dt) / 2.0f * w;
        CRect4 r;
        r.left = a->left + (cx - hx);
        r.top = a->top + (cy - hy);
        r.right = a->right + (cx + hx);
        r.bottom = a->bottom + (cy + hy);
        *out = r;
        return 1;
    }
    // d = b - a; out.start = a.start + d.start, out.end = a.end + d.start +
    // (d.end - d.start) w. When d.start = d.end the scaled part is zero.
    static u32 BlendSegmentKeys(const CSegment* a, const CSegment* b, f32 w, CSegment* out)
    {
        if (!out || !a) return 0;
        if (!b || w == 0.0f) {
            *out = *a;
            return 1;
        }
        const CVector3 ds = b->start - a->start;
        const CVector3 de = b->end - a->end;
        const CVector3 v = de - ds;
        CVector3 unit;
        v.GetNormalized(&unit);
        const CVector3 scaled = unit * v.Length() * w;
        *out = CSegment(a->start + ds, a->end + (ds + scaled));
        return 1;
    }

    // -- The stored block. --

    // 1, or 0 for a null file or a failed write.
    u32 WriteToFile(host::kernel::File* file) const { return keyframe_block::Write(file, MakeView()); }
    // With a file: written at its position. Without: path replaced whole.
    u32 SaveToFile(const char* path, host::kernel::File* file = nullptr) const
    {
        return keyframe_block::Save(path, file, MakeView());
    }
    u32 SaveVector3(const char* path, host::kernel::File* file = nullptr) const
        requires std::is_same_v<T, CVector3>
    {
        return SaveToFile(path, file);
    }

    // Replaces the name, keys, interpolate, loop and default value with one
    // block; the callback stays. A name stored without its NUL is taken
    // with one. A block that ends after its keys keeps the track's own
    // interpolate, loop and default value (or their words) past its end. A
    // block that is damaged or cut short sooner (a count or size larger
    // than what is left, a short read of the name or keys) gives 0 and
    // leaves the track as it was; so does a failed key allocation. Only a
    // failed name allocation, after the keys were taken, leaves the track
    // half read (and unnamed).
    u32 ReadFromFile(host::kernel::File* file)
    {
        keyframe_block::Parts parts;
        return keyframe_block::Read(file, u32(sizeof(T)), parts) ? Take(parts) : 0;
    }
    u32 ReadVector3(host::kernel::File* file)
        requires std::is_same_v<T, CVector3>
    {
        return ReadFromFile(file);
    }
    // The same from size bytes of memory; *used (when not null) receives the
    // bytes the block took.
    u32 ReadFromMemory(const void* data, u32 size, u32* used = nullptr)
    {
        keyframe_block::Parts parts;
        u32 taken = 0;
        if (!keyframe_block::ReadMemory(data, size, u32(sizeof(T)), parts, &taken) || !Take(parts)) return 0;
        if (used) *used = taken;
        return 1;
    }
    // With a file: read at its position. Without: path opened and closed.
    u32 LoadFromFile(const char* path, host::kernel::File* file = nullptr)
    {
        keyframe_block::Parts parts;
        return keyframe_block::Load(path, file, u32(sizeof(T)), parts) ? Take(parts) : 0;
    }
    u32 LoadVector3(const char* path, host::kernel::File* file = nullptr)
        requires std::is_same_v<T, CVector3>
    {
        return LoadFromFile(path, file);
    }
    u32 LoadCurve(const char* path, host::kernel::File* file = nullptr)
        requires std::is_same_v<T, CSegment>
    {
        return LoadFromFile(path, file);
    }

private:
    static Callback DefaultBlend()
    {
        if constexpr (std::is_same_v<T, f32>) return &BlendFloatKeys;
        else if constexpr (std::is_same_v<T, i32>) return &BlendIntKeys;
        else if constexpr (std::is_same_v<T, u32>) return &BlendScalarKeys;
        else if constexpr (std::is_same_v<T, CVector3>) return &BlendVector3Keys;
        else if constexpr (std::is_same_v<T, CVector4>) return &BlendColorKeys;
        else if constexpr (std::is_same_v<T, CRect4>) return &BlendRectKeys;
        else if constexpr (std::is_same_v<T, CSegment>) return &BlendSegmentKeys;
        else return nullptr;
    }

    // Truncation toward zero; out of range gives INT32_MIN, as the x86
    // conversion does, instead of undefined behaviour.
    static i32 TruncToI32(f32 v)
    {
        return (v > -2147483904.0f && v < 2147483648.0f) ? i32(v) : INT32_MIN;
    }

    keyframe_block::View MakeView() const
    {
        const char* name = this->GetName();
        const u32 nameLength = name ? this->GetNameLength() : 0;
        return {nameLength ? name : nullptr, nameLength, this->m_data, this->m_data ? this->m_count : 0,
            u32(sizeof(T)), m_interpolate, m_loop, &m_default};
    }

    u32 Take(const keyframe_block::Parts& parts)
    {
        if (!this->SetArray(nullptr, parts.keyCount)) return 0;
        if (parts.keyCount) std::memcpy(static_cast<void*>(this->m_data), parts.keyWords, size_t(parts.keyCount) * sizeof(Key));
        if (parts.trailingWords > 0) m_interpolate = parts.interpolate;
        if (parts.trailingWords > 1) m_loop = parts.loop;
        // Decode stops at the value's own size.
        if (parts.trailingWords > 2) {
            std::memcpy(static_cast<void*>(&m_default), parts.defaultWords, (parts.trailingWords - 2) * 4u);
        }
        if (!parts.nameLength) {
            this->ClearName();
            return 1;
        }
        char* name = this->AllocName(parts.nameLength);
        if (!name) return 0;
        std::memcpy(name, parts.name, parts.nameLength);
        return 1;
    }

    u32 m_valueSize = u32(sizeof(T));
    u32 m_interpolate = 1;
    u32 m_loop = 0;
    T m_default{};
    Callback m_callback = nullptr;
};

// The 32-bit word track (effects: kinds, animation frames, particle counts).
using CKeyFrameTrack = CKeyFrameList<u32>;

#include "engine/core/KeyFrameList.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

namespace {

using host::kernel::File;
using host::kernel::SeekOrigin;

// A file in memory; ClaimSize makes Size() lie so that a short read is met
// after the size checks have passed.
class MemoryFile : public File {
public:
    explicit MemoryFile(std::string bytes = {}) : bytes_(std::move(bytes)) {}
    size_t Read(void* buffer, size_t n) override
    {
        n = pos_ < bytes_.size() ? std::min(n, bytes_.size() - pos_) : 0;
        std::memcpy(buffer, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    size_t Write(const void* buffer, size_t n) override
    {
        if (failWrites) return 0;
        bytes_.append(static_cast<const char*>(buffer), n);
        return n;
    }
    bool Seek(int64_t offset, SeekOrigin) override { pos_ = size_t(offset); return true; }
    int64_t Tell() const override { return int64_t(pos_); }
    int64_t Size() const override { return claimed >= 0 ? claimed : int64_t(bytes_.size()); }
    bool AtEnd() const override { return pos_ >= bytes_.size(); }
    bool Close() override { return true; }
    const std::string& Bytes() const { return bytes_; }

    int64_t claimed = -1;
    bool failWrites = false;

private:
    std::string bytes_;
    size_t pos_ = 0;
};

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values) s += char(v);
    return s;
}

// Vector track "pos": keys (t 0, ease 0.5, (1, 2, 3)) and (t 2, ease 0,
// (-1, 0, 0.5)), interpolate 1, loop 1, default (0, 0, 1).
const std::string kPosBlock = Bytes({
    0x04, 0, 0, 0, 'p', 'o', 's', 0,                            // name size, name
    0x02, 0, 0, 0,                                              // key count
    0, 0, 0, 0, 0, 0, 0, 0x3F,                                  // time 0, ease 0.5
    0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40,          // 1, 2, 3
    0, 0, 0, 0x40, 0, 0, 0, 0,                                  // time 2, ease 0
    0, 0, 0x80, 0xBF, 0, 0, 0, 0, 0, 0, 0, 0x3F,                // -1, 0, 0.5
    0x01, 0, 0, 0, 0x01, 0, 0, 0,                               // interpolate, loop
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x3F,                   // default
});

// Unnamed word track: key (t 1, ease 0.25, 0xDEADBEEF), interpolate 0,
// loop 1, default 7.
const std::string kWordBlock = Bytes({
    0, 0, 0, 0, 0x01, 0, 0, 0,                                  // no name, 1 key
    0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3E, 0xEF, 0xBE, 0xAD, 0xDE, // the key
    0, 0, 0, 0, 0x01, 0, 0, 0, 0x07, 0, 0, 0,                   // interpolate, loop, default
});

CKeyFrameList<f32> Track(f32 t0, f32 t1, f32 ease0 = 0.0f)
{
    CKeyFrameList<f32> track("f");
    track.SetAt({t0, ease0, 0.0f}, 0);
    track.SetAt({t1, 0.0f, 10.0f}, 1);
    return track;
}

f32 At(const CKeyFrameList<f32>& track, f32 t, u32 mode = 0)
{
    f32 out = -999.0f;
    EXPECT_EQ(track.GetFloatValue(t, &out, mode), 1u) << "t = " << t;
    return out;
}

bool Same(const CVector3& a, const CVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

CKeyFrameList<CVector3> PosTrack()
{
    CKeyFrameList<CVector3> track("pos");
    track.SetAt({0.0f, 0.5f, {1.0f, 2.0f, 3.0f}}, 0);
    track.SetAt({2.0f, 0.0f, {-1.0f, 0.0f, 0.5f}}, 1);
    track.SetLoop(1);
    const CVector3 def(0.0f, 0.0f, 1.0f);
    track.SetDefaultValue(&def);
    return track;
}

int g_calls = 0;
u32 TenTimes(const f32* a, const f32* b, f32 w, f32* out)
{
    ++g_calls;
    *out = 10.0f * (b ? *a + (*b - *a) * w : *a);
    return 1;
}

}  // namespace

// ---------------------------------------------------------------- evaluation

TEST(KeyFrameList, ClampsAndEases)
{
    const auto track = Track(0.0f, 2.0f);
    EXPECT_EQ(At(track, 1.0f), 5.0f);
    EXPECT_EQ(At(track, -1.0f), 0.0f);
    EXPECT_EQ(At(track, 3.0f), 10.0f);
    EXPECT_EQ(At(track, 3.0f, 1), 10.0f);  // modes only matter with loop set
    // The earlier key's ease: 1 starts slow (w = s^2), -1 ends slow.
    EXPECT_EQ(At(Track(0.0f, 2.0f, 1.0f), 1.0f), 2.5f);
    EXPECT_EQ(At(Track(0.0f, 2.0f, -1.0f), 1.0f), 7.5f);
    EXPECT_EQ(At(Track(0.0f, 2.0f, 0.5f), 1.0f), 3.75f);
}

TEST(KeyFrameList, LoopsPastTheLastKey)
{
    auto fromZero = Track(0.0f, 2.0f);
    fromZero.SetLoop(1);
    EXPECT_EQ(At(fromZero, 3.0f), 5.0f);     // at 1
    EXPECT_EQ(At(fromZero, 5.0f), 5.0f);     // at 5 - 2 x 2
    EXPECT_EQ(At(fromZero, 3.0f, 2), 10.0f);  // mode 2 holds

    auto late = Track(1.0f, 3.0f);
    late.SetLoop(1);
    EXPECT_EQ(At(late, 4.0f, 0), 0.0f);   // wraps from 0 to 1, the first key
    EXPECT_EQ(At(late, 4.0f, 1), 5.0f);   // repeats [1, 3]: at 2
    EXPECT_EQ(At(late, 6.5f, 1), 7.5f);   // at 1 + (3.5 - 2 x 1)

    // A key range of no length cannot be repeated: its end is held.
    auto flat = Track(0.0f, 0.0f);
    flat.SetLoop(1);
    EXPECT_EQ(At(flat, 1.0f, 0), 10.0f);
    EXPECT_EQ(At(flat, 1.0f, 1), 10.0f);
}

TEST(KeyFrameList, KeysStepsAndDefaults)
{
    CKeyFrameList<f32> track("s", 4.0f);
    EXPECT_EQ(At(track, 1.0f), 4.0f);  // no keys: the default
    track.SetAt({1.0f, 0.0f, 7.0f}, 0);
    EXPECT_EQ(At(track, -5.0f), 7.0f);
    EXPECT_EQ(At(track, 50.0f), 7.0f);
    track.SetAt({2.0f, 1.0f, 10.0f}, 1);
    track.SetAt({3.0f, 0.0f, 20.0f}, 2);
    EXPECT_EQ(At(track, 2.0f), 10.0f);  // exactly on an inner key
    track.SetInterpolate(0);
    EXPECT_EQ(At(track, 1.5f), 7.0f);
    EXPECT_EQ(At(track, 2.99f), 10.0f);

    f32 out = -1.0f;
    EXPECT_EQ(track.GetFloatValue(1.5f, nullptr), 0u);
    EXPECT_EQ(track.GetFloatValue(std::numeric_limits<f32>::quiet_NaN(), &out), 0u);
    EXPECT_EQ(out, -1.0f);
    CKeyFrameList<CQuaternion> rotation("q");  // no default blend
    CQuaternion q;
    EXPECT_EQ(rotation.GetValue(0.0f, &q), 0u);
}

TEST(KeyFrameList, CallbacksReplaceTheDefaultBlend)
{
    auto track = Track(0.0f, 2.0f);
    track.SetInterpolator(&TenTimes);
    g_calls = 0;
    EXPECT_EQ(At(track, 1.0f), 5.0f);  // the Get forms take their callback
    f32 out = 0.0f;
    EXPECT_EQ(track.EvaluateFloat(1.0f, &out), 1u);
    EXPECT_EQ(out, 50.0f);
    EXPECT_EQ(track.EvaluateFloat(2.0f, &out), 1u);  // a single key too
    EXPECT_EQ(out, 100.0f);
    EXPECT_EQ(g_calls, 2);
}

TEST(KeyFrameList, AddKeyKeepsTimeOrderAndRefusesNearTimes)
{
    CKeyFrameList<i32> track("Tension", 0, 1);
    for (f32 t : {0.0f, 200.0f, 50.0f, 1.0f}) EXPECT_EQ(track.AddKey(t, i32(t)), 1u);
    EXPECT_EQ(track.AddKey(25.0f, 3, 0.5f), 1u);
    const f32 times[] = {0.0f, 1.0f, 25.0f, 50.0f, 200.0f};
    ASSERT_EQ(track.GetCount(), 5u);
    for (u32 i = 0; i < 5; ++i) EXPECT_EQ(track.GetAt(i)->time, times[i]);
    EXPECT_EQ(track.GetAt(2)->ease, 0.5f);

    EXPECT_EQ(track.AddKey(1.005f, 9), 0u);
    EXPECT_EQ(track.AddKey(1.0f - 0.006f, 9), 0u);  // k - 0.006 is near
    EXPECT_EQ(track.GetCount(), 5u);
    EXPECT_EQ(track.AddKey(1.0f + 0.006f, 9), 1u);  // k + 0.006 is not
}

// ---------------------------------------------------------------- blends

TEST(KeyFrameBlend, ScalarsAndVectors)
{
    using V = CKeyFrameList<CVector3>;
    const CVector3 a(1, 2, 3), b(5, -2, 3);
    CVector3 v(9, 9, 9);
    EXPECT_EQ(V::BlendVector3Keys(&a, &b, 0.25f, nullptr), 0u);
    EXPECT_EQ(V::BlendVector3Keys(nullptr, &b, 0.25f, &v), 0u);
    EXPECT_TRUE(Same(v, CVector3(9, 9, 9)));
    EXPECT_EQ(V::BlendVector3Keys(&a, &b, 0.25f, &v), 1u);
    EXPECT_TRUE(Same(v, CVector3(2, 1, 3)));
    V::BlendVector3Keys(&a, nullptr, 0.25f, &v);
    EXPECT_TRUE(Same(v, a));

    // The word blend takes b - a unsigned: 6 - 10 is 0xFFFFFFFC, and half
    // of that added to 10 wraps past 2^31.
    const u32 two = 2, ten = 10, six = 6;
    u32 w = 0;
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(&two, &ten, 0.25f, &w), 1u);
    EXPECT_EQ(w, 4u);
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(&ten, &six, 0.5f, &w), 1u);
    EXPECT_EQ(w, 0x80000008u);
    CKeyFrameTrack::BlendScalarKeys(&ten, &six, 0.0f, &w);
    EXPECT_EQ(w, 10u);
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(nullptr, &six, 0.5f, &w), 0u);

    // The integer blend's difference is signed: 10 -> 0 at 0.25 is 8.
    const i32 i10 = 10, i0 = 0;
    i32 i = 0;
    CKeyFrameList<i32>::BlendIntKeys(&i10, &i0, 0.25f, &i);
    EXPECT_EQ(i, 8);
    CKeyFrameList<i32>::BlendIntKeys(&i0, &i10, 0.25f, &i);
    EXPECT_EQ(i, 2);
}

TEST(KeyFrameBlend, RectanglesSegmentsAndCurves)
{
    CRect4 a, b, r;
    a.Set(0, 2, 0, 2);  // left, right, top, bottom
    b.Set(10, 14, 10, 14);
    CKeyFrameList<CRect4> rect("Rect", nullptr, 1);
    rect.SetAt({0.0f, 0.0f, a}, 0);
    rect.SetAt({2.0f, 0.0f, b}, 1);
    EXPECT_EQ(rect.EvaluateRect(1.0f, &r), 1u);
    // b's centre (12, 12) at once; half-size 1.5, halfway from 1 to 2.
    EXPECT_TRUE(r.left == 10.5f && r.right == 13.5f && r.top == 10.5f && r.bottom == 13.5f);

    using S = CKeyFrameList<CSegment>;
    const CSegment s0(CVector3(0, 0, 0), CVector3(1, 0, 0)), s1(CVector3(2, 0, 0), CVector3(5, 0, 0));
    CSegment s;
    EXPECT_EQ(S::BlendSegmentKeys(&s0, &s1, 0.5f, &s), 1u);
    EXPECT_TRUE(Same(s.start, CVector3(2, 0, 0)));
    EXPECT_TRUE(Same(s.end, CVector3(4, 0, 0)));  // 1 + 2 + (4 - 2) x 0.5
    const CSegment moved(CVector3(1, 1, 1), CVector3(2, 1, 1));  // no length to scale
    S::BlendSegmentKeys(&s0, &moved, 0.5f, &s);
    EXPECT_TRUE(Same(s.start, moved.start) && Same(s.end, moved.end));

    const CSegment c0(CVector3(1, 1, 0), CVector3(0, 0, 0)), c1(CVector3(9, 9, 9), CVector3(2, 0, 0));
    EXPECT_EQ(InterpolateCurveKey(&c0, &c1, 0.5f, &s), 1u);
    EXPECT_TRUE(Same(s.end, CVector3(1.0f, 0.5f, 0.0f)));
    EXPECT_TRUE(Same(s.start, c0.start));
}

// ---------------------------------------------------------------- block

TEST(KeyFrameBlock, WritesTheStoredLayout)
{
    MemoryFile file;
    EXPECT_EQ(PosTrack().WriteToFile(&file), 1u);
    EXPECT_EQ(file.Bytes(), kPosBlock);

    CKeyFrameTrack word;
    word.SetAt({1.0f, 0.25f, 0xDEADBEEFu}, 0);
    word.SetInterpolate(0);
    word.SetLoop(1);
    const u32 kind = 7;
    word.SetKind(&kind);
    MemoryFile wordFile;
    EXPECT_EQ(word.WriteToFile(&wordFile), 1u);
    EXPECT_EQ(wordFile.Bytes(), kWordBlock);

    // A curve value is stored control point first.
    CKeyFrameList<CSegment> curve;
    curve.SetAt({0.0f, 0.0f, CSegment(CVector3(1, 2, 3), CVector3(4, 5, 6))}, 0);
    MemoryFile curveFile;
    EXPECT_EQ(curve.WriteToFile(&curveFile), 1u);
    EXPECT_EQ(curveFile.Bytes().substr(16, 8), Bytes({0, 0, 0x80, 0x3F, 0, 0, 0, 0x40}));

    EXPECT_EQ(word.WriteToFile(nullptr), 0u);
    wordFile.failWrites = true;
    EXPECT_EQ(word.WriteToFile(&wordFile), 0u);
}

TEST(KeyFrameBlock, ReadsTheStoredLayout)
{
    CKeyFrameList<CVector3> track;
    track.SetInterpolator(&CKeyFrameList<CVector3>::BlendVector3Keys);
    MemoryFile file(kPosBlock + kWordBlock);
    ASSERT_EQ(track.ReadVector3(&file), 1u);
    EXPECT_EQ(file.Tell(), 72);
    EXPECT_STREQ(track.GetName(), "pos");
    ASSERT_EQ(track.GetCount(), 2u);
    EXPECT_EQ(track.GetAt(0)->ease, 0.5f);
    EXPECT_TRUE(Same(track.GetAt(1)->value, CVector3(-1.0f, 0.0f, 0.5f)));
    EXPECT_EQ(track.GetLoop(), 1u);
    EXPECT_TRUE(Same(*track.GetDefaultValue(), CVector3(0, 0, 1)));
    EXPECT_NE(track.GetInterpolator(), nullptr);  // the callback stays

    CKeyFrameTrack word("old", 1u, nullptr, 1);
    word.SetAt({5.0f, 0.0f, 5u}, 1);
    ASSERT_EQ(word.ReadFromFile(&file), 1u);
    EXPECT_EQ(word.GetName(), nullptr);
    ASSERT_EQ(word.GetCount(), 1u);
    EXPECT_EQ(word.GetAt(0)->value, 0xDEADBEEFu);
    EXPECT_EQ(word.GetInterpolate(), 0u);
    EXPECT_EQ(*word.GetDefaultValue(), 7u);
}

TEST(KeyFrameBlock, RoundTripsThroughMemoryAndPaths)
{
    const std::string two = kWordBlock + kPosBlock;
    CKeyFrameTrack word;
    u32 used = 0;
    ASSERT_EQ(word.ReadFromMemory(two.data(), u32(two.size()), &used), 1u);
    EXPECT_EQ(used, 32u);
    CKeyFrameList<CVector3> pos;
    ASSERT_EQ(pos.ReadFromMemory(two.data() + used, u32(two.size() - used), &used), 1u);
    EXPECT_EQ(used, 72u);

    std::string folder = (std::filesystem::temp_directory_path() / "orv-keyframe-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(folder.data()));
    const std::string path = folder + "/pos.trk";
    ASSERT_EQ(pos.SaveVector3(path.c_str()), 1u);
    std::string stored;
    ASSERT_TRUE(host::kernel::ReadWholeFile(path, stored));
    EXPECT_EQ(stored, kPosBlock);
    CKeyFrameList<CVector3> back;
    EXPECT_EQ(back.LoadVector3(path.c_str()), 1u);
    EXPECT_STREQ(back.GetName(), "pos");
    EXPECT_EQ(back.LoadVector3((folder + "/missing").c_str()), 0u);

    // No keys is a valid track.
    CKeyFrameList<CVector4> colour("Color", CVector4(1, 1, 1, 1), 0);
    ASSERT_EQ(colour.SaveToFile(path.c_str()), 1u);
    CKeyFrameList<CVector4> colourBack;
    colourBack.SetAt({}, 3);
    ASSERT_EQ(colourBack.LoadFromFile(path.c_str()), 1u);
    EXPECT_EQ(colourBack.GetCount(), 0u);
    EXPECT_EQ(colourBack.GetDefaultValue()->w, 1.0f);
    std::filesystem::remove_all(folder);
}

TEST(KeyFrameBlock, RefusesDamagedBlocksAndKeepsTheTrack)
{
    CKeyFrameList<CVector3> track("keep");
    track.SetAt({9.0f, 0.0f, {}}, 0);
    auto untouched = [&] {
        return track.GetName() && std::strcmp(track.GetName(), "keep") == 0 && track.GetCount() == 1 &&
            track.GetAt(0)->time == 9.0f && track.GetLoop() == 0;
    };
    for (size_t n = 0; n < kPosBlock.size(); ++n) {
        MemoryFile file(kPosBlock.substr(0, n));
        EXPECT_EQ(track.ReadVector3(&file), 0u) << n << " bytes";
        EXPECT_EQ(track.ReadFromMemory(kPosBlock.data(), u32(n)), 0u) << n << " bytes";
        EXPECT_TRUE(untouched());
    }
    auto patched = [](size_t at, std::initializer_list<int> bytes) {
        std::string s = kPosBlock;
        for (int b : bytes) s[at++] = char(b);
        return s;
    };
    for (const std::string& bytes : {
             patched(0, {0xF0, 0xFF, 0xFF, 0xFF}),  // name size far past the end
             patched(0, {0xFF, 0xFF, 0xFF, 0xFF}),
             patched(7, {'!'}),                     // name without its NUL
             patched(8, {0x00, 0x00, 0x00, 0x10}),  // 2^28 keys
             patched(8, {0xFF, 0xFF, 0xFF, 0xFF}),  // count x key size past 32 bits
             patched(8, {0x03, 0x00, 0x00, 0x00}),  // one key more than stored
         }) {
        MemoryFile file(bytes);
        EXPECT_EQ(track.ReadVector3(&file), 0u);
        EXPECT_EQ(track.ReadFromMemory(bytes.data(), u32(bytes.size())), 0u);
        EXPECT_TRUE(untouched());
    }
    MemoryFile liar(kPosBlock.substr(0, 40));  // claims more than it delivers
    liar.claimed = 1000;
    EXPECT_EQ(track.ReadVector3(&liar), 0u);
    EXPECT_EQ(track.ReadVector3(nullptr), 0u);
    EXPECT_TRUE(untouched());
}

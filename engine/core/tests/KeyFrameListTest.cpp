#include "engine/core/KeyFrameList.h"
#include "engine/core/tests/TestFiles.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace coretest;

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

// Unnamed word track: key (t 1, ease 0.25, 0xDEADBEEF), interpolate 0, loop 1, default 7.
const std::string kWordBlock = Bytes({
    0, 0, 0, 0, 0x01, 0, 0, 0,                                  // no name, 1 key
    0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3E, 0xEF, 0xBE, 0xAD, 0xDE, // the key
    0, 0, 0, 0, 0x01, 0, 0, 0, 0x07, 0, 0, 0,                   // interpolate, loop, default
});

// Two keys: (t0, ease0, 0) and (t1, 0, 10).
CKeyFrameList<f32> Track(f32 t0, f32 t1, f32 ease0 = 0.0f, u32 loop = 0)
{
    CKeyFrameList<f32> track("f");
    track.SetAt({t0, ease0, 0.0f}, 0);
    track.SetAt({t1, 0.0f, 10.0f}, 1);
    track.SetLoop(loop);
    return track;
}

f32 At(const CKeyFrameList<f32>& track, f32 t, u32 mode = 0)
{
    f32 out = -999.0f;
    EXPECT_EQ(track.GetFloatValue(t, &out, mode), 1u) << "t = " << t;
    return out;
}

template <class Track>
std::string Written(const Track& track)
{
    MemoryFile file;
    EXPECT_EQ(track.WriteToFile(&file), 1u);
    return file.Bytes();
}

bool Same(const CVector3& a, const CVector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

u32 TenTimes(const f32* a, const f32* b, f32 w, f32* out)
{
    *out = 10.0f * (b ? *a + (*b - *a) * w : *a);
    return 1;
}

// The blend weight itself, as the callback is handed it.
u32 WeightOnly(const f32*, const f32* b, f32 w, f32* out)
{
    *out = b ? w : -1.0f;
    return 1;
}

}  // namespace

// The weight's terms are not rounded one by one: rounding each, as plain
// f32 arithmetic does, lands a unit in the last place away on these.
TEST(KeyFrameList, EaseWeightIsRoundedOnceFromItsWholeTerms)
{
    const struct { f32 ease, t, expected; } cases[] = {
        {-1.0f, 0x1.fbe76ep-5f, 0x1.f40812p-5f},
        {0.5f, 0x1.08755ap-5f, 0x1.0cba22p-7f},
        {0.25f, 0x1.00b99ap-5f, 0x1.83194ep-7f},
        {-0.5f, 0x1.003ddep-5f, 0x1.7e5bd6p-6f},
        {2.0f, 0x1.026aacp-5f, -0x1.f487a6p-7f},
        {1.0f, 0.5f, 0.0625f},     // s = 0.25: exact either way
        {0.0f, 0.5f, 0.25f},
    };
    for (const auto& c : cases) {
        f32 w = 0.0f;
        ASSERT_EQ(Track(0, 2, c.ease).GetFloatValue(c.t, &w, 0, WeightOnly), 1u);
        EXPECT_EQ(w, c.expected) << "ease " << c.ease << " t " << c.t;
    }
}

TEST(KeyFrameList, ClampsEasesAndLoops)
{
    const struct { f32 t0, t1, ease0; u32 loop; f32 t; u32 mode; f32 expected; } cases[] = {
        {0, 2, 0, 0, 1, 0, 5},
        {0, 2, 0, 0, -1, 0, 0},     // clamped to the first key
        {0, 2, 0, 0, 3, 1, 10},     // and to the last: modes only matter with loop set
        {0, 2, 1, 0, 1, 0, 2.5f},   // the earlier key's ease: 1 starts slow (w = s^2)
        {0, 2, -1, 0, 1, 0, 7.5f},  // -1 ends slow
        {0, 2, 0, 1, 5, 0, 5},      // looped: at 5 - 2 x 2
        {0, 2, 0, 1, 3, 2, 10},     // mode 2 holds
        {1, 3, 0, 1, 4, 0, 0},      // mode 0 wraps from 0 to 1: the first key
        {1, 3, 0, 1, 6.5f, 1, 7.5f},  // mode 1 repeats [1, 3]: at 2.5
        {0, 2, 0, 1, 2, 0, 10},     // exactly at the last key: no wrap yet
        {1, 3, 0, 1, 3, 1, 10},
        {0, 2, 0, 1, 4, 0, 0},      // a whole number of turns: back at the start
        {1, 3, 0, 1, 5, 1, 0},
        {0, 2, 0, 1, 2.5f, 1, 2.5f},
        {0, 0, 0, 1, 1, 0, 10},     // a key range of no length: its end is held
        {0, 0, 0, 1, 1, 1, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keys " << c.t0 << ".." << c.t1 << " ease " << c.ease0 << " loop "
                                        << c.loop << " t " << c.t << " mode " << c.mode);
        EXPECT_EQ(At(Track(c.t0, c.t1, c.ease0, c.loop), c.t, c.mode), c.expected);
    }
}

TEST(KeyFrameList, KeysStepsDefaultsAndCallbacks)
{
    CKeyFrameList<f32> track("s", 4.0f);
    EXPECT_EQ(At(track, 1.0f), 4.0f);  // no keys: the default
    track.SetAt({1.0f, 0.0f, 7.0f}, 0);
    EXPECT_EQ(At(track, -5.0f), 7.0f);
    track.SetAt({2.0f, 1.0f, 10.0f}, 1);
    track.SetAt({3.0f, 0.0f, 20.0f}, 2);
    EXPECT_EQ(At(track, 2.0f), 10.0f);  // exactly on an inner key
    track.SetInterpolate(0);
    EXPECT_EQ(At(track, 1.5f), 7.0f);
    f32 out = -1.0f;
    EXPECT_EQ(track.GetFloatValue(1.5f, nullptr), 0u);
    EXPECT_EQ(track.GetFloatValue(std::numeric_limits<f32>::quiet_NaN(), &out), 0u);
    EXPECT_EQ(out, -1.0f);
    CQuaternion q;
    EXPECT_EQ(CKeyFrameList<CQuaternion>("q").GetValue(0.0f, &q), 0u);  // no default blend

    // The Evaluate forms take the track's callback; the Get forms take their own.
    auto called = Track(0.0f, 2.0f);
    called.SetInterpolator(&TenTimes);
    EXPECT_EQ(At(called, 1.0f), 5.0f);
    EXPECT_EQ(called.EvaluateFloat(1.0f, &out), 1u);
    EXPECT_EQ(out, 50.0f);
    EXPECT_EQ(called.EvaluateFloat(2.0f, &out), 1u);  // a single key too
    EXPECT_EQ(out, 100.0f);
}

TEST(KeyFrameList, AddKeyKeepsTimeOrderAndRefusesNearTimes)
{
    CKeyFrameList<i32> track("Tension", 0, 1);
    for (f32 t : {0.0f, 200.0f, 50.0f, 1.0f}) EXPECT_EQ(track.AddKey(t, i32(t)), 1u);
    EXPECT_EQ(track.AddKey(25.0f, 3, 0.5f), 1u);
    const f32 times[] = {0, 1, 25, 50, 200};
    ASSERT_EQ(track.GetCount(), 5u);
    for (u32 i = 0; i < 5; ++i) EXPECT_EQ(track.GetAt(i)->time, times[i]);
    EXPECT_EQ(track.GetAt(2)->ease, 0.5f);
    EXPECT_EQ(track.AddKey(1.005f, 9), 0u);
    EXPECT_EQ(track.AddKey(1.0f - 0.006f, 9), 0u);  // k - 0.006 is near
    EXPECT_EQ(track.AddKey(1.0f + 0.006f, 9), 1u);  // k + 0.006 is not
}

TEST(KeyFrameBlend, ScalarsAndVectors)
{
    // The word blend takes b - a unsigned: 6 - 10 is 0xFFFFFFFC, and half
    // of that added to 10 wraps past 2^31.
    const u32 two = 2, ten = 10, six = 6;
    u32 w = 0;
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(&two, &ten, 0.25f, &w), 1u);
    EXPECT_EQ(w, 4u);
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(&ten, &six, 0.5f, &w), 1u);
    EXPECT_EQ(w, 0x80000008u);
    EXPECT_EQ(CKeyFrameTrack::BlendScalarKeys(nullptr, &six, 0.5f, &w), 0u);

    // The integer blend's difference is signed: 10 -> 0 at 0.25 is 8.
    const i32 i10 = 10, i0 = 0;
    i32 i = 0;
    CKeyFrameList<i32>::BlendIntKeys(&i10, &i0, 0.25f, &i);
    EXPECT_EQ(i, 8);

    using V = CKeyFrameList<CVector3>;
    const CVector3 a(1, 2, 3), b(5, -2, 3);
    CVector3 v;
    EXPECT_EQ(V::BlendVector3Keys(&a, &b, 0.25f, nullptr), 0u);
    EXPECT_EQ(V::BlendVector3Keys(&a, &b, 0.25f, &v), 1u);
    EXPECT_TRUE(Same(v, CVector3(2, 1, 3)));
    V::BlendVector3Keys(&a, nullptr, 0.25f, &v);  // a single key holds
    EXPECT_TRUE(Same(v, a));
}

TEST(KeyFrameBlend, RectanglesSegmentsAndCurves)
{
    CRect4 a, b, r;
    a.Set(0, 2, 0, 4);  // left, right, top, bottom
    b.Set(10, 14, 20, 22);
    CKeyFrameList<CRect4> rect("Rect", nullptr, 1);
    rect.SetAt({0.0f, 0.0f, a}, 0);
    rect.SetAt({2.0f, 0.0f, b}, 1);
    EXPECT_EQ(rect.EvaluateRect(1.0f, &r), 1u);
    // b's centre (12, 21) at once; half-extents halfway: 1 -> 2 and 2 -> 1.
    EXPECT_TRUE(r.left == 10.5f && r.right == 13.5f && r.top == 19.5f && r.bottom == 22.5f)
        << r.left << " " << r.right << " " << r.top << " " << r.bottom;

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

TEST(KeyFrameBlock, WritesTheStoredLayout)
{
    CKeyFrameList<CVector3> pos("pos");
    pos.SetAt({0.0f, 0.5f, {1.0f, 2.0f, 3.0f}}, 0);
    pos.SetAt({2.0f, 0.0f, {-1.0f, 0.0f, 0.5f}}, 1);
    pos.SetLoop(1);
    const CVector3 def(0.0f, 0.0f, 1.0f);
    pos.SetDefaultValue(&def);
    EXPECT_EQ(Written(pos), kPosBlock);

    CKeyFrameTrack word;
    word.SetAt({1.0f, 0.25f, 0xDEADBEEFu}, 0);
    word.SetInterpolate(0);
    word.SetLoop(1);
    const u32 kind = 7;
    word.SetKind(&kind);
    EXPECT_EQ(Written(word), kWordBlock);

    // A curve value is stored control point first.
    CKeyFrameList<CSegment> curve;
    curve.SetAt({0.0f, 0.0f, CSegment(CVector3(1, 2, 3), CVector3(4, 5, 6))}, 0);
    EXPECT_EQ(Written(curve).substr(16, 8), Bytes({0, 0, 0x80, 0x3F, 0, 0, 0, 0x40}));

    MemoryFile failing;
    failing.failWrites = true;
    EXPECT_EQ(word.WriteToFile(&failing), 0u);
    EXPECT_EQ(word.WriteToFile(nullptr), 0u);
}

TEST(KeyFrameBlock, ReadsTheStoredLayoutFromFilesMemoryAndPaths)
{
    CKeyFrameList<CVector3> pos("old");
    pos.SetInterpolator(&CKeyFrameList<CVector3>::BlendVector3Keys);
    CKeyFrameTrack word("old", 1u, nullptr, 1);
    word.SetAt({5.0f, 0.0f, 5u}, 1);
    MemoryFile file(kPosBlock + kWordBlock);
    ASSERT_EQ(pos.ReadVector3(&file), 1u);
    ASSERT_EQ(word.ReadFromFile(&file), 1u);
    EXPECT_EQ(Written(pos), kPosBlock);  // every field was read, and the old ones replaced
    EXPECT_EQ(Written(word), kWordBlock);
    EXPECT_EQ(Written(CKeyFrameTrack(word)), kWordBlock);  // nor does a copy keep the old name's length
    EXPECT_NE(pos.GetInterpolator(), nullptr);  // the callback stays

    const std::string two = kWordBlock + kPosBlock;
    u32 used = 0;
    ASSERT_EQ(word.ReadFromMemory(two.data(), u32(two.size()), &used), 1u);
    EXPECT_EQ(used, 32u);
    ASSERT_EQ(pos.ReadFromMemory(two.data() + used, u32(two.size() - used), &used), 1u);
    EXPECT_EQ(used, 72u);

    TempFolder folder;
    const std::string path = folder / "pos.trk";
    ASSERT_EQ(pos.SaveVector3(path.c_str()), 1u);
    EXPECT_EQ(Get(path), kPosBlock);
    CKeyFrameList<CVector3> back;
    EXPECT_EQ(back.LoadVector3(path.c_str()), 1u);
    EXPECT_EQ(Written(back), kPosBlock);
    EXPECT_EQ(back.LoadVector3((folder / "missing").c_str()), 0u);

    // No keys is a valid track.
    ASSERT_EQ(CKeyFrameList<CVector4>("Color", CVector4(1, 1, 1, 1), 0).SaveToFile(path.c_str()), 1u);
    CKeyFrameList<CVector4> colour;
    colour.SetAt({}, 3);
    ASSERT_EQ(colour.LoadFromFile(path.c_str()), 1u);
    EXPECT_EQ(colour.GetCount(), 0u);
    EXPECT_EQ(colour.GetDefaultValue()->w, 1.0f);
}

// Where kPosBlock's keys end and its interpolate, loop and default begin.
constexpr size_t kPosKeysEnd = 4 + 4 + 4 + 2 * 20;

TEST(KeyFrameBlock, RefusesDamagedBlocksAndKeepsTheTrack)
{
    CKeyFrameList<CVector3> track("keep");
    track.SetAt({9.0f, 0.0f, {}}, 0);
    const std::string before = Written(track);
    auto refused = [&](const std::string& bytes, const std::string& what) {
        SCOPED_TRACE(what);
        MemoryFile file(bytes);
        EXPECT_EQ(track.ReadVector3(&file), 0u);
        EXPECT_EQ(track.ReadFromMemory(bytes.data(), u32(bytes.size())), 0u);
        EXPECT_EQ(Written(track), before);
    };
    // Cut inside the name's length, the name, the count or the keys.
    for (size_t n = 0; n < kPosKeysEnd; ++n) refused(kPosBlock.substr(0, n), std::to_string(n) + " bytes");
    auto patched = [](size_t at, std::initializer_list<int> bytes) {
        std::string s = kPosBlock;
        for (int b : bytes) s[at++] = char(b);
        return s;
    };
    refused(patched(0, {0xF0, 0xFF, 0xFF, 0xFF}), "name size far past the end");
    refused(patched(0, {0xFF, 0xFF, 0xFF, 0xFF}), "name size 0xFFFFFFFF");
    refused(patched(8, {0x00, 0x00, 0x00, 0x10}), "2^28 keys");
    refused(patched(8, {0xFF, 0xFF, 0xFF, 0xFF}), "count x key size past 32 bits");
    // A third key would take the interpolate, loop and default words.
    refused(patched(8, {0x04, 0x00, 0x00, 0x00}), "two keys more than stored");

    MemoryFile liar(kPosBlock.substr(0, 40));  // claims more than it delivers
    liar.claimed = 1000;
    EXPECT_EQ(track.ReadVector3(&liar), 0u);
    EXPECT_EQ(track.ReadVector3(nullptr), 0u);
    EXPECT_EQ(Written(track), before);
}

// A name stored without its NUL is ended by the reader: the block is read
// through, and the track writes the name back with its NUL.
TEST(KeyFrameBlock, ANameWithoutItsNulIsEndedAndTheBlockReadThrough)
{
    const std::string rest = kPosBlock.substr(8);
    const struct {
        std::string stored, name;
    } cases[] = {
        {Bytes({0x04, 0, 0, 0, 'p', 'o', 's', '!'}), "pos!"},
        {Bytes({0x01, 0, 0, 0, 'p'}), "p"},
        {Bytes({0x04, 0, 0, 0, 'p', 'o', 's', 0}), "pos"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string block = c.stored + rest;
        const std::string again = Bytes({u8(c.name.size() + 1), 0, 0, 0}) + c.name + '\0' + rest;
        CKeyFrameList<CVector3> fromMemory("old"), fromFile("old");
        u32 used = 0;
        ASSERT_EQ(fromMemory.ReadFromMemory(block.data(), u32(block.size()), &used), 1u);
        EXPECT_EQ(used, block.size());
        MemoryFile file(block + "tail");
        ASSERT_EQ(fromFile.ReadVector3(&file), 1u);
        EXPECT_EQ(file.Tell(), int64_t(block.size()));
        for (const auto* track : {&fromMemory, &fromFile}) {
            EXPECT_STREQ(track->GetName(), c.name.c_str());
            EXPECT_EQ(track->GetNameLength(), c.name.size() + 1);
            ASSERT_EQ(track->GetCount(), 2u);
            EXPECT_EQ(track->GetAt(1)->value.z, 0.5f);
            EXPECT_EQ(Written(*track), again);
        }
    }
}

// A block that ends after its keys is read: the words of interpolate, loop
// and the default value that are there replace the track's, the rest stay.
TEST(KeyFrameBlock, ABlockEndingAfterItsKeysKeepsTheTracksOwnValuesPastItsEnd)
{
    const CVector3 own(5, 6, 7);
    const struct {
        size_t end;
        u32 interpolate, loop;
        CVector3 value;
    } cases[] = {
        {kPosKeysEnd, 0, 0, own},
        {kPosKeysEnd + 3, 0, 0, own},   // part of a word is not taken
        {kPosKeysEnd + 4, 1, 0, own},
        {kPosKeysEnd + 8, 1, 1, own},
        {kPosKeysEnd + 12, 1, 1, {0, 6, 7}},
        {kPosKeysEnd + 19, 1, 1, {0, 0, 7}},
        {kPosBlock.size(), 1, 1, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        const std::string block = kPosBlock.substr(0, c.end);
        CKeyFrameList<CVector3> fromMemory("old", own, 0), fromFile("old", own, 0);
        u32 used = 0;
        ASSERT_EQ(fromMemory.ReadFromMemory(block.data(), u32(block.size()), &used), 1u);
        EXPECT_EQ(used, c.end / 4 * 4);
        MemoryFile file(block);
        ASSERT_EQ(fromFile.ReadVector3(&file), 1u);
        for (const auto* track : {&fromMemory, &fromFile}) {
            EXPECT_STREQ(track->GetName(), "pos");
            ASSERT_EQ(track->GetCount(), 2u);
            EXPECT_EQ(track->GetAt(1)->value.z, 0.5f);
            EXPECT_EQ(track->GetInterpolate(), c.interpolate);
            EXPECT_EQ(track->GetLoop(), c.loop);
            const CVector3& value = *track->GetDefaultValue();
            EXPECT_EQ(value.x, c.value.x);
            EXPECT_EQ(value.y, c.value.y);
            EXPECT_EQ(value.z, c.value.z);
        }
    }

    // One key more than stored, where interpolate, loop and the default fill
    // it exactly: three keys, and the track's own values past them.
    std::string three = kPosBlock;
    three[8] = 3;
    CKeyFrameList<CVector3> track("old", own, 0);
    ASSERT_EQ(track.ReadFromMemory(three.data(), u32(three.size())), 1u);
    ASSERT_EQ(track.GetCount(), 3u);
    EXPECT_EQ(track.GetAt(2)->time, std::bit_cast<f32>(1u));   // interpolate's word
    EXPECT_EQ(track.GetAt(2)->value.z, 1.0f);
    EXPECT_EQ(track.GetInterpolate(), 0u);
    EXPECT_EQ(track.GetDefaultValue()->z, 7.0f);
}

}  // namespace ORV_TEST_FILE_ID

namespace ORV_TEST_FILE_ID {

// Blocks read one after another from under 1 MiB (as the effect and face
// readers take them), each claiming more than the bytes hold in its own
// way: the tracks hold no more keys and name bytes than the blocks carry,
// and reading stops at the first block that claims past the end.
TEST(KeyFrameBlock, BlocksReadOneAfterAnotherHoldNoMoreThanTheirBytes)
{
    const auto word = [](u32 v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const std::string& block = kPosBlock;
    std::string bytes;
    while (bytes.size() + block.size() < (size_t(1) << 20) - 64) bytes += block;
    const size_t whole = bytes.size() / block.size();
    const std::string tails[] = {
        word(0xFFFFFFF0u),                     // a name past the end
        word(0) + word(0x10000000u),            // 2^28 keys
        word(3) + "ab",                         // a name cut short
    };
    for (const std::string& tail : tails) {
        const std::string data = bytes + tail;
        ASSERT_LT(data.size(), size_t(1) << 20);
        std::vector<CKeyFrameList<CVector3>> tracks;
        u32 at = 0, used = 0;
        u64 held = 0;
        for (;;) {
            CKeyFrameList<CVector3>& track = tracks.emplace_back("t");
            if (!track.ReadFromMemory(data.data() + at, u32(data.size() - at), &used)) break;
            held += u64(track.GetCount()) * sizeof(CKeyFrameList<CVector3>::Key) + track.GetNameLength();
            ASSERT_LE(used, data.size() - at);
            at += used;
        }
        EXPECT_EQ(tracks.size(), whole + 1);
        EXPECT_EQ(at, whole * block.size());
        EXPECT_LE(held, data.size());
        EXPECT_EQ(held, whole * (2 * sizeof(CKeyFrameList<CVector3>::Key) + 4));
    }
}

}  // namespace ORV_TEST_FILE_ID

// Live nodes: the key rules, the particle and sound keys, life and end,
// and the placement a node computes.
#include "engine/graphics/Texture.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectMath.h"
#include "engine/scene/tests/EffectTestSupport.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>

namespace ORV_TEST_FILE_ID {

using effect_test::ExpectNear;
using effect_test::NewObject;
using effect_test::ParticleKeys;

namespace {

constexpr f32 kNaN = std::numeric_limits<f32>::quiet_NaN();

struct Key {
    f32 time;
    f32 ease;
    u32 value;
};

TEST(EffectKeys, KeysAreFoundAfterTheCursorAndTimeWrapsPastTheLast)
{
    const Key keys[] = {{0.0f, 0, 1}, {0.5f, 0, 2}, {1.0f, 0, 3}};
    const Key wide[] = {{0.0f, 0, 1}, {1.0f, 0, 2}, {2.0f, 0, 3}};   // rounds of 2, not 1
    const Key single[] = {{0.5f, 0, 1}};
    const Key atZero[] = {{0.0f, 0, 1}, {0.0f, 0, 2}};
    struct Case {
        const Key* keys;
        u32 count;
        u32 loop;
        f32 x;
        u32 mode;
        i32 found;
    } cases[] = {
        {keys, 3, 1, 0.5f, 1, 2},      // a key at the time gives the one after it
        {keys, 3, 1, 1.0f, 1, -1},     // ... and none after the last
        {keys, 3, 1, 1.2f, 1, 1},      // 0.2 into the second round
        {keys, 3, 1, 1.7f, 0, 2},      // wrapped from time 0
        {wide, 3, 1, 7.5f, 0, 2},      // 1.5 into the fourth round
        {wide, 3, 1, 7.5f, 1, 2},
        {keys, 3, 1, 1.2f, 2, -1},     // held
        {keys, 3, 0, 1.2f, 1, -1},     // no loop
        {keys, 3, 1, kNaN, 1, -1},
        {keys, 0, 1, 0.0f, 1, -1},
        {single, 1, 1, 0.7f, 1, -1},   // a round of no length does not repeat
        {atZero, 2, 1, 0.3f, 0, -1},   // nor one that ends at 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(effect_keys::FindKey(c.keys, c.count, sizeof(Key), c.loop, c.x, c.mode), c.found)
            << c.x << " mode " << c.mode << " count " << c.count;
    }
}

TEST(EffectKeys, EndTimesNeverDivideByZero)
{
    const Key keys[] = {{0.25f, 0, 1}, {1.25f, 0, 2}};
    const Key single[] = {{0.5f, 0, 1}};
    const Key atZero[] = {{0.0f, 0, 1}};
    struct Case {
        const Key* keys;
        u32 count;
        u32 loop;
        f32 x;
        u32 mode;
        f32 end;
    } cases[] = {
        {keys, 0, 1, 5.0f, 1, 0.0f},
        {keys, 2, 1, 1.0f, 1, 1.25f},    // not past the last key
        {keys, 2, 1, 2.5f, 1, 4.25f},    // 1 x (trunc(2.5 / 1) + 1) + 1.25
        {keys, 2, 1, 2.5f, 0, 3.75f},    // (trunc(2.5 / 1.25) + 1) x 1.25
        {keys, 2, 1, 2.5f, 2, 1.25f},
        {keys, 2, 0, 2.5f, 1, 1.25f},
        {single, 1, 1, 2.0f, 1, 0.5f},
        {atZero, 1, 1, 2.0f, 0, 0.0f},
    };
    for (const Case& c : cases) {
        const f32 end = effect_keys::EndTime(c.keys, c.count, sizeof(Key), c.loop, c.x, c.mode);
        EXPECT_EQ(end, c.end) << c.x << " mode " << c.mode << " count " << c.count;
    }
}

class EffectNode : public effect_test::SpriteEffectFixture {
protected:
    // An object drawing sprites of texture_.
    CEffectObject* Sprite(const char* name)
    {
        CEffectObject* o = NewObject(name);
        o->SetResource("spark.png", &texture_);
        container_.AddObject(o);
        return o;
    }
};

}  // namespace

TEST_F(EffectNode, ParticleKeysPassedInOneFrameAllEmitOnce)
{
    CEffectObject* o = Sprite("keys");
    ParticleKeys(o, {{0.02f, 2}, {0.05f, 3}, {0.2f, 1}});
    CEffect* e = Play();
    Run(e, 1, 100);
    EXPECT_EQ(CountParticles(e), 5u);
    Run(e, 11, 10);
    EXPECT_EQ(CountParticles(e), 6u);

    // A key at the cursor's time emits once; a key within the step after
    // an emitted one is passed over.
    CEffectObject* close = Sprite("close");
    ParticleKeys(close, {{0.0f, 1}, {0.005f, 4}});
    CEffect* f = container_.PlayInScene(&controller_, 0, nullptr)->GetNext();
    ASSERT_EQ(f->GetDefinition(), close);
    Run(f, 3);
    EXPECT_EQ(CountParticles(f), 1u);
}

// A key at 0 emits on the very first update; a key exactly at the node's
// time emits on that frame, not the next.
TEST_F(EffectNode, KeysEmitOnTheFrameWhoseClockIsExactlyTheirTime)
{
    ParticleKeys(Sprite("exact"), {{0.0f, 1}, {0.5f, 2}, {0.75f, 4}});
    CEffect* e = Play();
    const struct {
        f32 time;
        u32 particles;
    } steps[] = {{0.25f, 1}, {0.5f, 3}, {0.75f, 7}};
    for (const auto& step : steps) {
        Run(e, 1, 250);
        ASSERT_EQ(e->GetTime(), step.time);
        EXPECT_EQ(CountParticles(e), step.particles) << step.time;
    }
}

TEST_F(EffectNode, ALoopingParticleTrackEmitsOncePerRound)
{
    CEffectObject* o = Sprite("loop");
    ParticleKeys(o, {{0.0f, 1}, {0.1f, 2}});
    o->GetParticleTrack().SetLoop(1);
    CEffect* e = Play();
    Run(e, 5);
    EXPECT_EQ(CountParticles(e), 1u);
    // Each round's last key emits its count and the first key's.
    Run(e, 30);
    EXPECT_EQ(CountParticles(e), 10u);
    // Held past the last key (loop mode 2) nothing repeats.
    o->GetNodeSettings().loopMode = 2;
    CEffect* g = Play();
    Run(g, 35);
    EXPECT_EQ(CountParticles(g), 4u) << "the last key of a looping track brings the first's count once";
}

TEST_F(EffectNode, AClockTooLargeToStepOnEndsTheKeyWalk)
{
    CEffectObject* o = Sprite("late");
    ParticleKeys(o, {{0.0f, 0}, {0.001f, 0}});
    o->GetParticleTrack().SetLoop(1);
    CEffect* e = Play();
    e->SetTime(3.0e7f);
    Run(e, 2);   // must return
    EXPECT_EQ(CountParticles(e), 0u);
}

TEST_F(EffectNode, ANodeWhoseLifeHasRunOutStopsWhileItsSiblingsGoOn)
{
    CEffectObject* shortLived = Sprite("short");
    shortLived->GetNodeSettings().life = 0.5f;
    ParticleKeys(shortLived, {{0.0f, 1}, {0.6f, 1}});
    CEffectObject* child = NewObject("child");
    child->SetParentObject(shortLived);
    container_.AddObject(child);
    CEffectObject* sibling = Sprite("sibling");
    ParticleKeys(sibling, {{0.0f, 1}});
    CEffect* e = Play();
    Run(e, 49);
    EXPECT_EQ(SpritesDrawn(e), 2u);
    const f32 childTime = e->GetChild()->GetTime();
    Run(e, 20);
    EXPECT_EQ(SpritesDrawn(e), 1u);
    EXPECT_EQ(CountParticles(e), 1u) << "no key after the life";
    EXPECT_LE(e->GetChild()->GetTime(), childTime + 0.011f) << "the child stops with it";
    // The node's life is over: the instance ends when the sibling does.
    EXPECT_FALSE(e->IsFinished());
    e->GetNext()->SetEndTime(0.1f);
    e->GetChild()->SetEndTime(0.1f);
    EXPECT_TRUE(e->IsFinished());
}

TEST_F(EffectNode, EndTimesAndLengths)
{
    CEffectObject* o = Sprite("timed");
    o->GetColorTrack().AddKey(0.0f, CVector4(1, 1, 1, 1));
    o->GetColorTrack().AddKey(1.5f, CVector4(1, 1, 1, 0));
    o->GetParticleSettings().life = 0.75f;
    ParticleKeys(o, {{1.0f, 1}});
    CEffect* e = Play();
    EXPECT_FALSE(e->IsFinished()) << "no life, no end time: it plays until ended";
    EXPECT_FLOAT_EQ(e->GetLength(), 1.5f);
    Run(e, 101);
    EXPECT_FLOAT_EQ(e->GetLength(), 1.75f) << "a particle dies at 1.75";
    e->Finish();
    EXPECT_FLOAT_EQ(e->GetEndTime(), 1.75f);
    Run(e, 75);
    EXPECT_TRUE(e->IsFinished());

    // An end time or a clock that is no number cannot be reached: such an
    // instance ends rather than hold its pool slots.
    CEffect* f = Play();
    f->SetEndTime(kNaN);
    EXPECT_TRUE(f->IsFinished());
    CEffect* g = Play();
    g->SetTime(kNaN);
    EXPECT_TRUE(g->IsFinished());
    // Key times that are no number give no length of NaN.
    o->GetColorTrack().GetAt(1)->time = kNaN;
    CEffect* h = Play();
    EXPECT_FALSE(std::isnan(h->GetLength()));
    o->GetColorTrack().GetAt(1)->time = 1.5f;

    // Finished by registration: the controller releases it.
    CEffect* r = container_.PlayInScene(&controller_, 1, nullptr);
    r->SetEndTime(kNaN);
    const u32 before = LiveNodes();
    controller_.UpdateAll(0);
    EXPECT_EQ(LiveNodes(), before - 1);
}

TEST_F(EffectNode, TheEndFlagStopsParticlesAndSoundsBelowTheNode)
{
    CEffectObject* o = Sprite("top");
    ParticleKeys(o, {{0.0f, 1}, {0.05f, 1}});
    CEffectObject* child = Sprite("below");
    child->SetParentObject(o);
    ParticleKeys(child, {{0.05f, 1}});
    CEffect* e = Play();
    Run(e, 1);
    e->SetEndFlag(1);
    Run(e, 10);
    EXPECT_EQ(CountParticles(e), 1u);
    EXPECT_EQ(CountParticles(e->GetChild()), 0u);
}

TEST_F(EffectNode, ThePlacementFollowsTracksParentsAndFlags)
{
    CEffectObject* o = Sprite("placed");
    o->GetPositionTrack().AddKey(0.0f, CSegment(CVector3(), CVector3(0, 0, 1)));
    o->GetRotationTrack().AddKey(0.0f, CVector3(30, 45, 60));
    o->GetColorTrack().AddKey(0.0f, CVector4(1, 0.5f, 1, 1));
    CEffectObject* child = NewObject("child");
    child->SetParentObject(o);
    child->GetPositionTrack().AddKey(0.0f, CSegment(CVector3(), CVector3(1, 0, 0)));
    container_.AddObject(child);

    const CVector3 at(10, 0, 0), turn(0, 90, 0);
    EffectPlayParams params;
    params.color = CVector4(1, 1, 0.5f, 1);
    CEffect* e = container_.Play(&controller_, &at, &turn, nullptr, 0.0f, 0, &params, nullptr);
    Run(e, 1);
    const CVector3 rotation(30, 45, 60);
    CMatrix expected;
    expected.RotationEuler(&rotation);
    MatrixTranslate(&expected, &o->GetPositionTrack().GetAt(0)->value.end);
    CMatrix placement;
    placement.RotationY(90);
    MatrixTranslate(&placement, &at);
    expected = expected * placement;
    ExpectNear(*e->GetWorldMatrix(), expected);
    EXPECT_EQ(std::pair(e->GetColor()->y, e->GetColor()->z), std::pair(0.5f, 0.5f));
    // The child has the same placement, under its parent's world and
    // colour.
    CVector3 childAt, want;
    e->GetChild()->GetWorldMatrix()->GetTranslation(&childAt);
    CVector3(1, 0, 0).TransformedCoord(&want, placement);
    want.TransformCoord(*e->GetWorldMatrix());
    ExpectNear(childAt, want, "child", 1e-4f);
    EXPECT_EQ(std::pair(e->GetChild()->GetColor()->y, e->GetChild()->GetColor()->z), std::pair(0.5f, 0.25f));

    // The rotation order flags choose the order of the track rotation;
    // flag 64 drops the placement's rotation.
    struct Order {
        u32 flags;
        CMatrix& (CMatrix::*make)(const CVector3*);
    } orders[] = {
        {0, &CMatrix::RotationEuler}, {1, &CMatrix::RotationEuler}, {2, &CMatrix::RotationXYZ},
        {4 | 8, &CMatrix::RotationYZX}, {8, &CMatrix::RotationZYX}, {16, &CMatrix::RotationXZY},
        {32, &CMatrix::RotationYXZ}, {64, &CMatrix::RotationEuler},
    };
    for (const Order& order : orders) {
        o->GetNodeSettings().rotationOrder = order.flags;
        o->GetNodeSettings().flags = kPlaceNoRotation;
        e->Evaluate();
        CMatrix m;
        (m.*order.make)(&rotation);
        MatrixTranslate(&m, &o->GetPositionTrack().GetAt(0)->value.end);
        MatrixTranslate(&m, &at);
        SCOPED_TRACE(order.flags);
        ExpectNear(*e->GetWorldMatrix(), m);
    }
}

// ------------------------------------------------------------------ sound

namespace {

std::string Wav(u32 frames)
{
    effect_test::Bytes b;
    b.Raw("RIFF").U32(36 + frames * 2).Raw("WAVEfmt ").U32(16);
    b.U8(1).U8(0).U8(1).U8(0).U32(22050).U32(44100).U8(2).U8(0).U8(16).U8(0);
    b.Raw("data").U32(frames * 2).Zeros(frames * 2);
    return b;
}


class EffectSound : public EffectNode {
protected:
    void SetUp() override
    {
        EffectNode::SetUp();
        host::sound::SetNullOutput(&null_);
        ASSERT_EQ(sound_.Initialize(&system_), 1);
        const std::string wav = Wav(22050);
        ASSERT_EQ(buffer_.LoadFromMemory(wav.data(), "hit.wav", u32(wav.size()), 4, 0x12), 1u);
        CEffectObject* o = NewObject("se");
        o->SetResource("hit.wav", &buffer_);
        o->GetNodeSettings().volumeOffset = -500;
        o->GetPlayTrack().AddKey(0.01f, 1.0f);
        o->GetPlayTrack().AddKey(0.04f, 1.0f);
        o->GetPlayTrack().AddKey(0.3f, 0.0f);
        container_.AddObject(o);
        controller_.SetSeVolume(-1000);
        controller_.GetSoundSetting()->minDistance = 10.0f;
    }

    void TearDown() override
    {
        buffer_.Release();
        host::sound::SetNullOutput(nullptr);
        EffectNode::TearDown();
    }

    u32 Playing() const
    {
        u32 n = 0;
        for (u32 v = 0; v < buffer_.GetVoiceCount(); ++v) n += buffer_.IsPlaying(v) ? 1 : 0;
        return n;
    }

    host::sound::NullOutput null_;
    CSound sound_;
    CSoundBuffer buffer_;
};

}  // namespace

TEST_F(EffectSound, OneSoundKeyStartsAVoiceEachUpdate)
{
    const CVector3 at(3, 4, 5);
    CEffect* e = container_.PlayAtPosition(&controller_, &at, 0, nullptr);
    Run(e, 1, 50);
    EXPECT_EQ(Playing(), 1u) << "two keys passed, the first started";
    const SoundVoice* voice = buffer_.GetVoice(0);
    EXPECT_EQ((std::vector<f32>{f32(voice->baseVolume), voice->position.y, voice->minDistance}),
              (std::vector<f32>{-1500, 4, 10}));
    Run(e, 1, 50);
    EXPECT_EQ(Playing(), 2u);
    Run(e, 10, 50);
    EXPECT_EQ(Playing(), 2u) << "a key of value 0 starts nothing";
    EXPECT_TRUE(e->IsFinished()) << "a sound node ends once played";
}

TEST_F(EffectSound, AMasterVolumeBelowMinus9999SilencesEffects)
{
    for (const i32 master : {-9999, -10000}) {
        controller_.SetSeVolume(master);
        CEffect* e = container_.PlayInScene(&controller_, 0, nullptr);
        Run(e, 1, 50);
        EXPECT_EQ(Playing(), master == -9999 ? 1u : 0u) << master;
        e->Release();
        buffer_.StopAll(1);
    }
    controller_.SetSeVolume(0);
    container_.GetObject(0)->BindResource(nullptr);
    CEffect* f = container_.PlayInScene(&controller_, 0, nullptr);
    Run(f, 5, 50);
    EXPECT_EQ(Playing(), 0u) << "no bound sound, no voice";
}

namespace {

// The cached rotation is rebuilt whenever its angles (to the bit, -0
// included) or its order change, and is the built rotation every time.
TEST(EffectRotationCache, RebuildsWhenItsAnglesOrOrderChange)
{
    effect_math::RotationCache cache;
    const struct {
        CVector3 degrees;
        u32 order;
    } steps[] = {{{10, 20, 30}, 0}, {{10, 20, 30}, 0}, {{10, 20, 31}, 0}, {{10, 20, 31}, 8},
                 {{0.0f, 0, 0}, 0}, {{-0.0f, 0, 0}, 0}, {{10, 20, 30}, 0}};
    for (const auto& s : steps) {
        const CMatrix built = effect_math::RotationByOrder(s.degrees, s.order);
        const CMatrix& cached = cache.Get(s.degrees, s.order);
        EXPECT_EQ(std::memcmp(cached.m, built.m, sizeof built.m), 0) << s.degrees.z << " " << s.order;
    }
}

}  // namespace

namespace {

// Two chains put together: this node's (t, s, s2, s3) and the inserted
// node's (n, n2, n3), by how many of each there are. Each old next is
// first put after the inserted node by the same rule, so they interleave.
TEST(EffectLinks, InsertNextInterleavesTheTwoChains)
{
    const struct {
        u32 ours, theirs;
        const char* order;
    } cases[] = {
        {1, 1, "tn"},
        {2, 1, "tns"},
        {1, 2, "tnN"},
        {3, 2, "tnsNS"},   // both with a next node
        {2, 3, "tnsNM"},
        {4, 3, "tnsNSMR"},
    };
    const char ourNames[] = "tsSR", theirNames[] = "nNM";
    for (const auto& c : cases) {
        CEffect ours[4], theirs[3];
        std::map<const CEffect*, char> names;
        for (u32 i = 0; i < 4; ++i) names[&ours[i]] = ourNames[i];
        for (u32 i = 0; i < 3; ++i) names[&theirs[i]] = theirNames[i];
        // Chains built back to front, each link onto a node with no next.
        for (u32 i = c.ours - 1; i > 0; --i) ours[i - 1].InsertNext(&ours[i]);
        for (u32 i = c.theirs - 1; i > 0; --i) theirs[i - 1].InsertNext(&theirs[i]);
        ours[0].InsertNext(&theirs[0]);
        std::string order;
        for (const CEffect* e = &ours[0]; e && order.size() < 10; e = e->GetNext()) order += names[e];
        EXPECT_EQ(order, c.order) << c.ours << " + " << c.theirs;
    }
    // A node that already follows this one stays where it is.
    CEffect a, b;
    a.InsertNext(&b);
    a.InsertNext(&b);
    EXPECT_EQ(a.GetNext(), &b);
    EXPECT_EQ(b.GetNext(), nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

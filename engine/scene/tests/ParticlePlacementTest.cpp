// Particles at birth and in their node's placement: the random draws of
// their spreads in their fixed order, and the placement flags that turn,
// face, aim or release them.
#include "engine/core/Random.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/EffectMath.h"
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using effect_test::ExpectNear;
using effect_test::NewObject;
using effect_test::ParticleKeys;

namespace {

// One spread component drawn by hand: (drawn mod trunc(2 c s)) / s - c.
f32 Spread(CRandom& r, f32 c, u32 steps)
{
    const u32 span = u32(2.0f * c * f32(steps));
    return f32(r.Next() % span) / f32(steps) - c;
}

class ParticlePlacement : public effect_test::SpriteEffectFixture {
protected:
    CEffectObject* Sprite(const char* name, u32 flags)
    {
        CEffectObject* o = NewObject(name);
        o->SetResource("spark.png", &texture_);
        o->GetNodeSettings().flags = flags;
        ParticleKeys(o, {{0.0f, 1}});
        container_.AddObject(o);
        return o;
    }
};

}  // namespace

TEST_F(ParticlePlacement, SpreadsDrawFromTheControllersGeneratorInTheirFixedOrder)
{
    // One set component per spread, so each draw is known: the turn angle
    // and its spread, offset, rotation, speed, direction, scaling, colour.
    CEffectObject* o = Sprite("drawn", 0);
    EffectParticleSettings& s = o->GetParticleSettings();
    s.offset.Set(0, 0, 1);
    s.offsetSpread.Set(0.5f, 0, 0);
    s.rotationSpread.Set(0, 10, 0);
    s.speed = 2.0f;
    s.speedSpread = 0.5f;
    s.direction.Set(1, 0, 0);
    s.directionSpread.Set(0, 0, 2);
    s.scalingSpread.Set(0, 0.5f, 0);
    s.colorSpread = CVector4(0, 0, 0, 0.25f);
    o->GetParticleTrack().GetAt(0)->value = 2;

    struct Expected {
        CVector3 start, rotation, velocity, scaling;
        f32 alpha;
    } expected[2];
    CRandom r;
    r.Seed(77);
    for (Expected& x : expected) {
        const f32 angle = f32(r.Int(360));
        const CVector3 turn(angle != 0.0f ? Spread(r, angle, 100) : 0.0f, 0, 0);
        CMatrix m;
        m.RotationEuler(&turn);
        s.offset.TransformedCoord(&x.start, m);
        x.start.x += Spread(r, 0.5f, 100);
        x.rotation.Set(0, Spread(r, 10, 100), 0);
        const f32 speed = 2.0f + Spread(r, 0.5f, 100);
        const f32 dz = Spread(r, 2, 1000);
        const CVector3 sum(1, 0, dz > 0 ? 1.0f : dz < 0 ? -1.0f : 0.0f);
        CVector3 heading;
        sum.GetNormalized(&heading);
        x.velocity = heading * speed;
        x.scaling.Set(1, 1 + Spread(r, 0.5f, 100), 1);
        x.alpha = 1 + Spread(r, 0.25f, 100);
    }
    const u32 after = r.Next();

    SeedRandom(77);
    const u32 globalAfter = RandomNext();
    SeedRandom(77);
    controller_.SeedRandom(77);
    CEffect* e = container_.PlayInScene(&controller_, 0, nullptr);
    Run(e, 1);
    EXPECT_EQ(controller_.GetRandom().Next(), after) << "the particles drew as many numbers as worked out";
    EXPECT_EQ(RandomNext(), globalAfter) << "and none from the global generator";
    const CParticle* p = e->GetFirstParticle();
    for (const Expected& x : expected) {
        ASSERT_NE(p, nullptr);
        ExpectNear(p->GetStartOffset(), x.start, "start offset");
        ExpectNear(p->GetRotationOffset(), x.rotation, "rotation offset");
        ExpectNear(p->GetVelocity(), x.velocity, "velocity");
        ExpectNear(p->GetScalingStart(), x.scaling, "scaling start");
        EXPECT_NEAR(p->GetColorStart().w, x.alpha, 1e-6f);
        p = p->GetNext();
    }
}

TEST_F(ParticlePlacement, ASpeedSpreadTooSmallToDrawFromStillDrawsOnce)
{
    // trunc(200 x 0.004) is 0: no number to take the remainder by. The
    // spread then gives its lower end, and the draw is still made so that
    // the draws after it stay where they were.
    CEffectObject* o = Sprite("slow", 0);
    o->GetParticleSettings().speed = 1.0f;
    o->GetParticleSettings().speedSpread = 0.004f;
    o->GetParticleSettings().direction.Set(0, 1, 0);
    CRandom r;
    r.Seed(5);
    r.Next();
    const u32 after = r.Next();
    controller_.SeedRandom(5);
    CEffect* e = container_.PlayInScene(&controller_, 0, nullptr);
    Run(e, 1);
    EXPECT_EQ(controller_.GetRandom().Next(), after);
    EXPECT_FLOAT_EQ(e->GetFirstParticle()->GetVelocity().y, 0.996f);
}

TEST_F(ParticlePlacement, ReleaseFlagsKeepWhatTheNodeHadAtBirth)
{
    // The node moves, turns, grows and fades after the particles' birth;
    // each release flag keeps one of these as it was, 32 all four.
    const struct {
        u32 flag;
        bool position, rotation, scaling, colour;   // kept from birth
    } cases[] = {
        {0, false, false, false, false},
        {kPlaceReleasePosition, true, false, false, false},
        {kPlaceReleaseRotation, false, true, false, false},
        {kPlaceReleaseScaling, false, false, true, false},
        {kPlaceReleaseColor, false, false, false, true},
        {kPlaceReleased, true, true, true, true},
    };
    for (const auto& c : cases) Sprite("released", c.flag);
    CVector3 at(1, 0, 0), turn(0, 0, 0), size(1, 1, 1);
    CVector4 colour(1, 1, 1, 1);
    CEffect* e = container_.PlayFull(&controller_, &at, &turn, &size, &colour, 0.0f, 0, 1, nullptr, nullptr);
    Run(e, 1);
    at.Set(4, 0, 0);
    turn.Set(0, 90, 0);
    size.Set(2, 2, 2);
    colour = CVector4(1, 1, 1, 0.5f);
    Run(e, 1);

    CMatrix turned;
    turned.RotationY(90);
    const CEffect* node = e;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flag);
        ASSERT_NE(node, nullptr);
        const CParticle* p = node->GetFirstParticle();
        ASSERT_NE(p, nullptr);
        const CMatrix& world = *p->GetWorldMatrix();
        CVector3 position;
        world.GetTranslation(&position);
        ExpectNear(position, c.position ? CVector3(1, 0, 0) : at, "position");
        ExpectNear(world.RotationPart(), c.rotation ? CMatrix() : turned, "rotation");
        ExpectNear(world.ScalingPart(), c.scaling ? CVector3(1, 1, 1) : size, "scaling");
        EXPECT_EQ(p->GetColor()->w, c.colour ? 1.0f : 0.5f);
        node = node->GetNext();
    }
}

TEST_F(ParticlePlacement, FlagsThatTurnFaceAndAimParticles)
{
    // The node stands at (3,0,0) turned 90 degrees about y; its Rotation
    // track turns particles 30 degrees about z of their own.
    CEffectObject* plain = Sprite("plain", 0);
    CEffectObject* unturned = Sprite("unturned", kPlaceNoOwnRotation);
    CEffectObject* away = Sprite("away", kPlaceFaceAway);
    for (CEffectObject* o : {plain, unturned, away}) {
        o->GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 30));
        o->GetParticleSettings().direction.Set(1, 1, 0);
        o->GetParticleSettings().speed = 1.0f;
    }
    CEffectObject* homing = Sprite("homing", kPlaceTowardOrigin);
    CEffectObject* drifting = Sprite("drifting", 0);
    for (CEffectObject* o : {homing, drifting}) {
        o->GetParticleSettings().offset.Set(0, 0, 1);
        o->GetParticleSettings().speed = 2.0f;
    }
    const CVector3 at(3, 0, 0), turn(0, 90, 0);
    CEffect* e = container_.PlayAt(&controller_, &at, &turn, nullptr, 0.0f, 0, 0, nullptr);
    Run(e, 50);
    const f32 age = e->GetTime();
    CMatrix nodeTurn;
    nodeTurn.RotationY(90);
    // Every one of them rises along (1,1,0) from the node, turned with it.
    CVector3 rise(age * std::sqrt(0.5f), age * std::sqrt(0.5f), 0), risen;
    rise.TransformedCoord(&risen, nodeTurn);
    risen += at;

    const CEffect* node = e;
    const CParticle* p = node->GetFirstParticle();
    CMatrix own;
    const CVector3 spin(0, 0, 30);
    own.RotationEuler(&spin);
    ExpectNear(p->GetWorldMatrix()->RotationPart(), own * nodeTurn, "its own turn, then the node's");
    ExpectNear(*p->GetPosition(), risen, "plain position");

    node = node->GetNext();
    p = node->GetFirstParticle();
    ExpectNear(p->GetWorldMatrix()->RotationPart(), CMatrix(), "flag 1: no turn at all");
    ExpectNear(*p->GetPosition(), risen, "flag 1: placed through the node's turn");

    node = node->GetNext();
    p = node->GetFirstParticle();
    CVector3 facing, outward;
    CVector3(0, 0, 1).TransformNormalInto(*p->GetWorldMatrix(), &facing);
    CVector3(std::sqrt(0.5f), std::sqrt(0.5f), 0).TransformNormalInto(nodeTurn, &outward);
    ExpectNear(facing, outward, "flag 2: facing away from the node");

    // Flag 8 takes the start offset out of the velocity: the particle
    // reaches the node after 1 / speed seconds; without it, it stays.
    node = node->GetNext();
    EXPECT_NEAR(node->GetFirstParticle()->GetLocalPosition().Length(), std::fabs(1.0f - 2.0f * age), 1e-5f);
    node = node->GetNext();
    EXPECT_NEAR(node->GetFirstParticle()->GetLocalPosition().Length(), 1.0f, 1e-5f);
}

// The flags a node keeps of its matrices say what the matrices are, after
// each placement: at the origin, unturned and unscaled all three are the
// identity; each of a move, a turn and a size change clears its own, and
// going back sets it again.
TEST_F(ParticlePlacement, ANodeKnowsWhichOfItsMatricesAreTheIdentity)
{
    Sprite("plain", 0);
    CVector3 at(0, 0, 0), turn(0, 0, 0), size(1, 1, 1);
    CVector4 colour(1, 1, 1, 1);
    CEffect* e = container_.PlayFull(&controller_, &at, &turn, &size, &colour, 0.0f, 0, 1, nullptr, nullptr);
    const struct {
        CVector3 at, turn, size;
    } frames[] = {
        {{0, 0, 0}, {0, 0, 0}, {1, 1, 1}},
        {{3, 0, 0}, {0, 0, 0}, {1, 1, 1}},
        {{0, 0, 0}, {0, 45, 0}, {1, 1, 1}},
        {{0, 0, 0}, {0, 0, 0}, {1, 2, 1}},
        {{0, -1, 2}, {10, 0, 5}, {0.5f, 0.5f, 0.5f}},
        {{0, 0, 0}, {0, 0, 0}, {1, 1, 1}},
    };
    for (const auto& f : frames) {
        at = f.at;
        turn = f.turn;
        size = f.size;
        Run(e, 1);
        const u8 bits = e->GetIdentityMatrices();
        EXPECT_EQ((bits & CEffect::kIdentityTranslation) != 0, e->GetTranslationMatrix().IsIdentity());
        EXPECT_EQ((bits & CEffect::kIdentityRotation) != 0, e->GetRotationMatrix().IsIdentity());
        EXPECT_EQ((bits & CEffect::kIdentityScaling) != 0, e->GetScalingMatrix().IsIdentity());
        EXPECT_EQ(bits == 7, f.at.x == 0 && f.at.y == 0 && f.turn.y == 0 && f.turn.x == 0 && f.size.y == 1);
    }
}

// The shared last rotation of each slot gives what building the rotation
// gives, bit for bit, however the callers take turns: the same angles in
// another order, a -0 for a +0, the other slot in between.
TEST(SharedRotation, GivesTheRotationBuiltForTheseAnglesAndOrder)
{
    using effect_math::RotationSlot;
    const struct {
        RotationSlot slot;
        CVector3 degrees;
        u32 order;
    } calls[] = {
        {RotationSlot::kPlacement, {10, 20, 30}, 0},
        {RotationSlot::kPlacement, {10, 20, 30}, 0},
        {RotationSlot::kPlacement, {10, 20, 30}, 2},
        {RotationSlot::kSpin, {10, 20, 30}, 0},
        {RotationSlot::kPlacement, {10, 20, 30}, 2},
        {RotationSlot::kSpin, {0, 0, 0}, 0},
        {RotationSlot::kSpin, {-0.0f, 0, 0}, 0},
        {RotationSlot::kPlacement, {0, 90, -0.0f}, 8},
        {RotationSlot::kPlacement, {0, 90, 0}, 8},
        {RotationSlot::kSpin, {45, -45, 180}, 32},
        {RotationSlot::kPlacement, {0, 90, 0}, 8},
    };
    for (const auto& c : calls) {
        const CMatrix want = effect_math::RotationByOrder(c.degrees, c.order);
        const CMatrix& got = effect_math::SharedRotation(c.slot, c.degrees, c.order);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof want), 0)
            << u32(c.slot) << ": " << c.degrees.x << " " << c.degrees.y << " " << c.degrees.z << " order " << c.order;
    }
}

}  // namespace ORV_TEST_FILE_ID

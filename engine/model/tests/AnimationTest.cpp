// The animation controller on numbers: the bone matrices of a writer-made
// arm at chosen times, loops, speeds, blends and locks, the bind pose, and
// the swing of linked bones worked by hand.
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/platform/FrameTime.h"

#include <gtest/gtest.h>

#include <bit>

namespace ORV_TEST_FILE_ID {

using model_test::kSin45;

namespace {

constexpr f32 kCos22 = 0.92387953f, kSin22 = 0.38268343f;   // of 22.5 degrees

using model_test::Controller;

Controller Make(const CMesh& mesh) { return Controller(mesh.CreateAnimationController()); }

// A turn about z by the given cosine and sine, as the quaternion keys give
// it (x goes to (c, -s)), moved by (x, y, z).
void ExpectTurn(const CMatrix& m, f32 c, f32 s, f32 x, f32 y, f32 z, const char* what)
{
    const f32 expected[16] = {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], expected[i], 1e-5f) << what << " element " << i;
}

CVector3 Through(const CVector3& p, const CMatrix& m)
{
    CVector3 r;
    p.TransformedCoord(&r, m);
    return r;
}

// Makes a bone a link of a swinging chain, its far end at centre.
void Link(CModelBone* bone, f32 factor, const CVector3& centre)
{
    bone->LinkValues[0] = 1;
    bone->LinkValues[1] = std::bit_cast<u32>(factor);
    bone->BoneSphere.centre = centre;
}

// A posed controller without gravity or wind, at 16 ms a frame: only the
// root's motion swings a chain.
Controller Still(const CMesh& mesh)
{
    Controller c = Make(mesh);
    EXPECT_EQ(c->ResetModelPose(), 1);
    c->SetGravity(0);
    c->SetDirection(CVector3());
    SetFrameTime(16);
    return c;
}

class ArmAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(model_test::ReadInto(model_test::ArmModel(), mesh_), 1);
        controller_ = Make(mesh_);
        lower_ = controller_->GetFrameByName("Lower");
        upper_ = controller_->GetFrameByName("Upper");
        ASSERT_NE(lower_, nullptr);
    }
    void* Track(u32 animation) const { return mesh_.GetAnimation(animation)->Tracks.GetAt(0); }

    CMesh mesh_;
    Controller controller_;
    CAnimationFrame* lower_ = nullptr;
    CAnimationFrame* upper_ = nullptr;
};

}  // namespace

// Bend: none to 90 degrees over 2 s.
TEST_F(ArmAnimation, StartTimeSpeedAndLoop)
{
    const struct {
        f32 start, speed, played;
        u32 loop;
        f32 cos, sin;
    } cases[] = {
        {1.0f, 1.0f, 0.0f, 0, kSin45, kSin45},   // starting halfway shows it at once
        {0.0f, 2.0f, 1.0f, 0, 0, 1},             // twice as fast: the end after 1 s
        {0.0f, 0.0f, 1.0f, 0, 1, 0},             // speed 0 holds the start
        {0.0f, 1.0f, 3.0f, 1, kSin45, kSin45},   // 3 s wrap to 1
        {0.0f, 1.0f, 3.0f, 0, 0, 1},             // without the loop the last key holds
    };
    for (const auto& k : cases) {
        controller_->SetAnimation(0, k.start, k.speed, 0.0f, k.loop, 2);
        controller_->AdvanceTime(k.played);
        controller_->UpdateMatrices(nullptr);
        ExpectTurn(lower_->WorldMatrix, k.cos, k.sin, 1, 0, 0, "lower");
    }
}

TEST_F(ArmAnimation, ANewSetBlendsFromTheShownPose)
{
    controller_->SetAnimationSimple(0, 0.0f, 1, 0);
    controller_->AdvanceTime(1.0f);   // bent 45 degrees
    ASSERT_EQ(controller_->SetAnimation(1, 0.0f, 1.0f, 0.25f, 1, 0), 1);
    controller_->AdvanceTime(0.125f);   // halfway through the blend
    controller_->UpdateMatrices(nullptr);
    // 45 -> 0 degrees halfway is 22.5; (1, 0, 0) -> (1, 1, 0) halfway.
    ExpectTurn(lower_->WorldMatrix, kCos22, kSin22, 1, 0.5f, 0, "halfway");
    controller_->AdvanceTime(0.125f);   // the blend's end: the keys alone
    controller_->UpdateMatrices(nullptr);
    ExpectTurn(lower_->WorldMatrix, 1, 0, 1, 1, 0, "after");

    // Without a blend time the new pose shows at once.
    controller_->SetAnimation(0, 1.0f, 1.0f, 0.0f, 1, 0);
    controller_->UpdateMatrices(nullptr);
    ExpectTurn(lower_->WorldMatrix, kSin45, kSin45, 1, 0, 0, "at once");
}

TEST_F(ArmAnimation, ABoneNeverAnimatedBlendsFromItsBindPose)
{
    // Lift from 0.5 s, (0, 1, 0), blended over 0.5 s from the upper arm's
    // bind position (0, 0, 0).
    controller_->SetAnimation(2, 0.5f, 1.0f, 0.5f, 0, 0);
    controller_->AdvanceTime(0.25f);   // keys give (0, 1.5, 0); blend half done
    controller_->UpdateMatrices(nullptr);
    ExpectTurn(upper_->WorldMatrix, 1, 0, 0, 0.75f, 0, "upper");
    // The lower arm rides along, still in its bind pose.
    ExpectTurn(lower_->WorldMatrix, 1, 0, 1, 0.75f, 0, "lower");
}

TEST_F(ArmAnimation, LocksDecideWhetherANewSetTakesOver)
{
    const struct { u32 first, second; bool takesOver; u8 lockAfter; } cases[] = {
        {1, 0, false, 1}, {1, 2, true, 0}, {1, 3, true, 1}, {0, 0, true, 0}, {3, 1, false, 1}, {0, 1, true, 1},
    };
    for (const auto& k : cases) {
        controller_->SetLoopMode(2);
        controller_->SetAnimation(0, 0.0f, 1.0f, 0.0f, 1, k.first);
        controller_->SetAnimation(1, 0.0f, 1.0f, 0.0f, 1, k.second);
        EXPECT_EQ(lower_->BoneAnimation, k.takesOver ? Track(1) : Track(0)) << k.first << " " << k.second;
        EXPECT_EQ(lower_->Lock, k.lockAfter) << k.first << " " << k.second;
    }
}

TEST_F(ArmAnimation, RefusalsPlayNothing)
{
    EXPECT_EQ(controller_->SetAnimation(3, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(controller_->GetAnimationLength(3), 0.0f);
    // A time that is not a number plays nothing.
    controller_->SetAnimationSimple(0, 0.0f, 1, 0);
    controller_->AdvanceTime(std::bit_cast<f32>(0x7FC00000u));
    EXPECT_EQ(lower_->Time, 0.0f);
    // A controller without a mesh refuses everything, safely.
    Controller empty(new CAnimationController(nullptr, nullptr));
    EXPECT_EQ(empty->SetAnimation(0, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(empty->UpdateMatrices(nullptr), 0);
    // Nor does a model that has a set but no bones for it to move.
    CMesh boneless;
    void* set = new CModelAnimation();
    ASSERT_TRUE(boneless.GetAnimations()->Add(&set));
    Controller bare = Make(boneless);
    ASSERT_EQ(bare->GetFrameCount(), 0u);
    EXPECT_EQ(bare->SetAnimation(0, 0, 1, 0, 0, 0), 0);
    EXPECT_EQ(bare->SetAnimationSimple(0, 0, 1, 0), 0);
}

TEST_F(ArmAnimation, TheFirstUpdateBeforeAnyResetIsItsOwnPreviousPose)
{
    controller_->SetAnimationSimple(0, 0, 1, 0);
    controller_->AdvanceTime(0.5f);
    controller_->UpdateMatrices(nullptr);
    const CMatrix first = lower_->SkinMatrix;
    ASSERT_NE(first.m[0][1], 0.0f);
    EXPECT_EQ(lower_->PrevSkinMatrix, first);
    controller_->AdvanceTime(0.25f);
    controller_->UpdateMatrices(nullptr);
    EXPECT_EQ(lower_->PrevSkinMatrix, first);
    EXPECT_NE(lower_->SkinMatrix, first);
}

TEST_F(ArmAnimation, TheFirstAdjustmentBendsABoneBeforeItIsPlaced)
{
    controller_->SetAnimationSimple(0, 0.0f, 1, 0);
    lower_->Adjust[0].RotationZ(90);
    controller_->UpdateMatrices(nullptr);
    ExpectTurn(lower_->WorldMatrix, 0, -1, 1, 0, 0, "adjusted");
}

// Bones naming each other as parents, one linked and one plain: no root
// reaches them, no walk goes round them for ever. A bone that is its own
// parent is a root.
TEST(BindPose, BonesWithoutFrameMatricesGetThemFromThePose)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* hip = model_test::NewBone(mesh, "Hip", "root");
    model_test::NewBone(mesh, "A", "B")->LinkValues[0] = 1;
    model_test::NewBone(mesh, "B", "A");
    model_test::NewBone(mesh, "C", "C")->Transform.m[3][0] = 2;
    LinkBoneHierarchy(mesh.GetBones());
    hip->Transform.RotationZ(90);
    hip->Transform.m[3][1] = 1;
    CModelBone* loose = model_test::NewBone(mesh, "Loose", "Nowhere");   // a root of its own
    loose->Transform.m[3][0] = 4;
    loose->FrameMatrix.m[3][0] = -4;
    Controller c = Make(mesh);
    ASSERT_EQ(c->ResetModelPose(), 1);
    // Every skin matrix of the bind pose leaves the vertices where they are.
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    for (u32 i = 0; i < 6; ++i) ExpectTurn(c->GetMatrixPalette()[i], 1, 0, 0, 0, 0, "skin");
    EXPECT_NEAR(hip->Position.y, 1.0f, 1e-6f);
    // The loose root is placed by the root matrix like frame 0.
    CMatrix root;
    root.m[3][2] = 5;
    c->UpdateMatrices(&root);
    ExpectTurn(c->GetFrameByName("Loose")->WorldMatrix, 1, 0, 4, 0, 5, "loose");
    ExpectTurn(c->GetFrameByName("C")->WorldMatrix, 1, 0, 2, 0, 5, "C");
}

// A tail jointed at (0, 1, 0) reaching to (1, 1, 0), keyed to turn (which a
// linked bone ignores), and a ball of radius 0.4 at (1, 0.5, 0). Gravity
// swings the tip down about its joint, in its plane, until it meets the
// ball; wind pushes it along the wind's direction.
TEST(Swing, GravityAndWindMoveTheTailAboutItsJoint)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* tail = model_test::NewBone(mesh, "Tail", "root");
    CModelBone* ball = model_test::NewBone(mesh, "Ball", "root");
    LinkBoneHierarchy(mesh.GetBones());
    tail->Transform.m[3][1] = 1;
    Link(tail, 1.0f, {1, 1, 0});
    ball->BoneSphere.centre.Set(1, 0.5f, 0);
    ball->LinkValues[2] = std::bit_cast<u32>(0.4f);
    model_test::AddKeys(*model_test::AddAnimation(mesh, "Wag"), "Tail")->MakeRotation()->AddKey(0, {0, 0, kSin45, kSin45});
    SetFrameTime(16);
    for (bool wind : {false, true}) {
        Controller c = Make(mesh);
        ASSERT_EQ(c->ResetModelPose(), 1);
        wind ? c->SetGravity(0) : c->SetDirection(CVector3());
        c->SetAnimationSimple(0, 0.0f, 1, 0);
        const CAnimationFrame& frame = *c->GetFrameByName("Tail");
        CVector3 tip;
        for (int i = 0; i < 40; ++i) {
            c->AdvanceTime(0.016f);
            c->UpdateMatrices(nullptr);
            tip = Through({1, 1, 0}, frame.SkinMatrix);
            EXPECT_NEAR((tip - CVector3(0, 1, 0)).Length(), 1.0f, 1e-4f) << wind << " " << i;
            EXPECT_GE((tip - CVector3(1, 0.5f, 0)).Length(), 0.4f - 1e-3f) << wind << " " << i;
            EXPECT_NEAR(tip.z, 0.0f, wind ? 1.0f : 1e-5f) << i;
        }
        EXPECT_GT(wind ? tip.z : 1 - tip.y, 0.05f) << "moved";
        EXPECT_EQ(frame.LocalMatrix.m[0][1], 0.0f);
    }
    SetFrameTime(0);
}

// A two-bone tail on the root: "Tail" jointed at (0, 1, 0) reaching to
// (1, 1, 0), factor 1; "Tip" on from there to (2, 1, 0), factor 0.5. With
// neither gravity nor wind only the root's motion swings it, so each
// update can be followed by hand (angles about z, x towards y positive).
//
// Update 1, root lifted by 0.1: the tail's tip lags by (0, -0.1, 0)
// crosswise to the tail, so its velocity and offset are that and it turns
// by atan2(-0.1, 1). The tail carries the Tip's centre (2, 1, 0) from where
// it was to (2 cos, 1.1 + 2 sin): move (0.0099256, 0.0990074), at
// 1 - |dir . unit move| = 0.99751 of itself times 1 / 0.5, turned back into
// the Tip's bind space: offset (0.0000495, 0.1989579), its own turn
// atan2(0.1989579, 1.0000495) on the tail's.
// Update 2, root held: nothing pushes the tail; its offset decays by
// 1 - 0.016 to (0, -0.0984, 0). The tail's turning back moves the Tip's
// centre by (-0.0003128, -0.0031533); the Tip's offset decays by
// 1 - 0.008 and gains that push, (-0.0009983, -0.0049973) in its bind space.
TEST(SwingChain, EachUpdateSwingsTheChainOnce)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* tail = model_test::NewBone(mesh, "Tail", "root");
    CModelBone* tip = model_test::NewBone(mesh, "Tip", "Tail");
    LinkBoneHierarchy(mesh.GetBones());
    tail->Transform.m[3][1] = 1;
    tip->Transform.m[3][0] = 1;
    Link(tail, 1.0f, {1, 1, 0});
    Link(tip, 0.5f, {2, 1, 0});
    Controller c = Still(mesh);
    const CAnimationFrame& t = *c->GetFrameByName("Tail");
    const CAnimationFrame& p = *c->GetFrameByName("Tip");
    auto expectVector = [](const CVector3& v, f32 x, f32 y, const char* what, f32 near = 1e-6f) {
        for (auto [got, want] : {std::pair{v.x, x}, {v.y, y}, {v.z, 0.0f}}) EXPECT_NEAR(got, want, near) << what;
    };

    CMatrix root;
    root.m[3][1] = 0.1f;
    ASSERT_EQ(c->UpdateMatrices(&root), 1);
    expectVector(t.SwingOffset, 0, -0.1f, "tail offset 1");
    ExpectTurn(t.WorldMatrix, 0.99503719f, 0.09950372f, 0, 1.1f, 0, "tail world 1");
    expectVector(p.SwingOffset, 0.0000495f, 0.1989579f, "tip offset 1");
    ExpectTurn(p.WorldMatrix, 0.99532672f, -0.09656454f, 0.99503719f, 1.00049628f, 0, "tip world 1");
    expectVector(Through({2, 1, 0}, c->GetMatrixPalette()[2]), 1.99036391f, 1.09706082f, "tip vertex 1", 1e-5f);

    ASSERT_EQ(c->UpdateMatrices(&root), 1);
    expectVector(t.SwingVelocity, 0, 0, "tail velocity 2");
    expectVector(t.SwingOffset, 0, -0.0984f, "tail offset 2");
    ExpectTurn(t.WorldMatrix, 0.99519360f, 0.09792705f, 0, 1.1f, 0, "tail world 2");
    expectVector(p.SwingVelocity, -0.0009983f, -0.0049973f, "tip velocity 2");
    expectVector(p.SwingOffset, -0.0009492f, 0.1923689f, "tip offset 2");
    ExpectTurn(p.WorldMatrix, 0.99575817f, -0.09200903f, 0.99519360f, 1.00207295f, 0, "tip world 2");
    expectVector(Through({2, 1, 0}, c->GetMatrixPalette()[2]), 1.99095177f, 1.09408198f, "tip vertex 2", 1e-5f);
    SetFrameTime(0);
}

// A chain can hang below a plain bone that is itself carried by a chain (a
// ribbon on a bead in the hair): the ribbon still swings once an update.
// Nothing pushes here, so a swing under way only decays, by 1 - 0.016.
TEST(SwingChain, AChainBelowAPlainBoneOfAChainSwingsOnce)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* ribbon = model_test::NewBone(mesh, "Ribbon", "Bead");   // before its parents
    CModelBone* hair = model_test::NewBone(mesh, "Hair", "root");
    CModelBone* bead = model_test::NewBone(mesh, "Bead", "Hair");
    LinkBoneHierarchy(mesh.GetBones());
    hair->Transform.m[3][1] = 1;
    bead->Transform.m[3][0] = 1;
    ribbon->Transform.m[3][0] = 0.5f;
    Link(hair, 1.0f, {1, 1, 0});
    Link(ribbon, 1.0f, {2.5f, 1, 0});
    Controller c = Still(mesh);
    CAnimationFrame& r = *c->GetFrameByName("Ribbon");
    r.SwingOffset.Set(0, -0.1f, 0);
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    EXPECT_NEAR(r.SwingOffset.y, -0.0984f, 1e-6f);
    // Turned by atan2(-0.0984, 1) about its joint at (1.5, 1, 0).
    ExpectTurn(r.WorldMatrix, 0.99519360f, 0.09792705f, 1.5f, 1, 0, "ribbon world");
    SetFrameTime(0);
}

}  // namespace ORV_TEST_FILE_ID

// The animation controller on numbers: bone and skin matrices of the
// hand-laid skinned model and of a writer-made arm at chosen times, loops,
// speeds, start times, blends between two sets, locks, the bind pose, and
// the swing of linked bones.
#include "engine/core/Endian.h"
#include "engine/model/AnimationController.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/platform/FrameTime.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

using model_test::kSin45;

namespace {

// cos and sin of 22.5 degrees.
constexpr f32 kCos22 = 0.92387953f, kSin22 = 0.38268343f;

using model_test::Controller;

Controller Make(const CMesh& mesh) { return Controller(mesh.CreateAnimationController()); }

void ExpectMatrix(const CMatrix& m, const f32 (&expected)[16], const char* what)
{
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], expected[i], 1e-5f) << what << " element " << i;
}

// A turn about z by the given cosine and sine, as the quaternion keys give
// it (x goes to (c, -s)), moved by (x, y, z).
void ExpectTurn(const CMatrix& m, f32 c, f32 s, f32 x, f32 y, f32 z, const char* what)
{
    ExpectMatrix(m, {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, x, y, z, 1}, what);
}

CVector3 Through(const CVector3& p, const CMatrix& m)
{
    CVector3 r;
    p.TransformedCoord(&r, m);
    return r;
}

class ArmAnimation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(model_test::ReadInto(model_test::ArmModel(), mesh_), 1);
        controller_ = Make(mesh_);
        ASSERT_EQ(controller_->GetFrameCount(), 3u);
        lower_ = controller_->GetFrameByName("Lower");
        upper_ = controller_->GetFrameByName("Upper");
        ASSERT_NE(lower_, nullptr);
    }
    const CMatrix* Palette() const { return controller_->GetMatrixPalette(); }
    CModelBoneAnimation* Track(u32 animation) const
    {
        return static_cast<CModelBoneAnimation*>(mesh_.GetAnimation(animation)->Tracks.GetAt(0));
    }

    CMesh mesh_;
    Controller controller_;
    CAnimationFrame* lower_ = nullptr;
    CAnimationFrame* upper_ = nullptr;
};

}  // namespace

TEST(GoldenAnimation, TheKneeFollowsItsKeysThroughTheLoop)
{
    // The hand-laid model's knee is a linked bone; made plain here so that
    // it plays its keys.
    std::string bytes = model_test::SkinnedGolden();
    const size_t kneeLink = 23 + 141 + 185 + 8 + 151;
    ASSERT_EQ(GetLe32(&bytes[kneeLink]), 1u);
    PutLe32(&bytes[kneeLink], 0);
    CMesh mesh;
    ASSERT_EQ(model_test::ReadInto(bytes, mesh), 1);
    Controller c = Make(mesh);
    ASSERT_EQ(c->SetAnimationSimple(0, 0.0f, 1, 0), 1);
    EXPECT_FLOAT_EQ(c->GetAnimationLength(0), 1.0f);
    const struct {
        f32 seconds;   // played in one step from the start
        u32 loop;
        f32 cos, sin;
    } cases[] = {
        {0.0f, 1, 1, 0},
        {0.5f, 1, kSin45, kSin45},   // halfway: 45 degrees
        {1.0f, 1, 0, 1},             // the last key: 90
        {1.5f, 1, kSin45, kSin45},   // 7200 ticks wrap to 2400
        {1.5f, 0, 0, 1},             // without the loop the last key holds
    };
    for (const auto& k : cases) {
        ASSERT_EQ(c->SetAnimation(0, 0.0f, 1.0f, 0.0f, k.loop, 2), 1);
        c->AdvanceTime(k.seconds);
        ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
        const CMatrix* palette = c->GetMatrixPalette();
        // The hip holds still: its skin is its frame matrix.
        ExpectMatrix(palette[1], {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1}, "hip");
        // knee world: the turn, then its one position key (0, 2, 0.5);
        // skin: frame matrix (0, -2, 0) first, so (0,-2,0) turned is added.
        const CAnimationFrame& knee = *c->GetFrame(2);
        ExpectTurn(knee.WorldMatrix, k.cos, k.sin, 0, 2, 0.5f, "knee world");
        ExpectTurn(palette[2], k.cos, k.sin, -2 * k.sin, 2 - 2 * k.cos, 0.5f, "knee skin");
    }
}

TEST_F(ArmAnimation, StartTimeAndSpeed)
{
    const struct {
        f32 start, speed, played;
        f32 cos, sin;
    } cases[] = {
        {1.0f, 1.0f, 0.0f, kSin45, kSin45},   // starting halfway shows it at once
        {0.0f, 2.0f, 1.0f, 0, 1},             // twice as fast: the end after 1 s
        {0.0f, 0.0f, 1.0f, 1, 0},             // speed 0 holds the start
        {0.5f, 1.0f, 0.5f, kSin45, kSin45},
    };
    for (const auto& k : cases) {
        controller_->SetAnimation(0, k.start, k.speed, 0.0f, 0, 2);
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
    EXPECT_EQ(lower_->BlendDuration, 1200.0f);
    controller_->AdvanceTime(0.125f);   // halfway through the blend
    controller_->UpdateMatrices(nullptr);
    // 45 -> 0 degrees halfway is 22.5; (1, 0, 0) -> (1, 1, 0) halfway.
    ExpectTurn(lower_->WorldMatrix, kCos22, kSin22, 1, 0.5f, 0, "halfway");
    controller_->AdvanceTime(0.125f);   // the blend's end: the keys alone
    controller_->UpdateMatrices(nullptr);
    EXPECT_EQ(lower_->BlendDuration, 0.0f);
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
    const struct {
        u32 first, second;
        bool takesOver;
        u8 lockAfter;
    } cases[] = {
        {1, 0, false, 1}, {1, 2, true, 0}, {1, 3, true, 1}, {0, 0, true, 0}, {3, 1, false, 1}, {0, 1, true, 1},
    };
    for (const auto& k : cases) {
        controller_->SetLoopMode(2);
        controller_->SetAnimation(0, 0.0f, 1.0f, 0.0f, 1, k.first);
        controller_->SetAnimation(1, 0.0f, 1.0f, 0.0f, 1, k.second);
        EXPECT_EQ(lower_->BoneAnimation, k.takesOver ? Track(1) : Track(0)) << k.first << " " << k.second;
        EXPECT_EQ(lower_->Lock, k.lockAfter) << k.first << " " << k.second;
    }
    controller_->SetLoopMode(3);
    EXPECT_EQ(upper_->Lock, 1);
    controller_->SetLoopMode(0);
    EXPECT_EQ(lower_->Lock, 0);
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
    EXPECT_EQ(empty->SetLoopMode(1), 0);
    EXPECT_EQ(empty->UpdateMatrices(nullptr), 0);
    EXPECT_EQ(empty->ResetModelPose(), 0);
    EXPECT_EQ(empty->UploadMatrices(nullptr), 0);
}

TEST_F(ArmAnimation, TheFirstUpdateBeforeAnyResetIsItsOwnPreviousPose)
{
    ASSERT_EQ(controller_->SetAnimationSimple(0, 0, 1, 0), 1);
    controller_->AdvanceTime(0.5f);
    ASSERT_EQ(controller_->UpdateMatrices(nullptr), 1);
    const CMatrix first = lower_->SkinMatrix;
    ASSERT_NE(first.m[0][1], 0.0f);
    EXPECT_EQ(0, std::memcmp(&lower_->PrevSkinMatrix, &first, sizeof first));
    controller_->AdvanceTime(0.25f);
    ASSERT_EQ(controller_->UpdateMatrices(nullptr), 1);
    EXPECT_EQ(0, std::memcmp(&lower_->PrevSkinMatrix, &first, sizeof first));
    EXPECT_NE(0, std::memcmp(&lower_->SkinMatrix, &first, sizeof first));
}

TEST_F(ArmAnimation, TheFirstAdjustmentBendsABoneBeforeItIsPlaced)
{
    controller_->SetAnimationSimple(0, 0.0f, 1, 0);
    lower_->Adjust[0].RotationZ(90);
    controller_->UpdateMatrices(nullptr);
    CMatrix expected;
    expected.RotationZ(90);
    expected.m[3][0] = 1;
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(lower_->WorldMatrix.m[i / 4][i % 4], expected.m[i / 4][i % 4], 1e-6f);
}

TEST(BindPose, BonesWithoutFrameMatricesGetThemFromThePose)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* hip = model_test::NewBone(mesh, "Hip", "root");
    hip->Parent = mesh.GetBone(0);
    hip->Transform.RotationZ(90);
    hip->Transform.m[3][1] = 1;
    CModelBone* loose = model_test::NewBone(mesh, "Loose", "Nowhere");   // a root of its own
    loose->Transform.m[3][0] = 4;
    loose->FrameMatrix.m[3][0] = -4;
    Controller c = Make(mesh);
    ASSERT_EQ(c->ResetModelPose(), 1);
    // Every skin matrix of the bind pose leaves the vertices where they are.
    for (u32 i = 0; i < 3; ++i) {
        for (int e = 0; e < 16; ++e) {
            EXPECT_NEAR(c->GetMatrixPalette()[i].m[e / 4][e % 4], e % 5 == 0 ? 1.0f : 0.0f, 1e-6f) << i;
        }
    }
    EXPECT_NEAR(hip->Position.y, 1.0f, 1e-6f);
    EXPECT_NEAR(hip->CombinedMatrix.m[0][1], -1.0f, 1e-6f);   // the rotation of the inverse
    EXPECT_EQ(loose->FrameMatrix.m[3][0], -4.0f);               // its own kept
    // The loose root is placed by the root matrix like frame 0.
    CMatrix root;
    root.m[3][2] = 5;
    c->UpdateMatrices(&root);
    EXPECT_EQ(c->GetFrameByName("Loose")->WorldMatrix.m[3][0], 4.0f);
    EXPECT_EQ(c->GetFrameByName("Loose")->WorldMatrix.m[3][2], 5.0f);
}

// Bones naming each other as parents, one linked and one plain: no root
// reaches them, no walk goes round them for ever, their skins stay the
// identity. A bone that is its own parent is a root.
TEST(BindPose, ALoopOfParentsHangsNothing)
{
    CMesh mesh;
    model_test::NewBone(mesh, "root", nullptr);
    model_test::NewBone(mesh, "A", "B")->LinkValues[0] = 1;
    model_test::NewBone(mesh, "B", "A");
    model_test::NewBone(mesh, "C", "C")->Transform.m[3][0] = 2;
    LinkBoneHierarchy(mesh.GetBones());
    Controller c = Make(mesh);
    ASSERT_EQ(c->ResetModelPose(), 1);
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    EXPECT_EQ(c->GetFrameByName("C")->WorldMatrix.m[3][0], 2.0f);
    EXPECT_EQ(c->GetMatrixPalette()[1], CMatrix());
    EXPECT_EQ(c->GetMatrixPalette()[2], CMatrix());
}

// ------------------------------------------------------------ swinging bones

namespace {

// A body with a tail jointed at (0, 1, 0) reaching to (1, 1, 0), and a
// ball that other bones bump into.
class Swing : public ::testing::Test {
protected:
    void SetUp() override
    {
        model_test::NewBone(mesh_, "root", nullptr);
        body_ = model_test::NewBone(mesh_, "Body", "root");
        tail_ = model_test::NewBone(mesh_, "Tail", "Body");
        ball_ = model_test::NewBone(mesh_, "Ball", "root");
        for (CModelBone* b : {body_, ball_}) b->Parent = mesh_.GetBone(0);
        tail_->Parent = body_;
        tail_->Transform.m[3][1] = 1;
        tail_->LinkValues[0] = 1;
        tail_->LinkValues[1] = std::bit_cast<u32>(1.0f);
        tail_->BoneSphere.centre.Set(1, 1, 0);
        ball_->BoneSphere.centre.Set(1, 0.5f, 0);
        // The tail's keys must not move it.
        CModelBoneAnimation* keys = model_test::AddKeys(*model_test::AddAnimation(mesh_, "Wag"), "Tail");
        keys->MakeRotation()->AddKey(0, CQuaternion(0, 0, kSin45, kSin45));
        controller_ = Make(mesh_);
        ASSERT_EQ(controller_->ResetModelPose(), 1);
        frame_ = controller_->GetFrameByName("Tail");
        SetFrameTime(16);
    }
    void TearDown() override { SetFrameTime(0); }

    CVector3 Tip() const { return Through(tail_->BoneSphere.centre, frame_->SkinMatrix); }
    static f32 Distance(const CVector3& a, const CVector3& b) { return (a - b).Length(); }

    CMesh mesh_;
    CModelBone *body_ = nullptr, *tail_ = nullptr, *ball_ = nullptr;
    Controller controller_;
    CAnimationFrame* frame_ = nullptr;
};

}  // namespace

TEST_F(Swing, GravityPullsTheTailDownAboutItsJoint)
{
    controller_->SetDirection(CVector3());
    controller_->SetAnimationSimple(0, 0.0f, 1, 0);
    for (int i = 0; i < 20; ++i) {
        controller_->AdvanceTime(0.016f);
        controller_->UpdateMatrices(nullptr);
        EXPECT_NEAR(Distance(Tip(), {0, 1, 0}), 1.0f, 1e-4f);
        EXPECT_NEAR(Tip().z, 0.0f, 1e-5f);
    }
    EXPECT_LT(Tip().y, 0.9f);
    EXPECT_EQ(frame_->LocalMatrix.m[0][1], 0.0f);   // the tail's keys never turned it
}

TEST_F(Swing, WindPushesAlongItsDirection)
{
    controller_->SetGravity(0);
    for (int i = 0; i < 10; ++i) controller_->UpdateMatrices(nullptr);
    EXPECT_GT(Tip().z, 0.05f);
}

TEST_F(Swing, TheTailStaysOutsideACollisionSphere)
{
    ball_->LinkValues[2] = std::bit_cast<u32>(0.4f);
    controller_ = Make(mesh_);
    controller_->ResetModelPose();
    frame_ = controller_->GetFrameByName("Tail");
    controller_->SetDirection(CVector3());
    const CVector3 ball(1, 0.5f, 0);
    for (int i = 0; i < 40; ++i) {
        controller_->UpdateMatrices(nullptr);
        EXPECT_GE(Distance(Tip(), ball), 0.4f - 1e-3f) << i;
    }
    EXPECT_LT(Tip().y, 0.99f);   // it did move, up to the ball
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
    tail->BoneSphere.centre.Set(1, 1, 0);
    tip->BoneSphere.centre.Set(2, 1, 0);
    for (auto [bone, factor] : {std::pair{tail, 1.0f}, std::pair{tip, 0.5f}}) {
        bone->LinkValues[0] = 1;
        bone->LinkValues[1] = std::bit_cast<u32>(factor);
    }
    Controller c = Make(mesh);
    ASSERT_EQ(c->ResetModelPose(), 1);
    c->SetGravity(0);
    c->SetDirection(CVector3());
    SetFrameTime(16);
    const CAnimationFrame& t = *c->GetFrameByName("Tail");
    const CAnimationFrame& p = *c->GetFrameByName("Tip");
    auto expectVector = [](const CVector3& v, f32 x, f32 y, const char* what, f32 near = 1e-6f) {
        EXPECT_NEAR(v.x, x, near) << what;
        EXPECT_NEAR(v.y, y, near) << what;
        EXPECT_EQ(v.z, 0.0f) << what;
    };

    CMatrix root;
    root.m[3][1] = 0.1f;
    ASSERT_EQ(c->UpdateMatrices(&root), 1);
    expectVector(t.SwingOffset, 0, -0.1f, "tail offset 1");
    ExpectTurn(t.WorldMatrix, 0.99503719f, 0.09950372f, 0, 1.1f, 0, "tail world 1");
    expectVector(p.SwingOffset, 0.0000495f, 0.1989579f, "tip offset 1");
    ExpectTurn(p.WorldMatrix, 0.99532672f, -0.09656454f, 0.99503719f, 1.00049628f, 0, "tip world 1");
    // The vertex at the Tip's far end, skinned by the palette.
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
    hair->BoneSphere.centre.Set(1, 1, 0);
    ribbon->BoneSphere.centre.Set(2.5f, 1, 0);
    for (CModelBone* bone : {hair, ribbon}) {
        bone->LinkValues[0] = 1;
        bone->LinkValues[1] = std::bit_cast<u32>(1.0f);
    }
    Controller c = Make(mesh);
    ASSERT_EQ(c->ResetModelPose(), 1);
    c->SetGravity(0);
    c->SetDirection(CVector3());
    SetFrameTime(16);
    CAnimationFrame& r = *c->GetFrameByName("Ribbon");
    r.SwingOffset.Set(0, -0.1f, 0);
    ASSERT_EQ(c->UpdateMatrices(nullptr), 1);
    EXPECT_NEAR(r.SwingOffset.y, -0.0984f, 1e-6f);
    // Turned by atan2(-0.0984, 1) about its joint at (1.5, 1, 0).
    ExpectTurn(r.WorldMatrix, 0.99519360f, 0.09792705f, 1.5f, 1, 0, "ribbon world");
    EXPECT_EQ(c->GetFrameByName("Hair")->SwingOffset.LengthSquared(), 0.0f);
    SetFrameTime(0);
}

// Effects and animated models: nodes placed on a bone frame that an
// animation controller poses, and model particles playing their mesh's
// animations on their node's Animation track.
#include "engine/core/Quaternion.h"
#include "engine/model/AnimationController.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/scene/tests/EffectTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace ORV_TEST_FILE_ID {

using effect_test::ExpectNear;
using effect_test::NewObject;
using effect_test::ParticleKeys;

namespace {

constexpr f32 kDegToRad = 3.14159265f / 180.0f;

// The arm of the model tests with its lower bone turning about y instead:
// "root", "Upper" under it, "Lower" jointed at x = 1. Animations:
//   0 "Turn" Lower turns from none to 90 degrees about y (keys 0, 9600: 2 s)
//   1 "Lift" Upper moves from (0,0,0) to (0,2,0) (keys 0, 4800: 1 s)
std::string TwistArm()
{
    using namespace model_test;
    CMesh mesh;
    BuildArm(mesh);

    CModelBoneAnimation* turn = AddKeys(*AddAnimation(mesh, "Turn"), "Lower");
    turn->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
    turn->MakeRotation()->AddKey(9600, CQuaternion(0, kSin45, 0, kSin45));
    CModelBoneAnimation* lift = AddKeys(*AddAnimation(mesh, "Lift"), "Upper");
    lift->MakePosition()->AddKey(0, CVector3(0, 0, 0));
    lift->MakePosition()->AddKey(4800, CVector3(0, 2, 0));
    for (u32 i = 0; i < 2; ++i) mesh.GetAnimation(i)->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

// The lower bone's matrix at t seconds of "Turn" under root, worked out
// from the model: the key turn (a quarter turn over 2 s, so 45 t degrees
// about y), then its joint at x = 1 on the unmoved upper bone, then the
// root placement.
CMatrix LowerAt(f32 t, const CMatrix& root)
{
    const f32 half = 0.5f * 45.0f * t * kDegToRad;
    CMatrix turn;
    CQuaternion(0, std::sin(half), 0, std::cos(half)).ToMatrix(&turn);
    const CVector3 joint(1, 0, 0);
    MatrixTranslate(&turn, &joint);
    return turn * root;
}

struct Destroyer {
    void operator()(CAnimationController* c) const { c->Destroy(); }
};

class EffectBone : public effect_test::EffectFixture {
protected:
    void SetUp() override
    {
        EffectFixture::SetUp();
        ASSERT_EQ(model_test::ReadInto(TwistArm(), mesh_), 1);
        ASSERT_EQ(mesh_.GetBoneCount(), 3u);
    }

    // Advances the model and then the effect by frames of 10 ms, as a
    // battle frame does: the model is posed before the effects update.
    void Frames(CAnimationController& model, const CMatrix& root, CEffect* e, u32 frames)
    {
        SetFrameTime(10);
        for (u32 i = 0; i < frames; ++i) {
            model.AdvanceTime(0.01f);
            model.UpdateMatrices(&root);
            e->Update(0);
        }
    }

    CMesh mesh_;
    CEffectContainer container_;
};

}  // namespace

TEST_F(EffectBone, ANodeOnABoneFrameRidesTheBoneAsTheModelAnimates)
{
    std::unique_ptr<CAnimationController, Destroyer> model(mesh_.CreateAnimationController());
    ASSERT_EQ(model->ResetModelPose(), 1);
    ASSERT_EQ(model->SetAnimationSimple(0, 0.0f, 0, 0), 1);
    CAnimationFrame* lower = model->GetFrameByName("Lower");
    ASSERT_NE(lower, nullptr);
    // The model stands turned and away from the origin, so the bone's
    // matrix differs from its parent's and from the model's own.
    CMatrix root;
    root.RotationX(30.0f);
    const CVector3 at(10, 0, -5);
    MatrixTranslate(&root, &at);

    CEffectObject* held = NewObject("held");        // keeps its own facing
    container_.AddObject(held);
    CEffectObject* along = NewObject("along");      // faces along the bone
    along->GetNodeSettings().flags = kPlaceAlongBone;
    container_.AddObject(along);
    const CVector3 offset(0.5f, 0, 0), facing(0, 20, 0);
    CEffect* e = container_.PlayLinked(&controller_, &offset, &facing, nullptr, 0, lower, nullptr);
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->GetNext(), nullptr);

    for (const f32 t : {0.5f, 1.5f}) {
        SCOPED_TRACE(t);
        Frames(*model, root, e, t == 0.5f ? 50 : 100);
        const CMatrix bone = LowerAt(t, root);
        CVector3 expectedAt, placed;
        offset.TransformedCoord(&expectedAt, bone);

        // Without flag 16: the offset on the bone, the played facing.
        CMatrix want;
        want.RotationEuler(&facing);
        MatrixTranslate(&want, &expectedAt);
        ExpectNear(*e->GetWorldMatrix(), want, "on the bone", 1e-4f);

        // With it: the same place, and the node's forward (0,0,-1) is the
        // bone's.
        const CEffect* a = e->GetNext();
        a->GetWorldMatrix()->GetTranslation(&placed);
        ExpectNear(placed, expectedAt, "placed along the bone", 1e-4f);
        CVector3 boneForward, nodeForward;
        CVector3(0, 0, -1).TransformNormalInto(bone, &boneForward);
        CVector3(0, 0, -1).TransformNormalInto(*a->GetWorldMatrix(), &nodeForward);
        ExpectNear(nodeForward, boneForward, "facing along the bone", 1e-4f);
    }
    // The bone did turn between the two times: 22.5 and 67.5 degrees.
    CVector3 forward;
    CVector3(0, 0, -1).TransformNormalInto(*e->GetNext()->GetWorldMatrix(), &forward);
    EXPECT_GT(std::fabs(forward.x), 0.9f);
    e->Release();
    EXPECT_EQ(LiveNodes(), 0u);
}

TEST_F(EffectBone, ModelParticlesPlayTheAnimationTheirNodeNames)
{
    CEffectObject* o = NewObject("arm");
    o->SetResource("arm.mdl", &mesh_);
    ASSERT_EQ(o->GetResourceKind(), kEffectKindModel);
    o->GetAnimationTrack().AddKey(0.0f, 0);
    o->GetAnimationTrack().AddKey(1.0f, 1);
    ParticleKeys(o, {{0.0f, 1}});
    container_.AddObject(o);
    const CVector3 at(5, 0, 0);
    CEffect* e = container_.PlayAtPosition(&controller_, &at, 0, nullptr);
    SetFrameTime(10);
    for (int i = 0; i < 50; ++i) e->Update(0);
    const CParticle* p = e->GetFirstParticle();
    ASSERT_NE(p, nullptr);
    CAnimationController* model = p->GetAnimationController();
    ASSERT_NE(model, nullptr) << "a mesh with bones and animations gets a controller of its own";
    EXPECT_NE(model, mesh_.GetAnimationController());

    // From its mesh's first pose, "Turn" has played for the node's time.
    const CAnimationFrame* lower = model->GetFrameByName("Lower");
    ExpectNear(lower->LocalMatrix, LowerAt(e->GetTime(), CMatrix()), "turned", 1e-4f);

    // Drawing poses it under the particle's draw matrix.
    e->Draw(nullptr);
    CVector3 root;
    model->GetRootMatrix().GetTranslation(&root);
    ExpectNear(root, at, "posed where the particle is", 1e-4f);

    // At 1 s the node's animation value becomes 1: "Lift" takes over and
    // plays on (blended in over 0.1 s).
    for (int i = 0; i < 100; ++i) e->Update(0);
    const CAnimationFrame* upper = model->GetFrameByName("Upper");
    EXPECT_NEAR(upper->LocalMatrix.m[3][1], 2.0f * (e->GetTime() - 1.0f), 0.03f);
    // Lift has no keys for Lower, which plays on in Turn.
    EXPECT_NEAR(lower->LocalMatrix.m[0][0], LowerAt(e->GetTime(), CMatrix()).m[0][0], 1e-4f);
    e->Release();
    EXPECT_EQ(LiveParticles(), 0u);
}

}  // namespace ORV_TEST_FILE_ID

// The bone matrices of a many-bone rig, played and blended over many frames,
// stay today's to the bit: every frame's palette is hashed.
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

// Chains of five bones under the root. Bones turn, move and scale by keys
// (a negative scale and eased keys among them); every fourth has no scaling
// track and every seventh no position track. A second set holds them still
// in another pose to blend into.
void BuildRig(CMesh& mesh, u32 bones)
{
    auto* run = new CModelAnimation();
    run->SetName("Run");
    auto* hold = new CModelAnimation();
    hold->SetName("Hold");
    for (u32 i = 0; i < bones; ++i) {
        auto* bone = new CModelBone();
        const std::string name = "Bone" + std::to_string(i);
        bone->SetName(name.c_str());
        if (i > 0) {
            const u32 parent = (i - 1) % 5 == 0 ? 0 : i - 1;
            bone->SetParent(mesh.GetBone(parent));
            mesh.GetBone(parent)->AddChild(bone);
            bone->Transform.m[3][0] = 0.1f * f32(i % 3);
            bone->Transform.m[3][1] = 0.25f;
        }
        AppendElement(mesh.GetBones(), bone);
        if (i == 0) continue;
        for (CModelAnimation* set : {run, hold}) {
            const bool moving = set == run;
            auto* keys = new CModelBoneAnimation();
            keys->Bone = bone;
            keys->BoneName = ModelCopyText(name.c_str());
            const u32 count = moving ? 5 + i % 9 : 1;
            for (u32 k = 0; k < count; ++k) {
                CQuaternion q;
                const CVector3 axis(0.6f, f32(i % 2), 0.8f);
                q.FromAxisAngle(f32((k * 53 + i * 29) % 170) - 85.0f, &axis);
                keys->MakeRotation()->AddKey(f32(k) * 137.0f, q, f32(k % 3) * 0.3f);
            }
            if (i % 7) {
                keys->MakePosition()->AddKey(0.0f, CVector3(0.0f, 0.25f, 0.0f));
                if (moving) keys->MakePosition()->AddKey(1900.0f, CVector3(0.05f, 0.3f, -0.05f));
            }
            if (i % 4) {
                keys->MakeScaling()->AddKey(0.0f, CVector3(1.0f, i % 5 ? 1.0f : -1.0f, 1.0f));
                if (moving) keys->MakeScaling()->AddKey(1500.0f, CVector3(1.0f, 1.2f, 0.9f));
            }
            void* slot = keys;
            set->Tracks.Add(&slot);
        }
    }
    AppendElement(mesh.GetAnimations(), run);
    AppendElement(mesh.GetAnimations(), hold);
}

void Hash(u64& hash, const void* data, size_t bytes)
{
    const auto* p = static_cast<const u8*>(data);
    for (size_t i = 0; i < bytes; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
}

TEST(AnimationGolden, PalettesOfAPlayedAndBlendedRigStayTheSame)
{
    constexpr u32 kBones = 41;
    CMesh mesh;
    BuildRig(mesh, kBones);
    std::vector<CAnimationController*> controllers;
    for (u32 m = 0; m < 4; ++m) {
        CAnimationController* c = mesh.CreateAnimationController();
        ASSERT_NE(c, nullptr);
        c->ResetModelPose();
        ASSERT_EQ(c->SetAnimation(0, f32(m) * 0.37f, m == 3 ? -0.5f : 1.0f + 0.25f * f32(m), 0.0f, m != 1, 2), 1);
        controllers.push_back(c);
    }
    CMatrix world;
    world.RotationY(30.0f);
    world.m[3][0] = 5.0f;
    u64 hash = 1469598103934665603ull;
    std::vector<CMatrix> first;
    for (u32 frame = 0; frame < 90; ++frame) {
        if (frame == 40) {
            EXPECT_EQ(controllers[0]->SetAnimation(1, 0.0f, 1.0f, 0.5f, 1, 2), 1);
        }
        if (frame == 60) {
            EXPECT_EQ(controllers[2]->SetAnimation(1, 0.0f, 1.0f, 0.0f, 0, 2), 1);
        }
        for (CAnimationController* c : controllers) {
            ASSERT_EQ(c->AdvanceTime(1.0f / 60.0f), 1);
            ASSERT_EQ(c->UpdateMatrices(&world), 1);
            Hash(hash, c->GetMatrixPalette(), sizeof(CMatrix) * kBones);
        }
        if (frame == 0) first.assign(controllers[0]->GetMatrixPalette(), controllers[0]->GetMatrixPalette() + kBones);
    }
    EXPECT_EQ(hash, 10342780038325893644ull);
    // Something moved: the last bone of the first chain is elsewhere now.
    EXPECT_NE(std::memcmp(&first[5], &controllers[0]->GetMatrixPalette()[5], sizeof(CMatrix)), 0);
    for (CAnimationController* c : controllers) c->Destroy();
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

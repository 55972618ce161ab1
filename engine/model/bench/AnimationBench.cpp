// The per-frame animation update of 16 skinned models of 75 bones: every
// controller advanced by a 60th of a second and its bone, skin and palette
// matrices made again (the palette upload is not part of it).
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr u32 kBones = 75;
constexpr u32 kModels = 16;
constexpr u32 kRotationKeys = 31;   // every 160 ticks over a second

// Limbs of eight bones in a chain, each limb hanging from the root; every
// bone but the root turns, moves and scales with its own keys.
void BuildRig(CMesh& mesh)
{
    auto* animation = new CModelAnimation();
    animation->SetName("Run");
    for (u32 i = 0; i < kBones; ++i) {
        auto* bone = new CModelBone();
        const std::string name = i == 0 ? "root" : "Bone" + std::to_string(i);
        bone->SetName(name.c_str());
        if (i > 0) {
            const u32 parent = (i - 1) % 8 == 0 ? 0 : i - 1;
            bone->SetParent(mesh.GetBone(parent));
            mesh.GetBone(parent)->AddChild(bone);
            bone->Transform.m[3][1] = 0.25f;
        }
        AppendElement(mesh.GetBones(), bone);
        if (i == 0) continue;
        auto* keys = new CModelBoneAnimation();
        keys->Bone = bone;
        keys->BoneName = ModelCopyText(name.c_str());
        for (u32 k = 0; k < kRotationKeys; ++k) {
            const f32 t = f32(k) * 160.0f;
            CQuaternion q;
            const CVector3 axis(0.0f, 0.6f, 0.8f);
            q.FromAxisAngle(f32((k * 37 + i * 11) % 90), &axis);
            keys->MakeRotation()->AddKey(t, q, 0.25f);
        }
        keys->MakePosition()->AddKey(0.0f, CVector3(0.0f, 0.25f, 0.0f));
        keys->MakePosition()->AddKey(4800.0f, CVector3(0.0f, 0.3f, 0.05f));
        keys->MakeScaling()->AddKey(0.0f, CVector3(1.0f, 1.0f, 1.0f));
        keys->MakeScaling()->AddKey(4800.0f, CVector3(1.0f, 1.1f, 1.0f));
        void* slot = keys;
        animation->Tracks.Add(&slot);
    }
    AppendElement(mesh.GetAnimations(), animation);
}

void BM_AnimationUpdate16x75(benchmark::State& state)
{
    CMesh mesh;
    BuildRig(mesh);
    std::vector<CAnimationController*> controllers;
    for (u32 m = 0; m < kModels; ++m) {
        CAnimationController* c = mesh.CreateAnimationController();
        c->ResetModelPose();
        // Each model at its own place in the loop.
        c->SetAnimation(0, f32(m) * 0.05f, 1.0f, 0.0f, 1, 2);
        controllers.push_back(c);
    }
    CMatrix world;
    for (auto _ : state) {
        for (CAnimationController* c : controllers) {
            c->AdvanceTime(1.0f / 60.0f);
            c->UpdateMatrices(&world);
        }
        benchmark::DoNotOptimize(controllers.back()->GetMatrixPalette()[kBones - 1].m[3][0]);
        benchmark::ClobberMemory();
    }
    state.counters["bones"] = f64(kModels * kBones);
    state.counters["ns/bone"] =
        benchmark::Counter(f64(kModels * kBones), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    for (CAnimationController* c : controllers) c->Destroy();
}

}  // namespace

BENCHMARK(BM_AnimationUpdate16x75)->Unit(benchmark::kMicrosecond);

// A two-bone arm on real OpenGL: loaded from its model file, posed by an
// animation controller and drawn through the default effect's skinning,
// straight and then bent, lands on the pixels its pose says.
#include "engine/core/Matrix.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/model/AnimationController.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/platform/System.h"
#include "host/render/GlRender.h"
#include "host/window/Window.h"
#include "engine/graphics/tests/gl/GlWindowSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;

namespace {

constexpr i32 kWidth = 128, kHeight = 96;
constexpr u32 kBlack = 0xFF000000, kRed = 0xFFFF0000;

// Two quads 0.4 thick along x: the upper arm from 0 to 1 on "Upper", the
// lower from 1 to 2 on "Lower" (jointed at x = 1). Emissive red over no
// other light: every drawn pixel is exactly red. "Bend" turns the lower
// arm by 90 degrees over 2 s.
std::string TwoBoneModel()
{
    CMesh mesh;
    auto* arm = new CModelObject();
    arm->SetName("Arm");
    CModelVertexList& v = *arm->GetVertexList();
    v.Resize(8);
    v.FormatFlags = kVertexPosition | kVertexNormal;
    v.Stride = 24;
    const f32 corners[4][2] = {{0, -0.2f}, {1, -0.2f}, {1, 0.2f}, {0, 0.2f}};
    for (u32 i = 0; i < 8; ++i) {
        v.GetAt(i)->Position.Set(corners[i % 4][0] + (i < 4 ? 0.0f : 1.0f), corners[i % 4][1], 0);
        v.GetAt(i)->Normal.Set(0, 0, -1);
    }
    const u32 indices[12] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};
    arm->GetIndexList()->Indices.SetArray(indices, 12);
    const CPoint2 range{0, 12};
    arm->GetIndexList()->Ranges.SetArray(&range, 1);
    auto* red = new CModelMaterial();
    red->Emissive = CVector4(1, 0, 0, 1);
    red->Diffuse = CVector4(0, 0, 0, 1);
    red->Ambient = CVector4(0, 0, 0, 1);
    void* slot = red;
    arm->GetMaterialList()->Add(&slot);
    AppendElement(mesh.GetModelObjects(), arm);

    model_test::NewBone(mesh, "root", nullptr);
    CModelBone* upper = model_test::NewBone(mesh, "Upper", "root");
    CModelBone* lower = model_test::NewBone(mesh, "Lower", "Upper");
    lower->Transform.m[3][0] = 1;
    lower->FrameMatrix.m[3][0] = -1;
    for (u32 i = 0; i < 8; ++i) {
        const CBoneInfluence influence{0, i, 1.0f};
        (i < 4 ? upper : lower)->Influences.Add(&influence);
    }
    CModelBoneAnimation* bend = model_test::AddKeys(*model_test::AddAnimation(mesh, "Bend"), "Lower");
    bend->MakeRotation()->AddKey(0, CQuaternion(0, 0, 0, 1));
    bend->MakeRotation()->AddKey(9600, CQuaternion(0, 0, model_test::kSin45, model_test::kSin45));
    mesh.GetAnimation(0)->RebindBones(mesh.GetBones());
    return CWriteMesh::Build(mesh);
}

class SkinnedPixels : public ::testing::Test {
protected:
    void SetUp() override
    {
        system_ = new CSystem();
        ASSERT_EQ(gl_test::CreateGlWindow(*system_, "Arm", kWidth, kHeight), 1);
        device_ = new CGraphicDevice();
        ASSERT_EQ(device_->Create(system_), 1) << "no OpenGL 3.3 core device";
        ASSERT_NE(GetDefaultShader(), nullptr);
    }
    void TearDown() override
    {
        if (device_) device_->Release();
        delete device_;
        delete system_;
        render::InstallBackend(nullptr);
    }

    // Draws the mesh posed, model x 0..2 and y -1..1 scaled by a half into
    // clip space (no camera: the view and projection are the identity).
    void DrawPosed(CMesh& mesh, CAnimationController& controller)
    {
        CMatrix toClip;
        toClip.m[0][0] = toClip.m[1][1] = 0.5f;
        toClip.m[3][0] = -0.5f;
        toClip.m[3][2] = 0.5f;
        controller.UpdateMatrices(&toClip);
        ASSERT_EQ(device_->BeginScene(), 1);
        device_->SetCullMode(1);
        ASSERT_EQ(mesh.Draw(nullptr, nullptr, &controller), 1);
        ASSERT_EQ(device_->EndScene(), 1);
    }

    u32 At(u32 x, u32 y)
    {
        const render::Rect rect{i32(x), i32(y), i32(x + 1), i32(y + 1)};
        u32 argb = 0;
        EXPECT_EQ(device_->GetBackBuffer()->ReadPixels(&rect, &argb), render::Result::Ok);
        return argb;
    }

    static std::string Hex(u32 v)
    {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", v);
        return text;
    }

    CSystem* system_ = nullptr;
    CGraphicDevice* device_ = nullptr;
};

}  // namespace

TEST_F(SkinnedPixels, TheArmIsDrawnStraightThenBent)
{
    const std::string bytes = TwoBoneModel();
    CMesh mesh;
    ASSERT_EQ(mesh.LoadFromMemory(bytes.data(), "Arm", u32(bytes.size()), nullptr, nullptr, nullptr), 1);
    CAnimationController* controller = mesh.CreateAnimationController();
    ASSERT_NE(controller, nullptr);
    controller->SetAnimationSimple(0, 0.0f, 0, 0);

    // Straight: the upper arm covers pixels 32-64 across, the lower 64-96,
    // rows 43-52 (y = 0 is row 48).
    DrawPosed(mesh, *controller);
    EXPECT_EQ(Hex(At(40, 48)), Hex(kRed));
    EXPECT_EQ(Hex(At(88, 48)), Hex(kRed));
    EXPECT_EQ(Hex(At(64, 68)), Hex(kBlack));
    EXPECT_EQ(Hex(At(40, 60)), Hex(kBlack));

    // Bent 90 degrees: the lower arm hangs from the joint, x 0.8-1.2 and
    // y 0 to -1, pixels 58-70 across and rows 48-72.
    controller->AdvanceTime(2.0f);
    DrawPosed(mesh, *controller);
    EXPECT_EQ(Hex(At(40, 48)), Hex(kRed));
    EXPECT_EQ(Hex(At(64, 68)), Hex(kRed));
    EXPECT_EQ(Hex(At(88, 48)), Hex(kBlack));
    EXPECT_EQ(Hex(At(64, 30)), Hex(kBlack));
    controller->Destroy();
}

}  // namespace ORV_TEST_FILE_ID

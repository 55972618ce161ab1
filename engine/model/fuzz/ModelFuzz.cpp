// Fuzz driver for the engine model file reader: any bytes are read into a
// mesh (with a texture cache, so the caching path runs too); whatever is
// read is written out again and read back, which must succeed, and a
// refused input must leave the mesh empty. A mesh that reads is posed by an
// animation controller through each of its sets.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/WriteMesh.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Names from the input never reach the file system.
CResourceBase* NamedPlaceholder(const char* name, CqelPackFile*)
{
    auto* texture = new CResourceBase();
    if (texture && name) texture->SetName(name);
    return texture;
}

i32 ReadInto(const void* data, size_t size, CMesh& mesh, CResourceList* textures)
{
    CAnalysMesh reader;
    if (size == 0 || size > UINT32_MAX || !reader.LoadFromMemory(data, u32(size))) return 0;
    // ReadChunks is ReadModel without the device buffers; the texture
    // cache goes in through ReadModel's path only, so exercise both.
    if (textures) {
        CMesh scratch;
        reader.ReadModel(&scratch, "fuzz", textures, nullptr, nullptr);
        reader.SetCursor(0);
    }
    return reader.ReadChunks(&mesh);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetModelTextureFactory(&NamedPlaceholder);
    CResourceList textures;
    CMesh mesh;
    if (!ReadInto(data, size, mesh, &textures)) {
        if (mesh.GetModelObjectCount() != 0 || mesh.GetBoneCount() != 0) std::abort();
        return 0;
    }
    const std::string again = CWriteMesh::Build(mesh);
    CMesh reread;
    if (!ReadInto(again.data(), again.size(), reread, nullptr)) std::abort();
    if (reread.GetModelObjectCount() != mesh.GetModelObjectCount()) std::abort();
    for (u32 b = 0; b < mesh.GetBoneCount(); ++b) mesh.ComputeBoneSphere(b);
    CAnimationController* controller = mesh.CreateAnimationController();
    if (!controller) return 0;
    controller->ResetModelPose();
    for (u32 n = 0; n < mesh.GetAnimations()->GetCount() && n < 8; ++n) {
        controller->SetAnimation(n, 0.5f, 1.0f, 0.25f, 1, 2);
        controller->AdvanceTime(0.75f);
        controller->UpdateMatrices(nullptr);
    }
    controller->Destroy();
    return 0;
}

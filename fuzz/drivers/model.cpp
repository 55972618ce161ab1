// Engine model files through CAnalysMesh, into a mesh: with a texture cache
// (ReadModel's path, textures made as named placeholders so no name from
// the input reaches the file system) and without (ReadChunks). A refused
// file leaves the mesh empty, and a read one holds no more vertices than
// the file has bytes (or the floor any file may make); what was read is
// written again with CWriteMesh,
// which must read back and write the same bytes once more.
#include "engine/model/AnalysMesh.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelFile.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <string>

namespace {

CResourceBase* NamedPlaceholder(const char* name, CqelPackFile*)
{
    auto* texture = new CResourceBase();
    if (name) texture->SetName(name);
    return texture;
}

i32 ReadInto(const void* data, size_t size, CMesh& mesh, CResourceList* textures)
{
    CAnalysMesh reader;
    if (size == 0 || size > UINT32_MAX || !reader.LoadFromMemory(data, u32(size))) return 0;
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
        FUZZ_CHECK(mesh.GetModelObjectCount() == 0 && mesh.GetBoneCount() == 0);
        return 0;
    }
    // Past the floor, every vertex takes at least a byte of the file.
    u64 vertices = 0;
    for (u32 i = 0; i < mesh.GetModelObjectCount(); ++i)
        vertices += mesh.GetModelObject(i)->GetVertexList()->GetCount();
    FUZZ_CHECK(vertices <= std::max<u64>(size, kModelVertexFloor));
    const std::string again = CWriteMesh::Build(mesh);
    CMesh reread;
    FUZZ_CHECK(ReadInto(again.data(), again.size(), reread, nullptr) == 1);
    FUZZ_CHECK(reread.GetModelObjectCount() == mesh.GetModelObjectCount());
    FUZZ_CHECK(reread.GetBoneCount() == mesh.GetBoneCount());
    FUZZ_CHECK(CWriteMesh::Build(reread) == again);

    // A mesh that reads is posed through each of its sets.
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

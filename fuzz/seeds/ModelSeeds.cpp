// Seeds of the model reader: the model files CWriteMesh writes for the
// tests' meshes (rigid, skinned, and one using every part of the format),
// an empty mesh, and the skinned file cut short; the hand-laid skinned file
// with every size word wrong, and the rigid one without its object's end
// marker (both read).
#include "engine/core/Endian.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/model/tests/ModelMeshes.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

void MakeModelSeeds(const std::string& root)
{
    Sink sink(root, "model");
    const std::pair<const char*, void (*)(CMesh&)> meshes[] = {
        {"rigid", model_test::BuildRigid},
        {"skinned", model_test::BuildSkinned},
        {"every-part", model_test::BuildFull},
        {"empty", [](CMesh&) {}},
    };
    for (const auto& [name, build] : meshes) {
        CMesh mesh;
        build(mesh);
        const Bytes file = CWriteMesh::Build(mesh);
        sink.Add(name, file);
        if (std::string(name) == "skinned") sink.Add("skinned-cut-short", file.substr(0, file.size() - 40));
    }
    std::string loose = model_test::SkinnedGolden();
    for (const auto& w : model_test::SkinnedSizeWords()) PutLe32(&loose[w.at], 7);
    sink.Add("skinned-size-words-wrong", loose);
    const std::string rigid = model_test::RigidGolden();
    sink.Add("rigid-object-unclosed", rigid.substr(0, rigid.size() - 4));
}

}  // namespace seeds

// Seeds of the model reader: the model files CWriteMesh writes for the
// tests' meshes (rigid, skinned, and one using every part of the format),
// an empty mesh, and the skinned file cut short; the hand-laid skinned file
// with every size word wrong, and the rigid one without its object's end
// marker (both read); hand-laid files that once read differently once
// written again or cost the reader time and memory; the writer's lists of
// field-less vertices at the floor and one past it.
#include "engine/core/Endian.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/HostileModels.h"
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

    const std::string magic(kModelMagic, kModelMagicSize);
    const std::string unknown = model_test::Bytes().U32(20).U32(100).Raw(std::string(100, 'x')).End();
    const std::string after = model_test::Bytes().End().Raw(std::string(100, 'x'));
    u64 asked = 0;
    sink.Add("bone-before-object", model_test::BoneBeforeObject());
    sink.Add("vertices-of-no-bytes-beside-an-unknown-chunk", magic + model_test::FieldlessObject(93) + unknown);
    sink.Add("vertices-of-no-bytes-after-the-end", magic + model_test::FieldlessObject(94) + after);
    sink.Add("vertices-of-no-bytes-multiplied", model_test::MultiplyingFieldless(4096, &asked));
    sink.Add("key-groups-of-one-key", model_test::KeyRuns(64));
    sink.Add("materials-of-the-least-size", model_test::SmallestMaterials(3, 3));
    sink.Add("vertices-read-again", model_test::VerticesReadAgain());
    // The writer's field-less lists at the floor any file may make, and one
    // vertex past it.
    for (const u32 count : {kModelVertexFloor, kModelVertexFloor + 1}) {
        CMesh mesh;
        AppendElement(mesh.GetModelObjects(), model_test::NewObject("F", kVertexSkin, count));
        sink.Add(count == kModelVertexFloor ? "fieldless-at-the-floor" : "fieldless-past-the-floor",
            CWriteMesh::Build(mesh));
    }
}

}  // namespace seeds

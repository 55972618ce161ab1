// Fuzz driver for the DirectX .x text reader and the converter: any bytes
// are parsed and, when they parse, converted to an engine model file in
// memory. What must hold: a refused input leaves an empty tree and says
// why; an accepted one either converts or says why not; a converted model
// file reads back with the model reader, with one model object per Mesh.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/XConvert.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// Texture names from the input never reach the file system.
CResourceBase* NamedPlaceholder(const char* name, CqelPackFile*)
{
    auto* texture = new CResourceBase();
    if (texture && name) texture->SetName(name);
    return texture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > UINT32_MAX) return 0;
    SetModelTextureFactory(&NamedPlaceholder);
    CqelXFileConverter converter;
    CqelXModel tree;
    if (!converter.ParseMemory(&tree, data, u32(size))) {
        if (tree.GetNodeCount() != 0 || converter.GetErrorText()[0] == '\0') std::abort();
        return 0;
    }
    CMesh built;
    if (!converter.BuildMesh(tree, &built)) {
        if (converter.GetErrorText()[0] == '\0' || built.GetModelObjectCount() != 0) std::abort();
        return 0;
    }
    if (built.GetModelObjectCount() != tree.CountNodesOfType(kXMesh)) std::abort();

    std::string bytes;
    if (!converter.ConvertMemory(data, u32(size), &bytes)) std::abort();
    CAnalysMesh reader;
    CMesh mesh;
    if (!reader.LoadFromMemory(bytes.data(), u32(bytes.size())) || !reader.ReadChunks(&mesh)) std::abort();
    if (mesh.GetModelObjectCount() != built.GetModelObjectCount()) std::abort();
    return 0;
}

// CAnalysMesh: reads an engine model file (ModelFile.h, written by
// CWriteMesh) into a mesh: model objects with vertices, indices, materials,
// collision grids and low models, bones with their skin weights, bone
// groups and animations; textures and effects are shared through the
// caller's caches.
//
// Known chunks and blocks are read by their layout: their size words are
// not used (other tools write them loosely), only an unknown frame is
// skipped by its size. A run of nested blocks ends at its end marker or at
// the end of the data, so an object cut after a whole block is kept.
//
// The file is untrusted. Every count, skipped size and string is checked
// against what is left of the data before anything is allocated for it,
// and every read stops at the end of the data. Vertices come out of one
// budget for the whole file, one per byte but never under
// kModelVertexFloor (a format without fields takes no bytes), and a mesh
// keeps no more vertices than its rewrite has bytes or the floor, so
// whatever reads is read the same once written again. A damaged file is refused
// as a whole: the mesh is filled only once the whole file has been read
// (and, through ReadModel, every model object has made its device
// buffers).
#pragma once

#include "engine/core/ReadBinary.h"
#include "engine/model/ModelBone.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

class CMesh;
class CModelObject;
class CModelMaterial;
class CModelVertexList;
class CModelIndexList;
class CModelAnimation;
class CqelPackFile;

class CAnalysMesh : public CqelReadBinary {
    ORV_VALUE_CLASS(CAnalysMesh)

public:
    CAnalysMesh() = default;
    CAnalysMesh(const CAnalysMesh& other) = default;
    ~CAnalysMesh() override = default;

    // Reads the loaded data into mesh, in place of what it held, and
    // finalizes every model object.
    // textures and shaders (either may be null) are caches looked up by
    // file name, to which new textures and effects are added; with a pack,
    // textures are loaded out of it. The mesh name is not used. 1, or 0
    // with mesh unchanged.
    i32 ReadModel(CMesh* mesh, const char* meshName, CResourceList* textures, CResourceList* shaders,
        CqelPackFile* pack);
    // The reading alone, without device buffers. 1, or 0 with mesh
    // unchanged.
    i32 ReadChunks(CMesh* mesh);
    // 1 when the data begins with the 23 magic bytes.
    i32 CheckMagic() const;

    // An index block's payload and end marker into list: u32 count,
    // indices, u32 range count, (start, count) pairs, 0xFFFFFFFF. 1 or 0.
    i32 ReadIndexList(CModelIndexList* list);

private:
    // Block readers: the cursor stands after the frame's size word; each
    // reads its payload by its layout, up to and including its end marker
    // (a record of nested blocks: up to the end of the data at most).
    bool ReadModelObject(CMesh& mesh);
    bool ReadVertices(CModelVertexList& list);
    bool ReadMaterials(CModelObject& object);
    // A material entry's own fields, name to power.
    bool ReadMaterialFields(CModelMaterial& material);
    bool ReadTexture(CModelMaterial& material);
    bool ReadShader(CModelMaterial& material);
    bool ReadGrid(CModelObject& object);
    bool ReadLowModel(CModelObject& object);
    bool ReadBone(CMesh& mesh);
    // Puts every bone's influences on the vertices they name, once the
    // whole file is read: a bone read before its object skins it as the
    // rewritten file (objects first) does.
    static void ApplyInfluences(CMesh& mesh);
    // A read mesh makes no more vertices than its own rewrite has bytes
    // (or the floor), so what reads is read again once written.
    static bool VerticesFitTheirFile(const CMesh& mesh);
    bool ReadBoneGroup(CMesh& mesh);
    bool ReadAnimation(CMesh& mesh);
    bool ReadBoneKeys(CMesh& mesh, CModelAnimation& animation);
    // Skips an unknown frame's size bytes of payload, which must be there;
    // its end marker must follow.
    bool SkipBlock(u32 size);
    // Nested frames up to the end marker or the end of the data, each read
    // by read(tag, size), a block reader or SkipBlock; false as soon as one
    // fails.
    template <class ReadBlock>
    bool ReadBlocks(ReadBlock read);

    // A frame's type and size: false when the data ends first. An end
    // marker in place of the type gives true with *type = kModelEndMarker.
    bool ReadFrame(u32* type, u32* size);
    // The end marker must be next.
    bool ReadEndMarker();
    // count records of bytes each (plus extra bytes) fit in what is left.
    bool Fits(u64 count, u64 bytes, u64 extra = 0) const;
    // A string into an owned text (null for an empty string); false when
    // the data ends first.
    bool ReadText(char** out);
    bool ReadVector3(f32* out);

    CResourceList* m_textures = nullptr;
    CResourceList* m_shaders = nullptr;
    CqelPackFile* m_pack = nullptr;
    // The bones read so far by name.
    CModelBoneIndex m_boneIndex;
    // Vertices the file may still make, all lists together: one per byte
    // of the file, and never fewer than kModelVertexFloor. A vertex format
    // without fields takes no bytes, so without this a small file could
    // claim its bytes again block after block; the floor lets the small
    // files the writer makes of such lists read back.
    u64 m_vertexBudget = 0;
    // Some vertex list read holds vertices of no bytes.
    bool m_emptyRecords = false;
};

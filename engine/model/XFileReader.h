// CqelAnalysXFile: reads a DirectX .x file in text form into a node tree
// (XFile.h). Data objects of the sixteen known templates become nodes with
// their data read; every other object (template declarations, headers,
// templates the engine does not use) is skipped whole.
//
// The file is untrusted. Every number must be a whole number token, every
// count is checked against what is left of the text before anything is
// sized by it, and the linking pass checks every index (face vertices,
// materials, normals, colours, skin weights) against what it indexes. A
// damaged file is refused as a whole: the tree is left empty and
// GetErrorText says what was wrong and on which line.
#pragma once

#include "engine/core/ReadText.h"
#include "engine/core/Types.h"
#include "engine/model/XFile.h"

#include <string>
#include <string_view>

class CqelAnalysXFile : public CqelReadText {
    ORV_VALUE_CLASS(CqelAnalysXFile)

public:
    // An object's node costs far more than its text needs ("Frame{}" is 7
    // bytes, a node 320): the nodes are held to 8 bytes a byte of text and
    // 1 MiB. Exporters write 70 bytes or more of text a node.
    static constexpr u64 kNodeCost = sizeof(CqelXNode);
    static constexpr u64 kNodeBytesPerTextByte = 8;
    static constexpr u64 kNodeBytesAlways = u64(1) << 20;

    CqelAnalysXFile() = default;
    CqelAnalysXFile(const CqelAnalysXFile& other) = default;
    ~CqelAnalysXFile() override = default;

    // Reads the file at path into tree, in place of what it held. 1, or 0
    // when the file cannot be read, is not a text .x file ("xof " with
    // "txt " at offset 8) or is damaged; tree is then empty.
    i32 Parse(CqelXModel* tree, const char* path);
    // The same for .x text in memory.
    i32 ParseMemory(CqelXModel* tree, const void* data, u32 size);
    // Why the last Parse failed ("line 12: ..."); empty after a success.
    const char* GetErrorText() const { return m_errorText.c_str(); }

    // The linking pass over a tree whose records are read: links between
    // nodes, every index checked, the meshes triangulated, animation
    // lengths. 1, or 0 at the first fault.
    i32 LinkNodes(CqelXModel* tree);
    // The triangle list of a linked mesh node: each face of n indices
    // becomes the fan (i0, i1, i2), (i0, i2, i3) ... (i0, in-2, in-1), the
    // triangles grouped by material. 1, or 0 for a material number past the
    // list or a face material count that fits neither the faces nor one for
    // all.
    i32 TriangulateMesh(CqelXNode* mesh);

protected:
    // Records the first failure: "line N: " and the message. Returns false.
    bool Fail(u32 line, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The line of the cursor, counted from 1.
    u32 CurrentLine();

private:
    i32 ParseLoaded(CqelXModel* tree);
    bool CheckHeader();
    bool ParseObjects(CqelXModel& tree);
    bool OpenObject(CqelXModel& tree, u32 type, CqelXNode*& current);
    bool ReadReference(CqelXModel& tree, CqelXNode* current);
    bool SkipUnknownObject(std::string_view word);
    bool SkipBlockBody(u32 openLine);

    // Structural tokens: a word runs up to a delimiter or a brace, and a
    // brace is a word of its own. Empty at the end of the text.
    bool SkipSpace();
    std::string_view NextWord();
    std::string_view PeekWord();

    // Numbers of the data; what names the value in a message.
    bool ReadU32(u32* out, const char* what);
    bool ReadU16(u16* out, const char* what);
    bool ReadF32(f32* out, const char* what);
    bool ReadF32s(f32* out, u32 count, const char* what);
    bool ReadMatrix(CMatrix* out, const char* what);
    bool ReadQuoted(std::string* out, const char* what);
    // count items of at least wordsEach words can still be in the text.
    bool CheckRoom(u64 count, u32 wordsEach, const char* what);

    // Template data readers.
    bool ReadData(CqelXNode& node);
    bool ReadFaces(XFaceList& faces, u32 count, bool mesh, const char* what);
    bool ReadMesh(XMesh& mesh);
    bool ReadTextureCoords(XMeshTextureCoords& coords);
    bool ReadNormals(XMeshNormals& normals);
    bool ReadVertexColors(XMeshVertexColors& colors);
    bool ReadMaterialList(XMeshMaterialList& list);
    bool ReadMaterial(XMaterial& material);
    bool ReadAnimTicks(XAnimTicksPerSecond& ticks);
    bool ReadAnimationKey(XAnimationKey& key);
    bool ReadSkinHeader(XSkinMeshHeader& header);
    bool ReadSkinWeights(XSkinWeights& weights);

    // Linking steps (XFileLink.cpp).
    bool LinkMesh(CqelXNode& node);
    bool LinkMaterialList(CqelXNode& node);
    bool LinkFrame(CqelXNode& node);
    bool LinkAnimationSet(CqelXModel& tree, CqelXNode& node);
    bool LinkSkinWeights(const CqelXModel& tree, CqelXNode& node);

    std::string m_errorText;
    // Newlines counted up to m_lineCursor.
    u32 m_lineCursor = 0;
    u32 m_line = 1;
};

// Numbers of the engine model file: the magic, the chunk types at the top
// level and the tags of the blocks nested in them. Every chunk and block is
// framed as u32 type, u32 size, payload, u32 end marker.
#pragma once

#include "engine/core/Types.h"

constexpr char kModelMagic[] = "QEL MODEL VER 0.01 FILE";
constexpr u32 kModelMagicSize = 23;
static_assert(sizeof(kModelMagic) == kModelMagicSize + 1);

constexpr u32 kModelEndMarker = 0xFFFFFFFF;
// Vertices any model file may make, however small: a vertex list of no
// fields takes no bytes, so the bound of one vertex per file byte would
// refuse the writer's own small files of such lists. Memory stays linear
// in the file beyond it (a vertex is about 120 bytes).
constexpr u32 kModelVertexFloor = 65536;

enum ModelChunk : u32 {
    kChunkModelObject = 0,
    kChunkBone = 7,
    kChunkBoneGroup = 8,
    kChunkAnimation = 9,
};

enum ModelBlock : u32 {
    kBlockVertices = 1,
    kBlockIndices = 2,
    kBlockMaterialList = 3,
    kBlockMaterial = 4,
    kBlockTexture = 5,
    kBlockShader = 6,
    kBlockBoneKeys = 10,
    kBlockCollisionGrid = 11,
    kBlockLowModel = 12,
};

enum ModelKeyGroup : u32 {
    kKeysRotation = 0,
    kKeysScaling = 1,
    kKeysPosition = 2,
};

// Bytes of one vertex record on file for a format word: the fields of its
// bits (the skin bit stores nothing).
u32 ModelFileVertexBytes(u32 format);

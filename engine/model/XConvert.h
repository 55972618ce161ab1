// CqelXFileConverter: turns a DirectX .x text file into an engine model
// file (ModelFile.h): one model object per Mesh, one bone per Frame that
// matters (named, skinned or a parent), one animation per AnimationSet.
//
// Key times are carried into the engine's 4,800 ticks a second: a file's
// AnimTicksPerSecond scales every key time and animation length (without
// one, the .x default of 4,800 leaves them as they are). Matrix keys become
// scaling, rotation and position keys.
//
// The model is built as a CMesh and written by CWriteMesh, whole or not at
// all.
#pragma once

#include "engine/core/Types.h"
#include "engine/model/XFileReader.h"

#include <string>

class CMesh;

class CqelXFileConverter : public CqelAnalysXFile {
    ORV_VALUE_CLASS_NAMED(CqelXFileConverter, "CqelAnalysXFile")

public:
    CqelXFileConverter() = default;
    CqelXFileConverter(const CqelXFileConverter& other) = default;
    ~CqelXFileConverter() override = default;

    // Converts the .x file at xPath into the model file modelPath. 1, or 0
    // when the .x file cannot be read, is not a text .x file, is damaged or
    // holds no Mesh, or the output cannot be written (GetErrorText says
    // which); a failed conversion leaves modelPath as it was.
    i32 Convert(const char* xPath, const char* modelPath);
    // The model file's bytes for .x text in memory. 1 or 0.
    i32 ConvertMemory(const void* data, u32 size, std::string* out);
    // The mesh that the model file holds for a parsed tree, bone 0 the
    // root. 1, or 0 (mesh untouched) for a tree without a Mesh or one that
    // the model file cannot carry.
    i32 BuildMesh(const CqelXModel& tree, CMesh* mesh);

    // Engine ticks per tick of the file: 4800 / AnimTicksPerSecond (the
    // first one), 1 without one.
    static f64 GetTickScale(const CqelXModel& tree);
    // Engine ticks a second.
    static constexpr f64 kTicksPerSecond = 4800.0;

private:
    i32 ConvertTree(const CqelXModel& tree, std::string* out);
};

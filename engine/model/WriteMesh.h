// CWriteMesh: writes a mesh as an engine model file. The whole file is
// built in memory and then replaces the old one in one step, so a failed
// write leaves the old file as it was.
#pragma once

#include "engine/core/Types.h"

#include <string>

class CMesh;

class CWriteMesh {
public:
    CWriteMesh() = default;
    virtual ~CWriteMesh() = default;
    virtual const char* GetClassName() const { return "CWriteMesh"; }

    // 1, or 0 for a null mesh or path or when the file cannot be written.
    i32 Write(const CMesh* mesh, const char* path);
    // The file's bytes: the magic, then the model objects, the bones from
    // the second on, the bone groups and the animations.
    static std::string Build(const CMesh& mesh);
};

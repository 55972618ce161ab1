// The two hand-laid model files the tests share: a rigid model (one object
// with a material, a texture and a one-cell collision grid, 427 bytes) and
// a skinned model (one object, two bones, a bone group and one animation).
#pragma once

#include "engine/model/tests/ModelBytes.h"

#include <vector>
#include <string>

namespace model_test {

constexpr f32 kHalfRoot2 = 0.70710678f;

inline std::string RigidGolden()
{
    const std::string cellIndices = Bytes().U32(2).U32(28).U32(3).U32(0).U32(1).U32(2).U32(1).U32(0).U32(3).End();
    return Bytes()
        .Magic()
        .U32(0).U32(392)                       // model object chunk
        .Str("Box")
        .U32(1).U32(68)                        // vertex block: 8 + 3 x 20
        .U32(3).U32(0x5)                       // three vertices: position, texture coordinates 0
        .F3(0, 0, 0).F32(0).F32(0)
        .F3(1, 0, 0).F32(1).F32(0)
        .F3(0, 1, 0).F32(0).F32(1)
        .End()
        .U32(2).U32(28)                        // index block: 8 + 4 x 3 + 8 x 1
        .U32(3).U32(0).U32(1).U32(2)
        .U32(1).U32(0).U32(3)
        .End()
        .U32(3).U32(121)                       // material list: 4 + the entry's 117
        .U32(1)
        .U32(4).U32(117)                       // the entry counts its whole record
        .Str("Mat")
        .F4(1, 0.5f, 0.25f, 1)                 // diffuse
        .F4(0.5f, 0.5f, 0.5f, 1)               // ambient
        .F4(0, 0, 0, 1)                        // specular
        .F4(0.125f, 0, 0, 1)                   // emissive
        .U32(2).U32(7).U32(9)                  // blend mode, the two further values
        .F32(8)                                // power
        .U32(5).U32(9).Str("Wood.bmp").End()   // texture block
        .End()                                 // end of the entry
        .End()                                 // end of the list
        .U32(11).U32(123)                      // grid: 54 + 69 for its one cell
        .F3(0.5f, 0.5f, 0).F3(0.5f, 0.5f, 0.5f).F3(1, 1, 1).F3(1, 1, 1)
        .U16(1).U16(1).U16(1)
        .F3(0, 0, -0.5f).F3(1, 1, 0.5f).Str("Cell").Raw(cellIndices)
        .End()
        .End();                                // end of the object
}

inline std::string SkinnedGolden()
{
    return Bytes()
        .Magic()
        .U32(0).U32(129)                       // model object chunk
        .Str("Body")
        .U32(1).U32(56)                        // vertex block: 8 + 2 x 24
        .U32(2).U32(0x3)                       // position and normal
        .F3(0, 0, 0).F3(0, 1, 0)
        .F3(0, 2, 0).F3(1, 0, 0)
        .End()
        .U32(2).U32(28)
        .U32(3).U32(0).U32(1).U32(1)
        .U32(1).U32(0).U32(3)
        .End()
        .U32(3).U32(4).U32(0).End()            // no materials
        .End()
        .U32(7).U32(173)                       // bone chunk
        .Str("Hip").Str("root")
        .Translation(0, 0, 0)                  // transform
        .Translation(0, -1, 0)                 // frame matrix
        .U32(2)
        .U16(0).U32(0).F32(1.0f)
        .U16(0).U32(1).F32(0.5f)
        .U32(0).F32(0).F32(0)                  // link values
        .End()
        .U32(7).U32(163)
        .Str("Knee").Str("Hip")
        .Translation(0, 2, 0)
        .Translation(0, -2, 0)
        .U32(1)
        .U16(0).U32(1).F32(0.5f)
        .U32(1).F32(0.5f).F32(0.25f)
        .End()
        .U32(8).U32(18)                        // bone group
        .Str("Legs").U32(2).Str("Hip").Str("Knee")
        .End()
        .U32(9).U32(110)                       // animation chunk
        .Str("Walk").U32(4800)
        .U32(10).U32(89)                       // key set of the knee
        .Str("Knee")
        .U32(0).U32(2)                         // rotation: time, w x y z, ease
        .F32(0).F4(1, 0, 0, 0).F32(0)
        .F32(4800).F4(kHalfRoot2, 0, 0, kHalfRoot2).F32(0.5f)
        .U32(2).U32(1)                         // position: time, x y z, ease
        .F32(2400).F3(0, 2, 0.5f).F32(0)
        .End()
        .End();
}

// The lengths at which the two files, cut short, are still models: where
// each top-level chunk begins, the file's end, and, inside an object or an
// animation, after its name and after each whole block (a run of blocks
// may end with the data).
inline std::vector<size_t> RigidReadableCuts()
{
    // Object: name, vertices, indices, material list, grid, its marker.
    return {23, 35, 115, 155, 288, 423, 427};
}
inline std::vector<size_t> SkinnedReadableCuts()
{
    // Object: name, vertices, indices, material list, its marker; two
    // bones, the group; animation: name and length, key set, its marker.
    return {23, 36, 104, 144, 160, 23 + 141, 23 + 141 + 185, 23 + 141 + 185 + 175, 23 + 141 + 185 + 175 + 30,
        554 + 17, 554 + 118, 23 + 141 + 185 + 175 + 30 + 122};
}

// Every size word of the two files, with the value it holds, offsets
// worked out from their layouts. The reader does not use them.
struct SizeWord {
    size_t at;
    u32 right;
};
inline std::vector<SizeWord> RigidSizeWords()
{
    return {
        {27, 392},   // model object
        {39, 68},    // vertices
        {119, 28},   // indices
        {159, 121},  // material list
        {171, 117},  // material entry, its whole record
        {263, 9},    // texture
        {292, 123},  // collision grid
        {383, 28},   // the grid cell's indices
    };
}
inline std::vector<SizeWord> SkinnedSizeWords()
{
    return {
        {27, 129},   // model object
        {40, 56},    // vertices
        {108, 28},   // indices
        {148, 4},    // material list
        {168, 173},  // first bone
        {353, 163},  // second bone
        {528, 18},   // bone group
        {558, 110},  // animation
        {575, 89},   // key set
    };
}

}  // namespace model_test

// Hand-laid model files that once cost the reader time or memory, or read
// differently once written again; shared by the tests and the fuzz seeds.
// Sizes are worked out by hand in the comments.
#pragma once

#include "engine/model/ModelVertex.h"
#include "engine/model/tests/ModelBytes.h"

#include <initializer_list>
#include <string>

namespace model_test {

// A model object "F" whose one vertex block has count vertices of format 0
// (no field, so no byte per vertex): 34 bytes.
inline std::string FieldlessObject(u32 count)
{
    return Bytes()
        .U32(0).U32(22)                        // object: name 2 + vertex block 20
        .Str("F")
        .U32(1).U32(8).U32(count).U32(0).End() // vertex block: count, format, no records
        .End();
}

// Objects of no-field vertices, each claiming every byte left after its
// format word (what a bound on the bytes left lets through), in about
// bytes bytes; *asked is the vertices they ask for together.
inline std::string MultiplyingFieldless(u32 bytes, u64* asked)
{
    const u32 objects = (bytes - 23) / 34;
    const u32 size = 23 + objects * 34;
    std::string file = Bytes().Magic();
    *asked = 0;
    for (u32 k = 0; k < objects; ++k) {
        const u32 left = size - (23 + 34 * k + 26);   // past its frame 8, name 2, vertex frame 8, count and format 8
        file += FieldlessObject(left);
        *asked += left;
    }
    return file;
}

// A bone "Arm" under the root with the given influences (object, vertex,
// weight) on no matrices of its own: 153 + 10 per influence.
struct Influence {
    u16 object;
    u32 vertex;
    f32 weight;
};
inline std::string ArmBone(std::initializer_list<Influence> influences)
{
    Bytes b;
    b.U32(7).U32(153 + 10 * u32(influences.size())).Str("Arm").Str("root").Translation(0, 0, 0)
        .Translation(0, 0, 0).U32(u32(influences.size()));
    for (const Influence& i : influences) b.U16(i.object).U32(i.vertex).F32(i.weight);
    return b.U32(0).U32(0).U32(0).End();
}

// "Body", two vertices with positions only: 57 bytes.
inline std::string TwoVertexBody()
{
    return Bytes()
        .U32(0).U32(49)                        // object: name 5 + vertex block 44
        .Str("Body")
        .U32(1).U32(32).U32(2).U32(kVertexPosition).F3(1, 0, 0).F3(0, 2, 0).End()
        .End();
}

// The bone and the object it skins, the bone first; and in the writer's
// order.
inline std::string BoneBeforeObject()
{
    return Bytes().Magic().Raw(ArmBone({{0, 1, 0.5f}})).Raw(TwoVertexBody());
}
inline std::string ObjectBeforeBone()
{
    return Bytes().Magic().Raw(TwoVertexBody()).Raw(ArmBone({{0, 1, 0.5f}}));
}

// The bone "Arm", then an animation "Walk" of one key set for it made of
// pairs one-key groups, a rotation and a position each (60 bytes a pair):
// key n's time is n.
inline std::string KeyRuns(u32 pairs)
{
    Bytes keys;
    for (u32 n = 0; n < pairs; ++n) {
        keys.U32(kKeysRotation).U32(1).F32(f32(n)).F4(1, 0, 0, f32(n)).F32(0.5f);
        keys.U32(kKeysPosition).U32(1).F32(f32(n)).F3(f32(n), 0, 0).F32(0.25f);
    }
    const u32 keySet = 4 + 60 * pairs;         // name "Arm" and the groups
    return Bytes()
        .Magic()
        .Raw(ArmBone({}))
        .U32(9).U32(5 + 4 + 8 + keySet + 4)    // name, length, the key set framed
        .Str("Walk").U32(pairs)
        .U32(10).U32(keySet).Str("Arm").Raw(keys).End()
        .End();
}

// An object "M" whose material list holds count entries of the least size
// there is, each its end marker alone; the file ends with the list's own
// marker, so the list has exactly the bytes it needs.
inline std::string SmallestMaterials(u32 count, u32 entries)
{
    Bytes b;
    b.Magic().U32(0).U32(2 + 12 + 4 * entries + 4).Str("M").U32(3).U32(4 + 4 * entries).U32(count);
    for (u32 i = 0; i < entries; ++i) b.End();
    return b.End();
}

// An object "Twice" whose two vertices are read twice: first with every
// field (96 bytes a vertex), then with positions only.
constexpr u32 kEveryField = kVertexKnownFlags & ~kVertexSkin;
inline std::string VerticesReadAgain()
{
    Bytes full;
    for (u32 v = 0; v < 2; ++v) {
        const f32 s = f32(v + 2);
        full.F3(s, 0, 0).F3(0, 0, 1).F32(s).F32(1).F32(2).F32(s).F32(3).F32(s).F32(4).F32(s)
            .F4(0.5f, 0.25f, 0, 0.5f).F3(0, s, 0).F3(0, 0, s);
    }
    return Bytes()
        .Magic()
        .U32(0).U32(6 + 212 + 44)              // name, 8 + 8 + 192 + 4, 8 + 8 + 24 + 4
        .Str("Twice")
        .U32(1).U32(200).U32(2).U32(kEveryField).Raw(full).End()
        .U32(1).U32(32).U32(2).U32(kVertexPosition).F3(3, 0, 4).F3(0, -2, 0).End()
        .End();
}
inline std::string VerticesReadOnce()
{
    return Bytes()
        .Magic()
        .U32(0).U32(50)
        .Str("Twice")
        .U32(1).U32(32).U32(2).U32(kVertexPosition).F3(3, 0, 4).F3(0, -2, 0).End()
        .End();
}

}  // namespace model_test

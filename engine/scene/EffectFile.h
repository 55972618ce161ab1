// The effect file (.efc), little-endian, floats as IEEE singles:
//
//   u32 N, N bytes        container name with its NUL (N = 0: no name)
//   u32 C                 object count, then C object records:
//     u32 N, N bytes      object name with its NUL, or 0
//     u32 N, N bytes      resource file name with its NUL, or 0
//     nine key-frame blocks (KeyFrameList.h): Position (curve), Rotation,
//                         Scaling, Color, UV, Rect, Animation, Particle, Play
//     u32 60, 60 bytes    node settings
//     u32 156, 156 bytes  particle settings; its last word T counts the
//                         trace entries that follow
//     T trace entries:    u32 (ignored), 12 bytes edge point, 12 bytes edge
//                         point, f32 alpha decrease, f32 width factor, u32
//                         vertex count, u32 N and N bytes texture name or 0
//     u32 N, N bytes      trailing text with its NUL, or 0
//
// Files come from outside the program: every length and count is held
// against what is left before anything is made for it, names are cut at
// their first NUL and always end, a settings block stored longer than ours
// has its excess skipped (a shorter one keeps our defaults past it). A
// trace's vertex count is kept as stored, however large: only the trail
// drawn for it is bounded (CParticle::kMaxTrailVertices). A damaged file is
// refused whole.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneFile.h"

#include <cstddef>
#include <string>

namespace effect_file {

// The smallest object record: three u32 texts of length 0 (name, resource
// name, trailing text); nine key-frame blocks with no name and no keys
// (four words each) and their default values; the two block sizes and
// blocks.
constexpr u32 kMinObjectRecord = 3 * 4 + 9 * 16 + (24 + 12 + 12 + 16 + 12 + 16 + 4 + 4 + 4) + 4 + 60 + 4 + 156;
static_assert(kMinObjectRecord == 484);
// The smallest trace entry: the ignored word, two points, two floats, the
// vertex count and an empty name.
constexpr u32 kMinTraceEntry = 4 + 12 + 12 + 4 + 4 + 4 + 4;

// u32 n and n bytes of text: *out gets an AlignedAlloc'd copy of the text
// up to its first NUL, always ended (null for n = 0); false when the bytes
// are not there or the copy cannot be made.
bool ReadText(scene_file::Reader& in, char** out);

void AppendU32(std::string& out, u32 value);
void AppendF32(std::string& out, f32 value);
// u32 strlen + 1 and the text with its NUL; u32 0 for null.
void AppendText(std::string& out, const char* text);

}  // namespace effect_file

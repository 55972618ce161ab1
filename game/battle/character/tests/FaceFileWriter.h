// Face files for tests and fuzz seeds, laid out field by field apart from
// the reader: u32 n; n records of a 260-byte name and two word tracks;
// u32 m; m u32 values.
#pragma once

#include "engine/core/Types.h"

#include <cstring>
#include <string>
#include <vector>

namespace face_test {

struct Key {
    f32 time;
    u32 value;
};

struct Face {
    std::string name;
    std::vector<Key> tracks[2];
};

inline void PutU32(std::string& b, u32 v)
{
    for (int i = 0; i < 4; ++i) b += char(u8(v >> (8 * i)));
}
inline void PutF32(std::string& b, f32 v)
{
    u32 bits;
    std::memcpy(&bits, &v, 4);
    PutU32(b, bits);
}

// One track block: no name, the keys (time, ease 0, value), interpolate 0,
// loop 1, default 0.
inline std::string TrackBytes(const std::vector<Key>& keys)
{
    std::string b;
    PutU32(b, 0);
    PutU32(b, u32(keys.size()));
    for (const Key& k : keys) {
        PutF32(b, k.time);
        PutF32(b, 0.0f);
        PutU32(b, k.value);
    }
    PutU32(b, 0);
    PutU32(b, 1);
    PutU32(b, 0);
    return b;
}

inline std::string FaceFileBytes(const std::vector<Face>& faces, const std::vector<u32>& values)
{
    std::string b;
    PutU32(b, u32(faces.size()));
    for (const Face& face : faces) {
        std::string name = face.name;
        name.resize(260, '\0');
        b += name;
        for (const auto& track : face.tracks) b += TrackBytes(track);
    }
    PutU32(b, u32(values.size()));
    for (u32 v : values) PutU32(b, v);
    return b;
}

}  // namespace face_test

// Hand-laid model files for the tests: fields appended one by one in
// little-endian order. Sizes are given by the tests as numbers worked out
// by hand, never computed here, so a golden file and the writer cannot
// share a mistake.
#pragma once

#include "engine/core/Endian.h"
#include "engine/core/Types.h"
#include "engine/model/ModelFile.h"

#include <cstring>
#include <string>

namespace model_test {

class Bytes {
public:
    Bytes& U16(u16 v)
    {
        AppendLe16(s_, v);
        return *this;
    }
    Bytes& U32(u32 v)
    {
        AppendLe32(s_, v);
        return *this;
    }
    Bytes& F32(f32 v)
    {
        u32 bits;
        std::memcpy(&bits, &v, 4);
        return U32(bits);
    }
    Bytes& F3(f32 x, f32 y, f32 z) { return F32(x).F32(y).F32(z); }
    Bytes& F4(f32 x, f32 y, f32 z, f32 w) { return F32(x).F32(y).F32(z).F32(w); }
    // The text and its NUL.
    Bytes& Str(const char* text)
    {
        s_.append(text);
        s_.push_back('\0');
        return *this;
    }
    Bytes& Raw(const std::string& bytes)
    {
        s_ += bytes;
        return *this;
    }
    Bytes& End() { return U32(0xFFFFFFFF); }
    Bytes& Magic()
    {
        s_.append("QEL MODEL VER 0.01 FILE", 23);
        return *this;
    }
    // A 4x4 matrix, identity but for its translation row.
    Bytes& Translation(f32 x, f32 y, f32 z)
    {
        return F4(1, 0, 0, 0).F4(0, 1, 0, 0).F4(0, 0, 1, 0).F4(x, y, z, 1);
    }
    const std::string& str() const { return s_; }
    operator std::string() const { return s_; }   // NOLINT: builders read as strings
    size_t size() const { return s_.size(); }

private:
    std::string s_;
};

}  // namespace model_test

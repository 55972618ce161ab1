// The file-format readers behind Decode. Each fills width, height, fileFormat
// and the A8R8G8B8 pixels of the file's own size, or says why it cannot.
#pragma once

#include "host/image/Image.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace host::image::detail {

inline uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
inline uint32_t Be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

// A file's texels at its own size, rows top first: the decoder's own
// buffer (stb's) or one of ours. A8R8G8B8, or with fromRgba stb's R, G, B,
// A bytes still to be turned, with alpha ORed in (opaque files): a
// texture's texels are then touched once on their way to it.
struct Texels {
    uint32_t width = 0, height = 0;
    std::unique_ptr<uint32_t, void (*)(void*)> decoder{nullptr, nullptr};
    std::vector<uint32_t> owned;
    bool fromRgba = false;
    uint32_t alpha = 0;
    // Already A8R8G8B8 and keyed in the destination (DecodePng).
    bool placed = false;
    uint32_t* Data() { return decoder ? decoder.get() : owned.data(); }
};

// Told the file's size once its header is checked, before anything is
// decoded; false stops the decode (the reason already set).
using Sized = std::function<bool(uint32_t width, uint32_t height)>;

// False (with the reason) for a side of 0 or one past kMaxSide, or past
// kMaxPixels in all.
bool CheckSize(uint64_t width, uint64_t height, std::string& error);

bool IsDds(const uint8_t* p, size_t size);
bool DecodeDds(const uint8_t* p, size_t size, const Sized& sized, Texels& out, std::string& error);

// Where a reader may write the file's rows itself, once sized: the
// destination when the size stays (pitch in pixels), else null.
using Rows = std::function<uint32_t*(size_t& pitch)>;

// Chunks sound and within the file, IHDR first and IEND last, enough image
// data for the size claimed.
bool CheckPng(const uint8_t* p, size_t size, std::string& error);
// Where a PNG's rows start in its inflated bytes: passes (one, or seven
// interlaced) of rows of stride bytes, a filter byte first in each.
struct RowLayout {
    struct Pass {
        uint64_t rows = 0, stride = 0;
    };
    Pass passes[7];
    int count = 0;
    uint64_t Bytes() const
    {
        uint64_t n = 0;
        for (int i = 0; i < count; ++i) n += passes[i].rows * passes[i].stride;
        return n;
    }
};
// Walks a raw deflate stream's codes without inflating it: null when zlib
// would inflate it to the end of its last block, giving need bytes or more,
// else why not ("image data cut short", "damaged image data", "too little
// image data"); given the rows' layout, also "a row filter PNG does not
// have" for a filter byte past 4 among the first need bytes.
const char* WalkDeflate(const uint8_t* p, size_t size, uint64_t need, const RowLayout* rows = nullptr);
// Where the checked file's rows start.
RowLayout PngRows(const uint8_t* p);
// What this thread's PNG reads did past their rows, added up: bytes
// inflated, and streams walked to their end instead.
struct PastRows {
    uint64_t inflated = 0;
    uint32_t walks = 0;
};
PastRows& PngPastRows();
// A checked file claiming a picture far larger than itself has its stream
// walked, filter bytes and all, before any room is made for it: false
// (with the reason) when the walk refuses it.
bool WalkPng(const uint8_t* p, size_t size, std::string& error);
// Checks the file, then decodes it (any colour type, depth and
// interlacing) into rows() when it gives a place (placed set; texels equal
// to key, when not 0, made 0 there), else into out.owned; A8R8G8B8 either
// way, the texels stb gives for the same file (DecodeStb still reads PNG
// files, for comparing the two).
bool DecodePng(const uint8_t* p, size_t size, const Sized& sized, const Rows& rows, uint32_t key, Texels& out,
               std::string& error);

// The format of a BMP, PNG, JPG or TGA file by its first bytes, or false.
bool SniffStbFormat(const uint8_t* p, size_t size, uint32_t& format);
// Checks the file's structure against its size, then decodes it with stb_image.
bool DecodeStb(const uint8_t* p, size_t size, uint32_t format, const Sized& sized, Texels& out, std::string& error);

}  // namespace host::image::detail

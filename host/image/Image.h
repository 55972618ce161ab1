// The image service: loads the image files the engine draws as textures
// (BMP, PNG, TGA, JPG and DDS) into A8R8G8B8 pixels, the way the texture
// loader of Direct3D's helper library did: an optional colour key made
// transparent, the size stretched to powers of two, the file's own size kept
// beside it. Writes the 24-bit BMP files that screenshots are saved as.
//
// Pure code: no device, no backend, safe on any thread (loader threads load
// textures). Every size and offset read from a file is checked before it is
// used; a damaged file is refused with a reason. Not read: run-length BMPs,
// palettes not starting at entry 0 in TGAs, DDS files other than DXT1-5 and
// 16/24/32-bit RGB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace host::image {

// Image file format numbers, as the texture loader reports them.
constexpr uint32_t kFileBmp = 0;
constexpr uint32_t kFileJpg = 1;
constexpr uint32_t kFileTga = 2;
constexpr uint32_t kFilePng = 3;
constexpr uint32_t kFileDds = 4;

// The loader's usual colour key: opaque pure green.
constexpr uint32_t kGreenKey = 0xFF00FF00u;

// Larger files are refused before anything is allocated for them.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = uint64_t(1) << 26;

struct Image {
    uint32_t width = 0;       // of the pixels below (after stretching)
    uint32_t height = 0;
    uint32_t srcWidth = 0;    // as the file says
    uint32_t srcHeight = 0;
    uint32_t levels = 0;      // the full mip chain of width x height
    uint32_t fileFormat = kFileBmp;
    // A8R8G8B8, width x height, rows top first (empty with a destination).
    std::vector<uint32_t> pixels;
};

struct DecodeOptions {
    // Texels equal to this value become 0x00000000; 0 keys nothing.
    uint32_t colorKey = 0;
    // Stretch each side up to a power of two (triangle filter; past the edges
    // the edge texel repeats, as a mirror that repeats it would give).
    bool powerOfTwo = true;
    // When not 0, no side exceeds it after rounding (a device's largest
    // texture); a power of two itself when powerOfTwo is set.
    uint32_t maxSide = 0;
    // When set, the pixels go to the memory it gives for the final size
    // (pitch in pixels) instead of Image::pixels; null refuses the image.
    // Called before the file is decoded, at most once.
    std::function<uint32_t*(uint32_t width, uint32_t height, size_t& pitch)> destination;
};

// Decodes one image file held in memory into out. False, with out emptied
// and a reason in *error, for an unknown, unsupported or damaged file.
bool Decode(const void* bytes, size_t size, const DecodeOptions& options, Image& out,
    std::string* error = nullptr);
// With the colour key and power-of-two stretching, as textures are loaded.
bool Decode(const void* bytes, size_t size, uint32_t colorKey, Image& out, std::string* error = nullptr);

// The same for a file, read through the kernel service (code page 932 path).
bool DecodeFile(std::string_view path, const DecodeOptions& options, Image& out, std::string* error = nullptr);
bool DecodeFile(std::string_view path, uint32_t colorKey, Image& out, std::string* error = nullptr);

// A whole 24-bit BMP file: 54-byte header, rows bottom-up, each padded with
// zeros to 4 bytes; alpha is dropped. pixels are A8R8G8B8, rows top first,
// pitch bytes apart. False (out empty) for an empty image, a pitch shorter
// than a row, or a file past 32 bits.
bool WriteBmp24(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitch, std::vector<uint8_t>& out);

// A whole compressed 32-bit PNG file (alpha kept), from the same pixels:
// generated pictures that are mostly flat stay small. False (out empty)
// where WriteBmp24 refuses, or past the encoder's 31-bit sizes.
bool WritePng(const uint32_t* pixels, uint32_t width, uint32_t height, size_t pitch, std::vector<uint8_t>& out);

}  // namespace host::image

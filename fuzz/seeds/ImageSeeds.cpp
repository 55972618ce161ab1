// Seeds of the image loader: 24-bit BMP files from the screenshot writer,
// and the BMP and DDS files the PSD reader writes (grey, grey and alpha,
// RGB and RGBA), from patterns whose channels all differ, and DDS luminance
// and alpha surfaces laid out field by field.
#include "engine/core/Memory.h"
#include "engine/graphics/ImageReader.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"
#include "host/image/Image.h"

namespace seeds {

namespace {

// Interleaved bytes, each channel of each pixel its own value.
std::vector<u8> Pattern(u32 width, u32 height, u32 channels)
{
    std::vector<u8> pixels;
    for (u32 y = 0; y < height; ++y)
        for (u32 x = 0; x < width; ++x)
            for (u32 c = 0; c < channels; ++c) pixels.push_back(u8(x * 29 + y * 53 + c * 71 + 7));
    return pixels;
}

// The file an encoder made, its block freed.
template <class Encode>
Bytes Encoded(Encode encode)
{
    u32 size = 0;
    u8* bytes = encode(&size);
    FUZZ_CHECK(bytes != nullptr);
    Bytes out(reinterpret_cast<const char*>(bytes), size);
    AlignedFree(bytes);
    return out;
}

// A DDS of masked texels laid out field by field: "DDS ", the 124-byte
// description (pitch 0: tight rows), the texels.
Bytes MaskedDds(u32 w, u32 h, u32 flags, u32 bits, u32 grey, u32 alpha)
{
    Bytes b("DDS ", 4);
    for (u32 v : {124u, 0x1007u, h, w, 0u, 0u, 1u}) Le32(b, v);
    b += Bytes(44, '\0');
    for (u32 v : {32u, flags, 0u, bits, grey, 0u, 0u, alpha, 0x1000u}) Le32(b, v);
    b += Bytes(16, '\0');
    for (u32 i = 0; i < w * h * bits / 8; ++i) b += char(i * 37 + 11);
    return b;
}

}  // namespace

void MakeImageSeeds(const std::string& root)
{
    Sink sink(root, "image");
    // Odd widths make the rows padded; 1 x 1 is the smallest file.
    for (const auto& [w, h] : {std::pair<u32, u32>{5, 3}, {1, 1}, {8, 2}}) {
        const std::vector<u8> argb = Pattern(w, h, 4);
        std::vector<uint8_t> bmp;
        FUZZ_CHECK(host::image::WriteBmp24(reinterpret_cast<const uint32_t*>(argb.data()), w, h, w * 4, bmp));
        sink.Add("screenshot-" + std::to_string(w) + "x" + std::to_string(h) + ".bmp", Bytes(bmp.begin(), bmp.end()));
    }
    for (u32 channels = 1; channels <= 4; ++channels) {
        const u32 w = 3 + channels, h = 3;
        const std::vector<u8> pixels = Pattern(w, h, channels);
        const std::string name = "layer-" + std::to_string(channels) + "-channels";
        sink.Add(name + ".bmp",
                 Encoded([&](u32* size) { return EncodeBMP(pixels.data(), w, h, channels, 2835, 3780, size); }));
        sink.Add(name + ".dds", Encoded([&](u32* size) { return EncodeDDS(pixels.data(), w, h, channels, size); }));
    }
    // Luminance and alpha surfaces.
    sink.Add("l8.dds", MaskedDds(5, 3, 0x20000, 8, 0xFF, 0));
    sink.Add("a8l8.dds", MaskedDds(3, 2, 0x20001, 16, 0xFF, 0xFF00));
    sink.Add("a4l4.dds", MaskedDds(4, 4, 0x20001, 8, 0x0F, 0xF0));
    sink.Add("a8.dds", MaskedDds(2, 3, 0x2, 8, 0, 0xFF));
}

}  // namespace seeds

#include "game/battle/testdata/Lettering.h"

#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <stb/stb_easy_font.h>
#include <stb/stb_truetype.h>

#include <algorithm>
#include <cmath>

namespace battle_data {
namespace {

// The proportional cut first: it reads best in narrow cells.
constexpr const char* kFontFiles[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf",
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
};

struct Font {
    std::string path, bytes;
    stbtt_fontinfo info{};
    bool ready = false;
};

const Font& LoadedFont()
{
    static const Font font = [] {
        Font f;
        for (const char* path : kFontFiles) {
            if (!host::kernel::ReadWholeFile(path, f.bytes)) continue;
            const auto* data = reinterpret_cast<const unsigned char*>(f.bytes.data());
            if (stbtt_InitFont(&f.info, data, stbtt_GetFontOffsetForIndex(data, 0))) {
                f.path = path;
                f.ready = true;
                break;
            }
        }
        return f;
    }();
    return font;
}

// Blends colour over the texel by coverage 0..255.
void Blend(Picture& p, i32 x, i32 y, i32 right, i32 bottom, u32 colour, u32 coverage)
{
    if (x < 0 || y < 0 || x >= right || y >= bottom || x >= i32(p.width) || y >= i32(p.height) || coverage == 0)
        return;
    u32& t = p.texels[size_t(y) * p.width + u32(x)];
    u32 out = t & 0xFF000000u;
    for (u32 shift : {0u, 8u, 16u}) {
        const u32 a = (t >> shift) & 0xFF, b = (colour >> shift) & 0xFF;
        out |= ((a * (255 - coverage) + b * coverage) / 255) << shift;
    }
    t = out;
}

// The coverage mask of text, top-left at the origin, width x height.
std::vector<u8> Mask(const std::string& text, f32 pixels, i32& width, i32& height)
{
    const Font& font = LoadedFont();
    width = std::max(1, TextWidth(text, pixels));
    height = i32(std::ceil(pixels)) + 2;
    std::vector<u8> mask(size_t(width) * size_t(height), 0);
    if (font.ready) {
        const f32 scale = stbtt_ScaleForPixelHeight(&font.info, pixels);
        int ascent = 0, descent = 0, gap = 0;
        stbtt_GetFontVMetrics(&font.info, &ascent, &descent, &gap);
        const i32 baseline = i32(std::lround(f32(ascent) * scale));
        f32 pen = 0.0f;
        for (size_t i = 0; i < text.size(); ++i) {
            const int code = u8(text[i]);
            int advance = 0, bearing = 0, x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            stbtt_GetCodepointHMetrics(&font.info, code, &advance, &bearing);
            stbtt_GetCodepointBitmapBox(&font.info, code, scale, scale, &x0, &y0, &x1, &y1);
            const i32 left = i32(pen) + x0, top = baseline + y0;
            const i32 w = x1 - x0, h = y1 - y0;
            if (w > 0 && h > 0) {
                std::vector<u8> glyph(size_t(w) * size_t(h));
                stbtt_MakeCodepointBitmap(&font.info, glyph.data(), w, h, w, scale, scale, code);
                for (i32 y = 0; y < h; ++y)
                    for (i32 x = 0; x < w; ++x) {
                        const i32 mx = left + x, my = top + y;
                        if (mx < 0 || my < 0 || mx >= width || my >= height) continue;
                        u8& m = mask[size_t(my) * size_t(width) + size_t(mx)];
                        m = std::max(m, glyph[size_t(y) * size_t(w) + size_t(x)]);
                    }
            }
            pen += f32(advance) * scale;
            if (i + 1 < text.size()) pen += f32(stbtt_GetCodepointKernAdvance(&font.info, code, u8(text[i + 1]))) * scale;
        }
        return mask;
    }
    // The built-in font: quads on a grid 12 units high (7 to the baseline).
    std::vector<float> quads(text.size() * 270 + 64);
    std::string copy = text;
    const int count = stb_easy_font_print(0, 0, copy.data(), nullptr, quads.data(), int(quads.size() * sizeof(float)));
    const f32 unit = pixels / 10.0f;
    for (int q = 0; q < count; ++q) {
        const float* v = &quads[size_t(q) * 16];   // four vertices of x, y, z, colour
        const i32 x0 = i32(v[0] * unit), y0 = i32(v[1] * unit), x1 = i32(std::ceil(v[8] * unit)),
                  y1 = i32(std::ceil(v[9] * unit));
        for (i32 y = std::max(0, y0); y < std::min(height, y1); ++y)
            for (i32 x = std::max(0, x0); x < std::min(width, x1); ++x) mask[size_t(y) * size_t(width) + size_t(x)] = 255;
    }
    return mask;
}

}  // namespace

void Picture::Fill(i32 x, i32 y, i32 w, i32 h, u32 argb)
{
    for (i32 yy = std::max(0, y); yy < std::min(i32(height), y + h); ++yy)
        for (i32 xx = std::max(0, x); xx < std::min(i32(width), x + w); ++xx) texels[size_t(yy) * width + u32(xx)] = argb;
}

void Picture::Frame(i32 x, i32 y, i32 w, i32 h, u32 argb)
{
    Fill(x, y, w, 1, argb);
    Fill(x, y + h - 1, w, 1, argb);
    Fill(x, y, 1, h, argb);
    Fill(x + w - 1, y, 1, h, argb);
}

std::string Picture::Png() const
{
    std::vector<uint8_t> bytes;
    host::image::WritePng(texels.data(), width, height, size_t(width) * 4, bytes);
    return std::string(bytes.begin(), bytes.end());
}

i32 TextWidth(const std::string& text, f32 pixels)
{
    const Font& font = LoadedFont();
    if (!font.ready) {
        std::string copy = text;
        return i32(std::ceil(f32(stb_easy_font_width(copy.data())) * pixels / 10.0f)) + 1;
    }
    const f32 scale = stbtt_ScaleForPixelHeight(&font.info, pixels);
    f32 pen = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&font.info, u8(text[i]), &advance, &bearing);
        pen += f32(advance) * scale;
        if (i + 1 < text.size()) pen += f32(stbtt_GetCodepointKernAdvance(&font.info, u8(text[i]), u8(text[i + 1]))) * scale;
    }
    return i32(std::ceil(pen)) + 1;
}

void Write(Picture& picture, i32 x, i32 y, i32 clipRight, i32 clipBottom, const std::string& text, f32 pixels,
           u32 colour)
{
    if (text.empty()) return;
    i32 w = 0, h = 0;
    const std::vector<u8> mask = Mask(text, pixels, w, h);
    for (i32 pass = 0; pass < 2; ++pass) {
        const i32 d = pass == 0 ? 1 : 0;   // the shadow, then the letters
        const u32 c = pass == 0 ? 0xFF000000u : colour;
        for (i32 my = 0; my < h; ++my)
            for (i32 mx = 0; mx < w; ++mx)
                Blend(picture, x + mx + d, y + my + d, clipRight, clipBottom, c, mask[size_t(my) * size_t(w) + size_t(mx)]);
    }
}

const std::string& LetteringFont() { return LoadedFont().path; }

}  // namespace battle_data

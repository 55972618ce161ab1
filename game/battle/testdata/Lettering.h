// Words written into generated textures, so the data set's menus and
// banners read as what they stand for. Glyphs come from a Debian font
// (fonts-ipafont-gothic) when one is installed, else from stb's small
// built-in stroke font, so the set can always be written.
#pragma once

#include "engine/core/Types.h"

#include <string>
#include <vector>

namespace battle_data {

// A picture being drawn: A8R8G8B8 texels, rows top first.
struct Picture {
    u32 width = 0, height = 0;
    std::vector<u32> texels;

    Picture(u32 w, u32 h, u32 argb) : width(w), height(h), texels(size_t(w) * h, argb) {}
    void Fill(i32 x, i32 y, i32 w, i32 h, u32 argb);
    // A one-texel frame just inside the rectangle.
    void Frame(i32 x, i32 y, i32 w, i32 h, u32 argb);
    // PNG bytes (the loader reads them under any name).
    std::string Png() const;
};

// The width in texels text (ASCII) takes at a glyph height of pixels.
i32 TextWidth(const std::string& text, f32 pixels);

// Writes text with its top-left at (x, y), clipped to the box
// (x, y)..(clipRight, clipBottom), in colour over a one-texel dark shadow,
// so it reads on any fill.
void Write(Picture& picture, i32 x, i32 y, i32 clipRight, i32 clipBottom, const std::string& text, f32 pixels,
           u32 colour);

// Where the glyphs came from: the font file, or "" for the built-in font.
const std::string& LetteringFont();

}  // namespace battle_data

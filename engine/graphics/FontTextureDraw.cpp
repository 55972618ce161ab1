// Measuring and drawing through the glyph atlas: each character is looked
// up (and rendered when new) as a string of its own and drawn as a sprite of
// its atlas rectangle.
#include "engine/graphics/FontTexture.h"

#include "engine/graphics/Shapes2D.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>

namespace {

u32 CharBytes(const char* p) { return host::kernel::IsDBCSLeadByte(u8(p[0])) && p[1] ? 2 : 1; }

// How far the alignment moves a text of this size to the left and up.
f32 OffsetX(u8 flags, f32 width)
{
    if (flags & kTextLeft) return 0.0f;
    if (flags & kTextCentre) return width / 2.0f;
    return width;
}

f32 OffsetY(u8 flags, f32 height)
{
    if (flags & kTextTop) return 0.0f;
    if (flags & kTextMiddle) return height / 2.0f;
    return height;
}

bool IsTopLeft(u8 flags) { return (flags & kTextLeft) && (flags & kTextTop); }

void SetOutputs(f32* outX, f32* outY, f32 x, f32 y)
{
    if (outX) *outX = x;
    if (outY) *outY = y;
}

// The eight outline copies, then the text. base(dx, dy, colour, last)
// draws one copy; a failing first copy ends it.
template <class Base>
i32 Outlined(f32 d, u32 colour, u32 outlineColour, Base base)
{
    static constexpr f32 kAround[8][2] = {{1, 1}, {1, -1}, {1, 0}, {-1, 1}, {-1, -1}, {-1, 0}, {0, 1}, {0, -1}};
    for (int i = 0; i < 8; ++i) {
        if (!base(kAround[i][0] * d, kAround[i][1] * d, outlineColour, false) && i == 0) return 0;
    }
    return base(0.0f, 0.0f, colour, true);
}

}  // namespace

f32 CFontTexture::Factor(u32 fontSize, f32 scale) const
{
    return m_fontSize ? f32(fontSize) / f32(m_fontSize) * scale : 0.0f;
}

const FontCacheEntry* CFontTexture::CharacterEntry(const char* text, u32 bytes)
{
    char one[3] = {};
    std::memcpy(one, text, bytes);
    if (const FontCacheEntry* entry = FindCachedText(one)) return entry;
    if (!CacheText(one, 0, 0)) return nullptr;
    return FindCachedText(one);
}

void CFontTexture::DrawEntry(const FontCacheEntry& entry, f32 x, f32 y, f32 z, f32 scaleX, f32 scaleY, u32 colour)
{
    CRect4 source;
    source.Set(f32(entry.x), f32(entry.x + entry.width), f32(entry.y), f32(entry.y + entry.height));
    DrawSpriteTopLeftAtDepth(x, y, z, &source, scaleX, scaleY, colour, kOrientNormal, 0, 0);
}

template <class Place>
bool CFontTexture::WalkText(const Line& line, const char* text, Pen& pen, Place place)
{
    pen = Pen{};
    pen.x = pen.maxX = line.x;
    pen.y = line.y;
    const auto newLine = [&] {
        pen.x = line.lineStartX;
        pen.y += line.lineAdvance * line.scale;
        pen.textHeight += line.lineAdvance * line.scale;
        pen.maxLineWidth = std::max(pen.maxLineWidth, pen.lineWidth);
        pen.lineWidth = pen.lineHeight = 0.0f;
        pen.bytesOnLine = 0;
        pen.broken = true;
    };
    bool ok = true;
    for (const char* p = text; *p;) {
        if (*p == '\r') {
            ++p;
            continue;
        }
        if (*p == '\n' && line.breaks) {
            newLine();
            ++p;
            continue;
        }
        const u32 bytes = CharBytes(p);
        if (line.breaks && line.maxBytesPerLine && pen.bytesOnLine >= line.maxBytesPerLine) newLine();
        const FontCacheEntry* entry = CharacterEntry(p, bytes);
        if (!entry) {
            ok = false;
            break;
        }
        const f32 w = f32(entry->width) * line.s, h = f32(entry->height) * line.s;
        place(*entry, pen.x, pen.y);
        pen.x += w;
        pen.lineWidth += w;
        pen.lineHeight = std::max(pen.lineHeight, h);
        pen.bytesOnLine += bytes;
        pen.maxX = std::max(pen.maxX, pen.x);
        p += bytes;
        if (line.breaks && line.maxWidth > 0.0f && pen.x > line.maxWidth) {
            // Measured, the character that crossed counts on the new line.
            pen.lineWidth -= w;
            newLine();
            pen.lineWidth = w;
        }
    }
    pen.textHeight += pen.lineHeight;
    pen.maxLineWidth = std::max(pen.maxLineWidth, pen.lineWidth);
    return ok;
}

template <class Draw>
i32 CFontTexture::DrawLines(const Line& line, const char* text, u8 flags, f32* outX, f32* outY, Draw draw)
{
    if (!text) return 0;
    f32 offsetX = 0.0f, offsetY = 0.0f;
    if (!IsTopLeft(flags)) {
        // A character the atlas cannot take ends it here, nothing drawn.
        Pen measured;
        if (!WalkText(line, text, measured, [](const FontCacheEntry&, f32, f32) {})) return 0;
        offsetX = OffsetX(flags, measured.maxLineWidth);
        offsetY = OffsetY(flags, measured.textHeight);
    }
    Pen pen;
    if (!WalkText(line, text, pen, [&](const FontCacheEntry& entry, f32 x, f32 y) { draw(entry, x, y, offsetX, offsetY); }))
        return 0;
    SetOutputs(outX, outY, pen.x, pen.y);
    return 1;
}

// ---------------------------------------------------------------- measuring

i32 CFontTexture::MeasureText(f32 x, f32 y, u32 fontSize, f32 scale, const char* text, u8 flags, CRect4* out)
{
    if (!text) return 0;
    Line line;
    line.x = line.lineStartX = x;
    line.y = y;
    line.s = Factor(fontSize, scale);
    line.scale = scale;
    line.breaks = false;
    Pen pen;
    if (!WalkText(line, text, pen, [](const FontCacheEntry&, f32, f32) {})) return 0;
    const f32 ox = OffsetX(flags, pen.lineWidth), oy = OffsetY(flags, pen.lineHeight);
    if (out) out->Set(x - ox, x + pen.lineWidth - ox, y - oy, y + pen.lineHeight - oy);
    return 1;
}

i32 CFontTexture::MeasureTextRect(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                                  u32 fontSize, f32 scale, const char* text, u8 flags, CRect4* out)
{
    if (!text) return 0;
    const Line line{x, y, lineStartX, lineAdvance, maxBytesPerLine, maxWidth, Factor(fontSize, scale), scale, true};
    Pen pen;
    if (!WalkText(line, text, pen, [](const FontCacheEntry&, f32, f32) {})) return 0;
    const f32 ox = OffsetX(flags, pen.maxLineWidth), oy = OffsetY(flags, pen.textHeight);
    const f32 left = pen.broken ? std::min(x, lineStartX) : x;
    if (out) out->Set(left - ox, pen.maxX - ox, y - oy, y + pen.textHeight - oy);
    return 1;
}

i32 CFontTexture::GetTextEndPosition(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine,
                                     f32 maxWidth, u32 fontSize, f32 scale, const char* text, u8 /*flags*/,
                                     f32* outX, f32* outY)
{
    if (!text) return 0;
    const Line line{x, y, lineStartX, lineAdvance, maxBytesPerLine, maxWidth, Factor(fontSize, scale), scale, true};
    Pen pen;
    if (!WalkText(line, text, pen, [](const FontCacheEntry&, f32, f32) {})) return 0;
    SetOutputs(outX, outY, pen.x, pen.y);
    return 1;
}

// ---------------------------------------------------------------- drawing

i32 CFontTexture::DrawTextEx(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                             u32 colour, u32 fontSize, f32 scale, const char* text, u8 flags, f32* outX, f32* outY)
{
    const f32 s = Factor(fontSize, scale);
    const Line line{x, y, lineStartX, lineAdvance, maxBytesPerLine, maxWidth, s, scale, true};
    return DrawLines(line, text, flags, outX, outY,
                     [&](const FontCacheEntry& e, f32 px, f32 py, f32 ox, f32 oy) {
                         DrawEntry(e, px - ox, py - oy, 0.0f, s, s, colour);
                     });
}

i32 CFontTexture::DrawTextNoWidthLimit(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine,
                                       u32 colour, u32 fontSize, f32 scale, const char* text, u8 flags, f32* outX,
                                       f32* outY)
{
    return DrawTextEx(x, y, lineStartX, lineAdvance, maxBytesPerLine, 0.0f, colour, fontSize, scale, text, flags,
                      outX, outY);
}

i32 CFontTexture::DrawTextWrapped(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                                  u32 colour, u32 fontSize, f32 scale, const char* text, u8 flags, u32 boxColour,
                                  u8 boxMode, f32* outX, f32* outY)
{
    const f32 s = Factor(fontSize, scale);
    const Line line{x, y, lineStartX, lineAdvance, maxBytesPerLine, maxWidth, s, scale, true};
    return DrawLines(line, text, flags, outX, outY,
                     [&](const FontCacheEntry& e, f32 px, f32 py, f32 ox, f32 oy) {
                         CRect4 box;
                         box.Set(px, px + f32(e.width) * s, py, py + f32(e.height) * s);
                         if (boxMode == kTextBoxBehind) FillScreenRect(&box, boxColour);
                         DrawEntry(e, px - ox, py - oy, 0.0f, s, s, colour);
                         if (boxMode == kTextBoxOver) FillScreenRect(&box, boxColour);
                     });
}

i32 CFontTexture::DrawTextAligned(f32 x, f32 y, f32 z, f32 lineStartX, u32 colour, u32 fontSize, f32 scale,
                                  const char* text, u8 flags, f32* outX, f32* outY)
{
    if (!text) return 0;
    const f32 s = Factor(fontSize, scale);
    // Lines advance by the tallest entry met so far; the measured height
    // adds that tallest entry (x s) once per line.
    const auto walk = [&](auto place, f32& width, f32& height, f32& endX, f32& endY) {
        f32 penX = x, penY = y, lineWidth = 0.0f;
        u32 tallest = 0;
        width = height = 0.0f;
        for (const char* p = text; *p;) {
            if (*p == '\r') {
                ++p;
                continue;
            }
            if (*p == '\n') {
                width = std::max(width, lineWidth);
                lineWidth = 0.0f;
                height += f32(tallest) * s;
                penX = lineStartX;
                penY += f32(tallest) * scale;
                ++p;
                continue;
            }
            const u32 bytes = CharBytes(p);
            const FontCacheEntry* entry = CharacterEntry(p, bytes);
            if (!entry) return false;
            tallest = std::max(tallest, entry->height);
            place(*entry, penX, penY);
            penX += f32(entry->width) * s;
            lineWidth += f32(entry->width) * s;
            p += bytes;
        }
        width = std::max(width, lineWidth);
        height += f32(tallest) * s;
        endX = penX;
        endY = penY;
        return true;
    };
    f32 width = 0, height = 0, endX = 0, endY = 0;
    // A character the atlas cannot take ends it here, nothing drawn.
    if (!IsTopLeft(flags) && !walk([](const FontCacheEntry&, f32, f32) {}, width, height, endX, endY)) return 0;
    const f32 ox = IsTopLeft(flags) ? 0.0f : OffsetX(flags, width);
    const f32 oy = IsTopLeft(flags) ? 0.0f : OffsetY(flags, height);
    const bool ok = walk([&](const FontCacheEntry& e, f32 px, f32 py) { DrawEntry(e, px - ox, py - oy, z, s, s, colour); },
                         width, height, endX, endY);
    if (!ok) return 0;
    SetOutputs(outX, outY, endX, endY);
    return 1;
}

i32 CFontTexture::DrawTextFit(f32 x, f32 y, f32 z, f32 maxWidth, f32 maxHeight, u32 colour, u32 fontSize, f32 scale,
                              const char* text, u8 flags)
{
    if (!text) return 0;
    const f32 s = Factor(fontSize, scale);
    f32 width = 0.0f, height = 0.0f;
    for (const char* p = text; *p;) {
        if (*p == '\r') {
            ++p;
            continue;
        }
        const u32 bytes = CharBytes(p);
        const FontCacheEntry* entry = CharacterEntry(p, bytes);
        if (!entry) return 0;   // the atlas is full: nothing drawn
        width += f32(entry->width) * s;
        height = std::max(height, f32(entry->height) * s);
        p += bytes;
    }
    f32 scaleX = s, scaleY = s;
    if (width > maxWidth) {
        scaleX = maxWidth / width * s;
        width = maxWidth;
    }
    if (height > maxHeight) {
        scaleY = maxHeight / height * s;
        height = maxHeight;
    }
    const f32 ox = OffsetX(flags, width), oy = OffsetY(flags, height);
    f32 penX = x;
    for (const char* p = text; *p;) {
        if (*p == '\r') {
            ++p;
            continue;
        }
        const u32 bytes = CharBytes(p);
        const FontCacheEntry* entry = CharacterEntry(p, bytes);
        if (!entry) return 0;
        DrawEntry(*entry, penX - ox, y - oy, z, scaleX, scaleY, colour);
        penX += f32(entry->width) * scaleX;
        p += bytes;
    }
    return 1;
}

i32 CFontTexture::DrawTextFit2D(f32 x, f32 y, f32 maxWidth, f32 maxHeight, u32 colour, u32 fontSize, f32 scale,
                                const char* text, u8 flags)
{
    return DrawTextFit(x, y, 0.0f, maxWidth, maxHeight, colour, fontSize, scale, text, flags);
}

// ---------------------------------------------------------------- outlines

i32 CFontTexture::DrawTextOutlined(f32 x, f32 y, f32 maxWidth, f32 maxHeight, u32 colour, u32 outlineColour,
                                   u32 fontSize, f32 scale, f32 outlineWidth, const char* text, u8 flags)
{
    return Outlined(outlineWidth * Factor(fontSize, scale), colour, outlineColour,
                    [&](f32 dx, f32 dy, u32 c, bool) {
                        return DrawTextFit2D(x + dx, y + dy, maxWidth, maxHeight, c, fontSize, scale, text, flags);
                    });
}

i32 CFontTexture::DrawTextOutlinedEx(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, u32 colour,
                                     u32 outlineColour, u32 fontSize, f32 scale, f32 outlineWidth, const char* text,
                                     u8 flags, f32* outX, f32* outY)
{
    return Outlined(outlineWidth * Factor(fontSize, scale), colour, outlineColour,
                    [&](f32 dx, f32 dy, u32 c, bool last) {
                        return DrawTextNoWidthLimit(x + dx, y + dy, lineStartX + dx, lineAdvance, maxBytesPerLine, c,
                                                    fontSize, scale, text, flags, last ? outX : nullptr,
                                                    last ? outY : nullptr);
                    });
}

i32 CFontTexture::DrawTextOutlinedBox(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine,
                                      u32 colour, u32 outlineColour, u32 fontSize, f32 scale, f32 outlineWidth,
                                      const char* text, u8 flags)
{
    return DrawTextOutlinedEx(x, y, lineStartX, lineAdvance, maxBytesPerLine, colour, outlineColour, fontSize, scale,
                              outlineWidth, text, flags, nullptr, nullptr);
}

i32 CFontTexture::DrawTextAlignedOutlined(f32 x, f32 y, f32 z, u32 colour, u32 outlineColour, u32 fontSize,
                                          f32 scale, f32 outlineWidth, const char* text, u8 flags, f32* outX,
                                          f32* outY)
{
    return Outlined(outlineWidth * Factor(fontSize, scale), colour, outlineColour,
                    [&](f32 dx, f32 dy, u32 c, bool last) {
                        return DrawTextAligned(x + dx, y + dy, z, x + dx, c, fontSize, scale, text, flags,
                                               last ? outX : nullptr, last ? outY : nullptr);
                    });
}

i32 CFontTexture::DrawTextAlignedOutlined2(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                           f32 outlineWidth, const char* text, u8 flags, f32* outX, f32* outY)
{
    return DrawTextAlignedOutlined(x, y, 0.0f, colour, outlineColour, fontSize, scale, outlineWidth, text, flags,
                                   outX, outY);
}

i32 CFontTexture::DrawTextAlignedOutlinedFlags(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                               f32 outlineWidth, const char* text, u8 flags)
{
    return DrawTextAlignedOutlined2(x, y, colour, outlineColour, fontSize, scale, outlineWidth, text, flags, nullptr,
                                    nullptr);
}

i32 CFontTexture::DrawTextAlignedOutlinedFixed(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                               f32 outlineWidth, const char* text)
{
    return DrawTextAlignedOutlined2(x, y, colour, outlineColour, fontSize, scale, outlineWidth, text, kTextTopLeft,
                                    nullptr, nullptr);
}

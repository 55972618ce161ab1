// `CFontTexture`: Shift-JIS text drawn with a font without rasterising it
// every frame. Each string asked for (in practice each single character) is
// rendered once into a large texture, the glyph atlas, and remembered with
// its rectangle; drawing places one sprite per character. Menus, the HUD,
// the lobby, chat and the IME text entry all draw through it.
//
// Glyphs are white with the font's grey levels as alpha. The atlas fills
// from the top-left in rows and is emptied only as a whole (ClearCache,
// Create, SetFont). Copies share the atlas and, with it, the record of what
// is in it, so a glyph one copy adds is found by the other instead of being
// painted over.
//
// Sizes: the glyphs are as large as the font; fontSize / the font's size x
// scale is the factor s every drawing operation scales them by.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/graphics/Texture.h"

#include <deque>
#include <memory>
#include <string>

namespace host::text {
class Font;
}

// Where a cached string lies in the atlas, in texels; the width and height
// include one spare column and row at the right and bottom.
struct FontCacheEntry {
    u32 x = 0, y = 0, width = 0, height = 0;
    std::string text;
};

// Alignment flags of the measuring and drawing operations.
enum TextAlign : u8 {
    kTextLeft = 1,
    kTextCentre = 2,     // neither: right
    kTextTop = 16,
    kTextMiddle = 32,    // neither: bottom
    kTextTopLeft = 17,
};

// Boxes of DrawTextWrapped.
enum TextBoxMode : u8 {
    kTextBoxBehind = 0,
    kTextBoxOver = 1,
};

// The font every atlas is made with: heavy, Shift-JIS, fixed pitch.
inline constexpr i32 kFontTextureWeight = 900;

class CFontTexture : public CTexture {
    ORV_VALUE_CLASS(CFontTexture)

public:
    CFontTexture();
    CFontTexture(const CFontTexture& other);
    CFontTexture& operator=(const CFontTexture&) = delete;
    ~CFontTexture() override;

    // Entries, font and face, then the texture. 1.
    i32 Release() override;

    // An empty atlas of width x height (dynamic in the default pool, else
    // managed) with the font face at fontHeight (Windows heights: above 0
    // the cell, below 0 the character). The resource is named after the
    // face. 1, or 0 when the texture or the font cannot be made.
    i32 Create(u32 width, u32 height, u32 format, const char* face, i32 fontHeight);
    // A new font; the atlas and the cache are emptied, since what they hold
    // was drawn with the old one. 0 when the font cannot be made.
    i32 SetFont(const char* face, i32 height);

    // The entry of exactly this string; null for null or when absent.
    const FontCacheEntry* FindCachedText(const char* text) const;
    // The entry of this string, a new empty one when absent; null for null.
    FontCacheEntry* AddCachedText(const char* text);
    // Empties the atlas and forgets every entry. 0 when the atlas exists but
    // cannot be cleared (the entries then stay, matching what it holds).
    i32 ClearCache();

    // Renders text into the atlas at the pen and caches its rectangle: LF,
    // CR or CR LF start a line, spaces advance without ink. 1 when cached
    // (already or now); 0 for null text, without font or atlas, when a glyph
    // cannot be rendered, or when the atlas has no room for the whole string,
    // in which case nothing is cached. Nothing is written outside the
    // string's own rectangle.
    i32 RenderText(const char* text, u32 minCharWidth, u32 minLineHeight, host::text::Font* font);
    i32 CacheText(const char* text, u32 minCharWidth, u32 minLineHeight);

    // ---------------------------------------------------------------- measuring
    // Line rules of the operations that break lines: LF always; before a
    // character once maxBytesPerLine bytes are on the line (0: no limit);
    // after a character that took the pen past a positive maxWidth. A new
    // line starts at lineStartX, lineAdvance x scale below. Every operation
    // answers 1, or 0 for null text or a character that cannot be cached.

    // One line: {x, y, x + width, y + tallest}, moved by the alignment.
    i32 MeasureText(f32 x, f32 y, u32 fontSize, f32 scale, const char* text, u8 flags, CRect4* out);
    i32 MeasureTextRect(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                        u32 fontSize, f32 scale, const char* text, u8 flags, CRect4* out);
    // The pen after the last character, before the alignment moves it.
    i32 GetTextEndPosition(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                           u32 fontSize, f32 scale, const char* text, u8 flags, f32* outX, f32* outY);

    // ---------------------------------------------------------------- drawing
    // The outputs (may be null) get the pen after the text, before the
    // alignment. A character that cannot be cached ends the drawing with 0;
    // what was drawn stays.
    i32 DrawTextEx(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth, u32 colour,
                   u32 fontSize, f32 scale, const char* text, u8 flags, f32* outX, f32* outY);
    i32 DrawTextNoWidthLimit(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, u32 colour,
                             u32 fontSize, f32 scale, const char* text, u8 flags, f32* outX, f32* outY);
    // With a filled box per character, behind it or over it (kTextBox...;
    // other modes draw none). The boxes stand at the pen before the
    // alignment moves it.
    i32 DrawTextWrapped(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, f32 maxWidth,
                        u32 colour, u32 fontSize, f32 scale, const char* text, u8 flags, u32 boxColour, u8 boxMode,
                        f32* outX, f32* outY);
    // At depth z; a LF moves down by the tallest entry met so far x scale.
    i32 DrawTextAligned(f32 x, f32 y, f32 z, f32 lineStartX, u32 colour, u32 fontSize, f32 scale, const char* text,
                        u8 flags, f32* outX, f32* outY);
    // One line squeezed into maxWidth x maxHeight, each axis on its own.
    i32 DrawTextFit(f32 x, f32 y, f32 z, f32 maxWidth, f32 maxHeight, u32 colour, u32 fontSize, f32 scale,
                    const char* text, u8 flags);
    i32 DrawTextFit2D(f32 x, f32 y, f32 maxWidth, f32 maxHeight, u32 colour, u32 fontSize, f32 scale,
                      const char* text, u8 flags);

    // Outlined: eight copies in the outline colour at +-outlineWidth x s
    // around the text (line starts moved with them), then the text; a first
    // copy that fails ends it with 0. Only the last draw writes the outputs.
    i32 DrawTextOutlined(f32 x, f32 y, f32 maxWidth, f32 maxHeight, u32 colour, u32 outlineColour, u32 fontSize,
                         f32 scale, f32 outlineWidth, const char* text, u8 flags);
    i32 DrawTextOutlinedEx(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, u32 colour,
                           u32 outlineColour, u32 fontSize, f32 scale, f32 outlineWidth, const char* text, u8 flags,
                           f32* outX, f32* outY);
    i32 DrawTextOutlinedBox(f32 x, f32 y, f32 lineStartX, f32 lineAdvance, u32 maxBytesPerLine, u32 colour,
                            u32 outlineColour, u32 fontSize, f32 scale, f32 outlineWidth, const char* text, u8 flags);
    i32 DrawTextAlignedOutlined(f32 x, f32 y, f32 z, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                f32 outlineWidth, const char* text, u8 flags, f32* outX, f32* outY);
    i32 DrawTextAlignedOutlined2(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                 f32 outlineWidth, const char* text, u8 flags, f32* outX, f32* outY);
    i32 DrawTextAlignedOutlinedFlags(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                     f32 outlineWidth, const char* text, u8 flags);
    i32 DrawTextAlignedOutlinedFixed(f32 x, f32 y, u32 colour, u32 outlineColour, u32 fontSize, f32 scale,
                                     f32 outlineWidth, const char* text);

    host::text::Font* GetFont() const { return m_font.get(); }
    // |height| given to SetFont; 0 without a font.
    u32 GetFontSize() const { return m_fontSize; }
    const char* GetFaceName() const { return m_faceName.GetText(); }
    u32 GetCachedCount() const { return u32(m_cache->entries.size()); }
    const FontCacheEntry* GetCachedEntry(u32 index) const;
    u32 GetPenX() const { return m_cache->penX; }
    u32 GetPenY() const { return m_cache->penY; }
    u32 GetRowHeight() const { return m_cache->rowHeight; }

private:
    // What the atlas holds; shared by copies that share the atlas. A deque,
    // so entries stay where they are while others are added.
    struct Cache {
        std::deque<FontCacheEntry> entries;
        u32 penX = 0, penY = 0;
        u32 rowHeight = 0;   // the tallest line so far
    };

    // How one walk over a text places its characters.
    struct Line {
        f32 x = 0, y = 0;
        f32 lineStartX = 0, lineAdvance = 0;
        u32 maxBytesPerLine = 0;   // 0: no limit
        f32 maxWidth = 0;          // 0 or less: no limit
        f32 s = 0;                 // the glyphs' scale factor
        f32 scale = 0;             // the caller's; line advances take only this
        bool breaks = true;        // false: one line, LF is a character
    };
    // Where a walk stands, and what it has measured.
    struct Pen {
        f32 x = 0, y = 0;
        f32 lineWidth = 0, lineHeight = 0;
        f32 maxLineWidth = 0, textHeight = 0;
        f32 maxX = 0;              // the largest pen x
        u32 bytesOnLine = 0;
        bool broken = false;       // a line was broken
    };

    // The entry of the character at text (one or two bytes), cached first
    // when absent; null when it cannot be.
    const FontCacheEntry* CharacterEntry(const char* text, u32 bytes);
    // The scale factor s of fontSize and scale; 0 without a font.
    f32 Factor(u32 fontSize, f32 scale) const;
    // Walks text under the line rules, calling place(entry, penX, penY) per
    // character; false when a character cannot be cached.
    template <class Place>
    bool WalkText(const Line& line, const char* text, Pen& pen, Place place);
    // Measures, then draws each character through draw(entry, x, y).
    template <class Draw>
    i32 DrawLines(const Line& line, const char* text, u8 flags, f32* outX, f32* outY, Draw draw);
    void DrawEntry(const FontCacheEntry& entry, f32 x, f32 y, f32 z, f32 scaleX, f32 scaleY, u32 colour);
    void EmptyCache();

    std::shared_ptr<Cache> m_cache;
    std::unique_ptr<host::text::Font> m_font;
    u32 m_fontSize = 0;
    i32 m_fontHeight = 0;   // as given, so copies make the same font
    CString m_faceName;
};

// The glyph atlas: fonts, the cache of rendered strings and their
// rendering. Measuring and drawing are in FontTextureDraw.cpp.
#include "engine/graphics/FontTexture.h"

#include "host/kernel/Kernel.h"
#include "host/render/Render.h"
#include "host/text/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace render = host::render;
namespace text = host::text;

namespace {

constexpr u32 kFullWidthSpace = 0x8140;

// One glyph of a string laid out for the atlas, relative to the string's
// rectangle.
struct PlacedGlyph {
    i64 x = 0;        // the pen, texels right of the rectangle's left edge
    u32 line = 0;
    text::GlyphMetrics metrics;
    std::vector<u8> levels;   // rows padded to 4 bytes
};

struct Layout {
    std::vector<PlacedGlyph> glyphs;
    u32 width = 0;    // the widest line
    u32 lines = 1;
};

// The next character of a code page 932 string: one byte, lead x 256 +
// trail, or LF for CR, LF and CR LF alike. A lead byte at the very end
// stands alone.
u32 NextCode(const u8*& p)
{
    u32 code = *p++;
    if (code == '\r') {
        if (*p == '\n') ++p;
        return '\n';
    }
    if (host::kernel::IsDBCSLeadByte(u8(code)) && *p) code = code << 8 | *p++;
    return code;
}

// Positions and bitmaps of every glyph of text; false when one cannot be
// rendered.
bool LayOut(const char* s, u32 minCharWidth, text::Font& font, Layout& out)
{
    const text::TextMetrics& tm = font.Metrics();
    const i64 spaceWidth = std::max<i64>(minCharWidth, tm.maxCharWidth);
    i64 lineX = 0, widest = 0;
    for (const u8* p = reinterpret_cast<const u8*>(s); *p;) {
        const u32 code = NextCode(p);
        if (code == '\n') {
            lineX = 0;
            ++out.lines;
            continue;
        }
        i64 advance = 0;
        if (code == ' ') {
            advance = spaceWidth / 2;
        } else if (code == kFullWidthSpace) {
            advance = spaceWidth;
        } else {
            PlacedGlyph g;
            const u32 size = font.GetGlyphOutline(code, g.metrics, nullptr, 0);
            if (size == text::kGdiError) return false;
            g.levels.assign(size, 0);
            if (size && font.GetGlyphOutline(code, g.metrics, g.levels.data(), size) != size) return false;
            g.x = lineX;
            g.line = out.lines - 1;
            advance = std::max<i64>(minCharWidth, g.metrics.blackBoxX) + g.metrics.originX;
            out.glyphs.push_back(std::move(g));
        }
        lineX += advance;
        widest = std::max(widest, lineX);
    }
    out.width = u32(std::min<i64>(widest, 0x7FFFFFFF));
    return true;
}

// Writes the glyphs into the locked rectangle of the entry, width x height
// texels at bits: white, the grey level as alpha, the whole box with its row
// padding (so filtering at the glyph's edge blends towards white). Whatever of a glyph lies
// outside the rectangle (a negative origin, a glyph taller than its line)
// is cut off rather than written over a neighbour or past the atlas.
void WriteGlyphs(const Layout& layout, const text::TextMetrics& tm, u32 lineHeight, const render::LockedRect& locked,
                 u32 width, u32 height)
{
    auto* bits = static_cast<u8*>(locked.bits);
    for (const PlacedGlyph& g : layout.glyphs) {
        const u32 stride = (g.metrics.blackBoxX + 3) & ~3u;
        const i64 left = g.x + g.metrics.originX;
        const i64 top = i64(g.line) * lineHeight + (i64(tm.ascent) - g.metrics.originY);
        for (u32 r = 0; r < g.metrics.blackBoxY; ++r) {
            const i64 row = top + r;
            if (row < 0 || row >= i64(height)) continue;
            auto* texels = reinterpret_cast<u32*>(bits + size_t(row) * size_t(locked.pitch));
            for (u32 c = 0; c < stride; ++c) {
                const i64 column = left + c;
                if (column < 0 || column >= i64(width)) continue;
                const size_t at = size_t(r) * stride + c;
                const u32 level = at < g.levels.size() ? std::min<u32>(g.levels[at], text::kGreyLevels) : 0;
                const u32 alpha = level * 255 / text::kGreyLevels;
                // Where boxes overlap, the clear edge of one glyph does not
                // wipe the ink of its neighbour.
                if ((texels[column] >> 24) > alpha) continue;
                texels[column] = alpha << 24 | 0x00FFFFFFu;
            }
        }
    }
}

std::unique_ptr<text::Font> MakeFont(const char* face, i32 height)
{
    text::FontDesc desc;
    desc.height = height;
    desc.weight = kFontTextureWeight;
    desc.charset = text::kShiftJisCharset;
    desc.pitchAndFamily = text::kFixedPitch | text::kFfModern;
    desc.face = face ? face : "";
    return text::CreateFont(desc);
}

}  // namespace

CFontTexture::CFontTexture() : m_cache(std::make_shared<Cache>()) {}

CFontTexture::CFontTexture(const CFontTexture& other)
    : CTexture(other),
      m_cache(other.m_cache),
      m_fontSize(other.m_fontSize),
      m_fontHeight(other.m_fontHeight),
      m_faceName(other.m_faceName)
{
    // The height as it was given: its absolute value would make a font of
    // another size when the height was a character height.
    if (other.m_font) m_font = MakeFont(m_faceName.GetText(), m_fontHeight);
}

CFontTexture::~CFontTexture() { CFontTexture::Release(); }

i32 CFontTexture::Release()
{
    // The atlas may live on in a copy, with what it holds.
    m_cache = std::make_shared<Cache>();
    m_font.reset();
    m_fontSize = 0;
    m_fontHeight = 0;
    m_faceName.Free();
    return CTexture::Release();
}

void CFontTexture::EmptyCache()
{
    m_cache->entries.clear();
    // The row height too: a row started after this must not keep room for
    // a line that is gone.
    m_cache->penX = m_cache->penY = m_cache->rowHeight = 0;
}

i32 CFontTexture::Create(u32 width, u32 height, u32 format, const char* face, i32 fontHeight)
{
    ClearCache();
    if (!CTexture::Create(width, height, render::kUsageDynamic, format, render::kPoolDefault) &&
        !CTexture::Create(width, height, 0, format, render::kPoolManaged))
        return 0;
    // A new atlas of its own, whatever the old one held.
    m_cache = std::make_shared<Cache>();
    if (!SetFont(face, fontHeight)) return 0;
    SetName(m_faceName.GetText());
    return CTexture::Clear();
}

i32 CFontTexture::SetFont(const char* face, i32 height)
{
    m_font.reset();
    m_font = MakeFont(face, height);
    if (!m_font) return 0;
    m_fontHeight = height;
    m_fontSize = height < 0 ? u32(-i64(height)) : u32(height);
    m_faceName = CString(face);
    return ClearCache();
}

const FontCacheEntry* CFontTexture::FindCachedText(const char* text) const
{
    if (!text) return nullptr;
    for (const FontCacheEntry& entry : m_cache->entries)
        if (entry.text == text) return &entry;
    return nullptr;
}

FontCacheEntry* CFontTexture::AddCachedText(const char* text)
{
    if (!text) return nullptr;
    if (const FontCacheEntry* found = FindCachedText(text)) return const_cast<FontCacheEntry*>(found);
    FontCacheEntry& entry = m_cache->entries.emplace_back();
    entry.text = text;
    return &entry;
}

i32 CFontTexture::ClearCache()
{
    if (GetTexture() && !CTexture::Clear()) return 0;
    EmptyCache();
    return 1;
}

const FontCacheEntry* CFontTexture::GetCachedEntry(u32 index) const
{
    return index < m_cache->entries.size() ? &m_cache->entries[index] : nullptr;
}

i32 CFontTexture::CacheText(const char* text, u32 minCharWidth, u32 minLineHeight)
{
    return RenderText(text, minCharWidth, minLineHeight, m_font.get());
}

i32 CFontTexture::RenderText(const char* text, u32 minCharWidth, u32 minLineHeight, text::Font* font)
{
    if (!text) return 0;
    if (FindCachedText(text)) return 1;
    render::Texture* atlas = GetTexture();
    if (!font || !atlas) return 0;

    const text::TextMetrics& tm = font->Metrics();
    Layout layout;
    if (!LayOut(text, minCharWidth, *font, layout)) return 0;
    const u32 lineHeight = std::max<u32>(minLineHeight, u32(std::max(tm.height, 0)));
    const u64 width = u64(layout.width) + 2;
    const u64 height = u64(layout.lines) * lineHeight + 2;

    // The whole string, every line of it, must fit; a string larger than
    // the atlas never will.
    Cache& cache = *m_cache;
    const u64 atlasWidth = GetWidth(), atlasHeight = GetHeight();
    if (width > atlasWidth || height > atlasHeight) return 0;
    if (cache.penX + width > atlasWidth) {
        cache.penX = 0;
        cache.penY += cache.rowHeight + 2;
    }
    // A font height of room stays below the last row.
    const u64 fontHeight = u64(std::max(tm.height, 0));
    if (cache.penY + fontHeight >= atlasHeight - std::min(atlasHeight, fontHeight) || cache.penY + height > atlasHeight)
        return 0;

    const render::Rect area{i32(cache.penX), i32(cache.penY), i32(cache.penX + width), i32(cache.penY + height)};
    render::LockedRect locked;
    if (atlas->LockRect(0, locked, &area, 0) != render::Result::Ok) return 0;
    if (locked.bits && locked.pitch >= i32(width * 4))
        WriteGlyphs(layout, tm, lineHeight, locked, u32(width), u32(height));
    atlas->UnlockRect(0);

    FontCacheEntry* entry = AddCachedText(text);
    entry->x = cache.penX;
    entry->y = cache.penY;
    entry->width = u32(width);
    entry->height = u32(height);
    cache.penX += u32(width);
    // The pen stays on the string's last line.
    cache.penY += (layout.lines - 1) * lineHeight;
    cache.rowHeight = std::max(cache.rowHeight, lineHeight);
    return 1;
}

// The drawing half of the text entry: the text around the cursor, the
// composition with its clause highlighted, and the candidate panel, each
// piece through the font texture from where the last one ended.
#include "engine/platform/app/ImeInput.h"

#include "engine/core/Endian.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Shapes2D.h"
#include "host/text/Text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace text = host::text;
using host::kernel::Lock;

namespace {

constexpr u32 kClauseBoxColour = 0x800000FFu;
constexpr u32 kCandidateHighlight = 0xFF8080FFu;
constexpr u32 kNumberPanelColour = 0xFFC0C0C0u;
constexpr u32 kCandidatePanelColour = 0xFFFFFFFFu;
constexpr u32 kPanelOutlineColour = 0xFF000000u;
constexpr f32 kPanelMargin = 4.0f;
constexpr char kCursorGlyph[] = "|";

// The candidates of the page holding the selection, from a list in the
// platform layout: six words (size, style, count, selection, page start,
// page size), an offset per candidate, the NUL-terminated candidates. What
// lies outside the block is left out.
std::vector<std::string> CandidatePage(const std::vector<u8>& list)
{
    std::vector<std::string> page;
    if (list.size() < 24) return page;
    const u32 count = GetLe32(list.data() + 8);
    const u32 selection = GetLe32(list.data() + 12);
    const u32 pageSize = GetLe32(list.data() + 20);
    if (count == 0 || pageSize == 0 || u64(count) * 4 + 24 > list.size()) return page;
    const u32 first = std::min(selection, count - 1) / pageSize * pageSize;
    const u32 end = u32(std::min<u64>(u64(first) + pageSize, count));
    for (u32 i = first; i < end; ++i) {
        const u32 offset = GetLe32(list.data() + 24 + 4 * size_t(i));
        if (offset >= list.size()) break;
        const char* start = reinterpret_cast<const char*>(list.data()) + offset;
        page.emplace_back(start, strnlen(start, list.size() - offset));
    }
    return page;
}

}  // namespace

struct CImeInput::DrawPen {
    CFontTexture* font;
    f32 x, y;          // where the next piece starts
    f32 lineStartX;
    u32 pixelSize;
    f32 scale;
    f32 wrapWidth;
};

void CImeInput::DrawPiece(DrawPen& pen, const std::string& s, u32 colour, u32 boxColour)
{
    if (s.empty()) return;
    const u32 bytesPerLine = m_lineWidth > 0 ? u32(m_lineWidth) : 0;
    if (boxColour) {
        pen.font->DrawTextWrapped(pen.x, pen.y, pen.lineStartX, m_fontSize, bytesPerLine, pen.wrapWidth, colour,
                                  pen.pixelSize, pen.scale, s.c_str(), kTextTopLeft, boxColour, kTextBoxBehind,
                                  &pen.x, &pen.y);
    } else {
        pen.font->DrawTextEx(pen.x, pen.y, pen.lineStartX, m_fontSize, bytesPerLine, pen.wrapWidth, colour,
                             pen.pixelSize, pen.scale, s.c_str(), kTextTopLeft, &pen.x, &pen.y);
    }
}

void CImeInput::DrawCursor(DrawPen& pen, u32 colour)
{
    CFontTexture& font = *pen.font;
    if (!font.FindCachedText(kCursorGlyph)) font.CacheText(kCursorGlyph, 0, 0);
    const FontCacheEntry* entry = font.FindCachedText(kCursorGlyph);
    if (entry && font.GetFontSize()) {
        // Centred on the caret position.
        pen.x -= f32(entry->width) * f32(pen.pixelSize) / f32(font.GetFontSize()) * pen.scale * 0.5f;
    }
    DrawPiece(pen, kCursorGlyph, BlinkCursor(colour));
}

// Plain input is drawn as it is; while converting, the clause being
// converted (the run of bytes marked as its target) is highlighted and the
// candidate list opens below it.
void CImeInput::DrawComposition(DrawPen& pen, u32 colour)
{
    if (m_composition.empty()) return;
    if (m_attributes.empty() || u8(m_attributes[0]) == text::kAttrInput) {
        DrawPiece(pen, m_composition, colour);
        return;
    }
    const size_t n = std::min(m_attributes.size(), m_composition.size());
    size_t start = 0;
    while (start < n && u8(m_attributes[start]) != text::kAttrTargetConverted) ++start;
    if (start == n) start = 0;
    size_t end = start;
    while (end < n && u8(m_attributes[end]) == text::kAttrTargetConverted) ++end;
    const std::string clause = m_composition.substr(start, end - start);

    DrawPiece(pen, m_composition.substr(0, start), colour);
    DrawCandidates(pen, clause, colour);
    DrawPiece(pen, clause, colour, kClauseBoxColour);
    DrawPiece(pen, m_composition.substr(end), colour);
}

// The panel: the numbers on grey, the candidates on white, one row each,
// a line below the pen; the candidate that is the clause highlighted.
void CImeInput::DrawCandidates(DrawPen& pen, const std::string& clause, u32 colour)
{
    if (!m_enabled || m_candidates.empty() || !m_candidateDisplay) return;
    const std::vector<std::string> page = CandidatePage(m_candidates);
    if (page.empty()) return;
    CFontTexture& font = *pen.font;

    f32 numberWidth = 0.0f, textWidth = 0.0f, rowHeight = 0.0f;
    char number[16];
    for (size_t i = 0; i < page.size(); ++i) {
        CRect4 r;
        std::snprintf(number, sizeof number, "%d", int(i + 1));
        if (font.MeasureText(0, 0, pen.pixelSize, pen.scale, number, kTextTopLeft, &r)) {
            numberWidth = std::max(numberWidth, r.right - r.left);
            rowHeight = std::max(rowHeight, r.bottom - r.top);
        }
        if (font.MeasureText(0, 0, pen.pixelSize, pen.scale, page[i].c_str(), kTextTopLeft, &r)) {
            textWidth = std::max(textWidth, r.right - r.left);
            rowHeight = std::max(rowHeight, r.bottom - r.top);
        }
    }
    const f32 left = pen.x, top = pen.y + m_fontSize * pen.scale;
    const f32 bottom = top + rowHeight * f32(page.size()) + 2.0f * kPanelMargin;
    CRect4 numbers, candidates;
    numbers.Set(left, left + numberWidth + 2.0f * kPanelMargin, top, bottom);
    candidates.Set(numbers.right, numbers.right + textWidth + 2.0f * kPanelMargin, top, bottom);
    FillScreenRect(&numbers, kNumberPanelColour);
    FillScreenRect(&candidates, kCandidatePanelColour);

    f32 rowY = top + kPanelMargin;
    for (size_t i = 0; i < page.size(); ++i, rowY += rowHeight) {
        std::snprintf(number, sizeof number, "%d", int(i + 1));
        font.DrawTextEx(numbers.left + kPanelMargin, rowY, numbers.left, 0, 0, 0, colour, pen.pixelSize, pen.scale,
                        number, kTextTopLeft, nullptr, nullptr);
        const f32 x = candidates.left + kPanelMargin;
        if (page[i] == clause)
            font.DrawTextWrapped(x, rowY, x, 0, 0, 0, colour, pen.pixelSize, pen.scale, page[i].c_str(), kTextTopLeft,
                                 kCandidateHighlight, kTextBoxBehind, nullptr, nullptr);
        else
            font.DrawTextEx(x, rowY, x, 0, 0, 0, colour, pen.pixelSize, pen.scale, page[i].c_str(), kTextTopLeft,
                            nullptr, nullptr);
    }
    DrawScreenRectOutline(&numbers, kPanelOutlineColour);
    DrawScreenRectOutline(&candidates, kPanelOutlineColour);
}

i32 CImeInput::DrawAll(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth, u32 colour)
{
    Lock lock(m_lock);
    if (!font || !m_enabled) return 0;
    DrawPen pen{font, x, y, x, pixelSize, scale, wrapWidth};
    DrawPiece(pen, GetBeforeCursor(), colour);
    DrawCursor(pen, colour);
    DrawComposition(pen, colour);
    DrawPiece(pen, GetAfterCursor(), colour);
    return 1;
}

i32 CImeInput::DrawBeforeCursor(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 width,
                                u32 cursorColour)
{
    Lock lock(m_lock);
    if (!font) return 0;
    DrawPen pen{font, x, y, x, pixelSize, scale, width};
    DrawPiece(pen, GetBeforeCursor(), cursorColour);
    if (m_enabled) DrawCursor(pen, cursorColour);
    return 1;
}

i32 CImeInput::Draw(f32 x, f32 y, u32 pixelSize, f32 scale, u32 colour)
{
    return DrawWithFont(GetFontTexture(), x, y, pixelSize, scale, colour);
}

i32 CImeInput::DrawWrapped(f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth, u32 colour)
{
    return DrawWrappedWithFont(GetFontTexture(), x, y, pixelSize, scale, wrapWidth, colour);
}

i32 CImeInput::DrawClipped(f32 x, f32 y, u32 pixelSize, f32 scale, f32 width, u32 cursorColour)
{
    return DrawClippedWithFont(GetFontTexture(), x, y, pixelSize, scale, width, cursorColour);
}

i32 CImeInput::DrawSimple(f32 x, f32 y, u32 pixelSize, f32 scale, u32 cursorColour)
{
    return DrawSimpleWithFont(GetFontTexture(), x, y, pixelSize, scale, cursorColour);
}

i32 CImeInput::DrawWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, u32 colour)
{
    return DrawAll(font, x, y, pixelSize, scale, 0.0f, colour);
}

i32 CImeInput::DrawWrappedWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 wrapWidth,
                                   u32 colour)
{
    return DrawAll(font, x, y, pixelSize, scale, wrapWidth, colour);
}

i32 CImeInput::DrawClippedWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, f32 width,
                                   u32 cursorColour)
{
    return DrawBeforeCursor(font, x, y, pixelSize, scale, width, cursorColour);
}

i32 CImeInput::DrawSimpleWithFont(CFontTexture* font, f32 x, f32 y, u32 pixelSize, f32 scale, u32 cursorColour)
{
    return DrawBeforeCursor(font, x, y, pixelSize, scale, 0.0f, cursorColour);
}

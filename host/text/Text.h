// The text service: fonts whose glyphs come out as grey bitmaps the way the
// engine's glyph atlas takes them, and the input method that composes
// Japanese text before it is committed.
//
// Fonts are asked for by a Windows face name ("ＭＳ　ゴシック") and a height;
// character codes are code page 932 (one byte, or lead x 256 + trail). The
// input method reports through window messages (kWmImeStartComposition,
// kWmImeComposition, kWmImeEndComposition, kWmImeNotify) posted to the window
// that has the text input; its strings are code page 932. Like the window
// service, the input method belongs to the thread that pumps the messages.
//
// Backends: FreeType glyphs from the font fontconfig chooses, and SDL2's text
// editing for the input method, unless a test installs the fakes (FakeText.h).
#pragma once

#include "host/window/Window.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::text {

class Face;

// ---------------------------------------------------------------- fonts

constexpr uint32_t kGdiError = 0xFFFFFFFFu;
constexpr uint8_t kAnsiCharset = 0;
constexpr uint8_t kShiftJisCharset = 128;
constexpr int32_t kFwNormal = 400;
constexpr int32_t kFwSemiBold = 600;   // from here up a face without a bold cut is emboldened
constexpr int32_t kFwHeavy = 900;
constexpr uint8_t kFixedPitch = 0x01;  // pitch and family bits
constexpr uint8_t kFfModern = 0x30;
constexpr uint8_t kGreyLevels = 64;    // a glyph bitmap's levels run 0..64

struct FontDesc {
    // > 0: the cell height (ascent + descent); < 0: the character height
    // (the em) in pixels; 0: a default of 16 pixels.
    int32_t height = 0;
    int32_t weight = kFwNormal;   // 0 is kFwNormal
    uint8_t charset = kShiftJisCharset;
    uint8_t pitchAndFamily = 0;
    // Code page 932 when given to CreateFont; UTF-8 where a backend sees it.
    std::string face;
};

// In pixels, as the Windows text metrics give them.
struct TextMetrics {
    int32_t height = 0;            // ascent + descent
    int32_t ascent = 0;            // above the baseline
    int32_t descent = 0;
    int32_t internalLeading = 0;   // height less the em
    int32_t externalLeading = 0;
    int32_t aveCharWidth = 0;
    int32_t maxCharWidth = 0;
    int32_t weight = 0;
    uint8_t charset = 0;
};

// A glyph's bitmap box and its place, as the Windows glyph metrics give them.
struct GlyphMetrics {
    uint32_t blackBoxX = 0, blackBoxY = 0;   // the bitmap's width and rows
    int32_t originX = 0;    // the bitmap's left edge, right of the pen
    int32_t originY = 0;    // its top edge, above the baseline
    int16_t cellIncX = 0;   // the advance to the next character
    int16_t cellIncY = 0;
};

struct Size {
    int32_t cx = 0, cy = 0;
};

// A created font. Safe to use from one thread at a time each.
class Font {
public:
    explicit Font(std::unique_ptr<Face> face);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const TextMetrics& Metrics() const { return metrics_; }

    // The glyph of a character code as a grey bitmap: blackBoxY rows, top
    // first, each blackBoxX levels (0..64) padded with zeros to a multiple
    // of 4 bytes. A null buffer or 0 bytes asks for the size the bitmap
    // needs; else the bitmap is written and its size returned. kGdiError
    // when the buffer is too small or the glyph cannot be rendered. A glyph
    // with no ink (a space) is one row of 4 zero bytes, 1 x 1 in metrics.
    // Codes that are not code page 932 characters render its default
    // character, "・".
    uint32_t GetGlyphOutline(uint32_t code, GlyphMetrics& metrics, void* buffer, uint32_t bytes);

    // The advance of a string (each character's cellIncX) and the font's
    // height; false when a character cannot be measured.
    bool GetTextExtent(std::string_view text, Size& size);

    // Where the glyphs come from: the font file's native path (the fake's
    // name under the fake backend).
    std::string Source() const;

private:
    std::unique_ptr<Face> face_;
    TextMetrics metrics_;
};

// Null when no font can be made.
std::unique_ptr<Font> CreateFont(const FontDesc& desc);

// The Unicode code point of a code page 932 character code; 0 when the code
// is not a character of code page 932.
char32_t CodePoint(uint32_t code);

// ---------------------------------------------------------------- input method

// What changed: the lParam bits of kWmImeComposition, and the index of
// GetCompositionString. An lParam of 0 cancels the composition.
constexpr uint32_t kGcsCompStr = 0x0008;
constexpr uint32_t kGcsCompAttr = 0x0010;
constexpr uint32_t kGcsCursorPos = 0x0080;
constexpr uint32_t kGcsResultStr = 0x0800;

// The wParam of kWmImeNotify.
constexpr uint32_t kImnChangeCandidate = 0x0003;
constexpr uint32_t kImnCloseCandidate = 0x0004;
constexpr uint32_t kImnOpenCandidate = 0x0005;

// Attribute bytes, one per byte of the composition.
constexpr uint8_t kAttrInput = 0;             // typed, not converted
constexpr uint8_t kAttrTargetConverted = 1;   // the clause being converted
constexpr uint8_t kAttrConverted = 2;

constexpr uint32_t kImeCandRead = 1;          // the style of a candidate list
constexpr int32_t kImmErrorGeneral = -2;

// The composition string, its attributes or the result string (code page
// 932, no terminating NUL) of the window's input context: a null buffer or
// 0 bytes asks for the size, else as many whole characters as fit are
// copied and counted. kGcsCursorPos gives the cursor's byte offset in the
// composition. A result is read once: what was copied is gone. Unknown
// indices and windows: kImmErrorGeneral.
int32_t GetCompositionString(host::window::Handle window, uint32_t index, void* buffer, uint32_t bytes);

// The candidate list (index 0) in the Windows layout: six 32-bit words
// (size, style, count, selection, page start, page size), an offset from
// the list's start per candidate, then the candidates, each ending with a
// NUL. A null buffer or 0 bytes asks for the size; a smaller buffer gets
// nothing. 0 while there is no list, which is always so where the platform
// shows its own.
uint32_t GetCandidateList(host::window::Handle window, uint32_t index, void* buffer, uint32_t bytes);

// Switches the input method on or off for the thread (the window is where
// text input goes); true when it was on. Turning it off cancels a
// composition and drops a result not yet read. It starts on.
bool EnableIme(host::window::Handle window, bool enable);
bool IsImeEnabled();
// Between kWmImeStartComposition and kWmImeEndComposition.
bool IsComposing();

// A candidate list as a fake input method shows it.
struct CandidateList {
    std::vector<std::string> candidates;   // code page 932
    uint32_t selection = 0;
    uint32_t pageStart = 0;
    uint32_t pageSize = 9;
};

// ---------------------------------------------------------------- backends

// The real backends (the default), replacing what was installed.
void UseRealGlyphs();
void UseRealIme();

}  // namespace host::text

// The fake text backends. Glyphs are boxes of known size; the input method
// composes what a test scripts, in code page 932 as the test writes it.
//
//   auto& glyphs = host::text::InstallFakeGlyphs();
//   glyphs.FailFonts();                       // the next font cannot be made
//
//   auto& ime = host::text::InstallFakeIme();
//   ime.Compose(window, "かな", 2);           // cursor after 2 characters
//   ime.Commit(window, "カナ");
//   ... pump the window's messages; read the strings as they come ...
//
// Fake glyph metrics for a font of height h (|h|, 16 for 0): the em is the
// cell, ascent h - h / 4, descent h / 4, average width h / 2, widest h.
// Code points from U+1100 up (but the half-width forms U+FF61..U+FFDC) are
// wide and advance h, others h / 2. A glyph is a solid box (level 64) one
// texel in from its cell on every side: origin (1, ascent - 1), size
// (advance - 2) x (h - 2). Spaces (U+0020, U+3000) have no ink.
#pragma once

#include "host/text/TextBackend.h"

#include <set>
#include <vector>

namespace host::text {

class FakeGlyphs : public GlyphBackend {
public:
    FakeGlyphs();
    ~FakeGlyphs() override;

    // The next `count` fonts cannot be made.
    void FailFonts(int count = 1);
    // Rendering and measuring this code point fail, in every font.
    void FailGlyph(char32_t codePoint);
    // Every font asked for, faces in UTF-8 as the backend sees them.
    const std::vector<FontDesc>& Requests() const;

    std::unique_ptr<Face> OpenFace(const FontDesc& desc) override;

    struct State;   // shared with the fake's faces

private:
    std::shared_ptr<State> state_;
};

// Installs a fresh fake; the reference holds until the next install.
FakeGlyphs& InstallFakeGlyphs();

class FakeIme : public ImeBackend {
public:
    // The input method composes text: cursor (and the clause being
    // converted, when selectionLength > 0) in characters.
    void Compose(host::window::Handle window, std::string_view text, int cursor, int selectionLength = 0);
    // Commits text. Plain typing outside a composition arrives as kWmChar,
    // as the window service sends it.
    void Commit(host::window::Handle window, std::string_view text);
    void Cancel(host::window::Handle window) { Compose(window, {}, 0); }
    void ShowCandidates(host::window::Handle window, const CandidateList& list);
    void HideCandidates(host::window::Handle window);

    // What the service asked of the platform, in order.
    const std::vector<bool>& EnableCalls() const { return enableCalls_; }
    void SetEnabled(host::window::Handle window, bool enabled) override;

private:
    std::vector<bool> enableCalls_;
};

// Installs a fresh fake; the reference holds until the next install.
FakeIme& InstallFakeIme();

}  // namespace host::text

// What backends see of the text service. A glyph backend opens faces that
// render Unicode code points into tight grey bitmaps; the service does the
// code page 932 edge and the Windows bitmap layout. An input method backend
// only starts and stops the platform's text input; what the platform then
// reports comes in through the Notify... entry points.
#pragma once

#include "host/text/Text.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace host::text {

// One font at one size.
class Face {
public:
    virtual ~Face() = default;
    virtual TextMetrics Metrics() = 0;
    // The glyph of a code point: levels 0..64, blackBoxX per row, rows top
    // first, no padding; an empty bitmap (0 x 0) for a glyph without ink.
    // False when it cannot be rendered.
    virtual bool Render(char32_t codePoint, GlyphMetrics& metrics, std::vector<uint8_t>& levels) = 0;
    // Only the advance (cellIncX); false when unknown.
    virtual bool Advance(char32_t codePoint, int32_t& advance) = 0;
    virtual std::string Source() const = 0;
};

class GlyphBackend {
public:
    virtual ~GlyphBackend() = default;
    // desc.face is UTF-8 here; null when no font can be made.
    virtual std::unique_ptr<Face> OpenFace(const FontDesc& desc) = 0;
};

void InstallGlyphBackend(std::unique_ptr<GlyphBackend> backend);
// FreeType with fontconfig choosing the font; with a font file, that file
// for every face (fontconfig is not asked).
std::unique_ptr<GlyphBackend> CreateFreeTypeBackend(std::string fontFile = {});

// The family fontconfig is asked for in place of a Windows face name (UTF-8,
// full-width letters and spaces as the names are written in Japanese), and
// whether it is the fixed-pitch one. Names not known are passed on as given.
struct FamilyChoice {
    std::string family;
    bool fixedPitch = false;
};
FamilyChoice FamilyForFace(std::string_view faceUtf8, uint8_t pitchAndFamily);

class ImeBackend {
public:
    virtual ~ImeBackend() = default;
    // Starts or stops the platform's text input for the window.
    virtual void SetEnabled(host::window::Handle window, bool enabled) = 0;
};

// Resets the input method's state and installs the backend.
void InstallImeBackend(std::unique_ptr<ImeBackend> backend);
std::unique_ptr<ImeBackend> CreateSdlImeBackend();

// ---------------------------------------------------------------- native events

// What the platform's input method reports (UTF-8; cursor and selection in
// characters). The window service hands SDL's text editing here too.
void NotifyComposition(host::window::Handle window, std::string_view utf8, int cursor, int selectionLength);
// False when the text is plain typing outside a composition (it should
// arrive as kWmChar); otherwise it is the composition's result.
bool NotifyCommit(host::window::Handle window, std::string_view utf8);
// A candidate list appears or changes; null closes it.
void NotifyCandidates(host::window::Handle window, const CandidateList* list);

}  // namespace host::text

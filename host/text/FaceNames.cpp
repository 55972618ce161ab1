// Windows face names to the families fontconfig knows. The game names
// Windows' Japanese fonts; IPA's fonts stand in for them: IPAGothic for the
// fixed-pitch gothic, IPAPGothic for the proportional ones and the UI font.
// Names are compared without spaces and case, with full-width letters and
// the ideographic space as their ASCII forms ("ＭＳ　ゴシック" is
// "msゴシック").
#include "host/text/TextBackend.h"
#include "host/text/Utf8.h"

#include <array>

namespace host::text {
namespace {

struct KnownFace {
    const char* key;   // normalised, UTF-8
    const char* family;
    bool fixedPitch;
};

constexpr std::array<KnownFace, 16> kKnownFaces{{
    {"msgothic", "IPAGothic", true},
    {u8"msゴシック", "IPAGothic", true},
    {"mspgothic", "IPAPGothic", false},
    {u8"mspゴシック", "IPAPGothic", false},
    {"msuigothic", "IPAPGothic", false},
    {"msmincho", "IPAMincho", true},
    {u8"ms明朝", "IPAMincho", true},
    {"mspmincho", "IPAPMincho", false},
    {u8"msp明朝", "IPAPMincho", false},
    {"meiryo", "IPAPGothic", false},
    {u8"メイリオ", "IPAPGothic", false},
    {"meiryoui", "IPAPGothic", false},
    {"yugothic", "IPAPGothic", false},
    {u8"游ゴシック", "IPAPGothic", false},
    {"yugothicui", "IPAPGothic", false},
    {"osaka", "IPAPGothic", false},
}};

std::string Normalise(std::string_view name) {
    std::string out;
    for (size_t pos = 0; pos < name.size();) {
        char32_t cp = NextCodePoint(name, pos);
        if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;   // full-width ASCII
        if (cp == 0x3000 || cp == ' ' || cp == '\t') continue;
        if (cp >= 'A' && cp <= 'Z') cp += 'a' - 'A';
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace

FamilyChoice FamilyForFace(std::string_view faceUtf8, uint8_t pitchAndFamily) {
    const bool fixed = (pitchAndFamily & 0x03) == kFixedPitch;
    std::string key = Normalise(faceUtf8);
    if (key.empty()) return {fixed ? "monospace" : "sans-serif", fixed};
    for (const KnownFace& face : kKnownFaces)
        if (key == face.key) return {face.family, face.fixedPitch};
    return {std::string(faceUtf8), fixed};
}

}  // namespace host::text

// The real glyph backend: fontconfig chooses the font file for a face name,
// FreeType renders its outlines, hinted at a whole number of pixels per em
// as Windows renders TrueType fonts, in 256 levels brought down to 0..64.
//
// Sizes follow the Windows font mapper: a positive height is the cell
// (the OS/2 table's Windows ascent + descent), a negative one the em. A
// weight of 600 or more on a face without a bold cut is emboldened by one
// pixel, which widens every glyph, its advance and the widths by one.
#include "host/text/TextBackend.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace host::text {
namespace {

constexpr int32_t kDefaultHeight = 16;
constexpr int32_t kMaxPixelsPerEm = 2048;

// One FreeType library; faces are opened and closed under its lock, and
// each face renders under its own.
struct Library {
    FT_Library ft = nullptr;
    std::mutex mutex;
    Library() {
        if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    }
    ~Library() {
        if (ft) FT_Done_FreeType(ft);
    }
};

// a x b / c, rounded half up, for the non-negative values of font units.
int32_t Scale(int64_t a, int64_t b, int64_t c) { return c > 0 ? static_cast<int32_t>((2 * a * b + c) / (2 * c)) : 0; }

class FreeTypeFace : public Face {
public:
    FreeTypeFace(std::shared_ptr<Library> library, FT_Face face, std::string path)
        : library_(std::move(library)), face_(face), path_(std::move(path)) {}
    ~FreeTypeFace() override {
        std::lock_guard<std::mutex> lock(library_->mutex);
        FT_Done_Face(face_);
    }

    // Sizes the face; false when it has no outlines to scale.
    bool Size(const FontDesc& desc, bool emboldened) {
        if (!FT_IS_SCALABLE(face_) || face_->units_per_EM == 0) return false;
        const int64_t em = face_->units_per_EM;
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
        const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
        int64_t ascent = os2 ? os2->usWinAscent : face_->ascender;
        int64_t descent = os2 ? os2->usWinDescent : -face_->descender;
        if (ascent + descent <= 0) ascent = em, descent = 0;

        int64_t height = desc.height == 0 ? kDefaultHeight : desc.height;
        int32_t ppem = height > 0 ? Scale(height, em, ascent + descent) : static_cast<int32_t>(-height);
        ppem = std::clamp(ppem, 1, kMaxPixelsPerEm);
        if (FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(ppem)) != 0) return false;

        bold_ = emboldened ? 1 : 0;
        metrics_.ascent = Scale(ascent, ppem, em);
        metrics_.descent = Scale(descent, ppem, em);
        metrics_.height = metrics_.ascent + metrics_.descent;
        metrics_.internalLeading = std::max(0, metrics_.height - ppem);
        if (hhea) {
            int64_t gap = hhea->Line_Gap - ((ascent + descent) - (hhea->Ascender - hhea->Descender));
            metrics_.externalLeading = gap > 0 ? Scale(gap, ppem, em) : 0;
        }
        metrics_.aveCharWidth = (os2 && os2->xAvgCharWidth > 0 ? Scale(os2->xAvgCharWidth, ppem, em) : ppem / 2) + bold_;
        metrics_.maxCharWidth = Scale(std::max<int64_t>(face_->max_advance_width, 0), ppem, em) + bold_;
        metrics_.weight = desc.weight;
        metrics_.charset = desc.charset;
        return true;
    }

    TextMetrics Metrics() override { return metrics_; }

    bool Render(char32_t codePoint, GlyphMetrics& metrics, std::vector<uint8_t>& levels) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Load(codePoint) || FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
        const FT_GlyphSlot slot = face_->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return false;
        metrics = GlyphMetrics{};
        metrics.cellIncX = Advance();
        levels.clear();
        if (bitmap.width == 0 || bitmap.rows == 0) return true;
        metrics.blackBoxX = bitmap.width;
        metrics.blackBoxY = bitmap.rows;
        metrics.originX = slot->bitmap_left;
        metrics.originY = slot->bitmap_top;
        const int maxLevel = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
        levels.resize(static_cast<size_t>(bitmap.width) * bitmap.rows);
        for (unsigned r = 0; r < bitmap.rows; ++r) {
            const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(r) * bitmap.pitch;
            for (unsigned c = 0; c < bitmap.width; ++c)
                levels[static_cast<size_t>(r) * bitmap.width + c] =
                    static_cast<uint8_t>((row[c] * kGreyLevels + maxLevel / 2) / maxLevel);
        }
        return true;
    }

    bool Advance(char32_t codePoint, int32_t& advance) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Load(codePoint)) return false;
        advance = Advance();
        return true;
    }

    std::string Source() const override { return path_; }

private:
    // The glyph of a code point, outlined and hinted; a code point the font
    // lacks loads its missing-glyph box.
    bool Load(char32_t codePoint) {
        FT_UInt index = FT_Get_Char_Index(face_, codePoint);
        if (FT_Load_Glyph(face_, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL) != 0) return false;
        if (face_->glyph->format != FT_GLYPH_FORMAT_OUTLINE) return false;
        if (bold_) FT_Outline_EmboldenXY(&face_->glyph->outline, 64 * bold_, 0);
        return true;
    }

    int16_t Advance() const {
        long pixels = (face_->glyph->advance.x + 32) / 64 + bold_;
        return static_cast<int16_t>(std::clamp<long>(pixels, INT16_MIN, INT16_MAX));
    }

    std::shared_ptr<Library> library_;
    FT_Face face_;
    std::string path_;
    std::mutex mutex_;
    TextMetrics metrics_;
    int32_t bold_ = 0;
};

struct Match {
    std::string file;
    int index = 0;
    bool bold = false;   // the file is a bold cut
};

// fontconfig's choice for a face name, weight and character set.
bool MatchFont(const FontDesc& desc, Match& out) {
    FamilyChoice choice = FamilyForFace(desc.face, desc.pitchAndFamily);
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(choice.family.c_str()));
    if (desc.charset != kAnsiCharset) FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    if (choice.fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(std::clamp(desc.weight, 1, 1000)));
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    int index = 0, weight = FC_WEIGHT_REGULAR;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        out.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        out.index = index;
        out.bold = weight >= FC_WEIGHT_DEMIBOLD;
    }
    FcPatternDestroy(match);
    return ok;
}

class FreeTypeBackend : public GlyphBackend {
public:
    explicit FreeTypeBackend(std::string fontFile)
        : library_(std::make_shared<Library>()), fontFile_(std::move(fontFile)) {}

    std::unique_ptr<Face> OpenFace(const FontDesc& desc) override {
        if (!library_->ft) return nullptr;
        Match match;
        if (!fontFile_.empty()) match.file = fontFile_;
        else if (!MatchFont(desc, match)) return nullptr;

        FT_Face face = nullptr;
        {
            std::lock_guard<std::mutex> lock(library_->mutex);
            if (FT_New_Face(library_->ft, match.file.c_str(), match.index, &face) != 0) return nullptr;
        }
        match.bold = match.bold || (face->style_flags & FT_STYLE_FLAG_BOLD);
        char* real = realpath(match.file.c_str(), nullptr);
        std::string path = real ? real : match.file;
        free(real);
        auto result = std::make_unique<FreeTypeFace>(library_, face, std::move(path));
        if (!result->Size(desc, desc.weight >= kFwSemiBold && !match.bold)) return nullptr;
        return result;
    }

private:
    std::shared_ptr<Library> library_;
    std::string fontFile_;
};

}  // namespace

std::unique_ptr<GlyphBackend> CreateFreeTypeBackend(std::string fontFile) {
    return std::make_unique<FreeTypeBackend>(std::move(fontFile));
}

}  // namespace host::text

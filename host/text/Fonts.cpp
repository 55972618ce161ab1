// The font half of the text service: the code page 932 edge (face names
// and character codes) and the Windows layout of glyph bitmaps, over
// whichever glyph backend is installed.
#include "host/text/TextBackend.h"
#include "host/text/Utf8.h"

#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace host::text {
namespace {

// What code page 932 turns a byte sequence it lacks into: "・".
constexpr char32_t kDefaultChar = 0x30FB;

// Glyphs bigger than this are refused rather than allocated.
constexpr uint64_t kMaxGlyphBytes = 64u << 20;

struct GlyphService {
    std::mutex mutex;
    std::unique_ptr<GlyphBackend> backend;
};

GlyphService& G() {
    static GlyphService* service = new GlyphService;
    return *service;
}

// Cuts rows and columns without ink off the box's edges: a rasteriser's
// box follows the outline's control points, which may lie outside the ink.
void TrimToInk(GlyphMetrics& m, std::vector<uint8_t>& levels) {
    const uint32_t w = m.blackBoxX, h = m.blackBoxY;
    uint32_t left = w, right = 0, top = h, bottom = 0;
    for (uint32_t r = 0; r < h; ++r) {
        for (uint32_t c = 0; c < w; ++c) {
            if (levels[static_cast<size_t>(r) * w + c] == 0) continue;
            left = std::min(left, c);
            right = std::max(right, c + 1);
            top = std::min(top, r);
            bottom = std::max(bottom, r + 1);
        }
    }
    if (left >= right) {
        levels.clear();
        return;
    }
    if (left == 0 && top == 0 && right == w && bottom == h) return;
    std::vector<uint8_t> cut;
    cut.reserve(static_cast<size_t>(right - left) * (bottom - top));
    for (uint32_t r = top; r < bottom; ++r)
        cut.insert(cut.end(), levels.begin() + r * w + left, levels.begin() + r * w + right);
    levels = std::move(cut);
    m.originX += static_cast<int32_t>(left);
    m.originY -= static_cast<int32_t>(top);
    m.blackBoxX = right - left;
    m.blackBoxY = bottom - top;
}

}  // namespace

void InstallGlyphBackend(std::unique_ptr<GlyphBackend> backend) {
    std::lock_guard<std::mutex> lock(G().mutex);
    G().backend = std::move(backend);
}

void UseRealGlyphs() { InstallGlyphBackend(CreateFreeTypeBackend()); }

std::unique_ptr<Font> CreateFont(const FontDesc& desc) {
    FontDesc native = desc;
    native.face = host::kernel::Cp932ToUtf8(desc.face);
    if (native.weight == 0) native.weight = kFwNormal;
    std::unique_ptr<Face> face;
    {
        std::lock_guard<std::mutex> lock(G().mutex);
        if (!G().backend) G().backend = CreateFreeTypeBackend();
        face = G().backend->OpenFace(native);
    }
    if (!face) return nullptr;
    return std::make_unique<Font>(std::move(face));
}

char32_t CodePoint(uint32_t code) {
    char bytes[2];
    size_t count = 0;
    if (code < 0x80) return code;
    if (code < 0x100) {
        if (host::kernel::IsDBCSLeadByte(static_cast<uint8_t>(code))) return 0;   // a lead byte alone
        bytes[count++] = static_cast<char>(code);
    } else if (code <= 0xFFFF) {
        uint8_t lead = static_cast<uint8_t>(code >> 8), trail = static_cast<uint8_t>(code);
        if (!host::kernel::IsDBCSLeadByte(lead) || trail < 0x40 || trail == 0x7F || trail > 0xFC) return 0;
        bytes[count++] = static_cast<char>(lead);
        bytes[count++] = static_cast<char>(trail);
    } else {
        return 0;
    }
    std::string utf8 = host::kernel::Cp932ToUtf8(std::string_view(bytes, count));
    size_t pos = 0;
    char32_t cp = utf8.empty() ? 0 : NextCodePoint(utf8, pos);
    // The conversion writes '?' for what it cannot convert.
    if (cp == '?' || cp == 0xFFFD || pos != utf8.size()) return 0;
    return cp;
}

// ---------------------------------------------------------------- Font

Font::Font(std::unique_ptr<Face> face) : face_(std::move(face)), metrics_(face_->Metrics()) {}

Font::~Font() = default;

std::string Font::Source() const { return face_->Source(); }

uint32_t Font::GetGlyphOutline(uint32_t code, GlyphMetrics& metrics, void* buffer, uint32_t bytes) {
    char32_t cp = CodePoint(code);
    if (cp == 0) cp = kDefaultChar;
    GlyphMetrics m;
    std::vector<uint8_t> levels;
    if (!face_->Render(cp, m, levels)) return kGdiError;
    if (static_cast<uint64_t>(m.blackBoxX) * m.blackBoxY != levels.size()) return kGdiError;
    TrimToInk(m, levels);
    if (levels.empty()) {
        // No ink: one blank texel, so that a caller walking the box stays
        // inside the bytes it was told of.
        m.blackBoxX = m.blackBoxY = 1;
        levels.assign(1, 0);
    }
    const uint64_t stride = (static_cast<uint64_t>(m.blackBoxX) + 3) & ~uint64_t{3};
    const uint64_t size = stride * m.blackBoxY;
    if (size > kMaxGlyphBytes) return kGdiError;
    metrics = m;
    if (!buffer || bytes == 0) return static_cast<uint32_t>(size);
    if (bytes < size) return kGdiError;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, size);
    for (uint32_t r = 0; r < m.blackBoxY; ++r)
        for (uint32_t c = 0; c < m.blackBoxX; ++c)
            out[r * stride + c] = std::min<uint8_t>(levels[static_cast<size_t>(r) * m.blackBoxX + c], kGreyLevels);
    return static_cast<uint32_t>(size);
}

bool Font::GetTextExtent(std::string_view text, Size& size) {
    int64_t width = 0;
    for (size_t i = 0; i < text.size();) {
        uint32_t code = static_cast<uint8_t>(text[i++]);
        if (host::kernel::IsDBCSLeadByte(static_cast<uint8_t>(code)) && i < text.size())
            code = (code << 8) | static_cast<uint8_t>(text[i++]);
        char32_t cp = CodePoint(code);
        int32_t advance = 0;
        if (!face_->Advance(cp ? cp : kDefaultChar, advance)) return false;
        width += advance;
    }
    size.cx = static_cast<int32_t>(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX));
    size.cy = metrics_.height;
    return true;
}

}  // namespace host::text

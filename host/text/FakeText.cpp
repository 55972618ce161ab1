// The fake text backends: box glyphs and a scripted input method. The fake
// input method enters through the same native entry points as SDL's.
#include "host/text/FakeText.h"

#include "host/kernel/Kernel.h"
#include "host/window/WindowBackend.h"

#include <algorithm>
#include <cstdlib>

namespace host::text {

struct FakeGlyphs::State {
    int failFonts = 0;
    std::set<char32_t> failGlyphs;
    std::vector<FontDesc> requests;
};

namespace {

bool IsWide(char32_t cp) { return cp >= 0x1100 && !(cp >= 0xFF61 && cp <= 0xFFDC); }

class FakeFace : public Face {
public:
    FakeFace(std::shared_ptr<FakeGlyphs::State> state, const FontDesc& desc)
        : state_(std::move(state)), height_(desc.height == 0 ? 16 : std::clamp(std::abs(desc.height), 1, 2048)) {
        metrics_.height = height_;
        metrics_.ascent = height_ - height_ / 4;
        metrics_.descent = height_ / 4;
        metrics_.aveCharWidth = height_ / 2;
        metrics_.maxCharWidth = height_;
        metrics_.weight = desc.weight;
        metrics_.charset = desc.charset;
    }

    TextMetrics Metrics() override { return metrics_; }

    bool Render(char32_t cp, GlyphMetrics& metrics, std::vector<uint8_t>& levels) override {
        int32_t advance = 0;
        if (!Advance(cp, advance)) return false;
        metrics = GlyphMetrics{};
        metrics.cellIncX = static_cast<int16_t>(advance);
        levels.clear();
        if (cp == 0x20 || cp == 0x3000) return true;
        metrics.blackBoxX = static_cast<uint32_t>(std::max(1, advance - 2));
        metrics.blackBoxY = static_cast<uint32_t>(std::max(1, height_ - 2));
        metrics.originX = 1;
        metrics.originY = metrics_.ascent - 1;
        levels.assign(static_cast<size_t>(metrics.blackBoxX) * metrics.blackBoxY, kGreyLevels);
        return true;
    }

    bool Advance(char32_t cp, int32_t& advance) override {
        if (state_->failGlyphs.count(cp)) return false;
        advance = IsWide(cp) ? height_ : height_ / 2;
        return true;
    }

    std::string Source() const override { return "fake"; }

private:
    std::shared_ptr<FakeGlyphs::State> state_;
    int32_t height_;
    TextMetrics metrics_;
};

}  // namespace

FakeGlyphs::FakeGlyphs() : state_(std::make_shared<State>()) {}
FakeGlyphs::~FakeGlyphs() = default;

void FakeGlyphs::FailFonts(int count) { state_->failFonts = count; }
void FakeGlyphs::FailGlyph(char32_t codePoint) { state_->failGlyphs.insert(codePoint); }
const std::vector<FontDesc>& FakeGlyphs::Requests() const { return state_->requests; }

std::unique_ptr<Face> FakeGlyphs::OpenFace(const FontDesc& desc) {
    state_->requests.push_back(desc);
    if (state_->failFonts > 0) {
        --state_->failFonts;
        return nullptr;
    }
    return std::make_unique<FakeFace>(state_, desc);
}

FakeGlyphs& InstallFakeGlyphs() {
    auto fake = std::make_unique<FakeGlyphs>();
    FakeGlyphs& ref = *fake;
    InstallGlyphBackend(std::move(fake));
    return ref;
}

// ---------------------------------------------------------------- input method

void FakeIme::Compose(host::window::Handle window, std::string_view text, int cursor, int selectionLength) {
    NotifyComposition(window, host::kernel::Cp932ToUtf8(text), cursor, selectionLength);
}

void FakeIme::Commit(host::window::Handle window, std::string_view text) {
    if (!NotifyCommit(window, host::kernel::Cp932ToUtf8(text))) host::window::PostText(window, text);
}

void FakeIme::ShowCandidates(host::window::Handle window, const CandidateList& list) { NotifyCandidates(window, &list); }

void FakeIme::HideCandidates(host::window::Handle window) { NotifyCandidates(window, nullptr); }

void FakeIme::SetEnabled(host::window::Handle, bool enabled) { enableCalls_.push_back(enabled); }

FakeIme& InstallFakeIme() {
    auto fake = std::make_unique<FakeIme>();
    FakeIme& ref = *fake;
    InstallImeBackend(std::move(fake));
    return ref;
}

}  // namespace host::text

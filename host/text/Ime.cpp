// The input method half of the text service. The platform reports the text
// being composed and the text committed; here they become code page 932 and
// the messages a window would get from the Windows IME:
//
//   composition  kWmImeStartComposition (first), then kWmImeComposition
//                with kGcsCompStr | kGcsCompAttr | kGcsCursorPos
//   commit       (kWmImeStartComposition,) kWmImeComposition with
//                kGcsResultStr, kWmImeEndComposition
//   cancel       kWmImeComposition with 0, kWmImeEndComposition
//
// The messages are posted, so a window reads the strings when it handles
// them: the composition as it is then, and every result committed since the
// last read (a result is read once). A result nobody read is dropped when
// the next commit finds no composition message left waiting for it.
#include "host/text/TextBackend.h"
#include "host/text/Utf8.h"

#include "host/kernel/Kernel.h"
#include "host/window/WindowBackend.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace host::text {
namespace {

using host::window::Handle;
using host::window::kWmImeComposition;
using host::window::kWmImeEndComposition;
using host::window::kWmImeNotify;
using host::window::kWmImeStartComposition;

// Bytes kept of a composition and of the results waiting to be read.
constexpr size_t kMaxComposition = 1024;
constexpr size_t kMaxResult = 4096;
constexpr size_t kMaxCandidates = 1024;

struct ImeService {
    std::recursive_mutex mutex;
    std::unique_ptr<ImeBackend> backend;
    bool enabled = true;
    bool composing = false;
    Handle window = nullptr;   // where the composition's messages go
    std::string composition;   // code page 932
    std::string attributes;    // one per composition byte
    uint32_t cursor = 0;       // bytes into the composition
    std::string result;
    std::string candidates;    // the Windows layout; empty: none
    Handle candidateWindow = nullptr;
};

ImeService& I() {
    static ImeService* service = new ImeService;
    return *service;
}

class Listener : public host::window::ImeListener {
public:
    void Composition(Handle window, std::string_view utf8, int cursor, int selectionLength) override {
        NotifyComposition(window, utf8, cursor, selectionLength);
    }
    bool Commit(Handle window, std::string_view utf8) override { return NotifyCommit(window, utf8); }
};

Listener& TheListener() {
    static Listener* listener = new Listener;
    return *listener;
}

// The window service hands SDL's text editing here from the start.
[[maybe_unused]] const bool g_listening = (host::window::SetImeListener(&TheListener()), true);

ImeBackend& Backend(ImeService& s) {
    if (!s.backend) s.backend = CreateSdlImeBackend();
    return *s.backend;
}

void Post(Handle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    host::window::PostInput(window, message, wParam, lParam);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) < 0x80; });
}

// Code page 932 bytes of the first `characters` characters of a UTF-8 text.
uint32_t Cp932Length(std::string_view utf8, int characters) {
    if (characters <= 0) return 0;
    return static_cast<uint32_t>(host::kernel::Utf8ToCp932(utf8.substr(0, Utf8Offset(utf8, characters))).size());
}

void Begin(ImeService& s, Handle window) {
    if (s.composing && s.window == window) return;
    if (s.composing) {
        Post(s.window, kWmImeComposition, 0, 0);
        Post(s.window, kWmImeEndComposition, 0, 0);
    }
    s.composing = true;
    s.window = window;
    Post(window, kWmImeStartComposition, 0, 0);
}

void ClearComposition(ImeService& s) {
    s.composition.clear();
    s.attributes.clear();
    s.cursor = 0;
}

void Cancel(ImeService& s) {
    ClearComposition(s);
    if (!s.composing) return;
    s.composing = false;
    Post(s.window, kWmImeComposition, 0, 0);
    Post(s.window, kWmImeEndComposition, 0, 0);
}

void PutLe32(std::string& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

std::string CandidateBlock(const CandidateList& list) {
    const size_t count = std::min(list.candidates.size(), kMaxCandidates);
    const size_t header = 24 + 4 * count;
    std::string block(header, '\0');
    for (size_t i = 0; i < count; ++i) {
        PutLe32(block, 24 + 4 * i, static_cast<uint32_t>(block.size()));
        const std::string& text = list.candidates[i];
        block.append(text.data(), std::min(text.find('\0'), text.size()));
        block += '\0';
    }
    const uint32_t words[6] = {static_cast<uint32_t>(block.size()), kImeCandRead, static_cast<uint32_t>(count),
                               list.selection, list.pageStart, list.pageSize};
    for (size_t i = 0; i < 6; ++i) PutLe32(block, 4 * i, words[i]);
    return block;
}

}  // namespace

// ---------------------------------------------------------------- backends

void InstallImeBackend(std::unique_ptr<ImeBackend> backend) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    s.backend = std::move(backend);
    s.enabled = true;
    s.composing = false;
    s.window = nullptr;
    ClearComposition(s);
    s.result.clear();
    s.candidates.clear();
    s.candidateWindow = nullptr;
    host::window::SetImeListener(&TheListener());
}

void UseRealIme() { InstallImeBackend(CreateSdlImeBackend()); }

// ---------------------------------------------------------------- native events

void NotifyComposition(Handle window, std::string_view utf8, int cursor, int selectionLength) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.enabled || !window) return;
    if (utf8.empty()) {
        Cancel(s);   // wherever it was: focus may have moved since it began
        return;
    }
    std::string text = host::kernel::Utf8ToCp932(utf8);
    text.resize(host::kernel::Cp932Fit(text, kMaxComposition));
    const uint32_t size = static_cast<uint32_t>(text.size());
    const uint32_t start = std::min(Cp932Length(utf8, cursor), size);
    const int selectionEnd = static_cast<int>(std::min<int64_t>(int64_t{cursor} + selectionLength, INT32_MAX));
    const uint32_t end = selectionLength > 0 ? std::min(Cp932Length(utf8, selectionEnd), size) : start;

    Begin(s, window);
    s.composition = std::move(text);
    s.cursor = start;
    if (end > start) {
        s.attributes.assign(size, static_cast<char>(kAttrConverted));
        std::fill(s.attributes.begin() + start, s.attributes.begin() + end, static_cast<char>(kAttrTargetConverted));
    } else {
        s.attributes.assign(size, static_cast<char>(kAttrInput));
    }
    Post(window, kWmImeComposition, 0, kGcsCompStr | kGcsCompAttr | kGcsCursorPos);
}

bool NotifyCommit(Handle window, std::string_view utf8) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.enabled || !window) return false;
    if (utf8.empty()) return true;
    if (IsAscii(utf8) && !(s.composing && s.window == window)) return false;

    // Results still waiting are kept only while a message that reads them is.
    if (s.window != window || !host::window::IsQueued(window, kWmImeComposition)) s.result.clear();
    Begin(s, window);
    s.result += host::kernel::Utf8ToCp932(utf8);
    s.result.resize(host::kernel::Cp932Fit(s.result, kMaxResult));
    ClearComposition(s);
    s.composing = false;
    Post(window, kWmImeComposition, 0, kGcsResultStr);
    Post(window, kWmImeEndComposition, 0, 0);
    return true;
}

void NotifyCandidates(Handle window, const CandidateList* list) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!s.enabled || !window) return;
    const bool wasOpen = !s.candidates.empty();
    const bool moved = wasOpen && s.candidateWindow != window;
    if (moved) Post(s.candidateWindow, kWmImeNotify, kImnCloseCandidate, 1);
    if (list) {
        s.candidates = CandidateBlock(*list);
        s.candidateWindow = window;
        Post(window, kWmImeNotify, wasOpen && !moved ? kImnChangeCandidate : kImnOpenCandidate, 1);
    } else if (wasOpen) {
        s.candidates.clear();
        if (!moved) Post(window, kWmImeNotify, kImnCloseCandidate, 1);
    }
}

// ---------------------------------------------------------------- the program's side

int32_t GetCompositionString(Handle window, uint32_t index, void* buffer, uint32_t bytes) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!host::window::IsWindow(window)) return kImmErrorGeneral;
    const std::string* data = nullptr;
    switch (index) {
    case kGcsCompStr: data = &s.composition; break;
    case kGcsCompAttr: data = &s.attributes; break;
    case kGcsResultStr: data = &s.result; break;
    case kGcsCursorPos: return static_cast<int32_t>(s.cursor);
    default: return kImmErrorGeneral;
    }
    if (!buffer || bytes == 0) return static_cast<int32_t>(data->size());
    // Whole characters only; attributes are cut where their characters are.
    const std::string& text = index == kGcsCompAttr ? s.composition : *data;
    const size_t n = std::min(host::kernel::Cp932Fit(text, bytes), data->size());
    std::memcpy(buffer, data->data(), n);
    if (index == kGcsResultStr) s.result.erase(0, n);
    return static_cast<int32_t>(n);
}

uint32_t GetCandidateList(Handle window, uint32_t index, void* buffer, uint32_t bytes) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    if (!host::window::IsWindow(window) || index != 0 || s.candidates.empty()) return 0;
    const uint32_t size = static_cast<uint32_t>(s.candidates.size());
    if (!buffer || bytes == 0) return size;
    if (bytes < size) return 0;
    std::memcpy(buffer, s.candidates.data(), size);
    return size;
}

bool EnableIme(Handle window, bool enable) {
    ImeService& s = I();
    std::lock_guard<std::recursive_mutex> lock(s.mutex);
    const bool was = s.enabled;
    if (!enable) {
        Cancel(s);
        s.result.clear();
        if (!s.candidates.empty()) {
            s.candidates.clear();
            Post(s.candidateWindow, kWmImeNotify, kImnCloseCandidate, 1);
        }
    }
    s.enabled = enable;
    Backend(s).SetEnabled(window, enable);
    return was;
}

bool IsImeEnabled() {
    std::lock_guard<std::recursive_mutex> lock(I().mutex);
    return I().enabled;
}

bool IsComposing() {
    std::lock_guard<std::recursive_mutex> lock(I().mutex);
    return I().composing;
}

}  // namespace host::text

// The editing half of the text entry: messages, the cursor and the buffers.
// Drawing is in ImeInputDraw.cpp.
#include "engine/platform/app/ImeInput.h"

#include "host/text/Text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace win = host::window;
namespace text = host::text;
using host::kernel::Lock;

namespace {

// The input method moved its candidate window; the list is read again.
constexpr u32 kImnSetCandidatePos = 0x0009;

// Composition and result strings are read in pieces of at most this many
// bytes, as the fixed read buffer allowed.
constexpr u32 kMaxCompositionRead = 258;

constexpr char kLineFeed = '\n';

bool IsLead(char c) { return host::kernel::IsDBCSLeadByte(u8(c)); }

// Bytes of the character at `at` of s: two for a lead byte with its trail.
size_t CharLengthIn(const std::string& s, size_t at)
{
    return IsLead(s[at]) && at + 1 < s.size() ? 2 : 1;
}

// s cut to at most bytes, never inside a double-byte character.
std::string Fit(std::string s, size_t bytes)
{
    s.resize(host::kernel::Cp932Fit(s, bytes));
    return s;
}

// The line and column at which byte `end` of s starts. A line breaks before
// a character once lineWidth bytes are on it, and at a line feed; a caret
// right after a full line is still on that line.
void WalkLines(const std::string& s, size_t end, i32 lineWidth, i32& line, i32& column)
{
    line = column = 0;
    for (size_t at = 0; at < end && at < s.size(); at += CharLengthIn(s, at)) {
        if (column >= lineWidth) {
            ++line;
            column = 0;
        }
        if (s[at] == kLineFeed) {
            ++line;
            column = 0;
        } else {
            column += i32(CharLengthIn(s, at));
        }
    }
}

}  // namespace

CImeInput::CImeInput() = default;

CImeInput::CImeInput(const CImeInput& other) : CValueBase(other)
{
    Lock lock(other.m_lock);
    m_cursor = other.m_cursor;
    m_bufferSize = other.m_bufferSize;
    m_lineWidth = other.m_lineWidth;
    m_lineCount = other.m_lineCount;
    m_text = other.m_text;
    m_composition = other.m_composition;
    m_attributes = other.m_attributes;
    m_enabled = other.m_enabled;
    m_multiLine = other.m_multiLine;
    m_changed = other.m_changed;
    m_fontSize = other.m_fontSize;
    m_candidates = other.m_candidates;
    m_font = other.m_font;
    m_window = other.m_window;
    m_candidateDisplay = other.m_candidateDisplay;
    m_blinkPeriod = other.m_blinkPeriod;
}

CImeInput::~CImeInput() { Destroy(); }

i32 CImeInput::Create(u32 size)
{
    Lock lock(m_lock);
    Destroy();
    if (size == 0) return 0;
    m_bufferSize = size;
    m_cursor = 0;
    m_lineWidth = i32(std::min<u32>(size, 0x7FFFFFFF));
    m_lineCount = 1;
    m_multiLine = 0;
    return 1;
}

void CImeInput::Destroy()
{
    Lock lock(m_lock);
    m_bufferSize = 0;
    m_cursor = 0;
    m_text.clear();
    m_composition.clear();
    m_attributes.clear();
    m_candidates.clear();
}

// ---------------------------------------------------------------- messages

i32 CImeInput::HandleMessage(win::Handle window, u32 message, win::WParam wParam, win::LParam lParam)
{
    Lock lock(m_lock);
    m_window = window;
    if (!m_enabled) return 0;
    switch (message) {
    case win::kWmImeStartComposition:
        // The platform's own composition window is never wanted.
        return 1;
    case win::kWmImeComposition:
        UpdateComposition(lParam);
        return 1;
    case win::kWmImeNotify:
        if (wParam == text::kImnChangeCandidate || wParam == text::kImnOpenCandidate || wParam == kImnSetCandidatePos)
            ReadCandidateList();
        else if (wParam == text::kImnCloseCandidate)
            m_candidates.clear();
        return 1;
    case win::kWmChar:
        InsertChar(u8(wParam & 0xFF));
        return 1;
    case win::kWmKeyDown:
        HandleKey(u32(wParam));
        return 1;
    default:
        return 0;
    }
}

void CImeInput::HandleKey(u32 virtualKey)
{
    switch (virtualKey) {
    case win::kVkBack: Backspace(); break;
    case win::kVkReturn:
        if (win::GetKeyState(win::kVkShift) & 0x8000) InsertChar(u8(kLineFeed));
        break;
    case win::kVkLeft: MoveChars(-1); break;
    case win::kVkRight: MoveChars(1); break;
    case win::kVkUp: MoveLines(-1); break;
    case win::kVkDown: MoveLines(1); break;
    case win::kVkDelete: DeleteAfterCursor(); break;
    default: break;
    }
}

std::string CImeInput::ReadCompositionString(u32 index) const
{
    if (m_bufferSize < 2) return {};
    const u32 limit = std::min(m_bufferSize - 2, kMaxCompositionRead);
    std::string out(limit, '\0');
    const i32 got = text::GetCompositionString(m_window, index, out.data(), limit);
    out.resize(got > 0 ? std::min<size_t>(size_t(got), limit) : 0);
    return out;
}

void CImeInput::UpdateComposition(win::LParam flags)
{
    if (flags & text::kGcsResultStr) {
        std::string result = ReadCompositionString(text::kGcsResultStr);
        m_changed = 1;
        // The buffer it was read into ended at the first NUL.
        result.resize(std::min(result.find('\0'), result.size()));
        InsertString(result);
        m_composition.clear();
        m_attributes.clear();
    } else if (flags & text::kGcsCompStr) {
        m_composition = ReadCompositionString(text::kGcsCompStr);
        m_composition.resize(std::min(m_composition.find('\0'), m_composition.size()));
        m_changed = 1;
    }
    if (flags & text::kGcsCompAttr) {
        m_attributes = ReadCompositionString(text::kGcsCompAttr);
        m_changed = 1;
    }
    if (flags == 0) {
        m_composition.clear();
        m_attributes.clear();
        m_changed = 0;
    }
}

void CImeInput::ReadCandidateList()
{
    const u32 size = text::GetCandidateList(m_window, 0, nullptr, 0);
    std::vector<u8> list(size);
    if (size == 0 || text::GetCandidateList(m_window, 0, list.data(), size) != size) list.clear();
    m_candidates = std::move(list);
}

// ---------------------------------------------------------------- editing

size_t CImeInput::Capacity() const
{
    if (!HasBuffers() || m_lineWidth <= 0 || m_lineCount <= 0) return 0;
    const i64 bytes = i64(m_lineWidth) * i64(m_lineCount);
    return size_t(std::min<i64>(bytes, i64(m_bufferSize) - 1));
}

size_t CImeInput::CharLength(size_t at) const { return CharLengthIn(m_text, at); }

void CImeInput::InsertChar(u8 c)
{
    if (c == u8(kLineFeed)) {
        if (!m_multiLine || CountBreaks(m_text + m_composition) + 1 >= m_lineCount) return;
    } else if (c < 0x20 || c > 0x7E) {
        return;
    }
    InsertString(std::string(1, char(c)));
}

void CImeInput::InsertString(const std::string& s)
{
    if (!HasBuffers() || m_cursor < 0 || u32(m_cursor) >= m_bufferSize) return;
    // Dropped whole when it does not fit.
    if (s.size() + m_text.size() > Capacity()) return;
    m_text.insert(size_t(m_cursor), s);
    m_cursor += i32(s.size());
}

void CImeInput::DeleteAfterCursor()
{
    if (size_t(m_cursor) >= m_text.size()) return;
    m_text.erase(size_t(m_cursor), CharLength(size_t(m_cursor)));
}

void CImeInput::Backspace()
{
    if (m_cursor <= 0) return;
    StepLeft();
    DeleteAfterCursor();
}

void CImeInput::StepLeft()
{
    if (m_cursor < 2) {
        m_cursor = 0;
        return;
    }
    size_t at = 0, last = 0;
    while (at < size_t(m_cursor) && at < m_text.size()) {
        last = at;
        at += CharLength(at);
    }
    m_cursor = i32(last);
}

void CImeInput::StepRight()
{
    if (size_t(m_cursor) >= m_text.size()) return;
    m_cursor = i32(std::min(m_text.size(), size_t(m_cursor) + CharLength(size_t(m_cursor))));
}

void CImeInput::MoveChars(i32 n)
{
    const i64 target = i64(m_cursor) + n;
    if (u64(std::llabs(n)) < m_bufferSize && target > 0 && target < i64(m_text.size())) {
        for (i32 i = 0; i < std::abs(n); ++i) n > 0 ? StepRight() : StepLeft();
    } else {
        m_cursor = n >= 0 ? i32(m_text.size()) : 0;
    }
}

i32 CImeInput::CountBreaks(const std::string& s) const
{
    i32 line = 0, column = 0;
    WalkLines(s, s.size(), m_lineWidth, line, column);
    return line;
}

void CImeInput::LineAndColumn(size_t at, i32& line, i32& column) const
{
    WalkLines(m_text, at, m_lineWidth, line, column);
    // A caret where a full line wraps stands at the start of the next one.
    if (at < m_text.size() && column >= m_lineWidth) {
        ++line;
        column = 0;
    }
}

// The cursor keeps its column where the target line is long enough, else it
// goes to that line's end. The composition is not part of the text moved
// through: it is drawn at the cursor and moves with it.
void CImeInput::MoveLines(i32 n)
{
    i32 line = 0, column = 0;
    LineAndColumn(size_t(m_cursor), line, column);
    const i32 target = line + n;
    if (target < 0) {
        m_cursor = 0;
        return;
    }
    if (target > CountBreaks(m_text)) {
        m_cursor = i32(m_text.size());
        return;
    }
    for (;;) {
        const i32 before = m_cursor;
        n > 0 ? StepRight() : StepLeft();
        if (m_cursor == before) return;   // at either end
        i32 l = 0, c = 0;
        LineAndColumn(size_t(m_cursor), l, c);
        if (n > 0) {
            if (l > target) {
                StepLeft();
                return;
            }
            if (l == target && c >= column) return;
        } else if (l == target && c <= column) {
            return;
        } else if (l < target) {
            return;
        }
    }
}

// ---------------------------------------------------------------- the owner's side

void CImeInput::Enable(i32 flag)
{
    Lock lock(m_lock);
    m_enabled = flag;
    if (!flag) {
        m_text.clear();
        m_composition.clear();
        m_attributes.clear();
        // A cursor left past the cleared text would put the next character
        // nowhere.
        m_cursor = 0;
    }
    if (m_window) text::EnableIme(m_window, flag != 0);
}

i32 CImeInput::IsEnabled() const
{
    Lock lock(m_lock);
    return m_enabled;
}

i32 CImeInput::GetChanged() const
{
    Lock lock(m_lock);
    return m_changed;
}

void CImeInput::SetChanged(i32 value)
{
    Lock lock(m_lock);
    m_changed = value;
}

void CImeInput::SetMode(i32 lineCount, f32 fontSize, i32 lineWidth)
{
    Lock lock(m_lock);
    m_lineCount = lineCount;
    m_multiLine = lineCount > 1 ? 1 : 0;
    m_fontSize = fontSize;
    // A width of none or fewer bytes would refuse all typing.
    if (lineWidth > 0 && u32(lineWidth) < m_bufferSize) m_lineWidth = lineWidth;
}

void CImeInput::SetText(const char* text)
{
    Lock lock(m_lock);
    if (!HasBuffers()) return;
    m_composition.clear();
    m_attributes.clear();
    if (!text) {
        m_text.clear();
        m_cursor = 0;
        return;
    }
    m_text = Fit(std::string(text, strnlen(text, m_bufferSize)), m_bufferSize - 1);
    m_cursor = i32(m_text.size());
}

void CImeInput::GetText(char* out, u32 size) const
{
    Lock lock(m_lock);
    if (!out || size == 0) return;
    const std::string text = Fit(m_text, size - 1);
    std::memcpy(out, text.c_str(), text.size() + 1);
}

void CImeInput::TakeText(char* out, u32 size)
{
    Lock lock(m_lock);
    GetText(out, size);
    m_text.clear();
    m_composition.clear();
    m_cursor = 0;
}

u32 CImeInput::GetCompositionLength() const
{
    Lock lock(m_lock);
    return u32(m_composition.size());
}

u32 CImeInput::GetTotalLength() const
{
    Lock lock(m_lock);
    return u32(m_text.size() + m_composition.size());
}

u32 CImeInput::BlinkCursor(u32 colour)
{
    Lock lock(m_lock);
    if (++m_blinkCounter >= m_blinkPeriod) {
        m_blinkCounter = 0;
        m_cursorVisible = !m_cursorVisible;
    }
    return m_cursorVisible ? colour : 0;
}

void CImeInput::SetFontTexture(CFontTexture* font)
{
    Lock lock(m_lock);
    m_font = font;
}

CFontTexture* CImeInput::GetFontTexture() const
{
    Lock lock(m_lock);
    return m_font;
}

void CImeInput::SetCandidateDisplay(i32 on)
{
    Lock lock(m_lock);
    m_candidateDisplay = on;
}

i32 CImeInput::GetCursor() const
{
    Lock lock(m_lock);
    return m_cursor;
}

std::string CImeInput::GetTextString() const
{
    Lock lock(m_lock);
    return m_text;
}

std::string CImeInput::GetBeforeCursor() const
{
    Lock lock(m_lock);
    return m_text.substr(0, size_t(m_cursor));
}

std::string CImeInput::GetAfterCursor() const
{
    Lock lock(m_lock);
    return m_text.substr(size_t(m_cursor));
}

std::string CImeInput::GetComposition() const
{
    Lock lock(m_lock);
    return m_composition;
}

std::string CImeInput::GetCompositionAttributes() const
{
    Lock lock(m_lock);
    return m_attributes;
}

std::vector<u8> CImeInput::GetCandidateList() const
{
    Lock lock(m_lock);
    return m_candidates;
}

u32 CImeInput::GetBufferSize() const
{
    Lock lock(m_lock);
    return m_bufferSize;
}

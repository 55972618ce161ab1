#include "engine/core/ReadText.h"

#include "engine/core/Number.h"
#include "host/kernel/Kernel.h"

#include <cstdint>
#include <cstring>

using host::kernel::IsDBCSLeadByte;

CqelReadText::CqelReadText(const CqelReadText& other)
    : CqelReadFile(other), m_delimiterCount(other.m_delimiterCount)
{
    std::memcpy(m_delimiters, other.m_delimiters, sizeof m_delimiters);
}

CqelReadText& CqelReadText::operator=(const CqelReadText& other)
{
    if (this == &other) return *this;
    CqelReadFile::operator=(other);
    std::memcpy(m_delimiters, other.m_delimiters, sizeof m_delimiters);
    m_delimiterCount = other.m_delimiterCount;
    return *this;
}

CqelReadText::~CqelReadText() { CqelReadText::Release(); }

u32 CqelReadText::Release()
{
    std::memset(m_delimiters, 0, sizeof m_delimiters);
    m_delimiterCount = 0;
    return CqelReadFile::Release();
}

u32 CqelReadText::LoadFromMemory(const void* data, u32 size) { return CopyFrom(data, size); }

u32 CqelReadText::LoadFromFile(const char* path)
{
    Adopt(nullptr, 0);
    if (!path) return 0;
    auto file = host::kernel::OpenFile(path, "rt");
    if (!file) return 0;
    const int64_t bytes = file->Size();
    if (bytes < 0 || bytes >= int64_t(UINT32_MAX)) return 0;
    // Text mode only ever shortens the file (CR LF becomes LF).
    const u32 capacity = u32(bytes);
    u8* buffer = static_cast<u8*>(AlignedAlloc(capacity + 1, 16));
    if (!buffer) return 0;
    u32 got = 0;
    while (got < capacity) {
        const size_t n = file->Read(buffer + got, capacity - got);
        if (n == 0) break;
        got += u32(n);
    }
    // Stopping before the end means a read error (or a file that grew).
    if (!file->AtEnd()) {
        AlignedFree(buffer);
        return 0;
    }
    buffer[got] = 0;
    Adopt(buffer, got + 1);
    return 1;
}

void CqelReadText::SetDelimiters(const char* chars)
{
    if (!chars) return;
    const size_t n = strnlen(chars, kMaxDelimiters);
    std::memset(m_delimiters, 0, sizeof m_delimiters);
    std::memcpy(m_delimiters, chars, n);
    m_delimiterCount = u32(n);
}

bool CqelReadText::IsDelimiter(u8 c) const
{
    return c == 0 || std::memchr(m_delimiters, c, m_delimiterCount) != nullptr;
}

u32 CqelReadText::CharLength() const
{
    return IsDBCSLeadByte(m_buffer[m_cursor]) && m_cursor + 1 < m_size ? 2 : 1;
}

u32 CqelReadText::SkipComment()
{
    if (GetRemaining() < 2 || m_buffer[m_cursor] != '/' || m_buffer[m_cursor + 1] != '/') return 0;
    m_cursor += 2;
    while (m_cursor < m_size && m_buffer[m_cursor] != '\n') m_cursor += CharLength();
    return 1;
}

i32 CqelReadText::ReadToken(char* out, u32 outSize)
{
    if (out && outSize) out[0] = '\0';
    while (m_cursor < m_size) {
        SkipComment();
        if (m_cursor >= m_size) break;
        const u8 c = m_buffer[m_cursor];
        if (IsDBCSLeadByte(c) || !IsDelimiter(c)) break;
        ++m_cursor;
    }
    if (m_cursor >= m_size) return -1;

    // Copies while there is room; once a character does not fit, the rest
    // of the token is consumed without copying.
    u32 written = 0;
    bool full = !out || outSize == 0;
    while (m_cursor < m_size) {
        const u8 c = m_buffer[m_cursor];
        const bool lead = IsDBCSLeadByte(c);
        if (!lead && IsDelimiter(c)) break;
        const u32 step = CharLength();
        if (!full && written + step < outSize) {
            std::memcpy(out + written, m_buffer + m_cursor, step);
            written += step;
        } else {
            full = true;
        }
        m_cursor += step;
    }
    if (out && outSize) out[written] = '\0';
    return 0;
}

i32 CqelReadText::PeekToken(char* out, u32 outSize)
{
    const u32 saved = m_cursor;
    const i32 result = ReadToken(out, outSize);
    m_cursor = saved;
    return result;
}

i32 CqelReadText::SeekAnyOf(const char* chars)
{
    if (!chars) return -1;
    while (SkipToSingleByte()) {
        const u8 c = m_buffer[m_cursor];
        if (c != 0 && std::strchr(chars, c)) return 0;
        ++m_cursor;
    }
    return -1;
}

bool CqelReadText::SkipToSingleByte()
{
    while (m_cursor < m_size) {
        SkipComment();
        if (m_cursor >= m_size) return false;
        if (!IsDBCSLeadByte(m_buffer[m_cursor])) return true;
        m_cursor += CharLength();
    }
    return false;
}

i32 CqelReadText::SkipPast(const char* chars)
{
    if (SeekAnyOf(chars) != 0) return -1;
    ++m_cursor;
    return 0;
}

i32 CqelReadText::SkipBlock()
{
    if (SeekAnyOf("{") != 0) return -1;
    ++m_cursor;
    if (m_cursor >= m_size) return -1;
    u32 depth = 1;
    while (SkipToSingleByte()) {
        const u8 c = m_buffer[m_cursor++];
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) break;
    }
    return 0;
}

char* CqelReadText::ReadQuotedString()
{
    if (SeekAnyOf("\"") != 0) return nullptr;
    ++m_cursor;
    const u32 start = m_cursor;
    u32 kept = 0;
    bool closed = false;
    while (m_cursor < m_size) {
        if (m_buffer[m_cursor] == '"') {
            ++m_cursor;
            closed = true;
            break;
        }
        const u32 step = CharLength();
        if (m_cursor - start == kept && kept + step <= kMaxString) kept += step;
        m_cursor += step;
    }
    if (!closed) m_error = true;
    if (kept == 0) return nullptr;
    char* text = static_cast<char*>(AlignedAlloc(kept + 1, 16));
    if (text) std::memcpy(text, m_buffer + start, kept);
    return text;
}

char* CqelReadText::ReadString() { return ReadQuotedString(); }

bool CqelReadText::ReadNumberToken(char* out, u32 size)
{
    if (ReadToken(out, size) == 0) return true;
    m_error = true;
    return false;
}

// Token buffers as the model readers size them: 11, 31 and 59 characters.
i8 CqelReadText::ReadInt8()
{
    char token[12];
    return ReadNumberToken(token, sizeof token) ? i8(u8(ParseInt(token))) : 0;
}

i16 CqelReadText::ReadInt16()
{
    char token[32];
    return ReadNumberToken(token, sizeof token) ? i16(u16(ParseInt(token))) : 0;
}

i32 CqelReadText::ReadInt32()
{
    char token[60];
    return ReadNumberToken(token, sizeof token) ? ParseInt(token) : 0;
}

u32 CqelReadText::ReadUInt32() { return u32(CqelReadText::ReadInt32()); }

f32 CqelReadText::ReadFloat()
{
    char token[60];
    return ReadNumberToken(token, sizeof token) ? ParseFloat(token) : 0.0f;
}

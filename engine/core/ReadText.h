// `CqelReadText`: a tokenizer over a whole text file (the DirectX .x
// reader builds on it).
//
// Tokens are separated by the characters of the delimiter set; a zero byte
// always separates too (it ends a text loaded from a file). "//" where a
// scan stands starts a comment that runs to the next LF, which is left to
// act as a delimiter; "//" inside a token is part of it. Shift-JIS pairs
// are stepped over whole, so a trail byte never counts as a delimiter,
// quote or brace. Numbers are read as the C library reads them in the "C"
// locale, whatever the process locale.
#pragma once

#include "engine/core/ReadFile.h"
#include "engine/core/ValueBase.h"

class CqelReadText : public CqelReadFile {
    ORV_VALUE_CLASS(CqelReadText)

public:
    CqelReadText() = default;
    CqelReadText(const CqelReadText& other);
    CqelReadText& operator=(const CqelReadText& other);
    ~CqelReadText() override;

    u32 LoadFromMemory(const void* data, u32 size) override;
    // The whole file in text mode (CR LF read as LF) followed by one zero
    // byte, which the data size includes: an empty file gives size 1.
    u32 LoadFromFile(const char* path) override;

    // ReadQuotedString.
    char* ReadString() override;
    // One token through the C library's conversions (atoi, atof). A token
    // that is not a number gives 0; no token at all gives 0 and sets the
    // error flag. Integers outside 32 bits saturate; ReadInt8 and ReadInt16
    // keep the low 8 and 16 bits.
    i8 ReadInt8() override;
    i16 ReadInt16() override;
    i32 ReadInt32() override;
    u32 ReadUInt32() override;
    f32 ReadFloat() override;

    // Clears the delimiter set, then frees the buffer. Returns 1.
    u32 Release() override;

    // Copies at most kMaxDelimiters characters of chars as the delimiter
    // set; null changes nothing.
    void SetDelimiters(const char* chars);
    const char* GetDelimiters() const { return m_delimiters; }

    // Skips delimiters and comments, then copies the token into out
    // (outSize bytes with the terminator; longer tokens are cut at a
    // character boundary but consumed whole). The delimiter after it stays
    // at the cursor. 0, or -1 with an empty out when the text has ended.
    // out may be null to skip a token.
    i32 ReadToken(char* out, u32 outSize);
    template <u32 N>
    i32 ReadToken(char (&out)[N])
    {
        return ReadToken(out, N);
    }
    // ReadToken with the cursor put back afterwards.
    i32 PeekToken(char* out, u32 outSize);
    template <u32 N>
    i32 PeekToken(char (&out)[N])
    {
        return PeekToken(out, N);
    }
    // Skips one comment if one starts at the cursor: 1 when one did.
    u32 SkipComment();
    // Moves the cursor onto the next character of chars: 0, or -1 (the
    // cursor at the end) when none is left. Null chars: -1.
    i32 SeekAnyOf(const char* chars);
    // SeekAnyOf, then one step past the character found.
    i32 SkipPast(const char* chars);
    // Skips to the first "{" and past its matching "}" (or to the end when
    // the braces never close): 0, or -1 when no "{" is found.
    i32 SkipBlock();
    // The text between the next pair of double quotes in a new 16-byte-
    // aligned allocation (AlignedFree), at most kMaxString bytes kept; null
    // when there is no quote or nothing between. A string that runs to the
    // end without its closing quote is returned with the error flag set.
    char* ReadQuotedString();

    static constexpr u32 kMaxDelimiters = 15;
    static constexpr u32 kMaxString = 512;

private:
    bool IsDelimiter(u8 c) const;
    // The cursor's step over the character at it: 2 for a whole Shift-JIS
    // pair, else 1.
    u32 CharLength() const;
    // Moves the cursor past comments and double-byte characters to the next
    // single-byte character; false at the end of the buffer.
    bool SkipToSingleByte();
    // ReadToken into a buffer of size bytes; false (error flag set) when
    // the text has ended.
    bool ReadNumberToken(char* out, u32 size);

    char m_delimiters[kMaxDelimiters + 1] = {};
    u32 m_delimiterCount = 0;
};

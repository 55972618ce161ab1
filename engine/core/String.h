// `CString`: the engine's small owned string value.
#pragma once

#include "engine/core/Types.h"

namespace host::kernel { class File; }

// An owned, NUL-terminated copy of a text in a 16-byte-aligned allocation,
// or null when empty, with its length in bytes (terminator excluded).
class CString {
public:
    CString() = default;
    CString(const char* s);   // null gives the empty string
    CString(const CString& o);
    CString(CString&& o) noexcept;
    ~CString();
    CString& operator=(const CString& o) { return CopyFrom(o); }
    CString& operator=(CString&& o) noexcept;

    // The text, or null when empty.
    const char* GetText() const { return text_; }
    u32 GetLength() const { return length_; }

    // Frees the text; the string becomes empty. Returns 1.
    u32 Free();
    // Replaces the text with a copy of o's (up to its terminator).
    CString& CopyFrom(const CString& o);
    // Appends a C string; null changes nothing.
    CString& operator+=(const char* s);

    // StrCmp (text, s).
    i32 Compare(const char* s) const;
    // StrIStr (text, s): the first case-insensitive match inside the text.
    const char* FindNoCase(const char* s) const;
    // Replaces the first exact occurrence of find by with; the new text, or
    // null (text unchanged) when an argument is null or find does not occur.
    const char* Replace(const char* find, const char* with);

    // On file: u32 length n (little-endian); then, when n > 0, the n bytes of
    // text scrambled with ScrambleBytes (key) and one zero byte.
    // 1, or 0 for a null file or a failed write.
    u32 Write(host::kernel::File* file, u8 key) const;
    // Reads that layout. The length is checked against what is left in the
    // file and the stored terminator must be there and zero; on any damage or
    // short read the string is left empty and 0 is returned.
    u32 Read(host::kernel::File* file, u8 key);
    // As Read, for text stored without scrambling.
    u32 ReadPlain(host::kernel::File* file);

private:
    u32 ReadImpl(host::kernel::File* file, bool unscramble, u8 key);
    // Takes a copy of size bytes of s; false (and empty) when it cannot.
    bool Assign(const char* s, size_t size);

    char* text_ = nullptr;
    u32 length_ = 0;
};

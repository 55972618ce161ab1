#include "engine/core/String.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/core/Scramble.h"
#include "engine/core/StringUtil.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <utility>

namespace {

// A new terminated copy of size bytes, or null when it cannot be made (a
// size whose terminator would not fit in 32 bits, or no memory).
char* NewText(const char* s, size_t size)
{
    if (size >= 0xFFFFFFFFu) return nullptr;
    char* text = static_cast<char*>(AlignedAlloc(u32(size + 1), 16));
    if (!text) return nullptr;
    if (size) std::memcpy(text, s, size);
    text[size] = '\0';
    return text;
}

}  // namespace

CString::CString(const char* s)
{
    if (s) Assign(s, std::strlen(s));
}

CString::CString(const CString& o)
{
    if (o.text_) Assign(o.text_, o.length_);
}

CString::CString(CString&& o) noexcept
    : text_(std::exchange(o.text_, nullptr)), length_(std::exchange(o.length_, 0))
{
}

CString::~CString() { Free(); }

CString& CString::operator=(CString&& o) noexcept
{
    if (this != &o) {
        Free();
        text_ = std::exchange(o.text_, nullptr);
        length_ = std::exchange(o.length_, 0);
    }
    return *this;
}

u32 CString::Free()
{
    AlignedFree(text_);
    text_ = nullptr;
    length_ = 0;
    return 1;
}

bool CString::Assign(const char* s, size_t size)
{
    char* text = NewText(s, size);
    Free();
    if (!text) return false;
    text_ = text;
    length_ = u32(size);
    return true;
}

CString& CString::CopyFrom(const CString& o)
{
    if (this == &o) return *this;
    if (!o.text_) Free();
    else Assign(o.text_, std::strlen(o.text_));
    return *this;
}

CString& CString::operator+=(const char* s)
{
    if (!s) return *this;
    const size_t add = std::strlen(s);
    const size_t size = size_t(length_) + add;
    if (size >= 0xFFFFFFFFu) return *this;
    char* text = static_cast<char*>(AlignedAlloc(u32(size + 1), 16));
    if (!text) return *this;
    if (length_) std::memcpy(text, text_, length_);
    std::memcpy(text + length_, s, add);   // s may lie inside the old text: copied before it is freed
    text[size] = '\0';
    AlignedFree(text_);
    text_ = text;
    length_ = u32(size);
    return *this;
}

i32 CString::Compare(const char* s) const { return StrCmp(text_, s); }

const char* CString::FindNoCase(const char* s) const { return StrIStr(text_, s); }

const char* CString::Replace(const char* find, const char* with)
{
    if (!text_ || !find || !with) return nullptr;
    const char* at = StrStr(text_, find);
    if (!at) return nullptr;
    const size_t prefix = size_t(at - text_);
    const size_t findSize = std::strlen(find), withSize = std::strlen(with);
    const size_t suffix = std::strlen(at + findSize);
    const size_t size = prefix + withSize + suffix;
    if (size >= 0xFFFFFFFFu) return nullptr;
    char* text = static_cast<char*>(AlignedAlloc(u32(size + 1), 16));
    if (!text) return nullptr;
    std::memcpy(text, text_, prefix);
    std::memcpy(text + prefix, with, withSize);
    std::memcpy(text + prefix + withSize, at + findSize, suffix);
    text[size] = '\0';
    AlignedFree(text_);
    text_ = text;
    length_ = u32(size);
    return text_;
}

u32 CString::Write(host::kernel::File* file, u8 key) const
{
    if (!file) return 0;
    u8 header[4];
    PutLe32(header, length_);
    if (file->Write(header, 4) != 4) return 0;
    if (length_ == 0) return 1;
    // The scrambler's table repeats every 256 bytes, so scrambling a copy
    // 256 bytes at a time gives the whole-buffer result while the text
    // itself is never touched.
    u8 chunk[256];
    for (u32 done = 0; done < length_;) {
        const u32 n = length_ - done < 256 ? length_ - done : 256;
        std::memcpy(chunk, text_ + done, n);
        ScrambleBytes(key, chunk, n);
        if (file->Write(chunk, n) != n) return 0;
        done += n;
    }
    const u8 terminator = 0;
    return file->Write(&terminator, 1) == 1 ? 1 : 0;
}

u32 CString::Read(host::kernel::File* file, u8 key) { return ReadImpl(file, true, key); }

u32 CString::ReadPlain(host::kernel::File* file) { return ReadImpl(file, false, 0); }

// Nothing stored is trusted and no short read passes: the length must fit
// in what is left of the file (so length + 1 never
// wraps and no huge block is allocated), exactly n bytes must arrive, the
// stored terminator must be a zero byte, and the text is terminated here.
u32 CString::ReadImpl(host::kernel::File* file, bool unscramble, u8 key)
{
    Free();
    if (!file) return 0;
    u8 header[4];
    if (file->Read(header, 4) != 4) return 0;
    const u32 n = GetLe32(header);
    if (n == 0) return 1;
    if (n == 0xFFFFFFFFu) return 0;   // n + 1 would wrap to 0

    const int64_t size = file->Size(), at = file->Tell();
    if (size < 0 || at < 0 || at > size) return 0;
    if (uint64_t(n) + 1 > uint64_t(size - at)) return 0;   // text and terminator must both be there

    char* text = static_cast<char*>(AlignedAlloc(n + 1, 16));
    if (!text) return 0;
    u8 terminator = 0xFF;
    if (file->Read(text, n) != n || file->Read(&terminator, 1) != 1 || terminator != 0) {
        AlignedFree(text);
        return 0;
    }
    if (unscramble) ScrambleBytes(key, text, n);
    text[n] = '\0';
    text_ = text;
    length_ = n;
    return 1;
}

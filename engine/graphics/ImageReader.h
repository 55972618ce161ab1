// CImageReader: the base of the image readers. It keeps the image files a
// reader wrote while converting (their names and bytes), and writes them:
// uncompressed BMP and DDS files from interleaved 8-bit pixels in blue,
// green, red, alpha order.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/ResourceList.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"

// One written file: its path and its bytes (16-byte aligned, owned).
class CImageFile : public CValueBase {
    ORV_VALUE_CLASS(CImageFile)

public:
    CImageFile() = default;
    // Takes bytes (from AlignedAlloc).
    CImageFile(const char* name, u8* bytes, u32 size);
    // An independent copy of the name and the bytes; empty bytes when they
    // cannot be allocated.
    CImageFile(const CImageFile& other);
    CImageFile& operator=(const CImageFile&) = delete;
    ~CImageFile() override;

    const char* GetName() const { return m_name.GetText(); }
    const u8* GetBytes() const { return m_bytes; }
    u32 GetByteCount() const { return m_size; }

private:
    CString m_name;
    u8* m_bytes = nullptr;
    u32 m_size = 0;
};

// Pixels per metre of a BMP when the image carries no resolution (96 dpi).
constexpr u32 kDefaultPixelsPerMetre = 3780;

// The whole file for width x height pixels of channels bytes each, rows top
// to bottom, in a new AlignedAlloc block whose size goes to *size; null for
// a null argument, a channel count outside 1..4, or a file past 32 bits.
// One channel is written as grey in 24 bits, two as grey and alpha in 32;
// three and four as they are (blue, green, red, alpha).
//
// BMP: 54-byte header, bottom-up rows padded with zeros to 4 bytes.
u8* EncodeBMP(const u8* pixels, u32 width, u32 height, u32 channels, u32 xPixelsPerMetre,
    u32 yPixelsPerMetre, u32* size);
// DDS: "DDS ", the 124-byte surface description of an uncompressed RGB(A)
// texture, then rows top to bottom padded with zeros to the pitch.
u8* EncodeDDS(const u8* pixels, u32 width, u32 height, u32 channels, u32* size);

class CImageReader : public CResourceBase {
    ORV_VALUE_CLASS(CImageReader)

public:
    CImageReader() = default;
    // The written files deep-copied.
    CImageReader(const CImageReader& other) = default;
    CImageReader& operator=(const CImageReader&) = delete;
    ~CImageReader() override;

    // Frees the written files, then the base release. Returns 1.
    i32 Release() override;
    // Readers load an image file here; the base has nothing to read.
    virtual i32 Load(const char* path);

    // CImageFile elements, in the order written.
    CResourceList* GetFileList() { return &m_files; }
    u32 GetFileCount() const { return m_files.GetCount(); }
    const CImageFile* GetFile(u32 index) const;

    // Write path as a .bmp (.dds) file, the extension added unless path's
    // file name already contains it, and keep the bytes in the list.
    // 1, or 0 when the image cannot be encoded or the file not written.
    i32 WriteBMP(const char* path, const u8* pixels, u32 width, u32 height, u32 channels,
        u32 xPixelsPerMetre = kDefaultPixelsPerMetre, u32 yPixelsPerMetre = kDefaultPixelsPerMetre);
    i32 WriteDDS(const char* path, const u8* pixels, u32 width, u32 height, u32 channels);

protected:
    // Frees the written files only.
    void ClearFiles() { m_files.Release(); }

private:
    // Writes bytes (taken) to path + extension and lists them.
    i32 WriteFile(const char* path, const char* extension, u8* bytes, u32 size);

    CResourceList m_files;
};

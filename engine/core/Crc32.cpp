#include "engine/core/Crc32.h"

#include "host/kernel/Kernel.h"

static_assert(crc32_detail::kTable[1] == 0x77073096u && crc32_detail::kTable[255] == 0x2D02EF8Du);
static_assert(Crc32String("abc") == 0xCADBBE3Du);

u32 Crc32Update(u32 crc, const void* bytes, size_t size)
{
    const u8* p = static_cast<const u8*>(bytes);
    for (size_t i = 0; i < size; ++i) crc = crc32_detail::Step(crc, p[i]);
    return crc;
}

u32 Crc32Buffer(const void* bytes, u32 size)
{
    if (!bytes || size == 0) return 0xFFFFFFFFu;
    return Crc32Update(0xFFFFFFFFu, bytes, size);
}

// Streams the file in chunks rather than loading it whole: the value is the
// same and there is no large allocation to fail.
u32 Crc32File(const char* path)
{
    if (!path) return 0xFFFFFFFFu;
    auto file = host::kernel::OpenFile(path, "rb");
    if (!file) return 0xFFFFFFFFu;
    const int64_t size = file->Size();
    if (size < 0) return 0xFFFFFFFFu;

    u32 crc = 0xFFFFFFFFu;
    u8 chunk[16384];
    int64_t left = size;
    while (left > 0) {
        const size_t want = left < int64_t(sizeof chunk) ? size_t(left) : sizeof chunk;
        if (file->Read(chunk, want) != want) return 0xFFFFFFFFu;
        crc = Crc32Update(crc, chunk, want);
        left -= int64_t(want);
    }
    return crc;
}

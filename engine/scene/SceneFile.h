// The scene layout file (.sce), little-endian:
//
//   u32 N, N bytes    scene name with its NUL (N = 0: no name)
//   u32 L             top-level layer count
//   L layer records, each holding its children:
//     u32 N, N bytes  layer name with its NUL (N = 0: no name)
//     u32 S, S bytes  settings block (76 bytes as written; LayerSettings)
//     u32 T           texture name length without its NUL
//     T + 1 bytes     texture name and NUL (absent when T = 0)
//     five key-frame blocks: "Position" (curve), "Rotation", "Scaling",
//                     "Color", "Rect" (KeyFrameList.h)
//     u32 C           child count, then C layer records
//
// Layouts come from outside the program: no length or count makes more than
// the data left could hold, the layers made in all number no more than the
// data could hold whole (LayerBound), a name stored without its NUL is
// ended, and children nest only kMaxLayerDepth deep. A layout that ends
// early keeps what was read before the end; the fields after it keep their
// values.
#pragma once

#include "engine/core/Types.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <cstddef>
#include <string>

namespace scene_file {

constexpr u32 kSettingsSize = 76;
// The smallest layer record: three u32 lengths; five key-frame blocks with
// no name and no keys (name size, key count, two flags, then the default
// values of 24, 12, 12, 16 and 16 bytes); a child count.
constexpr u32 kMinLayerRecord = 12 + 5 * 16 + (24 + 12 + 12 + 16 + 16) + 4;
static_assert(kMinLayerRecord == 176);
// Top-level layers are depth 0; the layouts nest a handful of groups.
constexpr u32 kMaxLayerDepth = 64;
// A name length this far past the data is taken as a name that cannot be
// allocated (a damaged length, not a file cut short): its read fails before
// anything after the length is read, as when the allocation fails.
constexpr size_t kNameBytesPastEnd = size_t(64) << 20;

// The most layers a layout of this many bytes makes: each record read
// whole takes kMinLayerRecord bytes at least, and the last one may be cut.
// A record whose read fails may take 4 bytes only and is kept all the same,
// so without this a damaged layout would make a layer of every 4 bytes.
constexpr size_t LayerBound(size_t bytes) { return bytes / kMinLayerRecord + 1; }

// A cursor over bytes that never reads past them.
class Reader {
public:
    Reader(const void* data, size_t size) : m_data(static_cast<const u8*>(data)), m_size(size) {}

    size_t Remaining() const { return m_size - m_at; }
    size_t Used() const { return m_at; }
    const u8* Here() const { return m_data + m_at; }

    bool U32(u32& value);
    bool Take(void* out, size_t bytes);
    bool Skip(size_t bytes);
    // A length-prefixed name of n bytes (n from a u32 already read): text
    // gets them, or what is left of them, with a NUL added when they do not
    // end in one. False when fewer than n bytes were left.
    bool Name(size_t n, std::string& text);
    // A name of n bytes can be allocated: the data's end is not far before
    // its own.
    bool NameFits(size_t n) const { return n <= Remaining() + kNameBytesPastEnd; }
    // count records of at least minBytes each still fit.
    bool Fits(u32 count, u32 minBytes) const { return u64(count) * minBytes <= Remaining(); }
    // Layer records this reader may still make, and taking one.
    size_t LayersLeft() const { return LayerBound(m_size) - m_layers; }
    bool TakeLayer()
    {
        if (!LayersLeft()) return false;
        ++m_layers;
        return true;
    }

private:
    const u8* m_data;
    size_t m_size;
    size_t m_at = 0;
    size_t m_layers = 0;
};

// A file that collects what is written to it, so a whole file can be
// replaced in one atomic write.
using Sink = host::kernel::ByteSink;

// u32 n and n bytes of name (its NUL included); u32 0 for no name.
bool WriteName(host::kernel::File& file, const char* name, u32 n);
bool WriteU32(host::kernel::File& file, u32 value);

}  // namespace scene_file

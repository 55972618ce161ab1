#include "engine/graphics/PSDReader.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/core/Path.h"
#include "engine/core/StringUtil.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace psd {

// A bounded view of the file's bytes. Reading past its end sets a failure
// that sticks (later reads give 0), so a parser can read a group of fields
// and test once. A section is read through a Sub cursor, which cannot reach
// past the section's stated length.
class Cursor {
public:
    Cursor() = default;
    Cursor(const u8* data, size_t size, bool littleEndian) : m_data(data), m_size(size), m_littleEndian(littleEndian)
    {
    }

    bool Ok() const { return m_ok; }
    void Fail() { m_ok = false; }
    size_t Left() const { return m_ok ? m_size - m_position : 0; }
    const u8* Here() const { return m_data + m_position; }

    bool Skip(u64 count)
    {
        if (!m_ok || count > m_size - m_position) m_ok = false;
        else m_position += size_t(count);
        return m_ok;
    }
    // The next count bytes; null (and a failure) when fewer are left.
    const u8* Take(u64 count)
    {
        const size_t at = m_position;
        return Skip(count) ? m_data + at : nullptr;
    }
    u8 U8()
    {
        const u8* p = Take(1);
        return p ? p[0] : 0;
    }
    u16 U16()
    {
        const u8* p = Take(2);
        if (!p) return 0;
        return m_littleEndian ? GetLe16(p) : u16(p[0] << 8 | p[1]);
    }
    u32 U32()
    {
        const u8* p = Take(4);
        if (!p) return 0;
        if (m_littleEndian) return GetLe32(p);
        return u32(p[0]) << 24 | u32(p[1]) << 16 | u32(p[2]) << 8 | u32(p[3]);
    }
    // The next count bytes as a cursor of their own; this one moves past
    // them. Fewer left fails both.
    Cursor Sub(u64 count)
    {
        const size_t at = m_position;
        if (!Skip(count)) {
            Cursor failed;
            failed.m_ok = false;
            return failed;
        }
        return Cursor(m_data + at, size_t(count), m_littleEndian);
    }

private:
    const u8* m_data = nullptr;
    size_t m_size = 0;
    size_t m_position = 0;
    bool m_littleEndian = false;
    bool m_ok = true;
};

}  // namespace psd

using psd::Cursor;

namespace {

constexpr u32 kSignaturePSD = 0x38425053;  // "8BPS"
constexpr u32 kSignature8BIM = 0x3842494D;
constexpr i32 kTransparencyId = -1;
// Every layer record takes at least this much: rectangle, channel count,
// signature, blend key, four bytes, extra data length.
constexpr u32 kMinLayerRecord = 16 + 2 + 4 + 4 + 4 + 4;

u8* CopyBlock(const void* source, u32 size)
{
    if (!source || size == 0) return nullptr;
    u8* block = static_cast<u8*>(AlignedAlloc(size, 16));
    if (block) std::memcpy(block, source, size);
    return block;
}

// A layer name made safe as a file name: path separators and the
// characters Windows refuses become '_', double-byte characters kept whole.
std::string FileNameFromLayerName(const char* name)
{
    std::string out;
    for (const char* p = name ? name : ""; *p;) {
        const size_t size = CharSize(p);
        const auto c = static_cast<unsigned char>(*p);
        if (size == 1 && (c < 0x20 || std::strchr("\\/:*?\"<>|", c))) out.push_back('_');
        else out.append(p, size);
        p += size;
    }
    return out.empty() ? "_" : out;
}

// The file name of path without its extension (from the last '.', unless
// that starts the name), as the platform's GetFileTitle gives it.
std::string FileTitle(const char* path)
{
    std::string title = FileNamePart(path ? path : "");
    const size_t dot = title.rfind('.');
    if (dot != std::string::npos && dot > 0) title.resize(dot);
    return title;
}

// Where a channel lands in a converted pixel, and how many bytes a pixel
// has. Colour channels by falling id (2, 1, 0: blue, green, red), then the
// transparency, then further channels (CMYK's black) by rising id, which keep
// the transparency's byte even without one; masks land nowhere. A repeated
// id fails.
bool ChannelSlots(const CList<CPoint2>& channels, std::vector<i32>* slots, u32* pixelChannels)
{
    const u32 count = channels.GetCount();
    slots->assign(count, -1);
    std::vector<i32> colours, further;
    bool transparency = false;
    for (u32 c = 0; c < count; ++c) {
        const i32 id = i32(channels.GetAt(c)->first);
        if (id == kTransparencyId) {
            if (transparency) return false;
            transparency = true;
        } else if (id >= 0) {
            (id <= 2 ? colours : further).push_back(id);
        }
    }
    std::sort(colours.begin(), colours.end(), std::greater<i32>());
    std::sort(further.begin(), further.end());
    if (std::adjacent_find(colours.begin(), colours.end()) != colours.end() ||
        std::adjacent_find(further.begin(), further.end()) != further.end())
        return false;
    std::vector<i32> order = colours;
    if (transparency || !further.empty()) order.push_back(kTransparencyId);
    order.insert(order.end(), further.begin(), further.end());
    for (u32 c = 0; c < count; ++c) {
        const auto at = std::find(order.begin(), order.end(), i32(channels.GetAt(c)->first));
        if (at != order.end()) (*slots)[c] = i32(at - order.begin());
    }
    *pixelChannels = u32(order.size());
    return true;
}

// PackBits read as one stream across the rows of a channel: a run may go on
// into the next row, and what passes the channel's last row is dropped.
class PackBitsStream {
public:
    explicit PackBitsStream(Cursor& data) : m_data(data) {}

    // Up to size bytes; fewer where the data ends (a repeat without its
    // byte adds nothing).
    u32 Fill(u8* out, u32 size)
    {
        u32 made = 0;
        while (made < size) {
            if (m_repeat) {
                const u32 n = std::min(m_repeat, size - made);
                std::memset(out + made, m_value, n);
                m_repeat -= n, made += n;
            } else if (m_literal) {
                const u32 n = u32(std::min<size_t>(std::min(m_literal, size - made), m_data.Left()));
                if (n == 0) break;
                std::memcpy(out + made, m_data.Take(n), n);
                m_literal -= n, made += n;
            } else {
                if (m_data.Left() == 0) break;
                const u8 n = m_data.U8();
                if (n < 128) {
                    m_literal = u32(n) + 1;
                } else if (n > 128) {
                    if (m_data.Left() == 0) break;
                    m_value = m_data.U8();
                    m_repeat = 257 - u32(n);
                }
            }
        }
        return made;
    }
    // A run still going on past what was filled.
    bool Pending() const { return m_repeat || m_literal; }

private:
    Cursor& m_data;
    u32 m_literal = 0;
    u32 m_repeat = 0;
    u8 m_value = 0;
};

// Reads the rows of one channel of width samples (raw, or PackBits with the
// byte-count table skipped) as far as its data goes, handing each to
// place(y, row, count). The row where the data ends may be short; the rows
// after it keep what they hold. A decode makes at most 64 bytes from each
// byte of data, so a damaged channel costs no more than its reading.
template <class Place>
void ReadChannelRows(Cursor& data, u16 compression, u32 width, u32 height, Place&& place)
{
    std::vector<u8> row(compression == 1 ? width : 0);
    PackBitsStream packed(data);
    for (u32 y = 0; y < height; ++y) {
        const u8* source = row.data();
        u32 made = 0;
        if (compression == 0) {
            made = u32(std::min<size_t>(data.Left(), width));
            source = data.Take(made);
        } else {
            made = packed.Fill(row.data(), width);
        }
        if (made > 0) place(y, source, made);
        if (made < width) return;
    }
}

}  // namespace

bool DecodePackBitsRow(const u8* source, u32 sourceSize, u8* row, u32 rowSize, u32* used)
{
    if ((!source && sourceSize) || (!row && rowSize) || !used) return false;
    Cursor data(source, sourceSize, false);
    PackBitsStream packed(data);
    if (packed.Fill(row, rowSize) < rowSize || packed.Pending()) return false;
    *used = u32(sourceSize - data.Left());
    return true;
}

// ---------------------------------------------------------------- CPSDLayer

CPSDLayer::CPSDLayer(const CPSDLayer& other)
    : CValueBase(other),
      left(other.left),
      top(other.top),
      right(other.right),
      bottom(other.bottom),
      channelCount(other.channelCount),
      channels(other.channels),
      imageWidth(other.imageWidth),
      imageHeight(other.imageHeight),
      blendMode(other.blendMode),
      opacity(other.opacity),
      clipping(other.clipping),
      flags(other.flags),
      filler(other.filler),
      compositeSource(other.compositeSource),
      compositeDestination(other.compositeDestination),
      channelRanges(other.channelRanges),
      name(other.name)
{
    image = CopyBlock(other.image, other.imageSize);
    imageSize = image ? other.imageSize : 0;
}

CPSDLayer::~CPSDLayer() { AlignedFree(image); }

// ---------------------------------------------------------------- CPSDReader

CPSDReader::CPSDReader(const CPSDReader& other)
    : CImageReader(other),
      m_path(other.m_path),
      m_littleEndian(other.m_littleEndian),
      m_header(other.m_header),
      m_resource(other.m_resource),
      m_resourceName(other.m_resourceName),
      m_bytesPerSample(other.m_bytesPerSample),
      m_resolution(other.m_resolution),
      m_oldHeader(other.m_oldHeader),
      m_displayInfo(other.m_displayInfo),
      m_thumbnail(other.m_thumbnail),
      m_flag1034(other.m_flag1034),
      m_globalAngle(other.m_globalAngle),
      m_indexedColourCount(other.m_indexedColourCount),
      m_transparencyIndex(other.m_transparencyIndex),
      m_imageCompression(other.m_imageCompression),
      m_layerSized(other.m_layerSized),
      m_writeDDS(other.m_writeDDS),
      m_writeBMP(other.m_writeBMP),
      m_layers(other.m_layers)
{
    m_colourData = CopyBlock(other.m_colourData, other.m_colourDataSize);
    m_colourDataSize = m_colourData ? other.m_colourDataSize : 0;
    m_thumbnail.data = CopyBlock(other.m_thumbnail.data, other.m_thumbnail.size);
    m_thumbnail.size = m_thumbnail.data ? other.m_thumbnail.size : 0;
}

CPSDReader::~CPSDReader() { CPSDReader::Release(); }

i32 CPSDReader::Release()
{
    FreeData();
    return CImageReader::Release();
}

void CPSDReader::FreeData()
{
    m_layers.Release();
    ClearFiles();
    AlignedFree(m_colourData);
    m_colourData = nullptr;
    m_colourDataSize = 0;
    AlignedFree(m_thumbnail.data);
    m_thumbnail = Thumbnail{};
    m_header = Header{};
    m_resource = Resource{};
    m_resourceName.Free();
    m_bytesPerSample = 0;
    m_resolution = ResolutionInfo{};
    m_oldHeader = OldHeader{};
    m_displayInfo = DisplayInfo{};
    m_flag1034 = 0;
    m_globalAngle = 0;
    m_indexedColourCount = 0;
    m_transparencyIndex = 0;
    m_imageCompression = 0;
}

const CPSDLayer* CPSDReader::GetLayer(u32 index) const
{
    if (index >= m_layers.GetCount()) return nullptr;
    return static_cast<const CPSDLayer*>(static_cast<CValueBase*>(m_layers.GetAt(index)));
}

i32 CPSDReader::Load(const char* path)
{
    FreeData();
    m_path = CString(path);
    if (!path) return 0;

    std::vector<u8> bytes;
    {
        const auto file = host::kernel::OpenFile(path, "rb");
        if (!file) return 0;
        const int64_t size = file->Size();
        if (size < 0 || u64(size) > kMaxFileBytes) return 0;
        bytes.resize(size_t(size));
        if (file->Read(bytes.data(), bytes.size()) != bytes.size()) return 0;
        file->Close();
    }

    Cursor in(bytes.data(), bytes.size(), m_littleEndian != 0);
    // Layer-sized images never take more than the file's bytes expand to,
    // and their fill about the file's size; document-sized ones take the
    // document's size a layer, so only the document's own limits bound them.
    const ImageBudget budget = {
        m_layerSized ? std::min(kMaxTotalImageBytes, u64(bytes.size()) * kMaxExpansion) : kMaxTotalImageBytes,
        u64(bytes.size())};
    if (!ReadHeader(in) || !ReadColourModeData(in) || !ReadResources(in) || !ReadLayers(in, budget) ||
        !ReadMergedImage(in))
        return 0;
    return 1;
}

bool CPSDReader::ReadHeader(Cursor& in)
{
    Header& h = m_header;
    h.signature = in.U32();
    h.version = in.U16();
    if (const u8* reserved = in.Take(6)) std::memcpy(h.reserved, reserved, 6);
    h.channels = in.U16();
    h.height = in.U32();
    h.width = in.U32();
    h.depth = in.U16();
    h.colourMode = in.U16();
    m_bytesPerSample = h.depth / 8u;
    if (!in.Ok() || h.signature != kSignaturePSD || h.version != 1) return false;
    for (u8 b : h.reserved) {
        if (b != 0) return false;
    }
    // The decoders take one byte a sample.
    if (h.depth != 8) return false;
    // RGB places its first three channels by colour: fewer would land past a pixel.
    if (h.colourMode == kColourRGB && h.channels < 3) return false;
    return h.channels >= 1 && h.channels <= kMaxChannels && h.width >= 1 && h.width <= kMaxSide &&
           h.height >= 1 && h.height <= kMaxSide;
}

bool CPSDReader::ReadColourModeData(Cursor& in)
{
    const u32 length = in.U32();
    const u8* data = in.Take(length);
    if (!in.Ok()) return false;
    if (length == 0) return true;
    m_colourData = CopyBlock(data, length);
    if (!m_colourData) return false;
    m_colourDataSize = length;
    return true;
}

bool CPSDReader::ReadResources(Cursor& in)
{
    Cursor section = in.Sub(in.U32());
    if (!in.Ok()) return false;
    while (section.Left() > 0) {
        // Words other than the signature are stepped over.
        if (section.U32() != kSignature8BIM) {
            if (!section.Ok()) return false;
            continue;
        }
        const u16 id = section.U16();
        // Pascal name padded to an even size with its length byte.
        const u8 nameLength = section.U8();
        const u8* name = section.Take(nameLength);
        if (nameLength % 2 == 0) section.Skip(1);
        const u32 size = section.U32();
        Cursor data = section.Sub((u64(size) + 1) & ~u64(1));
        if (!section.Ok()) return false;

        m_resource.signature = kSignature8BIM;
        m_resource.id = id;
        m_resource.size = size;
        m_resourceName = CString(std::string(reinterpret_cast<const char*>(name), nameLength).c_str());
        if (size != 0 && !ReadResource(id, data)) return false;
    }
    return section.Ok();
}

bool CPSDReader::ReadResource(u16 id, Cursor data)
{
    switch (id) {
    case 1000:
        for (u16& v : m_oldHeader.values) v = data.U16();
        m_oldHeader.present = 1;
        break;
    case 1005: {
        ResolutionInfo& r = m_resolution;
        r.horizontal = data.U16();
        r.horizontalRest = data.U32();
        r.widthUnit = data.U16();
        r.vertical = data.U16();
        r.verticalRest = data.U32();
        r.heightUnit = data.U16();
        r.present = data.Ok() ? 1 : 0;
        break;
    }
    case 1007:
        for (u16& v : m_displayInfo.values) v = data.U16();
        m_displayInfo.flag = data.U8();
        m_displayInfo.kind = data.U8();
        m_displayInfo.present = 1;
        break;
    case 1033:
    case 1036: {
        Thumbnail t{};
        for (u32& v : t.values) v = data.U32();
        for (u16& v : t.values2) v = data.U16();
        if (!data.Ok()) return false;
        t.size = u32(data.Left());
        if (t.size) {
            t.data = CopyBlock(data.Take(t.size), t.size);
            if (!t.data) return false;
            // The older thumbnail stores its pixels the other way round.
            if (id == 1033) {
                for (u32 i = 0; i + 3 <= t.size; i += 3) std::swap(t.data[i], t.data[i + 2]);
            }
        }
        t.present = 1;
        AlignedFree(m_thumbnail.data);
        m_thumbnail = t;
        break;
    }
    case 1034: m_flag1034 = data.U16() != 0 ? 1 : 0; break;
    case 1037: m_globalAngle = data.U32(); break;
    case 1046: m_indexedColourCount = data.U16(); break;
    case 1047: m_transparencyIndex = data.U16(); break;
    default: break;
    }
    return data.Ok();
}

bool CPSDReader::ReadLayers(Cursor& in, ImageBudget budget)
{
    const u32 sectionLength = in.U32();
    Cursor section = in.Sub(sectionLength);
    if (!in.Ok()) return false;
    if (sectionLength == 0) return true;  // a document without layers

    Cursor info = section.Sub(section.U32());
    if (!section.Ok()) return false;
    if (info.Left() > 0) {
        const u32 count = u32(std::abs(i32(i16(info.U16()))));
        if (!info.Ok() || u64(count) * kMinLayerRecord > info.Left()) return false;

        // Slots made once: the list grows by a copy per insertion.
        if (!m_layers.Resize(count)) return false;
        u32 read = 0;
        bool ok = true;
        for (; read < count; ++read) {
            CPSDLayer* layer = new CPSDLayer();
            if (!layer || !ReadLayerRecord(info, layer)) {
                delete layer;
                ok = false;
                break;
            }
            *m_layers.GetAtPointer(read) = static_cast<CValueBase*>(layer);
        }
        if (!ok) {
            m_layers.Resize(read);
            return false;
        }
        // Every layer's data and the rest of the file are checked before
        // any image is allocated: a damaged file costs no more than its
        // reading.
        const auto layerAt = [this](u32 i) { return static_cast<CPSDLayer*>(static_cast<CValueBase*>(m_layers.GetAt(i))); };
        Cursor check = info;
        std::unique_ptr<bool[]> withImage(new bool[count]);
        for (u32 i = 0; i < count; ++i) {
            if (!ConvertLayer(check, layerAt(i), &budget, &withImage[i], true)) return false;
        }
        if (!ReadLayerSectionTail(section) || !ReadMergedImage(in, true)) return false;
        for (u32 i = 0; i < count; ++i) {
            if (!ConvertLayer(info, layerAt(i), nullptr, &withImage[i], false)) return false;
        }
        return true;
    }
    return ReadLayerSectionTail(section);
}

bool CPSDReader::ReadLayerSectionTail(Cursor& section)
{
    // Global layer mask info, then tagged blocks. Both are optional: common
    // writers end the section after the mask info, and some count a pad byte
    // after the layer info that they never write, leaving less than the mask
    // info's length word. Fewer than 4 bytes hold nothing.
    if (section.Left() >= 4) section.Skip(section.U32());
    if (section.Left() < 4) return section.Ok();
    const u32 signature = section.U32();
    if (!section.Ok() || signature != kSignature8BIM) return false;
    section.U32();
    section.Skip(section.U32());
    return section.Ok();
}

bool CPSDReader::ReadLayerRecord(Cursor& in, CPSDLayer* layer)
{
    const i32 top = i32(in.U32());
    const i32 left = i32(in.U32());
    const i32 bottom = i32(in.U32());
    const i32 right = i32(in.U32());
    const u16 channelCount = in.U16();
    if (!in.Ok() || channelCount > kMaxChannels) return false;
    if (!layer->channels.Resize(channelCount)) return false;
    for (u32 c = 0; c < channelCount; ++c) {
        CPoint2* channel = layer->channels.GetAt(c);
        channel->first = u32(i32(i16(in.U16())));
        channel->second = in.U32();
    }
    if (in.U32() != kSignature8BIM) return false;
    layer->blendMode = in.U32();
    layer->opacity = in.U8();
    layer->clipping = in.U8();
    layer->flags = in.U8();
    layer->filler = in.U8();

    Cursor extra = in.Sub(in.U32());
    extra.Skip(extra.U32());  // layer mask data
    Cursor ranges = extra.Sub(extra.U32());
    if (ranges.Left() > 0) {
        layer->compositeSource = ranges.U32();
        layer->compositeDestination = ranges.U32();
        const u32 pairs = u32(ranges.Left() / 8);
        if (pairs && !layer->channelRanges.Resize(pairs)) return false;
        for (u32 i = 0; i < pairs; ++i) {
            layer->channelRanges.GetAt(i)->first = ranges.U32();
            layer->channelRanges.GetAt(i)->second = ranges.U32();
        }
    }
    // Pascal name padded to a multiple of 4 with its length byte.
    const u8 nameLength = extra.U8();
    const u8* name = extra.Take(nameLength);
    extra.Skip(((1u + nameLength + 3u) & ~3u) - 1u - nameLength);
    if (!in.Ok() || !ranges.Ok() || !extra.Ok()) return false;
    layer->name = CString(std::string(reinterpret_cast<const char*>(name), nameLength).c_str());
    // Additional layer information: skipped, but it must fit.
    while (extra.Left() >= 4 && extra.U32() == kSignature8BIM) {
        extra.U32();
        if (!extra.Skip(extra.U32())) return false;
    }

    const i64 width = i64(right) - left;
    const i64 height = i64(bottom) - top;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return false;
    layer->left = left;
    layer->top = top;
    layer->right = right;
    layer->bottom = bottom;
    return true;
}

bool CPSDReader::ConvertLayer(Cursor& in, CPSDLayer* layer, ImageBudget* budget, bool* withImage, bool dryRun)
{
    std::vector<i32> slots;
    u32 pixelChannels = 0;
    if (!ChannelSlots(layer->channels, &slots, &pixelChannels)) return false;
    const u32 channelCount = layer->channels.GetCount();
    u64 dataBytes = 0;
    for (u32 c = 0; c < channelCount; ++c) dataBytes += layer->channels.GetAt(c)->second;
    if (dataBytes > in.Left()) return false;

    const u32 layerWidth = u32(layer->right - layer->left);
    const u32 layerHeight = u32(layer->bottom - layer->top);
    const u32 width = m_layerSized ? layerWidth : m_header.width;
    const u32 height = m_layerSized ? layerHeight : m_header.height;
    const u64 size = u64(width) * height * pixelChannels;
    if (size > kMaxImageBytes) return false;

    // Layer pixel (x, y) lands at (x + dx, y + dy); only [x0, x1) x [y0, y1)
    // lies inside the image.
    const i64 dx = m_layerSized ? 0 : layer->left;
    const i64 dy = m_layerSized ? 0 : layer->top;
    const u32 x0 = u32(std::clamp<i64>(-dx, 0, layerWidth));
    const u32 x1 = u32(std::clamp<i64>(i64(width) - dx, x0, layerWidth));
    const u32 y0 = u32(std::clamp<i64>(-dy, 0, layerHeight));
    const u32 y1 = u32(std::clamp<i64>(i64(height) - dy, y0, layerHeight));
    const size_t pitch = size_t(width) * pixelChannels;

    // A dry run decodes what would be placed into nothing: the whole file is
    // checked before any image is allocated.
    u8* image = nullptr;
    if (size > 0 && !dryRun && *withImage) {
        image = static_cast<u8*>(AlignedAlloc(u32(size), 16));
        if (!image) return false;
        // Unwritten bytes of the layer are 255; outside the layer 0.
        if (m_layerSized) {
            std::memset(image, 255, size_t(size));
        } else {
            for (u32 y = y0; y < y1; ++y)
                std::memset(image + size_t(y + dy) * pitch + size_t(x0 + dx) * pixelChannels, 255,
                    size_t(x1 - x0) * pixelChannels);
        }
    }
    if (!dryRun) {
        layer->image = image;
        layer->imageSize = image ? u32(size) : 0;
        layer->imageWidth = image ? width : 0;
        layer->imageHeight = image ? height : 0;
        layer->channelCount = u16(pixelChannels);
    }

    // Samples of the layer's channels that the data places, and of those
    // channels that it does not reach (their 255 fill).
    u64 placed = 0;
    u64 planes = 0;

    for (u32 c = 0; c < channelCount; ++c) {
        Cursor data = in.Sub(layer->channels.GetAt(c)->second);
        if (!in.Ok()) return false;
        // Masks have a rectangle of their own and no place in the image;
        // a channel of an empty layer need not even hold its compression.
        if (slots[c] < 0 || layerWidth == 0 || layerHeight == 0) continue;
        planes += u64(x1 - x0) * (y1 - y0);
        const u16 compression = data.U16();
        if (!data.Ok()) return false;
        // Another compression leaves the channel's bytes at 255.
        if (compression > 1 || size == 0 || x0 == x1 || y0 == y1) continue;
        if (compression == 1) data.Skip(u64(layerHeight) * 2);  // byte counts of the rows
        const bool transparency = i32(layer->channels.GetAt(c)->first) == kTransparencyId;
        const u32 opacity = layer->opacity;
        u8* base = image ? image + slots[c] : nullptr;
        // A channel shorter than its rectangle leaves the rest at 255.
        ReadChannelRows(data, compression, layerWidth, layerHeight, [&](u32 y, const u8* row, u32 made) {
            if (y < y0 || y >= y1 || made <= x0) return;
            placed += std::min(x1, made) - x0;
            if (!base) return;
            u8* out = base + size_t(y + dy) * pitch + size_t(x0 + dx) * pixelChannels;
            for (u32 x = x0; x < std::min(x1, made); ++x, out += pixelChannels)
                *out = transparency ? u8(row[x] * opacity / 255) : row[x];
        });
    }

    if (dryRun) {
        // Document-sized images are charged whole; a layer-sized one its
        // decoded samples, and its fill while the file's size allows.
        const u64 samples = m_layerSized ? placed : size;
        if (samples > budget->samples) return false;
        budget->samples -= samples;
        const u64 fill = m_layerSized ? planes - placed : 0;
        *withImage = fill <= budget->fill;
        if (*withImage) budget->fill -= fill;
        return true;
    }
    if ((m_writeBMP || m_writeDDS) && image)
        WriteImage(FileNameFromLayerName(layer->name.GetText()).c_str(), image, width, height, pixelChannels);
    return true;
}

bool CPSDReader::ReadMergedImage(Cursor in, bool dryRun)
{
    const u16 compression = in.U16();
    if (!in.Ok() || compression > 1) return false;
    if (!dryRun) m_imageCompression = compression;

    const u32 width = m_header.width;
    const u32 height = m_header.height;
    const u32 channels = m_header.channels;
    // RGB as the layers: blue, green, red, alpha. Grey, duotone and indexed
    // keep a sample and alpha; other modes (CMYK, Lab, ...) their first four
    // channels in file order. Indexed samples with a whole palette become its
    // blue, green and red. Further (spot) channels are decoded and left out.
    const u32 mode = m_header.colourMode;
    const bool rgb = mode == kColourRGB;
    const u8* palette = mode == kColourIndexed && m_colourDataSize == 768 ? m_colourData : nullptr;
    const bool oneSample = mode == kColourGreyscale || mode == kColourIndexed || mode == kColourDuotone;
    const u32 pixelChannels = palette ? 3u : std::min(channels, oneSample ? 2u : 4u);
    std::vector<i32> slots(channels, -1);
    const u32 placed = std::min(channels, palette ? 1u : pixelChannels);
    for (u32 c = 0; c < placed; ++c) slots[c] = rgb && c < 3 ? i32(2 - c) : i32(c);

    // The pixels are only wanted for the files: without them nothing past
    // the compression word is read. An image too large to hold is not
    // written, as a file that cannot be written.
    std::unique_ptr<u8, void (*)(void*)> pixels(nullptr, AlignedFree);
    const u64 size = u64(width) * height * pixelChannels;
    if (!dryRun && (m_writeBMP || m_writeDDS) && size <= kMaxImageBytes) {
        pixels.reset(static_cast<u8*>(AlignedAlloc(u32(size), 16)));
        if (pixels) std::memset(pixels.get(), 255, size_t(size));
    }
    if (!pixels) return true;

    // Reading stops where the file ends: what it leaves out keeps its 255.
    // A decode is bounded by the bytes there are, so a cut file costs no
    // more than its reading.
    if (compression == 1) in.Skip(u64(channels) * height * 2);
    for (u32 c = 0; c < channels && in.Left() > 0; ++c) {
        u8* base = slots[c] >= 0 ? pixels.get() + slots[c] : nullptr;
        ReadChannelRows(in, compression, width, height, [&](u32 y, const u8* row, u32 made) {
            if (!base) return;
            u8* out = base + size_t(y) * width * pixelChannels;
            if (palette) {
                for (u32 x = 0; x < made; ++x, out += 3)
                    out[0] = palette[512 + row[x]], out[1] = palette[256 + row[x]], out[2] = palette[row[x]];
                return;
            }
            for (u32 x = 0; x < made; ++x, out += pixelChannels) *out = row[x];
        });
    }

    WriteImage(FileTitle(m_path.GetText()).c_str(), pixels.get(), width, height, pixelChannels);
    return true;
}

void CPSDReader::WriteImage(const char* name, const u8* pixels, u32 width, u32 height, u32 channels)
{
    const char* path = m_path.GetText();
    std::string target(path, FolderPartLength(path));
    target += name;
    u32 xPerMetre = kDefaultPixelsPerMetre;
    u32 yPerMetre = kDefaultPixelsPerMetre;
    if (m_resolution.present) {
        xPerMetre = u32(m_resolution.horizontal) * 10000u / 254u;
        yPerMetre = u32(m_resolution.vertical) * 10000u / 254u;
    }
    // A failed write leaves the image out of the file list; loading goes on.
    if (m_writeBMP) WriteBMP(target.c_str(), pixels, width, height, channels, xPerMetre, yPerMetre);
    if (m_writeDDS) WriteDDS(target.c_str(), pixels, width, height, channels);
}

// A small PSD writer for the tests: big-endian sections, raw or PackBits
// channels, layer masks; Channel::stored writes damaged data as given.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace psdtest {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
inline void Put32(Bytes& b, uint32_t v) { Put16(b, v >> 16), Put16(b, v); }
inline void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }
inline void PutSized(Bytes& b, const Bytes& body) { Put32(b, uint32_t(body.size())), Append(b, body); }

// PackBits: repeats as runs, the rest as literals, at most 128 bytes each.
inline Bytes PackRow(const uint8_t* row, size_t n)
{
    Bytes out;
    for (size_t i = 0, len = 1; i < n; i += len, len = 1) {
        if (i + 1 < n && row[i + 1] == row[i]) {
            while (i + len < n && len < 128 && row[i + len] == row[i]) ++len;
            out.insert(out.end(), {uint8_t(257 - len), row[i]});
            continue;
        }
        while (i + len < n && len < 128 && (i + len + 1 == n || row[i + len + 1] != row[i + len])) ++len;
        out.push_back(uint8_t(len - 1));
        out.insert(out.end(), row + i, row + i + len);
    }
    return out;
}

struct Channel {
    int16_t id = 0;
    uint16_t compression = 0;  // 0 raw, 1 PackBits
    uint32_t width = 0, height = 0;
    Bytes plane;
    Bytes stored;              // when set, written instead of the encoding
};

inline Bytes EncodeChannel(const Channel& c)
{
    if (!c.stored.empty()) return c.stored;
    Bytes out, rows;
    Put16(out, c.compression);
    if (c.compression == 0) return Append(out, c.plane), out;
    for (uint32_t y = 0; y < c.height; ++y) {
        const Bytes row = PackRow(c.plane.data() + size_t(y) * c.width, c.width);
        Put16(out, uint32_t(row.size()));
        Append(rows, row);
    }
    return Append(out, rows), out;
}

struct Layer {
    int32_t top = 0, left = 0, bottom = 0, right = 0;
    std::vector<Channel> channels;
    uint8_t opacity = 255, flags = 0;
    std::string name;
    Bytes mask;  // layer mask data

    // A channel over the layer's rectangle, sample f(x, y).
    template <class F>
    Layer& Add(int16_t id, uint16_t compression, F f)
    {
        Channel c{id, compression, uint32_t(right - left), uint32_t(bottom - top), {}, {}};
        for (uint32_t y = 0; y < c.height; ++y)
            for (uint32_t x = 0; x < c.width; ++x) c.plane.push_back(uint8_t(f(x, y)));
        channels.push_back(c);
        return *this;
    }
};

inline Layer Rect(int32_t top, int32_t left, int32_t bottom, int32_t right)
{
    Layer l;
    l.top = top, l.left = left, l.bottom = bottom, l.right = right;
    return l;
}

struct Document {
    uint16_t channels = 3, mode = 3;
    uint32_t width = 4, height = 4;
    Bytes resources;  // the section body
    std::vector<Layer> layers;
    // The layer count stored negative: the merged image's first alpha
    // channel is its transparency.
    bool negativeCount = false;
    bool layerSection = true;
    // How the layer section ends after the layer info.
    enum class End { TaggedBlock, MaskInfo, Nothing, UnwrittenPad } end = End::TaggedBlock;
    Bytes colourData;  // the colour mode data section's body
    uint16_t mergedCompression = 0;
    // Merged sample of channel c at (x, y): distinct by channel and pixel.
    std::function<uint8_t(uint32_t c, uint32_t x, uint32_t y)> merged = [](uint32_t c, uint32_t x, uint32_t y) {
        return uint8_t(0x10 + 0x30 * c + x + 5 * y);
    };
};

// Image resource: signature, id, Pascal name padded to even, padded data.
inline Bytes Resource(uint16_t id, const std::string& name, const Bytes& data)
{
    Bytes b;
    Put32(b, 0x3842494D), Put16(b, id), b.push_back(uint8_t(name.size()));
    b.insert(b.end(), name.begin(), name.end());
    if (name.size() % 2 == 0) b.push_back(0);
    PutSized(b, data);
    if (data.size() % 2) b.push_back(0);
    return b;
}

inline Bytes LayerRecord(const Layer& l, const std::vector<Bytes>& data)
{
    Bytes b, extra, ranges;
    for (int32_t v : {l.top, l.left, l.bottom, l.right}) Put32(b, uint32_t(v));
    Put16(b, uint32_t(l.channels.size()));
    for (size_t i = 0; i < l.channels.size(); ++i) Put16(b, uint16_t(l.channels[i].id)), Put32(b, uint32_t(data[i].size()));
    Put32(b, 0x3842494D), Put32(b, 0x6E6F726D);  // "norm"
    b.insert(b.end(), {l.opacity, 0, l.flags, 0});
    PutSized(extra, l.mask);
    for (size_t i = 0; i <= l.channels.size(); ++i) Put32(ranges, 0xFFFF), Put32(ranges, 0xFFFF);
    PutSized(extra, ranges);
    const size_t nameStart = extra.size();
    extra.push_back(uint8_t(l.name.size()));
    extra.insert(extra.end(), l.name.begin(), l.name.end());
    while ((extra.size() - nameStart) % 4) extra.push_back(0);
    for (uint32_t v : {0x3842494Du, 0x6C796964u, 4u, 7u}) Put32(extra, v);  // an "lyid" block
    PutSized(b, extra);
    return b;
}

// Offset of the first layer record: header, colour data, resources, section
// and info lengths, layer count.
inline size_t FirstLayerOffset(const Document& d)
{
    return 26 + 4 + d.colourData.size() + 4 + d.resources.size() + 4 + 4 + 2;
}

inline Bytes Build(const Document& d)
{
    Bytes f, section, info, data;
    Put32(f, 0x38425053), Put16(f, 1), f.insert(f.end(), 6, 0);  // signature, version 1, reserved
    Put16(f, d.channels), Put32(f, d.height), Put32(f, d.width), Put16(f, 8), Put16(f, d.mode);
    PutSized(f, d.colourData), PutSized(f, d.resources);
    if (d.layerSection) {
        const int32_t count = int32_t(d.layers.size());
        Put16(info, uint32_t(d.negativeCount ? -count : count));
        for (const Layer& l : d.layers) {
            std::vector<Bytes> channels;
            for (const Channel& c : l.channels) Append(data, channels.emplace_back(EncodeChannel(c)));
            Append(info, LayerRecord(l, channels));
        }
        Append(info, data);
        // UnwrittenPad: an odd layer info's length counts a pad byte that is
        // not written, as ImageMagick does.
        const bool unwritten = d.end == Document::End::UnwrittenPad && info.size() % 2;
        Put32(section, uint32_t(info.size() + unwritten)), Append(section, info);
        if (d.end != Document::End::Nothing) PutSized(section, {});  // global layer mask info
        if (d.end == Document::End::TaggedBlock)
            Put32(section, 0x3842494D), Put32(section, 0x50617474), PutSized(section, {1, 2, 3, 4});
    }
    PutSized(f, section);

    // Merged image: planes one after the other, PackBits rows after the
    // table of their byte counts.
    Bytes table, planes;
    for (uint32_t c = 0; c < d.channels; ++c) {
        for (uint32_t y = 0; y < d.height; ++y) {
            Bytes row;
            for (uint32_t x = 0; x < d.width; ++x) row.push_back(d.merged(c, x, y));
            if (d.mergedCompression == 1) row = PackRow(row.data(), row.size()), Put16(table, uint32_t(row.size()));
            Append(planes, row);
        }
    }
    Put16(f, d.mergedCompression), Append(f, table), Append(f, planes);
    return f;
}

}  // namespace psdtest

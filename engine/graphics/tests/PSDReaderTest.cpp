#include "engine/graphics/PSDReader.h"

#include "engine/core/Memory.h"
#include "engine/graphics/tests/PsdBuilder.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using host::kernel::testing::TempFolder;
using namespace psdtest;

namespace {

std::string Save(const TempFolder& folder, const std::string& name, const Bytes& bytes)
{
    EXPECT_TRUE(host::kernel::WriteFileAtomic(folder / name, bytes.data(), bytes.size()));
    return folder / name;
}

i32 LoadBytes(const Bytes& bytes, CPSDReader* reader = nullptr)
{
    TempFolder folder;
    CPSDReader own;
    return (reader ? reader : &own)->Load(Save(folder, "t.psd", bytes).c_str());
}

Bytes Pixel(const CPSDLayer* l, u32 x, u32 y)
{
    const u8* p = l->image + (size_t(y) * l->imageWidth + x) * l->channelCount;
    return {p, p + l->channelCount};
}

u8 Red(u32 x, u32 y) { return u8(x * 7 + y); }
u8 Green(u32 x, u32 y) { return u8(x + y * 3); }
u8 Blue(u32 x, u32 y) { return u8(200 - x - y); }
u8 Alpha(u32 x, u32 y) { return u8(x * y * 5 + 3); }
Bytes Bgra(u32 x, u32 y) { return {Blue(x, y), Green(x, y), Red(x, y), Alpha(x, y)}; }

Layer RgbaLayer(i32 top, i32 left, i32 bottom, i32 right, u16 compression)
{
    Layer l = Rect(top, left, bottom, right);
    l.Add(-1, compression, Alpha).Add(0, compression, Red).Add(1, compression, Green).Add(2, compression, Blue);
    return l;
}

// Written by hand from the format's layout, independently of PsdBuilder.
const Bytes kHandWritten = {
    '8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0,            // version 1, reserved
    0, 3, 0, 0, 0, 1, 0, 0, 0, 2, 0, 8, 0, 3,              // 3 channels, 1 x 2, depth 8, RGB
    0, 0, 0, 0,                                            // colour mode data
    0, 0, 0, 0x2C,                                         // image resources:
    '8', 'B', 'I', 'M', 0x03, 0xED, 0, 0,                  //   1005, empty name + pad
    0, 0, 0, 16, 0, 72, 0, 0, 0, 1, 0, 1, 0, 96, 0, 0, 0, 1, 0, 1,  // 72 x 96 dpi
    '8', 'B', 'I', 'M', 0x04, 0x0D, 1, 'a',                //   1037, name "a" without pad
    0, 0, 0, 4, 0, 0, 0, 30,                               //   global angle 30
    0, 0, 0, 0x6C,                                         // layer and mask section
    0, 0, 0, 0x58, 0, 1,                                   // layer info, one layer
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2,        // top, left, bottom, right
    0, 4, 0xFF, 0xFF, 0, 0, 0, 4, 0, 0, 0, 0, 0, 4,        // channels -1, 0, 1, 2 of 4 bytes
    0, 1, 0, 0, 0, 4, 0, 2, 0, 0, 0, 4,
    '8', 'B', 'I', 'M', 'n', 'o', 'r', 'm', 0xFF, 0, 0, 0,
    0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0,                   // extra: no mask, no blending ranges
    3, 'a', 'b', 'c',                                      // name in 4 bytes
    0, 0, 0xFF, 0x80, 0, 0, 0x10, 0x11, 0, 0, 0x20, 0x21, 0, 0, 0x30, 0x31,
    0, 0, 0, 0,                                            // global layer mask info
    '8', 'B', 'I', 'M', 'P', 'a', 't', 't', 0, 0, 0, 0,
    0, 0, 1, 2, 3, 4, 5, 6,                                // merged image, raw
};

}  // namespace

TEST(PSDReader, ReadsAHandWrittenFile)
{
    TempFolder folder;
    const std::string path = Save(folder, "h.psd", kHandWritten);
    CPSDReader reader;
    ASSERT_EQ(reader.Load(path.c_str()), 1);
    ASSERT_EQ(reader.Load(path.c_str()), 1);  // replaces, does not add
    EXPECT_EQ(reader.GetResolution().horizontal, 72);
    EXPECT_EQ(reader.GetResolution().vertical, 96);
    EXPECT_EQ(reader.GetGlobalAngle(), 30u);
    EXPECT_STREQ(reader.GetLastResourceName(), "a");
    ASSERT_EQ(reader.GetLayerCount(), 1u);

    const CPSDReader copy(reader);
    reader.Release();
    const CPSDLayer* l = copy.GetLayer(0);
    EXPECT_STREQ(l->name.GetText(), "abc");
    EXPECT_EQ(l->channels.GetAt(0)->first, 0xFFFFFFFFu);
    ASSERT_EQ(l->channelCount, 4);
    ASSERT_EQ(l->imageSize, 8u);
    EXPECT_EQ(Bytes(l->image, l->image + 8), (Bytes{0x30, 0x20, 0x10, 0xFF, 0x31, 0x21, 0x11, 0x80}));
}

TEST(PSDReader, ConvertsLayersToBlueGreenRedAlpha)
{
    Document d;
    Layer half = RgbaLayer(0, 0, 20, 10, 0);
    half.opacity = 128;
    // Channels land by id, whatever their order in the file.
    Layer packed = Rect(2, 3, 22, 13);
    packed.Add(2, 1, Blue).Add(-1, 1, Alpha).Add(0, 1, Red).Add(1, 0, Green);
    packed.name = "abcd";
    packed.channels[2].plane.assign(200, 9);  // long runs in red
    // A user mask has a rectangle of its own and must not touch the pixels.
    Layer masked = RgbaLayer(0, 0, 5, 6, 0);
    masked.channels.push_back({-2, 0, 3, 2, Bytes(6, 0), {}});
    masked.mask = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0};
    d.layers = {half, packed, masked, Layer{}};
    d.layers[3].name = "</Layer group>";
    d.layers[3].flags = CPSDLayer::kFlagGroupData;

    CPSDReader reader;
    ASSERT_EQ(LoadBytes(Build(d), &reader), 1);
    ASSERT_EQ(reader.GetLayerCount(), 4u);
    const CPSDLayer* a = reader.GetLayer(0);
    const CPSDLayer* b = reader.GetLayer(1);
    ASSERT_EQ(a->imageSize, 10u * 20u * 4u);
    ASSERT_EQ(b->imageSize, 10u * 20u * 4u);
    EXPECT_EQ(b->channelRanges.GetCount(), 4u);
    EXPECT_STREQ(b->name.GetText(), "abcd");
    for (u32 y = 0; y < 20; ++y) {
        for (u32 x = 0; x < 10; ++x) {
            ASSERT_EQ(Pixel(a, x, y), (Bytes{Blue(x, y), Green(x, y), Red(x, y), u8(Alpha(x, y) * 128 / 255)}));
            ASSERT_EQ(Pixel(b, x, y), (Bytes{Blue(x, y), Green(x, y), 9, Alpha(x, y)}));
        }
    }
    const CPSDLayer* c = reader.GetLayer(2);
    EXPECT_EQ(c->channels.GetCount(), 5u);
    EXPECT_EQ(c->channelCount, 4);
    EXPECT_EQ(c->imageSize, 5u * 6u * 4u);
    EXPECT_EQ(Pixel(c, 1, 1), Bgra(1, 1));
    const CPSDLayer* g = reader.GetLayer(3);
    EXPECT_STREQ(g->name.GetText(), "</Layer group>");
    EXPECT_EQ(g->flags, CPSDLayer::kFlagGroupData);
    EXPECT_EQ(g->image, nullptr);
}

TEST(PSDReader, WritesConvertedImagesBesideTheFile)
{
    TempFolder folder;
    Document d;
    d.width = 3, d.height = 2;
    d.resources = Resource(1005, "", {0, 72, 0, 0, 0, 1, 0, 1, 0, 72, 0, 0, 0, 1, 0, 1});
    d.layers = {RgbaLayer(0, 0, 2, 3, 1), Layer{}};
    d.layers[0].name = "a/b";  // never a path
    CPSDReader reader;
    reader.SetWriteBMP(1);
    reader.SetWriteDDS(1);
    ASSERT_EQ(reader.Load(Save(folder, "doc.psd", Build(d)).c_str()), 1);
    ASSERT_EQ(reader.GetFileCount(), 4u);  // the empty layer writes nothing
    const char* names[] = {"a_b.bmp", "a_b.dds", "doc.bmp", "doc.dds"};
    for (u32 i = 0; i < 4; ++i) EXPECT_EQ(std::string(reader.GetFile(i)->GetName()), folder / names[i]);
    // The layer's BMP on disk, at the document's 72 dpi.
    u32 size = 0;
    u8* bmp = EncodeBMP(reader.GetLayer(0)->image, 3, 2, 4, 2834, 2834, &size);
    std::string disk;
    ASSERT_TRUE(host::kernel::ReadWholeFile(folder / "a_b.bmp", disk));
    EXPECT_EQ(disk, std::string(reinterpret_cast<const char*>(bmp), size));
    AlignedFree(bmp);
    EXPECT_EQ(reader.GetFile(2)->GetBytes()[28], 24);  // merged: blue, green, red
    // The merged image's first written pixel: the bottom row's first, blue first.
    const u8* merged = reader.GetFile(2)->GetBytes() + 54;
    EXPECT_EQ(Bytes(merged, merged + 3), (Bytes{d.merged(2, 0, 1), d.merged(1, 0, 1), d.merged(0, 0, 1)}));
}

TEST(PSDReader, TheLayerSectionMayEndAfterItsLayers)
{
    using End = Document::End;
    for (End end : {End::TaggedBlock, End::MaskInfo, End::Nothing, End::UnwrittenPad}) {
        Document d;
        d.end = end;
        // One raw sample makes the layer info odd, so UnwrittenPad leaves
        // three bytes of the mask info's length word in the section.
        d.layers = {Rect(0, 0, 1, 1)};
        d.layers[0].Add(0, 0, [](u32, u32) { return 0x5A; });
        CPSDReader reader;
        ASSERT_EQ(LoadBytes(Build(d), &reader), 1) << int(end);
        ASSERT_EQ(reader.GetLayerCount(), 1u);
        EXPECT_EQ(Pixel(reader.GetLayer(0), 0, 0), Bytes{0x5A});
    }
    // Fewer than four bytes after the mask info are padding; more must be a
    // tagged block.
    Document d;
    d.end = End::MaskInfo;
    Bytes file = Build(d);
    const size_t section = FirstLayerOffset(d) - 10;
    const size_t sectionEnd = section + 4 + file[section + 3];
    for (u8 more : {3, 4}) {
        Bytes b = file;
        b.insert(b.begin() + sectionEnd, more, 0);
        b[section + 3] += more;
        EXPECT_EQ(LoadBytes(b), more < 4 ? 1 : 0) << int(more);
    }
}

TEST(PSDReader, RefusesEveryTruncationAndSurvivesEveryDamagedByte)
{
    Document d;
    d.resources = Resource(1036, "t", Bytes(28 + 6, 1));
    d.layers = {RgbaLayer(-1, 0, 3, 3, 1), RgbaLayer(0, 1, 2, 2, 0)};
    d.layers[0].channels.push_back({-2, 0, 1, 1, {5}, {}});
    d.mergedCompression = 1;
    const Bytes whole = Build(d);
    TempFolder folder;
    CPSDReader reader;
    ASSERT_EQ(reader.Load(Save(folder, "w.psd", whole).c_str()), 1);
    EXPECT_EQ(reader.GetThumbnail().size, 6u);
    for (size_t n = 0; n < whole.size(); ++n)
        ASSERT_EQ(reader.Load(Save(folder, "t.psd", Bytes(whole.begin(), whole.begin() + n)).c_str()), 0) << n;
    // A damaged byte may load or not, but never reads or writes out of bounds.
    for (size_t i = 0; i < whole.size(); ++i) {
        for (u8 value : {0x00, 0x80, 0xFF}) {
            Bytes b = whole;
            b[i] = value;
            CPSDReader damaged;
            damaged.SetLayerSized(i % 2);
            damaged.Load(Save(folder, "d.psd", b).c_str());
        }
    }
}

TEST(PSDReader, RefusesBadHeadersRectanglesCountsAndLengths)
{
    Document d;
    d.layers = {RgbaLayer(0, 0, 2, 3, 0)};
    const Bytes good = Build(d);
    const size_t layer = FirstLayerOffset(d);
    auto patched = [&](size_t at, u32 value, int bytes = 4) {
        Bytes b = good;
        for (int i = 0; i < bytes; ++i) b[at + i] = u8(value >> (8 * (bytes - 1 - i)));
        return LoadBytes(b);
    };
    EXPECT_EQ(patched(0, 0, 0), 1);
    EXPECT_EQ(patched(4, 2, 2), 0);                // version 2: the large document format
    EXPECT_EQ(patched(9, 1, 1), 0);                // reserved
    EXPECT_EQ(patched(12, 0, 2), 0);               // no channels
    EXPECT_EQ(patched(22, 16, 2), 0);              // 16 bits a sample
    EXPECT_EQ(patched(24, 4, 2), 0);               // CMYK: grey and RGB only
    EXPECT_EQ(patched(good.size() - 50, 2, 2), 0); // merged image compression
    EXPECT_EQ(patched(good.size() - 66, 0), 0);    // the block closing the layer section
    EXPECT_EQ(patched(layer + 8, 0xFFFFFFFF), 0);  // bottom above top
    EXPECT_EQ(patched(layer + 4, 5), 0);           // left past right
    EXPECT_EQ(patched(layer - 2, 0x7FFF, 2), 0);   // 32767 layers
    EXPECT_EQ(patched(layer + 18, 0, 2), 0);       // channel 0 twice
    EXPECT_EQ(patched(layer + 20, 0xFFFFFFF0), 0); // channel data length
    EXPECT_EQ(patched(layer - 10, 0xFFFFFFFF), 0); // layer section length
    EXPECT_EQ(patched(layer - 6, 0xFFFFFFFF), 0);  // layer info length
    EXPECT_EQ(patched(26, 0xFFFFFFFF), 0);         // colour mode data length
    EXPECT_EQ(patched(30, 0xFFFFFFFF), 0);         // image resources length

    auto withResource = [](const Bytes& resource) {
        Document d;
        d.resources = resource;
        return LoadBytes(Build(d));
    };
    Bytes huge = Resource(1037, "", {0, 0, 0, 1});
    std::memset(huge.data() + 8, 0xFF, 4);
    EXPECT_EQ(withResource(huge), 0);
    EXPECT_EQ(withResource(Resource(1033, "", Bytes(20, 0))), 0);  // shorter than its fields
    EXPECT_EQ(withResource(Resource(4000, "xy", Bytes(3, 0))), 1);
    Document noLayers;
    noLayers.layerSection = false;
    EXPECT_EQ(LoadBytes(Build(noLayers)), 1);
    // RGB with fewer than its three colour channels, merged image written.
    noLayers.channels = 2;
    CPSDReader writer;
    writer.SetWriteBMP(1);
    EXPECT_EQ(LoadBytes(Build(noLayers), &writer), 0);
}

TEST(PSDReader, RefusesPackBitsThatOverrunsARowOrTheData)
{
    CPSDReader reader;
    auto load = [&](Bytes stored) {
        Document d;
        d.layers = {Rect(0, 0, 2, 4)};
        d.layers[0].channels.push_back({2, 0, 0, 0, {}, stored});
        d.layers[0].Add(0, 0, Red).Add(1, 1, Green);
        return LoadBytes(Build(d), &reader);
    };
    //             compression, row byte counts, rows
    EXPECT_EQ(load({0, 1, 0, 2, 0, 3, 0xFD, 7, 0x80, 0xFD, 8}), 1);  // 0x80 does nothing
    EXPECT_EQ(Pixel(reader.GetLayer(0), 3, 1), (Bytes{8, Green(3, 1), Red(3, 1)}));
    // The least a 4 x 2 channel takes: two rows of one run, or 8 raw bytes.
    EXPECT_EQ(load({0, 1, 0, 2, 0, 2, 0xFD, 7}), 0);                 // a row missing
    EXPECT_EQ(load({0, 0, 1, 2, 3, 4, 5, 6, 7}), 0);                 // a short raw channel
    // A compression this reader does not know is refused, not filled.
    EXPECT_EQ(load({0, 2, 0x78, 0x9C, 1, 2, 3, 4, 5, 6, 7, 8}), 0);
    EXPECT_EQ(reader.GetLayer(0)->image, nullptr);
    EXPECT_EQ(load({0, 1, 0, 2, 0, 2, 0xFC, 7, 0xFD, 8}), 0);        // a run of 5 in a row of 4

    Document merged;
    merged.mergedCompression = 1;
    merged.merged = [](u32, u32, u32) { return 0x40; };
    Bytes b = Build(merged);
    b[b.size() - 2] = 0xF0;  // the last row's run now overruns it
    EXPECT_EQ(LoadBytes(b), 0);
}

TEST(PSDReader, PackBitsRunsEndExactlyAtTheRow)
{
    Bytes samples;
    for (u32 i = 0; i < 128; ++i) samples.push_back(u8(i * 3));
    Bytes literals{127};
    Append(literals, samples);
    Bytes mixed = Bytes(127, 9);
    mixed.push_back(4);
    const struct {
        Bytes source;
        u32 rowSize;
        Bytes row;  // empty: refused
        u32 used;
    } cases[] = {
        {{0x81, 9}, 128, Bytes(128, 9), 2},  // a run of 128
        {{0x81, 9}, 127, {}, 0},             // one past the row
        {{0x82, 9, 0x00, 4}, 128, mixed, 4},  // 127 and 1
        {literals, 128, samples, 129},
        {literals, 127, {}, 0},
        {Bytes(literals.begin(), literals.end() - 1), 128, {}, 0},  // the source ends a byte early
        {{0x80, 0x80, 0xFF, 5}, 2, {5, 5}, 4},  // no-ops, then a run of 2
    };
    for (const auto& c : cases) {
        Bytes row(c.rowSize + 1, 0xEE);
        u32 used = 0;
        const bool ok = DecodePackBitsRow(c.source.data(), u32(c.source.size()), row.data(), c.rowSize, &used);
        EXPECT_EQ(ok, !c.row.empty()) << c.source.size() << " " << c.rowSize;
        EXPECT_EQ(row.back(), 0xEE);  // nothing past the row
        if (!ok) continue;
        EXPECT_EQ(used, c.used);
        EXPECT_EQ(Bytes(row.begin(), row.end() - 1), c.row);
    }
}

TEST(PSDReader, ImagesNeverOutgrowWhatTheDataExpandsTo)
{
    TempFolder folder;
    auto huge = [](Bytes stored) {
        Document d;
        for (int i = 0; i < 4; ++i) {
            d.layers.push_back(Rect(0, 0, 16384, 16384));
            d.layers.back().channels.push_back({0, 0, 0, 0, {}, stored});
        }
        return Build(d);
    };
    // A large document whose merged image is missing, with small layers.
    Document tall;
    tall.width = tall.height = 1024;
    for (int i = 0; i < 4; ++i) tall.layers.push_back(RgbaLayer(i, i, i + 1, i + 1, 0));
    Bytes noMerged = Build(tall);
    noMerged.resize(noMerged.size() - 3 * 1024 * 1024);
    const struct {
        const char* name;
        Bytes file;
    } files[] = {
        {"PackBits without its rows", huge({0, 1})},
        {"raw without its samples", huge({0, 0, 1, 2, 3})},
        {"no merged image", noMerged},
    };
    for (const auto& f : files) {
        for (u32 layerSized : {1u, 0u}) {
            CPSDReader reader;
            reader.SetLayerSized(layerSized);
            reader.SetWriteBMP(1);
            EXPECT_EQ(reader.Load(Save(folder, "h.psd", f.file).c_str()), 0) << f.name;
            u64 images = 0;
            for (u32 i = 0; i < reader.GetLayerCount(); ++i) images += reader.GetLayer(i)->imageSize;
            for (u32 i = 0; i < reader.GetFileCount(); ++i) images += reader.GetFile(i)->GetByteCount();
            EXPECT_LE(images, f.file.size() * CPSDReader::kMaxExpansion) << f.name << " " << f.file.size();
        }
    }
}

TEST(PSDReader, DocumentSizedImagesShareTheBudgetOfTheData)
{
    // Two 256 x 256 grey layers placed in the document take 2 x 65536 bytes:
    // exactly what a file of 2048 bytes may expand to.
    Document d;
    d.mode = CPSDReader::kColourGreyscale;
    d.channels = 1;
    d.width = d.height = 256;
    d.mergedCompression = 1;
    d.merged = [](u32, u32, u32) { return 7; };
    d.layers = {Rect(0, 0, 1, 1), Rect(0, 0, 1, 1)};
    for (Layer& l : d.layers) l.Add(0, 0, Red);
    const size_t size = Build(d).size();
    ASSERT_LT(size, 2048u);
    for (size_t padding : {2048 - size, 2047 - size}) {
        d.colourData.assign(padding, 0);
        const Bytes file = Build(d);
        CPSDReader reader;
        reader.SetLayerSized(0);
        EXPECT_EQ(LoadBytes(file, &reader), file.size() == 2048 ? 1 : 0) << file.size();
        reader.SetLayerSized(1);
        EXPECT_EQ(LoadBytes(file, &reader), 1) << file.size();
    }
}

TEST(PSDReader, MergedImageKeepsItsChannelOrder)
{
    constexpr u16 kGrey = CPSDReader::kColourGreyscale;
    constexpr u16 kRgb = CPSDReader::kColourRGB;
    // order: the file channel behind each byte of a written pixel (before
    // the writers spread grey).
    const struct {
        u16 mode, channels, compression;
        bool negativeCount;
        Bytes order;
    } cases[] = {
        {kRgb, 3, 0, false, {2, 1, 0}},
        {kRgb, 4, 1, true, {2, 1, 0, 3}},
        {kRgb, 5, 0, true, {2, 1, 0, 3}},  // a spot channel is left out
        {kGrey, 1, 1, false, {0}},
        {kGrey, 3, 1, false, {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << " " << c.channels << " " << c.compression);
        Document d;
        d.mode = c.mode;
        d.channels = c.channels;
        d.width = 3, d.height = 2;  // rows padded in the BMP
        d.mergedCompression = c.compression;
        d.negativeCount = c.negativeCount;
        d.layers = {Rect(0, 0, 1, 2)};
        d.layers[0].Add(0, c.compression, Red).Add(-1, 0, Alpha);
        d.layers[0].name = "a";
        TempFolder folder;
        CPSDReader reader;
        reader.SetWriteBMP(1);
        reader.SetWriteDDS(1);
        ASSERT_EQ(reader.Load(Save(folder, "doc.psd", Build(d)).c_str()), 1);
        EXPECT_EQ(Pixel(reader.GetLayer(0), 1, 0), (Bytes{Red(1, 0), Alpha(1, 0)}));

        Bytes pixels;
        for (u32 y = 0; y < d.height; ++y)
            for (u32 x = 0; x < d.width; ++x)
                for (u8 channel : c.order) pixels.push_back(d.merged(channel, x, y));
        const u32 n = u32(c.order.size());
        ASSERT_EQ(reader.GetFileCount(), 4u);
        u32 size = 0;
        u8* bmp = EncodeBMP(pixels.data(), d.width, d.height, n, kDefaultPixelsPerMetre, kDefaultPixelsPerMetre, &size);
        const CImageFile* file = reader.GetFile(2);
        EXPECT_EQ(Bytes(file->GetBytes(), file->GetBytes() + file->GetByteCount()), Bytes(bmp, bmp + size));
        AlignedFree(bmp);
        u8* dds = EncodeDDS(pixels.data(), d.width, d.height, n, &size);
        file = reader.GetFile(3);
        EXPECT_EQ(Bytes(file->GetBytes(), file->GetBytes() + file->GetByteCount()), Bytes(dds, dds + size));
        AlignedFree(dds);
    }
}

TEST(PSDReader, TransparencyIsScaledByOpacityAndTruncated)
{
    const struct {
        u8 alpha, opacity, result;
    } cases[] = {{254, 255, 254}, {200, 254, 199}, {255, 1, 1}};
    for (const auto& c : cases) {
        Document d;
        d.layers = {Rect(0, 0, 1, 1)};
        d.layers[0].opacity = c.opacity;
        d.layers[0].Add(-1, 0, [&](u32, u32) { return c.alpha; }).Add(0, 0, [](u32, u32) { return 77; });
        CPSDReader reader;
        ASSERT_EQ(LoadBytes(Build(d), &reader), 1);
        EXPECT_EQ(Pixel(reader.GetLayer(0), 0, 0), (Bytes{77, c.result})) << int(c.alpha) << " " << int(c.opacity);
    }
}

TEST(PSDReader, DocumentSizedImagesPlaceAndClipTheLayerExactly)
{
    // 8 x 6 document; {top, left, bottom, right}.
    const i32 rects[][4] = {
        {4, 6, 6, 8},     // inside, touching the right and bottom edges
        {-1, -1, 1, 1},   // one pixel inside at the other corner
        {0, 8, 2, 10},    // starting at the right edge: outside
        {-2, -2, 0, 0},   // ending at the top-left corner: outside
        {3, -2, 9, 3},    // across the left and bottom edges
    };
    for (const auto& r : rects) {
        Document d;
        d.width = 8, d.height = 6;
        d.layers = {RgbaLayer(r[0], r[1], r[2], r[3], 1)};
        CPSDReader reader;
        reader.SetLayerSized(0);
        ASSERT_EQ(LoadBytes(Build(d), &reader), 1);
        const CPSDLayer* l = reader.GetLayer(0);
        for (i32 y = 0; y < 6; ++y) {
            for (i32 x = 0; x < 8; ++x) {
                const bool inside = x >= r[1] && x < r[3] && y >= r[0] && y < r[2];
                ASSERT_EQ(Pixel(l, x, y), inside ? Bgra(x - r[1], y - r[0]) : Bytes(4, 0))
                    << r[0] << "," << r[1] << " at " << x << "," << y;
            }
        }
    }
}

TEST(PSDReader, LimitsHoldExactlyAtTheirBounds)
{
    const u32 side = CPSDReader::kMaxSide;
    const u32 most = CPSDReader::kMaxChannels;
    // The document: width, height, channels.
    const u32 documents[][4] = {
        {side, 1, 3, 1}, {side + 1, 1, 3, 0}, {1, side, 3, 1}, {1, side + 1, 3, 0}, {1, 1, most, 1}, {1, 1, most + 1, 0},
    };
    for (const auto& doc : documents) {
        Document d;
        d.width = doc[0], d.height = doc[1], d.channels = u16(doc[2]);
        d.merged = [](u32, u32, u32) { return 1; };
        EXPECT_EQ(LoadBytes(Build(d)), i32(doc[3])) << doc[0] << " " << doc[1] << " " << doc[2];
    }
    // A layer: height, width, channels.
    const u32 layers[][4] = {
        {side, 1, 1, 1}, {side + 1, 1, 1, 0}, {1, side, 1, 1}, {1, side + 1, 1, 0}, {1, 1, most, 1}, {1, 1, most + 1, 0},
    };
    for (const auto& layer : layers) {
        Document d;
        d.layers = {Rect(0, 0, i32(layer[0]), i32(layer[1]))};
        for (u32 c = 0; c < layer[2]; ++c) d.layers[0].Add(i16(c) - 1, 1, [](u32, u32) { return 3; });
        CPSDReader reader;
        ASSERT_EQ(LoadBytes(Build(d), &reader), i32(layer[3])) << layer[0] << " " << layer[1] << " " << layer[2];
        if (layer[3] == 1) {
            EXPECT_EQ(reader.GetLayer(0)->imageSize, layer[0] * layer[1] * layer[2]);
        }
    }
}

TEST(PSDReader, LengthsEndExactlyWhereTheirDataEnds)
{
    Document d;
    d.resources = Resource(1037, "", {0, 0, 0, 30});
    d.layers = {RgbaLayer(0, 0, 2, 3, 0)};
    const Bytes good = Build(d);
    const size_t layer = FirstLayerOffset(d);
    const size_t lastChannelLength = layer + 18 + 6 * 3 + 2;
    auto moved = [&](size_t at, int by) {
        Bytes b = good;
        const u32 value = u32(b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3]) + u32(by);
        for (int i = 0; i < 4; ++i) b[at + i] = u8(value >> (24 - 8 * i));
        return LoadBytes(b);
    };
    EXPECT_EQ(LoadBytes(good), 1);
    EXPECT_EQ(moved(lastChannelLength, 1), 0);   // past the layer info
    EXPECT_EQ(moved(lastChannelLength, -1), 0);  // a raw sample short
    EXPECT_EQ(moved(30, -1), 0);                 // the resources cut into their last one
    EXPECT_EQ(moved(30, 1), 0);                  // and swallowing a byte of the layers
    Bytes moreLayers = good;
    moreLayers[layer - 1] = 2;  // two layers claimed, one stored
    EXPECT_EQ(LoadBytes(moreLayers), 0);

    // A mask's data past the layer info fails before the image is made.
    d.layers[0].channels.push_back({-2, 0, 1, 1, {5}, {}});
    d.layers[0].mask = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0};
    Bytes mask = Build(d);
    ASSERT_EQ(LoadBytes(mask), 1);
    mask[layer + 18 + 6 * 4 + 5] += 1;
    CPSDReader reader;
    EXPECT_EQ(LoadBytes(mask, &reader), 0);
    ASSERT_EQ(reader.GetLayerCount(), 1u);
    EXPECT_EQ(reader.GetLayer(0)->image, nullptr);
}

TEST(PSDReader, AnImageThatCannotBeWrittenIsLeftOutAndLoadingGoesOn)
{
    TempFolder folder;
    Document d;
    d.layers = {RgbaLayer(0, 0, 2, 3, 0)};
    d.layers[0].name = "a";
    ASSERT_TRUE(host::kernel::CreateDirectory(folder / "a.bmp"));
    ASSERT_TRUE(host::kernel::CreateDirectory(folder / "doc.dds"));
    CPSDReader reader;
    reader.SetWriteBMP(1);
    reader.SetWriteDDS(1);
    ASSERT_EQ(reader.Load(Save(folder, "doc.psd", Build(d)).c_str()), 1);
    ASSERT_EQ(reader.GetFileCount(), 2u);
    EXPECT_EQ(std::string(reader.GetFile(0)->GetName()), folder / "a.dds");
    EXPECT_EQ(std::string(reader.GetFile(1)->GetName()), folder / "doc.bmp");
    EXPECT_EQ(Pixel(reader.GetLayer(0), 2, 1), Bgra(2, 1));
}

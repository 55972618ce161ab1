#include "engine/graphics/PSDReader.h"

#include "engine/core/Memory.h"
#include "engine/graphics/ImageReader.h"
#include "engine/graphics/tests/PsdBuilder.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace psd_reader_test {

namespace ORV_TEST_FILE_ID {

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

// A converted file holds the 4 x 4 RGB pixels as a DDS.
void ExpectDDS(const CImageFile* file, const Bytes& pixels)
{
    u32 size = 0;
    u8* dds = EncodeDDS(pixels.data(), 4, 4, 3, &size);
    ASSERT_NE(dds, nullptr);
    EXPECT_EQ(Bytes(file->GetBytes(), file->GetBytes() + file->GetByteCount()), Bytes(dds, dds + size));
    AlignedFree(dds);
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
    // Channels land by id, whatever their order in the file; long runs in red.
    // Transparency scaled by opacity and truncated.
    Layer packed = Rect(2, 3, 22, 13);
    packed.opacity = 254;
    packed.Add(2, 1, Blue).Add(-1, 1, Alpha).Add(0, 1, Red).Add(1, 0, Green);
    packed.channels[2].plane.assign(200, 9);
    // A user mask has a rectangle of its own and must not touch the pixels.
    Layer masked = RgbaLayer(0, 0, 5, 6, 0);
    masked.channels.push_back({-2, 0, 3, 2, Bytes(6, 0), {}});
    masked.mask = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0};
    d.layers = {packed, masked};

    CPSDReader reader;
    ASSERT_EQ(LoadBytes(Build(d), &reader), 1);
    ASSERT_EQ(reader.GetLayerCount(), 2u);
    const CPSDLayer* a = reader.GetLayer(0);
    ASSERT_EQ(a->imageSize, 10u * 20u * 4u);
    for (u32 y = 0; y < 20; ++y)
        for (u32 x = 0; x < 10; ++x) ASSERT_EQ(Pixel(a, x, y), (Bytes{Blue(x, y), Green(x, y), 9, u8(Alpha(x, y) * 254 / 255)}));
    const CPSDLayer* m = reader.GetLayer(1);
    EXPECT_EQ(m->channelCount, 4);
    EXPECT_EQ(Pixel(m, 4, 1), Bgra(4, 1));
}

TEST(PSDReader, ReadsTheMergedImageOfEveryColourMode)
{
    Bytes palette(768);
    for (u32 i = 0; i < 256; ++i) palette[i] = u8(i ^ 0x55), palette[256 + i] = u8(i + 1), palette[512 + i] = u8(255 - i);
    // Two pixels of merged samples 0x10 + 0x30 x channel + x.
    const struct {
        u16 mode, channels;
        Bytes colourData;
        u32 pixelChannels;
        Bytes pixels;
    } cases[] = {
        {1, 2, {}, 2, {0x10, 0x40, 0x11, 0x41}},                           // grey and alpha
        {2, 1, palette, 3, {0xEF, 0x11, 0x45, 0xEE, 0x12, 0x44}},          // indexed through its palette
        {2, 1, Bytes(767, 0), 1, {0x10, 0x11}},                            // indexed without a whole palette
        {3, 4, {}, 4, {0x70, 0x40, 0x10, 0xA0, 0x71, 0x41, 0x11, 0xA1}},   // RGB as blue, green, red, alpha
        {4, 5, {}, 4, {0x10, 0x40, 0x70, 0xA0, 0x11, 0x41, 0x71, 0xA1}},   // CMYK in file order, alpha left out
        {7, 2, {}, 2, {0x10, 0x40, 0x11, 0x41}},                           // multichannel
        {8, 1, {1, 2, 3}, 1, {0x10, 0x11}},                                // duotone
        {9, 3, {}, 3, {0x10, 0x40, 0x70, 0x11, 0x41, 0x71}},               // Lab in file order
    };
    for (u16 compression : {0, 1}) {
        for (const auto& c : cases) {
            TempFolder folder;
            Document d;
            d.mode = c.mode, d.channels = c.channels, d.colourData = c.colourData;
            d.width = 2, d.height = 1, d.mergedCompression = compression;
            d.layers = {Rect(0, 0, 1, 1)};
            d.layers[0].Add(0, 0, [](u32, u32) { return 0x5A; });
            CPSDReader reader;
            reader.SetWriteDDS(1);
            ASSERT_EQ(reader.Load(Save(folder, "m.psd", Build(d)).c_str()), 1) << c.mode;
            EXPECT_EQ(reader.GetLayer(0)->image[0], 0x5A) << c.mode;
            ASSERT_EQ(reader.GetFileCount(), 2u) << c.mode;
            u32 size = 0;
            u8* dds = EncodeDDS(c.pixels.data(), 2, 1, c.pixelChannels, &size);
            ASSERT_NE(dds, nullptr);
            const CImageFile* file = reader.GetFile(1);
            EXPECT_EQ(Bytes(file->GetBytes(), file->GetBytes() + file->GetByteCount()), Bytes(dds, dds + size))
                << c.mode << " " << compression;
            AlignedFree(dds);
        }
    }
}

TEST(PSDReader, PlacesCmykAndLabLayerChannels)
{
    auto cyan = [](u32 x, u32) { return 0x10 + x; };
    auto magenta = [](u32 x, u32) { return 0x20 + x; };
    auto yellow = [](u32 x, u32) { return 0x30 + x; };
    auto black = [](u32 x, u32) { return 0x40 + x; };
    auto alpha = [](u32 x, u32) { return 0x50 + x; };
    Document cmyk;
    cmyk.mode = 4, cmyk.channels = 4;
    Layer withAlpha = Rect(0, 0, 1, 2), withoutAlpha = Rect(0, 0, 1, 2), lab = Rect(0, 0, 1, 2);
    withAlpha.Add(3, 0, black).Add(-1, 1, alpha).Add(0, 0, cyan).Add(1, 1, magenta).Add(2, 0, yellow);
    withoutAlpha.Add(0, 0, cyan).Add(1, 0, magenta).Add(2, 0, yellow).Add(3, 1, black);
    cmyk.layers = {withAlpha, withoutAlpha};
    CPSDReader reader;
    ASSERT_EQ(LoadBytes(Build(cmyk), &reader), 1);
    // Black never lands over a colour: it follows the transparency's byte.
    ASSERT_EQ(reader.GetLayer(0)->channelCount, 5);
    EXPECT_EQ(Pixel(reader.GetLayer(0), 1, 0), (Bytes{0x31, 0x21, 0x11, 0x51, 0x41}));
    ASSERT_EQ(reader.GetLayer(1)->channelCount, 5);
    EXPECT_EQ(Pixel(reader.GetLayer(1), 1, 0), (Bytes{0x31, 0x21, 0x11, 0xFF, 0x41}));

    Document labDocument;
    labDocument.mode = 9;
    lab.Add(0, 0, cyan).Add(1, 0, magenta).Add(2, 1, yellow);
    labDocument.layers = {lab};
    ASSERT_EQ(LoadBytes(Build(labDocument), &reader), 1);
    ASSERT_EQ(reader.GetLayer(0)->channelCount, 3);
    EXPECT_EQ(Pixel(reader.GetLayer(0), 0, 0), (Bytes{0x30, 0x20, 0x10}));

    // A channel id twice is a damaged file, black and transparency alike.
    for (i16 twice : {3, -1}) {
        Document d = cmyk;
        d.layers = {withAlpha};
        d.layers[0].Add(twice, 0, black);
        EXPECT_EQ(LoadBytes(Build(d)), 0) << twice;
    }
}

TEST(PSDReader, WritesConvertedImagesBesideTheFile)
{
    TempFolder folder;
    Document d;
    d.width = 3, d.height = 2;
    d.resources = Resource(1005, "", {0, 72, 0, 0, 0, 1, 0, 1, 0, 96, 0, 0, 0, 1, 0, 1});
    d.layers = {RgbaLayer(0, 0, 2, 3, 1), Layer{}};
    d.layers[0].name = "a/b";  // never a path
    // An image that cannot be written is left out and loading goes on.
    ASSERT_TRUE(host::kernel::CreateDirectory(folder / "a_b.dds"));
    CPSDReader reader;
    reader.SetWriteBMP(1);
    reader.SetWriteDDS(1);
    ASSERT_EQ(reader.Load(Save(folder, "doc.psd", Build(d)).c_str()), 1);
    ASSERT_EQ(reader.GetFileCount(), 3u);  // the empty layer writes nothing
    const char* names[] = {"a_b.bmp", "doc.bmp", "doc.dds"};
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(std::string(reader.GetFile(i)->GetName()), folder / names[i]);
    // The layer's BMP on disk, at the document's 72 x 96 dpi.
    u32 size = 0;
    u8* bmp = EncodeBMP(reader.GetLayer(0)->image, 3, 2, 4, 2834, 3779, &size);
    std::string disk;
    ASSERT_TRUE(host::kernel::ReadWholeFile(folder / "a_b.bmp", disk));
    EXPECT_EQ(disk, std::string(reinterpret_cast<const char*>(bmp), size));
    AlignedFree(bmp);
}

TEST(PSDReader, TheLayerSectionMayEndAfterItsLayers)
{
    // One raw sample makes the layer info odd, so UnwrittenPad leaves
    // three bytes of the mask info's length word in the section.
    Document odd;
    odd.end = Document::End::UnwrittenPad;
    odd.layers = {Rect(0, 0, 1, 1)};
    odd.layers[0].Add(0, 0, [](u32, u32) { return 0x5A; });
    EXPECT_EQ(LoadBytes(Build(odd)), 1);
    // Fewer than four bytes after the mask info are padding; more must be a
    // tagged block.
    Document d;
    d.end = Document::End::MaskInfo;
    const Bytes file = Build(d);
    const size_t section = FirstLayerOffset(d) - 10;
    for (u8 more : {3, 4}) {
        Bytes b = file;
        b.insert(b.begin() + section + 4 + file[section + 3], more, 0);
        b[section + 3] += more;
        EXPECT_EQ(LoadBytes(b), more < 4 ? 1 : 0) << int(more);
    }
}

TEST(PSDReader, RefusesEveryTruncation)
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
    // Cut anywhere before the merged image's data (its compression word
    // included), refused; a merged image cut short is read as far as it goes.
    // Its 84 bytes: 24 of row lengths, 12 rows of one 4-sample literal.
    const size_t merged = whole.size() - 84;
    for (size_t n = 0; n < whole.size(); ++n)
        ASSERT_EQ(reader.Load(Save(folder, "t.psd", Bytes(whole.begin(), whole.begin() + n)).c_str()), n >= merged ? 1 : 0)
            << n;
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
    EXPECT_EQ(patched(good.size() - 50, 2, 2), 0); // merged image compression
    EXPECT_EQ(patched(good.size() - 66, 0), 0);    // the block closing the layer section
    EXPECT_EQ(patched(layer + 8, 0xFFFFFFFF), 0);  // bottom above top
    EXPECT_EQ(patched(layer - 2, 0x7FFF, 2), 0);   // 32767 layers
    EXPECT_EQ(patched(layer + 18, 0, 2), 0);       // channel 0 twice
    EXPECT_EQ(patched(layer - 10, 0xFFFFFFFF), 0); // layer section length
    EXPECT_EQ(patched(26, 0xFFFFFFFF), 0);         // colour mode data length

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

TEST(PSDReader, StepsOverAChannelCompressionItDoesNotKnow)
{
    // ZIP, ZIP with prediction, and a word no writer uses; data shorter and
    // longer than the plane would be. The next layer reads on after it.
    const struct {
        u16 compression;
        Bytes data;
    } cases[] = {{2, {0x78, 0x9C}}, {3, {0x78, 0x9C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}}, {0xFFFF, {}}};
    for (const auto& c : cases) {
        Document d;
        d.layers = {Rect(0, 0, 2, 4), RgbaLayer(1, 1, 2, 3, 1)};
        Bytes stored{u8(c.compression >> 8), u8(c.compression)};
        Append(stored, c.data);
        d.layers[0].channels.push_back({2, c.compression, 4, 2, {}, stored});
        d.layers[0].Add(0, 0, Red).Add(1, 1, Green);
        CPSDReader reader;
        ASSERT_EQ(LoadBytes(Build(d), &reader), 1) << c.compression;
        const CPSDLayer* l = reader.GetLayer(0);
        ASSERT_EQ(l->channelCount, 3) << c.compression;
        for (u32 y = 0; y < 2; ++y)
            for (u32 x = 0; x < 4; ++x)
                EXPECT_EQ(Pixel(l, x, y), (Bytes{0xFF, Green(x, y), Red(x, y)})) << c.compression << " " << x;
        const CPSDLayer* next = reader.GetLayer(1);
        ASSERT_EQ(next->channelCount, 4) << c.compression;
        EXPECT_EQ(Pixel(next, 1, 0), Bgra(1, 0)) << c.compression;
    }
    // The compression word itself missing is a damaged file.
    Document d;
    d.layers = {Rect(0, 0, 2, 4)};
    d.layers[0].channels.push_back({2, 2, 4, 2, {}, {2}});
    EXPECT_EQ(LoadBytes(Build(d)), 0);
}

TEST(PSDReader, PackBitsRunsEndExactlyAtTheRow)
{
    Bytes samples, literals{127};
    for (u32 i = 0; i < 128; ++i) samples.push_back(u8(i * 3));
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

// A 640 x 480 layout: a flat background and two 8 x 8 pictures, PackBits.
Document Layout()
{
    Document d;
    d.width = 640, d.height = 480;
    d.mergedCompression = 1;
    d.merged = [](u32, u32, u32) { return 90; };
    d.layers = {RgbaLayer(0, 0, 8, 8, 1), RgbaLayer(100, 200, 108, 208, 1)};
    return d;
}

TEST(PSDReader, DocumentSizedImagesAreBoundByTheDocumentNotTheFile)
{
    const Bytes bytes = Build(Layout());
    // Far more than the file's bytes could expand to.
    // One picture alone already takes more than the file's bytes could
    // expand to.
    ASSERT_GT(u64(640) * 480 * 4, bytes.size() * CPSDReader::kMaxExpansion);
    CPSDReader reader;
    reader.SetLayerSized(0);
    ASSERT_EQ(LoadBytes(bytes, &reader), 1);
    ASSERT_EQ(reader.GetLayerCount(), 2u);
    for (u32 i = 0; i < 2; ++i) {
        const CPSDLayer* l = reader.GetLayer(i);
        EXPECT_EQ(std::vector<u32>({l->imageWidth, l->imageHeight, l->channelCount}), std::vector<u32>({640, 480, 4}));
    }
    EXPECT_EQ(Pixel(reader.GetLayer(0), 7, 7), Bgra(7, 7));
    EXPECT_EQ(Pixel(reader.GetLayer(0), 639, 479), Bytes(4, 0));
    EXPECT_EQ(Pixel(reader.GetLayer(1), 207, 107), Bgra(7, 7));
    EXPECT_EQ(Pixel(reader.GetLayer(1), 208, 107), Bytes(4, 0));
}

// A damaged file is refused before any image is allocated: no layer holds
// one afterwards, whichever part is damaged.
TEST(PSDReader, DocumentSizedImagesOfADamagedFileAreNeverAllocated)
{
    const Bytes whole = Build(Layout());
    std::vector<Bytes> damaged;
    // Cut in the layer section's end (before the merged image's 2 + 2880 +
    // 1440 x 10 bytes) and in the picture's data; a merged image cut short is
    // read as far as it goes.
    const size_t merged = 2 + 2880 + 1440 * 10;
    ASSERT_EQ(whole[whole.size() - merged + 1], 1);   // the compression word
    for (size_t n : {whole.size() - merged - 6, size_t(FirstLayerOffset(Layout()) + 400)})
        damaged.emplace_back(whole.begin(), whole.begin() + n);
    for (const Bytes& bytes : damaged) {
        SCOPED_TRACE(bytes.size());
        CPSDReader reader;
        reader.SetLayerSized(0);
        EXPECT_EQ(LoadBytes(bytes, &reader), 0);
        for (u32 i = 0; i < reader.GetLayerCount(); ++i) EXPECT_EQ(reader.GetLayer(i)->image, nullptr) << i;
    }
    // The picture's last red row a literal one byte longer than the row is
    // not damage: the literal takes the 8 bytes there are, as the good file.
    Document badRow = Layout();
    Channel& red = badRow.layers[1].channels[1];
    ASSERT_EQ(red.id, 0);
    red.stored = EncodeChannel(red);
    ASSERT_EQ(red.stored[red.stored.size() - 9], 7);
    red.stored[red.stored.size() - 9] = 8;
    CPSDReader good, longer;
    good.SetLayerSized(0), longer.SetLayerSized(0);
    ASSERT_EQ(LoadBytes(whole, &good), 1);
    ASSERT_EQ(LoadBytes(Build(badRow), &longer), 1);
    const CPSDLayer* a = good.GetLayer(1);
    const CPSDLayer* b = longer.GetLayer(1);
    ASSERT_EQ(a->imageSize, b->imageSize);
    EXPECT_EQ(Bytes(a->image, a->image + a->imageSize), Bytes(b->image, b->image + b->imageSize));
    EXPECT_EQ(Pixel(b, 207, 107), Bgra(7, 7));
}

// A layer channel shorter than its rectangle, or whose runs go on across
// its rows, is read as far as its data goes: what it leaves out keeps 255,
// and the channel after it reads its own data.
TEST(PSDReader, LayerChannelsAreReadAsFarAsTheirDataGoes)
{
    const auto packed = [](Bytes runs) {
        Bytes b{0, 1, 0, 9, 0, 9};  // the row byte counts are not read
        Append(b, runs);
        return b;
    };
    const u8 none = 255;
    // The red channel of a 3 x 2 layer as stored; the samples read, by row.
    const struct {
        const char* what;
        Bytes stored;
        Bytes red;
    } cases[] = {
        {"raw whole", {0, 0, 1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
        {"raw two samples short", {0, 0, 1, 2, 3, 4}, {1, 2, 3, 4, none, none}},
        {"raw compression alone", {0, 0}, Bytes(6, none)},
        {"literal across the rows", packed({5, 1, 2, 3, 4, 5, 6}), {1, 2, 3, 4, 5, 6}},
        {"repeat across the rows", packed({0x01, 1, 2, 0xFD, 7}), {1, 2, 7, 7, 7, 7}},
        {"literal cut short", packed({5, 1, 2, 3, 4}), {1, 2, 3, 4, none, none}},
        {"repeat without its byte", packed({0x00, 1, 0x80, 0xFE}), {1, none, none, none, none, none}},
        {"repeat past the last row", packed({0x01, 1, 2, 0xF9, 8}), {1, 2, 8, 8, 8, 8}},
        {"shorter than its byte counts", {0, 1, 0, 9}, Bytes(6, none)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Left of the 4 x 4 document by a column: placed on it, its
        // columns 1 and 2 land at 0 and 1.
        Document d;
        d.layers = {Rect(0, -1, 2, 2)};
        d.layers[0].Add(-1, 0, Alpha);
        d.layers[0].channels.push_back({0, 0, 3, 2, {}, c.stored});
        d.layers[0].Add(1, 1, Green).Add(2, 0, Blue);
        const Bytes bytes = Build(d);
        for (u32 layerSized : {1u, 0u}) {
            SCOPED_TRACE(layerSized);
            CPSDReader reader;
            reader.SetLayerSized(layerSized);
            ASSERT_EQ(LoadBytes(bytes, &reader), 1);
            const CPSDLayer* l = reader.GetLayer(0);
            const u32 shift = layerSized ? 0 : 1;
            for (u32 y = 0; y < 2; ++y) {
                for (u32 x = shift; x < 3; ++x) {
                    EXPECT_EQ(Pixel(l, x - shift, y), (Bytes{Blue(x, y), Green(x, y), c.red[y * 3 + x], Alpha(x, y)}))
                        << x << " " << y;
                }
            }
            if (!layerSized) {
                EXPECT_EQ(Pixel(l, 2, 0), Bytes(4, 0));
            }
        }
    }
}

// The merged image's runs go on across its rows and channels' rows alike.
TEST(PSDReader, MergedImageRunsGoOnAcrossRows)
{
    Document d;  // 4 x 4 RGB
    d.mergedCompression = 1;
    Bytes bytes = Build(d);
    // Its compression word stays; the row byte counts are not read.
    bytes.resize(bytes.size() - 24 - 12 * 5);
    Append(bytes, Bytes(24, 0));
    Bytes red{15};  // one literal of the whole plane
    for (u32 i = 0; i < 16; ++i) red.push_back(u8(i * 9));
    Append(bytes, red);
    Append(bytes, {0xF9, 0x44, 0xF9, 0x55});               // green: two repeats of two rows
    Append(bytes, {0x02, 1, 2, 3, 0xF5, 0x66, 0x00, 4});    // blue: 3, 12, 1
    TempFolder folder;
    CPSDReader reader;
    reader.SetWriteDDS(1);
    ASSERT_EQ(reader.Load(Save(folder, "runs.psd", bytes).c_str()), 1);
    Bytes pixels;
    for (u32 i = 0; i < 16; ++i) {
        const u8 blue = i < 3 ? u8(i + 1) : i < 15 ? 0x66 : 4;
        Append(pixels, {blue, u8(i < 8 ? 0x44 : 0x55), u8(i * 9)});
    }
    ASSERT_EQ(reader.GetFileCount(), 1u);
    ExpectDDS(reader.GetFile(0), pixels);
}

TEST(PSDReader, DocumentSizedImagesPlaceAndClipTheLayerExactly)
{
    // 8 x 6 document; {top, left, bottom, right}.
    const i32 rects[][4] = {
        {4, 6, 6, 8},     // inside, touching the right and bottom edges
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
        for (i32 y = 0; y < 6; ++y)
            for (i32 x = 0; x < 8; ++x)
                ASSERT_EQ(Pixel(reader.GetLayer(0), x, y),
                    x >= r[1] && x < r[3] && y >= r[0] && y < r[2] ? Bgra(x - r[1], y - r[0]) : Bytes(4, 0))
                    << r[0] << "," << r[1] << " at " << x << "," << y;
    }
}

// A merged image cut short is read up to the end of the file; the samples
// past it keep 255, and the layers stay.
TEST(PSDReader, AMergedImageCutShortIsReadAsFarAsItGoes)
{
    Document d;   // 4 x 4 RGB
    d.layers = {RgbaLayer(0, 0, 2, 3, 0)};
    const size_t raw = Build(d).size();
    d.mergedCompression = 1;
    const size_t packed = Build(d).size();
    // Each 4-sample row one literal run of 5 bytes after a 24-byte table.
    ASSERT_EQ(packed - raw, 24u + 12u - 0u);
    // Merged bytes kept after the compression word; the offset of sample
    // x of row r (channel r / 4) within them.
    const struct { u16 compression; size_t kept; } cases[] = {
        {0, 47}, {0, 17}, {0, 0}, {1, 83}, {1, 47}, {1, 46}, {1, 24}, {1, 10}};
    for (const auto& k : cases) {
        SCOPED_TRACE(testing::Message() << k.compression << " kept " << k.kept);
        d.mergedCompression = k.compression;
        Bytes bytes = Build(d);
        const size_t whole = k.compression ? 84 : 48;
        bytes.resize(bytes.size() - whole + k.kept);
        TempFolder folder;
        CPSDReader reader;
        reader.SetWriteDDS(1);
        ASSERT_EQ(reader.Load(Save(folder, "cut.psd", bytes).c_str()), 1);
        ASSERT_EQ(reader.GetLayerCount(), 1u);
        EXPECT_EQ(Pixel(reader.GetLayer(0), 2, 1), Bgra(2, 1));
        Bytes pixels(4 * 4 * 3, 255);
        for (u32 r = 0; r < 12; ++r)
            for (u32 x = 0; x < 4; ++x) {
                const size_t at = k.compression ? 24 + 5 * r + 1 + x : 4 * r + x;
                const u32 c = r / 4, y = r % 4;
                if (at < k.kept) pixels[(y * 4 + x) * 3 + (2 - c)] = d.merged(c, x, y);
            }
        ASSERT_EQ(reader.GetFileCount(), 2u);
        ExpectDDS(reader.GetFile(1), pixels);
    }
}

// A damaged file of many layers whose channels hold only their compression
// word: their 255 fill costs about the file's own size, and past it a layer
// keeps its record without an image. A whole layer after them keeps its own.
TEST(PSDReader, LayerFillPastTheDataCostsAboutTheFileSize)
{
    Document d;
    d.layers.assign(6000, Rect(0, 0, 42, 42));
    for (Layer& l : d.layers)
        for (i16 id : {-1, 0, 1, 2}) l.channels.push_back({id, 0, 42, 42, {}, {0, 0}});
    d.layers.push_back(RgbaLayer(3, 5, 5, 8, 0));
    const Bytes bytes = Build(d);
    ASSERT_LT(bytes.size(), 1u << 20);
    CPSDReader reader;
    ASSERT_EQ(LoadBytes(bytes, &reader), 1);
    ASSERT_EQ(reader.GetLayerCount(), 6001u);
    u64 held = 0;
    u32 withImage = 0;
    for (u32 i = 0; i < 6000; ++i) {
        const CPSDLayer* l = reader.GetLayer(i);
        EXPECT_EQ(l->right, 42) << i;
        held += l->imageSize;
        if (l->image) ++withImage;
    }
    const u32 plane = 42 * 42 * 4;
    EXPECT_LE(held, bytes.size());
    EXPECT_EQ(withImage, bytes.size() / plane);
    const CPSDLayer* first = reader.GetLayer(0);
    ASSERT_EQ(first->imageSize, plane);
    EXPECT_EQ(Bytes(first->image, first->image + plane), Bytes(plane, 255));
    const CPSDLayer* last = reader.GetLayer(5999);
    EXPECT_EQ(std::vector<u32>({last->imageSize, last->imageWidth, last->channelCount}), std::vector<u32>({0, 0, 4}));
    EXPECT_EQ(last->image, nullptr);
    const CPSDLayer* whole = reader.GetLayer(6000);
    ASSERT_NE(whole->image, nullptr);
    EXPECT_EQ(Pixel(whole, 2, 1), Bgra(2, 1));
}

TEST(PSDReader, LimitsHoldExactlyAtTheirBounds)
{
    const u32 side = CPSDReader::kMaxSide;
    const u32 most = CPSDReader::kMaxChannels;
    // width, height, channels of the document, then of a layer; loads.
    const u32 cases[][4] = {
        {side, 1, 3, 1}, {side + 1, 1, 3, 0}, {1, side, 3, 1}, {1, side + 1, 3, 0}, {1, 1, most, 1}, {1, 1, most + 1, 0},
    };
    for (const auto& c : cases) {
        Document d;
        d.width = c[0], d.height = c[1], d.channels = u16(c[2]);
        d.merged = [](u32, u32, u32) { return 1; };
        EXPECT_EQ(LoadBytes(Build(d)), i32(c[3])) << c[0] << " " << c[1] << " " << c[2];
        Document l;
        l.layers = {Rect(0, 0, i32(c[1]), i32(c[0]))};
        for (u32 n = 0; n < c[2]; ++n) l.layers[0].Add(i16(n) - 1, 1, [](u32, u32) { return 3; });
        EXPECT_EQ(LoadBytes(Build(l)), i32(c[3])) << "layer " << c[0] << " " << c[1] << " " << c[2];
    }
}

TEST(PSDReader, LengthsEndExactlyWhereTheirDataEnds)
{
    Document d;
    d.layers = {RgbaLayer(0, 0, 2, 3, 0)};
    // A mask's data past the layer info fails before the image is made.
    d.layers[0].channels.push_back({-2, 0, 1, 1, {5}, {}});
    d.layers[0].mask = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0};
    const Bytes good = Build(d);
    const size_t layer = FirstLayerOffset(d);
    // A raw channel's length a sample long, the mask's past the end.
    const std::pair<size_t, int> moves[] = {{layer + 23, 1}, {layer + 47, 1}};
    for (auto [at, by] : moves) {
        Bytes b = good;
        b[at] = u8(b[at] + by);
        CPSDReader reader;
        EXPECT_EQ(LoadBytes(b, &reader), 0) << at << " " << by;
        EXPECT_EQ(reader.GetLayer(0)->image, nullptr);
    }
    EXPECT_EQ(LoadBytes(good), 1);
    // The transparency's length a sample short is read as far as it goes;
    // each channel after it starts a byte early, on a compression word no
    // writer uses, and is stepped over.
    Bytes shorter = good;
    shorter[layer + 23] -= 1;
    CPSDReader reader;
    ASSERT_EQ(LoadBytes(shorter, &reader), 1);
    const CPSDLayer* l = reader.GetLayer(0);
    EXPECT_EQ(Pixel(l, 1, 1), (Bytes{255, 255, 255, Alpha(1, 1)}));
    EXPECT_EQ(Pixel(l, 2, 1), Bytes(4, 255));
}

}  // namespace ORV_TEST_FILE_ID

}  // namespace psd_reader_test

// Seeds of the graphics readers: PSD documents from the test PSD writer and
// light blocks from CLight::Save.
#include "engine/graphics/Light.h"
#include "engine/graphics/PSDReader.h"
#include "engine/graphics/tests/PsdBuilder.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"

namespace seeds {

namespace {

using namespace psdtest;

Layer Rgba(int32_t top, int32_t left, int32_t bottom, int32_t right, uint16_t compression)
{
    Layer l = Rect(top, left, bottom, right);
    l.Add(-1, compression, [](uint32_t x, uint32_t y) { return x * y * 5 + 3; })
        .Add(0, compression, [](uint32_t x, uint32_t y) { return x * 7 + y; })
        .Add(1, compression, [](uint32_t x, uint32_t y) { return x + y * 3; })
        .Add(2, compression, [](uint32_t, uint32_t) { return 9; });
    return l;
}

Bytes Psd(const Document& d)
{
    const psdtest::Bytes b = Build(d);
    return Bytes(b.begin(), b.end());
}

void MakePsdSeeds(const std::string& root)
{
    Sink sink(root, "psd");

    Document rgb;
    rgb.width = 8, rgb.height = 6;
    rgb.resources = Resource(1005, "", {0, 72, 0, 0, 0, 1, 0, 1, 0, 96, 0, 0, 0, 1, 0, 1});
    Append(rgb.resources, Resource(1037, "a", {0, 0, 0, 30}));
    rgb.layers = {Rgba(0, 0, 4, 5, 0), Rgba(2, -2, 9, 3, 1), Layer{}};
    rgb.layers[1].name = "\x83\x65\x83\x58\x83\x67/packed";
    rgb.layers[2].name = "</Layer group>";
    rgb.layers[2].flags = CPSDLayer::kFlagGroupData;
    sink.Add("rgb-layers", Psd(rgb));

    Document masked;
    masked.width = 4, masked.height = 4;
    masked.mergedCompression = 1;
    masked.layers = {Rgba(0, 0, 3, 4, 1)};
    masked.layers[0].channels.push_back({-2, 0, 3, 2, psdtest::Bytes(6, 0x80), {}});
    masked.layers[0].mask = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0};
    sink.Add("mask-packbits-merged", Psd(masked));

    Document grey;
    grey.mode = CPSDReader::kColourGreyscale;
    grey.channels = 1;
    grey.width = 5, grey.height = 3;
    grey.layers = {Rect(0, 0, 3, 4)};
    grey.layers[0].Add(0, 1, [](uint32_t x, uint32_t) { return x * 40; }).Add(-1, 0, [](uint32_t, uint32_t y) { return y; });
    sink.Add("grey", Psd(grey));

    Document flat;
    flat.layerSection = false;
    flat.channels = 4;
    flat.resources = Resource(1000, "", {0, 3, 0, 4, 0, 4, 0, 8, 0, 3});
    sink.Add("no-layers", Psd(flat));

    Document empty;
    empty.layers = {Layer{}};
    sink.Add("empty-layer", Psd(empty));

    // CMYK: black after the transparency; a ZIP channel stepped over.
    Document cmyk;
    cmyk.mode = 4, cmyk.channels = 5;
    cmyk.layers = {Rgba(0, 0, 3, 4, 1), Rect(1, 1, 3, 3)};
    cmyk.layers[0].Add(3, 1, [](uint32_t x, uint32_t y) { return x ^ y; });
    cmyk.layers[1].channels.push_back({0, 2, 2, 2, {}, {0, 2, 0x78, 0x9C, 1, 2}});
    cmyk.layers[1].Add(1, 0, [](uint32_t x, uint32_t) { return x; });
    sink.Add("cmyk-zip-channel", Psd(cmyk));

    // Channels read as far as their data goes: a raw one cut short, and a
    // packed one whose literal goes on across its rows and stops short.
    Document shortChannels;
    shortChannels.layers = {Rect(0, 0, 2, 3)};
    shortChannels.layers[0].channels.push_back({0, 0, 3, 2, {}, {0, 0, 1, 2, 3, 4}});
    shortChannels.layers[0].channels.push_back({1, 1, 3, 2, {}, {0, 1, 0, 9, 0, 9, 5, 1, 2, 3, 4}});
    shortChannels.layers[0].Add(2, 1, [](uint32_t x, uint32_t y) { return x * y; });
    sink.Add("short-channels", Psd(shortChannels));

    // Indexed: the merged samples through the colour mode data's palette.
    Document indexed;
    indexed.mode = 2, indexed.channels = 1;
    indexed.mergedCompression = 1;
    for (uint32_t i = 0; i < 768; ++i) indexed.colourData.push_back(uint8_t(i * 7));
    indexed.layerSection = false;
    sink.Add("indexed", Psd(indexed));
}

void MakeLightSeeds(const std::string& root)
{
    Sink sink(root, "light");
    CLight light;
    light.GetPosition()->x = 1.5f;
    light.SetRange(100.0f);
    light.SetDiffuse(0xFF8040C0u);
    light.SetFlag(3);
    light.GetSpot()->z = 0.75f;
    const std::pair<const char*, const char*> names[] = {
        {"named", "Light"}, {"double-byte-name", "\x83\x89\x83\x43\x83\x67"}, {"unnamed", nullptr}};
    for (const auto& [seed, name] : names) {
        light.SetName(name);
        fuzz::MemoryFile out;
        FUZZ_CHECK(light.Save(nullptr, &out) == 1);
        sink.Add(seed, out.Bytes());
        if (name && name[0] == 'L') {
            // Its name without the NUL, and the block cut inside its last vector.
            Bytes unended = out.Bytes();
            unended[4 + 5] = '!';
            sink.Add("name-without-nul", unended);
            sink.Add("cut-in-spot", out.Bytes().substr(0, out.Bytes().size() - 5));
            sink.Add("cut-in-name", out.Bytes().substr(0, 4 + 3));
        }
    }
}

}  // namespace

void MakeGraphicsSeeds(const std::string& root)
{
    MakePsdSeeds(root);
    MakeLightSeeds(root);
}

}  // namespace seeds

// Sounds made by other programs: WAV files written by sox and Ogg Vorbis
// files encoded by oggenc, read back and compared with what sox and oggdec
// themselves read from them. scripts/install-deps.sh installs both tools.
#include "engine/platform/OggReader.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/WavReader.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;

namespace {

class OutsideMedia : public SoundFixture {
protected:
    void SetUp() override
    {
        for (const char* tool : {"sox", "oggenc", "oggdec"}) {
            if (!Run(std::string("command -v ") + tool + " > /dev/null")) GTEST_SKIP() << tool << " is not installed";
        }
        SoundFixture::SetUp();
    }

    static bool Run(const std::string& command) { return std::system((command + " 2> /dev/null").c_str()) == 0; }
    std::string Path(const std::string& name) const { return temp_ / name; }
    Bytes Read(const std::string& name) const
    {
        std::string text;
        EXPECT_TRUE(host::kernel::ReadWholeFile(Path(name), text)) << name;
        return Bytes(text.begin(), text.end());
    }
    // A quarter of a second of sox's tones, each channel its own pitch.
    bool MakeWav(const std::string& name, u32 rate, u16 channels, u16 bits)
    {
        return Run("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b " +
                   std::to_string(bits) + " '" + Path(name) + "' synth 0.25 sine 440 sine 660");
    }
    // The PCM of a WAV file (oggdec's output) as our reader finds it.
    std::vector<i16> WavSamples(const std::string& name)
    {
        CWavReader reader;
        SoundFormat format;
        EXPECT_EQ(reader.OpenFile(Path(name).c_str()), 1u);
        EXPECT_EQ(reader.ParseHeader(&format), 1u) << name;
        std::vector<i16> samples(reader.GetDataSize() / 2);
        EXPECT_EQ(reader.Read(samples.data(), u32(samples.size() * 2)), 1u);
        return samples;
    }
};

TEST_F(OutsideMedia, SoxWavFilesReadAsSoxReadsThem)
{
    const struct { u32 rate; u16 channels, bits; } cases[] = {
        {11025, 1, 8}, {22050, 2, 16}, {48000, 1, 16}, {44100, 2, 8}, {44100, 1, 16}, {44100, 2, 16}};
    for (const auto& c : cases) {
        const std::string id = std::to_string(c.rate) + "-" + std::to_string(c.channels) + "-" + std::to_string(c.bits);
        SCOPED_TRACE(id);
        ASSERT_TRUE(MakeWav(id + ".wav", c.rate, c.channels, c.bits));
        ASSERT_TRUE(Run("sox '" + Path(id + ".wav") + "' -t raw '" + Path(id + ".raw") + "'"));
        const Bytes raw = Read(id + ".raw");
        const u32 frames = u32(raw.size() / (c.channels * c.bits / 8));
        ASSERT_EQ(frames, c.rate / 4);

        CWavReader reader;
        SoundFormat f;
        ASSERT_EQ(reader.OpenFile(Path(id + ".wav").c_str()), 1u);
        ASSERT_EQ(reader.ParseHeader(&f), 1u);
        EXPECT_EQ(f.formatTag, 1);
        EXPECT_EQ(f.channels, c.channels);
        EXPECT_EQ(f.samplesPerSec, c.rate);
        EXPECT_EQ(f.bitsPerSample, c.bits);
        EXPECT_EQ(f.blockAlign, c.channels * c.bits / 8);
        EXPECT_EQ(f.avgBytesPerSec, c.rate * f.blockAlign);
        ASSERT_EQ(reader.GetDataSize(), raw.size());
        Bytes pcm(raw.size());
        ASSERT_EQ(reader.Read(pcm.data(), u32(pcm.size())), 1u);
        EXPECT_EQ(pcm, raw);

        CSoundBuffer sound;
        ASSERT_EQ(sound.Load(Path(id + ".wav").c_str(), 1, kStatic), 1u);
        EXPECT_FLOAT_EQ(sound.GetLength(), f32(double(frames) / c.rate));
        if (c.rate != 44100) continue;
        // At the output's rate every sample is heard as it is, each channel
        // on its own side (8-bit samples scaled to 16 bits).
        ASSERT_EQ(sound.Play(0, 0.0f, 1), 0u);
        const std::vector<i16> out = Mix(frames);
        for (u32 t = 0; t < frames; ++t) {
            for (u16 side = 0; side < 2; ++side) {
                const u32 k = t * c.channels + (c.channels == 2 ? side : 0);
                const i32 expected = c.bits == 8 ? (i32(raw[k]) - 128) * 256 : i16(raw[2 * k] | raw[2 * k + 1] << 8);
                ASSERT_EQ(out[2 * t + side], expected) << t << " " << side;
            }
        }
    }
}

// sox writes 24- and 32-bit sound and more than two channels as
// WAVE_FORMAT_EXTENSIBLE (and float with an 18-byte "fmt "), with a "fact"
// chunk between the format and the data. Each keeps its extra bytes and is
// heard as sox reads it, on the 16-bit scale: 24 bits to the nearest, 32
// bits within one step; six channels of one tone as that tone (each of the
// four past the first two joins both sides at half weight).
TEST_F(OutsideMedia, ExtensibleAndFloatWavsAreHeardAsSoxReadsThem)
{
    const struct { const char* name; const char* options; u16 channels, bits, extra; } cases[] = {
        {"wide", "-c 2 -b 24", 2, 24, 22},
        {"int32", "-c 2 -b 32", 2, 32, 22},
        {"float", "-c 1 -e floating-point -b 32", 1, 32, 0},
        {"six", "-c 6 -b 16", 6, 16, 22},
    };
    const u32 frames = 44100 / 4;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string wav = Path(std::string(c.name) + ".wav");
        ASSERT_TRUE(Run(std::string("sox -n -r 44100 ") + c.options + " '" + wav + "' synth 0.25 sine 440"));
        ASSERT_TRUE(Run("sox '" + wav + "' -t raw '" + wav + ".raw'"));
        const Bytes raw = Read(std::string(c.name) + ".wav.raw");
        const u32 bytes = c.bits / 8u;
        ASSERT_EQ(raw.size(), size_t(frames) * c.channels * bytes);
        CWavReader reader;
        SoundFormat f;
        ASSERT_EQ(reader.OpenFile(wav.c_str()), 1u);
        ASSERT_EQ(reader.ParseHeader(&f), 1u);
        EXPECT_EQ(f.extraSize, c.extra);
        EXPECT_EQ(reader.GetDataSize(), raw.size());

        for (u32 flags : {kStatic, 0u}) {
            CSoundBuffer sound;
            ASSERT_EQ(sound.Load(wav.c_str(), 1, flags), 1u) << flags;
            ASSERT_NE(sound.GetFormat(), nullptr);
            EXPECT_EQ(sound.GetFormat()->extraSize, c.extra);
            EXPECT_FLOAT_EQ(sound.GetLength(), 0.25f);
            ASSERT_EQ(sound.Play(0, 0.0f, 1), 0u);
            const std::vector<i16> out = Mix(frames);
            // Channel ch of frame t, sign-extended and scaled to 16 bits.
            auto sample = [&](u32 t, u32 ch) {
                const u8* p = raw.data() + (size_t(t) * c.channels + ch) * bytes;
                if (c.name == std::string("float")) {
                    f32 v;
                    std::memcpy(&v, p, 4);
                    return v * 32768.0;
                }
                i64 word = 0;
                for (u32 k = 0; k < bytes; ++k) word |= i64(p[k]) << (8 * k);
                return f64(word << (64 - 8 * bytes) >> (64 - 8 * bytes)) / f64(1 << (8 * bytes - 16));
            };
            for (u32 t = 0; t < frames; ++t) {
                for (u16 side = 0; side < 2; ++side) {
                    f64 expected = sample(t, c.channels == 1 ? 0 : side);
                    if (c.channels == 6) {
                        // sox dithers each channel apart: the four past the
                        // first two join each side at half weight.
                        for (u32 ch = 2; ch < 6; ++ch) expected += sample(t, ch) / 2;
                        expected /= 3;
                    }
                    const i64 heard = out[2 * t + side];
                    ASSERT_LE(std::abs(heard - i64(std::lrint(std::clamp(expected, -32768.0, 32767.0)))),
                              c.bits == 32 ? 1 : 0)
                        << t << " " << side;
                }
            }
        }
    }
}

// sox writing into a pipe cannot go back to its header: the "data" chunk
// keeps a size far past the end of the file. A stream plays what is there.
TEST_F(OutsideMedia, PipedSoxWavStreamsToTheEndOfTheFile)
{
    ASSERT_TRUE(Run("sox -n -r 44100 -c 2 -b 16 -t wav - synth 0.25 sine 440 sine 660 2> /dev/null | cat > '" +
                    Path("piped.wav") + "'"));
    ASSERT_TRUE(Run("sox '" + Path("piped.wav") + "' -t raw '" + Path("piped.raw") + "'"));
    const Bytes raw = Read("piped.raw");
    const u32 frames = u32(raw.size() / 4);
    ASSERT_EQ(frames, 44100u / 4);

    CWavReader reader;
    SoundFormat f;
    ASSERT_EQ(reader.OpenFile(Path("piped.wav").c_str()), 1u);
    ASSERT_EQ(reader.ParseHeader(&f), 1u);
    EXPECT_EQ(reader.IsDataCutShort(), 1u);
    ASSERT_EQ(reader.GetDataSize(), raw.size());
    Bytes pcm(raw.size());
    ASSERT_EQ(reader.Read(pcm.data(), u32(pcm.size())), 1u);
    EXPECT_EQ(pcm, raw);

    CSoundBuffer whole, music;
    EXPECT_EQ(whole.Load(Path("piped.wav").c_str(), 1, kStatic), 0u);
    ASSERT_EQ(music.Load(Path("piped.wav").c_str(), 1, 0), 1u);
    EXPECT_FLOAT_EQ(music.GetLength(), 0.25f);
    ASSERT_EQ(music.Play(1, 0.0f, 1), 0u);
    // Twice through, each channel on its own side.
    for (u32 t = 0; t < 2 * frames;) {
        const std::vector<i16> out = Mix(735);
        for (u32 i = 0; i < 735; ++i, ++t) {
            for (u32 side = 0; side < 2; ++side) {
                const u32 k = 4 * (t % frames) + 2 * side;
                ASSERT_EQ(out[2 * i + side], i16(raw[k] | raw[k + 1] << 8)) << t << " " << side;
            }
        }
        music.Update();
    }
}

TEST_F(OutsideMedia, OggencFilesDecodeAsOggdecDecodesThem)
{
    // Mono and stereo at two rates, then a chain of both stereo files
    // (oggdec itself plays only the chain's second link: the reference is
    // each link decoded alone).
    const struct { const char* name; u32 rate; u16 channels; int serial; } cases[] = {
        {"mono", 22050, 1, 7}, {"first", 44100, 2, 8}, {"second", 44100, 2, 9}};
    for (const auto& c : cases) {
        const std::string wav = std::string(c.name) + ".wav", ogg = std::string(c.name) + ".ogg";
        ASSERT_TRUE(MakeWav(wav, c.rate, c.channels, 16));
        ASSERT_TRUE(Run("oggenc -Q -s " + std::to_string(c.serial) + " -o '" + Path(ogg) + "' '" + Path(wav) + "'"));
        ASSERT_TRUE(Run("oggdec -Q -o '" + Path(std::string(c.name) + ".dec.wav") + "' '" + Path(ogg) + "'"));
    }
    for (const char* name : {"mono", "first"}) {
        SCOPED_TRACE(name);
        const std::vector<i16> expected = WavSamples(std::string(name) + ".dec.wav");
        EXPECT_EQ(DecodeOgg(Read(std::string(name) + ".ogg")), expected);
    }

    Bytes chain = Read("first.ogg");
    const Bytes second = Read("second.ogg");
    chain.insert(chain.end(), second.begin(), second.end());
    std::vector<i16> expected = WavSamples("first.dec.wav");
    const std::vector<i16> tail = WavSamples("second.dec.wav");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(DecodeOgg(chain), expected);

    // Streamed, stereo at the output's rate: heard sample for sample.
    CSoundBuffer music;
    ASSERT_EQ(music.LoadFromMemory(chain.data(), "chain.ogg", u32(chain.size()), 1, 0), 1u);
    ASSERT_EQ(music.Play(1, -1.0f, 1), 0u);
    const u32 frames = u32(expected.size() / 2);
    for (u32 t = 0; t < frames;) {
        const std::vector<i16> out = Mix(735);
        for (u32 i = 0; i < 735 && t < frames; ++i, ++t) {
            ASSERT_EQ(out[2 * i], expected[2 * t]) << t;
            ASSERT_EQ(out[2 * i + 1], expected[2 * t + 1]) << t;
        }
        music.Update();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

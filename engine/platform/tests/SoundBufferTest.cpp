#include "engine/platform/SoundBuffer.h"

#include "engine/core/PackFile.h"
#include "engine/platform/Listener.h"
#include "engine/platform/WavReader.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <memory>
#include <optional>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;
namespace snd = host::sound;

namespace {

// A constant 10000 through an attenuation in hundredths of a decibel.
i32 Level(i32 hundredths) { return i32(std::lround(10000.0 * std::pow(10.0, hundredths / 2000.0))); }

class SoundBuffer : public SoundFixture {
protected:
    // Left and right of the next mixed frame.
    std::pair<i32, i32> Levels()
    {
        const std::vector<i16> out = Mix(1);
        return {out[0], out[1]};
    }
};

TEST_F(SoundBuffer, PlayTakesTheFirstFreeVoiceOrNone)
{
    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(441, 1000), 10);
    EXPECT_STREQ(b.GetName(), "effect.wav");
    EXPECT_FLOAT_EQ(b.GetLength(), 0.01f);
    for (u32 i = 0; i < 10; ++i) EXPECT_EQ(b.Play(0, 0.0f, 1), i);
    EXPECT_EQ(b.Play(0, 0.0f, 1), CSoundBuffer::kNoVoice);

    // Voices free themselves at their end; a paused one stays taken, and
    // one that fails to start is passed over.
    Mix(441);
    EXPECT_EQ(b.Play(0, 0.0f, 1), 0u);
    EXPECT_EQ(b.PauseVoice(0), 1);
    EXPECT_EQ(b.IsPlaying(0), 1u);
    null_.FailNext(snd::Call::Play, snd::Result::Failed);
    EXPECT_EQ(b.Play(0, 0.0f, 1), 2u);
}

TEST_F(SoundBuffer, SoftwareModeAttenuatesAndPansFromTheListener)
{
    CListener listener(&sound_, CListener::kModeSoftware);
    const CVector3 ahead(0, 0, 1), up(0, 1, 0);
    listener.SetOrientation(&ahead, &up);
    listener.Update();

    CSoundBuffer b;
    LoadWav(b, std::vector<i16>(kRate, 10000), 1, kStatic | kPan);
    ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
    EXPECT_EQ(b.GetVoice(0)->mode3D, CSoundBuffer::kMode3DSoftware);
    const CVector3 right(30, 0, 0), near(0, 0, 5);
    b.SetPosition3D(0, &right, 10.0f, CSoundBuffer::kMode3DNormal);
    b.Update();
    EXPECT_EQ(b.GetVoice(0)->appliedVolume, -600);
    EXPECT_EQ(b.GetVoice(0)->pan, 5000);
    auto [l, r] = Levels();
    EXPECT_NEAR(l, Level(-5600), 1);
    EXPECT_NEAR(r, Level(-600), 1);

    b.SetVoicePosition(0, &near);
    b.Update();
    EXPECT_EQ(Levels(), std::make_pair(10000, 10000));

    // Facing +x, a source at +z is on the left; roll-off scales the drop.
    const CVector3 east(1, 0, 0), north(0, 0, 30);
    listener.SetOrientation(&east, &up);
    listener.SetRolloffFactor(2.0f);
    b.SetVoiceFollow(0, &north);
    b.Update();   // copies the followed position
    b.Update();
    EXPECT_EQ(b.GetVoice(0)->appliedVolume, -1200);
    EXPECT_EQ(b.GetVoice(0)->pan, -5000);

    // An idle voice leaves software mode, its pan back at the centre.
    b.StopVoiceAt(0, 1);
    b.Update();
    EXPECT_EQ(b.GetVoice(0)->mode3D, CSoundBuffer::kMode3DDisable);
    EXPECT_EQ(b.GetVoice(0)->pan, 0);
}

// Update passes over a sound whose voices are all idle; whatever gives a
// voice work again (a fade, a start, more voices) must still be stepped.
TEST_F(SoundBuffer, WorkGivenAfterIdleUpdatesIsStillStepped)
{
    CListener listener(&sound_, CListener::kModeSoftware);
    listener.Update();
    const CVector3 far(0, 0, 30), farther(0, 0, 60);
    struct Case {
        const char* name;
        u32 flags;
    };
    for (const Case& c : {Case{"static", kStatic | kPan}, Case{"static 3D", kStatic | k3D}}) {
        SCOPED_TRACE(c.name);
        CSoundBuffer b;
        LoadWav(b, std::vector<i16>(kRate, 10000), 2, c.flags);
        for (int i = 0; i < 3; ++i) b.Update();
        for (u32 i = 0; i < 2; ++i) EXPECT_EQ(b.GetVoice(i)->mode3D, CSoundBuffer::kMode3DDisable);

        // A falling fade on a stopped voice: two steps, then done.
        ASSERT_EQ(b.SetFade(1, -10000, -5000), 1);
        b.Update();
        EXPECT_EQ(b.GetVoice(1)->baseVolume, -5000);
        b.Update();
        EXPECT_EQ(b.GetVoice(1)->baseVolume, -10000);
        EXPECT_EQ(b.GetVoice(1)->fadeStep, 0);
        b.Update();

        // A voice started after idle updates follows and is placed.
        ASSERT_EQ(b.Play(1, 0.0f, 1), 0u);
        b.SetPosition3D(0, &far, 10.0f, CSoundBuffer::kMode3DNormal);
        b.SetVoiceFollow(0, &farther);
        b.Update();
        b.Update();
        EXPECT_EQ(b.GetVoice(0)->position.z, 60.0f);
        EXPECT_EQ(b.GetVoice(0)->appliedVolume, -1500);
        b.StopVoiceAt(0, 1);
        b.Update();
        EXPECT_EQ(b.GetVoice(0)->mode3D, CSoundBuffer::kMode3DDisable);
        b.Update();

        // New voices after idle updates are stepped to idle too.
        ASSERT_EQ(b.SetVoiceCount(4), 1u);
        b.Update();
        for (u32 i = 0; i < 4; ++i) EXPECT_EQ(b.GetVoice(i)->mode3D, CSoundBuffer::kMode3DDisable) << i;
    }
}

TEST_F(SoundBuffer, LoadsWavFromFileAndStreamsItFromAnArchive)
{
    const std::vector<i16> samples = Ramp(44100 * 3 / 2);
    Bytes wav = MakeWav(samples, 1, 44100);
    // A stray byte after the last whole frame (and the odd chunk's pad byte):
    // no sound holds it, and a stream starts over on a whole frame.
    const u32 data = u32(samples.size() * 2 + 1);
    std::memcpy(wav.data() + 40, &data, 4);
    wav.push_back(0x55);
    wav.push_back(0);
    // A chunk after the PCM, which a stream must never play.
    PutId(wav, "LIST");
    Put32(wav, 64);
    wav.resize(wav.size() + 64, 0x7F);
    const u32 riff = u32(wav.size() - 8);
    std::memcpy(wav.data() + 4, &riff, 4);
    const std::string path = temp_ / "ramp.wav";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, wav.data(), wav.size()));
    CSoundBuffer file;
    ASSERT_EQ(file.Load(path.c_str(), 1, kStatic), 1u);
    EXPECT_EQ(file.GetDataSize(), samples.size() * 2);
    EXPECT_FLOAT_EQ(file.GetLength(), 1.5f);

    // The stream reads the entry long after the load returned, and starts
    // over at the end of the PCM.
    const std::string packPath = temp_ / "sounds.gpk";
    const char* paths[] = {path.c_str()};
    ASSERT_EQ(CqelPackFile::Write(paths, 1, packPath.c_str()), 1u);
    auto pack = std::make_unique<CqelPackFile>();
    ASSERT_EQ(pack->Open(packPath.c_str()), 1u);
    CSoundBuffer streamed;
    ASSERT_EQ(streamed.LoadFromPack(pack.get(), path.c_str(), 1, 0), 1u);
    CSoundBuffer whole, missing;
    ASSERT_EQ(whole.LoadFromPack(pack.get(), path.c_str(), 1, kStatic), 1u);
    EXPECT_EQ(whole.GetDataSize(), samples.size() * 2);
    EXPECT_EQ(missing.LoadFromPack(pack.get(), "none.wav", 1, kStatic), 0u);
    pack.reset();
    ASSERT_EQ(streamed.Play(1, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 240, 735, [&](u32 t) { return samples[t % samples.size()]; }, [&] { streamed.Update(); });
}

// Side by side, each entry loads as LoadFromPack would load it alone: its
// own bytes, name, voice count and buffer flags. An entry without a sound
// or a block loads nothing (and the block is let go).
TEST_F(SoundBuffer, LoadEachFromPackGivesEveryEntryItsOwnSettings)
{
    const std::string a = temp_ / "a.wav", b = temp_ / "b.wav";
    const Bytes mono = MakeWav(Ramp(1000), 1, 44100), stereo = MakeWav(Ramp(600), 2, 22050);
    ASSERT_TRUE(host::kernel::WriteFileAtomic(a, mono.data(), mono.size()));
    ASSERT_TRUE(host::kernel::WriteFileAtomic(b, stereo.data(), stereo.size()));
    const std::string packPath = temp_ / "sounds.gpk";
    const char* paths[] = {a.c_str(), b.c_str()};
    ASSERT_EQ(CqelPackFile::Write(paths, 2, packPath.c_str()), 1u);
    CqelPackFile pack;
    ASSERT_EQ(pack.Open(packPath.c_str()), 1u);
    const auto read = [&](const std::string& name, u32* size) { return pack.ReadEntry(name.c_str(), size); };

    CSoundBuffer first, second, blockless;
    std::vector<CSoundBuffer::PackedFile> files(4);
    files[0] = {&first, nullptr, a.c_str(), 0, 2, kStatic | k3D, 9};
    files[1] = {&second, nullptr, b.c_str(), 0, 3, kStatic | kPan, 9};
    files[2] = {nullptr, nullptr, a.c_str(), 0, 1, kStatic, 9};
    files[3] = {&blockless, nullptr, b.c_str(), 0, 1, kStatic, 9};
    files[0].block = read(a, &files[0].size);
    files[1].block = read(b, &files[1].size);
    files[2].block = read(a, &files[2].size);
    ASSERT_TRUE(files[0].block && files[1].block && files[2].block);
    CSoundBuffer::LoadEachFromPack(files.data(), u32(files.size()));

    EXPECT_EQ((std::vector<u32>{files[0].loaded, files[1].loaded, files[2].loaded, files[3].loaded}),
              (std::vector<u32>{1, 1, 0, 0}));
    EXPECT_EQ(files[0].block, nullptr) << "taken over";
    EXPECT_EQ(files[2].block, nullptr) << "let go";
    const struct {
        const CSoundBuffer& sound;
        const std::string& name;
        u32 voices, flags;
        u16 channels;
        u32 rate, bytes;
    } expected[] = {{first, a, 2, kStatic | k3D, 1, 44100, 2000}, {second, b, 3, kStatic | kPan, 2, 22050, 1200}};
    for (const auto& e : expected) {
        EXPECT_STREQ(e.sound.GetName(), e.name.c_str());
        EXPECT_EQ(e.sound.GetVoiceCount(), e.voices) << e.name;
        EXPECT_EQ(e.sound.GetBufferFlags(), e.flags) << e.name;
        EXPECT_EQ(e.sound.GetChannels(), e.channels) << e.name;
        EXPECT_EQ(e.sound.GetSampleRate(), e.rate) << e.name;
        EXPECT_EQ(e.sound.GetDataSize(), e.bytes) << e.name;
    }
    EXPECT_EQ(blockless.GetVoiceCount(), 0u);
}

TEST_F(SoundBuffer, RefusesDamagedFiles)
{
    const Bytes good = MakeWav(Ramp(1000), 1, 44100);
    auto patched = [&](size_t at, u32 value) {
        Bytes b = good;
        std::memcpy(b.data() + at, &value, 4);
        return b;
    };
    const Bytes ogg = EncodeOgg(Ramp(1000), 1, 44100);
    const std::pair<const char*, Bytes> damaged[] = {
        {"cut.wav", Bytes(good.begin(), good.begin() + 10)},
        {"riff.wav", patched(0, 0x46464952u + 1)},
        {"short-fmt.wav", patched(16, 14)},
        {"no-data.wav", patched(36, 0x61746164u + 1)},
        {"no-channels.wav", patched(20, 0x00000001u)},
        {"float.wav", patched(20, 0x00010003u)},
        {"no-block-align.wav", patched(32, 16u << 16)},
        {"noise.ogg", Bytes(4000, 0x5A)},
        {"cut.ogg", Bytes(ogg.begin(), ogg.begin() + 100)},
    };
    for (u32 flags : {kStatic, 0u}) {
        CSoundBuffer b;
        for (const auto& [name, bytes] : damaged)
            EXPECT_EQ(b.LoadFromMemory(bytes.data(), name, u32(bytes.size()), 1, flags), 0u) << name;
        EXPECT_EQ(b.Play(0, 0.0f, 1), CSoundBuffer::kNoVoice);
    }
    // Data longer than the file is refused only where it is read whole.
    const Bytes longData = patched(40, 5000);
    CSoundBuffer whole;
    EXPECT_EQ(whole.LoadFromMemory(longData.data(), "long-data.wav", u32(longData.size()), 1, kStatic), 0u);
}

// A WAV written while its sound was made may end before the size its "data"
// chunk was given: a stream plays what the file holds and starts over where
// it ends; a static sound, which reads the chunk whole, is refused.
TEST_F(SoundBuffer, AWavWhoseDataRunsPastTheFileStreamsWhatItHolds)
{
    const std::vector<i16> samples = Ramp(kRate / 2 + 7);
    const u32 bytes = u32(samples.size() * 2);
    const struct {
        u32 declared, riff;
        bool stray;  // the file ends inside a frame
        u32 cutShort;
    } cases[] = {
        {bytes, 36 + bytes, false, 0},
        {bytes + 1, 36 + bytes, false, 1},
        {bytes + 2, 36 + bytes + 2, true, 1},
        {0x7FFFF000, 0x7FFFF024, false, 1},  // as sox writes into a pipe
        {0xFFFFFFFF, 0xFFFFFFFF, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.declared);
        Bytes wav = MakeWav(samples, 1, kRate);
        std::memcpy(wav.data() + 4, &c.riff, 4);
        std::memcpy(wav.data() + 40, &c.declared, 4);
        if (c.stray) wav.push_back(0x55);
        CWavReader reader;
        SoundFormat format;
        ASSERT_EQ(reader.OpenMemory(wav.data(), u32(wav.size()), nullptr), 1u);
        ASSERT_EQ(reader.ParseHeader(&format), 1u);
        EXPECT_EQ(reader.GetDataSize(), bytes);
        EXPECT_EQ(reader.IsDataCutShort(), c.cutShort);

        CSoundBuffer whole, streamed;
        EXPECT_EQ(whole.LoadFromMemory(wav.data(), "made.wav", u32(wav.size()), 1, kStatic), 1 - c.cutShort);
        ASSERT_EQ(streamed.LoadFromMemory(wav.data(), "made.wav", u32(wav.size()), 1, 0), 1u);
        EXPECT_EQ(streamed.GetDataSize(), bytes);
        EXPECT_FLOAT_EQ(streamed.GetLength(), f32(double(samples.size()) / kRate));
        ASSERT_EQ(streamed.Play(1, 0.0f, 1), 0u);
        u32 t = 0;
        MixExpecting(t, 80, 735, [&](u32 t) { return samples[t % samples.size()]; }, [&] { streamed.Update(); });
    }
}

// A WAV laid out chunk by chunk: RIFF size given (0: the bytes that follow
// it), the "fmt " body, an optional "fact" chunk, the data.
Bytes WavOf(u32 riff, const Bytes& fmt, bool fact, const Bytes& data)
{
    Bytes b;
    PutId(b, "RIFF"); Put32(b, riff); PutId(b, "WAVE");
    PutId(b, "fmt "); Put32(b, u32(fmt.size())); b.insert(b.end(), fmt.begin(), fmt.end());
    if (fact) { PutId(b, "fact"); Put32(b, 4); Put32(b, 0); }
    PutId(b, "data"); Put32(b, u32(data.size())); b.insert(b.end(), data.begin(), data.end());
    if (!riff) {
        const u32 size = u32(b.size() - 8);
        std::memcpy(b.data() + 4, &size, 4);
    }
    return b;
}

// A "fmt " body: the 16-byte record, then (tag not 1 or extra given) the
// extra size and the extra bytes; an extensible one names its sub-format.
Bytes FmtOf(u16 tag, u16 channels, u16 bits, std::optional<u16> sub = std::nullopt, bool cbSize = false)
{
    Bytes f;
    const u16 align = u16(channels * bits / 8);
    Put16(f, tag); Put16(f, channels); Put32(f, kRate); Put32(f, kRate * align); Put16(f, align); Put16(f, bits);
    if (sub) {
        Put16(f, 22); Put16(f, bits); Put32(f, 0);
        Put32(f, *sub); Put16(f, 0); Put16(f, 0x10); Put32(f, 0xAA000080); Put32(f, 0x719B3800);
    } else if (cbSize) {
        Put16(f, 0);
    }
    return f;
}

// The ramp's samples in a wider or float encoding, each channel alike.
Bytes Encode(const std::vector<i16>& samples, u16 channels, u16 bits, bool isFloat)
{
    Bytes b;
    for (i16 v : samples) {
        for (u16 c = 0; c < channels; ++c) {
            if (isFloat && bits == 64) {
                const f64 d = v / 32768.0;
                u64 w;
                std::memcpy(&w, &d, 8);
                Put32(b, u32(w)); Put32(b, u32(w >> 32));
            } else if (isFloat) {
                const f32 f = v / 32768.0f;
                u32 w;
                std::memcpy(&w, &f, 4);
                Put32(b, w);
            } else if (bits == 8) {
                b.push_back(u8((v >> 8) + 128));
            } else {
                const u32 w = u32(i32(v)) << (bits - 16);
                for (u16 k = 0; k < bits / 8; ++k) b.push_back(u8(w >> (8 * k)));
            }
        }
    }
    return b;
}

// A WAV is measured by the bytes it holds: writers that give "fmt " its
// 18-byte form or add a "fact" chunk may state the RIFF size of the 16-byte
// form without them. The data is whole, static or streamed.
TEST_F(SoundBuffer, AWavIsMeasuredByTheBytesItHoldsNotItsRiffSize)
{
    const std::vector<i16> samples = Ramp(kRate / 2 + 3);
    const Bytes pcm = Encode(samples, 1, 16, false);
    const struct { const char* what; Bytes wav; } cases[] = {
        {"18-byte fmt", WavOf(36 + u32(pcm.size()), FmtOf(1, 1, 16, std::nullopt, true), false, pcm)},
        {"fact chunk", WavOf(36 + u32(pcm.size()), FmtOf(1, 1, 16), true, pcm)},
        {"RIFF size past the end", WavOf(0x7FFFFFF0, FmtOf(1, 1, 16), true, pcm)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CWavReader reader;
        SoundFormat format;
        ASSERT_EQ(reader.OpenMemory(c.wav.data(), u32(c.wav.size()), nullptr), 1u);
        ASSERT_EQ(reader.ParseHeader(&format), 1u);
        EXPECT_EQ(reader.GetDataSize(), pcm.size());
        EXPECT_EQ(reader.IsDataCutShort(), 0u);
        for (u32 flags : {kStatic, 0u}) {
            CSoundBuffer sound;
            ASSERT_EQ(sound.LoadFromMemory(c.wav.data(), "made.wav", u32(c.wav.size()), 1, flags), 1u) << flags;
            EXPECT_EQ(sound.GetDataSize(), pcm.size());
            ASSERT_EQ(sound.Play(flags ? 0 : 1, 0.0f, 1), 0u);
            u32 t = 0;
            MixExpecting(t, 80, 735, [&](u32 t) { return flags && t >= samples.size() ? i16(0) : samples[t % samples.size()]; },
                         [&] { sound.Update(); });
        }
    }
}

// Wider integer samples, float samples and more than two channels are
// played converted: the ramp is heard at its own level on both sides, a
// channel past the second at half weight on each. What the mixer cannot
// convert (compressed tags, odd sample sizes) is refused, static or
// streamed.
TEST_F(SoundBuffer, WavsInWiderFloatAndManyChannelFormatsArePlayedConverted)
{
    const std::vector<i16> samples = Ramp(kRate / 4);
    const struct { const char* what; Bytes fmt; u16 channels, bits; bool isFloat; } playable[] = {
        {"24-bit extensible", FmtOf(0xFFFE, 1, 24, 1), 1, 24, false},
        {"24-bit PCM", FmtOf(1, 2, 24), 2, 24, false},
        {"32-bit extensible", FmtOf(0xFFFE, 2, 32, 1), 2, 32, false},
        {"float", FmtOf(3, 1, 32, std::nullopt, true), 1, 32, true},
        {"float extensible", FmtOf(0xFFFE, 2, 32, 3), 2, 32, true},
        {"double", FmtOf(3, 1, 64, std::nullopt, true), 1, 64, true},
        {"16-bit six channels", FmtOf(0xFFFE, 6, 16, 1), 6, 16, false},
        {"8-bit three channels", FmtOf(1, 3, 8), 3, 8, false},
    };
    for (const auto& c : playable) {
        SCOPED_TRACE(c.what);
        const Bytes wav = WavOf(0, c.fmt, c.channels > 2, Encode(samples, c.channels, c.bits, c.isFloat));
        for (u32 flags : {kStatic, 0u}) {
            CSoundBuffer sound;
            ASSERT_EQ(sound.LoadFromMemory(wav.data(), "wide.wav", u32(wav.size()), 1, flags), 1u) << flags;
            EXPECT_FLOAT_EQ(sound.GetLength(), 0.25f);
            ASSERT_EQ(sound.Play(0, 0.0f, 1), 0u);
            const std::vector<i16> out = Mix(u32(samples.size()));
            for (u32 t = 0; t < samples.size(); ++t) {
                // 8 bits keep the high byte.
                const i16 v = c.bits == 8 ? i16(samples[t] & ~0xFF) : samples[t];
                ASSERT_EQ(out[2 * t], v) << t << " " << flags;
                ASSERT_EQ(out[2 * t + 1], v) << t << " " << flags;
            }
        }
    }

    // Six channels of a constant each: left 3000, right -3000, the rest 600.
    Bytes six;
    for (u32 t = 0; t < 64; ++t)
        for (i16 v : {3000, -3000, 600, 600, 600, 600}) Put16(six, u16(v));
    const Bytes sixWav = WavOf(0, FmtOf(0xFFFE, 6, 16, 1), true, six);
    CSoundBuffer mixed;
    ASSERT_EQ(mixed.LoadFromMemory(sixWav.data(), "six.wav", u32(sixWav.size()), 1, kStatic), 1u);
    ASSERT_EQ(mixed.Play(0, 0.0f, 1), 0u);
    const std::vector<i16> out = Mix(2);
    EXPECT_EQ(out[0], (3000 + 2 * 600) / 3);
    EXPECT_EQ(out[1], (-3000 + 2 * 600) / 3);

    // Float samples that are not numbers are silence; past full scale they
    // are held, and the six-channel voice still playing beside them is heard
    // (1400, -600) where they leave room.
    Bytes odd;
    for (u32 bits : {0x7FC00000u, 0x7F800000u, 0xFF800000u, 0x40000000u, 0x3E800000u}) Put32(odd, bits);
    const Bytes oddWav = WavOf(0, FmtOf(3, 1, 32, std::nullopt, true), false, odd);
    CSoundBuffer oddSound;
    ASSERT_EQ(oddSound.LoadFromMemory(oddWav.data(), "odd.wav", u32(oddWav.size()), 1, kStatic), 1u);
    ASSERT_EQ(oddSound.Play(0, 0.0f, 1), 0u);
    EXPECT_EQ(Mix(5), (std::vector<i16>{1400, -600, 32767, 32767, -32768, -32768, 32767, 32767, 8192 + 1400, 8192 - 600}));

    const struct { const char* what; Bytes fmt; } refused[] = {
        {"ADPCM", FmtOf(2, 1, 16, std::nullopt, true)},
        {"ADPCM extensible", FmtOf(0xFFFE, 1, 16, 2)},
        {"12-bit PCM", FmtOf(1, 2, 12)},
        {"16-bit float", FmtOf(3, 1, 16, std::nullopt, true)},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        const Bytes wav = WavOf(0, c.fmt, false, Bytes(1200, 0x11));
        for (u32 flags : {kStatic, 0u}) {
            CSoundBuffer sound;
            EXPECT_EQ(sound.LoadFromMemory(wav.data(), "odd.wav", u32(wav.size()), 1, flags), 0u) << flags;
            EXPECT_EQ(sound.GetFormat(), nullptr);
        }
    }
}

// (Whole decodes and their sizes: OggReaderTest.)
TEST_F(SoundBuffer, OggStreamsThroughCopies)
{
    const Bytes ogg = EncodeOgg(Ramp(44100 * 3), 1, 44100);
    const std::vector<i16> reference = DecodeOgg(ogg);

    // A copy of music streamed from a file keeps reading the shared source
    // after the original has gone; the last copy closes it.
    const std::string path = temp_ / "m.ogg";
    ASSERT_TRUE(host::kernel::WriteFileAtomic(path, ogg.data(), ogg.size()));
    auto* music = new CSoundBuffer();
    ASSERT_EQ(music->Load(path.c_str(), 2, 0), 1u);
    std::unique_ptr<CSoundBuffer> copy(music->Clone());
    delete music;
    EXPECT_STREQ(copy->GetName(), path.c_str());
    EXPECT_EQ(copy->GetVoiceCount(), 2u);
    ASSERT_EQ(copy->Play(1, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 150, 735, [&](u32 t) { return reference[t]; }, [&] { copy->Update(); });
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

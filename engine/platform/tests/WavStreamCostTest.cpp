// A damaged WAV streamed under 1 MiB: thousands of chunks before its data,
// a RIFF and a data size of 4 GB. What it holds and plays is what its bytes
// carry.
#include "engine/platform/WavReader.h"
#include "engine/platform/tests/SoundTestSupport.h"

namespace ORV_TEST_FILE_ID {

using namespace sound_test;

namespace {

using WavStreamCost = SoundFixture;

TEST_F(WavStreamCost, ADamagedStreamedWavHoldsAndPlaysWhatItsBytesCarry)
{
    const u32 frames = kRate / 2;
    const std::vector<i16> ramp = Ramp(frames);
    Bytes b;
    PutId(b, "RIFF"), Put32(b, 0xFFFFFFFFu), PutId(b, "WAVE");
    for (u32 i = 0; i < 50000; ++i) PutId(b, "junk"), Put32(b, 8), Put32(b, i), Put32(b, ~i);
    PutId(b, "fmt "), Put32(b, 16);
    Put16(b, 1), Put16(b, 1), Put32(b, kRate), Put32(b, kRate * 2), Put16(b, 2), Put16(b, 16);
    PutId(b, "data"), Put32(b, 0xFFFFFFF0u);
    for (i16 s : ramp) Put16(b, u16(s));
    ASSERT_LT(b.size(), size_t(1) << 20);

    CWavReader reader;
    ASSERT_EQ(reader.OpenMemory(b.data(), u32(b.size()), nullptr), 1u);
    SoundFormat format;
    ASSERT_EQ(reader.ParseHeader(&format), 1u);
    EXPECT_EQ(reader.IsDataCutShort(), 1u);
    EXPECT_EQ(reader.GetDataSize(), frames * 2);
    EXPECT_TRUE(format.extra.empty());

    // Streamed, it plays the half second the file holds over and over.
    media_ = b;
    CSoundBuffer sound;
    ASSERT_EQ(sound.LoadFromMemory(media_.data(), "music.wav", u32(media_.size()), 1, 0), 1u);
    EXPECT_EQ(sound.GetDataSize(), frames * 2);
    EXPECT_EQ(sound.GetLength(), 0.5f);
    ASSERT_EQ(sound.Play(1, 0.0f, 1), 0u);
    u32 t = 0;
    MixExpecting(t, 120, 735, [&](u32 at) { return ramp[at % frames]; }, [&] { sound.Update(); });
    EXPECT_EQ(t, 120u * 735u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

#include "game/battle/testdata/Sounds.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include <vector>

namespace battle_data {

namespace {

constexpr u32 kRate = 8000;
constexpr f32 kTwoPi = 6.2831853f;

std::vector<i16> Tone(f32 hertz, f32 seconds)
{
    const u32 frames = u32(seconds * f32(kRate));
    const u32 fade = frames / 8 + 1;
    std::vector<i16> samples(frames);
    for (u32 i = 0; i < frames; ++i) {
        const u32 edge = i < frames - i ? i : frames - i;
        const f32 envelope = edge < fade ? f32(edge) / f32(fade) : 1.0f;
        samples[i] = i16(8000.0f * envelope * SinF(kTwoPi * hertz * f32(i) / f32(kRate)));
    }
    return samples;
}

std::string Text(const std::vector<u8>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace

std::string ToneWav(f32 hertz, f32 seconds) { return Text(sound_test::MakeWav(Tone(hertz, seconds), 1, kRate)); }

std::string ToneOgg(f32 hertz, f32 seconds) { return Text(sound_test::EncodeOgg(Tone(hertz, seconds), 1, kRate)); }

std::string QuietMusicOgg(f32 hertz, f32 seconds)
{
    std::vector<i16> samples(u32(seconds * f32(kRate)), 0);
    const std::vector<i16> start = Tone(hertz, 1.0f);
    for (size_t i = 0; i < start.size() && i < samples.size(); ++i) samples[i] = i16(start[i] / 8);
    return Text(sound_test::EncodeOgg(samples, 1, kRate));
}

}  // namespace battle_data

// Voices a fighter can really play: a sound device on the null output and
// one short sound in every voice slot, so what the fighter says shows in its
// last voice.
#pragma once

#include "engine/platform/tests/SoundTestSupport.h"
#include "game/battle/character/CharacterBase.h"

#include <memory>
#include <string>

namespace character_test {

class VoiceBench {
public:
    VoiceBench()
    {
        host::sound::SetNullOutput(&null_);
        // The window's creation moves the current folder; the test's stays.
        const std::string cwd = host::kernel::GetCurrentDirectory();
        EXPECT_EQ(window_.Create(GetModuleInstance(), "Voices", -1, -1, 64, 48, 0, 0, sound_test::QuietProc, nullptr), 1);
        host::kernel::SetCurrentDirectory(cwd);
        EXPECT_EQ(sound_.Initialize(&window_), 1);
        wav_ = sound_test::MakeWav(std::vector<i16>(441, 1000), 1, sound_test::kRate);
    }
    ~VoiceBench()
    {
        voices_.reset();
        effects_.reset();
        host::sound::SetNullOutput(nullptr);
    }

    // Every voice slot of s holds the sound; voices enabled.
    void Give(CharacterStatus& s)
    {
        voices_ = std::make_unique<CSoundBuffer[]>(kVoiceCount);
        for (u32 i = 0; i < kVoiceCount; ++i) {
            EXPECT_EQ(voices_[i].LoadFromMemory(wav_.data(), "voice.wav", u32(wav_.size()), kVoicesEach,
                                                sound_test::kStatic | sound_test::k3D),
                      1u);
            s.voices[i] = &voices_[i];
        }
        s.voiceEnabled = 1;
    }
    // Every sound-effect slot of s holds the sound too.
    void GiveSoundEffects(CharacterStatus& s)
    {
        effects_ = std::make_unique<CSoundBuffer[]>(kSoundEffectCount);
        for (u32 i = 0; i < kSoundEffectCount; ++i) {
            EXPECT_EQ(effects_[i].LoadFromMemory(wav_.data(), "effect.wav", u32(wav_.size()), kVoicesEach,
                                                 sound_test::kStatic | sound_test::k3D),
                      1u);
            s.soundEffects[i] = &effects_[i];
        }
    }
    // The sound effects that play: bit n for effect n.
    u32 PlayingEffects() const
    {
        u32 bits = 0;
        for (u32 i = 0; effects_ && i < kSoundEffectCount; ++i) {
            for (u32 v = 0; v < kVoicesEach; ++v) bits |= effects_[i].IsPlaying(v) ? 1u << i : 0u;
        }
        return bits;
    }

private:
    // Nothing mixes, so a played voice never ends: room for a few each.
    static constexpr u32 kVoicesEach = 8;

    host::window::FakeWindow& fakeWindow_ = host::window::InstallFakeWindow();
    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scopedClock_{clock_};
    host::sound::NullOutput null_;
    CSystem window_;
    CSound sound_;
    sound_test::Bytes wav_;
    std::unique_ptr<CSoundBuffer[]> voices_;
    std::unique_ptr<CSoundBuffer[]> effects_;
};

}  // namespace character_test

// Through the players' output, SDL2: its dummy driver stands for a sound
// card, a driver that does not exist for a machine without one.
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include "host/kernel/FakeMessageBox.h"

#include <cstdlib>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;

namespace {

class SoundSdl : public SoundWindow {
protected:
    void SetUp() override
    {
        host::sound::SetNullOutput(nullptr);
        if (const char* driver = std::getenv("SDL_AUDIODRIVER")) saved_ = driver;
        SoundWindow::SetUp();
    }
    void TearDown() override
    {
        if (saved_.empty()) unsetenv("SDL_AUDIODRIVER");
        else setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
    }
    std::string saved_;
};

TEST_F(SoundSdl, PlaysSoundsAndMusicThroughTheRealOutput)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    CSound sound;
    ASSERT_EQ(sound.Initialize(&window_), 1);

    const Bytes wav = MakeWav(Ramp(4410), 1, 44100);
    CSoundBuffer effect;
    ASSERT_EQ(effect.LoadFromMemory(wav.data(), "effect.wav", u32(wav.size()), 2, 0x2), 1u);
    ASSERT_EQ(effect.Play(0, 0.0f, 1), 0u);
    EXPECT_TRUE(WaitFor([&] { return !effect.IsPlaying(0); }));

    const Bytes ogg = EncodeOgg(Ramp(44100), 1, 44100);
    CSoundBuffer music;
    ASSERT_EQ(music.LoadFromMemory(ogg.data(), "music.ogg", u32(ogg.size()), 1, 0), 1u);
    ASSERT_EQ(music.Play(1, 0.0f, 1), 0u);
    f32 last = 0.0f;
    for (int i = 0; i < 5000 && last < 0.3f; ++i) {
        RealSleep(1);
        music.Update();
        ASSERT_GE(music.GetVoiceParam(0), last);
        last = music.GetVoiceParam(0);
    }
    EXPECT_GE(last, 0.3f);
}

TEST_F(SoundSdl, WithoutASoundCardTheGameGoesOnSilently)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    host::kernel::FakeMessageBox boxes;
    CSound none;
    EXPECT_EQ(none.Initialize(&window_), 0);
    EXPECT_EQ(boxes.Last().text, "DirectSound8オブジェクトの生成に失敗しました");

    CSoundBuffer buffer;
    const Bytes wav = MakeWav(Ramp(100), 1, 44100);
    EXPECT_EQ(buffer.LoadFromMemory(wav.data(), "a.wav", u32(wav.size()), 4, 0x2), 0u);
    EXPECT_EQ(buffer.Play(0, 0.0f, 1), CSoundBuffer::kNoVoice);
    EXPECT_EQ(buffer.Update(), 1);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

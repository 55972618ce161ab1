#include "engine/platform/Listener.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/tests/SoundTestSupport.h"

#include "host/kernel/FakeMessageBox.h"

#include <memory>

namespace ORV_TEST_FILE_ID {

using namespace sound_test;
namespace snd = host::sound;

namespace {

class SoundDevice : public SoundFixture {};

TEST_F(SoundDevice, OpensSixteenBitStereoAndBecomesTheGlobalDevice)
{
    EXPECT_EQ(GetSoundDeviceGlobal(), &sound_);
    snd::WaveFormat format;
    ASSERT_EQ(sound_.GetPrimaryBuffer()->GetFormat(format), snd::Result::Ok);
    EXPECT_EQ(format.rate, 44100u);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.bits, 16);

    // A deleted device is no longer reachable: loads fail instead of using it.
    auto* other = new CSound();
    ASSERT_EQ(other->Initialize(&window_), 1);
    EXPECT_EQ(GetSoundDeviceGlobal(), other);
    // A stream thread may hold the sound lock while the device goes.
    auto held = std::make_unique<CSoundLock>();
    delete other;
    held.reset();
    EXPECT_EQ(GetSoundDeviceGlobal(), nullptr);
    CSoundBuffer buffer;
    const Bytes wav = MakeWav(Ramp(100), 1, 44100);
    EXPECT_EQ(buffer.LoadFromMemory(wav.data(), "a.wav", u32(wav.size()), 1, 2), 0u);
}

TEST_F(SoundDevice, EachFailingStepShowsItsMessageAndStops)
{
    const std::pair<snd::Call, const char*> steps[] = {
        {snd::Call::CreateDevice, "DirectSound8オブジェクトの生成に失敗しました"},
        {snd::Call::SetCooperativeLevel, "DirectSoumd8\n協調設定に失敗しました"},
        {snd::Call::CreateBuffer, "DirectSound8\nプライマリバッファの作成に失敗しました"},
        {snd::Call::SetFormat, "DirectSound8\nプライマリバッファの設定に失敗しました"},
        {snd::Call::QueryListener, "DirectSound8\nサウンドリスナーの作成に失敗しました"},
    };
    for (const auto& [call, text] : steps) {
        SCOPED_TRACE(text);
        SetSoundDeviceGlobal(nullptr);
        host::kernel::FakeMessageBox boxes;
        null_.FailNext(call, snd::Result::Failed);
        CSound failed;
        EXPECT_EQ(failed.Initialize(&window_), 0);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Last().text, text);
        EXPECT_EQ(boxes.Last().caption, "Error");
        EXPECT_EQ(boxes.Last().type, host::kernel::kMbOk);
        EXPECT_EQ(GetSoundDeviceGlobal(), nullptr);
    }

    // No window, and failing capabilities: 0 without a box.
    host::kernel::FakeMessageBox boxes;
    CSound quiet;
    EXPECT_EQ(quiet.Initialize(nullptr), 0);
    null_.FailNext(snd::Call::GetCaps, snd::Result::Failed);
    EXPECT_EQ(quiet.Initialize(&window_), 0);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(GetSoundDeviceGlobal(), nullptr);
}

TEST_F(SoundDevice, ListenerBecomesCurrentAndLeavesOnDestruction)
{
    const CVector3 position(1, 2, 3), front(1, 0, 0), top(0, 1, 0);
    auto* software = new CListener(&sound_, CListener::kModeSoftware);
    software->SetPosition(&position);
    software->Update();
    EXPECT_EQ(sound_.GetListener(), software);
    EXPECT_EQ(sound_.GetListenerInterface()->Get().position.x, 0.0f);   // the device's is left alone

    auto* device = new CListener(&sound_, CListener::kModeDevice);
    device->SetPosition(&position);
    device->SetOrientation(&front, &top);
    device->SetRolloffFactor(2.0f);
    device->Update();
    EXPECT_EQ(sound_.GetListener(), device);
    const snd::Listener3D applied = sound_.GetListenerInterface()->Get();
    EXPECT_EQ(applied.position.z, 3.0f);
    EXPECT_EQ(applied.front.x, 1.0f);
    EXPECT_EQ(applied.rolloffFactor, 2.0f);

    delete software;   // not current: nothing changes
    CListener orphan(nullptr, CListener::kModeDevice);
    orphan.Update();
    EXPECT_EQ(sound_.GetListener(), device);
    delete device;
    EXPECT_EQ(sound_.GetListener(), nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

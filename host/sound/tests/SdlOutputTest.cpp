// The players' backend, on SDL's dummy driver (no sound card needed).
#include "host/sound/Sound.h"

#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace host::sound {
namespace ORV_TEST_FILE_ID {

namespace {

class SdlOutput : public ::testing::Test {
protected:
    void SetUp() override {
        SetNullOutput(nullptr);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override { setenv("SDL_AUDIODRIVER", saved_.c_str(), 1); }
    const std::string saved_ = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "dummy";
};

// A tenth of a second of 440 Hz plays to its end at two output formats.
TEST_F(SdlOutput, PlaysASoundToItsEnd) {
    std::unique_ptr<Device> device;
    ASSERT_EQ(CreateDevice(device), Result::Ok);
    int window = 0;
    ASSERT_EQ(device->SetCooperativeLevel(&window, kCoopPriority), Result::Ok);
    std::unique_ptr<Buffer> primary;
    ASSERT_EQ(device->CreateBuffer({kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume, 0, {}}, primary), Result::Ok);

    const WaveFormat format = PcmFormat(22050, 1, 16);
    std::vector<int16_t> tone(format.rate / 10);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t(8000 * std::sin(i * 2 * M_PI * 440 / format.rate));
    std::unique_ptr<Buffer> b;
    ASSERT_EQ(device->CreateBuffer({kBufferStatic | kBufferCtrlVolume | kBufferCtrlPositionNotify,
                                    uint32_t(tone.size() * 2), format}, b),
              Result::Ok);
    LockedRegions r;
    ASSERT_EQ(b->Lock(0, uint32_t(tone.size() * 2), r), Result::Ok);
    std::copy(tone.begin(), tone.end(), static_cast<int16_t*>(r.first));
    ASSERT_EQ(b->Unlock(r), Result::Ok);
    host::kernel::Event stop(false, false);
    const Notification n{kNotifyOffsetStop, &stop};
    ASSERT_EQ(b->SetNotificationPositions(1, &n), Result::Ok);

    for (const WaveFormat& out : {PcmFormat(44100, 2, 16), PcmFormat(48000, 1, 16)}) {
        ASSERT_EQ(primary->SetFormat(out), Result::Ok);
        ASSERT_EQ(b->Play(0), Result::Ok);
        ASSERT_EQ(stop.Wait(5000), 0u) << out.rate;
        uint32_t status = 1, play = 1;
        b->GetStatus(status);
        b->GetCurrentPosition(&play, nullptr);
        EXPECT_EQ(status, 0u);
        EXPECT_EQ(play, 0u);
    }
}

TEST_F(SdlOutput, FailsLikeAMissingSoundCard) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    std::unique_ptr<Device> device;
    EXPECT_EQ(CreateDevice(device), Result::NoDriver);
    EXPECT_EQ(device, nullptr);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::sound

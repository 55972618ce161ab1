// A device on the null output, and buffers filled with generated samples.
#pragma once

#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

namespace host::sound {
inline void PrintTo(Result r, std::ostream* os) { *os << ResultName(r); }
}  // namespace host::sound

namespace host::sound::testing {

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetNullOutput(&null);
        ASSERT_EQ(CreateDevice(device), Result::Ok);
        ASSERT_EQ(device->SetCooperativeLevel(&window, kCoopPriority), Result::Ok);
    }
    void TearDown() override { SetNullOutput(nullptr); }

    std::unique_ptr<Buffer> Make(const WaveFormat& format, uint32_t flags, const void* data, uint32_t bytes) {
        std::unique_ptr<Buffer> b;
        EXPECT_EQ(device->CreateBuffer({flags, bytes, format}, b), Result::Ok);
        if (b && data) Write(*b, 0, data, bytes);
        return b;
    }
    std::unique_ptr<Buffer> Make16(uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples,
                                   uint32_t flags = kBufferStatic | kBufferCtrlVolume) {
        return Make(PcmFormat(rate, channels, 16), flags, samples.data(), uint32_t(samples.size() * 2));
    }

    static void Write(Buffer& b, uint32_t offset, const void* data, uint32_t bytes) {
        LockedRegions r;
        ASSERT_EQ(b.Lock(offset, bytes, r), Result::Ok);
        std::memcpy(r.first, data, r.firstBytes);
        if (r.second) std::memcpy(r.second, static_cast<const uint8_t*>(data) + r.firstBytes, r.secondBytes);
        ASSERT_EQ(b.Unlock(r), Result::Ok);
    }

    // Interleaved samples in the primary format (stereo unless changed).
    std::vector<int16_t> Mix(uint32_t frames, uint16_t channels = 2) {
        std::vector<int16_t> out(size_t(frames) * channels, -1);
        EXPECT_TRUE(null.MixFrames(frames, out.data()));
        return out;
    }

    static uint32_t PlayCursor(const Buffer& b) {
        uint32_t play = 0xDEAD;
        EXPECT_EQ(b.GetCurrentPosition(&play, nullptr), Result::Ok);
        return play;
    }
    static uint32_t Status(const Buffer& b) {
        uint32_t s = 0xDEAD;
        EXPECT_EQ(b.GetStatus(s), Result::Ok);
        return s;
    }

    NullOutput null;
    std::unique_ptr<Device> device;
    int window = 0;
};

}  // namespace host::sound::testing

// Sound tests: a device on the null output for a fake main window, and test
// media made here (WAV written sample by sample, Ogg Vorbis encoded with
// libvorbisenc).
#pragma once

#include "engine/core/MemStream.h"
#include "engine/core/Memory.h"
#include "engine/platform/OggReader.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/System.h"

#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"
#include "host/window/FakeWindow.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace sound_test {

constexpr u32 kRate = 44100;
// Buffer flags as callers pass them: static, 3D, pan, notify streaming.
constexpr u32 kStatic = 0x2;
constexpr u32 k3D = 0x10;
constexpr u32 kPan = 0x40;
constexpr u32 kNotify = 0x100;

using Bytes = std::vector<u8>;

inline void Put16(Bytes& b, u32 v) { b.push_back(u8(v)); b.push_back(u8(v >> 8)); }
inline void Put32(Bytes& b, u32 v) { Put16(b, v & 0xFFFF); Put16(b, v >> 16); }
inline void PutId(Bytes& b, const char* id) { for (int i = 0; i < 4; ++i) b.push_back(u8(id[i])); }

// A canonical 16-bit PCM WAV.
inline Bytes MakeWav(const std::vector<i16>& samples, u16 channels, u32 rate)
{
    Bytes b;
    const u32 data = u32(samples.size() * 2);
    PutId(b, "RIFF"); Put32(b, 36 + data); PutId(b, "WAVE");
    PutId(b, "fmt "); Put32(b, 16);
    Put16(b, 1); Put16(b, channels); Put32(b, rate); Put32(b, rate * channels * 2);
    Put16(b, channels * 2); Put16(b, 16);
    PutId(b, "data"); Put32(b, data);
    for (i16 s : samples) Put16(b, u16(s));
    return b;
}

// Frames of a mono signal that is easy to tell apart at every sample.
inline std::vector<i16> Ramp(u32 frames, i16 start = 0)
{
    std::vector<i16> s(frames);
    for (u32 i = 0; i < frames; ++i) s[i] = i16(start + i16(i % 20000) - 10000);
    return s;
}

// Ogg Vorbis of mono or interleaved stereo samples; smallPages puts every
// packet on a page of its own. Links of a chained file need serials of their own.
inline Bytes EncodeOgg(const std::vector<i16>& samples, u16 channels, u32 rate, bool smallPages = false,
                       int serial = 1)
{
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    ogg_packet header, comments, codebooks, packet;
    ogg_page page;
    vorbis_info_init(&vi);
    EXPECT_EQ(vorbis_encode_init_vbr(&vi, channels, long(rate), 0.4f), 0);
    vorbis_comment_init(&vc);
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_init(&os, serial);
    Bytes out;
    auto write = [&] {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    for (ogg_packet* p : {&header, &comments, &codebooks}) ogg_stream_packetin(&os, p);
    while (ogg_stream_flush(&os, &page)) write();

    const size_t frames = samples.size() / channels;
    for (size_t at = 0; !ogg_page_eos(&page);) {
        const size_t n = std::min<size_t>(1024, frames - at);
        float** buffer = vorbis_analysis_buffer(&vd, int(n));
        for (size_t i = 0; i < n; ++i)
            for (u16 c = 0; c < channels; ++c) buffer[c][i] = samples[(at + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&vd, int(n));   // 0 marks the end
        at += n;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (smallPages ? ogg_stream_flush(&os, &page) : ogg_stream_pageout(&os, &page)) write();
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

// What the decoder makes of an Ogg file: the reference for streamed play.
inline std::vector<i16> DecodeOgg(const Bytes& ogg)
{
    SoundFormat format;
    u32 size = 0;
    u8* pcm = DecodeOggMemory(CreateMemStream(ogg.data(), u32(ogg.size())), &format, &size);
    EXPECT_NE(pcm, nullptr);
    std::vector<i16> out(size / 2);
    if (pcm) std::memcpy(out.data(), pcm, size);
    AlignedFree(pcm);
    return out;
}

// Where each Ogg page starts.
inline std::vector<size_t> OggPages(const Bytes& ogg)
{
    std::vector<size_t> pages;
    for (size_t i = 0; i + 4 <= ogg.size(); ++i)
        if (std::memcmp(ogg.data() + i, "OggS", 4) == 0) pages.push_back(i);
    return pages;
}

// Sleeps in real time, whatever clock is installed.
inline void RealSleep(u32 ms)
{
    host::kernel::Event never(true, false);
    never.Wait(ms);
}

// Waits up to five seconds of real time for done(); its last answer.
template <class Done>
bool WaitFor(Done done)
{
    for (int i = 0; i < 5000 && !done(); ++i) RealSleep(1);
    return done();
}

inline host::window::LResult QuietProc(host::window::Handle, uint32_t, host::window::WParam, host::window::LParam)
{
    return 0;
}

// A fake main window for the device (its creation moves the current folder,
// which is put back).
class SoundWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(window_.Create(GetModuleInstance(), "Sound", -1, -1, 640, 480, 0, 0, QuietProc, nullptr), 1);
        host::kernel::SetCurrentDirectory(cwd_);
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder temp_;
    host::window::FakeWindow& fakeWindow_ = host::window::InstallFakeWindow();
    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scopedClock_{clock_};
    CSystem window_;
};

// A sound device on the null output. Mix returns interleaved stereo frames.
class SoundFixture : public SoundWindow {
protected:
    void SetUp() override
    {
        host::sound::SetNullOutput(&null_);
        SoundWindow::SetUp();
        ASSERT_EQ(sound_.Initialize(&window_), 1);
    }
    void TearDown() override { host::sound::SetNullOutput(nullptr); }

    std::vector<i16> Mix(u32 frames)
    {
        std::vector<i16> out(size_t(frames) * 2, -1);
        EXPECT_TRUE(null_.MixFrames(frames, out.data()));
        return out;
    }
    // Mixes `steps` steps of `frames`, the left channel of frame t being
    // expected(t), and runs after() after each step; t counts on.
    template <class Expected, class After>
    void MixExpecting(u32& t, int steps, u32 frames, Expected expected, After after)
    {
        for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
            const std::vector<i16> out = Mix(frames);
            for (u32 i = 0; i < frames; ++i, ++t) ASSERT_EQ(out[2 * i], expected(t)) << t;
            after();
        }
    }

    // A mono sound of `samples` (WAV) or of a ramp of `frames` (Ogg, its
    // decode in reference_); a stream reads media_ as it plays.
    void LoadWav(CSoundBuffer& b, const std::vector<i16>& samples, u32 voices = 1, u32 flags = kStatic)
    {
        media_ = MakeWav(samples, 1, kRate);
        ASSERT_EQ(b.LoadFromMemory(media_.data(), "effect.wav", u32(media_.size()), voices, flags), 1u);
    }
    void LoadOgg(CSoundBuffer& b, u32 frames, u32 flags)
    {
        media_ = EncodeOgg(Ramp(frames), 1, kRate);
        reference_ = DecodeOgg(media_);
        ASSERT_EQ(reference_.size(), frames);
        ASSERT_EQ(b.LoadFromMemory(media_.data(), "music.ogg", u32(media_.size()), 1, flags), 1u);
    }
    // Waits (real time) until voice 0's thread has refilled `count` halves.
    static void WaitRefills(const CSoundBuffer& b, u32 count)
    {
        ASSERT_TRUE(WaitFor([&] { return b.GetStreamRefills(0) >= count; })) << count;
    }
    // Halves a notify stream has refilled once `played` frames were mixed:
    // the first fill, then one per half boundary the cursor reached.
    static u32 RefillsAfter(u32 played) { return played == 0 ? 1 : 2 + (played - 1) / kRate; }

    host::sound::NullOutput null_;
    CSound sound_;
    Bytes media_;
    std::vector<i16> reference_;
};

}  // namespace sound_test

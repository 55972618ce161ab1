// WAV and Ogg Vorbis files loaded into CSoundBuffer from memory, static or
// streamed, and played (once or looped) on a sound device over the null
// output through about two and a half seconds of mixing, so a stream
// refills its halves and a loop comes round.
//
// Input: a mode byte (bit 0: Ogg Vorbis, else WAV; bit 1: static; bit 2:
// 3D; bit 3: pan; bit 4: looped; bit 5: the loop starts at 0.05 s), then
// the file.
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/System.h"
#include "fuzz/FuzzSupport.h"
#include "host/sound/Sound.h"
#include "host/window/FakeWindow.h"

#include <vector>

namespace {

host::window::LResult QuietProc(host::window::Handle, uint32_t, host::window::WParam, host::window::LParam)
{
    return 0;
}

// A device on the null output for a fake main window, on a clock that
// moves only when told to, made once for the process.
struct Device {
    Device()
    {
        const std::string folder = fuzz::ProcessFolder();
        host::kernel::SetClock(&clock);
        host::window::InstallFakeWindow();
        host::sound::SetNullOutput(&output);
        FUZZ_CHECK(window.Create(GetModuleInstance(), "Fuzz", -1, -1, 640, 480, 0, 0, QuietProc, nullptr) == 1);
        // Making the window moves the current folder.
        host::kernel::SetCurrentDirectory(folder);
        FUZZ_CHECK(sound.Initialize(&window) == 1);
    }

    host::kernel::FakeClock clock{1000};
    host::sound::NullOutput output;
    CSystem window;
    CSound sound;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Device device;
    if (size > UINT32_MAX) return 0;
    device.clock.Set(1000);
    fuzz::Input input(data, size);
    const u8 mode = input.Byte();
    u32 flags = 0;
    if (mode & 2) flags |= CSoundBuffer::kBufferStatic;
    if (mode & 4) flags |= CSoundBuffer::kBuffer3D;
    if (mode & 8) flags |= CSoundBuffer::kBufferPan;

    CSoundBuffer sound;
    if (!sound.LoadFromMemory(input.Rest(), mode & 1 ? "input.ogg" : "input.wav", u32(input.RestSize()), 2, flags))
        return 0;
    FUZZ_CHECK(sound.GetVoiceCount() == 2 && sound.GetChannels() >= 1);
    const u32 looped = (mode & 16) ? CSoundBuffer::kPlayLooping : 0;
    sound.Play(looped, mode & 32 ? 0.05f : 0.0f, 1);
    std::vector<int16_t> mixed(8192 * 2);
    for (int step = 0; step < 14; ++step) {
        FUZZ_CHECK(device.output.MixFrames(8192, mixed.data()));
        device.clock.Advance(186);
        sound.Update();
    }
    sound.Release();
    return 0;
}

#include "engine/platform/Sound.h"

#include "engine/platform/System.h"

#include "host/kernel/Kernel.h"

#include <atomic>

namespace {

std::atomic<CSound*> g_soundDevice{nullptr};

// Never destroyed: a sound released during exit may still take it.
host::kernel::CriticalSection& SoundLock()
{
    static auto* lock = new host::kernel::CriticalSection();
    return *lock;
}

i32 Fail(const char* text)
{
    host::kernel::MessageBox(text, "Error", host::kernel::kMbOk);
    return 0;
}

}  // namespace

void SetSoundDeviceGlobal(CSound* sound) { g_soundDevice.store(sound); }

CSound* GetSoundDeviceGlobal() { return g_soundDevice.load(); }

CSound::CSound() = default;

CSound::~CSound()
{
    // A pointer left to a deleted device would turn every later load into a
    // use after free; loads then fail instead.
    CSound* self = this;
    g_soundDevice.compare_exchange_strong(self, nullptr);
    m_listenerInterface = nullptr;
    m_primary.reset();
    m_device.reset();
}

i32 CSound::Initialize(CSystem* window)
{
    using namespace host::sound;
    if (!window) return 0;
    m_window = window;

    if (CreateDevice(m_device) != Result::Ok) return Fail("DirectSound8オブジェクトの生成に失敗しました");
    if (m_device->SetCooperativeLevel(window->GetWindowHandle(), kCoopPriority) != Result::Ok)
        return Fail("DirectSoumd8\n協調設定に失敗しました");

    BufferDesc desc;
    desc.flags = kBufferPrimary | kBufferCtrl3D | kBufferCtrlVolume;
    desc.bytes = 0;
    if (m_device->CreateBuffer(desc, m_primary) != Result::Ok)
        return Fail("DirectSound8\nプライマリバッファの作成に失敗しました");
    if (m_primary->SetFormat(PcmFormat(44100, 2, 16)) != Result::Ok)
        return Fail("DirectSound8\nプライマリバッファの設定に失敗しました");
    if (m_primary->QueryListener(m_listenerInterface) != Result::Ok)
        return Fail("DirectSound8\nサウンドリスナーの作成に失敗しました");

    DeviceCaps caps;
    if (m_device->GetCaps(caps) != Result::Ok) return 0;
    m_maxSecondaryRate = caps.maxSecondaryRate;
    m_minSecondaryRate = caps.minSecondaryRate;
    m_totalHardwareMemory = caps.totalHardwareBytes;
    m_freeHardwareMemory = caps.freeHardwareBytes;
    m_capsFlags = caps.flags;

    SetSoundDeviceGlobal(this);
    return 1;
}

i32 CSound::Lock()
{
    SoundLock().Enter();
    return 1;
}

i32 CSound::Unlock()
{
    SoundLock().Leave();
    return 1;
}

CSoundLock::CSoundLock() { SoundLock().Enter(); }

CSoundLock::~CSoundLock() { SoundLock().Leave(); }

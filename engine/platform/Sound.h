// CSound: the process's one sound device. It owns the host sound device and
// the primary buffer (fixed 44.1 kHz 16-bit stereo output) with its 3D
// listener. The sound lock, the one lock that serialises the buffer calls the
// stream threads can race with, belongs to the process, not to a device, so
// a thread holding it never outlives it. Sound buffers and listeners reach
// the device through the process-wide pointer set by a successful Initialize.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"

#include "host/sound/Sound.h"

#include <memory>

class CSystem;
class CListener;

class CSound : public CValueBase {
public:
    CSound();
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;
    ~CSound() override;

    const char* GetClassName() const override { return "CSound"; }
    u32 GetSize() const override { return u32(sizeof(CSound)); }

    // Opens the device for window. 1, or 0 after a message box (or, for a
    // null window or failing capabilities, without one).
    i32 Initialize(CSystem* window);

    // The process's sound lock (recursive). Never held while waiting for a
    // stream thread.
    i32 Lock();
    i32 Unlock();

    CListener* GetListener() const { return m_listener; }
    void SetListener(CListener* listener) { m_listener = listener; }

    host::sound::Device* GetDevice() const { return m_device.get(); }
    host::sound::Buffer* GetPrimaryBuffer() const { return m_primary.get(); }
    host::sound::Listener* GetListenerInterface() const { return m_listenerInterface; }
    CSystem* GetWindow() const { return m_window; }

    u32 GetMaxSecondaryRate() const { return m_maxSecondaryRate; }
    u32 GetMinSecondaryRate() const { return m_minSecondaryRate; }
    u32 GetCapsFlags() const { return m_capsFlags; }
    u32 GetTotalHardwareMemory() const { return m_totalHardwareMemory; }
    u32 GetFreeHardwareMemory() const { return m_freeHardwareMemory; }

private:
    std::unique_ptr<host::sound::Device> m_device;
    std::unique_ptr<host::sound::Buffer> m_primary;
    host::sound::Listener* m_listenerInterface = nullptr;   // owned by the device
    u32 m_maxSecondaryRate = 0;
    u32 m_minSecondaryRate = 0;
    u32 m_totalHardwareMemory = 0;
    u32 m_freeHardwareMemory = 0;
    u32 m_capsFlags = 0;
    CSystem* m_window = nullptr;
    CListener* m_listener = nullptr;
};

// The initialised sound device, or null (none yet, or it has been deleted).
void SetSoundDeviceGlobal(CSound* sound);
CSound* GetSoundDeviceGlobal();

// Holds the sound lock for a scope.
class CSoundLock {
public:
    CSoundLock();
    ~CSoundLock();
    CSoundLock(const CSoundLock&) = delete;
    CSoundLock& operator=(const CSoundLock&) = delete;
};

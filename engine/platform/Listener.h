// CListener: where positional sound is heard from. Update makes it the sound
// device's current listener; a mode-0 listener drives the device's 3D
// listener, a mode-1 listener is only read by the voices in software mode,
// which work out their own attenuation and pan from it.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"
#include "engine/core/Vector3.h"

class CSound;

class CListener : public CValueBase {
public:
    static constexpr u32 kModeDevice = 0;
    static constexpr u32 kModeSoftware = 1;

    CListener(CSound* owner, u32 mode);
    CListener(const CListener& other);
    CListener& operator=(const CListener&) = delete;
    ~CListener() override;

    const char* GetClassName() const override { return "CListener"; }
    u32 GetSize() const override { return u32(sizeof(CListener)); }

    // Null arguments leave the value unchanged.
    void SetPosition(const CVector3* position);
    void SetVelocity(const CVector3* velocity);
    void SetOrientation(const CVector3* front, const CVector3* top);
    void SetRolloffFactor(f32 factor) { m_rolloffFactor = factor; }

    // Becomes the owner's current listener and, in mode 0, hands the
    // settings to the device's listener. Nothing without an owner.
    void Update();
    // Stops being the owner's current listener.
    void Detach();

    const CVector3& GetPosition() const { return m_position; }
    const CVector3& GetFront() const { return m_front; }
    const CVector3& GetTop() const { return m_top; }
    f32 GetRolloffFactor() const { return m_rolloffFactor; }
    u32 GetMode() const { return m_mode; }
    CSound* GetOwner() const { return m_owner; }

private:
    CVector3 m_position;
    CVector3 m_velocity;
    CVector3 m_front;
    CVector3 m_top;
    f32 m_distanceFactor = 1.0f;
    f32 m_dopplerFactor = 1.0f;
    f32 m_rolloffFactor = 1.0f;
    u32 m_mode;
    CSound* m_owner;
};

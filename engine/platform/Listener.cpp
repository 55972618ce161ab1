#include "engine/platform/Listener.h"

#include "engine/platform/HostVector.h"
#include "engine/platform/Sound.h"

CListener::CListener(CSound* owner, u32 mode) : m_mode(mode), m_owner(owner) {}

CListener::CListener(const CListener& other) = default;

CListener::~CListener() { Detach(); }

void CListener::SetPosition(const CVector3* position)
{
    if (position) m_position = *position;
}

void CListener::SetVelocity(const CVector3* velocity)
{
    if (velocity) m_velocity = *velocity;
}

void CListener::SetOrientation(const CVector3* front, const CVector3* top)
{
    if (front) m_front = *front;
    if (top) m_top = *top;
}

void CListener::Update()
{
    if (!m_owner) return;
    m_owner->Lock();
    m_owner->SetListener(this);
    host::sound::Listener* device = m_owner->GetListenerInterface();
    if (m_mode == kModeDevice && device) {
        using host::sound::kApplyDeferred;
        // Results are not checked: a rejected setting keeps the previous one.
        device->SetPosition(ToHost(m_position), kApplyDeferred);
        device->SetVelocity(ToHost(m_velocity), kApplyDeferred);
        device->SetOrientation(ToHost(m_front), ToHost(m_top), kApplyDeferred);
        device->SetDistanceFactor(m_distanceFactor, kApplyDeferred);
        device->SetDopplerFactor(m_dopplerFactor, kApplyDeferred);
        device->SetRolloffFactor(m_rolloffFactor, kApplyDeferred);
        device->CommitDeferredSettings();
    }
    m_owner->Unlock();
}

void CListener::Detach()
{
    if (m_owner && m_owner->GetListener() == this) m_owner->SetListener(nullptr);
}

// The scene's side of the network lockstep: it owns the CBattleLockstep,
// hands it the local fighter's input and the peer messages, and lets it reach
// the network scene (transport and lock) and the battle (music, paused time,
// end fade). Outside network play the lockstep sends nothing.
#include "game/battle/scene/BattleScene.h"

#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "game/battle/character/Character.h"

i32 CBattleScene::LockstepSeams::Broadcast(u32 type, const u8* data, u32 length)
{
    IBattleNetwork* network = scene->GetNetwork();
    return network ? network->Broadcast(u16(type), data, length) : 0;
}

void CBattleScene::LockstepSeams::Enter()
{
    if (IBattleNetwork* network = scene->GetNetwork()) network->EnterLock();
}

void CBattleScene::LockstepSeams::Leave()
{
    if (IBattleNetwork* network = scene->GetNetwork()) network->LeaveLock();
}

bool CBattleScene::LockstepSeams::HeldByMe() const
{
    IBattleNetwork* network = scene->GetNetwork();
    return network && network->LockHeldByMe();
}

f32 CBattleScene::LockstepSeams::GetMusicPosition() { return scene->GetMusicTime(); }

void CBattleScene::LockstepSeams::AddPausedTime(u32 ms)
{
    if (IBattleApp* app = scene->GetApp()) app->AddPausedTime(ms);
}

bool CBattleScene::LockstepSeams::IsEndFadeStarted() { return scene->IsEndRequested() != 0; }

CBattleLockstep* CBattleScene::GetLockstep() const
{
    host::kernel::Lock lock(m_peerLock);
    return m_lockstep.get();
}

u32 CBattleScene::SyncStart() { return m_lockstep ? u32(m_lockstep->SyncStart()) : 1; }

i32 CBattleScene::SendLocalInput()
{
    if (!m_lockstep) return 1;
    // The first pad's buttons and stick, when a fighter plays the local entry.
    InputPacket packet{};
    bool local = false;
    if (m_networkMode && FindLocalCharacter() >= 0) {
        CInput* input = m_app ? m_app->GetInput() : nullptr;
        if (const InputState* pad = input ? input->GetInputState(0) : nullptr) {
            CCharacter::BuildInputPacket(&packet, *pad);
            local = true;
        }
    }
    return m_lockstep->SendLocalInput(GetFrameTimeMs(), local ? &packet : nullptr);
}

u32 CBattleScene::WaitNetInputs()
{
    const bool ready = m_lockstep && m_lockstep->WaitNetInputs();
    // A peer the host stopped waiting for stays gone in the set-up that goes
    // on to a rematch, as one that left does.
    for (u32 e = 0; m_lockstep && m_setup && e < kLockstepEntries; ++e) {
        if (m_lockstep->GetEntryKind(e) != CBattleEntry::kKindNone) continue;
        host::kernel::Lock lock(m_lockstep->GetSyncBlock());
        m_setup->entries[e].kind = CBattleEntry::kKindNone;
    }
    return ready ? 1 : 0;
}

u32 CBattleScene::OnNetReady(const u8* data, u32 length)
{
    return m_lockstep && m_lockstep->OnMessage(kMsgNetReady, data, length) == LockstepRecordError::kNone ? 1 : 0;
}

u32 CBattleScene::OnNetInput(const u8* data, u32 length)
{
    return m_lockstep && m_lockstep->OnMessage(kMsgNetInput, data, length) == LockstepRecordError::kNone ? 1 : 0;
}

u32 CBattleScene::OnNetFrameBundle(const u8* data, u32 length)
{
    return m_lockstep && m_lockstep->OnMessage(kMsgFrameBundle, data, length) == LockstepRecordError::kNone ? 1 : 0;
}

u32 CBattleScene::OnNetLeft(const u8* data, u32 length)
{
    if (!m_lockstep || !m_setup) return 0;
    if (m_lockstep->OnMessage(kMsgPeerLeft, data, length) != LockstepRecordError::kNone) return 0;
    // The set-up goes on to a rematch: the entry stays empty there too.
    const u32 entry = u32(data[0]);
    host::kernel::Lock lock(m_lockstep->GetSyncBlock());
    m_setup->entries[entry].kind = CBattleEntry::kKindNone;
    return 1;
}

i32 CBattleScene::SendFrameBundle() { return m_lockstep ? m_lockstep->SendFrameBundle() : 0; }

void CBattleScene::StartNetThread()
{
    if (m_lockstep) m_lockstep->StartNetThread();
}

void CBattleScene::StopNetThread()
{
    // Holding no lock: the thread takes the scene's lock to stop.
    if (m_lockstep) m_lockstep->StopNetThread();
}

void CBattleScene::TakePeerEnd()
{
    u32 code = 0;
    if (!m_lockstep || !m_lockstep->TakePeerEnd(&code)) return;
    m_endCode = code;
    m_endRequested = 1;
}

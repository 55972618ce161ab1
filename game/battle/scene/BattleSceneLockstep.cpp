// The network lockstep: the start handshake, the local input per tick, the
// host's collection and bundles, the wait for frames. Outside network play
// each step does nothing.
#include "game/battle/scene/BattleScene.h"

u32 CBattleScene::SyncStart() { return 1; }

i32 CBattleScene::SendLocalInput()
{
    m_accumulatedMs += 0;
    return 1;
}

u32 CBattleScene::WaitNetInputs()
{
    host::kernel::Lock lock(m_lock);
    return m_frameQueue.empty() ? 0 : 1;
}

u32 CBattleScene::OnNetReady(const u8*, u32) { return 0; }

u32 CBattleScene::OnNetInput(const u8*, u32) { return 0; }

u32 CBattleScene::OnNetFrameBundle(const u8*, u32) { return 0; }

u32 CBattleScene::OnNetLeft(const u8* data, u32 length)
{
    if (!data || length < 4 || !m_setup) return 0;
    const u32 entry = u32(data[0]) | u32(data[1]) << 8 | u32(data[2]) << 16 | u32(data[3]) << 24;
    if (entry >= CBattleSetup::kEntryCount) return 0;
    host::kernel::Lock lock(m_lock);
    m_setup->entries[entry].kind = CBattleEntry::kKindNone;
    return 1;
}

i32 CBattleScene::SendFrameBundle() { return 1; }

u32 CBattleScene::NetThread() { return 0; }

void CBattleScene::StartNetThread() {}

void CBattleScene::StopNetThread()
{
    if (!m_thread) return;
    {
        host::kernel::Lock lock(m_lock);
        m_threadState = 2;
    }
    m_thread->Join();
    m_thread.reset();
}

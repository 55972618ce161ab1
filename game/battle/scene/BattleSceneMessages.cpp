// What the battle objects, the consoles, replays and peers ask of the
// scene through its message operation, and the battle's state hash.
#include "game/battle/scene/BattleScene.h"

#include "engine/core/ObjectRegistry.h"
#include "engine/core/Random.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/character/Character.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/Stage.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/data/SaveConfig.h"

#include <cstring>
#include <string>

namespace {

u32 ReadU32(const u8* p) { return u32(p[0]) | u32(p[1]) << 8 | u32(p[2]) << 16 | u32(p[3]) << 24; }

template <class T>
T& Word(intptr_t parameter)
{
    return *reinterpret_cast<T*>(parameter);
}

}  // namespace

u32 CBattleScene::OnMessage(u32 message, intptr_t parameter)
{
    // The peer messages carry their own bodies; everything else needs its
    // word.
    if (!parameter) return message >= kMsgBattleEnd ? 0 : 1;
    switch (message) {
    case kMsgNewBullet: {
        auto* bullet = reinterpret_cast<CBullet*>(parameter);
        if (CBulletList* old = bullet->GetList()) old->Remove(bullet);
        return u32(m_bullets.Add(bullet));
    }
    case kSceneMsgRadioChat: ShowRadioChat(reinterpret_cast<const u8*>(parameter)); return 1;
    case kMsgInputManager: Word<CInput*>(parameter) = m_app ? m_app->GetInput() : nullptr; return 1;
    case kMsgResourceController:
        Word<CResourceController*>(parameter) = m_app ? m_app->GetResourceController() : nullptr;
        return 1;
    case kMsgEffectManager:
        Word<CEffectController*>(parameter) = m_app ? m_app->GetEffectController() : nullptr;
        return 1;
    case kMsgCharacterList:
        // The objects read the list through the view of it.
        if (!m_characterList.count) return 0;
        Word<const BattleCharacterList*>(parameter) = &m_characterList;
        return 1;
    case kMsgSkillList: Word<const CSkillList*>(parameter) = m_skills.get(); return 1;
    case kSceneMsgLivesRule: Word<u32>(parameter) = m_setup ? m_setup->option.livesRule : 0; return 1;
    case kMsgSharedGroupBullets:
        Word<u32>(parameter) = m_setup ? m_setup->option.sharedGroupBullets : 0;
        return 1;
    case kMsgTeamLives: Word<i32>(parameter) = GetTeamLives(Word<u32>(parameter)); return 1;
    case kMsgTeamResult: Word<u32>(parameter) = GetResult(Word<u32>(parameter)); return 1;
    case kConsoleMsgBattleSettled:
        Word<u32>(parameter) = m_battleOver && AreFightersSettled(ReadFighters()) ? 1 : 0;
        return 1;
    case kMsgRemainingTime: {
        const i32 local = FindLocalCharacter();
        const CBattleConsole* console = GetConsole(local >= 0 ? u32(local) : 0);
        Word<u32>(parameter) = console ? u32(SaturateToI32(console->GetRemainingTime())) : 0;
        return 1;
    }
    case kMsgBattleOver: Word<u32>(parameter) = m_battleOver; return 1;
    case kMsgLocalEntry: Word<u32>(parameter) = m_localEntry; return 1;
    case kMsgScreenShakeOption: Word<u32>(parameter) = m_screenShake; return 1;
    case kMsgViewedSlot: {
        // The stage, the cards and the fighters compare the answer with the
        // slots they get from message 36: the drawn fighter's list place,
        // which an empty entry before it sets apart from its entry index.
        u32 place = ~0u;
        for (u32 i = 0; i < m_characters.GetCount() && place == ~0u; ++i)
            if (GetEntryOf(i) == m_drawnEntry) place = i;
        Word<u32>(parameter) = place;
        return 1;
    }
    case kConsoleMsgEffectVolume: {
        CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr;
        Word<i32>(parameter) = config ? config->GetSeVolume() : 0;
        return 1;
    }
    case kConsoleMsgEndCode: {
        m_endCode = Word<u32>(parameter);
        m_endRequested = 1;
        // Only the host's request ends every peer's battle.
        if (m_lockstep && m_networkMode && m_localEntry == 0) m_lockstep->SendBattleEnd(m_endCode);
        return 1;
    }
    case kMsgComputerLevel: {
        if (!m_setup) return 1;
        m_setup->option.computerLevel = Word<u32>(parameter);
        if (CObjectRegistry* registry = GetObjectRegistry())
            registry->Dispatch(kMsgComputerLevel, CObjectRegistry::kBroadcastId, CObjectRegistry::kAllGroups, nullptr,
                reinterpret_cast<intptr_t>(&m_setup->option.computerLevel));
        return 1;
    }
    case kConsoleMsgTrainingB: {
        const u32 value = Word<u32>(parameter);
        for (u32 i = 0; i < m_consoles.GetCount(); ++i) GetConsole(i)->SetDamagePanel(value);
        return 1;
    }
    case kMsgBattleEnd:
    case kMsgNetReady:
    case kMsgPeerLeft: return OnPeerMessage(message, reinterpret_cast<const u8*>(parameter), 4);
    // Without its length a variable body cannot be read safely.
    case kMsgNetInput:
    case kMsgFrameBundle: return 0;
    default: return 1;
    }
}

u32 CBattleScene::OnPeerMessage(u32 type, const u8* data, u32 length)
{
    if (!data) return 0;
    if (type != kMsgBattleEnd && (type < kMsgNetReady || type > kMsgPeerLeft)) return kPeerMessageNotMine;
    host::kernel::Lock lock(m_peerLock);
    if (m_lockstep) return TakePeerMessage(type, data, length);
    // A released battle plays no more.
    if (m_peerClosed) return kPeerMessageNotMine;
    // The lockstep reads it once it knows this machine's entry; no body it
    // takes is longer than its buffer.
    if (length > kLockstepBufferBytes) return 0;
    // A slow load meets a few words from each peer: far more is a flood,
    // dropped without blaming the connection.
    const size_t cost = kEarlyMessageCost + length;
    if (cost > kMaxEarlyBytes - m_earlyBytes) return kPeerMessageNotMine;
    m_early.push_back(EarlyMessage{type, std::vector<u8>(data, data + length)});
    m_earlyBytes += cost;
    return 1;
}

void CBattleScene::KeepReadyWords(u32 entries)
{
    for (u32 e = 0; e < kLockstepEntries; ++e) {
        if (!(entries >> e & 1)) continue;
        const std::string body = WriteU32Body(e);
        OnPeerMessage(kMsgNetReady, reinterpret_cast<const u8*>(body.data()), u32(body.size()));
    }
}

size_t CBattleScene::EarlyMessageCount() const
{
    host::kernel::Lock lock(m_peerLock);
    return m_early.size();
}

size_t CBattleScene::EarlyMessageBytes() const
{
    host::kernel::Lock lock(m_peerLock);
    return m_earlyBytes;
}

u32 CBattleScene::TakePeerMessage(u32 type, const u8* data, u32 length)
{
    switch (type) {
    case kMsgBattleEnd:
        // Taken by the game thread at its next update.
        return m_lockstep && m_lockstep->OnMessage(kMsgBattleEnd, data, length) == LockstepRecordError::kNone ? 1 : 0;
    case kMsgNetReady: return OnNetReady(data, length);
    case kMsgNetInput: return OnNetInput(data, length);
    case kMsgFrameBundle: return OnNetFrameBundle(data, length);
    case kMsgPeerLeft: return OnNetLeft(data, length);
    default: return kPeerMessageNotMine;
    }
}

u32 CBattleScene::OnSideMessage(u32 id, const u8* data, u32 length)
{
    // Side messages come from replays and peers: only the radio chat line,
    // whole and well formed, is taken. Any other id (0 would name a bullet)
    // is refused.
    if (!data || ReadRadioChat(id, data, length, nullptr) != LockstepRecordError::kNone) {
        ++m_refusedSideMessages;
        return 0;
    }
    ShowRadioChat(data);
    return 1;
}

void CBattleScene::ShowRadioChat(const u8* body)
{
    QuickMessageRecord record;
    std::memcpy(record.text, body, sizeof record.text);
    record.sender = ReadU32(body + 40);
    record.teamOnly = ReadU32(body + 44);
    for (u32 i = 0; i < m_consoles.GetCount(); ++i) GetConsole(i)->ShowQuickMessage(record);
}

BattleStateHash CBattleScene::HashState() const
{
    BattleStateHash out;
    CStateHash hash;
    auto fold = [&](std::string name) {
        out.objects.push_back(std::move(name));
        out.running.push_back(hash.Value());
    };
    for (u32 i = 0; i < m_stageObjects.GetCount(); ++i) {
        static_cast<const CStage*>(static_cast<CValueBase*>(m_stageObjects.GetAt(i)))->HashState(hash);
        fold("stage " + std::to_string(i));
    }
    for (u32 i = 0; i < m_characters.GetCount(); ++i) {
        GetCharacter(i)->HashState(hash);
        fold("character " + std::to_string(i));
    }
    m_bullets.HashState(hash);
    fold("bullets");
    for (u32 i = 0; i < m_consoles.GetCount(); ++i) {
        GetConsole(i)->HashState(hash);
        fold("console " + std::to_string(i));
    }
    hash.U32(g_randomState.x).U32(g_randomState.y).U32(g_randomState.z).U32(g_randomState.w);
    fold("generator");
    return out;
}

std::string FirstDifferentObject(const BattleStateHash& expected, const BattleStateHash& actual)
{
    const size_t n = std::min(expected.running.size(), actual.running.size());
    for (size_t i = 0; i < n; ++i)
        if (expected.running[i] != actual.running[i])
            return i < actual.objects.size() ? actual.objects[i] : "object " + std::to_string(i);
    if (expected.running.size() != actual.running.size())
        return std::to_string(actual.running.size()) + " objects of " + std::to_string(expected.running.size());
    return "";
}

// What the battle scene needs of the game application and of the network
// scene that hosts a network battle. Both live above the battle libraries
// (game/scenes, game/network): they implement these and hand them to the
// scene; tests hand in doubles.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"

#include <memory>
#include <string>

class CEffectController;
class CFilter;
class CInput;
class CRenderList;
class CResourceController;
class CSaveConfig;
class CSaveData;
class CSaveRecord;
class IBattleFlow;
class CSound;
class CSoundBuffer;
class CTensionFile;

class IBattleApp {
public:
    virtual ~IBattleApp() = default;

    virtual CSaveConfig* GetSaveConfig() = 0;
    virtual CSaveData* GetSaveData() = 0;
    // The play record; null when there is none to update.
    virtual CSaveRecord* GetSaveRecord() = 0;
    // The scenes after the battle; null leaves the battle where it is.
    virtual IBattleFlow* GetFlow() = 0;
    // The tension file of music slot 0..50, or null when it has none.
    virtual CTensionFile* GetTensionFile(u32 slot) = 0;
    // The post-process filters; null when absent (HDR off, no device).
    virtual CFilter* GetHdrFilter() = 0;
    virtual CFilter* GetBasicFilter() = 0;
    // 0 while a battle scene exists, 1 after its release.
    virtual void SetBattleFlag(u32 value) = 0;
    // The archives of that file name in the data folders that open with the
    // identifier (CRC-32 of its pack name) and key byte, first folder first;
    // never null, maybe empty.
    virtual std::unique_ptr<CResourceList> OpenPack(const char* path, u32 identifier, u8 key) = 0;
    // The music of a slot from packs, owned by the caller; null when the
    // slot's track is missing (a user track that was moved away).
    virtual CSoundBuffer* LoadBgm(u32 slot, const CResourceList* packs) = 0;
    // Milliseconds that the next frame's elapsed time leaves out.
    virtual void AddPausedTime(u32 milliseconds) = 0;

    // The engine's shared objects.
    virtual CResourceController* GetResourceController() = 0;
    virtual CEffectController* GetEffectController() = 0;
    virtual CInput* GetInput() = 0;
    virtual CSound* GetSoundDevice() = 0;
    // The engine's render list (2048 entries, the HDR filter handed to it);
    // null leaves the battle to keep one of its own.
    virtual CRenderList* GetRenderList() { return nullptr; }
    virtual u32 GetScreenWidth() = 0;
    virtual u32 GetScreenHeight() = 0;

    // The settings file of character 0..17 and stage 0..18 (the data's
    // file tables); null for a row without a file.
    virtual const char* GetCharacterFile(u32 character) = 0;
    virtual const char* GetStageFile(u32 stage) = 0;
    // The per-user folder (replays, screenshots) with its trailing
    // separator; empty when it cannot be made.
    virtual std::string GetUserDataFolder() = 0;
};

// The network scene of a network battle, as the battle sees it. The game
// thread holds its lock around the battle's update; the battle's waiting
// loops release it while they sleep.
class IBattleNetwork {
public:
    virtual ~IBattleNetwork() = default;
    virtual void EnterLock() = 0;
    virtual void LeaveLock() = 0;
    // Whether the calling thread holds the lock. One that cannot tell says yes.
    virtual bool LockHeldByMe() { return true; }
    // One peer message to every peer (sub-type 1, stream channel).
    virtual i32 Broadcast(u16 type, const void* data, u32 length) = 0;
    // The battle is left: the network scene drops its child scene. The
    // result is what the battle's update returns.
    virtual i32 DropBattle() = 0;
    // 0 win, 1 loss, 2 draw.
    virtual i32 ReportBattleResult(u32 result) = 0;
};

// The application double through which the battle scene loads the battle
// data set, and the set-up of a four-computer battle. Shared by the tests
// and the benchmark.
#pragma once

#include "engine/core/PackFile.h"
#include "engine/platform/SoundBuffer.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/testdata/BattleData.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"
#include "game/data/TensionFile.h"

#include <memory>
#include <string>
#include <vector>

class CInput;

namespace scene_test {

inline constexpr u32 kFrameMs = 18;

// The application as the battle sees it, over the data set. Each knob
// breaks one thing the load needs.
class FakeBattleApp : public IBattleApp {
public:
    CSaveConfig* GetSaveConfig() override { return &config; }
    CSaveData* GetSaveData() override { return &saveData; }
    CSaveRecord* GetSaveRecord() override { return &record; }
    IBattleFlow* GetFlow() override { return flow; }
    CTensionFile* GetTensionFile(u32 slot) override { return slot == 0 ? musicTension : nullptr; }
    CFilter* GetHdrFilter() override { return nullptr; }
    CFilter* GetBasicFilter() override { return nullptr; }
    void SetBattleFlag(u32 value) override { battleFlags.push_back(value); }
    CqelPackFile* OpenPack(const char* path, u32 identifier, u8 key) override
    {
        auto pack = std::make_unique<CqelPackFile>();
        if (!pack->OpenScrambled(path, identifier, key)) return nullptr;
        ++openPacks;
        return pack.release();
    }
    void ClosePack(CqelPackFile* pack) override
    {
        --openPacks;
        delete pack;
    }
    CSoundBuffer* LoadBgm(u32 slot, CqelPackFile* pack) override
    {
        ++bgmLoads;
        if (missingTrack || slot != 0 || !pack) return nullptr;
        auto music = std::make_unique<CSoundBuffer>();
        if (!music->LoadFromPack(pack, battle_data::kMusicEntry, 1, 0)) return nullptr;
        return music.release();
    }
    void AddPausedTime(u32 ms) override { pausedMs += ms; }
    CResourceController* GetResourceController() override { return resources; }
    CEffectController* GetEffectController() override { return effects; }
    CInput* GetInput() override { return input; }
    CSound* GetSoundDevice() override { return sound; }
    u32 GetScreenWidth() override { return 1024; }
    u32 GetScreenHeight() override { return 768; }
    const char* GetCharacterFile(u32 character) override
    {
        if (character >= 2) return nullptr;
        characterPaths[character] = battle_data::FighterSettingPath(battle_data::kFighterNames[character]);
        return characterPaths[character].c_str();
    }
    const char* GetStageFile(u32 stage) override
    {
        if (stage != 0) return nullptr;
        stagePath = missingStage ? "Setting/NoStage.dat" : battle_data::StageSettingPath();
        return stagePath.c_str();
    }
    std::string GetUserDataFolder() override { return userFolder; }

    CSaveConfig config;
    CSaveData saveData;
    CSaveRecord record;
    IBattleFlow* flow = nullptr;
    CTensionFile* musicTension = nullptr;
    CResourceController* resources = nullptr;
    CEffectController* effects = nullptr;
    CSound* sound = nullptr;
    CInput* input = nullptr;
    std::string userFolder;
    std::vector<u32> battleFlags;
    u32 pausedMs = 0;
    i32 openPacks = 0;
    u32 bgmLoads = 0;
    bool missingTrack = false;
    bool missingStage = false;
    std::string characterPaths[2];
    std::string stagePath;
};

// Four computer fighters, Talve and Derona twice, on teams 0 and 1; the
// shortest time limit; a fixed seed; replays not recorded.
inline CBattleSetup* CpuSetup(u32 seed = 20261207)
{
    auto* setup = new CBattleSetup();
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry& e = setup->entries[i];
        e.kind = CBattleEntry::kKindComputer;
        e.character = i % 2;
        e.team = i % 2;
    }
    CBattleOption& o = setup->option;
    o.stage = 0, o.music = 0, o.timeSetting = 0, o.computerLevel = 4, o.ownTension = 0, o.randomSeed = seed;
    setup->recordReplay = 0;
    return setup;
}

// As CpuSetup, with player 1 (standing idle) in entry 0: one view.
inline CBattleSetup* OneViewSetup(u32 seed = 20261207)
{
    CBattleSetup* setup = CpuSetup(seed);
    setup->entries[0].kind = 0;
    return setup;
}

}  // namespace scene_test

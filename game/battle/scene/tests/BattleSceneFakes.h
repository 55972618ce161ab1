// The application double through which the battle scene loads the battle
// data set, and the set-up of a four-computer battle. Shared by the tests
// and the benchmark.
#pragma once

#include "engine/core/PackFile.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/platform/Input.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleFlow.h"
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
    std::unique_ptr<CResourceList> OpenPack(const char* path, u32 identifier, u8 key) override
    {
        auto packs = std::make_unique<CResourceList>();
        auto pack = std::make_unique<CqelPackFile>();
        void* element = static_cast<CValueBase*>(pack.get());
        if (pack->OpenScrambled(path, identifier, key) && packs->Add(&element)) pack.release();
        return packs;
    }
    CSoundBuffer* LoadBgm(u32 slot, const CResourceList* packs) override
    {
        ++bgmLoads;
        if (missingTrack || slot != 0 || !packs || packs->GetCount() == 0) return nullptr;
        auto music = std::make_unique<CSoundBuffer>();
        const auto* pack = static_cast<const CqelPackFile*>(static_cast<CValueBase*>(packs->GetAt(0)));
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
        // The first stage, and the one whose settings name the view effects.
        if (stage != 0 && stage != battle_data::kFieldEffectStage) return nullptr;
        stagePath = missingStage ? "Setting/NoStage.dat" : battle_data::StageSettingPath(stage);
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

// The scenes after the battle: which one was asked for.
class FakeFlow : public IBattleFlow {
public:
    i32 GoTitle(const battle_flow::TitleArgs& args) override { return log.push_back("title " + std::to_string(args.item)), 9; }
    i32 GoCharaSelect(battle_flow::SelectArgs) override { return log.push_back("select"), 9; }
    i32 GoAdventure(battle_flow::AdventureArgs) override { return log.push_back("adventure"), 9; }
    i32 GoNextBattle(battle_flow::NextBattleArgs) override { return log.push_back("next"), 9; }
    i32 GoSurvivalResult(const battle_flow::SurvivalResultArgs&) override { return log.push_back("survival"), 9; }
    i32 GoStory(battle_flow::StoryArgs) override { return log.push_back("story"), 9; }
    i32 GoReplayList(const battle_flow::ReplayListArgs&) override { return log.push_back("replays"), 9; }
    i32 GoNetworkCharaSelect(battle_flow::SelectArgs) override { return log.push_back("net select"), 9; }
    i32 GoNetworkNextBattle(battle_flow::NextBattleArgs args) override
    {
        next = std::move(args.setup);
        return log.push_back("net next"), 9;
    }
    i32 LeaveNetworkBattle() override { return log.push_back("leave"), 9; }
    i32 RequestNetworkEnd() override { return log.push_back("net end"), 9; }
    u32 GetLobbyState() override { return 2; }
    i32 AdvanceStory(CBattleSetup*) override { return 1; }
    i32 ChooseNextOpponents(CBattleSetup*, const CCharacterBase*, const CBattleConsole*) override { return 1; }

    std::vector<std::string> log;
    std::unique_ptr<CBattleSetup> next;   // the set-up handed to a network rematch
};

// Player 1 moves, turns, shoots, slides, guards and casts, in a loop of
// 340 frames.
inline void Script(CInput& input, u32 frame)
{
    InputState& pad = *input.GetInputState(0);
    std::fill(std::begin(pad.held), std::end(pad.held), 0u);
    static constexpr struct {
        u32 frames;
        u32 codes[2];
        f32 x, y;
    } segments[] = {
        {90, {12, 0}, 0.0f, -0.99f}, {40, {24, 0}, 0.29f, 0.0f}, {20, {22, 15}, 0.54f, 0.0f},
        {60, {23, 0}, 0.0f, 0.0f}, {30, {25, 0}, -0.6f, 0.3f}, {45, {28, 24}, 0.0f, 0.0f},
        {30, {13, 26}, 0.0f, 0.99f}, {25, {0, 0}, 0.0f, 0.0f},
    };
    u32 total = 0;
    for (const auto& s : segments) total += s.frames;
    u32 at = frame % total;
    for (const auto& s : segments) {
        if (at >= s.frames) {
            at -= s.frames;
            continue;
        }
        for (u32 code : s.codes)
            if (code) pad.held[code] = 1;
        pad.stick1X = s.x, pad.stick1Y = s.y;
        return;
    }
}

}  // namespace scene_test

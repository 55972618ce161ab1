// Survival: an endless chain of computer battles with one character. The
// single select calls SetupFirstBattle before the first battle; the battle
// calls ChooseNextOpponents after each win (through its flow seam), which
// scores the win and draws the next opponents; when the run ends the
// battle hands its totals to CSurvivalScene, the result screen, which
// leaves for the title on "Survival".
//
// Opponents grow with the wins: one from the first battle on, two after 8
// wins, three after 16, one to three at random after 24; their level runs
// 0, 0, 1, 1, 2, 2, 3, 3 over each block of 8 wins and is 4 from 16 wins
// on. A new line-up never repeats one met earlier in the same block of 8.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <functional>
#include <string>

class CBattleConsole;
class CBattleSetup;
class CCamera;
class CCharacterBase;
class CSaveData;
class CSceneObject;
class CSoundBuffer;
class CSurvivalProgress;

namespace survival {

inline constexpr u32 kCharacters = 18;
inline constexpr u32 kStages = 19;
inline constexpr u32 kMusicSlots = 51;
inline constexpr u32 kSkillRows = 26;
inline constexpr u32 kTimeSetting = 2;    // 300 s
inline constexpr u32 kFactorLevel = 2;
inline constexpr u32 kTitleItem = 4;      // the title's "Survival"

// Whether a music slot can be played (it has a tension file).
using HeldSlot = std::function<bool(u32 slot)>;

// random(51) until a held slot comes up, at most kMusicDraws times; then
// one draw among the held slots; 0 when none is held.
inline constexpr u32 kMusicDraws = 64;
u32 DrawMusicSlot(const HeldSlot& held);

// Entries 1..3 of the set-up, one byte each (an empty entry 0).
u32 OpponentKey(const CBattleSetup& setup);
// The number of entries the next battle offers, counting the player, and
// their level, after winsBefore + 1 wins. Past 24 wins the count is drawn.
u32 NextEntryCount(u32 winsBefore);
u32 NextLevel(u32 winsBefore);
// The unlock flag the block of 8 wins reached sets; -1 for none.
i32 RewardFlag(u32 winsAfter);
// What the winner carries into the next battle: its life share plus a
// fifth of the share of the time limit used, at most 1. A fighter without
// maximum life or a battle without time limit carries 1 (no NaN or
// infinity goes into the next battle and its state hash).
f32 LifeFraction(i32 life, i32 maxLife, f32 elapsed, f32 limit);

// What the won battle leaves for the score.
struct WonBattle {
    u32 counters[3] = {};
    f32 remaining = 0, elapsed = 0, limit = 0;
    i32 life = 0, maxLife = 0;
};
WonBattle ReadWonBattle(const CCharacterBase* character, const CBattleConsole* console);

// The run's progress record, made when the set-up lacks one.
CSurvivalProgress& ProgressOf(CBattleSetup& setup);

void SetupFirstBattle(CBattleSetup& setup, const HeldSlot& held);
// save: where the block's reward goes (null: nowhere).
void ChooseNextOpponents(CBattleSetup& setup, const WonBattle& won, const HeldSlot& held, CSaveData* save);

// Layout, pictures and sounds.
inline constexpr const char* kLayout = "Scene\\SurvivalResult.sce";
inline constexpr const char* kPack = "Data\\CharaSharing.gpk";
inline constexpr const char* kPackName = "CHARASHARING";
inline constexpr const char* kFrameTexture = "Arcade_01.dds";
inline constexpr const char* kMusic = "Bgm_win.ogg";
inline constexpr const char* kDecideSound = "Se_gameopt_set.ogg";
inline constexpr const char* kAbbreviations[kCharacters] = {
    "ta", "de", "pe", "mi", "qu", "ez", "tu", "ke", "om", "gre", "na", "dru", "ovu", "wen", "los", "bia", "sir", "ve"};

// One printed value: layout pixels, centred at x.
struct ResultText {
    f32 y;
    std::string text;
};
inline constexpr f32 kTextX = 864;

}  // namespace survival

// The result block: MenuArgs (effect, music, cover, alpha), then the run.
struct SurvivalArgs : MenuArgs {
    u32 character = 0;
    u32 wins = 0;
    u32 timeScore = 0;
    u32 lastCounter = 0;      // the third counter of the final battle
    u32 firstSum = 0;         // the first counter over the run
    u32 secondSum = 0;        // the second counter over the run
};

class CSurvivalScene : public CSceneResource {
    ORV_VALUE_CLASS(CSurvivalScene)

public:
    CSurvivalScene();
    // Clones the texture list and the camera; shares the music and the
    // decide sound. The effect instance is not shared.
    CSurvivalScene(const CSurvivalScene& other);
    CSurvivalScene& operator=(const CSurvivalScene&) = delete;
    ~CSurvivalScene() override;

    // Through the game application: the held slots are its tension files,
    // the reward goes to its save data. Both return 1.
    static i32 SetupFirstBattle(CBattleSetup* setup);
    static i32 ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase* character,
                                   const CBattleConsole* console);

    // Safe after a partial Load and twice.
    i32 Release() override;
    // argument: a SurvivalArgs*, or 0 (both alphas 1, the values 0). The
    // block's effect and music are the scene's from here on.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // The five printed values, top to bottom.
    std::array<survival::ResultText, 5> Texts() const;
    const SurvivalArgs& GetValues() const { return m_values; }
    bool IsLeaving() const { return m_leaving; }
    f32 GetCurtain() const { return m_curtain; }

private:
    i32 LoadTextures();
    void FindLayers();

    CResourceList* m_textures = nullptr;   // owned
    CSceneObject* m_base = nullptr;
    std::array<CSceneObject*, survival::kCharacters> m_pictures{};
    f32 m_curtain = 1.0f;   // the black cover; the scene alpha is the scene colour's
    bool m_leaving = false;
    SurvivalArgs m_values;  // effect and music left null: the members hold them
    CEffect* m_effect = nullptr;           // owned
    CCamera* m_camera = nullptr;           // owned
    CSoundBuffer* m_music = nullptr;       // the sound list's
    CSoundBuffer* m_decide = nullptr;      // the sound list's
};

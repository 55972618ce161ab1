// CAdventureScene: the adventure mode's map of battles.
//
// The map is a row of columns (COUNT of "Setting/Adventure.dat"), each a
// few nodes, one event file (ADVENTURE) a node. The cursor stands on a
// column and a half-row: odd half-rows are nodes (node j at 2j + 1), even
// ones the branch points between them, from which the paths lead to the
// next column. The save data's open, clear and orb flags are indexed by
// node and skill; the battle sets them, this scene shows what is new.
//
// Everything a node's values index (characters, stages, music, orbs and
// their pictures, the label tables) is checked when the map loads: a map
// that would read past one is refused with a sentence naming the node.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CAdventureEventSetting;
class CAdventureSetting;
class CBattleSetup;
class CCamera;
class CEffectContainer;
class CSceneObject;
class CSkillList;
class CTexture;
struct AdventureEventValues;

namespace adventure {

// The labels of the information window: a column or node past them shows
// none (the map itself takes any number of either).
inline constexpr u32 kColumnLabels = 10;   // "sk_0".."sk_9"
inline constexpr u32 kNodeLabels = 10;     // "sk_a".."sk_j"
inline constexpr u32 kCharacters = 18;
inline constexpr u32 kStages = 19;   // pictures "stg1".."stg19"; STAGE 19 (random) shows the last
inline constexpr u32 kOrbImages = 45;
inline constexpr u32 kOpponentRows = 3;
inline constexpr u32 kTimeSettings = 7;
inline constexpr u32 kBarrages = 2, kHandicaps = 5, kCpuLevels = 11;   // 5..10 training
// Event BGM 0..17 to the battle's music slot.
inline constexpr u32 kMusicTable[18] = {2, 3, 4, 5, 6, 7, 8, 9, 22, 23, 24, 25, 15, 16, 26, 27, 28, 29};

inline constexpr const char* kLayout = "Scene\\Adventure.sce";
inline constexpr const char* kPack = "Data\\CharaSharing.gpk";
inline constexpr const char* kPackName = "CHARASHARING";
inline constexpr const char* kMapTexture = "Arcade_01.dds";
inline constexpr const char* kCardTexture = "Arcade_04.dds";
inline constexpr const char* kAdventureFile = "Setting/Adventure.dat";
inline constexpr const char* kOpenEffect = "Efc_adventure";
inline constexpr const char* kMusic = "Bgm_chara.ogg";
inline constexpr u32 kCursorSound = 0, kDecideSound = 1, kCancelSound = 2, kSoundCount = 4;
inline constexpr const char* kSounds[kSoundCount] = {
    "Se_gameopt_select.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg", "Se_title_set.ogg"};

// Every layer the scene looks up, in the order the data lays them out.
std::vector<std::string> LayerNames();
std::string StageLayerName(u32 stage);   // "stg1".."stg19"
std::string OrbLayerName(u32 image, bool small);

// Why a map was refused; the node (0-based, or the column) says where.
enum class MapError {
    kNone,
    kNoColumns,
    kCountBelowOne,
    kOpponent,        // TYPE neither negative nor a character
    kOpponentValue,   // barrage, handicap or CPU level out of range
    kStage,
    kMusic,
    kTime,
    kOrb,             // GETSKILL past the skill list
    kOrbImage,        // that orb's picture not 0..44
};
struct MapCheck {
    MapError error = MapError::kNone;
    u32 where = 0;
};
// A sentence naming the fault and where (English, for the load error).
std::string DescribeMapError(const MapCheck& check);

// The map's shape: nodes per column, checked.
struct Map {
    std::vector<u32> counts;
    u32 Columns() const { return u32(counts.size()); }
    u64 Nodes() const;
    // Column c, half-row r lies on the map: c a column, r 0..2 * count.
    bool OnMap(u32 column, u32 halfRow) const;
    // The node at half-row r of column c: the nodes before the column plus
    // (r - 1) / 2, truncated toward zero (half-row 0 is node 0). -1 when
    // the column or that node is not on the map.
    i32 NodeIndex(u32 column, u32 halfRow) const;
};

// The list checked against the skill list (may be null: no orbs).
MapCheck CheckMap(const CAdventureSetting& list, const CSkillList* skills, Map* out);

enum class Move { kUp, kDown, kLeft, kRight };
struct Cursor {
    u32 column = 0, halfRow = 1;
    bool operator==(const Cursor&) const = default;
};
// The target of a move from at; at itself when the move is not possible.
// open(node) says whether a node may be entered.
Cursor StepCursor(const Map& map, Cursor at, Move move, const std::function<bool(i32)>& open);

}  // namespace adventure

// Load's block. The set-up is owned by the scene from its Load on, success
// or not, as are the effect and the music.
struct CAdventureSceneArgs : MenuSetupArgs {
    u32 column = 0, halfRow = 1;
};

class CAdventureScene : public CSceneResource {
    ORV_VALUE_CLASS(CAdventureScene)

public:
    CAdventureScene();
    CAdventureScene(const CAdventureScene& other);
    CAdventureScene& operator=(const CAdventureScene&) = delete;
    ~CAdventureScene() override;

    i32 Release() override;
    // argument: a CAdventureSceneArgs* or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    i32 GetNodeIndex(u32 column, u32 halfRow) const { return m_map.NodeIndex(column, halfRow); }
    bool IsAdventureComplete() const;
    // The set-up for the node's battle: opponents, options, no replay.
    static void FillBattleSetup(CBattleSetup& setup, const AdventureEventValues& event);

    // What the tests read.
    const adventure::Map& GetMap() const { return m_map; }
    adventure::Cursor GetCursor() const { return m_cursor; }
    adventure::Cursor GetTarget() const { return m_target; }
    bool IsInfoOpen() const { return m_infoOpen; }
    bool IsOpenAnimationPending() const { return m_openPending; }
    bool IsOrbMessagePending() const { return m_orbPending; }
    bool IsCardShown() const { return m_cardShown; }
    const CCamera* GetCamera() const { return m_camera; }
    bool IsLeaving() const { return m_leavingBack || m_leavingToBattle; }
    f32 GetCurtain() const { return m_curtain; }

protected:
    i32 StartBattle();
    i32 ReturnToSelect();

private:
    bool IsOpen(i32 node) const;
    bool IsCleared(i32 node) const;
    bool HasOrb(i32 skill) const;
    const CAdventureEventSetting* Event(i32 node) const;
    // The nodes that can hold an event: those before the last event file.
    u32 EventNodes() const;
    void FindLayers();
    i32 LoadTextures();
    void TakeInput();
    void PlaySe(u32 index) const;
    void PlayOpenEffects();
    bool Moving() const { return !(m_target == m_cursor); }

    void DrawCard();
    void DrawMap();
    void DrawNode(i32 node, f32 x, f32 y);
    void DrawOrbMessage();
    void DrawNodeInfo();
    void DrawText(f32 x, f32 y, const char* text) const;

    u32 m_character = 0;
    adventure::Cursor m_cursor, m_target;
    f32 m_curtain = 1.0f;
    f32 m_timer = 0.0f;
    bool m_openPending = false, m_orbPending = false, m_infoOpen = false;
    bool m_leavingBack = false, m_leavingToBattle = false, m_cardShown = false;
    std::unique_ptr<CBattleSetup> m_setup;
    CTexture* m_mapTexture = nullptr;
    CTexture* m_cardTexture = nullptr;
    CEffect* m_effect = nullptr;
    CCamera* m_camera = nullptr;
    CSoundBuffer* m_music = nullptr;
    std::unique_ptr<CAdventureSetting> m_list;
    std::unique_ptr<CSkillList> m_skills;
    adventure::Map m_map;

    CSceneObject* m_base = nullptr;
    CSceneObject* m_stages[adventure::kStages + 1] = {};
    CSceneObject* m_icons[adventure::kCharacters] = {};
    CSceneObject* m_portraits[adventure::kCharacters] = {};
    CSceneObject *m_orbs[adventure::kOrbImages] = {}, *m_smallOrbs[adventure::kOrbImages] = {};
    CSceneObject* m_lines[3] = {};
    CSceneObject *m_kira = nullptr, *m_window = nullptr, *m_skillGet = nullptr;
    CSceneObject *m_silver = nullptr, *m_gold = nullptr;
    CSceneObject* m_columnLabels[adventure::kColumnLabels] = {};
    CSceneObject* m_nodeLabels[adventure::kNodeLabels] = {};
    std::array<CSoundBuffer*, adventure::kSoundCount> m_sounds{};
    const CEffectContainer* m_openEffect = nullptr;
};

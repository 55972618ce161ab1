// COptionSelect: the battle option select after the character select; it
// hands the set-up with the chosen options to a loading screen.
//
// Ten rows: stage, music, rule, points, time, computer level, tension rule
// (training only), "Friend", per-player music and "Init". The scene edits
// its own CBattleOption and writes it into the set-up when it leaves. A
// random stage or music is drawn again on every change that lands on it.
//
// In network play the scene is the network scene's child: the host decides
// every option and sends it (10002); a client may only change its own music,
// and only with per-player music on; every peer sends its music's tension
// data (10003). Start (10004) and back (10005) come from the host.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/LoadingScene.h"

#include <array>
#include <cstdint>

class CCamera;
class CSceneObject;
class CTensionFile;
class ILobbyRoom;
namespace select_net {
struct PlayerData;
}

namespace option_select {

enum Row : i32 {
    kStage,
    kBgm,
    kRule,
    kPoint,
    kTime,
    kCpu,
    kTensionRule,
    kFriend,
    kAnBgm,
    kInit,
    kRowCount,
};

inline constexpr const char* kLayout = "Scene\\OptionSelect.sce";
inline constexpr const char* kMusic = "Bgm_chara.ogg";
inline constexpr const char* kRowNames[kRowCount] = {
    "Stage", "Bgm", "Rule", "Point", "Time", "Cpu", "TRule", "Friend", "AnBgm", "Init"};
// How many values each row steps through (Init has none).
inline constexpr u32 kValueCounts[kRowCount] = {20, 52, 2, 5, 7, 5, 6, 3, 2, 0};
// The value layers, value 0 first; the stage's last is the random marker.
inline constexpr const char* kStageLayers[20] = {"stg1", "stg2", "stg3", "stg4", "stg5", "stg10", "stg6", "stg7",
    "stg8", "stg11", "stg12", "stg13", "stg14", "stg15", "stg16", "stg17", "stg18", "stg19", "stg20", "stg9"};
inline constexpr const char* kRuleLayers[2] = {"ruru1", "ruru2"};
inline constexpr const char* kPointLayers[5] = {"poi1", "poi2", "poi3", "poi4", "poi5"};
inline constexpr const char* kTimeLayers[7] = {"tm1", "tm2", "tm3", "tm4", "tm5", "tm6", "tm7"};
inline constexpr const char* kCpuLayers[5] = {"cplv1", "cplv2", "cplv3", "cplv4", "cplv5"};
inline constexpr const char* kTensionRuleLayers[6] = {"tense1", "tense3", "tense2", "tense4", "tense5", "tense6"};
inline constexpr const char* kFriendLayers[3] = {"yaru2", "yaru3", "yaru1"};
inline constexpr const char* kAnBgmLayers[2] = {"kotob2", "kotob1"};
// Each row's arrows (left, right; none on Init) and glows (left, right).
inline constexpr const char* kArrows[kRowCount][2] = {{"yjr_l", "yjr_r"}, {"yjr_l2", "yjr_r2"},
    {"yjr_l3", "yjr_r3"}, {"yjr_l4", "yjr_r4"}, {"yjr_l5", "yjr_r5"}, {"yjr_l6", "yjr_r6"}, {"yjr_l10", "yjr_r10"},
    {"yjr_l7", "yjr_r7"}, {"yjr_l9", "yjr_r9"}, {nullptr, nullptr}};
inline constexpr const char* kGlows[kRowCount][2] = {{"sele_car52", "sele_car51"}, {"sele_car62", "sele_car61"},
    {"sele_car72", "sele_car71"}, {"sele_car82", "sele_car81"}, {"sele_car92", "sele_car91"},
    {"sele_car102", "sele_car101"}, {"sele_car152", "sele_car151"}, {"sele_car122", "sele_car121"},
    {"sele_car132", "sele_car131"}, {"sele_car142", "sele_car141"}};
// The tension bar's cap and body layers by level 0..3.
inline constexpr const char* kBarCaps[4] = {"bgmL", "bgmN", "bgmH", "bgmC"};
inline constexpr const char* kBarBodies[4] = {"bgmL1", "bgmN1", "bgmH1", "bgmC1"};
inline constexpr const char* kSounds[4] = {
    "Se_gameopt_select.ogg", "Se_gameopt_select_side.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"};
enum Sound { kSelect, kSide, kSet, kCancel };

inline constexpr f32 kRowTime = 0.15f;
inline constexpr f32 kBounceTime = menu::kArrowBounceTime;
inline constexpr f32 kScrollSpeed = 80.0f;
inline constexpr f32 kScrollStart[2] = {1500.0f, 1825.0f};   // local, network help
inline constexpr const char* kHelpTexts[2] = {
    "上下キー：項目の選択　左右キー：項目の変更　スタートキー：対戦開始",
    "上下キー：項目の選択　左右キー：項目の変更　スタートキー：対戦開始　F1キー：チャット入力"};
// The first quick-message key: opens the chat line in network play.
inline constexpr u32 kChatKey = 32;
// What a player whose music's tension data cannot be sent is told.
inline constexpr const char* kTooLongForPeers =
    "Your music's tension data is too long to send; the host's music plays for you.";
inline constexpr const char* kHostTooLongForPeers =
    "Your music's tension data is too long to send; the other players do not get it.";
inline constexpr const char* kRandomName = "ランダム";
inline constexpr const char* kRandomLine = "全曲からランダムで再生します";
inline constexpr f32 kBarWidth = 440.0f;
inline constexpr u32 kGrey = 0xFF808080u, kWhite = 0xFFFFFFFFu;

// The row the cursor moves to from row, one up (or down), past the rows
// the rule and the mode do not offer.
i32 StepRow(i32 row, bool up, u32 rule, bool training);

}  // namespace option_select

class COptionSelect : public CSceneResource, public IPeerMessageSink {
    ORV_VALUE_CLASS(COptionSelect)

public:
    COptionSelect();
    // Copies the values and the layers (found again in the copy). The
    // effect, music and set-up stay with the original.
    COptionSelect(const COptionSelect& other);
    COptionSelect& operator=(const COptionSelect&) = delete;
    ~COptionSelect() override;

    // The camera, then the effect, set-up and music still held. Safe after
    // a partial Load and twice.
    i32 Release() override;
    // argument: a MenuSetupArgs* (its set-up owned from here on), or 0.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    // The peer messages of fixed size go on to OnPeerMessage with that size
    // (10003 has none here: 0); any other id is ignored (1).
    u32 OnMessage(u32 message, intptr_t parameter) override;
    // 10002 option, 10003 player data, 10004 start, 10005 back, 10009 a peer
    // left; 0 when refused (malformed, out of range, not for this side, or
    // outside network play): nothing changes and nothing is relayed.
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override;
    i32 Draw(u32 argument) override;

    // Each stores its value (past the row's range: its last) and shows only
    // that value's layer.
    void SetStage(u32 index, bool forward);
    void SetBgm(u32 index, bool forward);
    void SetRule(u32 value);
    void SetPoint(u32 value);
    void SetTime(u32 value);
    void SetCpu(u32 value);
    void SetTensionRule(u32 value);
    void SetFriend(u32 value);
    void SetAnBgm(u32 value);
    // Arrows and glows shown on row only, every bounce stopped.
    void SetCursorRow(i32 row);
    // The row's value one up or down, wrapping; its arrow bounces.
    void Increase(i32 row);
    void Decrease(i32 row);
    // "Init": the defaults, except the tension rule.
    void ResetOptions();
    // Whether the application holds the tension file of music slot track.
    bool MusicOffered(u32 track) const;

    // Network host only: the option to every peer, then (music the host's
    // for all) the host's player data.
    void SendOption();
    // Network play: the local entry's music's tension data into the set-up
    // (every entry's when all play the host's music) and to every peer; a
    // client sends none while all play the host's. Too long to send: a
    // client's entry takes the host's music instead, with a message.
    void SendPlayerData();
    // A received 10002 / 10003; false when refused. While all play the
    // host's music only the host's player data counts (into every entry).
    bool ApplyOptionMessage(const u8* data, u32 length);
    bool ApplyPlayerData(const u8* data, u32 length);

    // The option into the set-up; the block the loading screen takes (a
    // new battle scene, the set-up) and the one the character select takes
    // (effect, music, set-up). The scene no longer holds what they hand on.
    LoadingArgs TakeBattleArgs();
    MenuSetupArgs TakeBackArgs();
    // The scene changes: this scene is gone afterwards.
    void GoBattle();
    void GoCharaSelect();

    const CBattleOption& GetOption() const { return m_option; }
    CBattleSetup* GetSetup() const { return m_setup; }
    i32 GetRow() const { return m_row; }
    i32 GetTargetRow() const { return m_targetRow; }
    f32 GetCover() const { return m_cover; }
    f32 GetScroll() const { return m_scroll; }
    bool IsStarting() const { return m_startFlag != 0; }
    bool IsLeaving() const { return m_backFlag != 0; }
    bool IsTraining() const { return m_training != 0; }
    bool IsHost() const { return m_network && m_localEntry == 0; }
    bool IsChatOpen() const { return m_chatOpen != 0; }

private:
    struct RowLayers {
        CSceneObject* arrows[2] = {};   // left, right
        CSceneObject* glows[2] = {};
        f32 bounceTime = 0.0f;
        u32 bounceSide = 0;   // 0 left, 1 right
        u32 bounceActive = 0;
    };

    void FindLayers();
    void ShowValue(CSceneObject* const* layers, u32 count, u32 value);
    void StartBounce(i32 row, u32 side);
    void StopBounce(i32 row);
    void UpdateBounces(f32 dt);
    bool RowShown(i32 row) const;
    // Player 1's presses.
    void HandleInput();
    // Left and right; a client only on the music row with its own music.
    void HandleValueKeys();
    bool IsClient() const { return m_network && m_localEntry != 0; }
    ILobbyRoom* Lobby() const { return m_setup ? m_setup->lobbyClient : nullptr; }
    // A host alone in its room has no one to play with.
    bool HostAlone() const;
    void Broadcast(u32 type, const u8* data, u32 length);
    // The set-up's tension file of entry (all four with spread) := data.
    void StorePlayerData(const select_net::PlayerData& data, bool spread);
    // Network play with no network scene above: the title (the set-up and
    // next scene dropped).
    void GoTitle();
    // The value of a row with values, and its setter (stage and music
    // forward as asked).
    u32 ValueOf(i32 row) const;
    void SetValue(i32 row, u32 value, bool forward);
    void DrawMusic();
    void DrawTensionBar(const CTensionFile* tension);
    void DrawHelp();

    // Page state.
    f32 m_cover = 1.0f;
    i32 m_row = 0;
    i32 m_targetRow = 0;
    f32 m_rowTimer = 0.0f;
    CBattleOption m_option;
    u32 m_startFlag = 0;
    u32 m_backFlag = 0;
    // Ready words (10006) that came after the start, one bit per entry: a
    // faster peer's battle can load before this cover closes, and the word
    // belongs to the battle this scene builds.
    u32 m_heldReady = 0;
    CBattleSetup* m_setup = nullptr;   // owned until handed on
    f32 m_scroll = 0.0f;
    u32 m_scrollMode = 0;
    u32 m_localEntry = 0;
    u32 m_training = 0;
    u32 m_network = 0;
    u32 m_chatOpen = 0;

    CSceneObject* m_title = nullptr;
    std::array<CSceneObject*, option_select::kRowCount> m_rowLayers{};
    CSceneObject* m_stageLayers[20] = {};
    CSceneObject* m_ruleLayers[2] = {};
    CSceneObject* m_pointLayers[5] = {};
    CSceneObject* m_timeLayers[7] = {};
    CSceneObject* m_cpuLayers[5] = {};
    CSceneObject* m_tensionRuleLayers[6] = {};
    CSceneObject* m_friendLayers[3] = {};
    CSceneObject* m_anBgmLayers[2] = {};
    std::array<RowLayers, option_select::kRowCount> m_rows{};
    CSceneObject* m_barCaps[4] = {};
    CSceneObject* m_barBodies[4] = {};
    CSceneObject* m_log = nullptr;
    CSceneObject* m_input = nullptr;
    CSceneObject* m_local = nullptr;

    CEffect* m_effect = nullptr;       // owned until handed on
    CCamera* m_camera = nullptr;       // owned
    CSoundBuffer* m_music = nullptr;   // the sound list's; null once handed on
    std::array<CSoundBuffer*, 4> m_sounds{};
};

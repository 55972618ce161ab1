// CReplayScene: the replay list. The 30 slots of the per-user folder in
// three pages of ten, each with its number and what its header says (the
// local player's character, the stage, local or network play, the date);
// a playable slot is handed to a loading screen as a battle in replay mode,
// and the battle builds this scene again on that slot when it ends.
//
// The headers are read once per Load. A slot whose file is missing or ends
// inside its header shows as empty; a header of another version can be
// seen but not played. A header that reads well over a damaged body is
// refused by the battle's Load, and the loading screen's failure path
// (a message, then the title on Replay) takes over from there.
#pragma once

#include "engine/core/Geometry.h"
#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/data/Replay.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CCamera;
class CEffect;
class CSceneObject;
class CSoundBuffer;
class CTexture;

namespace replay_list {

inline constexpr u32 kSlots = 30;
inline constexpr u32 kRows = 10;
inline constexpr u32 kPages = kSlots / kRows;
inline constexpr u32 kTitleItem = 8;   // the title's "Replay"

inline constexpr const char* kLayout = "Scene\\Replay.sce";
inline constexpr const char* kTexture = "Select_01.dds";
inline constexpr const char* kSounds[4] = {
    "Se_gameopt_select.ogg", "Se_gameopt_select_side.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"};
enum Sound : u32 { kSelectSound, kSideSound, kSetSound, kCancelSound };
inline constexpr const char* kDigitLayers[10] = {
    "rep_0", "rep_1", "rep_2", "rep_3", "rep_4", "rep_5", "rep_6", "rep_7", "rep_8", "rep_9"};

// The page turn: a fixed step per update (not scaled by the frame time)
// up to its end.
inline constexpr f32 kTurnStep = 0.03f;
inline constexpr f32 kTurnEnd = 2.7f;
inline constexpr f32 kRowHeight = 48.0f;
inline constexpr f32 kPageWidth = 1024.0f;

inline constexpr const char* kEmptyText = "--------";
inline constexpr const char* kForeignText = "バージョンが違います";
inline constexpr const char* kPlayTypes[2] = {"ローカル", "ネットワーク"};
// A play type past the table (a damaged file) shows this.
inline constexpr const char* kUnknownPlayType = "?";

// One text of a row, in layout pixels; boxWidth > 0: squeezed into
// boxWidth x boxHeight.
struct RowText {
    f32 x, y;
    std::string text;
    f32 boxWidth = 0, boxHeight = 0;
};

// A 32-byte name field as text: up to its first zero byte, never past the
// field; a lead byte of a two-byte character cut off at the end is dropped.
std::string FieldText(const char (&field)[32]);
bool Playable(const ReplayHeader& header);
// The texts of a slot's row drawn at (x, y) (y the row's top).
std::vector<RowText> RowTexts(const ReplayHeader& header, f32 x, f32 y);
// The row's horizontal place during a page turn at progress t: the
// outgoing page leaves, the incoming one arrives; backward when the turn
// goes to a lower page.
f32 RowSlide(u32 row, f32 t, bool incoming, bool backward);
// The pressed page button's pulse over the first 0.4 of a turn, 0..1.
f32 ButtonPulse(f32 pageTurn);
// Every slot's header from folder ("<folder>OrvReplay_NN.rep"), slot 1
// first; a slot that cannot be read stays all zero.
std::array<ReplayHeader, kSlots> ReadHeaders(const std::string& folder);

}  // namespace replay_list

// The block of CReplayScene::Initialize. The receiver owns the effect and
// holds the music from its Load on, success or not. A row or page out of
// range starts on the first.
struct CReplaySceneArgs {
    CEffect* effect = nullptr;
    CSoundBuffer* music = nullptr;
    f32 cover = 1.0f;
    f32 alpha = 1.0f;
    i32 row = 0;
    i32 page = 0;
};

class CReplayScene : public CSceneResource {
    ORV_VALUE_CLASS(CReplayScene)

public:
    CReplayScene();
    // Shares the texture, music and sounds; clones the camera. The effect
    // instance is not shared: two owners would release it twice.
    CReplayScene(const CReplayScene& other);
    CReplayScene& operator=(const CReplayScene&) = delete;
    ~CReplayScene() override;

    // Safe after a partial Load and twice.
    i32 Release() override;
    // argument: a CReplaySceneArgs*, or 0 (own effect and music, under the
    // black cover).
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // The ways out, once the list has faded: the chosen replay through a
    // loading screen, or the title on "Replay" with the effect and music.
    // This scene is gone afterwards.
    i32 PlayReplay();
    i32 GoTitle();

    void DrawReplayPage(u32 page, f32 progress, bool incoming, bool backward);
    // The two digit display layers on slot n's number.
    void SetSlotNumber(u32 n);

    u32 GetRow() const { return m_row; }
    u32 GetPage() const { return m_page; }
    u32 GetTargetPage() const { return m_targetPage; }
    f32 GetPageTurn() const { return m_pageTurn; }
    f32 GetCover() const { return m_cover; }
    bool IsPlaying() const { return m_playFlag != 0; }
    bool IsGoingBack() const { return m_backFlag != 0; }
    const ReplayHeader& GetHeader(u32 slot) const { return m_headers[slot < replay_list::kSlots ? slot : 0]; }
    // The replay number the cursor is on, 1..30.
    u32 CurrentSlot() const { return m_page * replay_list::kRows + m_row + 1; }

private:
    void FindLayers();
    bool Interactive() const;
    void TakeInput();
    void DrawRowTexts(const ReplayHeader& header, f32 x, f32 y);
    void DrawPageButtons();

    CTexture* m_texture = nullptr;   // the texture list's
    f32 m_cover = 1.0f;
    u32 m_row = 0;
    u32 m_page = 0;
    u32 m_targetPage = 0;
    u32 m_backFlag = 0;
    u32 m_playFlag = 0;
    f32 m_pageTurn = 0.0f;
    std::array<ReplayHeader, replay_list::kSlots> m_headers{};
    CSceneObject* m_base = nullptr;
    CSceneObject* m_cursor = nullptr;
    std::array<CSceneObject*, 10> m_digits{};
    // The digits' layout rectangles, read at Load: the display layers are
    // two of the digit layers, and their source rectangle changes as they
    // are drawn.
    std::array<CRect4, 10> m_digitRects{};
    CSceneObject* m_tens = nullptr;
    CSceneObject* m_ones = nullptr;
    CSceneObject* m_previous[2] = {};
    CSceneObject* m_next[2] = {};
    CEffect* m_effect = nullptr;       // owned until handed on
    CCamera* m_camera = nullptr;       // owned
    CSoundBuffer* m_music = nullptr;   // the sound list's
    std::array<CSoundBuffer*, 4> m_sounds{};
};

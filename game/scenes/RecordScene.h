// CRecordScene: the play record, a page of totals and one per character.
//
// Paging runs from the totals (page 0) through the 18 characters (pages
// 1..18); going back from the totals or on from the last character leaves
// for the title with its cursor on "Record". The counters are u32 each;
// every sum is taken in 64 bits so 18 of them cannot wrap.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CCamera;
class CSaveRecord;
class CSceneObject;

namespace record {

inline constexpr u32 kCharacters = 18;
inline constexpr u32 kLastPage = kCharacters;   // page p > 0 shows character p - 1
inline constexpr u32 kTitleItem = 7;            // the title's "Record"

// The layout and what the scene finds by name.
inline constexpr const char* kLayout = "Scene\\RecordScene.sce";
inline constexpr const char* kPack = "Data\\CharaSharing.gpk";
inline constexpr const char* kPackName = "CHARASHARING";
inline constexpr const char* kFrameTexture = "Select_01.dds";
inline constexpr const char* kMusic = "Bgm_chara.ogg";
inline constexpr const char* kSounds[4] = {
    "Se_gameopt_select.ogg", "Se_gameopt_select_side.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"};
inline constexpr u32 kPageSound = 2;
// Name plates "name_xx" and pictures "cha_xx", in character order.
inline constexpr const char* kAbbreviations[kCharacters] = {
    "ta", "de", "pe", "mi", "qu", "ez", "tu", "ke", "om", "gre", "na", "dru", "ovu", "wen", "los", "bia", "sir", "ve"};
// "Chara_01.dds" .. "Chara_08.dds", "Chara_10.dds" .. "Chara_19.dds": there is no 09.
std::string CharacterTexture(u32 character);

// trunc(wins / played x 100), the division done first in double
// precision; 0 when nothing was played.
u32 WinRate(u64 wins, u64 played);

// One half (local or network) of one character or of all of them.
struct Counts {
    u64 battles = 0, wins = 0, losses = 0, draws = 0;
    u64 shownHigh = 0;   // word 7 (network 15)
    u64 shownLow = 0;    // word 6 (network 14)
    Counts& operator+=(const Counts& other);
    u32 Rate() const { return WinRate(wins, wins + losses + draws); }
};
// Character c's counters of a half (0 local, 1 network); zero for a
// character the record lacks.
Counts HalfOf(const CSaveRecord& record, u32 character, u32 half);
// The half summed over the 18 characters.
Counts TotalOf(const CSaveRecord& record, u32 half);

// One text of a page: layout pixels, alignment flags (17 left, 18 centre,
// 20 right; all top).
struct PageText {
    f32 x, y;
    u8 flags;
    std::string text;
};
// What page prints: the totals with the given play time (ms), or a
// character page.
std::vector<PageText> PageTexts(const CSaveRecord& record, u32 page, u32 playTimeMs);

}  // namespace record

class CRecordScene : public CSceneResource {
    ORV_VALUE_CLASS(CRecordScene)

public:
    CRecordScene();
    // Clones the texture list (the copied layers bound to the clones) and
    // the camera; shares the music and the sounds. The effect instance is
    // not shared: two owners would release it twice.
    CRecordScene(const CRecordScene& other);
    CRecordScene& operator=(const CRecordScene&) = delete;
    ~CRecordScene() override;

    // Safe after a partial Load and twice.
    i32 Release() override;
    // argument: a MenuArgs*, or 0 for the defaults. The block's effect and
    // music are the scene's from here on, success or not.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    u32 GetPage() const { return m_page; }
    bool IsLeaving() const { return m_leaving; }
    f32 GetCurtain() const { return m_curtain; }
    const CResourceList* GetTextures() const { return m_textures; }

private:
    void FindLayers();
    i32 LoadTextures();
    // Paging on player 1's presses.
    void HandleInput();
    // The title with its cursor on "Record"; this scene is gone afterwards.
    void BackToTitle();
    void DrawPage();
    void DrawTexts(const std::vector<record::PageText>& texts);

    u32 m_page = 0;
    bool m_leaving = false;
    f32 m_curtain = 1.0f;   // the black cover; the scene alpha is the scene colour's
    CResourceList* m_textures = nullptr;   // owned
    CEffect* m_effect = nullptr;           // owned
    CCamera* m_camera = nullptr;           // owned
    CSoundBuffer* m_music = nullptr;       // the sound list's
    std::array<CSoundBuffer*, 4> m_sounds{};
    CSceneObject* m_base = nullptr;
    CSceneObject* m_totalBase = nullptr;
    CSceneObject* m_soloBase = nullptr;
    std::array<CSceneObject*, record::kCharacters> m_names{};
    std::array<CSceneObject*, record::kCharacters> m_pictures{};
};

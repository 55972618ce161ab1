// CStoryScene: the story mode's three screens in one scene: the prologue
// text rolling in its window, the battle preview (the next battle loads on a
// loader thread meanwhile) and the ending roll followed by the ending movie.
//
// The chapter chain rides in the battle set-up as a CStoryProgress;
// CStoryScene::AdvanceStory moves it to the next chapter and copies that
// chapter's battle into the set-up. Chapter files come from the data
// folders and are checked before anything is taken from them: a chapter
// that fails is refused as a whole, the progress as it was, with the file
// and the reason kept for the message the caller shows.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBattleScene;
class CCamera;
class CEffect;
class CMovie;
class CSceneObject;
class CSoundBuffer;
class CStorySetting;
class CTexture;
struct StoryValues;

namespace story {

inline constexpr u32 kCharacters = 18;
inline constexpr u32 kStages = 19;
inline constexpr u32 kMusic = 18;
// The battle number slots: nine numbered battles and the final one.
inline constexpr u32 kNumberSlots = 10;
inline constexpr u32 kFinalSlot = kNumberSlots - 1;
inline constexpr u32 kDifficulties = 4;

// The roster in character order, and the abbreviations of the preview's
// picture and title elements.
extern const char* const kCharacterNames[kCharacters];
extern const char* const kAbbreviations[kCharacters];
// Story music index to the battle option's music slot.
inline constexpr u32 kMusicMap[kMusic] = {2, 3, 4, 5, 6, 7, 8, 9, 22, 23, 24, 25, 15, 16, 26, 27, 28, 29};
// The computer's level offset by the configuration's arcade difficulty.
inline constexpr i32 kLevelOffset[kDifficulties] = {-1, 0, 1, 3};
inline constexpr u32 kMaxLevel = 4;

inline constexpr const char* kNoNext = "Non Name";
inline constexpr const char* kLayout = "Scene\\Story.sce";
inline constexpr const char* kLayoutSecond = "Scene\\StoryT.sce";
inline constexpr const char* kTexture = "Arcade_02.dds";
inline constexpr const char* kTextureSecond = "Arcade_03.dds";
inline constexpr const char* kMusicPack = "Data\\ArcadeBgm.gpk";
inline constexpr const char* kMusicPackName = "BGMPACK";
inline constexpr const char* kPrologueMusic = "Bgm_arcade.ogg";
inline constexpr const char* kEndingMusic = "Bgm_ed.ogg";
inline constexpr const char* kEndingMusicSecond = "Bgm_ed2.ogg";
inline constexpr const char* kEndingMovie = "Movie\\ED.mpg";
inline constexpr u32 kMovieTextureSide = 1024;

// Characters 0..7 are the first group, 8..17 the second.
inline bool SecondGroup(u32 character) { return character >= 8; }
// "Setting/Story_<name>_Prologue.dat"; empty past the roster.
std::string PrologueFile(u32 character);

// The preview's element names: the per-character pictures of kind 0 "e_",
// 1 "na_", 2 "2_"; the titles ("tit_", or "ftit_" for the final battle);
// the music and stage elements (stage 18 has none: empty); the battle
// numbers "bat_1".."bat_9", "bat_f".
std::string PictureName(u32 kind, u32 character);
std::string TitleName(u32 character, bool final);
std::string MusicName(u32 index);
std::string StageName(u32 stage);
std::string NumberName(u32 slot);
// The slot names of a side (0 the player, 1 the opponent) in a group.
std::string SlotName(u32 kind, u32 side, bool secondGroup);
// Every element the preview and the text screens look up, in a layout's
// order ("1P/e_tal": the slot inside its group); for the data set.
std::vector<std::string> LayerNames(bool secondGroup);

// Why AdvanceStory refused a chapter.
enum class Fault : u8 {
    kNone,
    kNoSetup,
    kCharacter,     // the player's character has no story
    kMissing,       // the chapter file cannot be read
    kNoNext,        // a prologue that names no chapter
    kEnded,         // the story has ended already
    kUnsafeName,    // NEXT names a file outside the data folder
    kLoop,          // a chapter the chain read before
    kTooLong,       // more battles than the number slots
    kOpponent,      // CHARA past the roster
    kBarrage,       // BARRAGE not 0 or 1
    kStage,
    kMusic,
    kTime,
    kTiming,        // ENDTIME or SPEED not a finite number
    kDifficulty,    // the configuration's arcade difficulty
};
const char* DescribeFault(Fault fault);

// The check of a chapter's values: a battle's when battle, else the
// ending's or the prologue's.
Fault CheckChapter(const StoryValues& values, bool battle);
// Whether a battle chapter fits the number slots after counter battles.
Fault CheckCounter(i32 counter, bool final);
// CPU + the difficulty's offset, within 0..kMaxLevel.
u32 ComputerLevel(i32 cpu, u32 difficulty);

// The slide-ins: -1024 (2t - t^2), t = clamp(1 - (elapsed - start) /
// duration, 0, 1): -1024 before the start, 0 once done.
f32 SlideOffset(f32 elapsed, f32 start, f32 duration);

}  // namespace story

// The story's place in the set-up (the set-up deletes it).
class CStoryProgress : public CBattleProgress {
public:
    CStoryProgress();
    ~CStoryProgress() override;

    i32 counter = 0;   // battles started since the prologue
    i32 first = 0;     // the prologue is the current chapter
    i32 ended = 0;     // the current chapter is the ending
    std::unique_ptr<CStorySetting> chapter;
    // Every chapter file read, as CNestedLoadGuard spells it: a chain that
    // comes back to one loops.
    std::vector<std::string> read;
    // The last AdvanceStory's refusal: the file and why (kNone: none).
    story::Fault fault = story::Fault::kNone;
    std::string faultFile;

    // The refusal as the player reads it: the file and why.
    std::string FaultText() const;
};

class CStoryScene : public CSceneResource, public IDeviceResetListener {
    ORV_VALUE_CLASS(CStoryScene)

public:
    static constexpr f32 kFadeSpeed = 2.0f;   // per second: 0.5 s
    static constexpr u32 kFrameMs = 18;

    // The set-up moves to the next chapter: the prologue of entry 0's
    // character when it has no story yet, else the current chapter's NEXT.
    // A battle chapter is copied into the set-up; the ending sets its
    // unlock flag. 1, or 0 when the chapter is refused (the progress then
    // as it was, its fault and file set).
    static i32 AdvanceStory(CBattleSetup* setup);

    CStoryScene();
    // The layout, its element pointers and copies of the texture, camera
    // and music: no set-up, loader, battle, effect or movie.
    CStoryScene(const CStoryScene& other);
    CStoryScene& operator=(const CStoryScene&) = delete;
    ~CStoryScene() override;

    // Waits for the loader, then deletes what is held: the battle (which
    // owns the set-up once the loader started its Load), else the set-up.
    i32 Release() override;
    // argument: a MenuSetupArgs* (effect, curtain = black overlay, alpha,
    // set-up; the set-up is owned from here on, success or not), or 0 for
    // a new story from the saved configuration.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    i32 SoundStep(u32 inactive, u32* lastInactive) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    void OnDeviceLost() override;
    void OnDeviceReset() override;

    // What the tests read.
    enum Screen : u32 { kPrologue, kPreview, kEnding };
    Screen GetScreen() const;
    u32 GetLoadState() const { return m_loader.GetState(); }
    f32 GetOverlay() const { return m_overlay; }
    bool IsLeaving() const { return m_leave != 0; }
    bool IsMoviePlaying() const { return m_moviePlaying != 0; }
    CEffect* GetEffect() const { return m_effect; }
    CTexture* GetMovieTexture() const { return m_movieTexture.get(); }
    const CMovie* GetMovie() const { return m_movie.get(); }
    CSoundBuffer* GetMusic() const { return m_music.get(); }
    const CCamera* GetCamera() const { return m_camera.get(); }
    // The set-up while this scene owns it (text screens, before the loader).
    const CBattleSetup* GetSetup() const { return m_setup.get(); }
    CSceneObject* Element(const char* name) const { return FindLayer(name); }

private:
    // What the preview shows, read from the set-up before the loader takes it.
    struct PreviewFacts {
        u32 player = 0, opponent = 0, music = 0, stage = 0;
        i32 counter = 0;
        bool final = false;
    };

    CStoryProgress* Progress() const;
    f32 Alpha() const { return GetSceneState().colour.w; }
    void SetAlpha(f32 alpha) { GetSceneState().colour.w = alpha; }
    bool SecondGroup() const { return m_secondGroup; }

    i32 LoadText(bool prologue);
    i32 LoadMusic(const char* entry);
    i32 OpenMovie();
    i32 CreateMovieTexture();
    i32 LoadPreview();
    void FindPreviewElements();
    void ShowPreviewElements();
    i32 StartLoader();

    i32 UpdateText();
    i32 EndPrologue();
    void AnimatePreview();
    i32 UpdatePreview();
    void SlideIn();
    // The story cannot go on: the reason in a box, then the title on Story.
    i32 Refuse(const std::string& text);
    i32 GoTitle();

    void DrawText();
    void DrawPreview();
    void DrawSide(u32 side, u32 character);
    void DrawMovie();

    // Set by Initialize and kept by the copy.
    f32 m_overlay = 1.0f;
    f32 m_elapsed = 0.0f;
    loading::Dots m_dots;
    f32 m_blink = 0.0f;
    u32 m_leave = 0;
    u32 m_moviePlaying = 0;
    bool m_preview = false;
    bool m_prologue = false;
    bool m_secondGroup = false;
    bool m_reported = false;
    // The current chapter's words, copied: the set-up is the battle's while
    // the preview shows.
    std::string m_text;
    f32 m_endTime = 30.0f;
    f32 m_speed = 30.0f;
    PreviewFacts m_facts;

    // Elements (the layout's).
    CSceneObject* m_story = nullptr;
    CSceneObject* m_frame = nullptr;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_prompt = nullptr;
    CSceneObject* m_loading = nullptr;
    CSceneObject* m_dotLayers[3] = {};
    CSceneObject* m_groups[2] = {};
    CSceneObject* m_slots[2][3] = {};
    CSceneObject* m_versus[2] = {};
    CSceneObject* m_captions[story::kNumberSlots] = {};

    // Owned.
    std::unique_ptr<CBattleSetup> m_setup;   // until the loader hands it to the battle
    std::unique_ptr<CBattleScene> m_battle;  // the loader's until state 2
    loading::Loader m_loader;
    CEffect* m_effect = nullptr;
    std::unique_ptr<CCamera> m_camera;
    std::unique_ptr<CSoundBuffer> m_music;
    std::unique_ptr<CMovie> m_movie;
    std::unique_ptr<CTexture> m_movieTexture;
    std::unique_ptr<CTexture> m_texture;
};

// CGameOption: the options screen; its values go back into the saved
// configuration when it leaves.
//
// Eleven items in a column: ten values of the configuration's game section
// and "Init", which restores their defaults. The scene edits its own
// copies; WriteBack puts them into the application's configuration (the
// file is written by the application). Values read from the configuration
// are clamped to what the marks can show, so a damaged file indexes no
// mark past the layout's.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <array>
#include <cstdint>

class CCamera;
class CGameApp;
class CSceneObject;

namespace option {

enum Item : i32 {
    kPad,
    kScreen,
    kCamera,
    kVoice,
    kBgmVolume,
    kSeVolume,
    kVoiceVolume,
    kMap,
    kGuard,
    kStory,
    kInit,
    kItemCount,
};

inline constexpr const char* kLayout = "Scene\\GameOption.sce";
inline constexpr const char* kItemNames[kItemCount] = {
    "Pad", "Screen", "Camera", "Voice", "BVol", "SVol", "VVol", "Map", "Guard", "Story", "Init"};
// The marks of the items with marks, in value order.
inline constexpr const char* kPadMarks[2] = {"off2", "on2"};
inline constexpr const char* kScreenMarks[2] = {"off3", "on3"};
inline constexpr const char* kCameraMarks[2] = {"L", "R"};
inline constexpr const char* kVoiceMarks[2] = {"off4", "on4"};
inline constexpr const char* kMapMarks[2] = {"fix", "roll"};
inline constexpr const char* kGuardMarks[2] = {"off5", "on5"};
inline constexpr const char* kStoryMarks[4] = {"easy", "nor", "hard", "luna"};
// Bar, knob and their white frame of the three volumes.
inline constexpr const char* kVolumeBars[3] = {"volB1", "volB2", "volB3"};
inline constexpr const char* kVolumeKnobs[3] = {"volob1", "volob2", "volob3"};
inline constexpr const char* kVolumeFrames[3] = {"volW1", "volW2", "volW3"};
// The two cursor elements of item i: "sele_car<16+i>2", "sele_car<16+i>1".
inline constexpr const char* kCursors[kItemCount][2] = {{"sele_car162", "sele_car161"},
    {"sele_car172", "sele_car171"}, {"sele_car182", "sele_car181"}, {"sele_car192", "sele_car191"},
    {"sele_car202", "sele_car201"}, {"sele_car212", "sele_car211"}, {"sele_car222", "sele_car221"},
    {"sele_car232", "sele_car231"}, {"sele_car242", "sele_car241"}, {"sele_car252", "sele_car251"},
    {"sele_car262", "sele_car261"}};
inline constexpr const char* kSounds[4] = {
    "Se_gameopt_select.ogg", "Se_gameopt_select_side.ogg", "Se_gameopt_set.ogg", "Se_cancel.ogg"};
enum Sound { kSelect, kSide, kSet, kCancel };

inline constexpr i32 kVolumeMin = -3000, kVolumeMax = 0, kVolumeStep = 30;
inline constexpr f32 kSlideTime = 0.15f;
inline constexpr f32 kArrowTime = menu::kArrowBounceTime;
inline constexpr u32 kTitleItem = 9;   // the title's "Option"
inline constexpr u32 kMarkOn = 0xFFFFFFFFu, kMarkOff = 0xFF808080u;

// The values the scene edits.
struct Values {
    u32 padVibration = 1;
    u32 screenShake = 1;
    i32 bgmVolume = 0, seVolume = 0, voiceVolume = 0;
    u32 voicePlay = 1;
    u8 radarType = 0;
    u8 cameraSide = 0;
    u8 guardCorrection = 1;
    u8 storyDifficulty = 1;
};

}  // namespace option

class CGameOption : public CSceneResource {
    ORV_VALUE_CLASS(CGameOption)

public:
    CGameOption();
    // Copies the values, the layers (found again in the copy) and the
    // camera. The effect and the music stay with the original: the copy
    // would release the one and stop the other under it.
    CGameOption(const CGameOption& other);
    CGameOption& operator=(const CGameOption&) = delete;
    ~CGameOption() override;

    // WriteBack, then what the scene still holds. Safe after a partial Load
    // and twice.
    i32 Release() override;
    // argument: a MenuArgs*, or 0 for the defaults. The block's effect and
    // music are the scene's from here on, success or not.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    // A press on item: the two-valued toggle, "Story" steps with wrap, the
    // volumes step by 30 within -3000..0, "Init" stays.
    void Increase(i32 item);
    void Decrease(i32 item);
    // The held steps: volumes only.
    void StepVolumeUp(i32 item);
    void StepVolumeDown(i32 item);
    void ResetDefaults();
    // The cursor on item, every other cursor hidden, the bounces stopped.
    void ShowItem(i32 item);

    // Each stores its value (clamped to what its marks show) and colours
    // the marks; the volumes clamp to -3000..0 and set their bar and knob.
    void SetPadVibration(u32 value);
    void SetScreenShake(u32 value);
    void SetCameraSide(u32 value);
    void SetVoicePlay(u32 value);
    void SetRadarType(u32 value);
    void SetGuardCorrection(u32 value);
    void SetStoryDifficulty(u32 value);
    void SetBgmVolume(i32 value);
    void SetSeVolume(i32 value);
    void SetVoiceVolume(i32 value);
    // All values from the configuration's game section.
    void ReadConfig();

    // The values into the application's configuration; the effects' volume,
    // and the music's when the scene still holds it. 0 without an
    // application or configuration.
    i32 WriteBack();
    // WriteBack, then the title with the effect and the music handed over
    // and its cursor on "Option". This scene is gone afterwards.
    void BackToTitle();

    const option::Values& GetValues() const { return m_values; }
    i32 GetItem() const { return m_item; }
    i32 GetTargetItem() const { return m_target; }
    bool IsLeaving() const { return m_leaving; }
    f32 GetCurtain() const { return m_curtain; }
    CSoundBuffer* GetMusic() const { return m_music; }

private:
    struct Row {
        CSceneObject* leftArrow = nullptr;   // absent in this layout
        CSceneObject* rightArrow = nullptr;
        CSceneObject* cursors[2] = {};
        f32 arrowTime = 0.0f;
        i32 arrowDirection = 0;   // -1 left, 1 right
        bool arrowActive = false;
    };

    void FindLayers();
    // The bars' scales and the knobs' offsets as laid out: the volumes are
    // shown from there.
    void KeepLayoutPlaces();
    // The marks of an item: the value's opaque white, the others grey.
    void ShowMarks(CSceneObject* const* marks, u32 count, u32 value);
    void ShowVolume(u32 bar, i32 value);
    void StepVolume(i32 item, i32 delta);
    // The two-valued items flip; false for the others.
    bool Toggle(i32 item);
    void StartBounce(i32 item, i32 direction);
    void StopBounce(i32 item);
    void UpdateBounces(f32 dt);
    // The value of a volume item; null for the other items.
    i32* VolumeOf(i32 item);
    void SetVolume(i32 item, i32 value);
    // Player 1's presses: values, cursor, leaving.
    void HandleInput();

    f32 m_curtain = 1.0f;   // the black cover; the scene alpha is the scene colour's
    i32 m_item = 0;
    i32 m_target = 0;
    f32 m_slideTime = 0.0f;
    bool m_leaving = false;
    // Set once the values were read from the configuration; before that
    // (a Load that failed early) WriteBack would put the defaults there.
    bool m_loaded = false;
    option::Values m_values;

    CSceneObject* m_title = nullptr;
    std::array<CSceneObject*, option::kItemCount> m_items{};
    CSceneObject* m_padMarks[2] = {};
    CSceneObject* m_screenMarks[2] = {};
    CSceneObject* m_cameraMarks[2] = {};
    CSceneObject* m_voiceMarks[2] = {};
    CSceneObject* m_mapMarks[2] = {};
    CSceneObject* m_guardMarks[2] = {};
    CSceneObject* m_storyMarks[4] = {};
    CSceneObject* m_volumeFrames[3] = {};
    CSceneObject* m_volumeKnobs[3] = {};
    CSceneObject* m_volumeBars[3] = {};
    f32 m_barScale[3][2] = {{1, 1}, {1, 1}, {1, 1}};   // the layout's, x and y
    f32 m_knobPlace[3][2] = {};                       // the knobs' layout offsets, x and y
    std::array<Row, option::kItemCount> m_rows{};

    CGameApp* m_app = nullptr;         // the one that loaded the scene
    CEffect* m_effect = nullptr;       // owned
    CCamera* m_camera = nullptr;       // owned
    CSoundBuffer* m_music = nullptr;   // the sound list's; null once handed over
    std::array<CSoundBuffer*, 4> m_sounds{};
};

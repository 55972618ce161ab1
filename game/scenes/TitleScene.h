// CTitleScene: the main menu of 11 items over the crowd effect and the
// title music; a decide builds the chosen mode's scene. Every return to the
// title builds a new one; a scene coming back may hand the crowd effect and
// the music over so that they run on unbroken.
//
// After a run that won spirit orbs it first names them, four at a time.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/MenuScene.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CBattleSetup;
class CCamera;
class CEffect;
class CSceneObject;
class CSkillList;
class CSoundBuffer;
class CTexture;

// The title's block: what MenuArgs hands over, and the item the cursor
// starts on (0 Story .. 10 End).
struct TitleArgs : MenuArgs {
    u32 item = 0;
};

namespace title {

enum Item : u32 {
    kStory,
    kAdventure,
    kBattle,
    kNetwork,
    kSurvival,
    kTutorial,
    kTraining,
    kRecord,
    kReplay,
    kOption,
    kEnd,
};
inline constexpr u32 kItemCount = 11;

// The layers of each item: its label, its name and the flash behind the
// name while the cursor moves onto it.
struct ItemLayers {
    const char* label;
    const char* name;
    const char* flash;
};
extern const ItemLayers kItemLayers[kItemCount];

// Orb icons: "rei_geki0".."rei_geki14", "rei_soku0".., "rei_syu0"..; an
// orb's icon number indexes them.
inline constexpr u32 kIconCount = 45;
std::string IconLayerName(u32 icon);

inline constexpr u32 kCallCount = 18;
extern const char* const kCalls[kCallCount];
inline constexpr const char* kSelectSound = "Se_title_select.ogg";
inline constexpr const char* kSetSound = "Se_title_set.ogg";
inline constexpr const char* kLayout = "Scene\\TitleSceneM.sce";
inline constexpr const char* kBackground = "Bg_23.dds";
inline constexpr const char* kSkillFile = "Setting/Skill.dat";
inline constexpr const char* kNoMusic = "BGMファイルが開けません";

inline constexpr f32 kMoveSeconds = 0.15f;
inline constexpr f32 kSelectedOffset = -68.0f;
inline constexpr u32 kOrbsPerPage = 4;

// The item one step (-1 up, +1 down) from item, wrapping at both ends.
u32 StepItem(u32 item, i32 step);
// Whether leaving for item hands the crowd effect to the next scene (no
// black curtain first).
bool HandsOverEffect(u32 item);
// The notice naming these orbs (in order).
std::string OrbNoticeText(const std::vector<std::string>& names);
// The tutorial's music slot: slot while a tension file is held for it,
// else one of the held slots at random; kNoSlot when no slot is held.
inline constexpr u32 kNoSlot = 0xFFFFFFFFu;
u32 ChooseTutorialSlot(u32 slot, const std::function<bool(u32)>& held);
// The tutorial's battle on a new set-up: two random fighters, the other
// two absent, stage 18, the music of the set-up's slot or another held one
// (ChooseTutorialSlot). False when no slot is held (the slot then stays).
bool MakeTutorialSetup(CBattleSetup& setup, const std::function<bool(u32)>& held);

}  // namespace title

class CTitleScene : public CSceneResource {
    ORV_VALUE_CLASS(CTitleScene)

public:
    CTitleScene();
    // The state, the found resources and a share of the skill list; the
    // crowd effect, the music and the camera stay the original's.
    CTitleScene(const CTitleScene& other);
    CTitleScene& operator=(const CTitleScene&) = delete;
    ~CTitleScene() override;

    i32 Release() override;
    // argument: a TitleArgs*, or 0 for the defaults. The effect and music
    // it hands over are this scene's from the call on, success or not.
    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    i32 Draw(u32 argument) override;

    u32 GetCurrentItem() const { return m_current; }
    u32 GetTargetItem() const { return m_target; }
    bool IsLeaving() const { return m_leaving != 0; }
    f32 GetCurtain() const { return m_curtain; }
    f32 GetAlpha() const { return GetSceneState().colour.w; }
    CEffect* GetEffect() const { return m_effect; }
    CSoundBuffer* GetMusic() const { return m_music; }
    bool IsOrbNoticeShown() const { return m_orbNotice != 0; }
    // The text of the notice's page on screen; empty without a notice.
    std::string GetOrbNoticeText() const;
    // The icon layer an orb's icon number draws; null past the 45 or when
    // the layout lacks it.
    CSceneObject* GetIconLayer(i32 icon) const;

private:
    struct ItemRecord {
        CSceneObject* label = nullptr;
        CSceneObject* name = nullptr;
        CSceneObject* flash = nullptr;
    };

    void SetAlpha(f32 alpha) { GetSceneState().colour.w = alpha; }
    void FindLayers();
    // The orbs won and not yet shown, in skill-list order.
    void CollectNewOrbs();
    void PlayTitleCall();
    // Fades; true while the menu is not fully shown (no input taken).
    bool StepFades(f32 dt);
    void TakeInput(f32 dt);
    void Decide();
    // Whether decide on item leaves for a scene now.
    bool CanLeaveFor(u32 item) const;
    // Replaces this scene with the chosen one; this scene is gone after it.
    i32 Dispatch();
    i32 StartTutorial();
    // Story, Adventure and Survival: the single select on a set-up of that mode.
    i32 StartSingleSelect();
    void DrawItems();
    void DrawOrbNotice();

    CTexture* m_background = nullptr;   // the resource controller's
    f32 m_curtain = 1.0f;
    u32 m_current = 0;
    u32 m_target = 0;
    u32 m_leaving = 0;
    u32 m_orbNotice = 0;
    f32 m_moveTimer = 0.0f;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_skillGet = nullptr;
    CSceneObject* m_icons[title::kIconCount] = {};
    ItemRecord m_items[title::kItemCount];
    CEffect* m_effect = nullptr;        // owned while held
    std::unique_ptr<CCamera> m_camera;
    CSoundBuffer* m_music = nullptr;    // the sound list's; stopped on release while held
    CSoundBuffer* m_sounds[title::kCallCount + 2] = {};
    std::unique_ptr<CSkillList> m_skills;
    // The notice: the orbs (skill-list positions) and the page on screen.
    std::vector<u32> m_newOrbs;
    u32 m_noticePage = 0;
};

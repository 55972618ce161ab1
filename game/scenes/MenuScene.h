// What the menu scenes share: the block one menu hands the next, player 1's
// buttons, the look-ups in the resource controller's lists, the menu sounds
// and music, the crowd effect behind the menus and the fades.
//
// Everything here goes through the process's game application
// (GetGameApp); without one the look-ups find nothing and the draws do
// nothing.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"

class CBattleSetup;
class CCamera;
class CEffect;
class CFontTexture;
class CSceneObject;
class CSceneResource;
class CSoundBuffer;
class CTexture;

// What a menu scene hands the next one's Load: the crowd effect and the
// music to continue (null: the receiver starts its own), the black cover
// and the scene alpha to start from. The receiver owns the effect and holds
// the music from its Load on, success or not; the sender forgets both
// first.
// A scene that holds textures of the device's default pool (movies) and
// must give them up before the device is reset and make them again after.
// The application asks its current scene for it (dynamic_cast) on device
// lost and device reset.
class IDeviceResetListener {
public:
    virtual ~IDeviceResetListener() = default;
    virtual void OnDeviceLost() = 0;
    virtual void OnDeviceReset() = 0;
};

struct MenuArgs {
    CEffect* effect = nullptr;
    CSoundBuffer* music = nullptr;
    f32 curtain = 1.0f;
    f32 alpha = 1.0f;
};

// The selects' block: what MenuArgs hands over, and the battle set-up, which
// the receiver owns from its Load on, success or not.
struct MenuSetupArgs : MenuArgs {
    CBattleSetup* setup = nullptr;
};

namespace menu {

// Player 1's button codes.
enum Button : u32 {
    kUp = 8,
    kDown = 9,
    kLeft = 10,
    kRight = 11,
    kStickUp = 12,
    kStickDown = 13,
    kStickLeft = 14,
    kStickRight = 15,
    kDecide = 22,
    kCancel = 23,
    kStart = 30,
};

// Player 1's (input slot 0) button triggered this frame, or held now.
bool Triggered(u32 code);
bool Held(u32 code);
bool UpTriggered();      // 8 or 12
bool DownTriggered();    // 9 or 13
bool LeftTriggered();    // 10 or 14
bool RightTriggered();   // 11 or 15
bool LeftHeld();
bool RightHeld();
// Any button but the directions, this frame.
bool AnyTriggered();

// The first entry of that file name in the resource controller's texture or
// sound list; null when absent.
CTexture* FindTexture(const char* fileName);
CSoundBuffer* FindSound(const char* fileName);

// Sounds at the configured volumes: a menu effect once at the effect
// volume; a voice once at the voice volume when voice play is on; music
// looping at the music volume. Null sounds are skipped.
void PlaySe(CSoundBuffer* sound);
void PlayVoice(CSoundBuffer* sound);
void PlayMusic(CSoundBuffer* music);

// The three tracks the title and the options play.
inline constexpr const char* kTitleMusic[3] = {"Vocal_orig_01.ogg", "Vocal_orig_15.ogg", "Vocal_orig_23.ogg"};
// One of kTitleMusic at random, from the sound list or loaded into it, then
// started looping. Null (reason set) when it cannot be loaded.
CSoundBuffer* StartTitleMusic();

// The crowd effect behind the menus: "Efc_menu_croud" played in the scene.
// Null (reason set) when the effect list lacks it.
inline constexpr const char* kMenuEffect = "Efc_menu_croud";
CEffect* StartMenuEffect();
void ReleaseEffect(CEffect*& effect);

// A scene's own texture list (the layouts whose textures it loads itself):
// a copy bound to the copied scene's layers, and the deletion, which
// unbinds the layers before the list goes.
CResourceList* CopyTextures(CSceneResource& scene, const CResourceList* from);
void DeleteTextures(CSceneResource& scene, CResourceList*& textures);

// The 3D part of a menu frame: 3D states, camera, the render list cleared,
// the effect and every effect into it, drawn and presented. Then blend mode
// 1 and the 2D states.
void DrawEffectBackground(CCamera* camera, CEffect* effect);
// Viewport on the 4:3 area (the whole window when not wider), 2D states.
void SetLayoutViewport();
// The whole back buffer in black at level 0..1 (clamped).
void DrawCover(f32 level);

// The menus' font: entry 0 of the resource controller's font list; null
// when there is none.
CFontTexture* MenuFont();

// value moved by delta and clamped to lo..hi.
f32 Approach(f32 value, f32 delta, f32 lo = 0.0f, f32 hi = 1.0f);

// The value rows' arrow bounce: out and back in 0.3 s, 6 layout units at
// its peak halfway, eased; 0 outside the bounce.
inline constexpr f32 kArrowBounceTime = 0.3f;
f32 ArrowBounce(f32 time);

// A layer's place in layout units: its screen position taken back through
// the scene's scale and place (what a drawing adds is in layout units).
CVector3 LayoutPlace(const CSceneObject* layer);
// Draws layer (null: nothing) with its place at layout position to, its
// size times scale: a layer drawn where another stands, or at several
// places in one frame, is moved there at each draw.
void DrawPlaced(CSceneObject* layer, const CVector3& to, f32 scale = 1.0f);

// Sets the game application's load error (what a failed Load names) and
// gives 0, for "return menu::Missing(name);".
i32 Missing(const char* what);

}  // namespace menu

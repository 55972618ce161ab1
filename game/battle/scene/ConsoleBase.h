// CConsoleBase: one kind of display inside a fighter's HUD layout (time,
// tension strips, menus, gauges). A console finds the layers it needs by
// name when it is loaded; a name the layout lacks leaves a null reference,
// and every use of a layer tests it, so a short layout draws less and never
// fails. Layers are shared with the layout, never owned.
//
// Questions and reports go to the owner (the battle scene) as numbered
// messages with a pointer to a 32-bit word.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/ValueBase.h"
#include "game/battle/scene/HudFighter.h"

#include <cstdint>

class CFontTexture;
class CResourceController;
#include "engine/core/ResourceList.h"
class CScene;
class CSceneObject;
class CSceneResource;
class CSoundBuffer;
struct InputState;

// The load block of a battle console, filled by the battle scene (unused
// fields 0) and copied whole by the consoles that keep one.
struct ConsoleSetup {
    u32 ownIndex = 0;        // the fighter's index in the character list
    u32 localEntry = 0;      // the local player's entry
    u32 livesRule = 0;       // 1: lives are shown
    u32 timeSetting = 0;     // index into the time-limit table
    f32 timeLimit = 0.0f;    // seconds; the battle-state console counts it down
    u32 extraLives = 0;
    u32 consoleSetting = 0;
    u32 voicePlay = 0;       // 0: voices off
    i32 voiceVolume = 0;     // hundredths of a dB
    u32 training = 0;
    u32 network = 0;
    u32 tutorial = 0;
    u32 survival = 0;
    u32 adventure = 0;
    u32 replay = 0;
    u32 story = 0;
    u32 damagePanel = 0;
    u32 endHandled = 0;
    CResourceList* stageObjects = nullptr;   // element 0 is the stage
    const HudFighterList* characters = nullptr;
    void* bullets = nullptr;
    CFontTexture* font = nullptr;
    CScene* owner = nullptr;

    // Whether the console's fighter is the local player's. The local entry
    // names a set-up entry, and an empty entry makes no fighter, so the list
    // place is no stand-in: the fighter's own entry index is compared.
    bool IsLocal() const
    {
        const HudFighter* own = characters && ownIndex < characters->size() ? (*characters)[ownIndex] : nullptr;
        return own && own->GetEntryIndex() == localEntry;
    }
};

// Time limits in seconds by time setting; 1000 means none.
inline constexpr f32 kConsoleTimeLimits[] = {100, 200, 300, 400, 500, 600, 1000};
inline constexpr f32 kConsoleNoTimeLimit = 1000.0f;

// Messages the consoles send their owner.
enum ConsoleMessage : u32 {
    kConsoleMsgResourceController = 16,   // out CResourceController*
    kConsoleMsgTeamResult = 23,           // in team, out 1 win, 2 loss, 3 draw
    kConsoleMsgBattleSettled = 24,        // out non-zero once over and settled
    kConsoleMsgEffectVolume = 40,         // out the effect volume
    kConsoleMsgEndCode = 42,              // in the end code
    kConsoleMsgTrainingA = 48,            // in training value A
    kConsoleMsgTrainingB = 49,            // in training value B
};

// Where the consoles read the player's buttons and keys from: the game input
// manager in the game, a double in tests.
class ConsoleInput {
public:
    virtual ~ConsoleInput() = default;
    // Null for a slot without a state.
    virtual const InputState* GetState(u32 slot) const = 0;
    virtual u32 IsKeyDown(u32 key) const = 0;
};

class CConsoleBase : public CValueBase {
    ORV_ABSTRACT_CLASS(CConsoleBase)

public:
    CConsoleBase() = default;
    explicit CConsoleBase(CScene* owner) : m_owner(owner) {}
    CConsoleBase(const CConsoleBase&) = default;
    CConsoleBase& operator=(const CConsoleBase&) = delete;

    virtual i32 Update(u32 argument) = 0;
    virtual i32 Draw(u32 argument) = 0;
    virtual i32 Release() = 0;

    CScene* GetOwner() const { return m_owner; }
    void SetOwner(CScene* owner) { m_owner = owner; }

protected:
    // The message to the owner with a pointer to word; 0 without an owner.
    u32 Ask(u32 message, u32* word) const;
    // The owner's resource controller (message 16), or null.
    CResourceController* Resources() const;
    // Font 0 of the controller's font list, or null.
    CFontTexture* Font() const;
    // The sound of that file name in the controller's sound list, or null.
    CSoundBuffer* FindSound(const char* fileName) const;
    // Plays sound at volume with a 3D minimum distance of 3000; nothing for
    // a null sound.
    static void PlayAt(CSoundBuffer* sound, i32 volume);

    // The layer of that name in layout, or null.
    static CSceneObject* Find(const CSceneResource* layout, const char* name);
    // Draws layer (when there is one) offset by (x, y) pixels, its scale
    // times (sx, sy) and its colour times argb.
    static void DrawAt(CSceneObject* layer, f32 x = 0, f32 y = 0, f32 sx = 1, f32 sy = 1,
        u32 argb = 0xFFFFFFFFu);
    // The same with a colour in 0..1 floats.
    static void DrawAt(CSceneObject* layer, f32 x, f32 y, f32 sx, f32 sy, f32 r, f32 g, f32 b, f32 a);

private:
    CScene* m_owner = nullptr;
};

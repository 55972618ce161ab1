// CCharacter: the playable battle character. It owns the InputState that
// every input source writes into (packets from pads, replays and peers; the
// computer opponent's own raw words), the input handler table, and the
// per-frame update the battle scene calls.
#pragma once

#include "engine/platform/Input.h"
#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/InputPacket.h"
#include "game/battle/object/BattleCharacter.h"

class CCharacter : public CCharacterAction {
    ORV_VALUE_CLASS(CCharacter)

public:
    using InputHandler = u32 (CCharacter::*)(u32 argument);

    // Takes both over; input state and handler table zeroed.
    CCharacter(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr);
    CCharacter(const CCharacter& other);

    // Create with a CharacterCreateRecord* (null: no record).
    i32 Initialize(intptr_t argument) override { return Create(reinterpret_cast<const CharacterCreateRecord*>(argument)); }
    // Grows with the per-frame parts; 1.
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    // The base's state, then the input record.
    void HashState(CStateHash& hash) const override;

    // The record's values, then the creation steps in their fixed order,
    // the tables and the starting gauges. 1.
    i32 Create(const CharacterCreateRecord* entry);
    // The starting HP of a fighter carrying share of its life: hp x share
    // truncated, at least 1; a share outside (0, 1) leaves hp whole.
    static i32 CarriedHp(i32 hp, f32 share);
    // The handler of each action, as the current action reads the buttons.
    virtual void InitInputTable();

    // -- The steps of Update, in their order. --
    // 0 while the fighter is not free.
    u32 UpdateMoveInput(u32 argument);
    // The current action's handler; 1 for an empty entry.
    u32 DispatchInput(u32 argument);
    // 0 without the character list or while orders are barred.
    u32 UpdateTeamOrder(u32 argument);
    // 0 while the fighter may not lock on or without the character list.
    u32 UpdateLockOn(u32 argument);
    // Locking on is refused while defeated and in or queued for the end.
    bool MayLockOn() const;
    // The target is held in the bind this fighter's card made.
    bool HoldsBound(const CObjectDivision* target) const;
    u32 UpdateSpectate(u32 argument);
    u32 UpdateTimers(u32 argument);
    // Message 45: both motors at the small or (strength 1) the large power.
    u32 OnVibrationMessage(u32 ignored, u32 strength);

    // What the input handlers keep between frames besides the block.
    struct InputMemory {
        u32 lockRequest;         // 26 went down with no target: lock on its release
        u32 ignoreDashRelease;   // the release ending the press that started the dash
        u32 cameraMode;          // 0 free, 1 lock-on
        f32 cameraBlend;
    };
    const InputMemory& GetInputMemory() const { return m_memory; }
    InputHandler GetInputHandler(u32 action) const { return action < kActionCount ? m_inputHandlers[action] : nullptr; }

    // -- Input packets. --
    static u32 BuildInputPacket(InputPacket* packet, const InputState& state);
    // The packet last applied, when one drove this frame's input: built
    // again from the state it left, the sticks would come out lower (the
    // apply quantises them once more), and a replay would record another
    // fight than the one played. Built from the state otherwise.
    u32 GetInputPacket(InputPacket* packet) const
    {
        if (!m_packetApplied && !m_packetPending) return BuildInputPacket(packet, m_input);
        *packet = m_appliedPacket;
        return 1;
    }
    u32 ShiftInput();
    // 0 for null (nothing changes); else shift, set, refresh.
    u32 ApplyInputPacket(const InputPacket* packet);
    // Sticks then buttons of the own state; a held direction sets the move angle.
    u32 RefreshInput();

    InputState& GetInput() { return m_input; }
    const InputState& GetInput() const { return m_input; }
    u32 IsNetwork() const { return m_network; }
    u32 HasPadInput() const { return m_padInput; }
    u32 GetVibrationCapability() const { return m_vibrationCapability; }

protected:
    // -- Input handlers (CharacterInput.cpp). --
    u32 IdleInput(u32);
    u32 TediumInput(u32);
    u32 ComboInput(u32);
    u32 NoInput(u32) { return 1; }
    u32 ShootInput(u32);
    u32 SlideShootInput(u32);
    u32 TripleSlideShootInput(u32);
    u32 SpellInput(u32);
    u32 SpellCancelInput(u32);
    u32 GuardInput(u32);
    u32 SparkChordInput(u32);
    u32 DashInput(u32);
    u32 SlideInput(u32);
    u32 MirageSlideInput(u32);
    u32 ShootOutInput(u32);
    // Shared rules.
    u32 HeldChord() const;
    // Sends message 52; 0 when nobody took it.
    u32 ReleaseWaitingBullets();
    // The four trigger chords; 1 when one fired, -1 when none applied.
    i32 SpellChords(bool interval);
    // The slide angle of a release of 22; false when no direction counts.
    bool SlideAngle(f32* angle) const;
    bool ShotIntervalPassed() const;
    bool ShotWaitPassed() const;
    f32 DirectionOrNone() const;
    u32 StartNextSlide(u32 level);
    bool CanCancelSpell() const;
    u32 Held(u32 code) const { return m_input.held[code]; }
    u32 Triggered(u32 code) const { return m_input.triggered[code]; }
    u32 Released(u32 code) const { return m_input.released[code]; }
    f32 HoldSeconds(u32 code) const { return f32(m_input.holdTime[code]) * 0.001f; }
    u32 AnyDirectionHeld() const { return Held(12) | Held(13) | Held(14) | Held(15); }
    const ShotRecord* CurrentShot() const;
    u32 CurrentBarrageFinished() const;
    // Lock-on (CharacterLockOn.cpp).
    CObjectDivision* ChooseTarget(const BattleCharacterList& list, CObjectDivision* current) const;
    void ReleaseLock();
    void FaceCameraFront();
    // Gauges (CharacterGauges.cpp).
    void UpdateCharge(bool spell, bool allowed, f32 limit);
    // The stage's own effect and the tension's, played around the camera.
    void UpdateStageEffects();
    // The face clock on the wall clock, and the expression the action wants.
    void UpdateFace();

    // The cancel of a running card: its voice stopped, the states reset
    // (every card idle), action 0.
    u32 CancelSpellCard();
    // Every button free for long, sticks and vibration at 0.
    void ClearInput();
    // The camera's free and lock-on views, kept beside the controller's mode.
    void SetCameraMode(u32 mode, f32 blend)
    {
        m_memory.cameraMode = mode, m_memory.cameraBlend = blend;
        if (m_camera) m_camera->SetMode(u8(mode), blend);
    }

    InputMemory m_memory = {};
    // The wall-clock time of the last face step; faces never feed the state.
    u32 m_faceStamp = 0;
    bool m_faceStamped = false;
    InputHandler m_inputHandlers[kActionCount] = {};
    u32 m_network = 0;               // a network battle: remote fighters take no pad
    // A packet applied before this frame's update (pending) or for the
    // frame being updated (applied); a frame without one clears both, so no
    // earlier frame's packet stands for the state.
    InputPacket m_appliedPacket = {};
    bool m_packetPending = false, m_packetApplied = false;
    u32 m_padInput = 0;              // the pad drives this fighter
    u32 m_vibrationCapability = 0;   // copied from the pad each frame
};

// CCharacter: the playable battle character. It owns the InputState that
// every input source writes into (packets from pads, replays and peers; the
// computer opponent's own raw words), the input handler table, and the
// per-frame update the battle scene calls.
#pragma once

#include "engine/platform/Input.h"
#include "game/battle/character/CharacterAction.h"
#include "game/battle/character/InputPacket.h"

class CCharacter : public CCharacterAction {
    ORV_VALUE_CLASS(CCharacter)

public:
    using InputHandler = u32 (CCharacter::*)(u32 argument);

    // Takes both over; input state and handler table zeroed.
    CCharacter(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr);
    CCharacter(const CCharacter& other) = default;

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
    virtual void InitInputTable() {}

    // -- Input packets. --
    static u32 BuildInputPacket(InputPacket* packet, const InputState& state);
    u32 GetInputPacket(InputPacket* packet) const { return BuildInputPacket(packet, m_input); }
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
    InputState m_input;
    InputHandler m_inputHandlers[kActionCount] = {};
    u32 m_network = 0;               // a network battle: remote fighters take no pad
    u32 m_padInput = 0;              // the pad drives this fighter
    u32 m_vibrationCapability = 0;   // copied from the pad each frame
};

#include "game/battle/character/Character.h"

#include <cstring>

CCharacter::CCharacter(CCharacterParameter* parameter, CTensionFile* tension) : CCharacterAction(parameter, tension)
{
    std::memset(&m_input, 0, sizeof m_input);
}

i32 CCharacter::Create(const CharacterCreateRecord* entry)
{
    TakeCreationValues(entry);
    if (entry) {
        m_network = entry->network;
        m_padInput = entry->padInput;
    }
    // Fixed order: later steps read what earlier ones built; a step that
    // fails leaves its part empty and the next runs all the same.
    CreateAnimationController();
    CreateCameraController();
    CreateWeapons(entry);
    CreateBarrages(entry);
    CreateSpellCards(entry);
    ApplySkills(entry);
    BindBones();
    StartCameraFrontEffect();
    CreateAfterimages();
    CreateTrails();
    InitInputTable();
    InitActionTable();
    if (m_parameter) {
        const CharacterValues& v = m_parameter->values;
        m_status.hp = v.general.hp;
        m_status.exactHp = m_status.shownHp = f32(m_status.hp);
        m_status.ammunition = v.shots[m_status.selectedBarrage].ammunition;
        m_status.timers.guardReload = v.guard.reload;   // the first guard is there at once
        m_status.sparkGauge = v.spark.defaultSparkGauge;
    }
    m_status.shownWeapon = -1;
    return 1;
}

i32 CCharacter::Update(u32) { return 1; }

u32 CCharacter::OnMessage(u32, CMessageObject*, intptr_t) { return 0; }

void CCharacter::HashState(CStateHash& hash) const
{
    CCharacterBase::HashState(hash);
    const InputState& s = m_input;
    hash.F32(s.stick1Angle).F32(s.stick1Magnitude).F32(s.stick1X).F32(s.stick1Y);
    for (const u32* words : {s.previousRaw, s.raw, s.triggered, s.released, s.held, s.holdTime, s.free, s.freeTime})
        hash.Bytes(words, sizeof s.raw);
}

u32 CCharacter::BuildInputPacket(InputPacket* packet, const InputState& state)
{
    if (!packet) return 0;
    std::memset(packet, 0, sizeof *packet);
    for (u32 i = 0; i < kInputPacketBitCount; ++i) {
        if (state.IsHeld(u32(kInputPacketCodes[i]))) packet->buttons[i / 8] |= u8(1u << (i % 8));
    }
    // The state keeps its sticks within [-1, 1]; one that does not must not
    // wrap the byte round.
    auto axis = [](f32 value) -> i8 {
        const double scaled = double(value) * 100.0;
        if (!(scaled == scaled)) return 0;
        if (scaled >= 100.0) return 100;
        if (scaled <= -100.0) return -100;
        return i8(scaled);
    };
    packet->stickX = axis(state.stick1X);
    packet->stickY = axis(state.stick1Y);
    return 1;
}

u32 CCharacter::ShiftInput()
{
    std::memcpy(m_input.previousRaw, m_input.raw, sizeof m_input.raw);
    std::memset(m_input.raw, 0, sizeof m_input.raw);
    return 1;
}

u32 CCharacter::ApplyInputPacket(const InputPacket* packet)
{
    if (!packet) return 0;
    ShiftInput();
    for (u32 i = 0; i < kInputPacketBitCount; ++i) m_input.raw[u32(kInputPacketCodes[i])] = packet->Bit(i);
    m_input.stick1X = f32(double(packet->stickX) * double(0.01f));
    m_input.stick1Y = f32(double(packet->stickY) * double(0.01f));
    return RefreshInput();
}

u32 CCharacter::RefreshInput()
{
    UpdateInputSticks(&m_input);
    UpdateInputButtons(&m_input);
    for (u32 code : {14u, 15u, 12u, 13u}) {
        if (m_input.held[code]) {
            m_status.moveAngle = m_input.stick1Angle;
            break;
        }
    }
    return 1;
}

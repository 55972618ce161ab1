#include "game/battle/character/PlayerCharacter.h"

i32 CPlayerCharacter::Update(u32 argument)
{
    CInput* input = nullptr;
    SendObjectMessage(kMsgInputManager, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&input));
    if (input) {
        u32 localSlot = 0;
        SendObjectMessage(kMsgLocalEntry, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&localSlot));
        // A remote fighter's packets come through the lockstep; the battle
        // names the local fighter by its set-up entry.
        if (!m_network || m_status.entryIndex == localSlot) {
            if (InputState* pad = input->GetInputState(m_network ? 0 : m_status.participantSlot)) {
                if (m_padInput) {
                    InputPacket packet;
                    BuildInputPacket(&packet, *pad);
                    ApplyInputPacket(&packet);
                }
                m_vibrationCapability = pad->sticksValid;
                m_input.vibrationDecay = pad->vibrationDecay;
                pad->vibrationLeft = m_input.vibrationLeft;
                pad->vibrationRight = m_input.vibrationRight;
            }
        }
    }
    return CCharacter::Update(argument);
}

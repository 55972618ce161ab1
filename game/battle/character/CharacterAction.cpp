#include "game/battle/character/CharacterAction.h"

u32 CCharacterAction::SetAction(u32 action)
{
    if (action >= kActionCount) return 0;
    m_status.action = action;
    return 1;
}

u32 CCharacterAction::SetNextAction(u32 action)
{
    if (action >= kActionCount) return 0;
    m_status.queuedAction = action;
    return 1;
}

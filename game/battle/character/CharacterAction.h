// CCharacterAction: the action state machine of a fighter. It adds the
// table of the 27 action handlers to the character base; the current and
// queued action ids and every value the actions use live in the base's
// character block.
#pragma once

#include "game/battle/character/CharacterBase.h"

enum CharacterActionId : u32 {
    kActionNeutral, kActionTedium, kActionShortAttack, kActionSlideAttack, kActionMirageSlideAttack, kActionShoot,
    kActionSlideShoot, kActionDoubleSlideShoot, kActionTripleSlideShoot, kActionSpellCard, kActionSlideSpellCard,
    kActionDoubleSlideSpellCard, kActionTripleSlideSpellCard, kActionGuard, kActionHitReaction, kActionDash,
    kActionSlide, kActionDoubleSlide, kActionTripleSlide, kActionMirageSlide, kActionSpark, kActionShootOut,
    kActionDefeated, kActionUnblocked, kActionResult, kActionFrozen, kActionBound,
};
inline constexpr u32 kActionCount = 27;

class CCharacterAction : public CCharacterBase {
    ORV_ABSTRACT_CLASS(CCharacterAction)

public:
    // Runs the current action; non-zero when it has finished this frame.
    using ActionHandler = u32 (CCharacterAction::*)(u32 argument);

    CCharacterAction(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr)
        : CCharacterBase(parameter, tension)
    {
    }
    CCharacterAction(const CCharacterAction& other) = default;

    i32 AutoSlide(u32) override { return 0; }
    i32 TakeHit(CObjectDivision*, u32, intptr_t) override { return 0; }
    // An id from 27 on is refused (0) and changes nothing.
    u32 SetAction(u32 action) override;
    u32 SetNextAction(u32 action) override;
    // Installs the handlers; the table starts empty.
    virtual void InitActionTable() {}

    ActionHandler GetActionHandler(u32 action) const { return action < kActionCount ? m_actions[action] : nullptr; }

protected:
    ActionHandler m_actions[kActionCount] = {};
};

// What a fighter reads of its spell cards while they run. CSpellCard
// implements it beside CObjectDivision; the fighter finds it on the objects
// its factory built (a card without it reads as idle, empty and unlocked).
#pragma once

#include "engine/core/Types.h"

class CObjectDivision;

class ISpellCardState {
public:
    virtual ~ISpellCardState() = default;
    virtual u16 GetStock() const = 0;
    virtual f32 GetClock() const = 0;
    // Seconds of reload since the stock ran out.
    virtual f32 GetReloadTimer() const = 0;
    virtual u32 GetCounter() const = 0;
    // The climax card's lock flag.
    virtual u32 IsLocked() const = 0;
    // The flag that lets the card's user move.
    virtual u32 LetsUserMove() const = 0;
    // The card's own phase flag (guarding cards guard while it is clear).
    virtual u32 IsPhaseSet() const = 0;
    // Not started, or done.
    virtual u32 IsIdle() const = 0;
    // Empties the card's six attached-object slots (releasing what they
    // hold) and clears its active flag.
    virtual void ClearAttachedObjects() = 0;
};

// What the attack actions ask of a spell card beside its running state:
// take a stock, start it for its user, run it a frame, the motion of its
// current part, the refill its user's timer pass runs every frame, and the
// next short attack.
class ISpellCardDriver {
public:
    virtual ~ISpellCardDriver() = default;
    // One stock less, the reload clock back to 0.
    virtual void UseStock() = 0;
    virtual i32 ActivateCard(CObjectDivision* user) = 0;
    // Non-zero once the card is done.
    virtual i32 UpdateCard(CObjectDivision* user) = 0;
    // The motion slot of the card's current part; -1 none.
    virtual i32 GetCardMotion() const = 0;
    // Refills an empty, idle card once its reload time has passed.
    virtual void UpdateCardReload(CObjectDivision* user) = 0;
    // Full at once: the stock at AMMUNITION; with reloadClock, the reload
    // clock at RELOAD too (the tension cards, shown by their clock).
    virtual void RefillCard(bool reloadClock) = 0;
    // A guard counter moves a close-attack card on to its next short attack.
    virtual void NextCardShortAttack() = 0;
    // The climax card's climax phase: approach, event camera, its levels.
    virtual i32 Start(CObjectDivision* user) = 0;
    // The next step, with the step's effect at the user.
    virtual void AdvanceStepWithEffect(CObjectDivision* user) = 0;
    // Stands at the user (SPELLSETPOS turned by its rotation), every frame.
    virtual void PlaceAtOwner(CObjectDivision* user) = 0;
    // Placed, and the event camera of the user's side follows it.
    virtual void AlignWithOwner(CObjectDivision* user) = 0;
};

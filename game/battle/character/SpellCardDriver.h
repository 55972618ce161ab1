// What the attack actions ask of a spell card beside its running state:
// take a stock, start it for its user, run it a frame, and the motion of
// its current part. The battle objects' card implements it; tests use a
// double.
#pragma once

#include "engine/core/Types.h"

class CObjectDivision;

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
};

// What the player console's weapon panel reads of a fighter: per action kind
// a gauge fill, the uses left and the capacity. Reading only.
#include "game/battle/character/CharacterBase.h"

#include "game/battle/object/SpellCardSetting.h"

namespace {

constexpr u32 kExceptionCard = 4, kHiTensionCard = 5, kClimaxCard = 6;

// part / whole; a whole of 0 (or less) is full at once.
f32 Share(f32 part, f32 whole) { return whole > 0.0f ? part / whole : 1.0f; }

f32 Clamped(f32 fill)
{
    if (!(fill > 0.0f)) return 0.0f;   // NaN too
    return fill < 1.0f ? fill : 1.0f;
}

}  // namespace

u32 CCharacterBase::GetSelectedSet() const { return m_status.selectedBarrage < 2 ? m_status.selectedBarrage : 0; }

const CSpellCardValues* CCharacterBase::GetCardValues(u32 card) const
{
    return m_parameter && card < kSpellSlotCount ? &m_parameter->GetSpellCard(card).GetValues() : nullptr;
}

// A guard of no length has nothing left to give.
f32 CCharacterBase::GetGuardFill() const
{
    const f32 time = m_parameter ? m_parameter->values.guard.guardTime : 0.0f;
    return time > 0.0f ? (time - m_status.guardGauge) / time : 0.0f;
}

f32 CCharacterBase::GetCloseAttackFill() const
{
    if (!m_parameter) return 0.0f;
    const u32 i = m_status.comboIndex < kShortAttackCount ? m_status.comboIndex : 0;
    return Share(m_status.timers.shortAttackCooldown, m_parameter->values.shortAttacks[i].reload);
}

f32 CCharacterBase::GetShotFill() const
{
    if (!m_parameter) return 0.0f;
    const auto& shot = m_parameter->values.shots[GetSelectedSet()];
    // The reload is the one the last shot stored (a charged shot's own), so
    // the gauge fills over the time the magazine really takes. Without one
    // the shot is always ready, as a card without one is.
    const f32 reload = m_status.timers.ammoReloadDuration;
    if (!shot.ammunition || !(reload > 0.0f)) return 1.0f;
    if (m_status.ammunition > 0) return f32(m_status.ammunition) / f32(shot.ammunition);
    return Share(m_status.timers.ammoReload, reload);
}

f32 CCharacterBase::GetChargedShotFill() const
{
    if (!m_parameter) return 0.0f;
    return Share(m_status.timers.shotCharge, m_parameter->values.shots[GetSelectedSet() + 2].chargeTime);
}

// Stock over AMMUNITION while the card has stock, else its reload so far.
f32 CCharacterBase::GetCardFill(u32 card) const
{
    const CSpellCardValues* v = GetCardValues(card);
    if (!v) return 0.0f;
    if (!v->ammunition || !(v->reload > 0.0f)) return 1.0f;
    const ISpellCardState* state = GetSpellCardState(card);
    if (!state) return 0.0f;
    if (state->GetStock() > 0) return f32(state->GetStock()) / f32(v->ammunition);
    return state->GetReloadTimer() / v->reload;
}

f32 CCharacterBase::GetSpellFill() const { return GetCardFill(GetSelectedSet()); }

f32 CCharacterBase::GetChargedSpellFill() const
{
    const CSpellCardValues* v = GetCardValues(GetSelectedSet() + 2);
    return v ? Share(m_status.timers.spellCharge, v->chargeTime) : 0.0f;
}

f32 CCharacterBase::GetExceptionFill() const { return GetCardFill(kExceptionCard); }

// The tension cards show their reload alone.
f32 CCharacterBase::GetTensionCardFill(u32 card) const
{
    const CSpellCardValues* v = GetCardValues(card);
    const ISpellCardState* state = GetSpellCardState(card);
    if (!v) return 0.0f;
    if (!(v->reload > 0.0f)) return 1.0f;
    return state ? state->GetReloadTimer() / v->reload : 0.0f;
}

f32 CCharacterBase::GetHiTensionFill() const { return GetTensionCardFill(kHiTensionCard); }
f32 CCharacterBase::GetClimaxFill() const { return GetTensionCardFill(kClimaxCard); }

f32 CCharacterBase::GetActionGauge(u32 kind) const
{
    using Fill = f32 (CCharacterBase::*)() const;
    static constexpr Fill kFills[kActionKindCount] = {
        &CCharacterBase::GetGuardFill,      &CCharacterBase::GetCloseAttackFill, &CCharacterBase::GetShotFill,
        &CCharacterBase::GetChargedShotFill, &CCharacterBase::GetSpellFill,      &CCharacterBase::GetChargedSpellFill,
        &CCharacterBase::GetExceptionFill,  &CCharacterBase::GetHiTensionFill,   &CCharacterBase::GetClimaxFill,
    };
    return kind < kActionKindCount ? Clamped((this->*kFills[kind])()) : 0.0f;
}

u32 CCharacterBase::GetActionCount(u32 kind) const
{
    switch (kind) {
    case 2:
    case 3: return m_status.ammunition;
    case 4:
    case 5: return GetSpellStock(GetSelectedSet());
    case 6: return GetSpellStock(kExceptionCard);
    default: return 0;
    }
}

u32 CCharacterBase::GetActionCapacity(u32 kind) const
{
    if (!m_parameter) return 0;
    const CSpellCardValues* card = nullptr;
    switch (kind) {
    case 2:
    case 3: return m_parameter->values.shots[GetSelectedSet()].ammunition;
    case 4:
    case 5: card = GetCardValues(GetSelectedSet()); break;
    case 6: card = GetCardValues(kExceptionCard); break;
    default: return 0;
    }
    return card ? card->ammunition : 0;
}

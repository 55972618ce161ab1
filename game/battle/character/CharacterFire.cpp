#include "game/battle/character/CharacterAction.h"

#include "game/battle/object/Barrage.h"
#include "game/battle/object/Weapon.h"

namespace {

inline constexpr u32 kShootOutSlot = 4;
inline constexpr i32 kWeaponFired = 4;

// 3 for the shoot-out, 2 for the charged slots, 1 otherwise.
u32 PowerLevel(u32 slot)
{
    if (slot == kShootOutSlot) return 3;
    return slot == 2 || slot == 3 ? 2 : 1;
}

}  // namespace

const ShotRecord* CCharacterBase::GetShotRecord() const
{
    const u32 slot = m_status.barrageSlot;
    return m_parameter && slot < kShotSlotCount ? &m_parameter->values.shots[slot] : nullptr;
}

CObjectDivision* CCharacterBase::GetShotOrigin()
{
    const ShotRecord* r = GetShotRecord();
    if (r && r->shootObjectType == kWeaponFired && r->weaponNo >= 0 && HasWeapon(u32(r->weaponNo)))
        return static_cast<CObjectDivision*>(m_weapons.GetAt(u32(r->weaponNo)));
    return this;
}

CBarrage* CCharacterBase::GetCurrentBarrage() const
{
    const u32 slot = m_status.barrageSlot;
    return slot < m_barrages.size() ? dynamic_cast<CBarrage*>(m_barrages[slot].get()) : nullptr;
}

ShooterRecord CCharacterBase::MakeShooterRecord()
{
    ShooterRecord r;
    const u32 level = PowerLevel(m_status.barrageSlot);
    r.factor[0] = GetAttackPowerFactor(level);
    r.factor[1] = GetBulletHomingFactor();
    r.factor[4] = GetBulletSpeedFactor();
    r.attackKind = level;
    r.shooterGroup = m_status.team;
    r.soundVolume = i32(m_status.seVolume);
    r.shooter = this;
    r.firingObject = GetShotOrigin();
    r.target = GetLockedTarget();
    return r;
}

u32 CCharacterAction::FireStep(u32)
{
    CharacterStatus& s = m_status;
    CBarrage* barrage = GetCurrentBarrage();
    if (barrage && !barrage->IsFinished()) {
        const ShooterRecord record = MakeShooterRecord();
        barrage->Update(&record);
        return 0;
    }
    const ShotRecord* r = GetShotRecord();
    if (!r) return 1;
    if (s.timers.turnShootClock >= r->backShootWait) s.turnShoot = 0;
    // Nothing holds a finished shot beyond its WAIT: once that has passed the
    // action ends, and an action queued meanwhile (the result) can follow.
    if (s.timers.sinceBarrageFinished >= r->wait) {
        ResumeAnimation(2, 0.1f);
        return 1;
    }
    return 0;
}

ISpellCardDriver* CCharacterAction::GetSpellCardDriver(u32 s)
{
    return s < m_spellCards.size() ? dynamic_cast<ISpellCardDriver*>(m_spellCards[s].get()) : nullptr;
}

u32 CCharacterAction::StartSpecialSpell(u32 slot, u32 allowed, u32& uses)
{
    CharacterStatus& s = m_status;
    if (!allowed) return 0;
    s.spellSlot = slot;
    s.spellStep = 0;
    s.spellWord = s.creationWord;
    if (ISpellCardDriver* card = GetSpellCardDriver(slot)) {
        card->UseStock();
        card->ActivateCard(this);
    }
    ++uses;
    if (slot == 6 && s.finale) ++s.finaleClimaxes;
    SetAction(kActionSpellCard);
    return 1;
}

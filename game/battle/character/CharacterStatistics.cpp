// The numbered battle statistics: one field of the character block each.
#include "game/battle/character/CharacterBase.h"
#include "game/battle/character/StatisticCounters.h"

namespace {

// Damage sums are signed (a negative hit heals); a statistic never is.
u32 NotBelowZero(i32 v) { return v > 0 ? u32(v) : 0; }

}  // namespace

u32 CCharacterBase::GetStatisticCounter(u32 n) const
{
    const CharacterStatus& s = m_status;
    const CharacterMoveHitState& m = s.moveHit;
    if (n >= kStatKillsByKind && n < kStatKillsByKind + 9) return m.killCounts[n - kStatKillsByKind];
    switch (n) {
    case kStatKills: return m.kills;
    case kStatDamageDealt: return NotBelowZero(m.damageDealt);
    case kStatDamageTaken: return NotBelowZero(m.damageTaken);
    case kStatDefeats: return m.defeats;
    case kStatDefeatTime: return m.defeatAnswer;
    // The kind field starts at 0, which is also the close-attack kind.
    case kStatLastKillKind: return m.kills ? m.lastKillKind : kNoKillKind;
    case kStatDashes: return m.dashes;
    case kStatGuards: return m.guards;
    case kStatGuardedHits: return m_meeting.guardedHits;
    case kStatJustGuards: return m_meeting.guardCounters;
    case kStatSparks: return m.sparks;
    case kStatSlides: return m.slides;
    case kStatDoubleSlides: return m.doubleSlides;
    case kStatMirageSlides: return m.mirageSlides;
    case kStatShootOuts: return m.shootOuts;
    case kStatShootOutWins: return m.escapes;
    case kStatAttacks: return m.attacks;
    case kStatShots: return m.shots;
    case kStatChargedShots: return m.chargedShots;
    case kStatDoubleAttacks: return m.doubleAttacks;
    case kStatSpinsDealt: return m.spinsCaused;
    case kStatRollsDealt: return m.rollsCaused;
    case kStatDownsDealt: return m.downsCaused;
    case kStatSpells: return m.spells;
    case kStatChargedSpells: return m.chargedSpells;
    case kStatExceptionSpells: return s.exceptionUses;
    case kStatHiTensionSpells: return s.hiTensionUses;
    case kStatClimaxSpells: return s.climaxUses;
    case kStatFinaleClimaxes: return s.finaleClimaxes;
    case kStatClimaxHits: return m.climaxHits;
    case kStatBlockedAttacks: return m_meeting.blockedAttacks;
    case kStatDoubleAttacksSuffered: return m.doubleAttacksReceived;
    case kStatSpinsSuffered: return m.spins;
    case kStatRollsSuffered: return m.rolls;
    case kStatDownsSuffered: return m.downs;
    default: return 0;
    }
}

// The numbered battle statistics of a fighter. The play record sums 0..3,
// a survival run carries 0..2, and the adventure conditions name the others
// by number, so the numbers are fixed; each reads one field of the
// character block (CCharacterBase::GetStatisticCounter).
//
// "Dealt" counts what this fighter did to an opponent, "suffered" what an
// opponent did to it: the adventure goals ask for the first ("land three
// double attacks") and forbid the second ("win without being spun").
#pragma once

#include "engine/core/Types.h"

enum StatisticCounter : u32 {
    kStatKills = 0,              // opponents defeated
    kStatDamageDealt = 1,
    kStatDamageTaken = 2,
    kStatDefeats = 3,            // times this fighter was defeated
    kStatDefeatTime = 4,         // remaining battle seconds when defeated
    kStatLastKillKind = 5,       // attack kind of the last kill; kNoKillKind without one
    kStatDashes = 6,
    kStatGuards = 7,
    kStatGuardedHits = 8,
    kStatJustGuards = 9,         // guard counters: hits met inside the just-guard window
    kStatSparks = 10,
    kStatSlides = 11,
    kStatDoubleSlides = 12,
    kStatMirageSlides = 13,
    kStatShootOuts = 14,
    kStatShootOutWins = 15,
    kStatAttacks = 16,           // close and slide attacks started
    kStatShots = 17,
    kStatChargedShots = 18,
    kStatDoubleAttacks = 19,
    kStatSpinsDealt = 20,
    kStatRollsDealt = 21,
    kStatDownsDealt = 22,
    kStatSpells = 23,            // spell cards A and B, charged or not
    kStatChargedSpells = 24,
    kStatExceptionSpells = 25,
    kStatHiTensionSpells = 26,
    kStatClimaxSpells = 27,
    kStatFinaleClimaxes = 28,
    kStatClimaxHits = 29,        // hits the climax card landed
    kStatKillsByKind = 30,       // 30..38: kill counters A..I
    kStatSpellKills = 33,        // D: spell cards
    kStatChargedSpellKills = 34, // E
    kStatExceptionKills = 35,    // F
    kStatHiTensionKills = 36,    // G
    kStatClimaxKills = 37,       // H
    kStatFinaleKills = 38,       // I
    kStatBlockedAttacks = 39,    // own attacks stopped by a guard
    kStatDoubleAttacksSuffered = 40,
    kStatSpinsSuffered = 41,
    kStatRollsSuffered = 42,
    kStatDownsSuffered = 43,
};

inline constexpr u32 kStatisticCounterCount = 44;
// Counter 5 of a fighter that defeated nobody: no attack kind matches it.
inline constexpr u32 kNoKillKind = 0xFFFFFFFFu;

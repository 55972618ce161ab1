#include "game/battle/object/SpellCardSetting.h"

#include "game/data/SettingLoad.h"
#include "game/battle/object/SettingKeyTable.h"

#include <cfloat>
#include <cstddef>
#include <cstdio>

namespace {

using K = SettingKeyKind;
#define F(field) offsetof(CSpellCardValues, field)

const SettingKeyRow kRows[] = {
    {"SPELLSETPOS", K::kVector, F(spellSetPos), 0, 0, 0},
    {"SPELLTYPE", K::kInt, F(spellType), 0, 0, 0},
    {"EFFECTDIVISIONTYPE", K::kInt, F(effectDivisionType), 0, 0, 0},
    {"CHARACTERTYPE", K::kInt, F(characterType), 0, 0, 0},
    {"BINDTYPE", K::kInt, F(bindType), 0, 0, 0},
    {"WEAPONNO", K::kInt, F(weaponNo), -1, 0, 0},
    {"HIDDENWEAPONNO", K::kInt, F(hiddenWeaponNo), -1, 0, 0},
    {"MOVINGFLG", K::kInt, F(movingFlg), 1, 0, 0},
    {"GAZEFLG", K::kInt, F(gazeFlg), 0, 0, 0},
    {"ROTATIONFLG", K::kInt, F(rotationFlg), 0, 0, 0},
    {"BONEROTATIONFLG", K::kInt, F(boneRotationFlg), 1, 0, 0},
    {"BLACKOUTFLG", K::kInt, F(blackoutFlg), 0, 0, 0},
    {"SCREENSHOTFLG", K::kInt, F(screenShotFlg), 0, 0, 0},
    {"DIRECTMOVE", K::kInt, F(directMove), 0, 0, 0},
    {"BLACKOUTALPHA", K::kFloat, F(blackoutAlpha), 1, 0, 0},
    {"ROTATIONVELOCITY", K::kFloat, F(rotationVelocity), 60, 0, 0},
    {"AMMUNITION", K::kShort, F(ammunition), 999, 0, 0},
    {"WAIT", K::kFloat, F(wait), 0, 0, 0},
    {"SHOOTWAIT", K::kFloat, F(shootWait), 0, 0, 0},
    {"CAMERACHANGETIME", K::kFloat, F(cameraChangeTime), 1, 0, 0},
    {"CAMERAENDTIME", K::kFloat, F(cameraEndTime), 0, 0, 0},
    {"CHARGETIME", K::kFloat, F(chargeTime), 1, 0, 0},
    {"GAZETIME", K::kFloat, F(gazeTime), 0, 0, 0},
    {"RELOAD", K::kFloat, F(reload), 1, 0, 0},
    {"WEAPONSHOWSTARTTIME", K::kFloat, F(weaponShowStartTime), 0, 0, 0},
    {"WEAPONSHOWTIME", K::kFloat, F(weaponShowTime), 1, 0, 0},
    {"MOVINGFALSESTARTTIME", K::kFloat, F(movingFalseStartTime), 0, 0, 0},
    {"MOVINGFALSETIME", K::kFloat, F(movingFalseTime), 0, 0, 0},
    {"INVINCIBILITYTIME", K::kFloat, F(invincibilityTime), 0, 0, 0},
    {"BUFFERTIME", K::kFloat, F(bufferTime), 0, 0, 0},
    {"FIRSTVOICE", K::kInt, F(firstVoice), 11, 0, 0},
    {"VOICECOUNT", K::kInt, F(voiceCount), 1, 0, 0},
    {"CLIMAXSHOOTNO", K::kInt, F(climaxShootNo), 0, 0, 0},
    {"CLIMAXSHOOTLOOPNO", K::kInt, F(climaxShootLoopNo), 0, 0, 0},
    {"FINALESHOOTNO", K::kInt, F(finaleShootNo), 0, 0, 0},
    {"FINALESHOOTLOOPNO", K::kInt, F(finaleShootLoopNo), 0, 0, 0},
    {"EXPLOSIONNO", K::kInt, F(explosionNo), 0, 0, 0},
    {"ENDNO", K::kInt, F(endNo), 0, 0, 0},
    {"FINALESTARTTIME", K::kFloat, F(finaleStartTime), 0, 0, 0},
    {"SHOOTLENGTH", K::kFloat, F(shootLength), 15, 0, 0},
    {"SHORTATTACKSTR", K::kInt, F(shortAttackStr), 10, 0, 0},
    {"SHORTATTACKPOW", K::kFloat, F(shortAttackPow), 5, 0, 0},
    {"SHORTATTACKLIMIT", K::kFloat, F(shortAttackLimit), 0, 0, 0},
    {"SHORTATTACKLASTLIMIT", K::kFloat, F(shortAttackLastLimit), 0, 0, 0},
    {"SHORTATTACKGAUGE", K::kFloat, F(shortAttackGauge), 0, 0, 0},
    {"SHORTATTACKLASTGAUGE", K::kFloat, F(shortAttackLastGauge), 0, 0, 0},
    {"SHORTATTACKCAUSEGAUGE", K::kFloat, F(shortAttackCauseGauge), 0, 0, 0},
    {"SHORTATTACKLASTCAUSEGAUGE", K::kFloat, F(shortAttackLastCauseGauge), 0, 0, 0},
    {"SHORTATTACKMPSCRAPE", K::kFloat, F(shortAttackMpScrape), 0, 0, 0},
    {"SHORTATTACKDAMAGETYPE", K::kInt, F(shortAttackDamageType), 1, 0, 0},
    {"SHORTATTACKLASTDAMAGETYPE", K::kInt, F(shortAttackLastDamageType), 8, 0, 0},
    {"SHORTATTACKHITTYPE", K::kInt, F(shortAttackHitType), 0, 0, 0},
    {"SHORTATTACKBUFFERTYPE", K::kInt, F(shortAttackBufferType), 0, 0, 0},
    {"SHORTATTACKVELOCITY", K::kFloat, F(shortAttackVelocity), 1, 0, 0},
    {"SHORTATTACKACCELERATION", K::kFloat, F(shortAttackAcceleration), 1, 0, 0},
    {"SHORTATTACKDECELERATION", K::kFloat, F(shortAttackDeceleration), 1, 0, 0},
    {"SHORTATTACKROTATIONVELOCITY", K::kFloat, F(shortAttackRotationVelocity), 360, 0, 0},
    {"SHORTATTACKRADIUS", K::kFloat, F(shortAttackRadius), FLT_MAX, 0, 0},
    {"SHORTATTACKSTART", K::kFloat, F(shortAttackStart), 0, 0, 0},
    {"SHORTATTACKEND", K::kFloat, F(shortAttackEnd), 0, 0, 0},
    {"SHORTATTACKFAST", K::kFloat, F(shortAttackFast), 1, 0, 0},
    {"SHORTATTACKREVERBE", K::kFloat, F(shortAttackReverbe), 1, 0, 0},
    {"SHORTATTACKGUARDSTIFFEN", K::kFloat, F(shortAttackGuardStiffen), 0, 0, 0},
    {"SHORTATTACKWAIT", K::kFloat, F(shortAttackWait), 0, 0, 0},
    {"SHORTATTACKSETNO", K::kInt, F(shortAttackSetNo), 0, 0, 0},
    {"SHORTATTACKCOUNT", K::kInt, F(shortAttackCount), 1, 0, 0},
    {"SHORTATTACKGUARD", K::kInt, F(shortAttackGuard), 1, 0, 0},
    {"BERSERKSTRREVISE", K::kFloat, F(berserkStrRevise), 1, 0, 0},
    {"BERSERKDAMAGEREVISE", K::kFloat, F(berserkDamageRevise), 1, 0, 0},
    {"ARMORSTRREVISE", K::kFloat, F(armorStrRevise), 1, 0, 0},
    {"ARMORDAMAGEREVISE", K::kFloat, F(armorDamageRevise), 1, 0, 0},
    {"ARMORSPARKGUAGERATE", K::kFloat, F(armorSparkGuageRate), 1, 0, 0},
    {"TELEPORTTYPE", K::kInt, F(teleportType), 0, 0, 0},
    {"TELEPORTLIMIT", K::kFloat, F(teleportLimit), 25, 0, 0},
    {"TELEPORTLENGTH", K::kFloat, F(teleportLength), 0.01f, 0, 0},
    {"ALPHATIME", K::kFloat, F(alphaTime), 0, 0, 0},
    {"ALPHASPEED", K::kFloat, F(alphaSpeed), 0, 0, 0},
    {"ALPHASTARTTIME", K::kFloat, F(alphaStartTime), 0, 0, 0},
    {"ALPHASTARTMIN", K::kFloat, F(alphaStartMin), 0, 0, 0},
};
#undef F
static_assert(std::size(kRows) + 3 == 82);

const char* const kEffectKeys[CSpellCardSetting::kEffectListCount] = {
    "EFCSPELLSET",       "EFCSPELLFIRE",           "EFCSPELLSHOOTSET",         "EFCSPELLSHOOTSETLOOP",
    "EFCSPELLSHOOTFIRE", "EFCSPELLSHOOTFIREFLASH", "EFCSPELLSHOOTMAGICSQUARE", "EFCSPELLHITATTACK",
    "EFCSPELLEND",       "EFCSPELLFIELD",
};

const char* const kAnimations[kSpellStepCount] = {
    "SPELLANIMATIONSET", "SPELLANIMATIONSHOOTSTART", "SPELLANIMATIONSHOOT", "SPELLANIMATION01",
    "SPELLANIMATION02",  "SPELLANIMATION03",         "SPELLANIMATION04",    "SPELLANIMATION05",
    "SPELLANIMATION06",  "SPELLANIMATION07",         "SPELLANIMATION08",
};

bool IsStep(i32 step) { return step >= 0 && step < kSpellStepCount; }

}  // namespace

CSpellCardSetting::~CSpellCardSetting() { CSpellCardSetting::Clear(); }

i32 CSpellCardSetting::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    const ptrdiff_t block = OffsetOf(&m_values);
    i32 ok = RegisterKeyRows(kRows, std::size(kRows), block, ORV_SETTING_BIND);
    for (u32 i = 0; i < kEffectListCount; ++i) ok &= RegisterKey(kEffectKeys[i], &m_effectLists[i], CStringList());
    ok &= RegisterKey("BONESHOOTSETLOOP", &m_bone, CString("Non Name"));
    char key[64];
    for (i32 i = 0; i < kSpellStepCount; ++i) {
        std::snprintf(key, sizeof key, "%sTIME", kAnimations[i]);
        ok &= RegisterKeyAt<f32>(key, 0.0f, block, offsetof(CSpellCardValues, animationTime) + i * sizeof(f32));
    }
    for (i32 i = 0; i < kSpellVoiceCount; ++i) {
        const ptrdiff_t voice = offsetof(CSpellCardValues, voices) + i * sizeof(SpellVoice);
        std::snprintf(key, sizeof key, "SPELLVOICE0%dPLAYNO", i);
        ok &= RegisterKeyAt<i32>(key, 0, block, voice + offsetof(SpellVoice, playNo));
        std::snprintf(key, sizeof key, "SPELLVOICE0%dWAIT", i);
        ok &= RegisterKeyAt<f32>(key, 0.0f, block, voice + offsetof(SpellVoice, wait));
    }
    ok &= RegisterFileKey("LEFTEVENTCAMERA", &m_eventCameras[0], CString("Non Name"));
    ok &= RegisterFileKey("RIGHTEVENTCAMERA", &m_eventCameras[1], CString("Non Name"));
    ok &= RegisterKey("BARRAGE", &m_barrages, CSettingFileList<CPatternListParameter>());
    return ok;
}

bool CSpellCardSetting::IsWithinTables() const
{
    const CSpellCardValues& v = m_values;
    if (v.spellType < 0 || v.spellType >= kSpellTypeCount) return false;
    if (v.characterType < 0 || v.characterType >= kCharacterTypeCount) return false;
    // The voice index runs up to VOICECOUNT; below 0 it never leaves the
    // first voice, as with 0.
    if (v.voiceCount >= kSpellVoiceCount) return false;
    // The card steps to SHORTATTACKSETNO and two on: those are steps.
    if (!IsStep(v.shortAttackSetNo) || !IsStep(v.shortAttackSetNo + 2)) return false;
    // The others are only compared with the current step: a negative one
    // is never reached and loads.
    for (i32 step : {v.climaxShootNo, v.climaxShootLoopNo, v.finaleShootNo, v.finaleShootLoopNo, v.explosionNo,
                     v.endNo}) {
        if (step >= kSpellStepCount) return false;
    }
    for (const SpellVoice& voice : v.voices) {
        if (voice.playNo >= kSpellStepCount) return false;
    }
    return true;
}

i32 CSpellCardSetting::OnLoaded(const CStatusKeyMap* aliasTable)
{
    if (!IsWithinTables()) return 0;
    return m_barrages.Load(aliasTable);
}

i32 CSpellCardSetting::Clear()
{
    m_barrages.Release();
    return CSettingFile::Clear();
}

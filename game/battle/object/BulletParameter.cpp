#include "game/battle/object/BulletParameter.h"

#include "game/data/SettingLoad.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/SettingKeyTable.h"

#include <cstddef>
#include <new>

namespace {

using K = SettingKeyKind;
#define F(field) offsetof(CBulletValues, field)

// Record order, except that STAGEHITFLG goes just before AIMINGFLG.
const SettingKeyRow kRows[] = {
    {"MOVETYPE", K::kInt, F(moveType), 0, 0, 0},
    {"STR", K::kInt, F(str), 1, 0, 0},
    {"DOTSTR", K::kInt, F(dotStr), 0, 0, 0},
    {"POW", K::kFloat, F(pow), 1, 0, 0},
    {"LASTPOW", K::kFloat, F(lastPow), 0, 0, 0},
    {"PER", K::kFloat, F(per), 1, 0, 0},
    {"LIMIT", K::kFloat, F(limit), 0, 0, 0},
    {"LASTLIMIT", K::kFloat, F(lastLimit), 0, 0, 0},
    {"GAUGE", K::kFloat, F(gauge), 0, 0, 0},
    {"LASTGAUGE", K::kFloat, F(lastGauge), 0, 0, 0},
    {"CAUSEGAUGE", K::kFloat, F(causeGauge), 0, 0, 0},
    {"LASTCAUSEGAUGE", K::kFloat, F(lastCauseGauge), 0, 0, 0},
    {"DOTGAUGE", K::kFloat, F(dotGauge), 0, 0, 0},
    {"MPSCRAPE", K::kFloat, F(mpScrape), 0, 0, 0},
    {"GUARDSCRAPE", K::kFloat, F(guardScrape), 0, 0, 0},
    {"DAMAGETYPE", K::kInt, F(damageType), 0, 0, 0},
    {"LASTDAMAGETYPE", K::kInt, F(lastDamageType), 0, 0, 0},
    {"DOTDAMAGETYPE", K::kInt, F(dotDamageType), 0, 0, 0},
    {"HITCOUNT", K::kInt, F(hitCount), 1, 0, 0},
    {"VELOCITY", K::kFloat, F(velocity), 1, 0, 0},
    {"HITTYPE", K::kInt, F(hitType), 0, 0, 0},
    {"HITRELEASETYPE", K::kInt, F(hitReleaseType), 0, 0, 0},
    {"HITEFFECTTYPE", K::kInt, F(hitEffectType), 0, 0, 0},
    {"VIBRATIONTYPE", K::kInt, F(vibrationType), 4, 0, 0},
    {"FREEZETYPE", K::kInt, F(freezeType), 0, 0, 0},
    {"SHOOTOBJECTTYPE", K::kInt, F(shootObjectType), 0, 0, 0},
    {"TRACETYPE", K::kInt, F(traceType), 0, 0, 0},
    {"HITRADIUS", K::kFloat, F(hitRadius), 1, 0, 0},
    {"HITINTERVAL", K::kFloat, F(hitInterval), 0, 0, 0},
    {"HITRADIUSADD", K::kFloat, F(hitRadiusAdd), 0, 0, 0},
    {"HITTHROUGHVEC", K::kVector, F(hitThroughVec), 0, 0, 0},
    {"HITEFFECTINTERVAL", K::kFloat, F(hitEffectInterval), 0, 0, 0},
    {"PURSUITANGLE", K::kFloat, F(pursuitAngle), 1, 0, 0},
    {"PURSUITANGLELIMIT", K::kFloat, F(pursuitAngleLimit), 120, 0, 0},
    {"PURSUITANGLEADD", K::kFloat, F(pursuitAngleAdd), 0, 0, 0},
    {"PURSUITANGLEADDRANGE", K::kFloat, F(pursuitAngleAddRange), 50, 0, 0},
    {"PURSUITANGLEATTENUATION", K::kFloat, F(pursuitAngleAttenuation), 0.7f, 0, 0},
    {"AXISVEC", K::kVector, F(axisVec), 0, 1, 0},
    {"ROTATIONANGLE", K::kVector, F(rotationAngle), 0, 0, 0},
    {"REVOLVEANGLE", K::kVector, F(revolveAngle), 1, 1, 1},
    {"POSITIONOFFSET", K::kVector, F(positionOffset), 0, 0, 0},
    {"BREAKTIME", K::kFloat, F(breakTime), 2, 0, 0},
    {"STOPTIME", K::kFloat, F(stopTime), 1, 0, 0},
    {"FREEZETIME", K::kFloat, F(freezeTime), 0, 0, 0},
    {"SPARKINTERVAL", K::kFloat, F(sparkInterval), 0, 0, 0},
    {"DOTDAMAGEINTERVAL", K::kFloat, F(dotDamageInterval), 0, 0, 0},
    {"HITTIME", K::kFloat, F(hitTime), 0, 0, 0},
    {"CURVECOUNT", K::kInt, F(curveCount), 1, 0, 0},
    {"OPTIONLENGTH", K::kFloat, F(optionLength), 2, 0, 0},
    {"OPTIONVELOCITY", K::kFloat, F(optionVelocity), 1, 0, 0},
    {"OPTIONTIME", K::kFloat, F(optionTime), 10, 0, 0},
    {"OPTIONFITLENGTH", K::kFloat, F(optionFitLength), 0, 0, 0},
    {"RUSHCOUNT", K::kInt, F(rushCount), 3, 0, 0},
    {"RUSHINTERVAL", K::kFloat, F(rushInterval), 1, 0, 0},
    {"SHOOTRANGE", K::kFloat, F(shootRange), 4, 0, 0},
    {"SHOOTMINRANGE", K::kFloat, F(shootMinRange), 1, 0, 0},
    {"SCALEPOW", K::kVector, F(scalePow), 1, 1, 1},
    {"ABSORBINGPOW", K::kFloat, F(absorbingPow), 0, 0, 0},
    {"SUCKINGPOW", K::kFloat, F(suckingPow), 1, 0, 0},
    {"RECOVERYSPEED", K::kFloat, F(recoverySpeed), 60, 0, 0},
    {"SWINGVEC", K::kVector, F(swingVec), 0, 0, 0},
    {"SWINGANGLE", K::kFloat, F(swingAngle), 1, 0, 0},
    {"SWINGSPEED", K::kFloat, F(swingSpeed), 1, 0, 0},
    {"SWINGRANGE", K::kFloat, F(swingRange), 1, 0, 0},
    {"SWINGMINRANGE", K::kFloat, F(swingMinRange), 1, 0, 0},
    {"STAGEHITFLG", K::kInt, F(stageHitFlg), 1, 0, 0},
    {"AIMINGFLG", K::kInt, F(aimingFlg), 0, 0, 0},
    {"ZROTATIONFLG", K::kInt, F(zRotationFlg), 0, 0, 0},
    {"EFFECTROTATIONFLG", K::kInt, F(effectRotationFlg), 1, 0, 0},
    {"BEAMHEADROTATIONFLG", K::kInt, F(beamHeadRotationFlg), 0, 0, 0},
    {"BEAMSTOPFLG", K::kInt, F(beamStopFlg), 0, 0, 0},
    {"CHRACTORHITFLG", K::kInt, F(chractorHitFlg), 1, 0, 0},
    {"CHRACTORHITVECFLG", K::kInt, F(chractorHitVecFlg), 1, 0, 0},
    {"BULLETHITFLG", K::kInt, F(bulletHitFlg), 1, 0, 0},
    {"BULLETTHROUGHFLG", K::kInt, F(bulletThroughFlg), 0, 0, 0},
    {"EVENTENDFLG", K::kInt, F(eventEndFlg), 0, 0, 0},
    {"EVENTDEADENDFLG", K::kInt, F(eventDeadEndFlg), 0, 0, 0},
    {"TRACEHITVECFLG", K::kInt, F(traceHitVecFlg), 0, 0, 0},
    {"SHOOTFLG", K::kInt, F(shootFlg), 0, 0, 0},
    {"SHOOTRESTRICT", K::kInt, F(shootRestrict), 0, 0, 0},
    {"SCREENSHOTFLG", K::kInt, F(screenShotFlg), 0, 0, 0},
    {"HITSTOPTIME", K::kFloat, F(hitStopTime), 0, 0, 0},
    {"HITSTOPDELAYTIME", K::kFloat, F(hitStopDelayTime), 0, 0, 0},
    {"DISORDERTIME", K::kFloat, F(disorderTime), 0, 0, 0},
    {"GUARDSTIFFENTIME", K::kFloat, F(guardStiffenTime), 0, 0, 0},
    {"DAMAGESTIFFENTIME", K::kFloat, F(damageStiffenTime), 0, 0, 0},
    {"EXISTENCETIME", K::kFloat, F(existenceTime), 1, 0, 0},
};
#undef F
static_assert(std::size(kRows) == 87);

const struct {
    const char* key;
    const char* defaultName;
} kEffects[CBulletEffectNames::kCount] = {
    {"EFCSHOOTSET", "Non Name"},
    {"EFCBULLETHIT", "Non Name"},
    {"EFCFIRELOOP", "Non Name"},
    {"EFCBEAMHEAD", "Non Name"},
    {"EFCBEAMFLASH", "Non Name"},
    {"EFCTIMEEND", "Non Name"},
    {"EFCICEFREEZE", "Efc_freeze_01"},
    {"EFCTIMEFREEZE", "Efc_miravo_spell_ex_02"},
    {"EFCICEFREEZEEND", "Efc_freeze_02"},
    {"EFCTIMEFREEZEEND", "Efc_hit_01"},
};

}  // namespace

CBulletParameter::~CBulletParameter() { CBulletParameter::Clear(); }

i32 CBulletParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    const CString none("Non Name");
    i32 ok = RegisterKey("RESOURCE", &m_resource, none);
    ok &= RegisterKey("BONE", &m_bone, none);
    ok &= RegisterKeyRows(kRows, std::size(kRows), OffsetOf(&m_values), ORV_SETTING_BIND);
    for (u32 i = 0; i < CBulletEffectNames::kCount; ++i)
        ok &= RegisterKeyAt<CString>(kEffects[i].key, CString(kEffects[i].defaultName), OffsetOf(&m_effects),
                                     ptrdiff_t(i * sizeof(CString)));
    ok &= RegisterFileKeyAt("BARRAGE", none, OffsetOf(&m_barrage), offsetof(CBarrageLink, name));
    return ok;
}

i32 CBulletParameter::OnLoaded(const CStatusKeyMap* aliasTable)
{
    m_barrage.ReleaseChild();
    // Exactly "Non Name": another case is a file name.
    if (m_barrage.name.GetText() && m_barrage.name.Compare("Non Name") == 0) return 1;
    m_barrage.child = LoadSettingChild<CPatternListParameter>(m_barrage.name.GetText(), aliasTable);
    return m_barrage.child ? 1 : 0;
}

i32 CBulletParameter::Clear()
{
    m_barrage.ReleaseChild();
    return CSettingFile::Clear();
}

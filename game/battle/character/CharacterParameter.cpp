#include "game/battle/character/CharacterParameter.h"

#include "game/data/SettingLoad.h"
#include "host/kernel/Kernel.h"

#include <cstddef>
#include <memory>
#include <cstring>
#include <iterator>
#include <string>

namespace {

enum class Kind : u8 { kInt, kShort, kFloat };

// One numeric key of a record: the key (or the field name after a row
// prefix), its type, the field's offset in the record and its default.
struct Row {
    const char* key;
    Kind kind;
    u16 offset;
    f32 value;
};

#define ROW_I(key, S, field, v) {key, Kind::kInt, u16(offsetof(S, field)), f32(v)}
#define ROW_S(key, S, field, v) {key, Kind::kShort, u16(offsetof(S, field)), f32(v)}
#define ROW_F(key, S, field, v) {key, Kind::kFloat, u16(offsetof(S, field)), f32(v)}

#define G_I(key, field, v) ROW_I(key, CharacterGeneral, field, v)
#define G_F(key, field, v) ROW_F(key, CharacterGeneral, field, v)
// Key order; the members lie in their own order.
const Row kGeneralRows[] = {
    G_I("HP", hp, 1000), G_F("MPRECOVER", mpRecover, 1), G_F("MPMAX", mpMax, 10),
    G_F("MOVEVELOCITY", moveVelocity, 15), G_F("MOVEACCELERATION", moveAcceleration, 30),
    G_F("MOVEDECELERATION", moveDeceleration, 30), G_F("BACKMOVEVELOCITY", backMoveVelocity, 15),
    G_F("DASHDECELERATION", dashDeceleration, 30), G_F("MIRAGESLIDEDECELERATION", mirageSlideDeceleration, 30),
    G_F("EXCESSDECELERATION", excessDeceleration, 30), G_F("DASHVELOCITY", dashVelocity, 3),
    G_F("DASHACCELERATION", dashAcceleration, 3), G_F("TRACEDASHVELOCITY", traceDashVelocity, 3),
    G_F("TRACEDASHACCELERATION", traceDashAcceleration, 3), G_F("BACKDASHVELOCITY", backDashVelocity, 3),
    G_F("SLIDEVELOCITY", slideVelocity, 1), G_F("SLIDEACCELERATION", slideAcceleration, 6),
    G_F("MIRAGESLIDEVELOCITY", mirageSlideVelocity, 3), G_F("MIRAGESLIDEACCELERATION", mirageSlideAcceleration, 3),
    G_F("ROTATIONVELOCITY", rotationVelocity, 180), G_F("BONEROTATIONVELOCITY", boneRotationVelocity, 180),
    G_F("DASHROTATIONVELOCITY", dashRotationVelocity, 60),
    G_F("MIRAGESLIDEROTATIONVELOCITY", mirageSlideRotationVelocity, 60),
    G_F("NECKBONEROTATIONYPLUSLIMIT", neckBoneRotationYPlusLimit, 60),
    G_F("NECKBONEROTATIONYMINUSLIMIT", neckBoneRotationYMinusLimit, 60),
    G_F("NECKBONEROTATIONXLIMIT", neckBoneRotationXLimit, 60),
    G_F("BODYBONEROTATIONYLIMIT", bodyBoneRotationYLimit, 60),
    G_F("BODYBONEROTATIONXLIMIT", bodyBoneRotationXLimit, 60),
    G_F("ARMBONEROTATIONYLIMIT", armBoneRotationYLimit, 60), G_F("ARMBONEROTATIONXLIMIT", armBoneRotationXLimit, 60),
    G_F("BONEROTATIONYLIMIT", boneRotationYLimit, 105), G_F("ESCAPEANGLELIMIT", escapeAngleLimit, 105),
    G_F("DASHSTARTMP", dashStartMp, 3), G_F("DASHKEEPMP", dashKeepMp, 3), G_F("SLIDEMP", slideMp, 2),
    G_F("DOUBLESLIDEMP", doubleSlideMp, 2), G_F("TRIPLESLIDEMP", tripleSlideMp, 2),
    G_F("MIRAGESLIDEMP", mirageSlideMp, 6), G_F("MIRAGESLIDEATTACKMP", mirageSlideAttackMp, 2),
    G_F("MIRAGESLIDECANCELMP", mirageSlideCancelMp, 1), G_F("TEDIUMTIME", tediumTime, 10),
    G_F("RESULTSTARTTIME", resultStartTime, 1), G_F("DASHSTARTTIME", dashStartTime, 1),
    G_F("DASHSTARTMOTIONTIME", dashStartMotionTime, 0.35), G_F("LOCKOFFTIME", lockOffTime, 1),
    G_F("SLIDEINVINCIBILITYTIME", slideInvincibilityTime, 0.3), G_F("SLIDEFASTTIME", slideFastTime, 0.3),
    G_F("SLIDEMAGICSQUAREPLAYINTERVAL", slideMagicSquarePlayInterval, 0.2),
    G_F("DOUBLESLIDEINVINCIBILITYTIME", doubleSlideInvincibilityTime, 0.5),
    G_F("TRIPLESLIDEINVINCIBILITYTIME", tripleSlideInvincibilityTime, 0.5),
    G_F("MIRAGESLIDETIME", mirageSlideTime, 1.5), G_F("MATRIXUPDATETIME", matrixUpdateTime, 0.1),
    G_F("RESERVETIME", reserveTime, 0.25), G_F("CHARGEEFFECTSTARTTIME", chargeEffectStartTime, 0.2),
    G_F("OVERTENTIONSTAGEEFFECTINTERVAL", overTensionStageEffectInterval, 1),
    G_F("RECVWATTACKTIME", recvWAttackTime, 1), G_F("LOCKONVOICETIME", lockOnVoiceTime, 5),
    G_F("TARGEVOICETTIME", targetVoiceTime, 5), G_F("WLOCKONVOICETIME", wLockOnVoiceTime, 5),
    G_F("WATTACKVOICETIME", wAttackVoiceTime, 1), G_F("INDICATEVOICETIME", indicateVoiceTime, 5),
    G_F("MEMBERATTACKVOICETIME", memberAttackVoiceTime, 5), G_F("DAMAGEVOICETIME", damageVoiceTime, 5),
    G_F("SLIDEVOICETIME", slideVoiceTime, 5), G_F("DOUBLESLIDEVOICETIME", doubleSlideVoiceTime, 5),
    G_F("SHOOTVOICETIME", shootVoiceTime, 5), G_I("NORMALATTACKCOUNT", normalAttackCount, 2),
    G_I("HITENSIONATTACKCOUNT", hiTensionAttackCount, 4), G_I("CLIMAXTENSIONATTACKCOUNT", climaxTensionAttackCount, 6),
    G_F("WATTACKREVICE", wAttackRevice, 1), G_F("SLIDEATTACKRADIUS", slideAttackRadius, 10),
};

#define A_I(key, field, v) ROW_I(key, ShortAttackRecord, field, v)
#define A_F(key, field, v) ROW_F(key, ShortAttackRecord, field, v)
// HITTYPE's default is the record's number + 1 and is set apart.
const Row kShortAttackRows[] = {
    A_I("STR", str, 1), A_F("POW", pow, 1), A_F("LASTPOW", lastPow, 1), A_F("LIMIT", limit, 0),
    A_F("LASTLIMIT", lastLimit, 0), A_F("GAUGE", gauge, 0), A_F("LASTGAUGE", lastGauge, 0),
    A_F("CAUSEGAUGE", causeGauge, 0), A_F("LASTCAUSEGAUGE", lastCauseGauge, 0), A_F("MPSCRAPE", mpScrape, 0),
    A_I("DAMAGETYPE", damageType, 1), A_I("LASTDAMAGETYPE", lastDamageType, 3), A_I("HITTYPE", hitType, 0),
    A_I("HITEFFECTTYPE", hitEffectType, 0), A_I("LASTHITEFFECTTYPE", lastHitEffectType, 0),
    A_I("WEAPONNO", weaponNo, -1), A_F("RELOAD", reload, 1), A_F("ACCELERATION", acceleration, 1),
    A_F("DECELERATION", deceleration, 30), A_F("START", start, 0), A_F("END", end, 1), A_F("FAST", fast, 1),
    A_F("REVERBE", reverbe, 1), A_F("TRACETIME", traceTime, 0), A_F("HITSTOPTIME", hitStopTime, 0),
    A_F("HITSTOPDELAYTIME", hitStopDelayTime, 0), A_F("PRECEDINGTIME", precedingTime, 0),
    A_F("GUARDSTIFFENTIME", guardStiffenTime, 0), A_F("JUSTGUARDINTERVAL", justGuardInterval, 0),
};

const Row kShotRows[] = {
    ROW_I("SHOOTOBJECTTYPE", ShotRecord, shootObjectType, 0), ROW_S("AMMUNITION", ShotRecord, ammunition, 999),
    ROW_F("CHARGETIME", ShotRecord, chargeTime, 1), ROW_F("RELOAD", ShotRecord, reload, 1),
    ROW_F("WAIT", ShotRecord, wait, 1), ROW_F("INTERVAL", ShotRecord, interval, 1),
    ROW_F("GAZETIME", ShotRecord, gazeTime, 0), ROW_F("BACKSHOOTANGLE", ShotRecord, backShootAngle, 105),
    ROW_F("BACKSHOOTLIFTINGANGLE", ShotRecord, backShootLiftingAngle, 10),
    ROW_F("BACKSHOOTTIME", ShotRecord, backShootTime, 1), ROW_F("BACKSHOOTWAIT", ShotRecord, backShootWait, 0.5),
    ROW_I("MOVINGFLG", ShotRecord, movingFlg, 1), ROW_I("WEAPONNO", ShotRecord, weaponNo, -1),
};
const char* const kShotPrefixes[kShotSlotCount] = {"BARRAGEA", "BARRAGEB", "CHARGEBARRAGEA", "CHARGEBARRAGEB",
                                                   "SHOOTOUTBARRAGE", "SPARKABARRAGE", "SPARKBBARRAGE"};

const Row kLimitRows[] = {
    ROW_I("ROLLDAMAGECOUNT", LimitRecord, rollDamageCount, 2), ROW_F("MAXLIMIT", LimitRecord, maxLimit, 100),
    ROW_F("LIMITRECOVERTIME", LimitRecord, limitRecoverTime, 0.2),
    ROW_F("LIMITDOWNPOW", LimitRecord, limitDownPow, 3), ROW_I("FULLCHARGEFLG", LimitRecord, fullChargeFlg, 1),
};

const Row kDamageRows[] = {
    ROW_F("POWATTENUATION", DamageReaction, powAttenuation, 1), ROW_F("VELOCITY", DamageReaction, velocity, 1),
    ROW_F("FALLVELOCITY", DamageReaction, fallVelocity, 0),
    ROW_F("INVINCIBILITYTIME", DamageReaction, invincibilityTime, 1),
    ROW_F("STOPTIME", DamageReaction, stopTime, 1), ROW_F("JUSTGUARDINTERVAL", DamageReaction, justGuardInterval, 0),
};
const char* const kDamagePrefixes[kDamageTypeCount] = {
    "DAMAGENONE", "DAMAGESMALL", "DAMAGEMEDIUM", "DAMAGELARGEA", "DAMAGELARGEB", "DAMAGEROLLSMALL",
    "DAMAGEROLLLARGE", "DAMAGESPIN", "DAMAGEBLOWOFF", "DAMAGEFALLOFF", "DAMAGEDOWN"};

#define B_F(key, field) ROW_F(key, TensionBonus, field, 1)
const Row kBonusRows[] = {
    B_F("MOTIONSPEED", motionSpeed), B_F("DAMAGEREVISE", damageRevise), B_F("STRREVISE", strRevise),
    B_F("MPRECOVERREVISE", mpRecoverRevise), B_F("RELOADREVISE", reloadRevise),
    B_F("SHORTATTACKRELOADREVISE", shortAttackReloadRevise), B_F("SPARKINTERVALREVISE", sparkIntervalRevise),
    B_F("SPARKGAUGEREVISE", sparkGaugeRevise), B_F("MOVESPEEDREVISE", moveSpeedRevise),
    B_F("BULLETSTRREVISE", bulletStrRevise), B_F("BULLETSPEEDREVISE", bulletSpeedRevise),
    B_F("BULLETHOMINGREVISE", bulletHomingRevise),
};
const char* const kBonusPrefixes[kTensionLevelCount] = {"LOWBONUS", "NORMALBONUS", "HIBONUS", "CLIMAXBONUS"};

// After the four centre keys.
const Row kGuardRows[] = {
    ROW_F("GUARDRADIUS", GuardRecord, radius, 1), ROW_F("JUSTGUARDTIME", GuardRecord, justGuardTime, 0.2),
    ROW_F("GUARDTIME", GuardRecord, guardTime, 2), ROW_F("GUARDRELOAD", GuardRecord, reload, 1),
    ROW_F("GUARDANGLE", GuardRecord, angle, 100), ROW_F("GUARDRECOVER", GuardRecord, recover, 0.3),
    ROW_F("GUARDCOOLDOWNRECOVER", GuardRecord, cooldownRecover, 0.4),
    ROW_F("GUARDGAUGEMAGNIFICATION", GuardRecord, gaugeMagnification, 0.5),
    ROW_F("GUARDCRASHDAMAGEPOW", GuardRecord, crashDamagePow, 1.5),
    ROW_F("GUARCRASHDAMAGELIMIT", GuardRecord, crashDamageLimit, 20),
    ROW_I("GUARDCRASHDAMAGETYPE", GuardRecord, crashDamageType, 3),
};

const Row kSparkBlockRows[] = {
    ROW_F("MAXSPARKGUAGE", SparkBlock, maxSparkGauge, 100),
    ROW_F("DEFAULTSPARKGUAGE", SparkBlock, defaultSparkGauge, 100),
};
const Row kSparkRows[] = {
    ROW_F("HP", SparkRecord, hp, 0.2), ROW_F("MP", SparkRecord, mp, 10), ROW_F("TIME", SparkRecord, time, 2),
    ROW_F("INVINCIBILITYTIME", SparkRecord, invincibilityTime, 1.25), ROW_F("INTERVAL", SparkRecord, interval, 0),
    ROW_F("REACTIONTIME", SparkRecord, reactionTime, 0),
};
const char* const kSparkPrefixes[2] = {"SPARKA", "SPARKB"};

const Row kShootOutRows[] = {
    ROW_I("SHOOTOUTSTR", ShootOutRecord, str, 10), ROW_F("SHOOTOUTPOW", ShootOutRecord, pow, 1),
    ROW_F("SHOOTOUTLIMIT", ShootOutRecord, limit, 0), ROW_F("SHOOTOUTGAUGE", ShootOutRecord, gauge, 0),
    ROW_F("SHOOTOUTCAUSEGAUGE", ShootOutRecord, causeGauge, 0),
    ROW_I("SHOOTOUTDAMAGETYPE", ShootOutRecord, damageType, 6), ROW_I("SHOOTOUTTIMESTR", ShootOutRecord, timeStr, 1),
    ROW_I("SHOOTOUTCOUNT", ShootOutRecord, count, 30), ROW_F("SHOOTOUTTIME", ShootOutRecord, time, 3),
    ROW_F("SHOOTOUTSHOOTTIME", ShootOutRecord, shootTime, 0.2), ROW_F("SHOOTOUTRADIUS", ShootOutRecord, radius, 8),
    ROW_F("SHOOTOUTVERTICALWIDTH", ShootOutRecord, verticalWidth, 90),
};

const Row kMaterialRows[] = {
    ROW_I("MATERIALNO", MaterialRecord, materialNo, -1), ROW_F("MATERIALSCROLLX", MaterialRecord, scrollX, 0),
    ROW_F("MATERIALSCROLLY", MaterialRecord, scrollY, 0),
};

}  // namespace

const CharacterKeyDefault kMotionKeys[kMotionCount] = {
    {"WAIT", "Wait"}, {"TEDIUM", "Tedium"}, {"TEDIUMLOOP", "TediumLoop"}, {"WIN", "Win"}, {"WINLOOP", "WinLoop"},
    {"LOSE", "Lose"}, {"LOSELOOP", "LoseLoop"}, {"MOVE", "Move"}, {"DASHSTART", "DashStart"}, {"DASH", "Dash"},
    {"DASHLOOP", "DashLoop"}, {"DASHSTOP", "DashStop"}, {"MOVEUP", "MoveUp"}, {"MOVEDOWN", "MoveDown"},
    {"SLIDEFRONT", "SlideFront"}, {"SLIDESTOPFRONT", "SlideStopFront"}, {"SLIDEBACK", "SlideBack"},
    {"SLIDESTOPBACK", "SlideStopBack"}, {"SLIDELEFT", "SlideLeft"}, {"SLIDESTOPLEFT", "SlideStopLeft"},
    {"SLIDERIGHT", "SlideRight"}, {"SLIDESTOPRIGHT", "SlideStopRight"}, {"SLIDEUP", "SlideUp"}, {"SLIDESTOPUP",
    "SlideStopUp"}, {"SLIDEDOWN", "SlideDown"}, {"SLIDESTOPDOWN", "SlideStopDown"}, {"DOUBLESLIDEFRONT",
    "DoubleSlideFront"}, {"DOUBLESLIDESTOPFRONT", "DoubleSlideStopFront"}, {"DOUBLESLIDEBACK", "DoubleSlideBack"},
    {"DOUBLESLIDESTOPBACK", "DoubleSlideStopBack"}, {"DOUBLESLIDELEFT", "DoubleSlideLeft"}, {"DOUBLESLIDESTOPLEFT",
    "DoubleSlideStopLeft"}, {"DOUBLESLIDERIGHT", "DoubleSlideRight"}, {"DOUBLESLIDESTOPRIGHT",
    "DoubleSlideStopRight"}, {"DOUBLESLIDEUP", "DoubleSlideUp"}, {"DOUBLESLIDESTOPUP", "DoubleSlideStopUp"},
    {"DOUBLESLIDEDOWN", "DoubleSlideDown"}, {"DOUBLESLIDESTOPDOWN", "DoubleSlideStopDown"},
    {"DAMAGESMALLFRONTSTART", "DamageSmallFrontStart"}, {"DAMAGESMALLFRONT", "DamageSmallFront"},
    {"DAMAGESMALLBACKSTART", "DamageSmallBackStart"}, {"DAMAGESMALLBACK", "DamageSmallBack"},
    {"DAMAGESMALLLEFTSTART", "DamageSmallLeftStart"}, {"DAMAGESMALLLEFT", "DamageSmallLeft"},
    {"DAMAGESMALLRIGHTSTART", "DamageSmallRightStart"}, {"DAMAGESMALLRIGHT", "DamageSmallRight"},
    {"DAMAGESMALLUPSTART", "DamagaSmallUpStart"}, {"DAMAGESMALLUP", "DamagaSmallUp"}, {"DAMAGESMALLDOWNSTART",
    "DamageSmallDownStart"}, {"DAMAGESMALLDOWN", "DamageSmallDown"}, {"DAMAGEMEDIUMFRONTSTART",
    "DamageMediumFrontStart"}, {"DAMAGEMEDIUMFRONT", "DamageMediumFront"}, {"DAMAGEMEDIUMBACKSTART",
    "DamageMediumBackStart"}, {"DAMAGEMEDIUMBACK", "DamageMediumBack"}, {"DAMAGELARGEFRONTA", "DamageLargeFrontA"},
    {"DAMAGELARGERECOVERFRONTA", "DamageLargeFrontRecoverA"}, {"DAMAGELARGEBACKA", "DamageLargeBackA"},
    {"DAMAGELARGERECOVERBACKA", "DamageLargeBackRecoverA"}, {"DAMAGELARGEFRONTB", "DamageLargeFrontB"},
    {"DAMAGELARGERECOVERFRONTB", "DamageLargeFrontRecoverB"}, {"DAMAGELARGEBACKB", "DamageLargeBackB"},
    {"DAMAGELARGERECOVERBACKB", "DamageLargeBackRecoverB"}, {"DAMAGEROLLSMALLFRONT", "DamageRollSmallFront"},
    {"DAMAGEROLLSMALLRECOVERFRONT", "DamageRollSmallRecoverFront"}, {"DAMAGEROLLSMALLBACK", "DamageRollSmallBack"},
    {"DAMAGEROLLSMALLRECOVERBACK", "DamageRollSmallRecoverBack"}, {"DAMAGEROLLLARGEFRONT", "DamageRollLargeFront"},
    {"DAMAGEROLLLARGERECOVERFRONT", "DamageRollLargeRecoverFront"}, {"DAMAGEROLLLARGEBACK", "DamageRollLargeBack"},
    {"DAMAGEROLLLARGERECOVERBACK", "DamageRollLargeRecoverBack"}, {"DAMAGESPIN", "DamageSpin"},
    {"DAMAGEBLOWOFFFRONT", "DamageBlowOffFront"}, {"DAMAGEFALLOFFFRONT", "DamageFallOffFront"},
    {"DAMAGEFALLOFFRECOVERFRONT", "DamageFallOffRecoverFront"}, {"DAMAGEBLOWOFFBACK", "DamageBlowOffBack"},
    {"DAMAGEFALLOFFBACK", "DamageFallOffBack"}, {"DAMAGEFALLOFFRECOVERBACK", "DamageFallOffRecoverBack"},
    {"DAMAGEDOWNFRONTSTART", "DamageDownFrontStart"}, {"DAMAGEDOWNFRONT", "DamageDownFront"},
    {"DAMAGEDOWNRECOVERFRONT", "DamageDownRecoverFront"}, {"DAMAGEDOWNBACKSTART", "DamageDownBackStart"},
    {"DAMAGEDOWNBACK", "DamageDownBack"}, {"DAMAGEDOWNRECOVERBACK", "DamageDownRecoverBack"}, {"SPARK", "Spark"},
    {"GUARD", "Guard"}, {"SHOOT", "Shoot"}, {"MOVEFRONTSHOOT", "MoveFrontShoot"}, {"MOVELEFTSHOOT",
    "MoveLeftShoot"}, {"MOVERIGHTSHOOT", "MoveRightShoot"}, {"ACTIONSHOOT", "ActionShoot"}, {"ATTACK01",
    "Attack01"}, {"ATTACK02", "Attack02"}, {"ATTACK03", "Attack03"}, {"ATTACK04", "Attack04"}, {"ATTACK05",
    "Attack05"}, {"ATTACK06", "Attack06"}, {"ATTACK07", "Attack07"}, {"ATTACK01END", "Attack01End"}, {"ATTACK02END",
    "Attack02End"}, {"ATTACK03END", "Attack03End"}, {"ATTACK04END", "Attack04End"}, {"ATTACK05END", "Attack05End"},
    {"ATTACK06END", "Attack06End"}, {"ATTACK07END", "Attack07End"}, {"SLIDEATTACKSET", "SlideAttackSet"},
    {"SLIDEATTACK", "SlideAttack"}, {"SPELLASET", "SpellASet"}, {"SPELLASHOOTSTART", "SpellAShootStart"},
    {"SPELLASHOOT", "SpellAShoot"}, {"CHARGESPELLASET", "ChargeSpellASet"}, {"CHARGESPELLASHOOTSTART",
    "ChargeSpellAShootStart"}, {"CHARGESPELLASHOOT", "ChargeSpellAShoot"}, {"SPELLBSET", "SpellBSet"},
    {"SPELLBSHOOTSTART", "SpellBShootStart"}, {"SPELLBSHOOT", "SpellBShoot"}, {"CHARGESPELLBSET",
    "ChargeSpellBSet"}, {"CHARGESPELLBSHOOTSTART", "ChargeSpellBShootStart"}, {"CHARGESPELLBSHOOT",
    "ChargeSpellBShoot"}, {"EXCEPTIONSPELLSET", "ExceptionSpellSet"}, {"EXCEPTIONSPELLSHOOTSTART",
    "ExceptionSpellShootStart"}, {"EXCEPTIONSPELLSHOOT", "ExceptionSpellShoot"}, {"ACTIONSPELLSET",
    "ActionSpellSet"}, {"ACTIONSPELLSHOOTSTART", "ActionSpellShootStart"}, {"ACTIONSPELLSHOOT", "ActionSpellShoot"},
    {"MOVEFRONTSPELLSET", "MoveFrontSpellSet"}, {"MOVEFRONTSPELLSHOOTSTART", "MoveFrontSpellShootStart"},
    {"MOVEFRONTSPELLSHOOT", "MoveFrontSpellShoot"}, {"MOVELEFTSPELLSET", "MoveLeftSpellSet"},
    {"MOVELEFTSPELLSHOOTSTART", "MoveLeftSpellShootStart"}, {"MOVELEFTSPELLSHOOT", "MoveLeftSpellShoot"},
    {"MOVERIGHTSPELLSET", "MoveRightSpellSet"}, {"MOVERIGHTSPELLSHOOTSTART", "MoveRightSpellShootStart"},
    {"MOVERIGHTSPELLSHOOT", "MoveRightSpellShoot"}, {"HITENSIONSPELLSET", "HiTensionSpellSet"},
    {"HITENSIONSPELLSHOOTSTART", "HiTensionSpellShootStart"}, {"HITENSIONSPELLSHOOT", "HiTensionSpellShoot"},
    {"CLIMAXTENSIONSPELLSET", "ClimaxTensionSpellSet"}, {"CLIMAXTENSIONSPELLSHOOTSTART",
    "ClimaxTensionSpellShootStart"}, {"CLIMAXTENSIONSPELLSHOOT", "ClimaxTensionSpellShoot"},
    {"CLIMAXTENSIONSPELL01", "ClimaxTensionSpell01"}, {"CLIMAXTENSIONSPELL02", "ClimaxTensionSpell02"},
    {"CLIMAXTENSIONSPELL03", "ClimaxTensionSpell03"}, {"CLIMAXTENSIONSPELL04", "ClimaxTensionSpell04"},
    {"CLIMAXTENSIONSPELL05", "ClimaxTensionSpell05"}, {"CLIMAXTENSIONSPELL06", "ClimaxTensionSpell06"},
    {"CLIMAXTENSIONSPELL07", "ClimaxTensionSpell07"}, {"CLIMAXTENSIONSPELL08", "ClimaxTensionSpell08"},
    {"CLIMAXFAINT", "ClimaxFaint"}, {"CLIMAXBIND", "ClimaxBind"}};

const CharacterKeyDefault kVoiceKeys[kVoiceCount] = {
    {"VOICESTART", "Start.ogg"}, {"VOICEBEAT", "Beat.ogg"}, {"VOICEMEMBERBEAT", "MemberBeat.ogg"},
    {"VOICEMEMBERDEAD", "MemberDead.ogg"}, {"VOICELOCKON", "Lockon.ogg"}, {"VOICETARGET", "Target.ogg"},
    {"VOICEWLOCKON", "Wlockon.ogg"}, {"VOICEWATTACK", "Wattack.ogg"}, {"VOICEINDICATE", "Indicate.ogg"},
    {"VOICEMEMBERATTACK", "MemberAttack.ogg"}, {"VOICEDAMAGESMALL01", "DamageSmall01.ogg"}, {"VOICEDAMAGESMALL02",
    "DamageSmall02.ogg"}, {"VOICEDAMAGESMALL03", "DamageSmall03.ogg"}, {"VOICEDAMAGESMALL04", "DamageSmall04.ogg"},
    {"VOICEDAMAGESMALL05", "DamageSmall05.ogg"}, {"VOICEDAMAGEMEDIUM", "DamageMedium.ogg"}, {"VOICEDAMAGELARGE",
    "DamageLarge.ogg"}, {"VOICEDAMAGEBACK", "DamageBack.ogg"}, {"VOICEDAMAGEROLL", "DamageRoll.ogg"},
    {"VOICEDAMAGERECOVER", "DamageRecover.ogg"}, {"VOICEDAMAGEDOWNRECOVER", "DamageDownRecover.ogg"},
    {"VOICETEDIUM", "Tedium.ogg"}, {"VOICEDASH", "Dash.ogg"}, {"VOICESLIDE", "Slide.ogg"}, {"VOICEDOUBLESLIDE",
    "DoubleSlide.ogg"}, {"VOICEMIRAGESLIDE", "MirageSlide.ogg"}, {"VOICELOWTENSION", "Lowtension.ogg"},
    {"VOICEHITENSION", "Hitension.ogg"}, {"VOICECLIMAX", "Climax.ogg"}, {"VOICESPARK", "Spark.ogg"}, {"VOICEWIN",
    "Win.ogg"}, {"VOICELOSE", "Lose.ogg"}, {"VOICEATTACK01", "Attack01.ogg"}, {"VOICEATTACK02", "Attack02.ogg"},
    {"VOICEATTACKEND", "AttackEnd.ogg"}, {"VOICESLIDEATTACK", "SlideAttack.ogg"}, {"VOICESHOOT", "Shoot.ogg"},
    {"VOICECHARGESHOOT", "ChargeShoot.ogg"}, {"VOICESPELL01", "Spell01.ogg"}, {"VOICESPELL02", "Spell02.ogg"},
    {"VOICECHARGESPELL01", "ChargeSpell01.ogg"}, {"VOICECHARGESPELL02", "ChargeSpell02.ogg"},
    {"VOICEEXCEPTIONSPELL01", "ExceptionSpell01.ogg"}, {"VOICEHITENSIONSPELL01", "HitensionSpell01.ogg"},
    {"VOICEHITENSIONSPELL02", "HitensionSpell02.ogg"}, {"VOICECLIMAXSPELL01", "ClimaxSpell01.ogg"},
    {"VOICECLIMAXSPELL02", "ClimaxSpell02.ogg"}, {"VOICECLIMAXSPELL03", "ClimaxSpell03.ogg"}, {"VOICECLIMAXSPELL04",
    "ClimaxSpell04.ogg"}, {"VOICECLIMAXSPELL05", "ClimaxSpell05.ogg"}};

const char* const kEffectKeys[kEffectCount] = {
    "EFCFLYSET", "EFCFLYLOOP", "EFCDASHCHARGE", "EFCDASHSTART", "EFCDASHLOOP", "EFCDASHSTOP", "EFCSLIDESTART",
    "EFCSLIDEMAGICSQUARE", "EFCSLIDELOOP", "EFCWEAPONCHANGE", "EFCORBITATTACK", "EFCORBITATTACKFINAL",
    "EFCHITATTACK", "EFCHITATTACKFINAL", "EFCHITSLIDEATTACK", "EFCHITGUARD", "EFCRECOVER", "EFCDAMAGEROLL",
    "EFCDAMAGESPINE", "EFCEXPLOSIONSMALL", "EFCEXPLOSIONMEDIUM", "EFCEXPLOSIONLARGE", "EFCEXPLOSIONKING",
    "EFCEXPLOSIONMAXIMUM", "EFCLOWTENSIONSTART", "EFCHITENSIONSTART", "EFCHITENSIONLOOP", "EFCCLIMAXSTART",
    "EFCCLIMAXLOOP", "EFCFINALESTART", "EFCFINALELOOP", "EFCOVERTENSIONDIFFUSIONSTARTSMALL",
    "EFCOVERTENSIONDIFFUSIONSTARTLARGE", "EFCOVERTENSIONORBITLOOP", "EFCGUARD", "EFCGUARDBREAK", "EFCATTACKSPARK",
    "EFCREVERSALSPARK", "EFCBIND", "EFCWOODBIND", "EFCCHARGE", "EFCCHARGEMAX", "EFCHITENSIONSTAGE",
    "EFCCLIMAXSTAGE", "EFCABSORPTION", "EFCICEFREEZE", "EFCTIMEFREEZE", "EFCICEFREEZEEND", "EFCTIMEFREEZEEND",
    "EFCBERSERK", "EFCDESTRUCTIONSTART", "EFCDESTRUCTION", "EFCDOTDAMAGE", "EFCARMOR", "EFCJAMMER", "EFCJAMMEREND",
    "EFCRESTRICTION"};

const char* const kSoundEffectKeys[kSoundEffectCount] = {
    "SELOCKON", "SESTRIKESMALLDAMAGE", "SESTRIKELARGEDAMAGE", "SESLASHSMALLDAMAGE", "SESLASHLARGEDAMAGE", "SEDOWN",
    "SEBEAT"};

const CharacterKeyDefault kChildFileKeys[kChildFileCount] = {
    {"CAMERA", "Camera.txt"},           {"BARRAGEA", "Barrage.txt"},      {"BARRAGEB", "Barrage.txt"},
    {"CHARGEBARRAGEA", "Barrage.txt"},  {"CHARGEBARRAGEB", "Barrage.txt"}, {"SHOOTOUTBARRAGE", "Barrage.txt"},
    {"SPARKABARRAGE", "Barrage.txt"},   {"SPARKBBARRAGE", "Barrage.txt"}, {"SPELLA", "Spell.txt"},
    {"SPELLB", "Spell.txt"},            {"CHARGESPELLA", "Spell.txt"},    {"CHARGESPELLB", "Spell.txt"},
    {"EXCEPTIONSPELL", "Spell.txt"},    {"HITENSIONSPELL", "Spell.txt"},  {"CLIMAXTENSIONSPELL", "Spell.txt"},
    {"EXPRESSION", "Chara.fac"}};

const CharacterKeyDefault kFaceKeys[kFaceKeyCount] = {
    {"DEFAULTFACE", "def"},   {"DEADFACE", "sorrow"}, {"TEDIUMFACE", "tedium"},
    {"DAMAGEFACE", "damage"}, {"SMILEFACE", "smile"}, {"SORROWFACE", "sorrow"}};

const char* const kFaceGroupKeys[kFaceGroupCount] = {"FACE", "MOUSE", "BODY1", "BODY2"};

CCharacterParameter::~CCharacterParameter() { CCharacterParameter::Clear(); }

i32 CCharacterParameter::RegisterKeys()
{
    if (!CSettingFile::RegisterKeys()) return 0;
    i32 ok = 1;
    // Rows of a record at record (prefix + row key), HITTYPE's default made
    // the record's number + 1 when hitType is not negative.
    auto rows = [&](const char* prefix, const Row* table, size_t count, const void* record, i32 hitType = -1) {
        const ptrdiff_t at = OffsetOf(record);
        for (size_t i = 0; i < count; ++i) {
            const Row& row = table[i];
            const std::string key = std::string(prefix) + row.key;
            const ptrdiff_t field = row.offset;
            switch (row.kind) {
            case Kind::kInt: {
                const bool isHitType = hitType >= 0 && std::strcmp(row.key, "HITTYPE") == 0;
                ok &= RegisterKeyAt<i32>(key.c_str(), isHitType ? hitType : i32(row.value), at, field);
                break;
            }
            case Kind::kShort: ok &= RegisterKeyAt<u16>(key.c_str(), u16(row.value), at, field); break;
            case Kind::kFloat: ok &= RegisterKeyAt<f32>(key.c_str(), row.value, at, field); break;
            }
        }
    };
#define ROWS(prefix, table, record, ...) rows(prefix, table, std::size(table), record __VA_OPT__(, ) __VA_ARGS__)

    ok &= RegisterKey("RESOURCE", &resource, CString("Non Name"));
    ROWS("", kGeneralRows, &values.general);
    for (u32 i = 0; i < kShortAttackCount; ++i) {
        const std::string prefix = "SHORTATTACK0" + std::to_string(i);
        ROWS(prefix.c_str(), kShortAttackRows, &values.shortAttacks[i], i32(i + 1));
    }
    for (u32 i = 0; i < kShotSlotCount; ++i) ROWS(kShotPrefixes[i], kShotRows, &values.shots[i]);
    ROWS("", kLimitRows, &values.limit);
    for (u32 i = 0; i < kDamageTypeCount; ++i) ROWS(kDamagePrefixes[i], kDamageRows, &values.damages[i]);
    for (u32 i = 0; i < kTensionLevelCount; ++i) ROWS(kBonusPrefixes[i], kBonusRows, &values.bonuses[i]);

    // The guard centre: the vector and each component; the later in the text wins.
    GuardRecord& guard = values.guard;
    ok &= RegisterKey("GUARDCENTERPOS", &guard.center, CVector3(0, 0, 0));
    ok &= RegisterKey("GUARDCENTERPOSX", &guard.center.x, 0.0f);
    ok &= RegisterKey("GUARDCENTERPOSY", &guard.center.y, 0.0f);
    ok &= RegisterKey("GUARDCENTERPOSZ", &guard.center.z, 0.0f);
    ROWS("", kGuardRows, &guard);

    ROWS("", kSparkBlockRows, &values.spark);
    for (u32 i = 0; i < 2; ++i) ROWS(kSparkPrefixes[i], kSparkRows, &values.spark.records[i]);
    ROWS("", kShootOutRows, &values.shootOut);
    ROWS("", kMaterialRows, &values.material);
#undef ROWS

    for (u32 i = 0; i < kMotionCount; ++i) {
        ok &= RegisterKey(kMotionKeys[i].key, &motionNames[i], CString(kMotionKeys[i].value));
        ok &= RegisterKey((std::string(kMotionKeys[i].key) + "SPD").c_str(), &motionSpeeds[i], 1.0f);
    }
    for (u32 i = 0; i < kVoiceCount; ++i) ok &= RegisterKey(kVoiceKeys[i].key, &voices[i], CString(kVoiceKeys[i].value));
    for (u32 i = 0; i < kFaceGroupCount; ++i) ok &= RegisterKey(kFaceGroupKeys[i], &faceGroups[i], CStringList());
    const CString none("Non Name");
    for (u32 i = 0; i < kEffectCount; ++i) ok &= RegisterKey(kEffectKeys[i], &effects[i], none);
    for (u32 i = 0; i < kSoundEffectCount; ++i) ok &= RegisterKey(kSoundEffectKeys[i], &soundEffects[i], none);
    for (u32 i = 0; i < kFaceKeyCount; ++i)
        ok &= RegisterKey(kFaceKeys[i].key, &values.faces[i].name, CString(kFaceKeys[i].value));

    CharacterBody& body = values.body;
    ok &= RegisterKey("AFTERIMAGECOUNT", &body.afterimageCount, 10);
    ok &= RegisterKey("ADDHPSPEED", &body.addHpSpeed, 60.0f);
    ok &= RegisterKey("SUBHPSPEED", &body.subHpSpeed, 30.0f);
    ok &= RegisterKey("TRACE", &body.trace, CTraceRecordList());
    const struct {
        const char* key;
        f32* member;
        f32 value;
    } radii[] = {{"DASHENDRADIUS", &body.dashEndRadius, 5},     {"MIRAGESLIDEENDRADIUS", &body.mirageSlideEndRadius, 5},
                 {"RADIUS", &body.radius, 1},                   {"NEARRADIUS", &body.nearRadius, 10},
                 {"DANGERRADIUS", &body.dangerRadius, 20},      {"AUTOSLIDERADIUS", &body.autoSlideRadius, 20},
                 {"HEIGHT", &body.height, 2}};
    for (const auto& r : radii) ok &= RegisterKey(r.key, r.member, r.value);
    ok &= RegisterKey("NECKBONE", &body.neckBone, none);
    ok &= RegisterKey("BODYBONE", &body.bodyBone, none);
    ok &= RegisterKey("ARMBONE", &body.armBone, none);
    ok &= RegisterKey("HITSPHERE", &body.hitSphere, CHitSphereRecordList());
    ok &= RegisterKey("SMALLPADVIBRATIONPOW", &body.smallPadVibrationPow, u16(30000));
    ok &= RegisterKey("LARGEPADVIBRATIONPOW", &body.largePadVibrationPow, u16(45000));
    ok &= RegisterKey("EFFECTBONENAME", &body.effectBoneName, CStringList());

    for (u32 i = 0; i < kChildFileCount; ++i)
        ok &= RegisterFileKey(kChildFileKeys[i].key, &childFiles[i], CString(kChildFileKeys[i].value));
    ok &= RegisterKey("WEAPON", &weapons, CSettingFileList<CWeaponSetting>());
    return ok;
}

namespace {

// Child name of the load read as R (once per load, through the nesting
// guard) into out, a copy of its values sharing its read-only children.
template <class R>
bool LoadChild(const CString& name, const CStatusKeyMap* aliasTable, R& out)
{
    std::shared_ptr<const R> child = LoadSettingChild<R>(name.GetText(), aliasTable);
    if (!child) return false;
    out = *child;
    return true;
}

}  // namespace

i32 CCharacterParameter::OnLoaded(const CStatusKeyMap* aliasTable)
{
    if (!LoadChild(childFiles[kCameraFile], aliasTable, camera)) return 0;
    for (u32 i = 0; i < kShotSlotCount; ++i) {
        if (!LoadChild(childFiles[kFirstBarrageFile + i], aliasTable, barrages[i])) return 0;
    }
    for (u32 i = 0; i < kSpellSlotCount; ++i) {
        if (!LoadChild(childFiles[kFirstSpellFile + i], aliasTable, spellCards[i])) return 0;
    }
    if (!weapons.Load(aliasTable)) return 0;
    const char* faces = childFiles[kExpressionFile].GetText();
    // The face file is no settings file, but it is a child all the same.
    CNestedLoadGuard guard(faces);
    if (!guard) return CSettingLoad::Fail(guard.GetError(), faces);
    if (std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(faces, "rb")) {
        if (!CSettingLoad::CountRead(faces, u64(file->Size() > 0 ? file->Size() : 0))) return 0;
    }
    if (LoadFaces(faces) != FaceFileError::kNone)
        return CSettingLoad::Fail(m_faceError == FaceFileError::kMissing ? SettingLoadError::kMissing
                                                                          : SettingLoadError::kDamaged, faces);
    return 1;
}

FaceFileError CCharacterParameter::LoadFaces(const char* path)
{
    FaceTables tables;
    m_faceError = LoadFaceFile(path, tables);
    if (m_faceError != FaceFileError::kNone) return m_faceError;
    for (u32 record = 0; record < tables.expressions.size(); ++record) {
        for (FaceKey& face : values.faces) {
            const char* name = face.name.GetText();
            if (std::strcmp(name ? name : "", tables.expressions[record].GetName()) == 0) face.index = i32(record);
        }
    }
    faceTables = std::move(tables);
    return FaceFileError::kNone;
}

u32 FindMotionKey(const char* key)
{
    u32 i = 0;
    while (i < kMotionCount && std::strcmp(kMotionKeys[i].key, key) != 0) ++i;
    return i;
}

u32 FindVoiceKey(const char* key)
{
    u32 i = 0;
    while (i < kVoiceCount && std::strcmp(kVoiceKeys[i].key, key) != 0) ++i;
    return i;
}

u32 FindEffectKey(const char* key)
{
    u32 i = 0;
    while (i < kEffectCount && std::strcmp(kEffectKeys[i], key) != 0) ++i;
    return i;
}

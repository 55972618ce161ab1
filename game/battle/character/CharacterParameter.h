// CCharacterParameter: everything that tunes one playable character, read
// from "Setting/Chr_<name>.dat" (or its text): movement, close attacks,
// shots, damage reactions, guard, spark, shoot-out, tension bonuses, motions,
// voices, effects, faces, body figures and the child files its camera,
// barrages, spell cards and weapons come from, with the face file.
//
// Keys of repeated blocks are a row name and a field name
// ("SHORTATTACK0" "3" "HITTYPE", "BARRAGEA" "CHARGETIME"). 1,044 keys besides
// NAME; RegisterKeys reports 0 if any of them were refused, since a key whose
// hash another already holds would silently never be read.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/character/FaceFile.h"
#include "game/battle/object/CameraParameter.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/SpellCardSetting.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusList.h"
#include "game/data/TensionFile.h"   // kTensionLevelCount: LOWBONUS .. CLIMAXBONUS

// Group 1, general figures, in member order.
struct CharacterGeneral {
    i32 hp;
    f32 mpRecover, mpMax, moveVelocity, moveAcceleration, moveDeceleration, backMoveVelocity, dashDeceleration,
        mirageSlideDeceleration, excessDeceleration, dashVelocity, dashAcceleration, traceDashVelocity,
        traceDashAcceleration, backDashVelocity, slideVelocity, slideAcceleration, mirageSlideVelocity,
        mirageSlideAcceleration, rotationVelocity, boneRotationVelocity, dashRotationVelocity,
        mirageSlideRotationVelocity, neckBoneRotationYPlusLimit, neckBoneRotationYMinusLimit,
        neckBoneRotationXLimit, bodyBoneRotationYLimit, bodyBoneRotationXLimit, armBoneRotationYLimit,
        armBoneRotationXLimit, boneRotationYLimit, escapeAngleLimit, dashStartMp, dashKeepMp, slideMp,
        doubleSlideMp, tripleSlideMp, mirageSlideMp, mirageSlideAttackMp, mirageSlideCancelMp;
    f32 slideFastTime, slideInvincibilityTime, doubleSlideInvincibilityTime, tripleSlideInvincibilityTime,
        mirageSlideTime, slideMagicSquarePlayInterval;
    f32 tediumTime, resultStartTime, dashStartTime, dashStartMotionTime, lockOffTime, matrixUpdateTime;
    f32 reserveTime, chargeEffectStartTime, overTensionStageEffectInterval, recvWAttackTime, lockOnVoiceTime,
        targetVoiceTime, wLockOnVoiceTime, wAttackVoiceTime, indicateVoiceTime, memberAttackVoiceTime,
        damageVoiceTime, slideVoiceTime, doubleSlideVoiceTime, shootVoiceTime;
    i32 normalAttackCount, hiTensionAttackCount, climaxTensionAttackCount;
    f32 slideAttackRadius, wAttackRevice;
};
static_assert(sizeof(CharacterGeneral) == 71 * 4);

// Group 2: one close attack, "SHORTATTACK0%d" + field.
struct ShortAttackRecord {
    i32 str;
    f32 pow, lastPow, limit, lastLimit, gauge, lastGauge, causeGauge, lastCauseGauge, mpScrape;
    i32 damageType, lastDamageType, hitType, hitEffectType, lastHitEffectType, weaponNo;
    f32 reload, acceleration, deceleration, start, end, fast, reverbe, traceTime, hitStopTime, hitStopDelayTime,
        precedingTime, guardStiffenTime, justGuardInterval;
};
static_assert(sizeof(ShortAttackRecord) == 29 * 4);

// Group 3: one barrage slot's shot figures.
struct ShotRecord {
    i32 shootObjectType;
    u16 ammunition;
    f32 chargeTime, reload, wait, interval, gazeTime, backShootAngle, backShootLiftingAngle, backShootTime,
        backShootWait;
    i32 movingFlg, weaponNo;
};

// Group 4.
struct LimitRecord {
    i32 rollDamageCount;
    f32 maxLimit, limitRecoverTime, limitDownPow;
    i32 fullChargeFlg;
};

// Group 5: the reaction to one damage type.
struct DamageReaction {
    f32 powAttenuation, stopTime, velocity, fallVelocity, invincibilityTime, justGuardInterval;
};

// Group 6: the rates of one tension level.
struct TensionBonus {
    f32 motionSpeed, damageRevise, strRevise, mpRecoverRevise, reloadRevise, shortAttackReloadRevise,
        sparkIntervalRevise, sparkGaugeRevise, moveSpeedRevise, bulletStrRevise, bulletSpeedRevise,
        bulletHomingRevise;
};

// Group 7.
struct GuardRecord {
    CVector3 center;   // GUARDCENTERPOS, or its components one by one
    f32 radius, justGuardTime, guardTime, reload, angle, recover, cooldownRecover, gaugeMagnification,
        crashDamagePow, crashDamageLimit;
    i32 crashDamageType;
};

// Group 8.
struct SparkRecord {
    f32 hp, mp, time, invincibilityTime, interval, reactionTime;
};
struct SparkBlock {
    f32 maxSparkGauge, defaultSparkGauge;
    SparkRecord records[2];   // SPARKA, SPARKB
};

// Group 9.
struct ShootOutRecord {
    i32 str;
    f32 pow, limit, gauge, causeGauge;
    i32 damageType, timeStr, count;
    f32 shootTime, time, radius, verticalWidth;
};

// Group 10.
struct MaterialRecord {
    i32 materialNo;
    f32 scrollX, scrollY;
};

// Group 16: a face name and the expression it names, set by the face file.
struct FaceKey {
    CString name;
    i32 index = 0;
};

// Group 17.
struct CharacterBody {
    i32 afterimageCount = 0;
    f32 addHpSpeed = 0, subHpSpeed = 0;
    CTraceRecordList trace;
    f32 dashEndRadius = 0, mirageSlideEndRadius = 0, radius = 0, nearRadius = 0, dangerRadius = 0,
        autoSlideRadius = 0, height = 0;
    CString neckBone, bodyBone, armBone;
    CHitSphereRecordList hitSphere;
    u16 smallPadVibrationPow = 0, largePadVibrationPow = 0;
    CStringList effectBoneName;
};

enum : u32 {
    kShortAttackCount = 9,
    kShotSlotCount = 7,        // BARRAGEA .. SPARKBBARRAGE, also the barrage readers
    kDamageTypeCount = 11,     // DAMAGENONE .. DAMAGEDOWN
    kFaceKeyCount = 6,         // DEFAULTFACE, DEADFACE, TEDIUMFACE, DAMAGEFACE, SMILEFACE, SORROWFACE
    kMotionCount = 149,
    kVoiceCount = 50,
    kFaceGroupCount = 4,       // FACE, MOUSE, BODY1, BODY2
    kSpellSlotCount = 7,       // SPELLA .. CLIMAXTENSIONSPELL
    kChildFileCount = 16,      // CAMERA, the barrages, the spells, EXPRESSION
    kEffectCount = 57,
    kSoundEffectCount = 7,
};

// The index of each face key in faces[].
enum FaceKeyIndex : u32 { kDefaultFace, kDeadFace, kTediumFace, kDamageFace, kSmileFace, kSorrowFace };
// The index of each file in childFiles[].
enum ChildFileIndex : u32 { kCameraFile = 0, kFirstBarrageFile = 1, kFirstSpellFile = 8, kExpressionFile = 15 };

// Groups 1 to 10, 16 and 17, in member order.
struct CharacterValues {
    CharacterGeneral general{};
    ShortAttackRecord shortAttacks[kShortAttackCount]{};
    ShotRecord shots[kShotSlotCount]{};
    LimitRecord limit{};
    DamageReaction damages[kDamageTypeCount]{};
    GuardRecord guard{};
    SparkBlock spark{};
    ShootOutRecord shootOut{};
    TensionBonus bonuses[kTensionLevelCount]{};
    MaterialRecord material{};
    FaceKey faces[kFaceKeyCount];
    CharacterBody body;
};

// Keys of the named blocks, by index, with their defaults.
struct CharacterKeyDefault {
    const char* key;
    const char* value;
};
extern const CharacterKeyDefault kMotionKeys[kMotionCount];         // speeds: key + "SPD", default 1
extern const CharacterKeyDefault kVoiceKeys[kVoiceCount];
extern const char* const kEffectKeys[kEffectCount];                 // default "Non Name"
extern const char* const kSoundEffectKeys[kSoundEffectCount];       // default "Non Name"
extern const CharacterKeyDefault kChildFileKeys[kChildFileCount];
extern const CharacterKeyDefault kFaceKeys[kFaceKeyCount];
extern const char* const kFaceGroupKeys[kFaceGroupCount];
// The slot of key in its table; the table's count when it is not there.
u32 FindMotionKey(const char* key);
u32 FindVoiceKey(const char* key);
u32 FindEffectKey(const char* key);

class CCharacterParameter : public CSettingFile {
public:
    // Afterimages a character may keep (each a pose of the whole skeleton,
    // copied every interval): far more than a character drawn by hand
    // shows, short of a file asking for memory by the gigabyte.
    static constexpr u32 kMaxAfterimageCount = 1024;

    CCharacterParameter() = default;
    // Copies every value and table; shares the key map.
    CCharacterParameter(const CCharacterParameter& other) = default;
    ~CCharacterParameter() override;

    // The base's NAME, then RESOURCE and groups 1 to 18. 0 when the base
    // fails or any key was refused.
    i32 RegisterKeys() override;
    // Loads the children: the camera, the seven barrages and the seven
    // spell cards named by their keys, every WEAPON file, then the face file
    // named by EXPRESSION, each child file once per load and every name
    // through the nesting guard. The first failure returns 0; what loaded
    // stays. An AFTERIMAGECOUNT past kMaxAfterimageCount is kept as read:
    // the fighter then makes no afterimages, and the set still loads.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;

    // The face file at path: on success the expression tables are replaced
    // and every face key that a record's name equals takes that record's
    // index (the later of two). A damaged file changes nothing.
    FaceFileError LoadFaces(const char* path);
    // The reason the last face file was refused (kNone after success).
    FaceFileError GetFaceError() const { return m_faceError; }

    // Accessors without a range check: the caller keeps to the block sizes.
    const CString& GetMotionName(u32 i) const { return motionNames[i]; }
    f32 GetMotionSpeed(u32 i) const { return motionSpeeds[i]; }
    const CString& GetVoiceName(u32 i) const { return voices[i]; }
    const CString& GetEffectName(u32 i) const { return effects[i]; }
    const CString& GetSoundEffectName(u32 i) const { return soundEffects[i]; }
    const CStringList& GetFaceGroup(u32 g) const { return faceGroups[g]; }
    const std::vector<u32>& GetVoiceExpressions() const { return faceTables.voiceExpressions; }
    const std::vector<CNamedArray>& GetExpressions() const { return faceTables.expressions; }
    const CCameraParameter& GetCamera() const { return camera; }
    const CPatternListParameter& GetBarrage(u32 s) const { return barrages[s]; }
    const CSpellCardSetting& GetSpellCard(u32 s) const { return spellCards[s]; }
    CSpellCardSetting& GetSpellCard(u32 s) { return spellCards[s]; }

    CString resource;                         // RESOURCE
    CharacterValues values;
    CString motionNames[kMotionCount];
    f32 motionSpeeds[kMotionCount] = {};      // name + "SPD"
    CString voices[kVoiceCount];
    CStringList faceGroups[kFaceGroupCount];
    FaceTables faceTables;
    CString childFiles[kChildFileCount];
    CCameraParameter camera;
    CPatternListParameter barrages[kShotSlotCount];
    CSpellCardSetting spellCards[kSpellSlotCount];
    CSettingFileList<CWeaponSetting> weapons;   // WEAPON: one file an occurrence
    CString effects[kEffectCount];
    CString soundEffects[kSoundEffectCount];

private:
    FaceFileError m_faceError = FaceFileError::kNone;
};

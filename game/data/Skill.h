// Skills: named sets of modifiers a character carries into battle.
//
// CSkillList ("Setting/Skill.dat") names one file per skill (SKILL); each
// is a CSkillSetting. A character holds its skills as CSkill objects, each
// owning its own copy of a record.
#pragma once

#include "engine/core/ResourceBase.h"
#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"

// The 48 float modifiers, in their order in the value block.
enum class SkillModifier : u8 {
    kTensionStr, kTensionMove, kBaseStr, kBaseMove, kBaseHp, kBaseDamage, kMultiLockMove, kDashStartMp,
    kDashKeepMp, kDashStartMotionTime, kSlideMp, kDoubleSlideMp, kTripleSlideMp, kMirageSlideMp,
    kMirageSlideAttackMp, kSlideMpRevise, kDoubleSlideMpRevise, kJustGuardTime, kGuardTime, kGuardReload,
    kGuardAngle, kAddHpSpeed, kSparkHp, kSparkMp, kSparkInvincibilityTime, kSparkReload, kSparkReactionTime,
    kSparkGaugeRate, kShortAttackStr, kShortAttackReload, kSpellStr, kSpellReload, kSpellPer, kSpellHoming,
    kClimaxWait, kHiTensionReload, kDoubleAttackDamage, kDoubleAttackTime, kShotAmmunition, kShotChargeTime,
    kMultiLockStr, kSlideInvincibilityTime, kMultiLockSlideMp, kMirageSlideRange, kMultiLockPow,
    kMultiLockMpRecover, kDownLimit, kMultiLockDamage,
};
constexpr u32 kSkillModifierCount = 48;

// Key of each modifier, by SkillModifier.
extern const char* const kSkillModifierKeys[kSkillModifierCount];

// The numeric block: 54 words.
struct SkillValues {
    i32 imageId;       // IMAGEID
    i32 type;          // TYPE
    i32 flag1;         // FLAG1: bit set, bit 0 least significant
    i32 flag2;         // FLAG2
    i32 combination;   // COMBINATION
    f32 modifiers[kSkillModifierCount];
    i32 baseAttackCount;   // BASEATTACKCOUNT
};
static_assert(sizeof(SkillValues) == 54 * 4);

class CSkillSetting : public CSettingFile {
public:
    CSkillSetting() = default;
    // Shares the key map and copies the numbers; the explanation stays empty.
    CSkillSetting(const CSkillSetting& other);
    ~CSkillSetting() override;

    i32 RegisterKeys() override;
    i32 OnLoaded(const CStatusKeyMap*) override { return 1; }

    f32 GetModifier(SkillModifier m) const { return values.modifiers[u32(m)]; }

    CString explanation;   // EXPLANATION
    SkillValues values{};
};

class CSkillList : public CSettingFile {
public:
    CSkillList() = default;
    CSkillList(const CSkillList& other) = default;
    ~CSkillList() override;

    i32 RegisterKeys() override;
    // Loads every named skill file in order; the first that fails fails the
    // load, keeping the records before it.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override { return skills.Load(aliasTable); }
    // Releases names and records, then the base's clear.
    i32 Clear() override;

    CSettingFileList<CSkillSetting> skills;   // SKILL
};

// A skill a character carries: owns one record, or none.
class CSkill : public CResourceBase {
    ORV_VALUE_CLASS(CSkill)

public:
    CSkill() = default;
    // Takes record over.
    explicit CSkill(CSkillSetting* record) : m_record(record) {}
    // Clones the record.
    CSkill(const CSkill& other);
    CSkill& operator=(const CSkill&) = delete;
    ~CSkill() override;

    // Deletes the record, then the base's release.
    i32 Release() override;

    const CSkillSetting* GetRecord() const { return m_record; }

private:
    CSkillSetting* m_record = nullptr;
};

// CSpellCardSetting: the settings of one spell card (a character's seven
// cards name one file each, "Spell.txt" by default): its numbers, the
// barrages it fires (BARRAGE, pattern list files in firing order), its event
// cameras, effect lists and the bone of its shot-set loop.
//
// The card indexes fixed tables with some of the numbers, so a load refuses
// a file whose SPELLTYPE, CHARACTERTYPE, VOICECOUNT or step numbers would
// reach past them (IsWithinTables). Step numbers that are only compared
// with the current step may be negative: such a step never comes.
#pragma once

#include "engine/core/String.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/data/SettingFile.h"
#include "game/data/SettingFileList.h"
#include "game/data/StatusList.h"

// The sizes of the card's tables that the numbers index.
constexpr i32 kSpellTypeCount = 13;       // begin and update handlers
constexpr i32 kCharacterTypeCount = 18;   // climax handlers
constexpr i32 kSpellStepCount = 11;       // steps 0..10, one animation time each
constexpr i32 kSpellVoiceCount = 4;       // voice entries

struct SpellVoice {
    i32 playNo;   // SPELLVOICE0nPLAYNO: the step that queues voice n + 1
    f32 wait;     // SPELLVOICE0nWAIT
};

// The numeric block, in key order.
struct CSpellCardValues {
    CVector3 spellSetPos;             // SPELLSETPOS
    i32 spellType;                    // SPELLTYPE: 0..12
    i32 effectDivisionType;           // EFFECTDIVISIONTYPE
    i32 characterType;                // CHARACTERTYPE: 0..17
    i32 bindType;                     // BINDTYPE
    i32 weaponNo;                     // WEAPONNO: -1 none
    i32 hiddenWeaponNo;               // HIDDENWEAPONNO: -1 none
    i32 movingFlg;                    // MOVINGFLG
    i32 gazeFlg;                      // GAZEFLG
    i32 rotationFlg;                  // ROTATIONFLG
    i32 boneRotationFlg;              // BONEROTATIONFLG
    i32 blackoutFlg;                  // BLACKOUTFLG
    i32 screenShotFlg;                // SCREENSHOTFLG
    i32 directMove;                   // DIRECTMOVE
    f32 blackoutAlpha;                // BLACKOUTALPHA
    f32 rotationVelocity;             // ROTATIONVELOCITY
    u16 ammunition;                   // AMMUNITION
    f32 wait;                         // WAIT
    f32 shootWait;                    // SHOOTWAIT
    f32 cameraChangeTime;             // CAMERACHANGETIME
    f32 cameraEndTime;                // CAMERAENDTIME
    f32 chargeTime;                   // CHARGETIME
    f32 gazeTime;                     // GAZETIME
    f32 reload;                       // RELOAD
    f32 weaponShowStartTime;          // WEAPONSHOWSTARTTIME
    f32 weaponShowTime;               // WEAPONSHOWTIME
    f32 movingFalseStartTime;         // MOVINGFALSESTARTTIME
    f32 movingFalseTime;              // MOVINGFALSETIME
    f32 invincibilityTime;            // INVINCIBILITYTIME
    f32 bufferTime;                   // BUFFERTIME
    i32 firstVoice;                   // FIRSTVOICE: 11 at activation
    i32 voiceCount;                   // VOICECOUNT: at most 3; 0 or below, no further voice
    i32 climaxShootNo;                // CLIMAXSHOOTNO .. ENDNO: at most 10; negative: never
    i32 climaxShootLoopNo;            // CLIMAXSHOOTLOOPNO
    i32 finaleShootNo;                // FINALESHOOTNO
    i32 finaleShootLoopNo;            // FINALESHOOTLOOPNO
    i32 explosionNo;                  // EXPLOSIONNO
    i32 endNo;                        // ENDNO
    f32 finaleStartTime;              // FINALESTARTTIME
    f32 shootLength;                  // SHOOTLENGTH
    i32 shortAttackStr;               // SHORTATTACKSTR
    f32 shortAttackPow;               // SHORTATTACKPOW
    f32 shortAttackLimit;             // SHORTATTACKLIMIT
    f32 shortAttackLastLimit;         // SHORTATTACKLASTLIMIT
    f32 shortAttackGauge;             // SHORTATTACKGAUGE
    f32 shortAttackLastGauge;         // SHORTATTACKLASTGAUGE
    f32 shortAttackCauseGauge;        // SHORTATTACKCAUSEGAUGE
    f32 shortAttackLastCauseGauge;    // SHORTATTACKLASTCAUSEGAUGE
    f32 shortAttackMpScrape;          // SHORTATTACKMPSCRAPE
    i32 shortAttackDamageType;        // SHORTATTACKDAMAGETYPE
    i32 shortAttackLastDamageType;    // SHORTATTACKLASTDAMAGETYPE
    i32 shortAttackHitType;           // SHORTATTACKHITTYPE
    i32 shortAttackBufferType;        // SHORTATTACKBUFFERTYPE
    f32 shortAttackVelocity;          // SHORTATTACKVELOCITY
    f32 shortAttackAcceleration;      // SHORTATTACKACCELERATION
    f32 shortAttackDeceleration;      // SHORTATTACKDECELERATION
    f32 shortAttackRotationVelocity;  // SHORTATTACKROTATIONVELOCITY
    f32 shortAttackRadius;            // SHORTATTACKRADIUS: largest float, no reach limit
    f32 shortAttackStart;             // SHORTATTACKSTART
    f32 shortAttackEnd;               // SHORTATTACKEND
    f32 shortAttackFast;              // SHORTATTACKFAST
    f32 shortAttackReverbe;           // SHORTATTACKREVERBE (so spelled in the files)
    f32 shortAttackGuardStiffen;      // SHORTATTACKGUARDSTIFFEN
    f32 shortAttackWait;              // SHORTATTACKWAIT
    i32 shortAttackSetNo;             // SHORTATTACKSETNO: 0..8, its attack runs two steps on
    i32 shortAttackCount;             // SHORTATTACKCOUNT
    i32 shortAttackGuard;             // SHORTATTACKGUARD
    f32 berserkStrRevise;             // BERSERKSTRREVISE
    f32 berserkDamageRevise;          // BERSERKDAMAGEREVISE
    f32 armorStrRevise;               // ARMORSTRREVISE
    f32 armorDamageRevise;            // ARMORDAMAGEREVISE
    f32 armorSparkGuageRate;          // ARMORSPARKGUAGERATE (so spelled)
    i32 teleportType;                 // TELEPORTTYPE
    f32 teleportLimit;                // TELEPORTLIMIT
    f32 teleportLength;               // TELEPORTLENGTH
    f32 alphaTime;                    // ALPHATIME
    f32 alphaSpeed;                   // ALPHASPEED
    f32 alphaStartTime;               // ALPHASTARTTIME
    f32 alphaStartMin;                // ALPHASTARTMIN
    f32 animationTime[kSpellStepCount];   // SPELLANIMATIONSETTIME .. SPELLANIMATION08TIME
    SpellVoice voices[kSpellVoiceCount];  // SPELLVOICE00PLAYNO, SPELLVOICE00WAIT ..
};

class CSpellCardSetting : public CSettingFile {
public:
    // NAME and the 115 keys of this class.
    static constexpr u32 kKeyCount = 116;
    static constexpr u32 kEffectListCount = 10;

    CSpellCardSetting() = default;
    // Copies the numbers, names and lists, and every barrage whole.
    CSpellCardSetting(const CSpellCardSetting& other) = default;
    ~CSpellCardSetting() override;

    // 0 when any key could not be registered.
    i32 RegisterKeys() override;
    // Refuses numbers outside the card's tables, then loads the barrages in
    // order; the first failure fails the load.
    i32 OnLoaded(const CStatusKeyMap* aliasTable) override;
    // Releases the barrages, then the base's clear.
    i32 Clear() override;

    // Whether every number that indexes a table of the card lies inside it.
    bool IsWithinTables() const;

    const CSpellCardValues& GetValues() const { return m_values; }
    CSpellCardValues& GetValues() { return m_values; }
    const CSettingFileList<CPatternListParameter>& GetBarrages() const { return m_barrages; }
    // Event camera 0 (left) or 1 (right), or null.
    const CString* GetEventCamera(u32 index) const { return index < 2 ? &m_eventCameras[index] : nullptr; }
    // Effect list index 0..9 (EFCSPELLSET .. EFCSPELLFIELD), or null.
    const CStringList* GetEffectList(u32 index) const
    {
        return index < kEffectListCount ? &m_effectLists[index] : nullptr;
    }
    const CString& GetBone() const { return m_bone; }

private:
    CSpellCardValues m_values{};
    CSettingFileList<CPatternListParameter> m_barrages;   // BARRAGE
    CString m_eventCameras[2];                            // LEFTEVENTCAMERA, RIGHTEVENTCAMERA
    CStringList m_effectLists[kEffectListCount];          // EFCSPELLSET ..
    CString m_bone;                                       // BONESHOOTSETLOOP
};

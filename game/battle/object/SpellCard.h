// CSpellCard: one of a fighter's seven attack cards (A, B, charged A and B,
// exception, high tension, climax tension). While it runs it moves and
// animates its owner step by step, plays its effects, fires its barrages,
// flies its event cameras and darkens its owner's view through the stage;
// when empty it refills over time. The spell type chooses its begin and
// update handlers, the character type shapes the climax phase of a climax
// card.
//
// The owner is the fighter that casts it (ISpellCardOwner); the card answers
// message 36 with its owner's slot so the stage darkens that view.
#pragma once

#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/ObjectDivision.h"
#include "game/battle/object/SpellCardState.h"

#include <vector>

class CBarrage;
class CEffect;
class CEffectContainer;
class CEventCamera;
class CSpellCardSetting;
class ISpellCardOwner;
struct CSpellCardValues;

class CSpellCard : public CObjectDivision, public ISpellCardState, public ISpellCardDriver {
    ORV_VALUE_CLASS(CSpellCard)

public:
    static constexpr u32 kEffectSlotCount = 10;
    // EFCSPELLHITATTACK: no handler plays it; the caster's hit does, where
    // the card's sphere meets its victim.
    static constexpr u32 kHitEffectSlot = 7;
    static constexpr u32 kAttachedCount = 6;
    static constexpr u32 kClimaxCard = 6;

    using Handler = i32 (CSpellCard::*)();

    CSpellCard();
    // Takes settings (may be null: the card then never loads).
    CSpellCard(CSpellCardSetting* settings, u32 variation);
    // Every member with its own settings, barrages and event cameras; the
    // effect containers are shared, the playing effects stay the original's.
    CSpellCard(const CSpellCard& other);
    ~CSpellCard() override;

    i32 Release() override;
    i32 Initialize(intptr_t) override { return 1; }
    // Engine callers have no owner: 1.
    i32 Update(u32) override { return 1; }
    i32 Draw(u32 argument) override;
    i32 LoadResource(CResourceController* controller) override;
    // 36: the owner's slot. Everything else is ignored.
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    // Base, the card's fields in declaration order, which attached slots
    // hold an effect, the barrages, the event cameras.
    void HashState(CStateHash& hash) const override;

    virtual i32 Activate(CObjectDivision* owner);
    virtual i32 SetupBeginHandlers();
    virtual i32 SetupUpdateHandlers();
    virtual i32 SetupCharacterHandlers();

    // One frame for owner; 1 when the card ended this frame (or has no
    // owner that can cast it).
    i32 Update(CObjectDivision* owner);

    // -- Called by the character. --
    void UseAmmunition();
    i32 Start(CObjectDivision* owner) override;
    void NextShortAttack();
    void AdvanceStepWithEffect(CObjectDivision* owner) override;
    void PlaceAtOwner(CObjectDivision* owner) override;
    void AlignWithOwner(CObjectDivision* owner) override;
    void UpdateReload(CObjectDivision* owner);
    u32 CanUserMove() const;
    u32 IsSpellTypeNot4() const;
    u32 IsReadyToShoot() const;
    // The barrages a card index fires: [first, first + count).
    void GetUsableBarrages(u32 card, u32* first, u32* count) const;

    // -- ISpellCardState. --
    u16 GetStock() const override { return m_ammunition; }
    f32 GetClock() const override { return m_phaseTime; }
    f32 GetReloadTimer() const override { return m_reloadTimer; }
    u32 GetCounter() const override { return m_shortAttackCount; }
    u32 IsLocked() const override { return m_climaxLevel != 0; }
    u32 LetsUserMove() const override { return m_movable; }
    u32 IsPhaseSet() const override { return m_firing; }
    u32 IsIdle() const override { return !m_active; }
    void ClearAttachedObjects() override;

    // -- ISpellCardDriver. --
    void UseStock() override { UseAmmunition(); }
    i32 ActivateCard(CObjectDivision* user) override { return Activate(user); }
    i32 UpdateCard(CObjectDivision* user) override { return Update(user); }
    // The step's motion while running.
    i32 GetCardMotion() const override { return m_active ? i32(m_baseAnimation + m_step) : -1; }
    void UpdateCardReload(CObjectDivision* user) override { UpdateReload(user); }
    void RefillCard(bool reloadClock) override;
    void NextCardShortAttack() override { NextShortAttack(); }

    const CSpellCardSetting* GetSettings() const { return m_settings; }
    u32 GetStep() const { return m_step; }
    u32 GetClimaxLevel() const { return m_climaxLevel; }
    u32 IsClimaxStartPending() const { return m_climaxStartPending; }
    u32 IsTeleported() const { return m_teleported; }
    f32 GetFireWaitTimer() const { return m_fireWaitTimer; }
    f32 GetStepTimer() const { return m_stepTimer; }
    const CVector3& GetShotDirection() const { return m_shotDirection; }
    CEffect* GetAttachedObject(u32 slot) const { return slot < kAttachedCount ? m_attached[slot] : nullptr; }
    CEffectContainer* GetEffect(u32 slot) const { return slot < kEffectSlotCount ? m_effects[slot] : nullptr; }
    u32 GetBarrageCount() const { return u32(m_barrages.size()); }
    CBarrage* GetBarrage(u32 i) const { return i < m_barrages.size() ? m_barrages[i] : nullptr; }
    CEventCamera* GetEventCamera(u32 side) const { return side < 2 ? m_cameras[side] : nullptr; }
    u32 GetVoiceIndex() const { return m_voiceIndex; }
    f32 GetVoiceTimer() const { return m_voiceTimer; }

private:
    friend struct StateHashProbe;   // the state hash tests change each field
    // The owner for this call; false when it cannot cast a card.
    bool Bind(CObjectDivision* owner);
    const CSpellCardValues& V() const;
    u32 OwnerSlot() const;
    u32 UsingClimaxCard() const;
    CVector3 OwnerCenter() const;
    CVector3 OwnerDirection(const CVector3& local) const;
    f32 Dt() const;
    f32 ScaledDt() const;

    // Effects: effect slot e played once, or into attached slot k.
    void PlayOnce(u32 e, const CVector3& position, const CVector3* rotation);
    void PlayInto(u32 e, u32 k, const CVector3& position, const CVector3* rotation);
    void PlayAtBoneInto(u32 e, u32 k);
    void SetAttachedObject(u32 k, CEffect* effect);
    void Clear(u32 k) { SetAttachedObject(k, nullptr); }
    bool Empty(u32 k) const { return m_attached[k] == nullptr; }
    void Shake();
    void SendDarkening(u32 on, const f32* limit);

    void AdvanceStep();
    bool IsStepFinished() const;
    f32 StepLength(u32 step) const;
    void QueueVoice(u32 index);
    i32 ShotStep();
    i32 FireBarrages();
    void RestartBarrages();
    void BeginFiring() { m_firing = 1; }
    void Teleport();
    void BackStep();
    void Dash(const CVector3& direction);
    void Buff(u32 buff);
    void GazeStep();
    void UpdateVoice();
    void UpdateWeaponShow();
    void UpdateFade(f32 t);
    void End();
    CEventCamera* OwnerCamera() const;
    void ResetCamera(CEventCamera* camera, bool held) const;
    void FollowWithCamera();

    // Climax phase.
    i32 ClimaxStep();
    bool Approach();
    // One frame of the approach; true once at SHOOTLENGTH from the target.
    bool MoveToShootLength(bool closing);
    i32 ClimaxAdvance();
    bool EndedAt(i32 step) const;
    bool During(i32 step) const { return i32(m_step) == step; }

    // Table A.
    i32 BeginRestart();
    i32 BeginMagicSquare();
    i32 BeginNothing() { return 1; }
    i32 BeginShortAttack();
    i32 BeginChained();
    i32 BeginBuff();
    i32 BeginBarrageWait();
    i32 BeginTeleportCard();
    // Table B.
    i32 UpdateBarrage();
    i32 UpdateCounter();
    i32 UpdateTeleport();
    i32 UpdateFireTeleport();
    i32 UpdateShortAttack();
    i32 UpdateTeleportDash();
    i32 UpdateChained();
    i32 UpdateBackStep();
    i32 UpdateBuff1() { return UpdateBuff(1); }
    i32 UpdateBuff2() { return UpdateBuff(2); }
    i32 UpdateBuff3() { return UpdateBuff(3); }
    i32 UpdateBuff(u32 buff);
    i32 UpdateBarrageClear();
    i32 UpdateTeleportCard();
    // Table C.
    i32 Climax0();
    i32 Climax1();
    i32 Climax2();
    i32 Climax3();
    i32 ClimaxNothing() { return 1; }
    i32 Climax6();
    i32 Climax7();
    i32 Climax8();
    i32 Climax9();
    i32 Climax10();
    i32 Climax11();
    i32 Climax12();
    i32 Climax13();
    i32 Climax14();
    i32 Climax15();
    i32 Climax17();

    CVector3 m_shotDirection;
    f32 m_fireWaitTimer = 0.0f;
    CEffectContainer* m_effects[kEffectSlotCount] = {};
    CEffect* m_attached[kAttachedCount] = {};
    u32 m_climaxLevel = 0;
    u32 m_climaxStartPending = 0;
    u32 m_active = 0;
    u32 m_firing = 0;
    f32 m_shotTimer = 0.0f;
    f32 m_stepTimer = 0.0f;
    u32 m_baseAnimation = 0;
    u32 m_step = 0;
    u32 m_voiceIndex = 0;
    f32 m_voiceTimer = 0.0f;
    u16 m_ammunition = 0;
    f32 m_reloadTimer = 0.0f;
    f32 m_weaponShowTimer = 0.0f;
    f32 m_weaponShowEnd = 0.0f;
    f32 m_fadeClock = 0.0f;
    f32 m_phaseTimer = 0.0f;
    u32 m_fadingOut = 0;
    u32 m_teleported = 0;
    u32 m_shortAttackCount = 0;
    f32 m_phaseTime = 0.0f;
    f32 m_phaseDelay = 0.0f;
    u32 m_movable = 0;
    f32 m_movingTimer = 0.0f;
    f32 m_movingFalseEnd = 0.0f;
    u32 m_variation = 0;
    CObjectDivision* m_owner = nullptr;
    ISpellCardOwner* m_user = nullptr;
    CSpellCardSetting* m_settings = nullptr;
    std::vector<CBarrage*> m_barrages;
    CEventCamera* m_cameras[2] = {};   // by side: left, right
    Handler m_begin[13] = {};
    Handler m_update[13] = {};
    Handler m_climax[18] = {};
};

#include "game/battle/character/CpuCharacter.h"

#include "engine/core/FloatMath.h"
#include "engine/core/Random.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/ShotRecords.h"
#include "game/battle/object/SpellCardSetting.h"

#include <algorithm>

using character_actions::In;

const CCpuCharacter::LevelRow CCpuCharacter::kLevels[kCpuLevelCount] = {
    {0.65f, 2.2f, 40}, {0.45f, 1.6f, 40}, {0.30f, 1.2f, 40}, {0.14f, 0.9f, 40}, {0.03f, 0.5f, 40},
    {0.06f, 1.2f, 40}, {0.06f, 1.2f, 100}, {0.06f, 1.2f, 100}, {0.06f, 1.2f, 40}, {0.06f, 1.2f, 40},
    {0.06f, 1.2f, 40},
};

namespace {

constexpr i32 kDefaultLevel = 2;

}  // namespace

CCpuCharacter::CCpuCharacter(CCharacterParameter* parameter, CTensionFile* tension) : CCharacter(parameter, tension) {}

i32 CCpuCharacter::Create(const CharacterCreateRecord* entry)
{
    for (f32& w : m_weights) w = 1.0f;
    m_targetRange = 20.0f;
    m_heightStep = 2.0f;
    m_farRange = 100.0f;
    m_middleRange = 40.0f;
    // The record's level comes from a set-up or a replay: one out of range
    // plays as a fighter without a record.
    if (!entry || !SetLevel(entry->computerLevel)) SetLevel(kDefaultLevel);
    InitDecisionTable();
    return CCharacter::Create(entry);
}

u32 CCpuCharacter::SetLevel(i64 level)
{
    if (level < 0 || level >= i64(kCpuLevelCount)) return 0;
    const LevelRow& row = kLevels[level];
    m_level = i32(level);
    m_thinkInterval = row.thinkInterval;
    m_drawInterval = row.drawInterval;
    m_defenceThreshold = row.defenceThreshold;
    return 1;
}

u32 CCpuCharacter::OnMessage(u32 message, CMessageObject* sender, intptr_t parameter)
{
    // The scene broadcasts the address of its level word.
    if (message == kMsgComputerLevel) return parameter ? SetLevel(*reinterpret_cast<const i32*>(parameter)) : 0;
    return CCharacter::OnMessage(message, sender, parameter);
}

void CCpuCharacter::InitDecisionTable()
{
    for (DecisionHandler& d : m_decisions) d = nullptr;
    auto set = [this](std::initializer_list<u32> actions, DecisionHandler handler) {
        for (u32 a : actions) m_decisions[a] = handler;
    };
    set({0}, &CCpuCharacter::DecideIdle);
    set({1}, &CCpuCharacter::DecideTedium);
    set({2}, &CCpuCharacter::DecideShortAttack);
    set({5}, &CCpuCharacter::DecideShoot);
    set({6, 9}, &CCpuCharacter::DecideSteer);
    set({13}, &CCpuCharacter::DecideGuard);
    set({14}, &CCpuCharacter::DecideDown);
    set({15}, &CCpuCharacter::DecideDash);
    set({16}, &CCpuCharacter::DecideSlide);
    set({17, 18}, &CCpuCharacter::DecideDoubleSlide);
    set({19}, &CCpuCharacter::DecideMirageSlide);
    set({21}, &CCpuCharacter::DecideMash);
    set({3, 4, 7, 8, 10, 11, 12, 20}, &CCpuCharacter::DecideNothing);
}

void CCpuCharacter::HashState(CStateHash& hash) const
{
    CCharacter::HashState(hash);
    hash.I32(m_level).U32(m_approachMode).I32(m_draw);
    hash.F32(m_thinkTimer).F32(m_thinkInterval).F32(m_drawTimer).F32(m_drawInterval);
    hash.F32(m_targetRange).F32(m_middleRange).F32(m_farRange).I32(m_defenceThreshold);
    hash.U32(m_releaseSlide).U32(m_releaseShot).F32(m_heightStep);
    for (f32 w : m_weights) hash.F32(w);
}

i32 CCpuCharacter::Update(u32 argument)
{
    const f32 dt = GetFrameTime();
    u32* raw = m_input.raw;
    m_drawTimer -= dt;
    if (m_drawTimer <= 0.0f) {
        m_draw = i32(RandomInt(100));
        m_drawTimer += m_drawInterval;
    }
    std::copy(raw, raw + kInputCodeCount, m_input.previousRaw);
    if (m_releaseSlide) raw[22] = 0, m_releaseSlide = 0;
    bool skipThink = false;
    const bool shotReleased = m_releaseShot != 0;
    if (shotReleased) {
        raw[24] = 0, m_releaseShot = 0;
    } else if (m_level == 7 && raw[23] && m_parameter &&
               m_status.timers.guardReload > m_parameter->values.guard.reload) {
        raw[23] = 1;
        skipThink = true;
    }
    m_thinkTimer -= dt;
    if (!shotReleased && raw[24]) {
        // A held charge: let go once it is full; no thinking meanwhile.
        if (m_parameter) {
            const CharacterValues& v = m_parameter->values;
            if (raw[28]) {
                // The selected card's charge (A or B), not the card cast last.
                if (m_parameter->GetSpellCard(GetSelectedSet()).GetValues().chargeTime <= m_status.timers.spellCharge)
                    raw[24] = 0;
            } else if (v.shots[GetSelectedSet()].chargeTime <= m_status.timers.shotCharge) {
                // The selected record's charge, the one the charge fills: the
                // current slot is the charged one after a charged shot.
                raw[24] = 0;
            }
        }
    } else if (m_thinkTimer <= 0.0f && !skipThink) {
        ShiftInput();
        ChooseTarget();
        Decide();
        auto axis = [raw](u32 minus, u32 plus) { return raw[minus] ? -1.0f : raw[plus] ? 1.0f : 0.0f; };
        m_input.stick1X = axis(14, 15);
        m_input.stick1Y = axis(12, 13);
        m_input.stick2X = axis(19, 20);
        m_input.stick2Y = axis(17, 18);
        m_thinkTimer += m_thinkInterval;
    }
    RefreshInput();
    return CCharacter::Update(argument);
}

CCharacterBase* CCpuCharacter::Target() const { return dynamic_cast<CCharacterBase*>(GetLockedTarget()); }

f32 CCpuCharacter::DistanceTo(const CObjectDivision& other) const
{
    return (*other.GetPosition() - m_position).Length();
}

bool CCpuCharacter::IsOpen(const CCharacterBase& c) const
{
    const CharacterStatus& s = *c.GetStatus();
    const u32 step = ActionSubStep(c);
    if ((s.action == kActionHitReaction && step >= 3 && step <= 6) || In(s.action, {25, 1})) return true;
    if (s.lockedTargetId == GetId()) return false;
    if (DistanceTo(c) <= m_targetRange && s.action == kActionShortAttack) return true;
    if (c.IsInCameraView(this)) return false;
    return s.action == kActionGuard || (s.action == kActionSpellCard && s.spellSlot == 5);
}

f32 CCpuCharacter::ScoreA(CCharacterBase& c)
{
    f32 score = 0.0f;
    if (c.GetStatus()->lockedTargetId == GetId()) score += m_weights[0];
    const f32 d = DistanceTo(c);
    if (d <= m_targetRange && m_targetRange > 0.0f) score += m_weights[1] * (m_targetRange - d) / m_targetRange;
    if (IsInCameraView(&c)) score += m_weights[2];
    if (IsLineClear(&c)) score += m_weights[3];
    if (IsOpen(c)) score += m_weights[4];
    return score;
}

f32 CCpuCharacter::ScoreB(CCharacterBase& c)
{
    f32 score = 0.0f;
    if (c.GetStatus()->lockedTargetId == GetId()) score += m_weights[0];
    const f32 d = DistanceTo(c);
    if (d <= m_targetRange && m_targetRange > 0.0f) score += m_weights[1] * (m_targetRange - d) / m_targetRange;
    if (c.IsInCameraView(this)) score += m_weights[2];
    if (c.IsLineClear(this)) score += m_weights[3];
    return score;
}

void CCpuCharacter::ChooseTarget()
{
    if (!MayLockOn()) return;
    const BattleCharacterList* list = nullptr;
    if (!SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&list)) ||
        !list)
        return;
    f32 best = 0.0f;
    u32 bestId = m_status.lockedTargetId;
    for (u32 i = 0; i < list->count; ++i) {
        auto* c = dynamic_cast<CCharacterBase*>(list->characters[i]);
        // No fighter is chosen while it is no target, but for the one this
        // fighter's card has bound: the lock-on step would drop it again.
        if (!c || !IsHostile(c) || !(c->IsTargetable() || HoldsBound(c))) continue;
        // Team mates of self already on c.
        f32 focus = 0.0f;
        for (u32 j = 0; j < list->count; ++j) {
            auto* mate = dynamic_cast<const CCharacterBase*>(list->characters[j]);
            if (mate && mate != this && mate != c && mate->GetTeam() == GetTeam() &&
                mate->GetStatus()->lockedTargetId == c->GetId())
                focus += m_weights[5];
        }
        f32 score = 0.0f;
        switch (m_status.order) {
        case 0: score = ScoreA(*c) + focus; break;
        case 1: score = ScoreA(*c) - focus; break;
        case 2: score = ScoreB(*c); break;
        default: score = ScoreA(*c); break;
        }
        if (best <= score) best = score, bestId = c->GetId();
    }
    m_status.lockedTargetId = bestId;
}

void CCpuCharacter::Decide()
{
    switch (m_level) {
    case 5: break;
    case 6:
        if (IsGuarding()) Press(23);
        else DefenceReflex();
        break;
    case 7:
        if (In(m_status.action, {13, 14})) Press(23);
        break;
    case 8: PressShot(false); break;
    case 9:
        if (CCharacterBase* t = Target()) {
            SteerToTarget();
            if (m_parameter && DistanceTo(*t) <= m_parameter->values.body.nearRadius && !m_input.previousRaw[25])
                Press(25);
        }
        break;
    case 10: Press(28), PressShot(false); break;
    default: {
        const DecisionHandler handler = m_status.action < kActionCount ? m_decisions[m_status.action] : nullptr;
        if (handler) (this->*handler)();
        break;
    }
    }
}

void CCpuCharacter::Steer(const CVector3* p)
{
    if (!p) {
        Press(12);
        return;
    }
    const CVector3 v = *p - m_position;
    CVector3 forward(0.0f, 0.0f, -1.0f);
    if (m_camera) m_camera->GetForward(&forward);
    const f32 lengths = v.Length() * forward.Length();
    f32 cosine = lengths > 0.0f ? v.Dot(forward) / lengths : 1.0f;
    cosine = cosine > 1.0f ? 1.0f : cosine < -1.0f ? -1.0f : cosine;
    const f32 a = AcosF(cosine) * kRadToDeg;
    const i32 r = m_draw;
    const bool dashing = m_status.action == kActionDash;
    if (v.LengthSquared() <= m_targetRange * m_targetRange && r % 50 < 31) {
        Press(r > 50 ? 14 : 15);
    } else if (a >= 90.0f) {
        if (!dashing) Press(13);
        Press(r > 50 ? 14 : 15);
    } else {
        if (!dashing) Press(12);
        if (r >= 41 && r < 81) Press(14);
        else if (r < 41) Press(15);
    }
    if (v.y >= m_heightStep) Press(dashing ? 12 : 27);
    else if (v.y <= -m_heightStep) Press(dashing ? 13 : 29);
}

void CCpuCharacter::SteerToTarget()
{
    if (const CObjectDivision* t = GetLockedTarget()) {
        Steer(t->GetPosition());
    } else {
        Steer(nullptr);
    }
}

bool CCpuCharacter::DefenceReflex()
{
    if (m_level <= 0 || m_draw > m_defenceThreshold) return false;
    const u32 danger = DangerFlags();
    if (!danger) {
        const CCharacterBase* t = Target();
        const f32 n = m_parameter ? m_parameter->values.body.nearRadius : 0.0f;
        if (!t || !t->IsAttacking() || DistanceTo(*t) > n) return false;
        if (CanGuard()) Press(23);
        else if (CanSlide()) Press(13), PressSlide();
        return true;
    }
    if (CanGuard()) {
        Press(23);
    } else if (CanSlide()) {
        static constexpr u32 kEscape[4][2] = {{1, 14}, {2, 15}, {4, 13}, {8, 12}};
        for (const auto& e : kEscape)
            if (danger & e[0]) Press(e[1]);
        PressSlide();
    }
    return true;
}

// -- Decision handlers. --

// What every handler but those of actions 1, 13 and 21 reads first; they
// need a target.
#define ORV_CPU_MOMENT                                                                     \
    CCharacterBase* target = Target();                                                     \
    if (!target) return 1;                                                                 \
    const f32 d = DistanceTo(*target);                                                     \
    const f32 n = m_parameter ? m_parameter->values.body.nearRadius : 0.0f;                \
    const f32 m = m_middleRange;                                                           \
    const i32 r = m_draw, level = m_level;                                                 \
    (void)d, (void)n, (void)m, (void)r, (void)level

u32 CCpuCharacter::DecideIdle()
{
    ORV_CPU_MOMENT;
    SteerToTarget();
    if (DefenceReflex()) return 1;
    const bool open = IsOpen(*target), caster = level >= 2;
    const u32 combo = m_status.comboIndex;
    if (d <= n) {
        if (r < 46 && CanShortAttack(combo)) Press(25);
        else if (r < 71 && CanSlide()) PressSlide();
        else if (r <= 90 && CanCastClimaxSpell() && open && caster) PressSlide(), Press(28);
    } else if (d <= m) {
        if (r < 26 && CanSlide()) PressSlide();
        else if (r <= 35 && CanMirageSlide()) Press(28), Press(27);
        else if (r < 56 && CanShoot()) PressShot(r <= 45);
        else if (r < 81 && CanCastSpell()) Press(28), PressShot(r < 71 && caster);
        else if (r < 86 && CanCastExceptionSpell()) Press(28), Press(23);
        else if (r < 101 && CanCastClimaxSpell() && open && caster) PressSlide(), Press(28);
        else if (CanCastHiTensionSpell() && open && caster) Press(28), Press(25);
    } else {
        if (r < 16 && CanSlide()) PressSlide();
        else if (r < 41 && CanDash()) Press(22);
        else if (r < 66 && CanCastHiTensionSpell() && open && caster) Press(28), Press(25);
        else if (r <= 85 && CanCastClimaxSpell() && open && caster) PressSlide(), Press(28);
    }
    return 1;
}

u32 CCpuCharacter::DecideTedium()
{
    if (!DefenceReflex()) SteerToTarget();
    return 1;
}

u32 CCpuCharacter::DecideShortAttack()
{
    ORV_CPU_MOMENT;
    SteerToTarget();
    const u32 combo = m_status.comboIndex;
    const bool nextAllowed = CanShortAttack(combo + 1) != 0;
    if (!IsChangedAnimation(97 + combo) && nextAllowed) return 1;
    if (m_status.attackHitMask && nextAllowed) {
        Press(25);
    } else if (level >= 2 && d <= m && CanCastSpell()) {
        Press(28);
        if (r <= 45) PressShot(true);
        else if (r <= 80) PressShot(false);
    }
    return 1;
}

u32 CCpuCharacter::DecideShoot()
{
    ORV_CPU_MOMENT;
    SteerToTarget();
    if (d > m) return 1;
    const auto* barrage = m_status.barrageSlot < m_barrages.size()
                              ? dynamic_cast<const IChildBarrage*>(m_barrages[m_status.barrageSlot].get())
                              : nullptr;
    const bool finished = !barrage || barrage->IsFinished();
    if (r < 31 && CanSlide()) PressSlide();
    else if (r < 61 && CanShoot() && finished) PressShot(IsOpen(*target));
    return 1;
}

u32 CCpuCharacter::DecideSteer()
{
    if (Target()) SteerToTarget();
    return 1;
}

u32 CCpuCharacter::DecideGuard()
{
    m_input.raw[23] = 0;
    const CCharacterBase* t = Target();
    const f32 n = m_parameter ? m_parameter->values.body.nearRadius : 0.0f;
    if (DangerFlags() || (t && t->IsAttacking() && DistanceTo(*t) <= n)) Press(23);
    return 1;
}

u32 CCpuCharacter::DecideDown()
{
    ORV_CPU_MOMENT;
    if (level != 4 || !CanSpark() || ActionSubStep(*this) == 7) return 1;
    const CharacterStatus& ts = *target->GetStatus();
    const ISpellCardState* card = target->GetSpellCardState(ts.spellSlot);
    // A spark answers a strong card that has not locked its caster in.
    if (character_actions::IsSpellAction(ts.action) && ts.spellSlot >= 5 && card && !card->IsLocked())
        PressSlide(), Press(23), Press(25);
    return 1;
}

u32 CCpuCharacter::DecideDash()
{
    ORV_CPU_MOMENT;
    m_input.raw[22] = 0;
    if (m_status.dashAngle == -1.0f) {
        if (d <= n && r <= 30 && CanShortAttack(m_status.comboIndex)) Press(25);
        return 1;
    }
    SteerToTarget();
    if (d <= n && r < 31 && CanShortAttack(m_status.comboIndex)) Press(25);
    return 1;
}

u32 CCpuCharacter::DecideSlide()
{
    ORV_CPU_MOMENT;
    SteerToTarget();
    const bool open = IsOpen(*target);
    if (d > n && d <= m) {
        if (r < 36 && CanDoubleSlide()) PressSlide();
        else if (r < 61 && CanShoot()) PressShot(open);
        else if (level >= 2 && r < 81 && CanCastSpell()) Press(28), PressShot(!(r > 60 && !open));
    } else if (d <= n) {
        if (r < 51 && IsAttackReady()) Press(25);
        else if (r <= 70 && level >= 3) Press(25);
    }
    return 1;
}

u32 CCpuCharacter::DecideDoubleSlide()
{
    ORV_CPU_MOMENT;
    SteerToTarget();
    if (d > n) {
        if (r < 31 && CanShoot()) PressShot(IsOpen(*target));
    } else if (r < 51 && IsAttackReady()) {
        Press(25);
    }
    return 1;
}

u32 CCpuCharacter::DecideMirageSlide()
{
    ORV_CPU_MOMENT;
    if (d > n) return 1;
    if (r <= 25 && IsAttackReady()) Press(25);
    else if (r <= 60 && level >= 3) Press(25);
    return 1;
}

u32 CCpuCharacter::DecideMash()
{
    m_input.raw[22] = m_input.previousRaw[22] ? 0 : 1;
    return 1;
}

#undef ORV_CPU_MOMENT

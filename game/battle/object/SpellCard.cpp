#include "game/battle/object/SpellCard.h"

#include "engine/core/FloatMath.h"
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "game/battle/object/Barrage.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/EventCamera.h"
#include "game/battle/object/SpellCardSetting.h"

#include <cfloat>
#include <cstring>

namespace {

constexpr f32 kBlend = 0.1f;
constexpr u32 kLastStep = kSpellStepCount - 1;
const CVector3 kFront(0.0f, 0.0f, -1.0f);

bool IsNone(const CString& name)
{
    const char* text = name.GetText();
    return !text || !*text || std::strcmp(text, "Non Name") == 0;
}

// v normalised; a zero v gives fallback.
CVector3 UnitOr(const CVector3& v, const CVector3& fallback)
{
    const CVector3 n = v.Normalized();
    return n.LengthSquared() > 0.0f ? n : fallback;
}

CVector3 CenterOf(CObjectDivision* object)
{
    if (const ISpellCardOwner* user = AsSpellCardOwner(object)) {
        CVector3 c;
        user->GetCenter(&c);
        return c;
    }
    return PositionOf(object);
}

// An empty card's numbers: every handler reads them safely.
const CSpellCardValues& EmptyValues()
{
    static const CSpellCardValues values{};
    return values;
}

}  // namespace

ISpellCardOwner* AsSpellCardOwner(CObjectDivision* object) { return dynamic_cast<ISpellCardOwner*>(object); }

CSpellCard::CSpellCard() { SetGroup(kGroupSpellCard); }

CSpellCard::CSpellCard(CSpellCardSetting* settings, u32 variation) : m_variation(variation), m_settings(settings)
{
    SetGroup(kGroupSpellCard);
}

// The playing effects are the original's to release: a copy that shared
// them would release them a second time.
CSpellCard::CSpellCard(const CSpellCard& other)
    : CObjectDivision(other),
      m_shotDirection(other.m_shotDirection),
      m_fireWaitTimer(other.m_fireWaitTimer),
      m_climaxLevel(other.m_climaxLevel),
      m_climaxStartPending(other.m_climaxStartPending),
      m_active(other.m_active),
      m_firing(other.m_firing),
      m_shotTimer(other.m_shotTimer),
      m_stepTimer(other.m_stepTimer),
      m_baseAnimation(other.m_baseAnimation),
      m_step(other.m_step),
      m_voiceIndex(other.m_voiceIndex),
      m_voiceTimer(other.m_voiceTimer),
      m_ammunition(other.m_ammunition),
      m_reloadTimer(other.m_reloadTimer),
      m_weaponShowTimer(other.m_weaponShowTimer),
      m_weaponShowEnd(other.m_weaponShowEnd),
      m_fadeClock(other.m_fadeClock),
      m_phaseTimer(other.m_phaseTimer),
      m_fadingOut(other.m_fadingOut),
      m_teleported(other.m_teleported),
      m_shortAttackCount(other.m_shortAttackCount),
      m_phaseTime(other.m_phaseTime),
      m_phaseDelay(other.m_phaseDelay),
      m_movable(other.m_movable),
      m_movingTimer(other.m_movingTimer),
      m_movingFalseEnd(other.m_movingFalseEnd),
      m_variation(other.m_variation),
      m_owner(other.m_owner),
      m_user(other.m_user)
{
    std::memcpy(m_effects, other.m_effects, sizeof(m_effects));
    std::memcpy(m_begin, other.m_begin, sizeof(m_begin));
    std::memcpy(m_update, other.m_update, sizeof(m_update));
    std::memcpy(m_climax, other.m_climax, sizeof(m_climax));
    if (other.m_settings) m_settings = new CSpellCardSetting(*other.m_settings);
    for (const CBarrage* b : other.m_barrages)
        if (auto* copy = new CBarrage(*b)) m_barrages.push_back(copy);
    for (u32 i = 0; i < 2; ++i)
        if (other.m_cameras[i]) m_cameras[i] = other.m_cameras[i]->Clone();
}

CSpellCard::~CSpellCard() { CSpellCard::Release(); }

i32 CSpellCard::Release()
{
    for (u32 k = 0; k < kAttachedCount; ++k) Clear(k);
    delete m_settings;
    m_settings = nullptr;
    for (CBarrage* b : m_barrages) delete b;
    m_barrages.clear();
    for (CEventCamera*& c : m_cameras) {
        delete c;
        c = nullptr;
    }
    return CObjectDivision::Release();
}

const CSpellCardValues& CSpellCard::V() const { return m_settings ? m_settings->GetValues() : EmptyValues(); }

bool CSpellCard::Bind(CObjectDivision* owner)
{
    m_owner = owner;
    m_user = AsSpellCardOwner(owner);
    return m_user != nullptr;
}

f32 CSpellCard::Dt() const { return GetFrameTime(); }
f32 CSpellCard::ScaledDt() const { return GetFrameTime() * (m_user ? m_user->GetTimeScale() : 1.0f); }

u32 CSpellCard::OwnerSlot() const
{
    u32 slot = 0;
    if (m_owner) m_owner->SendObjectMessage(kMsgTargetSlot, m_owner->GetId(), 0, reinterpret_cast<intptr_t>(&slot));
    return slot;
}

u32 CSpellCard::UsingClimaxCard() const { return m_user && m_user->GetSpellSlot() == kClimaxCard; }

CVector3 CSpellCard::OwnerCenter() const { return CenterOf(m_owner); }

CVector3 CSpellCard::OwnerDirection(const CVector3& local) const
{
    CVector3 rotation;
    m_owner->GetRotation(&rotation);
    return Turned(local, rotation);
}

// -- Loading. --

i32 CSpellCard::LoadResource(CResourceController* controller)
{
    if (!m_settings) return 0;
    for (CBarrage* b : m_barrages) delete b;
    m_barrages.clear();
    const auto& definitions = m_settings->GetBarrages();
    for (u32 i = 0; i < definitions.GetCount(); ++i) {
        auto* barrage = new CBarrage(definitions.GetAt(i));
        if (!barrage) break;
        if (!barrage->LoadResource(controller) || !barrage->Initialize(0)) {
            delete barrage;
            break;
        }
        m_barrages.push_back(barrage);
    }
    const CSpellCardValues& v = V();
    for (u32 i = 0; i < kEffectSlotCount; ++i) {
        m_effects[i] = nullptr;
        const CStringList* list = m_settings->GetEffectList(i);
        if (!list || !list->GetCount()) continue;
        const bool divided = v.effectDivisionType == 1 && list->GetCount() > 1 && list->GetCount() > m_variation;
        const CString* name = list->GetAt(divided ? m_variation : 0);
        if (name && !IsNone(*name)) GetEffectContainer(controller, name->GetText(), &m_effects[i]);
    }
    for (CEventCamera*& c : m_cameras) {
        delete c;
        c = nullptr;
    }
    for (u32 side = 0; side < 2; ++side) {
        const CString* name = m_settings->GetEventCamera(side);
        if (!name || IsNone(*name)) continue;
        auto* camera = new CEventCamera();
        if (!camera) break;
        if (!camera->Load(name->GetText())) {
            delete camera;
            break;
        }
        ResetCamera(camera, true);
        m_cameras[side] = camera;
    }
    SetupBeginHandlers();
    SetupUpdateHandlers();
    SetupCharacterHandlers();
    return 1;
}

i32 CSpellCard::SetupBeginHandlers()
{
    // Types 3 and 7 fire barrages too: they start them again like 0 and 1,
    // or a second cast would fly on from where the first one stopped.
    const Handler table[13] = {&CSpellCard::BeginRestart, &CSpellCard::BeginRestart, &CSpellCard::BeginMagicSquare,
        &CSpellCard::BeginRestart, &CSpellCard::BeginShortAttack, &CSpellCard::BeginNothing,
        &CSpellCard::BeginChained, &CSpellCard::BeginRestart, &CSpellCard::BeginBuff, &CSpellCard::BeginBuff,
        &CSpellCard::BeginBuff, &CSpellCard::BeginBarrageWait, &CSpellCard::BeginTeleportCard};
    std::memcpy(m_begin, table, sizeof(m_begin));
    return 1;
}

i32 CSpellCard::SetupUpdateHandlers()
{
    const Handler table[13] = {&CSpellCard::UpdateBarrage, &CSpellCard::UpdateCounter, &CSpellCard::UpdateTeleport,
        &CSpellCard::UpdateFireTeleport, &CSpellCard::UpdateShortAttack, &CSpellCard::UpdateTeleportDash,
        &CSpellCard::UpdateChained, &CSpellCard::UpdateBackStep, &CSpellCard::UpdateBuff1, &CSpellCard::UpdateBuff2,
        &CSpellCard::UpdateBuff3, &CSpellCard::UpdateBarrageClear, &CSpellCard::UpdateTeleportCard};
    std::memcpy(m_update, table, sizeof(m_update));
    return 1;
}

i32 CSpellCard::SetupCharacterHandlers()
{
    const Handler table[18] = {&CSpellCard::Climax0, &CSpellCard::Climax1, &CSpellCard::Climax2,
        &CSpellCard::Climax3, &CSpellCard::ClimaxNothing, &CSpellCard::ClimaxNothing, &CSpellCard::Climax6,
        &CSpellCard::Climax7, &CSpellCard::Climax8, &CSpellCard::Climax9, &CSpellCard::Climax10,
        &CSpellCard::Climax11, &CSpellCard::Climax12, &CSpellCard::Climax13, &CSpellCard::Climax14,
        &CSpellCard::Climax15, &CSpellCard::ClimaxNothing, &CSpellCard::Climax17};
    std::memcpy(m_climax, table, sizeof(m_climax));
    return 1;
}

// -- Messages, hash, drawing. --

u32 CSpellCard::OnMessage(u32 message, CMessageObject*, intptr_t parameter)
{
    // The stage darkens and shakes the view of whoever sent the message.
    if (message == kMsgTargetSlot && parameter && m_owner)
        return m_owner->SendObjectMessage(kMsgTargetSlot, m_owner->GetId(), 0, parameter);
    return 1;
}

void CSpellCard::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    hash.Vector(m_shotDirection).F32(m_fireWaitTimer);
    u32 occupied = 0;
    for (u32 k = 0; k < kAttachedCount; ++k) occupied |= u32(m_attached[k] != nullptr) << k;
    hash.U32(occupied).U32(m_climaxLevel).U32(m_climaxStartPending).U32(m_active).U32(m_firing);
    hash.F32(m_shotTimer).F32(m_stepTimer).U32(m_baseAnimation).U32(m_step).U32(m_voiceIndex).F32(m_voiceTimer);
    hash.U32(m_ammunition).F32(m_reloadTimer).F32(m_weaponShowTimer).F32(m_weaponShowEnd).F32(m_fadeClock);
    hash.F32(m_phaseTimer).U32(m_fadingOut).U32(m_teleported).U32(m_shortAttackCount).F32(m_phaseTime);
    hash.F32(m_phaseDelay).U32(m_movable).F32(m_movingTimer).F32(m_movingFalseEnd).U32(m_variation);
    hash.U32(u32(m_barrages.size()));
    for (const CBarrage* b : m_barrages) b->HashState(hash);
    for (const CEventCamera* c : m_cameras) {
        hash.U32(c != nullptr);
        if (c) c->HashState(hash);
    }
}

i32 CSpellCard::Draw(u32 argument)
{
    if (!m_owner) return 1;
    i32 viewed = -1;
    SendObjectMessage(kMsgViewedSlot, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&viewed));
    bool field = viewed >= 0 && u32(viewed) == OwnerSlot();
    CObjectDivision* target = m_user ? m_user->GetTarget() : nullptr;
    if (UsingClimaxCard() && target) {
        u32 targetSlot = ~0u;
        target->SendObjectMessage(kMsgTargetSlot, target->GetId(), 0, reinterpret_cast<intptr_t>(&targetSlot));
        if (viewed >= 0 && targetSlot == u32(viewed)) field = m_climaxLevel > 0;
    }
    for (u32 k = 0; k < kAttachedCount; ++k)
        if (m_attached[k] && (k != 5 || field)) m_attached[k]->Draw(argument);
    return 1;
}

// -- Effects. --

void CSpellCard::SetAttachedObject(u32 k, CEffect* effect)
{
    if (k >= kAttachedCount) return;
    if (m_attached[k]) m_attached[k]->Release();
    m_attached[k] = effect;
}

void CSpellCard::ClearAttachedObjects()
{
    for (u32 k = 0; k < kAttachedCount; ++k) Clear(k);
    m_active = 0;
}

void CSpellCard::PlayOnce(u32 e, const CVector3& position, const CVector3* rotation)
{
    if (const CEffectContainer* c = m_effects[e])
        c->PlayAtMatrix(GetEffectManager(), &position, rotation, nullptr, 1, nullptr);
}

// The effect stays where it was played, wherever the card goes after.
void CSpellCard::PlayInto(u32 e, u32 k, const CVector3& position, const CVector3* rotation)
{
    Clear(k);
    const CEffectContainer* c = m_effects[e];
    if (!c) return;
    m_attached[k] = c->PlayAt(GetEffectManager(), &position, rotation, nullptr, 0.0f, 0, 0, nullptr);
}

void CSpellCard::PlayAtBoneInto(u32 e, u32 k)
{
    CAnimationFrame* bone = nullptr;
    if (m_user && m_settings && !IsNone(m_settings->GetBone())) bone = m_user->FindBone(m_settings->GetBone().GetText());
    if (!bone) return PlayInto(e, k, m_position, &m_rotation);
    Clear(k);
    if (const CEffectContainer* c = m_effects[e])
        m_attached[k] = c->PlayWithColor(GetEffectManager(), nullptr, nullptr, nullptr, 0, bone, nullptr);
}

void CSpellCard::Shake()
{
    u32 slot = OwnerSlot();
    SendObjectMessage(kMsgLargeShake, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(&slot));
    if (m_user) m_user->Vibrate();
}

void CSpellCard::SendDarkening(u32 on, const f32* limit)
{
    SendObjectMessage(kMsgStageDarkening, CObjectRegistry::kBroadcastId, kGroupStage, intptr_t(on));
    SendObjectMessage(kMsgDarkLimit, CObjectRegistry::kBroadcastId, kGroupStage, reinterpret_cast<intptr_t>(limit));
}

// -- Event cameras. --

CEventCamera* CSpellCard::OwnerCamera() const
{
    const u32 side = m_user ? m_user->GetSide() : 0;
    return side < 2 ? m_cameras[side] : nullptr;
}

// Back to the start. The climax card holds its flight until its phase
// reaches the right step; any other card's flight runs from the cast.
void CSpellCard::ResetCamera(CEventCamera* camera, bool held) const
{
    if (!camera) return;
    CEventCameraState s;
    s.returnTime = V().cameraChangeTime;
    s.endTime = V().cameraEndTime;
    camera->Start(&s);
    camera->GetState().paused = held ? 1 : 0;
}

void CSpellCard::FollowWithCamera()
{
    CEventCamera* camera = OwnerCamera();
    if (!camera || !m_owner) return;
    if (UsingClimaxCard() && (m_climaxLevel == 0 || m_climaxStartPending)) return;
    CCamera* view = nullptr;
    m_owner->SendObjectMessage(kMsgViewCamera, m_owner->GetId(), 0, reinterpret_cast<intptr_t>(&view));
    CVector3 position = PositionOf(m_owner);
    CVector3 rotation;
    m_owner->GetRotation(&rotation);
    camera->Step(view, &position, &rotation, &position, &rotation);
}

// -- Placing. --

void CSpellCard::PlaceAtOwner(CObjectDivision* owner)
{
    if (!owner) return;
    CVector3 rotation;
    owner->GetRotation(&rotation);
    m_position = PositionOf(owner) + Turned(V().spellSetPos, rotation);
    m_rotation = rotation;
    UpdateMatrix();
}

void CSpellCard::AlignWithOwner(CObjectDivision* owner)
{
    PlaceAtOwner(owner);
    if (Bind(owner)) FollowWithCamera();
}

// -- Steps and voices. --

f32 CSpellCard::StepLength(u32 step) const
{
    const f32 length = step < kSpellStepCount ? V().animationTime[step] : 0.0f;
    if (length != 0.0f || !m_user) return length;
    return m_user->GetMotionLength(m_baseAnimation + step) - 0.1f;
}

bool CSpellCard::IsStepFinished() const { return m_stepTimer >= StepLength(m_step); }

void CSpellCard::QueueVoice(u32 index)
{
    m_voiceIndex = index;
    m_voiceTimer = -1.0f;
}

// Past the last step there is nothing to play: the card ends rather than
// read beyond its step table.
void CSpellCard::AdvanceStep()
{
    if (m_step >= kLastStep) {
        m_active = 0;
        return;
    }
    ++m_step;
    m_stepTimer = 0.0f;
    if (m_user) m_user->ChangeMotion(m_baseAnimation + m_step, 3, kBlend);
    const CSpellCardValues& v = V();
    if (i32(m_step) == v.firstVoice) {
        QueueVoice(0);
    } else if (m_voiceIndex < u32(kSpellVoiceCount) && i32(m_step) == v.voices[m_voiceIndex].playNo &&
               i32(m_voiceIndex) < v.voiceCount) {
        QueueVoice(m_voiceIndex + 1);
    }
}

void CSpellCard::AdvanceStepWithEffect(CObjectDivision* owner)
{
    if (!Bind(owner)) return;
    AdvanceStep();
    if (!UsingClimaxCard()) PlayOnce(2, OwnerCenter(), nullptr);
    m_fireWaitTimer = 0.0f;
    m_shotTimer = 0.0f;
}

void CSpellCard::UpdateVoice()
{
    if (m_voiceIndex >= u32(kSpellVoiceCount)) return;
    const f32 wait = V().voices[m_voiceIndex].wait;
    if (m_voiceTimer >= wait) return;
    if (m_voiceTimer < 0.0f) m_voiceTimer = 0.0f;
    m_voiceTimer += Dt();
    if (m_voiceTimer >= wait) {
        m_user->PlayVoice(m_voiceIndex);
        m_voiceTimer = wait;
    }
}

// -- Stock. --

void CSpellCard::UseAmmunition()
{
    if (m_ammunition) --m_ammunition;
    m_reloadTimer = 0.0f;
}

void CSpellCard::UpdateReload(CObjectDivision* owner)
{
    if (m_ammunition != 0 || m_active || !Bind(owner)) return;
    m_reloadTimer += Dt() * m_user->GetTensionRate();
    if (V().reload <= m_reloadTimer) m_ammunition = V().ammunition;
}

// A card shown by its reload clock alone reads full when the clock is set too.
void CSpellCard::RefillCard(bool reloadClock)
{
    m_ammunition = V().ammunition;
    if (reloadClock) m_reloadTimer = V().reload;
}

u32 CSpellCard::CanUserMove() const { return V().movingFlg && m_movable; }
u32 CSpellCard::IsSpellTypeNot4() const { return V().spellType != 4; }

u32 CSpellCard::IsReadyToShoot() const
{
    const CSpellCardValues& v = V();
    if (v.shootWait > 0.0f && v.spellType != 1) return m_shotTimer >= v.shootWait;
    return m_step > 1 || (m_step == 1 && IsStepFinished());
}

// -- Activation. --

i32 CSpellCard::Activate(CObjectDivision* owner)
{
    if (!Bind(owner)) return 1;
    const CSpellCardValues& v = V();
    m_active = 1;
    m_climaxLevel = m_firing = 0;
    m_shotTimer = m_stepTimer = m_phaseTime = m_weaponShowTimer = m_movingTimer = m_fadeClock = m_phaseTimer = 0.0f;
    // The wait after the last cast's barrages would otherwise end this
    // cast's firing at once.
    m_fireWaitTimer = 0.0f;
    m_shortAttackCount = m_step = m_teleported = 0;
    m_weaponShowEnd = v.weaponShowStartTime + v.weaponShowTime;
    m_movable = 1;
    m_movingFalseEnd = v.movingFalseStartTime + v.movingFalseTime;
    m_fadingOut = 1;
    if (v.firstVoice == 11) QueueVoice(0);
    m_user->ClearSpellStatus();
    // A new cast is a new attack: whoever the last one hit may be hit again.
    m_user->BeginCloseHit();
    for (CEventCamera* c : m_cameras) ResetCamera(c, UsingClimaxCard());
    if (v.blackoutFlg) SendDarkening(1, &v.blackoutAlpha);
    if (v.hiddenWeaponNo >= 0) m_user->ShowWeapon(v.hiddenWeaponNo, 0);
    m_baseAnimation = m_user->GetSpellMotionBase();
    m_user->ChangeMotion(m_baseAnimation, 3, kBlend);
    if (u32(v.spellType) < 13 && m_begin[v.spellType]) (this->*m_begin[v.spellType])();
    if (Empty(0) && m_effects[0]) PlayInto(0, 0, m_position, &m_rotation);
    if (m_effects[3] && !UsingClimaxCard()) PlayAtBoneInto(3, 1);
    return 1;
}

i32 CSpellCard::Start(CObjectDivision* owner)
{
    if (!Bind(owner)) return 0;
    const CSpellCardValues& v = V();
    m_firing = 0;
    m_fireWaitTimer = m_fadeClock = m_weaponShowTimer = 0.0f;
    m_climaxLevel = 1;
    m_climaxStartPending = 1;
    m_weaponShowEnd = v.weaponShowStartTime + v.weaponShowTime;
    if (CEventCamera* c = OwnerCamera()) c->GetState().paused = 0;
    CObjectDivision* target = m_user->GetTarget();
    const f32 distance = target ? (PositionOf(target) - PositionOf(owner)).Length() : 0.0f;
    m_user->ChangeMotion(distance > v.shootLength ? 14 : 16, 2, kBlend);
    m_user->StartClimaxEffects();
    SendDarkening(1, &v.blackoutAlpha);
    return 1;
}

void CSpellCard::NextShortAttack()
{
    ++m_shortAttackCount;
    m_phaseTime = V().shortAttackFast;
    m_phaseTimer = 0.0f;
    Clear(2);
    if (m_user) m_user->BeginCloseHit();
}

// -- One frame. --

i32 CSpellCard::Update(CObjectDivision* owner)
{
    if (!owner || !Bind(owner)) return 1;
    const CSpellCardValues& v = V();
    const f32 t = ScaledDt();
    m_stepTimer += t;
    m_fadeClock += t;
    m_shotTimer += t;
    m_phaseDelay -= t;
    m_phaseTimer += t;
    if (m_phaseDelay <= 0.0f) m_phaseTime += t;

    for (u32 k = 0; k < kAttachedCount; ++k) {
        if (!m_attached[k]) continue;
        m_attached[k]->Update(0);
        if (m_attached[k]->IsFinished()) Clear(k);
    }
    if (v.movingFlg && v.movingFalseTime > 0.0f && m_movingTimer < m_movingFalseEnd) {
        m_movingTimer += t;
        m_movable = !(m_movingTimer >= v.movingFalseStartTime && m_movingTimer < m_movingFalseEnd);
    }
    UpdateFade(t);

    bool ended = !m_active;
    if (!ended) {
        if (m_climaxLevel >= 1) {
            ended = ClimaxStep() != 0;
        } else if (u32(v.spellType) < 13 && m_update[v.spellType]) {
            GazeStep();
            ended = (this->*m_update[v.spellType])() != 0;
        } else {
            ended = true;   // a type without handler would never finish
        }
        ended = ended || !m_active;
    }
    if (!ended) {
        UpdateWeaponShow();
        UpdateVoice();
        return 0;
    }
    End();
    return 1;
}

void CSpellCard::UpdateFade(f32 t)
{
    const CSpellCardValues& v = V();
    if (v.alphaSpeed <= 0.0f) return;
    f32& alpha = m_owner->GetColor()->w;
    if (m_fadingOut) {
        if (m_fadeClock >= v.alphaStartTime) {
            alpha -= t * v.alphaSpeed;
            if (alpha <= v.alphaStartMin) alpha = v.alphaStartMin, m_fadingOut = 0;
        }
    } else if (m_fadeClock >= v.alphaStartTime + v.alphaTime) {
        alpha += t * v.alphaSpeed;
        if (alpha > 1.0f) alpha = 1.0f;
    }
}

void CSpellCard::UpdateWeaponShow()
{
    if (UsingClimaxCard() && (m_climaxLevel == 0 || m_climaxStartPending)) return;
    if (m_weaponShowTimer >= m_weaponShowEnd) return;
    const CSpellCardValues& v = V();
    m_weaponShowTimer += Dt();
    if (v.weaponNo < 0) return;
    if (m_weaponShowTimer >= m_weaponShowEnd) m_user->ShowWeapon(v.weaponNo, 0);
    else if (m_weaponShowTimer >= v.weaponShowStartTime) m_user->ShowWeapon(v.weaponNo, 1);
}

void CSpellCard::GazeStep()
{
    const CSpellCardValues& v = V();
    if (!CanUserMove() && v.movingFlg) return;
    const bool gazing = (v.gazeTime <= 0.0f && m_step < 2) || m_phaseTimer < v.gazeTime;
    if (!gazing) return;
    if (v.gazeFlg) m_user->TurnToTarget();
    else if (!v.movingFlg) m_user->FaceTarget();
}

void CSpellCard::End()
{
    const CSpellCardValues& v = V();
    static const f32 kNoDarkness = 0.0f;
    m_climaxLevel = 0;
    m_owner->ResumeAnimation(2, kBlend);
    Clear(5);
    PlayOnce(8, m_position, &m_rotation);
    if (v.blackoutFlg) SendDarkening(0, &kNoDarkness);
    if (v.weaponNo >= 0) m_user->ShowWeapon(v.weaponNo, 0);
    if (v.hiddenWeaponNo >= 0) m_user->ShowWeapon(v.hiddenWeaponNo, 1);
    *m_owner->GetColor() = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
    m_active = 0;
    m_user->ExtendInvincibility(v.invincibilityTime);
}

// -- Shooting. --

i32 CSpellCard::ShotStep()
{
    const CSpellCardValues& v = V();
    if (IsReadyToShoot() && !m_firing) {
        Clear(0);
        PlayOnce(1, m_position, &m_rotation);
        if (!UsingClimaxCard()) {
            PlayInto(4, 2, m_position, &m_rotation);
            PlayInto(5, 3, m_position, nullptr);
        }
        PlayInto(9, 5, m_position, &m_rotation);
        Shake();
        m_firing = 1;
    }
    if (m_step == 0 && IsStepFinished() && v.spellType != 1) {
        AdvanceStep();
        if (!UsingClimaxCard() && v.spellType != 12) PlayOnce(2, OwnerCenter(), nullptr);
    } else if (m_step == 1 && IsStepFinished()) {
        AdvanceStep();
    }
    return m_step >= 2;
}

void CSpellCard::GetUsableBarrages(u32 card, u32* first, u32* count) const
{
    const u32 n = u32(m_barrages.size());
    *first = 0;
    *count = n;
    if (card != kClimaxCard) return;
    if (m_climaxLevel == 0) {
        *count = n ? 1 : 0;
    } else if (n > m_climaxLevel) {
        *first = m_climaxLevel;
        *count = 1;
    }
}

i32 CSpellCard::FireBarrages()
{
    const CSpellCardValues& v = V();
    const u32 card = m_user->GetSpellSlot();
    u32 first = 0, count = 0;
    GetUsableBarrages(card, &first, &count);
    const f32 wait = card == kClimaxCard && m_climaxLevel == 0 ? m_user->GetClimaxWaitFactor() * 1.4f : v.wait;
    static const u32 kHitTypes[7] = {6, 6, 7, 7, 8, 9, 10};
    u32 hitType = card < 7 ? kHitTypes[card] : 6;
    if (card == kClimaxCard && m_user->HasClimaxFlag()) hitType = 11;
    bool ended = false;
    // The barrage whose wait ends the firing is the last one looked at: the
    // barrages after it fire nothing more.
    for (u32 i = first; i < first + count && !ended; ++i) {
        CBarrage* barrage = m_barrages[i];
        if (barrage->IsFinished()) {
            m_fireWaitTimer += Dt();
            ended = m_fireWaitTimer >= wait;
            continue;
        }
        ShooterRecord record;
        record.attackKind = hitType;
        record.shooter = m_owner;
        record.firingObject = this;
        record.target = m_user->GetTarget();
        record.shooterGroup = m_owner->GetShooterGroup();
        m_user->FillShooterRecord(&record, hitType);
        barrage->Update(&record);
    }
    if (!ended) return 0;
    if (card != kClimaxCard) {
        Clear(1);
        Clear(2);
        Clear(3);
    }
    m_firing = 0;
    return 1;
}

void CSpellCard::RestartBarrages()
{
    for (CBarrage* b : m_barrages) b->Restart(0.0f);
}

// -- Movement blocks. --

void CSpellCard::Dash(const CVector3& direction)
{
    m_user->AddVelocity(direction * (V().shortAttackAcceleration * Dt()));
}

void CSpellCard::Teleport()
{
    if (m_teleported) return;
    const CSpellCardValues& v = V();
    CObjectDivision* target = m_user->GetTarget();
    const CVector3 position = PositionOf(m_owner);
    if (target) {
        const CVector3 targetPosition = PositionOf(target);
        const CVector3 targetCenter = CenterOf(target);
        const CVector3 center = OwnerCenter();
        const CVector3 away = UnitOr(center - targetCenter, OwnerDirection(CVector3(0.0f, 0.0f, 1.0f)));
        if ((center - targetCenter).Length() <= v.teleportLimit) {
            CVector3 direction = v.teleportType == 1 ? OwnerDirection(kFront)
                                 : v.teleportType == 2 ? away
                                                       : OwnerDirection(CVector3(0.0f, 0.0f, 1.0f));
            CVector3 probe = direction * (m_owner->GetRadius() + 0.1f);
            const u32 blocked =
                m_owner->SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage,
                    reinterpret_cast<intptr_t>(&probe)) ||
                m_owner->SendObjectMessage(kMsgStageBoxTest, CObjectRegistry::kBroadcastId, kGroupStage, 0);
            if (blocked) direction = away;
            const f32 gap = target->GetRadius() + m_owner->GetRadius() + v.teleportLength;
            const CVector3 moved = targetCenter + direction * gap;
            m_owner->SetPosition(&moved);
        } else {
            CVector3 step = UnitOr(targetPosition - position, OwnerDirection(kFront)) * v.teleportLimit;
            m_owner->SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage,
                reinterpret_cast<intptr_t>(&step));
            const CVector3 moved = position + step;
            m_owner->SetPosition(&moved);
        }
        m_user->SetCameraPoints(PositionOf(m_owner));
    }
    m_teleported = 1;
    m_phaseDelay = v.shortAttackWait;
    Clear(4);
    PlayOnce(1, OwnerCenter(), nullptr);
    PlayOnce(2, PositionOf(m_owner), nullptr);
    PlayInto(4, 2, m_position, &m_rotation);
    *m_owner->GetColor() = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
}

void CSpellCard::BackStep()
{
    if (m_teleported) return;
    const CSpellCardValues& v = V();
    const CVector3 position = PositionOf(m_owner);
    CVector3 move = OwnerDirection(CVector3(0.0f, 0.0f, 1.0f)) * v.teleportLimit;
    // Would the back step leave the box? Ask from where it would land.
    const CVector3 landing = position + move;
    m_owner->SetPosition(&landing);
    const u32 outside = m_owner->SendObjectMessage(kMsgStageBoxTest, CObjectRegistry::kBroadcastId, kGroupStage, 0);
    m_owner->SetPosition(&position);
    if (outside) move = OwnerDirection(kFront) * v.teleportLimit;
    m_owner->SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage,
        reinterpret_cast<intptr_t>(&move));
    const CVector3 moved = position + move;
    m_owner->SetPosition(&moved);
    m_user->SetCameraPoints(moved);
    Clear(4);
    PlayOnce(2, moved, nullptr);
    m_teleported = 1;
    *m_owner->GetColor() = CVector4(1.0f, 1.0f, 1.0f, 1.0f);
}

void CSpellCard::Buff(u32 buff)
{
    if (m_step < 2) return;
    if (m_fireWaitTimer == 0.0f) m_user->StartBuff(buff, V().bufferTime);
    m_fireWaitTimer += Dt();
}

// -- Table A. --

i32 CSpellCard::BeginRestart()
{
    RestartBarrages();
    return 1;
}

i32 CSpellCard::BeginMagicSquare()
{
    RestartBarrages();
    Clear(0);
    PlayInto(6, 4, m_position, nullptr);
    return 1;
}

i32 CSpellCard::BeginShortAttack()
{
    const CSpellCardValues& v = V();
    m_stepTimer = m_phaseTime = m_phaseTimer = m_fireWaitTimer = 0.0f;
    m_step = u32(v.shortAttackSetNo) <= kLastStep ? u32(v.shortAttackSetNo) : kLastStep;
    m_user->ChangeMotion(m_baseAnimation + m_step, 2, kBlend);
    return 1;
}

i32 CSpellCard::BeginChained()
{
    CObjectDivision* target = m_user->GetTarget();
    const CVector3 front = OwnerDirection(kFront);
    m_shotDirection = target ? UnitOr(PositionOf(target) - PositionOf(m_owner), front) : front;
    PlayInto(4, 2, m_position, &m_rotation);
    return 1;
}

i32 CSpellCard::BeginBuff()
{
    m_fireWaitTimer = 0.0f;
    return 1;
}

i32 CSpellCard::BeginBarrageWait()
{
    RestartBarrages();
    m_fireWaitTimer = 0.0f;
    return 1;
}

i32 CSpellCard::BeginTeleportCard()
{
    BeginBarrageWait();
    if (Empty(0)) PlayInto(0, 0, PositionOf(m_owner), nullptr);
    return 1;
}

// -- Table B. --

i32 CSpellCard::UpdateBarrage()
{
    ShotStep();
    return m_firing ? FireBarrages() : 0;
}

i32 CSpellCard::UpdateCounter()
{
    ShotStep();
    if (!m_firing) {
        if (m_shotTimer < V().shootWait) return 0;
        Clear(0);
        return 1;
    }
    return FireBarrages();
}

i32 CSpellCard::UpdateTeleport()
{
    if (!ShotStep()) return 0;
    Teleport();
    if (CObjectDivision* target = m_user->GetTarget()) m_user->TurnYawToward(PositionOf(target) - PositionOf(m_owner));
    return m_step == 2 && IsStepFinished();
}

i32 CSpellCard::UpdateFireTeleport()
{
    ShotStep();
    if (m_step != 2) return 0;
    if (m_firing) FireBarrages();
    Teleport();
    Clear(1);
    return IsStepFinished() && !m_firing;
}

i32 CSpellCard::UpdateShortAttack()
{
    const CSpellCardValues& v = V();
    const i32 relative = i32(m_step) - v.shortAttackSetNo;
    if (relative == 0) {
        m_phaseTime = 0.0f;
        if (IsStepFinished()) {
            AdvanceStep();
            Clear(0);
            Clear(1);
            PlayOnce(1, m_position, &m_rotation);
            PlayInto(4, 2, m_position, &m_rotation);
            PlayInto(9, 5, m_position, &m_rotation);
        }
        return 0;
    }
    if (m_phaseTime < v.shortAttackFast + v.shortAttackReverbe) Dash(OwnerDirection(kFront));
    if (relative == 1) {
        bool reached = false;
        CObjectDivision* target = m_user->GetTarget();
        if (target && v.shortAttackRadius < FLT_MAX)
            reached = (CenterOf(target) - OwnerCenter()).Length() <= v.shortAttackRadius;
        if (reached) {
            m_phaseTime = v.shortAttackFast;
            m_phaseTimer = v.gazeTime;
        }
        if (reached || m_phaseTime >= v.shortAttackFast) AdvanceStep();
        return 0;
    }
    if (!IsStepFinished()) return 0;
    Clear(2);
    m_user->PlayHitEffect();
    ++m_shortAttackCount;
    if (i32(m_shortAttackCount) >= v.shortAttackCount) return 1;
    m_user->BeginCloseHit();
    BeginShortAttack();
    return 0;
}

i32 CSpellCard::UpdateTeleportDash()
{
    const CSpellCardValues& v = V();
    if (!ShotStep()) return 0;
    Teleport();
    Clear(1);
    if (m_phaseDelay <= 0.0f && m_phaseTime < v.shortAttackFast + v.shortAttackReverbe) Dash(OwnerDirection(kFront));
    if (!IsStepFinished()) return 0;
    Clear(2);
    m_user->PlayHitEffect();
    return 1;
}

i32 CSpellCard::UpdateChained()
{
    const CSpellCardValues& v = V();
    const i32 relative = i32(m_step) - v.shortAttackSetNo;
    if (relative <= 0) {
        if (v.gazeFlg) m_user->TurnYawToward(m_shotDirection);
        if (m_shortAttackCount > 0) {
            if (m_phaseTime >= v.shortAttackFast + v.shortAttackReverbe) {
                AdvanceStep();
                PlayInto(6, 4, m_position, &m_rotation);
            }
            return 0;
        }
        if (m_phaseTime < v.shortAttackFast) return 0;
        Clear(2);
        m_user->PlayHitEffect();
        return 1;
    }
    if (relative == 1) {
        if (v.gazeFlg) m_user->FaceTarget();
        if (IsStepFinished()) AdvanceStep();
        return 0;
    }
    if (!IsStepFinished()) return 0;
    Clear(4);
    m_user->PlayHitEffect();
    return 1;
}

i32 CSpellCard::UpdateBackStep()
{
    if (!ShotStep()) return 0;
    if (m_firing) FireBarrages();
    BackStep();
    if (CObjectDivision* target = m_user->GetTarget()) m_user->TurnYawToward(PositionOf(target) - PositionOf(m_owner));
    Clear(1);
    return IsStepFinished();
}

i32 CSpellCard::UpdateBuff(u32 buff)
{
    ShotStep();
    Buff(buff);
    return m_step >= 2 && m_fireWaitTimer >= V().wait;
}

i32 CSpellCard::UpdateBarrageClear()
{
    ShotStep();
    if (!m_firing || !FireBarrages()) return 0;
    Clear(1);
    return 1;
}

i32 CSpellCard::UpdateTeleportCard()
{
    const CSpellCardValues& v = V();
    if (IsStepFinished()) {
        if (m_step == 0) PlayInto(6, 4, PositionOf(m_owner), nullptr);
        if (m_step == 1) {
            Clear(4);
            PlayOnce(2, m_position, &m_rotation);
        }
    }
    ShotStep();
    CVector3 direction;
    if (v.teleportType == 0) direction = OwnerDirection(CVector3(0.0f, 1.0f, 0.0f));
    else if (v.teleportType == 2) direction = OwnerDirection(CVector3(0.0f, -1.0f, 0.0f));
    else m_phaseTime = 0.0f;
    const bool ended = m_firing && FireBarrages();
    if (m_phaseTime >= v.shortAttackStart && m_phaseTime < v.shortAttackEnd) Dash(direction);
    return ended;
}

// -- Climax phase. --

bool CSpellCard::EndedAt(i32 step) const { return i32(m_step) == step && IsStepFinished(); }

bool CSpellCard::Approach()
{
    u32 motion = m_user->GetMotion();
    if (motion == 26) motion = 14;
    if (motion == 28) motion = 16;
    // An approach motion cut short (the owner plays another) ends the
    // approach where the owner stands, with the rest of the arrival.
    if ((motion == 14 || motion == 16) && !MoveToShootLength(motion == 14)) return false;
    m_user->StopMovement();
    m_user->SetCameraPoints(PositionOf(m_owner));
    m_user->EndAttachedEffect(3);
    AdvanceStep();
    ResetCamera(OwnerCamera(), true);
    if (V().climaxShootNo == 2) BeginFiring();
    return true;
}

bool CSpellCard::MoveToShootLength(bool closing)
{
    const CSpellCardValues& v = V();
    CObjectDivision* target = m_user->GetTarget();
    const CVector3 position = PositionOf(m_owner);
    const CVector3 targetPosition = target ? PositionOf(target) : position;
    const CVector3 toTarget = UnitOr(targetPosition - position, OwnerDirection(kFront));
    // It faces the target, pitch and all: the approach runs along that line.
    if (target) m_user->FaceTarget();
    CVector3 move = toTarget * (m_user->GetApproachSpeed() * Dt() * (closing ? 1.0f : -1.0f));
    if (!closing) {
        m_owner->SendObjectMessage(kMsgStageMoveTest, CObjectRegistry::kBroadcastId, kGroupStage,
            reinterpret_cast<intptr_t>(&move));
    }
    CVector3 moved = position + move;
    m_owner->SetPosition(&moved);
    if (!closing && m_owner->SendObjectMessage(kMsgStageBoxTest, CObjectRegistry::kBroadcastId, kGroupStage, 0))
        m_owner->SetPosition(&position);
    const f32 gap = (targetPosition - PositionOf(m_owner)).Length() - v.shootLength;
    if (closing ? gap > 0.0f : gap < 0.0f) return false;
    moved = targetPosition - toTarget * v.shootLength;
    m_owner->SetPosition(&moved);
    return true;
}

i32 CSpellCard::ClimaxStep()
{
    const CSpellCardValues& v = V();
    if (m_climaxStartPending) {
        if (!Approach()) return 0;
        PlayAtBoneInto(3, 1);
        m_climaxStartPending = 0;
    }
    if (m_firing && !FireBarrages()) Shake();
    if (u32(v.characterType) < 18 && m_climax[v.characterType]) (this->*m_climax[v.characterType])();
    return ClimaxAdvance();
}

i32 CSpellCard::ClimaxAdvance()
{
    const CSpellCardValues& v = V();
    if (CEventCamera* camera = OwnerCamera(); camera && camera->GetState().paused && !m_user->HasClimaxFlag()) {
        if (m_stepTimer >= v.finaleStartTime) camera->GetState().paused = 0;
    }
    if (!IsStepFinished()) return 0;
    const i32 step = i32(m_step);
    if (step == v.climaxShootLoopNo || step == v.finaleShootLoopNo) {
        if (m_climaxLevel == 1) {
            Clear(4);
            if (!m_user->HasClimaxFlag()) {
                if (CEventCamera* camera = OwnerCamera()) camera->GetState().paused = 0;
            }
        } else if (m_climaxLevel == 2) {
            Clear(4);
        }
    }
    if (step == v.climaxShootNo) {
        BeginFiring();
    } else if (step == v.finaleShootNo) {
        if (m_climaxLevel != 2) {
            BeginFiring();
            RestartBarrages();
            m_climaxLevel = 2;
        }
    } else if (step == v.explosionNo) {
        BeginFiring();
        RestartBarrages();
        m_climaxLevel = 3;
    } else if (step == v.endNo) {
        return 1;
    }
    AdvanceStep();
    return !m_active;
}

// -- Table C. --

i32 CSpellCard::Climax0()
{
    if (EndedAt(V().climaxShootNo)) PlayInto(6, 4, m_position, &m_rotation);
    return 1;
}

i32 CSpellCard::Climax1()
{
    const CSpellCardValues& v = V();
    if (EndedAt(v.climaxShootNo)) {
        Clear(1);
        PlayInto(6, 4, m_position, &m_rotation);
        PlayInto(4, 2, m_position, &m_rotation);
    }
    if (EndedAt(v.climaxShootLoopNo)) Clear(2);
    if (EndedAt(v.finaleShootNo)) PlayInto(5, 3, m_position, nullptr);
    if (EndedAt(v.finaleShootLoopNo)) Clear(3);
    return 1;
}

i32 CSpellCard::Climax2()
{
    if (During(V().climaxShootLoopNo)) Shake();
    if (EndedAt(6)) Shake();
    return 1;
}

i32 CSpellCard::Climax3()
{
    const CSpellCardValues& v = V();
    if (EndedAt(v.climaxShootNo)) {
        Clear(1);
        PlayInto(6, 4, m_position, &m_rotation);
    }
    if (EndedAt(v.climaxShootLoopNo)) Clear(4);
    if (EndedAt(v.finaleShootNo)) PlayOnce(2, OwnerCenter(), &m_rotation);
    return 1;
}

i32 CSpellCard::Climax6()
{
    if (During(V().climaxShootNo)) Clear(1);
    if (EndedAt(3)) PlayOnce(2, OwnerCenter(), &m_rotation);
    return 1;
}

i32 CSpellCard::Climax7()
{
    if (During(V().climaxShootLoopNo)) Shake();
    if (EndedAt(7)) Shake();
    return 1;
}

i32 CSpellCard::Climax8()
{
    if (EndedAt(V().climaxShootLoopNo)) Clear(1);
    return 1;
}

i32 CSpellCard::Climax9()
{
    const CSpellCardValues& v = V();
    if (During(v.climaxShootNo) && Empty(4)) {
        PlayInto(6, 4, PositionOf(m_owner), nullptr);
    } else if (m_user->HasClimaxFlag() && i32(m_step) >= v.finaleShootNo && m_phaseTime >= v.shortAttackStart &&
               m_phaseTime < v.shortAttackEnd) {
        Dash(OwnerDirection(kFront));
    }
    if (EndedAt(v.climaxShootNo)) Clear(4);
    if (EndedAt(v.climaxShootLoopNo)) {
        PlayOnce(2, PositionOf(m_owner), nullptr);
        m_phaseTime = 0.0f;
    }
    return 1;
}

i32 CSpellCard::Climax10()
{
    const CSpellCardValues& v = V();
    if (During(3) && Empty(4)) PlayInto(6, 4, m_position, &m_rotation);
    if (During(v.finaleShootNo) && Empty(1)) PlayInto(3, 1, m_position, nullptr);
    if (EndedAt(v.climaxShootNo) || EndedAt(v.finaleShootNo)) {
        Clear(1);
        PlayOnce(2, OwnerCenter(), &m_rotation);
        PlayInto(5, 3, m_position, &m_rotation);
    }
    if (EndedAt(v.climaxShootLoopNo)) Clear(3);
    if (EndedAt(v.finaleShootLoopNo)) {
        Clear(3);
        PlayOnce(2, OwnerCenter(), &m_rotation);
    }
    return 1;
}

i32 CSpellCard::Climax11()
{
    const CSpellCardValues& v = V();
    if (During(v.finaleShootNo) && Empty(3)) PlayInto(5, 3, m_position, nullptr);
    if (EndedAt(v.climaxShootNo)) PlayOnce(2, m_position, &m_rotation);
    if (EndedAt(v.climaxShootLoopNo)) Clear(1);
    if (EndedAt(v.finaleShootNo)) {
        Clear(3);
        PlayOnce(2, m_position, &m_rotation);
    }
    return 1;
}

i32 CSpellCard::Climax12()
{
    const CSpellCardValues& v = V();
    if (EndedAt(v.climaxShootNo) || EndedAt(v.finaleShootNo)) {
        m_fadingOut = 1;
        m_fadeClock = v.alphaStartTime;
        PlayOnce(2, PositionOf(m_owner), nullptr);
    }
    if (EndedAt(v.climaxShootLoopNo) || EndedAt(v.finaleShootLoopNo)) m_fadeClock = v.alphaStartTime + v.alphaTime;
    return 1;
}

i32 CSpellCard::Climax13()
{
    const CSpellCardValues& v = V();
    if (During(v.climaxShootLoopNo) || During(v.finaleShootLoopNo)) Shake();
    return 1;
}

i32 CSpellCard::Climax14()
{
    const CSpellCardValues& v = V();
    if (During(3) && Empty(4)) PlayInto(6, 4, m_position, &m_rotation);
    if (During(v.finaleShootNo)) {
        const bool bone = m_settings && !IsNone(m_settings->GetBone()) &&
                          m_user->FindBone(m_settings->GetBone().GetText());
        if (Empty(1) && bone) {
            PlayAtBoneInto(3, 1);
            BeginFiring();
            RestartBarrages();
            m_climaxLevel = 2;
        }
    } else {
        Clear(1);
    }
    if (EndedAt(v.climaxShootNo)) {
        Clear(4);
        PlayOnce(2, m_position, &m_rotation);
    }
    if (EndedAt(v.finaleShootNo)) {
        Clear(1);
        PlayOnce(1, m_position, &m_rotation);
    }
    return 1;
}

i32 CSpellCard::Climax15()
{
    const CSpellCardValues& v = V();
    if (During(v.finaleShootNo)) {
        if (Empty(4)) PlayInto(6, 4, m_position, &m_rotation);
        if (Empty(3)) PlayInto(5, 3, m_position, nullptr);
    }
    if (EndedAt(v.climaxShootLoopNo)) Clear(1);
    if (EndedAt(v.finaleShootNo)) {
        PlayOnce(2, m_position, &m_rotation);
        PlayInto(4, 2, m_position, nullptr);
    }
    if (EndedAt(v.finaleShootLoopNo)) {
        Clear(4);
        Clear(3);
        Clear(2);
    }
    return 1;
}

i32 CSpellCard::Climax17()
{
    const CSpellCardValues& v = V();
    if (During(v.finaleShootNo) && Empty(1)) PlayInto(3, 1, m_position, &m_rotation);
    if (EndedAt(v.climaxShootNo) || EndedAt(v.finaleShootNo)) PlayOnce(2, m_position, &m_rotation);
    if (EndedAt(v.climaxShootLoopNo) || EndedAt(v.finaleShootLoopNo)) Clear(1);
    return 1;
}

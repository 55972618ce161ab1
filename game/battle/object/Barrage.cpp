#include "game/battle/object/Barrage.h"

#include "engine/core/FloatMath.h"
#include "engine/core/ResourceList.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Bullet.h"
#include "game/battle/object/BulletMath.h"
#include "game/battle/object/PatternListParameter.h"
#include "game/battle/object/ShotPatternParameter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

bool IsNone(const CString& name)
{
    const char* text = name.GetText();
    return !text || !*text || std::strcmp(text, "Non Name") == 0;
}

CVector3 AboutAxis(const CVector3& v, const CVector3& axis, f32 degrees)
{
    CMatrix m;
    m.RotationAxis(degrees, &axis);
    CVector3 out;
    v.TransformNormalInto(m, &out);
    return out;
}

CVector3 Placed(const CVector3& p, const CMatrix& m)
{
    CVector3 out;
    p.TransformedCoord(&out, m);
    return out;
}

// The shot position before placement, for volley n and shot index s (a
// fraction for the middle of the volley).
CVector3 ShotPosition(const CShotPatternValues& v, f32 n, f32 s)
{
    const f32 angle = v.positionAngle + n * v.positionAngleAdd + s * v.simultaneousPositionAngleAdd;
    CVector3 p = AboutAxis(v.position, v.shootAngleAxis, angle);
    p += v.positionOffset + v.positionAdd * n + v.simultaneousPositionAdd * s;
    return p;
}

CVector3 ShotDirection(const CShotPatternValues& v, f32 n, f32 s)
{
    const CVector3 euler = v.shootVectorAdd * n + v.simultaneousShootVectorAdd * s;
    const CVector3 d = Turned(v.shootVector, euler);
    return AboutAxis(d, v.shootAngleAxis, v.shootAngle + n * v.shootAngleAdd + s * v.simultaneousShootAngleAdd);
}

// Shots of one volley: negative counts (huge once unsigned) fire none, and
// no pattern floods the bullet list.
u32 ShotCount(const CShotPatternValues& v)
{
    if (v.simultaneousShootCount <= 0) return 0;
    const u32 n = u32(v.simultaneousShootCount);
    return n < CBarrage::kMaxShotsPerVolley ? n : CBarrage::kMaxShotsPerVolley;
}

void TakeFrame(BarrageState& state, const CObjectDivision* object)
{
    object->GetMatrix(&state.frameMatrix);
    state.frameRotation = object->GetWorldMatrix()->RotationPart();
}

// The height goes through the frame's rotation only, not its scaling.
void FramePlacement(CVector3& p, const BarrageState& state)
{
    const CVector3 height(0.0f, p.y, 0.0f);
    p.y = 0.0f;
    p = Placed(p, state.frameMatrix) + Placed(height, state.frameRotation);
}

void AheadOf(CVector3& p, BarrageState& state, const CObjectDivision* firing, f32 distance)
{
    TakeFrame(state, firing);
    p.z -= distance;
    p = Placed(p, state.frameMatrix);
}

void PlaceAimed(CVector3& p, BarrageState& state, const CShotPatternValues& v, CObjectDivision*& target)
{
    f32 a = state.targetAngles.y;
    if (a > 180.0f) a -= 360.0f;
    else if (a < -180.0f) a += 360.0f;
    if (target && AbsF(a) < v.shootLimitAngle) {
        p += TurnedInverse(state.targetVector, state.firingRotation) * 0.5f;   // halfway there
        p = Placed(p, state.frameMatrix);
        return;
    }
    p.z -= 15.0f;
    p = Placed(p, state.frameMatrix);
    target = nullptr;
}

void PlaceAroundTarget(CVector3& p, BarrageState& state, const CShotPatternValues& v, CObjectDivision* firing,
    CObjectDivision*& target)
{
    if (!firing) {
        // Nothing to measure from or fall back on: the target's frame or
        // the world.
        if (target) FramePlacement(p, state);
        return;
    }
    if (target) {
        const f32 d = (PositionOf(target) - PositionOf(firing)).Length();
        if (v.shootRange > 0.0f && d > v.shootRange) {
            AheadOf(p, state, firing, v.shootRange);
            target = nullptr;
        } else {
            FramePlacement(p, state);
        }
        return;
    }
    AheadOf(p, state, firing, 15.0f);
}

}  // namespace

// What one update may still make.
struct CBarrage::ShotBudget {
    u32 shots = CPatternListParameter::kMaxShotsPerRound;
    u32 setOff = CPatternListParameter::kMaxShotsSetOff;
};

IChildBarrage* MakeChildBarrage(const CPatternListParameter* definition)
{
    return new CBarrage(definition);
}

CBarrage::CBarrage() { SetGroup(kGroupBarrage); }

CBarrage::CBarrage(const CPatternListParameter* definition)
    : m_states(definition ? std::min(definition->GetPatternCount(), CPatternListParameter::kMaxPatterns) : 0),
      m_definition(definition)
{
    SetGroup(kGroupBarrage);
}

CBarrage::CBarrage(const CBarrage& other)
    : CObjectDivision(other),
      IChildBarrage(other),
      m_clock(other.m_clock),
      m_states(other.m_states),
      m_ownedDefinition(other.m_definition ? new (std::nothrow) CPatternListParameter(*other.m_definition) : nullptr)
{
    SetGroup(kGroupBarrage);
    m_definition = m_ownedDefinition;
    if (!m_definition) m_states.clear();
}

CBarrage::CBarrage(const CBarrage& other, ShareDefinition)
    : CObjectDivision(other), IChildBarrage(other), m_clock(other.m_clock), m_states(other.m_states),
      m_definition(other.m_definition)
{
    SetGroup(kGroupBarrage);
}

CBarrage::~CBarrage() { CBarrage::Release(); }

i32 CBarrage::Release()
{
    m_states.clear();
    m_states.shrink_to_fit();
    delete m_ownedDefinition;
    m_ownedDefinition = nullptr;
    m_definition = nullptr;
    return CObjectDivision::Release();
}

i32 CBarrage::Initialize(intptr_t) { return 1; }

i32 CBarrage::Draw(u32) { return m_resource ? 1 : 0; }

u32 CBarrage::OnMessage(u32, CMessageObject*, intptr_t) { return 1; }

i32 CBarrage::LoadResource(CResourceController* controller)
{
    if (!m_definition) return 0;
    CResourceList* sounds = controller ? controller->GetSoundList() : nullptr;
    for (u32 i = 0; i < m_states.size(); ++i) {
        BarrageState& state = m_states[i];
        state.shotEffect = nullptr;
        state.sound = nullptr;
        const CShotPatternParameter* pattern = m_definition->GetPattern(i);
        if (!pattern) continue;
        const CString* effect = pattern->GetEffectName(0);
        if (effect && !IsNone(*effect) && !GetEffectContainer(controller, effect->GetText(), &state.shotEffect))
            state.shotEffect = nullptr;
        const CString& sound = pattern->GetSoundName();
        if (sounds && !IsNone(sound)) state.sound = static_cast<CSoundBuffer*>(sounds->FindByFileName(sound.GetText()));
    }
    return 1;
}

i32 CBarrage::Update(u32) { return 0; }

i32 CBarrage::Update(const ShooterRecord* given)
{
    const f32 dt = GetFrameTime();
    m_clock += dt;
    if (!m_definition) return 1;
    // Patterns later in this frame see a target an earlier volley dropped;
    // the owner's record stays as it was.
    ShooterRecord record;
    if (given) record = *given;
    ShotBudget budget;
    for (u32 i = 0; i < m_states.size(); ++i) {
        const CShotPatternParameter* pattern = m_definition->GetPattern(i);
        if (!pattern) continue;
        const CShotPatternValues& v = pattern->GetValues();
        BarrageState& state = m_states[i];
        const u32 limit = u32(v.shootCount);
        if (limit != 0 && state.volleyCount >= limit) continue;
        if (m_clock < v.patternWait) continue;
        state.timer += dt;
        if (!(state.timer >= v.shootWait) || !given) continue;
        FireVolley(&record, state, *pattern, budget);
        const CVector3 centre = GetVolleyCentre(record, state, v);
        if (state.shotEffect)
            state.shotEffect->PlayAtMatrix(GetEffectManager(), &centre, &state.firingRotation, nullptr, 1, nullptr);
        state.timer -= v.shootWait;
        ++state.volleyCount;
        PlayShotSound(state.sound, centre, record.soundVolume);
    }
    return 1;
}

i32 CBarrage::FireVolley(const ShooterRecord* record, BarrageState& state, const CShotPatternParameter& pattern,
    ShotBudget& budget)
{
    if (!record) return 0;
    ShooterRecord local = *record;
    const CShotPatternValues& v = pattern.GetValues();
    const u32 n = state.volleyCount;
    if (!(v.fixationFlg != 0 && n > 0)) CaptureFrame(state, v, local.firingObject, local.target);

    CResourceController* resources = nullptr;
    SendObjectMessage(kMsgResourceController, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&resources));
    // Shots past what this update may still make are not made: each weighs
    // itself and one round of the list its bullet carries.
    const CPatternListParameter* carried = pattern.GetBulletLink().parameter.GetBarrage();
    const u32 weight = 1 + (carried ? carried->GetShotsSetOff() : 0);
    const u32 count = std::min({ShotCount(v), budget.shots, budget.setOff / weight});
    budget.shots -= count;
    budget.setOff -= count * weight;
    for (u32 s = 0; s < count; ++s) {
        auto* bullet = new CBullet(&pattern.GetBulletLink().parameter);
        bullet->LoadResource(resources);
        CVector3 p = ShotPosition(v, f32(n), f32(s));
        CVector3 d = ShotDirection(v, f32(n), f32(s));
        PlaceShotPosition(p, state, v, local.firingObject, local.target);
        const i32 type = v.shootAngleType;
        if (((type == 1 || type == 3) && local.firingObject) || (type == 2 && local.target))
            d = Turned(d, state.firingRotation);
        const BulletLaunchRecord launch = MakeLaunchRecord(local, p, d, local.target);
        bullet->Initialize(reinterpret_cast<intptr_t>(&launch));
        SendObjectMessage(kMsgNewBullet, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(bullet));
        // Nobody took it (no scene, or a list that refused it): it is ours.
        if (!bullet->GetList()) delete bullet;
    }
    return 1;
}

CVector3 CBarrage::GetVolleyCentre(ShooterRecord& record, BarrageState& state, const CShotPatternValues& v)
{
    const u32 count = ShotCount(v);
    // An empty volley sits where its first shot would.
    const f32 middle = count ? f32(count - 1) * 0.5f : 0.0f;
    CVector3 p = ShotPosition(v, f32(state.volleyCount), middle);
    PlaceShotPosition(p, state, v, record.firingObject, record.target);
    return p;
}

void CBarrage::CaptureFrame(BarrageState& state, const CShotPatternValues& v, CObjectDivision* firing,
    CObjectDivision* target)
{
    if (firing) firing->GetRotation(&state.firingRotation);
    const CObjectDivision* frame = (v.positionType != 2 || !target) ? firing : target;
    if (frame) TakeFrame(state, frame);
    if (!firing || !target) return;
    // Where each answers it is: a fighter's centre, not its feet.
    CVector3 from, to;
    firing->GetPosition(&from);
    target->GetPosition(&to);
    state.targetVector = to - from;
    CVector3 n;
    state.targetVector.GetNormalized(&n);
    const f32 yaw = Atan2F(n.x, n.z) * kRadToDeg + 180.0f;
    const f32 pitch = Atan2F(n.y, SqrtF(n.x * n.x + n.z * n.z)) * kRadToDeg;
    state.targetAngles = CVector3(pitch, yaw, 0.0f) - state.firingRotation;
    state.targetAngles.x = WrapOnce360(state.targetAngles.x);
    state.targetAngles.y = WrapOnce360(state.targetAngles.y);
}

void CBarrage::PlaceShotPosition(CVector3& p, BarrageState& state, const CShotPatternValues& v,
    CObjectDivision* firing, CObjectDivision*& target)
{
    switch (v.positionType) {
    case 1:
        if (firing) FramePlacement(p, state);
        return;
    case 2: PlaceAroundTarget(p, state, v, firing, target); return;
    case 4:
        if (!firing) return;
        {
            // The off-axis part of POSITION goes: shots line up on the axis.
            const CVector3& a = v.shootAngleAxis;
            const f32 x = AbsF(a.x), y = AbsF(a.y), z = AbsF(a.z);
            if (x > y && x > z) p.y -= v.position.y, p.z -= v.position.z;
            else if (y > x && y > z) p.x -= v.position.x, p.z -= v.position.z;
            else if (z > x && z > y) p.x -= v.position.x, p.y -= v.position.y;
        }
        PlaceAimed(p, state, v, target);
        return;
    case 3:
        if (firing) PlaceAimed(p, state, v, target);
        return;
    default: return;
    }
}

i32 CBarrage::PlayShotSound(CSoundBuffer* sound, const CVector3& position, i32 volume)
{
    if (!sound) return 0;
    const u32 voice = sound->Play(0, 0.0f, 1);
    if (voice == CSoundBuffer::kNoVoice) return 0;
    sound->SetVolume(voice, volume);
    sound->SetPosition3D(voice, &position, 10.0f, 0);
    sound->UpdateVoiceAt(voice, 1);
    return 1;
}

u32 CBarrage::IsFinished() const { return m_clock > 0.0f && m_clock >= GetDuration() ? 1 : 0; }

f32 CBarrage::GetDuration() const
{
    f32 longest = 0.0f;
    for (u32 i = 0; m_definition && i < m_states.size(); ++i) {
        const CShotPatternParameter* pattern = m_definition->GetPattern(i);
        if (!pattern) continue;
        const CShotPatternValues& v = pattern->GetValues();
        const u32 count = u32(v.shootCount);
        const f32 time = (count ? f32(count) * v.shootWait : v.shootWait) + v.patternWait;
        if (time > longest) longest = time;
    }
    return longest;
}

i32 CBarrage::Restart(f32 time)
{
    m_clock = time;
    for (BarrageState& state : m_states) {
        state.volleyCount = 0;
        state.timer = time;
    }
    return 1;
}

const BarrageState* CBarrage::GetPatternState(u32 index) const
{
    return index < m_states.size() ? &m_states[index] : nullptr;
}

void CBarrage::HashState(CStateHash& hash) const
{
    CObjectDivision::HashState(hash);
    hash.F32(m_clock).U32(u32(m_states.size()));
    for (const BarrageState& s : m_states) {
        hash.U32(s.volleyCount).F32(s.timer).Matrix(s.frameMatrix).Matrix(s.frameRotation);
        hash.Vector(s.firingRotation).Vector(s.targetAngles).Vector(s.targetVector);
    }
}

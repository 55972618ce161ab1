// The end-of-frame pass of a fighter: what follows it once it has moved
// (weapons, spell cards, effects, camera) and the count of the fighters
// locked on it, which the multi-lock skill modifiers read next frame.
#include "game/battle/character/CharacterAction.h"

#include "engine/scene/Effect.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/CameraParameter.h"

i32 CCharacterBase::LateUpdate(u32 argument)
{
    CharacterStatus& s = m_status;
    AutoSlide(argument);
    PostUpdate(argument);
    s.center = m_position;
    if (m_parameter) s.center.y += m_parameter->values.body.height * 0.5f;
    // The weapons take their bones' new pose; every card stands at the
    // fighter, so the first bullets of a card start here, not at the origin.
    for (u32 i = 0; i < m_weapons.GetCount(); ++i)
        static_cast<CObjectDivision*>(m_weapons.GetAt(i))->Update(argument);
    for (const auto& card : m_spellCards)
        if (auto* driver = dynamic_cast<ISpellCardDriver*>(card.get())) driver->PlaceAtOwner(this);
    auto step = [argument](CEffect*& slot) {
        if (!slot) return;
        slot->Update(argument);
        if (slot->IsFinished()) {
            slot->Release();
            slot = nullptr;
        }
    };
    for (u32 i = 0; i < kAttachedObjectCount; ++i)
        if (i != 18) step(s.attached[i]);
    for (CEffect*& slot : s.transient) step(slot);
    UpdateCameraDistanceMode();
    const u32 mode = m_camera ? m_camera->GetMode() : 0;
    if (m_camera && mode != kCameraShootOut && mode != kCameraSlideAttack) m_camera->LookAtObject(GetLockedTarget());
    s.lockedByCount = CountLockers();
    if (m_camera) m_camera->Update(argument);
    UpdateCameraFrontEffect(argument);
    if (s.action == kActionSpellCard && s.spellSlot < m_spellCards.size())
        if (auto* driver = dynamic_cast<ISpellCardDriver*>(m_spellCards[s.spellSlot].get()))
            driver->AlignWithOwner(this);
    UpdateAfterimages(argument);
    UpdateTrails(argument);
    return 1;
}

void CCharacterBase::SwitchCamera(u32 mode)
{
    if (!m_camera) return;
    const f32 blend = m_parameter ? m_parameter->GetCamera().Get(mode, kCameraChangeTime) : 0.0f;
    m_camera->SetMode(u8(mode), blend);
}

// Beyond NEARRADIUS the near view opens to the lock-on view; within it the
// lock-on view closes in. Other modes belong to the actions that set them.
void CCharacterBase::UpdateCameraDistanceMode()
{
    const CObjectDivision* target = GetLockedTarget();
    if (!m_camera || !target || !m_parameter) return;
    const f32 near = m_parameter->values.body.nearRadius;
    const bool far = (*target->GetPosition() - m_position).LengthSquared() > near * near;
    const u32 mode = m_camera->GetMode();
    if (far && mode == kCameraNear) SwitchCamera(kCameraLock);
    else if (!far && mode == kCameraLock) SwitchCamera(kCameraNear);
}

// The others in the battle's list that are still fighting and lock on this
// one; none without the list.
u32 CCharacterBase::CountLockers()
{
    const BattleCharacterList* list = nullptr;
    if (!SendObjectMessage(kMsgCharacterList, CObjectRegistry::kHandlerId, -1, reinterpret_cast<intptr_t>(&list)) ||
        !list)
        return 0;
    u32 count = 0;
    for (u32 i = 0; i < list->count; ++i) {
        const auto* other = dynamic_cast<const CCharacterBase*>(list->characters[i]);
        if (!other || other == this || other->IsDefeated() || other->IsOut()) continue;
        if (other->GetStatus()->lockedTargetId == GetId()) ++count;
    }
    return count;
}

// -- The calls into the running spell card. --

u32 CCharacterAction::StartClimaxCard()
{
    constexpr u32 kClimaxSlot = 6;
    const CharacterStatus& s = m_status;
    ISpellCardDriver* card = GetSpellCardDriver(kClimaxSlot);
    const ISpellCardState* state = GetSpellCardState(kClimaxSlot);
    if (s.action != kActionSpellCard || s.spellSlot != kClimaxSlot || !card || (state && state->IsLocked())) return 0;
    return card->Start(this) ? 1 : 0;
}

void CCharacterAction::AdvanceCardStep()
{
    ++m_status.spellStep;
    if (ISpellCardDriver* card = GetSpellCardDriver(m_status.spellSlot)) card->AdvanceStepWithEffect(this);
}

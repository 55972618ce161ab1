#include "engine/scene/EffectController.h"

namespace {

// Walk entries beyond the pools' sizes, for the walks' own starts.
constexpr u32 kStackSlack = 16;

}  // namespace

CEffectController::CEffectController()
{
    m_nodes.SetName("エフェクト");
    m_particles.SetName("パーティクル");
}

CEffectController::CEffectController(const CEffectController& other)
    : CResourceBase(other), m_device(other.m_device), m_sound(other.m_sound)
{
    m_nodes.SetName(other.m_nodes.GetName());
    m_particles.SetName(other.m_particles.GetName());
    Create(other.m_device, other.m_nodes.GetCount(), other.m_particles.GetCount());
}

CEffectController::~CEffectController() { CEffectController::Release(); }

i32 CEffectController::Create(CGraphicDevice* device, u32 nodeCount, u32 particleCount)
{
    m_device = device;
    const bool sized = m_nodes.Resize(nodeCount) && m_particles.Resize(particleCount);
    // The stacks hold every live object at once, so they follow the pools as
    // they now are, also when only the node pool took its new size.
    m_nodeStack.clear();
    m_particleStack.clear();
    m_nodeStack.reserve(size_t(m_nodes.GetCount()) + kStackSlack);
    m_particleStack.reserve(size_t(m_particles.GetCount()) + kStackSlack);
    return sized ? 1 : 0;
}

CEffect* CEffectController::TakeNode()
{
    CEffect* node = m_nodes.Alloc();
    if (!node) ++m_refusedNodes;
    return node;
}

CParticle* CEffectController::TakeParticle()
{
    CParticle* particle = m_particles.Alloc();
    if (!particle) ++m_refusedParticles;
    return particle;
}

void CEffectController::Register(CEffect* first)
{
    if (!first) return;
    first->SetPrevLive(nullptr);
    first->SetNextLive(m_head);
    if (m_head) m_head->SetPrevLive(first);
    m_head = first;
}

void CEffectController::Unregister(CEffect* first)
{
    if (!first) return;
    CEffect* prev = first->GetPrevLive();
    CEffect* next = first->GetNextLive();
    if (m_head == first) {
        m_head = next;
    } else if (!prev) {
        return;   // not on the chain
    }
    if (prev) prev->SetNextLive(next);
    if (next) next->SetPrevLive(prev);
    first->SetPrevLive(nullptr);
    first->SetNextLive(nullptr);
}

i32 CEffectController::UpdateAll(u32 argument)
{
    for (CEffect* effect = m_head; effect;) {
        // An instance released here must not end the walk.
        CEffect* next = effect->GetNextLive();
        effect->Update(argument);
        if (effect->IsFinished()) effect->Release();
        effect = next;
    }
    return 1;
}

i32 CEffectController::DrawAll(u32, CRenderList* renderList)
{
    for (CEffect* effect = m_head; effect; effect = effect->GetNextLive()) effect->Draw(renderList);
    return 1;
}

void CEffectController::DeleteAll()
{
    while (m_head) m_head->Release();
}

i32 CEffectController::Release()
{
    DeleteAll();
    m_nodes.Release();
    m_particles.Release();
    m_nodeStack = {};
    m_particleStack = {};
    return CResourceBase::Release();
}

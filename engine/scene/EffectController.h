// CEffectController: every live effect of the game. It owns a pool of
// CEffect nodes and a pool of CParticle objects, both built in place and
// sized once (the game makes 2,048 nodes and 4,096 particles), and the chain
// of registered instances, which it updates, draws and releases once they
// have finished.
//
// Nodes and particles never touch the heap while playing. Their tree walks
// run over two stacks made with the pools, so that neither deep child trees
// nor long particle chains recurse.
//
// Effects only show: they draw from the controller's own generator (each
// particle at its birth, in emission order), never from the global one that
// the battle simulation shares, so what is drawn on screen (trace quality,
// effects per drawn frame, no effects at all) cannot part two peers. Seeding
// it as the battle does replays the effects the same way too. Main thread
// only.
#pragma once

#include "engine/core/MemoryList.h"
#include "engine/core/Random.h"
#include "engine/core/ResourceBase.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"
#include "engine/scene/Effect.h"
#include "engine/scene/Particle.h"

#include <vector>

class CGraphicDevice;
class CRenderList;

// The effect sound settings.
struct EffectSoundSettings {
    i32 masterVolume = 0;      // hundredths of a dB; below -9999 every effect sound is silent
    f32 minDistance = 0.0f;    // 3D minimum distance of effect sounds
    u32 reserved = 0;
};

class CEffectController : public CResourceBase {
    ORV_VALUE_CLASS(CEffectController)

public:
    CEffectController();
    // The pools' sizes and the settings; no live effect.
    CEffectController(const CEffectController& other);
    CEffectController& operator=(const CEffectController&) = delete;
    ~CEffectController() override;

    // Keeps device for drawing and sizes the two pools (nodes first). 1, or
    // 0 when either cannot be sized.
    i32 Create(CGraphicDevice* device, u32 nodeCount, u32 particleCount);
    // Updates every registered instance (newest first) with argument and
    // releases each one that has finished. 1.
    i32 UpdateAll(u32 argument = 0);
    // Draws every registered instance, newest first: particles that sort go
    // to renderList (null: everything draws at once). 1.
    i32 DrawAll(u32 argument, CRenderList* renderList);
    // The scenes' form: DrawAll with argument 0.
    i32 DrawAll(CRenderList* renderList) { return DrawAll(0, renderList); }
    // Releases every registered instance.
    void DeleteAll();
    // DeleteAll, then both pools and the name. 1.
    i32 Release() override;

    CEffect* GetFirstEffect() const { return m_head; }
    void SetFirstEffect(CEffect* effect) { m_head = effect; }
    EffectSoundSettings* GetSoundSetting() { return &m_sound; }
    // The effect sounds' master volume, hundredths of a dB.
    void SetSeVolume(i32 volume) { m_sound.masterVolume = volume; }
    CGraphicDevice* GetDevice() const { return m_device; }
    // The particles' generator; a new controller's is unseeded (CRandom's
    // initial state), a copy's too.
    CRandom& GetRandom() { return m_random; }
    void SeedRandom(u32 seed) { m_random.Seed(seed); }

    CMemoryList<CEffect>& GetNodePool() { return m_nodes; }
    CMemoryList<CParticle>& GetParticlePool() { return m_particles; }
    // How often a node or a particle was asked for while its pool was full.
    u32 GetRefusedNodes() const { return m_refusedNodes; }
    u32 GetRefusedParticles() const { return m_refusedParticles; }

    // -- For nodes and particles. --

    // A node or particle from its pool; null, counted, when it is full.
    CEffect* TakeNode();
    CParticle* TakeParticle();
    // Puts an instance in front of the live chain.
    void Register(CEffect* first);
    // Takes it out of the live chain (nothing for one that is not in it).
    void Unregister(CEffect* first);

    // The walk stacks: entries pushed by one walk lie above its base and are
    // popped before it returns, so walks may nest. Pushes past the
    // capacity (impossible while every entry is a live object, each pushed
    // once) are dropped.
    struct NodeStep {
        CEffect* node;
    };
    struct ParticleStep {
        CParticle* particle;
        CObjectBase* owner;
    };
    std::vector<NodeStep>& NodeStack() { return m_nodeStack; }
    std::vector<ParticleStep>& ParticleStack() { return m_particleStack; }

private:
    CMemoryList<CEffect> m_nodes;
    CMemoryList<CParticle> m_particles;
    CEffect* m_head = nullptr;
    CGraphicDevice* m_device = nullptr;
    EffectSoundSettings m_sound;
    u32 m_refusedNodes = 0;
    u32 m_refusedParticles = 0;
    CRandom m_random;
    std::vector<NodeStep> m_nodeStack;
    std::vector<ParticleStep> m_particleStack;
};

// A walk stack used within its reserved capacity.
template <class Step>
inline bool PushStep(std::vector<Step>& stack, const Step& step)
{
    if (stack.size() >= stack.capacity()) return false;
    stack.push_back(step);
    return true;
}

// Stand-in for the character select until its own definitions land: its
// Load names its layout and fails, and what the block handed over goes
// with it.
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/CharaSelect.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"

CCharaSelect::CCharaSelect() = default;
CCharaSelect::CCharaSelect(const CCharaSelect& other) : CSceneResource(other) {}
CCharaSelect::~CCharaSelect() { CCharaSelect::Release(); }

i32 CCharaSelect::Release() { return CSceneResource::Release(); }

i32 CCharaSelect::Initialize(intptr_t argument)
{
    if (auto* args = reinterpret_cast<MenuSetupArgs*>(argument)) {
        CEffect* effect = args->effect;
        menu::ReleaseEffect(effect);
        if (args->music) args->music->StopAll(1);
        delete args->setup;
    }
    return menu::Missing("Scene\\CharaSelect.sce");
}

i32 CCharaSelect::Update(u32) { return 1; }
u32 CCharaSelect::OnMessage(u32, intptr_t) { return 1; }
i32 CCharaSelect::Draw(u32) { return 1; }

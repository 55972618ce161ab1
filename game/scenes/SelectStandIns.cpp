// Stand-ins for selects whose scenes are not built yet, so the scenes that
// lead to them link. Each takes over what it is handed and fails its Load
// naming its layout: the application then says so and goes to the title.
#include "engine/platform/SoundBuffer.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/scenes/OptionSelect.h"

COptionSelect::COptionSelect() = default;
COptionSelect::COptionSelect(const COptionSelect& other) : CSceneResource(other) {}
COptionSelect::~COptionSelect() { COptionSelect::Release(); }

i32 COptionSelect::Release() { return CSceneResource::Release(); }

i32 COptionSelect::Initialize(intptr_t argument)
{
    if (const auto* args = reinterpret_cast<const MenuSetupArgs*>(argument)) {
        CEffect* effect = args->effect;
        menu::ReleaseEffect(effect);
        if (args->music) args->music->StopAll(1);
        delete args->setup;
    }
    return menu::Missing("Scene\\OptionSelect.sce");
}

i32 COptionSelect::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 COptionSelect::OnMessage(u32, intptr_t) { return 1; }
i32 COptionSelect::Draw(u32) { return 1; }

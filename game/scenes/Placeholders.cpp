// Stand-ins for the scenes whose own files come with other work: each
// Load fails naming its layout, as the scene does without its data. This
// file goes once the scenes are in.
#include "game/scenes/BeginLoading.h"
#include "game/scenes/LoadingScene.h"
#include "engine/platform/SoundBuffer.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/RecordScene.h"

CBeginLoading::CBeginLoading() = default;
CBeginLoading::CBeginLoading(const CBeginLoading& other) : CSceneResource(other) {}
CBeginLoading::~CBeginLoading() { CBeginLoading::Release(); }
i32 CBeginLoading::Release() { return CSceneResource::Release(); }
i32 CBeginLoading::Initialize(intptr_t argument)
{
    // The block's next scene is this one's from the call on.
    if (argument) delete reinterpret_cast<LoadingArgs*>(argument)->next;
    return menu::Missing("Scene\\BeginLoading.sce");
}
i32 CBeginLoading::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CBeginLoading::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CBeginLoading::Draw(u32 argument) { return CSceneResource::Draw(argument); }

CLoadingScene::CLoadingScene() = default;
CLoadingScene::CLoadingScene(const CLoadingScene& other) : CSceneResource(other) {}
CLoadingScene::~CLoadingScene() { CLoadingScene::Release(); }
i32 CLoadingScene::Release() { return CSceneResource::Release(); }
i32 CLoadingScene::Initialize(intptr_t argument)
{
    // The block's next scene is this one's from the call on.
    if (argument) delete reinterpret_cast<LoadingArgs*>(argument)->next;
    return menu::Missing("Scene\\Loading.sce");
}
i32 CLoadingScene::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CLoadingScene::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CLoadingScene::Draw(u32 argument) { return CSceneResource::Draw(argument); }

// The block's effect and music are the receiver's from the call on.
namespace {
void DropMenuArgs(intptr_t argument)
{
    if (!argument) return;
    auto* args = reinterpret_cast<MenuArgs*>(argument);
    menu::ReleaseEffect(args->effect);
    if (args->music) args->music->StopAll(1);
}
}  // namespace

CRecordScene::CRecordScene() = default;
CRecordScene::CRecordScene(const CRecordScene& other) : CSceneResource(other) {}
CRecordScene::~CRecordScene() { CRecordScene::Release(); }
i32 CRecordScene::Release() { return CSceneResource::Release(); }
i32 CRecordScene::Initialize(intptr_t argument)
{
    DropMenuArgs(argument);
    return menu::Missing("Scene\\RecordScene.sce");
}
i32 CRecordScene::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CRecordScene::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CRecordScene::Draw(u32 argument) { return CSceneResource::Draw(argument); }

CGameOption::CGameOption() = default;
CGameOption::CGameOption(const CGameOption& other) : CSceneResource(other) {}
CGameOption::~CGameOption() { CGameOption::Release(); }
i32 CGameOption::Release() { return CSceneResource::Release(); }
i32 CGameOption::Initialize(intptr_t argument)
{
    DropMenuArgs(argument);
    return menu::Missing("Scene\\GameOption.sce");
}
i32 CGameOption::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CGameOption::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CGameOption::Draw(u32 argument) { return CSceneResource::Draw(argument); }

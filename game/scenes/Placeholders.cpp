// Stand-ins for the scenes whose own files come with other work: each
// Load fails naming its layout, as the scene does without its data. This
// file goes once the scenes are in.
#include "game/scenes/BeginLoading.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/LogoScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/MenuScene.h"

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

CLogoScene::CLogoScene() = default;
CLogoScene::CLogoScene(const CLogoScene& other) : CSceneResource(other) {}
CLogoScene::~CLogoScene() { CLogoScene::Release(); }
i32 CLogoScene::Release() { return CSceneResource::Release(); }
i32 CLogoScene::Initialize(intptr_t argument)
{
    (void)argument;
    return menu::Missing("Scene\\Logo.sce");
}
i32 CLogoScene::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CLogoScene::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CLogoScene::Draw(u32 argument) { return CSceneResource::Draw(argument); }

CTitleScene::CTitleScene() = default;
CTitleScene::CTitleScene(const CTitleScene& other) : CSceneResource(other) {}
CTitleScene::~CTitleScene() { CTitleScene::Release(); }
i32 CTitleScene::Release() { return CSceneResource::Release(); }
i32 CTitleScene::Initialize(intptr_t argument)
{
    (void)argument;
    return menu::Missing("Scene\\TitleSceneM.sce");
}
i32 CTitleScene::Update(u32 argument) { return CSceneResource::Update(argument); }
u32 CTitleScene::OnMessage(u32 message, intptr_t parameter) { return CSceneResource::OnMessage(message, parameter); }
i32 CTitleScene::Draw(u32 argument) { return CSceneResource::Draw(argument); }

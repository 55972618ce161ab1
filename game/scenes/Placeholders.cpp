// Stand-ins for the scenes whose own files come with other work: each
// Load fails naming its layout, as the scene does without its data. This
// file goes once the scenes are in.
#include "game/scenes/LogoScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/MenuScene.h"

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

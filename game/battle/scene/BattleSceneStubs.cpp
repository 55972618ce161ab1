// Temporary bodies while the scene's parts are written.
#include "game/battle/scene/BattleScene.h"

#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "game/battle/character/Character.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/object/Stage.h"
#include "game/data/Replay.h"
#include "game/data/Skill.h"

CBattleScene::CBattleScene() { m_sideTarget.scene = this; }
CBattleScene::CBattleScene(IBattleApp* app, IBattleNetwork* network) : CBattleScene()
{
    m_app = app;
    m_network = network;
}
CBattleScene::CBattleScene(const CBattleScene& other) : CScene(other) { m_sideTarget.scene = this; }
CBattleScene::~CBattleScene() = default;
i32 CBattleScene::Release() { return 1; }
i32 CBattleScene::Initialize(intptr_t) { return 0; }
i32 CBattleScene::Update(u32) { return 1; }
i32 CBattleScene::SoundStep(u32, u32*) { return 1; }
u32 CBattleScene::OnMessage(u32, intptr_t) { return 1; }
u32 CBattleScene::OnSideMessage(u32, const u8*, u32) { return 0; }
u32 CBattleScene::SetupCharacter(u32, CharacterCreateRecord*, const CBattleEntry*, u32) const { return 0; }
const CTensionFile* CBattleScene::ChooseTension(u32, const CBattleEntry&) const { return nullptr; }
f32 CBattleScene::GetMusicTime() const { return 0; }
bool CBattleScene::AllMenusOpen() const { return false; }
CCharacter* CBattleScene::GetLocalCharacter() const { return nullptr; }
i32 CBattleScene::FindLocalCharacter() const { return -1; }
i32 CBattleScene::GetTeamLives(u32) const { return 0; }
BattleStateHash CBattleScene::HashState() const { return {}; }
bool CBattleScene::IsBattleOver() const { return false; }
u32 CBattleScene::GetResult(u32) const { return kResultDraw; }
void CBattleScene::EndBattle() {}
void CBattleScene::ApplyAdventureRewards(u32) {}
u32 CBattleScene::CheckAdventureCondition(const CCharacter*, u32, i32) const { return 1; }
i32 CBattleScene::OnBattleEnd() { return 1; }
void CBattleScene::UpdatePlayRecord() {}
u32 CBattleScene::SyncStart() { return 1; }
i32 CBattleScene::SendLocalInput() { return 1; }
u32 CBattleScene::WaitNetInputs() { return 1; }
u32 CBattleScene::OnNetReady(const u8*, u32) { return 0; }
u32 CBattleScene::OnNetInput(const u8*, u32) { return 0; }
u32 CBattleScene::OnNetFrameBundle(const u8*, u32) { return 0; }
u32 CBattleScene::OnNetLeft(const u8*, u32) { return 0; }
i32 CBattleScene::SendFrameBundle() { return 1; }
u32 CBattleScene::NetThread() { return 0; }
void CBattleScene::StartNetThread() {}
void CBattleScene::StopNetThread() {}
CStage* CBattleScene::GetStage() const { return nullptr; }
CCharacter* CBattleScene::GetCharacter(u32) const { return nullptr; }
CBattleConsole* CBattleScene::GetConsole(u32) const { return nullptr; }
std::string FirstDifferentObject(const BattleStateHash&, const BattleStateHash&) { return ""; }

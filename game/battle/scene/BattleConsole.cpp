#include "game/battle/scene/BattleConsole.h"

#include "engine/core/StateHash.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/RenderList.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/object/Stage.h"
#include "game/battle/scene/BattleStateConsole.h"
#include "game/battle/scene/EnemyConsole.h"
#include "game/battle/scene/MapConsole.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/battle/scene/PlayerConsole.h"
#include "game/battle/scene/TensionConsole.h"

namespace {

template <class T>
void Delete(T*& p)
{
    delete p;
    p = nullptr;
}

}  // namespace

CBattleConsole::CBattleConsole() = default;

CBattleConsole::CBattleConsole(const CBattleConsole& other)
    : CSceneResource(other), Console3DSource(), m_setup(other.m_setup), m_texture(other.m_texture)
{
}

CBattleConsole::~CBattleConsole() { CBattleConsole::Release(); }

void CBattleConsole::ReleaseChildren()
{
    Delete(m_player);
    m_enemies.clear();
    Delete(m_map);
    Delete(m_state);
    Delete(m_tension);
    Delete(m_menu);
    Delete(m_view);
}

i32 CBattleConsole::Release()
{
    ReleaseChildren();
    return CSceneResource::Release();
}

u32 CBattleConsole::MenuMode(const ConsoleSetup& s)
{
    if (s.adventure) return kMenuKindAdventure;
    if (s.survival || s.story) return kMenuKindStory;
    if (s.replay) return kMenuKindReplay;
    if (s.tutorial) return kMenuKindTutorial;
    if (s.training) return kMenuKindTraining;
    if (s.network) return s.localEntry == 0 ? kMenuKindNetworkHost : kMenuKindNetworkClient;
    return kMenuKindFree;
}

const HudFighter* CBattleConsole::Fighter(u32 index) const
{
    const HudFighterList* list = m_setup.characters;
    return list && index < list->size() ? (*list)[index] : nullptr;
}

u32 CBattleConsole::Load(const ConsoleSetup* setup)
{
    ReleaseChildren();
    if (setup) {
        m_setup = *setup;
        m_setup.endHandled = 0;
        m_setup.timeLimit = 0.0f;
        m_setup.timeLimit = GetTimeLimit();
    }
    if (!LoadFromFile(kLayoutPath)) return 0;
    CScene* owner = m_setup.owner;
    CResourceController* controller = nullptr;
    if (owner) owner->OnMessage(kConsoleMsgResourceController, reinterpret_cast<intptr_t>(&controller));
    const CResourceList* textures = controller ? controller->GetTextureList() : nullptr;
    m_texture = textures ? static_cast<CTexture*>(textures->FindByFileName(kTextureName)) : nullptr;
    if (!m_texture) return 0;
    SetTextureAll(m_texture);

    const HudFighterList* list = m_setup.characters;
    const HudFighter* own = Fighter(m_setup.ownIndex);
    m_player = new CPlayerConsole(owner);
    m_player->Load(own, list, this);
    const u32 count = list ? u32(list->size()) : 0;
    for (u32 i = 0; i < count; ++i) {
        m_enemies.push_back(std::make_unique<CEnemyConsole>(owner));
        m_enemies.back()->Load(Fighter(i), own, list, this);
    }
    m_map = new CMapConsole(owner);
    m_map->Load(m_setup.stageObjects, own, list, this);
    m_state = new CBattleStateConsole(owner);
    m_state->SetInput(m_input);
    m_state->Load(&m_setup, this);
    m_tension = new CTensionConsole(owner);
    m_tension->Load(own, list, this);
    m_menu = new CMenuConsole(owner);
    m_menu->SetInput(m_input);
    m_menu->Load(this, MenuMode(m_setup));
    m_view = new CConsole3D(this);
    const CResourceList* stages = m_setup.stageObjects;
    const CStage* stage = stages && stages->GetCount()
        ? dynamic_cast<const CStage*>(static_cast<CValueBase*>(stages->GetAt(0)))
        : nullptr;
    m_view->Initialize(reinterpret_cast<intptr_t>(stage ? stage->GetSettings() : nullptr));
    return Initialize(0) ? 1 : 0;
}

void CBattleConsole::SetInput(const ConsoleInput* input)
{
    m_input = input;
    if (m_state) m_state->SetInput(input);
    if (m_menu) m_menu->SetInput(input);
}

f32 CBattleConsole::GetTimeLimit() const
{
    // The setting comes off the wire or out of a replay: past the table it
    // means no limit rather than a read past it.
    constexpr u32 n = sizeof kConsoleTimeLimits / sizeof kConsoleTimeLimits[0];
    return m_setup.timeSetting < n ? kConsoleTimeLimits[m_setup.timeSetting] : kConsoleNoTimeLimit;
}

f32 CBattleConsole::GetRemainingTime() const { return m_state ? m_state->GetRemainingTime() : m_setup.timeLimit; }

f32 CBattleConsole::GetElapsedTime() const { return GetTimeLimit() - GetRemainingTime(); }

void CBattleConsole::SetDamagePanel(u32 value)
{
    m_setup.damagePanel = value;
    if (m_state) m_state->GetSetup().damagePanel = value;
}

void CBattleConsole::ShowQuickMessage(const QuickMessageRecord& record)
{
    if (m_state) m_state->AddQuickMessage(record);
}

void CBattleConsole::ShowResult()
{
    if (m_state) m_state->SetResult();
}

i32 CBattleConsole::UpdateMenuOnly(u32 argument)
{
    if (m_menu) m_menu->Update(argument);
    return CSceneResource::Update(argument);
}

u32 CBattleConsole::IsMenuOpen() const { return m_menu ? m_menu->IsOpen() : 0; }

u32 CBattleConsole::AddToRenderList(CRenderList* list)
{
    if (list && m_view) list->Add(m_view, 0);
    return 1;
}

CEnemyConsole* CBattleConsole::GetEnemy(u32 i) const { return i < m_enemies.size() ? m_enemies[i].get() : nullptr; }

void CBattleConsole::SendEndCode(u32 code)
{
    if (m_setup.owner) m_setup.owner->OnMessage(kConsoleMsgEndCode, reinterpret_cast<intptr_t>(&code));
}

void CBattleConsole::RunEndRules()
{
    if (!m_state || !m_state->IsResultShown() || IsMenuOpen() || m_setup.endHandled) return;
    m_setup.endHandled = 1;
    const bool first = m_setup.ownIndex == 0;
    const bool won = m_state->GetResult() == 1;
    if (m_setup.survival && first) {
        SendEndCode(won ? kEndSurvivalWon : kEndSurvivalLost);
    } else if (m_setup.story && first && won) {
        SendEndCode(kEndStoryWon);
    } else if (m_setup.adventure && first && won) {
        SendEndCode(kEndAdventureWon);
    } else if (m_menu) {
        m_menu->OpenEndMenu();
    }
}

i32 CBattleConsole::Update(u32 argument)
{
    if (m_player) m_player->Update(argument);
    for (auto& enemy : m_enemies) enemy->Update(argument);
    if (m_map) m_map->Update(argument);
    if (m_tension) m_tension->Update(argument);
    if (m_state) m_state->Update(argument);
    if (m_menu && (!m_setup.network || m_setup.IsLocal())) m_menu->Update(argument);
    RunEndRules();
    return CSceneResource::Update(argument);
}

i32 CBattleConsole::Draw(u32 argument)
{
    if (m_player) m_player->Draw(argument);
    u32 k = 0;
    for (u32 i = 0; i < m_enemies.size(); ++i) {
        if (i == m_setup.ownIndex) continue;
        CLayerState state;
        state.position.y = -64.0f * f32(k);
        const HudFighter* f = Fighter(i);
        if (f && f->GetAction() == HudFighter::kActionDefeated) {
            state.colour.x *= 0.4f;
            state.colour.y *= 0.4f;
            state.colour.z *= 0.4f;
        }
        m_enemies[i]->DrawPanel(&state);
        ++k;
    }
    if (m_map) m_map->Draw(argument);
    if (m_tension) m_tension->Draw(argument);
    if (m_state) m_state->Draw(argument);
    if (m_menu) m_menu->Draw(argument);
    return 1;
}

i32 CBattleConsole::DrawWorldPass(u32 argument)
{
    CGraphicDevice* device = GetGraphicDevice();
    if (device) {
        device->SetFogEnable(0);
        device->SetLighting(0);
    }
    for (u32 i = 0; i < m_enemies.size(); ++i) {
        if (i == m_setup.ownIndex) continue;
        m_enemies[i]->DrawTag(argument);
        m_enemies[i]->DrawReticle(argument);
    }
    if (m_state) m_state->DrawMarkers(argument);
    if (device) {
        device->SetFogEnable(1);
        device->SetLighting(1);
    }
    return 1;
}

void CBattleConsole::HashState(CStateHash& hash) const
{
    hash.U32(m_setup.endHandled);
    if (m_state) m_state->HashState(hash);
}

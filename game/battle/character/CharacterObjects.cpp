#include "game/battle/character/CharacterObjects.h"

#include "game/battle/character/BattleObjectFactory.h"

namespace {
CBattleObjectFactory g_battleFactory;
ICharacterObjectFactory* g_factory = nullptr;
}  // namespace

ICharacterObjectFactory* GetCharacterObjectFactory() { return g_factory ? g_factory : &g_battleFactory; }
void SetCharacterObjectFactory(ICharacterObjectFactory* factory) { g_factory = factory; }

#include "game/battle/character/CharacterObjects.h"

namespace {
ICharacterObjectFactory* g_factory = nullptr;
}

ICharacterObjectFactory* GetCharacterObjectFactory() { return g_factory; }
void SetCharacterObjectFactory(ICharacterObjectFactory* factory) { g_factory = factory; }

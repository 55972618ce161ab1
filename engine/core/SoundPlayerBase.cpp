#include "engine/core/SoundPlayerBase.h"

namespace {
CResourceList* g_soundPlayerList = nullptr;
}

void SetSoundPlayerList(CResourceList* list) { g_soundPlayerList = list; }

CResourceList* GetSoundPlayerList() { return g_soundPlayerList; }

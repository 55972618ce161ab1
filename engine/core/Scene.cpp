#include "engine/core/Scene.h"

#include "engine/core/SoundPlayerBase.h"

namespace {

template <class F>
void ForEachSoundPlayer(CResourceList* list, F&& f)
{
    if (!list) return;
    for (u32 i = 0; i < list->GetCount(); ++i) {
        if (void* p = list->GetAt(i)) f(*static_cast<CSoundPlayerBase*>(static_cast<CValueBase*>(p)));
    }
}

}  // namespace

i32 CScene::SoundStep(u32 inactive, u32* lastInactive)
{
    CResourceList* sounds = GetSoundPlayerList();
    if (lastInactive && inactive != *lastInactive) {
        ForEachSoundPlayer(sounds, [&](CSoundPlayerBase& s) { s.SetMuteAll(inactive); });
        *lastInactive = inactive;
    }
    ForEachSoundPlayer(sounds, [](CSoundPlayerBase& s) { s.Update(); });
    return 1;
}

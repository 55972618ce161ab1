#include "engine/core/Scene.h"

#include "engine/core/SoundPlayerBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using Log = std::vector<std::string>;

// Records what the scene base asks of each sound, in one shared log.
class CFakeSound : public CSoundPlayerBase {
    ORV_VALUE_CLASS(CFakeSound)

public:
    CFakeSound() = default;
    CFakeSound(const char* name, Log* log) : CSoundPlayerBase(name), m_log(log) {}
    i32 SetMuteAll(u32 mute) override { return Note(mute ? ":mute" : ":unmute"); }
    i32 Update() override { return Note(":update"); }

private:
    i32 Note(const char* what)
    {
        m_log->push_back(std::string(GetName()) + what);
        return 1;
    }
    Log* m_log = nullptr;
};

class CTestScene : public CScene {
    ORV_VALUE_CLASS(CTestScene)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return 1; }
};

}  // namespace

TEST(Scene, SoundStepMutesOnChangeThenServicesEveryCall)
{
    Log log;
    CResourceList sounds;  // two sounds with an empty slot between them
    for (CValueBase* sound : {new CFakeSound("bgm", &log), static_cast<CFakeSound*>(nullptr), new CFakeSound("shot", &log)}) {
        void* p = sound;  // stored as the list stores elements
        sounds.Add(&p);
    }
    SetSoundPlayerList(&sounds);
    CTestScene scene;
    const struct { u32 inactive; Log log; } steps[] = {
        {1, {"bgm:update", "shot:update"}},  // no flag to compare: only services
        {1, {"bgm:mute", "shot:mute", "bgm:update", "shot:update"}},
        {1, {"bgm:update", "shot:update"}},
        {0, {"bgm:unmute", "shot:unmute", "bgm:update", "shot:update"}},
    };
    u32 last = 0;
    for (size_t i = 0; i < std::size(steps); ++i) {
        log.clear();
        EXPECT_EQ(scene.SoundStep(steps[i].inactive, i == 0 ? nullptr : &last), 1);
        EXPECT_EQ(log, steps[i].log) << "step " << i;
        EXPECT_EQ(last, i == 0 ? 0u : steps[i].inactive);
    }

    SetSoundPlayerList(nullptr);  // without a list only the flag is kept
    log.clear();
    EXPECT_EQ(scene.SoundStep(1, &last), 1);
    EXPECT_EQ(last, 1u);
    EXPECT_TRUE(log.empty());
}

}  // namespace ORV_TEST_FILE_ID

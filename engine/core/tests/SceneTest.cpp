#include "engine/core/Scene.h"

#include "engine/core/SoundPlayerBase.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the scene base asks of each sound, in one shared log.
class CFakeSound : public CSoundPlayerBase {
    ORV_VALUE_CLASS(CFakeSound)

public:
    CFakeSound() = default;
    CFakeSound(const char* name, std::vector<std::string>* log) : CSoundPlayerBase(name), m_log(log) {}
    i32 SetMuteAll(u32 mute) override
    {
        if (m_log) m_log->push_back(std::string(GetName()) + (mute ? ":mute" : ":unmute"));
        return 1;
    }
    i32 Update() override
    {
        if (m_log) m_log->push_back(std::string(GetName()) + ":update");
        return 1;
    }

private:
    std::vector<std::string>* m_log = nullptr;
};

class CTestScene : public CScene {
    ORV_VALUE_CLASS(CTestScene)

public:
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32) override { return 1; }
};

class SceneSoundStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"bgm", "shot"}) {
            void* p = new CFakeSound(name, &log);
            sounds.Add(&p);
        }
        SetSoundPlayerList(&sounds);
    }
    void TearDown() override { SetSoundPlayerList(nullptr); }

    std::vector<std::string> log;
    CResourceList sounds;
    CTestScene scene;
};

using Log = std::vector<std::string>;

}  // namespace

TEST(Scene, NameAndTable)
{
    CTestScene scene;
    CScene& base = scene;
    EXPECT_STREQ(base.GetClassName(), "CTestScene");
    CValueBase* copy = base.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy->GetClassName(), "CTestScene");
    delete copy;
}

TEST_F(SceneSoundStep, MutesOnceThenServicesEveryCall)
{
    u32 last = 0;
    EXPECT_EQ(scene.SoundStep(1, &last), 1);
    EXPECT_EQ(last, 1u);
    EXPECT_EQ(log, (Log{"bgm:mute", "shot:mute", "bgm:update", "shot:update"}));

    log.clear();
    EXPECT_EQ(scene.SoundStep(1, &last), 1);
    EXPECT_EQ(log, (Log{"bgm:update", "shot:update"}));

    log.clear();
    EXPECT_EQ(scene.SoundStep(0, &last), 1);
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(log, (Log{"bgm:unmute", "shot:unmute", "bgm:update", "shot:update"}));
}

TEST_F(SceneSoundStep, ActiveWindowFromTheStartOnlyServices)
{
    u32 last = 0;
    scene.SoundStep(0, &last);
    EXPECT_EQ(log, (Log{"bgm:update", "shot:update"}));
}

TEST_F(SceneSoundStep, NullSlotsAreSkipped)
{
    void* none = nullptr;
    sounds.InsertAt(&none, 1);
    u32 last = 0;
    scene.SoundStep(1, &last);
    EXPECT_EQ(log, (Log{"bgm:mute", "shot:mute", "bgm:update", "shot:update"}));
}

TEST_F(SceneSoundStep, WithoutASoundListOnlyTheFlagIsKept)
{
    SetSoundPlayerList(nullptr);
    u32 last = 0;
    EXPECT_EQ(scene.SoundStep(1, &last), 1);
    EXPECT_EQ(last, 1u);
    EXPECT_TRUE(log.empty());
}

TEST_F(SceneSoundStep, NullFlagAddressStillServices)
{
    EXPECT_EQ(scene.SoundStep(1, nullptr), 1);
    EXPECT_EQ(log, (Log{"bgm:update", "shot:update"}));
}

// Whole battles on the battle data set: the data written once (by CTest,
// or by the test binary run by hand), the fake render device and the null sound output, the game's
// resource controller with every archive registered, and a double of the
// application that the scene loads through.
#pragma once

#include "engine/core/Crc32.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/core/PackFile.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/character/Character.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/tests/BattleSceneFakes.h"
#include "game/battle/testdata/BattleData.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace scene_test {

// The data set written once; each test in its own registry, at 18 ms a
// frame, on a fake clock, in the data's Resource folder.
class BattleSceneTest : public model_test::ModelDeviceTest {
protected:
    static void SetUpTestSuite()
    {
        ModelDeviceTest::SetUpTestSuite();
        // Under CTest the set is written once for all tests (fixture
        // battle_data, ORV_BATTLE_DATA): each test is a process of its own,
        // and writing it costs seconds of file syncs. A binary run by hand
        // writes its own.
        if (const char* shared = std::getenv("ORV_BATTLE_DATA"); shared && *shared) {
            data_ = shared;
            written_ = host::kernel::FileExists(battle_data::ResourceFolder(data_) + "/" + battle_data::kResourceList);
            error_ = "no battle data set in " + data_ + " (the CTest fixture battle_data writes it)";
            return;
        }
        WriteOwnData(false);
    }
    // The set, or its variant with closeAttacks, written for this suite into
    // a folder of its own.
    static void WriteOwnData(bool closeAttacks)
    {
        root_ = new host::kernel::testing::TempFolder();
        data_ = *root_ / "data";
        written_ = battle_data::WriteBattleData(data_, &error_, closeAttacks);
    }
    static void TearDownTestSuite()
    {
        delete root_;
        root_ = nullptr;
        ModelDeviceTest::TearDownTestSuite();
    }

    void SetUp() override
    {
        ASSERT_TRUE(written_) << error_;
        host::sound::SetNullOutput(&null_);
        sound_ = std::make_unique<CSound>();
        ASSERT_EQ(sound_->Initialize(system_), 1);
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(data_)));
        LoadControllers(&resources_, &effects_);
        ASSERT_FALSE(HasFatalFailure());
        LoadMusicTension();
        app_.resources = resources_.get();
        app_.effects = effects_.get();
        app_.sound = sound_.get();
        app_.musicTension = &tension_;
        app_.userFolder = folder_.Path();
        // Replays stay in the test's folder: none is saved to the user's.
        app_.config.GetReplaySection()->saveReplays = 0;
        saved_ = GetObjectRegistry();
        SetObjectRegistry(&registry_);
        SetFrameTime(kFrameMs);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        SetObjectRegistry(saved_);
        effects_.reset();
        resources_.reset();
        host::kernel::SetCurrentDirectory(cwd_);
        sound_.reset();
        host::sound::SetNullOutput(nullptr);
    }

    // The game's resource controller with every archive registered, and an
    // effect controller.
    void LoadControllers(std::unique_ptr<CResourceController>* resources, std::unique_ptr<CEffectController>* effects)
    {
        *resources = std::make_unique<CResourceController>();
        for (const battle_data::Archive& a : battle_data::kArchives)
            ASSERT_EQ((*resources)->LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
        ASSERT_EQ((*resources)->Load(battle_data::kResourceList, 1), 1u);
        *effects = std::make_unique<CEffectController>();
        ASSERT_EQ((*effects)->Create(device_, 1024, 1024), 1);
    }

    void LoadMusicTension()
    {
        std::string error;
        ASSERT_TRUE(battle_data::LoadMusicTension(tension_, &error)) << error;
    }

    // A fresh registry for the next battle of a test: ids, and so the
    // state, start from the same place.
    void FreshRegistry()
    {
        registry_.Clear();
        registry_.SetHandler(nullptr);
    }

    FakeBattleApp app_;
    CTensionFile tension_;
    std::unique_ptr<CSound> sound_;
    std::unique_ptr<CResourceController> resources_;
    std::unique_ptr<CEffectController> effects_;
    host::sound::NullOutput null_;
    host::kernel::testing::TempFolder folder_;
    host::kernel::FakeClock clock_{1000};
    host::kernel::ScopedClock scoped_{clock_};
    CObjectRegistry registry_;
    CObjectRegistry* saved_ = nullptr;
    std::string cwd_ = host::kernel::GetCurrentDirectory();

    static inline host::kernel::testing::TempFolder* root_ = nullptr;
    static inline std::string data_;
    static inline bool written_ = false;
    static inline std::string error_;
};

// As BattleSceneTest, on the variant of the set whose fighters' close
// attacks reach and whose guarded hits hold the guard, written for the suite
// (under CTest too) into a folder of its own: the shared set, and every
// battle pinned on it, stays as it is.
class CloseAttackBattleTest : public BattleSceneTest {
protected:
    static void SetUpTestSuite()
    {
        ModelDeviceTest::SetUpTestSuite();
        WriteOwnData(true);
    }
};

// HP the fighters lost, summed.
inline i32 HpLost(const CBattleScene& scene)
{
    i32 lost = 0;
    for (u32 i = 0; i < scene.GetCharacterCount(); ++i) {
        const CCharacter* c = scene.GetCharacter(i);
        lost += c->GetParameter()->values.general.hp - c->GetStatus()->hp;
    }
    return lost;
}

// The first frame whose state differs, with the first object that does.
inline std::string FirstDifference(const std::vector<BattleStateHash>& expected, const std::vector<BattleStateHash>& actual)
{
    for (size_t f = 0; f < std::min(expected.size(), actual.size()); ++f) {
        const std::string object = FirstDifferentObject(expected[f], actual[f]);
        if (!object.empty()) return "frame " + std::to_string(f) + ", " + object;
    }
    if (expected.size() != actual.size())
        return std::to_string(actual.size()) + " frames of " + std::to_string(expected.size());
    return "";
}

}  // namespace scene_test

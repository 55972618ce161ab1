// The battle data set loads whole with the game's own readers: each
// fighter's parameter set with every child and its face file, each stage's
// settings, the skill list, the archives with their models and sounds, the
// resource list with the effects and the HUD layout, the music and its
// tension script. Written once for the suite; each case reads from
// Resource/ as the game does.
#include "game/battle/testdata/BattleData.h"

#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/testdata/Fighter.h"
#include "game/battle/testdata/ScrambledPack.h"
#include "game/data/Skill.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

namespace fs = std::filesystem;

// Models need a render device, sounds a sound device: the fake render
// backend's and the null sound output.
class BattleDataTest : public model_test::ModelDeviceTest {
protected:
    static void SetUpTestSuite()
    {
        ModelDeviceTest::SetUpTestSuite();
        root_ = new host::kernel::testing::TempFolder();
        std::string error;
        written_ = battle_data::WriteBattleData(*root_ / "data", &error);
        error_ = error;
    }
    static void TearDownTestSuite()
    {
        delete root_;
        root_ = nullptr;
        ModelDeviceTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        host::sound::SetNullOutput(&null_);
        sound_ = std::make_unique<CSound>();
        ASSERT_EQ(sound_->Initialize(system_), 1);
        ASSERT_TRUE(written_) << error_;
        ASSERT_TRUE(host::kernel::SetCurrentDirectory(battle_data::ResourceFolder(*root_ / "data")));
    }
    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(cwd_);
        sound_.reset();
        host::sound::SetNullOutput(nullptr);
    }

    // Every archive registered the way the game does, media loaded.
    void RegisterArchives(CResourceController& resources)
    {
        for (const battle_data::Archive& a : battle_data::AllArchives())
            ASSERT_EQ(resources.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1), 1u) << a.path;
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::sound::NullOutput null_;
    std::unique_ptr<CSound> sound_;
    static inline host::kernel::testing::TempFolder* root_ = nullptr;
    static inline bool written_ = false;
    static inline std::string error_;
};

std::string Text(const CString& s) { return s.GetText() ? s.GetText() : ""; }

TEST_F(BattleDataTest, EachFighterLoadsWithEveryChild)
{
    for (const char* name : battle_data::kFighterNames) {
        SCOPED_TRACE(name);
        CCharacterParameter p;
        ASSERT_EQ(p.LoadFile(battle_data::FighterSettingPath(name).c_str()), 1);
        EXPECT_EQ(Text(p.GetName()), name);
        EXPECT_EQ(Text(p.resource), std::string(name) + ".mdl");
        const bool little = std::string(name) == battle_data::kFighterNames[battle_data::kLittleLifeFighter];
        EXPECT_EQ(p.values.general.hp, little ? battle_data::kLittleLife : fighter_test::kFighterLife);
        EXPECT_EQ(Text(p.GetCamera().GetName()), "camera");
        for (u32 s = 0; s < kShotSlotCount; ++s) {
            const CPatternListParameter& barrage = p.GetBarrage(s);
            ASSERT_EQ(barrage.GetPatternCount(), 1u) << s;
            ASSERT_NE(barrage.GetPattern(0), nullptr) << s;
            const CBulletParameter& bullet = barrage.GetPattern(0)->GetBulletLink().parameter;
            EXPECT_EQ(bullet.GetValues().pow, 10.0f) << s;
        }
        for (u32 s = 0; s < kSpellSlotCount; ++s) {
            EXPECT_EQ(Text(p.GetSpellCard(s).GetName()), "spell") << s;
            EXPECT_EQ(p.GetSpellCard(s).GetBarrages().GetCount(), 1u) << s;
        }
        ASSERT_EQ(p.weapons.GetCount(), 2u);
        EXPECT_EQ(Text(p.weapons.GetAt(1)->GetName()), "shield");
        EXPECT_EQ(p.GetFaceError(), FaceFileError::kNone);
        EXPECT_EQ(p.GetExpressions().size(), 5u);
        EXPECT_EQ(p.values.faces[kSmileFace].index, 4);
        EXPECT_EQ(Text(p.GetVoiceName(FindVoiceKey("VOICEWIN"))), std::string(name) + "_Win.wav");
        EXPECT_EQ(Text(p.GetEffectName(FindEffectKey("EFCHITATTACK"))), "Efc_Hit.efc");
        // The guard names its effect, not the default "Non Name".
        EXPECT_EQ(Text(p.GetEffectName(FindEffectKey("EFCGUARD"))), std::string(battle_data::kGuardEffect) + ".efc");
    }
}

TEST_F(BattleDataTest, EveryStageAndTheSkillsLoad)
{
    for (u32 n = 0; n < battle_data::kStageCount; ++n) {
        SCOPED_TRACE(n);
        CStageSetting stage;
        ASSERT_EQ(stage.LoadFile(battle_data::StageSettingPath(n).c_str()), 1);
        EXPECT_EQ(Text(stage.GetName()), n ? "Box room " + std::to_string(n + 1) : std::string("Box room"));
        EXPECT_EQ(Text(stage.hit), battle_data::StageRoomModel(n));
        EXPECT_EQ(Text(stage.enclosureXP), battle_data::StageWallModel(n));
        const StageParameters& p = *stage.GetParameters();
        EXPECT_EQ(p.box.max.y, 11.0f);
        // The four starts lie inside the fighters' box and apart.
        for (u32 i = 0; i < CStageSetting::kStartCount; ++i) {
            const CVector3& at = p.start[i].position;
            EXPECT_TRUE(at.x > p.box.min.x && at.x < p.box.max.x && at.z > p.box.min.z && at.z < p.box.max.z) << i;
            for (u32 j = 0; j < i; ++j) EXPECT_FALSE(at.x == p.start[j].position.x && at.z == p.start[j].position.z);
        }
    }
    EXPECT_EQ(battle_data::StageSettingPath(18), "Setting/Stage19.dat");

    CSkillList skills;
    ASSERT_EQ(skills.LoadFile(battle_data::kSkillList), 1);
    ASSERT_EQ(skills.skills.GetCount(), 2u);
    EXPECT_EQ(Text(skills.skills.GetAt(0)->GetName()), "Iron guard");
}

TEST_F(BattleDataTest, ArchivesHoldTheModelsAndSounds)
{
    CResourceController resources;
    RegisterArchives(resources);
    for (const char* name : battle_data::kFighterNames) {
        SCOPED_TRACE(name);
        auto* model = static_cast<CMesh*>(resources.GetModelList()->FindByFileName((std::string(name) + ".mdl").c_str()));
        ASSERT_NE(model, nullptr);
        for (const char* bone : {"Body", "Neck", "Arm"}) EXPECT_GE(model->GetBones()->FindIndexByName(bone), 0) << bone;
        for (const char* motion : fighter_test::kFighterMotions)
            EXPECT_GE(model->GetAnimations()->FindIndexByName(motion), 0) << motion;
        EXPECT_NE(resources.GetModelList()->FindByFileName((std::string(name) + "_Stick.mdl").c_str()), nullptr);
        for (const auto& voice : fighter_test::kFighterVoices)
            EXPECT_NE(resources.GetSoundList()->FindByFileName((std::string(name) + "_" + voice.file).c_str()), nullptr)
                << voice.file;
    }
    for (const char* jingle : battle_data::kJingles) EXPECT_NE(resources.GetSoundList()->FindByFileName(jingle), nullptr);
    for (u32 n = 0; n < battle_data::kStageCount; ++n) {
        SCOPED_TRACE(n);
        auto* room = static_cast<CMesh*>(resources.GetModelList()->FindByFileName(battle_data::StageRoomModel(n).c_str()));
        ASSERT_NE(room, nullptr);
        auto* object = static_cast<CModelObject*>(room->GetModelObjects()->GetAt(0));
        ASSERT_NE(object->GetCollisionGrid(), nullptr);
        EXPECT_EQ(object->GetCollisionGrid()->Cells->GetCount(), 1u);
        EXPECT_NE(resources.GetModelList()->FindByFileName(battle_data::StageWallModel(n).c_str()), nullptr);
    }
}

// A fighter past the first two has one voice tone and one sound-effect
// tone, each stored once: its archive holds two sound bodies, not fifteen.
TEST_F(BattleDataTest, EqualSoundsAreStoredOnce)
{
    CqelPackFile pack;
    ASSERT_EQ(pack.OpenScrambled("Data\\Pellu.gpk", Crc32String("PELLUPACK"), kPackKeyFirst), 1u);
    std::set<u32> offsets;
    u32 sounds = 0;
    for (u32 i = 0; i < pack.GetCount(); ++i) {
        const PackEntry* e = pack.GetEntry(i);
        if (std::string(e->name).find(".wav") == std::string::npos) continue;
        ++sounds;
        offsets.insert(e->offset);
    }
    EXPECT_EQ(sounds, 15u);
    EXPECT_EQ(offsets.size(), 2u);
    u32 first = 0, second = 0;
    u8* win = pack.ReadEntry("Pellu_Win.wav", &first);
    u8* start = pack.ReadEntry("Pellu_Start.wav", &second);
    ASSERT_TRUE(win && start);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(win), first), std::string(reinterpret_cast<char*>(start), second));
    AlignedFree(win);
    AlignedFree(start);
}

TEST_F(BattleDataTest, ResourceListLoadsTheEffectsAndTheLayout)
{
    CResourceController resources;
    ASSERT_EQ(resources.Load(battle_data::kResourceList, 1), 1u);
    for (const char* effect : battle_data::kEffects) {
        auto* e = static_cast<CEffectContainer*>(resources.GetEffectList()->FindByFileName(effect));
        ASSERT_NE(e, nullptr) << effect;
        // The guard's adds its shield.
        const bool guard = std::string(effect) == battle_data::kGuardEffect;
        ASSERT_EQ(e->GetObjectCount(), guard ? 2u : 1u) << effect;
        // The sparks and the guard's shield name the particles' texture,
        // which the battle's set alone does not hold: unbound here.
        ASSERT_NE(e->GetObject(0)->GetResourceName(), nullptr) << effect;
        EXPECT_STREQ(e->GetObject(0)->GetResourceName(), battle_data::kGuardTexture) << effect;
        EXPECT_EQ(e->GetObject(0)->GetTexture(), nullptr) << effect;
        if (!guard) continue;
        CEffectObject* shield = e->GetObject(1);
        ASSERT_NE(shield->GetResourceName(), nullptr);
        EXPECT_STREQ(shield->GetResourceName(), battle_data::kGuardTexture);
        EXPECT_EQ(shield->GetTexture(), nullptr);
        EXPECT_EQ(shield->GetParticleTrack().GetCount(), 3u);
    }
    ASSERT_EQ(resources.GetSceneList()->GetCount(), 1u);
    auto* layout = static_cast<CSceneResource*>(resources.GetSceneList()->GetAt(0));
    for (const char* layer : {"TensionGage", "Time", "WinBattle"}) EXPECT_NE(layout->FindLayer(layer), nullptr) << layer;
}

TEST_F(BattleDataTest, MusicPlaysItsTensionScript)
{
    CqelPackFile pack;
    const battle_data::Archive& a = battle_data::kBattleMusicArchive;
    ASSERT_EQ(pack.OpenScrambled(a.path, Crc32String(a.packName), a.key), 1u);
    CSoundBuffer music;
    ASSERT_EQ(music.LoadFromPack(&pack, battle_data::kMusicEntry, 1, 0), 1u);
    CTensionFile tension;
    CString report;
    ASSERT_EQ(tension.LoadFromPack(&music, battle_data::kTensionEntry, &pack, &report), 1) << Text(report);
    const struct {
        f32 at;
        i32 level;
    } levels[] = {{2, kTensionNormal}, {6, kTensionHigh}, {12, kTensionClimax}, {25, kTensionNormal},
        {33, kTensionLow}, {48, kTensionHigh}, {55, kTensionClimax}, {70, kTensionNormal}};
    for (const auto& l : levels) EXPECT_EQ(tension.GetLevelAt(l.at), l.level) << l.at;
    EXPECT_TRUE(tension.IsClimaxFinaleAt(14.5f));
}

// Small enough to write in every test run and to read through.
TEST_F(BattleDataTest, StaysUnderAMegabyte)
{
    uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(battle_data::ResourceFolder(*root_ / "data")))
        if (entry.is_regular_file()) total += entry.file_size();
    EXPECT_LT(total, 1024u * 1024u);
}

}  // namespace

// A file written again over one a reader holds open: the reader goes on
// reading the whole old file, and nothing is left beside the new one.
TEST(WriteDataFile, ReplacesAFileWholeUnderAnOpenReader)
{
    host::kernel::testing::TempFolder folder;
    const std::string path = folder / "data.bin";
    const std::string before(64, 'a'), after = "bb";
    ASSERT_TRUE(battle_data::WriteDataFile(path, before));
    std::FILE* reader = std::fopen(path.c_str(), "rb");
    ASSERT_NE(reader, nullptr);
    ASSERT_TRUE(battle_data::WriteDataFile(path, after));
    std::string seen(before.size() + 1, '\0');
    seen.resize(std::fread(seen.data(), 1, seen.size(), reader));
    std::fclose(reader);
    EXPECT_EQ(seen, before);
    std::FILE* again = std::fopen(path.c_str(), "rb");
    ASSERT_NE(again, nullptr);
    std::string now(after.size() + 1, '\0');
    now.resize(std::fread(now.data(), 1, now.size(), again));
    std::fclose(again);
    EXPECT_EQ(now, after);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

}  // namespace ORV_TEST_FILE_ID

// Fuzz driver for the story's chapter chain: the data set's chain of one
// character, one chapter (its text, or its cache alone) replaced by the
// input, is advanced through CStoryScene::AdvanceStory until it refuses or
// ends. After every chapter taken, what the battle and the preview read of
// the set-up must be within their tables: the set-up passes the battle's
// record checks, the battle number fits the ten slots, and the preview's
// element names exist. A refusal names its reason and changes nothing.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/StoryChainDriver.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/Skill.h"
#include "game/data/StorySetting.h"
#include "game/data/tests/SettingWriter.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/testdata/StoryData.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

using namespace fuzz::story_chain;

constexpr u32 kSkills = 45;
constexpr u32 kMaxAdvances = 8;

// The chains' folder with a skill list of 45 orbs, made once; current from
// then on.
const std::string& ChainFolder()
{
    static const std::string folder = [] {
        const std::string path = fuzz::Folder("story");
        host::kernel::SetCurrentDirectory(path);
        host::kernel::CreateDirectory("Setting");
        setting_test::SettingWriter list;
        for (u32 i = 0; i < kSkills; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "Skill_Orb%02u.txt", unsigned(i));
            list.Set("SKILL", name);
            FUZZ_CHECK(setting_test::SettingWriter().Set("NAME", "Orb").Set("IMAGEID", i32(i)).Save(name));
        }
        FUZZ_CHECK(list.Save("Skill.txt"));
        CSkillList skills;
        FUZZ_CHECK(skills.LoadFile("Skill.txt") && skills.skills.GetCount() == kSkills);
        return path;
    }();
    host::kernel::SetCurrentDirectory(folder);
    return folder;
}

// What the battle and the preview take from a set-up the story moved on.
void CheckTaken(const CBattleSetup& setup, const CStoryProgress& progress)
{
    FUZZ_CHECK(progress.fault == story::Fault::kNone && progress.chapter);
    if (progress.ended || progress.first) return;
    const bool final = progress.chapter->values.lastFlag != 0;
    FUZZ_CHECK(story::CheckCounter(progress.counter, final) == story::Fault::kNone);
    FUZZ_CHECK(!story::NumberName(final ? story::kFinalSlot : u32(progress.counter)).empty());
    const std::string record = WriteBattleSetup(setup);
    CBattleSetup copy;
    FUZZ_CHECK(ReadBattleSetup(reinterpret_cast<const u8*>(record.data()), record.size(), &copy) ==
               BattleRecordError::kNone);
    FUZZ_CHECK(!story::TitleName(setup.entries[1].character, final).empty());
    FUZZ_CHECK(std::find(std::begin(story::kMusicMap), std::end(story::kMusicMap), setup.option.music) !=
               std::end(story::kMusicMap));
    FUZZ_CHECK(setup.option.computerLevel <= story::kMaxLevel);
    for (u32 orb : setup.entries[1].orbs) FUZZ_CHECK(orb <= kSkills);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    ChainFolder();
    fuzz::Input input(data, size);
    const u8 choice = input.Byte();
    const u32 character = input.Byte() % 2;
    const std::vector<story_data::Chapter> chain = story_data::DataChain(character);
    FUZZ_CHECK(story_data::WriteChapters(chain));
    const story_data::Chapter& replaced = chain[choice % kChapters];
    const std::string text = replaced.name + ".txt";
    if (Form(choice / kChapters % 2) == kCache) {
        host::kernel::DeleteFile(text);
        fuzz::WriteFile(CSettingFile::MakeCachePath(text.c_str()), input.Rest(), input.RestSize());
    } else {
        fuzz::WriteFile(text, input.Rest(), input.RestSize());
    }

    CBattleSetup setup;
    setup.entries[0].character = character;
    for (u32 i = 0; i < kMaxAdvances; ++i) {
        const auto* before = dynamic_cast<CStoryProgress*>(setup.GetProgress());
        const CStorySetting* chapter = before ? before->chapter.get() : nullptr;
        const i32 counter = before ? before->counter : 0;
        const std::string record = WriteBattleSetup(setup);
        if (!CStoryScene::AdvanceStory(&setup)) {
            const auto* progress = dynamic_cast<CStoryProgress*>(setup.GetProgress());
            FUZZ_CHECK(progress && progress->fault != story::Fault::kNone && !progress->FaultText().empty());
            FUZZ_CHECK(progress->chapter.get() == chapter && progress->counter == counter);
            FUZZ_CHECK(WriteBattleSetup(setup) == record);
            break;
        }
        CheckTaken(setup, *dynamic_cast<CStoryProgress*>(setup.GetProgress()));
    }
    return 0;
}

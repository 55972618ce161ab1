// The story's chapter chain: the names the story scene looks up, the checks
// a chapter passes before the set-up takes anything from it, and
// CStoryScene::AdvanceStory.
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SettingLoad.h"
#include "game/data/StorySetting.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/StoryScene.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

namespace story {

const char* const kCharacterNames[kCharacters] = {"Talve", "Derona", "Pellu", "Miravo", "Quena", "Ezmel", "Tubeca",
    "Kerlia", "Ombrisa", "Grell", "Navoie", "Drusa", "Ovu", "Wenna", "Lossin", "Bialto", "Sirkel", "Vek"};
const char* const kAbbreviations[kCharacters] = {"tal", "der", "pel", "mir", "que", "ezm", "tub", "ker", "omb", "gre",
    "nav", "dru", "ovu", "wen", "los", "bia", "sirl", "vek"};

namespace {

const char* const kPictureKinds[3] = {"e_", "na_", "2_"};

// The tables that spell a character otherwise.
const char* TitleAbbreviation(u32 character) { return character == 1 ? "dero" : kAbbreviations[character]; }
const char* PictureAbbreviation(u32 kind, u32 character)
{
    if (kind == 2 && character == 7) return "kre";
    if (kind == 2 && character == 16) return "sir";
    return kAbbreviations[character];
}

bool InRange(i32 value, i64 lo, i64 hi) { return value >= lo && value <= hi; }

// A chapter names the next by a path under the data folder: never an
// absolute one nor one that climbs out (its cache would be written there).
// The name comes as its cache's path: what follows "Setting/" is what the
// chapter wrote, and the text file the load falls back on.
bool SafeName(const std::string& path)
{
    static constexpr std::string_view kCacheFolder = "Setting/";
    const bool cached = path.compare(0, kCacheFolder.size(), kCacheFolder) == 0;
    const std::string name = cached ? path.substr(kCacheFolder.size()) : path;
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos) return false;
    return name.find("..") == std::string::npos;
}

}  // namespace

std::string PrologueFile(u32 character)
{
    if (character >= kCharacters) return {};
    return std::string("Setting/Story_") + kCharacterNames[character] + "_Prologue.dat";
}

std::string PictureName(u32 kind, u32 character)
{
    if (kind >= 3 || character >= kCharacters) return {};
    return std::string(kPictureKinds[kind]) + PictureAbbreviation(kind, character);
}

std::string TitleName(u32 character, bool final)
{
    if (character >= kCharacters) return {};
    return std::string(final ? "ftit_" : "tit_") + TitleAbbreviation(character);
}

std::string MusicName(u32 index)
{
    if (index >= kMusic) return {};
    char name[16];
    std::snprintf(name, sizeof name, "bgm_%02u", unsigned(index));
    return name;
}

std::string StageName(u32 stage)
{
    if (stage + 1 >= kStages) return {};
    char name[16];
    std::snprintf(name, sizeof name, "st_%02u", unsigned(stage));
    return name;
}

std::string NumberName(u32 slot)
{
    if (slot >= kNumberSlots) return {};
    return slot == kFinalSlot ? std::string("bat_f") : "bat_" + std::to_string(slot + 1);
}

std::string SlotName(u32 kind, u32 side, bool secondGroup)
{
    static const u32 kDefault[2][2] = {{0, 6}, {12, 13}};   // tal / tub, ovu / wen
    if (kind >= 3 || side >= 2) return {};
    return std::string(kPictureKinds[kind]) + kAbbreviations[kDefault[secondGroup ? 1 : 0][side]];
}

std::vector<std::string> LayerNames(bool secondGroup)
{
    std::vector<std::string> names = {"Story", "pro", "epi", "pre", "load", ".1", ".2", ".3", "v", "s"};
    std::vector<std::string> slots;
    for (u32 side = 0; side < 2; ++side)
        for (u32 kind = 0; kind < 3; ++kind) {
            slots.push_back(SlotName(kind, side, secondGroup));
            names.push_back((side == 0 ? "1P/" : "2P/") + slots.back());
        }
    // A picture named as a slot is that slot (FindLayer looks in the groups
    // first): the layout holds it once.
    for (u32 kind = 0; kind < 3; ++kind)
        for (u32 c = 0; c < kCharacters; ++c)
            if (std::find(slots.begin(), slots.end(), PictureName(kind, c)) == slots.end())
                names.push_back(PictureName(kind, c));
    // What the panel shows lies in it, drawn with it.
    names.push_back("Base");
    for (u32 i = 0; i < kMusic; ++i) names.push_back("Base/" + MusicName(i));
    for (u32 i = 0; i + 1 < kStages; ++i) names.push_back("Base/" + StageName(i));
    for (u32 c = 0; c < kCharacters; ++c) {
        names.push_back("Base/" + TitleName(c, false));
        names.push_back("Base/" + TitleName(c, true));
    }
    for (u32 i = 0; i < kNumberSlots; ++i) names.push_back("Base/" + NumberName(i));
    names.push_back("Base/bat1");
    names.push_back("Base/bat");
    return names;
}

const char* DescribeFault(Fault fault)
{
    switch (fault) {
    case Fault::kNone: return "";
    case Fault::kNoSetup: return "ストーリーの設定がありません";
    case Fault::kCharacter: return "このキャラクターのストーリーはありません";
    case Fault::kMissing: return "が読み込めません";
    case Fault::kNoNext: return "の次の章がありません";
    case Fault::kEnded: return "ストーリーは終わっています";
    case Fault::kUnsafeName: return "の次の章の名前が正しくありません";
    case Fault::kLoop: return "のストーリーが前の章に戻っています";
    case Fault::kTooLong: return "のストーリーは戦闘が多すぎます";
    case Fault::kOpponent: return "の対戦相手(CHARA)が正しくありません";
    case Fault::kBarrage: return "のBARRAGEが正しくありません";
    case Fault::kStage: return "のステージ(STAGE)が正しくありません";
    case Fault::kMusic: return "のBGMが正しくありません";
    case Fault::kTime: return "のTIMEが正しくありません";
    case Fault::kTiming: return "のENDTIMEかSPEEDが正しくありません";
    case Fault::kDifficulty: return "アーケードの難易度の設定が正しくありません";
    }
    return "";
}

Fault CheckChapter(const StoryValues& v, bool battle)
{
    if (!std::isfinite(v.endTime) || !std::isfinite(v.speed)) return Fault::kTiming;
    if (battle) {
        if (!InRange(v.chara, 0, kCharacters - 1)) return Fault::kOpponent;
        if (!InRange(v.barrage, 0, CBattleEntry::kVariantCount - 1)) return Fault::kBarrage;
        if (!InRange(v.stage, 0, kStages - 1)) return Fault::kStage;
        if (!InRange(v.bgm, 0, kMusic - 1)) return Fault::kMusic;
        if (!InRange(v.time, 0, CBattleOption::kTimeSettings - 1)) return Fault::kTime;
    }
    // Opponents' skills past the skill list are none (the battle ignores
    // them); the ending's orb past the save's unlock flags sets nothing.
    return Fault::kNone;
}

Fault CheckCounter(i32 counter, bool final)
{
    return InRange(counter, 0, final ? kFinalSlot : kFinalSlot - 1) ? Fault::kNone : Fault::kTooLong;
}

u32 ComputerLevel(i32 cpu, u32 difficulty)
{
    const i64 offset = difficulty < kDifficulties ? kLevelOffset[difficulty] : 0;
    return u32(std::clamp<i64>(i64(cpu) + offset, 0, kMaxLevel));
}

f32 SlideOffset(f32 elapsed, f32 start, f32 duration)
{
    const f32 t = duration > 0.0f ? std::clamp(1.0f - (elapsed - start) / duration, 0.0f, 1.0f)
                                  : (elapsed < start ? 1.0f : 0.0f);
    return -1024.0f * (2.0f * t - t * t);
}

}  // namespace story

CStoryProgress::CStoryProgress() = default;
CStoryProgress::~CStoryProgress() = default;

std::string CStoryProgress::FaultText() const
{
    if (fault == story::Fault::kNone) return {};
    const std::string why = story::DescribeFault(fault);
    // The faults that name no file read as a sentence of their own.
    if (fault == story::Fault::kNoSetup || fault == story::Fault::kCharacter || fault == story::Fault::kEnded ||
        fault == story::Fault::kDifficulty || faultFile.empty())
        return why;
    return faultFile + why;
}

namespace {

using story::Fault;

u32 ArcadeDifficulty()
{
    CGameApp* app = GetGameApp();
    CSaveConfig* config = app ? app->GetSaveConfig() : nullptr;
    return config ? config->GetGameSettings()->arcadeDifficulty : 1;
}

void CopyBattle(CBattleSetup& setup, const StoryValues& v, u32 level)
{
    setup.option.stage = u32(v.stage);
    setup.option.music = story::kMusicMap[v.bgm];
    setup.option.computerLevel = level;
    setup.option.timeSetting = u32(v.time);
    setup.option.ownTension = 0;
    if (CBattleEntry* opponent = setup.GetEntry(1)) {
        opponent->kind = CBattleEntry::kKindComputer;
        opponent->character = u32(v.chara);
        opponent->variant = u32(v.barrage);
        opponent->characterWords[1] = level;
        opponent->orbs[0] = u32(v.skill01);
        opponent->orbs[1] = u32(v.skill02);
        opponent->orbs[2] = u32(v.skill03);
    }
    for (u32 i = 2; i < CBattleSetup::kEntryCount; ++i)
        if (CBattleEntry* none = setup.GetEntry(i)) none->kind = CBattleEntry::kKindNone;
}

}  // namespace

i32 CStoryScene::AdvanceStory(CBattleSetup* setup)
{
    if (!setup) return 0;
    setup->storyMode = 1;
    setup->recordReplay = 0;
    auto* progress = dynamic_cast<CStoryProgress*>(setup->GetProgress());
    if (!progress) {
        progress = new CStoryProgress;
        progress->first = 1;
        setup->SetProgress(progress);
    }
    progress->fault = Fault::kNone;
    progress->faultFile.clear();
    auto refuse = [progress](Fault fault, const std::string& file) {
        progress->fault = fault;
        progress->faultFile = file;
        return 0;
    };

    // The counter and flags move only once the chapter is taken.
    i32 counter = progress->counter, first = progress->first;
    std::string file;
    if (!progress->chapter) {
        const CBattleEntry* player = setup->GetEntry(0);
        file = player ? story::PrologueFile(player->UsedCharacter()) : std::string();
        if (file.empty()) return refuse(Fault::kCharacter, file);
        counter = 0, first = 1;
    } else {
        file = progress->chapter->next.GetText() ? progress->chapter->next.GetText() : "";
        if (progress->ended || file == story::kNoNext) return refuse(Fault::kEnded, "");
        if (first) first = 0;
        else ++counter;
        if (!story::SafeName(file)) return refuse(Fault::kUnsafeName, file);
    }
    const std::string identity = CNestedLoadGuard::Identity(file.c_str());
    if (std::find(progress->read.begin(), progress->read.end(), identity) != progress->read.end())
        return refuse(Fault::kLoop, file);

    // The folder that holds the file becomes current (a missing one leaves
    // the load to fail).
    if (CGameApp* app = GetGameApp()) app->FindDataFile(file.c_str());
    auto chapter = std::make_unique<CStorySetting>();
    if (!chapter->LoadFile(file.c_str())) return refuse(Fault::kMissing, file);

    const StoryValues& values = chapter->values;
    const bool ending = chapter->next.GetText() && std::string(chapter->next.GetText()) == story::kNoNext;
    if (first && ending) return refuse(Fault::kNoNext, file);
    const bool battle = !first && !ending;
    const u32 difficulty = ArcadeDifficulty();
    if (battle) {
        if (difficulty >= story::kDifficulties) return refuse(Fault::kDifficulty, file);
        if (const Fault fault = story::CheckCounter(counter, values.lastFlag != 0); fault != Fault::kNone)
            return refuse(fault, file);
    }
    if (const Fault fault = story::CheckChapter(values, battle); fault != Fault::kNone)
        return refuse(fault, file);

    progress->read.push_back(identity);
    progress->counter = counter;
    progress->first = first;
    progress->chapter = std::move(chapter);
    if (ending) {
        progress->ended = 1;
        CGameApp* app = GetGameApp();
        if (CSaveData* save = app ? app->GetSaveData() : nullptr; save && values.getSkill > 0)
            save->SetUnlockFlag(values.getSkill - 1, 1);
        return 1;
    }
    if (battle) CopyBattle(*setup, values, story::ComputerLevel(values.cpu, difficulty));
    return 1;
}

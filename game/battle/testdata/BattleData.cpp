#include "game/battle/testdata/BattleData.h"

#include "engine/core/Crc32.h"
#include "engine/core/PackFile.h"
#include "engine/core/String.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceControllerFile.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/testdata/ConsoleData.h"
#include "game/battle/testdata/Fighter.h"
#include "game/data/TensionFile.h"
#include "game/battle/testdata/ScrambledPack.h"
#include "game/battle/testdata/Sounds.h"
#include "game/battle/testdata/StageRoom.h"
#include "game/data/Skill.h"
#include "game/data/tests/SettingWriter.h"
#include "host/kernel/Kernel.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

namespace battle_data {

const Archive kArchives[4] = {
    {"BGMPACK", "Data\\Bgm.gpk", kPackKeyFirst},
    {"TALVEPACK", "Data\\Talve.gpk", kPackKeyFirst},
    {"DERONAPACK", "Data\\Derona.gpk", kPackKeyFirst},
    {"STAGE01PACK", "Data\\Stage01.gpk", kPackKeyFirst},
};
const Archive kBattleMusicArchive = {"BGMPACK", "Data\\BattleBgm.gpk", kPackKeyFirst};

namespace {

// The roster's archives that the game opens with the second key byte.
constexpr const char* kSecondKeyFighters[] = {"Ombrisa", "Grell", "Navoie", "Drusa", "Lossin", "Bialto", "Sirkel",
    "Vek"};
constexpr u32 kSecondKeyStages[] = {10, 12, 15, 16, 17, 18};
// Stage 11 has no archive of its own: its models lie in the sharing one.
constexpr u32 kSharedStage = 10;
constexpr Archive kStageSharing = {"STAGESHARINGPACK", "Data\\StageSharing.gpk", kPackKeyFirst};

std::string Upper(std::string text)
{
    for (char& c : text) c = char(c >= 'a' && c <= 'z' ? c - 32 : c);
    return text;
}

std::string FighterPack(u32 id) { return Upper(kFighterNames[id]) + "PACK"; }
std::string StagePack(u32 stage) { return stage == kSharedStage ? kStageSharing.packName : Upper(StageName(stage)) + "PACK"; }

}  // namespace

const std::vector<Archive>& AllArchives()
{
    // The names live as long as the table.
    static std::deque<std::string> texts;
    static const std::vector<Archive> all = [] {
        std::vector<Archive> out(std::begin(kArchives), std::end(kArchives));
        const auto add = [&out](const std::string& name, u8 key) {
            const std::string& pack = texts.emplace_back(Upper(name) + "PACK");
            out.push_back({pack.c_str(), texts.emplace_back("Data\\" + name + ".gpk").c_str(), key});
        };
        for (u32 id = 2; id < kFighterCount; ++id) {
            bool second = false;
            for (const char* n : kSecondKeyFighters) second = second || std::string(n) == kFighterNames[id];
            add(kFighterNames[id], second ? kPackKeySecond : kPackKeyFirst);
        }
        for (u32 stage = 1; stage < kStageCount; ++stage) {
            if (stage == kSharedStage) continue;
            bool second = false;
            for (u32 n : kSecondKeyStages) second = second || n == stage + 1;
            add(StageName(stage), second ? kPackKeySecond : kPackKeyFirst);
        }
        out.push_back(kStageSharing);
        return out;
    }();
    return all;
}

std::string FighterSettingPath(const char* fighter) { return std::string("Setting/Chr_") + fighter + ".dat"; }
std::string StageSettingPath(u32 stage) { return "Setting/" + StageName(stage) + ".dat"; }
std::string ResourceFolder(const std::string& root) { return root + "/Resource"; }

std::string StageName(u32 stage)
{
    char name[16];
    std::snprintf(name, sizeof name, "Stage%02u", unsigned(stage + 1) % 100u);
    return name;
}

std::string StageRoomModel(u32 stage) { return StageName(stage) + "_Room.mdl"; }
std::string StageWallModel(u32 stage) { return StageName(stage) + "_Wall.mdl"; }

namespace {

using setting_test::SettingWriter;

// The room the stage is: 140 x 12 x 140, the fighters' box a little inside.
// Rivals can stand farther apart than the computer's middle range (40),
// where it dashes and casts its long-range cards.
const CBox kRoom({-70, 0, -70}, {70, 12, 70});

const Archive* FindArchive(const std::string& packName)
{
    for (const Archive& a : AllArchives())
        if (packName == a.packName) return &a;
    return nullptr;
}

bool Pack(const Archive& archive, const std::vector<PackItem>& items)
{
    return WriteScrambledPack(archive.path, items, Crc32String(archive.packName), archive.key);
}

bool WriteFighters(bool closeAttacks, std::string& error)
{
    for (u32 id = 0; id < kFighterCount; ++id) {
        const char* name = kFighterNames[id];
        // Talve 220 Hz, Derona 330 Hz, a tone per voice; the others a pitch
        // of their own between.
        const bool tonePerFile = id < 2;
        const f32 pitch = tonePerFile ? 220.0f * (id ? 1.5f : 1.0f) : 230.0f + 5.0f * f32(id);
        std::vector<fighter_test::FighterMedia> media;
        const i32 life = id == kLittleLifeFighter ? kLittleLife : fighter_test::kFighterLife;
        if (!fighter_test::WriteNamedFighter(
                name, pitch, media, tonePerFile, life, fighter_test::FighterColour(id), closeAttacks))
            return error = "fighter " + std::string(name), false;
        std::vector<PackItem> items;
        for (auto& m : media) items.push_back({m.name, m.bytes});
        const Archive* archive = FindArchive(FighterPack(id));
        if (!archive || !Pack(*archive, items)) return error = "archive of " + std::string(name), false;
    }
    return true;
}

bool WriteStage(u32 stage, std::vector<PackItem>& sharing, std::string& error)
{
    const std::string room = StageRoomModel(stage), wall = StageWallModel(stage);
    SettingWriter s;
    s.Comment("A closed box room: the room model is both what is drawn and what is hit.");
    const std::string name = stage ? "Box room " + std::to_string(stage + 1) : std::string("Box room");
    s.Set("NAME", name.c_str()).Set("BASE", room.c_str()).Set("HIT", room.c_str());
    for (const char* key : {"ENCLOSUREXP", "ENCLOSUREXM", "ENCLOSUREZP", "ENCLOSUREZM"}) s.Set(key, wall.c_str());
    s.Set("CLOUDEFFECTNAME", "Efc_Cloud.efc").Set("CLOUDINTERVAL", 2.0f).Set("CLOUDPOSITIONOFFSET", CVector3(0, 6, 0));
    if (stage == kFieldEffectStage) {
        s.Comment("The effects seen from each fighter's own view: before its camera, and in high and climax tension.");
        s.Set("TRACECLOUDEFFECTNAME", "Efc_TraceCloud.efc").Set("TRACECLOUDPOSITIONOFFSET", CVector3(0, 0, -4));
        s.Set("HITENTIONFIELDEFFECTNAME", "Efc_HiTensionField.efc").Set("CLIMAXFIELDEFFECTNAME", "Efc_ClimaxField.efc");
    }
    s.Set("FOGCOLORR", 40).Set("FOGCOLORG", 48).Set("FOGCOLORB", 64).Set("FOGSTART", 20.0f).Set("FOGEND", 80.0f);
    s.Set("MINVISIBLE", 2.0f).Set("MAXVISIBLE", 6.0f);
    s.Set("STAGEMINX", -69.0f).Set("STAGEMINY", 0.5f).Set("STAGEMINZ", -69.0f);
    s.Set("STAGEMAXX", 69.0f).Set("STAGEMAXY", 11.0f).Set("STAGEMAXZ", 69.0f);
    // The teams (entries 0, 2 and 1, 3) at the two ends, facing each other
    // (degrees about Y): they close in during the start stun and are still
    // over 40 apart when it ends.
    const f32 starts[4][3] = {{-65, -5, 90}, {65, 5, 270}, {-65, 5, 90}, {65, -5, 270}};
    for (int n = 0; n < 4; ++n) {
        const std::string key = "START0" + std::to_string(n + 1);
        s.Set(key + "POSITIONX", starts[n][0]).Set(key + "POSITIONY", 2.0f).Set(key + "POSITIONZ", starts[n][1]);
        s.Set(key + "ANGLEX", 0.0f).Set(key + "ANGLEY", starts[n][2]).Set(key + "ANGLEZ", 0.0f);
    }
    if (!WriteDataFile(StageName(stage) + ".txt", s.Text())) return error = "settings of " + StageName(stage), false;
    // Every room is the same box: its model is made once.
    static const std::string roomBytes = stage_test::RoomModel(kRoom), wallBytes = stage_test::WallModel();
    const std::vector<PackItem> models = {{room, roomBytes}, {wall, wallBytes}};
    if (stage == kSharedStage) {
        sharing.insert(sharing.end(), models.begin(), models.end());
        return true;
    }
    const Archive* archive = FindArchive(StagePack(stage));
    if (!archive || !Pack(*archive, models)) return error = "archive of " + StageName(stage), false;
    return true;
}

bool WriteStages(std::string& error)
{
    std::vector<PackItem> sharing;
    for (u32 stage = 0; stage < kStageCount; ++stage)
        if (!WriteStage(stage, sharing, error)) return false;
    if (!Pack(kStageSharing, sharing)) return error = "stage sharing archive", false;
    return true;
}

bool WriteSkills(std::string& error)
{
    bool ok = SettingWriter().Set("SKILL", "Skill_Guard.txt").Set("SKILL", "Skill_Plain.txt").Save("Skill.txt");
    ok = ok && SettingWriter()
                   .Set("NAME", "Iron guard")
                   .Set("FLAG1", (1 << 4) | (1 << 15))
                   .Set("FLAG2", 1 << 18)
                   .Set("BASEHP", 2.0f)
                   .Set("GUARDTIME", 1.5f)
                   .Set("BASEATTACKCOUNT", 3)
                   .Save("Skill_Guard.txt");
    ok = ok && SettingWriter().Set("NAME", "Nothing").Set("GUARDTIME", 9.0f).Save("Skill_Plain.txt");
    if (!ok) error = "skills";
    return ok;
}

const CRect4& WholeGuardTexture()
{
    static const CRect4 whole = [] {
        CRect4 r;
        r.Set(0.0f, f32(kGuardTextureSide), 0.0f, f32(kGuardTextureSide));
        return r;
    }();
    return whole;
}

// The guard's shield: a bubble of pale blue spots of the particles'
// texture about the guard's centre, growing and fading as it lasts.
bool AddGuardShield(CEffectContainer& effect)
{
    auto* shield = new CEffectObject();
    shield->SetName("Shield");
    shield->SetResource(kGuardTexture, nullptr);
    shield->GetRectTrack().SetRectDefault(&WholeGuardTexture());
    shield->GetParticleTrack().AddKey(0.0f, 12u);
    shield->GetParticleTrack().AddKey(0.3f, 6u);
    shield->GetParticleTrack().AddKey(0.6f, 0u);
    shield->GetScalingTrack().AddKey(0.0f, CVector3(1.5f, 1.5f, 1.5f));
    shield->GetScalingTrack().AddKey(0.6f, CVector3(3.0f, 3.0f, 3.0f));
    shield->GetColorTrack().AddKey(0.0f, CVector4(0.5f, 0.8f, 1.0f, 0.9f));
    shield->GetColorTrack().AddKey(0.6f, CVector4(0.5f, 0.8f, 1.0f, 0.0f));
    EffectParticleSettings& around = shield->GetParticleSettings();
    around.life = 0.6f;
    around.offsetSpread.Set(1.0f, 1.0f, 1.0f);
    around.directionSpread.Set(1.0f, 1.0f, 1.0f);
    around.speed = 0.5f;
    if (effect.AddObject(shield)) return true;
    delete shield;
    return false;
}

// Each effect: a burst of warm spots, scattered at random, that grows,
// fades and stops; the guard's has its shield too.
bool WriteEffects(std::string& error)
{
    u32 burst = 4;
    for (const char* name : kEffects) {
        CEffectContainer effect;
        effect.SetName(name);
        auto* sparks = new CEffectObject();
        sparks->SetName("Sparks");
        // Warm spots, so that shots and hits show and differ from the
        // guard's pale blue shield.
        sparks->SetResource(kGuardTexture, nullptr);
        sparks->GetRectTrack().SetRectDefault(&WholeGuardTexture());
        sparks->GetColorTrack().AddKey(0.0f, CVector4(1.0f, 0.8f, 0.3f, 1.0f));
        sparks->GetColorTrack().AddKey(0.5f, CVector4(1.0f, 0.4f, 0.1f, 0.0f));
        sparks->GetParticleTrack().AddKey(0.0f, burst);
        sparks->GetParticleTrack().AddKey(0.5f, 0u);
        sparks->GetScalingTrack().AddKey(0.0f, CVector3(0.5f, 0.5f, 0.5f));
        sparks->GetScalingTrack().AddKey(0.5f, CVector3(1.5f, 1.5f, 1.5f));
        EffectParticleSettings& scatter = sparks->GetParticleSettings();
        scatter.offsetSpread.Set(0.25f, 0.25f, 0.25f);
        scatter.direction.Set(0.0f, 1.0f, 0.0f);
        scatter.directionSpread.Set(1.0f, 0.5f, 1.0f);
        scatter.speed = 2.0f;
        scatter.speedSpread = 0.5f;
        if (!effect.AddObject(sparks)) {
            delete sparks;
            return error = "effect", false;
        }
        if (std::strcmp(name, kGuardEffect) == 0 && !AddGuardShield(effect)) return error = "effect", false;
        if (!effect.Save(("Effect/" + std::string(name) + ".efc").c_str())) return error = name, false;
        burst += 2;
    }
    return true;
}

// The music of slot 0 and its tension script, which allows at most a tenth
// of the music in climax (two stretches) and no more high than low. A
// 100 s battle meets every level, the climax twice for 15 s each (the
// computer casts its climax card only at an open rival, so seldom).
bool WriteMusic(std::string& error)
{
    // Written in code page 932, as the game's files are, whatever the
    // compiler's execution charset.
    const std::string script = host::kernel::Utf8ToCp932(
        u8"名前:テスト曲;\n"
        u8"コメント:生成した音;\n"
        "HI:4;\n"
        "CT:8;\n"
        "FINALE:14;\n"
        "NT:23;\n"
        "LOW:30;\n"
        "NT:38;\n"
        "HI:46;\n"
        "CT:50;\n"
        "NT:65;\n");
    const std::vector<PackItem> music = {{kMusicEntry, QuietMusicOgg(220.0f, kMusicSeconds)}, {kTensionEntry, script}};
    if (!Pack(kBattleMusicArchive, music)) return error = "music archive", false;
    const std::vector<PackItem> jingles = {{kJingles[0], ToneOgg(523.0f, 1.5f)}, {kJingles[1], ToneOgg(196.0f, 1.5f)}};
    if (!Pack(*FindArchive("BGMPACK"), jingles)) return error = "jingle archive", false;
    return true;
}

bool WriteResourceList(std::string& error)
{
    CResourceControllerFile list;
    for (const char* name : kEffects) list.records.push_back("Effect\\" + std::string(name) + ".efc");
    list.records.push_back("Scene\\Console.sce");
    list.records.push_back("Console_01.dds");   // the layout's texture
    std::string bytes;
    if (!list.Build(bytes) || !WriteDataFile(kResourceList, bytes))
        return error = kResourceList, false;
    return true;
}

// Reading each top text writes its cache and its children's under Setting/.
bool CompileSettings(std::string& error)
{
    for (const char* name : kFighterNames) {
        CCharacterParameter parameter;
        const std::string text = "Chr_" + std::string(name) + ".txt";
        if (!parameter.LoadFile(text.c_str())) return error = text, false;
    }
    for (u32 n = 0; n < kStageCount; ++n) {
        CStageSetting stage;
        if (!stage.LoadFile((StageName(n) + ".txt").c_str())) return error = "text of " + StageName(n), false;
    }
    CSkillList skills;
    if (!skills.LoadFile("Skill.txt")) return error = "skill text", false;
    return true;
}

bool WriteAll(bool closeAttacks, std::string& error)
{
    for (const char* folder : {"Setting", "Data", "Effect"}) {
        if (!host::kernel::CreateDirectory(folder)) return error = folder, false;
    }
    if (!console_test::WriteConsoleData(".", {}, console_test::ConsolePlacement::kHud))
        return error = "console layout", false;
    return WriteFighters(closeAttacks, error) && WriteStages(error) && WriteSkills(error) && WriteEffects(error) &&
        WriteMusic(error) && WriteResourceList(error) && CompileSettings(error);
}

}  // namespace

bool WriteBattleData(const std::string& root, std::string* error, bool closeAttacks)
{
    std::string reason;
    const std::string resource = ResourceFolder(root);
    const std::string saved = host::kernel::GetCurrentDirectory();
    bool ok = host::kernel::CreateDirectory(root) && host::kernel::CreateDirectory(resource) &&
        host::kernel::SetCurrentDirectory(resource);
    if (!ok) {
        reason = "cannot make " + resource;
    } else {
        ok = WriteAll(closeAttacks, reason);
        host::kernel::SetCurrentDirectory(saved);
    }
    if (!ok && error) *error = reason;
    return ok;
}

bool LoadMusicTension(CTensionFile& tension, std::string* error)
{
    CqelPackFile pack;
    const Archive& a = kBattleMusicArchive;
    CSoundBuffer music;
    CString report;
    if (pack.OpenScrambled(a.path, Crc32String(a.packName), a.key) != 1 ||
        music.LoadFromPack(&pack, kMusicEntry, 1, 0) != 1 ||
        tension.LoadFromPack(&music, kTensionEntry, &pack, &report) != 1) {
        if (error) *error = report.GetText() ? report.GetText() : "the music or its archive did not load";
        return false;
    }
    return true;
}

}  // namespace battle_data

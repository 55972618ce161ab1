// Seeds of the character parameter set and the skill list: texts as a person
// writes them, the hostile ones the settings readers were hardened against
// (a count sizing an array past its bound, a child out of the data folder,
// one text read by two readers, a child named many times or in another
// case), and the cache of every text that loads.
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/character/tests/FaceFileWriter.h"
#include "game/data/Skill.h"

#include <cstring>
#include <string>

namespace seeds {

namespace {

std::string Repeat(const std::string& line, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) out += line;
    return out;
}

// Each text, and the cache of each that loads as R beside children.
template <class R>
void AddTexts(Sink& sink, const std::pair<const char*, std::string>* texts, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const auto& [name, text] = texts[i];
        sink.Add(name, text);
        const std::string file = std::string("seed-") + name + ".txt";
        fuzz::WriteFile(file, text.data(), text.size());
        R reader;
        if (!reader.LoadFile(file.c_str())) continue;
        sink.Add(std::string(name) + "-cache", fuzz::ReadFile(CSettingFile::MakeCachePath(file.c_str())));
    }
}

}  // namespace

void MakeSettingReaderSeeds(const std::string& root)
{
    fuzz::Folder("Setting");
    const char* children[][2] = {{"Camera.txt", "NORMALDISTANCE=4;"}, {"Barrage.txt", "PATTERN=Shot.txt;"},
                                 {"Shot.txt", "BULLET=Bullet.txt;"},   {"Bullet.txt", "VELOCITY=2;"},
                                 {"Spell.txt", "BARRAGE=Barrage.txt;"}, {"Weapon.txt", "BONE=Hand;"},
                                 {"Shared.txt", "NAME=shared;"},       {"Skill01.txt", "BASEHP=1.5;"},
                                 {"Skill02.txt", "TYPE=2;"}};
    for (const auto& c : children) fuzz::WriteFile(c[0], c[1], std::strlen(c[1]));
    const std::string face = face_test::FaceFileBytes({{"def", {}}}, {});
    fuzz::WriteFile("Chara.fac", face.data(), face.size());

    Sink character(root, "character_parameter");
    const std::pair<const char*, std::string> characterTexts[] = {
        {"hand", "NAME=\x83\x5E\x83\x8B\x83\x94\x83\x46;HP=1200;MOVEVELOCITY=18;AFTERIMAGECOUNT=8;WEAPON=Weapon.txt;\n"
                 "TRACE=count:8 AlphaAttenuation:0.5 bone:\"Hand\";FACE=def;SMILEFACE=def;// done\n"},
        {"empty", ""},
        {"hp-naming-a-file", "HP=5.txt;MPMAX=20 // from Chara.fac\n;"},
        {"afterimages-huge", "AFTERIMAGECOUNT=2000000000;"},
        {"afterimages-many", "AFTERIMAGECOUNT=100000;"},
        {"afterimages-at-bound", "AFTERIMAGECOUNT=" + std::to_string(CCharacterParameter::kMaxAfterimageCount) + ";"},
        {"afterimages-past-bound",
         "AFTERIMAGECOUNT=" + std::to_string(CCharacterParameter::kMaxAfterimageCount + 1) + ";"},
        {"camera-outside", "CAMERA=../../x/Cam.txt;"},
        {"weapon-outside", "WEAPON=Weapon.txt;WEAPON=/tmp/Weapon.txt;"},
        {"one-text-two-readers", "CAMERA=Shared.txt;WEAPON=Shared.txt;"},
        {"own-text-as-barrage", "SPELLA=input.txt;BARRAGEB=input.txt;"},
        {"children-in-any-case", "BARRAGEA=barrage.TXT;SPELLB=SPELL.txt;CAMERA=Camera.Txt;"},
        {"slots-share-children", Repeat("WEAPON=Weapon.txt;", 64)},
    };
    AddTexts<CCharacterParameter>(character, characterTexts, std::size(characterTexts));

    Sink skills(root, "skill_list");
    const std::pair<const char*, std::string> skillTexts[] = {
        {"hand", "NAME=skills;SKILL=Skill01.txt;SKILL=Skill02.txt;"},
        {"outside", "SKILL=Skill01.txt;SKILL=../Skill02.txt;"},
        {"same-skill-many-times", Repeat("SKILL=Skill01.txt;SKILL=setting/SKILL01.dat;", 500)},
        {"any-case", "SKILL=skill01.TXT;SKILL=Skill02.Txt;"},
        {"missing", "SKILL=Skill01.txt;SKILL=Gone.txt;"},
    };
    AddTexts<CSkillList>(skills, skillTexts, std::size(skillTexts));
}

}  // namespace seeds

// Seeds of the stage, camera and weapon settings: a text as a person writes
// one, a text from the settings writer with every key set, each one's cache,
// and a cache cut short.
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"
#include "game/battle/object/CameraParameter.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/object/WeaponSetting.h"
#include "game/data/tests/SettingWriter.h"

#include <string>

namespace seeds {

namespace {

template <class R>
std::string EveryKeyText()
{
    R reader;
    FUZZ_CHECK(reader.RegisterKeys() == 1);
    FUZZ_CHECK(setting_test::SetEveryKeyApart(reader));
    return setting_test::WriteSettingText(reader);
}

template <class R>
void AddSeeds(const std::string& root, const char* driver, const std::string& handWritten)
{
    Sink sink(root, driver);
    fuzz::Folder("Setting");
    const std::pair<const char*, std::string> texts[] = {{"hand", handWritten}, {"every-key", EveryKeyText<R>()}};
    for (const auto& [name, text] : texts) {
        sink.Add(name, text);
        const std::string file = std::string(driver) + "-" + name + ".txt";
        fuzz::WriteFile(file, text.data(), text.size());
        R reader;
        FUZZ_CHECK(reader.LoadFile(file.c_str()) == 1);
        const std::string cache = fuzz::ReadFile(CSettingFile::MakeCachePath(file.c_str()));
        FUZZ_CHECK(!cache.empty());
        sink.Add(std::string(name) + "-cache", cache);
        sink.Add(std::string(name) + "-cache-cut", cache.substr(0, cache.size() - 5));
    }
}

}  // namespace

void MakeBattleSettingSeeds(const std::string& root)
{
    AddSeeds<CStageSetting>(root, "stage_setting",
        "// \x83\x58\x83\x65\x81\x5B\x83\x57\nNAME=\x8E\x8E\x8C\xB1\x8F\xEA;BASE=Stage\\Stage01.mdl;FOGCOLORR=0;\n"
        "STAGEMAXY=60;CLOUDPOSITIONOFFSET=:1:2:3;CLOUDPOSITIONOFFSETY=5;START04ANGLEY=180;/* box */\n");
    AddSeeds<CCameraParameter>(root, "camera_parameter",
        "NAME=\x95\x57\x8F\x80;NORMALDISTANCE=4.5;LCOKMOVEACCELERATION=2.5;LOCKMOVEACCELERATION=9;\n"
        "RESULTCHANGETIME=1.5;SLIDEATTACKEXCESSVELOCITY=7;\n");
    AddSeeds<CWeaponSetting>(root, "weapon_setting",
        "NAME=\x8C\x95;RESOURCE=Chara\\Sword.MDL;BONE=RightHand;OFFSETPOSITION=:1:2:3;OFFSETANGLEZ=90;SHOWFLG=3;\n");
}

}  // namespace seeds

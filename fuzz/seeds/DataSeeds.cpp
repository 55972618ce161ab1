// Seeds of the game data readers: settings texts (written here, as the
// game's data writers would) and the caches that reading them writes, and
// the three save files from the stores' own Save.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/SettingDriver.h"
#include "fuzz/seeds/Seeds.h"
#include "game/data/SaveConfig.h"
#include "game/data/SaveData.h"
#include "game/data/SaveRecord.h"

#include <cstring>

namespace seeds {

namespace {

const char* const kTexts[][2] = {
    {"every-key",
     "NAME=Every key;\n"
     "SPEED = 2.5; COUNT=-12; SHORT=70000; BYTE=300;\n"
     "POSITION=:1.5:-2:3e1;\n"
     "TEXT=\x83\x65\x83\x58\x83\x67 with spaces ;\n"
     "WORD=first;WORD=second;NUMBER=7;NUMBER=RED;\n"
     "TRACE=count:16 AlphaAttenuation:0.9 type:1 startx:0 starty:1 startz:2 endx:3 endy:4 endz:5 "
     "bone:\"Hand\" texture:\"trail.png\";\n"
     "SPHERE=radius:1.5 type:2 x:0 y:0.5 z:0 bone:\"Body\";\n"
     "ROW0SPEED=BLUE;ROW1COUNT=9;\n"},
    {"comments",
     "// a line comment\r\nNAME=Commented;/* a block\n comment */COUNT=4;\n"
     "unknown=skipped;TEXT=a // not a comment;\n"},
    {"comments-ending-in-lead-bytes",
     "// \xE2\x86\x92\nNAME=Arrow;/* \xE3\x81\x82\x81*/COUNT=4;// \x9F\nSPEED=2;\n"},
    {"child-files", "NAME=Files;CHILD=Stage01.txt;CHILD=Camera.cam;TEXT=ALIAS;WORD=face.FAC;\n"},
    {"cut-short", "NAME=Cut;SPEED=1;COUNT=2"},
    {"long-value", nullptr},
};

void MakeSettingSeeds(const std::string& root)
{
    Sink texts(root, "setting_text"), caches(root, "setting_cache");
    fuzz::Folder("Setting");
    for (const auto& [name, body] : kTexts) {
        std::string text = body ? body : "TEXT=" + std::string(1500, 'v') + ";WORD=" + std::string(1100, '\x82') + ";";
        texts.Add(name, text);
        const std::string file = std::string(name) + ".txt";
        fuzz::WriteFile(file, text.data(), text.size());
        fuzz::SettingReader reader;
        if (!reader.LoadFile(file.c_str(), &fuzz::Aliases())) continue;
        const std::string cache = fuzz::ReadFile("Setting/" + std::string(name) + ".dat");
        FUZZ_CHECK(!cache.empty());
        caches.Add(name, cache);
        texts.Add(std::string(name) + "-cache", cache);
    }
}

// The file a store saved, and the same cut short.
template <class Store, class Change>
void AddSave(const std::string& root, const char* driver, Change change)
{
    Sink sink(root, driver);
    const std::string folder = GetUserDataDirectory(kSaveFolderName);
    FUZZ_CHECK(!folder.empty());
    fuzz::EmptyFolder(folder);
    Store store;
    FUZZ_CHECK(store.Load() == 1);   // no file yet: the defaults are written
    const std::string path = folder + Store::kFileName;
    const std::string defaults = fuzz::ReadFile(path);
    sink.Add("defaults", defaults);
    change(store);
    FUZZ_CHECK(store.Save() == 1);
    const std::string changed = fuzz::ReadFile(path);
    sink.Add("changed", changed);
    sink.Add("cut-short", changed.substr(0, changed.size() / 2));
}

// Four octet texts, each in 4 bytes.
IpAddressEntry Ip(const char* a, const char* b, const char* c, const char* d)
{
    IpAddressEntry entry{};
    const char* octets[4] = {a, b, c, d};
    for (int i = 0; i < 4; ++i) std::strncpy(entry.octet[i], octets[i], 4);
    return entry;
}

void MakeSaveSeeds(const std::string& root)
{
    AddSave<CSaveConfig>(root, "save_config", [](CSaveConfig& c) {
        c.AddAllowIp(Ip("192", "168", "1", "2"));
        c.AddAllowIp(Ip("10", "0", "0", "1"));
        c.AddDenyIp(Ip("127", "0", "0", "1"));
        c.AddConnectIp(Ip("1", "2", "3", "4"));
        c.GetGameSettings()->bgmVolume = -1200;
    });
    AddSave<CSaveRecord>(root, "save_record", [](CSaveRecord& r) {
        const u32 stats[4] = {1, 2, 3, 4};
        r.AddBattle(0, false, 1, stats);
        r.AddBattle(17, true, 3, stats);
        r.SetFlagByte(0x5A);
    });
    AddSave<CSaveData>(root, "save_data", [](CSaveData& d) {
        d.SetUnlockFlag(200, 1);
        d.SetAdventureClearFlag(3, 1);
        d.SetSkillSet(2, 1, 1, GameDataItem{{7, 8, 9}});
        d.SetAdventureCompleteShown();
    });
}

}  // namespace

void MakeDataSeeds(const std::string& root)
{
    MakeSettingSeeds(root);
    MakeSaveSeeds(root);
}

}  // namespace seeds

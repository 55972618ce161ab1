// Seeds of the shot settings readers: texts from the tests' settings writer
// (every key away from its default, children named), small hand texts, the
// refused ones (a cycle, a name out of the folder, a spell type past its
// table, a cut comment), and the caches the accepted texts wrote.
#include "fuzz/FuzzSupport.h"
#include "fuzz/drivers/ShotDriver.h"
#include "fuzz/seeds/Seeds.h"

#include <map>
#include <string>
#include <vector>

namespace seeds {

namespace {

using setting_test::SettingWriter;

struct Seed {
    std::string name;
    std::string text;
};

template <class R>
std::string EveryKey(const std::map<std::string, std::string>& values)
{
    R reader;
    reader.RegisterKeys();
    return SettingWriter().EveryKey(reader, values).Text();
}

template <class R>
void AddShotSeeds(const std::string& root, const char* driver, const std::vector<Seed>& texts)
{
    Sink sink(root, driver);
    for (const Seed& seed : texts) {
        sink.Add(seed.name, seed.text);
        const std::string file = seed.name + ".txt";
        fuzz::WriteFile(file, seed.text.data(), seed.text.size());
        R reader;
        if (!reader.LoadFile(file.c_str(), &fuzz::ShotAliases())) continue;
        sink.Add(seed.name + "-cache", fuzz::ReadFile("Setting/" + seed.name + ".dat"));
    }
}

// A list of n patterns, each the three shots of Shot.txt.
std::string Patterns(u32 n)
{
    std::string text;
    for (u32 i = 0; i < n; ++i) text += "PATTERN=Shot.txt;";
    return text;
}

}  // namespace

void MakeShotSeeds(const std::string& root)
{
    fuzz::WriteShotChildren();
    const std::string cut = "NAME=cut; /* never closed";
    AddShotSeeds<CBulletParameter>(
        root, "bullet_parameter",
        {{"every-key", EveryKey<CBulletParameter>({{"BARRAGE", "Barrage.txt"}, {"VELOCITY", "FAST"}})},
         {"hand", "// \x92\x65\nNAME=\x92\x65; chractorhitflg=0; AXISVEC=:0:0:1; AXISVECY=4; BARRAGE=Non Name;"},
         {"cycle", "BARRAGE=Loop.txt;"},
         {"outside", "BARRAGE=../Barrage.txt;"},
         {"cut", cut}});
    AddShotSeeds<CShotPatternParameter>(
        root, "shot_pattern",
        {{"every-key", EveryKey<CShotPatternParameter>({{"BULLET", "Bullet.txt"}})},
         {"hand", "NAME=\x8E\x4F; SHOOTVECTORZ=-2; SIMULTANEOUSSHOOTCOUNT=5; SOUND=se_shot;"},
         {"self", "BULLET=self.txt;"},
         {"cut", cut}});
    AddShotSeeds<CPatternListParameter>(
        root, "pattern_list",
        {{"every-key", EveryKey<CPatternListParameter>({{"PATTERN", "Shot.txt|SHOT|Setting/Shot.dat"}})},
         {"empty", "NAME=empty;"},
         {"hostile", "PATTERN=Wild.txt;PATTERN=Flood.txt;PATTERN=Shot.txt;"},
         // At the bounds: a full volley (the flood, cut to the cap), and as
         // many patterns (of three shots) as a list may hold; then one past.
         {"shots-at-bound", "PATTERN=Flood.txt;"},
         {"shots-past-bound", "PATTERN=Flood.txt;PATTERN=Shot.txt;"},
         {"patterns-at-bound", Patterns(CPatternListParameter::kMaxPatterns)},
         {"patterns-past-bound", Patterns(CPatternListParameter::kMaxPatterns + 1)},
         {"cycle", "PATTERN=Shot.txt;PATTERN=LoopShot.txt;"},
         {"cut", cut}});
    AddShotSeeds<CSpellCardSetting>(
        root, "spell_card",
        {{"every-key", EveryKey<CSpellCardSetting>({{"BARRAGE", "Barrage.txt|Barrage.txt"},
                                                     {"EFCSPELLSET", "Efc_a|Efc_b"},
                                                     {"SPELLTYPE", "12"},
                                                     {"CHARACTERTYPE", "17"},
                                                     {"SHORTATTACKSETNO", "8"}})},
         {"past-table", "SPELLTYPE=13;"},
         {"voices", "VOICECOUNT=3;SPELLVOICE03PLAYNO=10;SPELLVOICE03WAIT=0.5;ENDNO=11;"},
         {"cut", cut}});
}

}  // namespace seeds

#include "FaceFileWriter.h"

#include "game/battle/character/CharacterParameter.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

// Every key's value as its parameter formats it; lists format as "list".
std::map<std::string, std::string> Formatted(CCharacterParameter& p)
{
    std::map<std::string, std::string> out;
    const CStatusKeyMap* keys = p.GetKeyMap();
    for (u32 i = 0; keys && i < keys->GetCount(); ++i) {
        char buffer[1100] = "list";
        const StatusKeyEntry* e = keys->GetAt(i);
        out[Text(e->name)] = e->parameter->FormatValue(p.GetOwner(), buffer, sizeof buffer);
    }
    return out;
}

bool IsGuardCentre(const std::string& key) { return key.rfind("GUARDCENTERPOS", 0) == 0; }

void WriteFace(const char* path) { WriteBytes(path, face_test::FaceFileBytes({{"def", {}}}, {})); }

// The default children, empty.
void WriteChildren()
{
    for (const char* child : {"Camera.txt", "Barrage.txt", "Spell.txt"}) WriteBytes(child, "");
    WriteFace("Chara.fac");
}

bool IsChildFile(const std::string& key)
{
    for (const CharacterKeyDefault& child : kChildFileKeys) {
        if (key == child.key) return true;
    }
    return false;
}

}  // namespace

// A key whose hash another already holds would never be read.
TEST(CharacterParameter, AllKeysRegisterWithoutACollision)
{
    CCharacterParameter p;
    ASSERT_EQ(p.RegisterKeys(), 1);
    EXPECT_EQ(p.GetKeyMap()->GetCount(), 1044u + 1u);
}

// Every scalar key set to its own number lands where it reads back, and no
// two keys share a place; the cache gives the same state as the text.
TEST(CharacterParameter, EveryKeyReadsItsOwnValueFromTextAndCache)
{
    WorkFolder folder;
    CCharacterParameter names;
    names.RegisterKeys();
    SettingWriter writer;
    std::map<std::string, i32> expected;
    for (const auto& [key, value] : Formatted(names)) {
        if (value == "list" || IsGuardCentre(key) || IsChildFile(key)) continue;
        const i32 number = i32(expected.size()) + 1;
        expected[key] = number;
        writer.Set(key, number);
    }
    ASSERT_TRUE(writer.Save("Chr_Every.txt"));
    WriteChildren();

    CCharacterParameter text, cached;
    ASSERT_EQ(text.LoadFile("Chr_Every.txt"), 1);
    ASSERT_EQ(cached.LoadFile("Setting/Chr_Every.dat"), 1);
    const auto fromText = Formatted(text);
    size_t checked = 0;
    for (const auto& [key, number] : expected) {
        EXPECT_EQ(std::strtod(fromText.at(key).c_str(), nullptr), number) << key;
        ++checked;
    }
    EXPECT_EQ(checked, 1045u - 4u - 8u - kChildFileCount);   // less the guard centre, the lists and the children
    EXPECT_EQ(Formatted(cached), fromText);
    // Named members reached through their blocks.
    EXPECT_EQ(text.values.general.hp, expected["HP"]);
    EXPECT_EQ(text.values.general.slideAttackRadius, f32(expected["SLIDEATTACKRADIUS"]));
    EXPECT_EQ(text.values.shortAttacks[8].justGuardInterval, f32(expected["SHORTATTACK08JUSTGUARDINTERVAL"]));
    EXPECT_EQ(text.values.shots[6].weaponNo, expected["SPARKBBARRAGEWEAPONNO"]);
    EXPECT_EQ(text.values.damages[10].stopTime, f32(expected["DAMAGEDOWNSTOPTIME"]));
    EXPECT_EQ(text.values.bonuses[3].bulletHomingRevise, f32(expected["CLIMAXBONUSBULLETHOMINGREVISE"]));
    EXPECT_EQ(text.values.spark.records[1].reactionTime, f32(expected["SPARKBREACTIONTIME"]));
    EXPECT_EQ(text.values.guard.crashDamageType, expected["GUARDCRASHDAMAGETYPE"]);
    EXPECT_EQ(text.values.shootOut.verticalWidth, f32(expected["SHOOTOUTVERTICALWIDTH"]));
    EXPECT_EQ(text.values.material.scrollY, f32(expected["MATERIALSCROLLY"]));
    EXPECT_EQ(text.values.body.largePadVibrationPow, expected["LARGEPADVIBRATIONPOW"]);
    EXPECT_EQ(Text(text.values.faces[kSorrowFace].name), std::to_string(expected["SORROWFACE"]));
    EXPECT_EQ(text.GetMotionSpeed(kMotionCount - 1), f32(expected["CLIMAXBINDSPD"]));
    EXPECT_EQ(Text(text.GetVoiceName(kVoiceCount - 1)), std::to_string(expected["VOICECLIMAXSPELL05"]));
    EXPECT_EQ(Text(text.GetEffectName(kEffectCount - 1)), std::to_string(expected["EFCRESTRICTION"]));
    EXPECT_EQ(Text(text.GetSoundEffectName(6)), std::to_string(expected["SEBEAT"]));
    EXPECT_EQ(Text(text.resource), std::to_string(expected["RESOURCE"]));
}

// Defaults come from the key tables and are never rewritten by a cache:
// unstated child files keep their plain names after a cache read.
TEST(CharacterParameter, EmptyTextGivesTheDefaultsFromTextAndCache)
{
    WorkFolder folder;
    WriteBytes("Chr_Empty.txt", "");
    WriteChildren();
    CCharacterParameter text, cached;
    ASSERT_EQ(text.LoadFile("Chr_Empty.txt"), 1);
    EXPECT_EQ(ReadBytes("Setting/Chr_Empty.dat"), CacheBytes().Source(text, "").End());
    ASSERT_EQ(cached.LoadFile("Setting/Chr_Empty.dat"), 1);
    EXPECT_EQ(Formatted(cached), Formatted(text));

    const auto d = Formatted(text);
    const std::pair<const char*, const char*> defaults[] = {
        {"HP", "1000"}, {"DASHSTARTMOTIONTIME", "0.350000"}, {"SHORTATTACK00HITTYPE", "1"},
        {"SHORTATTACK03HITTYPE", "4"}, {"SHORTATTACK08WEAPONNO", "-1"}, {"BARRAGEAAMMUNITION", "999"},
        {"SPARKBBARRAGEBACKSHOOTWAIT", "0.500000"}, {"DAMAGEDOWNPOWATTENUATION", "1.000000"},
        {"GUARCRASHDAMAGELIMIT", "20.000000"}, {"SPARKAINVINCIBILITYTIME", "1.250000"},
        {"SHOOTOUTDAMAGETYPE", "6"}, {"MATERIALNO", "-1"}, {"DAMAGESMALLUPSTART", "DamagaSmallUpStart"},
        {"CLIMAXBINDSPD", "1.000000"}, {"VOICEDAMAGESMALL03", "DamageSmall03.ogg"}, {"EFCFLYSET", "Non Name"},
        {"SEDOWN", "Non Name"}, {"DEADFACE", "sorrow"}, {"SMALLPADVIBRATIONPOW", "30000"},
        {"NECKBONE", "Non Name"}, {"CAMERA", "Camera.txt"}, {"SPARKBBARRAGE", "Barrage.txt"},
        {"CLIMAXTENSIONSPELL", "Spell.txt"}, {"EXPRESSION", "Chara.fac"}, {"NAME", "Non Name"},
    };
    for (const auto& [key, value] : defaults) EXPECT_EQ(d.at(key), value) << key;
    for (const char* unknown : {"SHORTATTACK9STR", "SHORTATTACK10STR", "SHORTATTACK09STR"})
        EXPECT_EQ(d.count(unknown), 0u) << unknown;
}

// By hand, in code page 932: the guard centre's four keys, 16-bit modulo,
// list keys, a child file stated in the text, and keys that do not exist.
TEST(CharacterParameter, HandWrittenText)
{
    WorkFolder folder;
    WriteBytes("Chr_Hand.txt",
               "NAME = タルヴェ;  // 名前\n"
               "GUARDCENTERPOS=:1:2:3;GUARDCENTERPOSY=5;\n"
               "SMALLPADVIBRATIONPOW=70000;\n"
               "SHORTATTACK9STR = 7; SHORTATTACK10STR = 8; SHORTATTACK02STR = 12;\n"
               "WAIT = 待機; waitspd = 0.5;\n"
               "FACE = 通常; FACE = 笑顔; WEAPON = Staff.txt; WEAPON = Charm.txt;\n"
               "TRACE = count:3 bone:\"Hand\"; HITSPHERE = radius:1.5 bone:\"Body\" y:0.5;\n"
               "EXPRESSION = Talve.fac; CAMERA = Camera.txt; SPELLB = Spell.txt;\n");
    WriteChildren();
    WriteFace("Talve.fac");
    WriteFace("Setting/Talve.fac");
    WriteBytes("Staff.txt", "BONE = RightHand; SHOWFLG = 1;");
    WriteBytes("Charm.txt", "BONE = LeftHand;");
    CCharacterParameter p;
    ASSERT_EQ(p.LoadFile("Chr_Hand.txt"), 1);
    EXPECT_EQ(Text(p.GetName()), "タルヴェ");
    EXPECT_EQ(Xyz(p.values.guard.center), (std::vector<f32>{1, 5, 3}));
    EXPECT_EQ(p.values.body.smallPadVibrationPow, 70000 % 65536);
    for (u32 i = 0; i < kShortAttackCount; ++i) EXPECT_EQ(p.values.shortAttacks[i].str, i == 2 ? 12 : 1) << i;
    EXPECT_EQ(Text(p.GetMotionName(0)), "待機");
    EXPECT_EQ(p.GetMotionSpeed(0), 0.5f);
    ASSERT_EQ(p.GetFaceGroup(0).GetCount(), 2u);
    EXPECT_EQ(Text(*p.GetFaceGroup(0).GetAt(1)), "笑顔");
    ASSERT_EQ(p.weapons.GetCount(), 2u);
    EXPECT_EQ(Text(p.weapons.GetAt(0)->bone), "RightHand");
    EXPECT_EQ(p.values.body.trace.GetAt(0)->count, 3);
    EXPECT_EQ(p.values.body.hitSphere.GetAt(0)->position.y, 0.5f);

    CCharacterParameter cached;
    ASSERT_EQ(cached.LoadFile("Setting/Chr_Hand.dat"), 1);
    EXPECT_EQ(Text(cached.childFiles[kExpressionFile]), "Setting/Talve.fac");
    EXPECT_EQ(Text(*cached.weapons.GetName(1)), "Setting/Charm.dat");
    EXPECT_EQ(Text(cached.weapons.GetAt(1)->bone), "LeftHand");
    EXPECT_EQ(Text(cached.childFiles[kCameraFile]), "Setting/Camera.dat");
    EXPECT_EQ(Text(cached.childFiles[kFirstSpellFile + 1]), "Setting/Spell.dat");
    EXPECT_EQ(Text(cached.childFiles[kFirstSpellFile]), "Spell.txt");
    EXPECT_EQ(Xyz(cached.values.guard.center), (std::vector<f32>{1, 5, 3}));
    EXPECT_EQ(Text(*cached.GetFaceGroup(0).GetAt(1)), "笑顔");

    // The later of the vector and a component wins.
    WriteBytes("Chr_Hand.txt", "GUARDCENTERPOSY=5;GUARDCENTERPOS=:1:2:3;EXPRESSION=Talve.fac;");
    ASSERT_EQ(p.LoadFile("Chr_Hand.txt"), 1);
    EXPECT_EQ(Xyz(p.values.guard.center), (std::vector<f32>{1, 2, 3}));
    // A missing child or face file fails the load.
    WriteBytes("Chr_Hand.txt", "EXPRESSION=None.fac;");
    EXPECT_EQ(p.LoadFile("Chr_Hand.txt"), 0);
    EXPECT_EQ(p.GetFaceError(), FaceFileError::kMissing);
    for (const char* text : {"SPARKBBARRAGE=None.txt;", "CLIMAXTENSIONSPELL=None.txt;", "CAMERA=None.txt;",
                             "WEAPON=Staff.txt;WEAPON=None.txt;"}) {
        WriteBytes("Chr_Hand.txt", text);
        EXPECT_EQ(CCharacterParameter().LoadFile("Chr_Hand.txt"), 0) << text;
    }
}

// One file named as both the camera and a weapon: each reader takes its own
// values from the character's text and from its cache, again and again, and
// from the caches alone once the texts are gone; after the file is edited,
// the caches keep the old values until the texts are read again, then the
// same with the new values.
TEST(CharacterParameter, AFileNamedAsCameraAndWeaponLoadsAlikeFromTextAndCache)
{
    WorkFolder folder;
    WriteChildren();
    WriteBytes("Chr_Same.txt", "CAMERA=Same.txt;WEAPON=Same.txt;");
    const auto check = [](const char* path, f32 distance, const char* bone) {
        SCOPED_TRACE(path);
        CCharacterParameter p;
        ASSERT_EQ(p.LoadFile(path), 1) << CSettingLoad::LastErrorFile();
        EXPECT_EQ(p.GetCamera().Get(kCameraNormal, 0), distance);
        ASSERT_EQ(p.weapons.GetCount(), 1u);
        EXPECT_EQ(Text(p.weapons.GetAt(0)->bone), bone);
        EXPECT_EQ(Text(p.weapons.GetAt(0)->resource), "Non Name");
    };
    // Each text is read from the character's text first.
    struct Edit {
        const char* text;
        f32 distance;
        const char* bone;
        std::vector<const char*> paths;
    };
    const Edit edits[] = {
        {"NORMALDISTANCE=7;BONE=Wrist;", 7.0f, "Wrist",
            {"Chr_Same.txt", "Setting/Chr_Same.dat", "Setting/Chr_Same.dat", "Chr_Same.txt"}},
        {"BONE=Ankle;NORMALDISTANCE=9;", 9.0f, "Ankle",
            {"Chr_Same.txt", "Setting/Chr_Same.dat", "Chr_Same.txt", "Setting/Chr_Same.dat"}},
    };
    for (const Edit& e : edits) {
        WriteBytes("Same.txt", e.text);
        WriteBytes("Chr_Same.txt", "CAMERA=Same.txt;WEAPON=Same.txt;");
        if (&e != edits) check("Setting/Chr_Same.dat", edits[0].distance, edits[0].bone);
        for (const char* path : e.paths) check(path, e.distance, e.bone);
        host::kernel::DeleteFile("Same.txt");
        host::kernel::DeleteFile("Chr_Same.txt");
        for (int i = 0; i < 2; ++i) check("Setting/Chr_Same.dat", e.distance, e.bone);
    }
}

TEST(CharacterParameter, CopyKeepsEveryValueAndTable)
{
    WorkFolder folder;
    WriteBytes("Chr_Copy.txt", "HP=1500; FACE=a; TRACE=count:2; WEAPON=w.txt; BARRAGEBAMMUNITION=12;");
    WriteChildren();
    WriteBytes("w.txt", "BONE=Arm;");
    WriteBytes("Chara.fac", face_test::FaceFileBytes({{"x", {{{0.0f, 1}}, {}}}, {"def", {}}}, {5, 6}));
    CCharacterParameter p;
    ASSERT_EQ(p.LoadFile("Chr_Copy.txt"), 1);
    const CCharacterParameter copy(p);
    EXPECT_EQ(Formatted(const_cast<CCharacterParameter&>(copy)), Formatted(p));
    EXPECT_EQ(copy.GetKeyMap(), p.GetKeyMap());
    EXPECT_EQ(copy.values.shots[1].ammunition, 12);
    EXPECT_NE(copy.GetFaceGroup(0).GetAt(0), p.GetFaceGroup(0).GetAt(0));
    EXPECT_EQ(copy.values.body.trace.GetAt(0)->count, 2);
    ASSERT_EQ(copy.weapons.GetCount(), 1u);
    EXPECT_EQ(copy.weapons.GetAt(0), p.weapons.GetAt(0));   // read-only, shared
    EXPECT_EQ(Text(copy.weapons.GetAt(0)->bone), "Arm");
    EXPECT_EQ(copy.values.faces[kDefaultFace].index, 1);
    ASSERT_EQ(copy.GetExpressions().size(), 2u);
    EXPECT_EQ(copy.GetExpressions()[0].GetItem(0)->GetAt(0)->value, 1u);
    EXPECT_EQ(copy.GetVoiceExpressions(), (std::vector<u32>{5, 6}));
}

// A count past the afterimage bound costs the fighter its afterimages (the
// draw makes none), not the character: the set loads with the count as read.
// Before, such a count failed the load whole.
TEST(CharacterParameter, AnAfterimageCountPastItsBoundLoadsTheSet)
{
    static_assert(CCharacterParameter::kMaxAfterimageCount == 1024);
    WorkFolder folder;
    WriteChildren();
    for (const char* count : {"65", "1024", "1025", "2000000000", "-1"}) {
        WriteBytes("Chr_Many.txt", std::string("AFTERIMAGECOUNT=") + count + ";");
        CCharacterParameter p;
        EXPECT_EQ(p.LoadFile("Chr_Many.txt"), 1) << count;
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kNone) << count;
        EXPECT_EQ(p.values.body.afterimageCount, std::stoi(count)) << count;
    }
}

// A card whose step numbers name a step that never comes (negative) loads,
// and the fighter with it; a step past the card's last still fails both.
TEST(CharacterParameter, ACardWithAStepThatNeverComesLoadsWithItsFighter)
{
    WorkFolder folder;
    WriteChildren();
    WriteBytes("Chr_Card.txt", "SPELLB=Card.txt;");
    for (const auto& [text, loads] : {std::pair{"EXPLOSIONNO=-1;SPELLVOICE01PLAYNO=-1;", 1}, {"ENDNO=-1;", 1},
                                      {"EXPLOSIONNO=11;", 0}}) {
        WriteBytes("Card.txt", text);
        CCharacterParameter p;
        ASSERT_EQ(p.LoadFile("Chr_Card.txt"), loads) << text;
        if (!loads) continue;
        const CSpellCardValues& v = p.GetSpellCard(1).GetValues();
        EXPECT_EQ(std::tuple(v.explosionNo, v.endNo, v.voices[1].playNo),
                  std::string(text) == "ENDNO=-1;" ? std::tuple(0, -1, 0) : std::tuple(-1, 0, -1)) << text;
    }
}

// Every child name of a character goes through the guard: its camera's,
// its weapons' and its face file's as much as its barrages'.
TEST(CharacterParameter, ChildNamesOutsideTheDataFolderAreRefused)
{
    WorkFolder folder;
    WriteChildren();
    for (const char* key : {"CAMERA", "WEAPON", "EXPRESSION", "SPELLA"}) {
        WriteBytes("Chr_Out.txt", std::string(key) + "=../../x/Cam.txt;");
        CCharacterParameter p;
        EXPECT_EQ(p.LoadFile("Chr_Out.txt"), 0) << key;
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kUnsafeName) << key;
    }
}

}  // namespace ORV_TEST_FILE_ID

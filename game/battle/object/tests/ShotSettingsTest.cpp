#include "ShotTestSupport.h"

#include "game/data/SettingLoad.h"
#include "game/data/tests/SettingTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;
using namespace shot_test;

namespace {

// One of each kind by hand, Japanese names in code page 932.
const char kHandBullet[] =
    "// 通常弾\n"
    "NAME = 通常弾;\n"
    "MOVETYPE = 2; HITCOUNT = 3; LASTPOW = 2.5; POW = 1.5;\n"
    "AXISVEC = :0:0:1; AXISVECY = 4;\n"
    "chractorhitflg = 0; CHARACTERHITFLG = 7;\n"
    "EFCBULLETHIT = Efc_hit_05; BONE = Hand_R; RESOURCE = Efc_bullet_01;\n";
const char kHandShot[] =
    "/* 三方向 */ NAME = 三方向; SIMULTANEOUSSHOOTCOUNT = 3; SHOOTVECTORZ = -2;\n"
    "SIMULTANEOUSSHOOTANGLEADD = 15; BULLET = Round.txt; SOUND = se_shot;\n";
const char kHandList[] = "NAME = 弾幕; PATTERN = Fan.txt; PATTERN = Fan.txt;\n";

struct Tree {
    const char* file;
    std::string text;
};

// A barrage of two patterns; the first one's bullet carries a barrage of
// its own, whose bullet is a plain one.
std::vector<Tree> NestedFiles()
{
    return {
        {"Barrage.txt", SettingWriter().Set("NAME", "outer").Set("PATTERN", "One.txt").Set("PATTERN", "Two.txt").Text()},
        {"One.txt", SettingWriter().Set("NAME", "one").Set("BULLET", "Carrier.txt").Text()},
        {"Two.txt", SettingWriter().Set("NAME", "two").Set("SHOOTCOUNT", "5").Text()},
        {"Carrier.txt", SettingWriter().Set("NAME", "carrier").Set("BARRAGE", "Inner.txt").Text()},
        {"Inner.txt", SettingWriter().Set("NAME", "inner").Set("PATTERN", "Three.txt").Text()},
        {"Three.txt", SettingWriter().Set("NAME", "three").Set("BULLET", "Bullet.txt").Text()},
        {"Bullet.txt", SettingWriter().Set("NAME", "plain").Set("VELOCITY", "FAST").Text()},
    };
}

void WriteTree(const std::vector<Tree>& files)
{
    for (const Tree& f : files) WriteBytes(f.file, f.text);
}

// FAST stands for 9 wherever a value says it.
const CStatusKeyMap& Aliases()
{
    static CStatusKeyMap* table = [] {
        auto* map = new CStatusKeyMap();
        map->Insert(Crc32NameKey("FAST"), nullptr, "9");
        return map;
    }();
    return *table;
}

template <class R>
void ExpectCacheMatchesText(const char* file, const CStatusKeyMap* aliases = nullptr)
{
    R text;
    ASSERT_EQ(text.LoadFile(file, aliases), 1) << file;
    R cached;
    ASSERT_EQ(cached.LoadFile(CSettingFile::MakeCachePath(file).c_str(), aliases), 1) << file;
    EXPECT_EQ(Describe(cached, true), Describe(text, true)) << file;
}

}  // namespace

// Every key goes in under its own hash: a collision would drop one silently.
TEST(ShotSettingKeys, EveryKeyRegisteredWithoutCollision)
{
    struct Row {
        std::unique_ptr<CSettingFile> reader;
        u32 count;
        std::vector<const char*> spelled;
    } rows[4];
    rows[0] = {std::make_unique<CBulletParameter>(), CBulletParameter::kKeyCount,
               {"CHRACTORHITFLG", "CHRACTORHITVECFLG", "STAGEHITFLG", "AXISVECZ", "EFCTIMEFREEZEEND", "BARRAGE"}};
    rows[1] = {std::make_unique<CShotPatternParameter>(), CShotPatternParameter::kKeyCount,
               {"SIMULTANEOUSSHOOTVECTORADDX", "SHOOTANGLEAXISZ", "FIXATIONFLG", "EFCSHOOTSET", "BULLET", "SOUND"}};
    rows[2] = {std::make_unique<CPatternListParameter>(), CPatternListParameter::kKeyCount, {"NAME", "PATTERN"}};
    rows[3] = {std::make_unique<CSpellCardSetting>(), CSpellCardSetting::kKeyCount,
               {"SHORTATTACKREVERBE", "ARMORSPARKGUAGERATE", "SPELLANIMATIONSETTIME", "SPELLANIMATION08TIME",
                "SPELLVOICE03PLAYNO", "SPELLVOICE03WAIT", "SPELLSETPOSY", "EFCSPELLFIELD", "RIGHTEVENTCAMERA"}};
    for (Row& row : rows) {
        ASSERT_EQ(row.reader->RegisterKeys(), 1);
        EXPECT_EQ(row.reader->GetKeyMap()->GetCount(), row.count);
        for (const char* key : row.spelled) EXPECT_NE(row.reader->GetKeyMap()->FindByName(key), nullptr) << key;
    }
}

TEST(BulletParameter, UnloadedIsZeroLoadedTakesEveryDefault)
{
    WorkFolder folder;
    CBulletParameter bullet;
    EXPECT_EQ(bullet.GetValues().vibrationType, 0);
    EXPECT_EQ(Text(*bullet.GetEffectName(6)), "");

    WriteBytes("Only.txt", "NAME=only;");
    ASSERT_EQ(bullet.LoadFile("Only.txt"), 1);
    const CBulletValues& v = bullet.GetValues();
    EXPECT_EQ((std::vector<i32>{v.vibrationType, v.hitCount, v.rushCount, v.curveCount, v.stageHitFlg,
                                v.chractorHitFlg, v.effectRotationFlg, v.moveType}),
              (std::vector<i32>{4, 1, 3, 1, 1, 1, 1, 0}));
    EXPECT_EQ((std::vector<f32>{v.pursuitAngleLimit, v.pursuitAngleAddRange, v.pursuitAngleAttenuation,
                                v.recoverySpeed, v.optionTime, v.shootRange, v.existenceTime, v.breakTime}),
              (std::vector<f32>{120, 50, 0.7f, 60, 10, 4, 1, 2}));
    EXPECT_EQ((std::vector<f32>{v.axisVec.x, v.axisVec.y, v.axisVec.z, v.revolveAngle.z, v.scalePow.x}),
              (std::vector<f32>{0, 1, 0, 1, 1}));
    const char* effects[] = {"Non Name", "Non Name", "Non Name",      "Non Name",
                             "Non Name", "Non Name", "Efc_freeze_01", "Efc_miravo_spell_ex_02",
                             "Efc_freeze_02", "Efc_hit_01"};
    for (u32 i = 0; i < 10; ++i) EXPECT_EQ(Text(*bullet.GetEffectName(i)), effects[i]) << i;
    EXPECT_EQ(bullet.GetEffectName(10), nullptr);
    EXPECT_EQ(bullet.GetBarrage(), nullptr);
    EXPECT_EQ(Text(bullet.GetBone()), "Non Name");
}

TEST(ShotPatternParameter, DefaultsFireOneStraightShotFromBulletTxt)
{
    WorkFolder folder;
    WriteBytes("Bullet.txt", "NAME=default bullet;");
    WriteBytes("Wait.txt", "SHOOTWAIT=0.25;");
    CShotPatternParameter pattern;
    ASSERT_EQ(pattern.LoadFile("Wait.txt"), 1);
    const CShotPatternValues& v = pattern.GetValues();
    EXPECT_EQ((std::vector<i32>{v.simultaneousShootCount, v.shootCount, v.positionType, v.shootAngleType}),
              (std::vector<i32>{1, 0, 1, 1}));
    EXPECT_EQ((std::vector<f32>{v.shootVector.x, v.shootVector.y, v.shootVector.z, v.shootAngleAxis.y,
                                v.shootLimitAngle, v.shootWait, v.position.x}),
              (std::vector<f32>{0, 0, -1, 1, 105, 0.25f, 0}));
    EXPECT_EQ(Text(pattern.GetBulletLink().name), "Bullet.txt");
    EXPECT_EQ(Text(pattern.GetBulletLink().parameter.GetName()), "default bullet");
    EXPECT_EQ(Text(*pattern.GetEffectName(0)), "Non Name");
    EXPECT_EQ(pattern.GetEffectName(1), nullptr);
    EXPECT_EQ(Text(pattern.GetSoundName()), "Non Name");
}

// Keys as the files spell them, case-blind keys, case-kept values, vectors
// and their component keys in file order.
TEST(ShotSettingKeys, TrickyKeysAsWritten)
{
    WorkFolder folder;
    WriteBytes("Bullet.txt", "NAME=b;");
    WriteBytes("Non name.txt", "NAME=a list named in another case;");
    struct Case {
        const char* text;
        std::function<void(const CBulletParameter&)> check;
    } cases[] = {
        {kHandBullet,
         [](const CBulletParameter& b) {
             EXPECT_EQ(b.GetValues().chractorHitFlg, 0);
             EXPECT_EQ(b.GetValues().moveType, 2);
             EXPECT_EQ(b.GetValues().axisVec.y, 4);
             EXPECT_EQ(b.GetValues().axisVec.z, 1);
             EXPECT_EQ(Text(b.GetName()), "通常弾");
             EXPECT_EQ(Text(*b.GetEffectName(1)), "Efc_hit_05");
         }},
        {"movetype=7; CHRACTORHITVECFLG=0; CHARACTERHITVECFLG=1;",
         [](const CBulletParameter& b) {
             EXPECT_EQ(b.GetValues().moveType, 7);
             EXPECT_EQ(b.GetValues().chractorHitVecFlg, 0);
         }},
        {"AXISVECX=5; AXISVEC=:1:2:3; SCALEPOW=:7;",
         [](const CBulletParameter& b) {
             EXPECT_EQ(b.GetValues().axisVec.x, 1);
             EXPECT_EQ(b.GetValues().scalePow.x, 7);
             EXPECT_EQ(b.GetValues().scalePow.y, 1);
         }},
        {"BARRAGE=Non name.txt;", [](const CBulletParameter& b) { EXPECT_NE(b.GetBarrage(), nullptr); }},
    };
    for (const Case& c : cases) {
        WriteBytes("Case.txt", c.text);
        CBulletParameter bullet;
        ASSERT_EQ(bullet.LoadFile("Case.txt"), 1) << c.text;
        c.check(bullet);
    }
    // "Non Name" in another case is a file name, and here a missing one.
    WriteBytes("Case.txt", "BARRAGE=non name;");
    CBulletParameter bullet;
    EXPECT_EQ(bullet.LoadFile("Case.txt"), 0);
}

// Texts from the writer with every key away from its default, and the hand
// texts: their caches load to the same sets, children included.
TEST(ShotSettingCache, CacheLoadsTheSameAsItsText)
{
    WorkFolder folder;
    WriteTree(NestedFiles());
    WriteBytes("Round.txt", kHandBullet);
    WriteBytes("Fan.txt", kHandShot);
    WriteBytes("Hand.txt", kHandList);

    CBulletParameter bullet;
    bullet.RegisterKeys();
    WriteBytes("EveryBullet.txt", SettingWriter().EveryKey(bullet, {{"BARRAGE", "Barrage.txt"}}).Text());
    CShotPatternParameter pattern;
    pattern.RegisterKeys();
    WriteBytes("EveryShot.txt", SettingWriter().EveryKey(pattern, {{"BULLET", "EveryBullet.txt"}}).Text());
    CPatternListParameter list;
    list.RegisterKeys();
    WriteBytes("EveryList.txt",
               SettingWriter().EveryKey(list, {{"PATTERN", "EveryShot.txt|Fan.txt|EveryShot.txt"}}).Text());

    ExpectCacheMatchesText<CBulletParameter>("Round.txt");
    ExpectCacheMatchesText<CShotPatternParameter>("Fan.txt");
    ExpectCacheMatchesText<CPatternListParameter>("Hand.txt");
    ExpectCacheMatchesText<CPatternListParameter>("Barrage.txt", &Aliases());
    ExpectCacheMatchesText<CBulletParameter>("EveryBullet.txt", &Aliases());
    ExpectCacheMatchesText<CShotPatternParameter>("EveryShot.txt", &Aliases());
    ExpectCacheMatchesText<CPatternListParameter>("EveryList.txt", &Aliases());

    // The writer's values arrived: not the defaults.
    CPatternListParameter every;
    ASSERT_EQ(every.LoadFile("EveryList.txt", &Aliases()), 1);
    ASSERT_EQ(every.GetPatterns().GetCount(), 3u);
    const CBulletParameter& b = every.GetPattern(0)->GetBulletLink().parameter;
    EXPECT_EQ(Text(b.GetName()), "N_NAME");
    EXPECT_NE(b.GetValues().vibrationType, 4);
    EXPECT_EQ(Text(b.GetBone()), "N_BONE");
    EXPECT_EQ(Text(every.GetPattern(1)->GetName()), "三方向");
}

TEST(PatternListParameter, NestsInOrderWithOneAliasTable)
{
    WorkFolder folder;
    WriteTree(NestedFiles());
    CPatternListParameter outer;
    ASSERT_EQ(outer.LoadFile("Barrage.txt", &Aliases()), 1);
    ASSERT_EQ(outer.GetPatternCount(), 2u);
    EXPECT_EQ(Text(outer.GetPattern(0)->GetName()), "one");
    EXPECT_EQ(Text(outer.GetPattern(1)->GetName()), "two");
    EXPECT_EQ(outer.GetPattern(2), nullptr);
    EXPECT_EQ(outer.GetPattern(1)->GetValues().shootCount, 5);

    const CBulletParameter& carrier = outer.GetPattern(0)->GetBulletLink().parameter;
    ASSERT_NE(carrier.GetBarrage(), nullptr);
    const CShotPatternParameter* three = carrier.GetBarrage()->GetPattern(0);
    ASSERT_NE(three, nullptr);
    // The alias reached the bottom of the chain.
    EXPECT_EQ(three->GetBulletLink().parameter.GetValues().velocity, 9);
    EXPECT_EQ(CNestedLoadGuard::Depth(), 0u);

    // No PATTERN line: loads with nothing to fire.
    WriteBytes("Empty.txt", "NAME=empty;");
    CPatternListParameter empty;
    EXPECT_EQ(empty.LoadFile("Empty.txt"), 1);
    EXPECT_EQ(empty.GetPatternCount(), 0u);
}

// A file missing or damaged at any level fails the whole load.
TEST(PatternListParameter, FailureAtEveryLevelFailsTheLoad)
{
    const char* levels[] = {"Barrage.txt", "One.txt", "Two.txt", "Carrier.txt", "Inner.txt", "Three.txt", "Bullet.txt"};
    for (const char* broken : levels) {
        for (bool missing : {true, false}) {
            WorkFolder folder;
            WriteTree(NestedFiles());
            if (missing)
                ::remove(broken);
            else
                WriteBytes(broken, "NAME=cut; /* never closed");
            CPatternListParameter outer;
            EXPECT_EQ(outer.LoadFile("Barrage.txt", &Aliases()), 0) << broken << (missing ? " missing" : " damaged");
            EXPECT_EQ(CNestedLoadGuard::Depth(), 0u);
        }
    }
}

// A chain that leads back to a file still loading, named as text or as
// cache, is refused; so is one deeper than the bound, and names that leave
// the data folder.
TEST(PatternListParameter, CyclesDepthAndUnsafeNamesAreRefused)
{
    WorkFolder folder;
    WriteBytes("Loop.txt", "PATTERN=LoopShot.txt;");
    WriteBytes("LoopShot.txt", "BULLET=LoopBullet.txt;");
    WriteBytes("LoopBullet.txt", "BARRAGE=Loop.txt;");
    WriteBytes("Self.txt", "PATTERN=Self.txt;");
    CPatternListParameter loop;
    EXPECT_EQ(loop.LoadFile("Loop.txt"), 0);
    EXPECT_EQ(loop.LoadFile("Setting/Loop.dat"), 0);   // every cache was written on the way
    CBulletParameter bullet;
    EXPECT_EQ(bullet.LoadFile("LoopBullet.txt"), 0);
    EXPECT_EQ(loop.LoadFile("Self.txt"), 0);
    EXPECT_EQ(CNestedLoadGuard::Depth(), 0u);

    // Level n: a list, its pattern and that pattern's bullet, which carries level n + 1.
    auto chain = [](u32 levels) {
        for (u32 n = 0; n < levels; ++n) {
            const std::string i = std::to_string(n);
            WriteBytes("L" + i + ".txt", "PATTERN=S" + i + ".txt;");
            WriteBytes("S" + i + ".txt", "BULLET=B" + i + ".txt;");
            WriteBytes("B" + i + ".txt", n + 1 < levels ? "BARRAGE=L" + std::to_string(n + 1) + ".txt;" : "");
        }
    };
    chain(CNestedLoadGuard::kMaxDepth / 3);
    EXPECT_EQ(loop.LoadFile("L0.txt"), 1);
    chain(CNestedLoadGuard::kMaxDepth / 3 + 1);
    EXPECT_EQ(loop.LoadFile("L0.txt"), 0);

    for (const char* name : {"../Up.txt", "/tmp/Abs.txt", "sub/../../Up.txt", "..\\Up.txt", ""}) {
        WriteBytes("Named.txt", std::string("BULLET=") + name + ";");
        CShotPatternParameter pattern;
        EXPECT_EQ(pattern.LoadFile("Named.txt"), 0) << name;
    }
}

// Copies share the key map and the read-only children: the source can go.
TEST(ShotSettingCopy, CopiesShareTheirChildren)
{
    WorkFolder folder;
    WriteTree(NestedFiles());
    auto source = std::make_unique<CPatternListParameter>();
    ASSERT_EQ(source->LoadFile("Barrage.txt", &Aliases()), 1);
    const std::string before = Describe(*source);
    CPatternListParameter copy(*source);
    EXPECT_EQ(copy.GetKeyMap(), source->GetKeyMap());
    const CBulletParameter& ours = copy.GetPattern(0)->GetBulletLink().parameter;
    const CBulletParameter& theirs = source->GetPattern(0)->GetBulletLink().parameter;
    EXPECT_EQ(ours.GetBarrage(), theirs.GetBarrage());
    EXPECT_EQ(copy.GetPattern(1), source->GetPattern(1));
    source.reset();
    EXPECT_EQ(Describe(copy), before);
    EXPECT_EQ(copy.GetPattern(1)->GetValues().shootCount, 5);

    // A bullet copied and its source cleared: the copy keeps its child.
    CBulletParameter carrier;
    ASSERT_EQ(carrier.LoadFile("Carrier.txt", &Aliases()), 1);
    CBulletParameter kept(carrier);
    EXPECT_EQ(carrier.Clear(), 1);
    EXPECT_EQ(carrier.GetBarrage(), nullptr);
    ASSERT_NE(kept.GetBarrage(), nullptr);
    EXPECT_EQ(Text(kept.GetBarrage()->GetPattern(0)->GetName()), "three");
}

// Damaged caches are refused whole, whatever level they sit at.
TEST(ShotSettingCache, DamagedCachesAreRefused)
{
    WorkFolder folder;
    WriteTree(NestedFiles());
    CPatternListParameter outer;
    ASSERT_EQ(outer.LoadFile("Barrage.txt", &Aliases()), 1);
    const std::string good = ReadBytes("Setting/Inner.dat").value_or("<missing>");
    // Tagged for Inner.txt as it stands, so the cache is read, not the text.
    CPatternListParameter owner;
    const std::string innerText = ReadBytes("Inner.txt").value_or("<missing>");
    const auto tagged = [&] { return CacheBytes().Source(owner, innerText); };
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"unknown key", tagged().Entry("VELOCITY", "2").End()},
        {"cut short", good.substr(0, good.size() - 3)},
        {"length past the end", tagged().U32(Crc32NameKey("PATTERN")).U32(1000).Bytes() + "abc"},
        {"missing child", tagged().Entry("PATTERN", "Setting/Gone.dat").End()},
        {"cycle through caches", tagged().Entry("PATTERN", "Setting/One.dat").End()},
    };
    for (const Case& c : cases) {
        WriteBytes("Setting/Inner.dat", c.bytes);
        CPatternListParameter cached;
        EXPECT_EQ(cached.LoadFile("Setting/Barrage.dat", &Aliases()), 0) << c.what;
    }
}

// A pattern list loads whatever it names, past what a barrage fires of it
// too (the barrage makes no shot past its bounds). What one round of the
// fired patterns sets off is counted up to its bound, then one past it.
TEST(PatternListParameter, ListsPastWhatABarrageFiresLoadWhole)
{
    constexpr u32 kShots = CPatternListParameter::kMaxShotsPerRound;
    constexpr u32 kPatterns = CPatternListParameter::kMaxPatterns;
    constexpr u32 kPast = CPatternListParameter::kMaxShotsSetOff + 1;
    static_assert(kShots == 16384 && kPatterns == 4096 && kPast == 65537);
    WorkFolder folder;
    WriteBytes("Bullet.txt", "");
    WriteBytes("Full.txt", "SIMULTANEOUSSHOOTCOUNT=" + std::to_string(kShots) + ";SHOOTWAIT=0;");
    WriteBytes("FullLessOne.txt", "SIMULTANEOUSSHOOTCOUNT=" + std::to_string(kShots - 1) + ";");
    WriteBytes("Negative.txt", "SIMULTANEOUSSHOOTCOUNT=-1;");   // read as unsigned: a full volley
    WriteBytes("Fan.txt", "SIMULTANEOUSSHOOTCOUNT=600;");
    WriteBytes("One.txt", "SIMULTANEOUSSHOOTCOUNT=1;");
    WriteBytes("Pair.txt", "SIMULTANEOUSSHOOTCOUNT=2;");
    WriteBytes("Wide.txt", "PATTERN=Full.txt;");
    WriteBytes("Spawner.txt", "BARRAGE=Wide.txt;");
    WriteBytes("Spawn.txt", "SIMULTANEOUSSHOOTCOUNT=4;BULLET=Spawner.txt;");
    auto repeat = [](const char* line, u32 n) {
        std::string text;
        for (u32 i = 0; i < n; ++i) text += line;
        return text;
    };
    const struct {
        std::string text;
        u32 setOff;
    } cases[] = {
        {repeat("PATTERN=Fan.txt;", 2), 1200},
        {repeat("PATTERN=One.txt;", 300), 300},
        {repeat("PATTERN=Full.txt;", 1), kShots},
        {"PATTERN=FullLessOne.txt;PATTERN=One.txt;", kShots},
        {"PATTERN=FullLessOne.txt;PATTERN=Pair.txt;", kShots + 1},
        {repeat("PATTERN=Full.txt;", 2), 2 * kShots},
        {repeat("PATTERN=Negative.txt;", 2), 2 * kShots},
        {repeat("PATTERN=Pair.txt;", kPatterns), 2 * kPatterns},
        {repeat("PATTERN=Pair.txt;", kPatterns + 1), 2 * kPatterns},   // the last is never fired
        {"PATTERN=Spawn.txt;", kPast},   // 4 x (1 + 16384)
    };
    for (const auto& c : cases) {
        const std::string what = c.text.substr(0, 40);
        WriteBytes("List.txt", c.text);
        CPatternListParameter list;
        EXPECT_EQ(list.LoadFile("List.txt"), 1) << what;
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kNone) << what;
        const u32 count = u32(std::count(c.text.begin(), c.text.end(), ';'));
        EXPECT_EQ(list.GetPatternCount(), count) << what;
        EXPECT_NE(list.GetPattern(count - 1), nullptr) << what;
        EXPECT_EQ(list.GetShotsSetOff(), c.setOff) << what;
    }
}

// Exactly at the bound of what a round sets off: sixteen shots each
// carrying a list of 4095 (16 x (1 + 4095) = 65536); one more shot is
// counted as past it, and the list still loads.
TEST(PatternListParameter, WhatOneListSetsOffMayReachItsBound)
{
    static_assert(CPatternListParameter::kMaxShotsSetOff == 16 * (1 + 4095));
    WorkFolder folder;
    WriteBytes("Bullet.txt", "");
    WriteBytes("Wide.txt", "SIMULTANEOUSSHOOTCOUNT=4095;");
    WriteBytes("Fan.txt", "PATTERN=Wide.txt;");
    WriteBytes("Spawner.txt", "BARRAGE=Fan.txt;");
    for (const auto& [count, setOff] : {std::pair{16u, 65536u}, std::pair{17u, 65537u}}) {
        WriteBytes("Spawn.txt", "SIMULTANEOUSSHOOTCOUNT=" + std::to_string(count) + ";BULLET=Spawner.txt;");
        WriteBytes("List.txt", "PATTERN=Spawn.txt;");
        CPatternListParameter list;
        EXPECT_EQ(list.LoadFile("List.txt"), 1) << count;
        EXPECT_EQ(CSettingLoad::LastError(), SettingLoadError::kNone) << count;
        EXPECT_EQ(list.GetShotsSetOff(), setOff) << count;
    }
}

// Four patterns a level sharing one child each, four levels deep: twelve
// files read once each, not the 340 loads of the tree they spell out.
TEST(PatternListParameter, SharedChildrenAreReadOncePerLoad)
{
    WorkFolder folder;
    for (u32 n = 0; n < 4; ++n) {
        const std::string i = std::to_string(n);
        WriteBytes("L" + i + ".txt", "PATTERN=S" + i + ".txt;PATTERN=s" + i + ".TXT;PATTERN=S" + i +
                                         ".txt;PATTERN=Setting/S" + i + ".dat;");
        WriteBytes("S" + i + ".txt", "BULLET=B" + i + ".txt;");
        WriteBytes("B" + i + ".txt", n < 3 ? "BARRAGE=L" + std::to_string(n + 1) + ".txt;" : "");
    }
    CSettingLoad load;
    CPatternListParameter list;
    ASSERT_EQ(list.LoadFile("L0.txt"), 1);
    EXPECT_EQ(load.GetFileCount(), 12u);
    EXPECT_EQ(list.GetShotsSetOff(), 340u);
    const CPatternListParameter* next = list.GetPattern(3)->GetBulletLink().parameter.GetBarrage();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next, list.GetPattern(0)->GetBulletLink().parameter.GetBarrage());
}

}  // namespace ORV_TEST_FILE_ID

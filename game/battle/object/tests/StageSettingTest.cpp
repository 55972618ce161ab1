#include "game/battle/object/StageSetting.h"
#include "game/data/tests/SettingTestSupport.h"
#include "game/data/tests/SettingWriter.h"

#include <cstring>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

// A stage as a person writes one: Shift-JIS name and comments, mixed case,
// components and vectors mixed.
const char kHandWritten[] =
    "// \x83\x58\x83\x65\x81\x5B\x83\x57\x82\x50\n"
    "NAME = \x8E\x8E\x8C\xB1\x8F\xEA;\n"
    "BASE = Stage\\Stage01.mdl;  HIT = Stage\\Stage01Hit.mdl;\n"
    "EFFECT = Stage01;\n"
    "hitentionfieldeffectname = HighField;\n"
    "FOGCOLORR = 0;\n"
    "FOGSTART = 20.5; FOGEND = 400;\n"
    "STAGEMAXY = 60;\n"
    "CLOUDPOSITIONOFFSET = :1:2:3; CLOUDPOSITIONOFFSETY = 5;\n"
    "TRACECLOUDPOSITIONOFFSETX = 9; TRACECLOUDPOSITIONOFFSET = :-1:-2:-3;\n"
    "START02POSITIONZ = -50; START04ANGLEY = 180;\n"
    "STAGEMAXW = 7;\n";

}  // namespace

TEST(StageSetting, AHandWrittenStageAndItsCache)
{
    WorkFolder folder;
    WriteBytes("Stage01.txt", kHandWritten);
    CStageSetting stage;
    ASSERT_EQ(stage.LoadFile("Stage01.txt"), 1);
    const StageParameters& p = *stage.GetParameters();

    EXPECT_EQ(Text(stage.GetName()), "\x8E\x8E\x8C\xB1\x8F\xEA");
    EXPECT_EQ(Text(stage.base), "Stage\\Stage01.mdl");
    EXPECT_EQ(Text(stage.highTensionFieldEffectName), "HighField");
    EXPECT_EQ(Text(stage.darkMesh), "Non Name");
    // Only the red of the fog given.
    EXPECT_EQ(std::vector<int>(p.fogColor, p.fogColor + 3), (std::vector<int>{0, 255, 255}));
    EXPECT_EQ(p.fogStart, 20.5f);
    EXPECT_EQ(p.fogEnd, 400.0f);
    EXPECT_EQ(p.maxVisible, 10.0f);
    EXPECT_EQ(p.largeVibratePow, 7.5f);
    // Only STAGEMAXY given: the other five corners keep -100 and 100.
    EXPECT_EQ(Xyz(p.box.min), Xyz(-100, -100, -100));
    EXPECT_EQ(Xyz(p.box.max), Xyz(100, 60, 100));
    // A component and its vector share the floats; the later one wins.
    EXPECT_EQ(Xyz(p.cloudPositionOffset), Xyz(1, 5, 3));
    EXPECT_EQ(Xyz(p.traceCloudPositionOffset), Xyz(-1, -2, -3));
    // Start points not given stay at 1.
    EXPECT_EQ(Xyz(p.start[1].position), Xyz(1, 1, -50));
    EXPECT_EQ(Xyz(p.start[3].angle), Xyz(1, 180, 1));
    EXPECT_EQ(Xyz(p.start[0].position), Xyz(1, 1, 1));

    CStageSetting cached;
    ASSERT_EQ(cached.LoadFile("Setting/Stage01.dat"), 1);
    EXPECT_EQ(std::memcmp(cached.GetParameters(), &p, sizeof p), 0);
    for (auto member : {&CStageSetting::effect, &CStageSetting::base, &CStageSetting::hit,
             &CStageSetting::highTensionFieldEffectName, &CStageSetting::climaxFieldEffectName}) {
        EXPECT_EQ(Text(cached.*member), Text(stage.*member));
    }

    // A copy keeps every value on its own.
    CStageSetting copy(stage);
    stage.GetParameters()->fogEnd = 1.0f;
    stage.base = CString("Other");
    EXPECT_EQ(copy.GetParameters()->fogEnd, 400.0f);
    EXPECT_EQ(Text(copy.base), "Stage\\Stage01.mdl");
    EXPECT_EQ(copy.GetKeyMap(), stage.GetKeyMap());
}

TEST(StageSetting, AnEmptyFileGivesTheDefaults)
{
    CStageSetting stage;
    ASSERT_EQ(stage.ParseText("Empty.txt", "", '=', ';', nullptr, 0), 1);
    const StageParameters& p = stage.parameters;
    const f32 floats[] = {p.fogStart, p.fogEnd, p.minVisible, p.maxVisible, p.smallVibratePow, p.largeVibratePow,
        p.vibrateDeceleration, p.vibrateSpeed, p.vibrateTime, p.cloudInterval};
    EXPECT_EQ(std::vector<f32>(std::begin(floats), std::end(floats)),
        (std::vector<f32>{1, 1000, 2, 10, 5, 7.5f, 10, 1, 1, 0}));
    for (const StageStartPoint& start : p.start) {
        EXPECT_EQ(Xyz(start.position), Xyz(1, 1, 1));
        EXPECT_EQ(Xyz(start.angle), Xyz(1, 1, 1));
    }
    EXPECT_EQ(Xyz(p.cloudPositionOffset), Xyz(0, 0, 0));
    EXPECT_EQ(Text(stage.climaxFieldEffectName), "Non Name");
}

}  // namespace ORV_TEST_FILE_ID

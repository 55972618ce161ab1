#include "game/data/HitSphereRecord.h"
#include "engine/core/Number.h"
#include "game/data/SettingText.h"
#include "game/data/TraceRecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

namespace ORV_TEST_FILE_ID {

TEST(SettingNumber, NumbersReadTheLeadingNumberLikeTheCLibrary)
{
    const std::pair<const char*, f32> floats[] = {
        {"1.5abc", 1.5f}, {"abc", 0}, {" \t-2.25;", -2.25f}, {"+3", 3}, {"1e3x", 1000}, {"1e", 1},
        {"0x10", 16}, {".5", 0.5f}, {"--1", 0}, {"-", 0}, {nullptr, 0}, {"1e-400", 0}};
    for (auto [text, value] : floats) EXPECT_FLOAT_EQ(ParseFloat(text), value) << (text ? text : "null");
    EXPECT_TRUE(std::isinf(ParseFloat("1e39")));   // beyond float, within double
    const std::pair<const char*, i32> ints[] = {{"42xyz", 42}, {"  -7", -7}, {"3.9", 3}, {"abc", 0},
                                                {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN}};
    for (auto [text, value] : ints) EXPECT_EQ(ParseInt(text), value) << text;

    char buffer[64];
    EXPECT_STREQ(FormatSettingFloat(-0.25f, buffer, sizeof buffer), "-0.250000");
    EXPECT_STREQ(FormatSettingFloat(1234.5, buffer, 5), "1234");   // cut to the buffer
}

TEST(RecordText, FieldNamesMatchOnlyWhereTheyStandAlone)
{
    CHitSphereRecord sphere;
    ASSERT_EQ(sphere.ReadText("BONE:\"x:9 y:8\", RADIUS : 1.5, X:-2 type:2"), 1);
    EXPECT_FLOAT_EQ(sphere.position.x, -2.0f);
    EXPECT_FLOAT_EQ(sphere.position.y, 0.0f);
    EXPECT_FLOAT_EQ(sphere.radius, 1.5f);
    EXPECT_EQ(sphere.type, 2);
    EXPECT_EQ(std::string(sphere.bone.GetText()), "x:9 y:8");
}

TEST(RecordText, TraceRecordReadsItsFieldsInAnyOrder)
{
    CTraceRecord trace;
    trace.ReadText("texture:\"\x83\x5C\x83\x5C.png\" endz:3 endy:2 endx:1 startz:-3 starty:-2 startx:-1 "
                   "type:4 alphaattenuation:0.75 count:16 bone:\"Hand\"");
    EXPECT_EQ(trace.count, 16);
    EXPECT_FLOAT_EQ(trace.AlphaAttenuation, 0.75f);
    EXPECT_EQ(trace.type, 4);
    EXPECT_FLOAT_EQ(trace.start.x, -1.0f);
    EXPECT_FLOAT_EQ(trace.start.z, -3.0f);
    EXPECT_FLOAT_EQ(trace.end.y, 2.0f);
    EXPECT_EQ(std::string(trace.bone.GetText()), "Hand");
    EXPECT_EQ(std::string(trace.texture.GetText()), "\x83\x5C\x83\x5C.png");

    CTraceRecord partial;
    partial.ReadText("count:3 bone:\"unclosed");
    EXPECT_EQ(partial.count, 3);
    EXPECT_EQ(partial.bone.GetText(), nullptr);
}

}  // namespace ORV_TEST_FILE_ID

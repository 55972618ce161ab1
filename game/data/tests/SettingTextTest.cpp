#include "game/data/HitSphereRecord.h"
#include "game/data/SettingText.h"
#include "game/data/TraceRecord.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

TEST(SettingNumber, FloatsReadTheLeadingNumberLikeTheCLibrary)
{
    EXPECT_FLOAT_EQ(ParseSettingFloat("1.5abc"), 1.5f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("abc"), 0.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat(" \t-2.25;"), -2.25f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("+3"), 3.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("1e3x"), 1000.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("1e"), 1.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("0x10"), 16.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat(".5"), 0.5f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("--1"), 0.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat("-"), 0.0f);
    EXPECT_FLOAT_EQ(ParseSettingFloat(nullptr), 0.0f);
    EXPECT_TRUE(std::isinf(ParseSettingFloat("1e400")));
    EXPECT_TRUE(std::isinf(ParseSettingFloat("1e39")));   // beyond float, within double
    EXPECT_FLOAT_EQ(ParseSettingFloat("1e-400"), 0.0f);

    char buffer[64];
    EXPECT_STREQ(FormatSettingFloat(-0.25f, buffer, sizeof buffer), "-0.250000");
    EXPECT_STREQ(FormatSettingFloat(1234.5, buffer, 5), "1234");   // cut to the buffer
}

TEST(SettingNumber, IntegersStopAtTheFirstNonDigitAndClamp)
{
    EXPECT_EQ(ParseSettingInt("42xyz"), 42);
    EXPECT_EQ(ParseSettingInt("  -7"), -7);
    EXPECT_EQ(ParseSettingInt("3.9"), 3);
    EXPECT_EQ(ParseSettingInt("abc"), 0);
    EXPECT_EQ(ParseSettingInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ParseSettingInt("-99999999999999999999"), INT_MIN);
}

TEST(RecordText, FieldNamesMatchOnlyWhereTheyStandAlone)
{
    CHitSphereRecord sphere;
    ASSERT_EQ(sphere.ReadText("bone:\"Body\" type:2 y:0.5"), 1);
    EXPECT_FLOAT_EQ(sphere.position.y, 0.5f);
    EXPECT_EQ(sphere.type, 2);
    EXPECT_EQ(std::string(sphere.bone.GetText()), "Body");
    EXPECT_FLOAT_EQ(sphere.radius, 0.0f);

    CHitSphereRecord quoted;
    quoted.ReadText("BONE:\"x:9 y:8\", RADIUS : 1.5, X:-2");
    EXPECT_FLOAT_EQ(quoted.position.x, -2.0f);
    EXPECT_FLOAT_EQ(quoted.position.y, 0.0f);
    EXPECT_FLOAT_EQ(quoted.radius, 1.5f);
    EXPECT_EQ(std::string(quoted.bone.GetText()), "x:9 y:8");
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

// The effects the program carries declare exactly what the drawing code
// looks up, and nothing it expects to be missing.
#include "host/render/EffectFile.h"

#include <gtest/gtest.h>

namespace host::render {
namespace ORV_TEST_FILE_ID {

namespace {

EffectDesc Parse(std::string_view name) {
    EffectDesc desc;
    std::string error;
    std::string_view text = BuiltinEffect(name);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_TRUE(ParseEffect(text, desc, error)) << name << ": " << error;
    return desc;
}

struct Declared {
    const char* name;
    ParamType type;
    uint32_t arraySize;
};

void ExpectExactly(const EffectDesc& desc, std::initializer_list<Declared> params) {
    EXPECT_EQ(desc.params.size(), params.size());
    for (const Declared& d : params) {
        const EffectParam* p = desc.FindParam(d.name);
        ASSERT_NE(p, nullptr) << d.name;
        EXPECT_EQ(p->type, d.type) << d.name;
        EXPECT_EQ(p->arraySize, d.arraySize) << d.name;
    }
}

std::vector<std::string> Techniques(const EffectDesc& desc) {
    std::vector<std::string> out;
    for (const auto& t : desc.techniques) {
        std::string s = t.name + ":";
        for (const auto& p : t.passes) s += " " + p.name;
        out.push_back(s);
    }
    return out;
}

TEST(BuiltinEffect, DefaultDeclaresWhatTheShadersLookUp) {
    EffectDesc d = Parse("Default.shd");
    ExpectExactly(d, {
        {"g_LightDir", ParamType::Float3, 0},
        {"g_LightDiffuse", ParamType::Float4, 0},
        {"g_WorldAmbient", ParamType::Float4, 0},
        {"g_MaterialAmbient", ParamType::Float4, 0},
        {"g_MaterialDiffuse", ParamType::Float4, 0},
        {"g_MaterialSpecular", ParamType::Float4, 0},
        {"g_MaterialEmissive", ParamType::Float4, 0},
        {"g_MaterialPower", ParamType::Float, 0},
        {"g_WorldMatrix", ParamType::Float4x4, 0},
        {"g_ViewProj", ParamType::Float4x4, 0},
        {"g_WorldViewProjectionMatrix", ParamType::Float4x4, 0},
        {"g_WorldMatrixArray", ParamType::Float3x4, 75},
        {"g_FogStart", ParamType::Float, 0},
        {"g_FogEnd", ParamType::Float, 0},
        {"g_Texture", ParamType::Texture, 0},
        {"g_AddUV", ParamType::Float2, 0},
        {"g_CurBones", ParamType::Int, 0},
    });
    for (const char* absent : {"g_View", "g_Projection", "g_FogColor", "g_FogMax", "g_LightPos", "g_Texture2",
                               "g_Texture3", "g_Texture4", "g_Texture5", "g_Texture6", "g_Texture7", "g_Texture8"})
        EXPECT_EQ(d.FindParam(absent), nullptr) << absent;
    ASSERT_EQ(d.samplers.size(), 1u);
    EXPECT_EQ(d.samplers[0].name, "g_samScene");
    EXPECT_EQ(d.samplers[0].texture, "g_Texture");
    EXPECT_EQ(Techniques(d), (std::vector<std::string>{"SkinningVersion_20: p0", "SkinningNonTextureVersion_20: p0",
                                                      "Version_20: p0", "NonTextureVersion_20: p0"}));
}

TEST(BuiltinEffect, GaussFilterDeclaresItsTapsAndTwoPasses) {
    EffectDesc d = Parse("GaussFilter.shd");
    ExpectExactly(d, {
        {"g_Texture", ParamType::Texture, 0},
        {"Weight", ParamType::Float, 8},
        {"OffsetX", ParamType::Float4, 8},
        {"OffsetY", ParamType::Float4, 8},
    });
    ASSERT_EQ(d.samplers.size(), 1u);
    EXPECT_EQ(d.samplers[0].name, "g_samScene");
    EXPECT_EQ(d.samplers[0].filter, kFilterLinear);
    EXPECT_EQ(d.samplers[0].address, kAddressClamp);
    EXPECT_EQ(Techniques(d), (std::vector<std::string>{"GaussFilter: p0 p1"}));
}

TEST(BuiltinEffect, OnlyTheCarriedNamesAreFound) {
    EXPECT_TRUE(BuiltinEffect("default.shd").empty());
    EXPECT_TRUE(BuiltinEffect("Other.shd").empty());
    EXPECT_TRUE(BuiltinEffect("").empty());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render

// The .shd parser: what a good file declares, and a clear error naming the
// line for every kind of bad text, hostile or mangled.
#include "host/render/EffectFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace host::render {
namespace ORV_TEST_FILE_ID {

namespace {

const char kSample[] =
    "# a comment before the version\r\n"
    "shd 1\r\n"
    "\r\n"
    "param float4x4 g_World = 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\r\n"
    "param int      g_Count = -7\n"
    "param float2   g_Offsets[3] = 1 2 3 4 5 6.5e-1\n"
    "param texture  g_Tex\n"
    "  # indented comment\n"
    "sampler g_sam g_Tex address=clamp filter=point\n"
    "technique Blend\n"
    "  pass a vertex=vs fragment=fs state ZWRITEENABLE 0 state FOGEND 0.5 state SRCBLEND 0x5\n"
    "  pass b fragment=fs vertex=vs\n"
    "technique Plain\n"
    "\tpass only vertex=vs fragment=fs\n"
    "glsl common\n"
    "VARYING vec2 v_uv;\n"
    "glsl vertex vs\n"
    "void vs() { gl_Position = in_Position; }\n"
    "glsl common\n"
    "// more common code\n"
    "glsl fragment fs\n"
    "void fs() { host_Color = vec4(1.0); }\n";

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(EffectParser, ReadsEveryKindOfDeclaration) {
    EffectDesc d;
    std::string error;
    ASSERT_TRUE(ParseEffect(kSample, d, error)) << error;
    ASSERT_EQ(d.params.size(), 4u);
    EXPECT_EQ(d.params[0].type, ParamType::Float4x4);
    EXPECT_EQ(d.params[0].initial.size(), 16u);
    EXPECT_EQ(d.params[0].initial[5], Bits(1.0f));
    EXPECT_EQ(d.params[1].type, ParamType::Int);
    EXPECT_EQ(d.params[1].initial, (std::vector<uint32_t>{uint32_t(-7)}));
    EXPECT_EQ(d.params[2].name, "g_Offsets");
    EXPECT_EQ(d.params[2].arraySize, 3u);
    EXPECT_EQ(d.params[2].Words(), 6u);
    EXPECT_EQ(d.params[2].initial[5], Bits(0.65f));
    EXPECT_EQ(d.params[3].type, ParamType::Texture);
    ASSERT_EQ(d.samplers.size(), 1u);
    EXPECT_EQ(d.samplers[0].texture, "g_Tex");
    EXPECT_EQ(d.samplers[0].filter, kFilterPoint);
    EXPECT_EQ(d.samplers[0].address, kAddressClamp);
    ASSERT_EQ(d.techniques.size(), 2u);
    ASSERT_EQ(d.techniques[0].passes.size(), 2u);
    const EffectPass& a = d.techniques[0].passes[0];
    EXPECT_EQ(a.vertex, "vs");
    EXPECT_EQ(a.fragment, "fs");
    ASSERT_EQ(a.states.size(), 3u);
    EXPECT_EQ(a.states[0].state, kRsZWriteEnable);
    EXPECT_EQ(a.states[0].value, 0u);
    EXPECT_EQ(a.states[1].state, kRsFogEnd);
    EXPECT_EQ(a.states[1].value, Bits(0.5f));
    EXPECT_EQ(a.states[2].value, kBlendSrcAlpha);
    EXPECT_EQ(d.techniques[0].passes[1].vertex, "vs");
    EXPECT_EQ(d.techniques[1].passes[0].name, "only");
    EXPECT_EQ(d.common, "VARYING vec2 v_uv;\n// more common code\n");
    EXPECT_EQ(d.commonLine, 16u);
    const EffectShader* vs = d.FindShader(ShaderStage::Vertex, "vs");
    ASSERT_NE(vs, nullptr);
    EXPECT_EQ(vs->code, "void vs() { gl_Position = in_Position; }\n");
    EXPECT_EQ(vs->line, 18u);
    EXPECT_EQ(d.FindShader(ShaderStage::Fragment, "vs"), nullptr);
}

struct Hostile {
    const char* what;
    std::string text;
    const char* error;   // a part of the message
};

std::string Body(const std::string& header) {
    return "shd 1\n" + header +
           "technique T\n  pass p vertex=vs fragment=fs\nglsl vertex vs\nvoid vs() {}\nglsl fragment fs\nvoid fs() {}\n";
}

TEST(EffectParser, RefusesBadTextWithTheLineAndTheReason) {
    const std::string good = Body("param float f\n");
    const Hostile cases[] = {
        {"empty", "", "line 1: the file must start with \"shd 1\""},
        {"another version", "shd 2\n", "line 1: the file must start with"},
        {"code before the version", "glsl common\n", "line 1: the file must start with"},
        {"a NUL byte", std::string("shd 1\nparam float a\0b\n", 21), "line 2: byte 0x00"},
        {"a high byte", "shd 1\n# caf\xC3\xA9\n", "line 2: byte 0xC3"},
        {"a control byte", "shd 1\n\x1B[2J\n", "line 2: byte 0x1B"},
        {"an unknown declaration", Body("uniform float f\n"), "line 2: unknown declaration \"uniform\""},
        {"an unknown type", Body("param double f\n"), "line 2: unknown type \"double\""},
        {"a missing name", Body("param float\n"), "line 2: param needs a type and a name"},
        {"a name that is not an identifier", Body("param float 9lives\n"), "not an identifier"},
        {"a reserved name", Body("param float gl_Position\n"), "reserved"},
        {"a prelude name", Body("param float in_Position\n"), "reserved"},
        {"main", Body("param float main\n"), "reserved"},
        {"a name too long", Body("param float " + std::string(64, 'a') + "\n"), "not an identifier"},
        {"a name twice", Body("param float f\nparam int f\n"), "line 3: \"f\" is declared twice"},
        {"a sampler named as a parameter", Body("param texture t\nsampler t t\n"), "declared twice"},
        {"array size 0", Body("param float f[0]\n"), "array size must be 1 to 1024"},
        {"array size too big", Body("param float f[1025]\n"), "array size must be 1 to 1024"},
        {"array size huge", Body("param float f[99999999999999999999]\n"), "array size"},
        {"array size negative", Body("param float f[-1]\n"), "array size"},
        {"array size not a number", Body("param float f[x]\n"), "array size"},
        {"array size with a leading zero", Body("param float f[08]\n"), "array size"},
        {"an unclosed array", Body("param float f[8\n"), "must end with ']'"},
        {"too few values", Body("param float3 f = 1 2\n"), "f needs 3 initial values, not 2"},
        {"too many values", Body("param float f = 1 2\n"), "f needs 1 initial values, not 2"},
        {"values for a whole array", Body("param float f[2] = 1\n"), "f needs 2 initial values"},
        {"no '='", Body("param float f 1\n"), "expected '='"},
        {"a texture value", Body("param texture t = 1\n"), "a texture takes no initial value"},
        {"a word for a number", Body("param float f = one\n"), "\"one\" is not a number"},
        {"an infinite number", Body("param float f = 1e999\n"), "is not a number"},
        {"nan", Body("param float f = nan\n"), "is not a number"},
        {"a fraction for an int", Body("param int i = 1.5\n"), "\"1.5\" is not an integer"},
        {"an int out of range", Body("param int i = 4294967296\n"), "is not an integer"},
        {"a sampler without a texture", Body("sampler s g_None\n"), "needs a declared texture"},
        {"a sampler over a float", Body("param float f\nsampler s f\n"), "needs a declared texture"},
        {"a sampler over a texture array", Body("param texture t[2]\nsampler s t\n"), "needs a declared texture"},
        {"a bad filter", Body("param texture t\nsampler s t filter=cubic\n"), "filter must be"},
        {"a bad address", Body("param texture t\nsampler s t address=mirror\n"), "address must be"},
        {"an option twice", Body("param texture t\nsampler s t filter=point filter=linear\n"), "unexpected"},
        {"a pass outside a technique", "shd 1\npass p vertex=vs fragment=fs\n", "line 2: pass outside a technique"},
        {"a technique without a name", "shd 1\ntechnique\n", "technique needs exactly a name"},
        {"a technique twice", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs\ntechnique T\n",
         "line 4: technique \"T\" is declared twice"},
        {"a pass twice", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs\n  pass p vertex=vs fragment=fs\n",
         "line 4: pass \"p\" is declared twice"},
        {"a pass without a fragment function", "shd 1\ntechnique T\n  pass p vertex=vs\n", "needs vertex= and fragment="},
        {"a pass with an empty function", "shd 1\ntechnique T\n  pass p vertex= fragment=fs\n", "needs vertex="},
        {"a pass with a strange option", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs blend=1\n", "unexpected"},
        {"an unknown state", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs state FILLMODE 1\n",
         "unknown render state \"FILLMODE\""},
        {"a state without a value", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs state ZENABLE\n",
         "state needs a name and a value"},
        {"a state value that is no number", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs state ZENABLE on\n",
         "\"on\" is not a state value"},
        {"a float for an integer state", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs state ZENABLE 0.5\n",
         "is not a state value"},
        {"no technique", "shd 1\nparam float f\nglsl vertex vs\nvoid vs() {}\n", "no technique is declared"},
        {"a technique without passes", "shd 1\ntechnique T\n", "technique T has no pass"},
        {"a missing vertex function", "shd 1\ntechnique T\n  pass p vertex=vx fragment=fs\nglsl fragment fs\n",
         "line 3: no glsl vertex vx"},
        {"a function of the wrong stage", "shd 1\ntechnique T\n  pass p vertex=vs fragment=fs\nglsl vertex vs\nglsl vertex fs\n",
         "line 3: no glsl fragment fs"},
        {"a block twice", good + "glsl vertex vs\n", "glsl vertex vs is given twice"},
        {"a bad block kind", good + "glsl geometry gs\n", "expected \"glsl common\""},
        {"a block without a name", good + "glsl vertex\n", "expected \"glsl common\""},
        {"a block with a reserved name", good + "glsl vertex host_Screen\n", "reserved"},
        {"too large", "shd 1\n" + std::string(kEffectMaxBytes, '#'), "line 0: the file is larger than 1 MiB"},
    };
    for (const Hostile& c : cases) {
        EffectDesc d;
        d.params.push_back({});   // a failed parse leaves the output as it was
        std::string error;
        EXPECT_FALSE(ParseEffect(c.text, d, error)) << c.what;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(d.params.size(), 1u) << c.what;
    }
    EffectDesc d;
    std::string error;
    EXPECT_TRUE(ParseEffect(good, d, error)) << error;
}

// Mangled versions of a real effect: every one parses or is refused with a
// message, and never reads outside the text (the sanitizer build watches).
TEST(EffectParser, SurvivesMangledText) {
    const std::string original(BuiltinEffect("Default.shd"));
    ASSERT_FALSE(original.empty());
    uint32_t seed = 12345;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        return seed;
    };
    const char alphabet[] = " \t\n\r=[]#0123456789-.eglsxp_\x01\xFF";
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = original;
        // Mangle mostly the header, where the declarations are.
        const size_t reach = round % 4 == 0 ? text.size() : std::min<size_t>(text.size(), 1600);
        for (uint32_t edits = 1 + next() % 4; edits > 0 && !text.empty(); --edits) {
            size_t at = next() % std::min(reach, text.size());
            switch (next() % 5) {
            case 0: text[at] = alphabet[next() % (sizeof alphabet - 1)]; break;
            case 1: text.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]); break;
            case 2: text.erase(at, 1 + next() % 12); break;
            case 3: text.resize(at); break;
            case 4: text.insert(at, text.substr(next() % text.size(), next() % 40)); break;
            }
        }
        EffectDesc d;
        std::string error;
        if (!ParseEffect(text, d, error)) {
            ++refused;
            EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
        } else {
            EXPECT_FALSE(d.techniques.empty());
            for (const auto& t : d.techniques)
                for (const auto& p : t.passes) EXPECT_NE(d.FindShader(ShaderStage::Vertex, p.vertex), nullptr);
        }
    }
    EXPECT_GT(refused, 1000);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render

// Seeds of the effect parser: the effects the program carries, and small
// ones for each kind of declaration.
#include "fuzz/seeds/Seeds.h"
#include "host/render/Render.h"

namespace seeds {

namespace {

const char* const kEffects[][2] = {
    {"smallest",
     "shd 1\n"
     "technique T\n"
     "  pass p vertex=vs fragment=fs\n"
     "glsl vertex vs\n"
     "void vs() { gl_Position = in_Position; }\n"
     "glsl fragment fs\n"
     "void fs() { host_Color = vec4(1.0); }\n"},
    {"every-type",
     "# before the version\r\n"
     "shd 1\r\n"
     "param float    g_F = 0.5\r\n"
     "param int      g_I = -7\r\n"
     "param float2   g_V2[3] = 1 2 3 4 5 6.5e-1\n"
     "param float3   g_V3 = 0 -0.894 0.447\n"
     "param float4   g_V4\n"
     "param float4x4 g_M = 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\n"
     "param float3x4 g_Bones[2]\n"
     "param texture  g_Tex\n"
     "  # indented comment\n"
     "sampler g_sam g_Tex address=clamp filter=point\n"
     "technique Blend\n"
     "  pass a vertex=vs fragment=fs state ZWRITEENABLE 0 state FOGEND 0.5 state SRCBLEND 0x5\n"
     "  pass b fragment=fs vertex=vs state ZWRITEENABLE 1\n"
     "technique Plain\n"
     "\tpass only vertex=vs fragment=fs\n"
     "glsl common\n"
     "VARYING vec2 v_uv;\n"
     "glsl vertex vs\n"
     "void vs() { gl_Position = in_Position; }\n"
     "glsl common\n"
     "// more common code\n"
     "glsl fragment fs\n"
     "void fs() { host_Color = texture(g_sam, v_uv); }\n"},
    {"twin-techniques",
     "shd 1\n"
     "param float g_A = 1\n"
     "technique T\n"
     "  pass p vertex=vs fragment=fs state CULLMODE 1\n"
     "technique T\n"
     "  pass q vertex=vs fragment=fs\n"
     "glsl vertex vs\nvoid vs() {}\n"
     "glsl fragment fs\nvoid fs() {}\n"},
    {"no-technique", "shd 1\nparam float g_A\n"},
    {"twin-parameters", "shd 1\nparam float g_A = 1\nparam float g_A = 2\n"},
    {"wrong-version", "shd 2\ntechnique T\n"},
};

}  // namespace

void MakeEffectSeeds(const std::string& root)
{
    Sink sink(root, "effect");
    for (const char* name : {"Default.shd", "GaussFilter.shd"}) {
        const std::string_view text = host::render::BuiltinEffect(name);
        sink.Add(name, Bytes(text));
    }
    for (const auto& [name, text] : kEffects) sink.Add(std::string(name) + ".shd", text);
}

}  // namespace seeds

// GLSL of the OpenGL backend: the built-in screen and world programs that
// stand in for Direct3D 9's fixed-function pipeline, and the prelude and
// main generated around an effect's functions.
//
// Positions are written in Direct3D's convention (y up, z in [0, w]) and
// turned into GL's by host_ToGl: every target keeps its top row at row 0,
// so y flips, and z moves from [0, w] to [-w, w].
#include "host/render/GlObjects.h"

#include <algorithm>

namespace host::render {
namespace {

constexpr const char* kVersion = "#version 330 core\n";

// Both stages: pretransformed positions against the viewport, and the
// conversion to GL's clip space.
constexpr const char* kPositionCode = R"(uniform vec4 host_Viewport;
vec4 host_Screen(vec4 p)
{
    float w = p.w != 0.0 ? 1.0 / p.w : 1.0;
    vec2 ndc = vec2((p.x - host_Viewport.x) / host_Viewport.z * 2.0 - 1.0,
                    1.0 - (p.y - host_Viewport.y) / host_Viewport.w * 2.0);
    return vec4(ndc * w, p.z * w, w);
}
vec4 host_ToGl(vec4 p) { return vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w); }
)";

// What Direct3D 9 does after the pixel shader: alpha test, then fog. The
// compare function and whether fog applies are constants of each program
// (see TailKey), so a fragment pays only for what is on.
constexpr const char* kFragmentTail = R"(uniform float host_AlphaRef;
uniform vec3 host_FogColor;
layout(location = 0) out vec4 host_FragColor;
bool host_Compare(int func, float a, float b)
{
    switch (func) {
    case 1: return false;
    case 2: return a < b;
    case 3: return a == b;
    case 4: return a <= b;
    case 5: return a > b;
    case 6: return a != b;
    case 7: return a >= b;
    default: return true;
    }
}
vec4 host_Finish(vec4 c, float fog)
{
    if (host_AlphaFunc != 0 && !host_Compare(host_AlphaFunc, floor(clamp(c.a, 0.0, 1.0) * 255.0 + 0.5), host_AlphaRef))
        discard;
    if (host_FogOn)
        c.rgb = mix(host_FogColor, c.rgb, clamp(fog, 0.0, 1.0));
    return c;
}
)";

constexpr const char* kInputs = R"(layout(location = 0) in vec4 in_Position;
layout(location = 1) in vec4 in_BlendWeight;
layout(location = 2) in uvec4 in_BlendIndices;
layout(location = 3) in vec3 in_Normal;
layout(location = 4) in vec3 in_Tangent;
layout(location = 5) in vec3 in_Binormal;
layout(location = 6) in vec4 in_Color;
layout(location = 7) in vec2 in_TexCoord0;
layout(location = 8) in vec2 in_TexCoord1;
layout(location = 9) in vec2 in_TexCoord2;
layout(location = 10) in vec2 in_TexCoord3;
)";

constexpr const char* kScreenMain = R"(out vec4 v_Color;
out vec2 v_UV;
void main()
{
    gl_Position = host_ToGl(host_Screen(in_Position));
    v_Color = in_Color;
    v_UV = in_TexCoord0;
    HOST_PASS_WORD;
}
)";

// Lighting has no lights to add (none is ever set): emissive plus ambient.
constexpr const char* kWorldMain = R"(uniform mat4 host_WorldView;
uniform mat4 host_Projection;
uniform int host_Lighting;
uniform int host_HasColor;
uniform vec3 host_Ambient;
uniform vec3 host_MatAmbient;
uniform vec3 host_MatEmissive;
uniform float host_MatDiffuseAlpha;
uniform int host_VertexFog;
uniform vec2 host_FogRange;
out vec4 v_Color;
out vec2 v_UV;
out float v_Fog;
void main()
{
    vec4 view = host_WorldView * in_Position;
    gl_Position = host_ToGl(host_Projection * view);
    if (host_Lighting != 0) {
        vec3 rgb = clamp(host_MatEmissive + host_Ambient * host_MatAmbient, 0.0, 1.0);
        v_Color = vec4(rgb, host_HasColor != 0 ? in_Color.a : host_MatDiffuseAlpha);
    } else {
        v_Color = in_Color;
    }
    v_UV = in_TexCoord0;
    v_Fog = 1.0;
    if (host_VertexFog != 0) {
        float range = host_FogRange.y - host_FogRange.x;
        v_Fog = range != 0.0 ? clamp((host_FogRange.y - view.z) / range, 0.0, 1.0)
                             : (view.z < host_FogRange.y ? 1.0 : 0.0);
    }
    HOST_PASS_WORD;
}
)";

// Texture stage 0: ops DISABLE 1, SELECTARG1 2, SELECTARG2 3, MODULATE 4
// over args DIFFUSE 0, CURRENT 1 (the diffuse colour at stage 0), TEXTURE 2.
constexpr const char* kFixedFragmentMain = R"(in vec4 v_Color;
vec4 host_Arg(int arg, vec4 diffuse, vec4 tex) { return arg == 2 ? tex : diffuse; }
vec4 host_Op(ivec3 op, vec4 diffuse, vec4 tex)
{
    vec4 a = host_Arg(op.y, diffuse, tex);
    vec4 b = host_Arg(op.z, diffuse, tex);
    if (op.x == 2) return a;
    if (op.x == 3) return b;
    if (op.x == 4) return a * b;
    return diffuse;
}
void main()
{
    vec4 tex = host_Sample();
    vec4 c = host_Op(host_ColorOp, v_Color, tex);
    float a = host_ColorOp.x == 1 ? v_Color.a : host_Op(host_AlphaOp, v_Color, tex).a;
    host_FragColor = host_Finish(vec4(c.rgb, a), v_Fog);
    HOST_BLEND;
}
)";

const char* GlslType(ParamType type) {
    switch (type) {
    case ParamType::Float: return "float";
    case ParamType::Int: return "int";
    case ParamType::Float2: return "vec2";
    case ParamType::Float3: return "vec3";
    case ParamType::Float4: return "vec4";
    case ParamType::Float4x4: return "mat4";
    case ParamType::Float3x4: return "mat3x4";
    case ParamType::Texture: return nullptr;
    }
    return nullptr;
}

std::string Uniforms(const EffectDesc& desc) {
    std::string out;
    for (const EffectParam& p : desc.params) {
        const char* type = GlslType(p.type);
        if (!type) continue;
        out += "uniform " + std::string(type) + " " + p.name;
        if (p.arraySize) out += "[" + std::to_string(p.arraySize) + "]";
        out += ";\n";
    }
    for (const EffectSampler& s : desc.samplers) out += "uniform sampler2D " + s.name + ";\n";
    return out;
}

// The tail's constants, and the fog factor's input only where fog is on:
// every interpolated input costs the rasteriser, used or not.
std::string TailConstants(uint32_t tailKey, const char* fogInput) {
    const bool fog = tailKey & 0x10;
    return "const int host_AlphaFunc = " + std::to_string(tailKey & 0xF) +
           ";\nconst bool host_FogOn = " + (fog ? "true" : "false") + ";\n" +
           (fog ? "in float " : "const float ") + fogInput + (fog ? ";\n" : " = 1.0;\n");
}

std::string Line(uint32_t line) { return "#line " + std::to_string(line) + "\n"; }

std::string UserCode(const EffectDesc& desc, const EffectShader& shader) {
    return Line(desc.commonLine) + desc.common + Line(shader.line) + shader.code;
}

GLuint CompileStage(GLenum stage, const std::string& source, std::string& log) {
    GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::string message(size_t(std::max(length, 1)), '\0');
        glGetShaderInfoLog(shader, length, nullptr, message.data());
        log = (stage == GL_VERTEX_SHADER ? "vertex: " : "fragment: ") + std::string(message.c_str());
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

uint32_t TailKey(uint32_t alphaFunc, bool fog) {
    // Always passing is no test at all.
    return (alphaFunc == kCmpAlways ? 0 : alphaFunc & 0xF) | (fog ? 0x10 : 0);
}

uint32_t StageKey(const uint32_t stage[8]) {
    return (stage[kTssColorOp] & 7) | (stage[kTssColorArg1] & 3) << 3 | (stage[kTssColorArg2] & 3) << 5 |
           (stage[kTssAlphaOp] & 7) << 7 | (stage[kTssAlphaArg1] & 3) << 10 | (stage[kTssAlphaArg2] & 3) << 12;
}

uint32_t BatchKey(uint32_t units, bool mixedDest) {
    if (units <= 1 && !mixedDest) return 0;
    return 1 | (std::clamp(units, 1u, kBatchUnits) - 1) << 1 | uint32_t(mixedDest) << 3;
}

std::string FixedVertexSource(bool screen, uint32_t batchKey) {
    const char* word = batchKey ? "layout(location = 11) in uint in_BatchWord;\nflat out uint v_BatchWord;\n"
                                  "#define HOST_PASS_WORD v_BatchWord = in_BatchWord\n"
                                : "#define HOST_PASS_WORD\n";
    return std::string(kVersion) + kInputs + "invariant gl_Position;\n" + kPositionCode + word +
           (screen ? kScreenMain : kWorldMain);
}

// The texture a fragment reads: unit 0's, or in a batch of several the
// unit its vertices name. Every unit is sampled and one picked, with no
// branch: Mesa's llvmpipe draws a program without control flow on its fast
// path, and one with it at about half the speed. A mixed destination factor
// writes the blend's second source: one minus it is the factor (see
// BatchDest).
std::string BatchFragmentCode(uint32_t batchKey) {
    const uint32_t units = batchKey ? ((batchKey >> 1) & 3) + 1 : 1;
    std::string out;
    for (uint32_t u = 0; u < units; ++u) out += "uniform sampler2D host_Texture" + std::to_string(u) + ";\n";
    if (batchKey) out += "flat in uint v_BatchWord;\n";
    out += "vec4 host_Sample()\n{\n    vec4 t = texture(host_Texture0, v_UV);\n";
    if (units > 1) out += "    uint unit = v_BatchWord & " + std::to_string(kBatchUnits - 1) + "u;\n";
    for (uint32_t u = 1; u < units; ++u) {
        const std::string n = std::to_string(u);
        out += "    vec4 t" + n + " = texture(host_Texture" + n + ", v_UV);\n    t = unit == " + n + "u ? t" + n +
               " : t;\n";
    }
    out += "    return t;\n}\n";
    if (batchKey & 8) {
        out += "layout(location = 0, index = 1) out vec4 host_FragBlend;\n"
               "#define HOST_BLEND host_SetBlend()\n"
               "void host_SetBlend()\n{\n"
               "    uint kind = (v_BatchWord >> " + std::to_string(kBatchDestShift) + "u) & 3u;\n"
               "    vec4 c = host_FragColor;\n"
               "    host_FragBlend = kind == 0u ? vec4(0.0) : kind == 1u ? vec4(1.0) : kind == 2u ? c.aaaa : c;\n"
               "}\n";
    } else {
        out += "#define HOST_BLEND\n";
    }
    return out;
}

std::string FixedFragmentSource(uint32_t stageKey, uint32_t tailKey, uint32_t batchKey) {
    auto field = [&](int shift, int bits) { return std::to_string((stageKey >> shift) & ((1u << bits) - 1)); };
    const std::string ops = "const ivec3 host_ColorOp = ivec3(" + field(0, 3) + ", " + field(3, 2) + ", " + field(5, 2) +
                            ");\nconst ivec3 host_AlphaOp = ivec3(" + field(7, 3) + ", " + field(10, 2) + ", " +
                            field(12, 2) + ");\n";
    return std::string(kVersion) + TailConstants(tailKey, "v_Fog") + kFragmentTail + ops +
           "in vec2 v_UV;\n" + BatchFragmentCode(batchKey) + kFixedFragmentMain;
}

std::string EffectVertexSource(const EffectDesc& desc, const EffectShader& shader) {
    return std::string(kVersion) + "#define VARYING out\n" + kInputs + "invariant gl_Position;\n" + kPositionCode +
           Uniforms(desc) + "float host_Fog;\nout float host_vFog;\n" + UserCode(desc, shader) +
           "\nvoid main()\n{\n    host_Fog = 1.0;\n    " + shader.name +
           "();\n    host_vFog = host_Fog;\n    gl_Position = host_ToGl(gl_Position);\n}\n";
}

std::string EffectFragmentSource(const EffectDesc& desc, const EffectShader& shader, uint32_t tailKey) {
    return std::string(kVersion) + "#define VARYING in\n" + kPositionCode + TailConstants(tailKey, "host_vFog") +
           kFragmentTail + Uniforms(desc) + "float host_Fog;\nvec4 host_Color;\n" + UserCode(desc, shader) +
           "\nvoid main()\n{\n    host_Color = vec4(0.0);\n    " + shader.name +
           "();\n    host_FragColor = host_Finish(host_Color, host_vFog);\n}\n";
}

GLuint LinkProgram(const std::string& vertex, const std::string& fragment, std::string& log) {
    GLuint vs = CompileStage(GL_VERTEX_SHADER, vertex, log);
    if (!vs) return 0;
    GLuint fs = CompileStage(GL_FRAGMENT_SHADER, fragment, log);
    if (!fs) {
        glDeleteShader(vs);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDetachShader(program, vs);
    glDetachShader(program, fs);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::string message(size_t(std::max(length, 1)), '\0');
        glGetProgramInfoLog(program, length, nullptr, message.data());
        log = "link: " + std::string(message.c_str());
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void LocateFixedUniforms(FixedProgram& p) {
    auto at = [&](const char* name) { return glGetUniformLocation(p.name, name); };
    p.viewport = at("host_Viewport");
    p.worldView = at("host_WorldView");
    p.projection = at("host_Projection");
    p.lighting = at("host_Lighting");
    p.hasColor = at("host_HasColor");
    p.ambient = at("host_Ambient");
    p.matAmbient = at("host_MatAmbient");
    p.matEmissive = at("host_MatEmissive");
    p.matDiffuseAlpha = at("host_MatDiffuseAlpha");
    p.vertexFog = at("host_VertexFog");
    p.fogRange = at("host_FogRange");
    p.alphaRef = at("host_AlphaRef");
    p.fogColor = at("host_FogColor");
    p.texture = at("host_Texture0");
}

void LocateEffectUniforms(const EffectDesc& desc, EffectProgram& p) {
    p.params.assign(desc.params.size(), -1);
    p.uploaded.assign(desc.params.size(), ~0ull);
    for (size_t i = 0; i < desc.params.size(); ++i)
        if (desc.params[i].type != ParamType::Texture)
            p.params[i] = glGetUniformLocation(p.name, desc.params[i].name.c_str());
    p.samplerParams.clear();
    for (const EffectSampler& s : desc.samplers) {
        int param = -1;
        for (size_t i = 0; i < desc.params.size(); ++i)
            if (desc.params[i].name == s.texture) param = int(i);
        p.samplerParams.push_back(param);
    }
    p.viewport = glGetUniformLocation(p.name, "host_Viewport");
    p.alphaRef = glGetUniformLocation(p.name, "host_AlphaRef");
    p.fogColor = glGetUniformLocation(p.name, "host_FogColor");
}

}  // namespace host::render

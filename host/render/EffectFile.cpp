// The .shd parser. Everything it reads is checked: hostile text gives a
// message naming the line, never a read past the text or an oversized
// allocation.
#include "host/render/EffectFile.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace host::render {
namespace {

struct TypeName {
    const char* text;
    ParamType type;
};
constexpr TypeName kTypes[] = {
    {"float", ParamType::Float},       {"int", ParamType::Int},
    {"float2", ParamType::Float2},     {"float3", ParamType::Float3},
    {"float4", ParamType::Float4},     {"float4x4", ParamType::Float4x4},
    {"float3x4", ParamType::Float3x4}, {"texture", ParamType::Texture},
};

struct StateName {
    const char* text;
    uint32_t state;
};
constexpr StateName kStates[] = {
    {"ZENABLE", kRsZEnable}, {"ZWRITEENABLE", kRsZWriteEnable}, {"ALPHATESTENABLE", kRsAlphaTestEnable},
    {"SRCBLEND", kRsSrcBlend}, {"DESTBLEND", kRsDestBlend}, {"CULLMODE", kRsCullMode},
    {"ZFUNC", kRsZFunc}, {"ALPHAREF", kRsAlphaRef}, {"ALPHAFUNC", kRsAlphaFunc},
    {"ALPHABLENDENABLE", kRsAlphaBlendEnable}, {"FOGENABLE", kRsFogEnable}, {"FOGCOLOR", kRsFogColor},
    {"FOGSTART", kRsFogStart}, {"FOGEND", kRsFogEnd}, {"STENCILENABLE", kRsStencilEnable},
    {"STENCILFAIL", kRsStencilFail}, {"STENCILZFAIL", kRsStencilZFail}, {"STENCILPASS", kRsStencilPass},
    {"STENCILFUNC", kRsStencilFunc}, {"STENCILREF", kRsStencilRef}, {"STENCILMASK", kRsStencilMask},
    {"STENCILWRITEMASK", kRsStencilWriteMask}, {"LIGHTING", kRsLighting}, {"AMBIENT", kRsAmbient},
    {"FOGVERTEXMODE", kRsFogVertexMode}, {"COLORVERTEX", kRsColorVertex},
    {"COLORWRITEENABLE", kRsColorWriteEnable}, {"BLENDOP", kRsBlendOp},
};

using Tokens = std::vector<std::string_view>;

Tokens Split(std::string_view line) {
    Tokens out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) out.push_back(line.substr(start, i - start));
    }
    return out;
}

bool IsIdentifier(std::string_view s) {
    if (s.empty() || s.size() > kEffectMaxName) return false;
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(s[0])) return false;
    for (char c : s)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}

// Names the generated code or GLSL keeps for itself.
bool IsReserved(std::string_view s) {
    return s == "main" || s.starts_with("gl_") || s.starts_with("host_") || s.starts_with("in_") ||
           s == "VARYING" || s.find("__") != std::string_view::npos;
}

bool ParseFloat(std::string_view s, float& out) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty() && std::isfinite(out);
}

bool ParseInt(std::string_view s, int32_t& out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

bool ParseU32(std::string_view s, uint32_t& out) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty();
}

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

class Parser {
public:
    Parser(EffectDesc& out, std::string& error) : out_(out), error_(error) {}

    bool Run(std::string_view text) {
        if (text.size() > kEffectMaxBytes) return Fail(0, "the file is larger than 1 MiB");
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(text[i]);
            if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c >= 0x7F)
                return Fail(LineOf(text, i), "byte 0x" + Hex(c) + " is not printable ASCII");
        }
        size_t pos = 0;
        uint32_t line = 0;
        bool header = true, sawVersion = false;
        Block block{};
        while (pos <= text.size()) {
            size_t nl = text.find('\n', pos);
            std::string_view l = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            ++line;
            Tokens t = Split(l);
            bool glsl = !t.empty() && t[0] == "glsl" && !l.empty() && l[0] == 'g';
            if (glsl) {
                if (!sawVersion) return Fail(line, "the file must start with \"shd 1\"");
                if (!header && !EndBlock(block)) return false;
                header = false;
                if (!StartBlock(t, line + 1, block)) return false;
            } else if (header) {
                if (!t.empty() && t[0][0] != '#') {
                    if (!sawVersion) {
                        if (t.size() != 2 || t[0] != "shd" || t[1] != "1")
                            return Fail(line, "the file must start with \"shd 1\"");
                        sawVersion = true;
                    } else if (!HeaderLine(t, line)) {
                        return false;
                    }
                }
            } else {
                block.code.append(l);
                block.code.push_back('\n');
            }
            if (nl == std::string_view::npos) break;
            pos = nl + 1;
        }
        if (!sawVersion) return Fail(line, "the file must start with \"shd 1\"");
        if (!header && !EndBlock(block)) return false;
        return Finish(line);
    }

private:
    struct Block {
        int kind = -1;   // 0 common, 1 vertex, 2 fragment
        std::string name;
        std::string code;
        uint32_t line = 0;
    };

    static uint32_t LineOf(std::string_view text, size_t offset) {
        uint32_t line = 1;
        for (size_t i = 0; i < offset; ++i) line += text[i] == '\n';
        return line;
    }

    static std::string Hex(unsigned char c) {
        const char* digits = "0123456789ABCDEF";
        return {digits[c >> 4], digits[c & 15]};
    }

    bool Fail(uint32_t line, const std::string& what) {
        error_ = "line " + std::to_string(line) + ": " + what;
        return false;
    }

    bool NameTaken(std::string_view name) const {
        for (const auto& p : out_.params)
            if (p.name == name) return true;
        for (const auto& s : out_.samplers)
            if (s.name == name) return true;
        return false;
    }

    bool CheckName(std::string_view name, uint32_t line, const char* what) {
        if (!IsIdentifier(name))
            return Fail(line, std::string(what) + " name \"" + std::string(name.substr(0, 80)) + "\" is not an identifier");
        if (IsReserved(name)) return Fail(line, std::string(what) + " name \"" + std::string(name) + "\" is reserved");
        return true;
    }

    bool HeaderLine(const Tokens& t, uint32_t line) {
        if (t[0] == "param") return Param(t, line);
        if (t[0] == "sampler") return Sampler(t, line);
        if (t[0] == "technique") return Technique(t, line);
        if (t[0] == "pass") return Pass(t, line);
        return Fail(line, "unknown declaration \"" + std::string(t[0].substr(0, 80)) + "\"");
    }

    bool Param(const Tokens& t, uint32_t line) {
        if (t.size() < 3) return Fail(line, "param needs a type and a name");
        EffectParam p;
        bool typed = false;
        for (const TypeName& n : kTypes)
            if (t[1] == n.text) { p.type = n.type; typed = true; }
        if (!typed) return Fail(line, "unknown type \"" + std::string(t[1].substr(0, 80)) + "\"");
        std::string_view name = t[2];
        if (size_t open = name.find('['); open != std::string_view::npos) {
            if (name.back() != ']') return Fail(line, "array size must end with ']'");
            uint32_t n = 0;
            std::string_view digits = name.substr(open + 1, name.size() - open - 2);
            if (digits.empty() || digits[0] < '1' || digits[0] > '9' || !ParseU32(digits, n) || n > kEffectMaxArray)
                return Fail(line, "array size must be 1 to " + std::to_string(kEffectMaxArray));
            p.arraySize = n;
            name = name.substr(0, open);
        }
        if (!CheckName(name, line, "parameter")) return false;
        if (NameTaken(name)) return Fail(line, "\"" + std::string(name) + "\" is declared twice");
        p.name = std::string(name);
        if (t.size() > 3) {
            if (t[3] != "=") return Fail(line, "expected '=' before the initial values");
            if (p.type == ParamType::Texture) return Fail(line, "a texture takes no initial value");
            size_t given = t.size() - 4;
            if (given != p.Words())
                return Fail(line, p.name + " needs " + std::to_string(p.Words()) + " initial values, not " +
                                      std::to_string(given));
            p.initial.reserve(given);
            for (size_t i = 4; i < t.size(); ++i) {
                if (p.type == ParamType::Int) {
                    int32_t v;
                    if (!ParseInt(t[i], v)) return Fail(line, "\"" + std::string(t[i].substr(0, 80)) + "\" is not an integer");
                    p.initial.push_back(static_cast<uint32_t>(v));
                } else {
                    float v;
                    if (!ParseFloat(t[i], v)) return Fail(line, "\"" + std::string(t[i].substr(0, 80)) + "\" is not a number");
                    p.initial.push_back(FloatBits(v));
                }
            }
        }
        out_.params.push_back(std::move(p));
        return true;
    }

    bool Sampler(const Tokens& t, uint32_t line) {
        if (t.size() < 3) return Fail(line, "sampler needs a name and a texture");
        EffectSampler s;
        if (!CheckName(t[1], line, "sampler")) return false;
        if (NameTaken(t[1])) return Fail(line, "\"" + std::string(t[1]) + "\" is declared twice");
        s.name = std::string(t[1]);
        const EffectParam* tex = out_.FindParam(t[2]);
        if (!tex || tex->type != ParamType::Texture || tex->arraySize)
            return Fail(line, "sampler " + s.name + " needs a declared texture, not \"" + std::string(t[2].substr(0, 80)) + "\"");
        s.texture = tex->name;
        bool filter = false, address = false;
        for (size_t i = 3; i < t.size(); ++i) {
            if (t[i].starts_with("filter=") && !filter) {
                std::string_view v = t[i].substr(7);
                if (v == "none") s.filter = kFilterNone;
                else if (v == "point") s.filter = kFilterPoint;
                else if (v == "linear") s.filter = kFilterLinear;
                else return Fail(line, "filter must be none, point or linear");
                filter = true;
            } else if (t[i].starts_with("address=") && !address) {
                std::string_view v = t[i].substr(8);
                if (v == "wrap") s.address = kAddressWrap;
                else if (v == "clamp") s.address = kAddressClamp;
                else return Fail(line, "address must be wrap or clamp");
                address = true;
            } else {
                return Fail(line, "unexpected \"" + std::string(t[i].substr(0, 80)) + "\" in sampler " + s.name);
            }
        }
        out_.samplers.push_back(std::move(s));
        return true;
    }

    bool Technique(const Tokens& t, uint32_t line) {
        if (t.size() != 2) return Fail(line, "technique needs exactly a name");
        if (!CheckName(t[1], line, "technique")) return false;
        for (const auto& tech : out_.techniques)
            if (tech.name == t[1]) return Fail(line, "technique \"" + std::string(t[1]) + "\" is declared twice");
        out_.techniques.push_back({std::string(t[1]), {}});
        return true;
    }

    bool Pass(const Tokens& t, uint32_t line) {
        if (out_.techniques.empty()) return Fail(line, "pass outside a technique");
        if (t.size() < 2) return Fail(line, "pass needs a name");
        if (!IsIdentifier(t[1])) return Fail(line, "pass name is not an identifier");
        EffectTechnique& tech = out_.techniques.back();
        for (const auto& p : tech.passes)
            if (p.name == t[1]) return Fail(line, "pass \"" + std::string(t[1]) + "\" is declared twice");
        EffectPass pass;
        pass.name = std::string(t[1]);
        for (size_t i = 2; i < t.size(); ++i) {
            if (t[i].starts_with("vertex=") && pass.vertex.empty()) {
                pass.vertex = std::string(t[i].substr(7));
            } else if (t[i].starts_with("fragment=") && pass.fragment.empty()) {
                pass.fragment = std::string(t[i].substr(9));
            } else if (t[i] == "state") {
                if (i + 2 >= t.size()) return Fail(line, "state needs a name and a value");
                uint32_t state = RenderStateByName(t[i + 1]);
                if (!state) return Fail(line, "unknown render state \"" + std::string(t[i + 1].substr(0, 80)) + "\"");
                uint32_t value;
                float f;
                if (ParseU32(t[i + 2], value)) {
                } else if ((state == kRsFogStart || state == kRsFogEnd) && ParseFloat(t[i + 2], f)) {
                    value = FloatBits(f);
                } else {
                    return Fail(line, "\"" + std::string(t[i + 2].substr(0, 80)) + "\" is not a state value");
                }
                pass.states.push_back({state, value});
                i += 2;
            } else {
                return Fail(line, "unexpected \"" + std::string(t[i].substr(0, 80)) + "\" in pass " + pass.name);
            }
        }
        if (pass.vertex.empty() || pass.fragment.empty())
            return Fail(line, "pass " + pass.name + " needs vertex= and fragment=");
        if (!IsIdentifier(pass.vertex) || !IsIdentifier(pass.fragment))
            return Fail(line, "pass " + pass.name + " names a function that is not an identifier");
        tech.passes.push_back(std::move(pass));
        passLines_.push_back(line);
        return true;
    }

    bool StartBlock(const Tokens& t, uint32_t firstLine, Block& block) {
        uint32_t line = firstLine - 1;
        block = Block{};
        block.line = firstLine;
        if (t.size() == 2 && t[1] == "common") {
            block.kind = 0;
            if (out_.common.empty()) out_.commonLine = firstLine;
            return true;
        }
        if (t.size() != 3 || (t[1] != "vertex" && t[1] != "fragment"))
            return Fail(line, "expected \"glsl common\", \"glsl vertex NAME\" or \"glsl fragment NAME\"");
        block.kind = t[1] == "vertex" ? 1 : 2;
        if (!CheckName(t[2], line, "function")) return false;
        ShaderStage stage = block.kind == 1 ? ShaderStage::Vertex : ShaderStage::Fragment;
        if (out_.FindShader(stage, t[2])) return Fail(line, "glsl " + std::string(t[1]) + " " + std::string(t[2]) + " is given twice");
        block.name = std::string(t[2]);
        return true;
    }

    bool EndBlock(Block& block) {
        if (block.kind == 0) {
            out_.common += block.code;
        } else {
            EffectShader s;
            s.stage = block.kind == 1 ? ShaderStage::Vertex : ShaderStage::Fragment;
            s.name = std::move(block.name);
            s.code = std::move(block.code);
            s.line = block.line;
            out_.shaders.push_back(std::move(s));
        }
        block = Block{};
        return true;
    }

    bool Finish(uint32_t lastLine) {
        if (out_.techniques.empty()) return Fail(lastLine, "no technique is declared");
        size_t passIndex = 0;
        for (const auto& tech : out_.techniques) {
            if (tech.passes.empty()) return Fail(lastLine, "technique " + tech.name + " has no pass");
            for (const auto& pass : tech.passes) {
                uint32_t line = passLines_[passIndex++];
                if (!out_.FindShader(ShaderStage::Vertex, pass.vertex))
                    return Fail(line, "no glsl vertex " + pass.vertex);
                if (!out_.FindShader(ShaderStage::Fragment, pass.fragment))
                    return Fail(line, "no glsl fragment " + pass.fragment);
            }
        }
        return true;
    }

    EffectDesc& out_;
    std::string& error_;
    std::vector<uint32_t> passLines_;
};

}  // namespace

const char* ParamTypeName(ParamType type) {
    for (const TypeName& n : kTypes)
        if (n.type == type) return n.text;
    return "?";
}

uint32_t ComponentCount(ParamType type) {
    switch (type) {
    case ParamType::Float:
    case ParamType::Int: return 1;
    case ParamType::Float2: return 2;
    case ParamType::Float3: return 3;
    case ParamType::Float4: return 4;
    case ParamType::Float4x4: return 16;
    case ParamType::Float3x4: return 12;
    case ParamType::Texture: return 0;
    }
    return 0;
}

uint32_t RenderStateByName(std::string_view name) {
    for (const StateName& s : kStates)
        if (name == s.text) return s.state;
    return 0;
}

const EffectParam* EffectDesc::FindParam(std::string_view name) const {
    for (const auto& p : params)
        if (p.name == name) return &p;
    return nullptr;
}

const EffectShader* EffectDesc::FindShader(ShaderStage stage, std::string_view name) const {
    for (const auto& s : shaders)
        if (s.stage == stage && s.name == name) return &s;
    return nullptr;
}

bool ParseEffect(std::string_view text, EffectDesc& out, std::string& error) {
    EffectDesc desc;
    error.clear();
    if (!Parser(desc, error).Run(text)) return false;
    out = std::move(desc);
    return true;
}

}  // namespace host::render

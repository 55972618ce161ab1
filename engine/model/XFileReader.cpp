#include "engine/model/XFileReader.h"

#include "engine/core/Number.h"
#include "host/kernel/Kernel.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

using host::kernel::IsDBCSLeadByte;

namespace {

constexpr u32 kHeaderBytes = 16;
constexpr char kDelimiters[] = " \r\n\t,;";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A word that can only be a number: inside an object the parse loop refuses
// it where a template, a reference or a closing brace belongs.
bool LooksNumeric(std::string_view w)
{
    return !w.empty() && (IsDigit(w[0]) || w[0] == '-' || w[0] == '+' || w[0] == '.');
}

// Decimal digits only, within 32 bits.
bool ParseCount(std::string_view w, u32* out)
{
    if (w.empty() || w.size() > 10) return false;
    u64 value = 0;
    for (char c : w) {
        if (!IsDigit(c)) return false;
        value = value * 10 + u64(c - '0');
    }
    if (value > UINT32_MAX) return false;
    *out = u32(value);
    return true;
}

// The forms a Windows C library prints for values that are no number:
// [sign] digits ".#" IND, INF, QNAN or SNAN, digits may follow ("1.#IND",
// "-1.#INF00"). Read as the C conversion reads them: the digits before the
// point, so no NaN or infinity gets into the model.
bool ParseWindowsSpecial(std::string_view w, f32* out)
{
    size_t i = 0;
    const bool negative = !w.empty() && w[0] == '-';
    if (!w.empty() && (w[0] == '+' || w[0] == '-')) ++i;
    u32 whole = 0;
    const size_t digitsAt = i;
    while (i < w.size() && IsDigit(w[i]) && i - digitsAt < 9) whole = whole * 10 + u32(w[i++] - '0');
    if (i == digitsAt || w.substr(i, 2) != ".#") return false;
    std::string_view rest = w.substr(i + 2);
    bool known = false;
    for (std::string_view word : {"IND", "INF", "QNAN", "SNAN"}) {
        if (rest.substr(0, word.size()) == word) {
            rest.remove_prefix(word.size());
            known = true;
            break;
        }
    }
    for (char c : rest) known = known && IsDigit(c);
    if (!known) return false;
    *out = negative ? -f32(whole) : f32(whole);
    return true;
}

// [sign] digits [. digits] [e [sign] digits], with a digit somewhere
// before the exponent; a finite float.
bool ParseReal(std::string_view w, f32* out)
{
    char text[64];
    if (w.empty() || w.size() >= sizeof text) return false;
    if (ParseWindowsSpecial(w, out)) return true;
    size_t i = 0;
    if (w[i] == '+' || w[i] == '-') ++i;
    size_t digits = 0;
    while (i < w.size() && IsDigit(w[i])) ++i, ++digits;
    if (i < w.size() && w[i] == '.') {
        ++i;
        while (i < w.size() && IsDigit(w[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
        ++i;
        if (i < w.size() && (w[i] == '+' || w[i] == '-')) ++i;
        size_t exponent = 0;
        while (i < w.size() && IsDigit(w[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    if (i != w.size()) return false;
    std::memcpy(text, w.data(), w.size());
    text[w.size()] = '\0';
    const f32 value = ParseFloat(text);
    if (!std::isfinite(value)) return false;
    *out = value;
    return true;
}

// A word for a message: cut short, and "the end of the file" for none.
std::string Shown(std::string_view w)
{
    if (w.empty()) return "the end of the file";
    std::string s = "\"";
    s.append(w.substr(0, 40));
    if (w.size() > 40) s += "...";
    return s + "\"";
}

}  // namespace

// ------------------------------------------------------------ entry points

i32 CqelAnalysXFile::Parse(CqelXModel* tree, const char* path)
{
    if (!tree) return 0;
    tree->Clear();
    m_errorText.clear();
    if (!path || !LoadFromFile(path)) {
        Fail(0, "cannot read %s", path ? path : "(no path)");
        return 0;
    }
    return ParseLoaded(tree);
}

i32 CqelAnalysXFile::ParseMemory(CqelXModel* tree, const void* data, u32 size)
{
    if (!tree) return 0;
    tree->Clear();
    m_errorText.clear();
    if (!data || size == 0 || !LoadFromMemory(data, size)) {
        Fail(0, "no data");
        return 0;
    }
    return ParseLoaded(tree);
}

i32 CqelAnalysXFile::ParseLoaded(CqelXModel* tree)
{
    m_lineCursor = 0;
    m_line = 1;
    if (!CheckHeader() || !ParseObjects(*tree) || !LinkNodes(tree)) {
        tree->Clear();
        return 0;
    }
    return 1;
}

bool CqelAnalysXFile::Fail(u32 line, const char* format, ...)
{
    if (!m_errorText.empty()) return false;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    m_errorText = line ? "line " + std::to_string(line) + ": " + text : text;
    return false;
}

u32 CqelAnalysXFile::CurrentLine()
{
    if (m_cursor < m_lineCursor) {
        m_lineCursor = 0;
        m_line = 1;
    }
    for (; m_lineCursor < m_cursor && m_lineCursor < m_size; ++m_lineCursor) {
        if (m_buffer[m_lineCursor] == '\n') ++m_line;
    }
    return m_line;
}

bool CqelAnalysXFile::CheckHeader()
{
    if (GetDataSize() < kHeaderBytes || std::memcmp(GetData(), "xof ", 4) != 0) {
        return Fail(0, "not a DirectX .x file (no \"xof \" header)");
    }
    if (std::memcmp(GetData() + 8, "txt ", 4) != 0) {
        return Fail(0, "not a text .x file (format \"%.4s\"); binary and compressed files are not read",
            reinterpret_cast<const char*>(GetData() + 8));
    }
    SetCursor(kHeaderBytes);
    SetDelimiters(kDelimiters);
    return true;
}

// ------------------------------------------------------------------ words

bool CqelAnalysXFile::SkipSpace()
{
    const char* delimiters = GetDelimiters();
    while (m_cursor < m_size) {
        if (SkipComment()) continue;
        const u8 c = m_buffer[m_cursor];
        if (c != 0 && !std::strchr(delimiters, c)) return true;
        ++m_cursor;
    }
    return false;
}

std::string_view CqelAnalysXFile::NextWord()
{
    if (!SkipSpace()) return {};
    const u32 start = m_cursor;
    const u8 first = m_buffer[m_cursor];
    if (first == '{' || first == '}') {
        ++m_cursor;
    } else {
        const char* delimiters = GetDelimiters();
        while (m_cursor < m_size) {
            const u8 c = m_buffer[m_cursor];
            if (IsDBCSLeadByte(c)) {
                m_cursor += m_cursor + 1 < m_size ? 2 : 1;
                continue;
            }
            if (c == 0 || c == '{' || c == '}' || std::strchr(delimiters, c)) break;
            ++m_cursor;
        }
    }
    return {reinterpret_cast<const char*>(m_buffer + start), m_cursor - start};
}

std::string_view CqelAnalysXFile::PeekWord()
{
    const u32 saved = m_cursor;
    const std::string_view w = NextWord();
    m_cursor = saved;
    return w;
}

// ---------------------------------------------------------------- numbers

bool CqelAnalysXFile::ReadU32(u32* out, const char* what)
{
    const std::string_view w = NextWord();
    if (ParseCount(w, out)) return true;
    return Fail(CurrentLine(), "%s: expected a whole number, found %s", what, Shown(w).c_str());
}

bool CqelAnalysXFile::ReadU16(u16* out, const char* what)
{
    u32 value = 0;
    if (!ReadU32(&value, what)) return false;
    // Kept in 16 bits: a larger value wraps.
    *out = u16(value);
    return true;
}

bool CqelAnalysXFile::ReadF32(f32* out, const char* what)
{
    const std::string_view w = NextWord();
    if (ParseReal(w, out)) return true;
    return Fail(CurrentLine(), "%s: expected a number, found %s", what, Shown(w).c_str());
}

bool CqelAnalysXFile::ReadF32s(f32* out, u32 count, const char* what)
{
    for (u32 i = 0; i < count; ++i) {
        if (!ReadF32(out + i, what)) return false;
    }
    return true;
}

bool CqelAnalysXFile::ReadMatrix(CMatrix* out, const char* what) { return ReadF32s(&out->m[0][0], 16, what); }

bool CqelAnalysXFile::ReadQuoted(std::string* out, const char* what)
{
    if (!SkipSpace() || m_buffer[m_cursor] != '"') {
        return Fail(CurrentLine(), "%s: expected a quoted string, found %s", what, Shown(PeekWord()).c_str());
    }
    const u32 line = CurrentLine();
    char* text = ReadQuotedString();
    if (HasError()) {
        AlignedFree(text);
        return Fail(line, "%s: the string never closes", what);
    }
    out->assign(text ? text : "");
    AlignedFree(text);
    return true;
}

bool CqelAnalysXFile::CheckRoom(u64 count, u32 wordsEach, const char* what)
{
    // Each word takes a character and a delimiter (the last may end the
    // text): n words need at least 2n - 1 bytes.
    if (count * wordsEach <= (u64(GetRemaining()) + 1) / 2) return true;
    return Fail(CurrentLine(), "%s %llu is more than the rest of the file holds", what,
        static_cast<unsigned long long>(count));
}

// ------------------------------------------------------------- structure

bool CqelAnalysXFile::ParseObjects(CqelXModel& tree)
{
    CqelXNode* current = nullptr;
    for (;;) {
        const std::string_view w = PeekWord();
        if (w.empty()) break;
        if (w == "{") {
            if (!ReadReference(tree, current)) return false;
        } else if (w == "}") {
            NextWord();
            if (!current) return Fail(CurrentLine(), "a \"}\" closes no object");
            current = current->Parent;
        } else if (const i32 type = FindXTemplate(std::string(w).c_str()); type >= 0) {
            NextWord();
            if (!OpenObject(tree, u32(type), current)) return false;
        } else if (current && LooksNumeric(w)) {
            // Inside an object a number where a template belongs means its
            // counts and data disagree; at top level it is skipped as any
            // other word is.
            NextWord();
            return Fail(CurrentLine(), "unexpected data %s in %s", Shown(w).c_str(), XTemplateName(current->GetType()));
        } else {
            NextWord();
            if (!SkipUnknownObject(w)) return false;
        }
    }
    if (current) {
        return Fail(CurrentLine(), "the file ends inside the %s begun on line %u", XTemplateName(current->GetType()),
            current->Line);
    }
    return true;
}

bool CqelAnalysXFile::OpenObject(CqelXModel& tree, u32 type, CqelXNode*& current)
{
    const char* templateName = XTemplateName(type);
    const u32 line = CurrentLine();
    std::string name;
    std::string_view w = NextWord();
    if (w != "{") {
        if (w.empty() || w == "}") return Fail(line, "%s: expected a name or \"{\", found %s", templateName, Shown(w).c_str());
        name.assign(w);
        w = NextWord();
        if (w != "{") return Fail(CurrentLine(), "%s %s: expected \"{\", found %s", templateName, name.c_str(), Shown(w).c_str());
    }
    // An object may name its template's class id first.
    if (const std::string_view id = PeekWord(); !id.empty() && id[0] == '<') NextWord();
    if (u64(tree.GetNodeCount() + 1) * kNodeCost > u64(m_size) * kNodeBytesPerTextByte + kNodeBytesAlways)
        return Fail(line, "%s: more objects than %u bytes of text hold", templateName, u32(m_size));
    CqelXNode* node = tree.AddNode(type, name.c_str(), current);
    if (!node) return Fail(line, "out of memory");
    node->Line = line;
    current = node;
    return ReadData(*node);
}

bool CqelAnalysXFile::ReadReference(CqelXModel& tree, CqelXNode* current)
{
    const u32 line = CurrentLine();
    NextWord();
    const std::string name(NextWord());
    if (name == "}") return true;   // "{}" names nothing
    if (name.empty() || name == "{") return Fail(line, "a reference names nothing");
    // A class id may follow the name.
    for (std::string_view w = NextWord(); w != "}"; w = NextWord()) {
        if (w.empty() || w == "{") return Fail(line, "the reference to %s never closes", name.c_str());
    }
    if (!current) return Fail(line, "a reference to %s stands outside any object", name.c_str());
    CqelXModel::AddReference(current, tree.FindNode(-1, name.c_str()));
    return true;
}

bool CqelAnalysXFile::SkipUnknownObject(std::string_view word)
{
    // Words (a name, a template's name) up to the object's block.
    const u32 line = CurrentLine();
    for (std::string_view w = NextWord(); w != "{"; w = NextWord()) {
        if (w.empty() || w == "}") return Fail(line, "%s is not followed by a block", Shown(word).c_str());
    }
    return SkipBlockBody(line);
}

bool CqelAnalysXFile::SkipBlockBody(u32 openLine)
{
    u32 depth = 1;
    while (m_cursor < m_size) {
        if (SkipComment()) continue;
        const u8 c = m_buffer[m_cursor];
        if (IsDBCSLeadByte(c)) {
            m_cursor += m_cursor + 1 < m_size ? 2 : 1;
            continue;
        }
        ++m_cursor;
        if (c == '"') {
            // Braces inside strings do not count.
            while (m_cursor < m_size && m_buffer[m_cursor] != '"') ++m_cursor;
            if (m_cursor < m_size) ++m_cursor;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return true;
        }
    }
    return Fail(openLine, "a block begun here never closes");
}

// ------------------------------------------------------------ data readers

bool CqelAnalysXFile::ReadData(CqelXNode& node)
{
    switch (node.GetType()) {
    case kXMesh: return ReadMesh(*node.As<XMesh>());
    case kXMeshTextureCoords: return ReadTextureCoords(*node.As<XMeshTextureCoords>());
    case kXMeshNormals: return ReadNormals(*node.As<XMeshNormals>());
    case kXMeshVertexColors: return ReadVertexColors(*node.As<XMeshVertexColors>());
    case kXMeshMaterialList: return ReadMaterialList(*node.As<XMeshMaterialList>());
    case kXMaterial: return ReadMaterial(*node.As<XMaterial>());
    case kXTextureFilename: return ReadQuoted(&node.As<XTextureFilename>()->FileName, "TextureFilename");
    case kXFrameTransformMatrix: return ReadMatrix(&node.As<XFrameTransformMatrix>()->Matrix, "FrameTransformMatrix");
    case kXAnimTicksPerSecond: return ReadAnimTicks(*node.As<XAnimTicksPerSecond>());
    case kXAnimationKey: return ReadAnimationKey(*node.As<XAnimationKey>());
    case kXSkinMeshHeader: return ReadSkinHeader(*node.As<XSkinMeshHeader>());
    case kXSkinWeights: return ReadSkinWeights(*node.As<XSkinWeights>());
    default: return true;   // Frame, Animation, AnimationSet, Relation hold no data of their own
    }
}

// The mesh's own faces are cut into triangles and need three indices; the
// normal faces are only matched against them.
bool CqelAnalysXFile::ReadFaces(XFaceList& faces, u32 count, bool mesh, const char* what)
{
    // A face is at least its count, and a mesh's three indices besides.
    if (!CheckRoom(count, mesh ? 4 : 1, (std::string(what) + " count").c_str())) return false;
    faces.Starts.assign(1, 0);
    faces.Starts.reserve(size_t(count) + 1);
    faces.Indices.clear();
    for (u32 f = 0; f < count; ++f) {
        u32 size = 0;
        if (!ReadU32(&size, what)) return false;
        if (size < 3 && mesh) return Fail(CurrentLine(), "%s: face %u has %u indices; a face needs three", what, f, size);
        if (!CheckRoom(size, 1, "face index count")) return false;
        for (u32 k = 0; k < size; ++k) {
            u32 index = 0;
            if (!ReadU32(&index, what)) return false;
            faces.Indices.push_back(index);
        }
        faces.Starts.push_back(u32(faces.Indices.size()));
    }
    return true;
}

bool CqelAnalysXFile::ReadMesh(XMesh& mesh)
{
    u32 count = 0;
    if (!ReadU32(&count, "Mesh vertex count") || !CheckRoom(count, 3, "Mesh vertex count")) return false;
    mesh.Vertices.resize(count);
    for (CVector3& v : mesh.Vertices) {
        if (!ReadF32s(&v.x, 3, "Mesh vertex")) return false;
    }
    return ReadU32(&count, "Mesh face count") && ReadFaces(mesh.Faces, count, true, "Mesh face");
}

bool CqelAnalysXFile::ReadTextureCoords(XMeshTextureCoords& coords)
{
    u32 count = 0;
    if (!ReadU32(&count, "MeshTextureCoords count") || !CheckRoom(count, 2, "MeshTextureCoords count")) return false;
    coords.Coords.resize(size_t(count) * 2);
    return ReadF32s(coords.Coords.data(), count * 2, "MeshTextureCoords");
}

bool CqelAnalysXFile::ReadNormals(XMeshNormals& normals)
{
    u32 count = 0;
    if (!ReadU32(&count, "MeshNormals count") || !CheckRoom(count, 3, "MeshNormals count")) return false;
    normals.Normals.resize(count);
    for (CVector3& n : normals.Normals) {
        if (!ReadF32s(&n.x, 3, "MeshNormals normal")) return false;
    }
    return ReadU32(&count, "MeshNormals face count") && ReadFaces(normals.FaceNormals, count, false, "MeshNormals face");
}

bool CqelAnalysXFile::ReadVertexColors(XMeshVertexColors& colors)
{
    u32 count = 0;
    if (!ReadU32(&count, "MeshVertexColors count") || !CheckRoom(count, 5, "MeshVertexColors count")) return false;
    colors.VertexIndices.resize(count);
    colors.Colors.resize(count);
    for (u32 i = 0; i < count; ++i) {
        if (!ReadU32(&colors.VertexIndices[i], "MeshVertexColors vertex index") ||
            !ReadF32s(&colors.Colors[i].x, 4, "MeshVertexColors colour")) {
            return false;
        }
    }
    return true;
}

bool CqelAnalysXFile::ReadMaterialList(XMeshMaterialList& list)
{
    u32 count = 0;
    if (!ReadU32(&list.MaterialCount, "MeshMaterialList material count") ||
        !ReadU32(&count, "MeshMaterialList face count") || !CheckRoom(count, 1, "MeshMaterialList face count")) {
        return false;
    }
    list.FaceMaterials.resize(count);
    for (u32& m : list.FaceMaterials) {
        if (!ReadU32(&m, "MeshMaterialList face material")) return false;
    }
    return true;
}

bool CqelAnalysXFile::ReadMaterial(XMaterial& material)
{
    return ReadF32s(&material.FaceColor.x, 4, "Material face colour") && ReadF32(&material.Power, "Material power") &&
           ReadF32s(&material.Specular.x, 3, "Material specular colour") &&
           ReadF32s(&material.Emissive.x, 3, "Material emissive colour");
}

bool CqelAnalysXFile::ReadAnimTicks(XAnimTicksPerSecond& ticks)
{
    // A rate of 0 or below is read; the converter then keeps the file's
    // tick counts as they are.
    return ReadF32(&ticks.TicksPerSecond, "AnimTicksPerSecond");
}

bool CqelAnalysXFile::ReadAnimationKey(XAnimationKey& key)
{
    u32 count = 0;
    if (!ReadU32(&key.KeyType, "AnimationKey type")) return false;
    const u32 values = XKeyValueCount(key.KeyType);
    if (values == 0) {
        return Fail(CurrentLine(), "AnimationKey type %u is none of rotation (0), scaling (1), position (2), matrix (4)",
            key.KeyType);
    }
    if (!ReadU32(&count, "AnimationKey key count") || !CheckRoom(count, 2 + values, "AnimationKey key count")) {
        return false;
    }
    key.Times.resize(count);
    key.Values.resize(size_t(count) * values);
    for (u32 i = 0; i < count; ++i) {
        u32 given = 0;
        if (!ReadU32(&key.Times[i], "AnimationKey time") || !ReadU32(&given, "AnimationKey value count")) return false;
        if (given != values) {
            return Fail(CurrentLine(), "AnimationKey: key %u holds %u values; key type %u takes %u", i, given,
                key.KeyType, values);
        }
        if (!ReadF32s(key.Values.data() + size_t(i) * values, values, "AnimationKey value")) return false;
    }
    return true;
}

bool CqelAnalysXFile::ReadSkinHeader(XSkinMeshHeader& header)
{
    return ReadU16(&header.MaxSkinWeightsPerVertex, "XSkinMeshHeader") &&
           ReadU16(&header.MaxSkinWeightsPerFace, "XSkinMeshHeader") && ReadU16(&header.BoneCount, "XSkinMeshHeader");
}

bool CqelAnalysXFile::ReadSkinWeights(XSkinWeights& weights)
{
    u32 count = 0;
    if (!ReadQuoted(&weights.TransformNodeName, "SkinWeights frame name") ||
        !ReadU32(&count, "SkinWeights weight count") || !CheckRoom(count, 2, "SkinWeights weight count")) {
        return false;
    }
    weights.VertexIndices.resize(count);
    weights.Weights.resize(count);
    for (u32& index : weights.VertexIndices) {
        if (!ReadU32(&index, "SkinWeights vertex index")) return false;
    }
    return ReadF32s(weights.Weights.data(), count, "SkinWeights weight") &&
           ReadMatrix(&weights.MatrixOffset, "SkinWeights offset matrix");
}

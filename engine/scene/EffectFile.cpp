// Reading and writing effect files: the object records and the container.
#include "engine/scene/EffectFile.h"

#include "engine/core/Endian.h"
#include "engine/core/Memory.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <memory>
#include <vector>

namespace effect_file {

bool ReadText(scene_file::Reader& in, char** out)
{
    *out = nullptr;
    u32 n = 0;
    if (!in.U32(n)) return false;
    if (n == 0) return true;
    if (in.Remaining() < n) return false;
    const u8* bytes = in.Here();
    const size_t length = strnlen(reinterpret_cast<const char*>(bytes), n);
    char* copy = static_cast<char*>(AlignedAlloc(u32(length + 1), 16));
    if (!copy) return false;
    std::memcpy(copy, bytes, length);
    copy[length] = '\0';
    in.Skip(n);
    *out = copy;
    return true;
}

void AppendU32(std::string& out, u32 value) { AppendLe32(out, value); }

void AppendF32(std::string& out, f32 value)
{
    u32 bits;
    std::memcpy(&bits, &value, 4);
    AppendLe32(out, bits);
}

void AppendText(std::string& out, const char* text)
{
    if (!text) {
        AppendU32(out, 0);
        return;
    }
    const size_t n = std::strlen(text) + 1;
    AppendU32(out, u32(n));
    out.append(text, n);
}

}  // namespace effect_file

using namespace effect_file;
using Cursor = scene_file::Reader;

namespace {

// Texts read for a record, freed unless taken.
struct Text {
    char* text = nullptr;
    Text() = default;
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { AlignedFree(text); }
};

f32 GetF32(const u8* p)
{
    const u32 bits = GetLe32(p);
    f32 v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// The settings blocks' fields, in file order.
struct BlockOut {
    std::string& out;
    void F(f32 v) { AppendF32(out, v); }
    void U(u32 v) { AppendU32(out, v); }
    void V3(const CVector3& v) { F(v.x), F(v.y), F(v.z); }
    void V4(const CVector4& v) { F(v.x), F(v.y), F(v.z), F(v.w); }
};

struct BlockIn {
    const u8* p;
    f32 F() { const f32 v = GetF32(p); p += 4; return v; }
    u32 U() { const u32 v = GetLe32(p); p += 4; return v; }
    CVector3 V3() { const f32 x = F(), y = F(); return CVector3(x, y, F()); }
    CVector4 V4() { const f32 x = F(), y = F(), z = F(); return CVector4(x, y, z, F()); }
};

void EncodeNode(std::string& out, const EffectNodeSettings& s)
{
    BlockOut w{out};
    w.F(s.life);
    out += char(s.resourceKind);
    out.append(reinterpret_cast<const char*>(s.unused), 3);
    w.F(s.radiusFactor);
    w.V3(s.axisWeights);
    w.U(s.sorted), w.U(s.billboard), w.U(s.blendMode), w.U(s.drawLayer), w.U(s.userWord);
    w.U(s.loopMode), w.U(s.flags), w.U(u32(s.volumeOffset)), w.U(s.rotationOrder);
}

void DecodeNode(const u8* block, EffectNodeSettings& s)
{
    BlockIn r{block};
    s.life = r.F();
    s.resourceKind = r.p[0];
    std::memcpy(s.unused, r.p + 1, 3);
    r.p += 4;
    s.radiusFactor = r.F();
    s.axisWeights = r.V3();
    s.sorted = r.U(), s.billboard = r.U(), s.blendMode = r.U(), s.drawLayer = r.U(), s.userWord = r.U();
    s.loopMode = r.U(), s.flags = r.U(), s.volumeOffset = i32(r.U()), s.rotationOrder = r.U();
}

void EncodeParticles(std::string& out, const EffectParticleSettings& s, u32 traceCount)
{
    BlockOut w{out};
    w.F(s.life);
    w.V3(s.offset), w.V3(s.offsetSpread), w.V3(s.rotationSpread), w.V3(s.scalingSpread);
    w.V3(s.scalingDecrease), w.V3(s.direction), w.V3(s.directionSpread), w.V3(s.spin);
    w.V4(s.colorSpread), w.V4(s.colorDecrease);
    w.F(s.speed), w.F(s.speedSpread), w.F(s.acceleration);
    w.U(s.unused), w.U(s.linked), w.U(traceCount);
}

void DecodeParticles(const u8* block, EffectParticleSettings& s)
{
    BlockIn r{block};
    s.life = r.F();
    s.offset = r.V3(), s.offsetSpread = r.V3(), s.rotationSpread = r.V3(), s.scalingSpread = r.V3();
    s.scalingDecrease = r.V3(), s.direction = r.V3(), s.directionSpread = r.V3(), s.spin = r.V3();
    s.colorSpread = r.V4(), s.colorDecrease = r.V4();
    s.speed = r.F(), s.speedSpread = r.F(), s.acceleration = r.F();
    s.unused = r.U(), s.linked = r.U(), s.traceCount = r.U();
}

// A stored block of any size over ours: the bytes we know of replace
// current's, the rest is skipped.
bool ReadBlock(Cursor& in, std::string& current)
{
    u32 size = 0;
    if (!in.U32(size) || in.Remaining() < size) return false;
    const size_t known = size < current.size() ? size : current.size();
    in.Take(current.data(), known);
    in.Skip(size - known);
    return true;
}

template <class Track>
bool ReadTrack(Cursor& in, Track& track)
{
    const size_t left = in.Remaining();
    u32 used = 0;
    if (!track.ReadFromMemory(in.Here(), left > UINT32_MAX ? UINT32_MAX : u32(left), &used)) return false;
    return in.Skip(used);
}

template <class Track>
void AppendTrack(std::string& out, const Track& track)
{
    scene_file::Sink sink;
    track.WriteToFile(&sink);
    out += sink.Bytes();
}

bool ReadTrace(Cursor& in, CEffectTrace& trace)
{
    u8 fixed[36];
    Text name;
    if (!in.Skip(4) || !in.Take(fixed, sizeof fixed) || !ReadText(in, &name.text)) return false;
    BlockIn r{fixed};
    trace.edge0 = r.V3();
    trace.edge1 = r.V3();
    trace.alphaDecrease = r.F();
    trace.widthFactor = r.F();
    trace.vertexCount = r.U();
    trace.SetTextureName(name.text);
    return !name.text || trace.GetTextureName();
}

}  // namespace

// ------------------------------------------------------------------ records

void CEffectObject::AppendRecord(std::string& out) const
{
    AppendText(out, GetName());
    AppendText(out, m_resourceName);
    AppendTrack(out, m_position);
    AppendTrack(out, m_rotation);
    AppendTrack(out, m_scaling);
    AppendTrack(out, m_color);
    AppendTrack(out, m_uv);
    AppendTrack(out, m_rect);
    AppendTrack(out, m_animation);
    AppendTrack(out, m_particle);
    AppendTrack(out, m_play);
    AppendU32(out, kEffectNodeSettingsSize);
    EncodeNode(out, m_node);
    // The count always matches the entries that follow.
    const u32 traces = GetTraceCount();
    AppendU32(out, kEffectParticleSettingsSize);
    EncodeParticles(out, m_particles, traces);
    for (u32 i = 0; i < traces; ++i) {
        const CEffectTrace& t = *GetTrace(i);
        BlockOut w{out};
        w.U(0);
        w.V3(t.edge0), w.V3(t.edge1);
        w.F(t.alphaDecrease), w.F(t.widthFactor), w.U(t.vertexCount);
        AppendText(out, t.GetTextureName());
    }
    AppendText(out, m_trailingText);
}

bool CEffectObject::ParseInto(Cursor& in)
{
    Text name, resource, trailing;
    if (!ReadText(in, &name.text) || !ReadText(in, &resource.text)) return false;
    if (!ReadTrack(in, m_position) || !ReadTrack(in, m_rotation) || !ReadTrack(in, m_scaling) ||
        !ReadTrack(in, m_color) || !ReadTrack(in, m_uv) || !ReadTrack(in, m_rect) || !ReadTrack(in, m_animation) ||
        !ReadTrack(in, m_particle) || !ReadTrack(in, m_play))
        return false;
    std::string node, particles;
    EncodeNode(node, m_node);
    // The count is the file's alone: a block too short to hold it has no
    // entries after it, whatever this object held before.
    EncodeParticles(particles, m_particles, 0);
    if (!ReadBlock(in, node) || !ReadBlock(in, particles)) return false;
    DecodeNode(reinterpret_cast<const u8*>(node.data()), m_node);
    DecodeParticles(reinterpret_cast<const u8*>(particles.data()), m_particles);
    const u32 traces = m_particles.traceCount;
    m_traces.Release();
    m_traces.SetName("Trace");
    m_particles.traceCount = 0;
    if (!in.Fits(traces, kMinTraceEntry)) return false;
    for (u32 i = 0; i < traces; ++i) {
        CEffectTrace trace;
        if (!ReadTrace(in, trace) || !AddTrace(trace)) return false;
    }
    if (!ReadText(in, &trailing.text)) return false;
    if (name.text) {
        if (!SetName(name.text)) return false;
    } else {
        ClearName();
    }
    AlignedFree(m_resourceName);
    m_resourceName = resource.text;
    resource.text = nullptr;
    AlignedFree(m_trailingText);
    m_trailingText = trailing.text;
    trailing.text = nullptr;
    // The kind is the stored one; binding looks the name up by it.
    m_resource = nullptr;
    ResolveResource();
    // Parent links live only in memory.
    m_parent = nullptr;
    return true;
}

u32 CEffectObject::ParseRecord(const u8* data, size_t size, size_t* used)
{
    if (!data) return 0;
    // A trial read on a fresh object first, so that a damaged record
    // changes nothing here.
    {
        CEffectObject trial;
        Cursor probe(data, size);
        if (!trial.ParseInto(probe)) return 0;
    }
    Cursor in(data, size);
    if (!ParseInto(in)) return 0;
    if (used) *used = in.Used();
    return 1;
}

u32 CEffectObject::Read(const char* path, host::kernel::File* file)
{
    std::string bytes;
    int64_t at = 0;
    if (file) {
        at = file->Tell();
        const int64_t size = file->Size();
        if (at < 0 || size < at) return 0;
        bytes.resize(size_t(size - at));
        const size_t got = file->Read(bytes.data(), bytes.size());
        bytes.resize(got);
    } else if (!path || !host::kernel::ReadWholeFile(path, bytes)) {
        return 0;
    }
    size_t used = 0;
    const u32 read = ParseRecord(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), &used);
    if (file) file->Seek(at + (read ? int64_t(used) : 0), host::kernel::SeekOrigin::Begin);
    return read;
}

u32 CEffectObject::Write(const char* path, host::kernel::File* file) const
{
    std::string out;
    AppendRecord(out);
    if (file) return file->Write(out.data(), out.size()) == out.size() ? 1 : 0;
    if (!path) return 0;
    return host::kernel::WriteFileAtomic(path, out.data(), out.size()) ? 1 : 0;
}

// ------------------------------------------------------------------ container

namespace {

// The path rule of Load and Save.
std::string EffectPath(const char* path, const char* name)
{
    if (path) return path;
    return std::string(name ? name : "") + ".efc";
}

}  // namespace

u32 CEffectContainer::Load(const char* path)
{
    std::string bytes;
    if (!host::kernel::ReadWholeFile(EffectPath(path, GetName()), bytes)) return 0;
    return LoadFromMemory(bytes.data(), bytes.size());
}

u32 CEffectContainer::LoadFromMemory(const void* data, size_t size)
{
    if (!data) return 0;
    Cursor in(data, size);
    Text name;
    u32 count = 0;
    if (!ReadText(in, &name.text) || !in.U32(count) || !in.Fits(count, kMinObjectRecord)) return 0;
    std::vector<std::unique_ptr<CEffectObject>> read;
    read.reserve(count);
    for (u32 i = 0; i < count; ++i) {
        std::unique_ptr<CEffectObject> object(new CEffectObject());
        size_t used = 0;
        if (!object || !object->ParseRecord(in.Here(), in.Remaining(), &used)) return 0;
        in.Skip(used);
        read.push_back(std::move(object));
    }
    // Only a whole file changes the container.
    const u32 before = GetObjectCount();
    for (auto& object : read) {
        if (!AddObject(object.get())) {
            while (GetObjectCount() > before) m_objects.RemoveAt(GetObjectCount() - 1);
            return 0;
        }
        object.release();
    }
    if (name.text) {
        SetName(name.text);
    } else {
        ClearName();
    }
    return 1;
}

std::string CEffectContainer::SaveToMemory() const
{
    std::string out;
    AppendText(out, GetName());
    // A slot left empty by a copy that could not be made is not stored.
    u32 count = 0;
    for (u32 i = 0; i < GetObjectCount(); ++i) count += GetObject(i) ? 1 : 0;
    AppendU32(out, count);
    for (u32 i = 0; i < GetObjectCount(); ++i) {
        if (const CEffectObject* object = GetObject(i)) object->AppendRecord(out);
    }
    return out;
}

u32 CEffectContainer::Save(const char* path) const
{
    const std::string out = SaveToMemory();
    const std::string target = EffectPath(path, GetName());
    return host::kernel::WriteFileAtomic(target, out.data(), out.size()) ? 1 : 0;
}

#include "engine/scene/EffectContainer.h"

#include "engine/scene/SceneFile.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <string>

namespace {

// The path rule of Load and Save.
std::string EffectPath(const char* path, const char* name)
{
    if (path) return path;
    return std::string(name ? name : "") + ".efc";
}

}  // namespace

CEffectContainer::CEffectContainer() { SetType(kResourceType); }

CEffectContainer::CEffectContainer(const CEffectContainer& other) = default;

CEffectContainer::~CEffectContainer() = default;

u32 CEffectContainer::Load(const char* path)
{
    std::string bytes;
    if (!host::kernel::ReadWholeFile(EffectPath(path, GetName()), bytes)) return 0;
    scene_file::Reader in(bytes.data(), bytes.size());
    u32 nameSize = 0, count = 0;
    const u8* name = nullptr;
    if (!in.U32(nameSize) || (nameSize && !in.Name(nameSize, &name)) || !in.U32(count) || count != 0) return 0;
    if (!nameSize) {
        ClearName();
        return 1;
    }
    char* copy = AllocName(nameSize);
    if (!copy) return 0;
    std::memcpy(copy, name, nameSize);
    return 1;
}

u32 CEffectContainer::Save(const char* path) const
{
    scene_file::Sink out;
    const char* name = GetName();
    if (!scene_file::WriteName(out, name, name ? GetNameLength() : 0) || !scene_file::WriteU32(out, 0)) return 0;
    const std::string target = EffectPath(path, name);
    return host::kernel::WriteFileAtomic(target, out.Bytes().data(), out.Bytes().size()) ? 1 : 0;
}

u32 CEffectContainer::BindResources(CResourceList*, CResourceList*, CResourceList*, CResourceList*) { return 1; }

// Writing a resource list file with archives of every loaded medium.
//
// Media are gathered beside the list file in "Texture\", "Shader\",
// "Sound\" and "Mesh\" and packed into "Data\Texture.gpk" and the like;
// effects and layouts are written as files of their own under "Effect\" and
// "Scene\". The archives' entries are read from, and the archives written
// to, paths relative to the working directory, which is expected to be the
// folder of the list file.
#include "engine/scene/ResourceController.h"

#include "engine/core/PackFile.h"
#include "engine/core/Path.h"
#include "engine/model/Mesh.h"
#include "engine/platform/System.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneResource.h"
#include "host/kernel/Kernel.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr char kSaveTitle[] = "ゲームリソースコントローラーを保存";
// Description and pattern, each ending in its NUL, then an empty one.
constexpr char kSaveFilter[] = "ゲームリソースコントローラー(*.grc)\0*.grc\0";
constexpr char kSaveExtension[] = "grc";

template <class T>
T* Element(const CResourceList& list, u32 i)
{
    return static_cast<T*>(static_cast<CValueBase*>(list.GetAt(i)));
}

// Made when missing; a folder that cannot be made shows when its files
// cannot be written.
void MakeFolder(const std::string& path) { host::kernel::CreateDirectory(path); }

// Effect and layout names come from their files: one that is not a plain
// file name would place its file outside its folder.
bool IsPlainName(const char* name)
{
    if (!name || !*name) return false;
    for (const char* p = name; *p; ++p) {
        // A trail byte may be 0x5C without being a separator.
        if (host::kernel::IsDBCSLeadByte(u8(*p)) && p[1]) {
            ++p;
            continue;
        }
        if (*p == '\\' || *p == '/' || *p == ':') return false;
    }
    return true;
}

// Whether a file can be made at path: it names no folder, and a scratch
// file beside it can be created (and is removed again). The list is written
// atomically later on; this only has to know that its folder takes new files.
bool CanCreateFileAt(const std::string& path)
{
    const std::string folder = path.substr(0, FolderPartLength(path.c_str()));
    const std::string name = path.substr(folder.size());
    if (name.empty() || name == "." || name == ".." || host::kernel::DirectoryExists(path)) return false;
    for (int i = 0; i < 16; ++i) {
        const std::string scratch = folder + "." + name + ".check" + std::to_string(i);
        if (host::kernel::FileExists(scratch) || host::kernel::DirectoryExists(scratch)) continue;
        std::unique_ptr<host::kernel::File> file = host::kernel::OpenFile(scratch, "wb");
        if (!file) return false;
        file.reset();
        host::kernel::DeleteFile(scratch);
        return true;
    }
    return false;
}

}  // namespace

u32 CResourceController::WriteRecord(host::kernel::File* file, const char* text)
{
    return file && CResourceControllerFile::WriteRecord(*file, text) ? 1 : 0;
}

u32 CResourceController::SaveOther(const char*, host::kernel::File*) { return 1; }

u32 CResourceController::SaveGrc(CSystem* system, u32 ask)
{
    if (!system) return 0;
    if (!GetName() || ask) {
        char chosen[kMaxPath] = {};
        if (const char* name = GetName(); name && std::strlen(name) < kMaxPath) std::strcpy(chosen, name);
        if (!system->ShowSaveFileDialog(chosen, kSaveTitle, kSaveFilter, kSaveExtension)) return 0;
        if (!SetName(chosen)) return 0;
    }
    const std::string path = GetName() ? GetName() : "";
    if (path.empty()) return 0;
    const std::string folder = path.substr(0, FolderPartLength(path.c_str()));
    // A list that cannot be written fails the save before any archive or
    // medium copy replaces what is on disk.
    if (!CanCreateFileAt(path)) return 0;

    scene_file::Sink out;
    if (!scene_file::WriteU32(out, m_headerValue)) return 0;
    if (!SaveTextures(folder, out) || !SaveShaders(folder, out) || !SaveModels(folder, out) ||
        !SaveSounds(folder, out) || !SaveEffects(folder, out) || !SaveScenes(folder, out))
        return 0;
    if (!SaveOther(folder.c_str(), &out) || !WriteRecord(&out, CResourceControllerFile::kEndRecord)) return 0;
    return host::kernel::WriteFileAtomic(path, out.Bytes().data(), out.Bytes().size()) ? 1 : 0;
}

u32 CResourceController::WriteArchive(const std::string* entries, u32 count, const char* archive,
                                      host::kernel::File& file)
{
    std::vector<const char*> paths;
    for (u32 i = 0; i < count; ++i) paths.push_back(entries[i].c_str());
    MakeFolder("Data");
    if (!CqelPackFile::Write(paths.data(), count, archive)) return 0;
    return WriteRecord(&file, archive);
}

u32 CResourceController::SaveCopiedMedia(const CResourceList& list, const char* sub, const char* archive,
                                         const std::string& folder, host::kernel::File& file)
{
    MakeFolder(folder + sub);
    std::vector<std::string> entries;
    for (u32 i = 0; i < list.GetCount(); ++i) {
        const CResourceBase* resource = Element<CResourceBase>(list, i);
        const char* name = resource ? resource->GetName() : nullptr;
        if (!name) continue;
        const std::string entry = std::string(sub) + "\\" + FileNamePart(name);
        if (entry != name) {
            // A source that cannot be read is left out of the folder; the
            // archive then refuses the entry.
            std::string bytes;
            if (host::kernel::ReadWholeFile(name, bytes))
                host::kernel::WriteFileAtomic(folder + entry, bytes.data(), bytes.size());
        }
        entries.push_back(entry);
    }
    return WriteArchive(entries.data(), u32(entries.size()), archive, file);
}

u32 CResourceController::SaveTextures(const std::string& folder, host::kernel::File& file)
{
    return SaveCopiedMedia(m_textures, "Texture", "Data\\Texture.gpk", folder, file);
}

u32 CResourceController::SaveShaders(const std::string& folder, host::kernel::File& file)
{
    return SaveCopiedMedia(m_shaders, "Shader", "Data\\Shader.gpk", folder, file);
}

u32 CResourceController::SaveSounds(const std::string& folder, host::kernel::File& file)
{
    return SaveCopiedMedia(m_sounds, "Sound", "Data\\Sound.gpk", folder, file);
}

u32 CResourceController::SaveModels(const std::string& folder, host::kernel::File& file)
{
    MakeFolder(folder + "Mesh");
    std::vector<std::string> entries;
    for (u32 i = 0; i < m_models.GetCount(); ++i) {
        const CMesh* mesh = Element<CMesh>(m_models, i);
        const char* name = mesh ? mesh->GetName() : nullptr;
        if (!name) continue;
        const std::string entry = std::string("Mesh\\") + FileNamePart(name);
        if (!mesh->Write((folder + entry).c_str())) return 0;
        entries.push_back(entry);
    }
    return WriteArchive(entries.data(), u32(entries.size()), "Data\\Mesh.gpk", file);
}

u32 CResourceController::SaveEffects(const std::string& folder, host::kernel::File& file)
{
    MakeFolder(folder + "Effect");
    for (u32 i = 0; i < m_effects.GetCount(); ++i) {
        const CEffectContainer* effect = Element<CEffectContainer>(m_effects, i);
        if (!effect || !IsPlainName(effect->GetName())) continue;
        // A record that would not fit is not written, nor is its file.
        const std::string record = std::string("Effect\\") + effect->GetName() + ".efc";
        if (record.size() >= CResourceControllerFile::kRecordSize) continue;
        if (effect->Save((folder + record).c_str()) && !WriteRecord(&file, record.c_str())) return 0;
    }
    return 1;
}

u32 CResourceController::SaveScenes(const std::string& folder, host::kernel::File& file)
{
    MakeFolder(folder + "Scene");
    for (u32 i = 0; i < m_scenes.GetCount(); ++i) {
        const CSceneResource* scene = Element<CSceneResource>(m_scenes, i);
        if (!scene || !IsPlainName(scene->GetName())) continue;
        const std::string record = std::string("Scene\\") + scene->GetName() + ".sce";
        if (record.size() >= CResourceControllerFile::kRecordSize) continue;
        if (scene->Save((folder + record).c_str()) && !WriteRecord(&file, record.c_str())) return 0;
    }
    return 1;
}

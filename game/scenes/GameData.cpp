#include "game/scenes/GameData.h"

#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/core/Random.h"
#include "engine/core/String.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/Movie.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/ResourceController.h"
#include "game/data/SaveConfig.h"
#include "game/data/TensionFile.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

const std::array<GameArchive, 14> kFirstFolderArchives = {{
    {"BGMPACK", "Data\\Bgm.gpk", kPackKeyFirst},
    {"SEPACK", "Data\\SE.gpk", kPackKeyFirst},
    {"PELLUPACK", "Data\\Pellu.gpk", kPackKeyFirst},
    {"MIRAVOPACK", "Data\\Miravo.gpk", kPackKeyFirst},
    {"QUENAPACK", "Data\\Quena.gpk", kPackKeyFirst},
    {"EZMELPACK", "Data\\Ezmel.gpk", kPackKeyFirst},
    {"TUBECAPACK", "Data\\Tubeca.gpk", kPackKeyFirst},
    {"KERLIAPACK", "Data\\Kerlia.gpk", kPackKeyFirst},
    {"STAGE03PACK", "Data\\Stage03.gpk", kPackKeyFirst},
    {"STAGE04PACK", "Data\\Stage04.gpk", kPackKeyFirst},
    {"STAGE06PACK", "Data\\Stage06.gpk", kPackKeyFirst},
    {"STAGE07PACK", "Data\\Stage07.gpk", kPackKeyFirst},
    {"STAGE08PACK", "Data\\Stage08.gpk", kPackKeyFirst},
    {"STAGE09PACK", "Data\\Stage09.gpk", kPackKeyFirst},
}};

const std::array<GameArchive, 14> kSecondFolderArchives = {{
    {"BGMPACK", "Data\\Bgm.gpk", kPackKeyFirst},
    {"SEPACK", "Data\\SE.gpk", kPackKeyFirst},
    {"STAGE10PACK", "Data\\Stage10.gpk", kPackKeySecond},
    {"GRELLPACK", "Data\\Grell.gpk", kPackKeySecond},
    {"DRUSAPACK", "Data\\Drusa.gpk", kPackKeySecond},
    {"LOSSINPACK", "Data\\Lossin.gpk", kPackKeySecond},
    {"BIALTOPACK", "Data\\Bialto.gpk", kPackKeySecond},
    {"SIRKELPACK", "Data\\Sirkel.gpk", kPackKeySecond},
    {"VEKPACK", "Data\\Vek.gpk", kPackKeySecond},
    {"STAGE12PACK", "Data\\Stage12.gpk", kPackKeySecond},
    {"STAGE15PACK", "Data\\Stage15.gpk", kPackKeySecond},
    {"STAGE16PACK", "Data\\Stage16.gpk", kPackKeySecond},
    {"STAGE17PACK", "Data\\Stage17.gpk", kPackKeySecond},
    {"STAGE18PACK", "Data\\Stage18.gpk", kPackKeySecond},
}};

const std::array<GameArchive, 14> kSharedArchives = {{
    {"SCENEPACK", "Data\\Scene.gpk", kPackKeyFirst},
    {"OMBRISAPACK", "Data\\Ombrisa.gpk", kPackKeySecond},
    {"NAVOIEPACK", "Data\\Navoie.gpk", kPackKeySecond},
    {"OVUPACK", "Data\\Ovu.gpk", kPackKeyFirst},
    {"WENNAPACK", "Data\\Wenna.gpk", kPackKeyFirst},
    {"STAGESHARINGPACK", "Data\\StageSharing.gpk", kPackKeyFirst},
    {"TALVEPACK", "Data\\Talve.gpk", kPackKeyFirst},
    {"DERONAPACK", "Data\\Derona.gpk", kPackKeyFirst},
    {"STAGE01PACK", "Data\\Stage01.gpk", kPackKeyFirst},
    {"STAGE02PACK", "Data\\Stage02.gpk", kPackKeyFirst},
    {"STAGE05PACK", "Data\\Stage05.gpk", kPackKeyFirst},
    {"STAGE13PACK", "Data\\Stage13.gpk", kPackKeyFirst},
    {"STAGE14PACK", "Data\\Stage14.gpk", kPackKeyFirst},
    {"STAGE19PACK", "Data\\Stage19.gpk", kPackKeyFirst},
}};

namespace {

namespace kernel = host::kernel;

// A built-in track whose music is missing, an archive (or resource list)
// that does not register; each followed by what it was.
constexpr const char* kTrackMissing = "BGMファイルが開けません";
constexpr const char* kArchiveMissing = "アーカイブが読み込めません";

void Tell(const LoadMessageSink& messages, const std::string& text)
{
    if (messages) messages(text);
}

// A path field of the configuration: its text up to the first zero, or
// all of it when the field has none (the file is edited outside the game).
std::string ReadField(const char (&field)[kBgmPathSize]) { return std::string(field, strnlen(field, kBgmPathSize)); }

std::string WithoutTrailingSlash(std::string folder)
{
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string Absolute(const std::string& folder)
{
    if (!folder.empty() && folder[0] == '/') return WithoutTrailingSlash(folder);
    const std::string cwd = kernel::GetCurrentDirectory();
    if (folder.empty() || folder == ".") return cwd;
    return WithoutTrailingSlash(cwd + "/" + folder);
}

std::vector<std::string> SplitFolders(const char* text)
{
    std::vector<std::string> folders;
    std::string part;
    for (const char* c = text;; ++c) {
        if (*c == ':' || *c == '\0') {
            if (!part.empty()) folders.push_back(part);
            part.clear();
            if (*c == '\0') break;
        } else {
            part += *c;
        }
    }
    return folders;
}

std::string ResourceOf(const std::string& folder) { return folder + "/" + CGameData::kResourceFolder; }

// An archive of the tables (ASCII) under a folder's Resource/, for messages.
std::string ArchiveIn(const std::string& folder, const char* path)
{
    std::string where = ResourceOf(folder) + "/" + path;
    for (size_t i = where.size() - std::strlen(path); i < where.size(); ++i)
        if (where[i] == '\\') where[i] = '/';
    return where;
}

}  // namespace

bool FindDataFolders(const std::vector<std::string>& args, const char* orvData, DataFolders& folders,
    std::string* error)
{
    // Each source names one or two folders; only the first two count.
    std::vector<std::vector<std::string>> sources;
    if (!args.empty()) sources.emplace_back(args.begin(), args.begin() + std::min<size_t>(args.size(), 2));
    if (orvData) {
        std::vector<std::string> named = SplitFolders(orvData);
        if (named.size() > 2) named.resize(2);
        if (!named.empty()) sources.push_back(named);
    }
    sources.push_back({"."});

    std::string tried;
    for (const auto& source : sources) {
        std::vector<std::string> found;
        for (const std::string& folder : source) {
            const std::string absolute = Absolute(folder);
            if (kernel::DirectoryExists(ResourceOf(absolute))) {
                found.push_back(absolute);
            } else {
                tried += "\n" + absolute;
            }
        }
        if (found.size() == source.size()) {
            folders.first = found[0];
            folders.second = found.size() > 1 ? found[1] : found[0];
            return true;
        }
    }
    if (error) *error = "データフォルダが見つかりません (Resource フォルダを探した場所):" + tried;
    return false;
}

CGameData::CGameData(DataFolders folders) : m_folders(std::move(folders))
{
    if (m_folders.second.empty()) m_folders.second = m_folders.first;
}

CGameData::~CGameData() = default;

std::vector<const std::string*> CGameData::DistinctFolders() const
{
    if (m_folders.second == m_folders.first) return {&m_folders.first};
    return {&m_folders.first, &m_folders.second};
}

bool CGameData::EnterResource(const std::string& folder) { return kernel::SetCurrentDirectory(ResourceOf(folder)); }

std::unique_ptr<CResourceList> CGameData::OpenPack(const char* fileName, u32 identifier, u8 key) const
{
    auto list = std::make_unique<CResourceList>();
    if (!fileName) return list;
    for (const std::string* folder : DistinctFolders()) {
        if (!EnterResource(*folder)) continue;
        auto pack = std::make_unique<CqelPackFile>();
        if (!pack->OpenScrambled(fileName, identifier, key)) continue;
        void* element = static_cast<CValueBase*>(pack.get());
        if (list->Add(&element)) pack.release();
    }
    return list;
}

i32 CGameData::LoadFromPackList(const char* entry, const CList<void*>* packs, CSoundBuffer* sound, u32 voices,
    u32 flags)
{
    if (!entry || !packs || !sound) return 0;
    for (u32 i = 0; i < packs->GetCount(); ++i) {
        const auto* pack = static_cast<const CqelPackFile*>(static_cast<CValueBase*>(packs->GetAt(i)));
        if (pack && pack->FindEntry(entry) && sound->LoadFromPack(pack, entry, voices, flags)) return 1;
    }
    return 0;
}

i32 CGameData::LoadTextureFromPackList(const char* entry, const CList<void*>* packs, CTexture* texture)
{
    if (!entry || !packs || !texture) return 0;
    for (u32 i = 0; i < packs->GetCount(); ++i) {
        const auto* pack = static_cast<const CqelPackFile*>(static_cast<CValueBase*>(packs->GetAt(i)));
        if (pack && pack->FindEntry(entry) && texture->LoadFromPack(pack, entry)) return 1;
    }
    return 0;
}

u8* CGameData::ReadFromPackList(const char* entry, const CList<void*>* packs, u32* size)
{
    for (u32 i = 0; entry && packs && i < packs->GetCount(); ++i) {
        const auto* pack = static_cast<const CqelPackFile*>(static_cast<CValueBase*>(packs->GetAt(i)));
        if (!pack || !pack->FindEntry(entry)) continue;
        if (u8* bytes = pack->ReadEntry(entry, size)) return bytes;
    }
    return nullptr;
}

void CGameData::LoadTexturesFromPackList(const char* const* entries, u32 count, const CList<void*>* packs,
    CTexture* const* textures, i32* loaded)
{
    // Each read from the first archive holding it, all decoded together; one
    // that does not load there is tried as LoadTextureFromPackList tries it.
    std::vector<CTexture::MemoryFile> files(count);
    for (u32 e = 0; e < count; ++e) {
        files[e] = {textures[e], nullptr, entries[e], 0, 0};
        files[e].bytes = ReadFromPackList(entries[e], packs, &files[e].size);
        if (!files[e].bytes) files[e].texture = nullptr;   // nothing to decode
    }
    CTexture::LoadEachFromMemory(files.data(), count);
    for (u32 e = 0; e < count; ++e) {
        AlignedFree(const_cast<void*>(files[e].bytes));
        loaded[e] = files[e].loaded ? 1 : LoadTextureFromPackList(entries[e], packs, textures[e]);
    }
}

i32 CGameData::OpenMovie(const char* path, CMovie* movie) const
{
    // Drawn whether or not the folders differ: the generator's sequence
    // does not depend on the installation.
    const std::string& folder = RandomInt(2) == 1 ? m_folders.second : m_folders.first;
    EnterResource(folder);
    return movie && path && movie->Open(path) ? 1 : 0;
}

i32 CGameData::FindDataFile(const char* path) const
{
    if (!path) return 0;
    for (const std::string* folder : {&m_folders.first, &m_folders.second}) {
        if (EnterResource(*folder) && kernel::OpenFile(path, "rb")) return 1;
    }
    return 0;
}

i32 CGameData::SetDataFolder(u32 which) const
{
    EnterResource(which == 1 ? m_folders.first : m_folders.second);
    return 1;
}

std::string CGameData::TrackName(u32 slot)
{
    if (slot >= kBuiltInSlots) return {};
    char name[32];
    if (slot < kOriginalTracks) {
        std::snprintf(name, sizeof name, "Vocal_orig_%02u.ogg", slot + 1);
    } else {
        std::snprintf(name, sizeof name, "Vocal_prov_%02u.ogg", slot - kOriginalTracks + 1);
    }
    return name;
}

std::string CGameData::ScriptName(u32 slot)
{
    std::string name = TrackName(slot);
    if (!name.empty()) name.replace(name.size() - 3, 3, "txt");
    return name;
}

CSoundBuffer* CGameData::LoadBgm(u32 slot, const CList<void*>* packs, const LoadMessageSink& messages) const
{
    auto sound = std::make_unique<CSoundBuffer>();
    if (slot < kBuiltInSlots) {
        return LoadFromPackList(TrackName(slot).c_str(), packs, sound.get(), 1, 0) ? sound.release() : nullptr;
    }
    if (slot >= kMusicSlots || !m_config) return nullptr;
    const ConfigBgmRow& row = m_config->GetBgmSection()->rows[slot - kBuiltInSlots];
    const std::string music = ReadField(row.bgmPath);
    if (music.empty() || ReadField(row.tensionPath).empty()) return nullptr;
    if (!sound->Load(music.c_str(), 1, 0)) {
        Tell(messages, kUserMusicMissing);
        return nullptr;
    }
    return sound.release();
}

i32 CGameData::RegisterPacks(CResourceController& resources, const LoadMessageSink& messages) const
{
    // Archives already registered from the same folder (both folders may
    // be one installation) are not registered twice.
    std::set<std::string> registered;
    auto load = [&](const std::string& folder, const char* path, auto&& loader) {
        const std::string where = ArchiveIn(folder, path);
        if (!registered.insert(where).second || loader()) return true;
        Tell(messages, std::string(kArchiveMissing) + "\n" + where);
        return false;
    };
    auto registerList = [&](const std::string& folder, const auto& archives) {
        for (const GameArchive& a : archives) {
            auto loader = [&] { return resources.LoadScrambledPack(a.path, Crc32String(a.packName), a.key, 1) != 0; };
            if (!load(folder, a.path, loader)) return false;
        }
        return true;
    };
    const std::string* folders[] = {&m_folders.first, &m_folders.second};
    for (u32 i = 0; i < 2; ++i) {
        const std::string& folder = *folders[i];
        if (!EnterResource(folder)) {
            Tell(messages, std::string(kArchiveMissing) + "\n" + ResourceOf(folder));
            return 0;
        }
        if (!load(folder, kResourceList, [&] { return resources.Load(kResourceList, 1) != 0; })) return 0;
        if (!registerList(folder, i == 0 ? kFirstFolderArchives : kSecondFolderArchives)) return 0;
    }
    return registerList(m_folders.second, kSharedArchives) ? 1 : 0;
}

i32 CGameData::LoadResources(CResourceController& resources, const LoadMessageSink& messages)
{
    for (auto& tension : m_tension) tension.reset();
    if (!RegisterPacks(resources, messages)) return 0;
    const std::unique_ptr<CResourceList> music =
        OpenPack(kMusicArchive, Crc32String(kMusicPackName), kPackKeyFirst);
    // The built-in tracks are read from the first archive holding each and
    // set up side by side, a few at a time (a decoder's set-up is most of
    // this load; each holds its track's bytes until its script is read);
    // the slots still go in order, a track that did not load so tried again
    // as LoadBgm tries it.
    constexpr u32 kAtOnce = 8;
    for (u32 first = 0; first < kMusicSlots; first += kAtOnce) {
        const u32 end = std::min(first + kAtOnce, kMusicSlots);
        std::array<std::unique_ptr<CSoundBuffer>, kAtOnce> tracks;
        std::array<std::string, kAtOnce> names;
        std::vector<CSoundBuffer::PackedFile> files;
        std::vector<u32> fileSlots;
        for (u32 slot = first; slot < std::min(end, kBuiltInSlots); ++slot) {
            const std::string& name = names[slot - first] = TrackName(slot);
            u32 size = 0;
            if (u8* bytes = ReadFromPackList(name.c_str(), music.get(), &size)) {
                tracks[slot - first] = std::make_unique<CSoundBuffer>();
                files.push_back({tracks[slot - first].get(), bytes, name.c_str(), size, 1, 0, 0});
                fileSlots.push_back(slot);
            }
        }
        CSoundBuffer::LoadEachFromPack(files.data(), u32(files.size()));
        for (size_t f = 0; f < files.size(); ++f)
            if (!files[f].loaded) tracks[fileSlots[f] - first].reset();
        for (u32 slot = first; slot < end; ++slot) {
            if (!LoadSlot(slot, music.get(), messages, std::move(tracks[slot - first]))) return 0;
        }
    }
    return 1;
}

i32 CGameData::LoadSlot(u32 slot, const CList<void*>* packs, const LoadMessageSink& messages,
                        std::unique_ptr<CSoundBuffer> track)
{
    // The music only measures the script; it goes once that is read.
    const std::unique_ptr<CSoundBuffer> sound(track ? track.release() : LoadBgm(slot, packs, messages));
    auto tension = std::make_unique<CTensionFile>();
    CString report;
    if (slot < kBuiltInSlots) {
        const std::string script = ScriptName(slot);
        // Without its music a script cannot be measured: the track is named
        // rather than the script blamed for it.
        if (!sound) {
            Tell(messages, TrackName(slot) + "\n" + kTrackMissing);
            return 0;
        }
        if (!tension->LoadFromPackList(sound.get(), script.c_str(), packs, &report)) {
            // No archive holds the script: the reader's own "cannot open".
            if (report.GetLength() == 0) tension->LoadFromPack(sound.get(), script.c_str(), nullptr, &report);
            Tell(messages, script + "\n" + report.GetText());
            return 0;
        }
    } else {
        if (!sound) return 1;
        const std::string path = ReadField(m_config->GetBgmSection()->rows[slot - kBuiltInSlots].tensionPath);
        if (!tension->LoadFromFile(sound.get(), path.c_str(), &report)) {
            Tell(messages, path + "\n" + report.GetText());
            return 1;
        }
    }
    tension->SetId(nullptr);
    m_tension[slot] = std::move(tension);
    return 1;
}

CTensionFile* CGameData::GetTensionFile(u32 slot) const { return slot < kMusicSlots ? m_tension[slot].get() : nullptr; }

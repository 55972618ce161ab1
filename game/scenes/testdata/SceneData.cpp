#include "game/scenes/testdata/SceneData.h"

#include "engine/core/PackFile.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/testdata/Sounds.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace scene_data {

namespace {

constexpr u32 kCellsPerRow = kTextureSide / kCell;   // 32
constexpr u32 kGridColumns = 32, kGridRows = 24, kGridStep = 32;

bool SameArchive(const GameArchive& a, const GameArchive& b) { return std::strcmp(a.path, b.path) == 0; }

bool InFolder(Folder entry, Folder folder) { return entry == Folder::kBoth || entry == folder; }

bool EndsWith(const std::string& text, const char* tail)
{
    const size_t n = std::strlen(tail);
    return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

// Each menu effect: a few particles of the particle texture born every
// second about the origin, each living three seconds, for as long as it
// plays.
std::string EffectBytes(const std::string& name)
{
    CEffectContainer effect;
    effect.SetName(name.c_str());
    auto* crowd = new CEffectObject();
    crowd->SetName("Crowd");
    crowd->SetResource(kParticleTexture, nullptr);
    crowd->GetParticleTrack().AddKey(0.0f, 3u);
    crowd->GetParticleTrack().AddKey(1.0f, 0u);
    crowd->GetParticleTrack().SetLoop(1);
    crowd->GetScalingTrack().AddKey(0.0f, CVector3(0.25f, 0.25f, 0.25f));
    EffectParticleSettings& scatter = crowd->GetParticleSettings();
    scatter.life = 3.0f;
    scatter.offsetSpread.Set(4.0f, 2.0f, 1.0f);
    scatter.direction.Set(0.0f, 1.0f, 0.0f);
    scatter.directionSpread.Set(0.5f, 0.2f, 0.5f);
    scatter.speed = 0.5f;
    if (!effect.AddObject(crowd)) {
        delete crowd;
        return {};
    }
    return effect.SaveToMemory();
}

// The archive of each path the set writes, with the folders it lies in:
// every archive the start-up registers, then those only opened by name.
struct ArchiveSpot {
    GameArchive archive;
    Folder folder;
};

std::vector<ArchiveSpot> RegisteredArchives()
{
    std::vector<ArchiveSpot> spots;
    for (const GameArchive& a : kFirstFolderArchives) spots.push_back({a, Folder::kFirst});
    for (const GameArchive& a : kSecondFolderArchives) spots.push_back({a, Folder::kSecond});
    for (const GameArchive& a : kSharedArchives) spots.push_back({a, Folder::kSecond});
    return spots;
}

std::string ResourceOf(const std::string& root, Folder folder)
{
    return root + (folder == Folder::kFirst ? "/one/" : "/two/") + CGameData::kResourceFolder;
}

// The part of a full path under root, as Faults names files.
std::string UnderRoot(const std::string& root, const std::string& full) { return full.substr(root.size() + 1); }

std::string WriteArchive(const std::string& root, const CSceneDataSet& set, const GameArchive& archive,
    Folder folder, const Faults& faults)
{
    std::vector<PackItem> items;
    for (const CSceneDataSet::Entry& e : set.entries) {
        if (SameArchive(e.archive, archive) && e.folder == folder && !faults.entries.count(e.name))
            items.push_back({e.name, e.bytes});
    }
    const std::string resource = ResourceOf(root, folder);
    if (faults.files.count(UnderRoot(root, resource + "/" + Native(archive.path)))) return {};
    return PutPack(resource, archive.path, archive.packName, archive.key, items);
}

std::string ResourceListBytes(const CSceneDataSet& set, Folder folder)
{
    CResourceControllerFile list;
    if (folder == Folder::kSecond) {
        for (const std::string& name : set.effects) list.records.push_back("Effect\\" + name + ".efc");
    }
    std::string bytes;
    return list.Build(bytes) ? bytes : std::string();
}

bool HaveFfmpeg() { return std::system("ffmpeg -version > /dev/null 2>&1") == 0; }

// A test card moving over the picture and a tone, of the variant's colour
// and pitch.
std::string MakeMovie(const std::string& path, const CSceneDataSet::MovieFile& movie)
{
    static const char* const patterns[] = {"testsrc", "smptebars", "rgbtestsrc"};
    const std::string seconds = std::to_string(movie.seconds);
    const std::string command = std::string("ffmpeg -nostdin -hide_banner -loglevel error -y") +
        " -f lavfi -i \"" + patterns[movie.variant % 3] + "=s=160x120:r=25:d=" + seconds + "\"" +
        " -f lavfi -i \"sine=f=" + std::to_string(330 + 110 * movie.variant) + ":sample_rate=44100:d=" + seconds +
        "\" -c:v mpeg1video -q:v 8 -c:a mp2 -b:a 64k -f mpeg '" + path + "'";
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!host::kernel::CreateDirectories(folder) || std::system(command.c_str()) != 0) return "ffmpeg could not make " + path;
    return {};
}

std::string WriteMovies(const std::string& root, const CSceneDataSet& set, const Faults& faults)
{
    if (set.movies.empty()) return {};
    if (!HaveFfmpeg()) return "ffmpeg is missing: the movies cannot be made";
    std::string error;
    for (const CSceneDataSet::MovieFile& movie : set.movies) {
        const std::string first = ResourceOf(root, Folder::kFirst) + "/" + Native(movie.path);
        const std::string second = ResourceOf(root, Folder::kSecond) + "/" + Native(movie.path);
        if (movie.folder != Folder::kBoth) {
            // A folder's own movie: made there alone, left out when the faults name it.
            const std::string& path = movie.folder == Folder::kFirst ? first : second;
            if (faults.files.count(UnderRoot(root, path))) continue;
            error += MakeMovie(path, movie);
            continue;
        }
        std::string bytes;
        const std::string made = MakeMovie(first, movie);
        if (!made.empty() || !host::kernel::ReadWholeFile(first, bytes)) {
            error += made.empty() ? "cannot read " + first : made;
            continue;
        }
        if (!faults.files.count(UnderRoot(root, second))) error += Put(second, bytes);
        if (faults.files.count(UnderRoot(root, first)) && !host::kernel::DeleteFile(first))
            error += "cannot remove " + first;
    }
    return error;
}

// The built-in battle music: every track the same quiet Ogg, each with the
// script it passes, in the first folder.
void AddMusicData(CSceneDataSet& set)
{
    for (u32 slot = 0; slot < CGameData::kBuiltInSlots; ++slot) {
        set.PackEntry(kMusicArchive, Folder::kFirst, CGameData::TrackName(slot), MusicOgg());
        set.PackEntry(kMusicArchive, Folder::kFirst, CGameData::ScriptName(slot), kMusicScript);
    }
}

}  // namespace

std::string GameDataFolder()
{
    const char* folder = std::getenv(kDataRootVariable);
    return folder ? folder : "";
}

void CSceneDataSet::Layout(const std::string& path, const std::vector<std::string>& layers, const std::string& texture,
                           const std::vector<LayerPanel>& panels)
{
    layouts[path] = layers;
    File(Native(path), LayoutBytes(layers, texture, panels));
}

void CSceneDataSet::SceneTexture(const std::string& name) { PackEntry(kSceneArchive, Folder::kSecond, name, CellTextureBytes()); }

void CSceneDataSet::SceneSound(const std::string& name, f32 seconds)
{
    // Every sound a pitch of its own, so a played sound tells its name.
    f32 hertz = 300.0f;
    for (char c : name) hertz += f32(u8(c) % 16) * 10.0f;
    std::string bytes = EndsWith(name, ".ogg") || EndsWith(name, ".OGG") ? battle_data::ToneOgg(hertz, seconds)
                                                                          : battle_data::ToneWav(hertz, seconds);
    PackEntry(kSceneArchive, Folder::kSecond, name, std::move(bytes));
}

void CSceneDataSet::Effect(const std::string& name)
{
    for (const std::string& listed : effects)
        if (listed == name) return;
    effects.push_back(name);
    File("Effect/" + name + ".efc", EffectBytes(name));
    PackEntry(kParticleArchive, Folder::kFirst, kParticleTexture, CellTextureBytes());
}

void CSceneDataSet::PackEntry(const GameArchive& archive, Folder folder, const std::string& entry, std::string bytes)
{
    for (Folder f : {Folder::kFirst, Folder::kSecond}) {
        if (!InFolder(folder, f)) continue;
        bool replaced = false;
        for (Entry& e : entries) {
            if (SameArchive(e.archive, archive) && e.folder == f && e.name == entry) {
                e.bytes = bytes;
                replaced = true;
            }
        }
        if (!replaced) entries.push_back({archive, f, entry, bytes});
    }
}

void CSceneDataSet::File(const std::string& path, std::string bytes, Folder folder)
{
    const std::string native = Native(path);
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].first == native && files[i].second == folder) {
            fileBytes[i] = std::move(bytes);
            return;
        }
    }
    files.emplace_back(native, folder);
    fileBytes.push_back(std::move(bytes));
}

void CSceneDataSet::Movie(const std::string& path, f32 seconds, u32 variant, Folder folder)
{
    for (MovieFile& m : movies) {
        if (m.path == path && m.folder == folder) {
            m = {path, seconds, variant, folder};
            return;
        }
    }
    movies.push_back({path, seconds, variant, folder});
}

void CellOf(size_t i, f32* left, f32* top)
{
    if (left) *left = f32(i % kCellsPerRow * kCell) / f32(kTextureSide);
    if (top) *top = f32(i / kCellsPerRow * kCell) / f32(kTextureSide);
}

std::string LayerAt(const std::vector<std::string>& layers, f32 u, f32 v)
{
    if (!(u >= 0.0f && u < 1.0f && v >= 0.0f && v < 1.0f)) return {};
    const size_t column = size_t(u * f32(kTextureSide)) / kCell, row = size_t(v * f32(kTextureSide)) / kCell;
    const size_t i = row * kCellsPerRow + column;
    return i < layers.size() ? layers[i] : std::string();
}

std::string LayoutBytes(const std::vector<std::string>& layers, const std::string& texture,
                        const std::vector<LayerPanel>& panels)
{
    // The layers only keep the texture's name; it outlives them.
    CTexture named;
    named.SetName(texture.c_str());
    CResourceList top;
    std::map<std::string, CSceneObject*> made;   // by full path, groups included
    for (size_t i = 0; i < layers.size(); ++i) {
        const std::string& path = layers[i];
        CResourceList* list = &top;
        size_t start = 0;
        for (size_t slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
            const std::string group = path.substr(0, slash);
            CSceneObject*& parent = made[group];
            if (!parent) {
                parent = new CSceneObject(path.substr(start, slash - start).c_str(), list);
                AppendLayer(list, parent);
                parent->SetVisible(1);
                parent->SetGroup(1);
            }
            list = parent->GetChildren();
            start = slash + 1;
        }
        auto* layer = new CSceneObject(path.substr(start).c_str(), list);
        AppendLayer(list, layer);
        made[path] = layer;
        layer->SetVisible(1);
        layer->SetTextureRecursive(&named);
        f32 left = 0.0f, top = 0.0f;
        CellOf(i, &left, &top);
        CRect4 cell;
        cell.Set(left * kTextureSide, left * kTextureSide + kCell, top * kTextureSide, top * kTextureSide + kCell);
        layer->GetSettings().offset.rect = cell;
        layer->SetOffset(f32(i % kGridColumns * kGridStep), f32(i / kGridColumns % kGridRows * kGridStep));
        layer->SetScale(3.0f, 3.0f);
        for (const LayerPanel& panel : panels) {
            if (path != panel.name) continue;
            layer->SetBasePosition(panel.x, panel.y);
            layer->SetOffset(0.0f, 0.0f);
            layer->SetScale(panel.width / f32(kCell), panel.height / f32(kCell));
        }
    }
    host::kernel::ByteSink out;
    const u32 count = top.GetCount();
    out.Write("\0\0\0\0", 4);   // no scene name
    out.Write(&count, 4);
    for (u32 i = 0; i < count; ++i) ::LayerAt(&top, i)->Save(&out);
    return out.Bytes();
}

const std::string& CellTextureBytes()
{
    static const std::string bytes = [] {
        std::vector<uint32_t> texels(kTextureSide * kTextureSide);
        for (u32 i = 0; i < kCellsPerRow * kCellsPerRow; ++i) {
            const u32 x0 = i % kCellsPerRow * kCell, y0 = i / kCellsPerRow * kCell;
            // A hue per cell, its green kept below the key's.
            const uint32_t inside = 0xFF000000u | (uint32_t(i * 2654435761u >> 8) & 0xFF7FFFu) | 0x200020u;
            for (u32 y = 0; y < kCell; ++y) {
                for (u32 x = 0; x < kCell; ++x) {
                    const bool edge = x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1;
                    texels[(y0 + y) * kTextureSide + x0 + x] = edge ? 0xFFFFFFFFu : inside;
                }
            }
        }
        std::vector<uint8_t> bmp;
        host::image::WriteBmp24(texels.data(), kTextureSide, kTextureSide, kTextureSide * 4, bmp);
        return std::string(bmp.begin(), bmp.end());
    }();
    return bytes;
}

CSceneDataSet BuildSceneData()
{
    CSceneDataSet set;
    AddBattleData(set);
    AddMusicData(set);
    AddStartupData(set);
    AddTitleData(set);
    AddRecordData(set);
    AddReplayData(set);
    AddOptionData(set);
    AddOptionSelectData(set);
    AddCharaSelectData(set);
    AddSingleSelectData(set);
    AddStoryData(set);
    AddAdventureData(set);
    AddSurvivalData(set);
    AddNetworkData(set);
    AddLobbyData(set);
    AddLobbyScreensData(set);
    AddLobbyMainData(set);
    AddUserInformationData(set);
    AddLobbyRoomWindowsData(set);
    AddLobbyRoomData(set);
    return set;
}

bool WriteSceneData(const std::string& root, std::string* error, const Faults& faults)
{
    const CSceneDataSet set = BuildSceneData();
    std::string reason = set.error;
    if (reason.empty()) {
        for (Folder folder : {Folder::kFirst, Folder::kSecond}) {
            const std::string resource = ResourceOf(root, folder);
            const std::string list = resource + "/" + CGameData::kResourceList;
            if (!faults.files.count(UnderRoot(root, list))) reason += Put(list, ResourceListBytes(set, folder));
        }
        // Every archive the start-up registers, then those opened by name.
        std::vector<ArchiveSpot> written = RegisteredArchives();
        for (const CSceneDataSet::Entry& e : set.entries) {
            bool known = false;
            for (const ArchiveSpot& s : written) known = known || (SameArchive(s.archive, e.archive) && s.folder == e.folder);
            if (!known) written.push_back({e.archive, e.folder});
        }
        for (const ArchiveSpot& s : written) reason += WriteArchive(root, set, s.archive, s.folder, faults);
        for (size_t i = 0; i < set.files.size(); ++i) {
            for (Folder folder : {Folder::kFirst, Folder::kSecond}) {
                if (!InFolder(set.files[i].second, folder)) continue;
                const std::string path = ResourceOf(root, folder) + "/" + set.files[i].first;
                if (!faults.files.count(UnderRoot(root, path))) reason += Put(path, set.fileBytes[i]);
            }
        }
        reason += WriteMovies(root, set, faults);
    }
    if (!reason.empty() && error) *error = reason;
    return reason.empty();
}

}  // namespace scene_data

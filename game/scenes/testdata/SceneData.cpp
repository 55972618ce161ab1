#include "game/scenes/testdata/SceneData.h"

#include "engine/core/PackFile.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/ConsoleNames.h"
#include "game/battle/testdata/BattleData.h"
#include "game/battle/testdata/Lettering.h"
#include "game/battle/testdata/Sounds.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/GameOption.h"
#include "game/scenes/OptionSelect.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/TitleScene.h"
#include "game/scenes/testdata/LobbyRoomWindowsData.h"
#include "game/scenes/testdata/LobbyScreensData.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>

namespace scene_data {

std::vector<LayerPanel> KeepNamedPanels(const std::vector<std::pair<std::string, LayerPanel>>& spots)
{
    static std::deque<std::string> names;   // a deque never moves what it holds
    std::vector<LayerPanel> panels;
    panels.reserve(spots.size());
    for (const auto& [name, place] : spots) {
        names.push_back(name);
        LayerPanel panel = place;
        panel.name = names.back().c_str();
        panels.push_back(panel);
    }
    return panels;
}

namespace {

// Why sheets cannot share a texture whose first n cells are in use:
// one outside the texture, over those cells, or two over one another.
std::string TextureSheetError(size_t n, const std::vector<LayerSheet>& sheets)
{
    const size_t firstFree = (n + kCellsPerRow - 1) / kCellsPerRow * kCellHeight;
    for (size_t i = 0; i < sheets.size(); ++i) {
        const LayerSheet& s = sheets[i];
        const std::string sheet = "the sheet of " + s.name + " ";
        if (s.width == 0 || s.height == 0 || s.left >= kTextureWidth || s.width > kTextureWidth - s.left ||
            s.top >= kTextureHeight || s.height > kTextureHeight - s.top)
            return sheet + "does not fit in the texture";
        if (s.top < firstFree) return sheet + "lies over the layers' cells";
        for (size_t j = 0; j < i; ++j) {
            const LayerSheet& o = sheets[j];
            if (s.left < o.left + o.width && o.left < s.left + s.width && s.top < o.top + o.height &&
                o.top < s.top + s.height)
                return sheet + "lies over the sheet of " + o.name;
        }
    }
    return {};
}

}  // namespace

std::string SheetError(const std::vector<std::string>& layers, const std::vector<LayerSheet>& sheets)
{
    for (size_t i = 0; i < sheets.size(); ++i) {
        const LayerSheet& s = sheets[i];
        const std::string sheet = "the sheet of " + s.name + " ";
        if (std::find(layers.begin(), layers.end(), s.name) == layers.end()) return sheet + "names no layer of the layout";
        for (size_t j = 0; j < i; ++j)
            if (sheets[j].name == s.name) return sheet + "is given twice";
        for (const SheetText& t : s.texts)
            if (!(t.x >= s.x && t.x <= s.x + f32(s.width) && t.y >= s.y && t.y < s.y + f32(s.height)))
                return sheet + "cannot hold \"" + t.text + "\": it stands outside";
    }
    return TextureSheetError(CellBase(layers) + layers.size(), sheets);
}

namespace {

constexpr u32 kSlotRows = 768 / kCellHeight;   // 24
// A sheet: a light fill in a dark double frame, its words black at the
// height the scenes write their own texts.
constexpr u32 kSheetFill = 0xFFD8DCE4u, kSheetEdge = 0xFF303030u;
constexpr f32 kSheetTextPixels = 24.0f;
constexpr u32 kDarkSheetFill = 0xFF182030u, kDarkSheetEdge = 0xFF8890A0u;

void DrawSheet(battle_data::Picture& picture, const LayerSheet& sheet)
{
    const i32 x0 = i32(sheet.left), y0 = i32(sheet.top), w = i32(sheet.width), h = i32(sheet.height);
    const u32 edge = sheet.dark ? kDarkSheetEdge : kSheetEdge;
    picture.Fill(x0, y0, w, h, sheet.dark ? kDarkSheetFill : kSheetFill);
    picture.Frame(x0, y0, w, h, edge);
    picture.Frame(x0 + 1, y0 + 1, w - 2, h - 2, edge);
    for (const SheetText& t : sheet.texts) {
        const f32 width = f32(battle_data::TextWidth(t.text, kSheetTextPixels));
        const f32 shift = t.align == Align::kCentre ? width / 2.0f : t.align == Align::kRight ? width : 0.0f;
        const i32 x = std::max(x0, x0 + i32(std::lround(t.x - sheet.x - shift)));
        const i32 y = y0 + i32(std::lround(t.y - sheet.y));
        battle_data::Write(picture, x, y, x0 + w - 2, y0 + h - 2, t.text, kSheetTextPixels,
                           sheet.dark ? 0xFFFFFFFFu : 0xFF000000u);
    }
}

// What tells sheets apart in the texture cache.
std::string SheetKey(const std::vector<LayerSheet>& sheets)
{
    std::string key;
    for (const LayerSheet& s : sheets) {
        key += s.name + '\0' + std::to_string(s.left) + ',' + std::to_string(s.top) + ',' + std::to_string(s.width) +
               ',' + std::to_string(s.height) + ',' + std::to_string(s.x) + ',' + std::to_string(s.y);
        for (const SheetText& t : s.texts)
            key += '\0' + std::to_string(t.x) + ',' + std::to_string(t.y) + ',' + std::to_string(int(t.align)) + t.text;
        key += s.dark ? "\1d" : "\1";
    }
    return key;
}

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
    CRect4 whole;
    whole.Set(0.0f, f32(battle_data::kGuardTextureSide), 0.0f, f32(battle_data::kGuardTextureSide));
    crowd->GetRectTrack().SetRectDefault(&whole);
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
        set.PackEntry(kMusicArchive, Folder::kFirst, CGameData::ScriptName(slot), MusicScript());
    }
}

// The particles' texture: a soft bright spot, white at the heart going to
// orange, so shots, hits and guards show as sparks.
const std::string& ParticleTextureBytes()
{
    static const std::string bytes = [] {
        constexpr u32 kSide = battle_data::kGuardTextureSide;
        battle_data::Picture spot(kSide, kSide, 0);
        for (u32 y = 0; y < kSide; ++y) {
            for (u32 x = 0; x < kSide; ++x) {
                const f32 dx = (f32(x) + 0.5f) / f32(kSide) * 2.0f - 1.0f, dy = (f32(y) + 0.5f) / f32(kSide) * 2.0f - 1.0f;
                const f32 d = std::min(1.0f, std::sqrt(dx * dx + dy * dy));
                const f32 a = (1.0f - d) * (1.0f - d);
                const u32 g = u32(255.0f * (1.0f - 0.6f * d)), b = u32(255.0f * (1.0f - d) * (1.0f - d));
                spot.texels[y * kSide + x] = u32(a * 255.0f) << 24 | 0xFF0000u | g << 8 | b;
            }
        }
        return spot.Png();
    }();
    return bytes;
}

// The options screen's volume bars ("volB1".."volB3"): lit, so the filled
// part shows inside its frame.
bool IsVolumeBar(const std::string& leaf) { return leaf.size() == 5 && leaf.rfind("volB", 0) == 0; }

// The lobby's and the room's focus frames, drawn behind the list that has
// the focus; and the network screens' backgrounds. The screens write their
// lists in white: these stay dark.
bool IsFocusFrame(const std::string& leaf) { return leaf == "Select1" || leaf == "Select2" || leaf == "Select3"; }
// The lobby's chat entry and its message window's panels are dark boxes
// in a grey frame: the scenes write white over them.
bool IsDarkBox(const std::string& leaf)
{
    return leaf == "chat" || (leaf.size() == 5 && leaf.rfind("Base", 0) == 0 && leaf[4] >= '1' && leaf[4] <= '4');
}
// The single select's orb panel lies on a dark base: its white texts read.
bool IsDarkBackground(const std::string& leaf)
{
    return leaf == "bg01" || leaf == "bg02" || leaf == "SkillBase" || IsDarkBox(leaf);
}
// The room's lobby tab: the screen the lobby's lists slide up on, dark
// (they are white) and a shade off the room's background, whose lists it
// hides.
constexpr u32 kRoomTabFill = 0xFF000000u | kRoomTabColour;

// Layers a screen draws but the set leaves clear: the lobby screens'
// drifting sparkle ("kira"), the hosted selects' chat log and entry
// frames, whose lines the scenes write wherever the room chat goes, and
// the story preview's second versus half ("v" carries the whole mark).
bool IsClear(const std::string& leaf) { return leaf == "kira" || leaf == "Log" || leaf == "Input" || leaf == "s"; }

// The connect screen's row layers, drawn only on the current row.
bool IsConnectRow(const std::string& leaf)
{
    for (const char* row : {"op_set02", "op_ip02", "op_list02", "op_pl02", "op_ok02"})
        if (leaf == row) return true;
    return false;
}

// Layers that stand for a lit state (a glow, a cursor, a flash, "on"):
// yellow with dark words, so selected and unselected differ at a glance.
bool Highlighted(const std::string& layer)
{
    const std::string leaf = layer.substr(layer.rfind('/') + 1);
    return leaf.rfind("sele_car", 0) == 0 || leaf.rfind("piron", 0) == 0 || EndsWith(leaf, "_on") ||
           layer.rfind("Base/Lit", 0) == 0 ||
           leaf == "ent_ip03" || leaf == "ent_lob03" || IsConnectRow(leaf) || leaf.rfind("ico_cha", 0) == 0 ||
           EndsWith(leaf, "On") || leaf.find("cursor") != std::string::npos || leaf.find("Cursor") != std::string::npos ||
           leaf.rfind("type_bg02", 0) == 0 || leaf == "rei_car" || leaf == "rep_bg" || leaf == "Bt_pre2" ||
           leaf == "Bt_nex2" || IsVolumeBar(leaf) || leaf == "Select" || leaf == "login2" || leaf == "Btest2" || leaf == "Broomin2" || leaf == "Broomset2" ||
           leaf == "Bvsstart2";
}

// Frames drawn over what they frame (the options' volume frames, the
// single select's colour boxes and orb slots, its orb cursor): clear but
// for their edge, orange when lit.
// The single select's pattern ("moyo"), which the scene turns about: all
// clear, edge and all.
bool IsOutline(const std::string& layer)
{
    const std::string leaf = layer.substr(layer.rfind('/') + 1);
    return leaf.rfind("type_bg0", 0) == 0 || leaf == "moyo" || leaf == "rei_emp" || leaf == "rei_emp2" || leaf == "rei_emp3" ||
           leaf == "rei_car" || (leaf.size() == 5 && leaf.rfind("volW", 0) == 0);
}

// "n0".."n13": digit images and the slots that show them.
bool IsDigitImage(const std::string& layer)
{
    const std::string leaf = layer.substr(layer.rfind('/') + 1);
    return leaf.size() >= 2 && leaf.size() <= 3 && leaf[0] == 'n' &&
           leaf.find_first_not_of("0123456789", 1) == std::string::npos;
}

// Marks that stand in a slot a fifth of a cell wide, as the digits do: the
// waiting dots ("ten", "ten1".."ten18"), the card's hand items and skill
// marks, the replay list's digits.
bool IsNarrowMark(const std::string& layer)
{
    const std::string leaf = layer.substr(layer.rfind('/') + 1);
    if (leaf.rfind("ten", 0) == 0 && leaf.find_first_not_of("0123456789", 3) == std::string::npos) return true;
    for (const char* mark : {"HandItem", "rei_nazo", "rei_nazo2", "rei_nazo3", "rei_nazos", "rei_empe", "rei_emp2e",
                             "rei_emp3e", "rei_empk", "rei_emp2k", "rei_emp3k"})
        if (leaf == mark) return true;
    // The orb icons, "rei_geki0".."rei_syu14" and their small forms "_m",
    // and the single select's empty slot marks "rei_emp11s".."rei_emp23s".
    for (const char* kind : {"rei_geki", "rei_soku", "rei_syu"}) {
        const size_t n = std::strlen(kind);
        if (leaf.size() <= n || leaf.compare(0, n, kind) != 0) continue;
        const size_t end = leaf.find_first_not_of("0123456789", n);
        // The card's small orbs end in "e".
        if (end > n && (end == std::string::npos || leaf.compare(end, std::string::npos, "_m") == 0 ||
                           leaf.compare(end, std::string::npos, "e") == 0))
            return true;
    }
    if (leaf.size() == 10 && leaf.rfind("rei_emp", 0) == 0 && leaf[9] == 's') return true;
    // The replay list's digits, "rep_0".."rep_9".
    if (leaf.size() == 5 && leaf.rfind("rep_", 0) == 0 && leaf[4] >= '0' && leaf[4] <= '9') return true;
    return IsDigitImage(layer);
}

// The words of the menus' value and label layers whose names are not words.
const std::map<std::string, std::string>& NamedWords()
{
    static const std::map<std::string, std::string> words = [] {
        std::map<std::string, std::string> w;
        for (const title::ItemLayers& item : title::kItemLayers) {
            w[item.name] = std::string("> ") + item.label;
            w[item.flash] = "";
        }
        w["Base"] = "";
        for (u32 i = 0; i < title::kItemCount; ++i) w["Lit" + std::to_string(i)] = "";
        w["SkillGet"] = "New orbs!";
        using namespace option_select;
        const char* rows[kRowCount] = {"Stage", "Music", "Rule", "Lives", "Time", "CPU level", "Tension",
                                       "Friend", "Voice", "Reset all"};
        for (i32 r = 0; r < kRowCount; ++r) {
            w[kRowNames[r]] = rows[r];
            for (u32 k = 0; k < 2; ++k) {
                if (kArrows[r][k]) w[kArrows[r][k]] = k == 0 ? "<" : ">";
                if (kGlows[r][k]) w[kGlows[r][k]] = k == 0 ? "<" : ">";
            }
        }
        for (u32 i = 0; i < 20; ++i) w[kStageLayers[i]] = i == 19 ? "Random" : "Stage " + std::to_string(i + 1);
        w[kRuleLayers[0]] = "Knock-out";
        w[kRuleLayers[1]] = "Lives";
        for (u32 i = 0; i < 5; ++i) w[kPointLayers[i]] = "+" + std::to_string(i) + " lives";
        // The last, 1000 s, is no limit: the battle's clock stands still.
        static const char* const seconds[7] = {"100 s", "200 s", "300 s", "400 s", "500 s", "600 s", "No limit"};
        for (u32 i = 0; i < 7; ++i) w[kTimeLayers[i]] = seconds[i];
        for (u32 i = 0; i < 5; ++i) w[kCpuLayers[i]] = "Level " + std::to_string(i + 1);
        for (u32 i = 0; i < 6; ++i) w[kTensionRuleLayers[i]] = "Tension " + std::to_string(i + 1);
        for (u32 i = 0; i < 3; ++i) w[kFriendLayers[i]] = "Friend " + std::to_string(i + 1);
        w[kAnBgmLayers[0]] = "Voice off";
        w[kAnBgmLayers[1]] = "Voice on";
        for (const char* cap : kBarCaps) w[cap] = "";
        for (const char* body : kBarBodies) w[body] = "";
        for (u32 c = 0; c < console_names::kCharacterCount; ++c) {
            w[std::string("name_") + console_names::kAbbreviation[c]] = console_names::kImageName[c];
            w[std::string("C") + console_names::kAbbreviation[c]] = console_names::kImageName[c];
            w[std::string("W") + console_names::kImageName[c]] = std::string(console_names::kImageName[c]) + "'s weapon";
        }
        w["Ok"] = "OK";
        w["Select"] = "Selected";
        // The character select's cards: each row's title, arrows, cursor
        // and values.
        {
            namespace card = select_card;
            const char* titles[card::kRowCount] = {"Player", "Team", "Name", "Colour", "Type", "Orbs", "CPU orbs",
                                             "Handicap"};
            for (u32 r = 0; r < card::kRowCount; ++r) {
                w[CardRowTitle(r)] = titles[r];
                w[card::kRowNames[r].left] = w[card::kRowNames[r].cursor[0]] = "<";
                w[card::kRowNames[r].right] = w[card::kRowNames[r].cursor[1]] = ">";
            }
            w["cpu"] = "CPU";
            w["-"] = "None";
            for (u32 i = 0; i < 4; ++i) {
                w[std::string(1, char('a' + i))] = std::string("Team ") + char('A' + i);
                w[std::string("color_") + char('a' + i)] = "Colour " + std::to_string(i + 1);
            }
            for (u32 c = 0; c < console_names::kCharacterCount; ++c) {
                w[std::string("W") + console_names::kImageName[c] + "A"] = "Type A";
                w[std::string("W") + console_names::kImageName[c] + "B"] = "Type B";
            }
            w["Crun"] = "Random";
            w["Ckara"] = "No player";
            w["reig_off"] = "Off";
            w["reig_on"] = "On";
            for (const char* mark : {"rei_nazo", "rei_nazo2", "rei_nazo3", "rei_nazos"}) w[mark] = "?";
            for (const char* mark : {"rei_empe", "rei_emp2e", "rei_emp3e"}) w[mark] = "-";
            w["HandItem"] = "+";
            // A card's small orb by its kind's letter, as the panels' orbs.
            static const char* const kinds[3] = {"A", "S", "G"};
            for (u32 i = 0; i < card::kOrbCount; ++i) w[card::OrbElementName(i, true)] = kinds[i / 15];
        }
        // The story's single select: the roster's portraits, name plates
        // and cards, the colour boxes and the orb panel.
        {
            namespace single = single_select;
            for (u32 e = 0; e < single::kRosterCount; ++e) {
                const std::string name = e < single::kCharacters ? console_names::kImageName[e] : "Random";
                w[single::PortraitLayerName(e)] = w[single::PlateLayerName(e)] = w[single::CardLayerName(e)] = name;
                if (e < single::kCharacters)
                    for (u32 c = 0; c < 2; ++c) w[single::ColourBoxLayerName(e, c)] = "Colour " + std::to_string(c + 1);
            }
            w["moyo"] = "";
            for (const char* frame : {"type_bg011", "type_bg012", "type_bg021", "type_bg022", "rei_emp", "rei_emp2",
                                      "rei_emp3", "rei_car"})
                w[frame] = "";
            for (const char* mark : {"type_rei11", "type_rei12", "type_rei21", "type_rei22"}) w[mark] = "Orbs:";
            w["Skill"] = "Orbs";
            w["SkillBase"] = "";
            w["rei_n_geki"] = "Attack";
            w["rei_n_soku"] = "Speed";
            w["rei_n_syu"] = "Guard";
            w["rei_ok"] = "OK";
            static const char* const kinds[3] = {"A", "S", "G"};
            for (u32 i = 0; i < single::kIcons; ++i)
                w[single::IconLayerName(i)] = w[single::IconLayerName(i, true)] = kinds[i / 15];
            for (const char* empty : {"rei_empk", "rei_emp2k", "rei_emp3k", "rei_emp11s", "rei_emp12s", "rei_emp13s",
                                      "rei_emp21s", "rei_emp22s", "rei_emp23s"})
                w[empty] = "-";
            w["cpu_rei"] = "CPU orbs";
            w["cpu_rei_1"] = "On";
            w["cpu_rei_2"] = "Off";
        }
        // The options screen: its items, their marks and volume bars.
        {
            // The items named by words keep them: other layouts have
            // layers of those names (the title's "Story").
            w["BVol"] = "Music volume";
            w["SVol"] = "Sound volume";
            w["VVol"] = "Voice volume";
            for (const char* const* marks : {option::kPadMarks, option::kScreenMarks, option::kVoiceMarks,
                                             option::kGuardMarks}) {
                w[marks[0]] = "Off";
                w[marks[1]] = "On";
            }
            w[option::kCameraMarks[0]] = "Left";
            w[option::kCameraMarks[1]] = "Right";
            w[option::kMapMarks[0]] = "Fixed";
            w[option::kMapMarks[1]] = "Turning";
            const char* levels[4] = {"Easy", "Normal", "Hard", "Hardest"};
            for (u32 i = 0; i < 4; ++i) w[option::kStoryMarks[i]] = levels[i];
            for (const auto& cursor : option::kCursors) {
                w[cursor[0]] = "<";
                w[cursor[1]] = ">";
            }
            for (u32 v = 0; v < 3; ++v)
                w[option::kVolumeBars[v]] = w[option::kVolumeKnobs[v]] = w[option::kVolumeFrames[v]] = "";
        }
        // The record: each character's name and picture, the pages' panels.
        for (u32 c = 0; c < record::kCharacters; ++c) {
            w[std::string("name_") + record::kAbbreviations[c]] = console_names::kImageName[c];
            w[std::string("cha_") + record::kAbbreviations[c]] = console_names::kImageName[c];
        }
        w["TotalBase"] = w["SoloBase"] = "";
        // The replay list: its digits, the cursor's mark, the page buttons
        // (the second of each the pressed one).
        for (u32 d = 0; d < 10; ++d) w["rep_" + std::to_string(d)] = std::to_string(d);
        w["rep_bg"] = "";
        w["Bt_pre1"] = w["Bt_pre2"] = "Previous";
        w["Bt_nex1"] = w["Bt_nex2"] = "Next";
        // The adventure map: the player's icon (lit: it marks where the
        // player stands) and the opponents' portraits on the nodes.
        for (u32 c = 0; c < console_names::kCharacterCount; ++c) {
            w["ico_cha" + std::to_string(c + 1)] = console_names::kImageName[c];
            w["cha" + std::to_string(c + 1) + "_m"] = console_names::kImageName[c];
        }
        // The story's preview: the pictures and name plates of each
        // character, the battle's title, its music, stage and number.
        for (u32 c = 0; c < story::kCharacters; ++c) {
            for (u32 kind = 0; kind < 3; ++kind) w[story::PictureName(kind, c)] = console_names::kImageName[c];
            w[story::TitleName(c, false)] = std::string("VS ") + console_names::kImageName[c];
            w[story::TitleName(c, true)] = std::string("Final: ") + console_names::kImageName[c];
        }
        for (u32 i = 0; i < story::kMusic; ++i) w[story::MusicName(i)] = "Music " + std::to_string(i + 1);
        for (u32 i = 0; i + 1 < story::kStages; ++i) w[story::StageName(i)] = "Stage " + std::to_string(i + 1);
        for (u32 i = 0; i < story::kNumberSlots; ++i)
            w[story::NumberName(i)] = i == story::kFinalSlot ? "Final battle" : "Battle " + std::to_string(i + 1);
        w["bat1"] = w["bat"] = "Battle";
        w["pro"] = "Prologue";
        w["epi"] = "Epilogue";
        w["pre"] = "Next battle";
        w["v"] = "VS";
        w["load"] = "Now loading";
        w[".1"] = w[".2"] = w[".3"] = ".";
        w["s"] = "";
        // The other network screens: the lobby's panels, the login button,
        // the user window's close, the rooms' level limits.
        w["chat"] = "";
        w["help_lobby"] = "Enter: lobby menu";
        w["chat_in"] = "";
        w["login2"] = "Log in";
        w["taisyutu"] = "Remove player";
        // The lobby windows' buttons (the second of each the chosen one),
        // the level's arrows and the lists' marks (a room, one in battle,
        // one with a password, a marked player).
        w["Btest1"] = w["Btest2"] = "Line test";
        w["Broomin1"] = w["Broomin2"] = "Enter room";
        w["Broomset1"] = w["Broomset2"] = "Make room";
        w["Bvsstart1"] = w["Bvsstart2"] = "Save room";
        w["room_a"] = w["vs"] = w["chat_loc"] = "";
        for (const char* level : {"20", "40", "60"}) w[std::string(level) + "ijo"] = std::string(level) + " and up";
        for (const char* level : {"40", "60", "80"}) w[std::string(level) + "mima"] = std::string("Under ") + level;
        w["museigen"] = "No limit";
        w["sentaku2"] = "<";
        w["sentaku"] = ">";
        w["rei_nazos"] = "?";
        // The adventure map's cleared marks and its node window's labels.
        w["sk_gin"] = "Silver";
        w["sk_kin"] = "Gold";
        for (u32 c = 0; c < adventure::kColumnLabels; ++c) w["sk_" + std::to_string(c)] = "Column " + std::to_string(c + 1);
        for (u32 n = 0; n < adventure::kNodeLabels; ++n)
            w[std::string("sk_") + char('a' + n)] = "Node " + std::to_string(n + 1);
        // The start-up and loading screens.
        w["lo1"] = w["lo2"] = w["wa"] = "";
        w["prean"] = "Press any key";
        w["now"] = "Now loading";
        w["ten"] = ".";
        for (u32 i = 1; i <= 18; ++i) w["ten" + std::to_string(i)] = ".";
        // The lobby's message window: its panels, messages and answers.
        for (const char* panel : {"Base1", "Base2", "Base3", "Base4"}) w[panel] = "";
        for (const auto& [layer, words] : LobbyMessageWords()) w[layer] = words;
        // The network entrance and connect screens.
        w["ent_ip02"] = w["ent_ip03"] = "Direct";
        w["ent_lob02"] = w["ent_lob03"] = "Lobby server";
        w["ent_sen"] = "Host or join by address";
        w["ent_sen2"] = "Meet on the lobby server";
        w["op_set02"] = "Mode";
        w["op_ip02"] = "Address";
        w["op_list02"] = "Recent";
        w["op_pl02"] = "Name";
        w["op_ok02"] = "Start";
        w["op_set_01"] = "Host";
        w["op_set_02"] = "Join";
        for (const char* plain : {"bg01", "bg02", "mowa", "kira", "ClientIP"}) w[plain] = "";
        // The lobby's and the room's focus frames and scroll bars; the
        // room's help ticker and the lobby's tab.
        for (const char* plain : {"Select1", "Select2", "Select3", "chat_bar", "chat_bar2", "chat_bar3"}) w[plain] = "";
        w["help_room"] = "Enter: room menu";
        w["tab_op"] = "F1: lobby";
        return w;
    }();
    return words;
}

}  // namespace

std::string CellText(const std::string& layer)
{
    const std::string leaf = layer.substr(layer.rfind('/') + 1);
    if (leaf.size() == 2 && leaf[0] == 'n' && leaf[1] >= '0' && leaf[1] <= '9') return leaf.substr(1);
    const auto& words = NamedWords();
    const auto found = words.find(leaf);
    return found != words.end() ? found->second : leaf;
}

std::string GameDataFolder()
{
    const char* folder = std::getenv(kDataRootVariable);
    return folder ? folder : "";
}

void CSceneDataSet::Layout(const std::string& path, const std::vector<std::string>& layers, const std::string& texture,
                           const std::vector<LayerPanel>& panels, const std::vector<LayerSheet>& sheets)
{
    layouts[path] = layers;
    layoutTextures[path] = texture;
    // A shared texture holds each layout's words in its own cells; a cell
    // another layout's layer holds keeps it, and the clash is named.
    std::vector<std::string>& cells = textureLayers[texture];
    const size_t base = CellBase(layers);
    if (cells.size() < base + layers.size()) cells.resize(base + layers.size());
    for (size_t i = 0; i < layers.size(); ++i) {
        if (cells[base + i].empty()) {
            cells[base + i] = layers[i];
        } else if (cells[base + i] != layers[i]) {
            error += path + ": cell " + std::to_string(base + i) + " of " + texture + " holds " + cells[base + i] +
                     ", not " + layers[i] + "\n";
        }
    }
    // And each layout's sheets where no other's lie.
    std::vector<LayerSheet>& onTexture = textureSheets[texture];
    std::vector<LayerSheet> all = onTexture;
    all.insert(all.end(), sheets.begin(), sheets.end());
    std::string why = SheetError(layers, sheets);
    if (why.empty()) why = TextureSheetError(cells.size(), all);
    if (why.empty()) {
        onTexture = all;
    } else {
        error += path + ": " + why + "\n";
    }
    const std::vector<LayerSheet>& drawn = why.empty() ? sheets : std::vector<LayerSheet>{};
    layoutSheets[path] = drawn;
    File(Native(path), LayoutBytes(layers, texture, panels, drawn));
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
    PackEntry(kParticleArchive, Folder::kFirst, kParticleTexture, ParticleTextureBytes());
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
    if (left) *left = f32(i % kCellsPerRow * kCellWidth) / f32(kTextureWidth);
    if (top) *top = f32(i / kCellsPerRow * kCellHeight) / f32(kTextureHeight);
}

size_t CellBase(const std::vector<std::string>& layers)
{
    // Each group's layouts name one texture, their cells one after another.
    static const std::vector<std::vector<std::vector<std::string>>> groups = {
        {MessageWindowLayers(), EntranceLayers(), ConnectOptionLayers(), LoginLayers(), AddressListLayers(),
         LobbyMainLayers(), UserInformationLayers(), RoomInformationLayers(), RoomCreateLayers(), LobbyRoomLayers()},
        {RecordLayers(), ReplayLayers()},
        {single_select::LayerNames(), adventure::LayerNames(), SurvivalLayers()}};
    for (const std::vector<std::vector<std::string>>& shared : groups) {
        size_t base = 0;
        for (const std::vector<std::string>& one : shared) {
            if (one == layers) return base;
            base += one.size();
        }
    }
    return 0;
}

u32 PlainColour(size_t i)
{
    // Half way to white: light backgrounds keep the black words the only
    // dark marks, as text recognisers need.
    const u32 c = CellColour(i);
    return 0xFF000000u | ((c & 0xFFFFFFu) + (((0xFFFFFFu - (c & 0xFFFFFFu)) >> 1) & 0x7F7F7Fu));
}

u32 FittedHeight(size_t cells)
{
    const size_t rows = std::max<size_t>(1, (cells + kCellsPerRow - 1) / kCellsPerRow);
    u32 height = kCellHeight;
    while (height < rows * kCellHeight && height < kTextureHeight) height *= 2;
    return height;
}

std::string LayerAt(const std::vector<std::string>& layers, f32 u, f32 v, const std::vector<LayerSheet>& sheets,
                    u32 textureHeight)
{
    if (!(u >= 0.0f && u < 1.0f && v >= 0.0f && v < 1.0f)) return {};
    const f32 x = u * f32(kTextureWidth), y = v * f32(textureHeight);
    for (const LayerSheet& s : sheets)
        if (x >= f32(s.left) && x < f32(s.left + s.width) && y >= f32(s.top) && y < f32(s.top + s.height)) return s.name;
    const size_t column = size_t(x) / kCellWidth, row = size_t(y) / kCellHeight;
    const size_t cell = row * kCellsPerRow + column, base = CellBase(layers);
    return cell >= base && cell - base < layers.size() ? layers[cell - base] : std::string();
}

void SlotOf(size_t i, f32* x, f32* y)
{
    if (x) *x = f32(i % kCellsPerRow * kCellWidth);
    if (y) *y = f32(i / kCellsPerRow % kSlotRows * kCellHeight);
}

u32 CellColour(size_t i)
{
    // Light enough under black words (they read best so, to people and to
    // text recognisers); red kept above the key's 0.
    return 0xFF000000u | (uint32_t(u32(i) * 2654435761u >> 8) & 0x3F3F3Fu) | 0xB0B0B0u;
}

std::string LayoutBytes(const std::vector<std::string>& layers, const std::string& texture,
                        const std::vector<LayerPanel>& panels, const std::vector<LayerSheet>& sheets)
{
    // The layers only keep the texture's name; it outlives them.
    CTexture named;
    named.SetName(texture.c_str());
    CResourceList top;
    std::map<std::string, CSceneObject*> made;   // by full path, groups included
    // Where each panel stands on the layout (position and scale): a child
    // is placed and sized by its parent's screen state, so a panel under a
    // placed panel is given relative to it.
    struct Placed {
        f32 x, y, scaleX, scaleY;
    };
    std::map<std::string, Placed> placed;
    const size_t base = CellBase(layers);
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
        CellOf(base + i, &left, &top);
        CRect4 cell;
        cell.Set(left * kTextureWidth, left * kTextureWidth + kCellWidth, top * kTextureHeight,
                 top * kTextureHeight + kCellHeight);
        layer->GetSettings().offset.rect = cell;
        f32 x = 0.0f, y = 0.0f;
        SlotOf(i, &x, &y);
        layer->SetOffset(x, y);
        const auto place = [&](const Placed& here, bool sizeInTrack = false) {
            Placed parent{0.0f, 0.0f, 1.0f, 1.0f};
            for (size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0;
                 slash = path.rfind('/', slash - 1)) {
                const auto found = placed.find(path.substr(0, slash));
                if (found == placed.end()) continue;
                parent = found->second;
                break;
            }
            placed[path] = here;
            layer->SetBasePosition((here.x - parent.x) / parent.scaleX, (here.y - parent.y) / parent.scaleY);
            layer->SetOffset(0.0f, 0.0f);
            const CVector3 size(here.scaleX / parent.scaleX, here.scaleY / parent.scaleY, 1.0f);
            if (sizeInTrack) layer->GetScalingTrack().SetDefaultValue(&size);
            else layer->SetScale(size.x, size.y);
        };
        for (const LayerPanel& panel : panels)
            if (path == panel.name)
                place({panel.x, panel.y, panel.width / f32(kCellWidth), panel.height / f32(kCellHeight)}, panel.sizeInTrack);
        for (const LayerSheet& sheet : sheets) {
            if (path != sheet.name) continue;
            CRect4 source;
            source.Set(f32(sheet.left), f32(sheet.left + sheet.width), f32(sheet.top), f32(sheet.top + sheet.height));
            layer->GetSettings().offset.rect = source;
            place({sheet.x, sheet.y, 1.0f, 1.0f});
        }
    }
    host::kernel::ByteSink out;
    const u32 count = top.GetCount();
    out.Write("\0\0\0\0", 4);   // no scene name
    out.Write(&count, 4);
    for (u32 i = 0; i < count; ++i) ::LayerAt(&top, i)->Save(&out);
    return out.Bytes();
}

const std::string& CellTextureBytes(const std::vector<std::string>& layers, const std::vector<LayerSheet>& sheets,
                                    const std::map<std::string, std::string>& words, u32 height)
{
    // Drawing and compressing takes a while: each list once per process.
    static std::mutex lock;
    static std::map<std::pair<std::vector<std::string>, std::string>, std::string> made;
    const std::lock_guard<std::mutex> hold(lock);
    std::string key = SheetKey(sheets);
    for (const auto& [layer, text] : words) key += '\2' + layer + '\0' + text;
    key += '\3' + std::to_string(height);
    std::string& bytes = made[{layers, key}];
    if (!bytes.empty()) return bytes;
    battle_data::Picture picture(kTextureWidth, height, 0xFF000000u);
    for (u32 i = 0; i < kCellsPerRow * (height / kCellHeight); ++i) {
        const i32 x0 = i32(i % kCellsPerRow * kCellWidth), y0 = i32(i / kCellsPerRow * kCellHeight);
        const auto own = i < layers.size() ? words.find(layers[i]) : words.end();
        const std::string text = own != words.end() ? own->second : i < layers.size() ? CellText(layers[i]) : std::string();
        const bool lit = i < layers.size() && Highlighted(layers[i]);
        if (text == "<" || text == ">") {
            // An arrow: clear (the loader's key) but for the arrow at the
            // cell's outer end, so it can stand beside what it points at.
            // Drawn on black, whatever stays black then keyed out: the
            // arrow's edges darken instead of taking the key's green.
            picture.Fill(x0, y0, kCellWidth, kCellHeight, 0xFF000000u);
            const i32 w = battle_data::TextWidth(text, 28.0f);
            battle_data::Write(picture, text == "<" ? x0 + 3 : x0 + i32(kCellWidth) - 3 - w, y0 + 1,
                               x0 + i32(kCellWidth) - 1, y0 + i32(kCellHeight) - 1, text, 28.0f,
                               lit ? 0xFFFFD020u : 0xFFFFFFFFu);
            for (u32 y = u32(y0); y < u32(y0) + kCellHeight; ++y)
                for (u32 x = u32(x0); x < u32(x0) + kCellWidth; ++x)
                    if (picture.texels[y * kTextureWidth + x] == 0xFF000000u) picture.texels[y * kTextureWidth + x] = 0xFF00FF00u;
            continue;
        }
        if (i < layers.size() && IsClear(layers[i].substr(layers[i].rfind('/') + 1))) {
            picture.Fill(x0, y0, kCellWidth, kCellHeight, 0xFF00FF00u);   // the loader's key: nothing drawn
            continue;
        }
        if (i < layers.size() && IsOutline(layers[i])) {
            // Keyed out inside its edge, which stays.
            picture.Fill(x0, y0, kCellWidth, kCellHeight, 0xFF00FF00u);
            const u32 edge = lit ? 0xFFFF9A10u : 0xFFC0C0C0u;
            const bool clear = layers[i].substr(layers[i].rfind('/') + 1) == "moyo";
            for (i32 k = 0; k < (clear ? 0 : lit ? 3 : 1); ++k)
                picture.Frame(x0 + k, y0 + k, i32(kCellWidth) - 2 * k, i32(kCellHeight) - 2 * k, edge);
            continue;
        }
        if (i < layers.size() && IsNarrowMark(layers[i])) {
            // A digit stands in a slot a fifth of a cell wide: drawn that
            // narrow, then stretched over the cell, it reads when squeezed.
            constexpr i32 kNarrow = 24;
            battle_data::Picture digit(kNarrow, kCellHeight, CellColour(i));
            digit.Frame(0, 0, kNarrow, kCellHeight, 0xFF303030u);
            battle_data::Write(digit, (kNarrow - battle_data::TextWidth(text, 24.0f)) / 2, 4, kNarrow - 1,
                               i32(kCellHeight) - 1, text, 24.0f, 0xFF000000u);
            for (u32 y = 0; y < kCellHeight; ++y)
                for (u32 x = 0; x < kCellWidth; ++x)
                    picture.texels[(u32(y0) + y) * kTextureWidth + u32(x0) + x] = digit.texels[y * kNarrow + x * kNarrow / kCellWidth];
            continue;
        }
        if (i < layers.size()) {
            const std::string leaf = layers[i].substr(layers[i].rfind('/') + 1);
            if (leaf == "Tab") {
                picture.Fill(x0, y0, kCellWidth, kCellHeight, kRoomTabFill);
                continue;
            }
            if (IsFocusFrame(leaf) || IsDarkBackground(leaf)) {
                picture.Fill(x0, y0, kCellWidth, kCellHeight, 0xFF182030u);
                if (IsFocusFrame(leaf)) picture.Frame(x0, y0, kCellWidth, kCellHeight, 0xFFFF9A10u);
                if (IsDarkBox(leaf)) picture.Frame(x0, y0, kCellWidth, kCellHeight, 0xFF8890A0u);
                continue;
            }
        }
        // A plain fill (a background, stretched) is dark and unframed.
        if (text.empty() && !lit && i < layers.size()) {
            picture.Fill(x0, y0, kCellWidth, kCellHeight, PlainColour(i));
            continue;
        }
        picture.Fill(x0, y0, kCellWidth, kCellHeight, lit ? 0xFFFF9A10u : CellColour(i));
        picture.Frame(x0, y0, kCellWidth, kCellHeight, lit ? 0xFF800000u : 0xFF303030u);
        if (lit) picture.Frame(x0 + 1, y0 + 1, kCellWidth - 2, kCellHeight - 2, 0xFF800000u);
        if (text.empty()) continue;
        // The words as large as fit: 20 texels high, smaller when long.
        f32 pixels = 20.0f;
        while (pixels > 10.0f && battle_data::TextWidth(text, pixels) > i32(kCellWidth) - 8) pixels -= 1.0f;
        const i32 top = y0 + (i32(kCellHeight) - i32(pixels)) / 2;
        battle_data::Write(picture, x0 + 5, top, x0 + i32(kCellWidth) - 2, y0 + i32(kCellHeight) - 2, text, pixels,
                           0xFF000000u);
    }
    if (TextureSheetError(layers.size(), sheets).empty())
        for (const LayerSheet& sheet : sheets) DrawSheet(picture, sheet);
    bytes = picture.Png();
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
    // Every texture a layout names shows that layout's words, wherever the
    // set holds it.
    const auto leafOf = [](const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); };
    // A layout's cells added after another's sheet must not reach it.
    for (const auto& [texture, sheets] : set.textureSheets)
        if (const std::string why = TextureSheetError(set.textureLayers[texture].size(), sheets); !why.empty())
            set.error += texture + ": " + why + "\n";
    const auto texturedBytes = [&](const std::string& name) -> const std::string& {
        const auto sheets = set.textureSheets.find(name);
        const auto words = set.textureWords.find(name);
        const bool sheeted = sheets != set.textureSheets.end() && !sheets->second.empty();
        const std::vector<std::string>& cells = set.textureLayers.at(name);
        return CellTextureBytes(cells, sheeted ? sheets->second : std::vector<LayerSheet>{},
                                words != set.textureWords.end() ? words->second : std::map<std::string, std::string>{},
                                set.fittedTextures.count(name) && !sheeted ? FittedHeight(cells.size()) : kTextureHeight);
    };
    for (CSceneDataSet::Entry& e : set.entries) {
        const auto found = set.textureLayers.find(leafOf(e.name));
        if (found != set.textureLayers.end() && e.bytes == CellTextureBytes()) e.bytes = texturedBytes(found->first);
    }
    for (size_t i = 0; i < set.files.size(); ++i) {
        const auto found = set.textureLayers.find(leafOf(set.files[i].first));
        if (found != set.textureLayers.end() && set.fileBytes[i] == CellTextureBytes())
            set.fileBytes[i] = texturedBytes(found->first);
    }
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

// The battle HUD layout the console tests use, made with the layout writer:
// every element the consoles look up, each an 8 x 8 cell of one 256 x 256
// texture (so a drawn sprite's UVs tell which element it is), all placed at
// (kElementX, kElementY) so a draw's offset reads straight off its corner.
// Menu items sit in their page's group, the tension parts in "TensionGage".
// Consoles added later append their names to ConsoleElements(). The
// battle data set writes the same elements placed as a HUD has them, with
// a texture whose cells look like what they stand for (WriteConsoleData).
#pragma once

#include "engine/core/Geometry.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/testdata/Lettering.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace console_test {

inline constexpr f32 kElementX = 100.0f, kElementY = 200.0f;
inline constexpr u32 kCell = 8, kTextureSide = 256;

struct Element {
    std::string name;
    std::string parent;   // empty: top level
    bool group = false;
};

inline std::vector<Element>& ConsoleElements()
{
    static std::vector<Element> elements = [] {
        std::vector<Element> e;
        const auto top = [&e](std::initializer_list<const char*> names) {
            for (const char* n : names) e.push_back({n, "", false});
        };
        const auto in = [&e](const char* parent, std::initializer_list<const char*> names) {
            for (const char* n : names) e.push_back({n, parent, false});
        };
        // Battle state.
        top({"BgmName", "Time", "Tiwk", "Timug", "Ti0", "Ti1", "Ti2", "Ti3", "Ti4", "Ti5", "Ti6", "Ti7", "Ti8",
            "Ti9", "Point", "PRed", "PBlue", "PYellow", "PGreen", "PTre", "PTbl", "PTye", "PTgr", "Ready", "Go",
            "Fr", "Fe", "Fa", "Fd", "Fy", "FreW1", "FreW2", "Fgo", "FgoB", "Fwi", "Flo", "Fdr", "obi",
            "sur_gekiha", "sur_cnt"});
        for (int t = 1; t <= 4; ++t) {
            for (int p = 1; p <= 3; ++p) e.push_back({"Rad" + std::to_string(t) + "1" + std::to_string(p), "", false});
        }
        // Tension.
        e.push_back({"TensionGage", "", true});
        in("TensionGage", {"TEN1", "TEN12", "TEN13", "TEN14", "TEN1s", "TEN2", "TEN3", "TEN4", "TENcpu", "TENbar",
            "TEN_ebar", "TENlo", "TENno", "TENhi", "TENcl", "TENlonu", "TENnou", "TENhiu", "TENclu", "TEN_elo",
            "TEN_eno", "TEN_ehi", "TEN_ecl"});
        // Menus: windows, then each group with its items.
        top({"Win1", "Win2", "Win4"});
        const struct {
            const char* group;
            std::initializer_list<const char*> items;
        } pages[] = {
            {"WinEnd", {"winEs11", "winEs12"}},
            {"WinBattle", {"winMclo3", "winRetr", "winModo", "winTit4"}},
            {"WinBattleEnd", {"winRetr3", "winModo3", "winTit5"}},
            {"WinTraining", {"winMclo", "winRetr2", "winT30", "winT40", "winModo2", "winTyaji1", "winTyaji2",
                "winT321", "winT322", "winT323", "winT324", "winT325", "winT31", "winT33", "winT37", "winT35",
                "winT34", "winT36", "winT42", "winT41"}},
            {"WinAdventure", {"winMclo7", "winRetr7", "winModo6", "winTit13"}},
            {"WinAdventureEnd", {"winRetr8", "winModo7", "winTit14"}},
            {"WinStory", {"winMclo2", "winTit2"}},
            {"WinStoryEnd", {"winRetr4", "winTit8"}},
            {"WinReplay", {"winMclo4", "winC2", "winR3", "winTit6"}},
            {"WinReplayEnd", {"winC3", "winR4", "winTit7"}},
            {"WinNetworkHost", {"winMclo5", "winRetr5", "winModo4", "winN2", "winTit9"}},
            {"WinNetworkHostEnd", {"winRetr6", "winModo5", "winN3", "winTit10"}},
            {"WinNetworkClient", {"winMclo6", "winTit11"}},
            {"WinNetworkClientEnd", {"winTit12"}},
        };
        for (const auto& p : pages) {
            e.push_back({p.group, "", true});
            in(p.group, p.items);
        }
        const auto group = [&e](const char* name, const char* parent = "") { e.push_back({name, parent, true}); };
        // Own gauges. The digit glyphs sit at the top level; the counters of
        // kind 2 share the names "rctT1".."rctT4" inside "WState" (added last).
        group("CState");
        group("HP", "CState");
        in("HP", {"rbGh", "rbGkara"});
        group("ME", "CState");
        in("ME", {"ME2", "ME1", "ME3", "ME4"});
        in("CState", {"CBase", "MP", "Spin", "Cta", "Chtal", "rbGtR", "rbGtB", "rbGtY", "rbGtG", "rei_geki0",
            "rei_soku1", "rei_syu14", "rei_empA", "rei_empB", "rei_empC"});
        group("CTension", "CState");
        in("CTension", {"Tlo", "Tno", "Thi", "Tcl"});
        group("WState", "CState");
        in("WState", {"WTalve", "WTalveA", "WTalveB", "rcsp1", "rcchsp", "Wgado", "Wkins", "Wta11", "Wta12",
            "Wta13", "Wta14", "Wta21", "Wta22", "Wta23", "Wta24", "Wta5", "Wta6", "Wta7", "rcga", "rcga2",
            "rcga3", "rcgaC3", "rcga4", "rcgaC4", "rcga5", "rcga6", "rcga7", "Amm2", "rctT21", "rctT22", "rctT23",
            "rctT24"});
        in("CState", {"watack", "DengL", "DengR", "DengB",
            "DengT", "dang!4", "dang!3", "dang!", "dang!2", "dangWak4", "dangWak3", "dangWak", "dangWak2"});
        group("ShootOut", "CState");
        in("ShootOut", {"rendaon", "rendaoff"});
        top({"rctT0", "rctT1", "rctT2", "rctT3", "rctT4", "rctT5", "rctT6", "rctT7", "rctT8", "rctT9"});
        // The other fighters' panels and tags.
        group("EState");
        in("EState", {"En_Gwk", "En_Ghp", "Enspwak", "Enspin", "EnNta", "EnNde", "lb_??", "lb_unkno", "EnCre",
            "EnCbu", "EnCye", "EnCgr", "En_ta", "En_de", "rei_geki0_m", "rei_empA_m", "rei_empB_m", "rei_empC_m",
            "EnCha", "EnPin", "EnLed", "EnLock"});
        group("ETension", "EState");
        in("ETension", {"EnTlo", "EnTn", "EnThi", "EnTcl"});
        group("Target");
        in("Target", {"TarHpWk", "TarHp", "TarNta", "TarNde", "TarEnCre", "TarEnCbl", "TarEnCye", "TarEnCgr"});
        top({"TarWak", "TarWak2"});
        // The radar.
        top({"map"});
        group("MapArea");
        in("MapArea", {"MapEdge"});
        top({"mapsk"});
        // Kind 2's counter, whose digits are named as the glyphs are.
        in("WState", {"Amm1", "rctT3", "rctT4", "rctT1", "rctT2"});
        return e;
    }();
    return elements;
}

// The texture cell of element i.
inline CRect4 ElementRect(size_t i)
{
    const f32 x = f32(i % (kTextureSide / kCell) * kCell), y = f32(i / (kTextureSide / kCell) * kCell);
    CRect4 r;
    r.Set(x, x + kCell, y, y + kCell);
    return r;
}

// The element whose cell holds texture point (u, v) in 0..1; empty for none.
inline std::string ElementAt(f32 u, f32 v)
{
    const size_t column = size_t(u * kTextureSide) / kCell, row = size_t(v * kTextureSide) / kCell;
    const size_t i = row * (kTextureSide / kCell) + column;
    return i < ConsoleElements().size() ? ConsoleElements()[i].name : std::string();
}

// Where the layout puts its elements: all at (kElementX, kElementY) at
// their cell's size, so a draw's offset reads off its corner (the console
// tests); each at its own place of a 32 x 24 grid of 32-pixel steps, three
// times its size (a frame that shows every element apart); or where a HUD
// has them, each at a size that reads on a 1024 x 768 screen (the battle
// data set).
enum class ConsolePlacement { kStacked, kSpread, kHud };

// A HUD element's top-left corner and size in layout pixels.
struct HudSpot {
    f32 x, y, w, h;
};

// The in-battle menus: each page's items in order (the group's elements
// before the training page's values and markers), what each item says, and
// the training values A (0..10) and B (off, on).
inline constexpr f32 kMenuLeft = 736.0f, kMenuTop = 232.0f, kMenuItemWidth = 256.0f, kMenuItemHeight = 40.0f,
                     kMenuItemStep = 48.0f;
inline constexpr const char* kTrainingValuesA[11] = {"winT321", "winT322", "winT323", "winT324", "winT325", "winT31",
    "winT33", "winT37", "winT35", "winT34", "winT36"};
inline constexpr const char* kTrainingValuesB[2] = {"winT42", "winT41"};
// The slot of a menu item on its page (0 at the top), -1 for other elements.
inline i32 MenuItemIndex(const std::string& name)
{
    static const std::map<std::string, i32> slots = [] {
        std::map<std::string, i32> m;
        std::map<std::string, i32> next;
        for (const Element& e : ConsoleElements()) {
            if (e.group || e.parent.rfind("Win", 0) != 0) continue;
            if (e.name == "winTyaji1" || e.name == "winTyaji2") continue;
            if (std::find(std::begin(kTrainingValuesA), std::end(kTrainingValuesA), e.name) != std::end(kTrainingValuesA) ||
                std::find(std::begin(kTrainingValuesB), std::end(kTrainingValuesB), e.name) != std::end(kTrainingValuesB))
                continue;
            m[e.name] = next[e.parent]++;
        }
        return m;
    }();
    const auto it = slots.find(name);
    return it == slots.end() ? -1 : it->second;
}
// The words of a menu element ("" for none).
inline std::string MenuWords(const std::string& name)
{
    const auto starts = [&name](const char* p) { return name.rfind(p, 0) == 0; };
    for (u32 i = 0; i < 11; ++i)
        if (name == kTrainingValuesA[i]) return "Level " + std::to_string(i);
    if (name == kTrainingValuesB[0]) return "Off";
    if (name == kTrainingValuesB[1]) return "On";
    if (name == "winTyaji1" || name == "winTyaji2") return ">";
    if (name == "winEs11") return "Quit game";
    if (name == "winEs12") return "Cancel";
    if (name == "winT30") return "CPU level";
    if (name == "winT40") return "Damage";
    if (name == "winModo6" || name == "winModo7") return "Adventure map";
    if (starts("winMclo")) return "Resume";
    if (starts("winRetr")) return "Retry";
    if (starts("winModo")) return "Character select";
    if (starts("winTit")) return "Title";
    if (name == "winC2" || name == "winC3") return "Watch again";
    if (name == "winR3" || name == "winR4") return "Replay list";
    if (name == "winN2" || name == "winN3") return "Room";
    return "";
}

// The HUD places of the elements a battle shows; the others (the other
// characters' parts, banners not on show) keep their grid place.
inline bool HudSpotOf(const std::string& n, HudSpot* out)
{
    static const std::map<std::string, HudSpot> spots = [] {
        std::map<std::string, HudSpot> m;
        const auto put = [&m](std::initializer_list<const char*> names, HudSpot s) {
            for (const char* n : names) m[n] = s;
        };
        // The clock, top centre; the digits 28 pixels apart.
        put({"Tiwk"}, {444, 8, 136, 56});
        put({"Time"}, {444, 64, 136, 12});
        for (int d = 0; d < 10; ++d) put({("Ti" + std::to_string(d)).c_str()}, {470, 16, 24, 40});
        put({"Timug"}, {470, 16, 80, 40});
        // The music's title plate, top right, under the tension strip.
        put({"BgmName"}, {640, 96, 368, 28});
        put({"TEN1", "TEN12", "TEN13", "TEN14", "TEN1s", "TEN2", "TEN3", "TEN4", "TENcpu"}, {640, 24, 368, 24});
        put({"TENlo", "TENno", "TENhi", "TENcl", "TENlonu", "TENnou", "TENhiu", "TENclu", "TEN_elo", "TEN_eno",
                "TEN_ehi", "TEN_ecl"}, {644, 28, 40, 16});
        put({"TENbar", "TEN_ebar"}, {640, 20, 6, 32});
        // Lives and survival, top right.
        put({"PRed", "PBlue", "PYellow", "PGreen"}, {980, 136, 28, 28});
        put({"PTre", "PTbl", "PTye", "PTgr"}, {950, 140, 20, 20});
        put({"Point"}, {900, 180, 24, 24});
        put({"sur_gekiha"}, {800, 180, 96, 32});
        put({"sur_cnt"}, {900, 180, 24, 40});
        // Quick-message rows: the parts at the origin, the row's corner
        // moves them; the middle is 288 wide, as the console stretches it.
        for (int t = 1; t <= 4; ++t) {
            const std::string r = "Rad" + std::to_string(t) + "1";
            put({(r + "1").c_str()}, {0, 0, 8, 44});
            put({(r + "2").c_str()}, {8, 0, 288, 44});
            put({(r + "3").c_str()}, {296, 0, 8, 44});
        }
        // The start call and the result, centre.
        put({"FreW1"}, {212, 336, 600, 8});
        put({"FreW2"}, {212, 424, 600, 8});
        put({"Ready"}, {392, 352, 240, 64});
        put({"Go"}, {432, 344, 160, 80});
        const char* letters[5] = {"Fr", "Fe", "Fa", "Fd", "Fy"};
        for (int i = 0; i < 5; ++i) put({letters[i]}, {f32(392 + 48 * i), 352, 40, 64});
        put({"Fgo"}, {432, 344, 160, 80});
        put({"FgoB"}, {432, 344, 160, 80});
        put({"Fwi", "Flo", "Fdr"}, {312, 320, 400, 120});
        put({"obi"}, {0, 512, 1024, 32});
        // The own gauges, bottom left.
        put({"CBase"}, {8, 596, 412, 164});
        put({"rbGkara"}, {24, 632, 300, 4});
        put({"rbGh"}, {24, 612, 300, 20});
        put({"rbGtR", "rbGtB", "rbGtY", "rbGtG"}, {332, 612, 20, 20});
        put({"MP"}, {24, 640, 10, 18});
        put({"Spin"}, {24, 666, 240, 10});
        put({"Tlo", "Tno", "Thi", "Tcl"}, {272, 640, 64, 36});
        put({"Chtal", "Chder"}, {24, 684, 128, 20});
        put({"Cta", "Cde"}, {160, 684, 96, 20});
        put({"rei_geki0", "rei_soku1", "rei_syu14", "rei_empA", "rei_empB", "rei_empC"}, {24, 716, 24, 24});
        // The weapon panel: a row per action kind, icon, label, gauge and
        // (kinds 2 and 4) the count and capacity.
        put({"WTalve", "WDerona"}, {432, 596, 160, 16});
        put({"WTalveA", "WTalveB"}, {596, 596, 24, 16});
        const auto row = [](int k) { return f32(616 + 15 * k); };
        put({"Wgado"}, {432, row(0), 12, 12});
        put({"Wkins"}, {432, row(1), 12, 12});
        for (int k = 2; k <= 5; ++k) {
            put({("Wta1" + std::to_string(k - 1)).c_str(), ("Wta2" + std::to_string(k - 1)).c_str()},
                {432, row(k), 12, 12});
        }
        for (int k = 6; k <= 8; ++k) put({("Wta" + std::to_string(k - 1)).c_str()}, {432, row(k), 12, 12});
        put({"rcsp1", "rcchsp"}, {448, row(4), 32, 12});
        const char* bars[9] = {"rcga", "rcga2", "rcga3", "rcgaC3", "rcga4", "rcgaC4", "rcga5", "rcga6", "rcga7"};
        for (int k = 0; k < 9; ++k) put({bars[k]}, {484, row(k) + 1, 100, 10});
        for (const auto& [frame, base, k] : {std::tuple{"Amm1", "rctT", 2}, std::tuple{"Amm2", "rctT2", 4}}) {
            put({frame}, {590, row(k) - 1, 60, 14});
            const std::string b = base;
            put({(b + "1").c_str()}, {594, row(k), 10, 12});
            put({(b + "2").c_str()}, {604, row(k), 10, 12});
            put({(b + "3").c_str()}, {626, row(k), 10, 12});
            put({(b + "4").c_str()}, {636, row(k), 10, 12});
        }
        put({"ME1", "ME2", "ME3", "ME4"}, {680, 440, 64, 20});
        put({"watack"}, {680, 404, 96, 24});
        put({"DengL"}, {400, 372, 24, 24});
        put({"DengR"}, {600, 372, 24, 24});
        put({"DengT"}, {500, 280, 24, 24});
        put({"DengB"}, {500, 464, 24, 24});
        put({"rendaon", "rendaoff"}, {452, 476, 120, 24});
        // The other fighters' panels, top left, stacking upwards.
        put({"En_Gwk"}, {16, 16, 244, 20});
        put({"En_Ghp"}, {18, 18, 240, 16});
        put({"En_ta", "En_de"}, {16, 40, 36, 36});
        put({"EnNta", "EnNde"}, {58, 40, 96, 16});
        put({"EnCre", "EnCbu", "EnCye", "EnCgr"}, {160, 40, 16, 16});
        put({"Enspwak"}, {58, 62, 120, 10});
        put({"Enspin"}, {58, 62, 120, 10});
        put({"lb_??", "lb_unkno"}, {58, 60, 96, 14});
        put({"EnTlo", "EnTn", "EnThi", "EnTcl"}, {184, 40, 28, 16});
        put({"rei_geki0_m", "rei_empA_m", "rei_empB_m", "rei_empC_m"}, {184, 60, 16, 16});
        put({"EnCha", "EnPin"}, {268, 16, 40, 16});
        put({"EnLed"}, {268, 36, 40, 16});
        put({"EnLock"}, {268, 56, 40, 16});
        // Over a fighter: the tag and the reticle about its point.
        put({"TarEnCre", "TarEnCbl", "TarEnCye", "TarEnCgr"}, {-40, -8, 12, 12});
        put({"TarHpWk"}, {-24, -8, 64, 8});
        put({"TarHp"}, {-24, -8, 64, 8});
        put({"TarNta", "TarNde"}, {-24, 2, 64, 12});
        put({"TarWak", "TarWak2"}, {-24, -24, 48, 48});
        // The radar, bottom right; the markers start at its corner.
        put({"map"}, {808, 552, 200, 200});
        put({"MapEdge"}, {838, 582, 140, 140});
        put({"mapsk"}, {808, 552, 14, 14});
        // The menus, right of the result banner so both read: a window
        // each (one per item count), the items down it; the training
        // values over their item's right end, its markers left of it.
        put({"Win1"}, {kMenuLeft - 16, kMenuTop - 16, kMenuItemWidth + 32, 24 + 5 * kMenuItemStep});
        put({"Win4"}, {kMenuLeft - 16, kMenuTop - 16, kMenuItemWidth + 32, 24 + 4 * kMenuItemStep});
        put({"Win2"}, {kMenuLeft - 16, kMenuTop - 16, kMenuItemWidth + 32, 24 + 3 * kMenuItemStep});
        for (const Element& e : ConsoleElements()) {
            const i32 item = MenuItemIndex(e.name);
            if (item >= 0) m[e.name] = {kMenuLeft, kMenuTop + kMenuItemStep * f32(item), kMenuItemWidth, kMenuItemHeight};
        }
        for (const char* const* values : {kTrainingValuesA, kTrainingValuesB}) {
            const f32 y = kMenuTop + kMenuItemStep * (values == kTrainingValuesA ? 2.0f : 3.0f);
            for (u32 i = 0; i < (values == kTrainingValuesA ? 11u : 2u); ++i)
                m[values[i]] = {kMenuLeft + kMenuItemWidth - 84, y + 4, 80, kMenuItemHeight - 8};
        }
        put({"winTyaji1"}, {kMenuLeft - 16, kMenuTop + 2 * kMenuItemStep, kMenuItemWidth, kMenuItemHeight});
        put({"winTyaji2"}, {kMenuLeft - 16, kMenuTop + 3 * kMenuItemStep, kMenuItemWidth, kMenuItemHeight});
        return m;
    }();
    const auto it = spots.find(n);
    if (it == spots.end()) return false;
    *out = it->second;
    return true;
}

// The battle data set's texture is four times the cells' side: below the
// cells, the banners a player must read, each a 256 x 64 cell with its
// words (the result says who won, from the own fighter's side); below
// them the menus' windows; right of them the menus' words, a 256 x 40
// cell for each wording.
inline constexpr u32 kHudTextureSide = 4 * kTextureSide;
struct HudBanner {
    const char* element;
    const char* words;
    uint32_t colour;
};
inline constexpr HudBanner kHudBanners[] = {
    {"Fwi", "YOU WIN!", 0xFFFFE060u}, {"Flo", "YOU LOSE", 0xFF80B0FFu}, {"Fdr", "DRAW", 0xFFFFFFFFu},
    {"Ready", "READY", 0xFFFFE060u}, {"Go", "GO!", 0xFFFF8040u}, {"Fgo", "GO!", 0xFFFF8040u},
    {"FgoB", "GO!", 0xFFFFFFC0u},
};
inline bool HudBannerRect(const std::string& name, CRect4* rect)
{
    for (size_t i = 0; i < std::size(kHudBanners); ++i) {
        if (name != kHudBanners[i].element) continue;
        const f32 x = f32(i % 2 * 256), y = f32(kTextureSide + i / 2 * 64);
        rect->Set(x, x + 256.0f, y, y + 64.0f);
        return true;
    }
    return false;
}

// The music title's plate on the HUD texture, at the size it is drawn: the
// title takes the plate layer's own scale, which stays 1.
inline bool HudPlateRect(const std::string& name, CRect4* rect)
{
    if (name != "BgmName") return false;
    rect->Set(0.0f, 368.0f, 640.0f, 668.0f);
    return true;
}

// The menu element's picture on the HUD texture: its window's panel, or
// the cell of its words.
inline bool HudMenuRect(const std::string& name, CRect4* rect)
{
    static const char* const windows[] = {"Win1", "Win2", "Win4"};
    for (u32 i = 0; i < 3; ++i) {
        if (name != windows[i]) continue;
        const f32 x = f32(i * 128);
        rect->Set(x, x + 128.0f, 512.0f, 640.0f);
        return true;
    }
    const std::string words = MenuWords(name);
    if (words.empty()) return false;
    static const std::vector<std::string> wordings = [] {
        std::vector<std::string> w;
        for (const Element& e : ConsoleElements()) {
            const std::string text = MenuWords(e.name);
            if (!text.empty() && std::find(w.begin(), w.end(), text) == w.end()) w.push_back(text);
        }
        return w;
    }();
    const size_t i = size_t(std::find(wordings.begin(), wordings.end(), words) - wordings.begin());
    const f32 x = f32(512 + i % 2 * 256), y = f32(i / 2 * 40);
    rect->Set(x, x + 256.0f, y, y + 40.0f);
    return true;
}

// The layout file's bytes, less the names in omit (a group's items go with
// it), written by the layers' own writer.
inline std::string ConsoleLayoutBytes(const std::set<std::string>& omit = {},
    ConsolePlacement placement = ConsolePlacement::kStacked)
{
    CResourceList top;
    std::vector<std::pair<std::string, CSceneObject*>> groups;
    const std::vector<Element>& all = ConsoleElements();
    for (size_t i = 0; i < all.size(); ++i) {
        const Element& e = all[i];
        if (omit.count(e.name) || omit.count(e.parent)) continue;
        CResourceList* list = &top;
        for (auto& [name, layer] : groups) {
            if (name == e.parent) list = layer->GetChildren();
        }
        auto* layer = new CSceneObject(e.name.c_str(), list);
        AppendLayer(list, layer);
        layer->SetVisible(1);
        layer->SetGroup(e.group ? 1 : 0);
        if (e.group) {
            groups.emplace_back(e.name, layer);
            continue;
        }
        layer->GetSettings().offset.rect = ElementRect(i);
        HudSpot spot;
        if (placement == ConsolePlacement::kStacked) {
            layer->SetOffset(kElementX, kElementY);
        } else if (placement == ConsolePlacement::kHud && HudSpotOf(e.name, &spot)) {
            // The size in the scaling track, so the consoles' own scales
            // (a gauge's fill) multiply it.
            layer->SetOffset(spot.x, spot.y);
            CRect4 banner;
            const bool isBanner =
                HudBannerRect(e.name, &banner) || HudMenuRect(e.name, &banner) || HudPlateRect(e.name, &banner);
            if (isBanner) layer->GetSettings().offset.rect = banner;
            const f32 side = isBanner ? banner.right - banner.left : f32(kCell);
            const f32 high = isBanner ? banner.bottom - banner.top : f32(kCell);
            const CVector3 scale(spot.w / side, spot.h / high, 1.0f);
            layer->GetScalingTrack().SetDefaultValue(&scale);
        } else {
            layer->SetOffset(f32(i % 32 * 32), f32(i / 32 % 24 * 32));
            layer->SetScale(3.0f, 3.0f);
        }
    }
    host::kernel::ByteSink out;
    const u32 count = top.GetCount();
    out.Write("\0\0\0\0", 4);   // no scene name
    out.Write(&count, 4);
    for (u32 i = 0; i < count; ++i) LayerAt(&top, i)->Save(&out);
    return out.Bytes();
}

// The texture: each element's 8 x 8 cell drawn as what it stands for, on
// pure green (the loader's colour key: transparent). Digits and the start
// call's letters as 5 x 7 glyphs, gauges as full bars, frames as outlines,
// team parts in their team's colour; the rest a framed tile of its own hue.
inline std::vector<uint32_t> ConsoleTexels()
{
    constexpr uint32_t kKey = 0xFF00FF00u, kWhite = 0xFFFFFFFFu;
    static const std::map<char, std::array<const char*, 7>> glyphs = {
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
        {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
        {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
        {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
        {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
        {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
        {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
        {'G', {".####", "#....", "#....", "#.###", "#...#", "#...#", ".###."}},
        {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    };
    std::vector<uint32_t> texels(kTextureSide * kTextureSide, kKey);
    const auto cell = [&](size_t i, auto paint) {
        const CRect4 r = ElementRect(i);
        for (uint32_t y = 0; y < kCell; ++y) {
            for (uint32_t x = 0; x < kCell; ++x) {
                const uint32_t c = paint(x, y);
                texels[(uint32_t(r.top) + y) * kTextureSide + uint32_t(r.left) + x] = c;
            }
        }
    };
    const auto glyph = [&](size_t i, char g, uint32_t colour) {
        const auto& rows = glyphs.at(g);
        cell(i, [&](uint32_t x, uint32_t y) {
            return x >= 1 && x < 6 && y < 7 && rows[y][x - 1] == '#' ? colour : kKey;
        });
    };
    const auto fill = [&](size_t i, uint32_t colour) { cell(i, [&](uint32_t, uint32_t) { return colour; }); };
    const auto frame = [&](size_t i, uint32_t edge, uint32_t inside) {
        cell(i, [&](uint32_t x, uint32_t y) { return x == 0 || y == 0 || x == kCell - 1 || y == kCell - 1 ? edge : inside; });
    };
    const auto team = [](const std::string& n) -> uint32_t {
        static const std::pair<const char*, uint32_t> keys[] = {{"Red", 0xFFE03030u}, {"Cre", 0xFFE03030u},
            {"tR", 0xFFE03030u}, {"Tre", 0xFFE03030u}, {"Blue", 0xFF3060E0u}, {"Cbu", 0xFF3060E0u},
            {"Cbl", 0xFF3060E0u}, {"tB", 0xFF3060E0u}, {"Tbl", 0xFF3060E0u}, {"Yellow", 0xFFE0D030u},
            {"Cye", 0xFFE0D030u}, {"tY", 0xFFE0D030u}, {"Tye", 0xFFE0D030u}, {"Green", 0xFF30C040u},
            {"Cgr", 0xFF30C040u}, {"tG", 0xFF30C040u}, {"Tgr", 0xFF30C040u}};
        for (const auto& [key, colour] : keys) {
            if (n.size() >= std::strlen(key) && n.compare(n.size() - std::strlen(key), std::string::npos, key) == 0)
                return colour;
        }
        return 0;
    };
    const std::vector<Element>& all = ConsoleElements();
    for (size_t i = 0; i < all.size(); ++i) {
        const std::string& n = all[i].name;
        const auto starts = [&n](const char* p) { return n.rfind(p, 0) == 0; };
        const bool top = all[i].parent.empty();
        if ((starts("Ti") && n.size() == 3) || (starts("rctT") && n.size() == 5 && top)) {
            glyph(i, n.back(), kWhite);
        } else if (n == "Fr" || n == "Fe" || n == "Fa" || n == "Fd" || n == "Fy") {
            glyph(i, char(n[1] - 'a' + 'A'), 0xFFFFE060u);
        } else if (n == "Fgo" || n == "FgoB") {
            glyph(i, 'G', n == "Fgo" ? 0xFFFF8040u : 0xFFFFFFC0u);
        } else if (n == "Timug") {
            glyph(i, '-', kWhite);
        } else if (n == "rbGh" || n == "En_Ghp" || n == "TarHp") {
            fill(i, 0xFF40E060u);
        } else if (n == "rbGkara") {
            fill(i, 0xFFE08030u);
        } else if (n == "Spin" || n == "Enspin") {
            fill(i, 0xFF40D0F0u);
        } else if (starts("rcga")) {
            fill(i, 0xFFF0E040u);
        } else if (n == "MP") {
            frame(i, 0xFF2040A0u, 0xFF80A0FFu);
        } else if (starts("Rad")) {
            static const uint32_t panels[4] = {0xFF802020u, 0xFF203080u, 0xFF807020u, 0xFF206030u};
            cell(i, [&](uint32_t, uint32_t y) { return y == 0 || y == kCell - 1 ? kWhite : panels[(n[3] - '1') & 3]; });
        } else if (n == "map") {
            cell(i, [&](uint32_t x, uint32_t y) {
                const i32 dx = 2 * i32(x) - 7, dy = 2 * i32(y) - 7, d = dx * dx + dy * dy;
                return d <= 49 ? (d >= 30 ? kWhite : 0xFF203040u) : kKey;
            });
        } else if (n == "MapEdge") {
            frame(i, 0xFF80FF80u, kKey);
        } else if (n == "mapsk") {
            cell(i, [&](uint32_t x, uint32_t y) { return 2 * i32(x) >= 7 - i32(y) && 2 * i32(x) <= 7 + i32(y) ? kWhite : kKey; });
        } else if (n == "TarWak" || n == "TarWak2") {
            frame(i, kWhite, kKey);
        } else if (n == "obi") {
            fill(i, 0xFF101828u);
        } else if (n == "FreW1" || n == "FreW2") {
            fill(i, 0xFFFFE060u);
        } else if (const uint32_t colour = team(n)) {
            fill(i, colour);
        } else if (n == "Tiwk" || n == "En_Gwk" || n == "Enspwak" || n == "TarHpWk" || n == "BgmName" ||
                   starts("Amm") || starts("TEN")) {
            frame(i, 0xFFC0C0C0u, 0xFF202020u);
        } else if (n == "CBase") {
            frame(i, 0xFF8090A0u, 0xFF102030u);
        } else {
            const uint32_t hue = uint32_t(i * 2654435761u >> 8) | 0x404040u;
            frame(i, kWhite, 0xFF000000u | hue);
        }
    }
    return texels;
}

// "Scene/Console.sce" and its texture "Console_01.dds" (a BMP inside: the
// loader goes by the bytes, not the name) under folder.
inline bool WriteConsoleData(const std::string& folder, const std::set<std::string>& omit = {},
    ConsolePlacement placement = ConsolePlacement::kStacked)
{
    const std::string layout = ConsoleLayoutBytes(omit, placement);
    const std::vector<uint32_t> pixels = ConsoleTexels();
    std::vector<uint8_t> bmp;
    if (placement == ConsolePlacement::kHud) {
        // The cells in the top-left quarter, the banners with their words
        // below, on the key's green (transparent) around the letters.
        battle_data::Picture hud(kHudTextureSide, kHudTextureSide, 0xFF00FF00u);
        for (u32 y = 0; y < kTextureSide; ++y)
            for (u32 x = 0; x < kTextureSide; ++x) hud.texels[y * kHudTextureSide + x] = pixels[y * kTextureSide + x];
        for (const HudBanner& banner : kHudBanners) {
            CRect4 r;
            HudBannerRect(banner.element, &r);
            const i32 x = i32(r.left), y = i32(r.top);
            hud.Fill(x + 4, y + 4, 248, 56, 0xFF101828u);
            hud.Frame(x + 4, y + 4, 248, 56, banner.colour);
            const i32 w = battle_data::TextWidth(banner.words, 44.0f);
            battle_data::Write(hud, x + (256 - w) / 2, y + 8, x + 250, y + 58, banner.words, 44.0f, banner.colour);
        }
        // The menus: dark windows in a light frame; each wording dark on
        // a light cell (the menu greys the items not chosen), a marker
        // an arrow alone at its cell's left end.
        for (const Element& e : ConsoleElements()) {
            CRect4 r;
            if (!HudMenuRect(e.name, &r)) continue;
            const i32 x = i32(r.left), y = i32(r.top), w = i32(r.right - r.left), h = i32(r.bottom - r.top);
            const std::string words = MenuWords(e.name);
            if (words.empty()) {
                hud.Fill(x, y, w, h, 0xFF182840u);
                for (i32 k = 0; k < 3; ++k) hud.Frame(x + k, y + k, w - 2 * k, h - 2 * k, 0xFFC0D0E0u);
            } else if (words == ">") {
                hud.Fill(x, y, w, h, 0xFF00FF00u);
                battle_data::Write(hud, x + 2, y + 4, x + w - 1, y + h - 1, words, 32.0f, 0xFFFFD020u);
            } else {
                hud.Fill(x, y, w, h, 0xFFE8ECF0u);
                hud.Frame(x, y, w, h, 0xFF303030u);
                battle_data::Write(hud, x + 10, y + 6, x + w - 2, y + h - 2, words, 26.0f, 0xFF000000u);
            }
        }
        CRect4 plate;
        HudPlateRect("BgmName", &plate);
        const i32 px = i32(plate.left), py = i32(plate.top), pw = i32(plate.right - plate.left);
        const i32 ph = i32(plate.bottom - plate.top);
        hud.Fill(px, py, pw, ph, 0xFF202020u);
        hud.Frame(px, py, pw, ph, 0xFFC0C0C0u);
        const std::string png = hud.Png();
        return host::kernel::CreateDirectory(folder + "/Scene") &&
            host::kernel::WriteFileAtomic(folder + "/Scene/Console.sce", layout.data(), layout.size()) &&
            host::kernel::WriteFileAtomic(folder + "/Console_01.dds", png.data(), png.size());
    }
    return host::kernel::CreateDirectory(folder + "/Scene") &&
        host::kernel::WriteFileAtomic(folder + "/Scene/Console.sce", layout.data(), layout.size()) &&
        host::image::WriteBmp24(pixels.data(), kTextureSide, kTextureSide, kTextureSide * 4, bmp) &&
        host::kernel::WriteFileAtomic(folder + "/Console_01.dds", bmp.data(), bmp.size());
}

}  // namespace console_test

// The battle HUD layout the console tests use, made with the layout writer:
// every element the consoles look up, each an 8 x 8 cell of one 256 x 256
// texture (so a drawn sprite's UVs tell which element it is), all placed at
// (kElementX, kElementY) so a draw's offset reads straight off its corner.
// Menu items sit in their page's group, the tension parts in "TensionGage".
// Consoles added later append their names to ConsoleElements(). The
// battle data set writes the same layout (WriteConsoleData).
#pragma once

#include "engine/core/Geometry.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/WholeFile.h"

#include <set>
#include <string>
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

// The layout file's bytes, less the names in omit (a group's items go with
// it), written by the layers' own writer.
// spread: each element at its own place of a 32 x 24 grid of 32-pixel
// steps over the 1024 x 768 layout, three times its cell's size, so a whole
// HUD frame shows every element apart.
inline std::string ConsoleLayoutBytes(const std::set<std::string>& omit = {}, bool spread = false)
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
        if (!spread) {
            layer->SetOffset(kElementX, kElementY);
            continue;
        }
        layer->SetOffset(f32(i % 32 * 32), f32(i / 32 % 24 * 32));
        layer->SetScale(3.0f, 3.0f);
    }
    host::kernel::ByteSink out;
    const u32 count = top.GetCount();
    out.Write("\0\0\0\0", 4);   // no scene name
    out.Write(&count, 4);
    for (u32 i = 0; i < count; ++i) LayerAt(&top, i)->Save(&out);
    return out.Bytes();
}

// "Scene/Console.sce" and its texture "Console_01.dds" (a BMP inside: the
// loader goes by the bytes, not the name) under folder.
inline bool WriteConsoleData(const std::string& folder, const std::set<std::string>& omit = {}, bool spread = false)
{
    const std::string layout = ConsoleLayoutBytes(omit, spread);
    std::vector<uint32_t> pixels(kTextureSide * kTextureSide);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    std::vector<uint8_t> bmp;
    return host::kernel::CreateDirectory(folder + "/Scene") &&
        host::kernel::WriteFileAtomic(folder + "/Scene/Console.sce", layout.data(), layout.size()) &&
        host::image::WriteBmp24(pixels.data(), kTextureSide, kTextureSide, kTextureSide * 4, bmp) &&
        host::kernel::WriteFileAtomic(folder + "/Console_01.dds", bmp.data(), bmp.size());
}

}  // namespace console_test

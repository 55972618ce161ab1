// What the start-up screen, the loading screen and the logo open: their
// layouts, the loading archive's backgrounds (each the cell texture with
// its layout's words, so a drawn layer still tells itself by its cell), the
// logo (the studio's name on white) and its voice, the crowd effect behind the menus and the two movies.
#include "game/scenes/testdata/SceneData.h"

#include "game/battle/testdata/Lettering.h"

#include <cstdio>

namespace scene_data {

namespace {

// The background behind the whole screen; "Now loading", its ring and dots
// at the bottom right; the start-up's prompt low in the middle.
std::vector<LayerPanel> LoadingPanels(const char* background)
{
    return {{background, 0, 0, 1024, 768}, {"prean", 352, 560, 320, 80}, {"wa", 632, 692, 32, 32},
        {"now", 672, 680, 224, 56}, {"ten1", 900, 688, 24, 40}, {"ten2", 928, 688, 24, 40},
        {"ten3", 956, 688, 24, 40}};
}

}  // namespace

const std::string& LogoTextureBytes()
{
    static const std::string bytes = [] {
        battle_data::Picture logo(kLogoWidth, kLogoHeight, 0xFFFFFFFFu);
        const std::string name = "Vantorel", line = "presents";
        const i32 w = battle_data::TextWidth(name, 80.0f);
        battle_data::Write(logo, (i32(kLogoWidth) - w) / 2, 64, i32(kLogoWidth) - 1, i32(kLogoHeight) - 1, name, 80.0f,
                           0xFF1C2C64u);
        logo.Fill(64, 164, i32(kLogoWidth) - 128, 6, 0xFFFF9A10u);
        const i32 v = battle_data::TextWidth(line, 28.0f);
        battle_data::Write(logo, (i32(kLogoWidth) - v) / 2, 186, i32(kLogoWidth) - 1, i32(kLogoHeight) - 1, line, 28.0f,
                           0xFF404040u);
        return logo.Png();
    }();
    return bytes;
}

void AddStartupData(CSceneDataSet& set)
{
    set.Layout("Scene\\BeginLoading.sce", {"lo2", "prean", "now", "ten1", "ten2", "ten3"}, "Bg_24.dds",
               LoadingPanels("lo2"));
    set.Layout("Scene\\Loading.sce", {"lo1", "wa", "now", "ten1", "ten2", "ten3"}, "Bg_02.dds",
               LoadingPanels("lo1"));

    set.PackEntry(kLoadArchive, Folder::kFirst, "Bg_24.dds", CellTextureBytes());
    set.PackEntry(kLoadArchive, Folder::kFirst, "Bg_02.dds", CellTextureBytes());
    for (int n = 4; n <= 21; ++n) {
        char name[24];   // room for any int, so -O1 sees no cut
        std::snprintf(name, sizeof name, "Bg_%02d.dds", n);
        set.PackEntry(kLoadArchive, Folder::kFirst, name, CellTextureBytes());
        // Every loading background shows the loading screen's words.
        set.textureLayers[name] = set.layouts.at("Scene\\Loading.sce");
    }

    set.PackEntry(kSceneArchive, Folder::kSecond, kLogoTexture, LogoTextureBytes());
    set.SceneSound("Vo_logo_vantorel.ogg", 1.0f);
    // Title, record and options share it.
    set.Effect("Efc_menu_croud");

    set.Movie("Movie\\OP.mpg", 3.0f, 0);
    set.Movie("Movie\\ED.mpg", kFirstEndingSeconds, 1, Folder::kFirst);
    set.Movie("Movie\\ED.mpg", kSecondEndingSeconds, 2, Folder::kSecond);
}

}  // namespace scene_data

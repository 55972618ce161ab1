// The written game data set read back: the folders and resource lists, every
// archive the start-up registers opening with its identifier and key byte,
// the layouts with every layer on its cell, the cell texture decoding, the
// movies playing, and faults leaving out just what they name.
#include "game/battle/testdata/BattleData.h"
#include "game/battle/testdata/Lettering.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/RecordScene.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/testdata/SceneData.h"
#include "game/scenes/testdata/LobbyScreensData.h"

#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Texture.h"
#include "engine/model/tests/ModelDeviceTest.h"
#include "engine/platform/Sound.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "host/image/Image.h"
#include "host/kernel/Kernel.h"
#include "game/data/TensionFile.h"
#include "game/scenes/TitleScene.h"
#include "host/movie/Movie.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace ORV_TEST_FILE_ID {

namespace {

using namespace scene_data;
namespace fs = std::filesystem;

std::string MakeFolder(const char* name)
{
    const char* base = std::getenv("TMPDIR");
    std::string folder = std::string(base && *base ? base : "/tmp") + "/" + name + "-XXXXXX";
    return mkdtemp(folder.data()) ? folder : std::string();
}

class SceneDataTest : public ::testing::Test {
public:
    // The set CTest wrote, or one written here (once).
    static void SetUpTestSuite()
    {
        if (!root_.empty()) return;
        root_ = GameDataFolder();
        if (!root_.empty()) return;
        root_ = own_ = MakeFolder("orv-scene-data");
        std::string error;
        ASSERT_TRUE(WriteSceneData(root_, &error)) << error;
    }
    static void TearDownTestSuite()
    {
        std::error_code ignored;
        if (!own_.empty()) fs::remove_all(own_, ignored);
        root_.clear();
        own_.clear();
    }
    static const std::string& Root() { return root_; }

protected:
    static std::string Resource(Folder f) { return root_ + (f == Folder::kFirst ? "/one" : "/two") + "/Resource"; }
    static std::unique_ptr<CqelPackFile> Open(Folder f, const GameArchive& a)
    {
        auto pack = std::make_unique<CqelPackFile>();
        const std::string path = Resource(f) + "/" + Native(a.path);
        return pack->OpenScrambled(path.c_str(), Crc32String(a.packName), a.key) ? std::move(pack) : nullptr;
    }
    // An entry's bytes; empty (with a failure) when it cannot be read.
    static std::string EntryBytes(Folder f, const GameArchive& a, const char* name)
    {
        const auto pack = Open(f, a);
        u32 size = 0;
        u8* body = pack ? pack->ReadEntry(name, &size) : nullptr;
        EXPECT_NE(body, nullptr) << a.path << " " << name;
        if (!body) return {};
        std::string bytes(reinterpret_cast<const char*>(body), size);
        AlignedFree(body);
        return bytes;
    }

private:
    static inline std::string root_, own_;
};

TEST_F(SceneDataTest, EveryRegisteredArchiveOpensWithItsIdentifierAndKey)
{
    const struct {
        const std::array<GameArchive, 14>& list;
        Folder folder;
    } lists[] = {{kFirstFolderArchives, Folder::kFirst}, {kSecondFolderArchives, Folder::kSecond},
        {kSharedArchives, Folder::kSecond}};
    for (const auto& l : lists) {
        for (const GameArchive& a : l.list) EXPECT_NE(Open(l.folder, a), nullptr) << a.path;
    }
    // What the start-up finds by name, in the archives it registers.
    const struct {
        Folder folder;
        GameArchive archive;
        const char* entry;
    } held[] = {
        {Folder::kSecond, kSceneArchive, "Circle_logo.dds"},
        {Folder::kSecond, kSceneArchive, "Vo_logo_vantorel.ogg"},
        {Folder::kSecond, kSceneArchive, "Console_01.dds"},
        {Folder::kSecond, kSharedArchives[6], "Talve.mdl"},
        {Folder::kFirst, kParticleArchive, kParticleTexture},
        {Folder::kFirst, kFirstFolderArchives[0], "Bgm_win.ogg"},
        {Folder::kFirst, kLoadArchive, "Bg_24.dds"},
        {Folder::kFirst, kLoadArchive, "Bg_21.dds"},
        {Folder::kFirst, kMusicArchive, "Vocal_prov_11.ogg"},
        {Folder::kFirst, kMusicArchive, "Vocal_orig_01.txt"},
    };
    for (const auto& h : held) {
        const auto pack = Open(h.folder, h.archive);
        ASSERT_NE(pack, nullptr) << h.archive.path;
        EXPECT_NE(pack->FindEntry(h.entry), nullptr) << h.archive.path << " " << h.entry;
    }
    EXPECT_EQ(std::string(kSharedArchives[6].packName), "TALVEPACK");
    EXPECT_EQ(Open(Folder::kFirst, kMusicArchive)->GetCount(), 2 * CGameData::kBuiltInSlots);
}

// The built-in tracks' script is in code page 932 whatever compiler wrote
// it: its first line, byte for byte.
TEST_F(SceneDataTest, TheTracksScriptIsWrittenInCodePage932)
{
    const std::string script = EntryBytes(Folder::kFirst, kMusicArchive, "Vocal_orig_01.txt");
    // 名前 : テスト曲 ;
    const std::string first = "\x96\xBC\x91\x4F:\x83\x65\x83\x58\x83\x67\x8B\xC8;\n";
    EXPECT_EQ(script.substr(0, first.size()), first);
    EXPECT_EQ(script.size(), first.size() + std::string("HI:20;\nLOW:30;\nCT:56;\nFINALE:57;\nNT:61;\n").size());
}

TEST_F(SceneDataTest, OnlyTheSecondResourceListNamesTheEffects)
{
    CResourceControllerFile first, second;
    ASSERT_TRUE(first.Read((Resource(Folder::kFirst) + "/GameResource.grc").c_str()));
    ASSERT_TRUE(second.Read((Resource(Folder::kSecond) + "/GameResource.grc").c_str()));
    EXPECT_TRUE(first.records.empty());
    for (const char* effect : {"Effect\\Efc_menu_croud.efc", "Effect\\Efc_Hit.efc"}) {
        EXPECT_NE(std::find(second.records.begin(), second.records.end(), effect), second.records.end()) << effect;
        for (Folder f : {Folder::kFirst, Folder::kSecond})
            EXPECT_TRUE(host::kernel::FileExists(Resource(f) + "/" + Native(effect))) << effect;
    }
    for (const std::string& r : second.records) EXPECT_NE(r.find(".efc"), std::string::npos) << r;
}

// The layer at a layout path ("Group/child"), each part among the layers of
// the level above: a name may stand in two groups (the lobby's digit images
// and digit slots).
const CSceneObject* LayerAtPath(const CSceneResource& scene, const std::string& path)
{
    const CSceneObject* found = nullptr;
    size_t start = 0;
    for (bool first = true; start <= path.size(); first = false) {
        const size_t slash = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, slash - start);
        const u32 count = first ? scene.GetLayerCount() : found->GetChildCount();
        const CSceneObject* next = nullptr;
        for (u32 i = 0; i < count && !next; ++i) {
            const CSceneObject* layer = first ? scene.GetLayer(i) : found->GetChild(i);
            if (layer && layer->GetName() && name == layer->GetName()) next = layer;
        }
        if (!next) return nullptr;
        found = next;
        start = slash + 1;
    }
    return found;
}

TEST_F(SceneDataTest, LayoutsLoadWithEveryLayerOnItsCell)
{
    const CSceneDataSet set = BuildSceneData();
    ASSERT_TRUE(set.layouts.count("Scene\\BeginLoading.sce"));
    for (const auto& [path, layers] : set.layouts) {
        for (Folder f : {Folder::kFirst, Folder::kSecond}) {
            CSceneResource scene;
            ASSERT_TRUE(scene.LoadFromFile((Resource(f) + "/" + Native(path)).c_str())) << path;
            const std::vector<LayerSheet>& sheets = set.layoutSheets.at(path);
            for (size_t i = 0; i < layers.size(); ++i) {
                const CSceneObject* layer = LayerAtPath(scene, layers[i]);
                ASSERT_NE(layer, nullptr) << path << " " << layers[i];
                // A layer with a sheet is drawn from the sheet's texels.
                const auto sheet = std::find_if(sheets.begin(), sheets.end(),
                                                [&](const LayerSheet& s) { return s.name == layers[i]; });
                if (sheet != sheets.end()) {
                    const CRect4& r = layer->GetSettings().offset.rect;
                    EXPECT_EQ(r.left, f32(sheet->left)) << layers[i];
                    EXPECT_EQ(r.top, f32(sheet->top)) << layers[i];
                    EXPECT_EQ(r.right, f32(sheet->left + sheet->width)) << layers[i];
                    EXPECT_EQ(r.bottom, f32(sheet->top + sheet->height)) << layers[i];
                    continue;
                }
                f32 left = 0.0f, top = 0.0f;
                CellOf(CellBase(layers) + i, &left, &top);
                EXPECT_EQ(layer->GetSettings().offset.rect.left, left * kTextureWidth) << layers[i];
                EXPECT_EQ(layer->GetSettings().offset.rect.top, top * kTextureHeight) << layers[i];
                const f32 halfU = 0.5f * kCellWidth / kTextureWidth, halfV = 0.5f * kCellHeight / kTextureHeight;
                EXPECT_EQ(LayerAt(layers, left + halfU, top + halfV), layers[i]);
            }
        }
    }
}

TEST_F(SceneDataTest, GroupsHoldTheirChildrenAndCellsStayInOrder)
{
    const std::vector<std::string> layers = {"a", "Menu/one", "Menu/two", "b"};
    const std::string path = host::kernel::MakeTempFileName();
    const std::string bytes = LayoutBytes(layers, "Cells.dds");
    ASSERT_EQ(Put(path, bytes), "");
    CSceneResource scene;
    ASSERT_TRUE(scene.LoadFromFile(path.c_str()));
    host::kernel::DeleteFile(path);
    ASSERT_EQ(scene.GetLayerCount(), 3u);   // a, Menu, b
    const CSceneObject* menu = scene.GetLayer(1);
    EXPECT_EQ(std::string(menu->GetName()), "Menu");
    EXPECT_TRUE(menu->GetSettings().group);
    ASSERT_EQ(menu->GetChildCount(), 2u);
    EXPECT_EQ(std::string(menu->GetChild(1)->GetName()), "two");
    EXPECT_EQ(std::string(scene.GetLayer(2)->GetTextureName()), "Cells.dds");
    EXPECT_EQ(LayerAt(layers, 2.5f * kCellWidth / kTextureWidth, 0.01f), "Menu/two");
    EXPECT_EQ(LayerAt(layers, 4.5f * kCellWidth / kTextureWidth, 0.01f), "");
    EXPECT_EQ(LayerAt(layers, 1.0f, 0.0f), "");
}

TEST_F(SceneDataTest, PanelsKeepTheirPlaceWhenTheSceneMovesThemByTheirOffset)
{
    const std::string path = host::kernel::MakeTempFileName();
    ASSERT_EQ(Put(path, LayoutBytes({"a", "Strip"}, "Cells.dds", {{"Strip", 10, 600, 1000, 24}})), "");
    CSceneResource scene;
    ASSERT_TRUE(scene.LoadFromFile(path.c_str()));
    host::kernel::DeleteFile(path);
    CSceneObject* strip = scene.GetLayer(1);
    for (const auto& [dy, top] : {std::pair{0.0f, 600.0f}, {-300.0f, 300.0f}}) {
        strip->SetOffset(0, dy);
        strip->Update(0);
        const CRect4 r = strip->GetBoundingRect();
        EXPECT_FLOAT_EQ(r.left, 10) << dy;
        EXPECT_FLOAT_EQ(r.top, top) << dy;
        EXPECT_FLOAT_EQ(r.right - r.left, 1000) << dy;
        EXPECT_FLOAT_EQ(r.bottom - r.top, 24) << dy;
    }
    // The other layers stay on their grid squares.
    scene.GetLayer(0)->Update(0);
    EXPECT_FLOAT_EQ(scene.GetLayer(0)->GetBoundingRect().bottom, f32(kCellHeight));
}

// A panel sized in its track keeps its size under the scale a scene gives
// it (a panel zooming in): half the scale, half the size, from its place.
TEST_F(SceneDataTest, PanelSizedInItsTrackScalesWithTheScene)
{
    const std::string path = host::kernel::MakeTempFileName();
    ASSERT_EQ(Put(path, LayoutBytes({"Frame"}, "Cells.dds", {{"Frame", 100, 200, 512, 96, true}})), "");
    CSceneResource scene;
    ASSERT_TRUE(scene.LoadFromFile(path.c_str()));
    host::kernel::DeleteFile(path);
    CSceneObject* frame = scene.GetLayer(0);
    for (const f32 scale : {1.0f, 0.5f}) {
        frame->SetScale(scale, scale);
        frame->Update(0);
        const CRect4 r = frame->GetBoundingRect();
        EXPECT_FLOAT_EQ(r.left, 100) << scale;
        EXPECT_FLOAT_EQ(r.top, 200) << scale;
        EXPECT_FLOAT_EQ(r.right - r.left, 512 * scale) << scale;
        EXPECT_FLOAT_EQ(r.bottom - r.top, 96 * scale) << scale;
    }
}

// A panel under a placed panel stands where its own panel says on the
// layout, at its size, once the parent has placed it; one under a group
// the same.
TEST_F(SceneDataTest, PanelsUnderPanelsStandWhereTheirOwnPanelSays)
{
    const std::string path = host::kernel::MakeTempFileName();
    ASSERT_EQ(Put(path, LayoutBytes({"Box", "Box/Line", "Menu/Item"}, "Cells.dds",
                                    {{"Box", 100, 200, 512, 96}, {"Box/Line", 150, 260, 256, 32}, {"Menu/Item", 40, 50, 64, 16}})),
              "");
    CSceneResource scene;
    ASSERT_TRUE(scene.LoadFromFile(path.c_str()));
    host::kernel::DeleteFile(path);
    scene.Update(0);
    const struct {
        const char* layer;
        f32 left, top, width, height;
    } cases[] = {{"Line", 150, 260, 256, 32}, {"Item", 40, 50, 64, 16}};
    for (const auto& c : cases) {
        const CSceneObject* layer = scene.FindLayer(c.layer);
        ASSERT_NE(layer, nullptr) << c.layer;
        const CRect4 r = layer->GetBoundingRect();
        EXPECT_FLOAT_EQ(r.left, c.left) << c.layer;
        EXPECT_FLOAT_EQ(r.top, c.top) << c.layer;
        EXPECT_FLOAT_EQ(r.right - r.left, c.width) << c.layer;
        EXPECT_FLOAT_EQ(r.bottom - r.top, c.height) << c.layer;
    }
    // The box itself where its panel says, holding its line.
    const CRect4 box = scene.FindLayer("Box")->GetBoundingRect();
    EXPECT_FLOAT_EQ(box.left, 100);
    EXPECT_FLOAT_EQ(box.bottom, 296);
}

// The lobby's messages and the start-up screen's prompt: each in words of
// its own, standing in its box (the message window's panel) or on the
// screen, its cell of the texture holding dark letters.
TEST_F(SceneDataTest, MessagesAndTheStartUpPromptShowTheirWordsInTheirPlace)
{
    const struct {
        const char* layout;
        const char* texture;
        GameArchive archive;
        Folder folder;
        const char* box;   // what the layer stands in; null: the screen
        std::vector<const char*> layers;
    } cases[] = {
        {"Scene\\Network06.sce", kLobbyTexture, kSceneArchive, Folder::kSecond, "Base4", {"Anet", "SelectRoom", "Ptaisen", "Proomoff"}},
        {"Scene\\Network06.sce", kLobbyTexture, kSceneArchive, Folder::kSecond, "Base3", {"Aserv", "Aninsyo"}},
        {"Scene\\Network06.sce", kLobbyTexture, kSceneArchive, Folder::kSecond, "Base2", {"NetworkEnd", "yes2", "no2"}},
        {"Scene\\Network06.sce", kLobbyTexture, kSceneArchive, Folder::kSecond, "Base1", {"Server", "ten4", "ten6"}},
        {"Scene\\BeginLoading.sce", "Bg_24.dds", kLoadArchive, Folder::kFirst, nullptr, {"prean", "now", "ten3"}},
        {"Scene\\Loading.sce", "Bg_13.dds", kLoadArchive, Folder::kFirst, nullptr, {"now", "ten1"}},
        // The story's single select: what it draws of the chosen character,
        // the carousel, the colour boxes and the orb panel.
        {single_select::kLayout, single_select::kFrameTexture,
         {single_select::kPackName, single_select::kPack, kPackKeyFirst}, Folder::kFirst, nullptr,
         {"face1", "name19", "cha1", "cha5", "cha19", "color1_1", "color19_2", "type_rei11", "type_rei22",
          "rei_emp11s", "rei_emp23s", "cpu_rei", "cpu_rei_1", "cpu_rei_2", "Skill", "rei_n_geki", "rei_n_syu",
          "rei_ok", "rei_geki0", "rei_syu14_m", "rei_empk", "rei_nazo"}},
    };
    const CSceneDataSet set = BuildSceneData();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        CSceneResource scene;
        ASSERT_TRUE(scene.LoadFromFile((Resource(c.folder) + "/" + Native(c.layout)).c_str()));
        scene.Update(0);
        CRect4 box;
        box.Set(0, 1024, 0, 768);
        if (c.box) box = scene.FindLayer(c.box)->GetBoundingRect();
        const std::string body = EntryBytes(c.folder, c.archive, c.texture);
        host::image::Image image;
        ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), host::image::kGreenKey,
                                        image, nullptr));
        const std::vector<std::string>& layers = set.layouts.at(c.layout);
        for (const char* name : c.layers) {
            const CSceneObject* layer = scene.FindLayer(name);
            ASSERT_NE(layer, nullptr) << name;
            const std::string words = CellText(name);
            EXPECT_FALSE(words.empty()) << name;
            EXPECT_NE(words, name);
            const CRect4 r = layer->GetBoundingRect();
            EXPECT_GE(r.left, box.left) << name;
            EXPECT_LE(r.right, box.right) << name;
            EXPECT_GE(r.top, box.top) << name;
            EXPECT_LE(r.bottom, box.bottom) << name;
            EXPECT_GT(r.right - r.left, 8.0f) << name;
            // Dark letters in its cell.
            const auto at = std::find_if(layers.begin(), layers.end(), [&](const std::string& l) {
                return l == name || (l.size() > std::strlen(name) && l.compare(l.size() - std::strlen(name) - 1, std::string::npos, std::string("/") + name) == 0);
            });
            ASSERT_NE(at, layers.end()) << name;
            const u32 cell = u32(CellBase(layers) + size_t(at - layers.begin()));
            const u32 x0 = cell % kCellsPerRow * kCellWidth, y0 = cell / kCellsPerRow * kCellHeight;
            u32 dark = 0;
            for (u32 y = y0 + 3; y < y0 + kCellHeight - 3; ++y)
                for (u32 x = x0 + 8; x < x0 + kCellWidth - 8; ++x) dark += (image.pixels[y * kTextureWidth + x] & 0xC0C0C0u) == 0;
            EXPECT_GT(dark, 6u) << name;
        }
    }
}

// The single select's carousel: five slots of one size in a row, left to
// right without overlapping, between the arrows; the two colour boxes one
// above the other, each inside its frames.
TEST_F(SceneDataTest, TheSingleSelectCarouselStandsInARowBetweenItsArrows)
{
    CSceneResource scene;
    ASSERT_TRUE(scene.LoadFromFile((Resource(Folder::kFirst) + "/" + Native(single_select::kLayout)).c_str()));
    scene.Update(0);
    const auto rect = [&](const std::string& name) {
        const CSceneObject* layer = scene.FindLayer(name.c_str());
        EXPECT_NE(layer, nullptr) << name;
        return layer ? layer->GetBoundingRect() : CRect4{};
    };
    CRect4 before = rect("yjr_l");
    for (u32 e = 0; e < 5; ++e) {
        const CRect4 slot = rect(single_select::CardLayerName(e));
        EXPECT_GE(slot.left, before.right) << e;
        EXPECT_FLOAT_EQ(slot.top, before.top) << e;
        EXPECT_FLOAT_EQ(slot.right - slot.left, 160.0f) << e;
        before = slot;
    }
    EXPECT_LE(before.right, rect("yjr_r").left);
    EXPECT_LE(rect("yjr_r").right, 1024.0f);
    // A card away from the slots is of the same size, so it fits a slot.
    const CRect4 last = rect(single_select::CardLayerName(single_select::kCharacters - 1));
    EXPECT_FLOAT_EQ(last.right - last.left, 160.0f);
    EXPECT_FLOAT_EQ(last.bottom - last.top, before.bottom - before.top);
    const CRect4 first = rect("color5_1"), second = rect("color5_2");
    EXPECT_LE(first.bottom, second.top);
    for (const auto& [box, frames] : {std::pair{first, std::pair{"type_bg011", "type_bg021"}},
                                      std::pair{second, std::pair{"type_bg012", "type_bg022"}}}) {
        for (const char* frame : {frames.first, frames.second}) {
            const CRect4 f = rect(frame);
            EXPECT_LE(f.left, box.left) << frame;
            EXPECT_GE(f.right, box.right) << frame;
            EXPECT_LE(f.top, box.top) << frame;
            EXPECT_GE(f.bottom, box.bottom) << frame;
        }
    }
}

// Frames drawn over what they frame are clear inside, their edge showing:
// orange when they stand for the chosen one. The turning pattern is all
// clear.
TEST_F(SceneDataTest, TheSingleSelectFramesAreClearInsideTheirEdge)
{
    const CSceneDataSet set = BuildSceneData();
    const std::string body = EntryBytes(Folder::kFirst, {single_select::kPackName, single_select::kPack, kPackKeyFirst},
                                        single_select::kFrameTexture);
    host::image::Image image;
    ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), host::image::kGreenKey,
                                    image, nullptr));
    const std::vector<std::string>& layers = set.layouts.at(single_select::kLayout);
    const struct {
        const char* layer;
        u32 edge;   // 0: a grey edge
    } cases[] = {{"type_bg011", 0}, {"type_bg021", 0xFF9A10u}, {"rei_emp2", 0}, {"rei_car", 0xFF9A10u}, {"moyo", 1}};
    for (const auto& c : cases) {
        const size_t i = size_t(std::find(layers.begin(), layers.end(), c.layer) - layers.begin());
        ASSERT_LT(i, layers.size()) << c.layer;
        const u32 x0 = u32(i) % kCellsPerRow * kCellWidth, y0 = u32(i) / kCellsPerRow * kCellHeight;
        const u32 edge = image.pixels[y0 * kTextureWidth + x0 + 40];
        EXPECT_EQ(edge >> 24, c.edge == 1 ? 0u : 0xFFu) << c.layer;   // 1: no edge either
        if (c.edge == 1) continue;
        if (c.edge) EXPECT_EQ(edge & 0xFFFFFFu, c.edge) << c.layer;
        else EXPECT_EQ(edge & 0xFFFFFFu, 0xC0C0C0u) << c.layer;
        EXPECT_EQ(image.pixels[(y0 + 16) * kTextureWidth + x0 + 64] >> 24, 0u) << c.layer;   // keyed out
    }
}

// The logo: the studio's name in dark letters on white, of the size the
// logo scene centres.
TEST_F(SceneDataTest, TheLogoWritesTheStudiosNameOnWhite)
{
    const std::string body = EntryBytes(Folder::kSecond, kSceneArchive, kLogoTexture);
    ASSERT_FALSE(body.empty());
    host::image::Image image;
    host::image::DecodeOptions asWritten;
    asWritten.powerOfTwo = false;
    ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), asWritten, image, nullptr));
    ASSERT_EQ(image.width, 2 * 244u);
    ASSERT_EQ(image.height, 2 * 132u);
    EXPECT_EQ(image.pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(image.pixels[image.width * image.height - 1], 0xFFFFFFFFu);
    u32 name = 0, line = 0, under = 0;
    for (u32 y = 0; y < image.height; ++y)
        for (u32 x = 0; x < image.width; ++x) {
            const u32 t = image.pixels[y * image.width + x];
            if (y < 160) name += (t & 0xFFFFFFu) == 0x1C2C64u;   // the name's navy
            if (y >= 164 && y < 170) line += (t & 0xFFFFFFu) == 0xFF9A10u;
            if (y >= 180) under += (t & 0xFFFFFFu) != 0xFFFFFFu && (t & 0xFFFFFFu) != 0xFF9A10u;
        }
    EXPECT_GT(name, 2000u);   // eight letters 80 texels high
    EXPECT_GT(line, 300u * 6u);
    EXPECT_GT(under, 100u);   // "presents"
}

// A texture drawn only through its layouts' cells is cut to the rows they
// use, rounded up to a power of two: its texels are the whole texture's
// top rows, and the set holds it so.
TEST_F(SceneDataTest, AFittedTextureIsTheWholeOnesTopRows)
{
    const std::pair<size_t, u32> heights[] = {{0, 32},   {1, 32},    {8, 32},     {9, 64},    {24, 128},
                                              {25, 128}, {32, 128},  {33, 256},   {411, 2048}, {512, 2048}, {900, 2048}};
    for (const auto& [cells, height] : heights) EXPECT_EQ(FittedHeight(cells), height) << cells;

    const CSceneDataSet set = BuildSceneData();
    const auto decode = [](const std::string& body) {
        host::image::Image image;
        EXPECT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), 0, image, nullptr));
        return image;
    };
    ASSERT_EQ(set.fittedTextures.count("GameOption_01.dds"), 1u);
    const std::vector<std::string>& cells = set.textureLayers.at("GameOption_01.dds");
    const std::string stored = EntryBytes(Folder::kSecond, kSceneArchive, "GameOption_01.dds");
    const auto words = set.textureWords.find("GameOption_01.dds");
    const std::map<std::string, std::string> none;
    const host::image::Image fitted = decode(stored);
    const host::image::Image whole = decode(CellTextureBytes(cells, {}, words != set.textureWords.end() ? words->second : none));
    EXPECT_EQ(fitted.width, kTextureWidth);
    EXPECT_EQ(fitted.height, FittedHeight(cells.size()));
    ASSERT_LT(fitted.height, kTextureHeight);
    ASSERT_EQ(whole.height, kTextureHeight);
    EXPECT_TRUE(std::equal(fitted.pixels.begin(), fitted.pixels.end(), whole.pixels.begin()));
    // A texture with sheets keeps its height.
    ASSERT_FALSE(set.textureSheets.at(record::kFrameTexture).empty());
    EXPECT_EQ(decode(EntryBytes(Folder::kFirst, {record::kPackName, record::kPack, kPackKeyFirst}, record::kFrameTexture))
                  .height,
              kTextureHeight);
}

TEST_F(SceneDataTest, TheCellTextureDecodesWithNothingKeyedOut)
{
    const std::string& body = CellTextureBytes();
    ASSERT_FALSE(body.empty());
    host::image::Image image;
    std::string error;
    ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), host::image::kGreenKey,
                                    image, &error))
        << error;
    EXPECT_EQ(image.width, kTextureWidth);
    EXPECT_EQ(image.height, kTextureHeight);
    for (uint32_t texel : image.pixels) ASSERT_EQ(texel >> 24, 0xFFu);
    // Neighbouring cells differ inside their frames, each its own fill.
    for (u32 cell : {0u, 1u, 9u}) {
        const u32 x = cell % kCellsPerRow * kCellWidth + 3, y = cell / kCellsPerRow * kCellHeight + 3;
        EXPECT_EQ(image.pixels[y * kTextureWidth + x], CellColour(cell)) << cell;
    }
}

// Layouts naming one texture (the network screens; the record and the
// replay list; the single select, the adventure map and the survival
// result) take cells of their own: on each texture no two layouts'
// cells overlap, all lie inside it, and each cell holds its layer's words.
TEST(SceneDataCells, LayoutsSharingATextureTakeCellsOfTheirOwn)
{
    const CSceneDataSet set = BuildSceneData();
    EXPECT_EQ(set.error, "");
    std::map<std::string, std::vector<std::pair<size_t, size_t>>> ranges;   // by texture
    for (const auto& [path, layers] : set.layouts)
        ranges[set.layoutTextures.at(path)].push_back({CellBase(layers), CellBase(layers) + layers.size()});
    ASSERT_GE(ranges.at("Network_01.dds").size(), 5u);
    ASSERT_EQ(ranges.at("Select_01.dds").size(), 2u);
    ASSERT_EQ(ranges.at("Arcade_01.dds").size(), 3u);
    for (auto& [texture, used] : ranges) {
        std::sort(used.begin(), used.end());
        for (size_t i = 1; i < used.size(); ++i) EXPECT_LE(used[i - 1].second, used[i].first) << texture << " " << i;
        EXPECT_LE(used.back().second, kCellCount) << texture;
    }
    EXPECT_EQ(CellBase(RecordLayers()), 0u);
    EXPECT_EQ(CellBase(ReplayLayers()), RecordLayers().size());
    EXPECT_EQ(CellBase(SurvivalLayers()), single_select::LayerNames().size() + adventure::LayerNames().size());
    // The texture's cells hold each layout's words at its own cells.
    for (const auto& [path, layers] : set.layouts) {
        const std::vector<std::string>& cells = set.textureLayers.at(set.layoutTextures.at(path));
        ASSERT_LE(CellBase(layers) + layers.size(), cells.size()) << path;
        for (size_t i = 0; i < layers.size(); ++i) EXPECT_EQ(cells[CellBase(layers) + i], layers[i]) << path;
    }
}

// A layout over cells another layout's layers hold on the same texture:
// the first keeps them, the set names each clash; equal names are no clash.
TEST(SceneDataCells, ALayoutOverAnotherLayoutsCellsIsNamed)
{
    const struct {
        const char* what;
        std::vector<std::string> second;
        std::string texture;
        const char* error;
    } cases[] = {
        {"same layers", {"Base", "Cursor"}, "Shared.dds", ""},
        {"fewer, same names", {"Base"}, "Shared.dds", ""},
        {"one more", {"Base", "Cursor", "Next"}, "Shared.dds", ""},
        {"second cell differs", {"Base", "Digit"}, "Shared.dds", "Scene\\Two.sce: cell 1 of Shared.dds holds Cursor, not Digit\n"},
        {"both differ", {"Frame", "Digit"}, "Shared.dds",
         "Scene\\Two.sce: cell 0 of Shared.dds holds Base, not Frame\n"
         "Scene\\Two.sce: cell 1 of Shared.dds holds Cursor, not Digit\n"},
        {"another texture", {"Frame", "Digit"}, "Other.dds", ""},
    };
    for (const auto& c : cases) {
        CSceneDataSet set;
        set.Layout("Scene\\One.sce", {"Base", "Cursor"}, "Shared.dds");
        set.Layout("Scene\\Two.sce", c.second, c.texture);
        EXPECT_EQ(set.error, c.error) << c.what;
        const std::vector<std::string>& cells = set.textureLayers.at("Shared.dds");
        ASSERT_GE(cells.size(), 2u) << c.what;
        EXPECT_EQ(cells[0], "Base") << c.what;
        EXPECT_EQ(cells[1], "Cursor") << c.what;
        EXPECT_EQ(cells.size(), c.texture == "Shared.dds" ? std::max<size_t>(2, c.second.size()) : 2u) << c.what;
        EXPECT_EQ(set.layoutTextures.at("Scene\\Two.sce"), c.texture) << c.what;
    }
}

TEST(SceneDataWords, LayersReadAsTheWordsTheyStandFor)
{
    const std::pair<const char*, const char*> cases[] = {
        {"n0", "0"}, {"n9", "9"}, {"n10", "n10"}, {"Chara/Name/name_tal", "Talve"}, {"tm1", "100 s"},
        {"tm6", "600 s"}, {"tm7", "No limit"}, {"stg1", "Stage 1"}, {"stg9", "Random"}, {"story", "> Story"},
        {"Battle", "Battle"}, {"piron3", ""}, {"Base", ""}, {"Base/Lit0", ""}, {"Time", "Time"}, {"Cpu", "CPU level"},
        {"Menu/Unknown", "Unknown"}, {"ent_ip02", "Direct"}, {"ent_lob03", "Lobby server"}, {"Digits/n4", "4"},
        {"op_set_01", "Host"},
        // The character select's cards.
        {"Chara/Player/PlayerTitle", "Player"}, {"Chara/Player/1P", "1P"}, {"Chara/Player/cpu", "CPU"},
        {"Chara/Player/-", "None"}, {"Chara/Team/a", "Team A"}, {"Chara/Team/d", "Team D"},
        {"Chara/Color/color_a", "Colour 1"}, {"Chara/Color/color_d", "Colour 4"}, {"Chara/Type/WTalveA", "Type A"},
        {"Chara/Type/WTalveB", "Type B"}, {"Chara/Image/Crun", "Random"}, {"Chara/Image/Ckara", "No player"},
        {"Chara/Player/yjr_l", "<"}, {"Chara/Player/sele_car11", ">"}, {"Chara/CpuSkill/reig_on", "On"},
        // The start-up and loading screens.
        {"lo2", ""}, {"prean", "Press any key"}, {"now", "Now loading"}, {"ten3", "."},
        // The lobby's message window.
        {"Base4", ""}, {"Anet", "Network error"}, {"Aserv", "No server answers"}, {"SelectRoom/Ptaisen", "Battle"},
        {"UserKick/yes", "Yes"}, {"BattleStart/no4", "No"}, {"Server/ten4", "."},
        // The story's single select: entries 0..7 are numbered 1..8, the
        // random entry 9, the rest 10..19.
        {"face1", "Talve"}, {"name8", "Kerlia"}, {"cha9", "Random"}, {"cha10", "Ombrisa"}, {"name19", "Vek"},
        {"color1_1", "Colour 1"}, {"color19_2", "Colour 2"}, {"moyo", ""}, {"type_bg021", ""}, {"type_rei12", "Orbs:"},
        {"Skill", "Orbs"}, {"rei_n_soku", "Speed"}, {"rei_ok", "OK"}, {"rei_geki0", "A"}, {"rei_geki14_m", "A"},
        {"rei_soku0", "S"}, {"rei_syu14", "G"}, {"rei_emp13s", "-"}, {"rei_emp3k", "-"}, {"rei_emp", ""},
        {"cpu_rei", "CPU orbs"}, {"cpu_rei_1", "On"}, {"cpu_rei_2", "Off"},
        // The card's small orbs and the character select's locked orb, as
        // the panels show them.
        {"rei_geki0e", "A"}, {"Chara/rei_syu14e", "G"}, {"rei_nazos", "?"},
        // The options screen and the record.
        {"Pad", "Pad"}, {"Story", "Story"}, {"BVol", "Music volume"}, {"SVol", "Sound volume"}, {"Init", "Reset all"}, {"Pad/on2", "On"}, {"Guard/off5", "Off"},
        {"Camera/L", "Left"}, {"Camera/R", "Right"}, {"Map/roll", "Turning"}, {"Story/luna", "Hardest"},
        {"VVol/volob3", ""}, {"name_ta", "Talve"}, {"cha_ve", "Vek"}, {"name_gre", "Grell"}, {"TotalBase", ""},
        {"Pad/sele_car162", "<"}, {"Init/sele_car261", ">"},
        // The replay list.
        {"rep_0", "0"}, {"rep_9", "9"}, {"rep_bg", ""}, {"Bt_pre1", "Previous"}, {"Bt_pre2", "Previous"},
        {"Bt_nex1", "Next"}, {"Bt_nex2", "Next"},
    };
    for (const auto& [layer, words] : cases) EXPECT_EQ(CellText(layer), words) << layer;
}

// Sheets: what cannot be drawn is named, each limit on its own side.
TEST(SceneDataSheets, SheetErrorNamesWhatCannotBeDrawn)
{
    // Nine layers take two rows of cells: sheets may start at texel row 64.
    const std::vector<std::string> layers = {"a", "b", "c", "d", "e", "f", "g", "h", "Frame"};
    const LayerSheet fits{"Frame", 0, 64, 200, 100, 10.0f, 20.0f, {{10.0f, 20.0f, Align::kLeft, "Top left"},
                                                                   {210.0f, 119.0f, Align::kRight, "Far"}}};
    const auto with = [&](auto change) {
        LayerSheet s = fits;
        change(s);
        return std::vector<LayerSheet>{s};
    };
    const struct {
        const char* what;
        std::vector<LayerSheet> sheets;
        const char* error;   // a part of the reason; "" when it can be drawn
    } cases[] = {
        {"none", {}, ""},
        {"fits", {fits}, ""},
        {"at the texture's corner", with([](LayerSheet& s) { s.left = 824, s.top = 1948; }), ""},
        {"a texel too wide", with([](LayerSheet& s) { s.left = 825; }), "does not fit"},
        {"a texel too low", with([](LayerSheet& s) { s.top = 1949; }), "does not fit"},
        {"wrapping round", with([](LayerSheet& s) { s.left = 1000, s.width = 0xFFFFFF00u; }), "does not fit"},
        {"empty", with([](LayerSheet& s) { s.height = 0, s.texts.clear(); }), "does not fit"},
        {"on the last cells' row", with([](LayerSheet& s) { s.top = 63; }), "over the layers' cells"},
        {"another layer", with([](LayerSheet& s) { s.name = "Other"; }), "names no layer"},
        {"text left of it", with([](LayerSheet& s) { s.texts[0].x = 9.5f; }), "cannot hold \"Top left\""},
        {"text on its bottom edge", with([](LayerSheet& s) { s.texts[1].y = 120.0f; }), "cannot hold \"Far\""},
        {"text at no place", with([](LayerSheet& s) { s.texts[1].x = std::nanf(""); }), "cannot hold \"Far\""},
        {"given twice", {fits, with([](LayerSheet& s) { s.top = 512; })[0]}, "given twice"},
        {"over another", {with([](LayerSheet& s) { s.name = "a"; })[0], with([](LayerSheet& s) { s.left = 199, s.top = 163; })[0]},
         "lies over the sheet of a"},
        {"beside another", {with([](LayerSheet& s) { s.name = "a"; })[0], with([](LayerSheet& s) { s.left = 200; })[0]}, ""},
    };
    for (const auto& c : cases) {
        const std::string error = SheetError(layers, c.sheets);
        if (!*c.error)
            EXPECT_EQ(error, "") << c.what;
        else
            EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
    }
}

// A layout whose sheets meet another layout's on the same texture is
// written without them, its layer on its cell, and the set says why.
TEST(SceneDataSheets, ASheetMeetingAnotherLayoutsIsLeftOutAndNamed)
{
    CSceneDataSet set;
    set.Layout("Scene\\One.sce", {"Frame"}, "Shared.dds", {}, {{"Frame", 0, 512, 256, 64, 0.0f, 0.0f, {}}});
    EXPECT_EQ(set.error, "");
    set.Layout("Scene\\Two.sce", {"Box"}, "Shared.dds", {}, {{"Box", 128, 560, 64, 64, 0.0f, 0.0f, {}}});
    EXPECT_NE(set.error.find("Scene\\Two.sce: the sheet of Box lies over the sheet of Frame"), std::string::npos)
        << set.error;
    EXPECT_EQ(set.layoutSheets.at("Scene\\One.sce").size(), 1u);
    EXPECT_TRUE(set.layoutSheets.at("Scene\\Two.sce").empty());
    ASSERT_EQ(set.textureSheets.at("Shared.dds").size(), 1u);
    EXPECT_EQ(set.textureSheets.at("Shared.dds")[0].name, "Frame");
    EXPECT_EQ(set.fileBytes.back(), LayoutBytes({"Box"}, "Shared.dds"));
}

// A sheet's words stand at their places in its picture: from x, centred on
// x, ending at x; the texture outside the sheet stays as it was.
TEST(SceneDataSheets, ASheetStandsWhereItSaysWithItsWordsInPlace)
{
    const std::vector<std::string> layers = {"a", "Frame", "b"};
    const LayerSheet sheet{"Frame", 16, 32, 320, 100, 200.0f, 300.0f,
                           {{220.0f, 310.0f, Align::kLeft, "Wins"},
                            {360.0f, 340.0f, Align::kCentre, "Wins"},
                            {500.0f, 370.0f, Align::kRight, "Wins"}}};
    const auto decode = [](const std::string& body) {
        host::image::Image image;
        EXPECT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), host::image::kGreenKey,
                                        image, nullptr));
        return image;
    };
    const host::image::Image plain = decode(CellTextureBytes(layers));
    const host::image::Image drawn = decode(CellTextureBytes(layers, {sheet}));
    ASSERT_EQ(drawn.pixels.size(), size_t(kTextureWidth) * kTextureHeight);
    ASSERT_EQ(plain.pixels.size(), drawn.pixels.size());
    // Dark texels in a box of the layout, read where the sheet holds it.
    const auto dark = [&](f32 x, f32 y, f32 w, f32 h) {
        u32 n = 0;
        for (i32 yy = i32(y - sheet.y); yy < i32(y - sheet.y + h); ++yy)
            for (i32 xx = i32(x - sheet.x); xx < i32(x - sheet.x + w); ++xx)
                n += (drawn.pixels[(sheet.top + u32(yy)) * kTextureWidth + sheet.left + u32(xx)] & 0xC0C0C0u) == 0;
        return n;
    };
    const f32 w = f32(battle_data::TextWidth("Wins", 24.0f));
    EXPECT_GT(dark(220, 310, w, 26), 40u);
    EXPECT_GT(dark(360 - w / 2, 340, w, 26), 40u);
    EXPECT_GT(dark(500 - w, 370, w, 26), 40u);
    // Clear beside each: nothing left of the first, on either side of the
    // centred one, right of the last.
    EXPECT_EQ(dark(204, 310, 14, 26), 0u);
    EXPECT_EQ(dark(360 - w / 2 - 16, 340, 14, 26), 0u);
    EXPECT_EQ(dark(360 + w / 2 + 4, 340, 14, 26), 0u);
    EXPECT_EQ(dark(504, 370, 14, 26), 0u);
    // Everything outside the sheet as without it.
    u32 changed = 0;
    for (u32 y = 0; y < kTextureHeight; ++y)
        for (u32 x = 0; x < kTextureWidth; ++x) {
            const bool in = x >= sheet.left && x < sheet.left + sheet.width && y >= sheet.top && y < sheet.top + sheet.height;
            changed += !in && drawn.pixels[y * kTextureWidth + x] != plain.pixels[y * kTextureWidth + x];
        }
    EXPECT_EQ(changed, 0u);
    // Sheets that cannot be drawn are not.
    const LayerSheet overCells{"Frame", 0, 0, 64, 64, 0.0f, 0.0f, {}};
    EXPECT_EQ(CellTextureBytes(layers, {overCells}), CellTextureBytes(layers));
}

// The record's pages: every number the scene draws has a label left of it
// on its line, ending before the number begins however wide the number
// grows (six digits), inside the page's frame.
TEST(SceneDataSheets, TheRecordsPagesNameEachNumberOnItsLine)
{
    const std::vector<LayerSheet> sheets = RecordSheets();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(SheetError(RecordLayers(), sheets), "");
    const CSaveRecord none;
    const f32 sixDigits = f32(battle_data::TextWidth("999999%", 24.0f));
    const struct {
        const char* page;
        u32 number;
        std::vector<u32> texts;   // the page's texts that are numbers on the line
        const char* label;
    } cases[] = {
        {"TotalBase", 0, {0}, "Play time"},
        {"TotalBase", 0, {5}, "Network level"},
        {"TotalBase", 0, {6, 11}, "Win rate"},
        {"TotalBase", 0, {7, 12}, "Wins"},
        {"TotalBase", 0, {8, 13}, "Losses"},
        {"TotalBase", 0, {9, 14}, "Damage dealt"},
        {"TotalBase", 0, {10, 15}, "Knock-outs"},
        {"SoloBase", 1, {0}, "Battles"},
        {"SoloBase", 1, {1}, "Win rate"},
        {"SoloBase", 1, {2}, "Wins"},
        {"SoloBase", 1, {3}, "Losses"},
        {"SoloBase", 1, {4}, "Damage dealt"},
        {"SoloBase", 1, {5}, "Knock-outs"},
    };
    for (const auto& c : cases) {
        const LayerSheet& sheet = sheets[std::string(c.page) == "TotalBase" ? 0 : 1];
        ASSERT_EQ(sheet.name, c.page);
        const std::vector<record::PageText> texts = record::PageTexts(none, c.number, 0);
        const auto label = std::find_if(sheet.texts.begin(), sheet.texts.end(),
                                        [&](const SheetText& t) { return t.text == c.label; });
        ASSERT_NE(label, sheet.texts.end()) << c.page << " " << c.label;
        EXPECT_EQ(label->align, Align::kLeft) << c.label;
        const f32 end = label->x + f32(battle_data::TextWidth(c.label, 24.0f));
        for (u32 i : c.texts) {
            ASSERT_LT(i, texts.size()) << c.label;
            const record::PageText& number = texts[i];
            EXPECT_EQ(label->y, number.y) << c.label;
            const f32 start = number.flags == 18 ? number.x - sixDigits / 2 : number.flags == 20 ? number.x - sixDigits : number.x;
            EXPECT_LT(end + 8.0f, start) << c.label << " runs into number " << i;
            EXPECT_LT(number.x, sheet.x + f32(sheet.width)) << c.label;
            EXPECT_GT(number.y + 24.0f, sheet.y) << c.label;
            EXPECT_LT(number.y + 24.0f, sheet.y + f32(sheet.height)) << c.label;
        }
    }
}

// The title's texture writes each item in its cell: dark letters inside
// Battle's, none inside the background's plain fill.
TEST_F(SceneDataTest, TheTitleTextureWritesEachItemInItsCell)
{
    const std::string body = EntryBytes(Folder::kSecond, kSceneArchive, title::kBackground);
    ASSERT_FALSE(body.empty());
    host::image::Image image;
    ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(body.data()), body.size(), host::image::kGreenKey,
                                    image, nullptr));
    ASSERT_EQ(image.width, kTextureWidth);
    const std::vector<std::string> layers = TitleLayers();
    const auto letters = [&](const char* name) {
        const size_t i = size_t(std::find(layers.begin(), layers.end(), name) - layers.begin());
        const u32 x0 = u32(i) % kCellsPerRow * kCellWidth, y0 = u32(i) / kCellsPerRow * kCellHeight;
        u32 dark = 0, fill = 0;
        for (u32 y = y0 + 3; y < y0 + kCellHeight - 3; ++y)
            for (u32 x = x0 + 3; x < x0 + kCellWidth - 3; ++x) {
                const u32 t = image.pixels[y * kTextureWidth + x];
                dark += (t & 0xC0C0C0u) == 0;
                fill += t == CellColour(i);
            }
        return std::pair{dark, fill};
    };
    for (const char* item : {"Story", "Battle", "Network", "End"}) {
        EXPECT_GT(letters(item).first, 30u) << item;
        EXPECT_GT(letters(item).second, 1000u) << item;
    }
    EXPECT_EQ(letters("Base").first, 0u);
    // The background: a plain dark fill.
    const size_t base = size_t(std::find(layers.begin(), layers.end(), "Base") - layers.begin());
    const u32 bx = u32(base) % kCellsPerRow * kCellWidth + 3, by = u32(base) / kCellsPerRow * kCellHeight + 3;
    EXPECT_EQ(image.pixels[by * kTextureWidth + bx], PlainColour(base));
}

TEST_F(SceneDataTest, TheMoviesOpenAndLastSeconds)
{
    for (const char* movie : {"Movie/OP.mpg", "Movie/ED.mpg"}) {
        for (Folder f : {Folder::kFirst, Folder::kSecond}) {
            std::unique_ptr<host::movie::Movie> opened;
            ASSERT_EQ(host::movie::OpenMovie(Resource(f) + "/" + movie, nullptr, opened), host::movie::Result::Ok)
                << movie;
            const bool secondEnding = f == Folder::kSecond && std::string(movie) == "Movie/ED.mpg";
            EXPECT_NEAR(opened->Info().stopTime, secondEnding ? kSecondEndingSeconds : 3.0, 0.2) << movie;
        }
    }
}

// The start-up's global load on the set: every archive registers, every
// track measures, and the media the scenes look up land in the lists.
class SceneDataLoadTest : public model_test::ModelDeviceTest {
protected:
    void SetUp() override
    {
        host::sound::SetNullOutput(&null_);
        sound_ = std::make_unique<CSound>();
        ASSERT_EQ(sound_->Initialize(system_), 1);
    }
    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(cwd_);
        sound_.reset();
        host::sound::SetNullOutput(nullptr);
    }

    const std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::sound::NullOutput null_;
    std::unique_ptr<CSound> sound_;
};

TEST_F(SceneDataLoadTest, TheGlobalLoadFindsWhatTheScenesLookUp)
{
    SceneDataTest::SetUpTestSuite();
    const std::string root = SceneDataTest::Root();
    CGameData data(DataFolders{root + "/one", root + "/two"});
    CResourceController resources;
    std::vector<std::string> messages;
    ASSERT_EQ(data.LoadResources(resources, [&](const std::string& t) { messages.push_back(t); }), 1)
        << (messages.empty() ? "" : messages[0]);
    EXPECT_TRUE(messages.empty());
    for (const char* texture : {"Circle_logo.dds", "Console_01.dds", kParticleTexture})
        EXPECT_NE(resources.GetTextureList()->FindByFileName(texture), nullptr) << texture;
    EXPECT_NE(resources.GetSoundList()->FindByFileName("Vo_logo_vantorel.ogg"), nullptr);
    EXPECT_NE(resources.GetSoundList()->FindByFileName("Bgm_win.ogg"), nullptr);
    const auto* crowd = static_cast<const CEffectContainer*>(
        static_cast<CValueBase*>(resources.GetEffectList()->FindByName("Efc_menu_croud")));
    ASSERT_NE(crowd, nullptr);
    ASSERT_GT(crowd->GetObjectCount(), 0u);
    EXPECT_NE(crowd->GetObject(0)->GetTexture(), nullptr);   // its particles show
    // Every battle effect's sparks, and the guard's shield, show in the
    // particles' texture.
    const CResourceBase* particle = resources.GetTextureList()->FindByFileName(kParticleTexture);
    ASSERT_NE(particle, nullptr);
    for (const char* name : battle_data::kEffects) {
        const auto* effect = static_cast<const CEffectContainer*>(
            static_cast<CValueBase*>(resources.GetEffectList()->FindByName(name)));
        ASSERT_NE(effect, nullptr) << name;
        const bool guard = std::string(name) == battle_data::kGuardEffect;
        ASSERT_EQ(effect->GetObjectCount(), guard ? 2u : 1u) << name;
        for (u32 i = 0; i < effect->GetObjectCount(); ++i)
            EXPECT_EQ(static_cast<CResourceBase*>(effect->GetObject(i)->GetTexture()), particle) << name << " " << i;
    }
    EXPECT_NE(data.GetTensionFile(CGameData::kBuiltInSlots - 1), nullptr);
}

TEST_F(SceneDataTest, FaultsLeaveOutOnlyWhatTheyName)
{
    const std::string root = MakeFolder("orv-scene-faults");
    ASSERT_FALSE(root.empty());
    Faults faults;
    faults.files = {"two/Resource/Scene/Loading.sce", "one/Resource/Data/Bgm.gpk", "two/Resource/Movie/OP.mpg"};
    faults.entries = {"Bg_24.dds", "Vocal_orig_08.txt"};
    std::string error;
    const bool written = WriteSceneData(root, &error, faults);
    const auto exists = [&root](const char* path) { return host::kernel::FileExists(root + "/" + path); };
    EXPECT_TRUE(written) << error;
    EXPECT_FALSE(exists("two/Resource/Scene/Loading.sce"));
    EXPECT_TRUE(exists("one/Resource/Scene/Loading.sce"));
    EXPECT_FALSE(exists("one/Resource/Data/Bgm.gpk"));
    EXPECT_TRUE(exists("two/Resource/Data/Bgm.gpk"));
    EXPECT_FALSE(exists("two/Resource/Movie/OP.mpg"));
    EXPECT_TRUE(exists("one/Resource/Movie/OP.mpg"));
    CqelPackFile load, music;
    ASSERT_TRUE(load.OpenScrambled((root + "/one/Resource/Data/Load.gpk").c_str(), Crc32String("LOADPACK"), kPackKeyFirst));
    EXPECT_EQ(load.FindEntry("Bg_24.dds"), nullptr);
    EXPECT_NE(load.FindEntry("Bg_02.dds"), nullptr);
    ASSERT_TRUE(music.OpenScrambled((root + "/one/Resource/Data/BattleBgm.gpk").c_str(), Crc32String("BGMPACK"),
        kPackKeyFirst));
    EXPECT_EQ(music.FindEntry("Vocal_orig_08.txt"), nullptr);
    EXPECT_NE(music.FindEntry("Vocal_orig_08.ogg"), nullptr);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

// The screens show words, not the data's names for their layers: no cell
// of any layout shows its layer's own name.
TEST(SceneDataWords, NoCellOfTheReadScreensShowsItsLayersName)
{
    const CSceneDataSet set = BuildSceneData();
    for (const auto& [layout, layers] : set.layouts) {
        const std::map<std::string, std::string> own = set.textureWords.count(set.layoutTextures.at(layout))
                                                           ? set.textureWords.at(set.layoutTextures.at(layout))
                                                           : std::map<std::string, std::string>{};
        for (const std::string& layer : layers) {
            const std::string leaf = layer.substr(layer.rfind('/') + 1);
            const std::string words = own.count(layer) ? own.at(layer) : CellText(layer);
            // Digit slots take their digit's picture when drawn.
            const bool slot = leaf.size() > 1 && leaf[0] == 'n' && leaf.find_first_not_of("0123456789", 1) == std::string::npos;
            // A name that is a word or a number already ("Story", "1P", "0-19") reads as it is.
            const bool word = std::isupper(static_cast<unsigned char>(leaf[0])) || std::isdigit(static_cast<unsigned char>(leaf[0]));
            EXPECT_TRUE(words != leaf || slot || word)
                << layout << ": " << layer << " shows \"" << words << "\"";
        }
    }
}

// A screen's header names the screen, not its layer; the lobby's drifting
// sparkle and the hosted selects' chat frames are drawn clear, texel for
// texel, where a blank box stood.
TEST(SceneDataWords, HeadersNameTheirScreenAndBlankFramesAreClear)
{
    const CSceneDataSet set = BuildSceneData();
    u32 headers = 0;
    for (const auto& [layout, layers] : set.layouts) {
        if (std::find(layers.begin(), layers.end(), "Title") == layers.end()) continue;
        ++headers;
        const auto own = set.textureWords.find(set.layoutTextures.at(layout));
        ASSERT_NE(own, set.textureWords.end()) << layout;
        ASSERT_TRUE(own->second.count("Title")) << layout;
        EXPECT_NE(own->second.at("Title"), "Title") << layout;
        EXPECT_FALSE(own->second.at("Title").empty()) << layout;
    }
    EXPECT_EQ(headers, 3u);   // the option select, the options, the character select
    const std::vector<std::string> layers = {"kira", "Log", "Input", "s", "bg02"};
    const std::string& bytes = CellTextureBytes(layers);
    host::image::Image image;
    ASSERT_TRUE(host::image::Decode(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), host::image::kGreenKey,
                                    image, nullptr));
    for (u32 i = 0; i < layers.size(); ++i) {
        u32 opaque = 0;
        for (u32 y = 0; y < kCellHeight; ++y)
            for (u32 x = 0; x < kCellWidth; ++x) opaque += image.pixels[y * kTextureWidth + i * kCellWidth + x] >> 24 != 0;
        EXPECT_EQ(opaque, i == 4 ? kCellWidth * kCellHeight : 0u) << layers[i];
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

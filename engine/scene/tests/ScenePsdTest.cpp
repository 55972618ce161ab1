// Layer trees built from a layout PSD and an atlas PSD: files written by the
// tests' own PSD writer (groups, hidden layers, repeated names) and layered
// files that ImageMagick writes in the test.
#include "engine/graphics/PSDReader.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/PsdBuilder.h"
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using host::kernel::testing::TempFolder;

namespace {

constexpr u8 kHidden = 2, kFolder = 16;

struct Record {
    std::string name;
    u8 flags;
    i32 left, top, right, bottom;
};

// A PSD whose layers are the records, each with three raw channels.
void WritePsd(const std::string& path, const std::vector<Record>& records)
{
    psdtest::Document d;
    d.width = 256, d.height = 256;
    for (const Record& r : records) {
        psdtest::Layer l = psdtest::Rect(r.top, r.left, r.bottom, r.right);
        for (int16_t c = 0; c < 3; ++c) l.Add(c, 0, [](uint32_t x, uint32_t y) { return x + y; });
        l.flags = r.flags;
        l.name = r.name;
        d.layers.push_back(l);
    }
    const psdtest::Bytes bytes = psdtest::Build(d);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::string> Names(const CResourceList* list)
{
    std::vector<std::string> out;
    for (u32 i = 0; list && i < list->GetCount(); ++i) {
        const CSceneObject* l = LayerAt(list, i);
        out.push_back(l && l->GetName() ? l->GetName() : "-");
    }
    return out;
}

// Where a layer landed: x, y, scale x and y, rect, visible.
std::vector<f32> Placed(const CSceneObject* l)
{
    const CLayerState& s = l->GetScreenState();
    return {s.position.x, s.position.y, s.scaleX, s.scaleY, s.rect.left, s.rect.top, s.rect.right, s.rect.bottom,
            f32(l->GetSettings().visible)};
}

const std::vector<Record> kAtlas = {
    {"Title", 0, 0, 0, 100, 40},
    {"Item", 0, 100, 0, 116, 8},
    {"Item", 0, 100, 8, 116, 16},
    {"Deep", 0, 120, 0, 124, 4},
    {"Folder", kFolder, 0, 0, 0, 0},   // no image of its own
    {"Extra", 0, 200, 200, 232, 216},
};

class ScenePsd : public ::testing::Test {
protected:
    void Build(const std::vector<Record>& layout, const std::vector<Record>& atlas = kAtlas)
    {
        WritePsd(folder_ / "layout.psd", layout);
        WritePsd(folder_ / "atlas.psd", atlas);
    }
    u32 Load() { return scene_.LoadPsd((folder_ / "layout.psd").c_str(), (folder_ / "atlas.psd").c_str(), &texture_); }

    TempFolder folder_;
    CTexture texture_;
    CSceneResource scene_;
};

}  // namespace

TEST_F(ScenePsd, GroupsNestAndTakeTheirFolderRecords)
{
    texture_.SetName("Menu.dds");
    Build({
        {"Title", 0, 10, 20, 110, 60},
        {"</Layer group>", kFolder, 0, 0, 0, 0},
        {"Item", 0, 30, 70, 62, 78},
        {"</Layer group>", kFolder, 0, 0, 0, 0},
        {"Deep", kHidden, 5, 5, 9, 9},
        {"Inner", kFolder, 1, 2, 3, 4},
        {"Menu", kFolder | kHidden, 0, 64, 128, 192},
        {"Title", 0, 12, 22, 212, 102},   // named twice: the later record places it
    });
    ASSERT_EQ(Load(), 1u);

    // Each layout record makes its layers; only the first "Title" is placed.
    EXPECT_EQ(Names(scene_.GetLayers()), (std::vector<std::string>{"Title", "Menu", "Title", "Extra"}));
    EXPECT_EQ(scene_.GetLayer(2)->GetSettings().visible, 0u);
    CSceneObject* menu = scene_.GetLayer(1);
    EXPECT_EQ(std::pair(menu->GetSettings().group, menu->GetSettings().visible), std::pair(1u, 0u));
    EXPECT_EQ(menu->GetRectTrack().GetDefaultValue()->right, 128.0f);
    EXPECT_EQ(Names(menu->GetChildren()), (std::vector<std::string>{"Item", "Item", "Inner"}));
    const CSceneObject* inner = menu->GetChild(2);
    EXPECT_EQ(std::pair(inner->GetSettings().group, inner->GetSettings().visible), std::pair(1u, 1u));
    EXPECT_EQ(Names(inner->GetChildren()), (std::vector<std::string>{"Deep"}));
    EXPECT_EQ(inner->GetChild(0)->GetSettings().visible, 0u);
    EXPECT_EQ(menu->GetChild(0)->GetSettings().visible, 1u);
    EXPECT_EQ(menu->GetChild(1)->GetSettings().visible, 0u);

    // Every layout record places the first layer of its name: 200 wide in
    // the layout, 100 in the atlas. An atlas image the layout does not
    // place: hidden at the end, scale 1.
    scene_.Update(0);
    CSceneObject* title = scene_.GetLayer(0);
    EXPECT_EQ(Placed(title), (std::vector<f32>{12, 22, 2, 2, 0, 0, 100, 40, 1}));
    EXPECT_EQ(title->GetTexture(), &texture_);
    EXPECT_EQ(Placed(scene_.GetLayer(3)), (std::vector<f32>{0, 0, 1, 1, 200, 200, 232, 216, 0}));
}

TEST_F(ScenePsd, AFailedBuildLeavesTheLayersAsTheyWere)
{
    Build({{"Title", 0, 0, 0, 10, 10}});
    ASSERT_EQ(Load(), 1u);
    // Title, then the atlas images not yet in the tree: Item (once), Deep,
    // Extra; the folder record is no image.
    EXPECT_EQ(Names(scene_.GetLayers()), (std::vector<std::string>{"Title", "Item", "Deep", "Extra"}));
    const u32 before = scene_.GetLayerCount();

    EXPECT_EQ(scene_.LoadPsd((folder_ / "missing.psd").c_str(), (folder_ / "atlas.psd").c_str(), &texture_), 0u);
    EXPECT_EQ(scene_.LoadPsd(nullptr, (folder_ / "atlas.psd").c_str(), &texture_), 0u);
    EXPECT_EQ(scene_.BuildFromPsd(nullptr, nullptr, &texture_), 0u);
    // Groups nested past what a layout file can hold.
    std::vector<Record> deep(70, {"</Layer group>", kFolder, 0, 0, 0, 0});
    Build(deep);
    EXPECT_EQ(Load(), 0u);
    EXPECT_EQ(scene_.GetLayerCount(), before);
    EXPECT_STREQ(scene_.GetLayer(0)->GetName(), "Title");
}

TEST_F(ScenePsd, AnOpenGroupTakesTheRestOfTheLayoutOnceUpToTheDeepestALayoutHolds)
{
    // Groups that never close: each layer belongs to the innermost. As
    // many as a layout file can hold build, and the layout saved loads
    // again; one more is refused.
    for (const u32 groups : {scene_file::kMaxLayerDepth, scene_file::kMaxLayerDepth + 1}) {
        SCOPED_TRACE(groups);
        std::vector<Record> layout;
        for (u32 i = 0; i < groups; ++i) {
            layout.push_back({"</Layer group>", kFolder, 0, 0, 0, 0});
            layout.push_back({"Item", 0, 0, 0, 8, 8});
        }
        Build(layout, {{"Item", 0, 0, 0, 8, 8}});
        CSceneResource scene;
        const u32 built =
            scene.LoadPsd((folder_ / "layout.psd").c_str(), (folder_ / "atlas.psd").c_str(), &texture_);
        if (groups > scene_file::kMaxLayerDepth) {
            EXPECT_EQ(built, 0u);
            continue;
        }
        ASSERT_EQ(built, 1u);
        ASSERT_EQ(scene.GetLayerCount(), 1u);
        u32 levels = 0, items = 0;
        for (const CSceneObject* g = scene.GetLayer(0); g; ++levels) {
            const CSceneObject* next = nullptr;
            for (u32 i = 0; i < g->GetChildCount(); ++i) {
                if (g->GetChild(i)->GetSettings().group) next = g->GetChild(i);
                else ++items;
            }
            g = next;
        }
        EXPECT_EQ(levels, groups);
        EXPECT_EQ(items, groups);
        ASSERT_EQ(scene.Save((folder_ / "deep.sce").c_str()), 1u);
        CSceneResource read;
        EXPECT_EQ(read.LoadFromFile((folder_ / "deep.sce").c_str()), 1u);
    }
}

TEST_F(ScenePsd, BuildsFromLayeredFilesImageMagickWrote)
{
    if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick's convert is missing";
    // The layout places two labelled layers; the atlas packs their images
    // and one more.
    const std::string layout = "convert -size 320x240 xc:'rgb(1,2,3)' "
                               "\\( -size 40x20 xc:red -set label Button -repage +100+50 \\) "
                               "\\( -size 12x12 xc:blue -set label Cursor -repage +80+52 \\) -alpha off -depth 8 '" +
                               folder_ / "layout.psd" + "'";
    const std::string atlas = "convert -size 64x64 xc:black "
                              "\\( -size 20x10 xc:red -set label Button -repage +0+0 \\) "
                              "\\( -size 6x6 xc:blue -set label Cursor -repage +20+0 \\) "
                              "\\( -size 8x8 xc:green -set label Spare -repage +0+16 \\) -alpha off -depth 8 '" +
                              folder_ / "atlas.psd" + "'";
    ASSERT_EQ(std::system(layout.c_str()), 0) << layout;
    ASSERT_EQ(std::system(atlas.c_str()), 0) << atlas;
    ASSERT_EQ(Load(), 1u);
    ASSERT_EQ(Names(scene_.GetLayers()), (std::vector<std::string>{"Button", "Cursor", "Spare"}));
    scene_.Update(0);

    const std::vector<f32> want[] = {
        {100, 50, 2, 2, 0, 0, 20, 10, 1},
        {80, 52, 2, 2, 20, 0, 26, 6, 1},
        {0, 0, 1, 1, 0, 16, 8, 24, 0},
    };
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(Placed(scene_.GetLayer(i)), want[i]) << i;

    // A built layout saves like any other.
    ASSERT_EQ(scene_.Save((folder_ / "built.sce").c_str()), 1u);
    CSceneResource read;
    ASSERT_EQ(read.LoadFromFile((folder_ / "built.sce").c_str()), 1u);
    read.Update(0);
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(Placed(read.GetLayer(i)), want[i]) << i;
}

}  // namespace ORV_TEST_FILE_ID

// Scene layout files: a golden layout laid out by hand, layouts made by the
// writer and read back, and damaged layouts, which are refused whole and
// leave the scene without layers.
#include "engine/core/Endian.h"
#include "engine/core/MemStream.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace scene_test;
using host::kernel::testing::TempFolder;

namespace {

// "Title": one layer "Btn" (every setting away from its default, keys on
// three tracks) with one child "Glow".
Settings BtnSettings()
{
    Settings s;
    s.x = 12, s.y = 34, s.z = 0.5f, s.scaleX = 2, s.scaleY = 3, s.rotation = 45;
    s.r = 0.25f, s.g = 0.5f, s.b = 0.75f, s.a = 0.125f;
    s.left = 1, s.top = 2, s.right = 3, s.bottom = 4;
    s.visible = 1, s.group = 0, s.orientation = 4, s.pivot = 34, s.reserved = 7, s.anchor = 64;
    s.mode = 1, s.time = 0.5f;
    return s;
}

std::string BtnTracks()
{
    return Bytes()
        // Position: one key (time, ease, control point, point), loop on.
        .Name("Position").U32(1).Floats({0.5f, 0.25f, 1, 2, 3, 4, 5, 6}).U32(1).U32(1).Floats({7, 8, 9, 10, 11, 12})
        .Name("Rotation").U32(0).U32(1).U32(0).Floats({0, 0, 0})
        .Name("Scaling").U32(2).Floats({0, 0, 1, 1, 1}).Floats({1, 0, 2, 2, 1}).U32(0).U32(0).Floats({1, 1, 1})
        .Name("Color").U32(0).U32(0).U32(0).Floats({1, 1, 1, 1})
        .Name("Rect").U32(1).Floats({0, 0, 64, 32, 96, 48}).U32(1).U32(0).Floats({0, 0, 0, 0});
}

std::string Golden()
{
    Settings glow;
    glow.visible = 0;
    return SceneFile("Title", {LayerRecord("Btn", BtnSettings(), "Menu.dds", BtnTracks(),
                                           {LayerRecord("Glow", glow, "", EmptyTracks())})});
}

// A chain of layers nested depth levels below the top.
std::string Nested(u32 depth)
{
    return LayerRecord("L", Settings(), "", EmptyTracks(),
                       depth ? std::vector<std::string>{Nested(depth - 1)} : std::vector<std::string>{});
}

u32 LoadBytes(CSceneResource& scene, const std::string& bytes)
{
    std::unique_ptr<CMemStream> stream(CreateMemStream(bytes.data(), u32(bytes.size())));
    if (!stream) stream.reset(new CMemStream());
    return scene.LoadFromMemory(stream.get());
}

}  // namespace

TEST(SceneFile, ReadsTheGoldenLayoutFieldByField)
{
    TempFolder folder;
    WriteBytes(folder / "Title.sce", Golden());
    CSceneResource scene;
    // The scene's own placement is not in the file: it stays.
    scene.SetScale(1.5f, 0.75f);
    scene.SetFit(0);
    scene.SetKeepAspect(1);
    ASSERT_EQ(scene.LoadFromFile((folder / "Title.sce").c_str()), 1u);
    EXPECT_EQ(std::pair(scene.GetSceneState().scaleX, scene.GetSceneState().scaleY), std::pair(1.5f, 0.75f));
    EXPECT_EQ(std::pair(scene.GetFit(), scene.GetKeepAspect()), std::pair(0u, 1u));
    // A few fields of each part where a reader and writer could agree on a
    // wrong place; the bytes written back check the rest.
    ASSERT_EQ(scene.GetLayerCount(), 1u);
    const CSceneObject* btn = scene.GetLayer(0);
    const LayerSettings& s = btn->GetSettings();
    EXPECT_EQ((std::vector<f32>{s.offset.position.y, s.offset.scaleY, s.offset.rotation, s.offset.colour.w,
                                s.offset.rect.bottom, s.time}),
              (std::vector<f32>{34, 3, 45, 0.125f, 4, 0.5f}));
    EXPECT_EQ((std::vector<u32>{s.orientation, s.pivot, s.reserved, s.anchor, s.evaluationMode}),
              (std::vector<u32>{4, 34, 7, 64, 1}));
    const auto& position = btn->GetPositionTrack();
    ASSERT_EQ(position.GetCount(), 1u);
    EXPECT_EQ((std::vector<f32>{position.GetAt(0)->ease, position.GetAt(0)->value.start.z,
                                position.GetAt(0)->value.end.x, position.GetDefaultValue()->end.z}),
              (std::vector<f32>{0.25f, 3, 4, 12}));
    // The curve blend stays installed whatever the file says.
    EXPECT_EQ(position.GetInterpolator(), &InterpolateCurveKey);
    EXPECT_EQ(btn->GetRectTrack().GetAt(0)->value.right, 96.0f);
    ASSERT_EQ(btn->GetChildCount(), 1u);
    EXPECT_EQ(btn->GetChild(0)->GetOwnerList(), btn->GetChildren());

    // The writer gives the same bytes back.
    ASSERT_EQ(scene.Save((folder / "Again.sce").c_str()), 1u);
    EXPECT_EQ(ReadBytes(folder / "Again.sce"), Golden());
}

TEST(SceneFile, ADamagedLayoutIsRefusedWhole)
{
    const std::string golden = Golden();
    const std::string name = Bytes().Name("Title");
    const std::string layer = LayerRecord("Btn", BtnSettings(), "Menu.dds", BtnTracks(), {});
    // Where the layer record keeps its lengths and counts.
    constexpr size_t kSettingsSize = 8, kTextureLength = 88, kPositionKeys = 114;
    const size_t childCount = layer.size() - 4;
    const auto patched = [&](size_t at, u32 value) {
        std::string l = layer;
        PutLe32(l.data() + at, value);
        return Bytes().Raw(name).U32(1).Raw(l).Str();
    };
    ASSERT_EQ(GetLe32(layer.data() + kTextureLength), 8u);
    ASSERT_EQ(GetLe32(layer.data() + kPositionKeys), 1u);
    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"name larger than the file", Bytes().U32(0x7FFFFFFF).Raw("Title").Str()},
        {"name without its NUL", Bytes().U32(5).Raw("Title").U32(0).Str()},
        {"one layer more than present", Bytes().Raw(name).U32(2).Raw(layer).Str()},
        {"settings larger than the file", patched(kSettingsSize, 0xFFFFFF00)},
        {"texture length whose NUL wraps", patched(kTextureLength, 0xFFFFFFFF)},
        {"texture name without its NUL", patched(kTextureLength, 7)},
        {"key count past the data", patched(kPositionKeys, 0x10000000)},
        {"child count past the data", patched(childCount, 1000)},
        {"children nested too deep", SceneFile("", {Nested(65)})},
    };
    // From memory and from a file alike, the old layers are gone: nothing
    // of the replaced layout is drawn or found.
    TempFolder folder;
    const auto refusedLeavingNoLayers = [&](const std::string& bytes, bool fromFile) {
        CSceneResource scene;
        if (LoadBytes(scene, Golden()) != 1 || scene.GetLayerCount() != 1) return false;
        WriteBytes(folder / "Damaged.sce", bytes);
        const u32 loaded = fromFile ? scene.LoadFromFile((folder / "Damaged.sce").c_str()) : LoadBytes(scene, bytes);
        return loaded == 0 && !scene.GetLayers() && scene.Draw(0) == 0 && !scene.FindLayer("Btn");
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.what);
        EXPECT_TRUE(refusedLeavingNoLayers(d.bytes, false));
        EXPECT_TRUE(refusedLeavingNoLayers(d.bytes, true));
    }
    // Cut short anywhere, the layout is refused.
    for (size_t n = 0; n < golden.size(); ++n) {
        ASSERT_TRUE(refusedLeavingNoLayers(golden.substr(0, n), n % 2 == 0)) << n;
    }
    // The deepest nesting the reader takes.
    CSceneResource deep;
    EXPECT_EQ(LoadBytes(deep, SceneFile("", {Nested(64)})), 1u);
}

// A layout that cannot be opened leaves no layers, as a damaged one does
// (above).
TEST(SceneFile, ALayoutThatCannotBeOpenedLeavesNoLayers)
{
    TempFolder folder;
    WriteBytes(folder / "Title.sce", Golden());
    const std::string missing = folder / "Missing.sce", aFolder = folder.Path();
    for (const char* path : {missing.c_str(), aFolder.c_str(), static_cast<const char*>(nullptr)}) {
        CSceneResource scene;
        ASSERT_EQ(scene.LoadFromFile((folder / "Title.sce").c_str()), 1u);
        ASSERT_EQ(scene.GetLayerCount(), 1u);
        EXPECT_EQ(scene.LoadFromFile(path), 0u) << (path ? path : "null");
        EXPECT_EQ(scene.GetLayerCount(), 0u) << (path ? path : "null");
    }
    CSceneResource scene;
    ASSERT_EQ(LoadBytes(scene, Golden()), 1u);
    EXPECT_EQ(scene.LoadFromMemory(nullptr), 0u);
    EXPECT_EQ(scene.GetLayerCount(), 0u);
}

TEST(SceneFile, OtherSettingsSizesTakeWhatFits)
{
    const Settings s = BtnSettings();
    const auto record = [&](const std::string& block) {
        return Bytes().Name("L").U32(u32(block.size())).Raw(block).U32(0).Raw(EmptyTracks()).U32(0).Str();
    };
    CSceneResource longer, shorter;
    ASSERT_EQ(LoadBytes(longer, SceneFile("", {record(s.Block() + "more")})), 1u);
    EXPECT_EQ(longer.GetLayer(0)->GetSettings().time, 0.5f);
    ASSERT_EQ(LoadBytes(shorter, SceneFile("", {record(s.Block().substr(0, 40))})), 1u);
    // The colour arrived; the rect and the words after it did not.
    const LayerSettings& got = shorter.GetLayer(0)->GetSettings();
    EXPECT_EQ((std::vector<f32>{got.offset.colour.z, got.offset.rect.left, f32(got.visible)}),
              (std::vector<f32>{0.75f, 0, 0}));
}

TEST(SceneFile, StreamsAndOpenFilesMoveOnlyPastWhatWasTaken)
{
    const std::string golden = Golden();
    const std::string bytes = golden + "tail";
    std::unique_ptr<CMemStream> stream(CreateMemStream(bytes.data(), u32(bytes.size())));
    CSceneResource scene;
    ASSERT_EQ(scene.LoadFromMemory(stream.get()), 1u);
    EXPECT_EQ(stream->GetPosition(), golden.size());
    stream->Seek(1, 0);
    EXPECT_EQ(scene.LoadFromMemory(stream.get()), 0u);
    EXPECT_EQ(stream->GetPosition(), 1u);

    // One layer record read from an open file at its position.
    TempFolder folder;
    const std::string record = LayerRecord("Btn", BtnSettings(), "Menu.dds", BtnTracks());
    WriteBytes(folder / "Layer.bin", "head" + record + record.substr(0, 50));
    auto file = host::kernel::OpenFile(folder / "Layer.bin", "rb");
    ASSERT_TRUE(file);
    file->Seek(4, host::kernel::SeekOrigin::Begin);
    CSceneObject layer("Old", nullptr);
    ASSERT_EQ(layer.LoadFromFile(file.get()), 1u);
    EXPECT_EQ(file->Tell(), int64_t(4 + record.size()));
    EXPECT_EQ(layer.GetScalingTrack().GetCount(), 2u);
    EXPECT_EQ(layer.LoadFromFile(file.get()), 0u);
    EXPECT_EQ(file->Tell(), int64_t(4 + record.size()));
    EXPECT_STREQ(layer.GetName(), "Btn");

    EXPECT_EQ(CSceneResource().LoadFromFile((folder / "Missing.sce").c_str()), 0u);
}

}  // namespace ORV_TEST_FILE_ID

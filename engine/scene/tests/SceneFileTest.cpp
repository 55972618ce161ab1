// Scene layout files: a golden layout laid out by hand, layouts made by the
// writer and read back, and damaged layouts, which keep what was read
// before the damage.
#include "engine/core/Endian.h"
#include "engine/core/MemStream.h"
#include "engine/graphics/Texture.h"
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

// What a scene holds after a read, in the fields a cut or a damage can
// reach: layer count, then the first layer's name, rotation, alpha,
// texture, key counts of Position, Scaling and Rect, and its children.
std::string Held(const CSceneResource& scene)
{
    std::string out = std::to_string(scene.GetLayerCount());
    if (!scene.GetLayerCount()) return out;
    const CSceneObject& l = *scene.GetLayer(0);
    const char* texture = l.GetTextureName();
    out += std::string(" ") + (l.GetName() ? l.GetName() : "-") + " r" + std::to_string(int(l.GetSettings().offset.rotation)) +
           " a" + std::to_string(l.GetSettings().offset.colour.w) + " " + (texture ? texture : "-") + " k" +
           std::to_string(l.GetPositionTrack().GetCount()) + std::to_string(l.GetScalingTrack().GetCount()) +
           std::to_string(l.GetRectTrack().GetCount()) + " c" + std::to_string(l.GetChildCount());
    for (u32 i = 0; i < l.GetChildCount(); ++i) out += std::string(" ") + l.GetChild(i)->GetName();
    return out;
}

// A layout that ends early, or whose lengths and counts promise more than
// it holds, keeps what was read before the end: every field after it keeps
// the value of a new layer, and no count makes more than the data holds.
TEST(SceneFile, ADamagedLayoutKeepsWhatWasReadBeforeTheDamage)
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
    // Offsets into the golden layout.
    const size_t btn = name.size() + 4, glow = golden.find("Glow") - 4;
    const std::string whole = "1 Btn r45 a0.125000 Menu.dds k121 c1 Glow";
    const std::string settingsOnly = "1 Btn r45 a0.125000 - k000 c0";
    const struct {
        const char* what;
        std::string bytes, held;
    } damaged[] = {
        {"nothing", "", "0"},
        {"cut in the layer count", golden.substr(0, btn - 2), "0"},
        {"cut after the layer count", golden.substr(0, btn), "0"},
        {"cut in the layer's name", golden.substr(0, btn + 6), "1 Bt r0 a1.000000 - k000 c0"},
        {"cut in the settings after the rotation", golden.substr(0, btn + 12 + 24), "1 Btn r45 a1.000000 - k000 c0"},
        {"cut after the texture name", golden.substr(0, btn + 101), "1 Btn r45 a0.125000 Menu.dds k000 c0"},
        {"cut in the Scaling track", golden.substr(0, golden.find("Scaling") + 4), "1 Btn r45 a0.125000 Menu.dds k100 c0"},
        {"cut before the child count", golden.substr(0, glow - 4), "1 Btn r45 a0.125000 Menu.dds k121 c0"},
        {"cut after the child count", golden.substr(0, glow), "1 Btn r45 a0.125000 Menu.dds k121 c0"},
        {"cut in the child's name", golden.substr(0, glow + 6), "1 Btn r45 a0.125000 Menu.dds k121 c1 Gl"},
        {"one layer more than present", Bytes().Raw(name).U32(2).Raw(layer).Str(), "1 Btn r45 a0.125000 Menu.dds k121 c0"},
        {"2^32 - 1 layers", Bytes().Raw(name).U32(0xFFFFFFFF).Raw(layer).Str(), "1 Btn r45 a0.125000 Menu.dds k121 c0"},
        {"settings larger than the file", patched(kSettingsSize, 0xFFFFFF00), settingsOnly},
        // A length far past the data: a name that cannot be allocated.
        {"texture length whose NUL wraps", patched(kTextureLength, 0xFFFFFFFF), "1 Btn r45 a0.125000 - k000 c0"},
        {"key count past the data", patched(kPositionKeys, 0x10000000), "1 Btn r45 a0.125000 Menu.dds k000 c0"},
        {"child count past the data", patched(childCount, 1000), "1 Btn r45 a0.125000 Menu.dds k121 c0"},
        {"the whole layout", golden, whole},
    };
    // Cut anywhere: the layer is there once a byte of it is, found by its
    // name once the name is.
    for (size_t n = 0; n < golden.size(); ++n) {
        CSceneResource scene;
        ASSERT_EQ(LoadBytes(scene, golden.substr(0, n)), 1u) << n;
        EXPECT_EQ(scene.GetLayerCount(), n > btn ? 1u : 0u) << n;
        EXPECT_EQ(scene.FindLayer("Btn") != nullptr, n >= btn + 7) << n;
    }
    // From memory and from a file alike, the layers read replace the old.
    TempFolder folder;
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.what);
        for (const bool fromFile : {false, true}) {
            CSceneResource scene;
            ASSERT_EQ(LoadBytes(scene, Bytes().Raw(name).U32(2).Raw(layer).Raw(layer).Str()), 1u);
            WriteBytes(folder / "Damaged.sce", d.bytes);
            const u32 loaded = fromFile ? scene.LoadFromFile((folder / "Damaged.sce").c_str()) : LoadBytes(scene, d.bytes);
            EXPECT_EQ(loaded, 1u);
            EXPECT_EQ(Held(scene), d.held);
            ASSERT_TRUE(scene.GetLayers());
            // What was read is written back whole and reads back the same.
            CSceneResource again;
            ASSERT_TRUE(WriteBytes(folder / "Again.sce", "") && scene.Save((folder / "Again.sce").c_str()));
            ASSERT_EQ(again.LoadFromFile((folder / "Again.sce").c_str()), 1u);
            EXPECT_EQ(Held(again), d.held);
        }
    }
}

// A name stored without its NUL (the layout's, a layer's, a texture's) is
// ended where its bytes end, and the reading goes on after it.
TEST(SceneFile, NamesStoredWithoutTheirNulAreEndedAndTheRestIsRead)
{
    const std::string golden = Golden();
    const struct {
        const char* what;
        std::string stored;
        const char* layout;
        std::string held;
    } cases[] = {
        {"layout", std::string("Title") + '\0', "TitleX", "1 Btn r45 a0.125000 Menu.dds k121 c1 Glow"},
        {"layer", std::string("Btn") + '\0', "Title", "1 BtnX r45 a0.125000 Menu.dds k121 c1 Glow"},
        {"texture", std::string("Menu.dds") + '\0', "Title", "1 Btn r45 a0.125000 Menu.ddsX k121 c1 Glow"},
        {"child", std::string("Glow") + '\0', "Title", "1 Btn r45 a0.125000 Menu.dds k121 c1 GlowX"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = golden;
        const size_t at = bytes.find(c.stored);
        ASSERT_NE(at, std::string::npos);
        bytes[at + c.stored.size() - 1] = 'X';
        CSceneResource scene;
        std::unique_ptr<CMemStream> stream(CreateMemStream(bytes.data(), u32(bytes.size())));
        ASSERT_EQ(scene.LoadFromMemory(stream.get()), 1u);
        EXPECT_EQ(stream->GetPosition(), bytes.size());
        EXPECT_STREQ(scene.GetName(), c.layout);
        EXPECT_EQ(Held(scene), c.held);
    }
}

// Two layers, the second one's child count missing: both are kept.
TEST(SceneFile, ALayoutCutShortKeepsTheLayersReadBeforeTheEnd)
{
    Settings shown;
    const std::string full =
        SceneFile("Menu", {LayerRecord("Back", shown, "", EmptyTracks()), LayerRecord("Cursor", shown, "", EmptyTracks())});
    CSceneResource scene;
    ASSERT_EQ(LoadBytes(scene, full.substr(0, full.size() - 4)), 1u);
    EXPECT_STREQ(scene.GetName(), "Menu");
    ASSERT_EQ(scene.GetLayerCount(), 2u);
    EXPECT_EQ(scene.FindLayer("Back"), scene.GetLayer(0));
    EXPECT_EQ(scene.FindLayer("Cursor"), scene.GetLayer(1));
    EXPECT_EQ(scene.GetLayer(1)->GetSettings().visible, 1u);
}

// A name length far past the data is a damaged length, not a file cut
// short: taken as a name that cannot be allocated, so a damaged layout
// (the title's, say) fails instead of loading as noise. Up to the bound it
// is a cut: what is there is read.
TEST(SceneFile, ANameLengthFarPastTheDataFailsAsAnAllocation)
{
    const std::string body = Bytes().U32(0);
    const size_t left = body.size();
    const struct {
        const char* what;
        u64 length;
        u32 loaded;
    } cases[] = {
        {"a cut name at the bound", left + scene_file::kNameBytesPastEnd, 1},
        {"one byte past the bound", left + scene_file::kNameBytesPastEnd + 1, 0},
        {"bytes of a damaged file", 0x5A5A5A5A, 0},
        {"2^31 - 1", 0x7FFFFFFF, 0},
    };
    for (const auto& c : cases) {
        CSceneResource scene;
        ASSERT_EQ(LoadBytes(scene, Golden()), 1u);
        EXPECT_EQ(LoadBytes(scene, Bytes().U32(u32(c.length)).Raw(body)), c.loaded) << c.what;
        EXPECT_EQ(scene.GetLayerCount(), 0u) << c.what;
    }

    // A layer's or a texture's: that layer's read fails after its length,
    // the layer stays in its slot and the layout loads.
    const std::string layerName = Bytes().U32(0x5A5A5A5A).Raw(EmptyTracks());
    const std::string texture =
        Bytes().Name("Pane").U32(scene_file::kSettingsSize).Raw(Settings().Block()).U32(0x5A5A5A5A);
    for (const std::string& layer : {layerName, texture}) {
        CSceneResource scene;
        ASSERT_EQ(LoadBytes(scene, Bytes().Name("Menu").U32(1).Raw(layer)), 1u);
        ASSERT_EQ(scene.GetLayerCount(), 1u);
        const char* name = scene.GetLayer(0)->GetTextureName();
        EXPECT_TRUE(!name || !*name) << name;
    }
}

// Layers of a tree, children and all.
u32 CountLayers(const CSceneObject* layer)
{
    u32 n = layer ? 1 : 0;
    for (u32 i = 0; layer && i < layer->GetChildCount(); ++i) n += CountLayers(layer->GetChild(i));
    return n;
}

// A layer record that fails after its first 4 bytes is kept, yet a layout
// makes no more layers than its bytes hold whole (and one cut): a record
// whose children are such failures, over and over, stops at that bound,
// and a layout cut inside its last record reaches it exactly.
TEST(SceneFile, ADamagedLayoutMakesNoMoreLayersThanItsBytesHold)
{
    Bytes smallest;   // a record as small as one can be
    smallest.U32(0).U32(0).U32(0);
    for (const u32 defaults : {24, 12, 12, 16, 16}) smallest.U32(0).U32(0).U32(0).U32(0).Zeros(defaults);
    smallest.U32(0);
    ASSERT_EQ(smallest.Str().size(), scene_file::kMinLayerRecord);
    std::string cut = Bytes().U32(0).U32(21);
    for (int i = 0; i < 21; ++i) cut += smallest.Str();
    cut.resize(cut.size() - 76);

    // Records with more children than the data, each child a name length
    // far past the data: as many as a list of the bytes left may hold, a
    // layer of every 4 bytes.
    const std::string parent = Bytes().U32(0).U32(scene_file::kSettingsSize).Raw(Settings().Block()).U32(0)
                                   .Raw(EmptyTracks()).U32(0xFFFFFFFF);
    const auto damage = [&](size_t bytes) {
        std::string d = Bytes().U32(0).U32(0xFFFFFFFF);
        while (d.size() < bytes) {
            d += parent;
            const size_t left = bytes > d.size() ? bytes - d.size() : 0;
            d += std::string(4 * (left / scene_file::kMinLayerRecord + 1), '\xFF');
        }
        d.resize(bytes);
        return d;
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut in its last record", cut},
        {"64 KiB of damage", damage(64 << 10)},
        {"1 MiB of damage", damage(1 << 20)},
    };
    for (const auto& c : cases) {
        CSceneResource scene;
        ASSERT_EQ(LoadBytes(scene, c.bytes), 1u) << c.what;
        u32 layers = 0;
        for (u32 i = 0; i < scene.GetLayerCount(); ++i) layers += CountLayers(scene.GetLayer(i));
        EXPECT_EQ(layers, scene_file::LayerBound(c.bytes.size())) << c.what;
    }
    EXPECT_EQ(scene_file::LayerBound(cut.size()), 21u);
}

// Children nest at most 64 levels below the top: a deeper layout keeps those
// levels and reads nothing past them.
TEST(SceneFile, NestingPastTheLimitIsNotFollowed)
{
    CSceneResource deep, deeper;
    ASSERT_EQ(LoadBytes(deep, SceneFile("", {Nested(64)})), 1u);
    ASSERT_EQ(LoadBytes(deeper, SceneFile("", {Nested(65), Nested(0)})), 1u);
    const auto levels = [](const CSceneResource& scene) {
        u32 n = 0;
        for (const CSceneObject* l = scene.GetLayer(0); l; l = l->GetChildCount() ? l->GetChild(0) : nullptr) ++n;
        return n;
    };
    EXPECT_EQ(levels(deep), 65u);
    EXPECT_EQ(levels(deeper), 65u);
    EXPECT_EQ(deeper.GetLayerCount(), 1u);
}

// A layout that cannot be opened leaves no layers.
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

// A whole record read over a layer replaces its texture: a record naming
// none leaves the layer with none, not with the one it had.
TEST(SceneFile, AWholeRecordReadOverALayerReplacesItsTexture)
{
    CTexture old;
    old.SetName("Old.dds");
    const struct {
        const char* what;
        std::string texture;
        const char* name;
    } cases[] = {
        {"no texture", "", nullptr},
        {"another texture", "Menu.dds", "Menu.dds"},
    };
    for (const auto& c : cases) {
        const std::string record = LayerRecord("Cap", Settings(), c.texture, EmptyTracks());
        std::unique_ptr<CMemStream> stream(CreateMemStream(record.data(), u32(record.size())));
        CSceneObject layer("Btn", nullptr);
        layer.SetTextureRecursive(&old);
        ASSERT_EQ(layer.LoadFromMemory(stream.get()), 1u) << c.what;
        EXPECT_EQ(stream->GetPosition(), record.size()) << c.what;
        EXPECT_STREQ(layer.GetName(), "Cap") << c.what;
        EXPECT_STREQ(layer.GetTextureName(), c.name) << c.what;
        EXPECT_EQ(layer.GetTexture(), nullptr) << c.what;
    }
}

TEST(SceneFile, StreamsAndOpenFilesMoveOnlyPastWhatWasTaken)
{
    const std::string golden = Golden();
    const std::string bytes = golden + "tail";
    std::unique_ptr<CMemStream> stream(CreateMemStream(bytes.data(), u32(bytes.size())));
    CSceneResource scene;
    ASSERT_EQ(scene.LoadFromMemory(stream.get()), 1u);
    EXPECT_EQ(stream->GetPosition(), golden.size());
    // Read from the wrong place: the name's length there (0x54000000) is far
    // past the data, a name that cannot be allocated: the read fails there,
    // the stream stays where it was and no layer is left.
    stream->Seek(1, 0);
    EXPECT_EQ(scene.LoadFromMemory(stream.get()), 0u);
    EXPECT_EQ(stream->GetPosition(), 1u);
    EXPECT_EQ(scene.GetLayerCount(), 0u);

    // One layer record read from an open file at its position.
    TempFolder folder;
    const std::string record = LayerRecord("Btn", BtnSettings(), "Menu.dds", BtnTracks());
    const std::string cut = LayerRecord("Cap", Settings(), "", EmptyTracks()).substr(0, 50);
    WriteBytes(folder / "Layer.bin", "head" + record + cut);
    auto file = host::kernel::OpenFile(folder / "Layer.bin", "rb");
    ASSERT_TRUE(file);
    file->Seek(4, host::kernel::SeekOrigin::Begin);
    CSceneObject layer("Old", nullptr);
    ASSERT_EQ(layer.LoadFromFile(file.get()), 1u);
    EXPECT_EQ(file->Tell(), int64_t(4 + record.size()));
    EXPECT_EQ(layer.GetScalingTrack().GetCount(), 2u);
    // A record cut short in its settings: its name and the settings it
    // holds replace the layer's, the fields after them stay as they were.
    EXPECT_EQ(layer.LoadFromFile(file.get()), 1u);
    EXPECT_EQ(file->Tell(), int64_t(4 + record.size() + cut.size()));
    EXPECT_STREQ(layer.GetName(), "Cap");
    EXPECT_EQ(layer.GetSettings().offset.rotation, 0.0f);
    EXPECT_EQ(layer.GetSettings().offset.rect.bottom, 4.0f);
    EXPECT_STREQ(layer.GetTextureName(), "Menu.dds");
    EXPECT_EQ(layer.GetScalingTrack().GetCount(), 2u);

    EXPECT_EQ(CSceneResource().LoadFromFile((folder / "Missing.sce").c_str()), 0u);
}

}  // namespace ORV_TEST_FILE_ID

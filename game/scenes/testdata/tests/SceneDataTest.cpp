// The written game data set read back: the folders and resource lists, every
// archive the start-up registers opening with its identifier and key byte,
// the layouts with every layer on its cell, the cell texture decoding, the
// movies playing, and faults leaving out just what they name.
#include "game/scenes/testdata/SceneData.h"

#include "engine/core/Crc32.h"
#include "engine/core/Memory.h"
#include "engine/core/PackFile.h"
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
#include "host/movie/Movie.h"
#include "host/sound/Sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

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
            for (size_t i = 0; i < layers.size(); ++i) {
                const CSceneObject* layer = LayerAtPath(scene, layers[i]);
                ASSERT_NE(layer, nullptr) << path << " " << layers[i];
                f32 left = 0.0f, top = 0.0f;
                CellOf(i, &left, &top);
                EXPECT_EQ(layer->GetSettings().offset.rect.left, left * kTextureSide) << layers[i];
                EXPECT_EQ(layer->GetSettings().offset.rect.top, top * kTextureSide) << layers[i];
                const f32 half = 0.5f * kCell / kTextureSide;
                EXPECT_EQ(LayerAt(layers, left + half, top + half), layers[i]);
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
    EXPECT_EQ(LayerAt(layers, 2.5f * kCell / kTextureSide, 0.01f), "Menu/two");
    EXPECT_EQ(LayerAt(layers, 4.5f * kCell / kTextureSide, 0.01f), "");
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
    EXPECT_FLOAT_EQ(scene.GetLayer(0)->GetBoundingRect().bottom, 24);
}

TEST_F(SceneDataTest, TheCellTextureDecodesWithNothingKeyedOut)
{
    const auto pack = Open(Folder::kSecond, kSceneArchive);
    ASSERT_NE(pack, nullptr);
    u32 size = 0;
    u8* body = pack->ReadEntry("Circle_logo.dds", &size);
    ASSERT_NE(body, nullptr);
    host::image::Image image;
    std::string error;
    const bool decoded = host::image::Decode(body, size, host::image::kGreenKey, image, &error);
    AlignedFree(body);
    ASSERT_TRUE(decoded) << error;
    EXPECT_EQ(image.width, kTextureSide);
    EXPECT_EQ(image.height, kTextureSide);
    for (uint32_t texel : image.pixels) ASSERT_EQ(texel >> 24, 0xFFu);
    // Neighbouring cells differ inside their frames.
    EXPECT_NE(image.pixels[4 * kTextureSide + 4], image.pixels[4 * kTextureSide + 12]);
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

}  // namespace

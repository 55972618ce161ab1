// Scene layers drawn on the fake device: which layers draw, through which
// sprite call, where and in what colour, checked against the fake's log.
#include "engine/core/MemStream.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "engine/scene/tests/SceneTestSupport.h"

#include <algorithm>
#include <functional>
#include <memory>

namespace ORV_TEST_FILE_ID {

namespace {

using scene_test::Quad;
using scene_test::Rect;

bool SameQuad(const Quad& a, const Quad& b)
{
    return std::memcmp(a.v, b.v, sizeof a.v) == 0 && a.texture == b.texture;
}

class SceneDrawTest : public scene_test::SceneDraw {
protected:
    // A visible 32 x 16 image at (40, 30), drawn with texture_.
    CSceneObject* AddLayer(CResourceList* list, const char* name)
    {
        auto* layer = new CSceneObject(name, list);
        EXPECT_EQ(AppendLayer(list, layer), 1u);
        layer->SetVisible(1);
        layer->SetOffset(40, 30);
        layer->GetSettings().offset.rect = Rect(64, 32, 96, 48);
        layer->SetTextureRecursive(&texture_);
        return layer;
    }

    // What texture_ draws itself for the same arguments.
    Quad Reference(const std::function<void()>& draw)
    {
        fake_->ClearLog();
        draw();
        const std::vector<Quad> quads = Quads();
        fake_->ClearLog();
        return quads.empty() ? Quad{} : quads.back();
    }

    CResourceList list_;
    CLayerState scene_;
};

}  // namespace

TEST_F(SceneDrawTest, HiddenFadedAndImagelessLayersDrawNothingOfTheirOwn)
{
    const struct {
        const char* what;
        u32 visible, group;
        f32 alpha;
        bool texture;
        size_t draws;   // parent and its visible child
    } cases[] = {
        {"shown", 1, 0, 1.0f, true, 2},
        {"hidden", 0, 0, 1.0f, true, 0},
        {"transparent", 1, 0, 0.0f, true, 0},
        {"group", 1, 1, 1.0f, true, 1},
        {"no texture", 1, 0, 1.0f, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CResourceList list;
        CSceneObject* parent = AddLayer(&list, "Parent");
        AddLayer(parent->GetChildren(), "Child");
        if (!c.texture) parent->SetTextureRecursive(nullptr), parent->GetChild(0)->SetTextureRecursive(&texture_);
        parent->SetVisible(c.visible);
        parent->SetGroup(c.group);
        parent->GetSettings().offset.colour.w = c.alpha;
        parent->Update(0);
        parent->ApplyParent(&scene_, &scene_, 1, 0);
        fake_->ClearLog();
        EXPECT_EQ(parent->Draw(nullptr), 1u);
        EXPECT_EQ(Quads().size(), c.draws);
    }
}

TEST_F(SceneDrawTest, OnlyATurnedLayerUsesTheRotatedSprite)
{
    for (const f32 degrees : {0.0f, 30.0f, -0.5f}) {
        SCOPED_TRACE(degrees);
        CResourceList list;
        CSceneObject* layer = AddLayer(&list, "Cursor");
        layer->SetRotation(degrees);
        layer->SetScale(2, 0.5f);
        layer->GetSettings().pivot = kLayerCentre | kLayerMiddle;
        layer->GetSettings().orientation = kOrientMirrorX;
        layer->SetColorARGB(0x80FF4020u);
        layer->Update(0);
        layer->ApplyParent(&scene_, &scene_, 1, 0);
        fake_->ClearLog();
        layer->Draw(nullptr);
        const std::vector<Quad> drawn = Quads();
        ASSERT_EQ(drawn.size(), 1u);

        const CRect4 source = Rect(64, 32, 96, 48);
        const Quad plain = Reference([&] {
            texture_.DrawSprite(40, 30, 0, &source, 2, 0.5f, 0x80FF4020u, kOrientMirrorX, 0, 0, 34);
        });
        const Quad turned = Reference([&] {
            texture_.DrawSpriteRotated(40, 30, 0, &source, degrees, 2, 0.5f, 0x80FF4020u, kOrientMirrorX, 34);
        });
        EXPECT_TRUE(SameQuad(drawn[0], degrees == 0.0f ? plain : turned));
        EXPECT_EQ(SameQuad(drawn[0], plain), degrees == 0.0f);
    }
}

TEST_F(SceneDrawTest, ADrawStateMovesScalesAndTintsAtDrawTime)
{
    CResourceList list;
    CSceneObject* layer = AddLayer(&list, "Digit");
    scene_.scaleX = scene_.scaleY = 2;
    layer->SetRotation(10);
    layer->Update(0);
    layer->ApplyParent(&scene_, &scene_, 1, 0);
    CLayerState extra;
    extra.position = CVector3(5, 6, 0.25f);
    extra.scaleX = 0.5f;
    extra.rotation = 20;
    extra.colour = CVector4(1, 1, 0, 0.5f);
    fake_->ClearLog();
    layer->Draw(&extra);
    const std::vector<Quad> drawn = Quads();
    ASSERT_EQ(drawn.size(), 1u);
    // The offset counts in design units, scaled as the layer is; the turns
    // add up.
    const CRect4 source = Rect(64, 32, 96, 48);
    const Quad want = Reference(
        [&] { texture_.DrawSpriteRotated(90, 72, 0.25f, &source, 30, 1, 2, 0x7FFFFF00u, 0, 0); });
    EXPECT_TRUE(SameQuad(drawn[0], want));
}

TEST_F(SceneDrawTest, ScenesPlaceFadeAndPickTheirTopLevelLayers)
{
    using namespace scene_test;
    auto* scene = new CSceneResource();
    EXPECT_EQ(scene->Draw(0), 0);
    EXPECT_EQ(scene->DrawLayerByIndex(0, nullptr), 0u);

    Settings a;
    a.x = 10, a.y = 20, a.right = 32, a.bottom = 16;
    Settings c = a;
    c.x = 1;
    const std::string bytes = SceneFile("Menu", {LayerRecord("A", a, "Menu.dds", EmptyTracks(),
                                                             {LayerRecord("C", c, "Menu.dds", EmptyTracks())}),
                                                 LayerRecord("B", a, "Menu.dds", EmptyTracks())});
    std::unique_ptr<CMemStream> stream(CreateMemStream(bytes.data(), u32(bytes.size())));
    ASSERT_EQ(scene->LoadFromMemory(stream.get()), 1u);
    CResourceList textures(0, 0);   // not owning the fixture's texture
    void* element = static_cast<CValueBase*>(&texture_);
    textures.Add(&element);
    scene->BindTextures(&textures);
    scene->SetScale(2, 2);
    scene->GetSceneState().colour.w = 0.5f;
    ASSERT_EQ(scene->Initialize(0), 1);

    fake_->ClearLog();
    ASSERT_EQ(scene->Draw(0), 1);
    const std::vector<Quad> all = Quads();
    ASSERT_EQ(all.size(), 3u);
    // The child in the parent's frame: (1, 20) doubled from (20, 40).
    EXPECT_EQ((std::vector<f32>{all[0].v[0].x, all[0].v[0].y, all[0].v[2].x, all[1].v[0].x, all[1].v[0].y}),
              (std::vector<f32>{20, 40, 20 + 64, 22, 80}));
    EXPECT_EQ(std::pair(all[0].v[0].colour, all[1].v[0].colour), std::pair(0x7FFFFFFFu, 0x7FFFFFFFu));

    // Only top-level layers are drawn by name; FindLayer looks deeper.
    EXPECT_EQ(scene->DrawLayerByName("C", nullptr), 0u);
    EXPECT_NE(scene->FindLayer("C"), nullptr);
    fake_->ClearLog();
    EXPECT_EQ(scene->DrawLayerByName("B", nullptr), 1u);
    EXPECT_EQ(scene->DrawLayerByIndex(1, nullptr), 1u);
    EXPECT_EQ(Quads().size(), 2u);
    EXPECT_EQ(scene->DrawLayerByIndex(2, nullptr), 0u);

    // A copy draws the same and outlives its source.
    auto* copy = new CSceneResource(*scene);
    delete scene;
    fake_->ClearLog();
    ASSERT_EQ(copy->Draw(0), 1);
    const std::vector<Quad> copied = Quads();
    ASSERT_EQ(copied.size(), all.size());
    for (size_t i = 0; i < all.size(); ++i) EXPECT_TRUE(SameQuad(copied[i], all[i])) << i;
    EXPECT_EQ(copy->GetLayer(0)->GetOwnerList(), copy->GetLayers());
    delete copy;
}

}  // namespace ORV_TEST_FILE_ID

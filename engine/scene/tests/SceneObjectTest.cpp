// Scene layers without a device: track evaluation into the screen state,
// placement in the parent's and the scene's frame, the adjustments scenes
// make afterwards, look-ups and copies.
#include "engine/graphics/PSDReader.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "engine/scene/tests/SceneTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

using scene_test::Rect;

void ExpectRect(const CRect4& r, f32 left, f32 top, f32 right, f32 bottom)
{
    EXPECT_EQ((std::vector<f32>{r.left, r.top, r.right, r.bottom}), (std::vector<f32>{left, top, right, bottom}));
}

// x, y, z, scale x and y, rotation, colour r g b a.
void ExpectState(const CLayerState& s, std::vector<f32> want)
{
    const f32 got[] = {s.position.x, s.position.y, s.position.z, s.scaleX, s.scaleY, s.rotation,
                       s.colour.x, s.colour.y, s.colour.z, s.colour.w};
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-4f) << "field " << i;
}

// A layer appended to list (which owns it).
CSceneObject* Add(CResourceList* list, const char* name)
{
    auto* layer = new CSceneObject(name, list);
    EXPECT_EQ(AppendLayer(list, layer), 1u);
    return layer;
}

CSegment Curve(f32 cx, f32 cy, f32 px, f32 py) { return CSegment(CVector3(cx, cy, 0), CVector3(px, py, 0)); }

}  // namespace

TEST(SceneObject, UpdateCombinesTheTracksWithTheOffsets)
{
    CSceneObject layer("Button", nullptr);
    // The curve bends toward the first key's control point (4, 0).
    ASSERT_EQ(layer.GetPositionTrack().AddKey(0.0f, Curve(4, 0, 0, 0)), 1u);
    ASSERT_EQ(layer.GetPositionTrack().AddKey(2.0f, Curve(0, 0, 10, 20)), 1u);
    ASSERT_EQ(layer.GetScalingTrack().AddKey(0.0f, CVector3(2, 3, 1)), 1u);
    ASSERT_EQ(layer.GetScalingTrack().AddKey(0.5f, CVector3(5, 5, 1)), 1u);
    ASSERT_EQ(layer.GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 10)), 1u);
    ASSERT_EQ(layer.GetColourTrack().AddKey(0.0f, CVector4(0.5f, 1, 1, 0.5f)), 1u);
    ASSERT_EQ(layer.GetRectTrack().AddKey(0.0f, Rect(1, 2, 3, 4)), 1u);
    LayerSettings& s = layer.GetSettings();
    s.offset.position = CVector3(100, 50, 7);
    s.offset.scaleX = 2;
    s.offset.rotation = 5;
    s.offset.colour = CVector4(1, 0.5f, 1, 1);
    s.offset.rect = Rect(10, 10, 10, 10);
    s.time = 1.0f;
    ASSERT_EQ(layer.Update(0), 1u);

    // f = 0.5: 2 f (1 - f) control + f^2 point; the scaling track steps,
    // the later key counting only from its time.
    ExpectState(layer.GetAnimatedState(), {4.5f, 5, 0, 5});
    ExpectState(layer.GetScreenState(), {104.5f, 55, 7, 10, 5, 15, 0.5f, 0.5f, 1, 0.5f});
    ExpectRect(layer.GetScreenState().rect, 11, 12, 13, 14);
}

TEST(SceneObject, AZeroEasedFractionKeepsTheEarlierPoint)
{
    CSceneObject layer;
    // Ease 2 at the middle of the segment: (1 - 2) 0.5 + 2 0.25 = 0.
    ASSERT_EQ(layer.GetPositionTrack().AddKey(0.0f, Curve(9, 9, 3, 4), 2.0f), 1u);
    ASSERT_EQ(layer.GetPositionTrack().AddKey(2.0f, Curve(0, 0, 50, 60)), 1u);
    layer.SetTime(1.0f);
    layer.Update(0);
    ExpectState(layer.GetAnimatedState(), {3, 4});
}

TEST(SceneObject, AnInterpolatedRectTakesTheLaterCentreAndBlendsItsSize)
{
    for (const u32 interpolate : {0u, 1u}) {
        SCOPED_TRACE(interpolate);
        CSceneObject layer;
        auto& rect = layer.GetRectTrack();
        rect.SetInterpolate(interpolate);
        ASSERT_EQ(rect.AddKey(0.0f, Rect(0, 0, 10, 10)), 1u);
        ASSERT_EQ(rect.AddKey(2.0f, Rect(100, 100, 130, 120)), 1u);
        layer.SetTime(1.0f);
        layer.Update(0);
        // Centre (115, 110); half extents 5 -> 15 and 5 -> 10 half way.
        if (interpolate) ExpectRect(layer.GetScreenState().rect, 105, 102.5f, 125, 117.5f);
        else ExpectRect(layer.GetScreenState().rect, 0, 0, 10, 10);
    }
}

TEST(SceneObject, TheEvaluationModeDecidesPastTheLastKey)
{
    const struct {
        u32 mode;
        f32 rotation;
        f32 time;
    } cases[] = {{0, 10, 4}, {1, 20, 4}, {2, 30, 4}, {7, 10, 4}, {0, 30, 3}, {1, 30, 3}, {2, 30, 3}, {1, 10, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << " at " << c.time);
        CSceneObject layer;
        auto& rotation = layer.GetRotationTrack();
        rotation.AddKey(1.0f, CVector3(0, 0, 10));
        rotation.AddKey(3.0f, CVector3(0, 0, 30));
        rotation.SetLoop(1);
        layer.GetSettings().evaluationMode = c.mode;
        // 4 wraps to 1 from time 0, to 2 within the keys, holds at 3;
        // exactly on a key time every mode gives that key.
        layer.SetTime(c.time);
        layer.Update(0);
        EXPECT_FLOAT_EQ(layer.GetScreenState().rotation, c.rotation);
    }
}

// Keyless tracks read their defaults in place: a default changed between
// frames shows, and a key added later takes over from the next Update.
// Parents at +0 and -0 degrees place alike.
TEST(SceneObject, DefaultsAndLaterKeysBothReachTheScreen)
{
    CSceneObject layer("Plain", nullptr);
    layer.SetBaseRect(0, 4, 0, 2);
    layer.SetBasePosition(3, 0);
    ASSERT_EQ(layer.Update(0), 1u);
    ExpectState(layer.GetScreenState(), {3, 0, 0, 1, 1, 0, 1, 1, 1, 1});
    ExpectRect(layer.GetScreenState().rect, 0, 0, 4, 2);
    layer.SetBasePosition(6, 1);
    ASSERT_EQ(layer.GetColourTrack().AddKey(0.0f, CVector4(1, 1, 1, 0.25f)), 1u);
    ASSERT_EQ(layer.Update(0), 1u);
    ExpectState(layer.GetScreenState(), {6, 1, 0, 1, 1, 0, 1, 1, 1, 0.25f});

    for (const f32 degrees : {0.0f, -0.0f}) {
        CLayerState parent;
        parent.rotation = degrees;
        parent.position = CVector3(1, 1, 0);
        layer.SetBasePosition(-0.0f, 0.0f);
        layer.Update(0);
        ASSERT_EQ(layer.ApplyParent(&parent, nullptr, 1, 0), 1u);
        const CLayerState& s = layer.GetScreenState();
        EXPECT_EQ(s.position.x, 1.0f) << degrees;
        EXPECT_EQ(s.position.y, 1.0f) << degrees;
        EXPECT_FALSE(std::signbit(s.position.x)) << degrees;
    }
}

TEST(SceneObject, PlacementTurnsScalesAndTintsThroughTheParent)
{
    CLayerState scene;
    scene.position = CVector3(100, 0, 1);
    scene.scaleX = scene.scaleY = 0.5f;
    scene.rotation = 90;
    scene.colour = CVector4(1, 1, 1, 0.5f);
    CSceneObject top("Top", nullptr);
    top.SetOffset(10, 0);
    top.GetSettings().offset.rect = Rect(1, 2, 3, 4);
    CSceneObject* child = Add(top.GetChildren(), "Child");
    child->SetOffset(0, 8);
    top.Update(0);
    ASSERT_EQ(top.ApplyParent(&scene, &scene, 1, 0), 1u);

    // (10, 0) halved, turned a quarter, moved by the scene.
    ExpectState(top.GetScreenState(), {100, 5, 1, 0.5f, 0.5f, 90, 1, 1, 1, 0.5f});
    ExpectRect(top.GetScreenState().rect, 1, 2, 3, 4);
    // The child in its parent's frame: (0, 8) halved and turned, then
    // moved by the parent; the scene reaches it through the parent only.
    ExpectState(child->GetScreenState(), {96, 5, 1, 0.5f, 0.5f, 90, 1, 1, 1, 0.5f});

    const CLayerState before = top.GetScreenState();
    EXPECT_EQ(top.ApplyParent(nullptr, &scene, 1, 0), 0u);
    EXPECT_EQ(top.GetScreenState().position.x, before.position.x);
}

TEST(SceneObject, AnchorsTakeUpWhatTheFitLeavesOfTheScene)
{
    // A 1024 x 768 design scaled 1.25 across and 1.5 down: unscaled, 256
    // across and 384 down are left; uniform by the smaller scale, 192 down.
    const struct {
        u32 fit, keepAspect;
        u8 anchor;
        f32 x, y;
    } cases[] = {
        {1, 0, kLayerRight | kLayerBottom, 12.5f, 30.0f},   // scaled, anchors unused
        {0, 0, kLayerRight | kLayerBottom, 10.0f + 256.0f, 20.0f + 384.0f},
        {0, 0, kLayerCentre | kLayerMiddle, 10.0f + 128.0f, 20.0f + 192.0f},
        {1, 1, kLayerRight | kLayerBottom, 12.5f, 25.0f + 192.0f},
        {1, 1, kLayerCentre | kLayerMiddle, 12.5f, 25.0f + 96.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fit << c.keepAspect << int(c.anchor));
        CLayerState scene;
        scene.scaleX = 1.25f;
        scene.scaleY = 1.5f;
        scene.rect = Rect(0, 0, 1024, 768);
        CSceneObject layer;
        layer.SetOffset(10, 20);
        layer.GetSettings().anchor = c.anchor;
        layer.Update(0);
        layer.ApplyParent(&scene, &scene, c.fit, c.keepAspect);
        ExpectState(layer.GetScreenState(), {c.x, c.y});
    }
}

// A three-level tree: a turned, keyed group, a child with a curve and a
// colour fade, and a grandchild anchored at the bottom right.
std::unique_ptr<CSceneObject> KeyedTree(f32 time)
{
    auto top = std::make_unique<CSceneObject>("Top", nullptr);
    top->SetOffset(30, -12);
    top->GetSettings().time = time;
    EXPECT_EQ(top->GetRotationTrack().AddKey(0.0f, CVector3(0, 0, 0)), 1u);
    EXPECT_EQ(top->GetRotationTrack().AddKey(1.0f, CVector3(0, 0, 40)), 1u);
    EXPECT_EQ(top->GetScalingTrack().AddKey(0.0f, CVector3(1.5f, 0.75f, 1)), 1u);
    CSceneObject* child = Add(top->GetChildren(), "Child");
    child->GetSettings().time = time;
    EXPECT_EQ(child->GetPositionTrack().AddKey(0.0f, Curve(4, 0, 0, 0)), 1u);
    EXPECT_EQ(child->GetPositionTrack().AddKey(2.0f, Curve(0, 0, 10, 20)), 1u);
    EXPECT_EQ(child->GetColourTrack().AddKey(0.0f, CVector4(1, 1, 1, 1)), 1u);
    EXPECT_EQ(child->GetColourTrack().AddKey(1.0f, CVector4(0.5f, 1, 0.25f, 0)), 1u);
    EXPECT_EQ(child->GetRectTrack().AddKey(0.0f, Rect(0, 0, 8, 8)), 1u);
    CSceneObject* grandchild = Add(child->GetChildren(), "Grandchild");
    grandchild->SetOffset(-3, 7);
    grandchild->GetSettings().anchor = kLayerRight | kLayerBottom;
    Add(top->GetChildren(), "Plain")->SetOffset(1, 2);
    return top;
}

void ExpectSameStates(const CSceneObject& a, const CSceneObject& b)
{
    for (const auto& [x, y] : {std::pair{&a.GetAnimatedState(), &b.GetAnimatedState()},
             {&a.GetScreenState(), &b.GetScreenState()}, {&a.GetFitState(), &b.GetFitState()},
             {&a.GetSceneState(), &b.GetSceneState()}})
        EXPECT_EQ(std::memcmp(x, y, sizeof(CLayerState)), 0) << a.GetName();
    ASSERT_EQ(a.GetChildCount(), b.GetChildCount());
    for (u32 i = 0; i < a.GetChildCount(); ++i) ExpectSameStates(*a.GetChild(i), *b.GetChild(i));
}

TEST(SceneObject, OneWalkPlacesAsUpdateThenApplyParentDo)
{
    CLayerState scene;
    scene.position = CVector3(5, 6, 1);
    scene.scaleX = 1.25f;
    scene.scaleY = 1.5f;
    scene.rotation = 15;
    scene.colour = CVector4(1, 0.5f, 1, 0.75f);
    scene.rect = Rect(0, 0, 1024, 768);
    const struct {
        u32 fit, keepAspect;
        f32 time;
    } cases[] = {{1, 0, 0.25f}, {0, 0, 0.5f}, {1, 1, 1.5f}, {0, 1, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fit << c.keepAspect << c.time);
        auto twoWalks = KeyedTree(c.time), oneWalk = KeyedTree(c.time);
        // Two frames, the second at a later time: nothing of the first
        // frame's placement may reach the second's.
        for (int frame = 0; frame < 2; ++frame) {
            ASSERT_EQ(twoWalks->Update(0), 1u);
            ASSERT_EQ(twoWalks->ApplyParent(&scene, &scene, c.fit, c.keepAspect), 1u);
            ASSERT_EQ(oneWalk->UpdatePlaced(0, scene, &scene, c.fit, c.keepAspect), 1u);
            ExpectSameStates(*oneWalk, *twoWalks);
            twoWalks->GetSettings().time += 0.5f;
            oneWalk->GetSettings().time += 0.5f;
        }
        // Placed at all: the grandchild is not where its offset alone puts it.
        EXPECT_NE(oneWalk->GetChild(0)->GetChild(0)->GetScreenState().position.x, -3.0f);
    }
}

TEST(SceneObject, BlendToMovesTowardTheTargetButNotDepthOrRect)
{
    CLayerState target;
    target.position = CVector3(100, 200, 9);
    target.scaleX = 3;
    target.scaleY = 4;
    target.rotation = 90;
    target.colour = CVector4(0, 0.5f, 1, 1);
    target.rect = Rect(5, 5, 6, 6);
    for (const f32 e : {0.0f, 0.5f, -1.0f}) {
        SCOPED_TRACE(e);
        CSceneObject layer;
        layer.SetScale(1, 0);
        layer.GetSettings().offset.rect = Rect(1, 2, 3, 4);
        layer.Update(0);
        ASSERT_EQ(layer.BlendTo(&target, 1.0f, e), 1u);
        ExpectState(layer.GetScreenState(), {100, 200, 0, 3, 4, 90, 0, 0.5f, 1, 1});
        ExpectRect(layer.GetScreenState().rect, 1, 2, 3, 4);
    }
    // Half way; a zero scale grows from 0 by the fraction.
    CSceneObject layer;
    layer.SetScale(1, 0);
    layer.Update(0);
    layer.BlendTo(&target, 0.5f, 0.0f);
    ExpectState(layer.GetScreenState(), {50, 100, 0, 2, 2});
    EXPECT_EQ(layer.BlendTo(static_cast<const CLayerState*>(nullptr), 1.0f, 0.0f), 0u);
}

TEST(SceneObject, BoundingRectFollowsThePivot)
{
    // A 10 x 4 image scaled 2 at (100, 50): W = 20, H = 8.
    const struct {
        u8 pivot;
        f32 left, top, right, bottom;
    } cases[] = {
        {0, 100, 50, 120, 58},
        {kLayerLeft | kLayerTop, 100, 50, 120, 58},
        {kLayerCentre | kLayerMiddle, 90, 46, 110, 54},
        {kLayerRight | kLayerBottom, 80, 42, 100, 50},
        {kLayerCentre, 90, 50, 110, 50},   // no vertical flag: no height
        {kLayerBottom, 100, 42, 100, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.pivot));
        CSceneObject layer;
        layer.SetOffset(100, 50);
        layer.SetScale(2, 2);
        layer.GetSettings().offset.rect = Rect(0, 0, 10, 4);
        layer.GetSettings().pivot = c.pivot;
        layer.Update(0);
        ExpectRect(layer.GetBoundingRect(), c.left, c.top, c.right, c.bottom);
    }
}

TEST(SceneObject, GroupsUniteTheirImagesAndTurnThemAboutTheirCentre)
{
    CSceneObject group("Group", nullptr);
    group.SetGroup(1);
    group.SetOffset(500, 500);
    for (const auto& [name, x, y] : {std::tuple{"A", 0.0f, 0.0f}, std::tuple{"B", 30.0f, 10.0f}}) {
        CSceneObject* child = Add(group.GetChildren(), name);
        child->SetOffset(x, y);
        child->GetSettings().offset.rect = Rect(0, 0, 10, 10);
    }
    // A nested group is skipped, whatever it holds.
    CSceneObject* nested = Add(group.GetChildren(), "Nested");
    nested->SetGroup(1);
    Add(nested->GetChildren(), "Far")->SetOffset(-900, -900);
    group.Update(0);

    ExpectRect(group.GetBoundingRect(), 0, 0, 40, 20);
    f32 cx = 0, cy = 0;
    group.GetCenter(&cx, &cy);
    EXPECT_EQ(std::pair(cx, cy), std::pair(20.0f, 10.0f));

    ASSERT_EQ(group.RotateChildren(90), 1u);
    const CSceneObject* b = group.GetChild(1);
    // (30, 10) about (20, 10) a quarter turn: (20, 20).
    ExpectState(b->GetScreenState(), {20, 20, 0, 1, 1, 90});
    EXPECT_EQ(b->GetSettings().pivot, kLayerLeft | kLayerTop);
    EXPECT_EQ(group.GetChild(0)->RotateChildren(90), 0u);
}

TEST(SceneObject, FindLayerPrefersDeeperMatches)
{
    CSceneObject root("Root", nullptr);
    CSceneObject* first = Add(root.GetChildren(), "First");
    CSceneObject* deep = Add(first->GetChildren(), "A");
    Add(root.GetChildren(), "A");
    Add(root.GetChildren(), nullptr);
    EXPECT_EQ(root.FindLayer("A"), deep);
    EXPECT_EQ(root.FindLayer("First"), first);
    EXPECT_EQ(root.FindLayer("a"), nullptr);
    EXPECT_EQ(root.FindLayer(nullptr), nullptr);
}

TEST(SceneObject, RectangleSettersHoldAfterTheNextUpdate)
{
    CSceneObject layer;
    ASSERT_EQ(layer.GetRectTrack().AddKey(0.0f, Rect(10, 20, 40, 60)), 1u);
    layer.Update(0);

    const CRect4 target = Rect(100, 200, 150, 230);
    layer.MoveToRect(&target);
    layer.Update(0);
    ExpectRect(layer.GetScreenState().rect, 100, 200, 150, 230);

    layer.SetRectSize(5, 7);
    layer.Update(0);
    ExpectRect(layer.GetScreenState().rect, 100, 200, 105, 207);
    layer.SetRectOrigin(50, 30);
    layer.Update(0);
    ExpectRect(layer.GetScreenState().rect, 100, 200, 150, 230);

    const CRect4 digit = Rect(1, 1, 2, 2);
    layer.SetSourceRect(&digit);
    layer.SetSourceRect(nullptr);
    ExpectRect(layer.GetScreenState().rect, 1, 1, 2, 2);
    layer.Update(0);
    ExpectRect(layer.GetScreenState().rect, 100, 200, 150, 230);
}

TEST(SceneObject, BaseSizeKeepsScaleOneWhereTheRectHasNoExtent)
{
    CSceneObject layer;
    layer.SetBaseRect(10, 10, 0, 4);   // left, right, top, bottom
    layer.SetBaseSize(40, 8);
    EXPECT_EQ(std::pair(layer.GetScalingTrack().GetDefaultValue()->x, layer.GetScalingTrack().GetDefaultValue()->y),
              std::pair(1.0f, 2.0f));
}

TEST(SceneObject, LayersTakeTheListedTextureOfTheirImagesFileName)
{
    CTexture menu, other;
    menu.SetName("Texture\\Menu.dds");
    other.SetName("Data\\Other.dds");
    CResourceList textures(0, 0);   // not owning the textures
    for (CTexture* t : {&other, &menu}) {
        void* element = static_cast<CValueBase*>(t);
        textures.Add(&element);
    }

    CSceneObject root("Root", nullptr);
    CSceneObject* child = Add(root.GetChildren(), "Child");
    CSceneObject* lost = Add(child->GetChildren(), "Lost");
    root.SetTextureRecursive(&other);
    // Only the file name counts: the folders differ.
    CTexture named;
    named.SetName("Data\\Menu.dds");
    child->SetTextureRecursive(&named);
    lost->SetTextureRecursive(&named);
    lost->SetTextureRecursive(nullptr);
    EXPECT_EQ(lost->GetTextureName(), nullptr);

    root.BindTexture(&textures);
    EXPECT_EQ(root.GetTexture(), &other);
    EXPECT_EQ(child->GetTexture(), &menu);
    EXPECT_EQ(lost->GetTexture(), nullptr);

    // A list without the image unbinds it; the name stays for the next list.
    CResourceList empty(0, 0);
    root.BindTexture(&empty);
    EXPECT_EQ(child->GetTexture(), nullptr);
    EXPECT_STREQ(child->GetTextureName(), "Data\\Menu.dds");
    root.BindTexture(nullptr);
    EXPECT_EQ(root.GetTexture(), nullptr);
}

namespace {

// A layer that remembers the argument of its last Update.
class Recording : public CSceneObject {
public:
    using CSceneObject::CSceneObject;
    u32 Update(u32 argument) override
    {
        last = argument;
        return CSceneObject::Update(argument);
    }
    u32 last = 0xFFFFFFFF;
};

// A scene whose own Update refuses: Initialize must not go through it.
class Refusing : public CSceneResource {
public:
    i32 Update(u32) override { return 0; }
};

}  // namespace

TEST(SceneResource, InitializeRunsTheBaseUpdateWithItsArgument)
{
    Refusing scene;
    EXPECT_EQ(scene.Initialize(7), 0);   // no layers yet
    ASSERT_EQ(scene.BuildFromPsd(nullptr, nullptr, nullptr), 0u);
    CPSDReader none;
    ASSERT_EQ(scene.BuildFromPsd(&none, &none, nullptr), 1u);
    auto* layer = new Recording("A", scene.GetLayers());
    ASSERT_EQ(AppendLayer(scene.GetLayers(), layer), 1u);
    layer->SetOffset(5, 6);
    scene.SetScale(2, 2);
    EXPECT_EQ(scene.Initialize(7), 1);
    EXPECT_EQ(layer->last, 7u);
    // Updated and placed by the scene.
    ExpectState(layer->GetScreenState(), {10, 12});
}

namespace {

// The keyed tree, its scene state and fit flags: one side of a frame.
struct Walked {
    std::unique_ptr<CSceneObject> top = KeyedTree(0.25f);
    CLayerState scene;
    u32 fit = 1, keepAspect = 0;

    Walked()
    {
        scene.position = CVector3(5, 6, 1);
        scene.scaleX = 1.25f;
        scene.scaleY = 1.5f;
        scene.rect = Rect(0, 0, 1024, 768);
        // A group of a hidden template layer, whose placed state is read all
        // the same, and a layer beside it.
        CSceneObject* digits = Add(top->GetChildren(), "Digits");
        digits->SetGroup(1);
        digits->SetOffset(100, 50);
        CSceneObject* digit = Add(digits->GetChildren(), "Digit");
        digit->SetOffset(2, 3);
        digit->SetBaseRect(0, 8, 0, 8);
        Add(digits->GetChildren(), "Beside")->SetOffset(12, 3);
    }
    // Layers by path: "" is the top, "0" its first child, "00" that one's.
    CSceneObject* At(const char* path) const
    {
        CSceneObject* layer = top.get();
        for (const char* c = path; *c; ++c) layer = layer->GetChild(u32(*c - '0'));
        return layer;
    }
};

using Change = void (*)(Walked&, CSceneObject&);

}  // namespace

TEST(SceneObject, AChangedLayerIsPlacedAnewAndAnUnchangedOneKeepsItsPlacement)
{
    const struct {
        const char* what;
        const char* layer;
        Change change;
        bool forgets;   // the layer no longer holds its placement
        bool moves;     // and a new one puts it elsewhere
    } cases[] = {
        {"offset", "00", [](Walked&, CSceneObject& l) { l.SetOffset(-3, 9); }, true, true},
        {"same offset", "00", [](Walked&, CSceneObject& l) { l.SetOffset(-3, 7); }, false, false},
        {"rotation", "1", [](Walked&, CSceneObject& l) { l.SetRotation(30); }, true, true},
        {"scale", "0", [](Walked&, CSceneObject& l) { l.SetScale(2, 1); }, true, true},
        {"same scale", "0", [](Walked&, CSceneObject& l) { l.SetScale(1, 1); }, false, false},
        {"colour", "1", [](Walked&, CSceneObject& l) { l.SetColorARGB(0x80FF0000u); }, true, true},
        {"time", "0", [](Walked&, CSceneObject& l) { l.SetTime(1.0f); }, true, true},
        {"same time", "0", [](Walked&, CSceneObject& l) { l.SetTime(0.25f); }, false, false},
        {"time of -0", "1", [](Walked&, CSceneObject& l) { l.SetTime(-0.0f); }, true, false},
        {"visibility", "20", [](Walked&, CSceneObject& l) { l.SetVisible(1); }, false, false},
        {"rect moved", "20",
         [](Walked&, CSceneObject& l) {
             const CRect4 r = Rect(8, 0, 16, 8);
             l.MoveToRect(&r);
         },
         true, true},
        {"rect resized", "0", [](Walked&, CSceneObject& l) { l.SetRectSize(20, 4); }, true, true},
        {"base position", "20", [](Walked&, CSceneObject& l) { l.SetBasePosition(4, 4); }, true, true},
        {"base rect", "20", [](Walked&, CSceneObject& l) { l.SetBaseRect(0, 9, 0, 9); }, true, true},
        {"base size", "20", [](Walked&, CSceneObject& l) { l.SetBaseSize(16, 4); }, true, true},
        {"settings field", "00", [](Walked&, CSceneObject& l) { l.GetSettings().offset.position.y = 50; }, true, true},
        {"anchor", "20", [](Walked& w, CSceneObject& l) { w.fit = 0, l.GetSettings().anchor = kLayerRight; }, true, true},
        {"settings read only", "00",
         [](Walked&, CSceneObject& l) { EXPECT_EQ(std::as_const(l).GetSettings().pivot, 0u); }, false, false},
        {"key added", "1",
         [](Walked&, CSceneObject& l) { ASSERT_EQ(l.GetPositionTrack().AddKey(0.0f, Curve(0, 0, 6, 6)), 1u); }, true,
         true},
        {"key changed", "0",
         [](Walked&, CSceneObject& l) { l.GetColourTrack().GetAt(0)->value = CVector4(0, 0, 0, 1); }, true, true},
        // Written after the placement: the next frame's puts it back.
        {"screen field", "1", [](Walked&, CSceneObject& l) { l.GetScreenState().position.x = 500; }, true, false},
        {"source rect", "0",
         [](Walked&, CSceneObject& l) {
             const CRect4 r = Rect(1, 1, 2, 2);
             l.SetSourceRect(&r);
         },
         true, false},
        {"blended", "0",
         [](Walked& w, CSceneObject& l) { ASSERT_EQ(l.BlendTo(&w.scene, 0.5f, 0.0f), 1u); }, true, false},
        {"turned by its group", "20", [](Walked& w, CSceneObject&) { w.At("2")->RotateChildren(45); }, true, false},
        {"two walks", "00", [](Walked&, CSceneObject& l) { l.Update(0); }, true, false},
        {"placed alone", "00",
         [](Walked&, CSceneObject& l) {
             const CLayerState elsewhere;
             l.UpdatePlaced(0, elsewhere, nullptr, 1, 0);
         },
         false, false},
        // Layers added below one that holds its placement.
        {"child added", "21", [](Walked&, CSceneObject& l) { Add(l.GetChildren(), "New")->SetOffset(5, 5); }, false,
         false},
        {"copy beside", "20",
         [](Walked&, CSceneObject& l) { (new CSceneObject(l, l.GetOwnerList()))->SetOffset(-4, 0); }, false, false},
        // What the layer is placed in.
        {"parent moved", "00", [](Walked& w, CSceneObject&) { w.At("0")->SetOffset(40, 40); }, false, true},
        {"grandparent turned", "00", [](Walked& w, CSceneObject&) { w.At("")->SetRotation(90); }, false, true},
        {"hidden, parent moved", "20", [](Walked& w, CSceneObject&) { w.At("2")->SetOffset(7, 7); }, false, true},
        {"scene moved", "00", [](Walked& w, CSceneObject&) { w.scene.position.x += 64; }, false, true},
        {"scene scaled", "20", [](Walked& w, CSceneObject&) { w.scene.scaleY = 2; }, false, true},
        {"fit off", "00", [](Walked& w, CSceneObject&) { w.fit = 0; }, false, true},
        {"aspect kept", "20", [](Walked& w, CSceneObject&) { w.keepAspect = 1; }, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // kept: one walk a frame, which keeps placements; fresh: the two
        // walks, which place every layer every frame.
        Walked kept, fresh;
        auto frame = [&] {
            ASSERT_EQ(kept.top->UpdatePlaced(0, kept.scene, &kept.scene, kept.fit, kept.keepAspect), 1u);
            ASSERT_EQ(fresh.top->Update(0), 1u);
            ASSERT_EQ(fresh.top->ApplyParent(&fresh.scene, &fresh.scene, fresh.fit, fresh.keepAspect), 1u);
            ExpectSameStates(*kept.top, *fresh.top);
        };
        frame();
        frame();
        CSceneObject* layer = kept.At(c.layer);
        ASSERT_TRUE(layer->HoldsPlacement());
        const CLayerState before = std::as_const(*layer).GetScreenState();
        c.change(kept, *layer);
        c.change(fresh, *fresh.At(c.layer));
        EXPECT_EQ(layer->HoldsPlacement(), !c.forgets);
        frame();
        EXPECT_TRUE(layer->HoldsPlacement());
        EXPECT_EQ(std::memcmp(&before, &std::as_const(*layer).GetScreenState(), sizeof before) != 0, c.moves);
        // And the frame after, when nothing changed.
        frame();
    }
}

namespace {

// A layer of a derived class that moves itself every Update.
class Ticking : public CSceneObject {
public:
    using CSceneObject::CSceneObject;
    u32 Update(u32 argument) override
    {
        ++updates;
        SetOffset(f32(10 * updates), 0);
        return CSceneObject::Update(argument);
    }
    u32 updates = 0;
};

}  // namespace

// A layer that changes every frame, under a parent that does not, is walked
// and placed every frame: its group holds no placement, wherever among its
// siblings and however deep it stands.
TEST(SceneObject, AChangingLayerBelowAnUnchangedParentIsPlacedEveryFrame)
{
    const struct {
        const char* what;
        u32 at;      // index among three siblings
        bool deep;   // under a plain group of its own
    } cases[] = {{"first", 0, false}, {"middle", 1, false}, {"last", 2, false}, {"first, deeper", 0, true},
                 {"last, deeper", 2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CLayerState scene;
        scene.rect = Rect(0, 0, 640, 480);
        auto top = std::make_unique<CSceneObject>("Top", nullptr);
        top->SetOffset(100, 0);
        Ticking* ticking = nullptr;
        for (u32 i = 0; i < 3; ++i) {
            CResourceList* list = top->GetChildren();
            if (i == c.at && c.deep) list = Add(list, "Group")->GetChildren();
            if (i == c.at) {
                ticking = new Ticking("Ticking", list);
                ASSERT_EQ(AppendLayer(list, ticking), 1u);
            } else {
                Add(list, "Still")->SetOffset(f32(i), 5);
            }
        }
        for (u32 frame = 1; frame <= 3; ++frame) {
            ASSERT_EQ(top->UpdatePlaced(0, scene, &scene, 1, 0), 1u);
            EXPECT_EQ(ticking->updates, frame);
            EXPECT_FLOAT_EQ(std::as_const(*ticking).GetScreenState().position.x, 100.0f + 10.0f * f32(frame));
        }
    }
}

TEST(SceneObject, APlacementIsNotKeptAcrossParentsOrTheTwoWalks)
{
    Walked w;
    CSceneObject* child = w.At("0");
    ASSERT_EQ(w.top->UpdatePlaced(0, w.scene, &w.scene, 1, 0), 1u);
    ASSERT_TRUE(child->HoldsPlacement());
    const CLayerState placed = std::as_const(*child).GetScreenState();

    // The same values at another address: the child is placed in it anew.
    CLayerState copy = std::as_const(*w.top).GetScreenState();
    child->UpdatePlaced(0, copy, &w.scene, 1, 0);
    EXPECT_EQ(std::memcmp(&placed, &std::as_const(*child).GetScreenState(), sizeof placed), 0);
    // Another parent state: placed there, not kept from the first.
    copy.position.x += 100;
    child->UpdatePlaced(0, copy, &w.scene, 1, 0);
    EXPECT_FLOAT_EQ(std::as_const(*child).GetScreenState().position.x, placed.position.x + 100);
    // The two walks leave no placement to keep: Update alone leaves the
    // screen state unplaced.
    child->Update(0);
    EXPECT_FALSE(child->HoldsPlacement());
    child->UpdatePlaced(0, copy, &w.scene, 1, 0);
    EXPECT_TRUE(child->HoldsPlacement());
    child->ApplyParent(&copy, &w.scene, 1, 0);
    EXPECT_FALSE(child->HoldsPlacement());
    // A layer read from a record, or a copy, starts with none.
    const CSceneObject copied(*w.top);
    EXPECT_FALSE(copied.HoldsPlacement());
    EXPECT_FALSE(copied.GetChild(0)->HoldsPlacement());
}

// A layer taken from its group into another list leaves the group's walk:
// the group may be deleted before the layer changes or goes, and the layer
// is placed where its new list puts it.
TEST(SceneObject, ALayerGivenToAnotherListOutlivesItsOldGroup)
{
    Walked w;
    ASSERT_EQ(w.top->UpdatePlaced(0, w.scene, &w.scene, w.fit, w.keepAspect), 1u);
    CSceneObject* digit = w.At("20");
    CResourceList* group = w.At("2")->GetChildren();
    group->SetOwns(0);
    ASSERT_GE(group->RemoveAt(0), 0);
    group->SetOwns(1);
    CResourceList* top = w.top->GetChildren();
    ASSERT_EQ(AppendLayer(top, digit), 1u);
    digit->SetOwnerList(top);
    ASSERT_GE(top->RemoveAt(2), 0);   // the old group, deleted with its entry
    ASSERT_EQ(w.At("2"), digit);
    digit->SetOffset(7, 9);
    w.At("1")->SetOffset(7, 9);
    ASSERT_EQ(w.top->UpdatePlaced(0, w.scene, &w.scene, w.fit, w.keepAspect), 1u);
    const CVector3& at = std::as_const(*digit).GetScreenState().position;
    const CVector3& beside = std::as_const(*w.At("1")).GetScreenState().position;
    EXPECT_EQ(std::vector<f32>({at.x, at.y}), std::vector<f32>({beside.x, beside.y}));
}

}  // namespace ORV_TEST_FILE_ID

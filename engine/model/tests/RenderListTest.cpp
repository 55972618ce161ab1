// The render list on the fake device: culling by view depth, the draw order
// (marks, priorities, depths, ties), and the filter around the pass.
#include "engine/model/RenderList.h"

#include "engine/core/ObjectBase.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/Filter.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DrawTestSupport.h"

#include <cmath>
#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

namespace {

namespace render = host::render;

struct Drawn { std::string name; u32 argument, zWrite; render::Surface* target; };

// An object that notes when and how it is drawn.
class Probe : public CObjectBase {
    ORV_VALUE_CLASS(Probe)

public:
    Probe() = default;
    Probe(const char* name, f32 z, f32 radius = 0.0f, u32 sorted = 0, i32 priority = 0) : CObjectBase(name)
    {
        m_position.Set(0.0f, 0.0f, z);
        m_sphereRadius = radius;
        m_depthSorted = sorted;
        m_drawPriority = priority;
    }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32 argument) override
    {
        const CGraphicDevice* device = GetGraphicDevice();
        if (log) log->push_back({GetName(), argument, device->GetRenderStates()->zWriteEnable, device->GetColorTarget()});
        return 1;
    }
    static inline std::vector<Drawn>* log = nullptr;
};

class RenderLists : public draw_test::DrawTest {
protected:
    void SetUp() override { DrawTest::SetUp(), Probe::log = &drawn_; }
    void TearDown() override { Probe::log = nullptr, DrawTest::TearDown(); }

    // Looks from (0, 0, -10) at the origin: view z = world z + 10.
    void ApplyCamera()
    {
        const CVector3 eye(0, 0, -10), target(0, 0, 0), up(0, 1, 0);
        camera_.SetLookAt(&eye, &target, &up);
        camera_.SetPerspective(60.0f, 1.0f, 1.0f, 1000.0f);
        camera_.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(camera_.Apply(), 1);
    }

    std::vector<std::string> DrawnNames() const
    {
        std::vector<std::string> out;
        for (const Drawn& d : drawn_) out.push_back(d.name);
        return out;
    }

    std::vector<Drawn> drawn_;
    CCamera camera_;
};

TEST_F(RenderLists, AddCullsObjectsWhollyBehindTheCameraOrBeyondTheFarDistance)
{
    ApplyCamera();
    const struct { f32 z, radius; bool added; } cases[] = {
        {190.0f, 0.0f, true},      // z - r = 200 exactly
        {190.001f, 0.0f, false},   // just beyond
        {-11.0f, 1.0f, true},      // touches the camera plane from behind
        {-11.0f, 0.999f, false},
        {std::nanf(""), 0.0f, true},   // no number passes both tests
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.z);
        CRenderList list("list", 4, &device_);
        Probe probe("p", c.z, c.radius);
        probe.GetPosition()->Set(3.0f, 4.0f, c.z);
        EXPECT_EQ(list.Add(&probe, 9), 1);
        EXPECT_EQ(list.GetUsedCount(), c.added ? 1u : 0u);
        EXPECT_EQ(probe.GetDrawArgument(), c.added ? 9u : 0u);
        // The view-space position is written whether or not it is added.
        const CVector3* centre = probe.GetBoundingCenter();
        EXPECT_TRUE(std::isnan(c.z) ? std::isnan(centre->z)
                                    : centre->x == 3.0f && centre->y == 4.0f && centre->z == c.z + 10.0f);
    }
}

TEST_F(RenderLists, AFullListTurnsObjectsAwayAndStillAnswersOne)
{
    CRenderList list("list", 2048, &device_);
    std::vector<Probe> probes(2049);
    for (Probe& p : probes) EXPECT_EQ(list.Add(&p, 7), 1);
    EXPECT_EQ(list.GetUsedCount(), 2048u);
    EXPECT_EQ(probes[2047].GetDrawArgument(), 7u);
    EXPECT_EQ(probes[2048].GetDrawArgument(), 0u);

    // No slots at all: everything is turned away.
    CRenderList none;
    EXPECT_EQ(none.Add(&probes[0], 1), 1);
    EXPECT_EQ(none.GetUsedCount(), 0u);
    EXPECT_EQ(none.Add(nullptr, 1), 1);
}

TEST_F(RenderLists, WithoutACameraObjectsAreJudgedUnderTheIdentityView)
{
    ASSERT_EQ(device_.GetCurrentCamera(), nullptr);
    Probe front("front", 5.0f), behind("behind", -1.0f);
    // A list without a device judges the same way.
    CRenderList attached("list", 4, &device_), detached("detached", 4, nullptr);
    for (CRenderList* list : {&attached, &detached}) {
        EXPECT_EQ(list->Add(&front, 0) + list->Add(&behind, 0), 2);
        EXPECT_EQ(list->GetUsedCount(), 1u);
        EXPECT_EQ(front.GetBoundingCenter()->z, 5.0f);
    }
}

TEST(RenderListCompare, IsAConsistentOrder)
{
    // key = view z + radius; Add writes the view z, set here directly.
    auto make = [](const char* name, u32 sorted, i32 priority, f32 z, f32 radius = 0.0f) {
        Probe p(name, 0.0f, radius, sorted, priority);
        p.GetBoundingCenter()->z = z;
        return p;
    };
    std::vector<Probe> set = {make("u1", 0, 9, 1), make("u2", 0, 0, 99), make("far", 1, 0, 50), make("near", 1, 0, 10),
        make("wide", 1, 0, 10, 45), make("same", 1, 0, 50), make("high", 1, 5, 1), make("nan", 1, 0, std::nanf(""))};
    auto sign = [](const Probe& a, const Probe& b) {
        const void *pa = &a, *pb = &b;
        const i32 r = CRenderList::Compare(&pa, &pb);
        return (r > 0) - (r < 0);
    };
    // Which way each rule orders is seen in the draw order below; here that
    // the order is one a sort can rely on: antisymmetric and transitive.
    for (const Probe& a : set) {
        for (const Probe& b : set) {
            EXPECT_EQ(sign(a, b), -sign(b, a)) << a.GetName() << " " << b.GetName();
            for (const Probe& c : set) {
                if (sign(a, b) != sign(b, c)) continue;
                EXPECT_EQ(sign(a, c), sign(a, b)) << a.GetName() << " " << b.GetName() << " " << c.GetName();
            }
        }
    }
}

TEST_F(RenderLists, DrawsMarkedObjectsByPriorityThenFarToNearTiesInAddOrder)
{
    ApplyCamera();
    CRenderList list("list", 16, &device_);
    // View depths: world z + 10.
    Probe a("a", 0.0f), d("d", 5.0f);                                   // unmarked
    Probe b("b", 40.0f, 0.0f, 1, 1), f("f", 40.0f, 0.0f, 1, 1);          // key 50, a tie
    Probe c("c", 0.0f, 0.0f, 1, 5);                                     // highest priority, near
    Probe e("e", 0.0f, 0.0f, 1, 1);                                     // key 10
    Probe g("g", std::nanf(""), 0.0f, 1, 1);                            // key no number
    Probe h("h", 90.0f, 0.0f, 1, -2);                                   // low priority, far
    Probe i("i", 30.0f, 20.0f, 1, 1);                                   // key 40 + 20 = 60
    for (Probe* p : {&a, &b, &c, &d, &e, &f, &g, &h, &i}) list.Add(p, 100 + u32(p->GetName()[0] - 'a'));
    ASSERT_EQ(list.GetUsedCount(), 9u);

    device_.SetBlendMode(3);
    EXPECT_EQ(list.Draw(), 1);
    const std::vector<std::string> order = {"c", "i", "b", "f", "e", "g", "h", "a", "d"};
    EXPECT_EQ(DrawnNames(), order);
    for (const Drawn& x : drawn_) {
        EXPECT_EQ(x.zWrite, 0u) << x.name;
        EXPECT_EQ(x.argument, 100 + u32(x.name[0] - 'a')) << x.name;
    }
    EXPECT_EQ(device_.GetRenderStates()->zWriteEnable, 1u);
    EXPECT_EQ(device_.GetRenderStates()->blendMode, 1u);

    // Until Clear the same entries draw again, in the same order.
    drawn_.clear();
    list.Draw();
    EXPECT_EQ(DrawnNames(), order);
    list.Clear();
    drawn_.clear();
    list.Draw();
    EXPECT_TRUE(drawn_.empty());
}

class RenderListsWithFilter : public RenderLists {
protected:
    void SetUp() override
    {
        RenderLists::SetUp();
        ASSERT_EQ(filter_.Create(64, 64, render::kFormatA8R8G8B8, render::kFormatD24S8, 2), 1);
        ASSERT_EQ(screen_.Create(64, 64, render::kFormatA8R8G8B8, render::kFormatD24S8, 1), 1);
        fake_->ClearLog();
    }
    render::Surface* Target(CFilter& f, u32 i) { return f.GetTarget(i)->GetSurface(); }

    CFilter filter_, screen_;
};

TEST_F(RenderListsWithFilter, ClearOpensTheFilterAndDrawSteersObjectsIntoItsTargets)
{
    CRenderList list("list", 8, &device_);
    list.SetFilter(&filter_);
    // Leave a mark for the clear to remove.
    filter_.GetTarget(1)->FillColor(0xFFFFFFFFu);
    device_.RestoreColorTarget();
    ASSERT_EQ(list.Clear(), 1);
    EXPECT_EQ(render::FakeRender::ReadPixel(Target(filter_, 1), 0, 0), 0x00000000u);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Target(filter_, 0));

    Probe glow("glow", 1.0f), keep("keep", 1.0f), scene("scene", 1.0f), back("back", 1.0f);
    glow.SetUserWord(1);
    keep.SetUserWord(u32(-1));   // stays where the previous object left it
    back.SetUserWord(7);         // no such target: stays too
    for (Probe* p : {&glow, &keep, &scene, &back}) list.Add(p, 0);
    list.Draw();
    ASSERT_EQ(drawn_.size(), 4u);
    const u32 want[4] = {1, 1, 0, 0};
    for (u32 n = 0; n < 4; ++n) EXPECT_EQ(drawn_[n].target, Target(filter_, want[n])) << drawn_[n].name;

    // Without a filter nothing switches.
    list.SetFilter(nullptr);
    device_.RestoreColorTarget();
    list.Clear();
    list.Add(&glow, 0);
    list.Draw();
    EXPECT_EQ(drawn_.back().target, device_.GetBackBuffer());
}

TEST_F(RenderListsWithFilter, PresentComposesTheFilterOntoTheBackBufferIn2D)
{
    CRenderList list("list", 8, &device_);
    // Without a filter: nothing at all.
    EXPECT_EQ(list.Present(), 1);
    EXPECT_EQ(list.PresentToFilter(&screen_), 1);
    EXPECT_EQ(fake_->CallCount(), 0u);

    list.SetFilter(&filter_);
    list.Clear();
    device_.SetState3D();
    fake_->ClearLog();
    ASSERT_EQ(list.Present(), 1);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());
    EXPECT_EQ(Fake().CurrentDepthSurface(), Fake().AutoDepthSurface());
    // The filter's first target drawn, after the switch back to the back buffer.
    EXPECT_EQ(fake_->Find(render::CallMatch("DrawPrimitiveUP")).at(0).Number("texture"),
        double(IdOf(filter_.GetTarget(0)->GetTexture())));
    EXPECT_TRUE(fake_->HasSequence({render::CallMatch("SetRenderTarget").With("surface", IdOf(Fake().BackBuffer())),
                                    render::CallMatch("DrawPrimitiveUP")}));

    // Into the other filter's first target and its depth surface.
    list.Clear();
    fake_->ClearLog();
    EXPECT_EQ(list.PresentToFilter(nullptr), 0);
    ASSERT_EQ(list.PresentToFilter(&screen_), 1);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Target(screen_, 0));
    EXPECT_EQ(Fake().CurrentDepthSurface(), screen_.GetDepthSurface());
    ASSERT_EQ(fake_->Count(render::CallMatch("DrawPrimitiveUP")), 1u);
    device_.RestoreColorTarget();
    device_.RestoreDepthTarget();
}



}  // namespace

}  // namespace ORV_TEST_FILE_ID

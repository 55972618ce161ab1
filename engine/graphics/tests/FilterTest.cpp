// The plain filter on the fake device: its targets and depth surface, the
// clears, target switches, captures from the back buffer and draws of a
// target, checked on the call log and on the fake's pixels.
#include "engine/graphics/tests/FilterTestSupport.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/Shader.h"

namespace ORV_TEST_FILE_ID {

namespace {

using filter_test::QuadVertex;
using filter_test::Rect;
namespace render = host::render;

constexpr u32 kSize = 64;
using filter_test::kDepthFormat;
using filter_test::kTargetFormat;

class Filters : public filter_test::FilterTest {
protected:
    // Three 64 x 64 targets, named in the log, with an empty log.
    void Make(CFilter& filter, u32 count = 3)
    {
        ASSERT_EQ(filter.Create(kSize, kSize, kTargetFormat, kDepthFormat, count), 1);
        NameTargets(filter);
        fake_->ClearLog();
    }

    // The back buffer painted: the left half of each row red, the right half
    // blue, and the pixel at (x, y) green.
    void PaintBackBuffer(u32 x, u32 y)
    {
        render::Device& d = Fake();
        const u32 w = device_.GetBackBufferWidth(), h = device_.GetBackBufferHeight();
        render::Viewport v{0, 0, w / 2, h, 0, 1};
        d.SetViewport(v);
        d.Clear(render::kClearTarget, 0xFFFF0000u, 1, 0);
        v = {w / 2, 0, w - w / 2, h, 0, 1};
        d.SetViewport(v);
        d.Clear(render::kClearTarget, 0xFF0000FFu, 1, 0);
        v = {x, y, 1, 1, 0, 1};
        d.SetViewport(v);
        d.Clear(render::kClearTarget, 0xFF00FF00u, 1, 0);
        device_.SetViewport(0, 0, 0, 0);
    }
};

TEST_F(Filters, CreateMakesOpaqueBlackRenderTargetsWithoutLockingThem)
{
    CFilter filter;
    ASSERT_EQ(filter.Create(kSize, 32, kTargetFormat, kDepthFormat, 3), 1);
    ASSERT_EQ(filter.GetTargetCount(), 3u);
    for (u32 i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        CTexture* t = filter.GetTarget(i);
        EXPECT_EQ(t->GetUsage(), render::kUsageRenderTarget);
        EXPECT_EQ(Pixel(t, kSize - 1, 31), 0xFF000000u);
    }
    // The default pool cannot be locked: the service clears them instead.
    EXPECT_EQ(fake_->Count("Texture.LockRect"), 0u);
    EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 4u);
    filter.Release();
    EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 0u);
}

TEST_F(Filters, CreateStopsAtTheFirstFailureAndReleaseFreesWhatWasMade)
{
    struct Case {
        const char* op;
        u32 nth;
    };
    for (const Case& c : {Case{"CreateTexture", 2}, Case{"Texture.Fill", 3}, Case{"CreateDepthStencilSurface", 1}}) {
        SCOPED_TRACE(c.op);
        CFilter filter;
        fake_->FailCall(c.op, c.nth, render::Result::OutOfMemory);
        EXPECT_EQ(filter.Create(kSize, kSize, kTargetFormat, kDepthFormat, 3), 0);
        fake_->ClearFailures();
        filter.Release();
        EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 0u);
    }
    CFilter none;
    EXPECT_EQ(none.Create(kSize, kSize, kTargetFormat, kDepthFormat, 0), 0);
}

TEST_F(Filters, OperationsOnATargetPastTheCountTouchNothing)
{
    CFilter empty;
    CFilter filter;
    Make(filter);
    render::Surface* before = Fake().CurrentRenderTarget();
    const size_t mark = fake_->CallCount();
    for (CFilter* f : {&empty, &filter}) {
        const u32 past = f->GetTargetCount();
        EXPECT_EQ(f->SetTarget(past), 0);
        EXPECT_EQ(f->CaptureToTarget(nullptr, nullptr, past), 0);
        EXPECT_EQ(f->DrawTarget(nullptr, nullptr, 0xFFFFFFFFu, past), 0);
    }
    EXPECT_EQ(empty.Begin(0), 0);
    EXPECT_EQ(fake_->CallsSince(mark).size(), 0u);
    EXPECT_EQ(Fake().CurrentRenderTarget(), before);
}

TEST_F(Filters, ClearTargetAndBeginClearColourDepthAndStencilThenPutTheTargetsBack)
{
    CFilter filter;
    Make(filter);
    // Dirty the filter's depth surface first.
    ASSERT_EQ(filter.SetDepthTarget(), 1);
    Fake().Clear(render::kClearZBuffer | render::kClearStencil, 0, 0.25f, 7);
    device_.RestoreDepthTarget();
    render::Surface* depth = filter.GetDepthSurface();
    ASSERT_EQ(render::FakeRender::ReadDepth(depth, 3, 3), 0.25f);

    ASSERT_EQ(filter.ClearTarget(0), 1);
    EXPECT_EQ(Pixel(filter.GetTarget(0), 3, 3), 0x00000000u);
    EXPECT_EQ(Pixel(filter.GetTarget(1), 3, 3), 0xFF000000u);
    EXPECT_EQ(render::FakeRender::ReadDepth(depth, 3, 3), 1.0f);
    EXPECT_EQ(render::FakeRender::ReadStencil(depth, 3, 3), 0u);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());
    EXPECT_EQ(Fake().CurrentDepthSurface(), Fake().AutoDepthSurface());

    // Begin clears every target, the last one too, whatever colour it is given.
    ASSERT_EQ(filter.SetDepthTarget(), 1);
    Fake().Clear(render::kClearZBuffer, 0, 0.25f, 0);
    device_.RestoreDepthTarget();
    ASSERT_EQ(filter.Begin(0xFF123456u), 1);
    for (u32 i = 0; i < 3; ++i) EXPECT_EQ(Pixel(filter.GetTarget(i), 63, 63), 0x00000000u) << i;
    EXPECT_EQ(render::FakeRender::ReadDepth(depth, 63, 63), 1.0f);
    EXPECT_EQ(Fake().CurrentRenderTarget(), Fake().BackBuffer());
    EXPECT_EQ(Fake().CurrentDepthSurface(), Fake().AutoDepthSurface());
}

TEST_F(Filters, CaptureCopiesTheBackBufferPointSampled)
{
    CFilter filter;
    ASSERT_EQ(filter.Create(1024, 1024, kTargetFormat, kDepthFormat, 1), 1);
    PaintBackBuffer(10, 20);
    fake_->ClearLog();

    // No camera: the whole back buffer, one to one.
    ASSERT_EQ(filter.CaptureToTarget(nullptr, nullptr, 0), 1);
    CTexture* t = filter.GetTarget(0);
    EXPECT_EQ(Pixel(t, 10, 20), 0xFF00FF00u);
    EXPECT_EQ(Pixel(t, 511, 767), 0xFFFF0000u);
    EXPECT_EQ(Pixel(t, 512, 0), 0xFF0000FFu);
    EXPECT_EQ(Pixel(t, 0, 768), 0xFF000000u);   // below the back buffer: untouched

    // Given rectangles: 4 x 4 pixels around the dot doubled into (100, 100).
    const CRect4 source = Rect(8, 18, 12, 22), dest = Rect(100, 100, 108, 108);
    ASSERT_EQ(filter.CaptureToTarget(&source, &dest, 0), 1);
    EXPECT_EQ(Pixel(t, 105, 105), 0xFF00FF00u);
    EXPECT_EQ(Pixel(t, 103, 104), 0xFFFF0000u);
}

TEST_F(Filters, CaptureDefaultsToTheCurrentCamerasViewport)
{
    CFilter filter;
    Make(filter);
    CCamera camera;
    camera.SetViewport(16, 8, 32, 24);
    ASSERT_EQ(camera.Apply(), 1);
    fake_->ClearLog();
    ASSERT_EQ(filter.CaptureToTarget(nullptr, nullptr, 1), 1);
    const auto calls = fake_->Find(render::CallMatch("StretchRect"));
    ASSERT_EQ(calls.size(), 1u);
    const render::Call& c = calls[0];
    EXPECT_EQ((std::vector<double>{c.Number("sl"), c.Number("st"), c.Number("sr"), c.Number("sb"), c.Number("dl"),
                                   c.Number("dt"), c.Number("dr"), c.Number("db")}),
              (std::vector<double>{16, 8, 48, 32, 16, 8, 48, 32}));
    // A rectangle past the target is the device's to refuse, and the filter
    // says so.
    const CRect4 tooBig = Rect(0, 0, 128, 128);
    EXPECT_EQ(filter.CaptureToTarget(&tooBig, &tooBig, 1), 0);
}

TEST_F(Filters, DrawTargetStretchesTheViewportRegionOverTheViewport)
{
    CFilter filter;
    ASSERT_EQ(filter.Create(2048, 2048, kTargetFormat, kDepthFormat, 2), 1);
    // The one quad drawn: x, y, u, v of its top-left, then of its bottom-right.
    const auto drawn = [&] {
        const auto quads = DrawnQuads<SpriteVertex>();
        fake_->ClearLog();
        if (quads.size() != 1) return std::vector<f32>{};
        const SpriteVertex &a = quads[0][0], &c = quads[0][2];
        return std::vector<f32>{a.x, a.y, a.u, a.v, c.x, c.y, c.u, c.v, f32(a.colour >> 24)};
    };
    fake_->ClearLog();
    // No camera: the back buffer's region onto the back buffer.
    ASSERT_EQ(filter.DrawTarget(nullptr, nullptr, 0xB4FFFFFFu, 1), 1);
    EXPECT_EQ(drawn(), (std::vector<f32>{0, 0, 0, 0, 1024, 768, 0.5f, 0.375f, 0xB4}));

    // A camera's viewport: its region, drawn at its origin.
    CCamera camera;
    camera.SetViewport(512, 256, 256, 128);
    ASSERT_EQ(camera.Apply(), 1);
    fake_->ClearLog();
    ASSERT_EQ(filter.Apply(0), 1);
    EXPECT_EQ(fake_->Find(render::CallMatch("DrawPrimitiveUP"))[0].Number("texture"),
              double(IdOf(filter.GetTarget(0)->GetTexture())));
    EXPECT_EQ(drawn(), (std::vector<f32>{512, 256, 0.25f, 0.125f, 768, 384, 0.375f, 0.1875f, 0xFF}));

    // Given rectangles count from the viewport origin on screen.
    const CRect4 dest = Rect(0, 0, 10, 20), source = Rect(1024, 0, 2048, 512);
    ASSERT_EQ(filter.DrawTarget(&dest, &source, 0x80FFFFFFu, 0), 1);
    EXPECT_EQ(drawn(), (std::vector<f32>{512, 256, 0.5f, 0, 522, 276, 1, 0.25f, 0x80}));
}

TEST_F(Filters, CopiesShareTheDeviceTexturesAndDepthAndOwnTheirShader)
{
    auto* filter = new CFilter();
    Make(*filter, 2);
    const std::string_view gauss = render::BuiltinEffect("GaussFilter.shd");
    ASSERT_EQ(filter->LoadShader(gauss.data(), "GaussFilter.shd", u32(gauss.size()), 0, 1), 1);
    ASSERT_EQ(filter->OwnsShader(), 1u);

    CFilter* copy = filter->Clone();
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetTargetCount(), 2u);
    EXPECT_NE(copy->GetShader(), filter->GetShader());

    delete filter;
    // The copy still holds working targets.
    EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 3u);
    EXPECT_EQ(copy->ClearTarget(1), 1);
    EXPECT_EQ(copy->Begin(0), 1);
    EXPECT_EQ(Pixel(copy->GetTarget(1), 0, 0), 0x00000000u);
    delete copy;
    EXPECT_EQ(Fake().LiveResources(render::kPoolDefault), 0u);
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

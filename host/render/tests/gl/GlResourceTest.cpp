// Resources on real OpenGL: partial locks reach the texture (and only it,
// whatever is bound), dynamic buffers are re-read after each lock,
// resources outlive their device, and draws belong to the context's thread.
#include "GlTestSupport.h"

#include <cstring>
#include <thread>

namespace host::render::testing {
namespace ORV_TEST_FILE_ID {

namespace {

class GlResource : public GlTest {
protected:
    void Begin() {
        ASSERT_EQ(device->BeginScene(), Result::Ok);
        ASSERT_EQ(device->Clear(kClearTarget, kBlack, 1.0f, 0), Result::Ok);
    }
    uint32_t At(int32_t x, int32_t y) { return Pixel(backBuffer.Get(), x, y); }
};

// Only the locked rows change; the rows around them keep their texels.
TEST_F(GlResource, ALockedRectReachesTheTextureAndNothingElse) {
    Ref<Texture> t = MakeTexture(4, 4, [](uint32_t, uint32_t) { return kRed; });
    Begin();
    ASSERT_EQ(device->SetTexture(0, t.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    ASSERT_EQ(device->Present(), Result::Ok);
    LockedRect r;
    const Rect rows{1, 1, 3, 3};
    ASSERT_EQ(t->LockRect(0, r, &rows, 0), Result::Ok);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) std::memcpy(static_cast<uint8_t*>(r.bits) + y * r.pitch + x * 4, &kGreen, 4);
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    Begin();
    ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x) {
            const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
            EXPECT_EQ(Hex{At(x * 4 + 2, y * 4 + 2)}.v, inside ? kGreen : kRed) << x << "," << y;
        }
    // A read-only lock changes nothing.
    ASSERT_EQ(t->LockRect(0, r, nullptr, kLockReadOnly), Result::Ok);
    EXPECT_EQ(t->LockRect(0, r, nullptr, 0), Result::InvalidCall);   // already locked
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    EXPECT_EQ(t->UnlockRect(0), Result::InvalidCall);
}

// A texture written again while another is bound for drawing: the new
// texels reach it, and the texture being drawn keeps its own. (The upload
// unit may already hold the written texture while another unit is active,
// as with a glyph atlas that grows between sprites of other textures.)
TEST_F(GlResource, AnUpdateReachesItsTextureWhateverUnitIsActive) {
    Ref<Texture> other = MakeTexture(4, 4, [](uint32_t, uint32_t) { return kBlue; });
    Ref<Texture> written = MakeTexture(4, 4, [](uint32_t, uint32_t) { return kRed; });
    Begin();
    // The written texture is uploaded last, and the other is bound to draw.
    for (Texture* t : {other.Get(), written.Get(), other.Get()}) {
        ASSERT_EQ(device->SetTexture(0, t), Result::Ok);
        ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    }
    LockedRect r;
    ASSERT_EQ(written->LockRect(0, r, nullptr, 0), Result::Ok);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) std::memcpy(static_cast<uint8_t*>(r.bits) + y * r.pitch + x * 4, &kGreen, 4);
    ASSERT_EQ(written->UnlockRect(0), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, written.Get()), Result::Ok);
    ASSERT_EQ(Sprite(0, 0, 16, 16), Result::Ok);
    ASSERT_EQ(device->SetTexture(0, other.Get()), Result::Ok);
    ASSERT_EQ(Sprite(16, 0, 32, 16), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{At(8, 8)}.v, kGreen) << "the written texture";
    EXPECT_EQ(Hex{At(24, 8)}.v, kBlue) << "the texture bound for drawing";
}

// A dynamic buffer refilled between two draws: each draw reads what the
// buffer held when it was made.
TEST_F(GlResource, ADynamicVertexBufferIsReadAfterEachLock) {
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ColorVertex), kUsageDynamic | kUsageWriteOnly, 0x44, kPoolDefault,
                                         vb.Put()),
              Result::Ok);
    Ref<IndexBuffer> ib;
    ASSERT_EQ(device->CreateIndexBuffer(6 * 4, 0, kFormatIndex32, kPoolManaged, ib.Put()), Result::Ok);
    void* data = nullptr;
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), Result::Ok);
    const uint32_t indices[6] = {0, 1, 2, 0, 2, 3};
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(ib->Unlock(), Result::Ok);
    auto fill = [&](float x, uint32_t color) {
        ASSERT_EQ(vb->Lock(0, 0, &data, kLockDiscard), Result::Ok);
        const ColorVertex v[4] = {{x, 0, 0, 1, color}, {x + 8, 0, 0, 1, color}, {x + 8, 8, 0, 1, color},
                                  {x, 8, 0, 1, color}};
        std::memcpy(data, v, sizeof v);
        ASSERT_EQ(vb->Unlock(), Result::Ok);
    };
    Begin();
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    ASSERT_EQ(device->SetIndices(ib.Get()), Result::Ok);
    for (int i = 0; i < 3; ++i) {
        fill(float(i * 10), i == 0 ? kRed : i == 1 ? kGreen : kBlue);
        ASSERT_EQ(device->SetStreamSource(0, vb.Get(), 0, sizeof(ColorVertex)), Result::Ok);
        ASSERT_EQ(device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 4, 0, 2), Result::Ok);
    }
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{At(4, 4)}.v, kRed);
    EXPECT_EQ(Hex{At(14, 4)}.v, kGreen);
    EXPECT_EQ(Hex{At(24, 4)}.v, kBlue);
    // Locking a static buffer with discard is refused.
    EXPECT_EQ(ib->Lock(0, 0, &data, kLockDiscard), Result::InvalidCall);
}

TEST_F(GlResource, ResourcesOutliveTheirDevice) {
    Ref<Texture> t = MakeTexture(4, 4, [](uint32_t, uint32_t) { return kRed; });
    Ref<Texture> target = MakeTarget(4, 4);
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, kPoolManaged, vb.Put()), Result::Ok);
    Ref<Device> owner;
    ASSERT_EQ(t->GetDevice(owner.Put()), Result::Ok);
    EXPECT_EQ(owner.Get(), device.Get());
    owner.Reset();
    backBuffer.Reset();
    device.Reset();
    EXPECT_EQ(t->GetDevice(owner.Put()), Result::NotAvailable);
    // Their memory is still theirs; only the GL side is gone.
    LockedRect r;
    ASSERT_EQ(t->LockRect(0, r, nullptr, 0), Result::Ok);
    ASSERT_EQ(t->UnlockRect(0), Result::Ok);
    EXPECT_EQ(Pixel(Level0(t.Get()).Get(), 1, 1), kRed);
    EXPECT_EQ(FillTexture(target.Get(), kGreen), Result::Ok);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), Result::Ok);
    EXPECT_EQ(vb->Unlock(), Result::Ok);
}

// Creation and locks are for any thread; state and draw calls belong to
// the thread of the context.
TEST_F(GlResource, StateAndDrawCallsFromAnotherThreadAreRefused) {
    ASSERT_EQ(device->BeginScene(), Result::Ok);
    std::thread([&] {
        EXPECT_EQ(device->SetRenderState(kRsZEnable, 0), Result::InvalidCall);
        EXPECT_EQ(device->SetFVF(0x44), Result::InvalidCall);
        EXPECT_EQ(device->Clear(kClearTarget, kRed, 1.0f, 0), Result::InvalidCall);
        const ColorVertex v[3]{};
        EXPECT_EQ(device->DrawPrimitiveUP(kPrimitiveTriangleList, 1, v, sizeof(ColorVertex)), Result::InvalidCall);
        EXPECT_EQ(device->Present(), Result::InvalidCall);
        Ref<Texture> t;
        EXPECT_EQ(device->CreateTexture(8, 8, 0, 0, kFormatA8R8G8B8, kPoolManaged, t.Put()), Result::Ok);
        EXPECT_EQ(t ? t->GetLevelCount() : 0u, 4u);
    }).join();
    ASSERT_EQ(device->EndScene(), Result::Ok);
    uint32_t z = 0;
    ASSERT_EQ(device->GetRenderState(kRsZEnable, z), Result::Ok);
    EXPECT_EQ(z, 1u);
}

// Two line strips share one GL draw as lines; each keeps its own segments.
TEST_F(GlResource, BatchedLineStripsKeepTheirOwnSegments) {
    Begin();
    ASSERT_EQ(device->SetFVF(0x44), Result::Ok);
    const ColorVertex a[3] = {{2, 4.5f, 0, 1, kRed}, {20.5f, 4.5f, 0, 1, kRed}, {20.5f, 20.5f, 0, 1, kRed}};
    const ColorVertex b[2] = {{30, 10.5f, 0, 1, kGreen}, {50, 10.5f, 0, 1, kGreen}};
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveLineStrip, 2, a, sizeof(ColorVertex)), Result::Ok);
    ASSERT_EQ(device->DrawPrimitiveUP(kPrimitiveLineStrip, 1, b, sizeof(ColorVertex)), Result::Ok);
    ASSERT_EQ(device->EndScene(), Result::Ok);
    EXPECT_EQ(Hex{At(10, 4)}.v, kRed);
    EXPECT_EQ(Hex{At(20, 12)}.v, kRed);
    EXPECT_EQ(Hex{At(40, 10)}.v, kGreen);
    EXPECT_EQ(Hex{At(25, 10)}.v, kBlack);   // no segment joins the two strips
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace host::render::testing

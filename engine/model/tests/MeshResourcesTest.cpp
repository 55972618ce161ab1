// CXMesh and CCubeTexture: the references they hold, share and give back.
#include "engine/model/MeshResources.h"

#include "engine/core/Memory.h"

#include <gtest/gtest.h>

namespace ORV_TEST_FILE_ID {

namespace render = host::render;
using render::Result;

namespace {

// The count an object holds (one added and taken back to read it).
template <class T>
u32 Refs(T& object)
{
    object.AddRef();
    return object.Release();
}

struct Counted : render::Object {};

struct StubSurface : render::Surface {
    Result GetDevice(render::Device**) override { return Result::NotAvailable; }
    Result GetDesc(render::SurfaceDesc&) override { return Result::NotAvailable; }
    Result LockRect(render::LockedRect&, const render::Rect*, uint32_t) override { return Result::NotAvailable; }
    Result UnlockRect() override { return Result::NotAvailable; }
    Result ReadPixels(const render::Rect*, uint32_t*) override { return Result::NotAvailable; }
};

struct StubTexture : render::Texture {
    Result GetDevice(render::Device**) override { return Result::NotAvailable; }
    uint32_t GetLevelCount() override { return 0; }
    Result GetLevelDesc(uint32_t, render::SurfaceDesc&) override { return Result::NotAvailable; }
    Result GetSurfaceLevel(uint32_t, render::Surface**) override { return Result::NotAvailable; }
    Result LockRect(uint32_t, render::LockedRect&, const render::Rect*, uint32_t) override { return Result::NotAvailable; }
    Result UnlockRect(uint32_t) override { return Result::NotAvailable; }
    Result Fill(uint32_t) override { return Result::NotAvailable; }
};

// Counts its deletions.
struct Tracked : CResourceBase {
    explicit Tracked(u32* deleted) : deleted_(deleted) {}
    ~Tracked() override { ++*deleted_; }
    u32* deleted_;
};

}  // namespace

TEST(CubeTexture, ACopyAddsAReferenceToTheCubeAndEachPresentFace)
{
    // The test keeps one reference of its own to each.
    auto* cube = new StubTexture();
    auto* faces = new StubSurface[2];
    {
        CCubeTexture texture;
        texture.Cube = render::Ref<render::Texture>(cube);
        texture.Faces[0] = render::Ref<render::Surface>(&faces[0]);
        texture.Faces[5] = render::Ref<render::Surface>(&faces[1]);
        texture.Values[3] = 7;
        CCubeTexture* copy = texture.Clone();
        EXPECT_EQ(Refs(*cube), 3u);
        EXPECT_EQ(Refs(faces[0]), 3u);
        EXPECT_EQ(Refs(faces[1]), 3u);
        EXPECT_EQ(copy->Values[3], 7u);
        EXPECT_EQ(copy->Release(), 1);
        EXPECT_EQ(copy->Faces[5].Get(), nullptr);
        EXPECT_EQ(Refs(faces[1]), 2u);
        delete copy;   // released already: gives back nothing more
        EXPECT_EQ(Refs(*cube), 2u);
    }   // the destructor releases too
    EXPECT_EQ(Refs(*cube), 1u);
    EXPECT_EQ(Refs(faces[0]), 1u);
    EXPECT_EQ(cube->Release(), 0u);
    delete[] faces;
}

TEST(XMesh, ReleaseGivesBackTheMeshAndDeletesTheObjects)
{
    Counted* device = new Counted();
    u32 deleted = 0;
    auto* mesh = new CXMesh();
    mesh->Mesh = render::Ref<render::Object>(device);
    mesh->Data = AlignedAlloc(64, 16);
    mesh->ObjectCount = 2;
    mesh->Objects = static_cast<CValueBase**>(AlignedAlloc(2 * sizeof(CValueBase*), 16));
    mesh->Objects[0] = new Tracked(&deleted);
    mesh->Objects[1] = new Tracked(&deleted);
    CXMesh* copy = mesh->Clone();   // shares the device mesh only
    EXPECT_EQ(Refs(*device), 3u);
    EXPECT_EQ(copy->ObjectCount, 0u);
    delete copy;
    EXPECT_EQ(mesh->Release(), 1);
    EXPECT_EQ(deleted, 2u);
    EXPECT_EQ(Refs(*device), 1u);
    delete mesh;   // a second release finds nothing to give back
    EXPECT_EQ(deleted, 2u);
    device->Release();
}

}  // namespace ORV_TEST_FILE_ID

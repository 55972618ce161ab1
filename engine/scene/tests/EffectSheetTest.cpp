// An effect whose sprite shows one cell of a texture sheet, loaded with its
// media by the resource controller: binding finds the sheet and leaves the
// cell, and the container saves back the bytes it was loaded from.
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DeviceTestSupport.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "host/kernel/Kernel.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace scene_test;

namespace {

// A 24-bit BMP of width x height, rows padded to four bytes.
std::string Bmp(u32 width, u32 height)
{
    const u32 row = (width * 3 + 3) & ~3u;
    Bytes b;
    b.Raw("BM").U32(54 + row * height).U32(0).U32(54).U32(40).U32(width).U32(height).U8(1).U8(0).U8(24).U8(0)
        .U32(0).U32(row * height).U32(2835).U32(2835).U32(0).U32(0);
    return b.Zeros(row * height);
}

CRect4 Rect(f32 left, f32 top, f32 right, f32 bottom)
{
    CRect4 r;
    r.Set(left, right, top, bottom);
    return r;
}

std::vector<f32> Corners(const CRect4& r) { return {r.left, r.top, r.right, r.bottom}; }

class EffectSheet : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        CreateDevice();
        ASSERT_EQ(system_.SetCurrentDirToModule(folder_.Path().c_str()), 1);
        ::mkdir("Effect", 0777);
        WriteBytes("Sheet.bmp", Bmp(64, 32));
    }

    void TearDown() override
    {
        host::kernel::SetCurrentDirectory(cwd_);
        DeviceTest::TearDown();
    }

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder folder_;
};

}  // namespace

TEST_F(EffectSheet, ASpriteBoundWithItsSheetKeepsItsCell)
{
    // Sprites naming the sheet: one on a cell, one on the whole sheet's
    // default of nothing; neither has Rect keys.
    const struct {
        const char* name;
        CRect4 rect;
    } sprites[] = {{"Cell", Rect(16, 0, 32, 16)}, {"Empty", CRect4()}};
    CEffectContainer made;
    made.SetName("Efc_sheet");
    for (const auto& s : sprites) {
        auto* sprite = new CEffectObject();
        sprite->SetName(s.name);
        sprite->SetResource("Sheet.bmp", nullptr);
        sprite->GetRectTrack().SetRectDefault(&s.rect);
        made.AddObject(sprite);
    }
    const std::string file = made.SaveToMemory();
    WriteBytes("Effect/Efc_sheet.efc", file);

    CResourceController c;
    ASSERT_EQ(c.Load("Sheet.bmp", 1), 1u);
    ASSERT_EQ(c.Load("Effect\\Efc_sheet.efc", 1), 1u);
    auto* loaded = static_cast<CEffectContainer*>(c.GetEffectList()->FindByName("Efc_sheet"));
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->GetObjectCount(), 2u);
    for (u32 i = 0; i < 2; ++i) {
        SCOPED_TRACE(sprites[i].name);
        const CEffectObject* sprite = loaded->GetObject(i);
        ASSERT_NE(sprite->GetTexture(), nullptr) << "the sheet is bound";
        EXPECT_EQ(sprite->GetTexture()->GetWidth(), 64u);
        EXPECT_EQ(sprite->GetResourceKind(), kEffectKindTexture);
        EXPECT_EQ(Corners(*sprite->GetRectTrack().GetDefaultValue()), Corners(sprites[i].rect));
    }
    EXPECT_EQ(loaded->SaveToMemory(), file);

    // Setting the resource by hand still takes the texture's whole size.
    CEffectObject* cell = loaded->GetObject(0);
    cell->SetResource("Sheet.bmp", cell->GetTexture());
    EXPECT_EQ(Corners(*cell->GetRectTrack().GetDefaultValue()), Corners(Rect(0, 0, 64, 32)));
}

}  // namespace ORV_TEST_FILE_ID

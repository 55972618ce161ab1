// Damaged model files: cut at every byte, each byte changed, counts and
// sizes that claim more than the file holds. Each is refused (or, cut
// exactly after a whole chunk or block, read as the shorter file it then
// is), nothing runs past the data, and the caller's mesh is left as it was.
#include "engine/model/AnalysMesh.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelFile.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/ArmModel.h"
#include "engine/model/tests/ModelGolden.h"
#include "engine/platform/FrameTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using model_test::Bytes;
using model_test::ReadInto;

namespace {

// A mesh that already holds something the caller keeps.
struct KeptMesh {
    CMesh mesh;
    KeptMesh()
    {
        auto* object = new CModelObject();
        object->SetName("Keep");
        AppendElement(mesh.GetModelObjects(), object);
    }
    bool Intact() const
    {
        return mesh.GetModelObjectCount() == 1 && std::strcmp(mesh.GetModelObject(0)->GetName(), "Keep") == 0 &&
               mesh.GetBoneCount() == 0 && mesh.GetAnimations()->GetCount() == 0;
    }
};

struct Golden {
    const char* name;
    std::string bytes;
    std::vector<size_t> readableCuts;
};

std::vector<Golden> Goldens()
{
    return {{"rigid", model_test::RigidGolden(), model_test::RigidReadableCuts()},
        {"skinned", model_test::SkinnedGolden(), model_test::SkinnedReadableCuts()}};
}

}  // namespace

TEST(ModelDamage, EveryCutIsRefusedUnlessItFallsAfterAWholeBlock)
{
    for (const Golden& g : Goldens()) {
        for (size_t length = 0; length < g.bytes.size(); ++length) {
            KeptMesh kept;
            const i32 result = ReadInto(g.bytes.substr(0, length), kept.mesh);
            const bool boundary = std::count(g.readableCuts.begin(), g.readableCuts.end(), length) > 0;
            ASSERT_EQ(result, boundary ? 1 : 0) << g.name << " cut to " << length << " bytes";
            if (!result) {
                ASSERT_TRUE(kept.Intact()) << g.name << " cut to " << length;
            }
        }
    }
}

TEST(ModelDamage, EveryChangedByteIsReadSafely)
{
    // A change in a float or a name may leave a valid file; a change in a
    // count, size, tag or marker must not take the reader past the data.
    // The sanitizer build holds it to that.
    SetFrameTime(16);
    std::vector<Golden> files = Goldens();
    files.push_back({"arm", model_test::ArmModel(), {}});
    for (const Golden& g : files) {
        u32 refused = 0;
        for (size_t at = 0; at < g.bytes.size(); ++at) {
            for (u8 value : {u8(0x00), u8(0x01), u8(0x7F), u8(0x80), u8(0xFF)}) {
                std::string damaged = g.bytes;
                if (u8(damaged[at]) == value) continue;
                damaged[at] = char(value);
                KeptMesh kept;
                if (!ReadInto(damaged, kept.mesh)) {
                    ++refused;
                    ASSERT_TRUE(kept.Intact()) << g.name << " byte " << at << " = " << int(value);
                    continue;
                }
                // What reads is posed through every set, swinging bones included.
                CMesh mesh;
                ASSERT_EQ(ReadInto(damaged, mesh), 1);
                for (u32 b = 0; b < mesh.GetBoneCount(); ++b) mesh.ComputeBoneSphere(b);
                model_test::Controller c(mesh.CreateAnimationController());
                c->ResetModelPose();
                for (u32 n = 0; n < mesh.GetAnimations()->GetCount(); ++n) {
                    c->SetAnimation(n, 0.5f, 1.0f, 0.25f, 1, 2);
                    c->AdvanceTime(0.75f);
                    c->UpdateMatrices(nullptr);
                }
            }
        }
        // Mostly floats, the arm is posed rather than counted. Size words
        // are not read, so those files are refused less often.
        if (!g.readableCuts.empty()) {
            EXPECT_GT(refused, g.bytes.size() / 2) << g.name;
        }
    }
    SetFrameTime(0);
}

TEST(ModelDamage, EveryFrameWordIsChecked)
{
    // A marker and each count of the skinned file (offsets worked out
    // from its layout), made one larger: refused. (Size words are not
    // read: ModelLayoutTest.)
    const std::string golden = model_test::SkinnedGolden();
    const size_t object = 23, bone1 = 23 + 141, bone2 = bone1 + 185, group = bone2 + 175, anim = group + 30;
    const struct {
        const char* what;
        size_t at;
    } words[] = {
        {"vertex count", object + 13 + 8},
        {"index count", object + 81 + 8},
        {"range count", object + 81 + 24},
        {"influence count", bone1 + 8 + 4 + 5 + 128},
        {"group bone count", group + 8 + 5},
        {"rotation key count", anim + 8 + 5 + 4 + 8 + 5 + 4},
        {"key set marker", anim + 8 + 5 + 4 + 8 + 89},
    };
    for (const auto& w : words) {
        std::string damaged = golden;
        ASSERT_LE(w.at + 4, damaged.size()) << w.what;
        const u32 old = GetLe32(&damaged[w.at]);
        PutLe32(&damaged[w.at], old + 1);
        KeptMesh kept;
        EXPECT_EQ(ReadInto(damaged, kept.mesh), 0) << w.what << " at " << w.at << " was " << old;
        EXPECT_TRUE(kept.Intact()) << w.what;
    }
}

TEST(ModelDamage, HugeCountsAreRefusedBeforeAnythingIsAllocated)
{
    const std::string magic = Bytes().Magic();
    const auto object = [](const std::string& blocks) {
        return Bytes().U32(0).U32(2 + u32(blocks.size())).Str("A").Raw(blocks).End().str();
    };
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"vertices", magic + object(Bytes().U32(1).U32(8).U32(0x0FFFFFFF).U32(0x3FF).End())},
        {"vertices of no bytes each",
            magic + object(Bytes().U32(1).U32(8).U32(0xFFFFFFFF).U32(0).End())},
        // A list that could be allocated, from a few bytes; the format's
        // bits name no field.
        {"vertices of no bytes each, more than any file may make",
            magic + object(Bytes().U32(1).U32(8).U32(kModelVertexFloor + 1).U32(0x6F420000).End())},
        {"indices", magic + object(Bytes().U32(2).U32(8).U32(0x40000000).U32(0).End())},
        {"ranges", magic + object(Bytes().U32(2).U32(8).U32(0).U32(0x20000000).End())},
        {"materials", magic + object(Bytes().U32(3).U32(4).U32(0xFFFFFFFF).End())},
        {"grid cells",
            magic + object(Bytes().U32(11).U32(54).F3(0, 0, 0).F3(1, 1, 1).F3(1, 1, 1).F3(1, 1, 1)
                                .U16(0xFFFF).U16(0xFFFF).U16(0xFFFF).End())},
        {"influences",
            magic + Bytes().U32(7).U32(153).Str("B").Str("root").Translation(0, 0, 0).Translation(0, 0, 0)
                        .U32(0xFFFFFFFF).U32(0).U32(0).U32(0).End().str()},
        {"group bones", magic + Bytes().U32(8).U32(6).Str("G").U32(0x7FFFFFFF).End().str()},
        {"keys",
            magic + Bytes().U32(9).U32(24).Str("A").U32(0).U32(10).U32(10).Str("B").U32(2).U32(0x7FFFFFFF)
                        .End().End().str()},
        {"a chunk size", magic + Bytes().U32(12).U32(0xFFFFFFF0).str()},
        {"a name without its end", magic + Bytes().U32(0).U32(5).str() + "Name"},
    };
    for (const auto& c : cases) {
        KeptMesh kept;
        EXPECT_EQ(ReadInto(c.bytes, kept.mesh), 0) << c.what;
        EXPECT_TRUE(kept.Intact()) << c.what;
    }
}

TEST(ModelDamage, IndicesPastTheVerticesStayInTheDataButNeverReachABuffer)
{
    // The reader keeps what the file says; the index check before any
    // buffer is filled refuses it (ModelBufferTest).
    const std::string bytes = Bytes().Magic()
        .U32(0).U32(2 + 12 + 20 + 12 + 28).Str("A")
        .U32(1).U32(20).U32(1).U32(1).F3(0, 0, 0).End()
        .U32(2).U32(28).U32(3).U32(0).U32(0).U32(7).U32(1).U32(0).U32(3).End()
        .End();
    CMesh mesh;
    ASSERT_EQ(ReadInto(bytes, mesh), 1);
    EXPECT_FALSE(mesh.GetModelObject(0)->GetIndexList()->IsValid(1));
}

}  // namespace ORV_TEST_FILE_ID

// Effect files: one laid out by hand field by field, files made by the
// writer read back whole, and damaged files refused without a change.
#include "engine/core/Endian.h"
#include "engine/graphics/Texture.h"
#include "engine/scene/EffectFile.h"
#include "engine/scene/tests/EffectTestSupport.h"
#include "host/kernel/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace ORV_TEST_FILE_ID {

using effect_test::Bytes;
using effect_test::ReadBytes;
using effect_test::WriteBytes;

namespace {

// The node settings block of the golden file.
std::string GoldenNode()
{
    return Bytes()
        .F32(2.5f)                // life
        .U8(0).Zeros(3)           // texture kind, three bytes not read
        .F32(1.5f)                // radius factor
        .V3(0.0f, 1.0f, 0.0f)     // axis weights
        .U32(1)                   // sorted
        .U32(3)                   // billboard about Y
        .U32(2)                   // blend mode
        .U32(5)                   // draw layer
        .U32(1)                   // filter target
        .U32(1)                   // loop mode
        .U32(0x21)                // no own rotation, released
        .I32(-300)                // volume offset
        .U32(4);                  // rotation order Y-Z-X
}

std::string GoldenParticles(u32 traceCount)
{
    return Bytes()
        .F32(1.25f)                   // life
        .V3(0.0f, 0.0f, 1.0f)         // offset
        .V3(0.5f, 0.0f, 0.0f)         // offset spread
        .V3(0.0f, 90.0f, 0.0f)        // rotation spread
        .V3(0.1f, 0.1f, 0.1f)         // scaling spread
        .V3(0.2f, 0.2f, 0.2f)         // scaling decrease
        .V3(0.0f, 1.0f, 0.0f)         // direction
        .V3(0.3f, 0.0f, 0.3f)         // direction spread
        .V3(0.0f, 180.0f, 0.0f)       // spin
        .V4(0.1f, 0.2f, 0.3f, 0.2f)   // colour spread
        .V4(0.4f, 0.3f, 0.0f, 0.5f)   // colour decrease
        .F32(2.0f)                    // speed
        .F32(0.5f)                    // speed spread
        .F32(-9.8f)                   // vertical acceleration
        .U32(0)                       // not read
        .U32(0)                       // not linked
        .U32(traceCount);
}

// One container, one object with keys in three tracks and a trail.
std::string GoldenFile()
{
    Bytes b;
    b.Name("Efc_spark").U32(1);
    b.Name("spark").Name("spark.png");
    b.Name("Position").U32(1).F32(0.5f).F32(0.25f).V3(1, 2, 3).V3(4, 5, 6).U32(1).U32(0).Zeros(24);
    b.EmptyTrack("Rotation", 1, {0, 0, 0});
    b.EmptyTrack("Scaling", 0, {1, 1, 1});
    b.Name("Color").U32(2);
    b.F32(0.0f).F32(0.0f).V4(1, 1, 1, 1);
    b.F32(1.0f).F32(0.0f).V4(1, 0.5f, 0, 0);
    b.U32(0).U32(1).V4(1, 1, 1, 1);
    b.EmptyTrack("UV", 1, {0, 0, 0});
    b.EmptyTrack("Rect", 0, {0, 0, 64, 32});
    b.EmptyTrack("Animation", 0, {0});
    b.Name("Particle").U32(2).F32(0.0f).F32(0.0f).U32(3).F32(0.5f).F32(0.0f).U32(2).U32(0).U32(1).U32(1);
    b.EmptyTrack("Play", 0, {1});
    b.U32(60).Raw(GoldenNode());
    b.U32(156).Raw(GoldenParticles(1));
    b.U32(0).V3(0, 0.5f, 0).V3(0, -0.5f, 0).F32(0.05f).F32(0.1f).U32(16).Name("trail.png");
    b.Name("note");
    return b;
}

// A definition with something in every part, two objects.
std::unique_ptr<CEffectContainer> MadeContainer()
{
    auto container = std::make_unique<CEffectContainer>();
    container->SetName("Efc_made");
    CEffectObject* a = effect_test::NewObject("flash");
    a->SetResource("Mesh\\ring.mdl", nullptr);
    a->GetPositionTrack().AddKey(0.0f, CSegment(CVector3(0, 1, 0), CVector3(1, 1, 1)), 0.5f);
    a->GetPositionTrack().AddKey(2.0f, CSegment(CVector3(0, 2, 0), CVector3(2, 0, -1)));
    a->GetRotationTrack().AddKey(1.0f, CVector3(0, 90, 0));
    a->GetScalingTrack().SetLoop(1);
    a->GetUVTrack().AddKey(0.25f, CVector3(0.5f, 0.25f, 0));
    CRect4 r;
    r.Set(1, 2, 3, 4);
    a->GetRectTrack().AddKey(0.0f, r);
    a->GetAnimationTrack().AddKey(0.75f, 7u);
    a->GetPlayTrack().AddKey(0.5f, 2.0f);
    a->GetNodeSettings().billboard = 5;
    a->GetNodeSettings().volumeOffset = -1200;
    a->GetParticleSettings().linked = 1;
    a->GetParticleSettings().traceCount = 5;   // stale: the entries that follow count
    CEffectTrace trace;
    trace.edge1.Set(1, 0, 0);
    trace.vertexCount = 8;
    trace.SetTextureName("Texture\\ribbon.png");
    a->AddTrace(trace);
    trace.SetTextureName(nullptr);
    trace.vertexCount = 4;
    a->AddTrace(trace);
    a->SetTrailingText("authored");
    container->AddObject(a);
    CEffectObject* b = effect_test::NewObject("smoke");
    effect_test::ParticleKeys(b, {{0.0f, 4}, {0.3f, 1}});
    b->GetColorTrack().AddKey(1.0f, CVector4(0, 0, 0, 0));
    container->AddObject(b);
    return container;
}

class EffectFile : public ::testing::Test {
protected:
    host::kernel::testing::TempFolder temp_;
    const std::string path_ = temp_ / "effect.efc";
};

}  // namespace

TEST_F(EffectFile, TheGoldenFileReadsFieldByFieldAndIsWrittenBackTheSame)
{
    const std::string golden = GoldenFile();
    ASSERT_TRUE(WriteBytes(path_, golden));
    CEffectContainer c;
    ASSERT_EQ(c.Load(path_.c_str()), 1u);
    // A few fields of each part where a reader and writer could agree on a
    // wrong place; the bytes written back check the rest.
    ASSERT_EQ(c.GetObjectCount(), 1u);
    const CEffectObject& o = *c.GetObject(0);
    EXPECT_STREQ(o.GetResourceName(), "spark.png");
    const auto& key = *o.GetPositionTrack().GetAt(0);
    EXPECT_EQ((std::vector<f32>{key.time, key.ease, key.value.start.z, key.value.end.x}),
              (std::vector<f32>{0.5f, 0.25f, 3, 4}));
    EXPECT_EQ(o.GetColorTrack().GetAt(1)->value.y, 0.5f);
    EXPECT_EQ(o.GetParticleTrack().GetAt(0)->value, 3u);
    const EffectNodeSettings& n = o.GetNodeSettings();
    EXPECT_EQ((std::vector<u32>{n.billboard, n.blendMode, n.drawLayer, n.flags, u32(n.volumeOffset), n.rotationOrder}),
              (std::vector<u32>{3, 2, 5, 0x21, u32(-300), 4}));
    const EffectParticleSettings& p = o.GetParticleSettings();
    EXPECT_EQ((std::vector<f32>{p.rotationSpread.y, p.colorDecrease.w, p.acceleration}),
              (std::vector<f32>{90, 0.5f, -9.8f}));
    const CEffectTrace& t = *o.GetTrace(0);
    EXPECT_EQ((std::vector<f32>{t.edge1.y, t.alphaDecrease, f32(t.vertexCount)}), (std::vector<f32>{-0.5f, 0.05f, 16}));
    EXPECT_STREQ(o.GetTrailingText(), "note");

    std::remove(path_.c_str());
    ASSERT_EQ(c.Save(path_.c_str()), 1u);
    EXPECT_EQ(ReadBytes(path_), golden);
}

TEST_F(EffectFile, WhatTheWriterMakesReadsBackWhole)
{
    const auto made = MadeContainer();
    ASSERT_EQ(made->Save(path_.c_str()), 1u);
    CEffectContainer read;
    ASSERT_EQ(read.Load(path_.c_str()), 1u);
    ASSERT_EQ(read.GetObjectCount(), 2u);
    // The same bytes again: every track, both blocks, the trails and the
    // trailing text came through.
    EXPECT_EQ(read.SaveToMemory(), made->SaveToMemory());
    EXPECT_EQ(read.GetObject(0)->GetResourceKind(), kEffectKindModel);
    EXPECT_EQ(read.GetObject(0)->GetParticleSettings().traceCount, 2u);
}

// A new object's record, laid out field by field: the tracks' names,
// interpolate flags and defaults, loop mode 1 and rotation order 1 in an
// otherwise zero node block, a zero particle block.
TEST_F(EffectFile, ANewObjectIsWrittenWithItsConstructedTracksAndBlocks)
{
    Bytes b;
    b.U32(0).U32(0);   // no name, no resource
    b.EmptyTrack("Position", 1, {0, 0, 0, 0, 0, 0});
    b.EmptyTrack("Rotation", 1, {0, 0, 0});
    b.EmptyTrack("Scaling", 0, {1, 1, 1});
    b.EmptyTrack("Color", 0, {1, 1, 1, 1});
    b.EmptyTrack("UV", 1, {0, 0, 0});
    b.EmptyTrack("Rect", 0, {0, 0, 0, 0});
    b.Name("Animation").U32(0).U32(0).U32(0).U32(0);
    b.Name("Particle").U32(0).U32(0).U32(0).U32(1);
    b.EmptyTrack("Play", 0, {1});
    b.U32(60);
    b.F32(0).U8(0).Zeros(3).F32(0).V3(0, 0, 0);   // life, kind, radius, axis weights
    b.U32(0).U32(0).U32(0).U32(0).U32(0);         // sorted, billboard, blend, layer, word
    b.U32(1).U32(0).I32(0).U32(1);                // loop mode, flags, volume, rotation order
    b.U32(156).Zeros(156);
    b.U32(0);   // no trailing text

    const CEffectObject o;
    std::string record;
    o.AppendRecord(record);
    EXPECT_EQ(record, b.Str());
}

TEST_F(EffectFile, ANameOnlyPathIsTheContainersNameWithItsExtension)
{
    const auto made = MadeContainer();
    made->SetName((temp_ / "byname").c_str());
    ASSERT_EQ(made->Save(nullptr), 1u);
    CEffectContainer c;
    c.SetName((temp_ / "byname").c_str());
    ASSERT_EQ(c.Load(nullptr), 1u);
    EXPECT_EQ(c.GetObjectCount(), 2u);
    CEffectContainer missing;
    EXPECT_EQ(missing.Load((temp_ / "none.efc").c_str()), 0u);
    EXPECT_EQ(made->Save((temp_ / "no folder/x.efc").c_str()), 0u);
    EXPECT_TRUE(ReadBytes(temp_ / "no folder/x.efc").empty());
}

TEST_F(EffectFile, ObjectRecordsReadAndWriteOnAnOpenFile)
{
    const auto made = MadeContainer();
    auto file = host::kernel::OpenFile(path_, "wb");
    ASSERT_TRUE(file);
    ASSERT_EQ(made->GetObject(0)->Write(nullptr, file.get()), 1u);
    ASSERT_EQ(made->GetObject(1)->Write(nullptr, file.get()), 1u);
    file->Write("tail", 4);
    ASSERT_TRUE(file->Close());
    file = host::kernel::OpenFile(path_, "rb");
    CEffectObject a, b;
    ASSERT_EQ(a.Read(nullptr, file.get()), 1u);
    ASSERT_EQ(b.Read(nullptr, file.get()), 1u);
    char tail[4];
    ASSERT_EQ(file->Read(tail, 4), 4u);
    EXPECT_EQ(std::string(tail, 4), "tail");
    // A record cut short leaves the object as it was and the file where it
    // stood.
    const std::string cut = ReadBytes(path_).substr(0, 100);
    ASSERT_TRUE(WriteBytes(path_, cut));
    EXPECT_EQ(a.Read(path_.c_str(), nullptr), 0u);
    EXPECT_EQ(a.GetTraceCount(), 2u);
}

TEST_F(EffectFile, AnObjectReadOverAnotherTakesOnlyWhatItsRecordHolds)
{
    // A record whose particle block stops after the life: no trace count
    // stored, so no entries follow, and the trailing text's 0 ends it.
    CEffectObject plain;
    plain.SetName("plain");
    std::string record;
    plain.AppendRecord(record);
    const size_t block = record.size() - 4 - 156 - 4;
    ASSERT_EQ(record.substr(block, 4), Bytes().U32(156).Str());
    record.replace(block, 4 + 156, Bytes().U32(4).F32(0.5f).Str());

    CEffectObject parent;
    CEffectObject target;
    target.SetParentObject(&parent);
    CEffectTrace trace;
    trace.vertexCount = 4;
    ASSERT_EQ(target.AddTrace(trace), 1u);
    ASSERT_EQ(target.AddTrace(trace), 1u);
    target.GetParticleSettings().speed = 3.0f;
    size_t used = 0;
    ASSERT_EQ(target.ParseRecord(reinterpret_cast<const u8*>(record.data()), record.size(), &used), 1u);
    EXPECT_EQ(used, record.size());
    EXPECT_EQ(target.GetTraceCount(), 0u);
    EXPECT_EQ(target.GetParticleSettings().life, 0.5f);
    EXPECT_EQ(target.GetParticleSettings().speed, 3.0f) << "past the stored bytes the block keeps its values";
    EXPECT_EQ(target.GetParentObject(), nullptr) << "parent links are never read";
}

// Every cut of the golden file, and lengths and counts that promise more
// than the file holds, are refused; the container keeps what it had.
TEST_F(EffectFile, DamagedFilesAreRefusedWhole)
{
    const std::string golden = GoldenFile();
    auto refused = [](const std::string& bytes) {
        CEffectContainer c;
        c.SetName("unchanged");
        c.AddObject(effect_test::NewObject("held"));
        const u32 loaded = c.LoadFromMemory(bytes.data(), bytes.size());
        return loaded == 0 && c.GetObjectCount() == 1 && std::string(c.GetName()) == "unchanged";
    };
    for (size_t n = 0; n < golden.size(); ++n) EXPECT_TRUE(refused(golden.substr(0, n))) << "cut at " << n;

    // Offsets into the golden file: 14 the object count, 55 the Position
    // track's key count.
    const size_t particles = golden.find(GoldenParticles(1)) - 4;
    const size_t trace = particles + 4 + 156;
    struct Damage {
        const char* what;
        size_t at;
        u32 value;
    } damages[] = {
        {"container name length", 0, 0xFFFFFFF0u},
        {"object count one too many", 14, 2},
        {"position key count", 55, 0x10000000u},
        {"particle block size", particles, 0x7FFFFFFFu},
        {"trace count", particles + 4 + 152, 0x40000000u},
        {"trace name length", trace + 40, 0x7FFFFFFFu},
    };
    for (const Damage& d : damages) {
        std::string bytes = golden;
        ASSERT_LE(d.at + 4, bytes.size()) << d.what;
        for (int i = 0; i < 4; ++i) bytes[d.at + i] = char(u8(d.value >> (8 * i)));
        EXPECT_TRUE(refused(bytes)) << d.what;
    }
}

// The format sets no bound on a trace's vertex count: any count loads, is
// kept and is written back as stored (only the trail drawn is bounded).
TEST_F(EffectFile, EveryTraceVertexCountLoadsAndIsKept)
{
    const std::string golden = GoldenFile();
    const size_t count = golden.find(GoldenParticles(1)) + 156 + 36;
    for (const u32 vertices : {4096u, 4097u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(vertices);
        std::string bytes = golden;
        PutLe32(bytes.data() + count, vertices);
        CEffectContainer c;
        ASSERT_EQ(c.LoadFromMemory(bytes.data(), bytes.size()), 1u);
        EXPECT_EQ(c.GetObject(0)->GetTrace(0)->vertexCount, vertices);
        EXPECT_EQ(c.SaveToMemory(), bytes);
    }
}

TEST_F(EffectFile, StoredTextsAlwaysEndAndOddBlockSizesAreReadSafely)
{
    // A name whose stored bytes lack the NUL ends where they end.
    std::string golden = GoldenFile();
    std::string unended = golden;
    unended[4 + 9] = 'X';   // the container name's NUL
    CEffectContainer c;
    ASSERT_EQ(c.LoadFromMemory(unended.data(), unended.size()), 1u);
    EXPECT_STREQ(c.GetName(), "Efc_sparkX");
    // So does a track's name, the first's and the last's alike, and the
    // object reads on after it.
    for (const std::string track : {"Position", "Play"}) {
        SCOPED_TRACE(track);
        std::string bytes = golden;
        const size_t nul = bytes.find(track + '\0') + track.size();
        bytes[nul] = 'X';
        CEffectContainer t;
        ASSERT_EQ(t.LoadFromMemory(bytes.data(), bytes.size()), 1u);
        ASSERT_EQ(t.GetObjectCount(), 1u);
        const CEffectObject& o = *t.GetObject(0);
        const CResourceBase& named = track == "Play" ? static_cast<const CResourceBase&>(o.GetPlayTrack())
                                                     : static_cast<const CResourceBase&>(o.GetPositionTrack());
        EXPECT_EQ(named.GetName(), track + 'X');
        EXPECT_EQ(o.GetPositionTrack().GetAt(0)->value.end.x, 4.0f);
        EXPECT_EQ(o.GetTrace(0)->vertexCount, 16u);
        EXPECT_STREQ(o.GetTrailingText(), "note");
    }

    // A longer node block has its excess skipped; a shorter one keeps the
    // defaults past what it holds.
    const size_t node = golden.find(GoldenNode()) - 4;
    std::string longer = golden;
    longer.replace(node, 64, Bytes().U32(68).Raw(GoldenNode()).U32(0xDEADBEEF).U32(0xDEADBEEF).Str());
    CEffectContainer l;
    ASSERT_EQ(l.LoadFromMemory(longer.data(), longer.size()), 1u);
    EXPECT_EQ(l.GetObject(0)->GetNodeSettings().rotationOrder, 4u);
    EXPECT_EQ(l.GetObject(0)->GetParticleSettings().speed, 2.0f);
    std::string shorter = golden;
    shorter.replace(node, 64, Bytes().U32(8).Raw(GoldenNode().substr(0, 8)).Str());
    CEffectContainer s;
    ASSERT_EQ(s.LoadFromMemory(shorter.data(), shorter.size()), 1u);
    const EffectNodeSettings& n = s.GetObject(0)->GetNodeSettings();
    EXPECT_EQ((std::vector<f32>{n.life, f32(n.blendMode), f32(n.loopMode), f32(n.rotationOrder)}),
              (std::vector<f32>{2.5f, 0, 1, 1}));
}

// ------------------------------------------------------------------ binding

TEST(EffectBinding, TheKindFollowsTheResourceName)
{
    CTexture texture;
    CEffectContainer nested;
    struct Case {
        const char* name;
        CResourceBase* resource;
        u8 before;
        u8 kind;
    } cases[] = {
        {"a.PNG", nullptr, 3, kEffectKindTexture}, {"x\\a.dds", &texture, 2, kEffectKindTexture},
        {"ring.MDL", nullptr, 0, kEffectKindModel}, {"hit.OGG", nullptr, 0, kEffectKindSound},
        {"Efc_sub", &nested, 0, kEffectKindEffect}, {"Efc_sub", nullptr, 1, 1}, {"Efc_sub", &texture, 2, 2},
    };
    for (const Case& c : cases) {
        CEffectObject o;
        o.GetNodeSettings().resourceKind = c.before;
        o.SetResource(c.name, c.resource);
        EXPECT_EQ(o.GetResourceKind(), c.kind) << c.name;
    }
    // A resource of another class than the kind says is never handed out
    // as that kind.
    CEffectObject o;
    o.SetResource("Efc_sub", &texture);
    o.GetNodeSettings().resourceKind = kEffectKindSound;
    EXPECT_EQ(o.GetSound(), nullptr);
    EXPECT_EQ(o.GetResource(), &texture);
}

TEST(EffectBinding, ResourcesAreFoundByFileNameInTheListOfTheirKind)
{
    CResourceList textures(0, 0), models(0, 0), sounds(0, 0), effects(0, 0);
    CTexture spark, ribbon;
    CEffectContainer sub;
    spark.SetName("Data\\Texture\\spark.png");
    ribbon.SetName("ribbon.png");
    sub.SetName("Efc_sub");
    for (auto [list, resource] : {std::pair<CResourceList*, CValueBase*>{&textures, &spark}, {&textures, &ribbon},
                                  {&effects, &sub}}) {
        void* slot = resource;
        list->Add(&slot);
    }
    CEffectContainer c;
    CEffectObject* sprite = effect_test::NewObject("sprite");
    sprite->SetResource("spark.png", nullptr);
    CEffectObject* bare = effect_test::NewObject("bare");   // no resource: its trails still bind
    CEffectTrace trace;
    trace.SetTextureName("Texture\\ribbon.png");
    bare->AddTrace(trace);
    CEffectObject* nested = effect_test::NewObject("nested");
    nested->GetNodeSettings().resourceKind = kEffectKindEffect;
    nested->SetResource("Efc_sub", nullptr);
    CEffectObject* lost = effect_test::NewObject("lost");
    lost->SetResource("missing.wav", &spark);
    for (CEffectObject* o : {sprite, bare, nested, lost}) c.AddObject(o);

    ASSERT_EQ(c.BindResources(&models, &textures, &sounds, &effects), 1u);
    EXPECT_EQ(sprite->GetTexture(), &spark);
    EXPECT_EQ(bare->GetTrace(0)->texture, &ribbon);
    EXPECT_EQ(nested->GetEffect(), &sub);
    EXPECT_EQ(lost->GetResource(), nullptr);
    // Without a list of the kind the object stays as it was.
    sprite->BindResource(&ribbon);
    c.BindResources(&models, nullptr, &sounds, &effects);
    EXPECT_EQ(sprite->GetResource(), &ribbon);
}

TEST(EffectBinding, CopiesAreDeepAndKeepTheirParentLinksAmongThemselves)
{
    const std::string golden = GoldenFile();
    CEffectContainer c;
    ASSERT_EQ(c.LoadFromMemory(golden.data(), golden.size()), 1u);
    CEffectObject* child = effect_test::NewObject("child");
    child->SetParentObject(c.GetObject(0));
    c.AddObject(child);
    const CEffectContainer copy(c);
    ASSERT_EQ(copy.GetObjectCount(), 2u);
    EXPECT_EQ(copy.GetObject(1)->GetParentObject(), copy.GetObject(0));
    EXPECT_EQ(copy.GetObject(0)->GetTrailingText(), nullptr);
    EXPECT_NE(copy.GetObject(0)->GetTrace(0), c.GetObject(0)->GetTrace(0));
    EXPECT_STREQ(copy.GetObject(0)->GetTrace(0)->GetTextureName(), "trail.png");
    EXPECT_EQ(copy.GetObject(0)->GetColorTrack().GetCount(), 2u);
}

}  // namespace ORV_TEST_FILE_ID

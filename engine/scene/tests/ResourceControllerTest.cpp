// The resource controller on the fake device and the null sound output:
// resource lists laid out by hand and written by the controller, kinds told
// from paths, archives and their sounds, the scenes' sound step, and saving
// a list with its archives through the save chooser.
#include "engine/core/Crc32.h"
#include "engine/core/PackFile.h"
#include "engine/core/Scramble.h"
#include "engine/core/SoundPlayerBase.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DeviceTestSupport.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelBone.h"
#include "engine/model/ModelObject.h"
#include "engine/model/WriteMesh.h"
#include "engine/model/tests/XFileSamples.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Sound.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectObject.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/ResourceControllerFile.h"
#include "engine/scene/SceneResource.h"
#include "engine/scene/tests/SceneTestSupport.h"
#include "host/kernel/tests/TempFolder.h"
#include "host/sound/Sound.h"

#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <iterator>
#include <initializer_list>

namespace ORV_TEST_FILE_ID {

using namespace scene_test;

namespace {

// A 2 x 2 24-bit BMP.
std::string Bmp()
{
    Bytes b;
    b.Raw("BM").U32(54 + 16).U32(0).U32(54).U32(40).U32(2).U32(2).U8(1).U8(0).U8(24).U8(0).U32(0).U32(16)
        .U32(2835).U32(2835).U32(0).U32(0);
    for (int row = 0; row < 2; ++row) b.Raw("\x10\x20\x30\x40\x50\x60").Zeros(2);
    return b;
}

// A mono 16-bit WAV of 800 samples.
std::string Wav()
{
    Bytes b;
    b.Raw("RIFF").U32(36 + 1600).Raw("WAVE").Raw("fmt ").U32(16).U8(1).U8(0).U8(1).U8(0).U32(8000).U32(16000)
        .U8(2).U8(0).U8(16).U8(0).Raw("data").U32(1600);
    for (int i = 0; i < 800; ++i) b.U8(i).U8(i >> 2);
    return b;
}

// An effect file holding its name and no objects.
std::string Efc(const std::string& name) { return Bytes().Name(name).U32(0); }

std::string Sce(const std::string& name)
{
    return SceneFile(name, {LayerRecord("Logo", Settings(), "Menu.bmp", EmptyTracks())});
}

std::string Grc(u32 header, const std::vector<std::string>& records)
{
    Bytes b;
    b.U32(header);
    for (const std::string& r : records) b.Text(r, 260);
    return b.Text("EOF", 260);
}

// An effect of our own shader text: one parameter, one technique.
const std::string kShaderText = "shd 1\n"
                                "param float4x4 g_WorldMatrix\n"
                                "technique Version_20\n"
                                "  pass p0 vertex=vs fragment=fs\n"
                                "glsl vertex vs\n"
                                "void vs() { gl_Position = g_WorldMatrix * in_Position; }\n"
                                "glsl fragment fs\n"
                                "void fs() { host_Color = vec4(1.0); }\n";

std::string Scrambled(std::string bytes, u8 key)
{
    ScrambleBytes(key, bytes.data(), u32(bytes.size()));
    return bytes;
}

// A scrambled archive laid out by hand: seed byte, identifier and count, the
// 268-byte entries (name, size, offset), each field and entry scrambled on
// its own with seed ^ key; then the bodies, scrambled with identifier % 255.
std::string ScrambledPack(const std::vector<std::pair<std::string, std::string>>& items, u32 id, u8 seed, u8 key)
{
    const u8 headerKey = seed ^ key, dataKey = u8(id % 255);
    std::string head = std::string(1, char(seed)) + Scrambled(Bytes().U32(id), headerKey) +
                       Scrambled(Bytes().U32(u32(items.size())), headerKey);
    std::string bodies;
    u32 offset = 9 + 268 * u32(items.size());
    for (const auto& [name, body] : items) {
        head += Scrambled(Bytes().Text(name, 260).U32(u32(body.size())).U32(offset), headerKey);
        offset += u32(body.size());
        bodies += Scrambled(body, dataKey);
    }
    return head + bodies;
}

// Remembers what reaches LoadOther.
class Recorder : public CResourceController {
public:
    u32 LoadOther(CqelPackFile* pack, const char* path, u32) override
    {
        others.push_back(std::string(pack ? "pack:" : "") + path);
        return 1;
    }
    std::vector<std::string> others;
};

// The names of a list's resources in order, each also given to check.
template <typename T, typename Check>
std::vector<std::string> NamesIn(CResourceList* list, Check check)
{
    std::vector<std::string> out;
    for (u32 i = 0; i < list->GetCount(); ++i) {
        const T& r = *static_cast<T*>(static_cast<CValueBase*>(list->GetAt(i)));
        out.push_back(r.GetName());
        check(r);
    }
    return out;
}

CSoundBuffer* Sound(CResourceController& c, const char* name)
{
    return static_cast<CSoundBuffer*>(c.GetSoundList()->FindByName(name));
}

u32 WriteEmptyModel(const char*, const char* modelPath) { return WriteBytes(modelPath, CWriteMesh::Build(CMesh())); }

class Controller : public device_test::DeviceTest {
protected:
    void SetUp() override
    {
        host::sound::SetNullOutput(&null_);
        DeviceTest::SetUp();
        CreateDevice();
        ASSERT_EQ(sound_.Initialize(&system_), 1);
        // The working folder, as the save chooser puts it back.
        ASSERT_EQ(system_.SetCurrentDirToModule(folder_.Path().c_str()), 1);
        WriteBytes("Menu.bmp", Bmp());
        WriteBytes("Icon.bmp", Bmp());
        WriteBytes("Hit.wav", Wav());
        WriteBytes("Se.wav", Wav());
        WriteBytes("Bgm_title.wav", Wav());
        WriteBytes("Readme.txt", "text");
        ::mkdir("Scene", 0777);
        ::mkdir("Effect", 0777);
        ::mkdir("Data", 0777);
        WriteBytes("Scene/Title.sce", Sce("Title"));
        WriteBytes("Effect/Efc_a.efc", Efc("Efc_a"));
        const char* entries[] = {"Icon.bmp", "Bgm_title.wav", "Se.wav", "Readme.txt"};
        ASSERT_EQ(CqelPackFile::Write(entries, 4, "Data\\Pack.gpk"), 1u);
    }

    void TearDown() override
    {
        CResourceController::SetXFileConverter(nullptr);
        host::kernel::SetCurrentDirectory(cwd_);
        DeviceTest::TearDown();
        host::sound::SetNullOutput(nullptr);
    }

    const std::vector<std::string> kRecords = {"Menu.bmp", "Hit.wav", "Scene\\Title.sce", "Effect\\Efc_a.efc",
                                               "Data\\Pack.gpk", "notes.txt"};

    std::string cwd_ = host::kernel::GetCurrentDirectory();
    host::kernel::testing::TempFolder folder_;
    host::sound::NullOutput null_;
    CSound sound_;
};

}  // namespace

TEST_F(Controller, ReadsTheGoldenListRecordByRecord)
{
    // Bytes after the end record are not read.
    WriteBytes("Game.grc", Grc(0x1234, kRecords) + "junk");
    Recorder c;
    c.SetHeaderValue(0x1234);
    c.SetCheckHeader(1);
    ASSERT_EQ(c.Load("Game.grc", 1), 1u);
    EXPECT_STREQ(c.GetName(), "Game.grc");
    EXPECT_NE(c.GetTextureList()->FindByName("Menu.bmp"), nullptr);
    EXPECT_NE(c.GetTextureList()->FindByName("Icon.bmp"), nullptr);
    EXPECT_EQ(c.GetSoundList()->GetCount(), 3u);
    EXPECT_EQ(c.GetPackList()->GetCount(), 1u);
    EXPECT_NE(c.GetSceneList()->FindByName("Title"), nullptr);
    EXPECT_NE(c.GetEffectList()->FindByName("Efc_a"), nullptr);
    EXPECT_EQ(c.others, (std::vector<std::string>{"pack:Readme.txt", "notes.txt"}));

    // Media off: media records and archive entries are left to LoadOther or
    // not read at all; the archive is registered all the same.
    Recorder off;
    ASSERT_EQ(off.Load("Game.grc", 0), 1u);
    EXPECT_EQ(off.GetTextureList()->GetCount() + off.GetSoundList()->GetCount(), 0u);
    EXPECT_EQ(off.GetPackList()->GetCount(), 1u);
    EXPECT_EQ(off.GetSceneList()->GetCount(), 1u);
    EXPECT_EQ(off.others, (std::vector<std::string>{"Menu.bmp", "Hit.wav", "notes.txt"}));

    // The list file writer lays out the same bytes.
    CResourceControllerFile file;
    file.header = 0x1234;
    file.records = kRecords;
    std::string built;
    ASSERT_TRUE(file.Build(built));
    EXPECT_EQ(built, Grc(0x1234, kRecords));
}

// A damaged list loads its whole records in turn up to the damage and
// answers 0, as a failing record does: what loaded stays, the list's name is
// not taken. A header that differs loads nothing.
TEST_F(Controller, ADamagedListLoadsItsWholeRecordsAndAnswers0)
{
    const std::string golden = Grc(7, kRecords);
    std::string unterminated = golden;
    std::fill(unterminated.begin() + 4 + 260, unterminated.begin() + 4 + 520, 'A');
    const struct {
        const char* what;
        std::string bytes;
        u32 check;
        u32 textures, sounds, scenes, effects, packs;
    } damaged[] = {
        // Menu.bmp and the archive's Icon.bmp; Hit.wav and the archive's two.
        {"no end record", golden.substr(0, golden.size() - 260), 0, 2, 3, 1, 1, 1},
        {"an end record cut short", golden.substr(0, golden.size() - 1), 0, 2, 3, 1, 1, 1},
        {"a record cut short", golden.substr(0, 4 + 3 * 260 + 100), 0, 1, 1, 1, 0, 0},
        {"a record without its NUL", unterminated, 0, 1, 0, 0, 0, 0},
        {"header alone", golden.substr(0, 4), 0, 0, 0, 0, 0, 0},
        {"header cut short", golden.substr(0, 3), 0, 0, 0, 0, 0, 0},
        {"another header", golden, 1, 0, 0, 0, 0, 0},
    };
    for (const auto& d : damaged) {
        SCOPED_TRACE(d.what);
        WriteBytes("Bad.grc", d.bytes);
        CResourceController c;
        c.SetHeaderValue(8);
        c.SetCheckHeader(d.check);
        EXPECT_EQ(c.Load("Bad.grc", 1), 0u);
        EXPECT_EQ(c.GetName(), nullptr);
        EXPECT_EQ(c.GetTextureList()->GetCount(), d.textures);
        EXPECT_EQ(c.GetSoundList()->GetCount(), d.sounds);
        EXPECT_EQ(c.GetSceneList()->GetCount(), d.scenes);
        EXPECT_EQ(c.GetEffectList()->GetCount(), d.effects);
        EXPECT_EQ(c.GetPackList()->GetCount(), d.packs);
    }
    for (size_t n = 0; n < golden.size(); n += 37) EXPECT_FALSE(CResourceControllerFile().Parse(golden.data(), n)) << n;
    // A header that differs is only refused when asked to be.
    WriteBytes("Other.grc", golden);
    CResourceController lax;
    lax.SetHeaderValue(8);
    EXPECT_EQ(lax.Load("Other.grc", 0), 1u);

    // A failing record ends the read; what loaded before stays.
    WriteBytes("Missing.grc", Grc(0, {"Menu.bmp", "Gone.bmp", "Hit.wav"}));
    CResourceController partial;
    EXPECT_EQ(partial.Load("Missing.grc", 1), 0u);
    EXPECT_EQ(partial.GetTextureList()->GetCount(), 1u);
    EXPECT_EQ(partial.GetSoundList()->GetCount(), 0u);
    EXPECT_EQ(partial.GetName(), nullptr);
}

// Misses callers remember hold only until the next load (which may bring
// the file, as a pack does) or release: then the file is looked for again.
TEST_F(Controller, ALoadOrReleaseForgetsTheRememberedMisses)
{
    const struct {
        const char* what;
        u32 (*forget)(CResourceController&);
    } cases[] = {
        {"pack", [](CResourceController& c) { return c.Load("Data\\Pack.gpk", 1); }},
        {"texture", [](CResourceController& c) { return c.Load("Menu.bmp", 1); }},
        {"missing file", [](CResourceController& c) { return u32(c.Load("Gone.wav", 1) == 0); }},
        {"release", [](CResourceController& c) { return u32(c.Release()); }},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        CResourceController c;
        c.RememberMiss(CResourceController::kListSounds, "Se.wav");
        c.RememberMiss(CResourceController::kListEffects, "Effect\\Efc_b.efc");
        ASSERT_TRUE(c.IsKnownMiss(CResourceController::kListSounds, "Se.wav"));
        EXPECT_FALSE(c.IsKnownMiss(CResourceController::kListTextures, "Se.wav"));   // by kind
        ASSERT_EQ(k.forget(c), 1u);
        EXPECT_FALSE(c.IsKnownMiss(CResourceController::kListSounds, "Se.wav"));
        EXPECT_FALSE(c.IsKnownMiss(CResourceController::kListEffects, "Effect\\Efc_b.efc"));
    }
    // The pack brought what was missed.
    CResourceController c;
    c.RememberMiss(CResourceController::kListSounds, "Se.wav");
    ASSERT_EQ(c.Load("Data\\Pack.gpk", 1), 1u);
    EXPECT_NE(Sound(c, "Se.wav"), nullptr);
}

TEST_F(Controller, KindsAreToldFromThePathText)
{
    WriteBytes("Both.png.sce", Bmp());
    WriteBytes("Glow.fx", kShaderText);
    WriteBytes("Bad.fx", "not a shader");
    WriteBytes("Tri.x", xfile_test::kTriangle);
    WriteBytes("Ship.mdl", CWriteMesh::Build(CMesh()));
    WriteBytes("Wing.fx", kShaderText);
    // A model whose name also holds a sound's text, among sounds' runs.
    WriteBytes("Horn.wav.mdl", CWriteMesh::Build(CMesh()));
    WriteBytes("Horn.wav", Wav());
    const char* entries[] = {"Ship.mdl", "Horn.wav", "Horn.wav.mdl", "Wing.fx"};
    ASSERT_EQ(CqelPackFile::Write(entries, 4, "Data\\Model.gpk"), 1u);
    for (const char* entry : entries) ::remove(entry);
    Recorder c;
    EXPECT_EQ(c.Load(nullptr, 1), 0u);
    // The texture texts are looked for first.
    EXPECT_EQ(c.Load("Both.png.sce", 1), 1u);
    EXPECT_EQ(c.GetTextureList()->GetCount(), 1u);
    EXPECT_EQ(c.GetSceneList()->GetCount(), 0u);
    EXPECT_EQ(c.Load("Scene\\Title.sce", 1), 1u);
    EXPECT_EQ(c.Load("Scene\\Title.sce", 1), 1u);   // scenes are not looked up by name
    EXPECT_EQ(c.GetSceneList()->GetCount(), 2u);
    EXPECT_EQ(c.Load("Readme.txt", 1), 1u);
    EXPECT_EQ(c.others, (std::vector<std::string>{"Readme.txt"}));
    EXPECT_EQ(c.Load("Missing.wav", 1), 0u);
    ASSERT_EQ(c.Load("Glow.fx", 1), 1u);
    ASSERT_EQ(c.Load("Glow.fx", 1), 1u);
    EXPECT_EQ(c.Load("Bad.fx", 1), 0u);
    EXPECT_EQ(c.GetShaderList()->GetCount(), 1u);

    // Without a converter set, a DirectX file goes through the engine's own.
    ASSERT_EQ(c.Load("Tri.x", 1), 1u);
    auto* mesh = static_cast<CMesh*>(c.GetModelList()->FindByName("Tri.mdl"));
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetModelObjectCount(), 1u);
    EXPECT_EQ(c.Load("Ship.x", 1), 0u);
    // A set converter writes the file loaded as ".mdl".
    CResourceController::SetXFileConverter(&WriteEmptyModel);
    EXPECT_EQ(c.Load("Ship.x", 1), 1u);
    EXPECT_NE(c.GetModelList()->FindByName("Ship.mdl"), nullptr);
    EXPECT_EQ(c.Load("Ship.mdl", 1), 1u);
    EXPECT_EQ(c.GetModelList()->GetCount(), 2u);

    // From an archive, each by its entry name.
    Recorder a;
    ASSERT_EQ(a.Load("Data\\Model.gpk", 1), 1u);
    EXPECT_NE(a.GetModelList()->FindByName("Ship.mdl"), nullptr);
    EXPECT_NE(a.GetShaderList()->FindByName("Wing.fx"), nullptr);
    EXPECT_NE(a.GetModelList()->FindByName("Horn.wav.mdl"), nullptr);
    EXPECT_EQ(a.GetModelList()->GetCount(), 2u);
    EXPECT_EQ(a.GetSoundList()->GetCount(), 1u);
    EXPECT_NE(a.GetSoundList()->FindByName("Horn.wav"), nullptr);

    const std::pair<u32, CResourceList*> lists[] = {{0, c.GetPackList()}, {1, c.GetModelList()},
        {2, c.GetTextureList()}, {3, nullptr}, {4, c.GetShaderList()}, {5, c.GetSoundList()},
        {6, c.GetEffectList()}, {7, c.GetSceneList()}, {8, nullptr}};
    for (const auto& [kind, list] : lists) EXPECT_EQ(c.GetList(kind), list) << kind;
}

// A model with a bone "Fin" on the vertices (2, 0, 0), (4, 0, 0), (2, 2, 0)
// and a one-link swinging chain "Tail" jointed at (3, 1, 0) on vertices
// whose mean, (3, -1, 0), hangs straight below the joint.
std::string FinAndTailModel()
{
    CMesh mesh;
    auto* object = new CModelObject();
    object->SetName("Body");
    CModelVertexList& v = *object->GetVertexList();
    v.Resize(6);
    v.FormatFlags = 0x3;
    v.Stride = CModelVertexFormat::GetStride(0x3);
    const CVector3 points[] = {{2, 0, 0}, {4, 0, 0}, {2, 2, 0}, {2, -1, 0}, {4, -1, 0}, {3, -1, 0}};
    for (u32 i = 0; i < 6; ++i) v.GetAt(i)->Position = points[i];
    const u32 indices[] = {0, 1, 2, 3, 4, 5};
    object->GetIndexList()->Indices.SetArray(indices, 6);
    const CPoint2 range{0, 6};
    object->GetIndexList()->Ranges.SetArray(&range, 1);
    AppendElement(mesh.GetModelObjects(), object);
    const auto bone = [&](const char* name, const char* parent, std::initializer_list<CBoneInfluence> influences) {
        auto* b = new CModelBone();
        b->SetName(name);
        b->SetParentName(parent);
        b->Influences.SetArray(influences.begin(), u32(influences.size()));
        AppendElement(mesh.GetBones(), b);
        return b;
    };
    bone("root", nullptr, {});
    bone("Fin", "root", {{0, 0, 1.0f}, {0, 1, 1.0f}, {0, 2, 1.0f}});
    CModelBone* tail = bone("Tail", "root", {{0, 3, 1.0f}, {0, 4, 1.0f}, {0, 5, 1.0f}});
    tail->Transform.m[3][0] = 3;
    tail->Transform.m[3][1] = 1;
    tail->LinkValues[0] = 1;
    tail->LinkValues[1] = std::bit_cast<u32>(1.0f);
    return CWriteMesh::Build(mesh);
}

// Models the controller loads, from a file or an archive, come posed with
// their bone spheres, so a swinging chain swings about its own joint: the
// tail hangs straight down, so gravity leaves it be and the wind along +z
// swings it in the plane x = 3 through its joint.
TEST_F(Controller, ModelsComePosedWithBoneSpheresAndTheirChainsSwing)
{
    ASSERT_TRUE(WriteBytes("Fin.mdl", FinAndTailModel()));
    const char* entries[] = {"Fin.mdl"};
    ASSERT_EQ(CqelPackFile::Write(entries, 1, "Data\\Fin.gpk"), 1u);
    CResourceController c;
    ASSERT_EQ(c.Load("Fin.mdl", 1), 1u);
    CResourceController a;
    ASSERT_EQ(a.Load("Data\\Fin.gpk", 1), 1u);
    SetFrameTime(16);
    for (CResourceController* controller : {&c, &a}) {
        const std::string from = controller == &c ? "file" : "archive";
        auto* mesh = static_cast<CMesh*>(controller->GetModelList()->FindByName("Fin.mdl"));
        ASSERT_NE(mesh, nullptr) << from;
        ASSERT_EQ(mesh->GetBoneCount(), 3u);
        EXPECT_NE(mesh->GetAnimationController(), nullptr) << from;
        const CSphere& fin = mesh->GetBone(1)->BoneSphere;
        EXPECT_NEAR(fin.centre.x, 8.0f / 3.0f, 1e-5f) << from;
        EXPECT_NEAR(fin.centre.y, 2.0f / 3.0f, 1e-5f) << from;
        EXPECT_EQ(fin.centre.z, 0.0f) << from;
        EXPECT_NEAR(fin.radius, 1.4907120f, 1e-5f) << from;
        const CModelBone* tail = mesh->GetBone(2);
        EXPECT_NEAR(tail->Position.x, 3.0f, 1e-6f) << from;   // the bind pose
        EXPECT_NEAR(tail->Position.y, 1.0f, 1e-6f) << from;
        EXPECT_NEAR(tail->BoneSphere.radius, 1.0f, 1e-5f) << from;

        CAnimationController* swing = mesh->CreateAnimationController();
        ASSERT_NE(swing, nullptr);
        ASSERT_EQ(swing->ResetModelPose(), 1);
        swing->SetDirection(CVector3(0, 0, 1));
        const CAnimationFrame& frame = *swing->GetFrameByName("Tail");
        CVector3 tip;
        for (int i = 0; i < 30; ++i) {
            swing->AdvanceTime(0.016f);
            swing->UpdateMatrices(nullptr);
            CVector3(3, -1, 0).TransformedCoord(&tip, frame.SkinMatrix);
            EXPECT_NEAR((tip - CVector3(3, 1, 0)).Length(), 2.0f, 1e-4f) << from << " " << i;
            EXPECT_NEAR(tip.x, 3.0f, 1e-4f) << from << " " << i;
        }
        EXPECT_GT(tip.z, 0.05f) << from;
        swing->Destroy();
    }
    SetFrameTime(0);
}

TEST_F(Controller, SoundsGetVoicesTheyCanPlay)
{
    CResourceController c;
    ASSERT_EQ(c.Load("Hit.wav", 1), 1u);
    ASSERT_EQ(c.Load("Hit.wav", 1), 1u);
    ASSERT_EQ(c.GetSoundList()->GetCount(), 1u);
    EXPECT_EQ(Sound(c, "Hit.wav")->GetVoiceCount(), 1u);

    // Archive sounds: music gets one voice whatever the count.
    const struct {
        u32 panSounds, plainMusic, voices;
        u32 musicFlags, soundFlags, soundVoices;
    } cases[] = {
        {1, 1, 10, 0, 0x42, 10},
        {0, 0, 3, 0x100, 0x12, 3},
        {1, 1, 0, 0, 0x42, 1},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.voices);
        CResourceController p;
        p.SetPanSounds(k.panSounds);
        p.SetPlainMusic(k.plainMusic);
        p.SetSoundVoices(k.voices);
        ASSERT_EQ(p.LoadPack("Data\\Pack.gpk", 1), 1u);
        CSoundBuffer *music = Sound(p, "Bgm_title.wav"), *se = Sound(p, "Se.wav");
        ASSERT_TRUE(music && se);
        EXPECT_EQ(std::pair(music->GetVoiceCount(), music->GetBufferFlags()), std::pair(1u, k.musicFlags));
        EXPECT_EQ(std::pair(se->GetVoiceCount(), se->GetBufferFlags()), std::pair(k.soundVoices, k.soundFlags));
    }
    CResourceController none;
    EXPECT_EQ(none.LoadPack("Data\\None.gpk", 1), 0u);
    EXPECT_EQ(none.GetPackList()->GetCount(), 0u);
}

// Sounds are set up side by side too, and kept as the walk reaches them: in
// the archive's order, one already listed by name kept as it was, and none
// from the damaged one on.
TEST_F(Controller, AnArchivesSoundsAreKeptInItsOrderUpToADamagedOne)
{
    for (const char* name : {"A.wav", "B.wav", "C.wav"}) WriteBytes(name, Wav());
    WriteBytes("Bad.wav", Wav().substr(0, 30));
    const char* good[] = {"C.wav", "Menu.bmp", "Hit.wav", "A.wav", "Bgm_title.wav", "B.wav"};
    ASSERT_EQ(CqelPackFile::Write(good, 6, "Data\\Sounds.gpk"), 1u);
    const char* bad[] = {"A.wav", "B.wav", "Bad.wav", "C.wav"};
    ASSERT_EQ(CqelPackFile::Write(bad, 4, "Data\\BadSounds.gpk"), 1u);
    const auto names = [](CResourceController& c) {
        return NamesIn<CSoundBuffer>(c.GetSoundList(),
                                     [](const CSoundBuffer& s) { EXPECT_EQ(s.GetDataSize(), 1600u) << s.GetName(); });
    };

    CResourceController c;
    ASSERT_EQ(c.Load("Hit.wav", 1), 1u);
    const CSoundBuffer* hit = Sound(c, "Hit.wav");
    ASSERT_EQ(c.Load("Data\\Sounds.gpk", 1), 1u);
    EXPECT_EQ(names(c), (std::vector<std::string>{"Hit.wav", "C.wav", "A.wav", "Bgm_title.wav", "B.wav"}));
    EXPECT_EQ(Sound(c, "Hit.wav"), hit);
    EXPECT_EQ(hit->GetBufferFlags(), CSoundBuffer::kBufferStatic);
    EXPECT_EQ(Sound(c, "Bgm_title.wav")->GetBufferFlags() & CSoundBuffer::kBufferStatic, 0u);
    EXPECT_NE(Sound(c, "B.wav")->GetBufferFlags() & CSoundBuffer::kBufferStatic, 0u);

    CResourceController damaged;
    EXPECT_EQ(damaged.Load("Data\\BadSounds.gpk", 1), 0u);
    EXPECT_EQ(names(damaged), (std::vector<std::string>{"A.wav", "B.wav"}));
}

// An archive cut short loads what it holds: a sound or picture whose end is
// gone reads as zeros there and loads at its full size; one cut inside its
// header fails as any damaged entry does, those before it kept.
TEST_F(Controller, AnArchiveCutShortLoadsItsEntriesAsFarAsTheyGo)
{
    const char* soundLast[] = {"Menu.bmp", "Hit.wav"};
    ASSERT_EQ(CqelPackFile::Write(soundLast, 2, "Data\\SoundLast.gpk"), 1u);
    const char* pictureLast[] = {"Hit.wav", "Menu.bmp"};
    ASSERT_EQ(CqelPackFile::Write(pictureLast, 2, "Data\\PictureLast.gpk"), 1u);
    const std::string sounds = ReadBytes("Data/SoundLast.gpk"), pictures = ReadBytes("Data/PictureLast.gpk");
    const struct {
        const char* what;
        std::string bytes;
        u32 loaded;
        u32 textures, sounds;
    } cases[] = {
        {"a sound's last sample gone", sounds.substr(0, sounds.size() - 1), 1, 1, 1},
        {"a picture's last row gone", pictures.substr(0, pictures.size() - 8), 1, 1, 1},
        {"a sound cut in its header", sounds.substr(0, sounds.size() - Wav().size() + 20), 0, 1, 0},
        {"a picture cut in its header", pictures.substr(0, pictures.size() - Bmp().size() + 20), 0, 0, 1},
    };
    for (const auto& c : cases) {
        WriteBytes("Data/Short.gpk", c.bytes);
        CResourceController r;
        EXPECT_EQ(r.Load("Data\\Short.gpk", 1), c.loaded) << c.what;
        EXPECT_EQ(r.GetTextureList()->GetCount(), c.textures) << c.what;
        EXPECT_EQ(r.GetSoundList()->GetCount(), c.sounds) << c.what;
        if (const CSoundBuffer* hit = Sound(r, "Hit.wav")) {
            EXPECT_EQ(hit->GetDataSize(), 1600u) << c.what;
        }
        if (auto* menu = static_cast<CTexture*>(static_cast<CValueBase*>(r.GetTextureList()->FindByName("Menu.bmp")))) {
            EXPECT_EQ(menu->GetWidth(), 2u) << c.what;
        }
    }
}

// A small archive whose entries are WAV headers stating bodies past its end
// makes the controller hold no more than the archive's budget of zeros, whether
// its sounds are decoded side by side or loaded one after another (last
// first); an entry past the budget is refused alone, those before it stay.
TEST_F(Controller, AnArchiveOfBodiesPastItsEndCostsAboutItsOwnSize)
{
    // Each entry a 44-byte 8-bit WAV header stating the rest of its size.
    const auto archive = [](const std::vector<u32>& sizes) {
        Bytes head, bodies;
        head.U32(u32(sizes.size()));
        u32 offset = 4 + 268 * u32(sizes.size());
        for (size_t i = 0; i < sizes.size(); ++i) {
            head.Text("S" + std::to_string(i) + ".wav", 260).U32(sizes[i]).U32(offset + 44 * u32(i));
            bodies.Raw("RIFF").U32(sizes[i] - 8).Raw("WAVE").Raw("fmt ").U32(16).U8(1).U8(0).U8(1).U8(0).U32(8000)
                .U32(8000).U8(1).U8(0).U8(8).U8(0).Raw("data").U32(sizes[i] - 44);
        }
        return head.Str() + bodies.Str();
    };
    // The zeros of entry i of n: the headers after its own lie inside the
    // file, the rest of its size past the end.
    const auto zeros = [](const std::vector<u32>& sizes, size_t i) { return sizes[i] - 44 * (sizes.size() - i); };
    const auto fitting = [&](const std::vector<u32>& sizes) {
        const u64 budget = PackZeroBudget(4 + (268 + 44) * sizes.size());
        u32 n = 0;
        for (u64 used = 0; n < sizes.size() && (used += zeros(sizes, n)) <= budget;) ++n;
        return n;
    };
    // Twenty entries: nineteen of 48 KiB, the last filling the budget to
    // its own value or one past it; then a hundred of 64 KiB.
    std::vector<u32> atBudget(20, 48 << 10);
    u64 left = PackZeroBudget(4 + (268 + 44) * 20);
    for (size_t i = 0; i < 19; ++i) left -= zeros(atBudget, i);
    atBudget.back() = u32(left + 44);
    std::vector<u32> pastBudget = atBudget;
    ++pastBudget.back();
    const std::vector<u32> many(100, 64 << 10);
    const struct {
        const char* what;
        std::vector<u32> sizes;
        u32 loaded;   // the first ones of the directory
    } cases[] = {
        {"at the budget", atBudget, 20},
        {"one past the budget", pastBudget, 19},
        {"many entries", many, fitting(many)},
    };
    EXPECT_EQ(fitting(atBudget), 20u);
    EXPECT_EQ(fitting(many), 17u);
    for (const auto& c : cases) {
        WriteBytes("Data/Past.gpk", archive(c.sizes));
        u64 expected = 0;
        for (u32 i = 0; i < c.loaded; ++i) expected += c.sizes[i] - 44;
        for (const bool sideBySide : {true, false}) {
            const std::string what = std::string(c.what) + (sideBySide ? ", side by side" : ", one after another");
            CResourceController r;
            if (sideBySide) {
                EXPECT_EQ(r.Load("Data\\Past.gpk", 1), c.loaded == c.sizes.size() ? 1u : 0u) << what;
            } else {
                ASSERT_EQ(r.LoadPack("Data\\Past.gpk", 0), 1u) << what;
                auto* pack = static_cast<CqelPackFile*>(static_cast<CValueBase*>(r.GetPackList()->GetAt(0)));
                for (u32 i = u32(c.sizes.size()); i-- > 0;)
                    EXPECT_EQ(r.LoadSound(pack, ("S" + std::to_string(i) + ".wav").c_str()), i < c.loaded ? 1u : 0u)
                        << what << ": " << i;
            }
            u64 held = 0;
            for (u32 i = 0; i < r.GetSoundList()->GetCount(); ++i)
                held += static_cast<CSoundBuffer*>(static_cast<CValueBase*>(r.GetSoundList()->GetAt(i)))->GetDataSize();
            EXPECT_EQ(r.GetSoundList()->GetCount(), c.loaded) << what;
            EXPECT_EQ(held, expected) << what;
            EXPECT_NE(Sound(r, ("S" + std::to_string(c.loaded - 1) + ".wav").c_str()), nullptr) << what;
        }
    }
}

TEST_F(Controller, ScenesServiceTheControllersSounds)
{
    {
        WriteBytes("Sounds.grc", Grc(0, {"Hit.wav", "Data\\Pack.gpk"}));
        CResourceController c;
        ASSERT_EQ(c.Load("Sounds.grc", 1), 1u);
        ASSERT_EQ(GetSoundPlayerList(), c.GetSoundList());
        CSoundBuffer* hit = Sound(c, "Hit.wav");
        ASSERT_NE(hit, nullptr);
        ASSERT_NE(hit->Play(0, 0.0f, 1), CSoundBuffer::kNoVoice);
        u32 last = 0;
        EXPECT_EQ(CSceneResource().SoundStep(1, &last), 1);
        EXPECT_EQ(hit->GetVoice(0)->muted, 1u);
    }
    EXPECT_EQ(GetSoundPlayerList(), nullptr);
}

TEST_F(Controller, AnEffectNamedAsOneListedIsDropped)
{
    WriteBytes("Effect/Copy.efc", Efc("Efc_a"));
    WriteBytes("Effect/Full.efc", Bytes().Name("Efc_b").U32(1).Zeros(64));
    CResourceController c;
    ASSERT_EQ(c.Load("Effect\\Efc_a.efc", 1), 1u);
    auto* first = c.GetEffectList()->FindByName("Efc_a");
    EXPECT_EQ(c.Load("Effect\\Copy.efc", 1), 1u);
    EXPECT_EQ(c.GetEffectList()->FindByName("Efc_a"), first);
    EXPECT_EQ(c.Load("Effect\\Full.efc", 1), 0u);
    EXPECT_EQ(c.Load("Effect\\Missing.efc", 1), 0u);
    EXPECT_EQ(c.GetEffectList()->GetCount(), 1u);
}

// A list naming an effect whose trail asks for more vertices than a trail
// draws loads whole, at the limit and past it.
TEST_F(Controller, AListNamingAnEffectWithALongTrailLoads)
{
    for (const u32 vertices : {4096u, 4098u}) {
        SCOPED_TRACE(vertices);
        CEffectContainer made;
        made.SetName("Efc_long");
        auto* object = new CEffectObject();
        CEffectTrace trace;
        trace.vertexCount = vertices;
        object->AddTrace(trace);
        made.AddObject(object);
        WriteBytes("Effect/Efc_long.efc", made.SaveToMemory());
        WriteBytes("Long.grc", Grc(0, {"Effect\\Efc_long.efc", "Hit.wav"}));
        CResourceController c;
        ASSERT_EQ(c.Load("Long.grc", 1), 1u);
        auto* loaded = static_cast<CEffectContainer*>(c.GetEffectList()->FindByName("Efc_long"));
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(loaded->GetObject(0)->GetTrace(0)->vertexCount, vertices);
        EXPECT_EQ(c.GetSoundList()->GetCount(), 1u) << "the records after it load too";
    }
}

TEST_F(Controller, SaveGrcWritesTheListAndItsArchives)
{
    CResourceController c;
    c.SetHeaderValue(0x55);
    EXPECT_EQ(c.SaveGrc(nullptr, 0), 0u);
    // Cancelled: nothing written, no name taken.
    fakeWindow_->AnswerFileDialogs({""});
    EXPECT_EQ(c.SaveGrc(&system_, 0), 0u);
    EXPECT_EQ(c.GetName(), nullptr);
    EXPECT_TRUE(fakeWindow_->FileDialogs().back().save);

    // Nothing loaded: every archive is written, empty.
    const std::string path = folder_ / "Out.grc";
    fakeWindow_->AnswerFileDialogs({path});
    ASSERT_EQ(c.SaveGrc(&system_, 0), 1u);
    EXPECT_STREQ(c.GetName(), path.c_str());
    const std::vector<std::string> media = {"Data\\Texture.gpk", "Data\\Shader.gpk", "Data\\Mesh.gpk",
                                            "Data\\Sound.gpk"};
    EXPECT_EQ(ReadBytes(path), Grc(0x55, media));

    // Loaded media are gathered and packed; effects and layouts get files.
    CResourceController::SetXFileConverter(&WriteEmptyModel);
    for (const char* p : {"Menu.bmp", "Hit.wav", "Ship.x", "Effect\\Efc_a.efc", "Scene\\Title.sce"})
        ASSERT_EQ(c.Load(p, 1), 1u) << p;
    // With a name and no asking, no chooser.
    const size_t dialogs = fakeWindow_->FileDialogs().size();
    ASSERT_EQ(c.SaveGrc(&system_, 0), 1u);
    EXPECT_EQ(fakeWindow_->FileDialogs().size(), dialogs);
    std::vector<std::string> records = media;
    records.insert(records.end(), {"Effect\\Efc_a.efc", "Scene\\Title.sce"});
    EXPECT_EQ(ReadBytes(path), Grc(0x55, records));
    EXPECT_EQ(ReadBytes("Texture/Menu.bmp"), Bmp());

    // What was written loads back, media from their archives.
    Recorder again;
    ASSERT_EQ(again.Load(path.c_str(), 1), 1u);
    EXPECT_NE(again.GetTextureList()->FindByName("Texture\\Menu.bmp"), nullptr);
    EXPECT_NE(again.GetSoundList()->FindByName("Sound\\Hit.wav"), nullptr);
    EXPECT_NE(again.GetModelList()->FindByName("Mesh\\Ship.mdl"), nullptr);
    EXPECT_NE(again.GetEffectList()->FindByName("Efc_a"), nullptr);
    EXPECT_NE(again.GetSceneList()->FindByName("Title"), nullptr);
    EXPECT_EQ(again.GetPackList()->GetCount(), 4u);

    // A medium whose file is gone fails its archive: the old list stays.
    const std::string before = ReadBytes(path);
    WriteBytes("Lost.bmp", Bmp());
    ASSERT_EQ(c.Load("Lost.bmp", 1), 1u);
    ::remove("Lost.bmp");
    EXPECT_EQ(c.SaveGrc(&system_, 0), 0u);
    EXPECT_EQ(ReadBytes(path), before);
}

// The list file is the save: where it cannot be made, no archive or medium
// copy is written; where it can, the check leaves nothing behind.
TEST_F(Controller, AListThatCannotBeWrittenWritesNoArchive)
{
    CResourceController c;
    ASSERT_EQ(c.Load("Menu.bmp", 1), 1u);
    WriteBytes("Data/Texture.gpk", "old archive");
    ::mkdir("Out.grc", 0777);
    const auto names = [] {
        std::vector<std::string> all;
        for (const auto& e : std::filesystem::recursive_directory_iterator(".")) all.push_back(e.path().string());
        std::sort(all.begin(), all.end());
        return all;
    };
    const std::vector<std::string> before = names();
    for (const std::string& path : {std::string("NoSuchFolder\\Out.grc"), folder_ / "NoSuchFolder\\Out.grc",
                                    folder_ / "Out.grc", folder_.Path() + "\\"}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(c.SetName(path.c_str()));
        EXPECT_EQ(c.SaveGrc(&system_, 0), 0u);
        EXPECT_EQ(names(), before);
        EXPECT_EQ(ReadBytes("Data/Texture.gpk"), "old archive");
    }

    const std::string path = folder_ / "List.grc";
    ASSERT_TRUE(c.SetName(path.c_str()));
    ASSERT_EQ(c.SaveGrc(&system_, 0), 1u);
    EXPECT_NE(ReadBytes("Data/Texture.gpk"), "old archive");
    std::vector<std::string> after = names(), added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    EXPECT_EQ(added, (std::vector<std::string>{"./Data/Mesh.gpk", "./Data/Shader.gpk", "./Data/Sound.gpk",
                                               "./List.grc", "./Mesh", "./Shader", "./Sound", "./Texture",
                                               "./Texture/Menu.bmp"}));
}

TEST_F(Controller, ScrambledArchivesAreRegisteredAndRead)
{
    const u32 id = Crc32String("SEPACK");
    const std::vector<std::pair<std::string, std::string>> items = {
        {"Vocal_01.wav", Wav()}, {"Se\\Swing.wav", Wav()}, {"Glow.fx", kShaderText}, {"Note.txt", "x"}};
    WriteBytes("Se.gpk", ScrambledPack(items, id, 0x21, kPackKeyFirst));

    // Another key or identifier opens nothing and registers nothing.
    Recorder c;
    c.SetSoundVoices(4);
    c.SetPlainMusic(0);
    c.SetPanSounds(0);
    EXPECT_EQ(c.LoadScrambledPack("Se.gpk", id, kPackKeySecond, 1), 0u);
    EXPECT_EQ(c.LoadScrambledPack("Se.gpk", id + 1, kPackKeyFirst, 1), 0u);
    EXPECT_EQ(c.GetPackList()->GetCount(), 0u);

    ASSERT_EQ(c.LoadScrambledPack("Se.gpk", id, kPackKeyFirst, 1), 1u);
    EXPECT_EQ(c.GetPackList()->GetCount(), 1u);
    CSoundBuffer *vocal = Sound(c, "Vocal_01.wav"), *swing = Sound(c, "Se\\Swing.wav");
    ASSERT_TRUE(vocal && swing);
    // "Vocal" is music: one voice, position notifies without plain music.
    EXPECT_EQ(std::pair(vocal->GetVoiceCount(), vocal->GetBufferFlags()), std::pair(1u, CSoundBuffer::kBufferNotify));
    EXPECT_EQ(swing->GetVoiceCount(), 4u);
    EXPECT_NE(c.GetShaderList()->FindByName("Glow.fx"), nullptr);
    EXPECT_EQ(c.others, (std::vector<std::string>{"pack:Note.txt"}));

    // Media off: registered, nothing read from it.
    Recorder off;
    ASSERT_EQ(off.LoadScrambledPack("Se.gpk", id, kPackKeyFirst, 0), 1u);
    EXPECT_EQ(off.GetPackList()->GetCount(), 1u);
    EXPECT_EQ(off.GetSoundList()->GetCount(), 0u);
    EXPECT_TRUE(off.others.empty());
}

namespace {

// A controller of a game that adds fonts and writes records of its own.
class GameResources : public CResourceController {
public:
    u32 SaveOther(const char* folder, host::kernel::File* file) override
    {
        otherFolder = folder;
        return WriteRecord(file, "Font\\Menu.fnt");
    }
    u32 ReleaseOther() override
    {
        ++releasedOther;
        return 1;
    }
    std::string otherFolder;
    int releasedOther = 0;
};

}  // namespace

// Effect and layout names come from their files: one that would place its
// file outside its folder is not written, nor listed. A derived game's
// records follow the list's own.
TEST_F(Controller, SavedNamesStayInTheirFoldersAndAGameAddsItsRecords)
{
    WriteBytes("Effect/Evil.efc", Efc("..\\Evil"));
    WriteBytes("Effect/Slash.efc", Efc("a/b"));
    WriteBytes("Scene/Up.sce", Sce("..\\Up"));
    WriteBytes("Scene/Drive.sce", Sce("C:Drive"));
    WriteBytes("Scene/Long.sce", Sce(std::string(250, 'L')));
    // A trail byte 0x5C in a two-byte character is no separator.
    const std::string shown = "\x95\x5C\x8E\xA6";
    WriteBytes("Scene/Shown.sce", Sce(shown));
    GameResources c;
    for (const char* p : {"Effect\\Evil.efc", "Effect\\Slash.efc", "Scene\\Up.sce", "Scene\\Drive.sce",
                          "Scene\\Long.sce", "Scene\\Shown.sce"})
        ASSERT_EQ(c.Load(p, 1), 1u) << p;
    auto* font = new CTexture();
    font->SetName("Font\\Menu.fnt");
    void* element = static_cast<CValueBase*>(font);
    ASSERT_TRUE(c.GetFontList()->Add(&element));
    // The fonts are reached only through their own list.
    for (u32 kind = 0; kind < 9; ++kind) EXPECT_NE(c.GetList(kind), c.GetFontList()) << kind;

    const std::string path = folder_ / "Out.grc";
    fakeWindow_->AnswerFileDialogs({path});
    ASSERT_EQ(c.SaveGrc(&system_, 0), 1u);
    EXPECT_EQ(c.otherFolder, folder_.Path());   // up to its last separator
    EXPECT_EQ(ReadBytes(path), Grc(0, {"Data\\Texture.gpk", "Data\\Shader.gpk", "Data\\Mesh.gpk",
                                       "Data\\Sound.gpk", "Scene\\" + shown + ".sce", "Font\\Menu.fnt"}));
    EXPECT_EQ(ReadBytes("Scene\\" + shown + ".sce"), Sce(shown));
    for (const char* p : {"Evil.efc", "Up.sce", "Effect\\a", "Scene\\C:Drive.sce"})
        EXPECT_FALSE(host::kernel::FileExists(p)) << p;

    EXPECT_EQ(c.ReleaseFonts(), 1u);
    EXPECT_EQ(c.GetFontList()->GetCount(), 0u);
    EXPECT_EQ(c.Release(), 1);
    EXPECT_EQ(c.releasedOther, 1);
    EXPECT_EQ(c.GetName(), nullptr);
}

// An archive's textures are decoded together before its walk: kept in the
// archive's order, the walk still ends at a damaged one (none after it
// kept), and a texture the controller already holds is not made again.
TEST_F(Controller, AnArchivesTexturesAreKeptInItsOrderUpToADamagedOne)
{
    for (const char* name : {"A.bmp", "B.bmp", "C.bmp", "D.bmp"}) WriteBytes(name, Bmp());
    WriteBytes("Bad.bmp", Bmp().substr(0, 40));
    const char* good[] = {"D.bmp", "Hit.wav", "A.bmp", "Menu.bmp", "C.bmp", "B.bmp"};
    ASSERT_EQ(CqelPackFile::Write(good, 6, "Data\\Good.gpk"), 1u);
    const char* bad[] = {"A.bmp", "B.bmp", "Bad.bmp", "C.bmp"};
    ASSERT_EQ(CqelPackFile::Write(bad, 4, "Data\\Bad.gpk"), 1u);
    const auto names = [](CResourceController& c) {
        return NamesIn<CTexture>(c.GetTextureList(), [](const CTexture& t) {
            EXPECT_EQ(t.GetWidth(), 2u) << t.GetName();
            EXPECT_NE(t.GetTexture(), nullptr) << t.GetName();
        });
    };

    CResourceController c;
    ASSERT_EQ(c.Load("Menu.bmp", 1), 1u);
    CValueBase* menu = c.GetTextureList()->FindByName("Menu.bmp");
    ASSERT_EQ(c.Load("Data\\Good.gpk", 1), 1u);
    EXPECT_EQ(names(c), (std::vector<std::string>{"Menu.bmp", "D.bmp", "A.bmp", "C.bmp", "B.bmp"}));
    EXPECT_EQ(c.GetTextureList()->FindByName("Menu.bmp"), menu);
    EXPECT_EQ(c.GetSoundList()->GetCount(), 1u);

    CResourceController damaged;
    EXPECT_EQ(damaged.Load("Data\\Bad.gpk", 1), 0u);
    EXPECT_EQ(names(damaged), (std::vector<std::string>{"A.bmp", "B.bmp"}));
}

// The first entry that fails ends the walk with 0, and the entries before
// it stay, whatever the threads decoding side by side have begun: the
// textures listed are exactly those before it. A model, a shader or
// another kind the side-by-side decodes leave to the walk fails before
// any texture after it is decoded at all.
TEST_F(Controller, AnArchivesLoadStopsDecodingAtADamagedEntry)
{
    WriteBytes("Bad.bmp", Bmp().substr(0, 40));
    WriteBytes("Bad.mdl", "x");
    WriteBytes("Bad.fx", "technique {");
    for (int i = 0; i < 40; ++i) WriteBytes("T" + std::to_string(i) + ".bmp", Bmp());
    const struct {
        const char* bad;
        int at;                 // textures before it
        bool decodedAfter;      // textures after it may be begun side by side
    } cases[] = {
        {"Bad.bmp", 0, true}, {"Bad.bmp", 5, true}, {"Bad.mdl", 0, false},
        {"Bad.mdl", 5, false}, {"Bad.fx", 3, false},
    };
    const auto made = [this] {
        const std::vector<std::string> ops = Ops();
        return size_t(std::count(ops.begin(), ops.end(), "CreateTexture"));
    };
    int archive = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bad << " after " << c.at);
        std::vector<std::string> names;
        for (int i = 0; i < 40; ++i) {
            if (i == c.at) names.push_back(c.bad);
            names.push_back("T" + std::to_string(i) + ".bmp");
        }
        std::vector<const char*> entries;
        for (const std::string& n : names) entries.push_back(n.c_str());
        const std::string path = "Data\\Many" + std::to_string(archive++) + ".gpk";
        ASSERT_EQ(CqelPackFile::Write(entries.data(), u32(entries.size()), path.c_str()), 1u);
        const size_t before = made();
        CResourceController c2;
        EXPECT_EQ(c2.Load(path.c_str(), 1), 0u);
        CResourceList* textures = c2.GetTextureList();
        ASSERT_EQ(textures->GetCount(), u32(c.at));
        for (int i = 0; i < c.at; ++i) {
            EXPECT_STREQ(static_cast<CResourceBase*>(static_cast<CValueBase*>(textures->GetAt(u32(i))))->GetName(),
                         ("T" + std::to_string(i) + ".bmp").c_str());
        }
        if (!c.decodedAfter) {
            EXPECT_EQ(made() - before, size_t(c.at));
        }
    }
}

// A texture or sound the archive's walk finds listed by the time it
// reaches its entry (here one an earlier entry's own load brought) is not
// listed twice: the one decoded early is dropped.
TEST_F(Controller, AnEarlyLoadIsDroppedWhenItsNameIsListedByThen)
{
    class Bringer : public CResourceController {
    public:
        u32 LoadOther(CqelPackFile* pack, const char* path, u32) override
        {
            if (std::string(path) != "Skin.txt") return 1;
            return LoadTexture(pack, "Icon.bmp") && LoadSound(pack, "Se.wav");
        }
    };
    WriteBytes("Skin.txt", "skin");
    const char* entries[] = {"Skin.txt", "Icon.bmp", "Se.wav", "Menu.bmp"};
    ASSERT_EQ(CqelPackFile::Write(entries, 4, "Data\\Skin.gpk"), 1u);
    Bringer c;
    ASSERT_EQ(c.Load("Data\\Skin.gpk", 1), 1u);
    const auto count = [](CResourceList* list, const char* name) {
        u32 n = 0;
        for (u32 i = 0; i < list->GetCount(); ++i)
            n += std::string(static_cast<CResourceBase*>(static_cast<CValueBase*>(list->GetAt(i)))->GetName()) == name;
        return n;
    };
    EXPECT_EQ(count(c.GetTextureList(), "Icon.bmp"), 1u);
    EXPECT_EQ(count(c.GetTextureList(), "Menu.bmp"), 1u);
    EXPECT_EQ(count(c.GetSoundList(), "Se.wav"), 1u);
    EXPECT_EQ(c.GetTextureList()->GetCount(), 2u);
    EXPECT_EQ(c.GetSoundList()->GetCount(), 1u);
}

}  // namespace ORV_TEST_FILE_ID

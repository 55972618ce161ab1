// The animated camera: where its tracks put a CCamera, worked out by hand,
// and its file of eight track blocks against golden bytes laid out field by
// field.
#include "engine/graphics/ActiveCamera.h"

#include "engine/core/tests/TestFiles.h"
#include "engine/graphics/Camera.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>

namespace ORV_TEST_FILE_ID {

namespace {

using coretest::MemoryFile;
using coretest::TempFolder;

// Little-endian fields of a golden file.
using coretest::U32;
std::string F32(f32 v) { return U32(std::bit_cast<u32>(v)); }
std::string Zeros(u32 words) { return std::string(4 * words, '\0'); }
// u32 length with the NUL, then the name and its NUL.
std::string Name(const char* name) { return U32(u32(std::strlen(name) + 1)) + std::string(name, std::strlen(name) + 1); }

// Position: one key, control (1, 2, 3), point (4, 5, 6). Rotation: (0, 90, 0)
// at time 1. Distance: 10 (ease 0.5) at 0 to 20 at 2. Enable: 1 from 0. The
// rest empty with their defaults (Distance 10, Zoom 60). The integer tracks
// step between keys: interpolate 0.
std::string GoldenCamera()
{
    return Name("Position") + U32(1) + F32(0) + F32(0) + F32(1) + F32(2) + F32(3) + F32(4) + F32(5) + F32(6) +
           U32(1) + U32(0) + Zeros(6) +
           Name("Rotation") + U32(1) + F32(1) + F32(0) + F32(0) + F32(90) + F32(0) + U32(1) + U32(0) + Zeros(3) +
           Name("TargetPosition") + U32(0) + U32(1) + U32(0) + Zeros(6) +
           Name("Distance") + U32(2) + F32(0) + F32(0.5f) + F32(10) + F32(2) + F32(0) + F32(20) + U32(1) + U32(0) +
           F32(10) +
           Name("Zoom") + U32(0) + U32(1) + U32(0) + F32(60) +
           Name("Target") + Zeros(4) +
           Name("Object") + Zeros(4) +
           Name("Enable") + U32(1) + F32(0) + F32(0) + U32(1) + Zeros(3);
}

void FillGoldenCamera(CActiveCamera& c)
{
    c.GetPositionTrack().AddKey(0, CSegment(CVector3(1, 2, 3), CVector3(4, 5, 6)));
    c.GetRotationTrack().AddKey(1, CVector3(0, 90, 0));
    c.GetDistanceTrack().AddKey(0, 10, 0.5f);
    c.GetDistanceTrack().AddKey(2, 20);
    c.GetEnableTrack().AddKey(0, 1);
}

std::string Saved(const CActiveCamera& c)
{
    MemoryFile file;
    EXPECT_EQ(c.SaveBinary(nullptr, &file), 1);
    return file.Bytes();
}

void ExpectNear(const CVector3& got, const CVector3& want)
{
    EXPECT_LT((got - want).Length(), 2e-4f) << got.x << "," << got.y << "," << got.z;
}

TEST(ActiveCamera, RotationPitchesThenSwingsAboutThePitchedUpAxis)
{
    const struct {
        CVector3 rotation, eye;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 10}},     // the empty tracks' distance
        {{0, 90, 0}, {-10, 0, 0}},   // opposite to RotationY's turn
        {{30, 0, 0}, {0, -5, 8.660254f}},
        {{30, 90, 0}, {-10, 0, 0}},
        {{0, 0, 45}, {0, 0, 10}},    // no roll
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rotation.x << " " << c.rotation.y << " " << c.rotation.z);
        CActiveCamera active;
        active.GetEnableTrack().AddKey(0, 1);
        active.GetRotationTrack().AddKey(0, c.rotation);
        CCamera camera;
        ASSERT_EQ(active.Update(0, &camera, nullptr, nullptr, nullptr, nullptr), 1);
        ExpectNear(camera.GetEye(), c.eye);
        ExpectNear(camera.GetTarget(), CVector3(0, 0, 0));
        EXPECT_EQ(camera.GetProjectionParams()->fov, 60.0f);
    }
}

TEST(ActiveCamera, ReferencesTurnThenMoveEyeAndTarget)
{
    CActiveCamera active;
    active.GetEnableTrack().AddKey(0, 1);
    active.GetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(1, 0, 0)));
    const CVector3 five(5, 0, 0), quarter(0, 90, 0), up2(0, 2, 0), seven(0, 0, 7);
    const struct {
        const char* what;
        const CVector3 *p1, *r1, *p2, *r2;
        i32 target;
        CVector3 eye, look;
    } cases[] = {
        {"turned a quarter: z to x, x to -z", nullptr, &quarter, nullptr, nullptr, 0, {10, 0, 0}, {0, 0, -1}},
        {"turned, then moved", &up2, &quarter, nullptr, nullptr, 0, {10, 2, 0}, {0, 2, -1}},
        {"the second pair is ignored", nullptr, nullptr, &five, &quarter, 0, {0, 0, 10}, {1, 0, 0}},
        {"Target picks the second pair", &five, &quarter, &seven, nullptr, 1, {0, 0, 17}, {1, 0, 7}},
        {"Target with no second pair", &five, &quarter, nullptr, nullptr, 1, {0, 0, 10}, {1, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        active.GetTargetTrack().Release();
        active.GetTargetTrack().AddKey(0, c.target);
        CCamera camera;
        ASSERT_EQ(active.Update(0, &camera, c.p1, c.r1, c.p2, c.r2), 1);
        ExpectNear(camera.GetEye(), c.eye);
        ExpectNear(camera.GetTarget(), c.look);
    }
}

TEST(ActiveCamera, TracksBlendCurvesAndFloatsAndStepIntegers)
{
    CActiveCamera active;
    // The quadratic curve from (0, 0, 0) through the control point (1, 1, 0)
    // to (2, 0, 0), halfway: (1, 0.5, 0).
    active.GetPositionTrack().AddKey(0, CSegment(CVector3(1, 1, 0), CVector3(0, 0, 0)));
    active.GetPositionTrack().AddKey(2, CSegment(CVector3(9, 9, 9), CVector3(2, 0, 0)));
    active.GetTargetPositionTrack().AddKey(0, CSegment(CVector3(), CVector3(0, 3, 0)));
    // Ease 0.5 at s = 0.5: w = 0.5 x 0.5 + 0.5 x 0.25 = 0.375.
    active.GetDistanceTrack().AddKey(0, 10, 0.5f);
    active.GetDistanceTrack().AddKey(2, 20);
    active.GetZoomTrack().AddKey(0, 60);
    active.GetZoomTrack().AddKey(2, 30);
    // Blended these would be 5 (second pair) and 2 (enabled); stepped, 0.
    active.GetTargetTrack().AddKey(0, 0);
    active.GetTargetTrack().AddKey(2, 10);
    active.GetEnableTrack().AddKey(0, 1);
    active.GetEnableTrack().AddKey(1.5f, 0);
    active.GetEnableTrack().AddKey(2, 5);

    const CVector3 first(100, 0, 0), second(0, 100, 0);
    CCamera camera;
    ASSERT_EQ(active.Update(1, &camera, &first, nullptr, &second, nullptr), 1);
    ExpectNear(camera.GetTarget(), CVector3(101, 0.5f, 0));
    ExpectNear(camera.GetEye(), CVector3(100, 3, 13.75f));
    EXPECT_EQ(camera.GetProjectionParams()->fov, 45.0f);

    // Exactly on a key its value holds: Enable is 0 from 1.5 on.
    EXPECT_EQ(active.Update(1.5f, &camera, &first, nullptr, &second, nullptr), 0);
    EXPECT_EQ(active.Update(1.75f, &camera, &first, nullptr, &second, nullptr), 0);
    ASSERT_EQ(active.Update(2, &camera, &first, nullptr, &second, nullptr), 1);
    ExpectNear(camera.GetTarget(), CVector3(2, 100, 0));
}

TEST(ActiveCamera, DisabledOrWithoutACameraLeavesEverythingAlone)
{
    CActiveCamera active;
    CCamera camera;
    const CVector3 eye(1, 2, 3), target(4, 5, 6), up(0, 1, 0);
    camera.SetLookAt(&eye, &target, &up);
    camera.SetPerspective(33, 2, 1, 10);
    const CCamera before(camera);
    EXPECT_EQ(active.Update(0, &camera, nullptr, nullptr, nullptr, nullptr), 0);   // no Enable keys: 0
    active.GetEnableTrack().AddKey(0, 0);
    active.GetEnableTrack().AddKey(1, 1);
    EXPECT_EQ(active.Update(0.5f, &camera, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(std::memcmp(camera.GetViewMatrix(), before.GetViewMatrix(), sizeof(CMatrix)), 0);
    EXPECT_EQ(std::memcmp(camera.GetProjectionParams(), before.GetProjectionParams(), sizeof(CameraProjection)), 0);
    EXPECT_EQ(active.Update(1, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST(ActiveCamera, WritesTheGoldenFileAndReadsItBack)
{
    CActiveCamera written;
    FillGoldenCamera(written);
    const std::string golden = GoldenCamera();
    // Position 81, Rotation 57, TargetPosition 55, Distance 53, Zoom 25,
    // Target and Object 27 each, Enable 39.
    ASSERT_EQ(golden.size(), 364u);
    EXPECT_EQ(Saved(written), golden);

    MemoryFile file(golden);
    CActiveCamera read;
    ASSERT_EQ(read.LoadBinary(nullptr, &file), 1);
    EXPECT_EQ(Saved(read), golden);
    // At time 1: target the key point, distance 10 + 10 x 0.375, swung a
    // quarter turn by the rotation.
    CCamera camera;
    ASSERT_EQ(read.Update(1, &camera, nullptr, nullptr, nullptr, nullptr), 1);
    ExpectNear(camera.GetTarget(), CVector3(4, 5, 6));
    ExpectNear(camera.GetEye(), CVector3(-13.75f, 0, 0));
}

TEST(ActiveCamera, FilesByPathAndBlocksInsideLargerFiles)
{
    TempFolder folder;
    CActiveCamera written;
    FillGoldenCamera(written);
    const std::string path = folder / "Special.cam";
    ASSERT_EQ(written.SaveBinary(path.c_str(), nullptr), 1);
    EXPECT_EQ(coretest::Get(path), GoldenCamera());
    CActiveCamera read;
    ASSERT_EQ(read.LoadBinary(path.c_str(), nullptr), 1);
    EXPECT_EQ(Saved(read), GoldenCamera());
    EXPECT_EQ(read.LoadBinary((folder / "missing.cam").c_str(), nullptr), 0);

    // Inside a larger file: read at the position, left just past the block.
    MemoryFile larger("HEAD" + GoldenCamera() + "TAIL");
    larger.Seek(4, host::kernel::SeekOrigin::Begin);
    CActiveCamera inner;
    ASSERT_EQ(inner.LoadBinary("ignored", &larger), 1);
    EXPECT_EQ(larger.Tell(), int64_t(4 + GoldenCamera().size()));

    MemoryFile failing;
    failing.failWrites = true;
    EXPECT_EQ(written.SaveBinary(nullptr, &failing), 0);
}

// Enable's interpolate, loop and default value: the last words of a file.
constexpr size_t kEnableTail = 12;

TEST(ActiveCamera, DamagedFilesChangeNothing)
{
    CActiveCamera camera;
    camera.GetEnableTrack().AddKey(0, 7);
    const std::string before = Saved(camera);
    const std::string golden = GoldenCamera();
    std::string huge = golden;
    huge[4 + 9] = char(0xFF);   // Position's key count
    huge[4 + 9 + 3] = char(0x7F);
    std::string unterminated = golden;
    unterminated[4 + 8] = 'X';   // Position's NUL
    // Cut anywhere up to the last key: Enable's interpolate, loop and
    // default value are the only words a camera file can do without.
    for (size_t cut = 0; cut < golden.size() - kEnableTail; ++cut) {
        MemoryFile file(golden.substr(0, cut));
        ASSERT_EQ(camera.LoadBinary(nullptr, &file), 0) << cut;
    }
    MemoryFile file(huge);
    EXPECT_EQ(camera.LoadBinary(nullptr, &file), 0);
    EXPECT_EQ(Saved(camera), before);

    // A track name stored without its NUL is ended, and the rest is read.
    MemoryFile named(unterminated);
    ASSERT_EQ(camera.LoadBinary(nullptr, &named), 1);
    EXPECT_STREQ(camera.GetPositionTrack().GetName(), "PositionX");
    EXPECT_EQ(named.Tell(), int64_t(golden.size()));
}

// A file that ends after Enable's keys plays: the camera keeps its own
// interpolate, loop and default value for the words missing.
TEST(ActiveCamera, AFileEndingAfterTheLastKeyPlaysWithTheCamerasOwnValues)
{
    std::string stored = GoldenCamera();
    stored.replace(stored.size() - kEnableTail, kEnableTail, U32(1) + U32(1) + U32(5));
    const struct {
        size_t tail;
        u32 interpolate, loop;
        i32 value;
    } cases[] = {
        {0, 9, 8, 0},
        {3, 9, 8, 0},
        {4, 1, 8, 0},
        {8, 1, 1, 0},
        {11, 1, 1, 0},
        {12, 1, 1, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tail);
        const std::string bytes = stored.substr(0, stored.size() - kEnableTail + c.tail);
        MemoryFile file(bytes);
        CActiveCamera read;
        read.GetDistanceTrack().SetInterpolate(7);   // read whole: replaced
        read.GetEnableTrack().SetInterpolate(9);
        read.GetEnableTrack().SetLoop(8);
        ASSERT_EQ(read.LoadBinary(nullptr, &file), 1);
        EXPECT_EQ(file.Tell(), int64_t(bytes.size()));
        EXPECT_EQ(read.GetDistanceTrack().GetInterpolate(), 1u);
        const CActiveCamera::IntTrack& enable = read.GetEnableTrack();
        ASSERT_EQ(enable.GetCount(), 1u);
        EXPECT_EQ(enable.GetInterpolate(), c.interpolate);
        EXPECT_EQ(enable.GetLoop(), c.loop);
        EXPECT_EQ(*enable.GetDefaultValue(), c.value);
        CCamera camera;
        ASSERT_EQ(read.Update(0, &camera, nullptr, nullptr, nullptr, nullptr), 1);
        ExpectNear(camera.GetEye(), {-10, 0, 0});   // Rotation's one key swings it
        ExpectNear(camera.GetTarget(), {4, 5, 6});
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

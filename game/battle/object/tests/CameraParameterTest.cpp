#include "game/battle/object/CameraParameter.h"
#include "game/data/tests/SettingTestSupport.h"

#include <cstring>
#include <vector>

namespace ORV_TEST_FILE_ID {

using namespace setting_test;

namespace {

// Defaults by column; NORMAL differs in three of them, and the last two
// rows' excess velocity is no key at all.
const f32 kColumnDefaults[16] = {1, 2, 2, 0, 0, -30, 30, 5, 0.5f, 0, 60, 1, 1, 1, 360, 0};

const char kHandWritten[] =
    "// \x83\x4A\x83\x81\x83\x89\n"
    "NAME = \x95\x57\x8F\x80;\n"
    "NormalDistance = 4.5;\n"
    "NEARFOV = 45;\n"
    "LCOKMOVEACCELERATION = 2.5;\n"
    "LOCKMOVEACCELERATION = 9;\n"
    "LOCKCHANGETIME = 0.25; NEARCHANGETIME = 0.5; RESULTCHANGETIME = 1.5;\n"
    "SLIDEATTACKEXCESSVELOCITY = 7; RESULTEXCESSVELOCITY = 8; SHOOTOUTEXCESSVELOCITY = 6;\n";

}  // namespace

TEST(CameraParameter, AnEmptyFileGivesTheDefaults)
{
    CCameraParameter camera;
    ASSERT_EQ(camera.ParseText("Camera.txt", "", '=', ';', nullptr, 0), 1);
    for (u32 mode = 0; mode < CCameraParameter::kModeCount; ++mode) {
        std::vector<f32> expected(kColumnDefaults, kColumnDefaults + 16);
        if (mode == kCameraNormal) {
            expected[kCameraLengthMax] = 6;
            expected[kCameraMoveVelocity] = 10;
            expected[kCameraExcessVelocity] = 3;
        }
        if (mode >= kCameraSlideAttack) expected[kCameraExcessVelocity] = 0;
        EXPECT_EQ(std::vector<f32>(camera.values + 16 * mode, camera.values + 16 * mode + 16), expected) << mode;
    }
}

TEST(CameraParameter, AHandWrittenCameraItsTrickyKeysAndItsCache)
{
    WorkFolder folder;
    WriteBytes("Camera.txt", kHandWritten);
    CCameraParameter camera;
    ASSERT_EQ(camera.LoadFile("Camera.txt"), 1);
    EXPECT_EQ(Text(camera.GetName()), "\x95\x57\x8F\x80");
    EXPECT_EQ(camera.values[0], 4.5f);
    EXPECT_EQ(camera.Get(kCameraNear, kCameraFov), 45.0f);
    // The misspelt key sets the LOCK row; the spelling one would expect is no key.
    EXPECT_EQ(camera.Get(kCameraLock, kCameraMoveAcceleration), 2.5f);
    // The blend times the fighter reads as values 31, 47 and 95.
    EXPECT_EQ(std::vector<f32>({camera.values[31], camera.values[47], camera.values[95]}),
        (std::vector<f32>{0.25f, 0.5f, 1.5f}));
    EXPECT_EQ(camera.Get(kCameraShootOut, kCameraExcessVelocity), 6.0f);
    EXPECT_EQ(camera.Get(kCameraSlideAttack, kCameraExcessVelocity), 0.0f);
    EXPECT_EQ(camera.Get(kCameraResult, kCameraExcessVelocity), 0.0f);
    EXPECT_EQ(camera.Get(kCameraResult, 16), 0.0f);

    CCameraParameter cached;
    ASSERT_EQ(cached.LoadFile("Setting/Camera.dat"), 1);
    EXPECT_EQ(std::memcmp(cached.values, camera.values, sizeof camera.values), 0);

    // Each fighter's camera gets a copy of its own.
    CCameraParameter copy(camera);
    camera.values[31] = 9.0f;
    EXPECT_EQ(copy.values[31], 0.25f);
    EXPECT_EQ(copy.values[0], 4.5f);
}

}  // namespace ORV_TEST_FILE_ID

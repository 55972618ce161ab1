// Event camera flights: read from files our writer makes and from one laid
// out by hand, played against the battle clock and blended back to the
// battle camera; damaged files refused without touching the loaded flight.
#include "game/battle/object/EventCamera.h"

#include "engine/graphics/ActiveCamera.h"
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "game/battle/object/CameraController.h"
#include "game/battle/object/tests/EventCameraSamples.h"
#include "game/battle/object/tests/TestDoubles.h"
#include "game/battle/object/tests/StateHashProbe.h"
#include "game/data/tests/SaveTestSupport.h"
#include "game/data/tests/SettingTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <memory>
#include <string>

namespace ORV_TEST_FILE_ID {

using battle_test::BattleObjectTest;
using save_test::Bytes;
using setting_test::ReadBytes;
using setting_test::WorkFolder;
using setting_test::WriteBytes;

namespace {

void ExpectView(const CCamera& camera, const CVector3& eye, const CVector3& target, const std::string& what)
{
    const CVector3 e = camera.GetEye(), t = camera.GetTarget();
    EXPECT_LT((e - eye).Length(), 2e-4f) << what << " eye " << e.x << ", " << e.y << ", " << e.z;
    EXPECT_LT((t - target).Length(), 2e-4f) << what << " target " << t.x << ", " << t.y << ", " << t.z;
}

u32 F(f32 v) { return std::bit_cast<u32>(v); }
std::string Name(const char* name) { return std::string(name) + '\0'; }

// FillOneShot as a file. Each block: name length and name, key count, keys
// {time, ease, value}, interpolate, loop, default value.
std::string GoldenOneShot()
{
    Bytes g;
    g.U32(1);   // tracks
    g.Sized(Name("Position")).U32(1).U32(F(0)).U32(F(0)).Zeros(12).U32(F(7)).U32(F(8)).U32(F(9)).U32(1).U32(0).Zeros(24);
    g.Sized(Name("Rotation")).U32(0).U32(1).U32(0).Zeros(12);
    g.Sized(Name("TargetPosition")).U32(0).U32(1).U32(0).Zeros(24);
    g.Sized(Name("Distance")).U32(0).U32(1).U32(0).U32(F(10));
    g.Sized(Name("Zoom")).U32(0).U32(1).U32(0).U32(F(60));
    g.Sized(Name("Target")).U32(0).U32(0).U32(0).U32(0);
    g.Sized(Name("Object")).U32(0).U32(0).U32(0).U32(0);
    g.Sized(Name("Enable")).U32(1).U32(F(0)).U32(F(0)).U32(1).U32(0).U32(0).U32(0);
    return g;
}

class EventCameraTest : public BattleObjectTest {
protected:
    void SetUp() override
    {
        BattleObjectTest::SetUp();
        SetFrameTime(100);
    }
    void TearDown() override
    {
        SetFrameTime(0);
        BattleObjectTest::TearDown();
    }

    // A battle camera with the anchors at the origin and yaw 0: it looks
    // from (0, 0, 4) at (0, 0, -10).
    static std::unique_ptr<CCameraController> BattleCamera()
    {
        auto* parameter = new CCameraParameter();
        parameter->values[kCameraDistance] = 4;
        parameter->values[kCameraFov] = 60;
        return std::make_unique<CCameraController>(parameter);
    }

    WorkFolder folder_;
};

TEST_F(EventCameraTest, AFlightFromOurFileBlendsBackToTheBattleCamera)
{
    CEventCamera written;
    battle_test::FillSampleFlight(written);
    ASSERT_EQ(written.Save("Flight.cam"), 1);
    CEventCamera flight;
    ASSERT_EQ(flight.Load("Flight.cam"), 1);
    ASSERT_EQ(flight.GetTrackCount(), 2u);

    CEventCameraState start;
    start.returnTime = 0.4f;
    ASSERT_EQ(flight.Start(&start), 1);
    const auto battle = BattleCamera();
    const CVector3 second(100, 0, 0);

    struct Frame {
        CVector3 eye, target;
        u32 ended;
    };
    // Track 0 wins while both are enabled; then track 1 on the second
    // reference; then a glide of 0.4 s from the last scripted view to the
    // battle camera's (0, 0, 4) -> (0, 0, -10), a quarter a frame.
    const Frame frames[] = {
        {{0, 0, 15}, {1, 2, 3}, 0},
        {{0, 0, 15}, {1, 2, 3}, 0},
        {{100, 0, 20}, {104, 5, 6}, 0},
        {{100, 0, 20}, {104, 5, 6}, 0},
        {{75, 0, 16}, {78, 3.75f, 2}, 1},
        {{50, 0, 12}, {52, 2.5f, -2}, 1},
        {{25, 0, 8}, {26, 1.25f, -6}, 1},
        {{0, 0, 4}, {0, 0, -10}, 1},
        {{0, 0, 4}, {0, 0, -10}, 1},
    };
    int n = 0;
    for (const Frame& f : frames) {
        battle->Update();
        ASSERT_EQ(flight.Step(battle->GetCamera(), nullptr, nullptr, &second, nullptr), 1);
        ExpectView(*battle->GetCamera(), f.eye, f.target, "frame " + std::to_string(++n));
        EXPECT_EQ(flight.GetState().ended, f.ended) << n;
    }
    EXPECT_EQ(battle->GetCamera()->GetProjectionParams()->fov, 60.0f);

    // A new start plays the same tracks from the clock 0.
    flight.Start(&start);
    battle->Update();
    flight.Step(battle->GetCamera(), nullptr, nullptr, &second, nullptr);
    ExpectView(*battle->GetCamera(), CVector3(0, 0, 15), CVector3(1, 2, 3), "restarted");
}

TEST_F(EventCameraTest, TheHandWrittenFileIsWhatOurWriterWrites)
{
    CEventCamera written;
    battle_test::FillOneShot(written);
    ASSERT_EQ(written.Save("OneShot.cam"), 1);
    EXPECT_EQ(ReadBytes("OneShot.cam"), GoldenOneShot());

    WriteBytes("Golden.cam", GoldenOneShot());
    CEventCamera flight;
    ASSERT_EQ(flight.Load("Golden.cam"), 1);
    CEventCameraState start;
    flight.Start(&start);
    CCamera camera;
    flight.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    ExpectView(camera, CVector3(0, 0, 10), CVector3(7, 8, 9), "golden");
}

TEST_F(EventCameraTest, DamagedFilesAreRefusedAndTheLoadedFlightStays)
{
    const std::string good = GoldenOneShot();
    const std::string track = good.substr(4);
    std::string unterminated = good;
    unterminated[4 + 4 + 8] = 'X';   // "Position" loses its NUL
    std::string keys = good;
    keys[4 + 4 + 9] = char(0xE8), keys[4 + 4 + 10] = char(0x03);   // 1000 keys
    struct Damage {
        const char* name;
        std::string bytes;
    };
    const Damage damaged[] = {
        {"empty", ""},
        {"count cut short", good.substr(0, 3)},
        {"more tracks than bytes", std::string(Bytes().U32(0xFFFFFFFFu)) + track},
        // Inside the last key: Enable's last 12 bytes are its interpolate,
        // loop and default value.
        {"second track cut short", std::string(Bytes().U32(2)) + track + track.substr(0, track.size() - 13)},
        {"block cut short", good.substr(0, good.size() - 14)},
        {"more keys than bytes", keys},
    };
    CEventCamera flight;
    battle_test::FillSampleFlight(flight);
    EXPECT_EQ(flight.Load("Missing.cam"), 0);
    for (const Damage& d : damaged) {
        WriteBytes("Damaged.cam", d.bytes);
        EXPECT_EQ(flight.Load("Damaged.cam"), 0) << d.name;
        ASSERT_EQ(flight.GetTrackCount(), 2u) << d.name;
    }
    // Still the sample flight.
    CEventCameraState start;
    flight.Start(&start);
    CCamera camera;
    flight.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    ExpectView(camera, CVector3(0, 0, 15), CVector3(1, 2, 3), "kept");
    // A track name stored without its NUL is ended: the flight loads.
    WriteBytes("Unended.cam", unterminated);
    CEventCamera unended;
    ASSERT_EQ(unended.Load("Unended.cam"), 1);
    EXPECT_EQ(unended.GetTrackCount(), 1u);
    unended.Start(&start);
    unended.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    ExpectView(camera, CVector3(0, 0, 10), CVector3(7, 8, 9), "unended");
    // So does one that ends after Enable's last key, in the first track or
    // the second.
    for (const std::string& cut : {good.substr(0, good.size() - 2),
             std::string(Bytes().U32(2)) + track + track.substr(0, track.size() - 12)}) {
        SCOPED_TRACE(cut.size());
        WriteBytes("Cut.cam", cut);
        CEventCamera short_;
        ASSERT_EQ(short_.Load("Cut.cam"), 1);
        EXPECT_EQ(short_.GetTrackCount(), u32(cut.size() > good.size() ? 2 : 1));
        short_.Start(&start);
        short_.Step(&camera, nullptr, nullptr, nullptr, nullptr);
        ExpectView(camera, CVector3(0, 0, 10), CVector3(7, 8, 9), "cut");
    }
    // The smallest such track: eight unnamed blocks without keys, 208 bytes
    // less Enable's last 12; a byte less cuts into its key count.
    for (const u32 bytes : {196u, 195u}) {
        SCOPED_TRACE(bytes);
        WriteBytes("Bare.cam", Bytes().U32(1).Zeros(bytes).str());
        CEventCamera bare;
        EXPECT_EQ(bare.Load("Bare.cam"), bytes == 196 ? 1 : 0);
        EXPECT_EQ(bare.GetTrackCount(), bytes == 196 ? 1u : 0u);
    }
    // An empty list loads, and ends the flight in its first frame.
    WriteBytes("Empty.cam", Bytes().U32(0).str());
    ASSERT_EQ(flight.Load("Empty.cam"), 1);
    EXPECT_EQ(flight.GetTrackCount(), 0u);
    flight.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(flight.GetState().ended, 1u);
}

// A file of under 1 MiB holds about its size, whatever its count claims:
// as many bare tracks as fit load (each an object of its eight tracks), and
// a count one past them is refused before any track is made.
TEST_F(EventCameraTest, AFileOfManyTracksHoldsAboutItsSize)
{
    const std::string bare(208, '\0');
    const u32 fit = u32(((size_t(1) << 20) - 4) / bare.size());
    std::string tracks;
    for (u32 i = 0; i < fit; ++i) tracks += bare;
    const u64 oneTrack = sizeof(CActiveCamera);
    for (const u32 count : {fit, fit + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        const std::string bytes = Bytes().U32(count).str() + tracks;
        ASSERT_LT(bytes.size(), size_t(1) << 20);
        WriteBytes("Many.cam", bytes);
        CEventCamera flight;
        EXPECT_EQ(flight.Load("Many.cam"), count == fit ? 1 : 0);
        u64 held = u64(flight.GetTrackCount()) * oneTrack;
        const auto keys = [&held](auto& track) {
            held += u64(track.GetCount()) * sizeof(*track.GetData()) + track.GetNameLength();
        };
        for (u32 i = 0; i < flight.GetTrackCount(); ++i) {
            CActiveCamera* t = flight.GetTrack(i);
            keys(t->GetPositionTrack()), keys(t->GetRotationTrack()), keys(t->GetTargetPositionTrack());
            keys(t->GetDistanceTrack()), keys(t->GetZoomTrack()), keys(t->GetTargetTrack());
            keys(t->GetObjectTrack()), keys(t->GetEnableTrack());
        }
        EXPECT_EQ(flight.GetTrackCount(), count == fit ? fit : 0u);
        EXPECT_LE(held, 4 * bytes.size()) << held << " of " << oneTrack << " a track";
    }
}

TEST_F(EventCameraTest, EndTimePauseAndAReturnTimeOfZero)
{
    CEventCamera flight;
    battle_test::FillSampleFlight(flight);
    const auto battle = BattleCamera();
    CEventCameraState start;
    start.endTime = 0.15f;
    flight.Start(&start);
    battle->Update();
    flight.Step(battle->GetCamera(), nullptr, nullptr, nullptr, nullptr);
    ExpectView(*battle->GetCamera(), CVector3(0, 0, 15), CVector3(1, 2, 3), "before the end time");
    // Track 0 is still enabled, but the end time has come; no glide back.
    battle->Update();
    flight.Step(battle->GetCamera(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(flight.GetState().ended, 1u);
    ExpectView(*battle->GetCamera(), CVector3(0, 0, 4), CVector3(0, 0, -10), "after the end time");

    // Paused: the clock stands.
    flight.Start(&start);
    flight.GetState().paused = 1;
    for (int i = 0; i < 3; ++i) flight.Step(battle->GetCamera(), nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(flight.GetState().clock, 0.0f);
    EXPECT_EQ(flight.GetState().ended, 0u);

    // Return time 0 in a frame of no time: no 0 / 0 in the glide.
    start.endTime = -1;
    flight.Start(&start);
    SetFrameTime(0);
    battle->Update();
    flight.Step(battle->GetCamera(), nullptr, nullptr, nullptr, nullptr);
    ExpectView(*battle->GetCamera(), CVector3(0, 0, 4), CVector3(0, 0, -10), "return time 0");
}

TEST_F(EventCameraTest, StateHashOfACopyFollowsItsFlight)
{
    CEventCamera a;
    battle_test::FillSampleFlight(a);
    CEventCameraState start;
    start.returnTime = 0.5f;
    a.Start(&start);
    CCamera camera;
    a.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    auto hashOf = [](const CEventCamera& c) {
        CStateHash h;
        c.HashState(h);
        return h.Value();
    };
    std::unique_ptr<CEventCamera> b(a.Clone());
    ASSERT_EQ(b->GetTrackCount(), 2u);
    EXPECT_EQ(hashOf(*b), hashOf(a));
    a.Clear();   // the copy's tracks are its own
    EXPECT_NE(hashOf(*b), hashOf(a));
    b->Step(&camera, nullptr, nullptr, nullptr, nullptr);
    ExpectView(camera, CVector3(0, 0, 15), CVector3(1, 2, 3), "copy");
    const u64 stepped = hashOf(*b);
    b->Step(&camera, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(hashOf(*b), stepped);
}


// Each field of the flight's state alone, and one track more.
TEST_F(EventCameraTest, StateHashFollowsEachFieldOfTheFlight)
{
    CEventCamera flight;
    battle_test::FillSampleFlight(flight);
    CEventCameraState start;
    start.returnTime = 0.5f;
    flight.Start(&start);
    CCamera camera;
    flight.Step(&camera, nullptr, nullptr, nullptr, nullptr);
    CEventCameraState& s = flight.GetState();
    HashedFields fields;
    fields.floats = {&s.clock, &s.returnTime, &s.returnClock, &s.endTime};
    fields.words = {&s.reserved, &s.ended, &s.paused};
    fields.vectors = {&s.lastEye, &s.lastTarget};
    ExpectEachChangesHash(flight, fields, "flight");
    CStateHash before;
    flight.HashState(before);
    flight.AddTrack();
    CStateHash after;
    flight.HashState(after);
    EXPECT_NE(after.Value(), before.Value());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID

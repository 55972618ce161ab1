// Fuzz driver: any bytes as an event camera file. A refused file leaves the
// flight that was loaded before; a read one holds no more tracks than its
// bytes could carry, writes back to the bytes it was read from (a NUL added
// to each track name stored without one, Enable's last words when the file
// ended before them), and flies
// through its tracks and the glide back on both reference pairs.
#include "engine/graphics/Camera.h"
#include "engine/platform/FrameTime.h"
#include "fuzz/FuzzSupport.h"
#include "game/battle/object/EventCamera.h"
#include "game/battle/object/tests/EventCameraSamples.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string folder = fuzz::Folder("EventCamera");
    fuzz::EmptyFolder(folder);
    const std::string path = folder + "Input.cam";
    fuzz::WriteFile(path, data, size);

    CEventCamera flight;
    battle_test::FillOneShot(flight);
    if (!flight.Load(path.c_str())) {
        FUZZ_CHECK(flight.GetTrackCount() == 1);
        return 0;
    }
    const u64 tracks = flight.GetTrackCount();
    // The last track may end after Enable's keys, 12 bytes short.
    FUZZ_CHECK(4 + tracks * 208 <= size + 12);

    const std::string saved = folder + "Saved.cam";
    FUZZ_CHECK(flight.Save(saved.c_str()) == 1);
    const std::string bytes = fuzz::ReadFile(saved);
    // Eight track blocks a camera; only names stored without their NUL grow.
    const std::string read(reinterpret_cast<const char*>(data), bytes.size() <= size ? bytes.size() : size);
    FUZZ_CHECK(bytes.size() <= size + tracks * 8 + 12);
    if (bytes != read) {
        CEventCamera again;
        FUZZ_CHECK(again.Load(saved.c_str()) == 1 && again.GetTrackCount() == tracks);
        const std::string resaved = folder + "Resaved.cam";
        FUZZ_CHECK(again.Save(resaved.c_str()) == 1 && fuzz::ReadFile(resaved) == bytes);
    }

    const CVector3 positionA(1, 2, 3), rotationA(10, 20, 30), positionB(-4, 5, -6), rotationB(0, 90, 0);
    CEventCameraState start;
    start.returnTime = 0.05f;
    start.endTime = 0.5f;
    CCamera camera;
    SetFrameTime(16);
    const CEventCamera copy(flight);
    FUZZ_CHECK(copy.GetTrackCount() == tracks);
    flight.Start(&start);
    for (int frame = 0; frame < 40 && flight.GetState().returnClock <= start.returnTime; ++frame) {
        FUZZ_CHECK(flight.Step(&camera, &positionA, &rotationA, &positionB, frame % 2 ? &rotationB : nullptr) == 1);
        CStateHash hash;
        flight.HashState(hash);
    }
    SetFrameTime(0);
    return 0;
}

// Seeds of the event camera files: flights our writer makes, an empty list,
// and flights cut inside their last track.
#include "fuzz/FuzzSupport.h"
#include "fuzz/seeds/Seeds.h"
#include "game/battle/object/EventCamera.h"
#include "game/battle/object/tests/EventCameraSamples.h"

namespace seeds {

void MakeEventCameraSeeds(const std::string& root)
{
    Sink sink(root, "event_camera");
    const std::string folder = fuzz::Folder("EventCameraSeeds");
    auto saved = [&folder](void (*fill)(CEventCamera&)) {
        CEventCamera flight;
        if (fill) fill(flight);
        const std::string path = folder + "Seed.cam";
        FUZZ_CHECK(flight.Save(path.c_str()) == 1);
        return fuzz::ReadFile(path);
    };
    const Bytes sample = saved(battle_test::FillSampleFlight);
    sink.Add("sample-flight", sample);
    sink.Add("one-shot", saved(battle_test::FillOneShot));
    sink.Add("empty", saved(nullptr));
    sink.Add("cut", sample.substr(0, sample.size() - 6));
    sink.Add("cut-after-last-key", sample.substr(0, sample.size() - 12));
}

}  // namespace seeds

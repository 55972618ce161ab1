// Fuzz driver for the effect file reader: any bytes are read as an effect
// file. A refused file must leave the container it was read into as it was;
// a taken one is written out again, which must read back and write the
// same bytes, object by object through a file too. Then it is played in a
// small controller, bound to itself as a nested effect: the tracks, keys
// and settings of the file drive nodes and particles for a second of
// frames, after which every node and particle is back in its pool.
#include "engine/platform/FrameTime.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/EffectObject.h"
#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {

CEffectController& Controller()
{
    static CEffectController controller;
    static const bool created = controller.Create(nullptr, 64, 256) == 1;
    FUZZ_CHECK(created);
    return controller;
}

// Each record written to a file and read back into a fresh object gives the
// same bytes.
void RoundTripObjects(const CEffectContainer& read)
{
    fuzz::MemoryFile file;
    for (u32 i = 0; i < read.GetObjectCount(); ++i) FUZZ_CHECK(read.GetObject(i)->Write(nullptr, &file) == 1);
    FUZZ_CHECK(file.Seek(0, host::kernel::SeekOrigin::Begin));
    CEffectContainer copy;
    for (u32 i = 0; i < read.GetObjectCount(); ++i) {
        auto* object = new CEffectObject();
        FUZZ_CHECK(object->Read(nullptr, &file) == 1);
        FUZZ_CHECK(copy.AddObject(object) == 1);
    }
    FUZZ_CHECK(file.AtEnd());
    copy.SetName(read.GetName());
    FUZZ_CHECK(copy.SaveToMemory() == read.SaveToMemory());
}

void Play(CEffectContainer& read)
{
    CEffectController& controller = Controller();
    CResourceList effects;
    effects.SetOwns(0);
    void* self = &read;
    FUZZ_CHECK(effects.Add(&self));
    read.BindResources(nullptr, nullptr, nullptr, &effects);

    const CVector3 at(1, 2, 3);
    read.PlayInScene(&controller, 1, nullptr);
    CEffect* held = read.PlayAtPosition(&controller, &at, 0, nullptr);
    CEffect* under = held ? read.PlayInScene(&controller, 1, held) : nullptr;
    SetFrameTime(16);
    for (int frame = 0; frame < 60; ++frame) {
        controller.UpdateAll(0);
        if (held) held->Update(0);
        controller.DrawAll(0, nullptr);
        if (frame == 30 && held) held->Finish();
    }
    if (held) {
        FUZZ_CHECK(!std::isnan(held->GetLength()));
        held->IsFinished();
        if (under) under->Release();
        held->Release();
    }
    controller.DeleteAll();
    FUZZ_CHECK(controller.GetNodePool().GetLiveCount() == 0);
    FUZZ_CHECK(controller.GetParticlePool().GetLiveCount() == 0);
    SetFrameTime(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CEffectContainer target;
    target.SetName("before");
    target.AddObject(new CEffectObject());
    const std::string before = target.SaveToMemory();
    if (!target.LoadFromMemory(data, size)) {
        FUZZ_CHECK(target.SaveToMemory() == before);
        return 0;
    }
    CEffectContainer read;
    FUZZ_CHECK(read.LoadFromMemory(data, size) == 1);
    FUZZ_CHECK(read.GetObjectCount() + 1 == target.GetObjectCount());
    const std::string written = read.SaveToMemory();
    CEffectContainer again;
    FUZZ_CHECK(again.LoadFromMemory(written.data(), written.size()) == 1);
    FUZZ_CHECK(again.SaveToMemory() == written);
    RoundTripObjects(read);
    Play(read);
    return 0;
}

// Fuzz driver for the scene layout reader: any bytes are read as a layout
// from a memory stream (one cut short keeps what was read). A refused
// layout must leave the scene without layers and the stream where it was;
// a taken one is run through a frame
// (update, placement, look-ups, group turns, blends, a draw without a
// device) and written out again, which must read back and write the same.
#include "engine/core/MemStream.h"
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <memory>
#include <string>

namespace {

// Every layer of the tree, depth first, with the operations scenes use;
// layers counts them.
void Exercise(CSceneResource& scene, CSceneObject* layer, const CLayerState* previous, size_t& layers)
{
    if (!layer) return;
    ++layers;
    if (const char* name = layer->GetName()) FUZZ_CHECK(scene.FindLayer(name) != nullptr);
    layer->GetBoundingRect();
    f32 x = 0, y = 0;
    layer->GetCenter(&x, &y);
    layer->BlendTo(previous, 0.5f, -1.0f);
    layer->RotateChildren(30.0f);
    for (u32 i = 0; i < layer->GetChildCount(); ++i) {
        CSceneObject* child = layer->GetChild(i);
        if (child) FUZZ_CHECK(child->GetOwnerList() == layer->GetChildren());
        Exercise(scene, child, &layer->GetScreenState(), layers);
    }
}

std::string Written(const CSceneResource& scene)
{
    fuzz::MemoryFile out;
    FUZZ_CHECK(scene.Write(&out) == 1);
    return out.Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > UINT32_MAX) return 0;
    std::unique_ptr<CMemStream> stream(size ? CreateMemStream(data, u32(size)) : new CMemStream());
    if (!stream) return 0;
    CSceneResource scene;
    if (!scene.LoadFromMemory(stream.get())) {
        FUZZ_CHECK(scene.GetLayers() == nullptr && stream->GetPosition() == 0);
        return 0;
    }
    FUZZ_CHECK(stream->GetPosition() <= size);

    scene.SetScale(1.5f, 0.75f);
    scene.SetKeepAspect(data[0] & 1);
    scene.SetFit(data[0] & 2);
    scene.Initialize(0);
    // However damaged, no more layers than the bytes could hold.
    size_t layers = 0;
    for (u32 i = 0; i < scene.GetLayerCount(); ++i)
        Exercise(scene, scene.GetLayer(i), &scene.GetSceneState(), layers);
    FUZZ_CHECK(layers <= scene_file::LayerBound(size));
    scene.Draw(0);
    scene.DrawLayerByIndex(0, &scene.GetSceneState());

    const std::string once = Written(scene);
    std::unique_ptr<CMemStream> again(CreateMemStream(once.data(), u32(once.size())));
    CSceneResource reread;
    FUZZ_CHECK(again && reread.LoadFromMemory(again.get()) == 1);
    FUZZ_CHECK(again->GetPosition() == once.size());
    FUZZ_CHECK(Written(reread) == once);
    const CSceneResource copy(reread);
    FUZZ_CHECK(Written(copy) == once);
    return 0;
}

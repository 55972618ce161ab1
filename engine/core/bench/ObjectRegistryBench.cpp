// The registry under a battle's churn at a large scale: 500,000 live
// objects, one object registered and unregistered, then a read in id order
// (what a broadcast or GetAt does first). The read must not cost a pass over
// every live object.
#include "engine/core/ObjectRegistry.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class CBenchObject : public CMessageObject {
    ORV_VALUE_CLASS(CBenchObject)

public:
    CBenchObject() = default;
    explicit CBenchObject(u32 id) { SetId(id); }
    i32 Initialize(intptr_t) override { return 1; }
    i32 Update(u32) override { return 1; }
    i32 Draw(u32) override { return 1; }
    u32 HandleMessage(u32, CMessageObject*, intptr_t) override { return 1; }
};

void BM_AddRemovePairThenReadInIdOrder(benchmark::State& state)
{
    const u32 live = u32(state.range(0));
    CObjectRegistry registry;
    std::vector<std::unique_ptr<CBenchObject>> objects;
    objects.reserve(live);
    for (u32 i = 0; i < live; ++i) {
        objects.push_back(std::make_unique<CBenchObject>(registry.NewId()));
        registry.Add(objects.back().get());
    }
    registry.GetAt(0);   // settled before timing
    // Fresh ids for the churn, drawn before timing.
    std::vector<std::unique_ptr<CBenchObject>> churn;
    for (u32 i = 0; i < 4096; ++i) churn.push_back(std::make_unique<CBenchObject>(registry.NewId()));
    u32 next = 0, read = 0;
    for (auto _ : state) {
        CBenchObject* o = churn[next++ & 4095].get();
        registry.Add(o);
        registry.Remove(o);
        read = read * 1664525u + 1013904223u;
        benchmark::DoNotOptimize(registry.GetAt(read % live));
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_AddRemovePairThenReadInIdOrder)->Arg(500000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

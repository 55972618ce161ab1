#include "host/sound/Mixer.h"

#include <atomic>

namespace host::sound {

struct NullOutput::State {
    std::mutex mutex;
    Mixer* mixer = nullptr;   // the newest open device's
    std::shared_ptr<Faults> faults = std::make_shared<Faults>();
    uint32_t hardwareTotal = 0;
    uint32_t hardwareFree = 0;
};

namespace {

std::atomic<NullOutput*> g_installed{nullptr};

class NullSink final : public Output {
public:
    explicit NullSink(std::shared_ptr<NullOutput::State> state) : state_(std::move(state)) {}
    ~NullSink() override { Close(); }

    Result Open(Mixer& mixer, uint32_t, uint16_t) override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->mixer = opened_ = &mixer;
        return Result::Ok;
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (opened_ && state_->mixer == opened_) state_->mixer = nullptr;
        opened_ = nullptr;
    }
    uint32_t LatencyFrames() const override { return 0; }

private:
    std::shared_ptr<NullOutput::State> state_;
    Mixer* opened_ = nullptr;
};

}  // namespace

NullOutput::NullOutput() : state_(std::make_shared<State>()) {}

NullOutput::~NullOutput() {
    NullOutput* self = this;
    g_installed.compare_exchange_strong(self, nullptr);
}

bool NullOutput::MixFrames(uint32_t frames, int16_t* out) {
    if (frames > 0 && out == nullptr) return false;
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->mixer) return false;
    state_->mixer->Mix(frames, out);
    return true;
}

void NullOutput::FailNext(Call call, Result result, uint32_t times) {
    if (call < Call::Count) state_->faults->FailNext(call, result, times);
}

void NullOutput::FailAfter(Call call, uint32_t skip, Result result, uint32_t times) {
    if (call < Call::Count) state_->faults->FailNext(call, result, times, skip);
}

void NullOutput::ClearFailures() { state_->faults->Clear(); }

void NullOutput::LoseBuffers() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->mixer) state_->mixer->LoseBuffers();
}

void NullOutput::SetHardwareMemory(uint32_t totalBytes, uint32_t freeBytes) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->hardwareTotal = totalBytes;
    state_->hardwareFree = freeBytes;
}

void NullOutputHardwareMemory(NullOutput& output, uint32_t& totalBytes, uint32_t& freeBytes) {
    std::lock_guard<std::mutex> lock(output.GetState()->mutex);
    totalBytes = output.GetState()->hardwareTotal;
    freeBytes = output.GetState()->hardwareFree;
}

void SetNullOutput(NullOutput* output) { g_installed.store(output); }

NullOutput* InstalledNullOutput() { return g_installed.load(); }

std::shared_ptr<Faults> NullOutputFaults(NullOutput& output) { return output.GetState()->faults; }

std::unique_ptr<Output> CreateNullSink(NullOutput& output) {
    return std::make_unique<NullSink>(output.GetState());
}

}  // namespace host::sound

// Effect files (.shd text) through the render service: parsed, then made
// into an effect on the fake device, which must take exactly what the parser
// takes. A made effect starts with the declared values, takes a value and a
// texture for every parameter, and runs every pass of every technique,
// after which the device's render states are as they were.
#include "fuzz/FuzzSupport.h"
#include "host/render/EffectFile.h"
#include "host/render/FakeRender.h"
#include "host/window/FakeWindow.h"

#include <algorithm>
#include <vector>

using namespace host::render;

namespace {

// One fake device for the whole process; the log is emptied after each input.
struct Stage {
    Stage()
    {
        host::window::InstallFakeWindow();
        fake = &InstallFakeRender();
        host::window::WindowDesc desc;
        desc.title = "fuzz";
        desc.width = 64;
        desc.height = 64;
        window = host::window::CreateWindow(desc);
        FUZZ_CHECK(window != nullptr);
        api = CreateApi();
        FUZZ_CHECK(bool(api));
        PresentParams params;
        params.window = window;
        params.backBufferWidth = 64;
        params.backBufferHeight = 64;
        FUZZ_CHECK(api->CreateDevice(0, kDeviceHal, window, 0x44, params, device.Put()) == Result::Ok);
        FUZZ_CHECK(device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, texture.Put()) == Result::Ok);
    }

    FakeRender* fake = nullptr;
    host::window::Handle window = nullptr;
    Ref<Api> api;
    Ref<Device> device;
    Ref<Texture> texture;
};

// Every parameter starts with its initial words (zeros when none are
// given), then takes a value and, when it is a texture, the texture.
void CheckParams(Stage& stage, Effect* effect, const EffectDesc& desc)
{
    FakeEffect* fake = FakeRender::AsFake(effect);
    for (size_t i = 0; i < desc.params.size(); ++i) {
        const EffectParam& p = desc.params[i];
        // Twin names find the first.
        if (desc.FindParam(p.name) != &p) continue;
        const EffectHandle h = effect->GetParameterByName(kNoHandle, p.name.c_str());
        FUZZ_CHECK(h != kNoHandle);
        std::vector<int32_t> words = fake->IntValue(p.name);
        FUZZ_CHECK(words.size() == p.Words());
        for (size_t k = 0; k < words.size(); ++k)
            FUZZ_CHECK(uint32_t(words[k]) == (p.initial.empty() ? 0 : p.initial[k]));
        if (p.type == ParamType::Texture) {
            FUZZ_CHECK(effect->SetTexture(h, stage.texture.Get()) == Result::Ok);
            FUZZ_CHECK(fake->TextureValue(p.name) == stage.texture.Get());
            continue;
        }
        std::vector<float> values(p.Words() + 3);
        for (size_t k = 0; k < values.size(); ++k) values[k] = float(k) * 0.5f - 1.0f;
        effect->SetFloatArray(h, values.data(), uint32_t(values.size()));
        FUZZ_CHECK(fake->Value(p.name).size() == p.Words());
    }
}

// Every pass of every technique, with the device's states put back at End.
void RunTechniques(Stage& stage, Effect* effect, const EffectDesc& desc)
{
    FakeDevice& device = *static_cast<FakeDevice*>(stage.device.Get());
    for (size_t t = 0; t < desc.techniques.size(); ++t) {
        const EffectTechnique& technique = desc.techniques[t];
        const auto first = std::find_if(desc.techniques.begin(), desc.techniques.end(),
                                        [&](const EffectTechnique& o) { return o.name == technique.name; });
        if (first != desc.techniques.begin() + long(t)) continue;
        const EffectHandle h = effect->GetTechniqueByName(technique.name.c_str());
        FUZZ_CHECK(h != kNoHandle);
        FUZZ_CHECK(effect->SetTechnique(h) == Result::Ok);
        std::vector<std::pair<uint32_t, uint32_t>> before;
        for (const EffectPass& pass : technique.passes)
            for (const StateValue& s : pass.states) before.push_back({s.state, device.RenderState(s.state)});
        uint32_t passes = 0;
        FUZZ_CHECK(effect->Begin(&passes, 0) == Result::Ok);
        FUZZ_CHECK(passes == technique.passes.size());
        for (uint32_t p = 0; p < passes; ++p) {
            if (effect->BeginPass(p) == Result::Ok) FUZZ_CHECK(effect->EndPass() == Result::Ok);
        }
        FUZZ_CHECK(effect->BeginPass(passes) != Result::Ok);
        FUZZ_CHECK(effect->End() == Result::Ok);
        for (const auto& [state, value] : before) FUZZ_CHECK(device.RenderState(state) == value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Stage stage;
    EffectDesc desc;
    std::string parseError;
    const bool parsed = ParseEffect(std::string_view(reinterpret_cast<const char*>(data), size), desc, parseError);
    FUZZ_CHECK(parsed == parseError.empty());

    Ref<Effect> effect;
    std::string error;
    const Result made = CreateEffectFromMemory(stage.device.Get(), data, size, 0, effect.Put(), &error);
    if (size == 0) {
        FUZZ_CHECK(made != Result::Ok && !effect);
    } else if (!parsed) {
        FUZZ_CHECK(made != Result::Ok && !effect && error == parseError);
    } else {
        FUZZ_CHECK(made == Result::Ok && effect);
        FUZZ_CHECK(!desc.techniques.empty());
        CheckParams(stage, effect.Get(), desc);
        RunTechniques(stage, effect.Get(), desc);
    }
    effect.Reset();
    stage.fake->ClearLog();
    return 0;
}

// The fake effect: the shared effect core with every call logged, and its
// values open to tests. GLSL is not compiled here.
#include "host/render/FakeObjects.h"

#include <cstring>

namespace host::render {

FakeEffectImpl::FakeEffectImpl(std::shared_ptr<DeviceCore> c, const EffectDesc& desc, Device* device)
    : FakeResourceBase(std::move(c), kPoolManaged, false), device_(device), core_(desc, device) {}

void FakeEffectImpl::Describe(Recorder& rec, EffectHandle h) const {
    rec.Arg("handle", h);
    if (const EffectParam* p = core_.Param(h)) rec.Text("name", p->name);
}

EffectHandle FakeEffectImpl::GetParameterByName(EffectHandle parent, const char* name) {
    EffectHandle h = core_.ParameterByName(parent, name);
    Recorder rec(*core->fake, "Effect.GetParameterByName", fakeId);
    rec.Text("name", name ? name : "").Arg("handle", h);
    return h;
}

EffectHandle FakeEffectImpl::GetTechniqueByName(const char* name) {
    EffectHandle h = core_.TechniqueByName(name);
    Recorder rec(*core->fake, "Effect.GetTechniqueByName", fakeId);
    rec.Text("name", name ? name : "").Arg("handle", h);
    return h;
}

Result FakeEffectImpl::SetTechnique(EffectHandle technique) {
    Recorder rec(*core->fake, "Effect.SetTechnique", fakeId);
    rec.Arg("handle", technique);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    Result r = core_.SetTechnique(technique);
    if (r == Result::Ok) rec.Text("name", core_.Technique().name);
    return rec.Finish(r);
}

Result FakeEffectImpl::SetValue(EffectHandle h, const void* data, uint32_t bytes) {
    Recorder rec(*core->fake, "Effect.SetValue", fakeId);
    Describe(rec, h);
    rec.Arg("bytes", bytes).Data(data, bytes);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetValue(h, data, bytes));
}

Result FakeEffectImpl::SetFloat(EffectHandle h, float f) {
    Recorder rec(*core->fake, "Effect.SetFloat", fakeId);
    Describe(rec, h);
    rec.Arg("value", f);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetFloat(h, f));
}

Result FakeEffectImpl::SetFloatArray(EffectHandle h, const float* f, uint32_t count) {
    Recorder rec(*core->fake, "Effect.SetFloatArray", fakeId);
    Describe(rec, h);
    rec.Arg("count", count).Data(f, size_t(count) * 4);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetFloatArray(h, f, count));
}

Result FakeEffectImpl::SetInt(EffectHandle h, int32_t i) {
    Recorder rec(*core->fake, "Effect.SetInt", fakeId);
    Describe(rec, h);
    rec.Arg("value", i);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetInt(h, i));
}

Result FakeEffectImpl::SetVector(EffectHandle h, const Vector4& v) {
    Recorder rec(*core->fake, "Effect.SetVector", fakeId);
    Describe(rec, h);
    rec.Data(&v, sizeof v);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetVector(h, v));
}

Result FakeEffectImpl::SetVectorArray(EffectHandle h, const Vector4* v, uint32_t count) {
    Recorder rec(*core->fake, "Effect.SetVectorArray", fakeId);
    Describe(rec, h);
    rec.Arg("count", count).Data(v, sizeof(Vector4) * count);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetVectorArray(h, v, count));
}

Result FakeEffectImpl::SetMatrix(EffectHandle h, const Matrix& m) {
    Recorder rec(*core->fake, "Effect.SetMatrix", fakeId);
    Describe(rec, h);
    rec.Data(&m, sizeof m);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetMatrix(h, m));
}

Result FakeEffectImpl::SetMatrixArray(EffectHandle h, const Matrix* m, uint32_t count) {
    Recorder rec(*core->fake, "Effect.SetMatrixArray", fakeId);
    Describe(rec, h);
    rec.Arg("count", count).Data(m, sizeof(Matrix) * count);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.SetMatrixArray(h, m, count));
}

Result FakeEffectImpl::SetTexture(EffectHandle h, Texture* texture) {
    Recorder rec(*core->fake, "Effect.SetTexture", fakeId);
    Describe(rec, h);
    auto* t = dynamic_cast<FakeIdentity*>(texture);
    rec.Arg("texture", t ? double(t->fakeId) : 0);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    if (texture && (!t || t->fakeState != fakeState)) return rec.Finish(Result::InvalidCall);
    return rec.Finish(core_.SetTexture(h, texture));
}

Result FakeEffectImpl::Begin(uint32_t* passes, uint32_t flags) {
    Recorder rec(*core->fake, "Effect.Begin", fakeId);
    rec.Arg("flags", flags).Text("technique", core_.Technique().name);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    uint32_t count = 0;
    Result r = core_.Begin(&count, flags);
    if (r == Result::Ok && passes) *passes = count;
    rec.Arg("passes", count);
    return rec.Finish(r);
}

Result FakeEffectImpl::BeginPass(uint32_t pass) {
    Recorder rec(*core->fake, "Effect.BeginPass", fakeId);
    rec.Arg("pass", pass);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.BeginPass(pass));
}

Result FakeEffectImpl::EndPass() {
    Recorder rec(*core->fake, "Effect.EndPass", fakeId);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.EndPass());
}

Result FakeEffectImpl::End() {
    Recorder rec(*core->fake, "Effect.End", fakeId);
    if (rec.Injected() != Result::Ok) return rec.Finish(rec.Injected());
    return rec.Finish(core_.End());
}

std::vector<float> FakeEffectImpl::Value(std::string_view name) const {
    int i = core_.ParamIndex(name);
    if (i < 0) return {};
    const std::vector<uint32_t>& words = core_.Words(size_t(i));
    std::vector<float> out(words.size());
    const bool isInt = core_.Desc().params[size_t(i)].type == ParamType::Int;
    for (size_t k = 0; k < words.size(); ++k) {
        if (isInt)
            out[k] = float(int32_t(words[k]));
        else
            std::memcpy(&out[k], &words[k], 4);
    }
    return out;
}

std::vector<int32_t> FakeEffectImpl::IntValue(std::string_view name) const {
    int i = core_.ParamIndex(name);
    if (i < 0) return {};
    const std::vector<uint32_t>& words = core_.Words(size_t(i));
    return {words.begin(), words.end()};
}

Texture* FakeEffectImpl::TextureValue(std::string_view name) const {
    int i = core_.ParamIndex(name);
    return i < 0 ? nullptr : core_.BoundTexture(size_t(i));
}

}  // namespace host::render

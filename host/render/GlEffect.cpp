// The OpenGL effect: the shared effect core, one GL program per pass, and
// parameter values that reach GL only when they changed since the pass's
// program last drew.
#include "host/render/GlObjects.h"

#include <cstdio>

namespace host::render {

GlEffectImpl::GlEffectImpl(std::shared_ptr<GlCore> c, const EffectDesc& desc, Device* device)
    : GlResource(std::move(c), kPoolManaged), device_(device), gl_(static_cast<GlDeviceImpl*>(device)),
      core_(desc, device) {
    versions_.assign(core_.Desc().params.size(), 1);
    for (const EffectTechnique& t : core_.Desc().techniques) programs_.emplace_back(t.passes.size());
}

GlEffectImpl::~GlEffectImpl() {
    gl_->EffectGone(this);
    std::lock_guard lock(core->mutex);
    Retire({});
    if (!core->device) return;
    for (const auto& technique : programs_)
        for (const EffectProgram& p : technique)
            if (p.name) core->deletions.push_back({GlDeletion::Program, p.name, 0});
}

Result GlEffectImpl::Changed(EffectHandle h, Result r) {
    if (r == Result::Ok)
        if (const EffectParam* p = core_.Param(h)) ++versions_[size_t(p - core_.Desc().params.data())];
    return r;
}

Result GlEffectImpl::SetValue(EffectHandle h, const void* data, uint32_t bytes) {
    return Changed(h, core_.SetValue(h, data, bytes));
}
Result GlEffectImpl::SetFloat(EffectHandle h, float f) { return Changed(h, core_.SetFloat(h, f)); }
Result GlEffectImpl::SetFloatArray(EffectHandle h, const float* f, uint32_t count) {
    return Changed(h, core_.SetFloatArray(h, f, count));
}
Result GlEffectImpl::SetInt(EffectHandle h, int32_t i) { return Changed(h, core_.SetInt(h, i)); }
Result GlEffectImpl::SetVector(EffectHandle h, const Vector4& v) { return Changed(h, core_.SetVector(h, v)); }
Result GlEffectImpl::SetVectorArray(EffectHandle h, const Vector4* v, uint32_t count) {
    return Changed(h, core_.SetVectorArray(h, v, count));
}
Result GlEffectImpl::SetMatrix(EffectHandle h, const Matrix& m) { return Changed(h, core_.SetMatrix(h, m)); }
Result GlEffectImpl::SetMatrixArray(EffectHandle h, const Matrix* m, uint32_t count) {
    return Changed(h, core_.SetMatrixArray(h, m, count));
}

Result GlEffectImpl::SetTexture(EffectHandle h, Texture* texture) {
    if (texture && !GlCast<GlTextureImpl>(texture, core.get())) return Result::InvalidCall;
    return core_.SetTexture(h, texture);
}

bool GlEffectImpl::Compile(std::string& log) {
    if (compiled_) return true;
    const EffectDesc& d = core_.Desc();
    if (d.samplers.size() > GlState::kUnits) {
        log = "more than " + std::to_string(GlState::kUnits) + " samplers";
        return false;
    }
    for (size_t t = 0; t < d.techniques.size(); ++t) {
        for (size_t p = 0; p < d.techniques[t].passes.size(); ++p) {
            const EffectPass& pass = d.techniques[t].passes[p];
            EffectProgram& program = programs_[t][p];
            if (program.name) continue;
            const EffectShader* vs = d.FindShader(ShaderStage::Vertex, pass.vertex);
            const EffectShader* fs = d.FindShader(ShaderStage::Fragment, pass.fragment);
            std::string message;
            program.name = vs && fs ? LinkProgram(EffectVertexSource(d, *vs), EffectFragmentSource(d, *fs), message) : 0;
            if (!program.name) {
                log = d.techniques[t].name + " " + pass.name + ": " + message;
                return false;
            }
            LocateEffectUniforms(d, program);
            gl_->Gl().UseProgram(program.name);
            for (size_t s = 0; s < d.samplers.size(); ++s)
                glUniform1i(glGetUniformLocation(program.name, d.samplers[s].name.c_str()), GLint(s));
        }
    }
    compiled_ = true;
    return true;
}

Result GlEffectImpl::Begin(uint32_t* passes, uint32_t flags) {
    if (core_.Begun() || !core->OnContextThread()) return Result::InvalidCall;
    if (!compiled_) {
        gl_->MakeCurrent();
        std::string log;
        if (!Compile(log)) {
            std::fprintf(stderr, "render: effect does not build: %s\n", log.c_str());
            return Result::InvalidCall;
        }
    }
    return core_.Begin(passes, flags);
}

Result GlEffectImpl::BeginPass(uint32_t pass) {
    if (!core->OnContextThread()) return Result::InvalidCall;
    Result r = core_.BeginPass(pass);
    if (r == Result::Ok) gl_->SetEffectPass(this);
    return r;
}

Result GlEffectImpl::EndPass() {
    if (!core->OnContextThread()) return Result::InvalidCall;
    Result r = core_.EndPass();
    if (r == Result::Ok) gl_->SetEffectPass(nullptr);
    return r;
}

Result GlEffectImpl::End() {
    if (!core->OnContextThread()) return Result::InvalidCall;
    return core_.End();
}

EffectProgram& GlEffectImpl::Current(uint32_t pass) {
    const size_t technique = size_t(&core_.Technique() - core_.Desc().techniques.data());
    return programs_[technique][pass];
}

void GlEffectImpl::PrepareTextures() {
    for (const EffectSampler& s : core_.Desc().samplers)
        if (auto* t = static_cast<GlTextureImpl*>(core_.BoundTexture(size_t(core_.ParamIndex(s.texture))))) t->GlName();
}

void GlEffectImpl::PrepareDraw(uint64_t hostVersion, const HostUniforms& host) {
    EffectProgram& p = Current(uint32_t(core_.ActivePass()));
    GlState& gl = gl_->Gl();
    gl.UseProgram(p.name);
    const EffectDesc& d = core_.Desc();
    for (size_t i = 0; i < d.params.size(); ++i) {
        if (p.params[i] < 0 || p.uploaded[i] == versions_[i]) continue;
        p.uploaded[i] = versions_[i];
        const GLint at = p.params[i];
        const GLsizei n = GLsizei(d.params[i].Elements());
        const std::vector<uint32_t>& words = core_.Words(i);
        const auto* f = reinterpret_cast<const GLfloat*>(words.data());
        switch (d.params[i].type) {
        case ParamType::Float: glUniform1fv(at, n, f); break;
        case ParamType::Int: glUniform1iv(at, n, reinterpret_cast<const GLint*>(words.data())); break;
        case ParamType::Float2: glUniform2fv(at, n, f); break;
        case ParamType::Float3: glUniform3fv(at, n, f); break;
        case ParamType::Float4: glUniform4fv(at, n, f); break;
        case ParamType::Float4x4: glUniformMatrix4fv(at, n, GL_FALSE, f); break;
        case ParamType::Float3x4: glUniformMatrix3x4fv(at, n, GL_FALSE, f); break;
        case ParamType::Texture: break;
        }
    }
    if (p.hostUploaded != hostVersion) {
        p.hostUploaded = hostVersion;
        glUniform4fv(p.viewport, 1, host.viewport);
        glUniform1i(p.alphaFunc, host.alphaFunc);
        glUniform1f(p.alphaRef, host.alphaRef);
        glUniform1i(p.fogOn, host.fogOn);
        glUniform3fv(p.fogColor, 1, host.fogColor);
    }
    for (size_t s = 0; s < d.samplers.size(); ++s) {
        auto* t = p.samplerParams[s] < 0 ? nullptr
                                         : static_cast<GlTextureImpl*>(core_.BoundTexture(size_t(p.samplerParams[s])));
        // An unbound texture samples white.
        gl.BindTexture(uint32_t(s), t ? t->GlName() : gl_->White());
        const EffectSampler& sampler = d.samplers[s];
        gl.BindSampler(uint32_t(s), gl_->SamplerFor(sampler.filter, sampler.filter, sampler.address));
    }
}

}  // namespace host::render

// The OpenGL device's draws. DrawPrimitiveUP vertices collect in a batch
// while nothing a draw depends on changes (every state setter flushes the
// batch before it changes anything), then go to GL as one draw through a
// single streaming buffer that is orphaned when full. Fans and strips are
// unrolled into lists so that consecutive draws can share one GL draw.
#include "host/render/GlObjects.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace host::render {
namespace {

template <class T>
bool Update(T& slot, T value) {
    if (slot == value) return false;
    slot = value;
    return true;
}

void EnableCap(GLenum cap, int8_t& slot, bool on) {
    if (Update(slot, int8_t(on))) on ? glEnable(cap) : glDisable(cap);
}

// a × b for row-vector matrices.
Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

void Rgb(uint32_t argb, float out[3]) {
    out[0] = float((argb >> 16) & 0xFF) / 255.0f;
    out[1] = float((argb >> 8) & 0xFF) / 255.0f;
    out[2] = float(argb & 0xFF) / 255.0f;
}

float FloatOf(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace

// ---------------------------------------------------------------- GL state cache

void GlState::Forget() {
    program = drawFbo = readFbo = arrayBuffer = elementBuffer = activeUnit = ~0u;
    std::fill(std::begin(textures), std::end(textures), ~0u);
    std::fill(std::begin(samplers), std::end(samplers), ~0u);
    std::fill(std::begin(viewport), std::end(viewport), -1);
    std::fill(std::begin(scissor), std::end(scissor), -1);
    depthRange[0] = depthRange[1] = -1.0f;
    scissorOn = blendOn = depthOn = stencilOn = cullOn = depthWrite = -1;
    std::fill(std::begin(colorMask), std::end(colorMask), int8_t(-1));
    blendSrc = blendDst = blendEquation = depthFunc = cullFace = 0;
    stencilFunc = stencilFail = stencilZFail = stencilPass = 0;
    stencilRef = -1;
    stencilMask = stencilWrite = 0x12345678u;
}

void GlState::UseProgram(GLuint p) {
    if (Update(program, p)) glUseProgram(p);
}

void GlState::BindDrawFramebuffer(GLuint fbo) {
    if (Update(drawFbo, fbo)) glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
}

void GlState::BindReadFramebuffer(GLuint fbo) {
    if (Update(readFbo, fbo)) glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
}

void GlState::BindArrayBuffer(GLuint buffer) {
    if (Update(arrayBuffer, buffer)) glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void GlState::BindElementBuffer(GLuint buffer) {
    if (Update(elementBuffer, buffer)) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
}

void GlState::BindTexture(uint32_t unit, GLuint texture) {
    if (textures[unit] == texture) return;
    if (Update(activeUnit, unit)) glActiveTexture(GL_TEXTURE0 + unit);
    textures[unit] = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void GlState::BindSampler(uint32_t unit, GLuint sampler) {
    if (Update(samplers[unit], sampler)) glBindSampler(unit, sampler);
}

void GlState::BindUploadTexture(GLuint texture) {
    // The uploads that follow work on the active unit's texture: the upload
    // unit must be active even when it already holds this texture, or they
    // land in whatever a draw bound last.
    if (Update(activeUnit, kUploadUnit)) glActiveTexture(GL_TEXTURE0 + kUploadUnit);
    BindTexture(kUploadUnit, texture);
}

void GlState::Viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    if (viewport[0] == x && viewport[1] == y && viewport[2] == w && viewport[3] == h) return;
    viewport[0] = x, viewport[1] = y, viewport[2] = w, viewport[3] = h;
    glViewport(x, y, w, h);
}

void GlState::DepthRange(float nearZ, float farZ) {
    if (depthRange[0] == nearZ && depthRange[1] == farZ) return;
    depthRange[0] = nearZ, depthRange[1] = farZ;
    glDepthRange(nearZ, farZ);
}

void GlState::Scissor(bool on, GLint x, GLint y, GLsizei w, GLsizei h) {
    EnableCap(GL_SCISSOR_TEST, scissorOn, on);
    if (!on || (scissor[0] == x && scissor[1] == y && scissor[2] == w && scissor[3] == h)) return;
    scissor[0] = x, scissor[1] = y, scissor[2] = w, scissor[3] = h;
    glScissor(x, y, w, h);
}

void GlState::Blend(bool on, GLenum src, GLenum dst, GLenum equation) {
    EnableCap(GL_BLEND, blendOn, on);
    if (!on) return;
    if (blendSrc != src || blendDst != dst) {
        blendSrc = src, blendDst = dst;
        glBlendFunc(src, dst);
    }
    if (Update(blendEquation, equation)) glBlendEquation(equation);
}

void GlState::Depth(bool test, GLenum func, bool write) {
    EnableCap(GL_DEPTH_TEST, depthOn, test);
    if (test && Update(depthFunc, func)) glDepthFunc(func);
    DepthWrite(write);
}

void GlState::DepthWrite(bool write) {
    if (Update(depthWrite, int8_t(write))) glDepthMask(write ? GL_TRUE : GL_FALSE);
}

void GlState::Stencil(bool test, GLenum func, GLint ref, GLuint mask, GLenum fail, GLenum zfail, GLenum pass,
                      GLuint write) {
    EnableCap(GL_STENCIL_TEST, stencilOn, test);
    if (!test) return;
    if (stencilFunc != func || stencilRef != ref || stencilMask != mask) {
        stencilFunc = func, stencilRef = ref, stencilMask = mask;
        glStencilFunc(func, ref, mask);
    }
    if (stencilFail != fail || stencilZFail != zfail || stencilPass != pass) {
        stencilFail = fail, stencilZFail = zfail, stencilPass = pass;
        glStencilOp(fail, zfail, pass);
    }
    StencilWrite(write);
}

void GlState::StencilWrite(GLuint write) {
    if (Update(stencilWrite, write)) glStencilMask(write);
}

void GlState::Cull(bool on, GLenum face) {
    EnableCap(GL_CULL_FACE, cullOn, on);
    if (on && Update(cullFace, face)) glCullFace(face);
}

void GlState::ColorMask(bool r, bool g, bool b, bool a) {
    const int8_t want[4] = {r, g, b, a};
    if (std::equal(std::begin(want), std::end(want), std::begin(colorMask))) return;
    std::copy(std::begin(want), std::end(want), std::begin(colorMask));
    glColorMask(r, g, b, a);
}

void GlState::Deleted(GlDeletion::Kind kind, GLuint name) {
    switch (kind) {
    case GlDeletion::Texture:
        for (GLuint& t : textures)
            if (t == name) t = ~0u;
        break;
    case GlDeletion::Buffer:
        if (arrayBuffer == name) arrayBuffer = ~0u;
        if (elementBuffer == name) elementBuffer = ~0u;
        break;
    case GlDeletion::Program:
        if (program == name) program = ~0u;
        break;
    case GlDeletion::SurfaceGone:   // name: a framebuffer
        if (drawFbo == name) drawFbo = ~0u;
        if (readFbo == name) readFbo = ~0u;
        break;
    case GlDeletion::Renderbuffer: break;
    }
}

// ---------------------------------------------------------------- preparing a draw

void GlDeviceImpl::PrepareTarget(bool depth) {
    auto* colour = static_cast<GlSurfaceImpl*>(target_);
    auto* zs = static_cast<GlSurfaceImpl*>(depthTarget_);
    colour->GlName();
    if (zs) zs->GlName();
    if (targetDirty_) {
        targetFbo_[0] = FramebufferFor(colour, nullptr);
        targetFbo_[1] = zs ? FramebufferFor(colour, zs) : targetFbo_[0];
        targetDirty_ = false;
    }
    gl_.BindDrawFramebuffer(targetFbo_[depth && zs]);
}

void GlDeviceImpl::ApplyStates(GLenum dest) {
    // The blend goes every draw: a batch may carry a destination factor the
    // states no longer hold (GlState sends only what changed).
    const bool x8 = IgnoresAlpha(static_cast<GlSurfaceImpl*>(target_)->desc.format);
    gl_.Blend(rs_[kRsAlphaBlendEnable], GlBlendFactor(rs_[kRsSrcBlend], x8), dest, GlBlendEquation(rs_[kRsBlendOp]));
    if (!statesDirty_) return;
    statesDirty_ = false;
    gl_.Viewport(GLint(viewport_.x), GLint(viewport_.y), GLsizei(viewport_.width), GLsizei(viewport_.height));
    gl_.DepthRange(viewport_.minZ, viewport_.maxZ);
    gl_.Scissor(false);
    const bool depth = depthTarget_ != nullptr;
    gl_.Depth(depth && rs_[kRsZEnable], GlCompare(rs_[kRsZFunc]), rs_[kRsZWriteEnable] != 0);
    gl_.Stencil(depth && rs_[kRsStencilEnable], GlCompare(rs_[kRsStencilFunc]), GLint(rs_[kRsStencilRef] & 0xFF),
                rs_[kRsStencilMask], GlStencilOp(rs_[kRsStencilFail]), GlStencilOp(rs_[kRsStencilZFail]),
                GlStencilOp(rs_[kRsStencilPass]), rs_[kRsStencilWriteMask]);
    // The y flip turns windings over: Direct3D's counter-clockwise faces are
    // GL's clockwise ones.
    const uint32_t cull = rs_[kRsCullMode];
    gl_.Cull(cull != kCullNone, cull == kCullCw ? GL_FRONT : GL_BACK);
    const uint32_t mask = rs_[kRsColorWriteEnable];
    gl_.ColorMask(mask & kColorWriteRed, mask & kColorWriteGreen, mask & kColorWriteBlue, mask & kColorWriteAlpha);
}

HostUniforms GlDeviceImpl::Host() const {
    HostUniforms h{};
    h.viewport[0] = float(viewport_.x);
    h.viewport[1] = float(viewport_.y);
    h.viewport[2] = float(std::max(1u, viewport_.width));
    h.viewport[3] = float(std::max(1u, viewport_.height));
    h.alphaRef = float(rs_[kRsAlphaRef]);
    Rgb(rs_[kRsFogColor], h.fogColor);
    return h;
}

void GlDeviceImpl::UploadFixedUniforms(FixedProgram& p) {
    p.uploaded = fixedVersion_;
    const HostUniforms h = Host();
    glUniform4fv(p.viewport, 1, h.viewport);
    glUniform1f(p.alphaRef, h.alphaRef);
    glUniform3fv(p.fogColor, 1, h.fogColor);
    if (p.screen) return;
    auto transform = [&](uint32_t t) {
        auto it = transforms_.find(t);
        return it == transforms_.end() ? IdentityMatrix() : it->second;
    };
    const Matrix worldView = Multiply(transform(kTransformWorld), transform(kTransformView));
    const Matrix projection = transform(kTransformProjection);
    // Row-vector data goes up as it is: GLSL's M * v is then v × M.
    glUniformMatrix4fv(p.worldView, 1, GL_FALSE, &worldView.m[0][0]);
    glUniformMatrix4fv(p.projection, 1, GL_FALSE, &projection.m[0][0]);
    glUniform1i(p.lighting, rs_[kRsLighting] != 0);
    float ambient[3];
    Rgb(rs_[kRsAmbient], ambient);
    glUniform3fv(p.ambient, 1, ambient);
    glUniform3f(p.matAmbient, material_.ambient.r, material_.ambient.g, material_.ambient.b);
    glUniform3f(p.matEmissive, material_.emissive.r, material_.emissive.g, material_.emissive.b);
    glUniform1f(p.matDiffuseAlpha, material_.diffuse.a);
    glUniform1i(p.vertexFog, rs_[kRsFogEnable] && rs_[kRsFogVertexMode] == kFogLinear);
    glUniform2f(p.fogRange, FloatOf(rs_[kRsFogStart]), FloatOf(rs_[kRsFogEnd]));
}

FixedProgram* GlDeviceImpl::FixedFor(bool screen, uint32_t batchKey) {
    // Pretransformed vertices are never lit or fogged.
    const bool fog = !screen && rs_[kRsFogEnable] && rs_[kRsFogVertexMode] == kFogLinear;
    const uint32_t alphaFunc = rs_[kRsAlphaTestEnable] ? rs_[kRsAlphaFunc] : 0;
    const uint32_t key =
        StageKey(stages_[0]) | TailKey(alphaFunc, fog) << 14 | uint32_t(screen) << 19 | batchKey << 20;
    if (key == lastFixedKey_[screen]) return lastFixed_[screen];
    auto [it, made] = fixed_.try_emplace(key);
    FixedProgram& p = it->second;
    if (made) {
        p.screen = screen;
        std::string log;
        p.name = LinkProgram(FixedVertexSource(screen, batchKey),
                             FixedFragmentSource(key & 0x3FFF, (key >> 14) & 0x1F, batchKey), log);
        if (!p.name) std::fprintf(stderr, "render: a built-in program does not build: %s\n", log.c_str());
        if (p.name) {
            LocateFixedUniforms(p);
            // A batch's texture u reads unit u.
            gl_.UseProgram(p.name);
            for (uint32_t u = 1; u < kBatchUnits; ++u)
                if (GLint at = glGetUniformLocation(p.name, ("host_Texture" + std::to_string(u)).c_str()); at >= 0)
                    glUniform1i(at, GLint(u));
        }
    }
    lastFixedKey_[screen] = key;
    lastFixed_[screen] = p.name ? &p : nullptr;
    return lastFixed_[screen];
}

GlDeviceImpl::Batch::Unit GlDeviceImpl::CurrentUnit() {
    return {static_cast<GlTextureImpl*>(textures_[0]),
            samplers_[0][kSampMinFilter] | samplers_[0][kSampMagFilter] << 4 | kAddressWrap << 8};
}

GLenum GlDeviceImpl::CurrentDest() const {
    // An X8 target's alpha reads as 1, as Direct3D has it: its stored alpha
    // is never looked at, so writing it costs nothing (a masked channel would
    // make every fragment read back its pixel).
    return GlBlendFactor(rs_[kRsDestBlend], IgnoresAlpha(static_cast<GlSurfaceImpl*>(target_)->desc.format));
}

namespace {

BatchDest DestKind(GLenum factor) {
    switch (factor) {
    case GL_ONE: return kDestOne;
    case GL_ZERO: return kDestZero;
    case GL_ONE_MINUS_SRC_ALPHA: return kDestInvSrcAlpha;
    case GL_ONE_MINUS_SRC_COLOR: return kDestInvSrcColor;
    default: return kDestOther;
    }
}

uint8_t Word(uint32_t unit, GLenum dest) {
    return uint8_t(unit | (DestKind(dest) & 3u) << kBatchDestShift);
}

}  // namespace

bool GlDeviceImpl::Joins(const Batch::Unit& unit, GLenum dest, uint8_t& word) {
    uint32_t u = 0;
    while (u < batch_.unitCount && !(batch_.units[u] == unit)) ++u;
    if (u == kBatchUnits) return false;
    if (batch_.runDraws >= kShortRun && (u != batch_.lastUnit || batch_.unitCount > 1)) return false;
    // Without blending the factor is not looked at.
    bool mixedDest = batch_.mixedDest;
    if (rs_[kRsAlphaBlendEnable] && dest != batch_.dest) {
        if (DestKind(dest) == kDestOther || DestKind(batch_.dest) == kDestOther) return false;
        mixedDest = true;
    }
    if (u == batch_.unitCount) {
        batch_.units[u] = unit;
        if (unit.texture) unit.texture->AddRef();
        ++batch_.unitCount;
    }
    batch_.mixedDest = mixedDest;
    if (u != batch_.lastUnit) batch_.lastUnit = u, batch_.runDraws = 0;
    word = Word(u, dest);
    return true;
}

void GlDeviceImpl::ClearBatch() {
    for (uint32_t u = 0; u < batch_.unitCount; ++u)
        if (GlTextureImpl* t = std::exchange(batch_.units[u].texture, nullptr)) t->Release();
    batch_.unitCount = 0;
    batch_.mixedDest = false;
    batch_.vertices = 0;
    batch_.bytes.clear();
    batch_.words.clear();
}

bool GlDeviceImpl::PrepareDraw(const VertexLayout& layout, const Batch* batch) {
    if (batch && !batch->fixed) batch = nullptr;
    // Textures first: a pending Fill clears through a framebuffer of its own.
    GLuint texture[kBatchUnits] = {white_};
    Batch::Unit current[1];
    const Batch::Unit* units = current;
    uint32_t unitCount = 1;
    if (effect_) {
        effect_->PrepareTextures();
    } else {
        if (batch) {
            units = batch->units;
            unitCount = batch->unitCount;
        } else {
            current[0] = CurrentUnit();
        }
        for (uint32_t u = 0; u < unitCount; ++u) texture[u] = units[u].texture ? units[u].texture->GlName() : white_;
    }
    // Without the z-test and the stencil test nothing reads or writes depth.
    PrepareTarget(rs_[kRsZEnable] || rs_[kRsStencilEnable]);
    ApplyStates(!batch ? CurrentDest() : batch->mixedDest ? GL_ONE_MINUS_SRC1_COLOR : batch->dest);
    if (effect_)
        return effect_->PrepareDraw(TailKey(rs_[kRsAlphaTestEnable] ? rs_[kRsAlphaFunc] : 0, rs_[kRsFogEnable] != 0),
                                    hostVersion_, Host());
    FixedProgram* p = FixedFor(layout.pretransformed, batch ? BatchKey(unitCount, batch->mixedDest) : 0);
    if (!p) return false;
    gl_.UseProgram(p->name);
    if (p->uploaded != fixedVersion_) UploadFixedUniforms(*p);
    const int hasColor = layout.hasColor && rs_[kRsColorVertex];
    if (Update(p->hasColorValue, hasColor)) glUniform1i(p->hasColor, hasColor);
    for (uint32_t u = 0; u < unitCount; ++u) {
        const uint32_t key = units[u].sampler;
        gl_.BindTexture(u, texture[u]);
        gl_.BindSampler(u, SamplerFor(key & 0xF, (key >> 4) & 0xF, key >> 8));
    }
    return true;
}

void GlDeviceImpl::PointAttribs(const VertexLayout& layout, GLuint buffer, uintptr_t offset, uint32_t stride) {
    if (pointedLayout_ == layout.id && pointedBuffer_ == buffer && pointedOffset_ == offset && pointedStride_ == stride)
        return;
    gl_.BindArrayBuffer(buffer);
    uint32_t mask = 0;
    for (uint8_t i = 0; i < layout.count; ++i) {
        const VertexAttrib& a = layout.attribs[i];
        const auto* at = reinterpret_cast<const void*>(offset + a.offset);
        if (a.integer)
            glVertexAttribIPointer(a.location, a.size, a.type, GLsizei(stride), at);
        else
            glVertexAttribPointer(a.location, a.size, a.type, a.normalized,
                                  GLsizei(stride), at);
        mask |= 1u << a.location;
    }
    for (uint32_t changed = mask ^ enabledAttribs_, loc = 0; changed; changed >>= 1, ++loc)
        if (changed & 1) (mask >> loc) & 1 ? glEnableVertexAttribArray(loc) : glDisableVertexAttribArray(loc);
    enabledAttribs_ = mask;
    pointedLayout_ = layout.id;
    pointedBuffer_ = buffer;
    pointedOffset_ = offset;
    pointedStride_ = stride;
}

// Copies vertices into the stream buffer at a multiple of the stride, so
// the attributes keep pointing at offset 0; the first vertex's index back.
// The words follow the vertices in the same storage.
uint32_t GlDeviceImpl::StreamVertices(const uint8_t* data, uint32_t bytes, uint32_t stride, const uint8_t* words,
                                      uint32_t wordBytes, uint32_t* wordsAt) {
    gl_.BindArrayBuffer(streamVbo_);
    uint32_t offset = (streamOffsetBytes_ + stride - 1) / stride * stride;
    const uint64_t total = uint64_t(bytes) + wordBytes;
    if (offset + total > streamCapacity_) {
        while (total > streamCapacity_) streamCapacity_ *= 2;
        // Orphaned: draws still reading the old storage keep it.
        glBufferData(GL_ARRAY_BUFFER, streamCapacity_, nullptr, GL_STREAM_DRAW);
        offset = 0;
    }
    void* p = glMapBufferRange(GL_ARRAY_BUFFER, offset, GLsizeiptr(total),
                               GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (p) {
        std::memcpy(p, data, bytes);
        if (wordBytes) std::memcpy(static_cast<uint8_t*>(p) + bytes, words, wordBytes);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    } else {
        glBufferSubData(GL_ARRAY_BUFFER, offset, bytes, data);
        if (wordBytes) glBufferSubData(GL_ARRAY_BUFFER, offset + bytes, wordBytes, words);
    }
    if (wordsAt) *wordsAt = offset + bytes;
    streamOffsetBytes_ = uint32_t(offset + total);
    return offset / stride;
}

void GlDeviceImpl::PointWords(bool on, uintptr_t offset) {
    if (on) glVertexAttribIPointer(kLocBatchWord, 1, GL_UNSIGNED_BYTE, 1, reinterpret_cast<const void*>(offset));
    if (Update(wordsEnabled_, on))
        on ? glEnableVertexAttribArray(kLocBatchWord) : glDisableVertexAttribArray(kLocBatchWord);
}

void GlDeviceImpl::Flush() {
    if (batch_.vertices == 0) return;
    MakeCurrent();
    if (!PrepareDraw(batch_.layout, &batch_)) {
        ClearBatch();
        return;
    }
    const bool words = !batch_.words.empty();
    uint32_t wordsAt = 0;
    const uint32_t first = StreamVertices(batch_.bytes.data(), uint32_t(batch_.bytes.size()), batch_.stride,
                                          batch_.words.data(), uint32_t(batch_.words.size()), &wordsAt);
    PointAttribs(batch_.layout, streamVbo_, 0, batch_.stride);
    // Vertex `first` reads the first word.
    PointWords(words, wordsAt - first);
    glDrawArrays(batch_.mode, GLint(first), GLsizei(batch_.vertices));
    ClearBatch();
}

// ---------------------------------------------------------------- draws

// Unrolls a fan or strip into a list at the end of the batch.
void GlDeviceImpl::AppendVertices(uint32_t type, uint32_t count, const uint8_t* data, uint32_t stride) {
    const size_t at = batch_.bytes.size();
    auto put = [&](size_t& to, uint32_t vertex) {
        std::memcpy(batch_.bytes.data() + to, data + size_t(vertex) * stride, stride);
        to += stride;
    };
    switch (type) {
    case kPrimitiveTriangleList:
        batch_.bytes.resize(at + size_t(count) * 3 * stride);
        std::memcpy(batch_.bytes.data() + at, data, size_t(count) * 3 * stride);
        batch_.vertices += count * 3;
        break;
    case kPrimitiveTriangleFan: {
        batch_.bytes.resize(at + size_t(count) * 3 * stride);
        size_t to = at;
        for (uint32_t i = 1; i <= count; ++i) put(to, 0), put(to, i), put(to, i + 1);
        batch_.vertices += count * 3;
        break;
    }
    case kPrimitiveLineStrip: {
        batch_.bytes.resize(at + size_t(count) * 2 * stride);
        size_t to = at;
        for (uint32_t i = 0; i < count; ++i) put(to, i), put(to, i + 1);
        batch_.vertices += count * 2;
        break;
    }
    }
}

Result GlDeviceImpl::DrawPrimitiveUP(uint32_t type, uint32_t count, const void* vertices, uint32_t stride) {
    const uint32_t n = VertexCount(type, count);
    const VertexLayout* layout = layout_;
    if (!Here() || !inScene_ || n == 0 || !vertices || stride == 0 || count > caps_.maxPrimitiveCount || !layout ||
        (fvf_ ? stride != FvfStride(fvf_) : stride < layout->minStride))
        return Result::InvalidCall;
    // Direct3D forgets stream 0 and the indices on this call.
    Bind(stream_, static_cast<VertexBuffer*>(nullptr));
    streamOffset_ = streamStride_ = 0;
    Bind(indices_, static_cast<IndexBuffer*>(nullptr));
    // A batch of one draw keeps a fan or strip as it is (fewer vertices to
    // transform); a second draw unrolls both into a list.
    const GLenum list = type == kPrimitiveLineStrip ? GL_LINES : GL_TRIANGLES;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    // A built-in program's draw may change texture, filter or destination
    // factor and still join: those travel with its vertices.
    const bool fixed = !effect_;
    const Batch::Unit unit = fixed ? CurrentUnit() : Batch::Unit{};
    const GLenum dest = fixed ? CurrentDest() : GL_ZERO;
    uint8_t word = Word(0, dest);
    if (batch_.vertices && (batch_.layout.id != layout->id || batch_.stride != stride || batch_.list != list ||
                            batch_.fixed != fixed || (fixed && !Joins(unit, dest, word))))
        Flush();
    if (batch_.vertices == 0) {
        batch_.fixed = fixed;
        batch_.dest = dest;
        if (fixed) {
            batch_.units[0] = unit;
            if (unit.texture) unit.texture->AddRef();
            batch_.unitCount = 1;
        }
        batch_.lastUnit = batch_.runDraws = 0;
        batch_.layout = *layout;
        batch_.stride = stride;
        batch_.list = list;
        batch_.nativeType = type;
        batch_.nativeCount = count;
        batch_.mode = type == kPrimitiveLineStrip ? GL_LINE_STRIP
                      : type == kPrimitiveTriangleFan ? GL_TRIANGLE_FAN
                                                      : GL_TRIANGLES;
        batch_.vertices = n;
        batch_.bytes.assign(bytes, bytes + size_t(n) * stride);
    } else {
        if (batch_.mode != list) {
            std::vector<uint8_t> first;
            first.swap(batch_.bytes);
            batch_.bytes.clear();
            batch_.vertices = 0;
            AppendVertices(batch_.nativeType, batch_.nativeCount, first.data(), stride);
            batch_.mode = list;
        }
        // The first word for what was drawn before the draws differed.
        if (batch_.words.empty() && (batch_.unitCount > 1 || batch_.mixedDest))
            batch_.words.assign(batch_.vertices, Word(0, batch_.dest));
        AppendVertices(type, count, bytes, stride);
    }
    if (!batch_.words.empty()) batch_.words.resize(batch_.vertices, word);
    ++batch_.runDraws;
    // An effect's values may change before the next draw.
    if (effect_) Flush();
    return Result::Ok;
}

Result GlDeviceImpl::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                          uint32_t startIndex, uint32_t count) {
    auto* vb = static_cast<GlVertexBufferImpl*>(stream_);
    auto* ib = static_cast<GlIndexBufferImpl*>(indices_);
    const uint32_t n = VertexCount(type, count);
    const VertexLayout* layout = layout_;
    if (!Here() || !inScene_ || n == 0 || !vb || !ib || numVertices == 0 || !layout ||
        (fvf_ ? streamStride_ != FvfStride(fvf_) : streamStride_ < layout->minStride))
        return Result::InvalidCall;
    {
        // Every index must name a vertex inside the buffer and the stated
        // range: GL would read past the buffer.
        std::lock_guard lock(core_->mutex);
        if (vb->locked || ib->locked) return Result::InvalidCall;
        const uint32_t size = ib->IndexSize();
        const uint64_t indexCount = ib->desc.bytes / size;
        const int64_t capacity = (vb->desc.bytes - streamOffset_) / streamStride_;
        if (uint64_t(startIndex) + n > indexCount) return Result::InvalidCall;
        const uint8_t* p = ib->bytes.data() + size_t(startIndex) * size;
        for (uint32_t i = 0; i < n; ++i, p += size) {
            uint32_t index = 0;
            std::memcpy(&index, p, size);
            const int64_t vertex = int64_t(index) + baseVertex;
            if (index < minIndex || uint64_t(index) >= uint64_t(minIndex) + numVertices || vertex < 0 ||
                vertex >= capacity)
                return Result::InvalidCall;
        }
    }
    MakeCurrent();
    Flush();
    const GLuint vertexBuffer = vb->GlName();
    const GLuint indexBuffer = ib->GlName();
    if (!PrepareDraw(*layout, nullptr)) return Result::InvalidCall;
    PointAttribs(*layout, vertexBuffer, streamOffset_, streamStride_);
    PointWords(false, 0);
    gl_.BindElementBuffer(indexBuffer);
    const GLenum mode = type == kPrimitiveLineStrip ? GL_LINE_STRIP
                        : type == kPrimitiveTriangleFan ? GL_TRIANGLE_FAN
                                                        : GL_TRIANGLES;
    const uint32_t size = ib->IndexSize();
    glDrawElementsBaseVertex(mode, GLsizei(n), size == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                             reinterpret_cast<const void*>(uintptr_t(startIndex) * size), baseVertex);
    return Result::Ok;
}

void GlDeviceImpl::SetEffectPass(GlEffectImpl* effect) {
    if (effect_ == effect) return;
    Flush();
    effect_ = effect;
}

void GlDeviceImpl::EffectGone(GlEffectImpl* effect) {
    if (effect_ == effect) effect_ = nullptr;
}

}  // namespace host::render

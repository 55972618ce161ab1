// The Reset rule both backends keep: refused while a default-pool resource
// or a reference to the back buffer or the automatic depth surface lives;
// managed and system-memory resources do not stop it.
#pragma once

#include "host/render/Render.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>

namespace host::render::testing {

inline Ref<Texture> ResetRuleTexture(Device* d, uint32_t usage, uint32_t pool) {
    Ref<Texture> t;
    EXPECT_EQ(d->CreateTexture(16, 16, 1, usage, kFormatA8R8G8B8, pool, t.Put()), Result::Ok);
    return t;
}

// Returns how many Resets were refused (one per blocker).
inline size_t ExpectResetRefusedWhileBlocked(Device* device, PresentParams p) {
    Ref<Texture> managed = ResetRuleTexture(device, 0, kPoolManaged);
    Ref<Texture> system = ResetRuleTexture(device, 0, kPoolSystemMem);
    EXPECT_EQ(device->Reset(p), Result::Ok) << "managed and system-memory resources survive a reset";
    const struct {
        const char* what;
        std::function<Ref<Object>(Device*)> make;
    } blockers[] = {
        {"render target", [](Device* d) { return Ref<Object>(ResetRuleTexture(d, kUsageRenderTarget, kPoolDefault).Get()); }},
        {"dynamic texture", [](Device* d) { return Ref<Object>(ResetRuleTexture(d, kUsageDynamic, kPoolDefault).Get()); }},
        {"depth surface", [](Device* d) {
             Ref<Surface> s;
             EXPECT_EQ(d->CreateDepthStencilSurface(16, 16, kFormatD24S8, 0, 0, true, s.Put()), Result::Ok);
             return Ref<Object>(s.Get()); }},
        {"default-pool vertex buffer", [](Device* d) {
             Ref<VertexBuffer> b;
             EXPECT_EQ(d->CreateVertexBuffer(64, 0, 0x44, kPoolDefault, b.Put()), Result::Ok);
             return Ref<Object>(b.Get()); }},
        {"default-pool index buffer", [](Device* d) {
             Ref<IndexBuffer> b;
             EXPECT_EQ(d->CreateIndexBuffer(64, 0, kFormatIndex16, kPoolDefault, b.Put()), Result::Ok);
             return Ref<Object>(b.Get()); }},
        {"back buffer reference", [](Device* d) {
             Ref<Surface> s;
             EXPECT_EQ(d->GetRenderTarget(0, s.Put()), Result::Ok);
             return Ref<Object>(s.Get()); }},
        {"depth surface reference", [](Device* d) {
             Ref<Surface> s;
             EXPECT_EQ(d->GetDepthStencilSurface(s.Put()), Result::Ok);
             return Ref<Object>(s.Get()); }},
    };
    for (const auto& b : blockers) {
        Ref<Object> held = b.make(device);
        EXPECT_EQ(device->Reset(p), Result::InvalidCall) << b.what;
        held.Reset();
        EXPECT_EQ(device->Reset(p), Result::Ok) << b.what;
    }
    return std::size(blockers);
}

}  // namespace host::render::testing

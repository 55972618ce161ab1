// A device inside a frame with the filter's targets named in the fake's
// call log ("T0".."T3", "BB" for the back buffer), so a test reads what a
// filter did as a list of steps.
#pragma once

#include "engine/graphics/Filter.h"
#include "engine/graphics/Texture.h"
#include "engine/graphics/tests/DrawTestSupport.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace filter_test {

namespace render = host::render;

using draw_test::Rect;

constexpr u32 kTargetFormat = render::kFormatA8R8G8B8, kDepthFormat = render::kFormatD24S8;

// A screen quad of the blur (x, y, z, rhw, u, v).
struct QuadVertex {
    f32 x, y, z, rhw, u, v;
};

class FilterTest : public draw_test::DrawTest {
protected:
    // Names every target of filter by its texture and its surface.
    void NameTargets(CFilter& filter)
    {
        names_.clear();
        names_[IdOf(device_.GetBackBuffer())] = "BB";
        for (u32 i = 0; i < filter.GetTargetCount(); ++i) {
            const std::string name = "T" + std::to_string(i);
            names_[IdOf(filter.GetTarget(i)->GetTexture())] = name;
            names_[IdOf(filter.GetTarget(i)->GetSurface())] = name;
        }
    }

    std::string Name(double id) const
    {
        if (id == 0) return "none";
        auto it = names_.find(u64(id));
        return it == names_.end() ? std::to_string(u64(id)) : it->second;
    }

    // The calls that tell what a filter does, one line each: target
    // switches, clears, bound textures, sampler filters, the destination
    // blend (6 alpha, 2 additive), vertex formats, draws and effect passes.
    std::vector<std::string> Steps(size_t since = 0) const
    {
        std::vector<std::string> out;
        for (const render::Call& c : fake_->CallsSince(since)) {
            char line[96] = {};
            if (c.op == "SetRenderTarget") {
                std::snprintf(line, sizeof line, "target %s", Name(c.Number("surface")).c_str());
            } else if (c.op == "Clear") {
                std::snprintf(line, sizeof line, "clear %u %08X", c.U32("flags"), c.U32("color"));
            } else if (c.op == "SetTexture") {
                std::snprintf(line, sizeof line, "texture %s", Name(c.Number("texture")).c_str());
            } else if (c.op == "SetSamplerState") {
                std::snprintf(line, sizeof line, "sampler %u=%u", c.U32("type"), c.U32("value"));
            } else if (c.op == "SetRenderState" && c.U32("state") == render::kRsDestBlend) {
                std::snprintf(line, sizeof line, "dest blend %u", c.U32("value"));
            } else if (c.op == "SetFVF") {
                std::snprintf(line, sizeof line, "fvf %X", c.U32("fvf"));
            } else if (c.op == "DrawPrimitiveUP") {
                std::snprintf(line, sizeof line, "draw");
            } else if (c.op == "Effect.SetTexture") {
                std::snprintf(line, sizeof line, "%s=%s", c.Text("name").c_str(), Name(c.Number("texture")).c_str());
            } else if (c.op == "Effect.Begin") {
                std::snprintf(line, sizeof line, "begin %s", c.Text("technique").c_str());
            } else if (c.op == "Effect.BeginPass") {
                std::snprintf(line, sizeof line, "pass %u", c.U32("pass"));
            } else if (c.op == "Effect.End") {
                std::snprintf(line, sizeof line, "end");
            } else {
                continue;
            }
            out.push_back(line);
        }
        return out;
    }

    // The vertices of every DrawPrimitiveUP since the mark.
    template <class Vertex>
    std::vector<std::vector<Vertex>> DrawnQuads(size_t since = 0) const
    {
        std::vector<std::vector<Vertex>> out;
        for (const render::Call& c : fake_->CallsSince(since)) {
            if (c.op != "DrawPrimitiveUP") continue;
            std::vector<Vertex> v(c.data.size() / sizeof(Vertex));
            std::memcpy(static_cast<void*>(v.data()), c.data.data(), v.size() * sizeof(Vertex));
            out.push_back(v);
        }
        return out;
    }

    uint32_t Pixel(CTexture* texture, u32 x, u32 y) const
    {
        return render::FakeRender::ReadPixel(texture->GetSurface(), x, y);
    }

    std::map<u64, std::string> names_;
};

}  // namespace filter_test

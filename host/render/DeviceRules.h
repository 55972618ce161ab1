// The argument rules every backend checks the same way, as Direct3D 9 does:
// which states, values, formats and creation requests are valid.
#pragma once

#include "host/render/Render.h"

namespace host::render {

bool IsColorFormat(uint32_t format);   // 21, 22, 32, 33
// The X8 formats: alpha reads as 0xFF whatever is stored.
bool IgnoresAlpha(uint32_t format);
bool ValidRenderState(uint32_t state, uint32_t value);
// A state SetRenderState knows, whatever its value.
bool KnownRenderState(uint32_t state);
bool ValidTransform(uint32_t transform);
bool ValidStageState(uint32_t stage, uint32_t type, uint32_t value);
bool ValidSamplerState(uint32_t sampler, uint32_t type, uint32_t value);
// One device type, one vertex-processing flag and nothing else but 0x04.
bool ValidCreateRequest(uint32_t type, uint32_t flags);
// The size, format, usage and pool rules of CreateTexture; levels 0 comes
// back as the full chain.
bool ValidTextureRequest(uint32_t width, uint32_t height, uint32_t& levels, uint32_t usage, uint32_t format,
                         uint32_t pool, uint32_t maxWidth, uint32_t maxHeight);
bool ValidBufferRequest(uint32_t bytes, uint32_t usage, uint32_t pool);

uint32_t DeclTypeBytes(uint8_t type);
// Known usages, texture coordinates 0-3, other usages index 0, each usage
// once, offsets aligned to four bytes.
bool ValidDeclaration(const VertexElement* elements, uint32_t count);
// The end of the furthest element.
uint32_t DeclarationBytes(const VertexElement* elements, uint32_t count);

// The state tables of a new or reset device: the default table, 0 elsewhere.
void SetDefaultStates(uint32_t (&renderStates)[kRenderStateCount], uint32_t (&stages)[kStageCount][8],
    uint32_t (&samplers)[kStageCount][8]);

}  // namespace host::render

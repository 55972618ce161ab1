// Drawing of model objects and the material parameters it sets.
#include "engine/core/Matrix.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shader.h"
#include "engine/graphics/Texture.h"
#include "engine/model/AnimationController.h"
#include "engine/model/ModelMaterial.h"
#include "engine/model/ModelObject.h"
#include "engine/model/TriangleList.h"

using namespace host::render;

namespace {

constexpr u32 kShaderTextureSlots = 8;

ColorValue ToColorValue(const CVector4& c) { return ColorValue{c.x, c.y, c.z, c.w}; }

// The fixed pipeline's material: the colours tinted, and the power.
Material FixedMaterial(const CModelMaterial& material, const CVector4* colour)
{
    Material m;
    m.diffuse = ToColorValue(CModelMaterial::Tint(material.Diffuse, colour));
    m.ambient = ToColorValue(CModelMaterial::Tint(material.Ambient, colour));
    m.specular = ToColorValue(CModelMaterial::Tint(material.Specular, colour));
    m.emissive = ToColorValue(CModelMaterial::Tint(material.Emissive, colour));
    m.power = material.Power;
    return m;
}

// Begin, every pass with one draw, End.
template <class DrawRange>
void DrawPasses(CShader& shader, DrawRange draw)
{
    u32 passes = 0;
    shader.Begin(&passes, 0);
    for (u32 p = 0; p < passes; ++p) {
        shader.BeginPass(p);
        draw();
        shader.EndPass();
    }
    shader.End();
}

// Remembers the device's blend mode and puts it back.
class BlendScope {
public:
    explicit BlendScope(CGraphicDevice& device) : device_(device), mode_(device.GetRenderStates()->blendMode) {}
    ~BlendScope() { device_.SetBlendMode(mode_); }
    BlendScope(const BlendScope&) = delete;
    BlendScope& operator=(const BlendScope&) = delete;

    // A material's non-zero mode when it differs from the device's.
    void Use(u32 mode)
    {
        if (mode != 0 && mode != device_.GetRenderStates()->blendMode) device_.SetBlendMode(mode);
    }

private:
    CGraphicDevice& device_;
    u32 mode_;
};

}  // namespace

// ------------------------------------------------------------- materials

CVector4 CModelMaterial::Tint(const CVector4& c, const CVector4* colour)
{
    return colour ? CVector4(c.x * colour->x, c.y * colour->y, c.z * colour->z, c.w * colour->w) : c;
}

Texture* CModelMaterial::GetDeviceTexture(u32 i) const
{
    // Placeholders of textures that did not load are plain named resources.
    const auto* texture = dynamic_cast<const CTexture*>(GetTexture(i));
    return texture ? texture->GetTexture() : nullptr;
}

void CModelMaterial::Apply(const CVector4* colour, CShader* shader, bool skinned) const
{
    if (!shader) return;
    const CVector4 diffuse = Tint(Diffuse, colour), ambient = Tint(Ambient, colour);
    const CVector4 specular = Tint(Specular, colour), emissive = Tint(Emissive, colour);
    shader->SetVectorByIndex(kShaderMaterialDiffuse, &diffuse);
    shader->SetVectorByIndex(kShaderMaterialAmbient, &ambient);
    shader->SetVectorByIndex(kShaderMaterialSpecular, &specular);
    shader->SetVectorByIndex(kShaderMaterialEmissive, &emissive);
    shader->SetFloatByIndex(kShaderMaterialPower, Power);
    shader->SetValueByIndex(kShaderAddUV, AddUV, sizeof AddUV);
    const u32 textures = GetTextureCount();
    if (textures == 0) {
        shader->SetTextureByIndex(kShaderTexture, nullptr);
    }
    for (u32 i = 0; i < textures && i < kShaderTextureSlots; ++i) {
        shader->SetTextureByIndex(kShaderTexture + i, GetDeviceTexture(i));
    }
    if (Technique != 0) {
        shader->SetTechnique(Technique);
    } else if (textures > 0) {
        shader->SetTechniqueByIndex(skinned ? kShaderSkinning : kShaderRigid);
    } else {
        shader->SetTechniqueByIndex(skinned ? kShaderSkinningNonTexture : kShaderRigidNonTexture);
    }
}

// ---------------------------------------------------------- model object

bool CModelObject::DrawableRange(u32 i, const CPoint2** range, CModelMaterial** material) const
{
    *range = m_indices ? m_indices->Ranges.GetAt(i) : nullptr;
    *material = m_materials && i < m_materials->GetCount() ? static_cast<CModelMaterial*>(m_materials->GetAt(i))
                                                            : nullptr;
    return *range && (*range)->second >= 3 && *material;
}

i32 CModelObject::Draw(const CMatrix* world, const CVector4* colour, const CMatrix* palette, u32 paletteCount,
    CShader* shader)
{
    if (shader) return DrawWithShader(world, colour, palette && paletteCount > 0, shader);
    return DrawFixed(world, colour, palette, paletteCount);
}

i32 CModelObject::Draw(const CMatrix* world, const CVector4* colour, CAnimationController* controller,
    CShader* shader)
{
    const u32 bones = controller && controller->GetMatrixPalette() ? controller->GetFrameCount() : 0;
    const bool weighted = m_vertices && (m_vertices->FormatFlags & kVertexSkin);
    if (bones == 0 || !weighted) return Draw(world, colour, nullptr, 0, shader);
    if (shader && bones <= CAnimationController::kShaderPaletteSize) return DrawWithShader(world, colour, true, shader);
    return DrawFixed(world, colour, controller->GetMatrixPalette(), bones, &controller->GetRootMatrix());
}

i32 CModelObject::DrawWithShader(const CMatrix* world, const CVector4* colour, bool skinned, CShader* shader)
{
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!graphics || !shader || !m_materials) return 0;
    Device* device = graphics->GetDevice();
    BlendScope blend(*graphics);
    const CMatrix identity;
    // The effect gets the object's world even when skinned: the default effect's skinned pass reads only the
    // palette and the view projection, but a model's own effect may read the world.
    const CMatrix* placed = world ? world : &identity;
    shader->SetTransforms(placed);
    BindBuffers();
    for (u32 i = 0; i < m_materials->GetCount(); ++i) {
        const CPoint2* range;
        CModelMaterial* material;
        if (!DrawableRange(i, &range, &material)) continue;
        CShader* used = shader;
        if (material->Shader) {
            used = material->Shader;
            used->SetTransforms(placed);
        }
        material->Apply(colour, used, skinned);
        blend.Use(material->BlendMode);
        DrawPasses(*used, [&] {
            device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, GetVertexCount(), range->first,
                range->second / 3);
        });
    }
    return 1;
}

i32 CModelObject::DrawFixed(const CMatrix* world, const CVector4* colour, const CMatrix* palette, u32 paletteCount,
    const CMatrix* rest)
{
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!graphics || !m_materials) return 0;
    Device* device = graphics->GetDevice();
    BlendScope blend(*graphics);
    if (palette && paletteCount > 0) {
        SkinVertices(palette, paletteCount, rest);
        graphics->SetWorldTransform(CMatrix());
    } else if (world) {
        graphics->SetWorldTransform(*world);
    }
    BindBuffers();
    for (u32 i = 0; i < m_materials->GetCount(); ++i) {
        const CPoint2* range;
        CModelMaterial* material;
        if (!DrawableRange(i, &range, &material)) continue;
        device->SetMaterial(FixedMaterial(*material, colour));
        const u32 textures = material->GetTextureCount();
        if (textures == 0) graphics->SetTexture(nullptr);
        for (u32 t = 0; t < textures; ++t) {
            Texture* texture = material->GetDeviceTexture(t);
            if (t == 0 && texture) {
                graphics->SetTexture(texture);
            } else {
                device->SetTexture(t, texture);
            }
        }
        blend.Use(material->BlendMode);
        device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, GetVertexCount(), range->first, range->second / 3);
    }
    return 1;
}

// ---------------------------------------------------------- triangle list

i32 CTriangleList::Draw(const CMatrix* world, const CVector4* colour, bool skinned)
{
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!graphics || !m_vertexBuffer || !m_indexBuffer || !m_materials) return 0;
    // An edit since the buffers were made would draw past them.
    if (!BuffersHoldLists()) return 0;
    Device* device = graphics->GetDevice();
    BlendScope blend(*graphics);
    const u32 lighting = graphics->GetRenderStates()->lighting;
    const bool unlit = lighting && !(m_vertices->FormatFlags & kVertexNormal);
    if (unlit) graphics->SetLighting(0);
    const CMatrix identity;
    const CMatrix& placed = world ? *world : identity;
    const i32 bound = BindBuffers();
    const u32 indexCount = m_indices->Indices.GetCount();
    for (u32 i = 0; bound && i < m_indices->Ranges.GetCount(); ++i) {
        const CPoint2& range = *m_indices->Ranges.GetAt(i);
        CModelMaterial* material =
            i < m_materials->GetCount() ? static_cast<CModelMaterial*>(m_materials->GetAt(i)) : nullptr;
        if (range.second < 3 || !material || u64(range.first) + range.second > indexCount) continue;
        blend.Use(material->BlendMode);
        auto draw = [&] {
            device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, GetVertexCount(), range.first,
                range.second / 3);
        };
        CShader* shader = material->Shader ? material->Shader : m_shader;
        if (!shader) {
            graphics->SetWorldTransform(placed);
            device->SetMaterial(FixedMaterial(*material, colour));
            draw();
            continue;
        }
        shader->SetTransforms(&placed);
        material->Apply(colour, shader, skinned);
        DrawPasses(*shader, draw);
    }
    if (unlit) graphics->SetLighting(1);
    return bound;
}

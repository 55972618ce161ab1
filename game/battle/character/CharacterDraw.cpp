// How a fighter is drawn: its facial expression and scrolling material, its
// weapons, cards and effects, the afterimages of its past poses and the
// ribbons behind its bones during close attacks. Nothing here changes the
// simulation or draws a random number: the afterimage clock, the records
// and the ribbons are drawing state and stay out of the state hash.
#include "game/battle/character/CharacterAction.h"

#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Texture.h"
#include "engine/model/AnimationController.h"
#include "engine/model/Mesh.h"
#include "engine/model/ModelObject.h"
#include "engine/model/PrimitiveList.h"
#include "engine/model/RenderList.h"
#include "engine/scene/Effect.h"
#include "game/battle/object/Weapon.h"
#include "host/render/Render.h"

#include <algorithm>

namespace {

constexpr u32 kTrailFvf = host::render::kFvfXyz | host::render::kFvfDiffuse | host::render::kFvfTex1;   // 0x142
constexpr u32 kTrailStride = 24;
// 16-bit indices: a ribbon holds at most this many vertices.
constexpr u64 kMaxTrailVertices = 0x10000;
constexpr u32 kExpressionMaterials = 2;
constexpr u32 kTexturedMaterials = 4;
constexpr u32 kCameraFrontSlot = 18;

// Swaps material's first texture for texture; the material keeps its own
// for RestoreTextures. A material without a texture slot keeps drawing
// untextured.
void SwapFirstTexture(CModelMaterial& material, CTexture* texture)
{
    if (!texture || !material.Textures || material.Textures->GetCount() == 0) return;
    if (!material.SavedTextures || material.SavedTextures->GetCount() == 0) return;
    void** slot = material.Textures->GetData();
    void** saved = material.SavedTextures->GetData();
    // Swapped twice before a restore: the first saved texture is the own one.
    if (!saved[0]) saved[0] = slot[0];
    slot[0] = static_cast<CValueBase*>(texture);
}

void CopyPalette(std::vector<CMatrix>& to, const CAnimationController* controller)
{
    const CMatrix* palette = controller ? controller->GetMatrixPalette() : nullptr;
    if (!palette) return;
    const size_t n = std::min<size_t>(to.size(), controller->GetFrameCount());
    std::copy(palette, palette + n, to.begin());
}

void LoadPalette(CAnimationController* controller, const std::vector<CMatrix>& from)
{
    CMatrix* palette = controller ? controller->GetMatrixPalette() : nullptr;
    if (!palette) return;
    const size_t n = std::min<size_t>(from.size(), controller->GetFrameCount());
    std::copy(from.begin(), from.begin() + n, palette);
}

const CMatrix kZeroMatrix(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);

f32 Clamp01(f32 v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }   // NaN gives 0

}  // namespace

// ---------------------------------------------------------------- traces

i32 CCharacterTrace::Initialize(intptr_t)
{
    m_created = 1;
    // Sorted with the other see-through objects of the frame.
    m_depthSorted = 1;
    return 1;
}

i32 CCharacterTrace::Update(u32)
{
    if (!m_record) return 0;
    m_world = m_record->world;
    m_world.GetTranslation(&m_position);
    if (m_owner) m_sphereRadius = m_owner->GetBoundingRadius();
    return 1;
}

i32 CCharacterTrace::Draw(u32)
{
    if (!m_owner) return 0;
    m_owner->DrawAfterimage(m_index);
    return 1;
}

// ---------------------------------------------------------------- creation

i32 CCharacterBase::CreateAfterimages()
{
    m_afterimages.clear();
    CAnimationController* controller = GetAnimationController();
    if (!GetMesh() || !controller) return 0;
    const i32 count = m_parameter ? m_parameter->values.body.afterimageCount : 0;
    if (count < 1 || m_status.afterimageQuality == 0) return 1;
    // The set refuses a larger count when it loads; one set by hand past it
    // makes none rather than poses for the whole skeleton by the thousand.
    if (count > i32(CCharacterParameter::kMaxAfterimageCount)) return 0;
    m_afterimages.resize(u32(count));
    for (u32 i = 0; i < m_afterimages.size(); ++i) {
        AfterimageRecord& record = m_afterimages[i];
        if (m_status.afterimageQuality >= 3) {
            record.trace.reset(new CCharacterTrace(this, &record, i));
            if (record.trace) record.trace->Initialize(0);
        }
        record.world = kZeroMatrix;
        record.palette.assign(controller->GetFrameCount(), kZeroMatrix);
    }
    return 1;
}

void CCharacterBase::CopyAfterimages(const CCharacterBase& other)
{
    m_afterimages.clear();
    m_afterimages.resize(other.m_afterimages.size());
    for (u32 i = 0; i < m_afterimages.size(); ++i) {
        AfterimageRecord& record = m_afterimages[i];
        const AfterimageRecord& source = other.m_afterimages[i];
        record.world = kZeroMatrix;
        record.palette = source.palette;
        if (!source.trace) continue;
        record.trace.reset(new CCharacterTrace(*source.trace));
        if (record.trace) record.trace->Rebind(this, &record);
    }
}

i32 CCharacterBase::CreateTrails()
{
    CMesh* model = GetMesh();
    if (!model) return 0;
    const u32 samples = m_status.trailSamples;
    if (samples == 0 || !m_parameter) return 1;
    CResourceController* holder = nullptr;
    SendObjectMessage(kMsgResourceController, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&holder));
    m_trailRibbons.Release();
    m_trailBones.clear();
    m_trailMatrices.clear();
    const CTraceRecordList& records = m_parameter->values.body.trace;
    CAnimationController* controller = GetAnimationController();
    for (u32 i = 0; i < records.GetCount(); ++i) {
        const CTraceRecord& record = *records.GetAt(i);
        auto* ribbon = new CPrimitiveList();
        if (!ribbon) break;
        // A count from the file past what 16-bit indices reach (or below
        // two pairs) leaves the ribbon unmade: it holds and draws nothing.
        const u64 vertices = record.count > 0 ? u64(record.count) * samples : 0;
        if (vertices <= kMaxTrailVertices) ribbon->Create(2, u32(vertices / 2), kTrailStride, kTrailFvf, 2);
        // Only from the battle's holder: a texture loaded without one would
        // be ours to free, and the ribbon does not own its texture.
        CTexture* texture = nullptr;
        if (holder && GetTexture(holder, record.texture.GetText(), &texture)) ribbon->SetTexture(texture);
        ribbon->SetBlendMode(1);
        ribbon->SetDrawPriority(2);
        ribbon->SetDepthSorted(1);
        // Ribbon i goes with record i: a list that cannot grow ends the trails.
        if (!AppendElement(&m_trailRibbons, ribbon)) {
            delete ribbon;
            break;
        }
        m_trailBones.push_back(controller ? controller->GetFrameByName(record.bone.GetText()) : nullptr);
        m_trailMatrices.push_back(m_world);
    }
    return 1;
}

// ---------------------------------------------------------------- late update

i32 CCharacterBase::UpdateAfterimages(u32)
{
    if (m_afterimages.empty() || m_status.afterimageQuality == 0) return 0;
    CAnimationController* controller = GetAnimationController();
    auto takeLive = [&](AfterimageRecord& record) {
        record.world = m_world;
        CopyPalette(record.palette, controller);
        if (record.trace) record.trace->Update(0);
    };
    const f32 interval = m_parameter ? m_parameter->values.general.matrixUpdateTime : 0.0f;
    if (m_status.afterimageClock < interval) {
        takeLive(m_afterimages[0]);
        return 1;
    }
    for (size_t i = m_afterimages.size() - 1; i >= 1; --i) {
        AfterimageRecord& record = m_afterimages[i];
        record.world = m_afterimages[i - 1].world;
        record.palette = m_afterimages[i - 1].palette;
        if (record.trace) record.trace->Update(0);
    }
    takeLive(m_afterimages[0]);
    m_status.afterimageClock = 0.0f;
    return 1;
}

i32 CCharacterBase::UpdateTrails(u32)
{
    const u32 trails = m_trailRibbons.GetCount();
    if (trails == 0 || m_trailBones.size() != trails || m_trailMatrices.size() != trails) return 0;
    const u32 samples = m_status.trailSamples;
    const bool attacking = IsCloseAttacking() != 0;
    for (u32 i = 0; i < trails; ++i) {
        // The controller poses the bones under the world matrix already.
        const CMatrix current = m_trailBones[i] ? m_trailBones[i]->WorldMatrix : m_world;
        CPrimitiveList* ribbon = ListElement<CPrimitiveList>(&m_trailRibbons, i);
        const CTraceRecord* record = m_parameter ? m_parameter->values.body.trace.GetAt(i) : nullptr;
        if (!ribbon || !ribbon->GetVertexList() || !record || samples == 0) {
            m_trailMatrices[i] = current;
            continue;
        }
        if (!attacking) {
            m_trailMatrices[i] = current;
            ribbon->SetVertexCount(0);
            continue;
        }
        const u32 n = ribbon->GetVertexList()->GetCount();
        const f32 fade = record->AlphaAttenuation / f32(samples);
        for (u32 s = 0; s < samples; ++s) {
            for (u32 k = n - 1; k >= 3 && k < n; k -= 2) {
                CModelVertex& a = *ribbon->GetVertex(k);
                CModelVertex& b = *ribbon->GetVertex(k - 1);
                a = *ribbon->GetVertex(k - 2);
                b = *ribbon->GetVertex(k - 3);
                for (CModelVertex* v : {&a, &b}) {
                    v->TexCoord0[0] += 1.0f / f32(n);
                    v->Color.w -= fade;
                }
            }
            CMatrix step;
            m_trailMatrices[i].Interpolate(&current, f32(s + 1) / f32(samples), &step);
            const CVector3 ends[2] = {record->start, record->end};
            for (u32 e = 0; e < 2; ++e) {
                CModelVertex& v = *ribbon->GetVertex(e);
                v.Position = ends[e];
                v.Position.TransformCoord(step);
                v.Color = CVector4(1, 1, 1, 1);
                v.TexCoord0[0] = 0.0f;
                v.TexCoord0[1] = e == 0 ? 1.0f : 0.0f;
            }
            if (ribbon->GetVertexCount() < n) ribbon->SetVertexCount(ribbon->GetVertexCount() + 2);
        }
        m_trailMatrices[i] = current;
    }
    return 1;
}

// ---------------------------------------------------------------- drawing

std::vector<CModelMaterial*> CCharacterBase::Materials() const
{
    std::vector<CModelMaterial*> out;
    const CMesh* model = GetMesh();
    for (u32 o = 0; model && o < model->GetModelObjectCount(); ++o) {
        const CModelObject* object = model->GetModelObject(o);
        const CMaterialList* list = object ? object->GetMaterialList() : nullptr;
        for (u32 m = 0; list && m < list->GetCount(); ++m) {
            if (auto* material = static_cast<CModelMaterial*>(list->GetAt(m))) out.push_back(material);
        }
    }
    return out;
}

void CCharacterBase::SetMaterialTextures()
{
    const std::vector<CModelMaterial*> materials = Materials();
    for (u32 m = 0; m < kTexturedMaterials && m < materials.size(); ++m) {
        const u32 index = m_status.materialTextures[m];
        if (index < m_textures[m].size()) SwapFirstTexture(*materials[m], m_textures[m][index]);
    }
}

void CCharacterBase::RestoreMaterialTextures()
{
    for (CModelMaterial* material : Materials()) material->RestoreTextures();
}

i32 CCharacterBase::ApplyMaterialScroll()
{
    const i32 number = m_parameter ? m_parameter->values.material.materialNo : -1;
    const std::vector<CModelMaterial*> materials = Materials();
    if (number < 0 || u32(number) >= materials.size()) return 0;
    materials[u32(number)]->AddUV[0] = m_status.materialScroll[0];
    materials[u32(number)]->AddUV[1] = m_status.materialScroll[1];
    return 1;
}

CVector4 CCharacterBase::GetAfterimageColor(u32 index) const
{
    const f32 n = f32(m_afterimages.size());
    const f32 interval = m_parameter ? m_parameter->values.general.matrixUpdateTime : 0.0f;
    // A zero interval shifts every frame: the image is as old as its index.
    const f32 sinceShift = interval > 0.0f ? (interval - m_status.afterimageClock) / interval : 0.0f;
    const f32 f = n > 0.0f ? Clamp01(f32(index) / n - sinceShift / n) : 1.0f;
    const CVector4& c = m_color;
    return CVector4(c.x, c.y * (1.0f - f), c.z * (1.0f - f), Clamp01(c.w * (1.0f - 2.0f * f)));
}

i32 CCharacterBase::DrawAfterimage(u32 index)
{
    CMesh* model = GetMesh();
    CAnimationController* controller = GetAnimationController();
    CGraphicDevice* device = GetGraphicDevice();
    if (!model || !controller || !device || index >= m_afterimages.size()) return 0;
    const AfterimageRecord& record = m_afterimages[index];
    SetMaterialTextures();
    device->SetBlendMode(1);
    LoadPalette(controller, record.palette);
    const CVector4 colour = GetAfterimageColor(index);
    if (m_status.afterimageQuality == 4) {
        // Depth first, then colour where the depth is exactly this image's
        // own: each afterimage shows only its front-most surface.
        device->SetColorWriteEnable(0);
        device->SetZWriteEnable(1);
        model->Draw(&record.world, &colour, controller);
        device->SetZWriteEnable(0);
        device->SetColorWriteEnable(0xF);
        device->SetZFunc(host::render::kCmpEqual);
        model->Draw(&record.world, &colour, controller);
        device->SetZFunc(host::render::kCmpLessEqual);
    } else {
        model->Draw(&record.world, &colour, controller);
    }
    LoadPalette(controller, m_afterimages[0].palette);
    RestoreMaterialTextures();
    return 1;
}

void CCharacterBase::DrawAttachedObjects(CRenderList* renderList)
{
    CharacterStatus& s = m_status;
    i32 watchedSlot = -1;
    SendObjectMessage(kMsgViewedSlot, CObjectRegistry::kHandlerId, 0, reinterpret_cast<intptr_t>(&watchedSlot));
    // Slots 14, 15, 18 and the transient objects are seen from this
    // fighter's own view only.
    const bool watched = watchedSlot >= 0 && u32(watchedSlot) == s.participantSlot;
    for (u32 i = 0; i < kAttachedObjectCount; ++i) {
        if (!s.attached[i]) continue;
        if ((i == 14 || i == 15) && !watched) continue;
        if (i == kCameraFrontSlot && !(watched && ShowsCameraFrontEffect())) continue;
        s.attached[i]->Draw(renderList);
    }
    if (!watched) return;
    for (CEffect* object : s.transient)
        if (object) object->Draw(renderList);
}

void CCharacterBase::DrawAfterimages(CRenderList* renderList)
{
    const u32 quality = m_status.afterimageQuality;
    if (!ShowsAfterimages() || m_afterimages.size() < 2 || quality == 0) return;
    if (quality >= 3) {
        // Sorted among the see-through objects; the render list calls back.
        for (u32 i = 1; i < m_afterimages.size(); ++i) {
            CCharacterTrace* trace = m_afterimages[i].trace.get();
            if (!trace) continue;
            renderList ? renderList->Add(trace, 0) : trace->Draw(0u);
        }
        return;
    }
    CMesh* model = GetMesh();
    CAnimationController* controller = GetAnimationController();
    CGraphicDevice* device = GetGraphicDevice();
    if (device) device->SetZWriteEnable(0);
    for (u32 i = 1; i < m_afterimages.size(); ++i) {
        LoadPalette(controller, m_afterimages[i].palette);
        const CVector4 colour = GetAfterimageColor(i);
        model->Draw(&m_afterimages[i].world, &colour, controller);
    }
    if (device) device->SetZWriteEnable(1);
    LoadPalette(controller, m_afterimages[0].palette);
}

i32 CCharacterBase::Draw(u32) { return Draw(static_cast<CRenderList*>(nullptr)); }

i32 CCharacterBase::Draw(CRenderList* renderList)
{
    CMesh* model = GetMesh();
    if (!model) return 0;
    CAnimationController* controller = GetAnimationController();
    CharacterStatus& s = m_status;
    const std::vector<CModelMaterial*> materials = Materials();

    const std::vector<CNamedArray>* faces = m_parameter ? &m_parameter->GetExpressions() : nullptr;
    if (faces && s.expression >= 0 && u32(s.expression) < faces->size()) {
        const CNamedArray& face = (*faces)[u32(s.expression)];
        for (u32 m = 0; m < kExpressionMaterials && m < materials.size(); ++m) {
            const CKeyFrameTrack* track = face.GetItem(m);
            u32 value = 0;
            if (track && track->GetScalarValue(s.expressionClock, &value)) s.materialTextures[m] = value;
        }
    }
    ApplyMaterialScroll();
    SetMaterialTextures();
    model->Draw(&m_world, &m_color, controller);

    for (u32 i = 0; i < m_weapons.GetCount(); ++i) {
        auto* weapon = ListElement<CWeapon>(&m_weapons, i);
        if (!weapon) continue;
        *weapon->GetColor() = m_color;
        weapon->Draw(renderList);
    }
    for (const auto& card : m_spellCards)
        if (card) card->Draw(0u);

    DrawAttachedObjects(renderList);
    DrawAfterimages(renderList);
    RestoreMaterialTextures();

    if (IsCloseAttacking()) {
        for (u32 i = 0; i < m_trailRibbons.GetCount(); ++i) {
            if (auto* ribbon = ListElement<CPrimitiveList>(&m_trailRibbons, i)) ribbon->Draw(renderList);
        }
    }
    return 1;
}

// Building a layer tree from two PSD files. The layout PSD gives the
// structure: layer order, groups, names, screen positions, sizes and
// visibility. The atlas PSD gives, for each name, the layer image's source
// rectangle inside the atlas texture.
//
// A group appears in the layout as a marker record "</Layer group>" (flag
// 16), then the group's contents, then a flag-16 folder record carrying the
// group's own name and rectangle. A group left open (no folder record)
// ends with the layout.
#include "engine/scene/SceneFile.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/SceneResource.h"

#include "engine/graphics/PSDReader.h"

#include <cstring>
#include <memory>

namespace {

constexpr u8 kPsdHidden = 2;
constexpr u8 kPsdNoImage = CPSDLayer::kFlagGroupData;
constexpr char kGroupMarker[] = "</Layer group>";

const char* NameOf(const CPSDLayer& record)
{
    const char* name = record.name.GetText();
    return name ? name : "";
}

bool SameName(const CPSDLayer& a, const CPSDLayer& b) { return std::strcmp(NameOf(a), NameOf(b)) == 0; }

bool IsGroupMarker(const CPSDLayer& record)
{
    return (record.flags & kPsdNoImage) && std::strcmp(NameOf(record), kGroupMarker) == 0;
}

// A hidden layer of the record's name, showing rect of the atlas, appended
// to owner; null when it cannot be made or appended.
CSceneObject* NewLayer(const CPSDLayer& record, const CPSDLayer& rect, CResourceList* owner, CTexture* texture)
{
    auto* layer = new CSceneObject(record.name.GetText(), owner);
    if (!layer) return nullptr;
    layer->SetBaseRect(f32(rect.left), f32(rect.right), f32(rect.top), f32(rect.bottom));
    layer->SetTextureRecursive(texture);
    layer->SetVisible(0);
    if (!AppendLayer(owner, layer)) {
        delete layer;
        return nullptr;
    }
    return layer;
}

// One layer for every atlas record named as the layout record.
bool AddAtlasLayers(const CPSDLayer& record, const CPSDReader& atlas, CResourceList* owner, CTexture* texture)
{
    for (u32 k = 0; k < atlas.GetLayerCount(); ++k) {
        const CPSDLayer* image = atlas.GetLayer(k);
        if (image && SameName(*image, record) && !NewLayer(*image, *image, owner, texture)) return false;
    }
    return true;
}

}  // namespace

u32 CSceneObject::BuildGroup(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture, u32* index)
{
    return BuildGroupAt(layout, atlas, texture, index, 0);
}

u32 CSceneObject::BuildGroupAt(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture, u32* index,
                               u32 depth)
{
    // depth is this group's; its children lie one level further down.
    if (!layout || !atlas || !index || depth + 1 > scene_file::kMaxLayerDepth) return 0;
    CResourceList* children = NewChildList();
    if (!children) return 0;
    ForgetPlacement();
    DeleteChildren();
    m_children = children;
    for (u32 i = *index + 1; i < layout->GetLayerCount(); ++i) {
        const CPSDLayer* record = layout->GetLayer(i);
        if (!record) continue;
        if (IsGroupMarker(*record)) {
            CSceneObject* group = NewLayer(*record, *record, children, texture);
            if (!group) return 0;
            group->SetGroup(1);
            if (!group->BuildGroupAt(layout, atlas, texture, &i, depth + 1)) return 0;
        } else if (record->flags & kPsdNoImage) {
            // The group's folder record closes it.
            SetName(record->name.GetText());
            SetBaseRect(f32(record->left), f32(record->right), f32(record->top), f32(record->bottom));
            if (!(record->flags & kPsdHidden)) SetVisible(1);
            *index = i;
            return 1;
        } else if (!AddAtlasLayers(*record, *atlas, children, texture)) {
            return 0;
        }
    }
    // A group left open takes the rest of the layout. Walking that rest
    // again from the marker would copy its layers into every enclosing
    // group, twice more with each open group above.
    *index = layout->GetLayerCount() - 1;
    return 1;
}

u32 CSceneResource::BuildFromPsd(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture)
{
    if (!layout || !atlas) return 0;
    std::unique_ptr<CResourceList> built(new CResourceList());
    if (!built) return 0;
    CResourceList* list = built.get();
    for (u32 i = 0; i < layout->GetLayerCount(); ++i) {
        const CPSDLayer* record = layout->GetLayer(i);
        if (!record) continue;
        if (IsGroupMarker(*record)) {
            CSceneObject* group = NewLayer(*record, *record, list, texture);
            if (!group) return 0;
            group->SetGroup(1);
            if (!group->BuildGroup(layout, atlas, texture, &i)) return 0;
        } else if (!AddAtlasLayers(*record, *atlas, list, texture)) {
            return 0;
        }
    }

    // Install the tree so that FindLayer sees it; from here nothing fails.
    ReleaseLayers();
    m_layers = built.release();

    // Atlas images the layout does not place: hidden, at the end.
    for (u32 k = 0; k < atlas->GetLayerCount(); ++k) {
        const CPSDLayer* image = atlas->GetLayer(k);
        if (image && !(image->flags & kPsdNoImage) && !FindLayer(NameOf(*image)))
            NewLayer(*image, *image, m_layers, texture);
    }
    // Placement and visibility from the layout; a name used twice places
    // the first layer of that name twice, the later record winning.
    for (u32 i = 0; i < layout->GetLayerCount(); ++i) {
        const CPSDLayer* record = layout->GetLayer(i);
        CSceneObject* layer = record ? FindLayer(NameOf(*record)) : nullptr;
        if (!layer) continue;
        if (!(record->flags & kPsdHidden)) layer->SetVisible(1);
        layer->SetBasePosition(f32(record->left), f32(record->top));
        layer->SetBaseSize(f32(record->right - record->left), f32(record->bottom - record->top));
    }
    return 1;
}

u32 CSceneResource::LoadPsd(const char* layoutPath, const char* atlasPath, CTexture* texture)
{
    if (!layoutPath || !atlasPath) return 0;
    std::unique_ptr<CPSDReader> layout(new CPSDReader());
    std::unique_ptr<CPSDReader> atlas(new CPSDReader());
    if (!layout || !atlas || !layout->Load(layoutPath) || !atlas->Load(atlasPath)) return 0;
    return BuildFromPsd(layout.get(), atlas.get(), texture);
}

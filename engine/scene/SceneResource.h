// CSceneResource: the base of every 2D scene (menus, lobby screens, HUD
// layouts). It holds a tree of CSceneObject layers, read from a scene
// layout file (.sce, SceneFile.h) or built from a pair of PSD files, and a
// scene state that places the whole tree: its position, rotation and colour
// move and tint every top-level layer, its scale is the screen scale (screen
// height / 768), its rect the design rectangle the layers' anchors measure
// against.
//
// Derived scenes override Initialize, Update, OnMessage and Draw and call
// these from theirs; layers are found by name after loading.
#pragma once

#include "engine/core/ResourceList.h"
#include "engine/core/Scene.h"
#include "engine/core/Types.h"
#include "engine/scene/LayerState.h"

#include <cstdint>

namespace host::kernel { class File; }
class CMemStream;
class CPSDReader;
class CSceneObject;
class CTexture;

class CSceneResource : public CScene {
    ORV_VALUE_CLASS(CSceneResource)

public:
    // Scene state at the origin, scale 1, white; fit 1, keep aspect 0; no
    // layer list.
    CSceneResource();
    // Copies the scene state, fit and keep aspect and deep-copies every
    // layer; the copy owns its layers.
    CSceneResource(const CSceneResource& other);
    CSceneResource& operator=(const CSceneResource&) = delete;
    ~CSceneResource() override;

    // Deletes the layer list, then the name. 1.
    i32 Release() override;

    // Each layer's Initialize, then this class's Update. 0 without layers,
    // else the AND of the results.
    i32 Initialize(intptr_t argument) override;
    // Each layer's Update, then its placement with the scene state as both
    // parent and scene. 0 without layers, else the AND of the updates.
    i32 Update(u32 argument) override;
    // 1.
    u32 OnMessage(u32 message, intptr_t parameter) override;
    // Every layer drawn at its place (the application passes 0). 0 without
    // layers, else the AND of the layers' results.
    i32 Draw(u32 argument) override;

    // -- Virtual operations, in their fixed order. --

    // Replaces the layers with a tree built from a PSD layout (structure,
    // names, positions, sizes, visibility) and a PSD atlas (each name's
    // source rectangle in texture), every layer bound to texture. 1; 0 when a
    // list is missing or groups nest too deep, the layers then unchanged.
    virtual u32 BuildFromPsd(const CPSDReader* layout, const CPSDReader* atlas, CTexture* texture);
    // Loads both PSD files and builds from them. 0 when a path is missing,
    // a file cannot be loaded or the build fails; the layers then unchanged.
    virtual u32 LoadPsd(const char* layoutPath, const char* atlasPath, CTexture* texture);
    // Writes the layout file, replacing path whole. 0 when it cannot.
    virtual u32 Save(const char* path) const;
    // Read a layout from the stream's position or from a file, replacing
    // the name and the layers. A layout cut short keeps the layers read
    // before its end (the last one as far as it went) and the name when it
    // was there. 0, without layers, when the file cannot be read or the
    // name cannot be allocated.
    virtual u32 LoadFromMemory(CMemStream* stream);
    virtual u32 LoadFromFile(const char* path);
    // The first top-level layer of that name (children are not searched),
    // drawn with extra. 0 without layers or such a layer.
    virtual u32 DrawLayerByName(const char* name, const CLayerState* extra);
    // Top-level layer index drawn with extra; 0 without layers or past them.
    virtual u32 DrawLayerByIndex(u32 index, const CLayerState* extra);

    // -- What scenes call. --

    // Deletes the layer list. 1.
    u32 ReleaseLayers();
    // The layout file's bytes at the file's position (Save's contents). 1,
    // or 0 for a null file or a failed write.
    u32 Write(host::kernel::File* file) const;
    // Every top-level layer drawn with extra (null: at its place). 0
    // without layers, else the AND.
    u32 DrawLayers(const CLayerState* extra);
    // The first layer of that name: each top-level layer's descendants
    // before the top-level list itself. Null for a null name or without
    // layers.
    CSceneObject* FindLayer(const char* name) const;
    void SetScale(f32 x, f32 y);
    // Binds texture to every layer, children included.
    void SetTextureAll(CTexture* texture);
    // Every layer, children included, takes the texture of textures whose
    // file name equals its texture name (none when there is no such one).
    void BindTextures(const CResourceList* textures);

    CLayerState& GetSceneState() { return m_state; }
    const CLayerState& GetSceneState() const { return m_state; }
    u32 GetFit() const { return m_fit; }
    void SetFit(u32 fit) { m_fit = fit; }
    u32 GetKeepAspect() const { return m_keepAspect; }
    void SetKeepAspect(u32 keepAspect) { m_keepAspect = keepAspect; }
    // The top-level layers; null until a layout is loaded or built.
    CResourceList* GetLayers() const { return m_layers; }
    u32 GetLayerCount() const { return m_layers ? m_layers->GetCount() : 0; }
    // Top-level layer i, null past the count.
    CSceneObject* GetLayer(u32 i) const;

private:
    // Reads a layout from bytes; *used gets the bytes it took.
    u32 LoadFromBytes(const u8* data, size_t size, size_t* used);

    CLayerState m_state;
    u32 m_fit = 1;
    u32 m_keepAspect = 0;
    CResourceList* m_layers = nullptr;
};

// CBeginLoading: the first scene. Its loader thread runs the global resource
// load and then the next scene's Load (the logo); a button after the prompt
// hands the loaded scene over. When either load fails the screen shows the
// reason and the program ends.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/scenes/LoadingScene.h"

#include <cstdint>
#include <memory>

class CTexture;

class CBeginLoading : public CSceneResource {
    ORV_VALUE_CLASS(CBeginLoading)

public:
    static constexpr f32 kFadeSpeed = 2.0f;   // alpha per second: 0.5 s

    CBeginLoading();
    // A copy of the layout only: no loader, no next scene, no texture.
    CBeginLoading(const CBeginLoading& other);
    CBeginLoading& operator=(const CBeginLoading&) = delete;
    ~CBeginLoading() override;

    // Waits for the loader (never under its lock), then deletes the next
    // scene when still held and the background. Safe after any Load.
    i32 Release() override;
    // argument: a LoadingArgs* (its next scene owned from here on), or 0.
    // 0 when the layout or the background is missing (named); the screen
    // then reports it at its first update and the program ends.
    i32 Initialize(intptr_t argument) override;
    // Dots; once loaded the prompt blinks and the first button after it
    // starts the fade, at whose end the next scene replaces this one.
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;
    i32 SoundStep(u32, u32*) override { return 1; }

    u32 GetLoadState() const { return m_loader.GetState(); }
    bool IsFadingOut() const { return m_fadeOut; }

private:
    void FindLayers();
    i32 ReportFailure();

    std::unique_ptr<CTexture> m_background;
    loading::Loader m_loader;
    loading::Dots m_dots;
    f32 m_blink = 0.0f;
    bool m_fadeOut = false;
    bool m_loadFailed = false;   // this screen's own Load
    bool m_reported = false;
    CSceneObject* m_layerBackground = nullptr;
    CSceneObject* m_layerPrompt = nullptr;
    CSceneObject* m_layerNow = nullptr;
    CSceneObject* m_layerDots[3] = {};
    CScene* m_next = nullptr;   // owned; the loader's until state 2
    intptr_t m_nextParameter = 0;
};

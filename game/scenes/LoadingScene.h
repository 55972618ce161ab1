// CLoadingScene: the loading screen between the menus and a battle. Its
// loader thread runs the next scene's Load behind a random background and
// hands the scene over when it is ready.
//
// Also what both loading screens share (namespace loading): the loader
// thread with its state word, the dots, and the failure report.
#pragma once

#include "engine/core/Types.h"
#include "engine/scene/SceneResource.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "host/kernel/Kernel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CGameApp;
class CScene;
class CSceneObject;
class CTexture;

// What the loading screens take: the scene to load next (theirs from the
// call on), the argument of its Load, and whether the screen runs as the
// network scene's child.
struct LoadingArgs {
    // The title item a failed load returns to: kTitleItemFromSetup takes the
    // set-up's mode when next is a battle scene (parameter a CBattleSetup*).
    static constexpr u32 kTitleItemFromSetup = ~0u;

    CScene* next = nullptr;
    intptr_t parameter = 0;
    u32 network = 0;
    u32 titleItem = kTitleItemFromSetup;
};

namespace loading {

enum LoadState : u32 { kNotStarted = 0, kLoading = 1, kLoaded = 2, kFailed = 3 };

// A loader thread and the state word it shares with the main thread, under
// one lock. The state is 1 from Start on (so a poll right after Start never
// reads 0), then 2 or 3 by the body's result.
class Loader {
public:
    Loader() = default;
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;
    ~Loader() { Join(); }

    // Runs body on a new thread. False, state 3, when no thread starts.
    bool Start(std::function<bool()> body);
    u32 GetState() const;
    // A thread was started (and ran, or runs, the body).
    bool Started() const { return m_started; }
    // Waits for the thread's end. Never call it holding GetLock(): the
    // thread takes it to write its result.
    void Join();
    host::kernel::CriticalSection& GetLock() const { return m_lock; }

private:
    void SetState(u32 state);

    mutable host::kernel::CriticalSection m_lock;
    u32 m_state = kNotStarted;   // guarded by m_lock
    std::unique_ptr<host::kernel::Thread> m_thread;
    bool m_started = false;
};

// The "now loading" dots: one more every 0.5 s, 0..3, then none again.
class Dots {
public:
    static constexpr f32 kStep = 0.5f;
    void Step(f32 seconds);
    i32 Count() const { return m_count; }

private:
    f32 m_timer = 0.0f;
    i32 m_count = 0;
};

// Draws the first count of the dot layers (null ones skipped).
void DrawDots(CSceneObject* const (&dots)[3], i32 count);
// Draws a layer at its place when it exists.
void DrawLayer(CSceneObject* layer);

// Loader thread side of a failed Load: what it named (the load error),
// worded as the application words a failed scene change, goes to app's
// message queue for the main thread to show; without a name the general
// text. Nothing without an application.
void QueueLoadFailure(CGameApp* app);

// The parameter of a next scene whose Load never ran: a battle's set-up is
// deleted (its Load would have taken it); parameter becomes 0.
void DropUnusedParameter(CScene* next, intptr_t& parameter);

// The one background file of "Data\Load.gpk" both screens open: the
// archive's name, pack name, and the 19 backgrounds of the loading screen.
inline constexpr const char* kLoadPack = "Data\\Load.gpk";
inline constexpr const char* kLoadPackName = "LOADPACK";
inline constexpr const char* kStartupBackground = "Bg_24.dds";
inline constexpr u32 kBackgroundCount = 19;
extern const char* const kBackgrounds[kBackgroundCount];

// A new texture of the first of names (tried from index start on, each
// once, wrapping) that "Data\Load.gpk" holds; null when none loads.
std::unique_ptr<CTexture> LoadBackground(const char* const* names, u32 count, u32 start);

}  // namespace loading

class CLoadingScene : public CSceneResource, public IPeerMessageSink {
    ORV_VALUE_CLASS(CLoadingScene)

public:
    static constexpr f32 kFadeSpeed = 4.0f;      // alpha per second: 0.25 s
    static constexpr f32 kSpinSpeed = 30.0f;     // degrees per second

    CLoadingScene();
    // A copy of the layout only: no loader, no next scene, no texture.
    CLoadingScene(const CLoadingScene& other);
    CLoadingScene& operator=(const CLoadingScene&) = delete;
    ~CLoadingScene() override;

    // Waits for the loader (never under its lock), then deletes the next
    // scene when still held and the background. Safe after any Load. Whoever
    // deletes the screen mid-load must not hold a lock the next scene's Load
    // takes (the network scene deleting its child under its own lock while a
    // battle loads would wait for ever).
    i32 Release() override;
    // argument: a LoadingArgs* (its next scene owned from here on), or 0.
    // 0 when the layout or every background is missing (named).
    i32 Initialize(intptr_t argument) override;
    // Spinner, dots; once loaded the screen fades out and hands the scene
    // over (replaced by it, or the network scene's child). A failed load
    // shows its reason and goes back to the title (a network child ends
    // network play).
    i32 Update(u32 argument) override;
    // Forwarded to the next scene while the screen holds one, also while
    // it loads on the loader thread (a network battle's start handshake
    // needs its peers' messages then): the next scene takes them on any
    // thread. 1 without one or after a failed load.
    u32 OnMessage(u32 message, intptr_t parameter) override;
    // The same with the body's length, to a next scene that takes it so.
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override;
    i32 Draw(u32 argument) override;
    i32 SoundStep(u32, u32*) override { return 1; }

    u32 GetLoadState() const { return m_loader.GetState(); }
    // The title item a failure returns to.
    u32 GetTitleItem() const { return m_titleItem; }

private:
    void TakeArgs(const LoadingArgs* args);
    void FindLayers();
    // The next scene's parameter when its Load never ran (the set-up of a
    // battle is then still ours).
    void DropUnusedParameter();
    i32 HandOver();
    i32 ReportFailure();

    std::unique_ptr<CTexture> m_background;
    loading::Loader m_loader;
    f32 m_spinner = 0.0f;
    loading::Dots m_dots;
    u32 m_network = 0;
    u32 m_titleItem = 0;
    bool m_reported = false;
    CSceneObject* m_layerBackground = nullptr;
    CSceneObject* m_layerRing = nullptr;
    CSceneObject* m_layerNow = nullptr;
    CSceneObject* m_layerDots[3] = {};
    // Owned; loaded by the loader until state 2. Changed only under the
    // loader's lock, which a message holds while it is forwarded.
    CScene* m_next = nullptr;
    intptr_t m_nextParameter = 0;
};

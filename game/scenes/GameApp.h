// CGameApp: the game's application object on the engine's application base.
// The one instance the game's entry makes, starts, drives once per frame
// and ends; scenes reach it through GetGameApp().
//
// It owns the three save files, the engine's shared services (resource
// controller, render list, effect controller, object registry), the screen
// filters, the data (CGameData: folders, archives, the 51 music slots) and
// the current scene, and it paces drawing. The battle reaches it through
// the seams it declared (IBattleApp, IBattleFlow), which BattleApp() and
// Flow() give.
#pragma once

#include "engine/core/Types.h"
#include "engine/platform/app/ApplicationMain.h"
#include "game/scenes/GameData.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CCamera;
class CEffectController;
class CFilter;
class CMovie;
class CObjectRegistry;
class CRenderList;
class CResourceController;
class CSaveConfig;
class CSaveData;
class CSaveRecord;
class CScene;
class CSoundBuffer;
class CTensionFile;
class CTexture;
class IBattleApp;
class IBattleFlow;

// The display sizes a configuration's size index picks.
struct DisplaySize {
    i32 width, height;
};
inline constexpr DisplaySize kDisplaySizes[12] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960},
    {1600, 1200}, {720, 480}, {1024, 600}, {1280, 720}, {1920, 1080}, {1440, 900}, {1680, 1050}, {1920, 1200}};
// The largest size from index down that fits the desktop; 640 x 480 when
// none does. An index past the table starts at its last entry.
DisplaySize ChooseDisplaySize(i32 index, i32 desktopWidth, i32 desktopHeight);

// The first tick of the 60-per-second frame timer after now (the kernel
// clock, ms): the earliest time the next frame step may start.
u32 NextFrameTick(u32 now);

class CGameApp : public CApplicationMain {
public:
    static constexpr const char* kWindowTitle = "Cendrava Ver BRIMOLD 1.51";
    static constexpr u32 kDrawBudgetMs = 18;    // per skipped draw
    static constexpr i32 kMaxSkippedDraws = 10;
    static constexpr u32 kFrameMs = 16;         // the 60-per-second timer, rounded down
    static constexpr u32 kRenderListSize = 2048;
    static constexpr u32 kEffectNodes = 2048, kEffectParticles = 4096;

    explicit CGameApp(DataFolders folders);
    ~CGameApp() override;

    // Start-up: the saves, the window and devices, the display mode, the
    // pads, the engine's services, the process-wide application and the
    // start-up screen. 0 at the first step that fails (after its box).
    i32 Init(InstanceHandle instance, host::window::WindowProc proc) override;
    // The frame step: first sleeps while the previous step's timer tick
    // lasts, then lag and frame time from the clock, the waiting message
    // boxes, input, the scene's sound step and update. 1.
    i32 Update() override;
    // Draws unless the lag asks for a skip (at most 10 in a row). 1 when
    // drawn with no skip before it, else 0.
    i32 Draw() override;
    // Device lost and reset (the base calls them around a reset).
    i32 OnDeviceLost() override;
    i32 OnDeviceReset() override;
    i32 ReleaseDeviceResources();
    i32 CreateFilters();
    // Deletes the scene, writes the saves (a failure is said, naming the
    // file), clears the process-wide pointers and deletes the rest. Safe to
    // call again.
    i32 Exit() override;
    const char* GetClassName() const override { return "CGameApp"; }

    // -- Scenes. --

    // Deletes the current scene, makes scene current and loads it with
    // block. 0, or 1 when its Load failed: the failed scene is deleted, its
    // reason shown, and a new title made current (when that fails too the
    // program ends).
    i32 ChangeScene(CScene* scene, intptr_t block);
    // Deletes the current scene and makes scene (already loaded) current. 1.
    i32 SetScene(CScene* scene);
    CScene* GetScene() const { return m_scene; }
    // What a failing Load names ("Scene\TitleSceneM.sce"); the next failure
    // report shows it. Any thread; the last one given wins.
    void SetLoadError(const std::string& what);
    std::string TakeLoadError();
    // A text for a message box from any thread; the main thread shows the
    // waiting ones in order at its next Update (or ShowMessages).
    void QueueMessage(const std::string& text);
    void ShowMessages();
    // Ends the program after this frame (the loop sees the quit message);
    // the program ends with status (not 0: a failure, e.g. data that could
    // not be read).
    void Quit(i32 status = 0);
    i32 GetExitStatus() const { return m_exitStatus; }
    // What Init makes current instead of the start-up screen (tests: a
    // scene of their own, loaded with block 0). Empty: the start-up screen.
    void SetStartScene(std::function<CScene*()> make) { m_startScene = std::move(make); }
    // A file that gets the class name of every scene made current, a line
    // each (the program test follows the game by it). Empty: none.
    void SetSceneTrace(std::string path) { m_sceneTrace = std::move(path); }

    // -- What the scenes share. --

    CSaveConfig* GetSaveConfig() const { return m_saveConfig.get(); }
    CSaveRecord* GetSaveRecord() const { return m_saveRecord.get(); }
    CSaveData* GetSaveData() const { return m_saveData.get(); }
    CResourceController* GetResourceController() const { return m_resources.get(); }
    CRenderList* GetRenderList() const { return m_renderList.get(); }
    CEffectController* GetEffectController() const { return m_effects.get(); }
    CObjectRegistry* GetObjectRegistry() const { return m_registry.get(); }
    CFilter* GetHdrFilter() const { return m_hdrFilter.get(); }
    CFilter* GetBasicFilter() const { return m_screenFilter.get(); }
    // The head of the application's information block: the not-foreground
    // flag last applied to the sounds (the scenes' sound step updates it).
    u32* GetGameInfo() { return &m_soundInactive; }
    i32 SetBattleFlag(u32 value)
    {
        m_menuLayout = value;
        return 1;
    }
    u32 GetMenuLayoutFlag() const { return m_menuLayout; }
    // The client size, and the 4:3 area's left edge and width (the whole
    // window when it is not wider than 4:3).
    i32 GetClientWidth() const;
    i32 GetClientHeight() const;
    f32 GetMargin() const;
    f32 GetLayoutWidth() const;
    // Client height / 768, the menus' layout scale.
    f32 GetLayoutScale() const;

    i32 CreateDefaultFont();
    // A camera for the 2D menu layouts; the caller owns it.
    CCamera* CreateDefaultCamera() const;
    i32 DrawSideBars();

    // The seams the battle declared.
    IBattleApp* BattleApp();
    IBattleFlow* Flow();

    // -- Data (see CGameData). --

    // Start-up's first step: reads GameConfig.dat (a missing one gets the
    // defaults and is written). 0 after the box "コンフィグファイルが読み込めません"
    // when it cannot be read; the configuration is then absent.
    i32 LoadSaveConfig();
    CGameData& GetGameData() { return m_data; }
    const CGameData& GetGameData() const { return m_data; }
    std::unique_ptr<CResourceList> OpenPack(const char* fileName, u32 identifier, u8 key) const
    {
        return m_data.OpenPack(fileName, identifier, key);
    }
    i32 LoadFromPackList(const char* entry, const CList<void*>* packs, CSoundBuffer* sound, u32 voices,
        u32 flags) const
    {
        return CGameData::LoadFromPackList(entry, packs, sound, voices, flags);
    }
    i32 LoadTextureFromPackList(const char* entry, const CList<void*>* packs, CTexture* texture) const
    {
        return CGameData::LoadTextureFromPackList(entry, packs, texture);
    }
    i32 OpenMovie(const char* path, CMovie* movie) const { return m_data.OpenMovie(path, movie); }
    i32 FindDataFile(const char* path) const { return m_data.FindDataFile(path); }
    i32 SetDataFolder(u32 which) const { return m_data.SetDataFolder(which); }
    CSoundBuffer* LoadBgm(u32 slot, const CList<void*>* packs) const
    {
        return m_data.LoadBgm(slot, packs, [this](const std::string& text) {
            const_cast<CGameApp*>(this)->QueueMessage(text);
        });
    }
    CTensionFile* GetTensionFile(u32 slot) const { return m_data.GetTensionFile(slot); }
    // The global load of the start-up's loader thread: the filters, the
    // archives and music, the default font. 1 / 0 (the reason queued).
    i32 LoadResources();

private:
    class BattleSeams;

    i32 LoadSaves();
    void DeleteScene();
    // ChangeScene's work; titleOnFailure: a failed Load is followed by a
    // new title (not for start-up, nor for that title itself).
    i32 InstallScene(CScene* scene, intptr_t block, bool titleOnFailure);
    void SetupDisplayMode();
    void MapPads();
    // The HDR and screen filters as the configuration asks (the render
    // list gets the HDR one).
    void MakeFilters();
    // The three saves at exit, a box naming any that cannot be written.
    void WriteSaves();
    void ClearProcessPointers();
    // Exit without the saves: what the destructor of a failed start runs.
    void Release();
    // The scene trace's line for the scene now current.
    void TraceScene() const;

    std::unique_ptr<CSaveConfig> m_saveConfig;
    std::unique_ptr<CSaveRecord> m_saveRecord;
    std::unique_ptr<CSaveData> m_saveData;
    CGameData m_data;
    CScene* m_scene = nullptr;   // owned
    i32 m_exitStatus = 0;   // what Quit ends the program with
    std::unique_ptr<CResourceController> m_resources;
    std::unique_ptr<CRenderList> m_renderList;
    std::unique_ptr<CEffectController> m_effects;
    std::unique_ptr<CObjectRegistry> m_registry;
    std::unique_ptr<CFilter> m_hdrFilter;
    std::unique_ptr<CFilter> m_screenFilter;
    std::unique_ptr<BattleSeams> m_battleSeams;
    u32 m_soundInactive = 0;
    // A battle's Load, on a loading screen's thread, turns it off while the
    // main thread draws the side bars.
    std::atomic<u32> m_menuLayout{1};
    i32 m_skippedDraws = 0;
    u32 m_lag = 0;
    u32 m_lastTime = 0;
    u32 m_nextTick = 0;
    std::function<CScene*()> m_startScene;
    std::string m_sceneTrace;

    std::mutex m_messageLock;   // guards the two below
    std::vector<std::string> m_messages;
    std::string m_loadError;
};

// The process's game application: set by Init, cleared by Exit.
CGameApp* GetGameApp();

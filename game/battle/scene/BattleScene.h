// CBattleScene: the scene in which a battle runs. It loads the stage, the
// fighters, the music and the HUD from a set-up record, runs the battle
// frame by frame (inputs, object updates, the two interaction passes,
// effects, listener, radio chat, consoles, replay, end test), answers the
// battle objects' messages to id 0 while it is the registry's handler, and
// keeps network battles in lockstep.
//
// Files: BattleSceneLoad.cpp (construction, Load, sound step),
// BattleSceneUpdate.cpp (the frame and its pass walks),
// BattleSceneMessages.cpp (OnMessage, queries, the state hash),
// BattleSceneDraw.cpp (views, split screen, screenshots),
// BattleSceneEnd.cpp (end test, results, the way out, release) and
// BattleSceneLockstep.cpp (the scene's side of the network lockstep).
#pragma once

#include "engine/core/PackFile.h"
#include "engine/core/ResourceList.h"
#include "engine/core/Scene.h"
#include "engine/core/StateHash.h"
#include "engine/core/Types.h"
#include "game/battle/object/BattleCharacter.h"
#include "game/battle/object/BulletPasses.h"
#include "game/battle/object/ObjectDivision.h"
#include "game/battle/scene/BattleApp.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/battle/scene/ConsoleBase.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/LockstepRecords.h"
#include "game/battle/scene/PeerMessageSink.h"
#include "game/data/Replay.h"
#include "host/kernel/Kernel.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CBattleConsole;
class CCamera;
class CCharacter;
class CCharacterParameter;
class CListener;
class CObjectRegistry;
class CReplay;
class CReplayFighter;
class CRenderList;
class CSkillList;
class CSoundBuffer;
class CStage;
class CStageSetting;
class CTensionFile;
class CTexture;
class HudFighter;
struct CharacterCreateRecord;
struct ConfigGame;

// Messages to id 0 that neither the battle objects (ObjectMessage,
// ObjectDivision.h) nor the consoles (ConsoleMessage, ConsoleBase.h) name.
// The peer messages are the lockstep's (LockstepRecords.h).
enum BattleSceneMessage : u32 {
    kSceneMsgRadioChat = 3,
    kSceneMsgLivesRule = 20,
};

// The frame's state hash folded object by object: the running value after
// each object, so two runs name the first object that parts.
struct BattleStateHash {
    std::vector<std::string> objects;   // "stage 0", "character 2", "bullets", "console 1", "generator"
    std::vector<u64> running;           // the hash after each object
    u64 Value() const { return running.empty() ? CStateHash::kOffset : running.back(); }
};
// The first object whose running hash differs ("" when none).
std::string FirstDifferentObject(const BattleStateHash& expected, const BattleStateHash& actual);

class CBattleScene : public CScene, public IPeerMessageSink {
    ORV_VALUE_CLASS(CBattleScene)

public:
    static constexpr const char* kMusicArchive = "Data\\BattleBgm.gpk";
    static constexpr const char* kMusicPackName = "BGMPACK";
    static constexpr u8 kMusicArchiveKey = kPackKeyFirst;
    static constexpr const char* kSkillFile = "Setting/Skill.dat";
    static constexpr const char* kWinJingle = "Bgm_win.ogg";
    static constexpr const char* kLoseJingle = "Bgm_lose.ogg";
    static constexpr u32 kCharacterCount = 18;   // character ids 0..17
    static constexpr u32 kStageCount = 19;       // stage ids 0..18
    static constexpr u32 kMusicSlots = 51;       // music slots 0..50
    static constexpr f32 kStartTime = 1.0f;      // the start countdown and the end fade, seconds
    static constexpr f32 kRadioChatCooldown = 3.0f;

    // All fields zero, the lock made, both queues empty. The application
    // seam is needed by Load; without one Load fails.
    CBattleScene();
    explicit CBattleScene(IBattleApp* app, IBattleNetwork* network = nullptr);
    // The scalar fields and the lockstep buffers; the stage, character,
    // skill and console lists cloned; bullets, music and jingles not taken
    // (a clone is never run); no render targets.
    CBattleScene(const CBattleScene& other);
    CBattleScene& operator=(const CBattleScene&) = delete;
    ~CBattleScene() override;

    void SetApp(IBattleApp* app) { m_app = app; }
    void SetNetwork(IBattleNetwork* network) { m_network = network; }

    // -- The scene's slots. --

    // Undoes everything; safe after a partial Load and twice.
    i32 Release() override;
    // The argument is a CBattleSetup* (owned from here on, success or not)
    // or 0 for a default set-up from the saved configuration. 1 when the
    // battle is ready, 0 when a file cannot be read.
    i32 Initialize(intptr_t argument) override;
    u32 Load(CBattleSetup* setup) { return Initialize(reinterpret_cast<intptr_t>(setup)) ? 1 : 0; }
    // One frame. 1 to go on; the result of a scene change otherwise.
    i32 Update(u32 argument) override;
    i32 SoundStep(u32 inactive, u32* lastInactive) override;
    u32 OnMessage(u32 message, intptr_t parameter) override;
    // Every view (BattleSceneDraw.cpp).
    i32 Draw(u32 argument) override;

    // A side message from a replay or a peer's bundle: only the radio chat
    // line (id 3, exactly 48 bytes) is taken; anything else is refused (0).
    u32 OnSideMessage(u32 id, const u8* data, u32 length);
    // A peer message (10004..10009) as the network scene received it, body
    // and length; each is taken only at its exact or its bounded length.
    // OnMessage takes the fixed-size ones (10004, 10006, 10009) too. Any
    // thread, from construction on: while the battle loads on another
    // thread, the peers' messages reach it before its lockstep exists (a
    // faster peer's ready word); those are kept, in order, and handed to
    // the lockstep as it is made. What they hold is bounded as a whole: each
    // costs its body and kEarlyMessageCost, and one that would take the
    // kept past kMaxEarlyBytes is dropped (kPeerMessageNotMine: its sender
    // goes on).
    u32 OnPeerMessage(u32 type, const u8* data, u32 length) override;
    static constexpr size_t kMaxEarlyBytes = size_t(4) << 20;
    static constexpr size_t kEarlyMessageCost = 64;
    // Kept for the lockstep still to be made: messages, and their cost.
    // Ready words (10006), one bit per entry, that came before this battle
    // was built: kept as if they had come while it loads.
    void KeepReadyWords(u32 entries);
    size_t EarlyMessageCount() const;
    size_t EarlyMessageBytes() const;

    // -- Loading (BattleSceneLoad.cpp). --

    // The character initialization block of fighter index for entry. 0 when
    // record or entry is missing.
    u32 SetupCharacter(u32 index, CharacterCreateRecord* record, const CBattleEntry* entry, u32 characterCount) const;
    // The fighters the set-up names: its entries but the empty ones.
    u32 FighterCount() const;
    // The tension file fighter `entry` follows (may be null: none).
    const CTensionFile* ChooseTension(u32 entryIndex, const CBattleEntry& entry) const;

    // -- Frame (BattleSceneUpdate.cpp). --

    // The music's play position in seconds (0 without music).
    f32 GetMusicTime() const;
    // Whether every console's pause menu is open (false without consoles).
    bool AllMenusOpen() const;
    // The character playing the local entry, else the first; null when none.
    CCharacter* GetLocalCharacter() const;
    // The index in the character list of the one playing the local entry,
    // or -1.
    i32 FindLocalCharacter() const;

    // -- Messages and queries (BattleSceneMessages.cpp). --

    // Option word 5 + 1; with the lives rule, less the defeats of the team.
    i32 GetTeamLives(u32 team) const;
    // The battle's state: stage objects, characters, bullets, consoles, the
    // global generator, in that order.
    BattleStateHash HashState() const;

    // -- End and results (BattleSceneEnd.cpp). --

    // Each fighter as the results read it, in list order.
    std::vector<BattleFighter> ReadFighters() const;
    bool IsBattleOver() const;
    // 1 win, 2 loss, 3 draw for a team.
    u32 GetResult(u32 team) const;
    // The end step of the frame, once the end test passes.
    void EndBattle();
    void ApplyAdventureRewards(u32 result);
    u32 CheckAdventureCondition(u32 character, u32 type, i32 parameter) const;
    // Leaves for the next scene by the end code; its result.
    i32 OnBattleEnd();
    void UpdatePlayRecord();

    // -- Lockstep (BattleSceneLockstep.cpp): the scene's side of
    // CBattleLockstep, which it owns from loading on. --

    u32 SyncStart();
    // The local fighter's packet from the first pad to the lockstep.
    i32 SendLocalInput();
    u32 WaitNetInputs();
    // The peer messages' bodies, checked by the lockstep; 1 when taken.
    u32 OnNetReady(const u8* data, u32 length);
    u32 OnNetInput(const u8* data, u32 length);
    u32 OnNetFrameBundle(const u8* data, u32 length);
    u32 OnNetLeft(const u8* data, u32 length);
    i32 SendFrameBundle();
    void StartNetThread();
    void StopNetThread();
    CBattleLockstep* GetLockstep() const;
    // How long the lockstep's waits last (tests shorten them); taken when
    // the battle loads.
    void SetLockstepLimits(const LockstepLimits& limits) { m_lockstepLimits = limits; }

    // -- Drawing (BattleSceneDraw.cpp). --

    i32 DrawView(u32 index);
    // 1 when the picture was saved.
    i32 TakeScreenshot(u32 viewed);
    // The character whose camera character i looks through (i itself when
    // its choice names no character).
    u32 GetViewedCharacter(u32 i) const;
    // The application's render list, else one of the scene's own.
    CRenderList* GetRenderList();

    // -- What the parts read. --

    IBattleApp* GetApp() const { return m_app; }
    IBattleNetwork* GetNetwork() const { return m_network; }
    CBattleSetup* GetSetup() const { return m_setup.get(); }
    CResourceList& GetStageObjects() { return m_stageObjects; }
    CResourceList& GetCharacters() { return m_characters; }
    CResourceList& GetConsoles() { return m_consoles; }
    CBulletList& GetBullets() { return m_bullets; }
    CStage* GetStage() const;
    CCharacter* GetCharacter(u32 i) const;
    CBattleConsole* GetConsole(u32 i) const;
    u32 GetCharacterCount() const { return m_characters.GetCount(); }
    // Entry index of each character in list order (kind 5 skipped).
    u32 GetEntryOf(u32 character) const { return character < m_entryOf.size() ? m_entryOf[character] : 0; }
    CSkillList* GetSkills() const { return m_skills.get(); }
    CSoundBuffer* GetMusic() const { return m_music.get(); }
    CSoundBuffer* GetWinJingle() const { return m_winJingle; }
    CSoundBuffer* GetLoseJingle() const { return m_loseJingle; }
    CListener* GetListener() const { return m_listener.get(); }
    CReplay* GetReplay() const { return m_replay.get(); }
    f32 GetTimer() const { return m_timer; }
    u32 GetLocalEntry() const { return m_localEntry; }
    u32 GetDrawnEntry() const { return m_drawnEntry; }
    void SetDrawnEntry(u32 entry) { m_drawnEntry = entry; }
    u32 GetEndCode() const { return m_endCode; }
    u32 IsEndRequested() const { return m_endRequested; }
    u32 IsOver() const { return m_battleOver; }
    u32 IsSplitScreen() const { return m_splitScreen; }
    u32 IsReplay() const { return m_replayMode; }
    u32 IsNetworked() const { return m_networkMode; }
    u32 GetInputDelay() const { return m_lockstep ? m_lockstep->GetInputDelay() : 0; }
    // Frames run since loading (the end fade excluded).
    u32 GetFrameCount() const { return m_frameCount; }
    // Side messages refused since loading (unknown id or wrong length).
    u32 GetRefusedSideMessages() const { return m_refusedSideMessages; }

    // The set-up's values that index tables, checked as a peer's or a
    // replay's record would be.
    static BattleRecordError CheckSetup(const CBattleSetup& setup);
    // The registry's id generator from the battle's seed.
    static void SeedIds(CObjectRegistry& registry, u32 seed);

protected:
    // Load steps; each 0 when its file cannot be read.
    u32 LoadReplay();
    u32 LoadMusic();
    u32 LoadStage();
    u32 LoadFighters();
    u32 LoadFighter(u32 entryIndex, CBattleEntry& entry, u32& humans);
    u32 LoadConsoles();
    u32 StartRecording();
    void CreateLockstep();
    // A lockstep message to the lockstep; m_peerLock held.
    u32 TakePeerMessage(u32 type, const u8* data, u32 length);

    // Frame steps.
    i32 RunEndFade();
    void RunStartCountdown();
    bool RunPause();
    // The frame's inputs; a result when the frame stops there.
    std::optional<i32> ReadInputs();
    void ReadReplayInputs();
    std::optional<i32> ReadNetworkInputs();
    void ReadLocalInputs();
    void UpdateObjects();
    void RunFirstSweep();
    void RunSecondSweep();
    void PlaceListener();
    void SendRadioChat();
    void UpdateConsoles();
    void RecordFrame();
    void RunEndTest();
    // The peer end the receive thread took, once, on the game thread.
    void TakePeerEnd();
    // The radio chat line to every console.
    void ShowRadioChat(const u8* body);

    // A view's 3D passes into the render list and its draw, for viewer;
    // the console's 3D pass too when one is given.
    void DrawWorld(CCharacter* viewer, CRenderList* list, CBattleConsole* console);

    // Fighters as the bullet passes and the consoles see them.
    void RebuildViews();
    // Sound helpers.
    void PauseSounds();
    void ResumeSounds();
    void StopSounds();
    i32 MusicVolume() const;
    const ConfigGame* GameSettings() const;

    IBattleApp* m_app = nullptr;
    IBattleNetwork* m_network = nullptr;

    // The fields, in their order.
    f32 m_timer = 0.0f;
    u32 m_localEntry = 0;
    u32 m_drawnEntry = 0;
    u32 m_endCode = 0;
    u32 m_screenShake = 0;
    std::atomic<u32> m_endRequested{0};
    u32 m_soundsStopped = 0;
    u32 m_battleOver = 0;
    u32 m_splitScreen = 0;
    std::unique_ptr<CBattleSetup> m_setup;
    u32 m_trainingMode = 0, m_networkMode = 0, m_tutorialMode = 0, m_survivalMode = 0, m_storyMode = 0,
        m_adventureMode = 0, m_replayMode = 0;
    f32 m_radioCooldown = 0.0f;
    // The lockstep and what it reaches of the scene and the network scene.
    struct LockstepSeams final : ILockstepTransport, INetworkSceneLock, ILockstepBattle {
        CBattleScene* scene = nullptr;
        i32 Broadcast(u32 type, const u8* data, u32 length) override;
        void Enter() override;
        void Leave() override;
        bool HeldByMe() const override;
        f32 GetMusicPosition() override;
        void AddPausedTime(u32 ms) override;
        bool IsEndFadeStarted() override;
    } m_seams;
    // Made by the load (on the loading screen's thread), read by the
    // receive thread: written only under m_peerLock, and read under it by
    // any thread but the game thread's after the load.
    std::unique_ptr<CBattleLockstep> m_lockstep;
    LockstepLimits m_lockstepLimits;
    // The lockstep's pointer and the messages that came before it. Taken
    // after the network scene's lock, before the lockstep's.
    mutable host::kernel::CriticalSection m_peerLock;
    struct EarlyMessage {
        u32 type;
        std::vector<u8> body;
    };
    std::vector<EarlyMessage> m_early;   // guarded by m_peerLock
    size_t m_earlyBytes = 0;             // their cost: guarded by m_peerLock
    bool m_peerClosed = false;           // released: guarded by m_peerLock

    CResourceList m_stageObjects;
    CResourceList m_characters;
    CBulletList m_bullets;
    std::unique_ptr<CSkillList> m_skills;
    std::unique_ptr<CSoundBuffer> m_music;
    CSoundBuffer* m_winJingle = nullptr;    // the resource controller's
    CSoundBuffer* m_loseJingle = nullptr;
    std::unique_ptr<CListener> m_listener;
    CResourceList m_consoles;
    std::unique_ptr<CReplay> m_replay;
    // What only drawing makes: the screenshot's camera and readback texture
    // (on first use), a render list when the application has none, and per
    // character the spell whose screenshot is taken. A copy takes none.
    struct DrawState {
        DrawState() = default;
        DrawState(const DrawState&) {}
        DrawState& operator=(const DrawState&) = delete;
        ~DrawState() { Reset(); }
        // Frees all three (BattleSceneDraw.cpp); the release may call it.
        void Reset();
        CCamera* screenshotCamera = nullptr;
        CTexture* screenshotTexture = nullptr;
        CRenderList* renderList = nullptr;
        u32 shotTaken = 0;   // bit per character index
    } m_draw;

    // Views of the lists that the objects and consoles are handed.
    std::vector<CObjectDivision*> m_characterObjects;
    BattleCharacterList m_characterList;
    std::vector<IBattleCharacter*> m_hitFighters;
    std::vector<std::unique_ptr<HudFighter>> m_hudFighters;
    HudFighterList m_hudList;
    std::vector<u32> m_entryOf;
    std::vector<u32> m_characterIds;   // the id each fighter was built from
    std::vector<std::unique_ptr<CReplayFighter>> m_replayFighters;
    std::vector<IReplayFighter*> m_replayList;
    std::unique_ptr<ConsoleInput> m_consoleInput;
    // Hands a replay's side messages to OnSideMessage.
    struct SideMessageTarget : IReplayMessageTarget {
        CBattleScene* scene = nullptr;
        void OnMessage(u32 id, const u8* data, u32 length) override { scene->OnSideMessage(id, data, length); }
    } m_sideTarget;
    u32 m_refusedSideMessages = 0;
    const CTensionFile* m_musicTension = nullptr;   // the application's, by slot
    u32 m_musicSlot = 0;
    u32 m_handlerInstalled = 0;
    // This battle turned the menus' layout off; its release turns it back on,
    // whether or not the set-up was handed on.
    u32 m_menuLayoutOff = 0;
    u32 m_frameCount = 0;
};

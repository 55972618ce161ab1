// The battle scene: construction, loading (set-up, replay, music, stage,
// skills, fighters, consoles, listener, recording, lockstep start) and the
// sound step.
#include "game/battle/scene/BattleScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/ObjectRegistry.h"
#include "engine/core/Random.h"
#include "engine/platform/Input.h"
#include "engine/platform/Listener.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "game/battle/character/CpuCharacter.h"
#include "game/battle/character/PlayerCharacter.h"
#include "game/battle/character/ReplayFighter.h"
#include "game/battle/object/Stage.h"
#include "game/battle/object/StageSetting.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleHudFighter.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/ReplaySetup.h"
#include "game/data/Replay.h"
#include "game/data/SettingLoad.h"
#include "game/data/SaveConfig.h"
#include "game/data/Skill.h"
#include "game/data/TensionFile.h"

#include <cstring>

namespace {

constexpr f32 kFactorTable[CBattleEntry::kFactorLevels] = {3.0f, 2.5f, 2.0f, 1.5f, 1.0f};
constexpr u32 kTraceSamples[5] = {0, 1, 4, 8, 32};

// The consoles' menus and result pages read the game's pads and keyboard.
class GameConsoleInput final : public ConsoleInput {
public:
    explicit GameConsoleInput(CInput* input) : m_input(input) {}
    const InputState* GetState(u32 slot) const override { return m_input ? m_input->GetInputState(slot) : nullptr; }
    u32 IsKeyDown(u32 key) const override { return m_input ? m_input->IsKeyDown(key) : 0; }

private:
    CInput* m_input;
};

template <class T>
T* At(const CResourceList& list, u32 i)
{
    return i < list.GetCount() ? static_cast<T*>(static_cast<CValueBase*>(list.GetAt(i))) : nullptr;
}

void AddTo(CResourceList& list, CValueBase* object)
{
    void* slot = object;
    list.Add(&slot);
}

}  // namespace

CBattleScene::CBattleScene()
{
    SetName("CBattleScene");
    m_sideTarget.scene = this;
    m_seams.scene = this;
}

CBattleScene::CBattleScene(IBattleApp* app, IBattleNetwork* network) : CBattleScene()
{
    m_app = app;
    m_network = network;
}

CBattleScene::CBattleScene(const CBattleScene& other)
    : CScene(other),
      m_app(other.m_app),
      m_network(other.m_network),
      m_timer(other.m_timer),
      m_localEntry(other.m_localEntry),
      m_drawnEntry(other.m_drawnEntry),
      m_endCode(other.m_endCode),
      m_screenShake(other.m_screenShake),
      m_endRequested(other.m_endRequested.load()),
      m_soundsStopped(other.m_soundsStopped),
      m_battleOver(other.m_battleOver),
      m_splitScreen(other.m_splitScreen),
      m_trainingMode(other.m_trainingMode),
      m_networkMode(other.m_networkMode),
      m_tutorialMode(other.m_tutorialMode),
      m_survivalMode(other.m_survivalMode),
      m_storyMode(other.m_storyMode),
      m_adventureMode(other.m_adventureMode),
      m_replayMode(other.m_replayMode),
      m_radioCooldown(other.m_radioCooldown),
      m_stageObjects(other.m_stageObjects),
      m_characters(other.m_characters),
      m_consoles(other.m_consoles)
{
    m_sideTarget.scene = this;
    m_seams.scene = this;
    if (other.m_skills) m_skills = std::make_unique<CSkillList>(*other.m_skills);
    m_entryOf = other.m_entryOf;
    m_characterIds = other.m_characterIds;
    RebuildViews();
}

CBattleScene::~CBattleScene() { CBattleScene::Release(); }

i32 CBattleScene::Initialize(intptr_t argument)
{
    // 1. The set-up is ours from here on, whatever happens.
    m_setup.reset(reinterpret_cast<CBattleSetup*>(argument));
    {
        host::kernel::Lock lock(m_peerLock);
        m_peerClosed = false;
    }
    if (!m_app) return 0;
    if (!m_setup) m_setup = std::make_unique<CBattleSetup>(m_app->GetSaveConfig());
    CBattleSetup& setup = *m_setup;
    m_localEntry = setup.localEntry;
    m_trainingMode = setup.trainingMode, m_networkMode = setup.networkMode, m_tutorialMode = setup.tutorialMode;
    m_survivalMode = setup.survivalMode, m_storyMode = setup.storyMode, m_adventureMode = setup.adventureMode;
    m_replayMode = setup.replayMode;

    // 2. A replay replaces fighters and options with its own.
    if (m_replayMode && !LoadReplay()) return 0;
    // Set-ups come from peers and replays too: every value that indexes a
    // table is checked before anything is built from it.
    if (CheckSetup(setup) != BattleRecordError::kNone) return 0;
    // One settings load for the whole battle: a child file that several
    // fighters, cards or patterns name is read once, and the battle's reads
    // are bounded together.
    CSettingLoad settings;

    // 3. Every machine and every replay draws the same numbers. The effects
    // draw from a generator of their own, seeded alike so that a replay
    // shows them as they were, but never touching the battle's.
    SeedRandom(setup.option.randomSeed);
    if (CEffectController* effects = m_app->GetEffectController()) effects->SeedRandom(setup.option.randomSeed);
    // Each battle looks once for each file it misses, whatever came before.
    if (CResourceController* resources = m_app->GetResourceController()) resources->ForgetMisses();

    // 4. Messages to id 0 reach this scene from now on.
    CObjectRegistry* registry = GetObjectRegistry();
    if (!registry) {
        registry = new CObjectRegistry();
        SetObjectRegistry(registry);
    }
    registry->SetHandler(this);
    m_handlerInstalled = 1;
    // Ids are hashed and order the broadcasts: they too follow the seed, so
    // a replay played in the same session gives the same ids.
    SeedIds(*registry, setup.option.randomSeed);
    RebuildViews();

    // 5-8.
    if (!LoadMusic() || !LoadStage()) return 0;
    m_skills = std::make_unique<CSkillList>();
    if (!m_skills->LoadFile(kSkillFile)) return 0;
    // 9-11.
    if (!LoadFighters() || !LoadConsoles()) return 0;
    // 12.
    m_listener = std::make_unique<CListener>(m_app->GetSoundDevice(), CListener::kModeSoftware);
    // 13.
    if (setup.recordReplay && !m_replayMode && !StartRecording()) m_replay.reset();
    // 14.
    const ConfigGame* game = GameSettings();
    m_screenShake = game ? game->screenShake : 0;
    m_timer = kStartTime;
    m_endRequested = 0;
    m_battleOver = 0;
    // 15-17: the lockstep queues the two first frame records itself.
    CreateLockstep();
    SyncStart();
    m_app->SetBattleFlag(0);
    m_menuLayoutOff = 1;
    // 18.
    if (m_networkMode && m_localEntry == 0) StartNetThread();
    return 1;
}

void CBattleScene::SeedIds(CObjectRegistry& registry, u32 seed)
{
    auto next = [](u32 a) { return (a ^ (a >> 30)) * 1812433253u + 1u; };
    CRandom& g = *registry.GetGenerator();
    g.w = next(seed ^ 0x49445321u);
    g.x = next(g.w);
    g.y = next(g.x);
    g.z = next(g.y);
}

BattleRecordError CBattleScene::CheckSetup(const CBattleSetup& setup)
{
    // The set-up's own reader holds every range test: the record goes
    // through it as a peer's or a replay's would.
    if (setup.count != CBattleSetup::kEntryCount) return BattleRecordError::kCount;
    const std::string bytes = WriteBattleSetup(setup);
    CBattleSetup probe;
    return ReadBattleSetup(reinterpret_cast<const u8*>(bytes.data()), bytes.size(), &probe);
}

u32 CBattleScene::LoadReplay()
{
    CBattleSetup& setup = *m_setup;
    if (setup.replayNumber < 1 || setup.replayNumber > kReplaySlotCount) return 0;
    const std::string folder = m_app->GetUserDataFolder();
    if (folder.empty()) return 0;
    m_replay = std::make_unique<CReplay>();
    const std::string path = ReplaySlotPath(folder, setup.replayNumber);
    CReplaySetupRecord record(setup);
    if (!m_replay->Open(path.c_str(), record) || !m_replay->ReadRecord(record)) {
        m_replay.reset();
        return 0;
    }
    m_localEntry = setup.localEntry;
    return 1;
}

u32 CBattleScene::LoadMusic()
{
    const CBattleOption& option = m_setup->option;
    m_musicSlot = option.UsedMusic();
    m_musicTension = m_app->GetTensionFile(m_musicSlot);
    const std::unique_ptr<CResourceList> packs =
        m_app->OpenPack(kMusicArchive, Crc32String(kMusicPackName), kMusicArchiveKey);
    // A missing user track leaves the battle silent, not broken: the
    // tension then follows time 0.
    m_music.reset(m_app->LoadBgm(m_musicSlot, packs.get()));

    CResourceController* resources = m_app->GetResourceController();
    CResourceList* sounds = resources ? resources->GetSoundList() : nullptr;
    m_winJingle = sounds ? static_cast<CSoundBuffer*>(static_cast<CValueBase*>(sounds->FindByFileName(kWinJingle))) : nullptr;
    m_loseJingle =
        sounds ? static_cast<CSoundBuffer*>(static_cast<CValueBase*>(sounds->FindByFileName(kLoseJingle))) : nullptr;
    return m_winJingle && m_loseJingle ? 1 : 0;
}

u32 CBattleScene::LoadStage()
{
    const char* path = m_app->GetStageFile(m_setup->option.UsedStage());
    if (!path) return 0;
    auto settings = std::make_unique<CStageSetting>();
    if (!settings->LoadFile(path)) return 0;
    auto* stage = new CStage(settings.release());
    AddTo(m_stageObjects, stage);
    stage->LoadResource(m_app->GetResourceController());
    stage->Initialize(0);
    return 1;
}

u32 CBattleScene::LoadFighters()
{
    u32 humans = 0;
    for (u32 i = 0; i < m_setup->count; ++i) {
        CBattleEntry& entry = m_setup->entries[i];
        if (entry.kind == CBattleEntry::kKindNone) continue;
        if (!LoadFighter(i, entry, humans)) return 0;
    }
    // 10. One screen for one local player or a network battle, every
    // fighter's view otherwise (computers only included); a replay splits
    // only when it was recorded on one machine.
    m_splitScreen = humans == 1 || m_networkMode ? 0 : 1;
    if (m_replayMode && !(m_replay && m_replay->GetHeader().playType == 0)) m_splitScreen = 0;
    return 1;
}

u32 CBattleScene::LoadFighter(u32 entryIndex, CBattleEntry& entry, u32& humans)
{
    const u32 id = entry.UsedCharacter();
    const char* path = id < kCharacterCount ? m_app->GetCharacterFile(id) : nullptr;
    if (!path) return 0;
    auto parameter = std::make_unique<CCharacterParameter>();
    if (!parameter->LoadFile(path)) return 0;

    // A fighter whose music has no script gets none and keeps the level it
    // starts with; its replay records that it had none.
    std::unique_ptr<CTensionFile> tension;
    if (m_replayMode) {
        if (m_replay) m_replay->ReadTensionTrack(&tension);
    } else if (const CTensionFile* chosen = ChooseTension(entryIndex, entry)) {
        tension = std::make_unique<CTensionFile>(*chosen);
    }

    const bool human = entry.kind < CBattleEntry::kKindComputer;
    CCharacter* character = human
        ? static_cast<CCharacter*>(new CPlayerCharacter(parameter.release(), tension.release()))
        : static_cast<CCharacter*>(new CCpuCharacter(parameter.release(), tension.release()));
    const u32 index = m_characters.GetCount();
    if (human) {
        // The local entry is an entry index everywhere (messages, consoles,
        // results, the lockstep, replays): in local play the first human's
        // entry. The set-up's own word is left as the select wrote it (the
        // select reads it back as its local card); a recording carries ours.
        if (!m_networkMode && !m_replayMode && humans == 0) m_localEntry = entryIndex;
        ++humans;
    }
    AddTo(m_characters, character);
    m_entryOf.push_back(entryIndex);
    m_characterIds.push_back(id);
    RebuildViews();

    CharacterCreateRecord record;
    if (!character->LoadResource(m_app->GetResourceController())) return 0;
    SetupCharacter(index, &record, &entry, FighterCount());
    if (!character->Initialize(reinterpret_cast<intptr_t>(&record))) return 0;
    m_hudFighters.push_back(
        std::make_unique<CBattleHudFighter>(*character, id, entryIndex, entry.radarType, &m_hudList));
    RebuildViews();
    return 1;
}

const CTensionFile* CBattleScene::ChooseTension(u32 entryIndex, const CBattleEntry& entry) const
{
    CTensionFile* own = m_setup->GetTensionFile(entryIndex);
    const u32 ownTension = m_setup->option.ownTension;
    if (entry.kind < CBattleEntry::kKindComputer) {
        if ((m_networkMode && entryIndex != m_localEntry) || !ownTension) return own;
        return m_musicTension ? m_musicTension : own;
    }
    if (m_networkMode && !ownTension) return own;
    if (ownTension) return entry.ownMusic < kMusicSlots ? m_app->GetTensionFile(entry.ownMusic) : nullptr;
    return m_musicTension;
}

u32 CBattleScene::FighterCount() const
{
    u32 n = 0;
    for (u32 i = 0; i < m_setup->count; ++i) n += m_setup->entries[i].kind != CBattleEntry::kKindNone;
    return n;
}

u32 CBattleScene::SetupCharacter(u32 index, CharacterCreateRecord* record, const CBattleEntry* entry,
    u32 characterCount) const
{
    if (!record || !entry) return 0;
    const CStage* stage = GetStage();
    const CStageSetting* settings = stage ? stage->GetSettings() : nullptr;
    if (settings && index < CStageSetting::kStartCount) {
        record->position = settings->GetParameters()->start[index].position;
        record->rotation = settings->GetParameters()->start[index].angle;
    }
    std::memcpy(record->name, entry->name, sizeof record->name);
    record->name[sizeof record->name - 1] = '\0';
    record->team = i32(entry->team);
    record->initialWords[0] = entry->characterWords[0];
    record->initialWords[1] = entry->characterWords[1];
    record->stunTime = 3.0f;
    record->characterId = entry->UsedCharacter();
    record->barrageSlot = entry->UsedVariant();
    for (u32 i = 0; i < kSkillSlotCount; ++i) record->skills[i] = entry->orbs[i];
    record->participantSlot = index;
    record->cameraWord = index;
    record->entryIndex = GetEntryOf(index);
    record->characterCount = characterCount;
    record->network = m_networkMode;
    record->training = m_trainingMode;
    // The handicap row's factor is kept in the record's HP factor, which no
    // rule of the battle reads: it scales nothing. The MP and reload factors
    // are the block's two 1.0 floats.
    record->hpFactor = entry->factorLevel < CBattleEntry::kFactorLevels ? kFactorTable[entry->factorLevel] : 1.0f;
    const auto* survival = m_survivalMode && index == 0 ? dynamic_cast<const CSurvivalProgress*>(m_setup->GetProgress())
                                                        : nullptr;
    record->carriedLife = survival ? survival->carriedLife : 1.0f;
    record->carriedWord = survival ? survival->carriedWord : 0;
    record->mpFactor = 1.0f;
    record->reloadFactor = 1.0f;
    record->lockOnType = entry->lockOnType;
    const CBattleOption& option = m_setup->option;
    record->livesRule = option.livesRule;
    // Under the lives rule a defeat spends a life and the fighter revives
    // while its team has some; the results count lives by those defeats.
    record->revival = option.livesRule ? 1 : 0;
    record->radarType = entry->radarType;
    record->sharedGroupBullets = option.sharedGroupBullets;
    // The option's tension rule (training's "TRule") fixes every fighter's
    // tension; 0 follows the music.
    record->fixedTension = i32(option.characterSetting);
    record->cameraSide = entry->cameraSide;
    record->guardCorrection = entry->guardCorrection;
    record->computerLevel = option.computerLevel;
    if (const ConfigGame* game = GameSettings()) {
        record->seVolume = u32(game->seVolume <= -3000 ? -10000 : game->seVolume);
        record->voiceVolume = u32(game->voiceVolume <= -3000 ? -10000 : game->voiceVolume);
        record->voiceEnabled = game->voicePlay;
        record->screenshot = game->screenshot;
    }
    if (CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr) {
        const u32 quality = config->GetGraphicsSettings()->traceQuality;
        record->afterimageQuality = quality < 5 ? quality : 4;
        record->trailSamples = kTraceSamples[record->afterimageQuality];
    }
    // Replays and peers drive their fighters by packets, not by the pads.
    record->padInput = m_replayMode || m_networkMode ? 0 : 1;
    return 1;
}

u32 CBattleScene::LoadConsoles()
{
    CResourceController* resources = m_app->GetResourceController();
    CResourceList* fonts = resources ? resources->GetFontList() : nullptr;
    const ConfigGame* game = GameSettings();
    const CBattleOption& option = m_setup->option;
    m_consoleInput = std::make_unique<GameConsoleInput>(m_app->GetInput());
    const u32 count = m_characters.GetCount();
    u32 grid = 1;
    while (grid * grid < m_setup->count) ++grid;
    const f32 scale = m_splitScreen ? 1.0f / f32(grid) : 1.0f;
    for (u32 i = 0; i < count; ++i) {
        ConsoleSetup cs;
        cs.ownIndex = i;
        cs.localEntry = m_localEntry;
        cs.livesRule = option.livesRule;
        cs.timeSetting = option.timeSetting;
        cs.extraLives = option.extraLives;
        cs.consoleSetting = option.sharedGroupBullets;
        cs.voicePlay = game ? game->voicePlay : 0;
        cs.voiceVolume = game ? (game->voiceVolume <= -3000 ? -10000 : game->voiceVolume) : 0;
        cs.training = m_trainingMode, cs.network = m_networkMode, cs.tutorial = m_tutorialMode;
        cs.survival = m_survivalMode, cs.adventure = m_adventureMode, cs.replay = m_replayMode, cs.story = m_storyMode;
        cs.stageObjects = &m_stageObjects;
        cs.characters = &m_hudList;
        cs.bullets = &m_bullets;
        cs.font = fonts && fonts->GetCount() ? static_cast<CFontTexture*>(fonts->GetAt(0)) : nullptr;
        cs.owner = this;
        auto* console = new CBattleConsole();
        AddTo(m_consoles, console);
        console->SetInput(m_consoleInput.get());
        if (!console->Load(&cs)) return 0;
        console->SetUserWord(1);
        // A view taller than the layout keeps the HUD at its own pixel size,
        // its anchored layers taken to the view's edges; a smaller one
        // scales the whole layout down.
        const f32 height = f32(m_app->GetScreenHeight()) * scale;
        console->SetFit(height <= 768.0f ? 1 : 0);
        console->GetSceneState().rect.Set(0.0f, 1024.0f, 0.0f, 768.0f);
        console->SetScale(f32(m_app->GetScreenWidth()) / 1024.0f * scale,
            f32(m_app->GetScreenHeight()) / 768.0f * scale);
    }
    return 1;
}

u32 CBattleScene::StartRecording()
{
    m_replay = std::make_unique<CReplay>();
    const CStage* stage = GetStage();
    const CStageSetting* settings = stage ? stage->GetSettings() : nullptr;
    const CCharacter* local = GetLocalCharacter();
    const CCharacterParameter* parameter = local ? local->GetParameter() : nullptr;
    const char* stageName = settings && settings->GetName().GetText() ? settings->GetName().GetText() : "";
    const char* characterName = parameter && parameter->GetName().GetText() ? parameter->GetName().GetText() : "";
    if (!m_replay->Begin() || !m_replay->WriteHeader(stageName, characterName, u8(m_networkMode ? 1 : 0)))
        return 0;
    CReplaySetupRecord record(*m_setup, m_localEntry);
    if (!m_replay->WriteRecord(record)) return 0;
    // One track per fighter, one that says so for a fighter without a script.
    for (u32 i = 0; i < m_characters.GetCount(); ++i)
        if (!m_replay->WriteTrack(GetCharacter(i)->GetTensionFile())) return 0;
    return 1;
}

void CBattleScene::CreateLockstep()
{
    LockstepConfig config;
    config.localEntry = m_localEntry;
    for (u32 i = 0; i < kLockstepEntries; ++i) config.kinds[i] = m_setup->entries[i].kind;
    config.inputDelayWord = m_setup->option.inputDelay;
    config.limits = m_lockstepLimits;
    // Outside network play the lockstep has no transport and sends nothing.
    const bool networked = m_networkMode && m_network;
    auto lockstep = std::make_unique<CBattleLockstep>(config, networked ? &m_seams : nullptr,
        networked ? &m_seams : nullptr, &m_seams);
    // What came while the battle loaded goes first, in order; what comes now
    // waits for it.
    host::kernel::Lock lock(m_peerLock);
    m_lockstep = std::move(lockstep);
    std::vector<EarlyMessage> early;
    early.swap(m_early);
    m_earlyBytes = 0;
    for (const EarlyMessage& m : early) TakePeerMessage(m.type, m.body.data(), u32(m.body.size()));
}

void CBattleScene::RebuildViews()
{
    const u32 n = m_characters.GetCount();
    m_characterObjects.resize(n);
    m_hitFighters.resize(n);
    for (u32 i = 0; i < n; ++i) {
        CCharacter* c = GetCharacter(i);
        m_characterObjects[i] = c;
        m_hitFighters[i] = c;
    }
    m_characterList.characters = m_characterObjects.data();
    m_characterList.count = n;
    m_hudList.clear();
    for (auto& f : m_hudFighters) m_hudList.push_back(f.get());
    m_replayFighters.clear();
    m_replayList.clear();
    for (u32 i = 0; i < n; ++i) {
        m_replayFighters.push_back(std::make_unique<CReplayFighter>(*GetCharacter(i)));
        m_replayList.push_back(m_replayFighters.back().get());
    }
}

i32 CBattleScene::SoundStep(u32 inactive, u32* lastInactive)
{
    CResourceController* resources = m_app ? m_app->GetResourceController() : nullptr;
    CResourceList* sounds = resources ? resources->GetSoundList() : nullptr;
    auto each = [&](auto call) {
        for (u32 i = 0; sounds && i < sounds->GetCount(); ++i)
            if (void* s = sounds->GetAt(i)) call(*static_cast<CSoundBuffer*>(static_cast<CValueBase*>(s)));
        if (m_music) call(*m_music);
    };
    if (lastInactive && *lastInactive != inactive) {
        each([&](CSoundBuffer& s) { s.SetMuteAll(inactive); });
        *lastInactive = inactive;
    }
    each([](CSoundBuffer& s) { s.Update(); });
    return 1;
}

const ConfigGame* CBattleScene::GameSettings() const
{
    CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr;
    return config ? config->GetGameSettings() : nullptr;
}

i32 CBattleScene::MusicVolume() const
{
    CSaveConfig* config = m_app ? m_app->GetSaveConfig() : nullptr;
    return config ? config->GetBgmVolume() : 0;
}

CStage* CBattleScene::GetStage() const { return At<CStage>(m_stageObjects, 0); }

CCharacter* CBattleScene::GetCharacter(u32 i) const { return At<CCharacter>(m_characters, i); }

CBattleConsole* CBattleScene::GetConsole(u32 i) const { return At<CBattleConsole>(m_consoles, i); }

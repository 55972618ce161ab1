#include "game/scenes/OptionSelect.h"

#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/StencilMask.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleFlow.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/BattleScene.h"
#include "game/data/SaveConfig.h"
#include "game/data/TensionFile.h"
#include "game/scenes/CharaSelect.h"
#include "game/scenes/ChatLine.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/NetworkHost.h"
#include "game/scenes/SelectMessages.h"
#include "host/render/Render.h"

#include <algorithm>
#include <utility>
#include <vector>

using namespace option_select;

namespace option_select {

i32 StepRow(i32 row, bool up, u32 rule, bool training)
{
    i32 target = up ? (row + kRowCount - 1) % kRowCount : (row + 1) % kRowCount;
    if (up) {
        if (rule == 0 && target == kPoint) target = kRule;
        if (!training && target == kTensionRule) target = kCpu;
        if (training && target >= kRule && target <= kCpu) target = kBgm;
    } else {
        if (rule == 0 && target == kPoint) target = kTime;
        if (!training && target == kTensionRule) target = kFriend;
        if (training && target >= kRule && target <= kCpu) target = kTensionRule;
    }
    return target;
}

}  // namespace option_select

namespace {

constexpr u32 kRandomStage = CBattleOption::kRandomStage;
constexpr u32 kRandomMusic = CBattleOption::kRandomMusic;

u32 Wrap(u32 value, i32 step, u32 count)
{
    return u32((i32(std::min(value, count - 1)) + step + i32(count)) % i32(count));
}

}  // namespace

COptionSelect::COptionSelect() = default;

COptionSelect::COptionSelect(const COptionSelect& other)
    : CSceneResource(other), m_cover(other.m_cover), m_row(other.m_row), m_targetRow(other.m_targetRow),
      m_rowTimer(other.m_rowTimer), m_option(other.m_option), m_startFlag(other.m_startFlag),
      m_backFlag(other.m_backFlag), m_scroll(other.m_scroll), m_scrollMode(other.m_scrollMode),
      m_localEntry(other.m_localEntry), m_training(other.m_training), m_network(other.m_network),
      m_chatOpen(other.m_chatOpen), m_sounds(other.m_sounds)
{
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
    for (i32 i = 0; i < kRowCount; ++i) {
        m_rows[i].bounceTime = other.m_rows[i].bounceTime;
        m_rows[i].bounceSide = other.m_rows[i].bounceSide;
        m_rows[i].bounceActive = other.m_rows[i].bounceActive;
    }
}

COptionSelect::~COptionSelect() { COptionSelect::Release(); }

i32 COptionSelect::Release()
{
    delete m_camera;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    // Dropped by the network scene mid-line: the lobby gets its entry back empty.
    chat_line::Close(Lobby(), m_chatOpen);
    delete m_setup;
    m_setup = nullptr;
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_sounds.fill(nullptr);
    return CSceneResource::Release();
}

void COptionSelect::FindLayers()
{
    auto find = [this](CSceneObject** layers, const char* const* names, u32 count) {
        for (u32 i = 0; i < count; ++i) layers[i] = names[i] ? FindLayer(names[i]) : nullptr;
    };
    m_title = FindLayer("Title");
    find(m_rowLayers.data(), kRowNames, kRowCount);
    find(m_stageLayers, kStageLayers, 20);
    find(m_ruleLayers, kRuleLayers, 2);
    find(m_pointLayers, kPointLayers, 5);
    find(m_timeLayers, kTimeLayers, 7);
    find(m_cpuLayers, kCpuLayers, 5);
    find(m_tensionRuleLayers, kTensionRuleLayers, 6);
    find(m_friendLayers, kFriendLayers, 3);
    find(m_anBgmLayers, kAnBgmLayers, 2);
    for (i32 i = 0; i < kRowCount; ++i) {
        find(m_rows[i].arrows, kArrows[i], 2);
        find(m_rows[i].glows, kGlows[i], 2);
    }
    find(m_barCaps, kBarCaps, 4);
    find(m_barBodies, kBarBodies, 4);
    m_log = FindLayer("Log");
    m_input = FindLayer("Input");
    m_local = FindLayer("Local");
}

i32 COptionSelect::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuSetupArgs*>(argument);
    // What the block hands over is ours from here on, success or not.
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
        m_setup = args->setup;
        m_cover = args->curtain;
        GetSceneState().colour.w = args->alpha;
    } else {
        m_cover = 1.0f;
        GetSceneState().colour.w = 1.0f;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!m_setup) m_setup = new CBattleSetup(app->GetSaveConfig());
    m_option = m_setup->option;
    m_network = m_setup->networkMode ? 1 : 0;
    m_training = m_setup->trainingMode ? 1 : 0;
    m_localEntry = m_setup->localEntry;

    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (CResourceController* resources = app->GetResourceController()) BindTextures(resources->GetTextureList());
    FindLayers();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    m_camera = app->CreateDefaultCamera();
    if (!m_music) {
        if (!(m_music = menu::FindSound(kMusic))) return menu::Missing(kMusic);
        menu::PlayMusic(m_music);
    }
    for (u32 i = 0; i < m_sounds.size(); ++i)
        if (!(m_sounds[i] = menu::FindSound(kSounds[i]))) return menu::Missing(kSounds[i]);

    // A client may only touch its music: its cursor stays there.
    m_row = m_targetRow = IsClient() ? kBgm : kStage;
    SetCursorRow(m_row);
    if (IsClient()) {
        // The host drew the random stage, and its music under the host's
        // music for all: shown as they came, without draws of our own.
        ShowValue(m_stageLayers, 20, m_option.stage);
        if (m_option.ownTension) SetBgm(m_option.music, true);
    } else {
        SetStage(m_option.stage, true);
        SetBgm(m_option.music, true);
    }
    SetRule(m_option.livesRule);
    SetPoint(m_option.extraLives);
    SetTime(m_option.timeSetting);
    SetCpu(m_option.computerLevel);
    SetTensionRule(m_option.characterSetting);
    SetFriend(m_option.sharedGroupBullets);
    SetAnBgm(m_option.ownTension);
    m_scrollMode = m_network;
    m_scroll = kScrollStart[m_scrollMode];
    // A damaged configuration must not index past the battle's delay table.
    if (CSaveConfig* config = app->GetSaveConfig())
        m_option.inputDelay = std::min<u32>(config->GetNetworkSettings()->keyResponse, CBattleOption::kInputDelays - 1);
    SendOption();
    return CSceneResource::Initialize(argument);
}

// ---------------------------------------------------------------- values

void COptionSelect::ShowValue(CSceneObject* const* layers, u32 count, u32 value)
{
    for (u32 i = 0; i < count; ++i)
        if (layers[i]) layers[i]->SetVisible(i == value ? 1 : 0);
}

void COptionSelect::SetStage(u32 index, bool /*forward*/)
{
    // Every stage is offered.
    m_option.stage = std::min(index, kRandomStage);
    if (m_option.stage == kRandomStage) m_option.drawnStage = RandomInt(kRandomStage);
    ShowValue(m_stageLayers, 20, m_option.stage);
}

bool COptionSelect::MusicOffered(u32 track) const
{
    CGameApp* app = GetGameApp();
    return track < kRandomMusic && app && app->GetTensionFile(track) != nullptr;
}

void COptionSelect::SetBgm(u32 index, bool forward)
{
    u32 track = std::min(index, kRandomMusic);
    while (track != kRandomMusic && !MusicOffered(track)) {
        if (forward) ++track;
        else track = track == 0 ? kRandomMusic : track - 1;
    }
    m_option.music = track;
    if (track == kRandomMusic) {
        std::vector<u32> offered;
        for (u32 t = 0; t < kRandomMusic; ++t)
            if (MusicOffered(t)) offered.push_back(t);
        // Nothing to draw from: the last draw stays.
        if (!offered.empty()) m_option.drawnMusic = offered[RandomInt(u32(offered.size()))];
    }
    if (m_setup) {
        for (u32 i = 0; i < m_setup->count; ++i) {
            // Network play with each player's own music: the local entry only.
            if (m_network && m_option.ownTension && i != m_localEntry) continue;
            CBattleEntry& entry = m_setup->entries[i];
            if (entry.kind < CBattleEntry::kKindComputer) entry.ownMusic = m_option.UsedMusic();
        }
    }
    SendPlayerData();
}

void COptionSelect::SetRule(u32 value)
{
    m_option.livesRule = std::min(value, 1u);
    ShowValue(m_ruleLayers, 2, m_option.livesRule);
    // Points only count under the lives rule.
    if (CSceneObject* point = m_rowLayers[kPoint]) point->SetColorARGB(m_option.livesRule ? kWhite : kGrey);
}

void COptionSelect::SetPoint(u32 value)
{
    m_option.extraLives = std::min(value, CBattleOption::kMaxExtraLives);
    ShowValue(m_pointLayers, 5, m_option.extraLives);
}

void COptionSelect::SetTime(u32 value)
{
    m_option.timeSetting = std::min(value, CBattleOption::kTimeSettings - 1);
    ShowValue(m_timeLayers, 7, m_option.timeSetting);
}

void COptionSelect::SetCpu(u32 value)
{
    m_option.computerLevel = std::min(value, kValueCounts[kCpu] - 1);
    ShowValue(m_cpuLayers, 5, m_option.computerLevel);
    // Every fighter carries the computer level.
    if (m_setup)
        for (u32 i = 0; i < m_setup->count; ++i) m_setup->entries[i].characterWords[1] = m_option.computerLevel;
}

void COptionSelect::SetTensionRule(u32 value)
{
    m_option.characterSetting = std::min(value, kValueCounts[kTensionRule] - 1);
    ShowValue(m_tensionRuleLayers, 6, m_option.characterSetting);
}

void COptionSelect::SetFriend(u32 value)
{
    m_option.sharedGroupBullets = std::min(value, kValueCounts[kFriend] - 1);
    ShowValue(m_friendLayers, 3, m_option.sharedGroupBullets);
}

void COptionSelect::SetAnBgm(u32 value)
{
    m_option.ownTension = std::min(value, 1u);
    ShowValue(m_anBgmLayers, 2, m_option.ownTension);
}

u32 COptionSelect::ValueOf(i32 row) const
{
    const CBattleOption& o = m_option;
    const u32 values[kRowCount] = {o.stage, o.music, o.livesRule, o.extraLives, o.timeSetting, o.computerLevel,
        o.characterSetting, o.sharedGroupBullets, o.ownTension, 0};
    return row >= 0 && row < kRowCount ? values[row] : 0;
}

void COptionSelect::SetValue(i32 row, u32 value, bool forward)
{
    switch (row) {
    case kStage: SetStage(value, forward); break;
    case kBgm: SetBgm(value, forward); break;
    case kRule: SetRule(value); break;
    case kPoint: SetPoint(value); break;
    case kTime: SetTime(value); break;
    case kCpu: SetCpu(value); break;
    case kTensionRule: SetTensionRule(value); break;
    case kFriend: SetFriend(value); break;
    case kAnBgm: SetAnBgm(value); break;
    default: break;
    }
}

void COptionSelect::Increase(i32 row)
{
    if (row < 0 || row >= kInit) return;
    SetValue(row, Wrap(ValueOf(row), 1, kValueCounts[row]), true);
    SendOption();
    StartBounce(row, 1);
}

void COptionSelect::Decrease(i32 row)
{
    if (row < 0 || row >= kInit) return;
    SetValue(row, Wrap(ValueOf(row), -1, kValueCounts[row]), false);
    SendOption();
    StartBounce(row, 0);
}

void COptionSelect::ResetOptions()
{
    SetStage(0, true);
    SetBgm(0, true);
    SetRule(0);
    SetPoint(2);
    SetTime(6);
    SetCpu(0);
    SetFriend(2);
    SetAnBgm(1);
    SendOption();
}

// ---------------------------------------------------------------- network

void COptionSelect::Broadcast(u32 type, const u8* data, u32 length)
{
    if (m_setup && m_setup->netHost) m_setup->netHost->Broadcast(type, data, length);
}

bool COptionSelect::HostAlone() const
{
    ILobbyRoom* lobby = Lobby();
    return IsHost() && lobby && lobby->GetMemberCount() <= 1;
}

void COptionSelect::SendOption()
{
    if (!IsHost()) return;
    const auto body = select_net::WriteOptionMessage(m_option, 0);
    Broadcast(select_net::kMsgOption, body.data(), u32(body.size()));
    if (!m_option.ownTension) SendPlayerData();
}

void COptionSelect::StorePlayerData(const select_net::PlayerData& data, bool spread)
{
    if (!m_setup) return;
    for (u32 i = 0; i < CBattleSetup::kEntryCount; ++i)
        if (i == data.entry || spread) select_net::ApplyPlayerData(data, m_setup->GetTensionFile(i));
}

void COptionSelect::SendPlayerData()
{
    if (!m_network || !m_setup || m_localEntry >= CBattleSetup::kEntryCount) return;
    // With the host's music for all, a client's own data counts for no one.
    if (!m_option.ownTension && IsClient()) return;
    CBattleEntry* entry = m_setup->GetEntry(m_localEntry);
    CGameApp* app = GetGameApp();
    const CTensionFile* tension = entry && app ? app->GetTensionFile(entry->ownMusic) : nullptr;
    if (!tension) return;
    // What is kept here is what the peers will read: the same cut name and
    // the same track.
    select_net::PlayerData data = select_net::MakePlayerData(m_localEntry, *tension);
    std::vector<u8> body = select_net::WritePlayerData(data);
    if (body.size() > select_net::kPeerBodyLimit) {
        if (!IsClient()) {
            app->QueueMessage(kHostTooLongForPeers);
            StorePlayerData(data, !m_option.ownTension);
            return;
        }
        // The peers could not read it whole: this player plays to the
        // host's music, whose data they get in its place.
        app->QueueMessage(kTooLongForPeers);
        entry->ownMusic = m_setup->entries[0].ownMusic;
        tension = app->GetTensionFile(entry->ownMusic);
        if (!tension) return;
        data = select_net::MakePlayerData(m_localEntry, *tension);
        body = select_net::WritePlayerData(data);
        if (body.size() > select_net::kPeerBodyLimit) return;
    }
    StorePlayerData(data, !m_option.ownTension);
    Broadcast(select_net::kMsgPlayerData, body.data(), u32(body.size()));
}

bool COptionSelect::ApplyOptionMessage(const u8* data, u32 length)
{
    // Only the host decides the options.
    if (!IsClient()) return false;
    CBattleOption received;
    if (select_net::ReadOptionMessage(data, length, &received) != select_net::MessageError::kNone) return false;
    const bool ownMusicBefore = m_option.ownTension != 0;
    // The host drew the random stage: shown without a draw of our own, which
    // on this thread would take the game's numbers out of their order.
    ShowValue(m_stageLayers, 20, received.stage);
    SetRule(received.livesRule);
    SetPoint(received.extraLives);
    SetTime(received.timeSetting);
    SetCpu(received.computerLevel);
    SetFriend(received.sharedGroupBullets);
    SetAnBgm(received.ownTension);
    SetTensionRule(received.characterSetting);
    if (received.ownTension) {
        received.music = m_option.music;
        received.drawnMusic = m_option.drawnMusic;
    }
    m_option = received;
    // Own music back on: the peers hold the host's data for this entry, so
    // it tells them its own again.
    if (received.ownTension && !ownMusicBefore) {
        if (CBattleEntry* entry = m_setup->GetEntry(m_localEntry)) entry->ownMusic = m_option.UsedMusic();
        SendPlayerData();
    }
    return true;
}

bool COptionSelect::ApplyPlayerData(const u8* data, u32 length)
{
    select_net::PlayerData player;
    if (select_net::ReadPlayerData(data, length, &player) != select_net::MessageError::kNone) return false;
    // With the host's music for all only the host's data counts; it goes to
    // every entry.
    if (!m_option.ownTension && player.entry != 0) return true;
    StorePlayerData(player, !m_option.ownTension);
    if (IsHost()) Broadcast(select_net::kMsgPlayerData, data, length);
    return true;
}

u32 COptionSelect::OnPeerMessage(u32 type, const u8* data, u32 length)
{
    if (!m_network || !m_setup) return 0;
    u32 word = 0;
    switch (type) {
    case select_net::kMsgOption: return ApplyOptionMessage(data, length) ? 1 : 0;
    case select_net::kMsgPlayerData: return ApplyPlayerData(data, length) ? 1 : 0;
    case select_net::kMsgProceed:
    case select_net::kMsgLeave:
        // Only the host starts or leaves; its body is the word 1.
        if (!IsClient() || select_net::ReadWord(data, length, &word) != select_net::MessageError::kNone || word != 1)
            return 0;
        (type == select_net::kMsgProceed ? m_startFlag : m_backFlag) = 1;
        return 1;
    case select_net::kMsgPeerLeft: {
        u32 entry = 0;
        if (select_net::ReadPeerLeft(data, length, &entry) != select_net::MessageError::kNone) return 0;
        if (CBattleEntry* left = m_setup->GetEntry(entry)) left->kind = CBattleEntry::kKindNone;
        return 1;
    }
    case kMsgNetReady: {
        // A peer whose cover closed first has loaded and said so while this
        // one still shows: ignored, the battle's start handshake would wait
        // for the word until its limit.
        u32 entry = 0;
        if (m_startFlag && ReadEntryBody(data, length, &entry) == LockstepRecordError::kNone) m_heldReady |= 1u << entry;
        return 1;
    }
    default: return 1;
    }
}

// ---------------------------------------------------------------- cursor

void COptionSelect::SetCursorRow(i32 row)
{
    for (i32 i = 0; i < kRowCount; ++i) {
        const RowLayers& r = m_rows[i];
        for (CSceneObject* layer : {r.arrows[0], r.arrows[1], r.glows[0], r.glows[1]})
            if (layer) layer->SetVisible(i == row ? 1 : 0);
        StopBounce(i);
    }
}

void COptionSelect::StartBounce(i32 row, u32 side)
{
    RowLayers& r = m_rows[row];
    if (!r.arrows[side]) return;
    r.bounceTime = 0.0f;
    r.bounceSide = side;
    r.bounceActive = 1;
}

void COptionSelect::StopBounce(i32 row)
{
    RowLayers& r = m_rows[row];
    r.bounceTime = 0.0f;
    r.bounceSide = 0;
    r.bounceActive = 0;
    for (CSceneObject* arrow : r.arrows)
        if (arrow) arrow->SetOffset(0.0f, 0.0f);
}

void COptionSelect::UpdateBounces(f32 dt)
{
    for (i32 i = 0; i < kRowCount; ++i) {
        RowLayers& r = m_rows[i];
        if (!r.bounceActive) continue;
        r.bounceTime += dt;
        if (r.bounceTime >= kBounceTime) {
            StopBounce(i);
            continue;
        }
        const f32 e = menu::ArrowBounce(r.bounceTime);
        if (CSceneObject* arrow = r.arrows[r.bounceSide]) arrow->SetOffset(r.bounceSide ? e : -e, 0.0f);
    }
}

bool COptionSelect::RowShown(i32 row) const
{
    if (m_training) return row < kRule || row > kCpu;
    return row != kTensionRule;
}

// ---------------------------------------------------------------- leaving

LoadingArgs COptionSelect::TakeBattleArgs()
{
    CGameApp* app = GetGameApp();
    CBattleSetup* setup = m_setup;
    m_setup = nullptr;
    if (setup) setup->option = m_option;
    // A network battle runs on the network scene above.
    IBattleNetwork* network = m_network ? GetBattleNetwork() : nullptr;
    auto* battle = new CBattleScene(app ? app->BattleApp() : nullptr, network);
    // Kept by the battle for its lockstep, which its load makes.
    battle->KeepReadyWords(std::exchange(m_heldReady, 0u));
    return LoadingArgs{battle, reinterpret_cast<intptr_t>(setup), m_network};
}

MenuSetupArgs COptionSelect::TakeBackArgs()
{
    MenuSetupArgs args;
    args.effect = m_effect;
    args.music = m_music;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.setup = m_setup;
    if (m_setup) m_setup->option = m_option;
    // Released with this scene otherwise: the receiver's from here on.
    m_effect = nullptr;
    m_music = nullptr;
    m_setup = nullptr;
    return args;
}

void COptionSelect::GoTitle()
{
    CGameApp* app = GetGameApp();
    IBattleFlow* flow = app ? app->Flow() : nullptr;
    battle_flow::TitleArgs args;
    args.item = TitleItemFor(m_setup);
    if (flow) flow->GoTitle(args);
}

void COptionSelect::GoBattle()
{
    CGameApp* app = GetGameApp();
    if (!app) return;
    if (!m_network) {
        LoadingArgs args = TakeBattleArgs();
        app->ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
        return;
    }
    // The network scene's child: without one above, nothing could run it.
    INetworkSceneHost* host = GetNetworkSceneHost();
    if (!host) return GoTitle();
    LoadingArgs args = TakeBattleArgs();
    host->ChangeChildScene(new CLoadingScene, kHostedBattleMode, args);
}

void COptionSelect::GoCharaSelect()
{
    CGameApp* app = GetGameApp();
    if (!app) return;
    if (!m_network) {
        MenuSetupArgs args = TakeBackArgs();
        app->ChangeScene(new CCharaSelect, reinterpret_cast<intptr_t>(&args));
        return;
    }
    INetworkSceneHost* host = GetNetworkSceneHost();
    if (!host) return GoTitle();
    // A host alone in the room goes back to the network scene's own screen.
    if (HostAlone()) {
        host->SetChildScene(nullptr, kHostedLobbyMode);
        return;
    }
    MenuSetupArgs args = TakeBackArgs();
    host->ChangeChildScene(new CCharaSelect, kHostedSelectMode, args);
}

// ---------------------------------------------------------------- frame

void COptionSelect::HandleValueKeys()
{
    const bool left = menu::LeftTriggered();
    if (!left && !menu::RightTriggered()) return;
    if (IsClient() && (m_row != kBgm || !m_option.ownTension)) return;
    if (left) Decrease(m_row);
    else Increase(m_row);
    menu::PlaySe(m_sounds[kSide]);
}

void COptionSelect::HandleInput()
{
    HandleValueKeys();
    // A client waits for the host's start and back; its cursor stays.
    const bool client = IsClient();
    const bool training = m_training != 0;
    if (client && (menu::UpTriggered() || menu::DownTriggered())) {
        // Row moves are the host's.
    } else if (menu::UpTriggered()) {
        m_targetRow = StepRow(m_targetRow, true, m_option.livesRule, training);
        menu::PlaySe(m_sounds[kSelect]);
    } else if (menu::DownTriggered()) {
        m_targetRow = StepRow(m_targetRow, false, m_option.livesRule, training);
        menu::PlaySe(m_sounds[kSelect]);
    } else if (menu::Triggered(menu::kDecide)) {
        if (m_row == kInit) {
            ResetOptions();
            menu::PlaySe(m_sounds[kSet]);
        }
    } else if (menu::Triggered(menu::kStart)) {
        if (client) return;
        m_startFlag = 1;
        if (m_network) {
            // The peers start on the options they are sent last.
            SendOption();
            const auto body = select_net::WriteWord(1);
            Broadcast(select_net::kMsgProceed, body.data(), u32(body.size()));
        }
        menu::PlaySe(m_sounds[kSet]);
    } else if (menu::Triggered(menu::kCancel)) {
        if (client) return;
        m_backFlag = 1;
        if (m_network) {
            const auto body = select_net::WriteWord(1);
            Broadcast(select_net::kMsgLeave, body.data(), u32(body.size()));
        }
        menu::PlaySe(m_sounds[kCancel]);
    } else if (m_network && menu::Triggered(kChatKey)) {
        m_chatOpen = 1;
    }
}

i32 COptionSelect::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 dt = GetFrameTime();
    m_scroll -= kScrollSpeed * dt;
    if (m_scroll <= 0.0f) m_scroll = kScrollStart[m_scrollMode];
    f32& alpha = GetSceneState().colour.w;

    if (m_startFlag) {
        m_cover = std::min(1.0f, m_cover + 2.0f * dt);
        if (m_cover < 1.0f) return CSceneResource::Update(argument);
        chat_line::Close(Lobby(), m_chatOpen);
        // The change deletes this scene: nothing of it may be touched after.
        GoBattle();
        return 1;
    }
    if (m_backFlag) {
        alpha -= 2.0f * dt;
        if (alpha > 0.0f) return CSceneResource::Update(argument);
        alpha = 0.0f;
        chat_line::Close(Lobby(), m_chatOpen);
        GoCharaSelect();
        return 1;
    }
    if (m_cover > 0.0f) {
        m_cover = std::max(0.0f, m_cover - 2.0f * dt);
        return CSceneResource::Update(argument);
    }
    if (alpha < 1.0f) {
        alpha = menu::Approach(alpha, 2.0f * dt);
        return CSceneResource::Update(argument);
    }
    UpdateBounces(dt);
    if (m_row != m_targetRow) {
        m_rowTimer += dt;
        if (m_rowTimer >= kRowTime) {
            m_rowTimer = 0.0f;
            m_row = m_targetRow;
            SetCursorRow(m_row);
        }
        return 1;
    }
    // The open chat line takes the keys instead.
    if (m_chatOpen) {
        chat_line::Update(Lobby(), m_chatOpen);
        return 1;
    }
    HandleInput();
    if (HostAlone()) m_backFlag = 1;
    return CSceneResource::Update(argument);
}

u32 COptionSelect::OnMessage(u32 message, intptr_t parameter)
{
    const i32 size = select_net::FixedBodySize(message);
    if (size == 0) return 1;
    // 10003 needs its length, which this path does not carry.
    if (size < 0 || !parameter) return 0;
    return OnPeerMessage(message, reinterpret_cast<const u8*>(parameter), u32(size));
}

// ---------------------------------------------------------------- draw

void COptionSelect::DrawTensionBar(const CTensionFile* tension)
{
    CFontTexture* font = menu::MenuFont();
    const CLayerState& state = GetSceneState();
    const f32 s = std::max(state.scaleX, state.scaleY);
    const f32 alpha = std::clamp(state.colour.w, 0.0f, 1.0f);
    const u32 white = u32(alpha * 255.0f) << 24 | 0xFFFFFFu, outline = u32(alpha * 255.0f) << 24;
    const char* name = tension ? tension->GetName().GetText() : kRandomName;
    const char* line = tension ? tension->GetComment().GetText() : kRandomLine;
    if (font) {
        font->DrawTextOutlined(756.0f * s, 124.0f * s, 440.0f * s, 48.0f * s, white, outline, 32, s, 1.5f,
            name ? name : "", 18);
        font->DrawTextOutlinedBox(756.0f * s, 168.0f * s, 536.0f * s, 20.0f * s, 40, white, outline, 18, s, 1.5f,
            line ? line : "", 18);
    }
    const CTensionTrack* track = tension ? tension->GetTrack() : nullptr;
    const u32 keys = track ? track->GetCount() : 0;
    const f32 end = track ? track->GetEndTime() : 0.0f;
    if (keys < 2 || !(end > 0.0f)) return;
    auto width = [](const CSceneObject* layer) {
        const CRect4& r = layer->GetScreenState().rect;
        return (r.right - r.left) * layer->GetSettings().offset.scaleX;
    };
    for (u32 k = 0; k + 1 < keys; ++k) {
        const auto* a = track->GetAt(k);
        const auto* b = track->GetAt(k + 1);
        if (!a || !b || a->time == b->time) continue;
        const u32 level = u32(std::clamp(a->value, 0, i32(kTensionLevelCount) - 1));
        f32 x = kBarWidth * a->time / end;
        const f32 x1 = kBarWidth * b->time / end;
        CLayerState extra;
        if (CSceneObject* cap = m_barCaps[level]; cap && width(cap) < x1 - x) {
            extra.position.x = x;
            cap->Draw(&extra);
            x += width(cap);
        }
        CSceneObject* body = m_barBodies[level];
        if (!body || !(width(body) > 0.0f) || !(x1 > x)) continue;
        extra.position.x = x;
        extra.scaleX = (x1 - x) / width(body);
        body->Draw(&extra);
    }
}

void COptionSelect::DrawMusic()
{
    if (m_option.music == kRandomMusic) {
        DrawTensionBar(nullptr);
        return;
    }
    CGameApp* app = GetGameApp();
    if (const CTensionFile* tension = app ? app->GetTensionFile(m_option.music) : nullptr) DrawTensionBar(tension);
}

void COptionSelect::DrawHelp()
{
    CFontTexture* font = menu::MenuFont();
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!font || !graphics || !graphics->GetDevice()) return;
    const CLayerState& state = GetSceneState();
    const f32 s = std::max(state.scaleX, state.scaleY);
    // The ticker shows only inside its strip.
    const CStencilMaskScope mask(graphics, [s] {
        CRect4 strip;
        strip.Set(520.0f * s, 1024.0f * s, 14.0f * s, 64.0f * s);
        FillScreenRect(&strip, 0xFFFFFFFFu);
    });
    const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
    font->DrawTextAlignedOutlinedFlags((520.0f + m_scroll) * s, 24.0f * s, state.colour.ToARGB(), outline, 28, s, 1.0f,
        kHelpTexts[m_scrollMode], 20);
}

i32 COptionSelect::Draw(u32)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    if (m_title) m_title->Draw(nullptr);

    // While the cursor moves, the old row's glows are drawn on their way to
    // the new row's; their own places come back after the draw.
    RowLayers& from = m_rows[std::clamp(m_row, 0, kRowCount - 1)];
    const RowLayers& to = m_rows[std::clamp(m_targetRow, 0, kRowCount - 1)];
    const bool moving = m_row != m_targetRow;
    CLayerState kept[2];
    for (u32 i = 0; moving && i < 2; ++i) {
        if (!from.glows[i]) continue;
        kept[i] = from.glows[i]->GetScreenState();
        from.glows[i]->BlendTo(to.glows[i], m_rowTimer / kRowTime, -1.0f);
    }
    for (i32 row = 0; row < kRowCount; ++row)
        if (m_rowLayers[row] && RowShown(row)) m_rowLayers[row]->Draw(nullptr);
    for (u32 i = 0; moving && i < 2; ++i)
        if (from.glows[i]) from.glows[i]->GetScreenState() = kept[i];

    DrawMusic();
    DrawHelp();
    if (!m_network) {
        if (m_local) m_local->Draw(nullptr);
    } else {
        if (m_log) m_log->Draw(nullptr);
        if (m_chatOpen && m_input) m_input->Draw(nullptr);
        const CLayerState& state = GetSceneState();
        chat_line::Draw(Lobby(), m_chatOpen, std::max(state.scaleX, state.scaleY));
    }
    menu::DrawCover(m_cover);
    return 1;
}

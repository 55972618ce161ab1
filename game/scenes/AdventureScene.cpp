#include "game/scenes/AdventureScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/EffectContainer.h"
#include "engine/scene/EffectController.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/AdventureSetting.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/SingleCharaSelect.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <cstdio>

namespace adventure {

std::string StageLayerName(u32 stage) { return "stg" + std::to_string(stage + 1); }

std::string OrbLayerName(u32 image, bool small) { return single_select::IconLayerName(image, small); }

std::vector<std::string> LayerNames()
{
    std::vector<std::string> names = {"Base"};
    for (u32 s = 0; s < kStages; ++s) names.push_back(StageLayerName(s));
    for (u32 c = 0; c < kCharacters; ++c) names.push_back("ico_cha" + std::to_string(c + 1));
    for (u32 c = 0; c < kCharacters; ++c) names.push_back("cha" + std::to_string(c + 1) + "_m");
    for (u32 i = 0; i < kOrbImages; ++i) names.push_back(OrbLayerName(i, false));
    for (u32 i = 0; i < kOrbImages; ++i) names.push_back(OrbLayerName(i, true));
    for (const char* name : {"AD_line1", "AD_line2", "AD_line3", "AD_kira", "Window", "SkillGet", "sk_gin", "sk_kin"})
        names.push_back(name);
    for (u32 c = 0; c < kColumnLabels; ++c) names.push_back("sk_" + std::to_string(c));
    for (u32 n = 0; n < kNodeLabels; ++n) names.push_back(std::string("sk_") + char('a' + n));
    return names;
}

std::string DescribeMapError(const MapCheck& check)
{
    const std::string node = "node " + std::to_string(check.where + 1);
    switch (check.error) {
    case MapError::kNone: return "no error";
    case MapError::kNoColumns: return "the map has no column";
    case MapError::kCountBelowOne: return "column " + std::to_string(check.where + 1) + " holds no node";
    case MapError::kOpponent: return node + ": an opponent's character is not 0..17";
    case MapError::kOpponentValue: return node + ": an opponent's barrage, handicap or CPU level is out of range";
    case MapError::kStage: return node + ": the stage is not 0..19";
    case MapError::kMusic: return node + ": the music is not 0..17";
    case MapError::kTime: return node + ": the time is not 0..6";
    case MapError::kOrb: return node + ": the orb is not in the skill list";
    case MapError::kOrbImage: return node + ": the orb's picture is not 0..44";
    }
    return "unknown error";
}

u64 Map::Nodes() const
{
    u64 sum = 0;
    for (u32 c : counts) sum += c;
    return sum;
}

bool Map::OnMap(u32 column, u32 halfRow) const { return column < Columns() && halfRow <= 2 * counts[column]; }

i32 Map::NodeIndex(u32 column, u32 halfRow) const
{
    if (column >= Columns() || halfRow > 2 * counts[column] + 1) return -1;
    const i32 j = (i32(halfRow) - 1) / 2;
    if (u32(j) >= counts[column]) return -1;
    u64 before = 0;
    for (u32 c = 0; c < column; ++c) before += counts[c];
    // Past what an index holds: no node (and no event) is there.
    return before + u64(j) <= u64(INT32_MAX) ? i32(before + u64(j)) : -1;
}

namespace {

bool InRange(i32 value, u32 count) { return value >= 0 && u32(value) < count; }

MapError CheckEvent(const AdventureEventValues& v, u32 skillCount, const CSkillList* skills)
{
    for (const AdventureParticipant& row : v.chara) {
        if (row.type < 0) continue;
        if (!InRange(row.type, kCharacters)) return MapError::kOpponent;
        // Skills past the list are none: the battle ignores them.
        if (!InRange(row.barrage, kBarrages) || !InRange(row.handicap, kHandicaps) || !InRange(row.cpu, kCpuLevels))
            return MapError::kOpponentValue;
    }
    if (!InRange(v.stage, kStages + 1)) return MapError::kStage;
    if (!InRange(v.bgm, std::size(kMusicTable))) return MapError::kMusic;
    if (!InRange(v.time, kTimeSettings)) return MapError::kTime;
    // Values of 0 and below award and open nothing; an open target past the
    // map sets a flag no node reads.
    if (v.getSkill > 0) {
        if (u32(v.getSkill) > skillCount) return MapError::kOrb;
        const CSkillSetting* orb = skills->skills.GetAt(u32(v.getSkill - 1));
        if (!orb || !InRange(orb->values.imageId, kOrbImages)) return MapError::kOrbImage;
    }
    return MapError::kNone;
}

}  // namespace

MapCheck CheckMap(const CAdventureSetting& list, const CSkillList* skills, Map* out)
{
    const u32 columns = list.count.GetCount();
    if (columns == 0) return {MapError::kNoColumns, 0};
    Map map;
    u64 sum = 0;
    for (u32 c = 0; c < columns; ++c) {
        const i32 n = *list.count.GetAt(c);
        if (n < 1) return {MapError::kCountBelowOne, c};
        map.counts.push_back(u32(n));
        sum += u32(n);
    }
    // Counts and event files need not agree: a node past the event files
    // is drawn as nothing and cannot be entered; an event file past the
    // nodes is never read.
    const u32 skillCount = skills ? skills->skills.GetCount() : 0;
    for (u32 i = 0; i < std::min<u64>(sum, list.stages.GetCount()); ++i) {
        const CAdventureEventSetting* event = list.stages.GetAt(i);
        if (!event) continue;
        const MapError error = CheckEvent(event->values, skillCount, skills);
        if (error != MapError::kNone) return {error, i};
    }
    if (out) *out = std::move(map);
    return {};
}

Cursor StepCursor(const Map& map, Cursor at, Move move, const std::function<bool(i32)>& open)
{
    if (!map.OnMap(at.column, at.halfRow)) return at;
    const u32 c = at.column, r = at.halfRow, a = map.counts[c];
    const bool last = c + 1 >= map.Columns();
    const bool odd = r % 2 == 1;
    Cursor to = at;
    switch (move) {
    case Move::kUp:
        if (r > 0 && !last && open(odd ? map.NodeIndex(c + 1, r) : map.NodeIndex(c, r - 1))) to.halfRow = r - 1;
        break;
    case Move::kDown:
        if (r < 2 * a && !last && open(odd ? map.NodeIndex(c + 1, r + 2) : map.NodeIndex(c, r + 1)))
            to.halfRow = r + 1;
        break;
    case Move::kLeft:
        if (odd && c >= 1) {
            const i64 row = i64(r) + map.counts[c - 1] - a;
            if (row >= 0 && map.OnMap(c - 1, u32(row))) to = {c - 1, u32(row)};
        }
        break;
    case Move::kRight:
        if (!last) {
            const u32 b = map.counts[c + 1];
            const i64 row = i64(r) + b - a;
            if ((a % 2 == b % 2) == odd && row >= 0 && map.OnMap(c + 1, u32(row))) to = {c + 1, u32(row)};
        }
        break;
    }
    return to;
}

}  // namespace adventure

using namespace adventure;

namespace {

constexpr f32 kMoveSeconds = 0.3f, kOpenSeconds = 1.0f, kFlipSeconds = 0.15f;
constexpr f32 kPi = 3.14159265f;

CSaveData* SaveData()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetSaveData() : nullptr;
}

// A layer drawn with its top-left at (x, y) in layout units.
void DrawPlaced(CSceneObject* layer, f32 x, f32 y, f32 scale, f32 sx = 1.0f, f32 sy = 1.0f, f32 alpha = 1.0f)
{
    if (!layer) return;
    const CLayerState& own = layer->GetScreenState();
    const f32 s = std::max(scale, 1e-6f);
    CLayerState extra;
    extra.position.x = x - own.position.x / s;
    extra.position.y = y - own.position.y / s;
    extra.scaleX = sx;
    extra.scaleY = sy;
    extra.colour.w = alpha;
    layer->Draw(&extra);
}

}  // namespace

CAdventureScene::CAdventureScene() = default;

// A copy shares the music (held), takes no set-up and no effect: only the
// scene that was loaded hands them on.
CAdventureScene::CAdventureScene(const CAdventureScene& other)
    : CSceneResource(other),
      m_character(other.m_character),
      m_cursor(other.m_cursor),
      m_target(other.m_target),
      m_curtain(other.m_curtain),
      m_music(other.m_music),
      m_skills(other.m_skills ? std::make_unique<CSkillList>(*other.m_skills) : nullptr),
      m_map(other.m_map),
      m_sounds(other.m_sounds),
      m_openEffect(other.m_openEffect)
{
    if (other.m_list) m_list = std::make_unique<CAdventureSetting>(*other.m_list);
    if (other.m_mapTexture) {
        m_mapTexture = new CTexture(*other.m_mapTexture);
        SetTextureAll(m_mapTexture);
    }
    if (other.m_cardTexture) m_cardTexture = new CTexture(*other.m_cardTexture);
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
}

CAdventureScene::~CAdventureScene() { CAdventureScene::Release(); }

i32 CAdventureScene::Release()
{
    if (m_mapTexture) SetTextureAll(nullptr);
    delete m_mapTexture;
    delete m_cardTexture;
    delete m_camera;
    m_mapTexture = m_cardTexture = nullptr;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    m_setup.reset();
    m_skills.reset();
    m_list.reset();
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    if (CGameApp* app = GetGameApp(); app && app->GetEffectController()) app->GetEffectController()->DeleteAll();
    m_sounds.fill(nullptr);
    m_openEffect = nullptr;
    return CSceneResource::Release();
}

void CAdventureScene::FindLayers()
{
    m_base = FindLayer("Base");
    for (u32 s = 0; s < kStages; ++s) m_stages[s] = FindLayer(StageLayerName(s).c_str());
    m_stages[kStages] = m_stages[kStages - 1];   // a node not open
    for (u32 c = 0; c < kCharacters; ++c) {
        m_icons[c] = FindLayer(("ico_cha" + std::to_string(c + 1)).c_str());
        m_portraits[c] = FindLayer(("cha" + std::to_string(c + 1) + "_m").c_str());
    }
    for (u32 i = 0; i < kOrbImages; ++i) {
        m_orbs[i] = FindLayer(OrbLayerName(i, false).c_str());
        m_smallOrbs[i] = FindLayer(OrbLayerName(i, true).c_str());
    }
    for (u32 i = 0; i < 3; ++i) m_lines[i] = FindLayer(("AD_line" + std::to_string(i + 1)).c_str());
    m_kira = FindLayer("AD_kira");
    m_window = FindLayer("Window");
    m_skillGet = FindLayer("SkillGet");
    m_silver = FindLayer("sk_gin");
    m_gold = FindLayer("sk_kin");
    for (u32 c = 0; c < kColumnLabels; ++c) m_columnLabels[c] = FindLayer(("sk_" + std::to_string(c)).c_str());
    for (u32 n = 0; n < kNodeLabels; ++n)
        m_nodeLabels[n] = FindLayer((std::string("sk_") + char('a' + n)).c_str());
}

i32 CAdventureScene::LoadTextures()
{
    CGameApp* app = GetGameApp();
    const auto packs = app->OpenPack(kPack, Crc32String(kPackName), kPackKeyFirst);
    m_mapTexture = new CTexture();
    if (!app->LoadTextureFromPackList(kMapTexture, packs.get(), m_mapTexture)) return menu::Missing(kMapTexture);
    SetTextureAll(m_mapTexture);
    if (!IsAdventureComplete()) return 1;
    m_cardTexture = new CTexture();
    if (!app->LoadTextureFromPackList(kCardTexture, packs.get(), m_cardTexture)) return menu::Missing(kCardTexture);
    m_cardShown = true;
    SaveData()->SetAdventureCompleteShown();
    return 1;
}

i32 CAdventureScene::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const CAdventureSceneArgs*>(argument);
    // What the block hands over is ours from here, whatever fails below.
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
        m_setup.reset(args->setup);
    }
    CGameApp* app = GetGameApp();
    if (!app || !app->GetSaveData()) return 0;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (!m_setup) m_setup = std::make_unique<CBattleSetup>(app->GetSaveConfig());
    m_curtain = args ? std::clamp(args->curtain, 0.0f, 1.0f) : 1.0f;
    GetSceneState().colour.w = args ? std::clamp(args->alpha, 0.0f, 1.0f) : 1.0f;
    if (args) m_cursor = {args->column, args->halfRow};
    m_character = args ? m_setup->entries[0].character : 0;
    if (m_character >= kCharacters) m_character = 0;
    m_camera = app->CreateDefaultCamera();
    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    CResourceController* resources = app->GetResourceController();
    m_openEffect = resources ? static_cast<const CEffectContainer*>(
                                   static_cast<CValueBase*>(resources->GetEffectList()->FindByName(kOpenEffect)))
                             : nullptr;
    if (!m_openEffect) return menu::Missing(kOpenEffect);
    if (!m_music) {
        if (!(m_music = menu::FindSound(kMusic))) return menu::Missing(kMusic);
        menu::PlayMusic(m_music);
    }
    for (u32 i = 0; i < kSoundCount; ++i)
        if (!(m_sounds[i] = menu::FindSound(kSounds[i]))) return menu::Missing(kSounds[i]);
    m_skills = std::make_unique<CSkillList>();
    if (!m_skills->LoadFile(title::kSkillFile)) return menu::Missing(title::kSkillFile);
    m_list = std::make_unique<CAdventureSetting>();
    if (!m_list->LoadFile(kAdventureFile)) return menu::Missing(kAdventureFile);
    const MapCheck check = CheckMap(*m_list, m_skills.get(), &m_map);
    if (check.error != MapError::kNone)
        return menu::Missing((std::string(kAdventureFile) + " (" + DescribeMapError(check) + ")").c_str());
    // A cursor the map does not hold (the map changed since the battle)
    // starts on the first node.
    if (!m_map.OnMap(m_cursor.column, m_cursor.halfRow)) m_cursor = {};
    m_target = m_cursor;
    FindLayers();
    CSaveData* save = app->GetSaveData();
    m_openPending = save->HasUnshownAdventureRewardFlags();
    m_orbPending = save->HasUnshownUnlockFlags();
    m_timer = 0.0f;
    if (!LoadTextures()) return 0;
    return CSceneResource::Initialize(argument);
}

// A node without an event is never open, whatever the save says: nothing
// is drawn there to enter.
bool CAdventureScene::IsOpen(i32 node) const
{
    return Event(node) && SaveData() && SaveData()->GetAdventureRewardFlag(node);
}

bool CAdventureScene::IsCleared(i32 node) const
{
    return node >= 0 && SaveData() && SaveData()->GetAdventureClearFlag(node);
}

bool CAdventureScene::HasOrb(i32 skill) const { return skill >= 0 && SaveData() && SaveData()->GetUnlockFlag(skill); }

const CAdventureEventSetting* CAdventureScene::Event(i32 node) const
{
    return node >= 0 && m_list ? m_list->stages.GetAt(u32(node)) : nullptr;
}

u32 CAdventureScene::EventNodes() const
{
    return m_list ? u32(std::min<u64>(m_map.Nodes(), m_list->stages.GetCount())) : 0;
}

bool CAdventureScene::IsAdventureComplete() const
{
    CSaveData* save = SaveData();
    if (!save || save->IsAdventureCompleteShown() || !m_skills) return false;
    for (u32 s = 0; s < m_skills->skills.GetCount(); ++s)
        if (!save->GetUnlockFlag(i32(s))) return false;
    // A node without an event cannot be won: it is not asked for.
    for (u32 n = 0; n < EventNodes(); ++n)
        if (Event(i32(n)) && !save->GetAdventureClearFlag(i32(n))) return false;
    return true;
}

void CAdventureScene::PlaySe(u32 index) const
{
    if (index < kSoundCount) menu::PlaySe(m_sounds[index]);
}

i32 CAdventureScene::Update(u32 argument)
{
    SetFrameTime(18);
    const f32 dt = GetFrameTime();
    if (m_cardShown) {
        m_timer += dt;
        if (m_timer >= 1.0f && menu::AnyTriggered()) m_cardShown = false, m_timer = 0.0f;
        return 1;
    }
    if (m_effect) m_effect->Update(0);
    f32& alpha = GetSceneState().colour.w;
    if (m_leavingBack || m_leavingToBattle) {
        // The black fade starts in the frame the alpha reaches 0.
        if (alpha > 0.0f) alpha = menu::Approach(alpha, -2.0f * dt);
        if (alpha <= 0.0f) {
            // Changes scene: this one is gone, nothing of it is touched.
            if (m_curtain >= 1.0f) return m_leavingToBattle ? StartBattle() : ReturnToSelect();
            m_curtain = menu::Approach(m_curtain, 2.0f * dt);
        }
        return CSceneResource::Update(argument);
    }
    if (m_curtain > 0.0f) {
        m_curtain = menu::Approach(m_curtain, -2.0f * dt);
        return CSceneResource::Update(argument);
    }
    if (alpha < 1.0f) {
        alpha = menu::Approach(alpha, 2.0f * dt);
        return CSceneResource::Update(argument);
    }
    if (CEffectController* effects = GetGameApp()->GetEffectController()) effects->UpdateAll();
    if (m_openPending) {
        m_timer += dt;
        if (m_timer >= kOpenSeconds) {
            PlayOpenEffects();
            m_openPending = false;
            SaveData()->MarkAdventureRewardFlagsShown();
        }
    } else if (m_orbPending) {
        if (menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart)) {
            m_orbPending = false;
            SaveData()->MarkUnlockFlagsShown();
        }
    } else if (Moving()) {
        m_timer += dt;
        if (m_timer >= kMoveSeconds) m_cursor = m_target;
    } else {
        TakeInput();
    }
    return CSceneResource::Update(argument);
}

void CAdventureScene::TakeInput()
{
    const auto open = [this](i32 node) { return IsOpen(node); };
    const bool up = menu::UpTriggered();
    const bool down = !up && menu::DownTriggered();
    if (up || down) {
        if (!m_infoOpen) {
            m_target = StepCursor(m_map, m_cursor, up ? Move::kUp : Move::kDown, open);
            m_timer = 0.0f;
            PlaySe(kCursorSound);
        }
    }
    if (menu::LeftTriggered() || menu::RightTriggered()) {
        if (m_infoOpen) return;
        // A side move that cannot go leaves the target alone: a diagonal
        // keeps the up or down taken above.
        const Cursor side = StepCursor(m_map, m_cursor, menu::LeftTriggered() ? Move::kLeft : Move::kRight, open);
        if (!(side == m_cursor)) m_target = side;
        m_timer = 0.0f;
        PlaySe(kCursorSound);
    } else if (menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart)) {
        if (m_infoOpen)
            m_leavingToBattle = true;
        else if (m_cursor.halfRow % 2 == 1 && IsOpen(GetNodeIndex(m_cursor.column, m_cursor.halfRow)))
            m_infoOpen = true;
        PlaySe(kDecideSound);
    } else if (menu::Triggered(menu::kCancel)) {
        if (m_infoOpen)
            m_infoOpen = false;
        else
            m_leavingBack = true;
        PlaySe(kCancelSound);
    }
}

void CAdventureScene::FillBattleSetup(CBattleSetup& setup, const AdventureEventValues& event)
{
    u32 cpu = 0;
    for (u32 i = 1; i < setup.count && i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry& entry = setup.entries[i];
        const AdventureParticipant& row = event.chara[i - 1];
        if (row.type < 0) {
            entry.kind = CBattleEntry::kKindNone;
            continue;
        }
        entry.kind = CBattleEntry::kKindComputer;
        entry.character = u32(row.type);
        entry.variant = u32(row.barrage);
        entry.factorLevel = u32(row.handicap);
        entry.characterWords[1] = u32(row.cpu);
        entry.orbs[0] = u32(row.skill01);
        entry.orbs[1] = u32(row.skill02);
        entry.orbs[2] = u32(row.skill03);
        entry.team = 1;
        entry.characterWords[0] = entry.character == setup.entries[0].character ? 1 : 0;
        cpu = std::max(cpu, u32(row.cpu));
    }
    setup.option.stage = u32(event.stage);
    setup.option.music = kMusicTable[event.bgm];
    setup.option.timeSetting = u32(event.time);
    setup.option.computerLevel = cpu;
    setup.option.ownTension = 0;
    setup.recordReplay = 0;
}

i32 CAdventureScene::StartBattle()
{
    CGameApp* app = GetGameApp();
    const i32 node = GetNodeIndex(m_cursor.column, m_cursor.halfRow);
    const CAdventureEventSetting* event = Event(node);
    if (!event) return ReturnToSelect();   // the map holds no such node: nothing to fight
    FillBattleSetup(*m_setup, event->values);
    m_setup->SetProgress(new CAdventureProgress(new CAdventureEventSetting(*event), node, m_cursor.column,
                                                m_cursor.halfRow));
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    LoadingArgs args{new CBattleScene(app->BattleApp()), reinterpret_cast<intptr_t>(m_setup.release()), 0};
    return app->ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
}

i32 CAdventureScene::ReturnToSelect()
{
    CGameApp* app = GetGameApp();
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    MenuSetupArgs args;
    args.setup = m_setup.release();
    return app->ChangeScene(new CSingleCharaSelect, reinterpret_cast<intptr_t>(&args));
}

void CAdventureScene::PlayOpenEffects()
{
    CGameApp* app = GetGameApp();
    CSaveData* save = SaveData();
    CSceneObject* locked = m_stages[kStages];
    if (!m_camera || !locked || !m_openEffect) return;
    const f32 s = GetSceneState().scaleY;
    const CRect4 box = locked->GetBoundingRect();
    const f32 halfW = (box.right - box.left) * 0.5f, halfH = (box.bottom - box.top) * 0.5f;
    const u32 events = EventNodes();
    for (u32 c = 0, node = 0; c < m_map.Columns(); ++c) {
        for (u32 j = 0; j < m_map.counts[c]; ++j, ++node) {
            if (node >= events) return;
            if (!IsOpen(i32(node)) || save->GetShownAdventureRewardFlag(i32(node))) continue;
            const f32 x = (84.0f + 260.0f * f32(c) - 260.0f * f32(m_cursor.column)) * s + halfW;
            const f32 y = (324.0f + 280.0f * f32(j) - 140.0f * f32(m_map.counts[c] - 1) -
                           140.0f * (f32(m_cursor.halfRow) - f32(m_map.counts[m_cursor.column]))) * s + halfH;
            // The camera takes back-buffer pixels: the layout stands one
            // side bar in on a window wider than it.
            CVector3 at;
            m_camera->ScreenToWorldDirection(x + app->GetMargin(), y, &at);
            at.x *= 2.7f;
            at.y *= 2.7f;
            at.z = 0.0f;
            // Registered: the controller updates, draws and releases it.
            m_openEffect->PlayAtPosition(app->GetEffectController(), &at, 1, nullptr);
        }
    }
}

u32 CAdventureScene::OnMessage(u32 /*message*/, intptr_t /*parameter*/) { return 1; }

i32 CAdventureScene::Draw(u32 /*argument*/)
{
    if (m_cardShown) {
        // Centred in the layout area, as the map: on a wide window the
        // side bars stand either side of it.
        menu::SetLayoutViewport();
        DrawCard();
        return 1;
    }
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    DrawMap();
    const f32 s = GetSceneState().scaleY;
    if (Moving())
        DrawPlaced(m_kira, 196.0f, 376.0f, s);
    else if (m_character < kCharacters)
        DrawPlaced(m_icons[m_character], 182.0f, m_cursor.halfRow % 2 ? 340.0f : 296.0f, s);
    if (m_base) m_base->Draw(nullptr);
    if (m_orbPending && !m_openPending) DrawOrbMessage();
    if (m_infoOpen) DrawNodeInfo();
    menu::DrawCover(m_curtain);
    return 1;
}

void CAdventureScene::DrawCard()
{
    if (!m_cardTexture) return;
    const f32 s = GetSceneState().scaleY;
    const auto part = [&](f32 top, f32 bottom, f32 cx, f32 cy, f32 heightScale, f32 alpha) {
        CRect4 source;
        source.Set(0.0f, 1024.0f, top, bottom);
        const f32 h = (bottom - top) * heightScale;
        const u32 a = u32(std::clamp(alpha, 0.0f, 1.0f) * 255.0f);
        m_cardTexture->DrawSpriteTopLeft((cx - 512.0f) * s, (cy - h * 0.5f) * s, &source, s, s * heightScale,
                                         (a << 24) | 0xFFFFFFu, 0, 0, 0);
    };
    const f32 t = m_timer;
    part(0.0f, 768.0f, 512.0f, 384.0f, 1.0f, std::min(t / 0.5f, 1.0f));
    if (t >= 0.5f) part(772.0f, 848.0f, 512.0f, 386.0f, std::min((t - 0.5f) / 0.2f, 1.0f), 1.0f);
    if (t >= 0.6f) {
        const f32 k = std::min((t - 0.6f) / 0.3f, 1.0f), e = k * k;
        part(848.0f, 920.0f, 512.0f - 200.0f * (1.0f - e), 384.0f, 1.0f, e);
    }
}

void CAdventureScene::DrawMap()
{
    const f32 s = GetSceneState().scaleY;
    const auto scrollOf = [this](Cursor at, f32* x, f32* y) {
        *x = 260.0f * f32(at.column);
        *y = 140.0f * (f32(at.halfRow) - f32(m_map.counts[at.column]));
    };
    f32 scrollX = 0.0f, scrollY = 0.0f;
    scrollOf(m_cursor, &scrollX, &scrollY);
    if (Moving()) {
        f32 toX = 0.0f, toY = 0.0f;
        scrollOf(m_target, &toX, &toY);
        const f32 t = std::clamp(m_timer / kMoveSeconds, 0.0f, 1.0f);
        scrollX += (toX - scrollX) * t;
        scrollY += (toY - scrollY) * t;
    }
    CSaveData* save = SaveData();
    const f32 lineAlpha = m_openPending ? std::min(m_timer / kFlipSeconds, 1.0f) : 1.0f;
    // Past the event files nothing is drawn: a count far above them costs
    // nothing.
    const u32 events = EventNodes();
    for (u32 c = 0, node = 0; c < m_map.Columns(); ++c) {
        const f32 x = 84.0f + 260.0f * f32(c) - scrollX;
        const bool last = c + 1 >= m_map.Columns();
        for (u32 j = 0; j < m_map.counts[c]; ++j, ++node) {
            if (node >= events) return;
            const f32 y = 324.0f + 280.0f * f32(j) - 140.0f * f32(m_map.counts[c] - 1) - scrollY;
            DrawNode(i32(node), x, y);
            if (last) continue;
            const auto line = [&](CSceneObject* layer, u32 target, f32 ly) {
                const i32 next = m_map.NodeIndex(c + 1, 2 * target + 1);
                if (!IsOpen(next)) return;
                const bool fresh = m_openPending && !save->GetShownAdventureRewardFlag(next);
                DrawPlaced(layer, x + 112.0f, ly, s, 1.0f, 1.0f, fresh ? lineAlpha : 1.0f);
            };
            if (j == 0) line(m_lines[0], j, y);
            line(m_lines[j + 1 == m_map.counts[c] ? 2 : 1], j + 1, y + 128.0f);
        }
    }
}

void CAdventureScene::DrawNode(i32 node, f32 x, f32 y)
{
    const CAdventureEventSetting* event = Event(node);
    if (!event) return;
    const f32 s = GetSceneState().scaleY;
    const AdventureEventValues& v = event->values;
    CSceneObject* locked = m_stages[kStages];
    CSceneObject* stage = m_stages[v.stage];
    CSaveData* save = SaveData();
    if (!IsOpen(node)) return DrawPlaced(locked, x, y, s);
    if (m_openPending && !save->GetShownAdventureRewardFlag(node)) {
        const f32 t = m_timer;
        if (t < kFlipSeconds) {
            const f32 k = 1.0f + 0.2f * t / kFlipSeconds;
            return DrawPlaced(locked, x, y, s, k, k);
        }
        if (t >= 0.85f) {
            const f32 k = 1.0f + 0.2f * (1.0f - (t - 0.85f) / kFlipSeconds);
            return DrawPlaced(stage, x, y, s, k, k);
        }
        const f32 turn = 1.2f * CosF(kPi * (t - kFlipSeconds) / 0.7f);
        return DrawPlaced(turn > 0.0f ? locked : stage, x, y, s, std::abs(turn), 1.2f);
    }
    DrawPlaced(stage, x, y, s);
    if (v.getSkill > 0 && !HasOrb(v.getSkill - 1)) {
        const CSkillSetting* orb = m_skills->skills.GetAt(u32(v.getSkill - 1));
        if (orb) DrawPlaced(m_smallOrbs[orb->values.imageId], x + 8.0f, y + 96.0f, s);
    }
    i32 lastRow = -1;
    for (i32 k = 0; k < i32(kOpponentRows); ++k)
        if (v.chara[k].type >= 0) lastRow = k;
    for (i32 k = 0; k <= lastRow; ++k)
        if (v.chara[k].type >= 0)
            DrawPlaced(m_portraits[v.chara[k].type], x + 200.0f, y + 85.0f - 41.0f * f32(lastRow - k), s);
    if (!IsCleared(node)) return;
    const bool silver = (v.nextConditionOpen > 0 && !IsOpen(v.nextConditionOpen - 1)) ||
                        (v.getSkill > 0 && !HasOrb(v.getSkill - 1));
    DrawPlaced(silver ? m_silver : m_gold, x + 8.0f, y + 8.0f, s);
}

void CAdventureScene::DrawText(f32 x, f32 y, const char* text) const
{
    CFontTexture* font = menu::MenuFont();
    if (!font || !text) return;
    const CLayerState& scene = GetSceneState();
    const f32 s = std::max(scene.scaleX, scene.scaleY);
    const f32 a = std::clamp(scene.colour.w, 0.0f, 1.0f);
    const auto channel = [](f32 v) { return u32(std::clamp(v, 0.0f, 1.0f) * 255.0f); };
    const u32 colour = (channel(a) << 24) | (channel(scene.colour.x) << 16) | (channel(scene.colour.y) << 8) |
                       channel(scene.colour.z);
    // Every text starts at its point.
    font->DrawTextAlignedOutlined(x * scene.scaleX, y * scene.scaleY, 0.0f, colour, channel(a) << 24, 22, s, 1.0f,
                                  text, kTextTopLeft, nullptr, nullptr);
}

void CAdventureScene::DrawOrbMessage()
{
    const f32 s = GetSceneState().scaleY;
    if (m_skillGet) m_skillGet->Draw(nullptr);
    CSaveData* save = SaveData();
    for (u32 i = 0; i < m_skills->skills.GetCount(); ++i) {
        if (!save->GetUnlockFlag(i32(i)) || save->GetShownUnlockFlag(i32(i))) continue;
        const CSkillSetting* orb = m_skills->skills.GetAt(i);
        if (!orb) return;
        char text[256];
        const char* name = orb->GetName().GetText();
        std::snprintf(text, sizeof text, "霊玉【%s】を取得しました。", name ? name : "");
        DrawText(360.0f, 340.0f, text);
        if (orb->values.imageId >= 0 && u32(orb->values.imageId) < kOrbImages)
            DrawPlaced(m_orbs[orb->values.imageId], 496.0f, 388.0f, s);
        return;
    }
}

void CAdventureScene::DrawNodeInfo()
{
    const i32 node = GetNodeIndex(m_cursor.column, m_cursor.halfRow);
    const CAdventureEventSetting* event = Event(node);
    if (!event) return;
    if (m_window) m_window->Draw(nullptr);
    // A column or node past the labels shows none.
    if (m_cursor.column < kColumnLabels && m_columnLabels[m_cursor.column])
        m_columnLabels[m_cursor.column]->Draw(nullptr);
    const u32 j = (m_cursor.halfRow - 1) / 2;
    if (j < kNodeLabels && m_nodeLabels[j]) m_nodeLabels[j]->Draw(nullptr);
    DrawText(240.0f, 240.0f, "制限時間");
    DrawText(400.0f, 240.0f, event->timeCondition.GetText());
    DrawText(240.0f, 276.0f, "ＣＰＵ");
    DrawText(400.0f, 276.0f, event->cpuCondition.GetText());
    DrawText(240.0f, 312.0f, "対戦相手");
    DrawText(400.0f, 312.0f, event->enemyCondition.GetText());
    DrawText(252.0f, 440.0f, event->nextCondition.GetText());
    DrawText(252.0f, 528.0f, "取得可能霊玉");
    const i32 skill = event->values.getSkill;
    if (skill > 0 && !HasOrb(skill - 1)) {
        const CSkillSetting* orb = m_skills->skills.GetAt(u32(skill - 1));
        char text[256];
        std::snprintf(text, sizeof text, "【%s】", orb && orb->GetName().GetText() ? orb->GetName().GetText() : "");
        DrawText(424.0f, 528.0f, text);
        DrawText(252.0f, 568.0f, event->skillCondition.GetText());
    }
}

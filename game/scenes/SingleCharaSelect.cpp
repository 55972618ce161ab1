#include "game/scenes/SingleCharaSelect.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/graphics/Shapes2D.h"
#include "engine/graphics/StencilMask.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/data/Skill.h"
#include "game/scenes/AdventureScene.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/StoryScene.h"
#include "game/scenes/SurvivalScene.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <cstdio>

namespace single_select {

Mode ModeOf(const CBattleSetup& setup)
{
    if (setup.survivalMode) return kSurvival;
    return setup.adventureMode ? kAdventure : kStory;
}

u32 EntryNumber(u32 entry)
{
    if (entry < 8) return entry + 1;
    return entry == kRandomEntry ? 9 : entry + 2;
}

std::string PictureName(u32 entry)
{
    char name[24];
    std::snprintf(name, sizeof name, "Chara_%02u.dds", unsigned(EntryNumber(entry)));
    return name;
}

std::string CardLayerName(u32 entry) { return "cha" + std::to_string(EntryNumber(entry)); }
std::string PlateLayerName(u32 entry) { return "name" + std::to_string(EntryNumber(entry)); }
std::string PortraitLayerName(u32 entry) { return "face" + std::to_string(EntryNumber(entry)); }

std::string ColourBoxLayerName(u32 entry, u32 colour)
{
    return "color" + std::to_string(EntryNumber(entry)) + "_" + std::to_string(colour + 1);
}

std::string IconLayerName(u32 icon, bool small)
{
    static constexpr const char* kKinds[kSlots] = {"rei_geki", "rei_soku", "rei_syu"};
    if (icon >= kIcons) return {};
    return kKinds[icon / 15] + std::to_string(icon % 15) + (small ? "_m" : "");
}

namespace {

constexpr const char* kFrameNames[2][2] = {{"type_bg011", "type_bg012"}, {"type_bg021", "type_bg022"}};
constexpr const char* kMarkNames[2][2] = {{"type_rei12", "type_rei22"}, {"type_rei11", "type_rei21"}};
constexpr const char* kItemNames[4] = {"rei_n_geki", "rei_n_soku", "rei_n_syu", "rei_ok"};
constexpr const char* kSlotFrameNames[kSlots] = {"rei_emp", "rei_emp2", "rei_emp3"};
constexpr const char* kSlotBoxNames[kSlots] = {"rei_empk", "rei_emp2k", "rei_emp3k"};
constexpr const char* kBoxMarkNames[2][kSlots] = {
    {"rei_emp11s", "rei_emp12s", "rei_emp13s"}, {"rei_emp21s", "rei_emp22s", "rei_emp23s"}};
constexpr const char* kCpuNames[3] = {"cpu_rei", "cpu_rei_2", "cpu_rei_1"};

}  // namespace

std::vector<std::string> LayerNames()
{
    std::vector<std::string> names = {"Base", "moyo", "yjr_l", "yjr_r"};
    for (u32 e = 0; e < kRosterCount; ++e) {
        names.push_back(PlateLayerName(e));
        names.push_back(PortraitLayerName(e));
        names.push_back(CardLayerName(e));
        if (e < kCharacters) names.push_back(ColourBoxLayerName(e, 0)), names.push_back(ColourBoxLayerName(e, 1));
    }
    for (const auto& pair : kFrameNames) names.insert(names.end(), std::begin(pair), std::end(pair));
    for (const auto& pair : kMarkNames) names.insert(names.end(), std::begin(pair), std::end(pair));
    names.push_back("Skill");
    names.push_back("SkillBase");
    names.insert(names.end(), std::begin(kItemNames), std::end(kItemNames));
    for (u32 i = 0; i < kIcons; ++i) names.push_back(IconLayerName(i));
    for (u32 i = 0; i < kIcons; ++i) names.push_back(IconLayerName(i, true));
    names.push_back("rei_nazo");
    names.push_back("rei_car");
    names.insert(names.end(), std::begin(kSlotFrameNames), std::end(kSlotFrameNames));
    names.insert(names.end(), std::begin(kSlotBoxNames), std::end(kSlotBoxNames));
    for (const auto& marks : kBoxMarkNames) names.insert(names.end(), std::begin(marks), std::end(marks));
    names.insert(names.end(), std::begin(kCpuNames), std::end(kCpuNames));
    return names;
}

u32 StepEntry(u32 entry, i32 direction, bool survival)
{
    if (entry >= kRosterCount || (entry == kRandomEntry && !survival)) entry = 0;
    if (direction < 0) {
        if (entry == kRandomEntry) return kCharacters - 1;
        if (entry == 0) return survival ? kRandomEntry : kCharacters - 1;
        return entry - 1;
    }
    if (entry == kRandomEntry) return 0;
    if (entry == kCharacters - 1) return survival ? kRandomEntry : 0;
    return entry + 1;
}

OrbTable::OrbTable(const CSkillList* skills)
{
    const u32 count = skills ? skills->skills.GetCount() : 0;
    m_byValue.resize(count);
    for (u32 i = 0; i < count; ++i) {
        const CSkillSetting* record = skills->skills.GetAt(i);
        if (!record) continue;
        const SkillValues& v = record->values;
        // Icon and kind index tables: a record with either out of range is
        // not offered.
        if (v.imageId < 0 || u32(v.imageId) >= kIcons || v.type < 0 || u32(v.type) >= kSlots) continue;
        const Orb orb{i + 1, u32(v.type), u32(v.imageId)};
        m_byValue[i] = orb;
        m_kinds[orb.kind].push_back(orb);
    }
}

const std::vector<Orb>& OrbTable::OfKind(u32 kind) const
{
    static const std::vector<Orb> none;
    return kind < kSlots ? m_kinds[kind] : none;
}

const Orb* OrbTable::Find(u32 value) const
{
    if (value == 0 || value > m_byValue.size() || m_byValue[value - 1].value == 0) return nullptr;
    return &m_byValue[value - 1];
}

bool OrbTable::Locked(u32 value, const CSaveData* save) const
{
    return !save || value == 0 || value > 0x7FFFFFFFu || !save->GetUnlockFlag(i32(value - 1));
}

u32 OrbTable::OfSlot(u32 value, u32 slot) const
{
    const Orb* orb = Find(value);
    return orb && orb->kind == slot ? value : 0;
}

u32 OrbTable::Check(u32 value, u32 slot, const CSaveData* save) const
{
    return !Locked(value, save) ? OfSlot(value, slot) : 0;
}

u32 OrbTable::Ordinal(u32 value, u32 slot, const CSaveData* save) const
{
    const std::vector<Orb>& orbs = OfKind(slot);
    if (Check(value, slot, save)) {
        for (u32 n = 0; n < orbs.size(); ++n)
            if (orbs[n].value == value) return n;
    }
    return u32(orbs.size());
}

u32 OrbTable::Step(u32 ordinal, u32 slot, i32 direction, const CSaveData* save) const
{
    const std::vector<Orb>& orbs = OfKind(slot);
    const u32 none = u32(orbs.size());
    u32 n = std::min(ordinal, none);
    if (direction > 0) {
        // After none the first; past the last (locked ones skipped) none.
        for (n = n == none ? 0 : n + 1; n < none; ++n)
            if (!Locked(orbs[n].value, save)) return n;
        return none;
    }
    // Before the first none; before none the last unlocked.
    if (n == 0) return none;
    for (u32 k = n; k-- > 0;)
        if (!Locked(orbs[k].value, save)) return k;
    return none;
}

u32 OrbTable::ValueAt(u32 slot, u32 ordinal) const
{
    const std::vector<Orb>& orbs = OfKind(slot);
    return ordinal < orbs.size() ? orbs[ordinal].value : 0;
}

Orbs SavedOrbs(const CSaveData* save, const OrbTable& table, u32 character, u32 colour)
{
    Orbs orbs{};
    if (!save || character >= kCharacters || colour > 1) return orbs;
    const GameDataItem* item = save->GetSkillSet(i32(character), 0, i32(colour));
    if (!item) return orbs;
    for (u32 s = 0; s < kSlots; ++s) orbs[s] = table.OfSlot(item->value[s], s);
    return orbs;
}

}  // namespace single_select

using namespace single_select;

namespace {

CSaveData* SaveData()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetSaveData() : nullptr;
}

constexpr f32 kPanelSeconds = 0.15f, kChoiceSeconds = 0.15f, kMoveSeconds = 0.1f;
constexpr f32 kBounceSeconds = menu::kArrowBounceTime;
constexpr f32 kRowX = 300.0f, kRowY[kSlots] = {376.0f, 444.0f, 512.0f}, kTextY[kSlots] = {412.0f, 480.0f, 548.0f};
constexpr f32 kBoxPlaceY[2] = {284.0f, 516.0f};
constexpr u32 kGrey = 0xFF808080u;

void Tint(CSceneObject* layer, u32 argb)
{
    if (layer) layer->SetColorARGB(argb);
}

void DrawAt(CSceneObject* layer, f32 x = 0.0f, f32 y = 0.0f)
{
    if (!layer) return;
    CLayerState extra;
    extra.position.x = x;
    extra.position.y = y;
    layer->Draw(&extra);
}

}  // namespace

CSingleCharaSelect::CSingleCharaSelect() = default;

// A copy shares the effect and the music (held, not owned) and takes no
// set-up: only the scene that was loaded hands it on.
CSingleCharaSelect::CSingleCharaSelect(const CSingleCharaSelect& other)
    : CSceneResource(other),
      m_music(other.m_music),
      m_skills(other.m_skills ? std::make_unique<CSkillList>(*other.m_skills) : nullptr),
      m_table(m_skills.get()),
      m_sounds(other.m_sounds),
      m_mode(other.m_mode),
      m_cursor(other.m_cursor),
      m_colour(other.m_colour),
      m_orbs(other.m_orbs),
      m_curtain(other.m_curtain),
      m_caption(other.m_caption),
      m_cpuOrbs(other.m_cpuOrbs)
{
    m_textures = menu::CopyTextures(*this, other.m_textures);
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
}

CSingleCharaSelect::~CSingleCharaSelect() { CSingleCharaSelect::Release(); }

i32 CSingleCharaSelect::Release()
{
    delete m_camera;
    m_camera = nullptr;
    m_skills.reset();
    menu::ReleaseEffect(m_effect);
    m_setup.reset();
    menu::DeleteTextures(*this, m_textures);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_sounds.fill(nullptr);
    return CSceneResource::Release();
}

void CSingleCharaSelect::FindLayers()
{
    m_base = FindLayer("Base");
    m_patternLayer = FindLayer("moyo");
    m_arrows[0] = FindLayer("yjr_l");
    m_arrows[1] = FindLayer("yjr_r");
    for (u32 e = 0; e < kRosterCount; ++e) {
        m_plates[e] = FindLayer(PlateLayerName(e).c_str());
        m_portraits[e] = FindLayer(PortraitLayerName(e).c_str());
        m_cards[e] = FindLayer(CardLayerName(e).c_str());
        if (e < kCharacters)
            for (u32 c = 0; c < 2; ++c) m_boxes[e][c] = FindLayer(ColourBoxLayerName(e, c).c_str());
    }
    for (u32 chosen = 0; chosen < 2; ++chosen) {
        for (u32 c = 0; c < 2; ++c) {
            m_frames[chosen][c] = FindLayer(kFrameNames[chosen][c]);
            m_marks[chosen][c] = FindLayer(kMarkNames[chosen][c]);
        }
    }
    m_panel = FindLayer("Skill");
    m_panelBase = FindLayer("SkillBase");
    for (u32 i = 0; i < 4; ++i) m_items[i] = FindLayer(kItemNames[i]);
    for (u32 i = 0; i < kIcons; ++i) {
        m_icons[i] = FindLayer(IconLayerName(i).c_str());
        m_smallIcons[i] = FindLayer(IconLayerName(i, true).c_str());
    }
    m_locked = FindLayer("rei_nazo");
    m_panelCursor = FindLayer("rei_car");
    for (u32 s = 0; s < kSlots; ++s) {
        m_slotFrames[s] = FindLayer(kSlotFrameNames[s]);
        m_slotBoxes[s] = FindLayer(kSlotBoxNames[s]);
        for (u32 c = 0; c < 2; ++c) m_boxMarks[c][s] = FindLayer(kBoxMarkNames[c][s]);
    }
    m_cpuBase = FindLayer(kCpuNames[0]);
    m_cpuStates[0] = FindLayer(kCpuNames[1]);
    m_cpuStates[1] = FindLayer(kCpuNames[2]);
}

i32 CSingleCharaSelect::LoadTextures()
{
    CGameApp* app = GetGameApp();
    const auto packs = app->OpenPack(kPack, Crc32String(kPackName), kPackKeyFirst);
    m_textures = new CResourceList();
    auto add = [&](const std::string& name) {
        auto texture = std::make_unique<CTexture>();
        if (!app->LoadTextureFromPackList(name.c_str(), packs.get(), texture.get())) return false;
        void* element = static_cast<CValueBase*>(texture.get());
        if (!m_textures->Add(&element)) return false;
        texture.release();
        return true;
    };
    if (!add(kFrameTexture)) return menu::Missing(kFrameTexture);
    // A missing picture only leaves its card undrawn.
    for (u32 e = 0; e < kRosterCount; ++e) add(PictureName(e));
    BindTextures(m_textures);
    return 1;
}

i32 CSingleCharaSelect::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuSetupArgs*>(argument);
    // What the block hands over is ours from here, whatever fails below.
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
        m_setup.reset(args->setup);
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (!LoadTextures()) return 0;
    FindLayers();
    m_skills = std::make_unique<CSkillList>();
    if (!m_skills->LoadFile(title::kSkillFile)) return menu::Missing(title::kSkillFile);
    m_table = OrbTable(m_skills.get());
    m_camera = app->CreateDefaultCamera();
    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!m_music) {
        if (!(m_music = menu::FindSound(kMusic))) return menu::Missing(kMusic);
        menu::PlayMusic(m_music);
    }
    for (u32 c = 0; c < kCharacters; ++c) m_sounds[c] = menu::FindSound(kVoices[c]);
    for (u32 i = 0; i < 3; ++i) m_sounds[kMoveSound + i] = menu::FindSound(kSounds[i]);

    if (!m_setup) m_setup = std::make_unique<CBattleSetup>(app->GetSaveConfig());
    m_curtain = args ? std::clamp(args->curtain, 0.0f, 1.0f) : 1.0f;
    GetSceneState().colour.w = args ? std::clamp(args->alpha, 0.0f, 1.0f) : 1.0f;
    m_mode = ModeOf(*m_setup);
    // A character the roster does not offer here (the set-up's default
    // random one outside survival, or past it) starts on the first.
    const bool survival = m_mode == kSurvival;
    const u32 start = m_setup->entries[0].character;
    m_cursor = start < kCharacters || (survival && start == kRandomEntry) ? start : 0;
    m_colour = 0;
    MoveCursor(m_cursor);
    SetCaption(survival ? 1 : 0);
    for (u32 i = 0; i < 4; ++i) Tint(m_items[i], i == 0 ? 0xFFFFFFFFu : kGrey);
    return CSceneResource::Initialize(argument);
}

void CSingleCharaSelect::SetCaption(u32 survival)
{
    m_caption = survival ? 1 : 0;
    m_captionScroll = survival ? 1600.0f : 1000.0f;
}

void CSingleCharaSelect::MoveCursor(u32 target)
{
    CSaveData* save = SaveData();
    m_cursor = target;
    if (OnRandom()) {
        m_pickCharacter = RandomInt(kCharacters);
        m_pickColour = RandomInt(2);
        m_setup->entries[0].drawnCharacter = m_pickCharacter;
        m_orbs = SavedOrbs(save, m_table, m_pickCharacter, m_pickColour);
    } else {
        m_orbs = SavedOrbs(save, m_table, m_cursor, m_colour);
        for (u32 c = 0; c < 2; ++c) m_copies[c] = SavedOrbs(save, m_table, m_cursor, c);
    }
    StoreOrbs();
}

void CSingleCharaSelect::StoreOrbs()
{
    std::copy(m_orbs.begin(), m_orbs.end(), m_setup->entries[0].orbs);
    if (!OnRandom()) m_copies[m_colour] = m_orbs;
}

void CSingleCharaSelect::PlaySe(u32 index) const
{
    if (index >= kMoveSound && index < kSoundCount) menu::PlaySe(m_sounds[index]);
}

i32 CSingleCharaSelect::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 dt = GetFrameTime();
    StepFrame(dt);
    if (!m_decided && !m_cancelled) {
        if (m_curtain > 0.0f) {
            m_curtain = menu::Approach(m_curtain, -2.0f * dt);
        } else if (GetSceneState().colour.w < 1.0f) {
            GetSceneState().colour.w = menu::Approach(GetSceneState().colour.w, 2.0f * dt);
        } else if (m_animation != kNoAnimation) {
            AnimateOrbPanel(dt);
        } else {
            TakeInput();
        }
        return CSceneResource::Update(argument);
    }
    f32& alpha = GetSceneState().colour.w;
    if (alpha > 0.0f) {
        alpha = menu::Approach(alpha, -2.0f * dt);
    } else if (m_curtain < 1.0f) {
        m_curtain = menu::Approach(m_curtain, 2.0f * dt);
    } else {
        // Changes scene: nothing of this one is touched after it.
        return Leave();
    }
    return CSceneResource::Update(argument);
}

void CSingleCharaSelect::StepFrame(f32 dt)
{
    m_captionScroll -= 80.0f * dt;
    if (m_captionScroll <= 0.0f) m_captionScroll = m_caption ? 1600.0f : 1000.0f;
    m_pattern += 30.0f * dt;
    if (m_pattern >= 360.0f) m_pattern -= 360.0f;
    if (m_patternLayer) m_patternLayer->SetRotation(m_pattern);
    if (!m_bouncing) return;
    m_bounce += dt;
    if (m_bounce >= kBounceSeconds) {
        m_bouncing = false;
        m_bounce = 0.0f;
    }
}

void CSingleCharaSelect::TakeInput()
{
    const bool up = menu::UpTriggered();
    const bool down = !up && menu::DownTriggered();
    if ((up || down) && !OnRandom()) {
        if (m_panelOpen) {
            m_slot = (m_slot + (up ? 3 : 1)) % 4;
            for (u32 i = 0; i < 4; ++i) Tint(m_items[i], i == m_slot ? 0xFFFFFFFFu : kGrey);
        } else {
            m_colour ^= 1;
            m_orbs = SavedOrbs(SaveData(), m_table, m_cursor, m_colour);
            StoreOrbs();
        }
        PlaySe(kMoveSound);
    }
    const bool start = menu::Triggered(menu::kStart);
    if (menu::LeftTriggered() || menu::RightTriggered()) {
        const i32 direction = menu::LeftTriggered() ? -1 : 1;
        if (m_panelOpen) {
            StepOrb(direction);
        } else {
            m_bouncing = true;
            m_bounce = 0.0f;
            m_bounceSide = direction < 0 ? 0 : 1;
            MoveCursor(StepEntry(m_cursor, direction, m_mode == kSurvival));
        }
        PlaySe(kMoveSound);
    } else if (menu::Triggered(menu::kDecide) || start) {
        if (!m_panelOpen) {
            m_decided = true;
            if (!OnRandom()) menu::PlayVoice(m_sounds[m_cursor]);
        } else if (m_slot == kOkItem || start) {
            StoreOrbs();
            if (CSaveData* save = SaveData()) {
                GameDataItem item{};
                std::copy(m_orbs.begin(), m_orbs.end(), item.value);
                save->SetSkillSet(i32(m_cursor), 0, i32(m_colour), item);
            }
            m_animation = kClosing;
            m_animationTime = 0.0f;
        } else {
            const u32 value = m_table.ValueAt(m_slot, m_candidate[m_slot]);
            if (value != m_orbs[m_slot]) {
                m_orbs[m_slot] = value;
                m_animation = kChoice;
                m_animationTime = 0.0f;
            }
        }
        PlaySe(kDecideSound);
    } else if (menu::Triggered(kLockButton)) {
        if (m_panelOpen || OnRandom()) return;
        OpenOrbPanel();
        PlaySe(kDecideSound);
    } else if (menu::Triggered(kTriggerButton)) {
        if (m_panelOpen) return;
        m_cpuOrbs ^= 1;
        PlaySe(kMoveSound);
    } else if (menu::Triggered(menu::kCancel)) {
        if (m_panelOpen) {
            m_animation = kClosing;
            m_animationTime = 0.0f;
        } else {
            m_cancelled = true;
        }
        PlaySe(kCancelSound);
    }
}

void CSingleCharaSelect::OpenOrbPanel()
{
    m_panelOpen = true;
    m_slot = 0;
    for (u32 i = 0; i < 4; ++i) Tint(m_items[i], i == 0 ? 0xFFFFFFFFu : kGrey);
    m_orbs = m_copies[m_colour];
    CSaveData* save = SaveData();
    for (u32 s = 0; s < kSlots; ++s) m_candidate[s] = m_table.Ordinal(m_orbs[s], s, save);
    m_animation = kOpening;
    m_animationTime = 0.0f;
}

void CSingleCharaSelect::StepOrb(i32 direction)
{
    if (m_slot >= kSlots) return;
    m_previous = m_candidate[m_slot];
    m_candidate[m_slot] = m_table.Step(m_candidate[m_slot], m_slot, direction, SaveData());
    m_animation = kCursorMove;
    m_animationTime = 0.0f;
}

void CSingleCharaSelect::AnimateOrbPanel(f32 dt)
{
    m_animationTime += dt;
    const f32 length = m_animation == kCursorMove ? kMoveSeconds : m_animation == kChoice ? kChoiceSeconds
                                                                                          : kPanelSeconds;
    if (m_animationTime < length) return;
    if (m_animation == kClosing) {
        m_panelOpen = false;
        // Cancelled: the copy stored before comes back.
        m_orbs = m_copies[m_colour];
    }
    m_animation = kNoAnimation;
    m_animationTime = 0.0f;
}

void CSingleCharaSelect::CompleteEntry()
{
    CBattleEntry& entry = m_setup->entries[0];
    entry.character = OnRandom() ? m_pickCharacter : m_cursor;
    entry.characterWords[0] = OnRandom() ? m_pickColour : m_colour;
    std::copy(m_orbs.begin(), m_orbs.end(), entry.orbs);
}

i32 CSingleCharaSelect::Leave()
{
    CompleteEntry();
    if (m_cancelled) return GoTitle();
    switch (m_mode) {
    case kAdventure: return GoAdventure();
    case kSurvival: return GoSurvival();
    default: return GoStory();
    }
}

i32 CSingleCharaSelect::GoTitle()
{
    CGameApp* app = GetGameApp();
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_setup.reset();
    TitleArgs args;
    args.curtain = 1.0f;
    args.alpha = 1.0f;
    args.item = kTitleItems[m_mode];
    return app->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

// The story's first chapter into the set-up, then the story scene on it; a
// story that cannot start is said, and the title follows.
i32 CSingleCharaSelect::GoStory()
{
    CGameApp* app = GetGameApp();
    auto* scene = new CStoryScene;
    if (!CStoryScene::AdvanceStory(m_setup.get())) {
        delete scene;
        const auto* progress = dynamic_cast<const CStoryProgress*>(m_setup->GetProgress());
        app->QueueMessage(progress ? progress->FaultText() : std::string());
        app->ShowMessages();
        return GoTitle();
    }
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    MenuSetupArgs args;
    args.curtain = 1.0f;
    args.alpha = 0.0f;
    args.setup = m_setup.release();
    return app->ChangeScene(scene, reinterpret_cast<intptr_t>(&args));
}

// The map from its first node, the set-up handed on.
i32 CSingleCharaSelect::GoAdventure()
{
    CGameApp* app = GetGameApp();
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    CAdventureSceneArgs args;
    args.setup = m_setup.release();
    return app->ChangeScene(new CAdventureScene, reinterpret_cast<intptr_t>(&args));
}

i32 CSingleCharaSelect::GoSurvival()
{
    CGameApp* app = GetGameApp();
    auto* progress = dynamic_cast<CSurvivalProgress*>(m_setup->GetProgress());
    if (!progress) {
        progress = new CSurvivalProgress;
        m_setup->SetProgress(progress);
    }
    progress->presetSkills = m_cpuOrbs;
    CSurvivalScene::SetupFirstBattle(m_setup.get());
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    LoadingArgs args{new CBattleScene(app->BattleApp()), reinterpret_cast<intptr_t>(m_setup.release()), 0};
    return app->ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
}

u32 CSingleCharaSelect::OnMessage(u32 /*message*/, intptr_t /*parameter*/) { return 1; }

i32 CSingleCharaSelect::Draw(u32 /*argument*/)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    if (m_portraits[m_cursor]) m_portraits[m_cursor]->Draw(nullptr);
    DrawAt(m_patternLayer);
    DrawAt(m_base);
    DrawAt(m_plates[m_cursor]);
    DrawColourBoxes();
    DrawCarousel();
    DrawArrows();
    if (m_mode == kSurvival) {
        DrawAt(m_cpuBase);
        DrawAt(m_cpuStates[m_cpuOrbs & 1]);
    }
    if (m_panelOpen) DrawOrbPanel();
    DrawCaption();
    menu::DrawCover(m_curtain);
    return 1;
}

void CSingleCharaSelect::DrawColourBoxes()
{
    if (OnRandom()) return;
    CSaveData* save = SaveData();
    for (u32 c = 0; c < 2; ++c) {
        const u32 chosen = c == m_colour ? 1 : 0;
        DrawAt(m_boxes[m_cursor][c]);
        DrawAt(m_frames[chosen][c]);
        DrawAt(m_marks[chosen][c]);
        for (u32 s = 0; s < kSlots; ++s) {
            const Orb* orb = m_table.Find(m_copies[c][s]);
            CSceneObject* mark = m_boxMarks[c][s];
            // An icon stands on the mark it fills: one icon may fill a mark
            // of each colour in one frame.
            if (orb && !m_table.Locked(orb->value, save)) {
                if (mark) menu::DrawPlaced(m_smallIcons[orb->icon], menu::LayoutPlace(mark));
            } else {
                DrawAt(mark);
            }
        }
    }
}

void CSingleCharaSelect::DrawCarousel()
{
    const u32 count = m_mode == kSurvival ? kRosterCount : kCharacters;
    for (u32 k = 0; k < 5; ++k) {
        CSceneObject* slot = m_cards[k];
        const u32 entry = (std::min(m_cursor, count - 1) + count + k - 2) % count;
        CSceneObject* card = m_cards[entry];
        if (!slot || !card) continue;
        // The entry's card drawn where the slot stands, tinted as the slot.
        const CLayerState& at = slot->GetScreenState();
        const CLayerState& from = card->GetScreenState();
        const f32 s = std::max(GetSceneState().scaleY, 1e-6f);
        CLayerState extra;
        extra.position.x = (at.position.x - from.position.x) / s;
        extra.position.y = (at.position.y - from.position.y) / s;
        if (k != 2) extra.colour = CVector4{0.5f, 0.5f, 0.5f, 1.0f};
        card->Draw(&extra);
    }
}

void CSingleCharaSelect::DrawArrows()
{
    const f32 offset = m_bouncing ? menu::ArrowBounce(m_bounce) : 0.0f;
    DrawAt(m_arrows[0], m_bouncing && m_bounceSide == 0 ? -offset : 0.0f);
    DrawAt(m_arrows[1], m_bouncing && m_bounceSide == 1 ? offset : 0.0f);
}

void CSingleCharaSelect::DrawOrbPanel()
{
    // While the panel opens or closes its frame alone grows from (or
    // shrinks into) the chosen colour box's place: its layout place p is
    // drawn at p times the panel scale plus the panel offset. All it holds
    // stands at full size in its place from the first frame on.
    f32 scale = 1.0f;
    if (m_animation == kOpening || m_animation == kClosing) {
        const f32 t = std::clamp(m_animationTime / kPanelSeconds, 0.0f, 1.0f);
        scale = m_animation == kOpening ? t : 1.0f - t;
    }
    const CVector3 offset(912.0f * (1.0f - scale), kBoxPlaceY[m_colour & 1] * (1.0f - scale), 0.0f);
    // A layer drawn moved by (x, y) layout units from its own place.
    const auto draw = [&](CSceneObject* layer, f32 x = 0.0f, f32 y = 0.0f) {
        if (layer) menu::DrawPlaced(layer, menu::LayoutPlace(layer) + CVector3(x, y, 0.0f));
    };
    draw(m_panelBase);
    if (m_panel) menu::DrawPlaced(m_panel, menu::LayoutPlace(m_panel) * scale + offset, scale);
    for (u32 i = 0; i < 4; ++i) draw(m_items[i]);
    CSaveData* save = SaveData();
    CFontTexture* font = menu::MenuFont();
    const f32 s = GetSceneState().scaleY;
    for (u32 slot = 0; slot < kSlots; ++slot) {
        const std::vector<Orb>& orbs = m_table.OfKind(slot);
        // Sixteen places a row; a longer list shows all its records.
        for (u32 n = 0; n < std::max(kRowPlaces, u32(orbs.size())); ++n) {
            const bool known = n < orbs.size() && !m_table.Locked(orbs[n].value, save);
            draw(known ? m_icons[orbs[n].icon] : m_locked, kRowX + 40.0f * f32(n), kRowY[slot]);
        }
        // The box shows the working orb's icon on its place, its own image
        // when there is none.
        if (CSceneObject* box = m_slotBoxes[slot]) {
            const Orb* working = m_table.Find(m_orbs[slot]);
            CSceneObject* image = working ? m_icons[working->icon] : box;
            if (image) menu::DrawPlaced(image, menu::LayoutPlace(box));
        }
        draw(m_slotFrames[slot]);
        const u32 shown = slot == m_slot ? m_table.ValueAt(slot, m_candidate[slot]) : m_orbs[slot];
        const CSkillSetting* record = shown ? m_skills->skills.GetAt(shown - 1) : nullptr;
        // The record's one text is its description, as on the character
        // select's panel; its name is only the settings file's key.
        if (font && record && record->explanation.GetText()) {
            // Its top left at the text's place, under the row.
            font->DrawTextAligned(kRowX * s, kTextY[slot] * s, 0.0f, kRowX * s, 0xFFFFFFFFu, 14, s,
                record->explanation.GetText(), kTextTopLeft, nullptr, nullptr);
        }
    }
    if (m_slot >= kSlots || !m_panelCursor) return;
    // The cursor's place on an ordinal: its icon's in the row, or for none
    // the slot's box.
    const u32 none = u32(m_table.OfKind(m_slot).size());
    const CVector3 own = menu::LayoutPlace(m_panelCursor);
    const auto place = [&](u32 n) {
        if (n < none) return own + CVector3(kRowX + 40.0f * f32(n), kRowY[m_slot], 0.0f);
        return m_slotBoxes[m_slot] ? menu::LayoutPlace(m_slotBoxes[m_slot]) : own;
    };
    CVector3 at = place(m_candidate[m_slot]);
    if (m_animation == kCursorMove) {
        const f32 t = std::clamp(m_animationTime / kMoveSeconds, 0.0f, 1.0f);
        const CVector3 from = place(m_previous);
        at = from + (at - from) * (t * t);
        at.y -= 16.0f * 4.0f * t * (1.0f - t);
    }
    menu::DrawPlaced(m_panelCursor, at);
    // A choice flashes a white square on the slot's box: full for the first
    // half, fading out over the second.
    const f32 half = kChoiceSeconds * 0.5f;
    if (m_animation == kChoice && m_slotBoxes[m_slot]) {
        const f32 fade = std::clamp((kChoiceSeconds - m_animationTime) / half, 0.0f, 1.0f);
        const CVector3& box = m_slotBoxes[m_slot]->GetScreenState().position;
        CRect4 square;
        square.Set(box.x, box.x + 16.0f * s, box.y, box.y + 16.0f * s);
        FillScreenRect(&square, (u32(fade * 255.0f) << 24) | 0xFFFFFFu);
    }
}

void CSingleCharaSelect::DrawCaption()
{
    CFontTexture* font = menu::MenuFont();
    CGraphicDevice* graphics = GetGraphicDevice();
    if (!font || !graphics) return;
    const f32 s = GetSceneState().scaleY;
    // The caption shows only inside its band.
    const CStencilMaskScope mask(graphics, [s] {
        CRect4 band;
        band.Set(580.0f * s, 1024.0f * s, 14.0f * s, 64.0f * s);
        FillScreenRect(&band, 0xFFFFFFFFu);
    });
    const u32 alpha = u32(std::clamp(GetSceneState().colour.w, 0.0f, 1.0f) * 255.0f);
    // Its right end at the scroll's place and its top on the band's line:
    // it runs in from the right and out at the left, whole in height.
    font->DrawTextAligned((m_captionScroll + 580.0f) * s, 24.0f * s, 0.0f, (m_captionScroll + 580.0f) * s,
        (alpha << 24) | 0xFFFFFFu, 28, s, kCaptions[m_caption], kTextTop, nullptr, nullptr);
}

#include "game/scenes/SurvivalScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/FloatMath.h"
#include "engine/core/PackFile.h"
#include "engine/core/Random.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/character/CharacterBase.h"
#include "game/battle/character/CharacterParameter.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleProgress.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveData.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/SelectCard.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace survival {

namespace {

constexpr u32 kWinsPerBlock = CSurvivalProgress::kHistoryCount;
// The unlock value of each completed block of 8 wins (0: none).
constexpr u32 kRewardValues[4] = {0, 19, 26, 41};

// lo + the next number mod (hi - lo): lo..hi-1.
u32 RandomRange(u32 lo, u32 hi) { return lo + RandomNext() % (hi - lo); }

u32 SaturatingAdd(u32 a, f32 b) { return u32(std::min<u64>(u64(a) + SaturateToU32(b), 0xFFFFFFFFu)); }
u32 SaturatingAdd(u32 a, u32 b) { return u32(std::min<u64>(u64(a) + b, 0xFFFFFFFFu)); }

void SetSkills(CBattleEntry& entry, bool preset)
{
    const u32* row = select_card::kCpuSkillTable[RandomInt(kSkillRows)];
    for (u32 k = 0; k < 3; ++k) entry.orbs[k] = preset ? row[k] : 0;
}

// Type, colour and hand of a computer entry, drawn in that order.
void DrawLooks(CBattleEntry& entry)
{
    entry.variant = RandomInt(2);
    entry.characterWords[0] = RandomInt(4);
    entry.factorLevel = kFactorLevel;
}

bool MetInBlock(const CSurvivalProgress& p, u32 slot, u32 key)
{
    for (u32 s = 0; s <= slot; ++s)
        if (p.history[s] == key) return true;
    return false;
}

// Entries 1..3 for the next battle; a character never twice.
void DrawOpponents(CBattleSetup& setup, u32 entries, u32 level, bool preset, const HeldSlot& held)
{
    for (u32 i = 1; i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry& e = setup.entries[i];
        e.kind = i < entries ? CBattleEntry::kKindComputer : CBattleEntry::kKindNone;
        e.team = 1;
        e.ownMusic = DrawMusicSlot(held);
        u32 character = RandomInt(kCharacters);
        for (u32 j = 1; j < i;) {
            if (setup.entries[j].character == character) {
                character = RandomInt(kCharacters);
                j = 1;
            } else {
                ++j;
            }
        }
        e.character = character;
        DrawLooks(e);
        e.characterWords[1] = level;
        SetSkills(e, preset);
    }
}

}  // namespace

u32 DrawMusicSlot(const HeldSlot& held)
{
    for (u32 i = 0; i < kMusicDraws; ++i) {
        const u32 slot = RandomInt(kMusicSlots);
        if (held && held(slot)) return slot;
    }
    // So many misses: few slots are held, or none. Draw among those there are.
    std::vector<u32> slots;
    for (u32 s = 0; s < kMusicSlots; ++s)
        if (held && held(s)) slots.push_back(s);
    return slots.empty() ? 0 : slots[RandomInt(u32(slots.size()))];
}

u32 OpponentKey(const CBattleSetup& setup)
{
    u32 key = 0;
    for (u32 i = 1; i < CBattleSetup::kEntryCount && i < setup.count; ++i) {
        const CBattleEntry& e = setup.entries[i];
        const u32 character = e.kind == CBattleEntry::kKindNone ? 0 : e.character & 0xFF;
        key |= character << (8 * (i - 1));
    }
    return key;
}

u32 NextEntryCount(u32 winsBefore)
{
    const u32 blocks = (u64(winsBefore) + 1) / kWinsPerBlock;
    return blocks + 2 > 4 ? RandomRange(2, 5) : blocks + 2;
}

u32 NextLevel(u32 winsBefore)
{
    const u32 blocks = (u64(winsBefore) + 1) / kWinsPerBlock;
    return blocks + 2 < 4 ? winsBefore % kWinsPerBlock / 2 : 4;
}

i32 RewardFlag(u32 winsAfter)
{
    const u32 blocks = winsAfter / kWinsPerBlock;
    if (blocks >= 4 || kRewardValues[blocks] == 0) return -1;
    return i32(kRewardValues[blocks] - 1);
}

f32 LifeFraction(i32 life, i32 maxLife, f32 elapsed, f32 limit)
{
    // Only a positive maximum and limit divide: anything else carries whole.
    if (!(maxLife > 0) || !(limit > 0.0f)) return 1.0f;
    const f32 share = f32(life) / f32(maxLife) + 0.2f * elapsed / limit;
    if (!(share == share) || share > 1.0f) return 1.0f;
    return share;
}

WonBattle ReadWonBattle(const CCharacterBase* character, const CBattleConsole* console)
{
    WonBattle won;
    if (character) {
        for (u32 n = 0; n < 3; ++n) won.counters[n] = character->GetStatisticCounter(n);
        won.life = character->GetStatus()->hp;
        if (const CCharacterParameter* parameter = character->GetParameter())
            won.maxLife = parameter->values.general.hp;
    }
    if (console) {
        won.remaining = console->GetRemainingTime();
        won.elapsed = console->GetElapsedTime();
        won.limit = console->GetTimeLimit();
    }
    return won;
}

CSurvivalProgress& ProgressOf(CBattleSetup& setup)
{
    if (auto* progress = dynamic_cast<CSurvivalProgress*>(setup.GetProgress())) return *progress;
    auto* progress = new CSurvivalProgress;
    setup.SetProgress(progress);
    return *progress;
}

void SetupFirstBattle(CBattleSetup& setup, const HeldSlot& held)
{
    const bool preset = ProgressOf(setup).presetSkills != 0;
    setup.survivalMode = 1;
    setup.recordReplay = 0;
    setup.entries[1].kind = CBattleEntry::kKindComputer;
    setup.entries[2].kind = CBattleEntry::kKindNone;
    setup.entries[3].kind = CBattleEntry::kKindNone;
    for (u32 i = 1; i < CBattleSetup::kEntryCount; ++i) {
        CBattleEntry& e = setup.entries[i];
        e.ownMusic = DrawMusicSlot(held);
        e.character = RandomInt(kCharacters);
        DrawLooks(e);
        SetSkills(e, preset);
    }
    setup.option.stage = RandomInt(kStages);
    setup.option.music = DrawMusicSlot(held);
    setup.option.computerLevel = 0;
    setup.option.timeSetting = kTimeSetting;
}

void ChooseNextOpponents(CBattleSetup& setup, const WonBattle& won, const HeldSlot& held, CSaveData* save)
{
    CSurvivalProgress& p = ProgressOf(setup);
    const bool preset = p.presetSkills != 0;
    const u32 w = p.wins;
    const u32 slot = w % kWinsPerBlock;
    p.history[slot] = OpponentKey(setup);

    const u32 entries = NextEntryCount(w);
    if (const i32 flag = RewardFlag(u32(std::min<u64>(u64(w) + 1, 0xFFFFFFFFu))); flag >= 0 && save)
        save->SetUnlockFlag(flag, 1);
    setup.option.stage = RandomInt(kStages);
    setup.option.music = DrawMusicSlot(held);
    const u32 level = NextLevel(w);
    setup.option.computerLevel = level;
    setup.option.timeSetting = kTimeSetting;

    // Eighteen characters against at most eight keys: a fresh line-up comes
    // within a few draws.
    do {
        DrawOpponents(setup, entries, level, preset, held);
    } while (MetInBlock(p, slot, OpponentKey(setup)));

    p.wins = SaturatingAdd(p.wins, 1u);
    p.damageDealtSum = SaturatingAdd(p.damageDealtSum, won.counters[1]);
    p.killSum = SaturatingAdd(p.killSum, won.counters[0]);
    p.lastDamageTaken = won.counters[2];
    p.timeScore = SaturatingAdd(p.timeScore, won.remaining);
    p.carriedLife = LifeFraction(won.life, won.maxLife, won.elapsed, won.limit);
}

}  // namespace survival

namespace {

bool TensionHeld(u32 slot)
{
    CGameApp* app = GetGameApp();
    return app && app->GetTensionFile(slot) != nullptr;
}

// "Chara_01.dds" .. "Chara_08.dds", "Chara_10.dds" .. "Chara_19.dds".
std::string CharacterTexture(u32 character)
{
    char name[16];
    std::snprintf(name, sizeof name, "Chara_%02u.dds", character + (character < 8 ? 1u : 2u));
    return name;
}

}  // namespace

i32 CSurvivalScene::SetupFirstBattle(CBattleSetup* setup)
{
    if (setup) survival::SetupFirstBattle(*setup, TensionHeld);
    return 1;
}

i32 CSurvivalScene::ChooseNextOpponents(CBattleSetup* setup, const CCharacterBase* character,
                                        const CBattleConsole* console)
{
    if (!setup) return 1;
    CGameApp* app = GetGameApp();
    survival::ChooseNextOpponents(*setup, survival::ReadWonBattle(character, console), TensionHeld,
                                  app ? app->GetSaveData() : nullptr);
    return 1;
}

CSurvivalScene::CSurvivalScene() = default;

CSurvivalScene::CSurvivalScene(const CSurvivalScene& other)
    : CSceneResource(other), m_curtain(other.m_curtain), m_leaving(other.m_leaving), m_values(other.m_values),
      m_music(other.m_music), m_decide(other.m_decide)
{
    m_textures = menu::CopyTextures(*this, other.m_textures);
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
}

CSurvivalScene::~CSurvivalScene() { CSurvivalScene::Release(); }

i32 CSurvivalScene::Release()
{
    delete m_camera;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    menu::DeleteTextures(*this, m_textures);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_decide = nullptr;
    return CSceneResource::Release();
}

void CSurvivalScene::FindLayers()
{
    m_base = FindLayer("Base");
    for (u32 c = 0; c < survival::kCharacters; ++c)
        m_pictures[c] = FindLayer(("cha_" + std::string(survival::kAbbreviations[c])).c_str());
}

i32 CSurvivalScene::LoadTextures()
{
    CGameApp* app = GetGameApp();
    const auto packs = app->OpenPack(survival::kPack, Crc32String(survival::kPackName), kPackKeyFirst);
    m_textures = new CResourceList();
    auto add = [&](const std::string& name) {
        auto texture = std::make_unique<CTexture>();
        if (!app->LoadTextureFromPackList(name.c_str(), packs.get(), texture.get())) return false;
        void* element = static_cast<CValueBase*>(texture.get());
        if (!m_textures->Add(&element)) return false;
        texture.release();
        return true;
    };
    if (!add(survival::kFrameTexture)) return menu::Missing(survival::kFrameTexture);
    // A missing picture only leaves its layer untextured.
    for (u32 c = 0; c < survival::kCharacters; ++c) add(CharacterTexture(c));
    BindTextures(m_textures);
    return 1;
}

i32 CSurvivalScene::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const SurvivalArgs*>(argument);
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
        m_values = *args;
        m_values.effect = nullptr;
        m_values.music = nullptr;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!LoadFromFile(survival::kLayout)) return menu::Missing(survival::kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (!LoadTextures()) return 0;
    FindLayers();
    m_camera = app->CreateDefaultCamera();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!m_music) {
        if (!(m_music = menu::FindSound(survival::kMusic))) return menu::Missing(survival::kMusic);
        menu::PlayMusic(m_music);
    }
    if (!(m_decide = menu::FindSound(survival::kDecideSound))) return menu::Missing(survival::kDecideSound);

    m_curtain = args ? args->curtain : 1.0f;
    GetSceneState().colour.w = args ? args->alpha : 1.0f;
    return CSceneResource::Initialize(argument);
}

i32 CSurvivalScene::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 step = 2.0f * GetFrameTime();
    f32& alpha = GetSceneState().colour.w;
    if (m_curtain > 0.0f) {
        m_curtain = std::max(0.0f, m_curtain - step);
    } else if (!m_leaving) {
        if (alpha < 1.0f) {
            alpha = menu::Approach(alpha, step);
        } else if (menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart)) {
            m_leaving = true;
            menu::PlaySe(m_decide);
        }
    } else if ((alpha -= step) <= 0.0f) {
        CGameApp* app = GetGameApp();
        if (app) {
            // The title takes the crowd effect over; the change deletes this
            // scene, so nothing of it is touched after.
            TitleArgs title;
            title.effect = m_effect;
            m_effect = nullptr;
            title.curtain = 0.0f;
            title.alpha = 0.0f;
            title.item = survival::kTitleItem;
            app->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&title));
            return 1;
        }
    }
    return CSceneResource::Update(argument);
}

u32 CSurvivalScene::OnMessage(u32, intptr_t) { return 1; }

std::array<survival::ResultText, 5> CSurvivalScene::Texts() const
{
    auto number = [](u32 value) { return std::to_string(value); };
    return {{{400, number(m_values.wins)}, {464, number(m_values.lastCounter)}, {528, number(m_values.timeScore)},
        {592, number(m_values.secondSum)}, {656, number(m_values.firstSum)}}};
}

i32 CSurvivalScene::Draw(u32)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    // The character comes from the battle: only one of the 18 has a picture.
    if (m_values.character < survival::kCharacters && m_pictures[m_values.character])
        m_pictures[m_values.character]->Draw(nullptr);
    if (m_base) m_base->Draw(nullptr);
    if (CFontTexture* font = menu::MenuFont()) {
        const CLayerState& state = GetSceneState();
        const f32 s = std::max(state.scaleX, state.scaleY);
        const u32 colour = state.colour.ToARGB();
        const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
        for (const survival::ResultText& t : Texts())
            font->DrawTextAlignedOutlinedFlags(survival::kTextX * s, t.y * s, colour, outline, 32, s, 2.0f,
                                               t.text.c_str(), 18);
    }
    menu::DrawCover(m_curtain);
    return 1;
}

#include "game/scenes/RecordScene.h"

#include "engine/core/Crc32.h"
#include "engine/core/PackFile.h"
#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/graphics/Texture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/ResourceController.h"
#include "engine/scene/SceneObject.h"
#include "game/data/SaveRecord.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/TitleScene.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace record {

std::string CharacterTexture(u32 character)
{
    char name[16];
    std::snprintf(name, sizeof name, "Chara_%02u.dds", character + (character < 8 ? 1u : 2u));
    return name;
}

u32 WinRate(u64 wins, u64 played)
{
    if (played == 0) return 0;
    return u32(double(wins) / double(played) * 100.0);
}

Counts& Counts::operator+=(const Counts& other)
{
    battles += other.battles;
    wins += other.wins;
    losses += other.losses;
    draws += other.draws;
    shownHigh += other.shownHigh;
    shownLow += other.shownLow;
    return *this;
}

Counts HalfOf(const CSaveRecord& record, u32 character, u32 half)
{
    Counts counts;
    const PlayRecordEntry* entry = record.GetRecord(character);
    if (!entry || half > 1) return counts;
    const u32* w = entry->word + half * kPlayRecordNetwork;
    counts.battles = w[0];
    counts.wins = w[1];
    counts.losses = w[2];
    counts.draws = w[3];
    counts.shownLow = w[6];
    counts.shownHigh = w[7];
    return counts;
}

Counts TotalOf(const CSaveRecord& record, u32 half)
{
    Counts total;
    for (u32 c = 0; c < kCharacters; ++c) total += HalfOf(record, c, half);
    return total;
}

namespace {

std::string Number(u64 value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

std::string Percent(u32 rate) { return Number(rate) + "％"; }

std::string TwoDigits(u32 value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u", value);
    return text;
}

std::vector<PageText> TotalsTexts(const CSaveRecord& record, u32 playTimeMs)
{
    std::vector<PageText> texts = {
        {604, 192, 20, Number(playTimeMs / (60u * 60u * 1000u))},
        {616, 192, 20, ":"},
        {622, 192, 17, TwoDigits(playTimeMs / 60000u % 60u)},
        {660, 192, 20, ":"},
        {666, 192, 17, TwoDigits(playTimeMs / 1000u % 60u)},
        {634, 240, 18, Number(record.GetFlagByte())},
    };
    const f32 columns[2] = {472, 802};
    for (u32 half = 0; half < 2; ++half) {
        const Counts total = TotalOf(record, half);
        const f32 x = columns[half];
        texts.push_back({x, 376, 18, Percent(total.Rate())});
        texts.push_back({x, 424, 18, Number(total.wins)});
        texts.push_back({x, 472, 18, Number(total.losses)});
        texts.push_back({x, 520, 18, Number(total.shownHigh)});
        texts.push_back({x, 568, 18, Number(total.shownLow)});
    }
    return texts;
}

std::vector<PageText> CharacterTexts(const CSaveRecord& record, u32 character)
{
    Counts both = HalfOf(record, character, 0);
    both += HalfOf(record, character, 1);
    return {
        {872, 272, 18, Number(both.battles)},
        {872, 316, 18, Percent(both.Rate())},
        {872, 360, 18, Number(both.wins)},
        {872, 404, 18, Number(both.losses)},
        {872, 448, 18, Number(both.shownHigh)},
        {872, 492, 18, Number(both.shownLow)},
    };
}

}  // namespace

std::vector<PageText> PageTexts(const CSaveRecord& record, u32 page, u32 playTimeMs)
{
    if (page == 0) return TotalsTexts(record, playTimeMs);
    if (page > kLastPage) return {};
    return CharacterTexts(record, page - 1);
}

}  // namespace record

namespace {

CResourceController* Resources()
{
    CGameApp* app = GetGameApp();
    return app ? app->GetResourceController() : nullptr;
}

CFontTexture* MenuFont()
{
    CResourceController* resources = Resources();
    CResourceList* fonts = resources ? resources->GetFontList() : nullptr;
    if (!fonts || fonts->GetCount() == 0) return nullptr;
    return static_cast<CFontTexture*>(static_cast<CValueBase*>(fonts->GetAt(0)));
}

bool AnyTriggered(std::initializer_list<u32> codes)
{
    return std::any_of(codes.begin(), codes.end(), [](u32 code) { return menu::Triggered(code); });
}

}  // namespace

CRecordScene::CRecordScene() = default;

CRecordScene::CRecordScene(const CRecordScene& other)
    : CSceneResource(other), m_page(other.m_page), m_leaving(other.m_leaving), m_curtain(other.m_curtain),
      m_music(other.m_music), m_sounds(other.m_sounds)
{
    m_textures = menu::CopyTextures(*this, other.m_textures);
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
}

CRecordScene::~CRecordScene() { CRecordScene::Release(); }

i32 CRecordScene::Release()
{
    delete m_camera;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    menu::DeleteTextures(*this, m_textures);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_sounds.fill(nullptr);
    return CSceneResource::Release();
}

void CRecordScene::FindLayers()
{
    m_base = FindLayer("Base");
    m_totalBase = FindLayer("TotalBase");
    m_soloBase = FindLayer("SoloBase");
    for (u32 c = 0; c < record::kCharacters; ++c) {
        m_names[c] = FindLayer(("name_" + std::string(record::kAbbreviations[c])).c_str());
        m_pictures[c] = FindLayer(("cha_" + std::string(record::kAbbreviations[c])).c_str());
    }
}

i32 CRecordScene::LoadTextures()
{
    CGameApp* app = GetGameApp();
    const auto packs = app->OpenPack(record::kPack, Crc32String(record::kPackName), kPackKeyFirst);
    m_textures = new CResourceList();
    // The frame, then each character's picture, decoded side by side.
    std::vector<std::string> names{record::kFrameTexture};
    for (u32 c = 0; c < record::kCharacters; ++c) names.push_back(record::CharacterTexture(c));
    std::vector<const char*> entries;
    std::vector<std::unique_ptr<CTexture>> textures;
    std::vector<CTexture*> targets;
    for (const std::string& name : names) {
        entries.push_back(name.c_str());
        targets.push_back(textures.emplace_back(std::make_unique<CTexture>()).get());
    }
    std::vector<i32> loaded(names.size());
    CGameData::LoadTexturesFromPackList(entries.data(), u32(entries.size()), packs.get(), targets.data(), loaded.data());
    auto add = [&](size_t i) {
        if (!loaded[i]) return false;
        void* element = static_cast<CValueBase*>(textures[i].get());
        if (!m_textures->Add(&element)) return false;
        textures[i].release();
        return true;
    };
    if (!add(0)) return menu::Missing(record::kFrameTexture);
    // A missing picture only leaves its layer untextured.
    for (size_t i = 1; i < names.size(); ++i) add(i);
    BindTextures(m_textures);
    return 1;
}

i32 CRecordScene::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const MenuArgs*>(argument);
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!LoadFromFile(record::kLayout)) return menu::Missing(record::kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (!LoadTextures()) return 0;
    FindLayers();
    m_camera = app->CreateDefaultCamera();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!m_music) {
        if (!(m_music = menu::FindSound(record::kMusic))) return menu::Missing(record::kMusic);
        menu::PlayMusic(m_music);
    }
    for (u32 i = 0; i < m_sounds.size(); ++i)
        if (!(m_sounds[i] = menu::FindSound(record::kSounds[i]))) return menu::Missing(record::kSounds[i]);

    m_curtain = args ? args->curtain : 1.0f;
    GetSceneState().colour.w = args ? args->alpha : 1.0f;
    return CSceneResource::Initialize(argument);
}

void CRecordScene::HandleInput()
{
    using namespace menu;
    if (AnyTriggered({kStickUp, kUp, kStickLeft, kLeft, kCancel})) {
        if (m_page == 0)
            m_leaving = true;
        else
            --m_page;
    } else if (AnyTriggered({kStickDown, kDown, kStickRight, kRight, kDecide, kStart})) {
        if (m_page < record::kLastPage)
            ++m_page;
        else
            m_leaving = true;
    } else {
        return;
    }
    PlaySe(m_sounds[record::kPageSound]);
}

void CRecordScene::BackToTitle()
{
    CGameApp* app = GetGameApp();
    if (!app) return;
    TitleArgs args;
    args.item = record::kTitleItem;
    app->ChangeScene(new CTitleScene(), reinterpret_cast<intptr_t>(&args));
}

i32 CRecordScene::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 step = 2.0f * GetFrameTime();
    f32& alpha = GetSceneState().colour.w;
    if (!m_leaving) {
        if (m_curtain > 0.0f)
            m_curtain = std::max(0.0f, m_curtain - step);
        else if (alpha < 1.0f)
            alpha = menu::Approach(alpha, step);
        else
            HandleInput();
    } else if (alpha > 0.0f) {
        alpha = std::max(0.0f, alpha - step);
    } else if (m_curtain < 1.0f) {
        m_curtain = std::min(1.0f, m_curtain + step);
    } else if (GetGameApp()) {
        // The change deletes this scene: nothing of it may be touched after.
        BackToTitle();
        return 1;
    }
    return CSceneResource::Update(argument);
}

u32 CRecordScene::OnMessage(u32, intptr_t) { return 1; }

void CRecordScene::DrawTexts(const std::vector<record::PageText>& texts)
{
    CFontTexture* font = MenuFont();
    if (!font) return;
    const CLayerState& state = GetSceneState();
    const f32 s = std::max(state.scaleX, state.scaleY);
    const u32 colour = state.colour.ToARGB();
    const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
    for (const record::PageText& t : texts)
        font->DrawTextAlignedOutlinedFlags(t.x * s, t.y * s, colour, outline, 24, s, 2.0f, t.text.c_str(), t.flags);
}

void CRecordScene::DrawPage()
{
    auto draw = [](CSceneObject* layer) {
        if (layer) layer->Draw(nullptr);
    };
    const CGameApp* app = GetGameApp();
    const CSaveRecord* saved = app ? app->GetSaveRecord() : nullptr;
    if (m_page == 0) {
        draw(m_base);
        draw(m_totalBase);
    } else {
        const u32 c = std::min(m_page, record::kLastPage) - 1;
        draw(m_pictures[c]);
        draw(m_base);
        draw(m_soloBase);
        draw(m_names[c]);
    }
    if (saved) DrawTexts(record::PageTexts(*saved, m_page, saved->GetPlayTime()));
}

i32 CRecordScene::Draw(u32)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    DrawPage();
    menu::DrawCover(m_curtain);
    return 1;
}

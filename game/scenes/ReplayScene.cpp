#include "game/scenes/ReplayScene.h"

#include "engine/graphics/Camera.h"
#include "engine/graphics/FontTexture.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/SoundBuffer.h"
#include "engine/scene/Effect.h"
#include "engine/scene/SceneObject.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveConfig.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/LoadingScene.h"
#include "game/scenes/TitleScene.h"
#include "host/kernel/Kernel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace replay_list {

std::string FieldText(const char (&field)[32])
{
    const size_t length = strnlen(field, sizeof field);
    const std::string_view text(field, length);
    return std::string(text.substr(0, host::kernel::Cp932Fit(text, length)));
}

bool Playable(const ReplayHeader& header) { return header.version == kReplayVersion; }

std::vector<RowText> RowTexts(const ReplayHeader& header, f32 x, f32 y)
{
    const f32 line = y + 138.0f;
    if (header.version == 0) return {{x + 136.0f, line, kEmptyText}};
    if (!Playable(header)) return {{x + 136.0f, line, kForeignText}};
    char date[32];
    std::snprintf(date, sizeof date, "%4.4u.%2.2u.%2.2u", u32(header.year), u32(header.month), u32(header.day));
    const char* playType = header.playType < 2 ? kPlayTypes[header.playType] : kUnknownPlayType;
    return {
        {x + 136.0f, line, FieldText(header.characterName), 180.0f, 24.0f},
        {x + 336.0f, line, "/"},
        {x + 368.0f, line, FieldText(header.stageName)},
        {x + 548.0f, line, "/"},
        {x + 580.0f, line, playType},
        {x + 740.0f, line, "/"},
        {x + 772.0f, line, date},
    };
}

f32 RowSlide(u32 row, f32 t, bool incoming, bool backward)
{
    const f32 d = backward ? -1.0f : 1.0f;
    const f32 lag = 0.12f * f32(row);
    if (incoming) return kPageWidth * std::max(lag + 1.0f - t, 0.0f) * d;
    return -kPageWidth * std::clamp(t - lag, 0.0f, 1.0f) * d;
}

f32 ButtonPulse(f32 pageTurn)
{
    if (pageTurn < 0.2f) return std::min(pageTurn / 0.2f, 1.0f);
    return std::max(1.0f - (pageTurn - 0.2f) / 0.2f, 0.0f);
}

std::array<ReplayHeader, kSlots> ReadHeaders(const std::string& folder)
{
    std::array<ReplayHeader, kSlots> headers{};
    for (u32 slot = 1; slot <= kSlots; ++slot) {
        ReplayHeader header{};
        if (CReplay::ReadHeaderOnly(ReplaySlotPath(folder, slot).c_str(), &header)) headers[slot - 1] = header;
    }
    return headers;
}

}  // namespace replay_list

using namespace replay_list;

namespace {

// The layer's rectangle as the layout places it: the rect track's value at
// its start plus the fixed offset.
CRect4 LayoutRect(const CSceneObject* layer)
{
    CRect4 rect;
    if (!layer) return rect;
    layer->GetRectTrack().Evaluate(0.0f, &rect);
    const CRect4& o = layer->GetSettings().offset.rect;
    rect.Set(rect.left + o.left, rect.right + o.right, rect.top + o.top, rect.bottom + o.bottom);
    return rect;
}

void DrawAt(CSceneObject* layer, f32 x, f32 y, f32 scale = 1.0f)
{
    if (!layer) return;
    CLayerState extra;
    extra.position.x = x;
    extra.position.y = y;
    extra.scaleX = extra.scaleY = scale;
    layer->Draw(&extra);
}

}  // namespace

CReplayScene::CReplayScene() = default;

CReplayScene::CReplayScene(const CReplayScene& other)
    : CSceneResource(other), m_texture(other.m_texture), m_cover(other.m_cover), m_row(other.m_row),
      m_page(other.m_page), m_targetPage(other.m_targetPage), m_backFlag(other.m_backFlag),
      m_playFlag(other.m_playFlag), m_pageTurn(other.m_pageTurn), m_headers(other.m_headers),
      m_digitRects(other.m_digitRects), m_music(other.m_music), m_sounds(other.m_sounds)
{
    if (m_texture) SetTextureAll(m_texture);
    if (other.m_camera) m_camera = new CCamera(*other.m_camera);
    FindLayers();
}

CReplayScene::~CReplayScene() { CReplayScene::Release(); }

i32 CReplayScene::Release()
{
    delete m_camera;
    m_camera = nullptr;
    menu::ReleaseEffect(m_effect);
    if (m_music) m_music->StopAll(1);
    m_music = nullptr;
    m_sounds.fill(nullptr);
    m_texture = nullptr;
    return CSceneResource::Release();
}

void CReplayScene::FindLayers()
{
    m_base = FindLayer("Base");
    m_cursor = FindLayer("rep_bg");
    for (u32 i = 0; i < m_digits.size(); ++i) m_digits[i] = FindLayer(kDigitLayers[i]);
    m_tens = FindLayer(kDigitLayers[0]);
    m_ones = FindLayer(kDigitLayers[1]);
    m_previous[0] = FindLayer("Bt_pre1");
    m_previous[1] = FindLayer("Bt_pre2");
    m_next[0] = FindLayer("Bt_nex1");
    m_next[1] = FindLayer("Bt_nex2");
}

i32 CReplayScene::Initialize(intptr_t argument)
{
    const auto* args = reinterpret_cast<const CReplaySceneArgs*>(argument);
    if (args) {
        m_effect = args->effect;
        m_music = args->music;
    }
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    if (!LoadFromFile(kLayout)) return menu::Missing(kLayout);
    SetScale(app->GetLayoutScale(), app->GetLayoutScale());
    if (!(m_texture = menu::FindTexture(kTexture))) return menu::Missing(kTexture);
    SetTextureAll(m_texture);
    FindLayers();
    for (u32 i = 0; i < m_digits.size(); ++i) m_digitRects[i] = LayoutRect(m_digits[i]);
    m_camera = app->CreateDefaultCamera();

    if (!m_effect && !(m_effect = menu::StartMenuEffect())) return 0;
    if (!m_music && !(m_music = menu::StartTitleMusic())) return 0;
    for (u32 i = 0; i < m_sounds.size(); ++i)
        if (!(m_sounds[i] = menu::FindSound(kSounds[i]))) return menu::Missing(kSounds[i]);

    const std::string folder = GetUserDataDirectory(kSaveFolderName);
    if (folder.empty()) return menu::Missing(kSaveFolderName);
    m_headers = ReadHeaders(folder);

    if (args) {
        // The battle hands back the slot it played; anything else starts on
        // the first row of the first page.
        const bool inRange = args->row >= 0 && u32(args->row) < kRows && args->page >= 0 && u32(args->page) < kPages;
        m_row = inRange ? u32(args->row) : 0;
        m_page = m_targetPage = inRange ? u32(args->page) : 0;
        m_cover = args->cover;
        GetSceneState().colour.w = args->alpha;
    } else {
        m_cover = 1.0f;
        GetSceneState().colour.w = 1.0f;
    }
    return CSceneResource::Initialize(argument);
}

bool CReplayScene::Interactive() const
{
    return m_cover <= 0.0f && GetSceneState().colour.w >= 1.0f && !m_backFlag && !m_playFlag && m_page == m_targetPage;
}

void CReplayScene::TakeInput()
{
    if (menu::UpTriggered()) {
        m_row = m_row == 0 ? kRows - 1 : m_row - 1;
        menu::PlaySe(m_sounds[kSelectSound]);
    } else if (menu::DownTriggered()) {
        m_row = m_row + 1 == kRows ? 0 : m_row + 1;
        menu::PlaySe(m_sounds[kSelectSound]);
    }
    if (menu::LeftTriggered()) {
        if (m_targetPage > 0) {
            --m_targetPage;
            m_pageTurn = 0.0f;
            menu::PlaySe(m_sounds[kSelectSound]);
        }
    } else if (menu::RightTriggered()) {
        if (m_targetPage + 1 < kPages) {
            ++m_targetPage;
            m_pageTurn = 0.0f;
            menu::PlaySe(m_sounds[kSelectSound]);
        }
    } else if (menu::Triggered(menu::kDecide) || menu::Triggered(menu::kStart)) {
        // An empty or foreign slot takes no decide, and says nothing.
        if (Playable(m_headers[CurrentSlot() - 1])) {
            m_playFlag = 1;
            menu::PlaySe(m_sounds[kSetSound]);
        }
    } else if (menu::Triggered(menu::kCancel)) {
        m_backFlag = 1;
        menu::PlaySe(m_sounds[kCancelSound]);
    }
}

i32 CReplayScene::Update(u32 argument)
{
    if (m_effect) m_effect->Update(0);
    const f32 step = 2.0f * GetFrameTime();
    f32& alpha = GetSceneState().colour.w;
    if (m_cover > 0.0f) {
        m_cover = std::max(0.0f, m_cover - step);
    } else if (!m_backFlag && !m_playFlag) {
        if (alpha < 1.0f) {
            alpha = menu::Approach(alpha, step);
        } else if (m_page != m_targetPage) {
            // The turn runs by updates, whatever the frame rate; the layers
            // stand still meanwhile.
            m_pageTurn += kTurnStep;
            if (m_pageTurn >= kTurnEnd) {
                m_page = m_targetPage;
                m_pageTurn = 0.0f;
            }
            return 1;
        } else {
            TakeInput();
        }
    } else {
        alpha -= step;
        if (alpha <= 0.0f) {
            alpha = 0.0f;
            // Either way out deletes this scene: nothing of it may be
            // touched after.
            return m_playFlag ? PlayReplay() : GoTitle();
        }
    }
    return CSceneResource::Update(argument);
}

i32 CReplayScene::PlayReplay()
{
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    auto setup = std::make_unique<CBattleSetup>(app->GetSaveConfig());
    setup->replayMode = 1;
    setup->recordReplay = 0;
    setup->replayNumber = CurrentSlot();
    // The loading screen owns the battle, and the battle the set-up.
    LoadingArgs args{new CBattleScene(app->BattleApp()), reinterpret_cast<intptr_t>(setup.release()), 0};
    return app->ChangeScene(new CLoadingScene, reinterpret_cast<intptr_t>(&args));
}

i32 CReplayScene::GoTitle()
{
    CGameApp* app = GetGameApp();
    if (!app) return 0;
    TitleArgs args;
    args.effect = m_effect;
    args.music = m_music;
    args.curtain = 0.0f;
    args.alpha = 0.0f;
    args.item = kTitleItem;
    m_effect = nullptr;
    m_music = nullptr;
    return app->ChangeScene(new CTitleScene, reinterpret_cast<intptr_t>(&args));
}

u32 CReplayScene::OnMessage(u32, intptr_t) { return 1; }

void CReplayScene::SetSlotNumber(u32 n)
{
    // The digit rectangles were read at Load: the display layers are digit
    // layers themselves.
    const u32 number = std::min(n, 99u);
    if (m_tens) m_tens->SetSourceRect(&m_digitRects[number / 10]);
    if (m_ones) m_ones->SetSourceRect(&m_digitRects[number % 10]);
}

void CReplayScene::DrawRowTexts(const ReplayHeader& header, f32 x, f32 y)
{
    CFontTexture* font = menu::MenuFont();
    if (!font) return;
    const CLayerState& state = GetSceneState();
    const f32 s = state.scaleY;
    const u32 colour = state.colour.ToARGB();
    const u32 outline = u32(std::clamp(state.colour.w, 0.0f, 1.0f) * 255.0f) << 24;
    constexpr u8 kLeftTop = 17;
    for (const RowText& t : RowTexts(header, x, y)) {
        if (t.boxWidth > 0.0f)
            font->DrawTextOutlined(t.x * s, t.y * s, t.boxWidth * s, t.boxHeight * s, colour, outline, 24, s, 1.0f,
                                   t.text.c_str(), kLeftTop);
        else
            font->DrawTextAlignedOutlinedFlags(t.x * s, t.y * s, colour, outline, 24, s, 1.0f, t.text.c_str(), kLeftTop);
    }
}

void CReplayScene::DrawReplayPage(u32 page, f32 progress, bool incoming, bool backward)
{
    if (page >= kPages) return;
    for (u32 i = 0; i < kRows; ++i) {
        const f32 x = RowSlide(i, progress, incoming, backward);
        const f32 y = kRowHeight * f32(i);
        SetSlotNumber(page * kRows + i + 1);
        DrawAt(m_tens, x, y);
        DrawAt(m_ones, x, y);
        DrawRowTexts(m_headers[page * kRows + i], x, y);
    }
}

void CReplayScene::DrawPageButtons()
{
    const bool turning = m_page != m_targetPage;
    const f32 pulse = 1.0f + 0.2f * ButtonPulse(m_pageTurn);
    const bool up = turning && m_targetPage > m_page, down = turning && m_targetPage < m_page;
    DrawAt(m_previous[up ? 1 : 0], 0.0f, 0.0f, up ? pulse : 1.0f);
    DrawAt(m_next[down ? 1 : 0], 0.0f, 0.0f, down ? pulse : 1.0f);
}

i32 CReplayScene::Draw(u32)
{
    menu::DrawEffectBackground(m_camera, m_effect);
    menu::SetLayoutViewport();
    DrawAt(m_base, 0.0f, 0.0f);
    DrawAt(m_cursor, 0.0f, kRowHeight * f32(m_row));
    const bool backward = m_targetPage < m_page;
    DrawReplayPage(m_page, m_pageTurn, false, backward);
    if (m_page != m_targetPage) DrawReplayPage(m_targetPage, m_pageTurn - 0.5f, true, backward);
    DrawPageButtons();
    menu::DrawCover(m_cover);
    return 1;
}

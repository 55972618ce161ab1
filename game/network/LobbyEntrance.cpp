#include "game/network/LobbyEntrance.h"

#include "engine/platform/FrameTime.h"
#include "engine/scene/SceneObject.h"
#include "game/scenes/MenuScene.h"

#include <algorithm>

using namespace lobby_scene;

CLobbyEntranceScene::CLobbyEntranceScene(const CLobbyEntranceScene& other)
    : CLobbySceneBase(other), m_fade(other.m_fade), m_cursor(other.m_cursor), m_wipe(other.m_wipe),
      m_tried(other.m_tried)
{
    FindLayers();
    std::copy(&other.m_sizes[0][0][0], &other.m_sizes[0][0][0] + 8, &m_sizes[0][0][0]);
}

void CLobbyEntranceScene::FindLayers()
{
    m_background = FindLayer("bg01");
    m_base = FindLayer("Base");
    m_mowa = FindLayer("mowa");
    const char* items[2] = {"ent_ip02", "ent_lob02"};
    const char* highlights[2] = {"ent_ip03", "ent_lob03"};
    const char* lines[2] = {"ent_sen", "ent_sen2"};
    for (u32 i = 0; i < 2; ++i) {
        m_items[i] = FindLayer(items[i]);
        m_highlights[i] = FindLayer(highlights[i]);
        m_lines[i] = FindLayer(lines[i]);
    }
}

i32 CLobbyEntranceScene::Initialize(intptr_t)
{
    const i32 result = LoadLayout(lobby_screen::kEntranceLayout);
    for (u32 i = 0; i < 2; ++i) {
        CSceneObject* wiped[2] = {m_highlights[i], m_lines[i]};
        for (u32 k = 0; k < 2; ++k) {
            if (!wiped[k]) continue;
            const CRect4& r = wiped[k]->GetScreenState().rect;
            m_sizes[i][k][0] = r.right - r.left;
            m_sizes[i][k][1] = r.bottom - r.top;
        }
    }
    m_fade = 1.0f;
    return result;
}

void CLobbyEntranceScene::StartServer()
{
    m_tried = true;
    if (Client()) Client()->StartConnect();
}

void CLobbyEntranceScene::UpdateServerFirst()
{
    // Cancel is read before any connect: with no server to be found the
    // player must still be able to leave.
    if (menu::Triggered(menu::kCancel)) {
        if (Client()) Client()->SetExitRequest(1);
        PlaySound(kCancelSound);
        return;
    }
    if (!m_tried) return StartServer();
    if (menu::Triggered(menu::kDecide)) {
        PlaySound(kDecideSound);
        StartServer();
    }
}

void CLobbyEntranceScene::UpdateMenu()
{
    m_wipe = std::max(0.0f, m_wipe - GetFrameTime());
    // Each key pressed this frame takes its step, in this order. Two items:
    // up and down each go to the other one.
    for (const bool moved : {menu::UpTriggered(), menu::DownTriggered()}) {
        if (!moved) continue;
        m_cursor = m_cursor == kDirect ? kServer : kDirect;
        m_wipe = kWipeTime;
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide)) {
        PlaySound(kDecideSound);
        if (m_cursor == kServer) StartServer();
        else if (Client()) Client()->SetScreen(u32(LobbyLayer::kConnectOptions));
    }
    if (menu::Triggered(menu::kCancel)) {
        if (Client()) Client()->SetExitRequest(1);
        PlaySound(kCancelSound);
    }
    Wipe();
}

void CLobbyEntranceScene::Wipe()
{
    const f32 shown = 1.0f - m_wipe / kWipeTime;
    CSceneObject* wiped[2] = {m_highlights[m_cursor], m_lines[m_cursor]};
    for (u32 k = 0; k < 2; ++k)
        if (wiped[k]) wiped[k]->SetRectOrigin(shown * m_sizes[m_cursor][k][0], m_sizes[m_cursor][k][1]);
}

i32 CLobbyEntranceScene::Update(u32 argument)
{
    const u32 mode = Context() ? Context()->startMode : 0;
    if (m_fade > 0.0f) {
        m_fade -= 2.0f * GetFrameTime();
    } else if (mode == 2) {
        UpdateServerFirst();
    } else if (mode == 1) {
        if (Client()) Client()->SetScreen(u32(LobbyLayer::kConnectOptions));
    } else {
        UpdateMenu();
    }
    return CSceneResource::Update(argument);
}

i32 CLobbyEntranceScene::Draw(u32)
{
    const u32 mode = Context() ? Context()->startMode : 0;
    DrawLayer(m_background);
    if (mode != 1 && mode != 2) {
        DrawLayer(m_base);
        DrawLayer(m_items[m_cursor]);
        DrawLayer(m_highlights[m_cursor]);
        DrawLayer(m_lines[m_cursor]);
    }
    if (m_fade > 0.0f) menu::DrawCover(std::min(m_fade, 1.0f));
    return 1;
}

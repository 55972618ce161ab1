#include "game/network/LobbyAddressList.h"

#include "engine/scene/SceneObject.h"
#include "game/scenes/MenuScene.h"

#include <cstring>
#include <string>

namespace lobby_screen {

u32 DigitGlyph(char c) { return c >= '0' && c <= '9' ? u32(c - '0') : 0; }

u32 ListUp(u32 cursor)
{
    const i32 up = i32(cursor % kRecentCount) - 1;
    return u32(up < 0 || up % i32(kListColumnRows) == i32(kListColumnRows) - 1 ? up + i32(kListColumnRows) : up);
}

u32 ListDown(u32 cursor)
{
    const u32 down = cursor % kRecentCount + 1;
    return down % kListColumnRows == 0 ? down - kListColumnRows : down;
}

u32 ListLeft(u32 cursor) { return (cursor % kRecentCount + kListColumnRows) % kRecentCount; }

u32 ListRight(u32 cursor) { return (cursor % kRecentCount + kListColumnRows) % kRecentCount; }

void FindDigitImages(const CSceneResource& scene, CSceneObject* (&images)[10])
{
    CSceneObject* group = scene.FindLayer(kDigitGroup);
    for (u32 d = 0; d < 10; ++d) {
        const std::string name = "n" + std::to_string(d);
        images[d] = group ? group->FindLayer(name.c_str()) : nullptr;
    }
}

CSceneObject* FindOutsideDigits(const CSceneResource& scene, const char* name)
{
    for (u32 i = 0; i < scene.GetLayerCount(); ++i) {
        CSceneObject* layer = scene.GetLayer(i);
        const char* own = layer ? layer->GetName() : nullptr;
        if (!layer || (own && std::strcmp(own, kDigitGroup) == 0)) continue;
        if (own && std::strcmp(own, name) == 0) return layer;
        if (CSceneObject* below = layer->FindLayer(name)) return below;
    }
    return nullptr;
}

CRect4 DigitRect(CSceneObject* const (&images)[10], u32 digit)
{
    const CSceneObject* image = images[digit % 10];
    return image ? image->GetScreenState().rect : CRect4();
}

}  // namespace lobby_screen

using namespace lobby_scene;
using namespace lobby_screen;

CLobbyIpListScene::CLobbyIpListScene(const CLobbyIpListScene& other)
    : CLobbySceneBase(other), m_cursor(other.m_cursor), m_accepted(other.m_accepted), m_closed(other.m_closed)
{
    FindLayers();
}

void CLobbyIpListScene::FindLayers()
{
    m_background = FindLayer("bg02");
    m_top = FindLayer("Top");
    m_mowa = FindLayer("mowa");
    m_kira = FindLayer("kira");
    FindDigitImages(*this, m_digits);
    for (u32 i = 0; i < kAddressDigits; ++i)
        m_slots[i] = FindOutsideDigits(*this, ("n" + std::to_string(i + 1)).c_str());
    m_number[0] = FindOutsideDigits(*this, "n0");
    m_number[1] = FindOutsideDigits(*this, "n13");
}

i32 CLobbyIpListScene::Initialize(intptr_t) { return LoadLayout(kAddressListLayout); }

void CLobbyIpListScene::Open()
{
    m_cursor = 0;
    m_accepted = 0;
    m_closed = 0;
}

i32 CLobbyIpListScene::Update(u32 argument)
{
    if (menu::UpTriggered()) {
        m_cursor = ListUp(m_cursor);
        PlaySound(kSelectSound);
    } else if (menu::DownTriggered()) {
        m_cursor = ListDown(m_cursor);
        PlaySound(kSelectSound);
    }
    if (menu::LeftTriggered()) {
        m_cursor = ListLeft(m_cursor);
        PlaySound(kSelectSound);
    } else if (menu::RightTriggered()) {
        m_cursor = ListRight(m_cursor);
        PlaySound(kSelectSound);
    } else if (menu::Triggered(menu::kDecide)) {
        m_accepted = 1;
        m_closed = 1;
        PlaySound(kDecideSound);
    } else if (menu::Triggered(menu::kCancel)) {
        m_accepted = 0;
        m_closed = 1;
        PlaySound(kCancelSound);
    }
    return CSceneResource::Update(argument);
}

void CLobbyIpListScene::DrawEntry(u32 i, const IpAddressEntry& entry)
{
    CLayerState extra;
    extra.position.x = kColumnStep * f32(i / kListColumnRows);
    extra.position.y = kRowStep * f32(i % kListColumnRows);
    const f32 tint = i == m_cursor ? 1.0f : f32(kDimmed & 0xFF) / 255.0f;
    extra.colour = CVector4(tint, tint, tint, 1.0f);
    const u32 number = i + 1;
    const u32 shown[2] = {number / 10, number % 10};
    for (u32 k = 0; k < 2; ++k) {
        if (!m_number[k]) continue;
        const CRect4 rect = DigitRect(m_digits, shown[k]);
        m_number[k]->SetSourceRect(&rect);
        m_number[k]->Draw(&extra);
    }
    for (u32 d = 0; d < kAddressDigits; ++d) {
        if (!m_slots[d]) continue;
        const CRect4 rect = DigitRect(m_digits, DigitGlyph(entry.octet[d / 3][d % 3]));
        m_slots[d]->SetSourceRect(&rect);
        m_slots[d]->Draw(&extra);
    }
}

i32 CLobbyIpListScene::Draw(u32)
{
    DrawLayer(m_background);
    DrawLayer(m_top);
    DrawKira(m_kira);
    const IpAddressEntry* list = Context() ? Context()->state.recentAddresses : nullptr;
    for (u32 i = 0; list && i < kRecentCount; ++i) DrawEntry(i, list[i]);
    return 1;
}

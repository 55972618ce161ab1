#include "game/network/LobbyUserInformation.h"

#include "engine/core/Geometry.h"
#include "engine/graphics/FontTexture.h"
#include "engine/scene/SceneObject.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyMessage.h"
#include "game/network/LobbyUserPicture.h"
#include "game/scenes/MenuScene.h"

#include <cstdio>
#include <cstring>

using namespace lobby_scene;
using namespace lobby_screen;

namespace lobby_screen {

u64 ResultSum(u32 first, u32 second, u32 third) { return u64(first) + second + third; }

u32 ResultRate(u32 first, u64 sum) { return sum == 0 ? 0 : u32(u64(first) * 100 / sum); }

namespace {

std::string Number(u64 value) { return std::to_string(value); }

std::string Rate(u32 first, u64 sum)
{
    char text[32];
    std::snprintf(text, sizeof text, "%u\x81\x93", unsigned(ResultRate(first, sum)));   // "％" in code page 932
    return text;
}

}  // namespace

std::vector<std::string> UserRecordTexts(const lobby::LobbyUserRecord& user)
{
    const u32 first = GetLe32(user.data + kFirstCountAt);
    const u32 second = GetLe32(user.data + kSecondCountAt);
    const u32 third = GetLe32(user.data + kThirdCountAt);
    const u64 sum = ResultSum(first, second, third);
    // Signed, as the lists show it.
    return {std::to_string(i32(user.ListNumber())), Number(sum), Number(first), Number(second), Number(third), Rate(first, sum),
            Number(GetLe32(user.data + kLastNumberAt))};
}

std::vector<std::string> MemberRecordTexts(const RoomMember& member)
{
    const u32* r = member.results;
    const u64 sum = ResultSum(r[0], r[1], r[2]);
    return {"-", Number(sum), Number(r[0]), Number(r[1]), Number(r[2]), Rate(r[0], sum), "-"};
}

}  // namespace lobby_screen

CLobbyUserInformation::CLobbyUserInformation(const CLobbyUserInformation& other)
    : CLobbySceneBase(other),
      m_kickSelected(other.m_kickSelected),
      m_visible(other.m_visible),
      m_userId(other.m_userId),
      m_member(other.m_member),
      m_lobby(other.m_lobby),
      m_kickAllowed(other.m_kickAllowed)
{
    FindLayers();
}

void CLobbyUserInformation::FindLayers()
{
    m_base = FindLayer("Base");
    m_kick = FindLayer("taisyutu");
}

i32 CLobbyUserInformation::Initialize(intptr_t) { return LoadLayout(kUserInformationLayout); }

void CLobbyUserInformation::Open(u32 userId, bool kickAllowed)
{
    m_userId = userId;
    m_kickAllowed = kickAllowed ? 1 : 0;
    m_kickSelected = 0;
    m_lobby = 1;
    m_visible = 1;
}

void CLobbyUserInformation::OpenFromMember(const RoomMember& member)
{
    m_userId = 0;
    m_kickSelected = 0;
    m_lobby = 0;
    m_kickAllowed = 1;
    m_member = member;
    // The entry came over the wire: its texts end inside their fields.
    m_member.name[sizeof m_member.name - 1] = '\0';
    m_member.peerId[sizeof m_member.peerId - 1] = '\0';
    m_visible = 1;
}

const lobby::LobbyUserRecord* CLobbyUserInformation::ShownUser() const
{
    return m_lobby ? FindUser(m_userId) : nullptr;
}

bool CLobbyUserInformation::IsSelf() const
{
    const LobbySceneContext* context = Context();
    return m_lobby && context && context->state.ownUser && context->state.ownUser->Id() == m_userId;
}

bool CLobbyUserInformation::RoomHost() const
{
    const LobbySceneContext* context = Context();
    return context && context->state.roomHost && *context->state.roomHost;
}

bool CLobbyUserInformation::InOwnRoom() const
{
    const LobbySceneContext* context = Context();
    return context && context->state.ownRoom && context->state.ownRoom->HasMember(m_userId);
}

bool CLobbyUserInformation::KickShown() const
{
    return m_lobby && m_kickAllowed && !IsSelf() && ShownUser() && InOwnRoom();
}

i32 CLobbyUserInformation::Update(u32 argument)
{
    if (m_lobby && !ShownUser()) {
        Hide();
        return 1;
    }
    // Each key pressed this frame has its step: a move and a decide in one
    // frame decide on the moved selection.
    if (menu::UpTriggered() || menu::DownTriggered()) {
        if (m_kickAllowed && !IsSelf()) m_kickSelected ^= 1;
        PlaySound(kSelectSound);
    }
    if (menu::Triggered(menu::kDecide)) {
        const bool kick = m_kickSelected && m_lobby && RoomHost() && !IsSelf() && InOwnRoom();
        if (kick && Context() && Context()->message) Context()->message->Show(kUserKickMessage, this);
        else Hide();
        PlaySound(kDecideSound);
    }
    if (menu::Triggered(menu::kCancel)) {
        Hide();
        PlaySound(kCancelSound);
    }
    Tint(m_kick, m_kickSelected != 0);
    return CSceneResource::Update(argument);
}

u32 CLobbyUserInformation::OnMessage(u32 code, intptr_t answer)
{
    const u32* value = reinterpret_cast<const u32*>(answer);
    if (code == kUserKickMessage && value && *value == 1) {
        u8 id[4];
        PutLe32(id, m_userId);
        if (Client()) Client()->Send(kKickUser, id, sizeof id);
        Hide();
    }
    return 1;
}

void CLobbyUserInformation::DrawRecord(const std::vector<std::string>& texts)
{
    CFontTexture* font = Font();
    if (!font) return;
    const f32 s = TextScale();
    for (size_t row = 0; row < texts.size(); ++row)
        font->DrawTextAlignedOutlinedFlags(kRecordX * s, (kRecordY + kRecordStep * f32(row)) * s, TextColour(),
                                           OutlineColour(), kTextFontSize, s, 1.0f, texts[row].c_str(),
                                           kRecordFlags);
}

void CLobbyUserInformation::DrawUser(const lobby::LobbyUserRecord& user)
{
    const f32 s = TextScale();
    // Only a picture that loaded: a failed load keeps an empty texture.
    if (CTexture* picture = lobby::LoadedTexture(user)) {
        CRect4 area;
        area.Set(kPictureLeft * s, kPictureRight * s, kPictureTop * s, kPictureBottom * s);
        picture->DrawRect(&area, nullptr, GetSceneState().colour.ToARGB(), 0);
    }
    DrawOutlined(kNameX, kNameY, kNameFontSize, user.Name());
    if (CFontTexture* font = Font()) {
        const char* comment = reinterpret_cast<const char*>(user.data + lobby::kProfileAt);
        font->DrawTextOutlinedBox(kCommentX * s, kCommentY * s, kCommentWidth * s, 18.0f, 30, TextColour(),
                                  OutlineColour(), kTextFontSize, s, 1.0f, comment, kTextTopLeft);
    }
    DrawRecord(UserRecordTexts(user));
}

i32 CLobbyUserInformation::Draw(u32)
{
    if (!m_visible) return 1;
    DrawLayer(m_base);
    if (KickShown()) DrawLayer(m_kick);
    if (m_lobby) {
        if (const lobby::LobbyUserRecord* user = ShownUser()) DrawUser(*user);
        return 1;
    }
    DrawOutlined(kNameX, kNameY, kNameFontSize, m_member.name);
    DrawRecord(MemberRecordTexts(m_member));
    return 1;
}

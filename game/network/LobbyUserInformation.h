// The user information window over the lobby or room screen: one player's
// name, comment, picture and battle record. A lobby user is looked up by id
// in the client's list every frame (the receive thread deletes records on
// 1013), never kept; a direct room's member is shown from a copy of his
// member table entry. The host of a lobby room can kick the user from here.
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"
#include "game/network/LobbyScreens.h"
#include "game/network/LobbyWire.h"

#include <string>

namespace lobby_screen {

inline constexpr const char* kUserInformationLayout = "Scene\\Network08.sce";
inline constexpr u32 kUserKickMessage = 20;
inline constexpr u16 kKickUser = 1014;

// User data offsets of the battle record.
inline constexpr u32 kFirstCountAt = 299;
inline constexpr u32 kSecondCountAt = 303;
inline constexpr u32 kThirdCountAt = 307;
inline constexpr u32 kLastNumberAt = 311;

// The three counts summed without overflow; the rate is the first count's
// share in whole percent, 0 when there is nothing to share.
u64 ResultSum(u32 first, u32 second, u32 third);
u32 ResultRate(u32 first, u64 sum);
// The texts the record column shows, top to bottom (7 rows).
std::vector<std::string> UserRecordTexts(const lobby::LobbyUserRecord& user);
std::vector<std::string> MemberRecordTexts(const RoomMember& member);

}  // namespace lobby_screen

class CLobbyUserInformation : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyUserInformation)

public:
    static constexpr f32 kPictureLeft = 296.0f, kPictureTop = 232.0f, kPictureRight = 424.0f,
                         kPictureBottom = 360.0f;
    static constexpr f32 kNameX = 448.0f, kNameY = 244.0f;
    static constexpr f32 kCommentX = 448.0f, kCommentY = 292.0f, kCommentWidth = 448.0f;
    static constexpr f32 kRecordX = 652.0f, kRecordY = 384.0f, kRecordStep = 32.0f;
    static constexpr u32 kNameFontSize = 30, kTextFontSize = 18;
    static constexpr u8 kRecordFlags = 20;

    CLobbyUserInformation() = default;
    CLobbyUserInformation(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    CLobbyUserInformation(const CLobbyUserInformation& other);
    ~CLobbyUserInformation() override = default;

    void Open(u32 userId, bool kickAllowed);
    void OpenUser(const lobby::LobbyUserRecord& user, bool kickAllowed) { Open(user.Id(), kickAllowed); }
    void OpenFromMember(const RoomMember& member);
    void Hide() { m_visible = 0; }
    bool IsVisible() const { return m_visible != 0; }
    bool IsOpen() const { return IsVisible(); }
    bool KickSelected() const { return m_kickSelected != 0; }
    u32 UserId() const { return m_userId; }

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32 code, intptr_t answer) override;
    i32 Draw(u32 argument) override;

protected:
    void FindLayers() override;

private:
    // The lobby user shown, in the client's list now; null once gone.
    const lobby::LobbyUserRecord* ShownUser() const;
    bool IsSelf() const;
    // The user is the room's host entry or one of its members.
    bool InOwnRoom() const;
    bool RoomHost() const;
    bool KickShown() const;
    void DrawUser(const lobby::LobbyUserRecord& user);
    void DrawRecord(const std::vector<std::string>& texts);

    u32 m_kickSelected = 0;
    u32 m_visible = 0;
    u32 m_userId = 0;
    RoomMember m_member = {};
    u32 m_lobby = 0;
    u32 m_kickAllowed = 0;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_kick = nullptr;   // "taisyutu"
};

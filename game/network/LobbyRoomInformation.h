// The room information window: one room of the lobby list, its name,
// comment, level range and members, and, when the player may enter it, a
// line test with the room (1023) and entering it (1005).
#pragma once

#include "game/network/LobbyRoomRequest.h"
#include "game/network/LobbySceneBase.h"

namespace lobby_screen {
inline constexpr const char* kRoomInformationLayout = "Scene\\Network10.sce";
}

class CLobbyRoomInformation final : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbyRoomInformation)

public:
    enum Cursor : i32 { kLineTest, kEnterRoom, kNoAction, kCursorCount };
    static constexpr u16 kLineTestMessage = 1023;
    static constexpr u16 kEnterMessage = 1005;
    static constexpr u32 kNameSize = 30, kTextSize = 18;
    static constexpr f32 kNameX = 538.0f, kNameY = 218.0f;
    static constexpr f32 kCommentX = 298.0f, kCommentY = 540.0f, kCommentWidth = 298.0f, kCommentLineAdvance = 18.0f;
    static constexpr f32 kLevelX = 548.0f, kLevelY = 308.0f;
    static constexpr f32 kMemberX = 636.0f, kMemberY = 312.0f, kMemberStep = 24.0f;

    CLobbyRoomInformation() = default;
    CLobbyRoomInformation(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    CLobbyRoomInformation(const CLobbyRoomInformation& other);

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    void Open(u32 roomId);
    // What the screen set calls.
    void OpenRoom(const lobby::LobbyRoomRecord& room) { Open(room.Id()); }
    bool IsOpen() const { return m_visible != 0; }
    void Hide() { m_visible = 0; }
    i32 GetCursor() const { return m_cursor; }
    u32 GetRoomId() const { return m_roomId; }

    // The room shown, looked up every time (the list changes on the receive
    // thread); null when it left the list.
    const lobby::LobbyRoomRecord* Room() const;
    bool Joinable() const;

protected:
    void FindLayers() override;

private:
    void Decide();
    void DrawRoom(const lobby::LobbyRoomRecord& room);

    i32 m_cursor = kNoAction;
    u32 m_visible = 0;
    u32 m_roomId = 0;
    CSceneObject* m_base = nullptr;
    CSceneObject* m_test[2] = {};    // normal, highlighted
    CSceneObject* m_enter[2] = {};
    CSceneObject* m_levels[lobby::kLevelRangeCount] = {};
};

namespace lobby_screen {
// The level-range picture of index, null past the table.
CSceneObject* LevelPicture(CSceneObject* const (&levels)[lobby::kLevelRangeCount], u32 index);
}  // namespace lobby_screen

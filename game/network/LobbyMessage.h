// CLobbySceneMessage: the lobby's one dialog box. Each event code 0..27 is a
// set of image layers of "Scene\\Network06.sce" (the wording is in the
// images): waiting notices with three dots, notices any button closes, the
// room password entry, yes/no questions and small menus. The answer goes to
// the screen that raised it through its OnMessage. The texts drawn here are
// the line test's result (code 18) and, under a notice, what failed and
// where, when whoever raised it said so (a lobby server not reached).
#pragma once

#include "engine/core/Types.h"
#include "game/network/LobbySceneBase.h"

#include <array>
#include <string>

class CLobbySceneMessage : public CLobbySceneBase {
    ORV_VALUE_CLASS(CLobbySceneMessage)

public:
    static constexpr const char* kLayout = "Scene\\Network06.sce";
    static constexpr u32 kCodeCount = 28;
    static constexpr u32 kNone = kCodeCount;
    static constexpr u32 kPasswordCode = 19;
    static constexpr u32 kPasswordSentCode = 5;
    static constexpr u32 kLineInformationCode = 18;
    static constexpr u16 kPasswordMessage = 1006;
    static constexpr f32 kNoticeDelay = 0.2f;
    static constexpr f32 kDotStep = 0.5f;
    static constexpr u32 kMaxStars = 10;
    // A notice's detail: its lines from (kDetailX, kDetailY), kDetailStep
    // apart, at most kDetailLines of kDetailBytes.
    static constexpr f32 kDetailX = 284.0f, kDetailY = 384.0f, kDetailStep = 32.0f;
    static constexpr u32 kDetailFontSize = 24, kDetailLines = 3, kDetailBytes = 56;

    enum Kind : u32 { kWaiting = 0, kNotice = 1, kPassword = 2, kYesNo = 3, kMenu = 4 };
    enum Slot : u32 {
        kMessageLayer,
        kPanel,
        kDot0,
        kDot1,
        kDot2,
        kOption0,
        kOption1,
        kOption2,
        kYes,
        kNo,
        kSlotCount
    };

    struct Record {
        CSceneObject* layers[kSlotCount] = {};
        u32 kind = kWaiting;
        f32 timer = 0.0f;
        u32 value = 0;   // the selection, or the room for the password entry
        u32 answered = 0;
    };

    CLobbySceneMessage() = default;
    CLobbySceneMessage(CLobbyClient* client, LobbySceneContext* context) : CLobbySceneBase(client, context) {}
    // The layers are the copy's own: the records are looked up again.
    CLobbySceneMessage(const CLobbySceneMessage& other);
    ~CLobbySceneMessage() override = default;

    i32 Initialize(intptr_t argument) override;
    i32 Update(u32 argument) override;
    u32 OnMessage(u32, intptr_t) override { return 1; }
    i32 Draw(u32 argument) override;

    // code below 28 shows that record reset (timer, value, answer) and no
    // detail; 28 hides.
    void Show(u32 code, CLobbySceneBase* returnScene);
    // Words under the message shown now ('\n' between lines), kept until the
    // next Show.
    void SetDetail(const std::string& detail);
    const std::string& GetDetail() const { return m_detail; }
    void ShowWithValue(u32 code, u32 value, CLobbySceneBase* returnScene);
    bool IsShowing() const { return m_code < kCodeCount; }
    bool IsAnswered() const { return IsShowing() && m_records[m_code].answered != 0; }
    bool IsCode(u32 code) const { return m_code == code; }
    u32 GetCode() const { return m_code; }
    const Record& GetRecord(u32 code) const { return m_records[code < kCodeCount ? code : 0]; }
    CLobbySceneBase* GetReturnScene() const { return m_returnScene; }

    // Message 1006: the u32 room, then the password as a 9-byte field.
    static std::array<u8, 4 + lobby_scene::kRoomPasswordBytes> PasswordPayload(u32 room, const char* password);

    // Stars of a round-trip time: (800 - t) / 50 for 0 < t < 800, at most 10.
    static u32 TimeStars(u32 milliseconds);
    // Stars of a packet count: count / 10, at most 10.
    static u32 CountStars(u32 count);

protected:
    void FindLayers() override;

private:
    void UpdateWaiting(Record& record);
    void UpdateNotice(Record& record);
    void UpdatePassword(Record& record);
    void UpdateYesNo(Record& record);
    void UpdateMenu(Record& record);
    // The next present option from the selection in direction step; the
    // selection stays when none is present.
    u32 NextOption(const Record& record, i32 step) const;
    // Decide and cancel: each takes its step, both in one frame too.
    void AnswerKeys(Record& record);
    void Answer(Record& record, bool callBack, u32 sound);
    void DrawLineInformation();
    void DrawDetail();
    void DrawStars(f32 y, u32 stars);

    Record m_records[kCodeCount];
    u32 m_code = kNone;
    CLobbySceneBase* m_returnScene = nullptr;
    std::string m_detail;
};

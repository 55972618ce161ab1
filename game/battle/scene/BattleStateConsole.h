// CBattleStateConsole: the state of the battle as a whole in one fighter's
// HUD: remaining time, the music's title, the "Ready"/"Go" call with the
// announcer's voices, the result banner, team quick messages (panels, and
// balloons over their senders), lives, the tutorial's ticker of control
// tips, the training damage panel and the survival count. Its copy of the
// set-up's time word is the battle's remaining time.
#pragma once

#include "game/battle/scene/ConsoleBase.h"

#include <string>

class CStateHash;

// A radio-chat line as it comes off the wire or out of a replay.
struct QuickMessageRecord {
    char text[40];   // need not end in a NUL
    u32 sender;      // entry index of the sender (not its list place)
    u32 teamOnly;
};
static_assert(sizeof(QuickMessageRecord) == 48);

class CBattleStateConsole : public CConsoleBase {
    ORV_VALUE_CLASS(CBattleStateConsole)

public:
    static constexpr u32 kSlots = 4;
    static constexpr u32 kNameBytes = 36;
    static constexpr u32 kAnnouncers = 18;

    struct QuickMessage {
        char name[kNameBytes];
        u32 team;
        char text[sizeof(QuickMessageRecord::text) + 1];
        f32 timer;
        u32 sender;
        u32 hidden;
    };

    CBattleStateConsole() = default;
    explicit CBattleStateConsole(CScene* owner) : CConsoleBase(owner) {}
    CBattleStateConsole(const CBattleStateConsole&) = default;
    ~CBattleStateConsole() override { CBattleStateConsole::Release(); }

    // Copies setup when given; finds the layers and the 36 voices. 1.
    u32 Load(const ConsoleSetup* setup, const CSceneResource* layout);
    // dt is the frame time.
    i32 Update(u32 argument) override;
    i32 Draw(u32 argument) override;
    i32 Release() override { return 1; }

    // A line for the panels: dropped when it is for another team, when its
    // sender is no fighter of the battle, or when all four slots are busy.
    // 1 when it took a slot.
    u32 AddQuickMessage(const QuickMessageRecord& record);
    void SetResult();
    u32 IsResultShown() const { return m_endClock >= 6.0f && m_result >= 1 && m_result <= 3; }
    // The balloons over the senders, in the 3D pass.
    void DrawMarkers(u32 argument);

    // Also names the tip on show with the new input's keys.
    void SetInput(const ConsoleInput* input);
    void SetAnnouncer(u32 index) { m_announcer = index % kAnnouncers; }

    ConsoleSetup& GetSetup() { return m_setup; }
    f32 GetRemainingTime() const { return m_setup.timeLimit; }
    f32 GetStartClock() const { return m_startClock; }
    f32 GetEndClock() const { return m_endClock; }
    u32 GetResult() const { return m_result; }
    const QuickMessage& GetSlot(u32 i) const { return m_slots[i % kSlots]; }
    u32 GetTipIndex() const { return m_tipIndex; }
    f32 GetTickerX() const { return m_tickerX; }
    const std::string& GetTipText() const { return m_tipText; }
    // The simulation state: remaining time, clocks, result, slot timers and
    // senders (the announcer and the ticker are drawing only).
    void HashState(CStateHash& hash) const;

private:
    const HudFighter* Fighter(u32 index) const;
    const HudFighter* FighterOfEntry(u32 entry) const;
    const HudFighter* Own() const { return Fighter(m_setup.ownIndex); }
    void BuildTip();
    void TickerStep(f32 dt);
    void DrawNumber(CSceneObject* target, u32 value);
    void DrawTime();
    void DrawTitle();
    void DrawLives();
    void DrawPanels();
    // A row or balloon whose corner is at layout point (x, y); its texts
    // at alpha, its parts at partsAlpha.
    void DrawPanel(const QuickMessage& slot, f32 x, f32 y, f32 alpha, f32 partsAlpha);
    void DrawStartCall();
    void DrawResult();
    void DrawTicker();

    ConsoleSetup m_setup;
    CSceneObject* m_bgmName = nullptr;
    CSceneObject* m_timeFrame = nullptr;   // "Tiwk"
    CSceneObject* m_noLimit = nullptr;     // "Timug"
    CSceneObject* m_digits[10] = {};
    CSceneObject* m_point = nullptr;
    CSceneObject* m_teamColours[4] = {};
    CSceneObject* m_lifeMarks[4] = {};
    CSceneObject* m_ready = nullptr;
    CSceneObject* m_go = nullptr;
    CSceneObject* m_letters[5] = {};
    CSceneObject* m_wings[2] = {};
    CSceneObject* m_goLetters = nullptr;   // "Fgo"
    CSceneObject* m_goFlash = nullptr;     // "FgoB"
    CSceneObject* m_banners[3] = {};       // win, loss, draw
    CSceneObject* m_band = nullptr;        // "obi"
    CSceneObject* m_survivalLabel = nullptr;
    CSceneObject* m_survivalCount = nullptr;
    CSceneObject* m_panels[4][3] = {};     // per team: left, middle, right
    CSoundBuffer* m_voices[2 * kAnnouncers] = {};

    f32 m_startClock = 0.0f;
    u32 m_announcer = 0;
    u32 m_readyPlayed = 0;
    u32 m_goPlayed = 0;
    f32 m_endClock = 0.0f;
    u32 m_result = 0;
    QuickMessage m_slots[kSlots] = {};
    f32 m_tickerClock = 0.0f;
    u32 m_tipIndex = 0;
    f32 m_tickerX = 1024.0f;
    std::string m_tipText;
    const ConsoleInput* m_input = nullptr;
};

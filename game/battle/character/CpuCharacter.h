// CCpuCharacter: the fighter the computer drives. Its think step writes the
// raw button words of the character's own InputState, exactly where a pad's
// packet would land, so it runs the same input handlers and actions as a
// player. Levels 0..4 play through a decision table per action; 5..10 are
// fixed training behaviours. Every random draw comes from the global
// generator, one per draw interval, so a battle stays a function of its seed.
#pragma once

#include "game/battle/character/Character.h"

inline constexpr u32 kCpuLevelCount = 11;

class CCpuCharacter : public CCharacter {
    ORV_VALUE_CLASS_NAMED(CCpuCharacter, "CCharacter")

public:
    // Returns 1 when it acted (or, for the empty ones, always).
    using DecisionHandler = u32 (CCpuCharacter::*)();

    struct LevelRow {
        f32 thinkInterval, drawInterval;
        i32 defenceThreshold;
    };
    static const LevelRow kLevels[kCpuLevelCount];

    CCpuCharacter(CCharacterParameter* parameter = nullptr, CTensionFile* tension = nullptr);
    CCpuCharacter(const CCpuCharacter& other) = default;
    ~CCpuCharacter() override { Cleanup(); }

    i32 Initialize(intptr_t argument) override { return Create(reinterpret_cast<const CharacterCreateRecord*>(argument)); }
    // Draw, think (or hold a charge), refresh the input, then the
    // character's update. 1.
    i32 Update(u32 argument) override;
    // 48 sets the level; the rest goes to the character.
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    u32 IsComputerPlayer() const override { return 1; }
    // The character's state, then the AI block.
    void HashState(CStateHash& hash) const override;

    // The AI's constants, the record's level (2 without a record or for a
    // level out of range), the decision table, then the character's Create.
    i32 Create(const CharacterCreateRecord* entry);
    // A level outside 0..10 is refused (0) and the level stays; the timers
    // are not reset.
    u32 SetLevel(i64 level);
    virtual void InitDecisionTable();
    i32 Cleanup() { return CCharacterBase::Release(); }

    i32 GetLevel() const { return m_level; }
    i32 GetDraw() const { return m_draw; }
    f32 GetThinkInterval() const { return m_thinkInterval; }
    f32 GetDrawInterval() const { return m_drawInterval; }
    i32 GetDefenceThreshold() const { return m_defenceThreshold; }

protected:
    // Steps of Update.
    void ChooseTarget();
    void Decide();
    // Steering toward p (null: no position).
    void Steer(const CVector3* p);
    // Steers toward the locked target, or presses 12 without one.
    void SteerToTarget();
    // Whether it acted.
    bool DefenceReflex();

    // The decision handlers, by action.
    u32 DecideIdle();
    u32 DecideTedium();
    u32 DecideShortAttack();
    u32 DecideShoot();
    u32 DecideSteer();
    u32 DecideGuard();
    u32 DecideDown();
    u32 DecideDash();
    u32 DecideSlide();
    u32 DecideDoubleSlide();
    u32 DecideMirageSlide();
    u32 DecideMash();
    u32 DecideNothing() { return 1; }

    // Scores of a candidate: A with self's view, B with the candidate's.
    f32 ScoreA(CCharacterBase& c);
    f32 ScoreB(CCharacterBase& c);
    // The candidate cannot answer an attack now.
    bool IsOpen(const CCharacterBase& c) const;
    CCharacterBase* Target() const;
    f32 DistanceTo(const CObjectDivision& other) const;
    void Press(u32 code) { m_input.raw[code] = 1; }
    void PressShot(bool held) { Press(24), m_releaseShot = held ? 0 : 1; }
    void PressSlide() { Press(22), m_releaseSlide = 1; }

    u32 DangerFlags() const { return m_meeting.dangerFlags; }
    // The phase of a hit reaction is its damage type (3 to 6 the large hits
    // and rolls, 7 the spin, 8 and 9 blown and falling off, 10 down); the
    // other actions keep none.
    static u32 ActionSubStep(const CCharacterBase& c)
    {
        const CharacterStatus& s = *c.GetStatus();
        return s.action == kActionHitReaction ? s.damageType : 0;
    }

    i32 m_level = 0;
    u32 m_approachMode = 0;   // never set: the mode-0 branches run
    i32 m_draw = 0;           // 0..99
    f32 m_thinkTimer = 0, m_thinkInterval = 0;
    f32 m_drawTimer = 0, m_drawInterval = 0;
    f32 m_targetRange = 0, m_middleRange = 0, m_farRange = 0;
    i32 m_defenceThreshold = 0;
    u32 m_releaseSlide = 0, m_releaseShot = 0;
    f32 m_heightStep = 0;
    // The candidate targets me; nearness; I see it; clear line; it is open;
    // team focus.
    f32 m_weights[6] = {};
    DecisionHandler m_decisions[kActionCount] = {};
};

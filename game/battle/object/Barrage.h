// CBarrage: fires the shot patterns of one barrage definition over time.
// Its owner (a fighter, a spell card, or a bullet carrying a barrage) calls
// Update once a frame with a ShooterRecord; each pattern whose time has come
// fires one volley of bullets, placed and aimed from its shot pattern
// values, into the battle scene's bullet list, and plays its shot effect and
// sound at the middle of the volley. Owners ask IsFinished and start it
// again with Restart. The barrage keeps no reference to its bullets.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/Types.h"
#include "engine/core/Vector3.h"
#include "game/battle/object/ObjectDivision.h"
#include "game/battle/object/ShotRecords.h"

#include <cstdint>
#include <vector>

class CEffectContainer;
class CPatternListParameter;
class CShotPatternParameter;
class CSoundBuffer;
struct CShotPatternValues;

// The firing state of one shot pattern.
struct BarrageState {
    u32 volleyCount = 0;
    f32 timer = 0.0f;   // seconds toward the next volley
    CEffectContainer* shotEffect = nullptr;
    CSoundBuffer* sound = nullptr;
    CMatrix frameMatrix;     // where shot positions are placed
    CMatrix frameRotation;   // the frame object's own rotation, unit rows
    CVector3 firingRotation;   // degrees
    CVector3 targetAngles;     // pitch, yaw in [0, 360), relative to firingRotation
    CVector3 targetVector;     // target minus firing object, not normalised
};

class CBarrage : public CObjectDivision, public IChildBarrage {
    ORV_VALUE_CLASS(CBarrage)

public:
    // A volley never holds more shots than this, whatever the pattern asks:
    // far beyond a hand-written fan, short of a file flooding the battle.
    static constexpr u32 kMaxShotsPerVolley = 16384;

    // No definition, no states (for the root's factories).
    CBarrage();
    // One zeroed state per pattern name, up to the list's pattern bound;
    // definition is borrowed and must outlive the barrage.
    explicit CBarrage(const CPatternListParameter* definition);
    // Clock and states copied (effects and sounds shared), with a copy of
    // the definition that this barrage owns.
    CBarrage(const CBarrage& other);
    ~CBarrage() override;

    // Drops the states and an owned definition, then the base's release.
    i32 Release() override;
    // Nothing to do: 1.
    i32 Initialize(intptr_t argument) override;
    // One frame for the shooter record (see the pointer overload). Engine
    // callers have no shooter to pass: nothing advances, 0.
    i32 Update(u32 argument) override;
    // Advances the clock by the frame time and fires every due pattern. A
    // pattern whose volley falls due without a record keeps its time until
    // a frame that has one. The shots made stay within the list's round and
    // set-off bounds; a volley past them still counts, with fewer shots. 1.
    i32 Update(const ShooterRecord* record);
    // Draws nothing; 1 only when holding a model (a barrage loads none).
    i32 Draw(u32 argument) override;
    // Each pattern's shot effect (through the controller) and sound (found
    // by file name in the controller's sound list); either stays null when
    // not found. 0 without a definition, else 1.
    i32 LoadResource(CResourceController* controller) override;
    // Ignores every message: 1.
    u32 OnMessage(u32 message, CMessageObject* sender, intptr_t parameter) override;
    // The base's fields, the clock, then each state in pattern order (never
    // its effect or sound).
    void HashState(CStateHash& hash) const override;

    // Clock above 0 and at least GetDuration.
    u32 IsFinished() const override;
    // The longest pattern time: SHOOTCOUNT x SHOOTWAIT + PATTERNWAIT, or
    // SHOOTWAIT + PATTERNWAIT for an endless pattern.
    f32 GetDuration() const;
    // Clock = time; every state back to volley 0 with timer = time. 1.
    i32 Restart(f32 time) override;
    // State index, or null past the end.
    const BarrageState* GetPatternState(u32 index) const;
    u32 GetPatternStateCount() const { return u32(m_states.size()); }
    const CPatternListParameter* GetDefinition() const { return m_definition; }
    f32 GetClock() const { return m_clock; }

    // -- As the barrage a bullet carries. --
    i32 UpdateShooter(const ShooterRecord* record) override { return Update(record); }
    // Shares the borrowed definition instead: the bullets a carried barrage
    // fires read their records from it, and a copy's own definition would
    // go with the copied bullet while they still fly.
    IChildBarrage* CloneChild() const override { return new CBarrage(*this, kShareDefinition); }

private:
    friend struct StateHashProbe;   // the state hash tests change each field
    enum ShareDefinition { kShareDefinition };
    CBarrage(const CBarrage& other, ShareDefinition);

    struct ShotBudget;
    i32 FireVolley(const ShooterRecord* record, BarrageState& state, const CShotPatternParameter& pattern,
        ShotBudget& budget);
    CVector3 GetVolleyCentre(ShooterRecord& record, BarrageState& state, const CShotPatternValues& v);
    static void CaptureFrame(BarrageState& state, const CShotPatternValues& v, CObjectDivision* firing,
        CObjectDivision* target);
    static void PlaceShotPosition(CVector3& p, BarrageState& state, const CShotPatternValues& v,
        CObjectDivision* firing, CObjectDivision*& target);
    static i32 PlayShotSound(CSoundBuffer* sound, const CVector3& position, i32 volume);

    f32 m_clock = 0.0f;
    std::vector<BarrageState> m_states;
    const CPatternListParameter* m_definition = nullptr;
    CPatternListParameter* m_ownedDefinition = nullptr;   // a copy's own
};

// The maker bullets use for the barrage they carry.
IChildBarrage* MakeChildBarrage(const CPatternListParameter* definition);

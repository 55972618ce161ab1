// Afterimages of a fighter: each record keeps one past pose (world matrix
// and bone palette); from quality 3 on a CCharacterTrace per record lets the
// render list sort the afterimages among the other see-through objects and
// calls back into its owner to draw them. Drawing only: none of this is
// simulation state.
#pragma once

#include "engine/core/Matrix.h"
#include "engine/core/ObjectBase.h"
#include "engine/core/Types.h"

#include <memory>
#include <vector>

class CCharacterBase;
class CCharacterTrace;
struct AfterimageRecord;

class CCharacterTrace : public CObjectBase {
    ORV_VALUE_CLASS(CCharacterTrace)

public:
    CCharacterTrace() = default;
    CCharacterTrace(CCharacterBase* owner, AfterimageRecord* record, u32 index)
        : m_owner(owner), m_record(record), m_index(index)
    {
    }
    CCharacterTrace(const CCharacterTrace&) = default;

    // Marks the trace made. 1.
    i32 Initialize(intptr_t argument) override;
    // Takes its record's matrix and the translation of it; 0 without a record.
    i32 Update(u32 argument) override;
    // The owner draws this afterimage; 0 without an owner.
    i32 Draw(u32 argument) override;

    // A copied trace still names the source's owner and record: the copy of
    // a fighter points its traces at itself.
    void Rebind(CCharacterBase* owner, AfterimageRecord* record)
    {
        m_owner = owner;
        m_record = record;
    }
    CCharacterBase* GetOwner() const { return m_owner; }
    u32 GetIndex() const { return m_index; }
    u32 IsCreated() const { return m_created; }

private:
    CCharacterBase* m_owner = nullptr;
    AfterimageRecord* m_record = nullptr;
    u32 m_index = 0;
    u32 m_created = 0;
};

// Record 0 follows the live pose; the older ones move back one place each
// MATRIXUPDATETIME.
struct AfterimageRecord {
    CMatrix world;
    std::vector<CMatrix> palette;   // one per bone of the animation controller
    std::unique_ptr<CCharacterTrace> trace;
};

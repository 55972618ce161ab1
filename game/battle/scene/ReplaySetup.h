// The battle set-up as a replay stores and restores it. The replay lives in
// game/data, below the battle libraries, so it takes the set-up through this
// adapter as its carried bytes.
#pragma once

#include "game/battle/scene/BattleSetup.h"
#include "game/data/Replay.h"

class CReplaySetupRecord final : public IReplaySetup {
public:
    explicit CReplaySetupRecord(CBattleSetup& setup) : m_setup(setup) {}
    // A recording names the entry played on this machine, which in local
    // play the battle chose, not the set-up.
    CReplaySetupRecord(CBattleSetup& setup, u32 localEntry) : m_setup(setup), m_localEntry(localEntry) {}

    std::string GetReplayRecord() const override
    {
        return WriteBattleSetup(m_setup, m_localEntry < CBattleSetup::kEntryCount ? m_localEntry : m_setup.localEntry);
    }
    // A record the set-up reader refuses (a count other than four, a value
    // outside its tables) or one with bytes to spare.
    bool AcceptsReplayRecord(const u8* data, size_t size) const override
    {
        CBattleSetup checked;
        size_t used = 0;
        return ReadBattleSetup(data, size, &checked, &used) == BattleRecordError::kNone && used == size;
    }
    // A record not accepted changes nothing.
    bool SetReplayRecord(const u8* data, size_t size) override
    {
        return AcceptsReplayRecord(data, size) && ReadBattleSetup(data, size, &m_setup) == BattleRecordError::kNone;
    }

private:
    CBattleSetup& m_setup;
    u32 m_localEntry = CBattleSetup::kEntryCount;   // the set-up's own
};

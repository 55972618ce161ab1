// The battle set-up as replays and peers carry it: count, local entry, four
// 104-byte entries, the 52-byte option, through ReadBattleSetup. A record
// read must write back to the bytes it was read from; a refused one must
// leave the set-up as it was.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleSetup.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBattleSetup setup;
    const std::string before = WriteBattleSetup(setup);
    size_t used = 0;
    const BattleRecordError error = ReadBattleSetup(data, size, &setup, &used);
    FUZZ_CHECK(DescribeBattleRecordError(error) != nullptr);
    if (error != BattleRecordError::kNone) {
        FUZZ_CHECK(WriteBattleSetup(setup) == before);
        return 0;
    }
    FUZZ_CHECK(used == kBattleSetupBytes && used <= size);
    FUZZ_CHECK(WriteBattleSetup(setup) == std::string(reinterpret_cast<const char*>(data), used));
    // What was accepted indexes its tables safely.
    for (u32 i = 0; i < setup.count; ++i) {
        const CBattleEntry& e = *setup.GetEntry(i);
        FUZZ_CHECK(e.UsedCharacter() < CBattleEntry::kRandomCharacter && std::memchr(e.name, 0, sizeof e.name));
    }
    FUZZ_CHECK(setup.option.UsedStage() < CBattleOption::kRandomStage);
    FUZZ_CHECK(setup.option.UsedMusic() < CBattleOption::kRandomMusic);
    return 0;
}

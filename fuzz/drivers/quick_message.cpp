// Radio-chat lines off the wire into a battle-state console with two
// fighters: the line is the first 48 bytes, the rest is ignored. Whatever
// the bytes, a slot that takes a line holds a sender of the battle and
// texts that end inside their buffers.
#include "fuzz/FuzzSupport.h"
#include "game/battle/scene/BattleStateConsole.h"

#include <cstring>

namespace {

class Fighter : public HudFighter {
public:
    Fighter(u32 t, const char* n, u32 e) : team(t), name(n), entry(e) {}
    u32 GetTeam() const override { return team; }
    const char* GetPlayerName() const override { return name; }
    const char* GetCharacterName() const override { return "Talve"; }
    void GetPosition(CVector3* out) const override { *out = CVector3(); }
    CCamera* GetBattleCamera() const override { return nullptr; }
    u32 GetDefeatCount() const override { return 0; }
    u32 GetKillCount() const override { return 0; }
    u32 IsComputer() const override { return 0; }
    u32 GetEntryIndex() const override { return entry; }
    const CTensionFile* GetTensionFile() const override { return nullptr; }
    u32 GetFixedTension() const override { return 0; }
    f32 GetMusicTime() const override { return 0; }
    void ClearDamage() override {}
    void FillSparkGauge() override {}
    i32 GetTotalDamage() const override { return 0; }
    i32 GetHitDamage(u32) const override { return 0; }
    f32 GetTargetDownLimit() const override { return 0; }

    u32 team;
    const char* name;
    u32 entry;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuickMessageRecord record{};
    // An empty input may come as a null pointer, which memcpy must not see.
    if (size > 0) std::memcpy(&record, data, std::min(size, sizeof record));
    // A 32-byte player name with no end, as a peer may send it.
    static char longName[33] = "\x82\xA0" "abcdefghijklmnopqrstuvwxyz0123";
    // Entry 1 was empty: the second fighter is entry 2.
    Fighter a(0, "", 0), b(1, longName, 2);
    HudFighterList list{&a, &b};
    ConsoleSetup setup;
    setup.characters = &list;
    CBattleStateConsole console;
    console.Load(&setup, nullptr);
    const u32 took = console.AddQuickMessage(record);
    FUZZ_CHECK(took == (record.sender == 0 || (record.sender == 2 && !record.teamOnly)));
    const CBattleStateConsole::QuickMessage& slot = console.GetSlot(0);
    if (took) {
        FUZZ_CHECK(slot.sender == record.sender && slot.timer > 0.0f);
        FUZZ_CHECK(std::memchr(slot.text, 0, sizeof slot.text) && std::memchr(slot.name, 0, sizeof slot.name));
    } else {
        FUZZ_CHECK(slot.timer <= 0.0f);
    }
    return 0;
}

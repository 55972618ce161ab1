// The battle set-up record: its defaults, its carried bytes laid out field
// by field, and the refusal of records whose values index past a table.
#include "game/battle/scene/BattleSetup.h"
#include "game/data/SaveConfig.h"
#include "game/data/tests/SaveTestSupport.h"
#include "host/kernel/Kernel.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using save_test::Bytes;

namespace {

const u8* Data(const std::string& s) { return reinterpret_cast<const u8*>(s.data()); }

u32 F(f32 v) { return std::bit_cast<u32>(v); }

// An entry as built: kind, character 18, drawn character, team, variants,
// factor level 4, two words, music, three floats, flag 1, lock-on; radar,
// camera, guard, reserved byte; reserved word, name, spare.
std::string BuiltEntry(u32 kind, u32 team, u32 lockOn, u8 radar, u8 camera, u8 guard, u32 reserved)
{
    return Bytes().U32(kind).U32(18).U32(0).U32(team).U32(0).U32(0).U32(4).Zeros(8).U32(0).Zeros(12).U32(1)
        .U32(lockOn).U8(radar).U8(camera).U8(guard).U8(0).U32(reserved).Zeros(32).U32(0);
}

class BattleSetupTest : public ::testing::Test {
protected:
    host::kernel::FakeClock clock_{0x12345678};
    host::kernel::ScopedClock scoped_{clock_};
};

}  // namespace

TEST_F(BattleSetupTest, ABuiltSetupCarriesItsDefaultsAndTheConfiguration)
{
    CSaveConfig config;
    ConfigGame& game = *config.GetGameSettings();
    game.lockOnType = 3;
    game.radarType = 1;
    game.cameraSide = 1;
    game.guardCorrection = 2;
    const CBattleSetup setup(&config, 77);
    // stage 19, drawn 0, music 51, drawn 0, lives rule, extra lives 2, time
    // 6, level, shared bullets 2, character setting, own tension 1, seed
    // from the clock, input delay
    const std::string option =
        Bytes().U32(19).U32(0).U32(51).U32(0).U32(0).U32(2).U32(6).U32(0).U32(2).U32(0).U32(1).U32(0x12345678).U32(0);
    const std::string expected = Bytes().U32(4).U32(0).Raw(BuiltEntry(0, 0, 3, 1, 1, 2, 77))
        .Raw(BuiltEntry(4, 1, 3, 1, 1, 2, 77)).Raw(BuiltEntry(4, 2, 3, 1, 1, 2, 77))
        .Raw(BuiltEntry(4, 3, 3, 1, 1, 2, 77)).Raw(option);
    EXPECT_EQ(WriteBattleSetup(setup), expected);
    EXPECT_EQ(setup.recordReplay, 1u);
    EXPECT_EQ(setup.reserved, 77u);
    EXPECT_NE(setup.tensionFiles, nullptr);
    EXPECT_EQ(setup.progress, nullptr);
}

TEST_F(BattleSetupTest, EveryFieldComesFromItsBytesAndGoesBack)
{
    // kind, character, drawn, team, variant, drawn variant, factor level, two
    // words, music, three floats, flag, lock-on; radar, camera, guard,
    // reserved byte; reserved word, name with bytes after its end, spare
    const std::string name("\x8e\x8e\x8d\x87 Derona\0junk after", 22);
    const std::string entryBytes = Bytes().U32(5).U32(17).U32(16).U32(3).U32(1).U32(0).U32(2).U32(0xA1A2A3A4)
        .U32(0xB1B2B3B4).U32(50).U32(F(1.5f)).U32(0x80000000).U32(F(1e-40f)).U32(9).U32(2).U8(0xC1).U8(0xC2)
        .U8(0xC3).U8(0xC4).U32(0xD1D2D3D4).Text(name, 32).U32(0xE1E2E3E4);
    // stage, drawn, music, drawn, lives rule, extra lives, time, level,
    // shared bullets, character setting, own tension, seed, input delay
    const std::string optionBytes = Bytes().U32(19).U32(17).U32(50).U32(49).U32(1).U32(4).U32(0).U32(10).U32(0)
        .U32(3).U32(0).U32(0xFFFFFFFF).U32(0x0304);

    CBattleEntry e;
    ASSERT_EQ(ReadBattleEntry(Data(entryBytes), entryBytes.size(), &e), BattleRecordError::kNone);
    EXPECT_EQ(e.kind, 5u);
    EXPECT_EQ(e.UsedCharacter(), 17u);
    EXPECT_EQ(e.variant, 1u);
    EXPECT_EQ(e.factorLevel, 2u);
    EXPECT_EQ(e.ownMusic, 50u);
    EXPECT_EQ(e.orbs[1], 0x80000000u);
    EXPECT_EQ(e.guardCorrection, 0xC3);
    EXPECT_STREQ(e.name, "\x8e\x8e\x8d\x87 Derona");
    CBattleOption o;
    ASSERT_EQ(ReadBattleOption(Data(optionBytes), optionBytes.size(), &o), BattleRecordError::kNone);
    EXPECT_EQ(o.UsedStage(), 17u);
    EXPECT_EQ(o.UsedMusic(), 50u);
    EXPECT_EQ(o.TimeLimitSeconds(), 100u);
    EXPECT_EQ(o.randomSeed, 0xFFFFFFFFu);
    EXPECT_EQ(o.InputDelayFrames(), 8u);   // the low byte only

    u8 written[kBattleEntryBytes];
    WriteBattleEntry(e, written);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(written), kBattleEntryBytes), entryBytes);
    WriteBattleOption(o, written);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(written), kBattleOptionBytes), optionBytes);
}

TEST_F(BattleSetupTest, ValuesPastTheirTablesAreRefusedAndChangeNothing)
{
    CBattleSetup source;
    source.option.stage = 3;
    const std::string good = WriteBattleSetup(source);
    constexpr size_t kEntry2 = 8 + 2 * kBattleEntryBytes, kOption = 8 + 4 * kBattleEntryBytes;
    using E = BattleRecordError;
    const struct {
        size_t offset;
        u32 value;
        E error;
    } cases[] = {
        {0, 3, E::kCount}, {0, 5, E::kCount}, {0, 0xFFFFFFFF, E::kCount}, {4, 4, E::kLocalEntry},
        {kEntry2 + 0, 6, E::kKind}, {kEntry2 + 4, 19, E::kCharacter}, {kEntry2 + 8, 18, E::kDrawnCharacter},
        {kEntry2 + 12, 4, E::kTeam}, {kEntry2 + 16, 2, E::kVariant}, {kEntry2 + 20, 2, E::kDrawnVariant},
        {kEntry2 + 24, 5, E::kFactorLevel},
        // A music slot past the table is one without a script; any number of
        // extra lives counts.
        {kEntry2 + 36, 51, E::kNone}, {kEntry2 + 36, 0xFFFFFFFF, E::kNone},
        {kEntry2 + 68, 0x41414141, E::kNone},   // a name may fill 31 bytes
        {kOption + 0, 20, E::kStage}, {kOption + 4, 19, E::kDrawnStage}, {kOption + 8, 52, E::kMusic},
        {kOption + 12, 51, E::kDrawnMusic}, {kOption + 24, 7, E::kTimeSetting}, {kOption + 48, 5, E::kInputDelay},
        {kOption + 48, 0xFF000004, E::kNone},   // only the low byte indexes
        {kOption + 20, 4, E::kNone}, {kOption + 20, 5, E::kNone}, {kOption + 20, 0xFFFFFFFF, E::kNone},
        {kOption + 0, 19, E::kNone}, {kOption + 8, 51, E::kNone}, {kOption + 28, 99, E::kNone},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        for (int i = 0; i < 4; ++i) bytes[c.offset + i] = char(c.value >> (8 * i));
        CBattleSetup target;
        target.option.stage = 7;
        const std::string before = WriteBattleSetup(target);
        size_t used = 0;
        EXPECT_EQ(ReadBattleSetup(Data(bytes), bytes.size(), &target, &used), c.error)
            << "offset " << c.offset << ": " << DescribeBattleRecordError(c.error);
        if (c.error == E::kNone) {
            EXPECT_EQ(used, bytes.size());
            EXPECT_EQ(WriteBattleSetup(target), bytes);
        } else {
            EXPECT_EQ(WriteBattleSetup(target), before) << "offset " << c.offset;
        }
    }

    // A name with no end within its 32 bytes; records cut anywhere.
    std::string unended = good;
    std::memset(&unended[kEntry2 + 68], 'A', 32);
    CBattleSetup target;
    EXPECT_EQ(ReadBattleSetup(Data(unended), unended.size(), &target), E::kName);
    for (size_t size : {size_t(0), size_t(7), size_t(8), good.size() - 1}) {
        EXPECT_EQ(ReadBattleSetup(Data(good), size, &target), E::kTooShort) << size;
    }
    CBattleEntry entry;
    EXPECT_EQ(ReadBattleEntry(Data(good) + 8, kBattleEntryBytes - 1, &entry), E::kTooShort);
    CBattleOption option;
    EXPECT_EQ(ReadBattleOption(Data(good) + kOption, kBattleOptionBytes - 1, &option), E::kTooShort);
}

}  // namespace ORV_TEST_FILE_ID

#include "CharacterTestSupport.h"

#include "engine/platform/FrameTime.h"

#include <cmath>
#include <cstring>

namespace ORV_TEST_FILE_ID {

using namespace character_test;

namespace {

InputPacket Packet(u16 bits, i8 x = 0, i8 y = 0)
{
    return InputPacket{{u8(bits), u8(bits >> 8)}, x, y};
}

}  // namespace

// Each bit carries its own code, both ways, and no other.
TEST_F(CharacterTest, EveryPacketBitCarriesItsCodeBothWays)
{
    const u32 codes[16] = {12, 13, 14, 15, 16, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 0};
    for (u32 bit = 0; bit < 16; ++bit) {
        InputState pad = {};
        pad.held[codes[bit]] = 1;
        InputPacket built;
        ASSERT_EQ(CCharacter::BuildInputPacket(&built, pad), 1u);
        EXPECT_EQ(u32(built.buttons[0] | built.buttons[1] << 8), 1u << bit) << bit;

        CCharacter c;
        const InputPacket one = Packet(u16(1u << bit));
        ASSERT_EQ(c.ApplyInputPacket(&one), 1u);
        for (u32 code = 0; code < kInputCodeCount; ++code)
            EXPECT_EQ(c.GetInput().held[code], code == codes[bit] ? 1u : 0u) << bit << " code " << code;
    }
    // A code outside the table does not travel.
    InputState pad = {};
    pad.held[20] = pad.held[17] = pad.held[21] = 1;
    InputPacket built;
    CCharacter::BuildInputPacket(&built, pad);
    EXPECT_EQ(built.buttons[0] | built.buttons[1], 0);
}

// Distinct values per axis, so a swapped pair shows; always truncated.
TEST_F(CharacterTest, SticksTravelTruncatedTowardZero)
{
    const struct {
        f32 value;
        i8 byte;
    } cases[] = {{-0.005f, 0}, {1.0f, 100}, {-1.0f, -100}, {0.57f, 56}, {0.5f, 50}, {-0.339f, -33},
                 {3.0f, 100}, {NAN, 0}};
    for (const auto& k : cases) {
        InputState pad = {};
        pad.stick1X = k.value;
        pad.stick1Y = -0.25f;
        InputPacket built;
        CCharacter::BuildInputPacket(&built, pad);
        EXPECT_EQ(built.stickX, k.byte) << k.value;
        EXPECT_EQ(built.stickY, -25);
    }
    CCharacter c;
    const InputPacket p = Packet(0, 56, -33);
    c.ApplyInputPacket(&p);
    EXPECT_EQ(c.GetInput().stick1X, f32(56 * double(0.01f)));
    EXPECT_EQ(c.GetInput().stick1Y, f32(-33 * double(0.01f)));
}

// What a replay records of a packet-driven fighter is the packet it played,
// although the apply quantises some sticks lower (29 is held as 0.28).
TEST_F(CharacterTest, AnAppliedPacketIsTheOneItGivesBack)
{
    CCharacter c;
    for (i32 v = -100; v <= 100; ++v) {
        const InputPacket p = Packet(u16(0x8421 ^ u32(v + 100)), i8(v), i8(-v));
        ASSERT_EQ(c.ApplyInputPacket(&p), 1u);
        InputPacket back;
        c.GetInputPacket(&back);
        EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0) << v;
    }
}

// A frame that applies no packet records its own state, not the packet of
// an earlier frame: the computer writes its buttons straight into the state.
TEST_F(CharacterTest, AFrameWithoutAPacketGivesBackItsOwnState)
{
    CCharacter c;
    const InputPacket p = Packet(0x0001, 29, -54);
    c.ApplyInputPacket(&p);
    InputPacket back;
    c.GetInputPacket(&back);
    EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0) << "before the frame's update";
    c.Update(0);
    c.GetInputPacket(&back);
    EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0) << "after it";
    // The next frame writes its state directly.
    c.ShiftInput();
    c.GetInput().stick1X = 0.5f, c.GetInput().stick1Y = 0.0f;
    c.RefreshInput();
    c.Update(0);
    c.GetInputPacket(&back);
    InputPacket built;
    CCharacter::BuildInputPacket(&built, c.GetInput());
    EXPECT_EQ(std::memcmp(&back, &built, sizeof built), 0);
    EXPECT_EQ(back.stickX, 50);
    EXPECT_EQ(back.stickY, 0);
}

TEST_F(CharacterTest, ApplyingPacketsGivesEdgesAndKeepsTheMoveAngle)
{
    CCharacter c;
    EXPECT_EQ(c.ApplyInputPacket(nullptr), 0u);
    const InputPacket slide = Packet(1u << 5);
    const InputPacket right = Packet(1u << 3, 100, 0);
    const InputPacket none = Packet(0);
    c.ApplyInputPacket(&slide);
    EXPECT_EQ(c.GetInput().triggered[22], 1u);
    c.ApplyInputPacket(&slide);
    EXPECT_EQ(c.GetInput().triggered[22], 0u);
    EXPECT_EQ(c.GetInput().held[22], 1u);
    c.ApplyInputPacket(&none);
    EXPECT_EQ(c.GetInput().released[22], 1u);
    EXPECT_EQ(IsNoButtonHeld(&c.GetInput()), 1u);

    c.ApplyInputPacket(&right);
    EXPECT_EQ(c.GetStatus()->moveAngle, 90.0f);
    const InputPacket stickOnly = Packet(0, 0, 100);
    c.ApplyInputPacket(&stickOnly);
    EXPECT_EQ(c.GetStatus()->moveAngle, 90.0f);   // no direction held
    InputPacket back;
    c.GetInputPacket(&back);
    EXPECT_EQ(back.stickY, 100);
}

// The player's pad becomes a packet, except where the three cases say.
TEST_F(CharacterTest, PlayerControllerReadsItsPadThroughAPacket)
{
    CInput input;
    const struct {
        bool manager;
        u32 network, padInput, slot, entry, localSlot;   // local slot: the battle's local entry
        u32 pad;           // the pad holding code 25
        bool applied;      // the character sees code 25
        bool vibration;    // vibration reaches the pad
    } cases[] = {
        {true, 0, 1, 2, 3, 0, 2, true, true},      // local play: the pad of the list place
        {false, 0, 1, 2, 3, 0, 2, false, false},   // no input manager: input unchanged
        {true, 1, 1, 2, 3, 3, 0, true, true},      // network: pad 0 whatever the slot
        {true, 1, 1, 2, 3, 3, 2, false, true},
        {true, 1, 1, 2, 3, 0, 0, false, false},    // a remote fighter reads no pad
        // The local entry names the entry, not the list place: an empty
        // entry before ours shifts the two apart.
        {true, 1, 1, 2, 3, 2, 0, false, false},
        {true, 0, 0, 2, 3, 0, 2, false, true},     // pad input off: vibration still copied
    };
    for (const auto& k : cases) {
        for (u32 i = 0; i < 4; ++i) {
            *input.GetInputState(i) = InputState{};
            input.GetInputState(i)->vibrationDecay = 77;
        }
        input.GetInputState(k.pad)->held[25] = 1;
        scene_.input = k.manager ? &input : nullptr;
        scene_.localSlot = k.localSlot;
        CPlayerCharacter c;
        CharacterCreateRecord record;
        record.participantSlot = k.slot;
        record.entryIndex = k.entry;
        record.network = k.network;
        record.padInput = k.padInput;
        c.Create(&record);
        c.GetInput().vibrationLeft = 30000;
        c.GetInput().vibrationRight = 45000;
        EXPECT_EQ(c.Update(0), 1);
        EXPECT_EQ(c.GetInput().held[25], k.applied ? 1u : 0u) << &k - cases;
        const InputState& pad = *input.GetInputState(k.network ? 0 : k.slot);
        EXPECT_EQ(pad.vibrationRight, k.vibration ? 45000 : 0) << &k - cases;
        EXPECT_EQ(c.GetInput().vibrationDecay, k.vibration ? 77 : 0) << &k - cases;
    }
}

}  // namespace ORV_TEST_FILE_ID

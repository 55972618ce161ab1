// The key configuration pages: keys and buttons captured in the idle step,
// swaps, refusals and the defaults.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <vector>

namespace tool_test {
namespace ORV_TEST_FILE_ID {

namespace {

namespace dlg = host::dialog;
namespace win = host::window;
namespace key = host::input::key;

constexpr u32 kKeyboard = 0, kController = 1;

class KeyConfigTest : public ToolTest {
protected:
    u32* Keyboard() const { return app->GetConfig()->GetKeyConfigSection()->keyboard; }
    u32* Pad(u32 player) const { return app->GetConfig()->GetKeyConfigSection()->pads[player].button; }
    // Down for one idle step, let go in the next.
    void Tap(u8 code) { input.SetKey(code, true), Frame(), input.SetKey(code, false), Frame(); }
    void Press(int button) { input.SetButton(stick, button, true), Frame(), input.SetButton(stick, button, false), Frame(); }
    std::string KeyText(i32 row) const { return Text(KeyItem(kKeyboard, kKeyEdit + row)); }
    std::string PadText(i32 row) const { return Text(KeyItem(kController, kPadEdit + row)); }

    int stick = input.PlugJoystick();
};

TEST_F(KeyConfigTest, KeysAreCapturedSwappedAndRefused)
{
    WriteConfig([](CSaveConfig& c) { c.GetKeyConfigSection()->keyboard[23] = key::F; });
    ASSERT_TRUE(Start());
    ShowKeyTab(0);
    EXPECT_EQ(KeyText(23), "F");
    for (i32 row : {3, 9, 13}) EXPECT_FALSE(win::IsWindowVisible(KeyItem(kKeyboard, kKeyEdit + row))) << row;
    EXPECT_FALSE(dialogs.Type(KeyItem(kKeyboard, kKeyEdit + 4), "X"));   // read-only
    // Nothing focused yet: row 0, hidden, takes the first key; the focus
    // then skips the hidden rows.
    Tap(key::P);
    Tap(key::O);
    EXPECT_EQ(Keyboard()[0], key::P);
    EXPECT_EQ(Keyboard()[1], key::O);
    EXPECT_EQ(app->GetSelectedRow(), 4);
    // A key another row holds is swapped between the two.
    ASSERT_TRUE(dialogs.Focus(KeyItem(kKeyboard, kKeyEdit + 6)));
    Tap(key::Z);
    EXPECT_EQ(KeyText(14), "LEFT");
    // Esc and the F keys are never taken; a held key counts once.
    for (u8 code : {key::Escape, key::F1, key::F12}) Tap(code);
    EXPECT_EQ(app->GetSelectedRow(), 7);
    input.SetKey(key::K, true);
    for (int i = 0; i < 3; ++i) Frame();
    EXPECT_EQ(Keyboard()[7], key::K);
    EXPECT_EQ(app->GetSelectedRow(), 14);
    EXPECT_EQ(Keyboard()[14], key::Left);
    // Away from its page the capture does not run.
    input.SetKey(key::K, false);
    ShowTab(0);
    Tap(key::J);
    EXPECT_EQ(Keyboard()[14], key::Left);

    const std::string expected = ExpectedBytes([](CSaveConfig& c) { c.SetDefaultKeyboard(); });
    ShowKeyTab(0);
    ASSERT_TRUE(dialogs.Click(KeyItem(kKeyboard, kKeyDefault)));
    EXPECT_EQ(KeyText(22), "RETURN");
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(KeyConfigTest, ButtonsAreCapturedPerPlayer)
{
    WriteConfig([](CSaveConfig& c) {
        c.GetKeyConfigSection()->pads[2].button[14] = 30;
        c.GetKeyConfigSection()->pads[2].controller = 1;
    });
    input.PlugJoystick({"２台目", 1, 2, 0xFF, 1, 32});
    ASSERT_TRUE(Start());
    ShowKeyTab(1);
    const Handle players = KeyItem(kController, kPlayer);
    const Handle devices = KeyItem(kController, kPadDevice);
    const InputState& slot = *app->GetInputManager()->GetInputState(0);
    EXPECT_EQ(PadText(14), "BUTTON1");
    // A button no row uses goes to the row; one a row has swaps the two.
    Press(20);
    EXPECT_EQ(Pad(0)[0], 32u);
    EXPECT_EQ(PadText(0), "BUTTON21");
    EXPECT_EQ(slot.padAssignment[0], 32u);
    ASSERT_TRUE(dialogs.Focus(KeyItem(kController, kPadEdit + 16)));
    Press(0);   // BUTTON1, row 14's
    EXPECT_EQ(Pad(0)[16], 14u);
    EXPECT_EQ(Pad(0)[14], 16u);
    EXPECT_EQ(PadText(14), "BUTTON3");
    EXPECT_EQ(app->GetSelectedRow(), 17);

    // Another player shows its codes and its controller.
    ASSERT_TRUE(dialogs.Choose(players, 2));
    EXPECT_EQ(PadText(14), "BUTTON19");
    EXPECT_EQ(dlg::GetSelection(devices), 1);
    EXPECT_EQ(slot.joystickSlot, 1);
    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        c.GetKeyConfigSection()->pads[0].button[0] = 32;
        std::swap(c.GetKeyConfigSection()->pads[0].button[14], c.GetKeyConfigSection()->pads[0].button[16]);
        c.GetKeyConfigSection()->pads[2].controller = 0;
        c.SetDefaultPad(3);
        c.GetKeyConfigSection()->pads[3].controller = 1;
    });
    ASSERT_TRUE(dialogs.Choose(devices, 0));
    ASSERT_TRUE(dialogs.Choose(players, 3));   // defaults for the player shown only
    ASSERT_TRUE(dialogs.Click(KeyItem(kController, kPadDefault)));
    ASSERT_TRUE(dialogs.Choose(devices, 1));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

// A button no row holds goes to the row under the code the game reads from
// that very button (BUTTON5 to BUTTON8's codes are not in button order),
// named after it; pressed again, the game's slot sees the row go down.
TEST_F(KeyConfigTest, ARawButtonGetsTheCodeTheGameReadsFromIt)
{
    const struct {
        int button;
        u32 code;
        const char* name;
    } cases[] = {
        {0, 14, "BUTTON1"}, {3, 17, "BUTTON4"}, {4, 19, "BUTTON5"}, {5, 21, "BUTTON6"}, {6, 18, "BUTTON7"},
        {7, 20, "BUTTON8"}, {9, 23, "BUTTON10"}, {10, 8, "LS_PUSH"}, {11, 13, "RS_PUSH"}, {12, 24, "BUTTON13"},
    };
    // Every row holding a button's code moved to a code no case presses.
    WriteConfig([](CSaveConfig& c) {
        u32 spare = 36;
        for (u32& code : c.GetKeyConfigSection()->pads[0].button)
            if (code == 8 || (code >= 13 && code <= 24)) code = spare++;
    });
    ASSERT_TRUE(Start());
    ShowKeyTab(1);
    constexpr i32 kRow = 16;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(dialogs.Focus(KeyItem(kController, kPadEdit + kRow)));
        Press(c.button);
        EXPECT_EQ(Pad(0)[kRow], c.code);
        EXPECT_EQ(PadText(kRow), c.name);
        input.SetButton(stick, c.button, true), Frame();
        EXPECT_TRUE(app->GetInputManager()->IsTriggered(0, kInputCodeAssignable + kRow));
        input.SetButton(stick, c.button, false), Frame();
    }
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace tool_test

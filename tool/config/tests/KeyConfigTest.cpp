// The key configuration pages: rows focused by the user, keys and buttons
// captured in the idle step, swaps, refusals and the defaults.
#include "tool/config/tests/ToolTestSupport.h"

#include "host/dialog/Dialog.h"

#include <vector>

namespace tool_test {
namespace {

namespace dlg = host::dialog;
namespace win = host::window;
namespace key = host::input::key;
using host::input::Axis;

constexpr u32 kKeyboard = 0, kController = 1;

class KeyConfigTest : public ToolTest {
protected:
    u32* Keyboard() const { return app->GetConfig()->GetKeyConfigSection()->keyboard; }
    u32* Pad(u32 player) const { return app->GetConfig()->GetKeyConfigSection()->pads[player].button; }
    // A key pressed for one idle step and let go in the next.
    void Tap(u8 code)
    {
        input.SetKey(code, true);
        Frame();
        input.SetKey(code, false);
        Frame();
    }
    void Button(int button, bool down)
    {
        input.SetButton(stick, button, down);
        Frame();
    }
    void FocusKey(i32 row) { ASSERT_TRUE(dialogs.Focus(KeyItem(kKeyboard, kKeyEdit + row))); }
    void FocusPad(i32 row) { ASSERT_TRUE(dialogs.Focus(KeyItem(kController, kPadEdit + row))); }
    std::string KeyText(i32 row) const { return Text(KeyItem(kKeyboard, kKeyEdit + row)); }
    std::string PadText(i32 row) const { return Text(KeyItem(kController, kPadEdit + row)); }

    int stick = input.PlugJoystick();
};

TEST_F(KeyConfigTest, KeyboardPageShowsEveryRow)
{
    WriteConfig([](CSaveConfig& c) { c.GetKeyConfigSection()->keyboard[23] = key::F; });
    ASSERT_TRUE(Start());
    ShowKeyTab(0);
    const char* labels[] = {"使用しない", "使用しない", "使用しない", "使用しない", "移動上", "移動下", "移動左", "移動右",
        "カメラ正面", "使用しない", "使用しない", "使用しない", "使用しない", "使用しない", "スライド/決定",
        "ガード/キャンセル", "射撃", "近接攻撃", "ロック変更", "上昇", "トリガー", "下降", "メニュー/スタート", "命令変更"};
    const char* names[] = {"NUMPAD2", "NUMPAD8", "NUMPAD4", "NUMPAD6", "UP", "DOWN", "LEFT", "RIGHT", "W", "NUMPAD1",
        "NUMPAD3", "NUMPAD7", "NUMPAD9", "NUMPAD5", "Z", "V", "X", "C", "Q", "S", "A", "D", "RETURN", "F"};
    for (i32 row = 0; row < 24; ++row) {
        const bool hidden = row <= 3 || (row >= 9 && row <= 13);
        EXPECT_EQ(Text(KeyItem(kKeyboard, kKeyLabel + row)), labels[row]) << row;
        EXPECT_EQ(KeyText(row), names[row]) << row;
        EXPECT_EQ(win::IsWindowVisible(KeyItem(kKeyboard, kKeyEdit + row)), !hidden) << row;
        EXPECT_EQ(win::IsWindowEnabled(KeyItem(kKeyboard, kKeyEdit + row)), !hidden) << row;
        EXPECT_FALSE(dialogs.Type(KeyItem(kKeyboard, kKeyEdit + row), "X")) << row;   // read-only
    }
}

TEST_F(KeyConfigTest, KeysAreCapturedSwappedAndRefused)
{
    ASSERT_TRUE(Start());
    ShowKeyTab(0);
    // Nothing focused yet: row 0, hidden, takes the first key, then row 1.
    Tap(key::P);
    EXPECT_EQ(Keyboard()[0], key::P);
    EXPECT_EQ(app->GetSelectedRow(), 1);
    Tap(key::O);
    EXPECT_EQ(Keyboard()[1], key::O);
    EXPECT_EQ(app->GetSelectedRow(), 4);
    EXPECT_EQ(win::GetFocus(), KeyItem(kKeyboard, kKeyEdit + 4));

    // The key the row already has moves the focus on and changes nothing.
    FocusKey(5);
    EXPECT_EQ(app->GetSelectedRow(), 5);
    Tap(key::Down);
    EXPECT_EQ(Keyboard()[5], key::Down);
    EXPECT_EQ(app->GetSelectedRow(), 6);

    // A key another row holds is swapped between the two.
    Tap(key::Z);
    EXPECT_EQ(Keyboard()[6], key::Z);
    EXPECT_EQ(Keyboard()[14], key::Left);
    EXPECT_EQ(KeyText(6), "Z");
    EXPECT_EQ(KeyText(14), "LEFT");
    EXPECT_EQ(app->GetSelectedRow(), 7);

    // Esc and F1 to F12 are never taken.
    for (u8 code : {key::Escape, key::F1, key::F5, key::F10, key::F11, key::F12}) {
        Tap(code);
        EXPECT_EQ(app->GetSelectedRow(), 7) << int(code);
    }
    EXPECT_EQ(Keyboard()[7], key::Right);

    // Held down, a key counts once.
    input.SetKey(key::K, true);
    Frame();
    Frame();
    Frame();
    input.SetKey(key::K, false);
    EXPECT_EQ(Keyboard()[7], key::K);
    EXPECT_EQ(app->GetSelectedRow(), 14);
    EXPECT_EQ(Keyboard()[14], key::Left);

    // Enter is a key like the others here, not the save button.
    TakeBoxes();
    ASSERT_TRUE(dialogs.Focus(KeyItem(kKeyboard, kKeyEdit + 14)));
    EXPECT_FALSE(dialogs.PressEnter(app->GetMainWindow()));
    Tap(key::Return);
    EXPECT_EQ(Keyboard()[14], key::Return);
    EXPECT_EQ(Keyboard()[22], key::Left);
    EXPECT_TRUE(TakeBoxes().empty());

    // The return values.
    app->GetInputManager()->Update();
    EXPECT_EQ(app->CaptureKeyboardKey(), 1);   // nothing pressed
    input.SetKey(key::Escape, true);
    app->GetInputManager()->Update();
    EXPECT_EQ(app->CaptureKeyboardKey(), 0);
    input.SetKey(key::Escape, false);
}

TEST_F(KeyConfigTest, TheCaptureRunsOnlyWhileItsPageIsInFront)
{
    ASSERT_TRUE(Start());
    EXPECT_FALSE(dialogs.Focus(KeyItem(kKeyboard, kKeyEdit + 4)));   // the tab is not in front
    ShowKeyTab(0);
    FocusKey(4);
    ShowTab(0);
    Tap(key::J);
    EXPECT_EQ(Keyboard()[4], key::Up);
    EXPECT_EQ(app->GetSelectedRow(), 4);
    // The controller page reads the pads, not the keyboard: a key assigned
    // to a keyboard row does not reach the pad rows either.
    ShowKeyTab(1);
    Tap(key::J);
    Tap(key::Up);
    EXPECT_EQ(Keyboard()[4], key::Up);
    for (u32 row = 0; row < 24; ++row) EXPECT_EQ(Pad(0)[row], row);
    EXPECT_EQ(app->GetSelectedRow(), 4);
}

TEST_F(KeyConfigTest, KeyboardDefaults)
{
    WriteConfig([](CSaveConfig& c) {
        for (u32& code : c.GetKeyConfigSection()->keyboard) code = key::B;
        c.GetKeyConfigSection()->pads[0].button[3] = 40;
    });
    ASSERT_TRUE(Start());
    ShowKeyTab(0);
    EXPECT_EQ(KeyText(22), "B");
    const std::string expected = ExpectedBytes([](CSaveConfig& c) { c.SetDefaultKeyboard(); });
    ASSERT_TRUE(dialogs.Click(KeyItem(kKeyboard, kKeyDefault)));
    EXPECT_EQ(KeyText(22), "RETURN");
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(KeyConfigTest, ControllerPageShowsThePlayersAssignment)
{
    WriteConfig([](CSaveConfig& c) {
        c.GetKeyConfigSection()->pads[2].button[14] = 30;
        c.GetKeyConfigSection()->pads[2].controller = 1;
        c.GetKeyConfigSection()->pads[0].button[15] = 99;   // no such input
    });
    input.PlugJoystick({"２台目", 1, 2, 0xFF, 1, 32});
    ASSERT_TRUE(Start());
    ShowKeyTab(1);
    const Handle players = KeyItem(kController, kPlayer);
    const Handle devices = KeyItem(kController, kPadDevice);
    EXPECT_EQ(dlg::ItemCount(players), 4);
    EXPECT_EQ(dlg::ItemText(players, 3), "4P");
    EXPECT_EQ(dlg::GetSelection(players), 0);
    ASSERT_EQ(dlg::ItemCount(devices), 2);
    EXPECT_EQ(dlg::ItemText(devices, 0), "Fake Joystick");
    EXPECT_EQ(dlg::ItemText(devices, 1), "２台目");
    EXPECT_EQ(dlg::GetSelection(devices), 0);
    EXPECT_EQ(PadText(14), "BUTTON1");
    EXPECT_EQ(PadText(8), "LS_PUSH");
    EXPECT_EQ(PadText(15), "");
    for (i32 row = 0; row < 24; ++row) {
        const bool hidden = row <= 7 || (row >= 9 && row <= 13);
        EXPECT_EQ(win::IsWindowVisible(KeyItem(kController, kPadEdit + row)), !hidden) << row;
    }
    const InputState& slot = *app->GetInputManager()->GetInputState(0);
    EXPECT_EQ(slot.padAssignment[15], 99u);
    EXPECT_EQ(slot.xinputPadAssignment[15], 99u);

    // Another player: its codes and its controller.
    ASSERT_TRUE(dialogs.Choose(players, 2));
    EXPECT_EQ(app->GetSelectedPlayer(), 2);
    EXPECT_EQ(PadText(14), "BUTTON19");
    EXPECT_EQ(dlg::GetSelection(devices), 1);
    EXPECT_EQ(slot.joystickSlot, 1);
    EXPECT_EQ(slot.padAssignment[14], 30u);

    const std::string expected = ExpectedBytes([](CSaveConfig& c) {
        c.GetKeyConfigSection()->pads[2].controller = 0;
        c.SetDefaultPad(3);
        c.GetKeyConfigSection()->pads[3].controller = 1;
    });
    ASSERT_TRUE(dialogs.Choose(devices, 0));
    EXPECT_EQ(slot.joystickSlot, 0);
    // Defaults for the player shown only.
    ASSERT_TRUE(dialogs.Choose(players, 3));
    ASSERT_TRUE(dialogs.Click(KeyItem(kController, kPadDefault)));
    EXPECT_EQ(dlg::GetSelection(devices), -1);   // controller 3 is not there
    ASSERT_TRUE(dialogs.Choose(devices, 1));
    Save();
    EXPECT_EQ(ConfigBytes(), expected);
}

TEST_F(KeyConfigTest, ButtonsAreCapturedSwappedAndRefused)
{
    ASSERT_TRUE(Start());
    ShowKeyTab(1);
    const InputState& slot = *app->GetInputManager()->GetInputState(0);
    // Nothing focused: a button no row uses goes to row 0, then row 1.
    Button(20, true);   // BUTTON13 + 8
    EXPECT_EQ(Pad(0)[0], 32u);
    EXPECT_EQ(PadText(0), "BUTTON21");
    EXPECT_EQ(slot.padAssignment[0], 32u);
    EXPECT_EQ(slot.xinputPadAssignment[0], 32u);
    EXPECT_EQ(app->GetSelectedRow(), 1);
    Button(20, true);   // still held: nothing more
    Button(20, false);
    EXPECT_EQ(Pad(0)[1], 1u);
    Button(11, true);   // the right stick's push
    Button(11, false);
    EXPECT_EQ(Pad(0)[1], 13u);
    EXPECT_EQ(app->GetSelectedRow(), 14);

    // A button a row already has: the two rows swap.
    FocusPad(16);
    Button(0, true);   // BUTTON1, row 14's
    Button(0, false);
    EXPECT_EQ(Pad(0)[16], 14u);
    EXPECT_EQ(Pad(0)[14], 16u);
    EXPECT_EQ(PadText(16), "BUTTON1");
    EXPECT_EQ(PadText(14), "BUTTON3");
    EXPECT_EQ(app->GetSelectedRow(), 17);
    // The row's own button moves the focus on.
    Button(3, true);   // BUTTON4, row 17's
    Button(3, false);
    EXPECT_EQ(Pad(0)[17], 17u);
    EXPECT_EQ(app->GetSelectedRow(), 19);

    // A stick on a movement row does nothing.
    input.SetAxis(stick, Axis::X, -1000);
    Frame();
    input.SetAxis(stick, Axis::X, 0);
    Frame();
    EXPECT_EQ(app->GetSelectedRow(), 19);
    for (u32 row : {4u, 5u, 6u, 7u, 19u}) EXPECT_EQ(Pad(0)[row], row == 19 ? 19u : row);

    // The selected row is shared with the keyboard page: after rows 4 to 6
    // a swap moves on to row 8, after row 7 to row 14.
    struct Shared {
        i32 row;
        int button;
        u32 code;
        i32 next;
    } shared[] = {
        {5, 1, 15, 8},    // BUTTON2, row 15's
        {7, 2, 16, 14},   // BUTTON3, row 14's since the swap above
    };
    for (const Shared& c : shared) {
        ShowKeyTab(0);
        FocusKey(c.row);
        ShowKeyTab(1);
        Button(c.button, true);
        Button(c.button, false);
        EXPECT_EQ(app->GetSelectedRow(), c.next) << c.row;
        EXPECT_EQ(Pad(0)[c.row], c.code) << c.row;
    }
}

}  // namespace
}  // namespace tool_test

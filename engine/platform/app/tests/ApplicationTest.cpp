// The application base on fake services: what Init makes and Exit releases,
// the window procedure's routing message by message, and the entry's loop
// run with a test application until its window closes.
#include "engine/platform/app/tests/AppTestSupport.h"

#include "engine/core/Random.h"
#include "engine/graphics/GraphicDevice.h"
#include "engine/platform/ComHolder.h"
#include "engine/platform/FrameTime.h"
#include "engine/platform/Input.h"
#include "engine/platform/Sound.h"
#include "engine/platform/app/ImeInput.h"
#include "host/text/FakeText.h"

#include <algorithm>
#include <tuple>
#include <vector>

namespace app_test {
namespace ORV_TEST_FILE_ID {

namespace {

namespace text = host::text;

// The window procedure of an application that is not the process's.
CApplicationMain* g_direct = nullptr;

win::LResult Forward(win::Handle window, uint32_t message, win::WParam wParam, win::LParam lParam)
{
    return g_direct ? g_direct->WindowProc(window, message, wParam, lParam)
                    : win::DefWindowProc(window, message, wParam, lParam);
}

// Takes every message it is shown, or none.
class SpyIme : public CImeInput {
public:
    i32 HandleMessage(win::Handle window, u32 message, win::WParam wParam, win::LParam lParam) override
    {
        seen.push_back(message);
        return takeAll ? 1 : CImeInput::HandleMessage(window, message, wParam, lParam);
    }
    std::vector<u32> seen;
    bool takeAll = true;
};

class ApplicationTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        g_direct = &app_;
    }
    void TearDown() override
    {
        g_direct = nullptr;
        app_.Exit();
        AppTest::TearDown();
    }
    void InitApp() { ASSERT_EQ(app_.Init(GetModuleInstance(), Forward), 1); }
    win::Handle MainWindow() const { return app_.GetSystem()->GetWindowHandle(); }

    TestApp app_;
};

TEST_F(ApplicationTest, InitMakesTheWindowAndEveryServiceAndExitReleasesThemTwice)
{
    InitApp();
    EXPECT_EQ(boxes_.Boxes().size(), 0u);
    EXPECT_EQ(win::GetClientRect(MainWindow()), (win::Rect{0, 0, 1024, 768}));
    EXPECT_EQ(win::GetWindowText(MainWindow()), "Cendrava");
    EXPECT_TRUE(window_.CursorVisible());   // hidden by the window, shown again

    ASSERT_NE(app_.GetDevice(), nullptr);
    EXPECT_EQ(GetGraphicDevice(), app_.GetDevice());
    EXPECT_EQ(GetSoundDeviceGlobal(), app_.GetSound());
    ASSERT_NE(GetComHolder(), nullptr);
    EXPECT_EQ(GetFrameTimer().interval, 16u);

    // Seeded from the clock as it was at the end of Init.
    const RandomState seeded = g_randomState;
    SeedRandom(host::kernel::TimeGetTime());
    EXPECT_EQ(std::tie(seeded.x, seeded.y, seeded.z, seeded.w),
              std::tie(g_randomState.x, g_randomState.y, g_randomState.z, g_randomState.w));

    // Update polls the input.
    input_.SetKey(0x1E, true);
    app_.Update();
    EXPECT_EQ(app_.GetInput()->IsKeyDown(0x1E), 1u);

    // Twice, then the per-frame operations with nothing left.
    EXPECT_EQ(app_.Exit(), 1);
    EXPECT_EQ(app_.GetInput(), nullptr);
    EXPECT_EQ(GetComHolder(), nullptr);
    EXPECT_EQ(GetFrameTimer().window, nullptr);
    EXPECT_EQ(app_.Exit(), 1);
    EXPECT_EQ(app_.Update(), 1);
    EXPECT_EQ(app_.Draw(), 1);
}

TEST_F(ApplicationTest, DrawPresentsAnEmptyFrameWithTheThreeDStates)
{
    InitApp();
    render_.ClearLog();
    EXPECT_EQ(app_.Draw(), 1);
    EXPECT_TRUE(render_.HasSequence({host::render::CallMatch("BeginScene"), host::render::CallMatch("Clear"),
                                     host::render::CallMatch("EndScene"), host::render::CallMatch("Present")}));
    EXPECT_EQ(render_.Count("DrawPrimitiveUP"), 0u);
    // A frame that cannot begin still answers 1.
    render_.FailCall("BeginScene", 1, host::render::Result::InvalidCall, 2);
    EXPECT_EQ(app_.Draw(), 1);
}

TEST_F(ApplicationTest, TheWindowProcedureRoutesEachMessageByItsRule)
{
    InitApp();
    DrainForQuit();
    // The log is what the application was made to do.
    struct Row { const char* what; u32 message; win::WParam wParam; win::LParam lParam; win::LResult result; const char* log; bool quits; };
    const win::LParam alt = win::kKeyAltDown;
    const Row rows[] = {
        {"device lost", 0x401, 0, 0, 0, "L", false},
        {"device reset", 0x402, 0, 0, 0, "R", false},
        {"screen saver refused", win::kWmSysCommand, win::kScScreenSave, 0, 1, "", false},
        {"other system command", win::kWmSysCommand, 0xF020, 0, 0, "", false},
        {"close", win::kWmClose, 0, 0, 0, "", true},
        {"destroy", win::kWmDestroy, 0, 0, 0, "", true},
        {"Alt down", win::kWmSysKeyDown, win::kVkMenu, alt, 0, "", false},
        {"F10 down", win::kWmSysKeyDown, win::kVkF10, 0, 0, "", false},
        {"F12 up", win::kWmSysKeyUp, win::kVkF12, alt, 0, "", false},
        // Other system keys get the default handling: Alt+F4 closes.
        {"Alt+F4", win::kWmSysKeyDown, win::kVkF4, alt, 0, "", true},
        {"Alt+X", win::kWmSysKeyDown, 'X', alt, 0, "", false},
        {"WM_USER+3", 0x403, 0, 0, 0, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        g_record.log.clear();
        EXPECT_EQ(win::SendMessage(MainWindow(), row.message, row.wParam, row.lParam), row.result);
        EXPECT_EQ(g_record.log, row.log);
        EXPECT_EQ(DrainForQuit(), row.quits);
        // Closing asks the loop to end; the window stays until it is deleted.
        EXPECT_TRUE(win::IsWindow(MainWindow()));
    }
}

TEST_F(ApplicationTest, AnImeThatTakesAMessageHidesItFromEveryLaterRule)
{
    InitApp();
    DrainForQuit();
    SpyIme ime;
    app_.SetImeInput(&ime);
    const u32 messages[] = {0x401, 0x402, win::kWmClose, win::kWmDestroy, win::kWmSysCommand, win::kWmSysKeyDown};
    for (u32 message : messages) {
        const win::WParam wParam = message == win::kWmSysCommand ? win::kScScreenSave : win::kVkF4;
        EXPECT_EQ(app_.WindowProc(MainWindow(), message, wParam, win::kKeyAltDown), 0) << message;
    }
    EXPECT_EQ(ime.seen, std::vector<u32>(std::begin(messages), std::end(messages)));
    EXPECT_EQ(g_record.log, "");
    EXPECT_FALSE(DrainForQuit());

    // Taking nothing, it lets them all through.
    ime.takeAll = false;
    EXPECT_EQ(app_.WindowProc(MainWindow(), 0x401, 0, 0), 0);
    EXPECT_EQ(app_.WindowProc(MainWindow(), win::kWmSysCommand, win::kScScreenSave, 0), 1);
    EXPECT_EQ(g_record.log, "L");
    app_.SetImeInput(nullptr);
}

class EntryTest : public AppTest {
protected:
    static win::Handle MainWindow() { return GetApplication()->GetSystem()->GetWindowHandle(); }
};

TEST_F(EntryTest, TheLoopUpdatesAndDrawsUntilTheWindowIsClosed)
{
    u32 firstFrameMs = 0, lastFrameMs = 0;
    size_t presentsBefore = 0;
    g_record.onUpdate = [&](int frame) {
        lastFrameMs = host::kernel::TimeGetTime();
        if (frame == 1) {
            firstFrameMs = lastFrameMs;
            presentsBefore = render_.Count("Present");
            EXPECT_STREQ(GetApplication()->GetClassName(), "CApplicationMain");
        }
        if (frame == 5) window_.Close(MainWindow());   // its quit ends the loop at the next peek
    };
    EXPECT_EQ(WinMain(&TestApp::Make, GetModuleInstance()), 0);
    // Exit from the entry, then once more from the destructor.
    EXPECT_EQ(g_record.log, "UDUDUDUDUDXX~");
    EXPECT_EQ(GetApplication(), nullptr);
    // Without a wait in between, and one frame presented per pass.
    EXPECT_EQ(lastFrameMs, firstFrameMs);
    EXPECT_EQ(render_.Count("Present") - presentsBefore, 5u);
    EXPECT_EQ(GetGraphicDevice(), nullptr);
}

TEST_F(EntryTest, MessagesAreTranslatedAndDispatchedBeforeTheNextFrame)
{
    CImeInput* ime = nullptr;
    std::string typed;
    text::InstallFakeIme();
    g_record.onUpdate = [&](int frame) {
        if (frame == 1) {
            ime = new CImeInput();
            ime->Create(kImeBufferSize);
            ime->Enable(1);
            GetApplication()->SetImeInput(ime);
            window_.KeyDown(MainWindow(), 'H', "h");
            window_.KeyDown(MainWindow(), 'I', "i");
        }
        if (frame == 2) {
            typed = ime->GetTextString();
            GetApplication()->SetImeInput(nullptr);
            win::PostQuitMessage(0);
        }
    };
    EXPECT_EQ(WinMain(&TestApp::Make, GetModuleInstance()), 0);
    EXPECT_EQ(typed, "hi");
    delete ime;
}

// The quit message's code is what the entry returns: a failure that ends
// the program ends it with a failure status.
TEST_F(EntryTest, TheEntryReturnsTheQuitCode)
{
    for (const int code : {0, 1, 3}) {
        g_record.log.clear();
        const int start = g_record.frames;
        g_record.onUpdate = [&](int frame) {
            if (frame == start + 2) win::PostQuitMessage(code);
        };
        EXPECT_EQ(WinMain(&TestApp::Make, GetModuleInstance()), code);
        EXPECT_EQ(GetApplication(), nullptr);
    }
}

TEST_F(EntryTest, TheDeviceMessagesOfAResetReachTheApplication)
{
    g_record.onUpdate = [&](int frame) {
        if (frame == 1) render_.SimulateLoss(1);
        if (frame == 6) win::PostQuitMessage(0);
    };
    EXPECT_EQ(WinMain(&TestApp::Make, GetModuleInstance()), 0);
    // Once lost and reset, between frames.
    std::string frames = g_record.log;
    const size_t lost = frames.find("LR");
    ASSERT_NE(lost, std::string::npos) << frames;
    EXPECT_EQ(frames.erase(lost, 2), "UDUDUDUDUDUDXX~");
}

TEST_F(EntryTest, AFailedInitDeletesTheApplicationWithoutExitAndAnswersMinusOne)
{
    // The box is shown by the failing component; null: none.
    struct Row { const char* step; std::function<void(win::FakeWindow&, host::render::FakeRender&)> arrange; const char* box; };
    const Row rows[] = {
        {"window", [](win::FakeWindow& w, host::render::FakeRender&) { w.FailCreate(); }, nullptr},
        {"graphics", [](win::FakeWindow&, host::render::FakeRender& r) { r.SetApiAvailable(false); },
         "Direct3Dオブジェクトの生成に失敗しました"},
        {"device", [](win::FakeWindow&, host::render::FakeRender& r) {
             namespace render = host::render;
             for (u32 type : {render::kDeviceHal, render::kDeviceRef})
                 for (u32 processing : {render::kCreateMixedVertexProcessing, render::kCreateHardwareVertexProcessing,
                                        render::kCreateSoftwareVertexProcessing})
                     r.SetCreateDeviceResult(type, processing | render::kCreateMultithreaded,
                                             render::Result::NotAvailable);
         },
         "Direct3Dデバイスの生成に失敗しました"},
        {"sound", [this](win::FakeWindow&, host::render::FakeRender&) {
             sound_.FailNext(host::sound::Call::CreateDevice, host::sound::Result::Failed);
         },
         "DirectSound8オブジェクトの生成に失敗しました"},
        {"input", [this](win::FakeWindow&, host::render::FakeRender&) {
             input_.Fail(host::input::Call::CreateInput, host::input::FakeBackend::kAnyDevice,
                         host::input::Result::Failed, 1);
         },
         "DirectInput8オブジェクトの生成に失敗しました"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.step);
        win::FakeWindow& window = win::InstallFakeWindow();
        host::kernel::FakeMessageBox boxes;
        host::render::FakeRender& render = host::render::InstallFakeRender();
        row.arrange(window, render);
        g_record = Record{};
        EXPECT_EQ(WinMain(&TestApp::Make, GetModuleInstance()), -1);
        // Deleted without any Exit.
        EXPECT_EQ(g_record.log, "~");
        EXPECT_EQ(GetApplication(), nullptr);
        EXPECT_EQ(GetGraphicDevice(), nullptr);
        EXPECT_EQ(GetComHolder(), nullptr);
        std::vector<std::string> texts;
        for (const auto& box : boxes.Boxes()) texts.push_back(box.text);
        EXPECT_EQ(texts, row.box ? std::vector<std::string>{row.box} : std::vector<std::string>{});
        sound_.ClearFailures();
        input_.ClearFailures();
    }
}

TEST_F(EntryTest, NoApplicationMeansNoLoop)
{
    EXPECT_EQ(WinMain(nullptr, GetModuleInstance()), -1);
    EXPECT_EQ(WinMain([]() -> CApplicationMain* { return nullptr; }, GetModuleInstance()), -1);
}

TEST_F(EntryTest, TheMainWindowProcedureWithoutAnApplicationTakesTheDefaults)
{
    win::WindowDesc desc;
    desc.width = desc.height = 100;
    desc.proc = MainWndProc;
    const win::Handle window = win::CreateWindow(desc);
    ASSERT_NE(window, nullptr);
    // The default handling destroys a closed window; its destruction ends the loop.
    EXPECT_EQ(win::SendMessage(window, win::kWmClose, 0, 0), 0);
    EXPECT_FALSE(win::IsWindow(window));
    EXPECT_TRUE(DrainForQuit());
}

}  // namespace

}  // namespace ORV_TEST_FILE_ID
}  // namespace app_test

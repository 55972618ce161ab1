// orv_net_player: the game as its entry runs it (the network scene
// registered for the title's Network item), headless but on the real clock
// and the real network backend, played by a script. A test program, never
// installed.
//
//   orv_net_player --data ROOT --bind 127.A.B.C --script FILE --log FILE
//                  --hashes FILE [--server ADDRESS --server-port N]
//
// TEMP and HOME come from the environment (the test's own folders, with
// the GameConfig.dat it wrote). The window, the render device, the fonts
// and the message boxes are the fakes; the keyboard is the script's. Every
// network socket is bound to --bind, and the lobby server is the one given.
// Each battle frame's state hash goes to --hashes as
//   <frame> <hash> <object>=<running hash> ...   (spaces in names as '_')
// and each step, scene change and battle end to --log. A step that times
// out is logged and the program ends with status 2.
#include "engine/core/Scene.h"
#include "engine/platform/app/ImeInput.h"
#include "game/battle/scene/BattleConsole.h"
#include "game/battle/scene/BattleLockstep.h"
#include "game/battle/scene/BattleResults.h"
#include "game/battle/scene/BattleScene.h"
#include "game/battle/scene/MenuConsole.h"
#include "game/data/SaveConfig.h"
#include "game/network/LobbyClient.h"
#include "game/network/LobbyScreenSet.h"
#include "game/network/NetworkScene.h"
#include "game/network/tests/process/PlayerScript.h"
#include "game/scenes/GameApp.h"
#include "game/scenes/MenuScene.h"
#include "game/scenes/NetworkHost.h"
#include "host/input/Input.h"
#include "host/kernel/FakeMessageBox.h"
#include "host/kernel/Kernel.h"
#include "host/net/Net.h"
#include "host/render/FakeRender.h"
#include "host/sound/Sound.h"
#include "host/text/FakeText.h"
#include "host/window/FakeWindow.h"
#include "host/window/Messages.h"
#include "host/window/Window.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using net_player::Step;

struct Args {
    std::string data, bind, server = "127.0.0.1", script, log, hashes;
    u16 serverPort = 9;
};

Args g_args;
u32 g_bind = 0;
std::unique_ptr<host::net::Net> g_net;

CScene* MakeNetworkScene()
{
    netscene::NetworkSceneOptions options;
    options.net = g_net.get();
    options.serverHost = g_args.server;
    options.serverPort = g_args.serverPort;
    // No gateway is searched beyond this address.
    options.discovery = host::net::Endpoint{g_bind, 9};
    return new CNetworkScene(options);
}

host::window::LResult Procedure(host::window::Handle window, u32 message, host::window::WParam wParam,
                                host::window::LParam lParam)
{
    if (message == host::window::kWmDestroy) {
        host::window::PostQuitMessage(0);
        return 0;
    }
    if (CGameApp* app = GetGameApp()) return app->WindowProc(window, message, wParam, lParam);
    return host::window::DefWindowProc(window, message, wParam, lParam);
}

// The real clock: nothing fakes it here.
u32 NowMs() { return host::kernel::TimeGetTime(); }

// The machine's clock, the same in every process (the test's NowMs), for
// the times one process's steps took against another's.
u32 MachineMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return u32(u64(t.tv_sec) * 1000 + u64(t.tv_nsec) / 1000000);
}

const std::map<std::string, u32> kButtons = {
    {"up", menu::kUp}, {"down", menu::kDown}, {"left", menu::kLeft}, {"right", menu::kRight},
    {"stick-up", menu::kStickUp}, {"stick-down", menu::kStickDown}, {"stick-left", menu::kStickLeft},
    {"stick-right", menu::kStickRight}, {"decide", menu::kDecide}, {"cancel", menu::kCancel},
    {"start", menu::kStart},
};
// Frames a key takes: down for one, up for the rest.
constexpr u32 kKeyFrames = 12;
// The keyboard's digit keys 0..9 (scan codes).
constexpr u8 kDigitKeys[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};

class Player {
public:
    explicit Player(FILE* log, FILE* hashes) : m_log(log), m_hashes(hashes)
    {
        host::input::SetBackend(&m_input);
        host::sound::SetNullOutput(&m_sound);
        host::render::DisplayMode desktop;
        desktop.width = 1920;
        desktop.height = 1080;
        desktop.format = host::render::kFormatX8R8G8B8;
        m_render.SetDesktopMode(desktop);
        m_render.SetLogging(false);   // nothing reads the calls
        host::kernel::SetCurrentDirectory(g_args.data + "/one");
        m_app = std::make_unique<CGameApp>(DataFolders{g_args.data + "/one", g_args.data + "/two"});
        m_started = m_app->Init(GetModuleInstance(), &Procedure) != 0;
        if (m_app->GetSystem()) m_window.Activate(m_app->GetSystem()->GetWindowHandle());
        Pump();
    }
    ~Player()
    {
        m_app.reset();
        host::sound::SetNullOutput(nullptr);
        host::input::SetBackend(nullptr);
        host::render::InstallBackend(nullptr);
    }

    bool Started() const { return m_started; }
    bool Quit() const { return m_quit; }

    // One frame as the entry's loop runs it; the application's Update
    // waits for the frame timer's tick on the real clock.
    void Frame()
    {
        if (m_quit || !m_started) return;
        m_app->Update();
        m_app->Draw();
        for (u8 key : m_release) m_input.SetKey(key, false);
        m_release.clear();
        ++m_frame;
        Pump();
        Note();
    }

    // Runs step: frames until its condition holds (false past its time),
    // then its action.
    bool Run(const Step& step)
    {
        const u32 start = NowMs();
        m_stepFrames = 0;
        // "press* decide": pressed every 10 frames until the condition holds.
        const bool repeat = !step.action.empty() && step.action.back() == '*';
        while (!Holds(step)) {
            if (m_quit || NowMs() - start > u32(step.seconds * 1000)) {
                Log("TIMEOUT line %u: %s %s (scene %s, child %s, screen %d, message %d, members %u)\n", step.line,
                    step.condition.c_str(), step.argument.c_str(), SceneName().c_str(), ChildName().c_str(),
                    Screen(), i32(Message()), Members());
                return false;
            }
            if (repeat && m_stepFrames % 10 == 0) {
                Step once = step;
                once.action.pop_back();
                if (!Act(once)) return false;
            }
            Frame();
            ++m_stepFrames;
        }
        if (repeat) return true;
        Log("step line %u at frame %u (%u ms): %s %s -> %s %s\n", step.line, m_frame, NowMs() - start,
            step.condition.c_str(), step.argument.c_str(), step.action.c_str(), step.text.c_str());
        return Act(step);
    }

    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        va_list args;
        va_start(args, format);
        std::vfprintf(m_log, format, args);
        va_end(args);
        std::fflush(m_log);
    }

    void DumpMembers()
    {
        CLobbyClient* client = Client();
        if (!client) return Log("members: no lobby\n");
        const RoomMemberTable table = client->GetMemberTableCopy();
        Log("members %d own %d host %d\n", table.count, client->GetOwnMemberIndex(), client->IsRoomHost());
        for (i32 i = 0; i < table.count && i < i32(lobby::kMaxMembers); ++i) {
            const RoomMember& m = table.members[i];
            Log("member %d %.24s %u %u %u\n", i, m.name, m.results[0], m.results[1], m.results[2]);
        }
    }

private:
    CNetworkScene* Network() const { return m_app ? dynamic_cast<CNetworkScene*>(m_app->GetScene()) : nullptr; }
    CLobbyClient* Client() const
    {
        CNetworkScene* scene = Network();
        return scene ? scene->GetLobbyClient() : nullptr;
    }
    std::string SceneName() const
    {
        const CScene* scene = m_app ? m_app->GetScene() : nullptr;
        return scene ? scene->GetClassName() : "";
    }
    // The game thread alone changes the child.
    std::string ChildName() const
    {
        CNetworkScene* scene = Network();
        const CScene* child = scene ? scene->GetChild() : nullptr;
        return child ? child->GetClassName() : "";
    }
    CBattleScene* Battle() const
    {
        CNetworkScene* scene = Network();
        return scene ? dynamic_cast<CBattleScene*>(scene->GetChild()) : nullptr;
    }
    i32 Screen() const
    {
        CLobbyClient* client = Client();
        return client ? i32(client->GetScreen()) : -1;
    }
    u32 Message() const
    {
        CLobbyClient* client = Client();
        return client ? client->GetPendingMessage() : ~0u;
    }
    // The battles counted in the member table, every member's summed.
    u32 Results() const
    {
        CLobbyClient* client = Client();
        if (!client) return 0;
        const RoomMemberTable table = client->GetMemberTableCopy();
        u32 sum = 0;
        for (i32 i = 0; i < table.count && i < i32(lobby::kMaxMembers); ++i)
            for (u32 r : table.members[i].results) sum += r;
        return sum;
    }
    u32 Members() const
    {
        CLobbyClient* client = Client();
        return client ? client->GetMemberCount() : 0;
    }

    // The local console's end menu is open.
    bool EndPageOpen() const
    {
        const CBattleScene* battle = Battle();
        const CBattleConsole* console = battle ? battle->GetConsole(battle->GetLocalEntry()) : nullptr;
        const CMenuConsole* menu = console ? console->GetMenu() : nullptr;
        return menu && menu->GetPage(2).open;
    }

    bool Holds(const Step& step) const
    {
        const std::string& c = step.condition;
        const u32 n = u32(std::strtoul(step.argument.c_str(), nullptr, 10));
        if (c == "scene") return SceneName() == step.argument;
        if (c == "child") return ChildName() == (step.argument == "-" ? "" : step.argument);
        if (c == "results") return Results() >= n && Message() == ~0u;
        if (c == "screen") return Screen() == i32(n) && Message() == ~0u;
        if (c == "message") return Message() == n;
        if (c == "members") return Members() == n && Message() == ~0u;
        if (c == "rooms") return Client() && Client()->GetRoomCount() >= n && Message() == ~0u;
        if (c == "chat") return Client() && Client()->GetRoomChatLines() >= n;
        if (c == "over") return m_battleOver;
        if (c == "endpage") return EndPageOpen();
        if (c == "frames") return m_stepFrames >= n;
        if (c == "file") return host::kernel::FileExists(step.argument);
        return false;
    }

    bool Act(const Step& step)
    {
        const std::string& a = step.action;
        if (a == "none") return true;
        if (a == "quit") return m_quit = true, true;
        if (a == "dump") return DumpMembers(), true;
        if (a == "press") {
            std::string name = step.text;
            u32 count = 1;
            if (const size_t space = name.find(' '); space != std::string::npos) {
                count = u32(std::strtoul(name.c_str() + space + 1, nullptr, 10));
                name.resize(space);
            }
            const auto button = kButtons.find(name);
            if (button == kButtons.end()) return Log("no button %s\n", name.c_str()), false;
            for (u32 i = 0; i < count; ++i) Press(button->second);
            return true;
        }
        if (a == "key") return Key(u8(std::strtoul(step.text.c_str(), nullptr, 16))), true;
        if (a == "digits") {
            for (char d : step.text)
                if (d >= '0' && d <= '9') Key(kDigitKeys[d - '0']);
            return true;
        }
        if (a == "type") {
            CImeInput* ime = m_app->GetImeInput();
            if (!ime) return Log("no text entry\n"), false;
            for (char c : step.text) ime->HandleMessage(m_app->GetSystem()->GetWindowHandle(), host::window::kWmChar, u8(c), 0);
            Frame();
            return true;
        }
        return Log("no action %s\n", a.c_str()), false;
    }

    // Player 1's button down for a frame through its saved keyboard key,
    // then a frame up.
    void Press(u32 code)
    {
        CSaveConfig* config = m_app->GetSaveConfig();
        if (!config || code < 8 || code >= 8 + kKeyActionCount) return;
        Key(u8(config->GetKeyConfigSection()->keyboard[code - 8]));
    }
    void Key(u8 key)
    {
        m_input.SetKey(key, true);
        m_release.push_back(key);
        // Up for a while: menus slide between rows before the next key counts.
        for (u32 i = 0; i < kKeyFrames; ++i) Frame();
    }

    void Pump()
    {
        host::window::Message message;
        while (host::window::PeekMessage(message)) {
            if (message.message == host::window::kWmQuit) {
                m_quit = true;
                continue;
            }
            host::window::TranslateMessage(message);
            host::window::DispatchMessage(message);
        }
    }

    // Scene changes, the battle's hashes and its end.
    void Note()
    {
        const std::string scene = SceneName() + "/" + ChildName();
        if (scene != m_scene) Log("scene %s at frame %u clock %u\n", scene.c_str(), m_frame, MachineMs());
        m_scene = scene;
        for (; m_boxesSeen < m_boxes.Boxes().size(); ++m_boxesSeen)
            Log("box %s\n", host::kernel::Cp932ToUtf8(m_boxes.Boxes()[m_boxesSeen].text).c_str());
        CBattleScene* battle = Battle();
        if (battle != m_battle) {
            m_battle = battle;
            m_battleFrame = 0;
            m_battleOver = false;
            if (battle) Log("battle entry %u\n", battle->GetLocalEntry());
        }
        if (!battle) return;
        const u32 frame = battle->GetFrameCount();
        if (frame != m_battleFrame) {
            if (frame != m_battleFrame + 1) Log("battle frames %u to %u in one step\n", m_battleFrame, frame);
            if (m_battleFrame == 0) {
                Log("battle frame %u clock %u\n", frame, MachineMs());
                // How the start went: by the handshake's messages or by its
                // limit, and whether a message is still held for the lockstep.
                if (const CBattleLockstep* lockstep = battle->GetLockstep()) {
                    const LockstepStats stats = lockstep->GetStats();
                    Log("battle start handshakes %u given up %u early %zu refused %u\n", stats.handshakesDone,
                        stats.handshakesGivenUp, battle->EarlyMessageCount(), stats.refusedMessages);
                }
            }
            const BattleStateHash hash = battle->HashState();
            std::fprintf(m_hashes, "%u %016" PRIx64, frame, hash.Value());
            for (size_t i = 0; i < hash.objects.size() && i < hash.running.size(); ++i) {
                std::string name = hash.objects[i];
                std::replace(name.begin(), name.end(), ' ', '_');
                std::fprintf(m_hashes, " %s=%016" PRIx64, name.c_str(), hash.running[i]);
            }
            std::fputc('\n', m_hashes);
            m_battleFrame = frame;
        }
        if (battle->IsOver() && !m_battleOver) {
            m_battleOver = true;
            // This player's result as the battle settles it: 1 win, 2 loss, 3 draw.
            u32 result = 0;
            for (const BattleFighter& f : battle->ReadFighters())
                if (f.entryIndex == battle->GetLocalEntry() && !f.computer) result = battle->GetResult(u32(f.team));
            Log("battle over at frame %u result %u\n", frame, result);
            std::fflush(m_hashes);
        }
    }

    FILE* m_log;
    FILE* m_hashes;
    host::window::FakeWindow& m_window = host::window::InstallFakeWindow();
    host::kernel::FakeMessageBox m_boxes;
    host::render::FakeRender& m_render = host::render::InstallFakeRender();
    host::text::FakeGlyphs& m_glyphs = host::text::InstallFakeGlyphs();
    host::text::FakeIme& m_ime = host::text::InstallFakeIme();
    host::input::FakeBackend m_input;
    host::sound::NullOutput m_sound;
    std::unique_ptr<CGameApp> m_app;
    bool m_started = false, m_quit = false, m_battleOver = false;
    u32 m_frame = 0, m_stepFrames = 0, m_battleFrame = 0;
    size_t m_boxesSeen = 0;
    std::vector<u8> m_release;
    std::string m_scene;
    CBattleScene* m_battle = nullptr;
};

bool ReadArgs(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--data") g_args.data = value;
        else if (key == "--bind") g_args.bind = value;
        else if (key == "--server") g_args.server = value;
        else if (key == "--server-port") g_args.serverPort = u16(std::strtoul(value.c_str(), nullptr, 10));
        else if (key == "--script") g_args.script = value;
        else if (key == "--log") g_args.log = value;
        else if (key == "--hashes") g_args.hashes = value;
        else return false;
    }
    return !g_args.data.empty() && !g_args.script.empty() && !g_args.log.empty() && !g_args.hashes.empty() &&
           host::net::ParseAddress(g_args.bind, g_bind) && (g_bind & 0xFF) == 127;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!ReadArgs(argc, argv)) {
        std::fprintf(stderr, "usage: orv_net_player --data ROOT --bind 127.x.x.x --script FILE --log FILE "
                             "--hashes FILE [--server ADDRESS --server-port N]\n");
        return 1;
    }
    std::vector<Step> steps;
    std::string error;
    if (!net_player::ReadScript(g_args.script, steps, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    FILE* log = std::fopen(g_args.log.c_str(), "w");
    FILE* hashes = std::fopen(g_args.hashes.c_str(), "w");
    if (!log || !hashes) {
        std::fprintf(stderr, "cannot write the log or the hashes\n");
        return 1;
    }
    g_net = host::net::CreatePosixNet(g_bind);
    SetNetworkSceneFactory(&MakeNetworkScene);
    int status = 0;
    {
        Player player(log, hashes);
        if (!player.Started()) {
            player.Log("the game did not start\n");
            status = 3;
        }
        for (const Step& step : steps) {
            if (status) break;
            // The game ended (its quit message) before the script did.
            if (player.Quit()) {
                player.Log("the game ended before line %u\n", step.line);
                status = 2;
                break;
            }
            if (!player.Run(step)) status = 2;
        }
        player.Log(status ? "ended: failed\n" : "ended: script done\n");
    }
    SetNetworkSceneFactory(nullptr);
    g_net.reset();
    std::fclose(hashes);
    std::fclose(log);
    return status;
}

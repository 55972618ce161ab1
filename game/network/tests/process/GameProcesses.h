// Game processes for the end-to-end runs: orv_net_player started on a
// loopback address of its own, with its own TEMP and HOME and a
// GameConfig.dat written by the project's writer, ended by its pid.
//
// A run's folder lies in the build folder; it is removed when the run
// passed and kept, with every log, script and hash file, when it failed.
#pragma once

#include "game/data/SaveConfig.h"
#include "host/net/Net.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifndef ORV_NET_PLAYER
#error "the test build names the player program"
#endif

namespace e2e {

inline std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline u32 NowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return u32(u64(t.tv_sec) * 1000 + u64(t.tv_nsec) / 1000000);
}

// The run's folder: <build>/process_runs/<test>-<pid>.
class RunFolder {
public:
    RunFolder()
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        ::mkdir(ORV_PROCESS_LOGS, 0777);
        m_path = std::string(ORV_PROCESS_LOGS) + "/" + test->name() + "-" + std::to_string(getpid());
        Remove();
        ::mkdir(m_path.c_str(), 0777);
    }
    ~RunFolder()
    {
        if (::testing::Test::HasFailure()) std::printf("the run's files are kept in %s\n", m_path.c_str());
        else Remove();
    }
    const std::string& Path() const { return m_path; }

private:
    void Remove() { [[maybe_unused]] int ignored = std::system(("rm -rf '" + m_path + "'").c_str()); }
    std::string m_path;
};

// What a player's GameConfig.dat says of the network.
struct Network {
    u16 port = 18000;
    std::string lobbyId;
    std::vector<u32> allow, deny;
};

inline IpAddressEntry Entry(u32 address)
{
    IpAddressEntry entry{};
    for (u32 i = 0; i < 4; ++i) std::snprintf(entry.octet[i], 4, "%u", (address >> (8 * i)) & 0xFF);
    return entry;
}

// The twelve digits the connect option screen takes for an address.
inline std::string Digits(u32 address)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03u%03u%03u%03u", address & 0xFF, address >> 8 & 0xFF, address >> 16 & 0xFF,
                  address >> 24);
    return text;
}

class GameProcess {
public:
    GameProcess(const std::string& runFolder, const std::string& name, u32 address)
        : m_name(name), m_folder(runFolder + "/" + name), m_address(address)
    {
        ::mkdir(m_folder.c_str(), 0777);
        ::mkdir((m_folder + "/Temp").c_str(), 0777);
        ::mkdir((m_folder + "/home").c_str(), 0777);
    }
    ~GameProcess() { Kill(); }
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // GameConfig.dat as the game would write it, then the network settings.
    ::testing::AssertionResult Configure(const Network& network)
    {
        const char* old = std::getenv("TEMP");
        const std::string oldTemp = old ? old : "";
        setenv("TEMP", (m_folder + "/Temp/").c_str(), 1);
        CSaveConfig config;
        bool ok = config.Load() == 1;
        ConfigNetwork& settings = *config.GetNetworkSettings();
        settings.port = network.port;
        settings.useUpnp = 0;
        std::snprintf(settings.lobbyId, sizeof settings.lobbyId, "%s", network.lobbyId.c_str());
        for (u32 a : network.allow) ok = ok && config.AddAllowIp(Entry(a)) == 1;
        for (u32 a : network.deny) ok = ok && config.AddDenyIp(Entry(a)) == 1;
        ok = ok && config.Save() == 1;
        if (old) setenv("TEMP", oldTemp.c_str(), 1);
        else unsetenv("TEMP");
        if (!ok) return ::testing::AssertionFailure() << m_name << ": GameConfig.dat not written";
        return ::testing::AssertionSuccess();
    }

    // Starts the player on its script; server and port: the lobby's.
    ::testing::AssertionResult Start(const std::string& script, const std::string& server = "127.0.0.1",
                                     u16 serverPort = 9)
    {
        ++m_starts;
        WriteText(ScriptPath(), script);
        const std::string data = std::getenv("ORV_GAME_DATA") ? std::getenv("ORV_GAME_DATA") : "";
        if (data.empty()) return ::testing::AssertionFailure() << "ORV_GAME_DATA is not set";
        std::vector<std::string> args = {ORV_NET_PLAYER, "--data", data, "--bind",
            host::net::FormatAddress(m_address), "--script", ScriptPath(), "--log", LogPath(), "--hashes",
            HashPath(), "--server", server, "--server-port", std::to_string(serverPort)};
        m_status = -1;
        m_pid = fork();
        if (m_pid < 0) return ::testing::AssertionFailure() << "no fork";
        if (m_pid == 0) {
            setenv("TEMP", (m_folder + "/Temp/").c_str(), 1);
            setenv("HOME", (m_folder + "/home").c_str(), 1);
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            const int out = open((m_folder + "/output.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        return ::testing::AssertionSuccess();
    }

    // Reaped: its status, or -1 while it runs.
    int Poll()
    {
        if (m_pid <= 0) return m_status;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_pid = -1;
        }
        return m_status;
    }
    bool Running() { return Poll() == -1 && m_pid > 0; }
    // Ended by its pid and reaped.
    void Kill()
    {
        if (m_pid <= 0) return;
        kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_status = 128 + SIGKILL;
        m_pid = -1;
    }

    // Waits until its log holds text; false when it ended first or at the
    // deadline (a NowMs value).
    bool WaitForLog(const std::string& text, u32 deadline)
    {
        while (i32(deadline - NowMs()) > 0) {
            if (Log().find(text) != std::string::npos) return true;
            if (!Running()) return Log().find(text) != std::string::npos;
            usleep(50000);
        }
        return false;
    }

    std::string Log() const { return ReadText(LogPath()); }
    std::string Output() const { return ReadText(m_folder + "/output.txt"); }
    std::string LogPath() const { return m_folder + "/log" + std::to_string(m_starts) + ".txt"; }
    std::string HashPath() const { return m_folder + "/hashes" + std::to_string(m_starts) + ".txt"; }
    std::string ScriptPath() const { return m_folder + "/script" + std::to_string(m_starts) + ".txt"; }
    const std::string& Name() const { return m_name; }
    u32 Address() const { return m_address; }
    std::string Describe() const { return "\n--- " + m_name + " log:\n" + Log() + "--- output:\n" + Output(); }

private:
    std::string m_name, m_folder;
    u32 m_address;
    pid_t m_pid = -1;
    int m_status = -1;
    u32 m_starts = 0;
};

// Waits for every process to end by the deadline; past it, ends the rest
// by their pids. True when all ended with status 0.
inline ::testing::AssertionResult WaitAll(const std::vector<GameProcess*>& processes, u32 deadline)
{
    for (;;) {
        bool running = false;
        for (GameProcess* p : processes) running = p->Running() || running;
        if (!running || i32(deadline - NowMs()) <= 0) break;
        usleep(100000);
    }
    std::string failures;
    for (GameProcess* p : processes) {
        if (p->Running()) {
            p->Kill();
            failures += "\n" + p->Name() + " did not end in time (killed)" + p->Describe();
        } else if (p->Poll() != 0) {
            failures += "\n" + p->Name() + " ended with status " + std::to_string(p->Poll()) + p->Describe();
        }
    }
    if (failures.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failures;
}

// A hash file: frame -> "<hash> <object>=<hash> ...".
inline std::map<u32, std::string> ReadHashes(const std::string& path)
{
    std::map<u32, std::string> frames;
    std::istringstream in(ReadText(path));
    std::string line;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        frames[u32(std::strtoul(line.c_str(), nullptr, 10))] = line.substr(space + 1);
    }
    return frames;
}

// The first object whose running hash differs between two lines.
inline std::string FirstDifferentObject(const std::string& a, const std::string& b)
{
    std::istringstream x(a), y(b);
    std::string p, q;
    x >> p;
    y >> q;   // the frame's hash
    while (x >> p && y >> q)
        if (p != q) return p.substr(0, p.find('=')) + " (" + p + " against " + q + ")";
    return "the frame's hash";
}

// Both machines played frames 1.. to the same hashes, every frame that
// both played; frames: how many both played. The last few may be one's
// alone: the battle's end reaches the members a little after the host.
inline ::testing::AssertionResult SameBattle(const GameProcess& a, const GameProcess& b, u32* frames = nullptr)
{
    const std::map<u32, std::string> x = ReadHashes(a.HashPath()), y = ReadHashes(b.HashPath());
    const u32 both = u32(std::min(x.size(), y.size()));
    if (frames) *frames = both;
    if (both == 0) return ::testing::AssertionFailure() << "no battle frame played by both";
    for (u32 frame = 1; frame <= both; ++frame) {
        const auto p = x.find(frame), q = y.find(frame);
        if (p == x.end() || q == y.end())
            return ::testing::AssertionFailure() << "frame " << frame << " is missing from "
                                                 << (p == x.end() ? a.Name() : b.Name()) << "'s file";
        if (p->second != q->second)
            return ::testing::AssertionFailure() << "frame " << frame << " differs first, at "
                                                 << FirstDifferentObject(p->second, q->second);
    }
    return ::testing::AssertionSuccess();
}

// The frame of the log's "battle over at frame N", or 0.
inline u32 OverFrame(const std::string& log)
{
    const size_t at = log.find("battle over at frame ");
    return at == std::string::npos ? 0 : u32(std::strtoul(log.c_str() + at + 21, nullptr, 10));
}

// The machine clock (ms) of the log's first line that starts with what
// and ends with "clock N"; 0 when none.
inline u32 ClockAt(const std::string& log, const std::string& what)
{
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        const size_t clock = line.rfind(" clock ");
        if (line.starts_with(what) && clock != std::string::npos)
            return u32(std::strtoul(line.c_str() + clock + 7, nullptr, 10));
    }
    return 0;
}

// The player's own result of the log's battle (1 win, 2 loss, 3 draw), or 0.
inline u32 OwnResult(const std::string& log)
{
    const size_t at = log.find(" result ", log.find("battle over at frame "));
    return at == std::string::npos ? 0 : u32(std::strtoul(log.c_str() + at + 8, nullptr, 10));
}

// The member table the log's last dump shows: name -> {wins, losses, draws}.
inline std::map<std::string, std::vector<u32>> LastMembers(const std::string& log)
{
    std::map<std::string, std::vector<u32>> members;
    std::istringstream in(log.substr(log.rfind("members ") == std::string::npos ? 0 : log.rfind("members ")));
    std::string line;
    while (std::getline(in, line)) {
        char name[32] = {};
        u32 index = 0, w = 0, l = 0, d = 0;
        if (std::sscanf(line.c_str(), "member %u %31s %u %u %u", &index, name, &w, &l, &d) == 5)
            members[name] = {w, l, d};
    }
    return members;
}

}  // namespace e2e

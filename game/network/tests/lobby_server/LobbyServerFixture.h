// Starts the test lobby server (LobbyServer.cpp) for one test: on a loopback
// address, port 0, in a folder of its own; ended by its pid.
#pragma once

#include "game/network/LobbyWire.h"
#include "host/net/Net.h"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#ifndef ORV_LOBBY_SERVER
#error "the test build names the server program"
#endif

namespace lobby_test {

struct ServerAccount {
    std::string login, name, profile;
    u32 number = 0;
};

class LobbyServerProcess {
public:
    LobbyServerProcess() = default;
    ~LobbyServerProcess() { Stop(); }
    LobbyServerProcess(const LobbyServerProcess&) = delete;
    LobbyServerProcess& operator=(const LobbyServerProcess&) = delete;

    // True once the server wrote its port (within 10 s).
    bool Start(const std::vector<ServerAccount>& accounts, const std::string& fault = "",
               u32 bindAddress = host::net::kLoopback, u32 keepAliveMs = 300, u32 seconds = 120)
    {
        char folder[] = "/tmp/orv-lobby-XXXXXX";
        if (!mkdtemp(folder)) return false;
        m_folder = folder;
        {
            std::ofstream file(m_folder + "/accounts.txt");
            for (const ServerAccount& a : accounts)
                file << a.login << '\t' << a.name << '\t' << a.profile << '\t' << a.number << '\n';
        }
        std::vector<std::string> options = {"--bind", host::net::FormatAddress(bindAddress), "--port", "0",
                                            "--accounts", m_folder + "/accounts.txt", "--log", LogPath(),
                                            "--seconds", std::to_string(seconds), "--keepalive-ms",
                                            std::to_string(keepAliveMs)};
        if (!fault.empty()) options.insert(options.end(), {"--fault", fault});
        m_address = bindAddress;
        return Launch(options);
    }

    // The program with these options alone (its defaults for the rest), tied
    // to this process and writing its port; bindAddress is where it listens.
    bool StartWithOptions(const std::vector<std::string>& options, u32 bindAddress)
    {
        char folder[] = "/tmp/orv-lobby-XXXXXX";
        if (!mkdtemp(folder)) return false;
        m_folder = folder;
        m_address = bindAddress;
        return Launch(options);
    }

    void Stop()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status = 0;
            int i = 0;
            while (waitpid(m_pid, &status, WNOHANG) == 0 && i++ < 500) usleep(10000);
            if (i > 500) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);   // a killed process always ends
            }
            m_pid = -1;
        }
        if (!m_folder.empty()) {
            std::remove((m_folder + "/accounts.txt").c_str());
            std::remove((m_folder + "/port.txt").c_str());
            std::remove(LogPath().c_str());
            rmdir(m_folder.c_str());
            m_folder.clear();
        }
    }

    u16 Port() const { return m_port; }
    // The process's exit status once it ended by itself (-1 while it runs or
    // after a signal), waited for up to 10 s.
    int ExitStatus()
    {
        for (int i = 0; i < 1000 && m_pid > 0 && !Reaped(); ++i) usleep(10000);
        return m_exitStatus;
    }
    u32 Address() const { return m_address; }
    std::string LogPath() const { return m_folder + "/log.txt"; }
    std::string Log() const
    {
        std::ifstream file(LogPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Waits (up to 10 s) for a line in the log containing text.
    bool WaitLog(const std::string& text) const
    {
        for (int i = 0; i < 1000; ++i) {
            if (Log().find(text) != std::string::npos) return true;
            usleep(10000);
        }
        return false;
    }

private:
    bool Launch(std::vector<std::string> options)
    {
        const std::string portFile = m_folder + "/port.txt";
        std::vector<std::string> args = {ORV_LOBBY_SERVER, "--exit-with-parent", "--port-file", portFile};
        args.insert(args.end(), options.begin(), options.end());
        m_pid = fork();
        if (m_pid < 0) return false;
        if (m_pid == 0) {
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        for (int i = 0; i < 1000; ++i) {
            std::ifstream file(portFile);
            if (file >> m_port) return true;
            if (Reaped()) return false;   // it ended: no port
            usleep(10000);
        }
        return false;
    }

    // Whether the process ended by itself (its status kept).
    bool Reaped()
    {
        int status = 0;
        if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
        m_pid = -1;
        m_exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    pid_t m_pid = -1;
    int m_exitStatus = -1;
    std::string m_folder;
    u16 m_port = 0;
    u32 m_address = 0;
};

}  // namespace lobby_test

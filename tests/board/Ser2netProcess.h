// Debian's ser2net in front of a serial device, as a lab would put it in front of a
// board: an RFC 2217 accepter on a free port of 127.0.0.1, a configuration of our
// own in the test's folder, run in the foreground and stopped by its process id.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace hc12::testing {

class Ser2netProcess {
  public:
    // The ser2net program on PATH or in the usual sbin folders; "" when absent.
    static std::string Find() {
        std::vector<std::string> dirs;
        if (const char* path = std::getenv("PATH")) {
            std::stringstream in(path);
            for (std::string d; std::getline(in, d, ':');)
                dirs.push_back(d);
        }
        for (const char* d : {"/usr/sbin", "/usr/local/sbin", "/sbin"})
            dirs.push_back(d);
        for (const auto& d : dirs) {
            const std::string exe = d + "/ser2net";
            if (!d.empty() && access(exe.c_str(), X_OK) == 0)
                return exe;
        }
        return "";
    }

    // Serves `device` with the connection's `options` (YAML lines under
    // "options:", e.g. "chardelay: false"), accepting on `accepter` (its gensio
    // stack below telnet, "tcp" or "tcp(nodelay)"). port() is 0 when it did not
    // start; log() says why.
    Ser2netProcess(const std::string& exe, const std::filesystem::path& dir,
                   const std::string& device, const std::vector<std::string>& options,
                   const std::string& accepter = "tcp")
        : log_(dir / "ser2net.log") {
        // The free port may be taken by someone else before ser2net binds it:
        // another one then.
        for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
            const uint16_t port = FreePort();
            if (port == 0)
                continue;
            const auto config = dir / "ser2net.yaml";
            std::ofstream yaml(config, std::ios::trunc);
            yaml << "connection: &board\n"
                 << "  accepter: telnet(rfc2217)," << accepter << ",127.0.0.1," << port << "\n"
                 << "  connector: serialdev," << device << ",38400n81,local\n";
            if (!options.empty()) {
                yaml << "  options:\n";
                for (const auto& o : options)
                    yaml << "    " << o << "\n";
            }
            yaml.close();
            if (Spawn(exe, config) && WaitListening(port))
                port_ = port;
            else
                Stop();
        }
    }
    ~Ser2netProcess() { Stop(); }
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    uint16_t port() const { return port_; }
    std::string PortValue() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    std::string log() const {
        std::ifstream in(log_);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    void Stop() {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        int raw = 0;
        waitpid(pid_, &raw, 0);
        pid_ = -1;
    }

  private:
    static uint16_t FreePort() {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        uint16_t port = 0;
        if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port = ntohs(addr.sin_port);
        if (s >= 0)
            close(s);
        return port;
    }

    bool Spawn(const std::string& exe, const std::filesystem::path& config) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        // -n: in the foreground; -d: its log on the output; -u: no UUCP lock files.
        std::vector<std::string> all{exe, "-n", "-d", "-u", "-c", config.string()};
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid_ > 0;
    }

    // Waits until ser2net itself listens on the port: a listening socket on it in
    // /proc/net/tcp that is one of ser2net's descriptors.
    bool WaitListening(uint16_t port) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int raw = 0;
            if (waitpid(pid_, &raw, WNOHANG) == pid_)
                return false;  // it gave up (the port was taken, a bad configuration)
            const std::set<std::string> inodes = ListeningInodes(port);
            if (!inodes.empty() && OwnsOneOf(inodes))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    static std::set<std::string> ListeningInodes(uint16_t port) {
        std::set<std::string> inodes;
        std::ifstream in("/proc/net/tcp");
        std::string line;
        std::getline(in, line);  // the heading
        char local[16];
        std::snprintf(local, sizeof local, "0100007F:%04X", port);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string slot, localAddr, remote, state, queues, timer, retransmits, uid, timeout,
                inode;
            fields >> slot >> localAddr >> remote >> state >> queues >> timer >> retransmits >>
                uid >> timeout >> inode;
            if (localAddr == local && state == "0A")
                inodes.insert("socket:[" + inode + "]");
        }
        return inodes;
    }

    bool OwnsOneOf(const std::set<std::string>& sockets) const {
        const std::filesystem::path fds = "/proc/" + std::to_string(pid_) + "/fd";
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
            const auto target = std::filesystem::read_symlink(fd.path(), ec);
            if (!ec && sockets.count(target.string()) != 0)
                return true;
        }
        return false;
    }

    std::filesystem::path log_;
    pid_t pid_ = -1;
    uint16_t port_ = 0;
};

}  // namespace hc12::testing

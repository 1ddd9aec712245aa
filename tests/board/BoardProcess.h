// hc12prog-board as a process for end-to-end tests: started with its arguments, its
// device path read from its first output line, stopped with SIGTERM.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

extern char** environ;

namespace hc12::testing {

class BoardProcess {
  public:
    explicit BoardProcess(const std::vector<std::string>& args) {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> all{HC12PROG_BOARD};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, HC12PROG_BOARD, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // The first line is the device path, printed once the board serves it.
        FILE* in = fdopen(out[0], "r");
        char line[256] = {};
        if (in != nullptr && fgets(line, sizeof line, in) != nullptr) {
            path_ = line;
            while (!path_.empty() && path_.back() == '\n')
                path_.pop_back();
        }
        if (in != nullptr)
            fclose(in);
    }
    ~BoardProcess() { Stop(); }
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;

    const std::string& path() const { return path_; }
    bool running() const { return pid_ > 0; }

    // Stops the board; returns its exit status (-1 when it did not exit normally).
    int Stop() {
        if (pid_ <= 0)
            return status_;
        kill(pid_, SIGTERM);
        int raw = 0;
        waitpid(pid_, &raw, 0);
        pid_ = -1;
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string path_;
};

}  // namespace hc12::testing

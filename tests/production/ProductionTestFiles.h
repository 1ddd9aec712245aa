// A folder of the test's own, and whole files in and out.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "SharedFile.h"

namespace hc12::production {

class TempFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               ("hc12prod_" + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" +
                info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path File(const std::string& name) const { return dir_ / name; }

    static std::string Slurp(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Append(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::app) << text;
    }

    std::filesystem::path dir_;
};

// A child process that holds `path`'s lock (as another run would) until it has
// appended `text`, a while after the parent was told it holds it. The parent's
// next entry must wait for it. Returns when the lock is held.
class LockHolder {
  public:
    LockHolder(const std::filesystem::path& path, const std::string& text) {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            SharedAppendFile file;
            std::string error;
            bool ok = file.Open(path, true, nullptr, &error) && file.Lock(&error);
            const char c = ok ? '1' : '0';
            (void)!write(ready[1], &c, 1);
            // Long enough that a parent that did not wait would have gone first.
            usleep(300 * 1000);
            ok = ok && file.Append(text, &error);
            _exit(ok ? 0 : 1);
        }
        close(ready[1]);
        char c = 0;
        locked_ = read(ready[0], &c, 1) == 1 && c == '1';
        close(ready[0]);
    }
    bool locked() const { return locked_; }
    // The child's exit status (0: it appended).
    int Wait() {
        int raw = 0;
        waitpid(pid_, &raw, 0);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

  private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

// `processes` child processes at once, each running `threads` threads: in each
// child, `setUp(process)` makes the body its threads run (`body(thread)` true when
// all went well). True when every body in every child said so.
inline bool InProcessesAndThreads(
    int processes, int threads,
    const std::function<std::function<bool(int thread)>(int process)>& setUp) {
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        const pid_t pid = fork();
        if (pid == 0) {
            const std::function<bool(int)> body = setUp(p);
            std::atomic<bool> ok{bool(body)};
            std::vector<std::thread> running;
            for (int t = 0; t < threads && ok; ++t)
                running.emplace_back([&, t] {
                    if (!body(t))
                        ok = false;
                });
            for (auto& t : running)
                t.join();
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    bool all = true;
    for (pid_t pid : children) {
        int raw = 0;
        waitpid(pid, &raw, 0);
        all = all && WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
    }
    return all;
}

}  // namespace hc12::production

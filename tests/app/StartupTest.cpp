// The program started as a user starts it: nothing on its console while the
// window comes up (GTK complains there about widgets given less room than nothing).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t got = 0;
        while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

// The program's console output while its window comes up, and whether it came up.
struct Started {
    bool shown = false;
    std::string console;
};

Started StartAndStop(std::vector<std::string> args) {
    const std::string log = testing::TempDir() + "hc12-startup-" + std::to_string(getpid());
    args.insert(args.begin(), HC12PROG_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0)
        return {};
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        dup2(fd, STDOUT_FILENO);
        execv(HC12PROG_PATH, argv.data());
        _exit(127);
    }
    // Wait for the window on the screen, then a little for what follows its mapping.
    Started started;
    bool ended = false;
    for (int i = 0; i < 300 && !started.shown && !ended; ++i) {
        started.shown = Output("xwininfo -root -tree 2>/dev/null").find("Motorola HC9(S)12") !=
                        std::string::npos;
        ended = !started.shown && waitpid(pid, nullptr, WNOHANG) == pid;  // without a window
        if (!started.shown && !ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(log.c_str());
    started.console = text.str();
    return started;
}

TEST(Startup, WindowComesUpWithoutToolkitComplaints) {
    // In the program's own Polish and in English.
    for (const std::vector<std::string>& language :
         {std::vector<std::string>{}, std::vector<std::string>{"--lang", "en"}}) {
        std::vector<std::string> args = language;
        args.insert(args.end(), {"--port", "COM1=virtual"});
        const Started started = StartAndStop(args);
        SCOPED_TRACE(language.empty() ? "pl" : "en");
        ASSERT_TRUE(started.shown) << "the window never appeared; the program said:\n"
                                   << started.console;
        EXPECT_EQ(started.console.find("-CRITICAL"), std::string::npos) << started.console;
        EXPECT_EQ(started.console.find("-WARNING"), std::string::npos) << started.console;
    }
}

TEST(Startup, ALanguageWithoutACatalogIsRefusedWithTheUsage) {
    const Started started = StartAndStop({"--lang", "xx"});
    EXPECT_FALSE(started.shown);
    EXPECT_NE(started.console.find("hc12prog: --lang xx: no catalog for this language"),
              std::string::npos)
        << started.console;
    EXPECT_NE(started.console.find("usage: hc12prog [--lang pl|en]"), std::string::npos)
        << started.console;
}

}  // namespace

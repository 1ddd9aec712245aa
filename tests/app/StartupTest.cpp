// The program started as a user starts it: nothing on its console while the
// window comes up (GTK complains there about widgets given less room than nothing,
// and the program logs a toolkit assertion there).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

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

TEST(Startup, WindowComesUpWithoutToolkitComplaints) {
    const std::string log = testing::TempDir() + "hc12-startup-" + std::to_string(getpid());
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, STDERR_FILENO);
        dup2(fd, STDOUT_FILENO);
        execl(HC12PROG_PATH, HC12PROG_PATH, "--port", "COM1=virtual", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait for the window on the screen, then a little for what follows its mapping.
    bool shown = false;
    for (int i = 0; i < 300 && !shown; ++i) {
        shown = Output("xwininfo -root -tree 2>/dev/null").find("Motorola HC9(S)12") !=
                std::string::npos;
        if (!shown)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(log.c_str());

    ASSERT_TRUE(shown) << "the window never appeared; the program said:\n" << text.str();
    // A toolkit assertion is logged there, as are GTK's complaints.
    for (const char* complaint : {"assertion", "-CRITICAL", "-WARNING"})
        EXPECT_EQ(text.str().find(complaint), std::string::npos) << complaint << "\n" << text.str();
}

}  // namespace

// The program started as a user starts it, its console watched: nothing there while
// the window comes up (GTK complains there about widgets given less room than
// nothing), and nothing when a user opens a box without an icon from the keyboard
// (the program logs a toolkit assertion there; such a box once tripped one).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
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

// What the display lists of its windows, names included.
std::string WindowList() {
    return Output("xwininfo -root -tree 2>/dev/null");
}

bool WaitFor(const std::function<bool()>& done, int tenthsOfASecond = 150) {
    for (int i = 0; i < tenthsOfASecond; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// hc12prog with its standard output and error going to a file.
class Program {
  public:
    explicit Program(const std::vector<std::string>& args)
        : log_(testing::TempDir() + "hc12-startup-" + std::to_string(getpid())) {
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fd, STDERR_FILENO);
            dup2(fd, STDOUT_FILENO);
            // The file chooser keeps its settings through D-Bus, which a bare test
            // display has none of (GLib would warn about it): in memory here.
            setenv("GSETTINGS_BACKEND", "memory", 1);
            std::vector<char*> argv{const_cast<char*>(HC12PROG_PATH)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(HC12PROG_PATH, argv.data());
            _exit(127);
        }
    }
    ~Program() {
        Stop();
        std::remove(log_.c_str());
    }
    bool started() const { return pid_ > 0; }
    // Stops it; what it wrote.
    std::string Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
        std::ifstream in(log_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    std::string log_;
    pid_t pid_ = -1;
};

void ExpectNoComplaints(const std::string& output) {
    // A toolkit assertion is logged there, as are GTK's complaints.
    for (const char* complaint : {"assertion", "-CRITICAL", "-WARNING"})
        EXPECT_EQ(output.find(complaint), std::string::npos) << complaint << "\n" << output;
}

// Keys through the display server, to whichever window has the focus.
class Keyboard {
  public:
    Keyboard() : display_(XOpenDisplay(nullptr)) {}
    ~Keyboard() {
        if (display_)
            XCloseDisplay(display_);
    }
    bool ok() const { return display_ != nullptr; }
    // A click at a point of the screen.
    void Click(int x, int y) {
        XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        XFlush(display_);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    void Press(KeySym key, KeySym modifier = NoSymbol) {
        if (modifier != NoSymbol)
            Send(modifier, true);
        Send(key, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Send(key, false);
        if (modifier != NoSymbol)
            Send(modifier, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Lower-case letters, digits, '/', '.' and '-'.
    void Type(const std::string& text) {
        for (char c : text) {
            const KeySym key = c == '/'   ? XK_slash
                               : c == '.' ? XK_period
                               : c == '-' ? XK_minus
                                          : XStringToKeysym(std::string(1, c).c_str());
            Press(key);
        }
    }

  private:
    void Send(KeySym key, bool down) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, key), down, CurrentTime);
        XFlush(display_);
    }
    Display* display_;
};

TEST(Startup, WindowComesUpWithoutToolkitComplaints) {
    // In the program's own Polish and in English.
    for (const std::vector<std::string>& language :
         {std::vector<std::string>{}, std::vector<std::string>{"--lang", "en"}}) {
        SCOPED_TRACE(language.empty() ? "pl" : "en");
        std::vector<std::string> args = language;
        args.insert(args.end(), {"--port", "COM1=virtual"});
        Program program(args);
        ASSERT_TRUE(program.started());
        // Wait for the window on the screen, then a little for what follows its mapping.
        const bool shown = WaitFor(
            [] { return WindowList().find("Motorola HC9(S)12") != std::string::npos; }, 300);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const std::string output = program.Stop();
        ASSERT_TRUE(shown) << "the window never appeared; the program said:\n" << output;
        ExpectNoComplaints(output);
    }
}

TEST(Startup, ALanguageWithoutACatalogIsRefusedWithTheUsage) {
    Program program({"--lang", "xx"});
    ASSERT_TRUE(program.started());
    const bool shown =
        WaitFor([] { return WindowList().find("Motorola HC9(S)12") != std::string::npos; }, 20);
    const std::string output = program.Stop();
    EXPECT_FALSE(shown);
    EXPECT_NE(output.find("hc12prog: --lang xx: no catalog for this language"), std::string::npos)
        << output;
    EXPECT_NE(output.find("usage: hc12prog [--lang pl|en]"), std::string::npos) << output;
}

// "Plik", "Zapisz do pliku" by the keys, a path that cannot be written typed into
// the file chooser: the box "Nie moge otworzyc pliku" (no icon) comes up and goes
// with Escape, and the program goes on without a word on its console.
TEST(Startup, BoxWithoutAnIconComesAndGoesWithoutToolkitComplaints) {
    Keyboard keys;
    ASSERT_TRUE(keys.ok());
    Program program({"--port", "COM1=virtual"});
    ASSERT_TRUE(program.started());
    const auto listed = [](const char* name) {
        return [name] { return WindowList().find(name) != std::string::npos; };
    };
    ASSERT_TRUE(WaitFor(listed("Motorola HC9(S)12"), 300)) << program.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // A click on the status bar (it does nothing there) gives the window the focus.
    const std::string list = WindowList();
    const size_t line = list.find("\"Motorola HC9(S)12");
    int width = 0, height = 0, x = 0, y = 0;
    // ... "Motorola HC9(S)12 ...": ("hc12prog" "Hc12prog")  703x635+1+20  +1+20
    ASSERT_EQ(std::sscanf(list.c_str() + list.find("\")", line) + 2, " %dx%d+%d+%d", &width,
                          &height, &x, &y),
              4)
        << list;
    keys.Click(x + width / 2, y + height - 8);

    keys.Press(XK_F10);  // the menu bar: "Plik"
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Down to "Zapisz do pliku", past "Nowy bufor" and "Czytaj plik".
    for (int i = 0; i < 3; ++i)
        keys.Press(XK_Down);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keys.Press(XK_Return);
    ASSERT_TRUE(WaitFor(listed("\"Wybierz plik.\""), 30)) << WindowList() << program.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    keys.Type("/proc/hc12-cannot-save.bin");
    // The chooser completes the typed path a moment later; Return takes the path.
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    keys.Press(XK_Return);
    // The box, with the error caption ("Błąd").
    const auto boxShown = listed(
        "\"B\xc5\x82\xc4\x85"
        "d\"");
    ASSERT_TRUE(WaitFor(boxShown)) << WindowList() << program.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    keys.Press(XK_Escape);
    EXPECT_TRUE(WaitFor([&] { return !boxShown(); })) << WindowList();
    // Still there, and quiet.
    EXPECT_TRUE(listed("Motorola HC9(S)12")());
    ExpectNoComplaints(program.Stop());
}

}  // namespace

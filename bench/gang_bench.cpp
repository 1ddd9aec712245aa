// A production run on the real clock (prints, never asserts): hc12prog-board
// processes on pseudo-terminals, each holding every reply 1 ms as a USB adapter's
// latency timer does (the wire time of 38400 Bd is the board's own), and one run
// of hc12prog-cli writing a changed 512-byte image to 1, 4, 8 and 16 of them at
// once. Figures: the run's wall time against one board's, and the program's CPU
// time (user + system, its own, not the boards') as a share of the wall time per
// board.
//
//   gang_bench [MODEL [BYTES [BOARDS...]]]     default: HC912D60x 512 1 4 8 16
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "BoardProcess.h"

namespace {

namespace fs = std::filesystem;
using hc12::testing::BoardProcess;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 37 + (i >> 3));
    return v;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Figures {
    int status = -1;
    double wall = 0;
    double cpu = 0;
    bool contents = false;
};

Figures Run(const fs::path& dir, const std::string& model, size_t bytes, int boards) {
    // Every word of the window changes: the EEPROM holds one pattern, the image another.
    const std::vector<uint8_t> before = Pattern(4096, 0x11);
    const std::vector<uint8_t> image = Pattern(bytes, 0x80);
    WriteFile(dir / "before.bin", std::vector<uint8_t>(before.begin(), before.begin() + 1024));
    WriteFile(dir / "image.bin", image);
    std::vector<std::unique_ptr<BoardProcess>> processes;
    std::vector<std::string> args{
        HC12PROG_CLI, "--model", model, "--quartz", "8", "--count", std::to_string(bytes), "--yes"};
    for (int i = 0; i < boards; ++i) {
        const fs::path dump = dir / ("dump" + std::to_string(i) + ".bin");
        processes.push_back(std::make_unique<BoardProcess>(
            std::vector<std::string>{"--image", (dir / "before.bin").string(), "--dump",
                                     dump.string(), "model=" + model + ",quartz=8,latency=1"}));
        args.insert(args.end(), {"--port", processes.back()->path()});
    }
    args.insert(args.end(), {"write", (dir / "image.bin").string()});

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (dir / "err.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    Figures f;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, HC12PROG_CLI, &actions, nullptr, argv.data(), environ) != 0)
        return f;
    posix_spawn_file_actions_destroy(&actions);
    int raw = 0;
    rusage usage{};
    wait4(pid, &raw, 0, &usage);
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    f.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    f.contents = true;
    for (int i = 0; i < boards; ++i) {
        processes[size_t(i)]->Stop();
        const std::vector<uint8_t> dump = ReadFile(dir / ("dump" + std::to_string(i) + ".bin"));
        f.contents = f.contents && dump.size() >= bytes &&
                     std::equal(image.begin(), image.end(), dump.begin());
    }
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string model = argc > 1 ? argv[1] : "HC912D60x";
    const size_t bytes = argc > 2 ? size_t(std::stoul(argv[2])) : 512;
    std::vector<int> counts;
    for (int i = 3; i < argc; ++i)
        counts.push_back(std::stoi(argv[i]));
    if (counts.empty())
        counts = {1, 4, 8, 16};
    const fs::path dir =
        fs::temp_directory_path() / ("hc12_gang_bench_" + std::to_string(getpid()));
    fs::create_directories(dir);

    std::printf(
        "%s, %zu bytes changed (changed-only write), hc12prog-board on ptys, 1 ms latency\n",
        model.c_str(), bytes);
    std::printf("%7s %10s %12s %12s %16s  %s\n", "boards", "wall", "vs one board", "CPU",
                "CPU/wall/board", "result");
    double one = 0;
    bool failed = false;
    for (int n : counts) {
        const Figures f = Run(dir, model, bytes, n);
        if (one == 0)
            one = f.wall;
        std::printf("%7d %8.1f s %11.2fx %10.2f s %15.3f%%  %s\n", n, f.wall, f.wall / one, f.cpu,
                    100.0 * f.cpu / f.wall / n,
                    f.status == 0 && f.contents ? "all written" : "FAILED (see err.txt)");
        std::fflush(stdout);
        if (f.status != 0 || !f.contents) {
            std::printf("  exit status %d; kept %s\n", f.status, dir.c_str());
            failed = true;
        }
    }
    if (!failed)
        fs::remove_all(dir);
    return 0;
}

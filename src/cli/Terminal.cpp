#include "Terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace hc12::cli {

#ifdef _WIN32
bool StdinIsTerminal() {
    return _isatty(_fileno(stdin)) != 0;
}
bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}
void PrepareConsoleForUtf8() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}
#else
bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}
bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}
void PrepareConsoleForUtf8() {}
#endif

}  // namespace hc12::cli

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
Utf8Console::Utf8Console() : inputCodePage_(GetConsoleCP()), outputCodePage_(GetConsoleOutputCP()) {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    // The progress lines of a production run move the cursor with VT sequences.
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(err, &mode))
        SetConsoleMode(err, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */);
}
Utf8Console::~Utf8Console() {
    // 0 means there was no console to switch.
    if (outputCodePage_ != 0)
        SetConsoleOutputCP(outputCodePage_);
    if (inputCodePage_ != 0)
        SetConsoleCP(inputCodePage_);
}
#else
bool StdinIsTerminal() {
    return isatty(STDIN_FILENO) != 0;
}
bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}
Utf8Console::Utf8Console() {}
Utf8Console::~Utf8Console() {}
#endif

}  // namespace hc12::cli

// Process entry: --version and --help are answered before the toolkit starts (it
// would need a display); everything else goes to the application object.
#include <cstdio>
#include <cstring>

#include <wx/app.h>

#include "ProgrammerApp.h"

wxIMPLEMENT_APP_NO_MAIN(hc12::ProgrammerApp);

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("hc12prog 3.0\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "usage: hc12prog [--lang pl|en] [--port COMn=VALUE]...\n"
                "  --port COMn=VALUE  map a port of the menu (COM1..COM4) to a device path,\n"
                "                     to \"rfc2217://HOST:PORT\" for a port behind a network\n"
                "                     serial server, or to \"virtual[:options]\" for the\n"
                "                     built-in virtual board\n"
                "                     (also HC12_PORT_COM1..HC12_PORT_COM4 in the environment)\n"
                "  --lang L           the language of the window: pl or en (or another with\n"
                "                     a catalog); without it HC12_LANG, else the locale\n"
                "                     (LANGUAGE, LC_ALL, LC_MESSAGES, LANG): Polish for\n"
                "                     Polish and for C/POSIX, English for any other language\n"
                "  --version          print the version and exit\n");
            return 0;
        }
    }
    hc12::LogToolkitAssertions();
    return wxEntry(argc, argv);
}

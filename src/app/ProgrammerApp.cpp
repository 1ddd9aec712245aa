#include "ProgrammerApp.h"

#include <cstdio>

namespace hc12 {

bool ParsePortOptions(const std::vector<std::string>& args, PortMap& ports, std::string* error) {
    ports.ApplyEnvironment();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string assignment;
        if (arg == "--port") {
            if (i + 1 >= args.size()) {
                if (error)
                    *error = "--port needs COMn=VALUE";
                return false;
            }
            assignment = args[++i];
        } else if (arg.rfind("--port=", 0) == 0) {
            assignment = arg.substr(7);
        } else {
            if (error)
                *error = "unknown argument: " + arg;
            return false;
        }
        if (!ports.ApplyAssignment(assignment, error))
            return false;
    }
    return true;
}

void LogToolkitAssertion(const wxString& file, int line, const wxString& func, const wxString& cond,
                         const wxString& msg) {
    std::fprintf(stderr, "hc12prog: wxWidgets assertion failed: %s(%d) in %s(): %s%s%s\n",
                 file.utf8_str().data(), line, func.utf8_str().data(), cond.utf8_str().data(),
                 msg.empty() ? "" : ": ", msg.utf8_str().data());
    std::fflush(stderr);
}

void LogToolkitAssertions() {
    wxSetAssertHandler(LogToolkitAssertion);
}

bool ProgrammerApp::OnInit() {
    // Not wxApp::OnInit: its command-line parser would refuse our options.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(wxString(argv[i]).utf8_string());
    }
    AppOptions options;
    std::string error;
    if (!ParsePortOptions(args, options.ports, &error)) {
        std::fprintf(stderr, "hc12prog: %s\nusage: hc12prog [--port COMn=VALUE]...\n",
                     error.c_str());
        return false;
    }
    frame_ = new MainFrame(wxString::FromUTF8("Motorola HC9(S)12 ver.3.0  by Harnvale"),
                           wxDefaultPosition, wxDefaultSize, std::move(options));
    frame_->Show(true);
    SetTopWindow(frame_);
    return true;
}

}  // namespace hc12

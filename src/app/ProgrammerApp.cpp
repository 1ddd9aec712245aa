#include "ProgrammerApp.h"

#include <cstdio>
#include <optional>

#include "FrameTime.h"

#include "Language.h"

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

bool TakeLanguageOption(std::vector<std::string>& args, std::string* language, std::string* error) {
    std::vector<std::string> rest;
    bool seen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--lang") {
            if (i + 1 >= args.size()) {
                *error = "--lang needs pl or en";
                return false;
            }
            value = args[++i];
        } else if (args[i].rfind("--lang=", 0) == 0) {
            value = args[i].substr(7);
        } else {
            rest.push_back(args[i]);
            continue;
        }
        if (seen || value.empty()) {
            *error = seen ? "--lang given twice" : "--lang needs pl or en";
            return false;
        }
        seen = true;
        *language = value;
    }
    args = std::move(rest);
    return true;
}

bool ParseAppOptions(const std::vector<std::string>& args, AppOptions& options,
                     std::string* error) {
    if (!FrameTimeFromEnvironment(&options.frameTimeUs, error))
        return false;
    std::vector<std::string> portArgs;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string> value;
        if (arg == "--frame-time") {
            if (i + 1 >= args.size()) {
                if (error)
                    *error = "--frame-time needs a value";
                return false;
            }
            value = args[++i];
        } else if (arg.rfind("--frame-time=", 0) == 0) {
            value = arg.substr(13);
        } else {
            portArgs.push_back(arg);
            continue;
        }
        const std::optional<uint32_t> us = ParseFrameTimeUs(*value);
        if (!us) {
            if (error)
                *error = FrameTimeError("--frame-time", *value);
            return false;
        }
        options.frameTimeUs = *us;
    }
    return ParsePortOptions(portArgs, options.ports, error);
}

bool ProgrammerApp::OnInit() {
    // Not wxApp::OnInit: its command-line parser would refuse our options.
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(wxString(argv[i]).utf8_string());
    }
    AppOptions options;
    std::string error, language, warning;
    // The language first: every text of the window is made in it.
    if (!TakeLanguageOption(args, &language, &error) ||
        !SetUpLanguage(language, &error, &warning) ||
        !ParseAppOptions(args, options, &error)) {
        std::fprintf(stderr,
                     "hc12prog: %s\nusage: hc12prog [--lang pl|en] [--port COMn=VALUE]... "
                     "[--frame-time US]\n",
                     error.c_str());
        return false;
    }
    if (!warning.empty())
        std::fprintf(stderr, "hc12prog: %s\n", warning.c_str());
    frame_ = new MainFrame(wxString::FromUTF8("Motorola HC9(S)12 ver.3.0  by Harnvale"),
                           wxDefaultPosition, wxDefaultSize, std::move(options));
    frame_->Show(true);
    SetTopWindow(frame_);
    return true;
}

}  // namespace hc12

// The application object: reads the port choices and opens the main window.
#pragma once

#include <string>
#include <vector>

#include <wx/app.h>

#include "MainFrame.h"

namespace hc12 {

// The environment first (HC12_PORT_COM1=...), then "--port COMn=VALUE" pairs, in
// order. Returns false with an error text for an argument it does not know.
bool ParsePortOptions(const std::vector<std::string>& args, PortMap& ports, std::string* error);

// A toolkit assertion in the program: one line on standard error, and the program
// goes on. Its own Stop/Continue box would let a click end the program and take
// every unsaved buffer with it.
void LogToolkitAssertion(const wxString& file, int line, const wxString& func, const wxString& cond,
                         const wxString& msg);
// Makes LogToolkitAssertion the toolkit's assertion handler.
void LogToolkitAssertions();
// Takes "--lang L" (or "--lang=L") out of the arguments into `language`. False with an
// error text for a --lang without its value, or given twice.
bool TakeLanguageOption(std::vector<std::string>& args, std::string* language, std::string* error);
// The whole command line: the port pairs as above, and the interface's frame time
// from HC12_FRAME_TIME_US and then "--frame-time US". False with an error text.
bool ParseAppOptions(const std::vector<std::string>& args, AppOptions& options, std::string* error);

class ProgrammerApp : public wxApp {
  public:
    bool OnInit() override;
    int OnExit() override { return 0; }

    MainFrame* frame() const { return frame_; }

  private:
    MainFrame* frame_ = nullptr;
};

}  // namespace hc12

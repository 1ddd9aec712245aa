// The little the program needs to know about its console.
#pragma once

namespace hc12::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();

// Windows consoles show UTF-8 only when asked to: this switches the console to
// UTF-8 for the object's lifetime and back afterwards. Elsewhere it does nothing.
class Utf8Console {
  public:
    Utf8Console();
    ~Utf8Console();
    Utf8Console(const Utf8Console&) = delete;
    Utf8Console& operator=(const Utf8Console&) = delete;

  private:
    unsigned inputCodePage_ = 0;
    unsigned outputCodePage_ = 0;
};

}  // namespace hc12::cli

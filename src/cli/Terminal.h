// The little the program needs to know about its console.
#pragma once

namespace hc12::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();

// Windows consoles show UTF-8 only when asked to; elsewhere nothing to do.
void PrepareConsoleForUtf8();

}  // namespace hc12::cli

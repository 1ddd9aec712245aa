// A message box as the program's logic asks for it; the window (or the command
// line) decides how to show it. Texts are UTF-8.
#pragma once

#include <string>

namespace hc12 {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Information, Exclamation, Error, Question };
enum class MsgAnswer { Ok, Yes, No };

struct Message {
    std::string text;
    std::string caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

}  // namespace hc12

// What the serial link needs from whatever shows it to the user.
#pragma once

#include "MessageBox.h"

namespace hc12 {

class LinkView {
public:
    virtual ~LinkView() = default;
    // Show a modal message box and return the answer (Ok for an OK-only box).
    virtual MsgAnswer ShowMessage(const Message& message) = 0;
    // The not-connected control block: status field 3 "Brak połączenia.", read and
    // write buttons and menu items disabled, the selection check box disabled.
    virtual void ShowNotConnected() = 0;
};

}  // namespace hc12

// Input given while a long operation runs is dropped, never queued for later (a
// click on "read" during a read would otherwise run a second read afterwards).
// The window's controls are disabled for the operation, so the toolkit discards
// clicks and keys on them, and the cursor shows that the program is busy. The
// frame itself stays enabled: closing it is still taken, and the window goes
// once the operation has ended.
#pragma once

#include <vector>

#include <wx/frame.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

namespace hc12 {

class OperationGuard {
  public:
    // Disables the frame's menu bar, toolbar (and its tools) and the windows inside it.
    explicit OperationGuard(wxFrame& frame);
    // Hands the input that arrived meanwhile to the still disabled controls (which
    // ignore it), then enables them again.
    ~OperationGuard();
    OperationGuard(const OperationGuard&) = delete;
    OperationGuard& operator=(const OperationGuard&) = delete;

  private:
    wxBusyCursor busy_;
    std::vector<wxWindow*> disabled_;
    // The toolbar's tools, each disabled on its own: a disabled toolbar still
    // draws its tools as usable.
    wxToolBar* toolBar_ = nullptr;
    std::vector<int> disabledTools_;
};

}  // namespace hc12

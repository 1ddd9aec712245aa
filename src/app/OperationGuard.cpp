#include "OperationGuard.h"

#include <algorithm>

#include <wx/evtloop.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

namespace hc12 {

OperationGuard::OperationGuard(wxFrame& frame) {
    std::vector<wxWindow*> controls{frame.GetMenuBar(), frame.GetToolBar()};
    for (wxWindow* child : frame.GetChildren())
        if (!child->IsTopLevel() && child != frame.GetStatusBar())
            controls.push_back(child);
    for (wxWindow* window : controls)
        if (window && window->IsThisEnabled() &&
            std::find(disabled_.begin(), disabled_.end(), window) == disabled_.end()) {
            window->Disable();
            disabled_.push_back(window);
        }
}

OperationGuard::~OperationGuard() {
    // Repaints during the operation held the input back; deliver it now, while
    // nothing can take it.
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
        loop->YieldFor(wxEVT_CATEGORY_USER_INPUT);
    for (wxWindow* window : disabled_)
        window->Enable();
}

}  // namespace hc12

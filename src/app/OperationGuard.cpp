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
    toolBar_ = frame.GetToolBar();
    if (toolBar_ != nullptr)
        for (size_t pos = 0; pos < toolBar_->GetToolsCount(); ++pos) {
            const wxToolBarToolBase* tool = toolBar_->GetToolByPos(int(pos));
            if (tool->IsButton() && tool->IsEnabled()) {
                disabledTools_.push_back(tool->GetId());
                toolBar_->EnableTool(tool->GetId(), false);
            }
        }
}

OperationGuard::~OperationGuard() {
    // Repaints during the operation held the input back; deliver it now, while
    // nothing can take it.
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive())
        loop->YieldFor(wxEVT_CATEGORY_USER_INPUT);
    for (int id : disabledTools_)
        toolBar_->EnableTool(id, true);
    for (wxWindow* window : disabled_)
        window->Enable();
}

}  // namespace hc12

// Answers message boxes in tests and records what they showed.
#pragma once

#include <string>
#include <vector>

#include <wx/msgdlg.h>
#include <wx/testing.h>

namespace hc12::testing {

struct ShownBox {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    long style = 0;
};

class ExpectBox : public wxExpectModalBase<wxMessageDialog> {
  public:
    ExpectBox(std::vector<ShownBox>* log, int answer) : log_(log), answer_(answer) {}

  protected:
    int OnInvoked(wxMessageDialog* dlg) const override {
        log_->push_back({dlg->GetMessage().utf8_string(), dlg->GetCaption().utf8_string(),
                         dlg->GetMessageDialogStyle()});
        return answer_;
    }

  private:
    std::vector<ShownBox>* log_;
    int answer_;
};

}  // namespace hc12::testing

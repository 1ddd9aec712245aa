#include "ProgramMessageDialog.h"

#include <algorithm>

#include <wx/sizer.h>

namespace hc12 {
namespace {

// What a title bar takes besides the caption: its buttons and margins.
constexpr int kTitleBarExtra = 140;

// The generic box draws an icon for any icon flag, wxICON_NONE included (the art
// provider then asserts and hands back the error icon): no icon means no flag.
long WithoutIconNone(long style) {
    return (style & wxICON_NONE) ? style & ~wxICON_MASK : style;
}

}  // namespace

ProgramMessageDialog::ProgramMessageDialog(const wxString& text, const wxString& caption,
                                           long style)
    // Without a parent, as every box of the program.
    : wxGenericMessageDialog(nullptr, text, caption, WithoutIconNone(style)) {
    // Escape and the close box would otherwise press the affirmative button.
    if (style & wxYES_NO)
        SetEscapeId(wxID_NO);
}

void ProgramMessageDialog::AddMessageDialogDetails(wxSizer* sizer) {
    // A title bar's font is usually larger and bolder than the dialog's.
    wxFont titleFont = GetFont().Bold().Scaled(1.25f);
    const int captionWidth = GetTextExtent(GetTitle()).x;
    int scaledWidth = 0, height = 0;
    GetTextExtent(GetTitle(), &scaledWidth, &height, nullptr, nullptr, &titleFont);
    sizer->Add(std::max(captionWidth, scaledWidth) + FromDIP(kTitleBarExtra), 0);
}

}  // namespace hc12

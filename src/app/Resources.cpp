#include "Resources.h"

#include <wx/dcmemory.h>
#include <wx/image.h>

#include "Translate.h"

namespace hc12 {
namespace {

#include "close.xpm"
#include "connect.xpm"
#include "hc12bmp.xpm"
#include "help.xpm"
#include "idi_icon.xpm"
#include "new.xpm"
#include "open.xpm"
#include "read.xpm"
#include "save.xpm"
#include "write.xpm"

struct Entry {
    const char* name;
    const char* const* xpm;
};

constexpr Entry kImages[] = {
    {"IDI_ICON", idi_icon_xpm}, {"new", new_xpm},     {"open", open_xpm},
    {"save", save_xpm},         {"close", close_xpm}, {"help", help_xpm},
    {"connect", connect_xpm},   {"read", read_xpm},   {"write", write_xpm},
    {"HC12BMP", hc12bmp_xpm},
};

const char* const* FindXpm(const wxString& name) {
    for (const Entry& e : kImages)
        if (name.IsSameAs(wxString::FromAscii(e.name), false))
            return e.xpm;
    return nullptr;
}

}  // namespace

wxBitmap LoadResourceBitmap(const wxString& name) {
    const char* const* xpm = FindXpm(name);
    return xpm ? wxBitmap(xpm) : wxBitmap();
}

wxBitmap ButtonFace(const wxString& name, const char* label) {
    wxBitmap face = LoadResourceBitmap(name);
    const char* translated = Tr(label);
    if (!face.IsOk() || translated == label)
        return face;
    // The drawn label stands in the face's bottom strip (rows 30 to 36 of 40, inside
    // a one-pixel frame): cleared with the face's own grey, and the translation
    // written there, as large as fits.
    constexpr int kStripTop = 27, kStripHeight = 12, kMargin = 2;
    wxMemoryDC dc(face);
    const wxColour grey(0xC0, 0xC0, 0xC0);
    dc.SetPen(wxPen(grey));
    dc.SetBrush(wxBrush(grey));
    dc.DrawRectangle(1, kStripTop, face.GetWidth() - 2, kStripHeight);
    const wxString text = wxString::FromUTF8(translated);
    wxFont font(wxFontInfo(wxSize(0, 10)).Family(wxFONTFAMILY_SWISS));
    for (int pixels = 10; pixels > 5; --pixels) {
        font.SetPixelSize(wxSize(0, pixels));
        dc.SetFont(font);
        if (dc.GetTextExtent(text).x <= face.GetWidth() - 2 * kMargin)
            break;
    }
    const wxSize extent = dc.GetTextExtent(text);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(text, (face.GetWidth() - extent.x) / 2, kStripTop + (kStripHeight - extent.y) / 2);
    dc.SelectObject(wxNullBitmap);
    return face;
}

wxIcon LoadResourceIcon(const wxString& name) {
    wxIcon icon;
    const wxBitmap bitmap = LoadResourceBitmap(name);
    if (bitmap.IsOk())
        icon.CopyFromBitmap(bitmap);
    return icon;
}

}  // namespace hc12

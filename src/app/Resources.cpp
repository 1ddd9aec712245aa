#include "Resources.h"

#include <algorithm>

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

wxBitmap ScaledBitmap(const wxBitmap& bitmap, double scale) {
    if (!bitmap.IsOk() || scale == 1.0)
        return bitmap;
    const auto scaled = [scale](int pixels) { return std::max(1, int(pixels * scale + 0.5)); };
    return wxBitmap(bitmap.ConvertToImage().Scale(
        scaled(bitmap.GetWidth()), scaled(bitmap.GetHeight()), wxIMAGE_QUALITY_HIGH));
}

wxBitmap ButtonFace(const wxString& name, const char* label, double scale) {
    wxBitmap face = ScaledBitmap(LoadResourceBitmap(name), scale);
    const char* translated = Tr(label);
    if (!face.IsOk() || translated == label)
        return face;
    // The drawn label stands in the face's bottom strip (rows 30 to 36 of 40, inside
    // a one-pixel frame): cleared with the face's own grey, and the translation
    // written there, as large as fits. Measures at the drawn size, scaled.
    const auto px = [scale](int pixels) { return std::max(1, int(pixels * scale + 0.5)); };
    const int stripTop = px(27), stripHeight = px(12), margin = px(2), frame = px(1);
    wxMemoryDC dc(face);
    const wxColour grey(0xC0, 0xC0, 0xC0);
    dc.SetPen(wxPen(grey));
    dc.SetBrush(wxBrush(grey));
    dc.DrawRectangle(frame, stripTop, face.GetWidth() - 2 * frame, stripHeight);
    const wxString text = wxString::FromUTF8(translated);
    wxFont font(wxFontInfo(wxSize(0, px(10))).Family(wxFONTFAMILY_SWISS));
    for (int pixels = px(10); pixels > px(5); --pixels) {
        font.SetPixelSize(wxSize(0, pixels));
        dc.SetFont(font);
        if (dc.GetTextExtent(text).x <= face.GetWidth() - 2 * margin)
            break;
    }
    const wxSize extent = dc.GetTextExtent(text);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(text, (face.GetWidth() - extent.x) / 2, stripTop + (stripHeight - extent.y) / 2);
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

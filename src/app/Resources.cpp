#include "Resources.h"

#include <wx/image.h>

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

wxIcon LoadResourceIcon(const wxString& name) {
    wxIcon icon;
    const wxBitmap bitmap = LoadResourceBitmap(name);
    if (bitmap.IsOk())
        icon.CopyFromBitmap(bitmap);
    return icon;
}

}  // namespace hc12

// The pictures the window uses, compiled into the program and looked up by name
// (case does not matter), so the program runs from any folder. An unknown name gives
// an invalid bitmap; the window then goes without that picture.
#pragma once

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/string.h>

namespace hc12 {

wxBitmap LoadResourceBitmap(const wxString& name);
wxIcon LoadResourceIcon(const wxString& name);

// A picture `scale` times its size (the pictures are drawn for 96 DPI); the same
// bitmap at scale 1.
wxBitmap ScaledBitmap(const wxBitmap& bitmap, double scale);

// The face of a large button ("connect", "read", "write") with its label in the
// language in use, `scale` times its drawn size: `label` is the program's own, as
// drawn on the face; a translation is written over it.
wxBitmap ButtonFace(const wxString& name, const char* label, double scale = 1.0);

}  // namespace hc12

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

// The face of a large button ("connect", "read", "write") with its label in the
// language in use: `label` is the program's own, as drawn on the face; a translation
// is written over it.
wxBitmap ButtonFace(const wxString& name, const char* label);

}  // namespace hc12

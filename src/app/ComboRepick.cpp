#include "ComboRepick.h"

#include <cstdlib>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace hc12 {

#ifdef __WXGTK__
namespace {

struct RepickWatch {
    wxComboBox* combo = nullptr;
    int shownWhenOpened = wxNOT_FOUND;
};

void OnPopupShown(GObject* object, GParamSpec*, gpointer data) {
    gboolean shown = FALSE;
    g_object_get(object, "popup-shown", &shown, nullptr);
    // The list closes before it reports the activated entry: keep what it was
    // opened on until then.
    if (shown)
        static_cast<RepickWatch*>(data)->shownWhenOpened =
            static_cast<RepickWatch*>(data)->combo->GetSelection();
}

// The popup list reports every entry the user activates, the shown one included
// (the combo box itself then sees no change and stays silent).
void OnMenuActivate(GtkWidget*, const gchar* path, gpointer data) {
    auto* watch = static_cast<RepickWatch*>(data);
    if (path == nullptr || watch->shownWhenOpened == wxNOT_FOUND)
        return;
    const int index = std::atoi(path);
    const int shown = watch->shownWhenOpened;
    watch->shownWhenOpened = wxNOT_FOUND;
    if (index != shown || watch->combo->GetSelection() != index)
        return;  // a change: the combo box sends its own event
    wxCommandEvent event(wxEVT_COMBOBOX, watch->combo->GetId());
    event.SetEventObject(watch->combo);
    event.SetInt(index);
    event.SetString(watch->combo->GetString(unsigned(index)));
    watch->combo->HandleWindowEvent(event);
}

}  // namespace

void SendSelectionOnRepick(wxComboBox* combo) {
    GtkWidget* widget = combo->GetHandle();
    if (widget == nullptr || !GTK_IS_COMBO_BOX(widget))
        return;
    AtkObject* popupAccessible = gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(widget));
    GtkWidget* popup = popupAccessible && GTK_IS_ACCESSIBLE(popupAccessible)
                           ? gtk_accessible_get_widget(GTK_ACCESSIBLE(popupAccessible))
                           : nullptr;
    if (popup == nullptr || g_signal_lookup("menu-activate", G_OBJECT_TYPE(popup)) == 0)
        return;  // a list-style popup: its choices cannot be told apart from a cancel
    auto* watch = new RepickWatch{combo};
    g_signal_connect(widget, "notify::popup-shown", G_CALLBACK(OnPopupShown), watch);
    g_signal_connect(popup, "menu-activate", G_CALLBACK(OnMenuActivate), watch);
    // The watch lives as long as the combo box.
    combo->Bind(wxEVT_DESTROY, [widget, popup, watch](wxWindowDestroyEvent& event) {
        event.Skip();
        if (event.GetEventObject() != watch->combo)
            return;
        g_signal_handlers_disconnect_by_data(widget, watch);
        g_signal_handlers_disconnect_by_data(popup, watch);
        delete watch;
    });
}

void ListLongEntriesWhole(wxComboBox* combo) {
    GtkWidget* widget = combo->GetHandle();
    if (widget == nullptr || !GTK_IS_COMBO_BOX(widget))
        return;
    // A text cut short needs less room than the longest entry, so the box asks
    // for none beyond the size it is given.
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(widget));
    for (GList* cell = cells; cell != nullptr; cell = cell->next)
        if (GTK_IS_CELL_RENDERER_TEXT(cell->data))
            g_object_set(cell->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    g_list_free(cells);
}
#else
void SendSelectionOnRepick(wxComboBox*) {}
void ListLongEntriesWhole(wxComboBox*) {}
#endif

}  // namespace hc12

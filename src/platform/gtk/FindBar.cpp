#include "platform/gtk/FindBar.h"

#include <algorithm>
#include <string>

#include "platform/gtk/ClientArea.h"

namespace poremisu {

namespace {

constexpr const char* kFindBarKey = "poremisu-find-bar";
constexpr guint32 kFindOptions = WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE | WEBKIT_FIND_OPTIONS_WRAP_AROUND;

GtkWidget* Button(const char* label, GCallback clicked, gpointer data) {
    GtkWidget* button = gtk_button_new_with_label(label);
    gtk_widget_set_can_focus(button, FALSE);
    g_signal_connect_swapped(button, "clicked", clicked, data);
    return button;
}

}  // namespace

FindBar::FindBar(GtkWidget* clientArea, WebKitWebView* view)
    : m_clientArea(clientArea), m_view(view), m_controller(webkit_web_view_get_find_controller(view)) {
    // A window of its own, so that it is drawn over the page's.
    m_bar = gtk_event_box_new();
    gtk_event_box_set_visible_window(GTK_EVENT_BOX(m_bar), TRUE);
    g_object_set_data(G_OBJECT(m_bar), kFindBarKey, this);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
    gtk_container_set_border_width(GTK_CONTAINER(row), 3);
    m_entry = gtk_entry_new();
    gtk_entry_set_width_chars(GTK_ENTRY(m_entry), 18);
    m_count = gtk_label_new("");
    gtk_label_set_width_chars(GTK_LABEL(m_count), 7);
    gtk_box_pack_start(GTK_BOX(row), gtk_label_new("検索"), FALSE, FALSE, 2);
    gtk_box_pack_start(GTK_BOX(row), m_entry, TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(row), Button("前へ", G_CALLBACK(+[](FindBar* self) { self->Next(true); }), this),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), Button("次へ", G_CALLBACK(+[](FindBar* self) { self->Next(false); }), this),
                       FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), m_count, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), Button("×", G_CALLBACK(+[](FindBar* self) { self->Close(); }), this), FALSE,
                       FALSE, 0);
    // Opaque, with a frame: the page goes on under it.
    gtk_style_context_add_class(gtk_widget_get_style_context(m_bar), GTK_STYLE_CLASS_BACKGROUND);
    GtkWidget* frame = gtk_frame_new(nullptr);
    gtk_container_add(GTK_CONTAINER(frame), row);
    gtk_container_add(GTK_CONTAINER(m_bar), frame);
    gtk_widget_show(frame);
    gtk_widget_show_all(row);
    gtk_widget_set_no_show_all(m_bar, TRUE);
    ClientAreaAdd(m_clientArea, m_bar);
    g_signal_connect(m_entry, "changed", G_CALLBACK(OnChanged), this);
    g_signal_connect(m_entry, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(m_controller, "counted-matches", G_CALLBACK(OnCounted), this);
    g_signal_connect(m_controller, "failed-to-find-text", G_CALLBACK(OnFailed), this);
}

FindBar::~FindBar() {
    g_signal_handlers_disconnect_by_data(m_controller, this);
    g_signal_handlers_disconnect_by_data(m_entry, this);
    if (GtkWidget* parent = gtk_widget_get_parent(m_bar)) gtk_container_remove(GTK_CONTAINER(parent), m_bar);
}

bool FindBar::Contains(GtkWidget* widget) {
    for (; widget; widget = gtk_widget_get_parent(widget)) {
        if (g_object_get_data(G_OBJECT(widget), kFindBarKey)) return true;
    }
    return false;
}

void FindBar::Open() {
    gtk_widget_show(m_bar);
    Place(m_page);
    gtk_widget_grab_focus(m_entry);
    gtk_editable_select_region(GTK_EDITABLE(m_entry), 0, -1);
    Search();
}

void FindBar::Close() {
    if (!IsOpen()) return;
    webkit_find_controller_search_finish(m_controller);
    gtk_widget_hide(m_bar);
    gtk_widget_grab_focus(GTK_WIDGET(m_view));
}

void FindBar::Next(bool backwards) {
    if (!IsOpen()) {
        Open();
        return;
    }
    if (!*gtk_entry_get_text(GTK_ENTRY(m_entry))) return;
    backwards ? webkit_find_controller_search_previous(m_controller) : webkit_find_controller_search_next(m_controller);
}

void FindBar::Place(GdkRectangle page) {
    m_page = page;
    if (!IsOpen()) return;
    GtkRequisition size;
    gtk_widget_get_preferred_size(m_bar, &size, nullptr);
    const int width = std::min(size.width, std::max(page.width, 0));
    ClientAreaPlace(m_clientArea, m_bar, {page.x + page.width - width, page.y, width, size.height});
}

void FindBar::Search() {
    const gchar* text = gtk_entry_get_text(GTK_ENTRY(m_entry));
    if (!*text) {
        webkit_find_controller_search_finish(m_controller);
        gtk_label_set_text(GTK_LABEL(m_count), "");
        return;
    }
    webkit_find_controller_search(m_controller, text, kFindOptions, G_MAXUINT);
    webkit_find_controller_count_matches(m_controller, text, kFindOptions, G_MAXUINT);
}

void FindBar::OnChanged(GtkEditable*, gpointer data) { static_cast<FindBar*>(data)->Search(); }

gboolean FindBar::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<FindBar*>(data);
    const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    const bool shift = modifiers == GDK_SHIFT_MASK;
    if (modifiers != 0 && !shift) return FALSE;
    switch (event->keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_F3: self->Next(shift); return TRUE;
    case GDK_KEY_Escape:
        if (shift) return FALSE;
        self->Close();
        return TRUE;
    default: return FALSE;
    }
}

void FindBar::OnCounted(WebKitFindController*, guint count, gpointer data) {
    auto* self = static_cast<FindBar*>(data);
    gtk_label_set_text(GTK_LABEL(self->m_count), (std::to_string(count) + " 件").c_str());
}

void FindBar::OnFailed(WebKitFindController*, gpointer data) {
    gtk_label_set_text(GTK_LABEL(static_cast<FindBar*>(data)->m_count), "0 件");
}

}  // namespace poremisu

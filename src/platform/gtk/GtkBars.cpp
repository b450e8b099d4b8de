#include "platform/gtk/GtkBars.h"

#include <algorithm>

#include "app/Text.h"
#include "platform/gtk/ClientArea.h"
#include "ui/DialogTemplates.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

// The address bar's height, in dialog units.
constexpr int kAddressBarUnits = main_template::kAddressBar.height;

// The address bar is as high as its template row, not as the theme's entries.
constexpr const char* kStyle =
    "#poremisu-address { min-height: 0; padding-top: 1px; padding-bottom: 1px;"
    " font-family: \"IPAPGothic\"; font-size: 9pt; }\n"
    "#poremisu-status, #poremisu-status label { font-family: \"IPAPGothic\"; font-size: 9pt; }\n";

}  // namespace

GtkBars::GtkBars(GtkWidget* area, const DialogBaseUnits& units, const CodePage& codePage, const HostLink& link)
    : m_area(area), m_units(units), m_codePage(codePage), m_link(link) {
    AddScreenStyle(m_area, kStyle);

    m_addressBar = gtk_entry_new();
    gtk_widget_set_name(m_addressBar, "poremisu-address");
    // No minimum width of its own: the layout gives it the window's width.
    gtk_entry_set_width_chars(GTK_ENTRY(m_addressBar), 0);
    ClientAreaAdd(m_area, m_addressBar);
    gtk_widget_show(m_addressBar);
    g_signal_connect(m_addressBar, "activate", G_CALLBACK(OnAddressActivate), this);
    g_signal_connect(m_addressBar, "focus-out-event", G_CALLBACK(OnAddressFocusOut), this);

    m_statusBar = gtk_statusbar_new();
    gtk_widget_set_name(m_statusBar, "poremisu-status");
    m_statusContext = gtk_statusbar_get_context_id(GTK_STATUSBAR(m_statusBar), "status");
    ClientAreaAdd(m_area, m_statusBar);
}

std::string GtkBars::GetAddressBarText(std::size_t count) {
    return CutToCount(m_codePage.FromUtf8(gtk_entry_get_text(GTK_ENTRY(m_addressBar))), count);
}

void GtkBars::SetAddressBarText(const std::string& text) {
    gtk_entry_set_text(GTK_ENTRY(m_addressBar), m_codePage.ToUtf8(text).c_str());
}

std::int32_t GtkBars::AddressBarCreatedHeight() { return m_units.Y(kAddressBarUnits); }

void GtkBars::MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    ClientAreaPlace(m_area, m_addressBar, GdkRectangle{x, y, std::max(w, 0), std::max(h, 0)});
}

void GtkBars::CreateStatusBar() {
    gtk_statusbar_remove_all(GTK_STATUSBAR(m_statusBar), m_statusContext);
    gtk_widget_show(m_statusBar);
}

std::int32_t GtkBars::StatusBarHeight() {
    int minimum = 0, natural = 0;
    gtk_widget_get_preferred_height(m_statusBar, &minimum, &natural);
    return natural;
}

void GtkBars::ShowStatusBar(bool visible) { gtk_widget_set_visible(m_statusBar, visible); }

void GtkBars::MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    ClientAreaPlace(m_area, m_statusBar, GdkRectangle{x, y, std::max(w, 0), std::max(h, 0)});
}

void GtkBars::SetStatusText(const std::string& text) {
    GtkStatusbar* bar = GTK_STATUSBAR(m_statusBar);
    gtk_statusbar_remove_all(bar, m_statusContext);
    gtk_statusbar_push(bar, m_statusContext, m_codePage.ToUtf8(text).c_str());
}

void GtkBars::OnAddressActivate(GtkEntry*, gpointer data) {
    auto* self = static_cast<GtkBars*>(data);
    if (self->m_link.Live()) self->m_link.core->OnAddressBarActivate();
}

gboolean GtkBars::OnAddressFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkBars*>(data);
    if (self->m_link.Live()) self->m_link.core->OnAddressBarFocusOut();
    return FALSE;
}

void GtkBars::FocusAddressBar() {
    gtk_widget_grab_focus(m_addressBar);
    gtk_editable_select_region(GTK_EDITABLE(m_addressBar), 0, -1);
}

}  // namespace poremisu

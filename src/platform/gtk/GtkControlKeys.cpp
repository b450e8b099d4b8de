#include "platform/gtk/GtkControlKeys.h"

#include <optional>

#include "platform/gtk/WebKitBrowser.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

std::optional<ControlKey> KeyOf(guint keyval) {
    switch (gdk_keyval_to_lower(keyval)) {
    case GDK_KEY_F3: return ControlKey::F3;
    case GDK_KEY_F5: return ControlKey::F5;
    case GDK_KEY_F6: return ControlKey::F6;
    case GDK_KEY_F11: return ControlKey::F11;
    case GDK_KEY_Escape: return ControlKey::Escape;
    case GDK_KEY_Left: return ControlKey::Left;
    case GDK_KEY_Right: return ControlKey::Right;
    case GDK_KEY_BackSpace: return ControlKey::Backspace;
    case GDK_KEY_plus:
    case GDK_KEY_equal:
    case GDK_KEY_KP_Add: return ControlKey::Plus;
    case GDK_KEY_minus:
    case GDK_KEY_KP_Subtract: return ControlKey::Minus;
    case GDK_KEY_0:
    case GDK_KEY_KP_0: return ControlKey::Zero;
    case GDK_KEY_d: return ControlKey::D;
    case GDK_KEY_f: return ControlKey::F;
    case GDK_KEY_l: return ControlKey::L;
    case GDK_KEY_p: return ControlKey::P;
    case GDK_KEY_r: return ControlKey::R;
    default: return std::nullopt;
    }
}

unsigned ModifiersOf(guint state) {
    unsigned modifiers = modifier::kNone;
    if (state & GDK_SHIFT_MASK) modifiers |= modifier::kShift;
    if (state & GDK_CONTROL_MASK) modifiers |= modifier::kCtrl;
    if (state & GDK_MOD1_MASK) modifiers |= modifier::kAlt;
    return modifiers;
}

}  // namespace

GtkControlKeys::GtkControlKeys(GtkWidget* window, GtkWidget* view, WebKitBrowser& browser, MainWindow& core)
    : m_window(window), m_view(view), m_browser(browser), m_core(core) {
    g_signal_connect(m_window, "key-press-event", G_CALLBACK(OnKeyPress), this);
    gtk_widget_add_events(m_view, GDK_BUTTON_PRESS_MASK | GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
    g_signal_connect(m_view, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(m_view, "scroll-event", G_CALLBACK(OnScroll), this);
    // A page's own full screen (a video's): the engine fills the screen with
    // the window, and the bars give way meanwhile.
    g_signal_connect(m_view, "enter-fullscreen", G_CALLBACK(+[](WebKitWebView*, gpointer data) -> gboolean {
                         static_cast<GtkControlKeys*>(data)->m_core.SetFullScreen(true);
                         return FALSE;
                     }),
                     this);
    g_signal_connect(m_view, "leave-fullscreen", G_CALLBACK(+[](WebKitWebView*, gpointer data) -> gboolean {
                         static_cast<GtkControlKeys*>(data)->m_core.SetFullScreen(false);
                         return FALSE;
                     }),
                     this);
}

GtkControlKeys::~GtkControlKeys() {
    g_signal_handlers_disconnect_by_data(m_window, this);
    g_signal_handlers_disconnect_by_data(m_view, this);
}

bool GtkControlKeys::FocusInPage() const {
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(m_window));
    return focus && (focus == m_view || gtk_widget_is_ancestor(focus, m_view));
}

bool GtkControlKeys::Act(ControlAction action) {
    if (m_core.OnControlKey(action)) return true;
    switch (action) {
    case ControlAction::ReloadBypassingCache: m_browser.ReloadBypassingCache(); return true;
    case ControlAction::ZoomIn:
    case ControlAction::ZoomOut:
    case ControlAction::ZoomReset: m_browser.SetZoom(NextZoom(m_browser.Zoom(), action)); return true;
    case ControlAction::Print: m_browser.Print(); return true;
    case ControlAction::Find: m_browser.Find().Open(); return true;
    case ControlAction::FindNext:
    case ControlAction::FindPrevious: m_browser.Find().Next(action == ControlAction::FindPrevious); return true;
    case ControlAction::Stop:
        if (!m_browser.IsLoading()) return false;
        m_browser.Stop();
        return true;
    default: return false;
    }
}

gboolean GtkControlKeys::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkControlKeys*>(data);
    std::optional<ControlKey> key = KeyOf(event->keyval);
    if (!key) return FALSE;
    std::optional<ControlKeyRow> row = FindControlKey(*key, ModifiersOf(event->state));
    if (!row) return FALSE;
    if (row->pageFirst == PageFirst::Yes) {
        // Outside the page a text field or the window keeps such a key.
        if (!self->FocusInPage()) return FALSE;
        // Escape stops a load before the page sees it, as a browser does.
        if (row->action != ControlAction::Stop) {
            const bool returned = event->time == self->m_pageKeyTime && event->keyval == self->m_pageKeyval;
            if (!returned) {
                self->m_pageKeyTime = event->time;
                self->m_pageKeyval = event->keyval;
                return FALSE;
            }
            self->m_pageKeyTime = 0;
        }
    }
    return self->Act(row->action) ? TRUE : FALSE;
}

gboolean GtkControlKeys::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<GtkControlKeys*>(data);
    if (event->type != GDK_BUTTON_PRESS || (event->button != 8 && event->button != 9)) return FALSE;
    auto row = FindControlKey(event->button == 8 ? ControlKey::MouseBack : ControlKey::MouseForward,
                              ModifiersOf(event->state));
    return row && self->Act(row->action) ? TRUE : FALSE;
}

gboolean GtkControlKeys::OnScroll(GtkWidget*, GdkEventScroll* event, gpointer data) {
    auto* self = static_cast<GtkControlKeys*>(data);
    if ((event->state & gtk_accelerator_get_default_mod_mask()) != GDK_CONTROL_MASK) return FALSE;
    // Ctrl+wheel zooms as Ctrl+plus and Ctrl+minus do, a step a notch.
    double dy = 0;
    if (event->direction == GDK_SCROLL_UP) dy = -1;
    else if (event->direction == GDK_SCROLL_DOWN) dy = 1;
    else if (event->direction == GDK_SCROLL_SMOOTH) gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), nullptr, &dy);
    if (dy == 0) return TRUE;
    self->Act(dy < 0 ? ControlAction::ZoomIn : ControlAction::ZoomOut);
    return TRUE;
}

}  // namespace poremisu

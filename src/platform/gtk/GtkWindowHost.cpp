#include "platform/gtk/GtkWindowHost.h"

#include <algorithm>
#include <vector>

#include "platform/gtk/ClientArea.h"
#include "platform/gtk/FindBar.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

bool IsInput(GdkEventType type) {
    switch (type) {
    case GDK_MOTION_NOTIFY:
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
    case GDK_SCROLL:
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
        return true;
    default:
        return false;
    }
}

GtkWidget* AddClientArea(GtkWidget* window) {
    GtkWidget* area = ClientAreaNew();
    gtk_container_add(GTK_CONTAINER(window), area);
    return area;
}

// Dialogs that the engine or the toolkit run in loops of their own (printing,
// the save dialog's question before a file is replaced) would keep the program
// waiting for an answer after its window went: each is answered as cancelled,
// one that stands over another dialog first, so that every loop returns.
void CancelOtherDialogs() {
    std::vector<GtkDialog*> dialogs;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item; item = item->next) {
        if (GTK_IS_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            dialogs.push_back(GTK_DIALOG(g_object_ref(item->data)));
        }
    }
    g_list_free(toplevels);
    std::stable_partition(dialogs.begin(), dialogs.end(), [](GtkDialog* dialog) {
        return GTK_IS_DIALOG(gtk_window_get_transient_for(GTK_WINDOW(dialog)));
    });
    for (GtkDialog* dialog : dialogs) {
        gtk_dialog_response(dialog, GTK_RESPONSE_CANCEL);
        g_object_unref(dialog);
    }
}

}  // namespace

GtkWindowHost::Toplevel::Toplevel() : widget(gtk_window_new(GTK_WINDOW_TOPLEVEL)) {}

GtkWindowHost::Toplevel::~Toplevel() { gtk_widget_destroy(widget); }

GtkWindowHost::GtkWindowHost(AppState& state, const Texts& texts, const CodePage& codePage)
    : m_area(AddClientArea(m_window.widget)),
      m_units(MeasureDialogBaseUnits(m_window.widget, kDialogFont)),
      m_frame(m_window.widget, m_area, m_units, codePage, m_link),
      m_bars(m_area, m_units, codePage, m_link),
      m_menus(m_window.widget, m_area, codePage, m_link),
      m_boxes(m_window.widget, state, texts, codePage, m_units, m_menus, m_link),
      m_handOff(m_window.widget, state, m_link) {
    GtkWidget* window = m_window.widget;
    // The title is composed by the core; until then it holds the product
    // word, so that a later start finds the window from its first moment.
    gtk_window_set_title(GTK_WINDOW(window), codePage.ToUtf8(texts.productWord).c_str());
    gtk_widget_add_events(window, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                      GDK_SCROLL_MASK | GDK_KEY_PRESS_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window, "key-press-event", G_CALLBACK(OnKeyPress), this);

    // Input anywhere in the window, the page included, restarts the idle
    // count; the engine's view keeps its events to itself, so they are
    // looked at before any widget sees them.
    gdk_event_handler_set(OnEvent, this, nullptr);

    // Realized now so that a later start can find the window and hand over.
    gtk_widget_realize(window);
    m_frame.Realized();
    m_handOff.Realized();
}

GtkWindowHost::~GtkWindowHost() {
    gdk_event_handler_set([](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    if (m_timer) g_source_remove(m_timer);
}

void GtkWindowHost::Attach(MainWindow& core, CWebBrowser2& browser, GtkWidget* browserView) {
    m_link.core = &core;
    m_link.browser = &browser;
    m_link.browserView = browserView;
    gtk_widget_show(browserView);
    m_menus.Attach(browserView);
}

void GtkWindowHost::ShowInitially() {
    if (m_link.ended) return;
    // The page takes the keyboard first, as the first control of the window.
    if (m_link.browserView) gtk_widget_grab_focus(m_link.browserView);
    m_frame.ShowInitially();
}

void GtkWindowHost::StartTimer(std::chrono::milliseconds period) {
    if (m_timer) g_source_remove(m_timer);
    std::chrono::milliseconds chosen = m_tickOverride.value_or(period);
    m_timer = g_timeout_add(static_cast<guint>(std::max<std::int64_t>(chosen.count(), 1)), OnTick, this);
}

gboolean GtkWindowHost::OnTick(gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (!self->m_link.Live()) {
        self->m_timer = 0;
        return G_SOURCE_REMOVE;
    }
    self->m_link.core->OnTimer();
    return G_SOURCE_CONTINUE;
}

void GtkWindowHost::Close() {
    if (m_link.Live()) m_link.core->OnClose();
}

void GtkWindowHost::EndWindow() {
    if (m_link.ended) return;
    m_link.ended = true;
    if (m_timer) g_source_remove(m_timer);
    m_timer = 0;
    m_boxes.EndBoxes();
    CancelOtherDialogs();
    // The window itself goes when the run is over: this may be called from
    // inside one of its own handlers.
    gtk_widget_hide(m_window.widget);
    if (gtk_main_level() > 0) gtk_main_quit();
}

gboolean GtkWindowHost::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    // The close box: the placement is saved and the window ends.
    self->Close();
    return TRUE;
}

gboolean GtkWindowHost::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    if (!self->m_link.Live()) return FALSE;
    guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
    if (event->keyval == GDK_KEY_space && modifiers == GDK_MOD1_MASK) {
        self->m_menus.PopupSystemMenu(reinterpret_cast<GdkEvent*>(event));
        return TRUE;
    }
    // Desktops keep Alt+Space for their own window menu; F10 is the key
    // every program there answers with its menus: the menu bar when it is
    // shown (GTK opens it), else the system menu's items. Shift+F10 and the
    // Menu key reach the page's context menu, which carries them too.
    if (event->keyval == GDK_KEY_F10 && modifiers == 0 && !ClientAreaBar(self->m_area)) {
        self->m_menus.PopupSystemMenu(reinterpret_cast<GdkEvent*>(event));
        return TRUE;
    }
    if (event->keyval == GDK_KEY_Escape && modifiers == 0) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->m_window.widget));
        // The find bar closes at its Escape; the window stays.
        if (FindBar::Contains(focus)) return FALSE;
        bool inPage = focus && self->m_link.browserView &&
                      (focus == self->m_link.browserView || gtk_widget_is_ancestor(focus, self->m_link.browserView));
        return self->m_link.core->OnEscape(inPage) ? TRUE : FALSE;
    }
    return FALSE;
}

void GtkWindowHost::OnEvent(GdkEvent* event, gpointer data) {
    auto* self = static_cast<GtkWindowHost*>(data);
    GdkWindow* toplevel = gtk_widget_get_window(self->m_window.widget);
    bool forWindow = self->m_link.Live() && toplevel && event->any.window &&
                     gdk_window_get_toplevel(event->any.window) == toplevel;
    if (forWindow && event->type == GDK_DELETE) {
        // Taken here, since GTK drops a close request for a window while
        // another holds the grab (a modal box, an open menu): the window
        // closes all the same, ending any box first.
        self->Close();
        return;
    }
    if (forWindow && IsInput(event->type)) self->m_link.core->OnInput();
    gtk_main_do_event(event);
}

}  // namespace poremisu

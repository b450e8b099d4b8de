#include "platform/gtk/GtkHandOffReceiver.h"

#include <string>

#include "platform/HandOff.h"
#include "ui/MainWindow.h"

// Last: Xlib's macros (None, Status, ...) must not reach the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

namespace poremisu {

GtkHandOffReceiver::GtkHandOffReceiver(GtkWidget* window, AppState& state, const HostLink& link)
    : m_window(window), m_state(state), m_link(link) {}

GtkHandOffReceiver::~GtkHandOffReceiver() {
    if (GdkWindow* gdkWindow = gtk_widget_get_window(m_window)) gdk_window_remove_filter(gdkWindow, OnXEvent, this);
}

void GtkHandOffReceiver::Realized() {
    GdkWindow* gdkWindow = gtk_widget_get_window(m_window);
    if (!GDK_IS_X11_WINDOW(gdkWindow)) return;
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    m_commandAtom = XInternAtom(display, kHandOffMessageType, False);
    m_ackAtom = XInternAtom(display, kHandOffAckProperty, False);
    m_state.mainWindow = GDK_WINDOW_XID(gdkWindow);
    // Later starts of this copy of the program look for this mark; a
    // copy in another folder carries another name.
    const std::string& name = m_state.instanceName;
    XChangeProperty(display, m_state.mainWindow, XInternAtom(display, kInstanceProperty, False), XA_STRING, 8,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(name.data()),
                    static_cast<int>(name.size()));
    gdk_window_add_filter(gdkWindow, OnXEvent, this);
}

GdkFilterReturn GtkHandOffReceiver::OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer data) {
    auto* self = static_cast<GtkHandOffReceiver*>(data);
    auto* event = static_cast<XEvent*>(xevent);
    if (event->type != ClientMessage || event->xclient.message_type != self->m_commandAtom) {
        return GDK_FILTER_CONTINUE;
    }
    if (event->xclient.format == 32 && self->m_link.Live() &&
        self->m_link.core->OnExternalCommand(event->xclient.data.l[0])) {
        long token = event->xclient.data.l[1];
        // The sender waits for this property to learn that the address was taken.
        XChangeProperty(event->xclient.display, event->xclient.window, self->m_ackAtom, XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<unsigned char*>(&token), 1);
        XFlush(event->xclient.display);
    }
    return GDK_FILTER_REMOVE;
}

}  // namespace poremisu

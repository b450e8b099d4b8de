#pragma once

#include <gtk/gtk.h>

#include "app/AppState.h"
#include "platform/gtk/HostLink.h"

namespace poremisu {

// The main window's side of the hand-off: marks the window so that a later
// start of this copy finds it, takes the commands such a start sends and
// acknowledges those the core accepted.
class GtkHandOffReceiver {
public:
    GtkHandOffReceiver(GtkWidget* window, AppState& state, const HostLink& link);
    ~GtkHandOffReceiver();
    GtkHandOffReceiver(const GtkHandOffReceiver&) = delete;
    GtkHandOffReceiver& operator=(const GtkHandOffReceiver&) = delete;

    // Once the window is realized: records it in the state, marks it and listens.
    void Realized();

private:
    static GdkFilterReturn OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);

    GtkWidget* m_window;
    AppState& m_state;
    const HostLink& m_link;
    unsigned long m_commandAtom = 0;
    unsigned long m_ackAtom = 0;
};

}  // namespace poremisu

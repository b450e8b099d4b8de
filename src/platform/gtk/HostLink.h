#pragma once

#include <gtk/gtk.h>

namespace poremisu {

class CWebBrowser2;
class MainWindow;

// What the parts of the GTK main window share: the core and the browser,
// once attached, and whether the window's run is over. No part calls the
// core before it is attached or after the run has ended.
struct HostLink {
    MainWindow* core = nullptr;
    CWebBrowser2* browser = nullptr;
    GtkWidget* browserView = nullptr;
    bool ended = false;

    bool Live() const { return core && !ended; }
};

}  // namespace poremisu

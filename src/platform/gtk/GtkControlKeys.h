#pragma once

#include <gtk/gtk.h>

#include "ui/ControlKeys.h"

namespace poremisu {

class MainWindow;
class WebKitBrowser;

// The control's keys and mouse buttons in the window, by the core's key
// table: the window's commands go to the core, the rest to the engine. A key
// the page may keep (Backspace in a text field) acts only once the page has
// left it alone.
class GtkControlKeys {
public:
    GtkControlKeys(GtkWidget* window, GtkWidget* view, WebKitBrowser& browser, MainWindow& core);
    ~GtkControlKeys();
    GtkControlKeys(const GtkControlKeys&) = delete;
    GtkControlKeys& operator=(const GtkControlKeys&) = delete;

private:
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnButtonPress(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnScroll(GtkWidget* widget, GdkEventScroll* event, gpointer self);
    bool Act(ControlAction action);
    bool FocusInPage() const;

    GtkWidget* m_window;
    GtkWidget* m_view;
    WebKitBrowser& m_browser;
    MainWindow& m_core;
    // The last key that went to the page first: the engine hands a key the
    // page did not take back to the window, with the same time.
    guint32 m_pageKeyTime = 0;
    guint m_pageKeyval = 0;
};

}  // namespace poremisu

#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace poremisu {

// Find in the page, as the control offers it: a small bar over the page's
// top right corner ("検索", the text, "前へ", "次へ", "N 件"), searching as
// the user types, without case, round the page's end. Enter and F3 find the
// next, with Shift the one before; Escape closes the bar, and only the bar.
// It loads nothing and logs nothing.
class FindBar {
public:
    FindBar(GtkWidget* clientArea, WebKitWebView* view);
    ~FindBar();
    FindBar(const FindBar&) = delete;
    FindBar& operator=(const FindBar&) = delete;

    void Open();
    void Close();
    bool IsOpen() const { return gtk_widget_get_visible(m_bar); }
    // The next match, or the one before; opens the bar when it is closed.
    void Next(bool backwards);
    // Keeps the bar at the page's top right corner; `page` is the page's
    // rectangle in the client area.
    void Place(GdkRectangle page);

    // Whether `widget` lies in a find bar, whose keys are its own.
    static bool Contains(GtkWidget* widget);

private:
    void Search();
    static void OnChanged(GtkEditable* entry, gpointer self);
    static gboolean OnKeyPress(GtkWidget* entry, GdkEventKey* event, gpointer self);
    static void OnCounted(WebKitFindController* controller, guint count, gpointer self);
    static void OnFailed(WebKitFindController* controller, gpointer self);

    GtkWidget* m_clientArea;
    WebKitWebView* m_view;
    WebKitFindController* m_controller;
    GtkWidget* m_bar;
    GtkWidget* m_entry;
    GtkWidget* m_count;
    GdkRectangle m_page{0, 0, 0, 0};
};

}  // namespace poremisu

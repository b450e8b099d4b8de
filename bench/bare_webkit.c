// The least a program can do to show a page with this engine: one GtkWindow
// holding one WebKitWebView with the engine's default settings. Once the page
// has finished loading, the window takes the page's title and the program
// ends (with --stay it stays until it is ended, for memory readings).
//
//   bare_webkit [--stay] URI

#include <gtk/gtk.h>
#include <string.h>
#include <webkit2/webkit2.h>

static gboolean g_stay = FALSE;
static gboolean g_finished = FALSE;

static void ShowTitle(WebKitWebView* view, GtkWidget* window) {
    const char* title = webkit_web_view_get_title(view);
    // The title can reach this process after the finish: then it is shown when it comes.
    if (!g_finished || !title || !*title) return;
    gtk_window_set_title(GTK_WINDOW(window), title);
    // The title must reach the X server before the process ends.
    gdk_display_flush(gtk_widget_get_display(window));
    if (!g_stay) gtk_main_quit();
}

static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer window) {
    if (event != WEBKIT_LOAD_FINISHED) return;
    g_finished = TRUE;
    ShowTitle(view, GTK_WIDGET(window));
}

static void OnTitleChanged(GObject* view, GParamSpec* property, gpointer window) {
    (void)property;
    ShowTitle(WEBKIT_WEB_VIEW(view), GTK_WIDGET(window));
}

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    const char* uri = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--stay") == 0)
            g_stay = TRUE;
        else
            uri = argv[i];
    }
    if (!uri) {
        g_printerr("usage: bare_webkit [--stay] URI\n");
        return 2;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    // The size poremisu's window opens with, so both draw the same area.
    gtk_window_set_default_size(GTK_WINDOW(window), 536, 440);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), NULL);
    GtkWidget* view = webkit_web_view_new();
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), window);
    g_signal_connect(view, "notify::title", G_CALLBACK(OnTitleChanged), window);
    gtk_container_add(GTK_CONTAINER(window), view);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}

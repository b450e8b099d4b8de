// The window module's entry: the program loads it only to run a window.

#include "platform/gtk/WindowModule.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gtk/GtkMainWindowRunner.h"

namespace {

using namespace poremisu;

// POREMISU_SCREENSHOT=<path>: once the first page has completed and had time
// to paint, the window is written to <path> as PNG.
class Screenshot {
public:
    explicit Screenshot(const char* path) : m_path(path ? path : "") {}
    bool Wanted() const { return !m_path.empty(); }

    void AfterDocumentComplete(GtkWidget* window) {
        if (m_scheduled) return;
        m_scheduled = true;
        m_window = window;
        g_timeout_add(kPaintDelayMs, Take, this);
    }

private:
    static constexpr guint kPaintDelayMs = 300;

    static gboolean Take(gpointer data) {
        auto* self = static_cast<Screenshot*>(data);
        GdkWindow* gdkWindow = gtk_widget_get_window(self->m_window);
        GdkPixbuf* pixbuf = nullptr;
        if (gdkWindow && gdk_window_is_viewable(gdkWindow)) {
            pixbuf = gdk_pixbuf_get_from_window(gdkWindow, 0, 0, gdk_window_get_width(gdkWindow),
                                                gdk_window_get_height(gdkWindow));
        }
        GError* error = nullptr;
        if (pixbuf && gdk_pixbuf_save(pixbuf, self->m_path.c_str(), "png", &error, nullptr)) {
            std::printf("screenshot written to %s\n", self->m_path.c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "poremisu: screenshot not written to %s: %s\n", self->m_path.c_str(),
                         error ? error->message : "the window is not on screen");
        }
        if (error) g_error_free(error);
        if (pixbuf) g_object_unref(pixbuf);
        return G_SOURCE_REMOVE;
    }

    std::string m_path;
    GtkWidget* m_window = nullptr;
    bool m_scheduled = false;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) bool poremisu_run_main_window(
    const WindowModuleCall& call) {
    Screenshot screenshot(std::getenv("POREMISU_SCREENSHOT"));
    RunnerOptions options;
    if (call.tickPeriodMs > 0) options.tickPeriod = std::chrono::milliseconds(call.tickPeriodMs);
    if (screenshot.Wanted()) {
        options.afterDocumentComplete = [&screenshot](GtkWidget* window) {
            screenshot.AfterDocumentComplete(window);
        };
    }
    GtkMainWindowRunner runner(call.state, call.texts, call.services, call.codePage, std::move(options));
    runner.RunMainWindow(call.showState);
    return !runner.Failed();
}

// The entry's type is the one the program calls it by.
static_assert(std::is_same_v<decltype(&poremisu_run_main_window), WindowModuleEntry>);

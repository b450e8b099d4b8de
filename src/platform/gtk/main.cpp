// The Linux program: the core over the posix services, X11 and GTK/WebKitGTK.

#include <gtk/gtk.h>
#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/AppState.h"
#include "app/BrowserApp.h"
#include "app/Text.h"
#include "platform/gtk/CodePage.h"
#include "platform/gtk/GtkMainWindowRunner.h"
#include "platform/gtk/X11WindowSystem.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessServices.h"
#include "platform/posix/PosixProfileStore.h"

namespace {

using namespace poremisu;

std::string ModulePath(const char* argv0) {
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return argv0 ? argv0 : "";
    path.resize(static_cast<std::size_t>(length));
    return path;
}

// The whole argument text, as the program's single argument: every word
// joined by one blank.
std::string ArgumentText(int argc, char** argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) text += ' ';
        text += argv[i];
    }
    return text;
}

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

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::string_view productWord = Utf8(u8"ぽれみす");
    CodePage codePage = CodePage::ForLocale(productWord);
    if (codePage.IsUtf8() && !CodePage(nl_langinfo(CODESET)).IsUtf8()) {
        // The locale cannot spell the program's texts: run the whole process
        // in UTF-8, so every part converts to the same code page.
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    Texts texts = Texts::Make([&codePage](std::string_view utf8) { return codePage.FromUtf8(utf8); });

    PosixFileSystem files;
    PosixProfileStore profiles;
    PosixProcessServices process;
    X11WindowSystem windows;
    Services services{files, profiles, process, windows};
    AppState state;

    Screenshot screenshot(std::getenv("POREMISU_SCREENSHOT"));
    RunnerOptions options;
    if (screenshot.Wanted()) {
        options.afterDocumentComplete = [&screenshot](GtkWidget* window) { screenshot.AfterDocumentComplete(window); };
    }
#if defined(POREMISU_TEST_HOOKS)
    // Test runs shorten the idle timer's period so the watchdog can be watched.
    if (const char* tick = std::getenv("POREMISU_TEST_TICK_MS")) {
        long period = std::strtol(tick, nullptr, 10);
        if (period > 0) options.tickPeriod = std::chrono::milliseconds(period);
    }
#endif
    GtkMainWindowRunner runner(state, texts, services, codePage, std::move(options));

    StartupInfo info;
    info.modulePath = ModulePath(argc > 0 ? argv[0] : nullptr);
    info.argumentText = ArgumentText(argc, argv);
    info.showState = ShowCommand::Normal;

    BrowserApp app(state, texts, services);
    StartOutcome outcome = app.Start(info, runner);
    if (outcome == StartOutcome::Refused) {
        std::fprintf(stderr,
                     "poremisu: cannot start from %s: the folder's path is too long for the program's files "
                     "(at most %zu bytes each)\n",
                     info.modulePath.c_str(), kPathSize - 1);
        return 1;
    }
    if (runner.Failed()) return 1;
    return 0;
}

#include "platform/gtk/GtkMainWindowRunner.h"

#include <glib-unix.h>

#include <csignal>
#include <cstdio>
#include <vector>

#include "platform/gtk/GtkControlKeys.h"
#include "platform/gtk/GtkWindowHost.h"
#include "platform/gtk/PageText.h"
#include "platform/gtk/SiteData.h"
#include "platform/gtk/WebKitBrowser.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

constexpr const char* kProgramName = "poremisu";

// Passes the engine's events to the core and lets the runner's caller look
// at the window after each page completion.
class EventsTap : public BrowserEvents {
public:
    EventsTap(BrowserEvents& core, GtkWidget* window, const std::function<void(GtkWidget*)>& after)
        : m_core(core), m_window(window), m_after(after) {}

    void OnDownloadBegin() override { m_core.OnDownloadBegin(); }
    void OnDocumentComplete() override {
        m_core.OnDocumentComplete();
        if (m_after) m_after(m_window);
    }
    void OnNewWindow2(const std::string& requested) override { m_core.OnNewWindow2(requested); }
    void OnStatusTextChange(const std::string& text, StatusOrigin origin) override {
        m_core.OnStatusTextChange(text, origin);
    }

private:
    BrowserEvents& m_core;
    GtkWidget* m_window;
    const std::function<void(GtkWidget*)>& m_after;
};

bool OpenToolkit() {
    static bool opened = false;
    if (opened) return true;
    // Both parts of WM_CLASS name the program, which is how other
    // processes tell its windows from the rest.
    g_set_prgname(kProgramName);
    gdk_set_program_class(kProgramName);
    gdk_set_allowed_backends("x11");
    opened = gtk_init_check(nullptr, nullptr);
    // gtk_init derives a capitalised class from the program name: set ours again.
    if (opened) gdk_set_program_class(kProgramName);
    return opened;
}

}  // namespace

void GtkMainWindowRunner::RunMainWindow(ShowCommand startupShowState) {
    if (!OpenToolkit()) {
        std::fprintf(stderr, "poremisu: cannot open the X display (is DISPLAY set?)\n");
        m_failed = true;
        return;
    }
    // Pages never run unconfined without the user having said so.
    if (std::string problem = SandboxProblem(); !problem.empty()) {
        const std::string text = "The page process cannot be sandboxed: " + problem +
                                 ".\nTo run without the sandbox anyway, set "
                                 "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1.";
        std::fprintf(stderr, "poremisu: %s\n", text.c_str());
        const std::string shown = CurrentPageLanguage() == PageLanguage::Japanese
                                      ? "ページを安全に隔離して動かせないため、起動できません（" + problem +
                                            "）。\n隔離せずに動かすには、環境変数 "
                                            "WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS=1 を設定してください。"
                                      : text;
        GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                                shown.c_str());
        gtk_window_set_title(GTK_WINDOW(box), kProgramName);
        gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        m_failed = true;
        return;
    }
    GtkWindowHost host(m_state, m_texts, m_codePage);
    host.SetTickOverride(m_options.tickPeriod);
    WebKitWebContext* context = NewWebContext(m_state.siteDataDir, m_state.siteCacheDir);
    WebKitBrowser browser(m_codePage, host.ClientArea(), context);
    g_object_unref(context);
    MainWindow window(m_state, m_texts, host, browser, m_services);
    EventsTap tap(window.Events(), host.Window(), m_options.afterDocumentComplete);
    browser.SetEvents(&tap);
    // The idle watchdog leaves a window alone while it downloads.
    browser.SetDownloadActivity([&window] { window.OnDownloadActivity(); });
    browser.SetCrashHandler([&window] { window.OnEngineCrashed(); });
    host.Attach(window, browser, browser.Widget());
    GtkControlKeys keys(host.Window(), browser.Widget(), browser, window);

    // SIGTERM, and Ctrl+C or the end of the terminal the program was started
    // from, are close requests like the close box's: the placement is saved
    // and the window ends.
    std::vector<guint> closeSignals;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        closeSignals.push_back(g_unix_signal_add(
            signal,
            [](gpointer data) -> gboolean {
                static_cast<GtkWindowHost*>(data)->SendClose();
                return G_SOURCE_CONTINUE;
            },
            &host));
    }

    window.OnInitDialog(startupShowState);
    host.ShowInitially();
    if (!host.Ended()) gtk_main();
    for (guint source : closeSignals) g_source_remove(source);
    browser.SetEvents(nullptr);
    browser.SetDownloadActivity({});
    browser.SetCrashHandler({});
}

}  // namespace poremisu

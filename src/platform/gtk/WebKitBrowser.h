#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/CWebBrowser2.h"
#include "pages/ErrorPage.h"
#include "platform/gtk/Downloads.h"
#include "platform/gtk/FindBar.h"
#include "platform/gtk/PageDialogs.h"
#include "platform/posix/CodePage.h"

namespace poremisu {

// The browser control over a WebKitWebView: the core's operations in, its
// events out. The view lives in the main window's client area, placed at the
// rectangle the layout gives it.
class WebKitBrowser : public CWebBrowser2 {
public:
    // Adds the view to `clientArea`.
    // What the control does itself for its keys.
    bool IsLoading() const { return webkit_web_view_is_loading(m_view); }
    void Stop() { webkit_web_view_stop_loading(m_view); }
    void ReloadBypassingCache();
    double Zoom() const { return webkit_web_view_get_zoom_level(m_view); }
    void SetZoom(double zoom) { webkit_web_view_set_zoom_level(m_view, zoom); }
    void Print();
    FindBar& Find() { return *m_findBar; }

    // Pages open in `context`, which the browser keeps a reference to.
    WebKitBrowser(const CodePage& codePage, GtkWidget* clientArea, WebKitWebContext* context);
    ~WebKitBrowser() override;
    WebKitBrowser(const WebKitBrowser&) = delete;
    WebKitBrowser& operator=(const WebKitBrowser&) = delete;

    void SetEvents(BrowserEvents* events) { m_events = events; }
    // What a running download or its save dialog reports as the user's activity.
    void SetDownloadActivity(std::function<void()> activity) { m_downloads.SetActivity(std::move(activity)); }
    // Called when the engine's process died under the page.
    void SetCrashHandler(std::function<void()> crashed) { m_crashed = std::move(crashed); }
    GtkWidget* Widget() const { return GTK_WIDGET(m_view); }

    void GoBack() override;
    void GoForward() override;
    void GoSearch() override;
    void Quit() override;
    void Navigate2(const std::string& address) override;
    void ShowPage(const std::string& html) override;
    void Refresh() override;

    void SetLeft(std::int32_t value) override;
    void SetTop(std::int32_t value) override;
    void SetWidth(std::int32_t value) override;
    void SetHeight(std::int32_t value) override;

    std::string GetLocationName() override;
    std::string GetLocationURL() override;
    std::string GetPath() override;

    void SetStatusBar(bool value) override { m_statusBar = value; }
    void SetResizable(bool value) override { m_resizable = value; }

private:
    // What the next WEBKIT_LOAD_FINISHED stands for.
    enum class Finish {
        Complete,     // a page arrived: one DocumentComplete
        Silent,       // cancelled or turned into a download: nothing
        ErrorPage,    // failed: the error page's own finish reports it
        OwnPage,      // a page of the program's own: nothing
    };

    static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
    static gboolean OnTlsErrors(WebKitWebView* view, gchar* uri, GTlsCertificate* certificate,
                                GTlsCertificateFlags errors, gpointer self);
    // Goes on to the site an offer on the certificate page names; false when
    // `uri` is no such offer's.
    bool TakeCertificateOffer(const char* uri);
    static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri, GError* error,
                                 gpointer self);
    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static void OnMouseTargetChanged(WebKitWebView* view, WebKitHitTestResult* hit, guint modifiers,
                                     gpointer self);
    static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer self);
    static void OnDownloadStarted(WebKitWebContext* context, WebKitDownload* download, gpointer self);
    static void OnTitleChanged(GObject* view, GParamSpec* property, gpointer self);
    static void OnTitleAnswered(GObject* view, GAsyncResult* result, gpointer question);
    static void OnWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                       gpointer self);
    static void OnResponsiveChanged(GObject* view, GParamSpec* property, gpointer self);
    static gboolean OnAnyMenuClosed(GSignalInvocationHint* hint, guint count, const GValue* values, gpointer self);
    static void ServeInternalPage(WebKitURISchemeRequest* request, gpointer self);

    // Raises the completion held back for the page's title, if one is held.
    void FlushPendingComplete();
    void RaiseComplete();
    // Takes a load of a local folder away from the engine, and in the window
    // (not a frame) completes it once the load has ended; false for any other
    // address.
    bool AnswerFolder(const char* uri, bool window);
    void CompleteFolder();

    // The status text of the load under way (UTF-8), unless a link holds the status.
    void ShowLoadStatus(const std::string& utf8);
    // The address being loaded, the start page by the name the user knows.
    std::string DisplayedUri() const;

    void LoadHome();
    void Load(const char* uri);  // a load the window asked for: it replaces the one under way
    void Place();
    std::string ToCodePage(const char* utf8) const;
    void ShowErrorPage(const char* uri, LoadFailure failure, const char* engineMessage);

    const CodePage& m_codePage;
    GtkWidget* m_clientArea;
    WebKitWebView* m_view;
    std::unique_ptr<FindBar> m_findBar;
    std::unique_ptr<PageDialogs> m_dialogs;
    WebKitWebContext* m_context;
    BrowserEvents* m_events = nullptr;
    GdkRectangle m_rect{0, 0, 0, 0};
    Finish m_nextFinish = Finish::Complete;
    // The address whose error page is on its way; its start is no download.
    std::string m_errorPageUri;
    // The load under way is an error page.
    bool m_loadingErrorPage = false;
    // The address the load under way started at.
    std::string m_startedUri;
    // Loads asked for by the window, and how many had been asked for when
    // the load under way started: a failure that arrives after a newer one
    // was asked for belongs to a load the newer one replaces.
    unsigned m_loadsAsked = 0;
    unsigned m_loadsAskedAtStart = 0;
    // The address of the newest load asked for, unless a step back or forth
    // came after it: what to load again in a fresh page process.
    std::optional<std::string> m_newestUri;
    // The error page on its way is the program's own, which completes nothing.
    bool m_ownPage = false;
    // The link address last reported as status text ("" when none).
    std::string m_statusLink;
    // The load's own status text while a page loads, "" once it is done (UTF-8).
    std::string m_loadStatus;
    gulong m_downloadHandler = 0;
    guint m_homeIdle = 0;
    // The certificates the user may choose to go on with, this run only,
    // each behind a link of the page that showed it.
    struct CertificateOffer {
        std::string token, host, uri;
        GTlsCertificate* certificate;
    };
    std::vector<CertificateOffer> m_certificateOffers;
    std::string m_tlsFailedUri;  // its failure is told by the certificate page
    gulong m_menuClosedHook = 0;
    guint m_redrawTimer = 0;
    // A folder's address and name, as the completion reports them.
    struct FolderAnswer {
        std::string uri, name;
        unsigned asked = 0;  // loads asked for by then: a later one replaces the folder
    };
    // The folder whose completion is on its way, and the one being completed.
    std::optional<FolderAnswer> m_pendingFolder, m_folder;
    guint m_folderIdle = 0;
    // The address of the page whose completion waits for its title: a load
    // started meanwhile has already put its own address on the view.
    std::optional<std::string> m_heldUri;
    // A completion waiting for the page's answer about its title (its
    // number; 0 when none waits), and the answer while it is raised.
    struct TitleQuestion {
        WebKitBrowser* browser;
        unsigned count;
    };
    unsigned m_pendingComplete = 0;
    unsigned m_completeCount = 0;
    std::string m_answeredTitle;
    // Ends the questions still out when the browser goes.
    GCancellable* m_cancellable = nullptr;
    std::function<void()> m_crashed;
    bool m_statusBar = false;
    bool m_resizable = false;
    Downloads m_downloads;
};

}  // namespace poremisu

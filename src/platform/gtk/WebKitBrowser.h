#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/CWebBrowser2.h"
#include "browser/PageLoad.h"
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

    void SetEvents(BrowserEvents* events) {
        m_events = events;
        m_load.SetEvents(events);
    }
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

    // Takes a load of a local folder away from the engine, and in the window
    // (not a frame) completes it once the load has ended; false for any other
    // address.
    bool AnswerFolder(const char* uri, bool window);

    // The address being loaded, the start page by the name the user knows.
    std::string DisplayedUri() const;

    void LoadHome();
    void Load(const char* uri);  // a load the window asked for: it replaces the one under way
    void Place();
    std::string ToCodePage(const char* utf8) const;
    void ShowErrorPage(const PageLoad::ErrorPage& page);

    const CodePage& m_codePage;
    GtkWidget* m_clientArea;
    WebKitWebView* m_view;
    std::unique_ptr<FindBar> m_findBar;
    std::unique_ptr<PageDialogs> m_dialogs;
    WebKitWebContext* m_context;
    BrowserEvents* m_events = nullptr;
    GdkRectangle m_rect{0, 0, 0, 0};
    PageLoad m_load;
    gulong m_downloadHandler = 0;
    guint m_homeIdle = 0;
    // The certificates the user may choose to go on with, this run only,
    // each behind a link of the page that showed it.
    struct CertificateOffer {
        std::string token, host, uri;
        GTlsCertificate* certificate;
    };
    std::vector<CertificateOffer> m_certificateOffers;
    gulong m_menuClosedHook = 0;
    guint m_redrawTimer = 0;
    guint m_folderIdle = 0;
    // A question to the page about its title, as the load numbered it.
    struct TitleQuestion {
        WebKitBrowser* browser;
        unsigned number;
    };
    // Ends the questions still out when the browser goes.
    GCancellable* m_cancellable = nullptr;
    std::function<void()> m_crashed;
    bool m_statusBar = false;
    bool m_resizable = false;
    Downloads m_downloads;
};

}  // namespace poremisu

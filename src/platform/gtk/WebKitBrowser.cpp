#include "platform/gtk/WebKitBrowser.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "app/BrowserApp.h"
#include "browser/PageEvents.h"
#include "pages/Listing.h"
#include "pages/StartPage.h"
#include "platform/gtk/ClientArea.h"
#include "platform/gtk/PageText.h"
#include "ui/Address.h"
#include "ui/MainWindow.h"

namespace poremisu {

namespace {

std::string UriOf(WebKitWebView* view) {
    const char* uri = webkit_web_view_get_uri(view);
    return uri ? uri : "";
}

// The start page is served by the program under its own scheme; the core and
// the user know it as "about:home", which the engine will not load itself.
constexpr const char* kInternalScheme = "poremisu";
constexpr const char* kInternalHome = "poremisu:home";
// How long after a menu deactivates its window is surely unmapped.
constexpr guint kMenuGoneMs = 100;

// A local address whose path is no UTF-8 text: the engine loads nothing
// under it, not even a page given as text.
bool IsShowableFileUri(const char* uri) {
    if (!uri || g_ascii_strncasecmp(uri, "file:", 5) != 0) return true;
    gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
    bool showable = !path || g_utf8_validate(path, -1, nullptr);
    g_free(path);
    return showable;
}

void ServeHtml(WebKitURISchemeRequest* request, std::string_view html) {
    gsize size = html.size();
    GInputStream* stream = g_memory_input_stream_new_from_data(g_memdup2(html.data(), size), size, g_free);
    WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, static_cast<gint64>(size));
    webkit_uri_scheme_response_set_content_type(response, "text/html; charset=utf-8");
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
    g_object_unref(stream);
}

bool PathExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::string CurrentDirectory() {
    gchar* directory = g_get_current_dir();
    std::string result(directory);
    g_free(directory);
    return result;
}

// The program's own long pages, a folder's listing and the history, are
// drawn once they are whole. The engine lays a page out again for each piece
// its file loader hands on: a listing of 100,000 lines took it minutes, and
// a different time on every run. Hidden until the last byte is parsed, the
// page is laid out once (about 3 s for those lines).
void DrawOwnPagesWhole(WebKitWebView* view) {
    std::string history(kHistoryFileName);
    // The history's numbered copies too: "WindowTitleHis000012.htm".
    history.insert(history.rfind('.'), "*");
    const std::string patterns[] = {"file:///*/" + std::string(kListingPageName), "file:///*/" + history};
    const char* const allow[] = {patterns[0].c_str(), patterns[1].c_str(), nullptr};
    WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(view);
    WebKitUserStyleSheet* hide = webkit_user_style_sheet_new(
        ":root:not([data-poremisu-whole]) { display: none !important; }", WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
        WEBKIT_USER_STYLE_LEVEL_USER, allow, nullptr);
    webkit_user_content_manager_add_style_sheet(content, hide);
    webkit_user_style_sheet_unref(hide);
    WebKitUserScript* show = webkit_user_script_new("document.documentElement.setAttribute('data-poremisu-whole', '')",
                                                    WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                    WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, allow, nullptr);
    webkit_user_content_manager_add_script(content, show);
    webkit_user_script_unref(show);
}

}  // namespace

WebKitBrowser::WebKitBrowser(const CodePage& codePage, GtkWidget* clientArea, WebKitWebContext* context)
    : m_codePage(codePage),
      m_clientArea(clientArea),
      m_load(CurrentPageLanguage(), [this](std::string_view utf8) { return m_codePage.FromUtf8(utf8); }),
      m_downloads(clientArea, [this](const std::string& utf8) {
          if (m_events) m_events->OnStatusTextChange(m_codePage.FromUtf8(utf8), StatusOrigin::LoadProgress);
      }) {
    m_context = WEBKIT_WEB_CONTEXT(g_object_ref(context));
    m_cancellable = g_cancellable_new();
    webkit_web_context_register_uri_scheme(m_context, kInternalScheme, ServeInternalPage, nullptr, nullptr);

    m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", m_context, nullptr));
    g_object_ref_sink(m_view);
    WebKitSettings* settings = webkit_web_view_get_settings(m_view);
    // Pages that name no charset are read in the program's code page.
    webkit_settings_set_default_charset(settings, m_codePage.Name().c_str());
    // Scripted pop-ups must reach "create" too, not only clicked ones.
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
    DrawOwnPagesWhole(m_view);
    // The engine's own drawing policy stays: drawn without compositing, a page
    // stops being redrawn after a while (typing, links, windows passing over
    // it all leave the old picture). Composited, the engine does not redraw
    // what a closing menu uncovers on X servers without a compositor; the
    // program asks for that redraw itself.
    m_menuClosedHook = g_signal_add_emission_hook(g_signal_lookup("deactivate", GTK_TYPE_MENU_SHELL), 0,
                                                  OnAnyMenuClosed, this, nullptr);

    g_signal_connect(m_view, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(m_view, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(m_view, "load-failed-with-tls-errors", G_CALLBACK(OnTlsErrors), this);
    g_signal_connect(m_view, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(m_view, "mouse-target-changed", G_CALLBACK(OnMouseTargetChanged), this);
    g_signal_connect(m_view, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_view, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(m_view, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
    g_signal_connect(m_view, "notify::is-web-process-responsive", G_CALLBACK(OnResponsiveChanged), this);
    m_downloadHandler = g_signal_connect(m_context, "download-started", G_CALLBACK(OnDownloadStarted), this);

    ClientAreaAdd(m_clientArea, GTK_WIDGET(m_view));
    // Added after the page, so that it lies over it.
    m_findBar = std::make_unique<FindBar>(m_clientArea, m_view);
    m_dialogs = std::make_unique<PageDialogs>(m_view, [this](const std::string& utf8) {
        if (m_events) m_events->OnStatusTextChange(m_codePage.FromUtf8(utf8), StatusOrigin::LoadProgress);
    });
}

WebKitBrowser::~WebKitBrowser() {
    g_signal_remove_emission_hook(g_signal_lookup("deactivate", GTK_TYPE_MENU_SHELL), m_menuClosedHook);
    if (m_redrawTimer) g_source_remove(m_redrawTimer);
    if (m_homeIdle) g_source_remove(m_homeIdle);
    if (m_folderIdle) g_source_remove(m_folderIdle);
    g_cancellable_cancel(m_cancellable);
    g_object_unref(m_cancellable);
    g_signal_handler_disconnect(m_context, m_downloadHandler);
    m_findBar.reset();
    m_dialogs.reset();
    g_signal_handlers_disconnect_by_data(m_view, this);
    if (GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(m_view))) {
        gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(m_view));
    }
    g_object_unref(m_view);
    g_object_unref(m_context);
    for (CertificateOffer& offer : m_certificateOffers) g_object_unref(offer.certificate);
}

gboolean WebKitBrowser::OnAnyMenuClosed(GSignalInvocationHint*, guint, const GValue*, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    // Every menu of the process: the menu bar's, the program's own, the
    // engine's context menu and a page's list box. The menu's window is gone
    // a moment after it deactivates; the page is drawn again once it has.
    if (!self->m_redrawTimer) {
        self->m_redrawTimer = g_timeout_add(kMenuGoneMs, [](gpointer browser) -> gboolean {
            auto* me = static_cast<WebKitBrowser*>(browser);
            me->m_redrawTimer = 0;
            gtk_widget_queue_draw(GTK_WIDGET(me->m_view));
            return G_SOURCE_REMOVE;
        }, self);
    }
    return TRUE;  // stays hooked
}

std::string WebKitBrowser::ToCodePage(const char* utf8) const {
    return utf8 ? m_codePage.FromUtf8(utf8) : std::string();
}

// Only a load that starts replaces the one under way: a step with nowhere to go, like an address that
// names nothing, leaves that load's failure to be shown.
void WebKitBrowser::GoBack() {
    if (!webkit_web_view_can_go_back(m_view)) return;
    m_load.Asked(std::nullopt);
    webkit_web_view_go_back(m_view);
}

void WebKitBrowser::GoForward() {
    if (!webkit_web_view_can_go_forward(m_view)) return;
    m_load.Asked(std::nullopt);
    webkit_web_view_go_forward(m_view);
}

// There is no search engine to reach offline: the start page stands in.
void WebKitBrowser::GoSearch() { LoadHome(); }

// The engine belongs to this window alone; there is nothing to shut down.
void WebKitBrowser::Quit() {}

void WebKitBrowser::LoadHome() { Load(kInternalHome); }

void WebKitBrowser::Load(const char* uri) {
    m_load.Asked(uri);
    // A page process that no longer answers would keep the new page waiting
    // behind whatever holds it: it is ended, and the load starts a new one.
    if (!webkit_web_view_get_is_web_process_responsive(m_view)) webkit_web_view_terminate_web_process(m_view);
    webkit_web_view_load_uri(m_view, uri);
}

void WebKitBrowser::OnResponsiveChanged(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    // A page can take the page process for minutes (a listing of 100,000
    // lines, laid out again as it grows), and a load asked for meanwhile
    // waits behind it. The newer load wins: the process is ended and the
    // load asked for again, in a fresh one.
    if (webkit_web_view_get_is_web_process_responsive(self->m_view)) return;
    std::optional<std::string> again = self->m_load.ReloadAfterHang();
    if (!again) return;
    webkit_web_view_terminate_web_process(self->m_view);
    webkit_web_view_load_uri(self->m_view, again->c_str());
}

void WebKitBrowser::Navigate2(const std::string& address) {
    ResolvedAddress resolved = ResolveAddress(address, PathExists, CurrentDirectory);
    switch (resolved.kind) {
    case ResolvedAddress::Kind::Nothing: return;
    case ResolvedAddress::Kind::Home: LoadHome(); return;
    case ResolvedAddress::Kind::File: {
        // File names are the bytes on disk: escape them as they are.
        gchar* uri = g_filename_to_uri(resolved.text.c_str(), nullptr, nullptr);
        if (uri) Load(uri);
        g_free(uri);
        return;
    }
    case ResolvedAddress::Kind::AsIs:
    case ResolvedAddress::Kind::Web:
        Load(m_codePage.ToUtf8(resolved.text).c_str());
        return;
    }
}

void WebKitBrowser::ShowPage(const std::string& html) {
    // Shown the way an error page is, under the current address.
    m_load.OwnPageAsked(DisplayedUri());
    webkit_web_view_load_alternate_html(m_view, m_codePage.ToUtf8(html).c_str(), UriOf(m_view).c_str(), nullptr);
}

void WebKitBrowser::Place() {
    GdkRectangle rect = m_rect;
    // The layout passes a negative height when the window is lower than its bars.
    rect.height = std::max(rect.height, 0);
    rect.width = std::max(rect.width, 0);
    ClientAreaPlace(m_clientArea, GTK_WIDGET(m_view), rect);
    if (m_findBar) m_findBar->Place(rect);
}

void WebKitBrowser::SetLeft(std::int32_t value) {
    m_rect.x = value;
    Place();
}

void WebKitBrowser::SetTop(std::int32_t value) {
    m_rect.y = value;
    Place();
}

void WebKitBrowser::SetWidth(std::int32_t value) {
    m_rect.width = value;
    Place();
}

void WebKitBrowser::SetHeight(std::int32_t value) {
    m_rect.height = value;
    Place();
}

std::string WebKitBrowser::GetLocationName() {
    const char* title = webkit_web_view_get_title(m_view);
    return m_load.LocationName(title ? title : "");
}

std::string WebKitBrowser::GetLocationURL() { return m_load.LocationUrl(DisplayedUri()); }

std::string WebKitBrowser::GetPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&webkit_web_view_new), &info) || !info.dli_fname) return {};
    gchar* directory = g_path_get_dirname(info.dli_fname);
    std::string result = std::string(directory) + "/";
    g_free(directory);
    return result;
}

void WebKitBrowser::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        self->m_load.Started(self->DisplayedUri());
    } else if (event == WEBKIT_LOAD_REDIRECTED) {
        self->m_load.Redirected(self->DisplayedUri());
    } else if (event == WEBKIT_LOAD_FINISHED) {
        const char* title = webkit_web_view_get_title(view);
        PageLoad::AfterFinish after = self->m_load.Finished(self->DisplayedUri(), title && *title);
        if (after.completeFolderSoon && !self->m_folderIdle) {
            self->m_folderIdle = g_idle_add_full(
                G_PRIORITY_HIGH_IDLE,
                [](gpointer browser) -> gboolean {
                    auto* me = static_cast<WebKitBrowser*>(browser);
                    me->m_folderIdle = 0;
                    me->m_load.FolderDue();
                    return G_SOURCE_REMOVE;
                },
                self, nullptr);
        }
        if (after.errorPage) self->ShowErrorPage(*after.errorPage);
        if (after.askTitle) {
            auto* question = new TitleQuestion{self, after.askTitle};
            webkit_web_view_evaluate_javascript(view, "document.title", -1, nullptr, nullptr, self->m_cancellable,
                                                OnTitleAnswered, question);
        }
    }
}

void WebKitBrowser::OnTitleChanged(GObject*, GParamSpec*, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    const char* title = webkit_web_view_get_title(self->m_view);
    if (title && *title) self->m_load.TitleKnown();
}

void WebKitBrowser::OnTitleAnswered(GObject* view, GAsyncResult* result, gpointer data) {
    std::unique_ptr<TitleQuestion> question(static_cast<TitleQuestion*>(data));
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, &error);
    // Cancelled: the browser has gone, and nothing of it may be touched.
    bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (error) g_error_free(error);
    if (!cancelled) {
        std::optional<std::string> title;
        if (value && jsc_value_is_string(value)) {
            gchar* text = jsc_value_to_string(value);
            title = text ? text : "";
            g_free(text);
        }
        question->browser->m_load.TitleAnswered(question->number, std::move(title));
    }
    if (value) g_object_unref(value);
}

void WebKitBrowser::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                           gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    // The page died with its process and the view is left empty; an end
    // asked for through the engine's own interface is no crash.
    if (reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API || !self->m_crashed) return;
    self->m_crashed();
}

void WebKitBrowser::Refresh() { webkit_web_view_reload(m_view); }

std::string WebKitBrowser::DisplayedUri() const {
    const char* uri = webkit_web_view_get_uri(m_view);
    if (uri && g_strcmp0(uri, kInternalHome) == 0) return std::string(kStartPage);
    return uri ? uri : "";
}

gboolean WebKitBrowser::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                     gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    // Replaced by a newer load, or become a download: no failure to tell.
    const bool cancelled =
        g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
        g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
        g_error_matches(error, WEBKIT_PLUGIN_ERROR, WEBKIT_PLUGIN_ERROR_WILL_HANDLE_LOAD);
    std::optional<LoadFailure> failure;
    if (!cancelled) failure = IsShowableFileUri(uri) ? FailureOf(error) : LoadFailure::UnreadableName;
    std::optional<PageLoad::ErrorPage> page =
        self->m_load.Failed(uri ? uri : "", failure, error && error->message ? error->message : "");
    if (page) self->ShowErrorPage(*page);
    return TRUE;
}

void WebKitBrowser::ShowErrorPage(const PageLoad::ErrorPage& page) {
    std::string html = ErrorPageHtml(CurrentPageLanguage(), page.uri, page.failure, page.engineMessage);
    webkit_web_view_load_alternate_html(m_view, html.c_str(), page.underUri.c_str(), nullptr);
}

GtkWidget* WebKitBrowser::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    // The address the page asked for, resolved against the page by the engine.
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    std::string requested = self->ToCodePage(request ? webkit_uri_request_get_uri(request) : nullptr);
    if (self->m_events) self->m_events->OnNewWindow2(requested);
    // No second view: the main window decides where the page goes.
    return nullptr;
}

void WebKitBrowser::OnMouseTargetChanged(WebKitWebView*, WebKitHitTestResult* hit, guint, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    const char* link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit)
                                                                     : nullptr;
    self->m_load.LinkHovered(link ? link : "");
}

gboolean WebKitBrowser::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
        // Only a response tells the window's load from a frame's.
        const bool window = webkit_response_policy_decision_is_main_frame_main_resource(response);
        WebKitURIRequest* request = webkit_response_policy_decision_get_request(response);
        if (self->AnswerFolder(webkit_uri_request_get_uri(request), window)) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        // A page of a kind the engine cannot show (a .zip, local or not) is
        // saved, as an attachment is, instead of being dropped without a word.
        if (!window || webkit_response_policy_decision_is_mime_type_supported(response)) return FALSE;
        webkit_policy_decision_download(decision);
        return TRUE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    if (self->TakeCertificateOffer(webkit_uri_request_get_uri(request))) {
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    if (g_strcmp0(webkit_uri_request_get_uri(request), kStartPage.data()) != 0) return FALSE;
    // A link to "about:home" (the history page has them) opens the start page in the window. Nothing
    // here tells a frame's navigation from the window's, so only one the user asked for goes: a frame
    // of a page, or its script, cannot put the start page in the page's place.
    webkit_policy_decision_ignore(decision);
    // Only a local page's link opens it: a web page may not bring the program's own page in.
    if (!self->m_homeIdle && webkit_navigation_action_is_user_gesture(action) &&
        MayOpenFrom(self->GetLocationURL(), kStartPage)) {
        self->m_homeIdle = g_idle_add(
            [](gpointer browser) -> gboolean {
                auto* me = static_cast<WebKitBrowser*>(browser);
                me->m_homeIdle = 0;
                me->LoadHome();
                return G_SOURCE_REMOVE;
            },
            self);
    }
    return TRUE;
}

bool WebKitBrowser::AnswerFolder(const char* uri, bool window) {
    // A folder whose name is no text here could not show its listing either:
    // the engine's failure brings the error page for it. A folder that the
    // completion would not list (one named like a page) is the engine's to show.
    if (!uri || !g_str_has_prefix(uri, "file:") || !IsShowableFileUri(uri)) return false;
    if (!ListedFolderPath(ToCodePage(uri))) return false;
    gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
    struct stat info;
    bool folder = path && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
    if (folder && window) {
        // A local folder is the program's to show: the engine would go on to
        // build a page of its own for it (seconds and a large page process
        // for a big folder), only for the listing to replace it. Its load
        // ends here instead, and the navigation completes once it has ended,
        // under the folder's address and named by its path; the listing is
        // loaded from that completion.
        gchar* name = g_filename_display_name(path);
        m_load.FolderAnswered(ToCodePage(uri), ToCodePage(name));
        g_free(name);
    }
    g_free(path);
    return folder;
}

void WebKitBrowser::OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    WebKitWebView* owner = webkit_download_get_web_view(download);
    if (owner && owner != self->m_view) return;
    self->m_downloads.Begin(download);
    if (self->m_events) self->m_events->OnDownloadBegin();
}

void WebKitBrowser::ServeInternalPage(WebKitURISchemeRequest* request, gpointer) {
    if (g_strcmp0(webkit_uri_scheme_request_get_uri(request), kInternalHome) == 0) {
        ServeHtml(request, StartPageHtml());
        return;
    }
    GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such page");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

void WebKitBrowser::ReloadBypassingCache() { webkit_web_view_reload_bypass_cache(m_view); }

void WebKitBrowser::Print() {
    WebKitPrintOperation* operation = webkit_print_operation_new(m_view);
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(m_view));
    webkit_print_operation_run_dialog(operation, GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr);
    g_object_unref(operation);
}

namespace {

constexpr const char* kCertificateOfferPrefix = "poremisu:certificate?";

std::string DateOf(GDateTime* time) {
    if (!time) return {};
    gchar* text = g_date_time_format(time, "%Y-%m-%d %H:%M:%S UTC");
    std::string result = text ? text : "";
    g_free(text);
    g_date_time_unref(time);
    return result;
}

std::string Owned(gchar* text) {
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

}  // namespace

gboolean WebKitBrowser::OnTlsErrors(WebKitWebView*, gchar* uri, GTlsCertificate* certificate,
                                    GTlsCertificateFlags errors, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    CertificateFacts facts;
    if (GUri* parsed = uri ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr) {
        facts.host = g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "";
        g_uri_unref(parsed);
    }
    facts.subject = Owned(g_tls_certificate_get_subject_name(certificate));
    facts.issuer = Owned(g_tls_certificate_get_issuer_name(certificate));
    facts.validFrom = DateOf(g_tls_certificate_get_not_valid_before(certificate));
    facts.validUntil = DateOf(g_tls_certificate_get_not_valid_after(certificate));
    GByteArray* der = nullptr;
    g_object_get(certificate, "certificate", &der, nullptr);
    if (der) {
        facts.sha256 = Owned(g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len));
        g_byte_array_unref(der);
    }
    const std::pair<GTlsCertificateFlags, unsigned> reasons[] = {
        {G_TLS_CERTIFICATE_UNKNOWN_CA, certificate::kUnknownIssuer},
        {G_TLS_CERTIFICATE_BAD_IDENTITY, certificate::kWrongHost},
        {G_TLS_CERTIFICATE_NOT_ACTIVATED, certificate::kNotYetValid},
        {G_TLS_CERTIFICATE_EXPIRED, certificate::kExpired},
        {G_TLS_CERTIFICATE_REVOKED, certificate::kRevoked},
        {G_TLS_CERTIFICATE_INSECURE, certificate::kInsecure},
        {G_TLS_CERTIFICATE_GENERIC_ERROR, certificate::kOther},
    };
    for (const auto& [flag, reason] : reasons) {
        if (errors & flag) facts.reasons |= reason;
    }
    // The way on is a link the page alone knows: no other page can take it.
    CertificateOffer offer{Owned(g_uuid_string_random()), facts.host, uri ? uri : "",
                           G_TLS_CERTIFICATE(g_object_ref(certificate))};
    const std::string html = CertificatePageHtml(CurrentPageLanguage(), offer.uri, facts,
                                                 kCertificateOfferPrefix + offer.token);
    self->m_certificateOffers.push_back(std::move(offer));
    // Shown as the program's own page: nothing of the site is logged before
    // the user chose.
    self->m_load.CertificateFailed(uri ? uri : "");
    webkit_web_view_load_alternate_html(self->m_view, html.c_str(), uri ? uri : "", nullptr);
    return TRUE;
}

bool WebKitBrowser::TakeCertificateOffer(const char* uri) {
    if (!uri || !g_str_has_prefix(uri, kCertificateOfferPrefix)) return false;
    const std::string token = uri + std::strlen(kCertificateOfferPrefix);
    for (const CertificateOffer& offer : m_certificateOffers) {
        if (offer.token != token) continue;
        // Kept in memory for this run only, never on disk.
        webkit_web_context_allow_tls_certificate_for_host(m_context, offer.certificate, offer.host.c_str());
        Load(offer.uri.c_str());
        break;
    }
    return true;
}

}  // namespace poremisu

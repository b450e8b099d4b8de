#include "platform/gtk/PageDialogs.h"

#include <algorithm>

#include "platform/gtk/PageText.h"

namespace poremisu {

namespace {

// Dialogs from one page this close together are a loop, not a question.
constexpr gint64 kDialogBurstUs = 10 * G_USEC_PER_SEC;

struct Words {
    const char* ok;
    const char* cancel;
    const char* says;  // "%s" is the host
    const char* stop;
    const char* leave;
    const char* stay;
    const char* leaveQuestion;
    const char* login;
    const char* loginTitle;  // "%s" is the host
    const char* user;
    const char* password;
    const char* refused;  // "%s %s": the host, then what
    const char* where;
    const char* notify;
    const char* media;
    const char* other;
};

constexpr Words kJapanese = {"OK", "キャンセル", "%s のページ", "このページのダイアログをこれ以上表示しない(_D)",
                             "このページを離れる", "このページに留まる",
                             "このページを離れますか？入力した内容は失われることがあります。", "ログイン",
                             "%s へのログイン", "ユーザー名", "パスワード", "%s からの%sの求めを断りました",
                             "現在地", "通知", "カメラ・マイク", "権限"};
constexpr Words kEnglish = {"OK", "Cancel", "The page at %s says", "_Do not show more dialogs from this page",
                            "Leave", "Stay", "Leave this page? What you entered may be lost.", "Log in",
                            "Log in to %s", "User name", "Password", "Refused %s its request for %s",
                            "your location", "notifications", "the camera or microphone", "a permission"};

const Words& WordsOf(PageLanguage language) { return language == PageLanguage::Japanese ? kJapanese : kEnglish; }

std::string Format(const char* pattern, const std::string& a, const std::string& b = "") {
    gchar* text = g_strdup_printf(pattern, a.c_str(), b.c_str());
    std::string result(text);
    g_free(text);
    return result;
}

std::string HostOf(const char* uri) {
    if (!uri) return {};
    GUri* parsed = g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr);
    std::string host = parsed && g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "";
    if (parsed) g_uri_unref(parsed);
    return host.empty() ? uri : host;
}

GtkWidget* Entry(GtkWidget* grid, int row, const char* label, bool secret) {
    gtk_grid_attach(GTK_GRID(grid), gtk_label_new(label), 0, row, 1, 1);
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_visibility(GTK_ENTRY(entry), !secret);
    gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
    gtk_widget_set_hexpand(entry, TRUE);
    gtk_grid_attach(GTK_GRID(grid), entry, 1, row, 1, 1);
    return entry;
}

}  // namespace

PageDialogs::PageDialogs(WebKitWebView* view, std::function<void(const std::string&)> status)
    : m_view(view), m_status(std::move(status)), m_language(CurrentPageLanguage()) {
    g_signal_connect(m_view, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(m_view, "authenticate", G_CALLBACK(OnAuthenticate), this);
    g_signal_connect(m_view, "permission-request", G_CALLBACK(OnPermission), this);
}

PageDialogs::~PageDialogs() { g_signal_handlers_disconnect_by_data(m_view, this); }

GtkWindow* PageDialogs::Owner() const {
    GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(m_view));
    return GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
}

gboolean PageDialogs::OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer data) {
    auto* self = static_cast<PageDialogs*>(data);
    const Words& words = WordsOf(self->m_language);
    const char* uri = webkit_web_view_get_uri(view);
    const std::string page = uri ? uri : "";
    const WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    // Answered as dismissed: an alert closed, a question declined.
    if (!page.empty() && page == self->m_silencedPage) {
        if (type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        return TRUE;
    }
    if (page != self->m_lastPage) {
        self->m_lastPage = page;
        std::fill(std::begin(self->m_recent), std::end(self->m_recent), 0);
    }
    const gint64 now = g_get_monotonic_time();
    std::rotate(std::begin(self->m_recent), std::begin(self->m_recent) + 1, std::end(self->m_recent));
    self->m_recent[2] = now;
    const bool burst = self->m_recent[0] != 0 && now - self->m_recent[0] < kDialogBurstUs;

    const bool leaving = type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM;
    const std::string message = leaving ? words.leaveQuestion : webkit_script_dialog_get_message(dialog);
    GtkWidget* box = gtk_message_dialog_new(self->Owner(), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_NONE,
                                            "%s", message.c_str());
    gtk_window_set_title(GTK_WINDOW(box), Format(words.says, HostOf(uri)).c_str());
    if (type != WEBKIT_SCRIPT_DIALOG_ALERT) {
        gtk_dialog_add_button(GTK_DIALOG(box), leaving ? words.stay : words.cancel, GTK_RESPONSE_CANCEL);
    }
    gtk_dialog_add_button(GTK_DIALOG(box), leaving ? words.leave : words.ok, GTK_RESPONSE_OK);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    GtkWidget* content = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box));
    GtkWidget* entry = nullptr;
    if (type == WEBKIT_SCRIPT_DIALOG_PROMPT) {
        entry = gtk_entry_new();
        gtk_entry_set_text(GTK_ENTRY(entry), webkit_script_dialog_prompt_get_default_text(dialog));
        gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
        gtk_box_pack_start(GTK_BOX(content), entry, FALSE, FALSE, 0);
    }
    GtkWidget* stop = nullptr;
    if (burst) {
        stop = gtk_check_button_new_with_mnemonic(words.stop);
        gtk_box_pack_start(GTK_BOX(content), stop, FALSE, FALSE, 0);
    }
    gtk_widget_show_all(content);
    const bool ok = gtk_dialog_run(GTK_DIALOG(box)) == GTK_RESPONSE_OK;
    if (stop && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(stop))) self->m_silencedPage = page;
    switch (type) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM: webkit_script_dialog_confirm_set_confirmed(dialog, ok); break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        webkit_script_dialog_prompt_set_text(dialog, ok ? gtk_entry_get_text(GTK_ENTRY(entry)) : nullptr);
        break;
    default: break;
    }
    gtk_widget_destroy(box);
    return TRUE;
}

gboolean PageDialogs::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, gpointer data) {
    auto* self = static_cast<PageDialogs*>(data);
    const Words& words = WordsOf(self->m_language);
    const std::string host = webkit_authentication_request_get_host(request);
    GtkWidget* box = gtk_dialog_new_with_buttons(Format(words.loginTitle, host).c_str(), self->Owner(),
                                                 GTK_DIALOG_MODAL, words.cancel, GTK_RESPONSE_CANCEL, words.login,
                                                 GTK_RESPONSE_OK, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), 6);
    gtk_grid_set_column_spacing(GTK_GRID(grid), 6);
    gtk_container_set_border_width(GTK_CONTAINER(grid), 8);
    if (const char* realm = webkit_authentication_request_get_realm(request); realm && *realm) {
        GtkWidget* label = gtk_label_new(realm);
        gtk_grid_attach(GTK_GRID(grid), label, 0, 0, 2, 1);
    }
    GtkWidget* user = Entry(grid, 1, words.user, false);
    GtkWidget* password = Entry(grid, 2, words.password, true);
    gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(box))), grid, TRUE, TRUE, 0);
    gtk_widget_show_all(grid);
    g_object_ref(request);
    if (gtk_dialog_run(GTK_DIALOG(box)) == GTK_RESPONSE_OK) {
        WebKitCredential* credential = webkit_credential_new(gtk_entry_get_text(GTK_ENTRY(user)),
                                                             gtk_entry_get_text(GTK_ENTRY(password)),
                                                             WEBKIT_CREDENTIAL_PERSISTENCE_FOR_SESSION);
        webkit_authentication_request_authenticate(request, credential);
        webkit_credential_free(credential);
    } else {
        webkit_authentication_request_cancel(request);
    }
    g_object_unref(request);
    gtk_widget_destroy(box);
    return TRUE;
}

gboolean PageDialogs::OnPermission(WebKitWebView* view, WebKitPermissionRequest* request, gpointer data) {
    auto* self = static_cast<PageDialogs*>(data);
    const Words& words = WordsOf(self->m_language);
    const char* what = WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request)     ? words.where
                       : WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request)  ? words.notify
                       : WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)    ? words.media
                                                                             : words.other;
    webkit_permission_request_deny(request);
    if (self->m_status) self->m_status(Format(words.refused, HostOf(webkit_web_view_get_uri(view)), what));
    return TRUE;
}

}  // namespace poremisu

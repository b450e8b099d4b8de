#include "platform/gtk/Downloads.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>

#include "browser/Download.h"
#include "platform/gtk/PageText.h"

namespace poremisu {

namespace {

constexpr gint kResponseCancelRest = 1;
constexpr const char* kUnnamed = "download";
// Progress reaches the title at most this often: every change would retitle
// the window for each block received.
constexpr gint64 kProgressIntervalUs = 200 * 1000;

std::string DisplayName(const std::string& path) {
    gchar* name = g_filename_display_basename(path.c_str());
    std::string result(name);
    g_free(name);
    return result;
}

std::string DisplayPath(const std::string& path) {
    gchar* name = g_filename_display_name(path.c_str());
    std::string result(name);
    g_free(name);
    return result;
}

Standing StandingAt(const std::string& path) {
    GStatBuf info;
    if (g_lstat(path.c_str(), &info) != 0) return Standing::Nothing;
    return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode) ? Standing::FileOrLink : Standing::Other;
}

const char* CancelRestLabel(PageLanguage language) {
    return language == PageLanguage::Japanese ? "残りもすべてキャンセル(_A)" : "Cancel _All the Rest";
}

}  // namespace

struct Downloads::Item {
    Downloads* owner = nullptr;
    WebKitDownload* download = nullptr;
    GtkWidget* dialog = nullptr;
    std::string name;  // UTF-8, as the user knows the file
    std::string path;  // where it is saved, once chosen
    std::string part;  // where the transfer is written until it is whole
    bool replace = false;  // the user agreed to replace the file (or link) at `path`
    bool created = false;  // the engine made `part`: what stands there is the transfer's
    bool failed = false;
    bool waiting = false;  // for its save dialog, behind another one's
    std::string lastProgress;
    gint64 lastProgressTime = 0;
};

Downloads::Downloads(GtkWidget* owner, StatusSink status)
    : m_owner(owner), m_status(std::move(status)), m_language(CurrentPageLanguage()) {}

Downloads::~Downloads() {
    for (const std::unique_ptr<Item>& item : m_items) {
        g_signal_handlers_disconnect_by_data(item->download, item.get());
        if (item->dialog) {
            g_signal_handlers_disconnect_by_data(item->dialog, item.get());
            gtk_widget_destroy(item->dialog);
        }
        webkit_download_cancel(item->download);
        if (item->created) g_unlink(item->part.c_str());
        g_object_unref(item->download);
    }
}

std::string Downloads::DownloadFolder() {
    if (const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD)) {
        if (g_file_test(folder, G_FILE_TEST_IS_DIR)) return folder;
    }
    gchar* downloads = g_build_filename(g_get_home_dir(), "Downloads", nullptr);
    std::string result = g_file_test(downloads, G_FILE_TEST_IS_DIR) ? downloads : g_get_home_dir();
    g_free(downloads);
    return result;
}

void Downloads::Begin(WebKitDownload* download) {
    auto item = std::make_unique<Item>();
    item->owner = this;
    item->download = WEBKIT_DOWNLOAD(g_object_ref(download));
    g_signal_connect(download, "decide-destination", G_CALLBACK(OnDecideDestination), item.get());
    g_signal_connect(download, "received-data", G_CALLBACK(OnReceivedData), item.get());
    g_signal_connect(download, "created-destination",
                     G_CALLBACK(+[](WebKitDownload*, gchar*, gpointer data) {
                         static_cast<Item*>(data)->created = true;
                     }),
                     item.get());
    g_signal_connect(download, "failed", G_CALLBACK(OnFailed), item.get());
    g_signal_connect(download, "finished", G_CALLBACK(OnFinished), item.get());
    m_items.push_back(std::move(item));
}

void Downloads::Forget(Item* item) {
    auto it = std::find_if(m_items.begin(), m_items.end(), [item](const auto& i) { return i.get() == item; });
    if (it == m_items.end()) return;
    g_signal_handlers_disconnect_by_data(item->download, item);
    if (item->dialog) gtk_widget_destroy(item->dialog);
    g_object_unref(item->download);
    m_items.erase(it);
    if (m_asking == item) {
        m_asking = nullptr;
        AskNext();
    }
}

gboolean Downloads::OnDecideDestination(WebKitDownload*, gchar* suggested, gpointer data) {
    auto* item = static_cast<Item*>(data);
    item->name = suggested && *suggested ? suggested : kUnnamed;
    // One question at a time, in the order the downloads came: a page that
    // starts many does not stack dialogs over the window.
    item->waiting = true;
    item->owner->AskNext();
    // The download waits for the answer; the window's own loop runs meanwhile.
    return TRUE;
}

void Downloads::AskNext() {
    if (m_asking) {
        // One more waits behind the open question.
        GtkDialog* dialog = GTK_DIALOG(m_asking->dialog);
        if (!gtk_dialog_get_widget_for_response(dialog, kResponseCancelRest)) {
            gtk_dialog_add_button(dialog, CancelRestLabel(m_language), kResponseCancelRest);
        }
        return;
    }
    auto next = std::find_if(m_items.begin(), m_items.end(), [](const auto& i) { return i->waiting; });
    if (next == m_items.end()) return;
    Item* item = next->get();
    item->waiting = false;
    m_asking = item;
    GtkWidget* top = gtk_widget_get_toplevel(m_owner);
    GtkWindow* parent = GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
    // The toolkit's own words for the buttons, in the user's language.
    const char* caption = m_language == PageLanguage::Japanese ? "名前を付けて保存" : "Save As";
    item->dialog = gtk_file_chooser_dialog_new(caption, parent, GTK_FILE_CHOOSER_ACTION_SAVE,
                                               g_dgettext("gtk30", "_Cancel"), GTK_RESPONSE_CANCEL,
                                               g_dgettext("gtk30", "_Save"), GTK_RESPONSE_ACCEPT, nullptr);
    // With more downloads waiting, the user can refuse them all at once.
    if (std::any_of(m_items.begin(), m_items.end(), [](const auto& i) { return i->waiting; })) {
        gtk_dialog_add_button(GTK_DIALOG(item->dialog), CancelRestLabel(m_language), kResponseCancelRest);
    }
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(item->dialog);
    gtk_dialog_set_default_response(GTK_DIALOG(item->dialog), GTK_RESPONSE_ACCEPT);
    // An existing file is replaced only once the user has said so.
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_current_folder(chooser, DownloadFolder().c_str());
    gtk_file_chooser_set_current_name(chooser, item->name.c_str());
    gtk_window_set_modal(GTK_WINDOW(item->dialog), TRUE);
    g_signal_connect(item->dialog, "response", G_CALLBACK(OnResponse), item);
    g_signal_connect(item->dialog, "event", G_CALLBACK(+[](GtkWidget*, GdkEvent* event, gpointer data) -> gboolean {
                         GdkEventType type = event->type;
                         if (type == GDK_KEY_PRESS || type == GDK_BUTTON_PRESS || type == GDK_MOTION_NOTIFY ||
                             type == GDK_SCROLL) {
                             static_cast<Item*>(data)->owner->Active();
                         }
                         return FALSE;
                     }),
                     item);
    // Shown in answer to the key or click that closed the question before,
    // so that the window manager gives it the focus the user expects.
    gtk_window_present_with_time(GTK_WINDOW(item->dialog), gtk_get_current_event_time());
}

void Downloads::OnResponse(GtkDialog* dialog, gint response, gpointer data) {
    auto* item = static_cast<Item*>(data);
    Downloads* owner = item->owner;
    gchar* chosen = response == GTK_RESPONSE_ACCEPT ? gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))
                                                    : nullptr;
    item->dialog = nullptr;
    owner->m_asking = nullptr;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    if (response == kResponseCancelRest) owner->CancelWaiting();
    gchar* uri = chosen ? g_filename_to_uri(chosen, nullptr, nullptr) : nullptr;
    if (!uri) {
        g_free(chosen);
        // Reported as the failure the engine raises for it; the item may be
        // gone once that is told.
        webkit_download_cancel(item->download);
        owner->AskNext();
        return;
    }
    item->path = chosen;
    item->name = DisplayName(item->path);
    // The transfer is written under a name of its own beside the chosen one,
    // and takes the chosen name only once it is whole: a transfer that fails
    // leaves what stood there as it was. The chooser has asked before a file
    // of the name is replaced; anything that appears there meanwhile is not.
    // The user agreed to replace the name in the folder, not what a link there
    // points to: the link goes, and the download takes its place. A folder, a
    // pipe or a device is not replaced: the engine fails the download at once.
    const Standing standing = StandingAt(item->path);
    item->replace = MayReplace(standing);
    if (standing == Standing::Nothing || item->replace) {
        item->part = PartPath(item->path, [](const std::string& path) { return StandingAt(path) != Standing::Nothing; });
        g_free(uri);
        uri = g_filename_to_uri(item->part.c_str(), nullptr, nullptr);
    }
    // Nothing standing at the destination is ever written over.
    webkit_download_set_allow_overwrite(item->download, FALSE);
    webkit_download_set_destination(item->download, uri);
    g_free(uri);
    g_free(chosen);
    owner->Report(DownloadStatusText(owner->m_language, DownloadStage::Saving, item->name));
    owner->AskNext();
}

void Downloads::CancelWaiting() {
    // Taken out first: each cancel is told, and its item forgotten, at once.
    std::vector<WebKitDownload*> waiting;
    for (const std::unique_ptr<Item>& item : m_items) {
        if (!item->waiting) continue;
        item->waiting = false;
        waiting.push_back(WEBKIT_DOWNLOAD(g_object_ref(item->download)));
    }
    for (WebKitDownload* download : waiting) {
        webkit_download_cancel(download);
        g_object_unref(download);
    }
}

void Downloads::OnReceivedData(WebKitDownload* download, guint64, gpointer data) {
    auto* item = static_cast<Item*>(data);
    item->owner->Active();
    guint64 received = webkit_download_get_received_data_length(download);
    WebKitURIResponse* response = webkit_download_get_response(download);
    guint64 total = response ? webkit_uri_response_get_content_length(response) : 0;
    const std::string text =
        DownloadStatusText(item->owner->m_language, DownloadStage::Progress, item->name, {}, received, total);
    gint64 now = g_get_monotonic_time();
    if (text == item->lastProgress || now - item->lastProgressTime < kProgressIntervalUs) return;
    item->lastProgress = text;
    item->lastProgressTime = now;
    item->owner->Report(text);
}

// Gives the whole transfer the chosen name: over the file or link the user
// agreed to replace, and over nothing else.
bool Downloads::Keep(const Item& item) {
    const Standing standing = StandingAt(item.path);
    if (standing == Standing::Nothing) {
        return ::renameat2(AT_FDCWD, item.part.c_str(), AT_FDCWD, item.path.c_str(), RENAME_NOREPLACE) == 0;
    }
    return item.replace && MayReplace(standing) && ::rename(item.part.c_str(), item.path.c_str()) == 0;
}

void Downloads::OnFailed(WebKitDownload*, GError* error, gpointer data) {
    auto* item = static_cast<Item*>(data);
    item->failed = true;
    if (item->created) g_unlink(item->part.c_str());
    const PageLanguage language = item->owner->m_language;
    if (g_error_matches(error, WEBKIT_DOWNLOAD_ERROR, WEBKIT_DOWNLOAD_ERROR_CANCELLED_BY_USER)) {
        item->owner->Report(DownloadStatusText(language, DownloadStage::Cancelled, item->name));
    } else {
        item->owner->Report(DownloadStatusText(language, DownloadStage::Failed, item->name,
                                               error && error->message ? error->message : ""));
    }
}

void Downloads::OnFinished(WebKitDownload* download, gpointer data) {
    auto* item = static_cast<Item*>(data);
    // A failure has been told already; "finished" follows it all the same.
    if (item->failed) {
        item->owner->Forget(item);
        return;
    }
    // The engine finishes a transfer that the server cut short as if it
    // were whole: that is a failure, and the stump goes.
    WebKitURIResponse* response = webkit_download_get_response(download);
    SoupMessageHeaders* headers = response ? webkit_uri_response_get_http_headers(response) : nullptr;
    const char* coding = headers ? soup_message_headers_get_one(headers, "Content-Encoding") : nullptr;
    const guint64 announced = response ? webkit_uri_response_get_content_length(response) : 0;
    const PageLanguage language = item->owner->m_language;
    if (CutShort(announced, webkit_download_get_received_data_length(download),
                 coding ? std::optional<std::string_view>(coding) : std::nullopt)) {
        g_unlink(item->part.c_str());
        item->owner->Report(DownloadStatusText(language, DownloadStage::CutShort, item->name));
    } else if (!Keep(*item)) {
        g_unlink(item->part.c_str());
        item->owner->Report(DownloadStatusText(language, DownloadStage::NotSaved, item->name));
    } else {
        item->owner->Report(DownloadStatusText(language, DownloadStage::Saved, DisplayPath(item->path)));
    }
    item->owner->Forget(item);
}

}  // namespace poremisu

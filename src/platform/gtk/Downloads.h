#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/ErrorPage.h"

namespace poremisu {

// The user's downloads: each one asks where to save (proposing the download
// folder and the server's name), never replaces a file without asking, and
// tells its progress, its end or its failure as status texts, which reach the
// status bar or, while that is hidden, the title.
class Downloads {
public:
    // `status` takes each text in UTF-8.
    using StatusSink = std::function<void(const std::string& utf8)>;

    Downloads(GtkWidget* owner, StatusSink status);
    // Open save dialogs go, and the downloads still waiting for one stop.
    ~Downloads();
    Downloads(const Downloads&) = delete;
    Downloads& operator=(const Downloads&) = delete;

    void Begin(WebKitDownload* download);
    // Called while a download goes on and while the user works in its save
    // dialog: the window is in use, though nobody touches it.
    void SetActivity(std::function<void()> activity) { m_activity = std::move(activity); }

    // The folder proposed first: the user's download folder, else ~/Downloads
    // when it exists, else the home folder.
    static std::string DownloadFolder();

private:
    struct Item;

    static gboolean OnDecideDestination(WebKitDownload* download, gchar* suggested, gpointer item);
    static void OnResponse(GtkDialog* dialog, gint response, gpointer item);
    static void OnReceivedData(WebKitDownload* download, guint64 length, gpointer item);
    static void OnFailed(WebKitDownload* download, GError* error, gpointer item);
    static void OnFinished(WebKitDownload* download, gpointer item);

    void Report(const std::string& utf8) { m_status(utf8); }
    void Active() {
        if (m_activity) m_activity();
    }
    void Forget(Item* item);
    // Opens the save dialog of the first download waiting for one, unless
    // one is open.
    void AskNext();
    void CancelWaiting();
    static bool Keep(const Item& item);

    GtkWidget* m_owner;
    StatusSink m_status;
    PageLanguage m_language;
    std::function<void()> m_activity;
    std::vector<std::unique_ptr<Item>> m_items;
    Item* m_asking = nullptr;  // the download whose save dialog is open
};

}  // namespace poremisu

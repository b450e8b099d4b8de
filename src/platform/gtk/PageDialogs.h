#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "pages/ErrorPage.h"

namespace poremisu {

// What a page asks of the user, in the user's language: its script dialogs
// (alert, confirm, prompt, the question before leaving), the server's
// question for a name and password; and the permissions it asks for
// (where the user is, notifications, camera), refused, the status text
// saying which for which site. A page that opens dialog after dialog gets,
// from the third within seconds, a way to stop them until it is left.
class PageDialogs {
public:
    // `status` takes a text in UTF-8.
    PageDialogs(WebKitWebView* view, std::function<void(const std::string&)> status);
    ~PageDialogs();
    PageDialogs(const PageDialogs&) = delete;
    PageDialogs& operator=(const PageDialogs&) = delete;

private:
    static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
    static gboolean OnAuthenticate(WebKitWebView* view, WebKitAuthenticationRequest* request, gpointer self);
    static gboolean OnPermission(WebKitWebView* view, WebKitPermissionRequest* request, gpointer self);
    GtkWindow* Owner() const;

    WebKitWebView* m_view;
    std::function<void(const std::string&)> m_status;
    PageLanguage m_language;
    // The page whose dialogs the user stopped, and the recent dialogs' times.
    std::string m_silencedPage;
    std::string m_lastPage;
    gint64 m_recent[3] = {0, 0, 0};
};

}  // namespace poremisu

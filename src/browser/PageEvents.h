#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "browser/CWebBrowser2.h"

namespace poremisu {

class MainWindow;

// The local folder a completed "file:///" address names, as a path: the
// escapes decoded, query and fragment dropped. "file:///home/a%20b" gives
// "/home/a b"; "file:///C:/Dir" gives "C:/Dir".
std::optional<std::string> FolderPathFromFileUrl(std::string_view address);

// The main window's sink for the browser control's events.
class PageEvents : public BrowserEvents {
public:
    explicit PageEvents(MainWindow& window) : m_window(window) {}

    void OnDownloadBegin() override;
    void OnDocumentComplete() override;
    void OnNewWindow2() override;
    void OnStatusTextChange(const std::string& text) override;

private:
    void CompletePage();

    MainWindow& m_window;
};

}  // namespace poremisu

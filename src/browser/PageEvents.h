#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/Platform.h"
#include "browser/CWebBrowser2.h"
#include "browser/Sweep.h"
#include "pages/History.h"
#include "pages/Listing.h"

namespace poremisu {

// The local folder a completed "file:///" address names, as a path: the
// escapes decoded, query and fragment dropped. "file:///home/a%20b" gives
// "/home/a b"; "file:///C:/Dir" gives "C:/Dir".
std::optional<std::string> FolderPathFromFileUrl(std::string_view address);
// The path of the folder a completed address is listed as, when it names one: a "file:///" address of
// no page (".htm"), whose path is within the listing's bound. Whether the folder is there is the file
// system's to tell.
std::optional<std::string> ListedFolderPath(std::string_view address);

// Whether a page at `opener` may bring `target` into the window, by a pop-up
// or a link the program follows itself: a local page may go anywhere, any
// other only to the web. A web page never reaches the user's files, the
// program's own pages or another local scheme through the program.
bool MayOpenFrom(std::string_view opener, std::string_view target);

// The pop-ups a page may bring into the window before it completes or the
// user does something: one each for a few addresses.
inline constexpr std::int32_t kPopUpsPerPage = 4;

// What the page events ask of the main window around the control: its
// address bar, its title and status text, and its own listing page.
class PageEventsSink {
public:
    virtual ~PageEventsSink() = default;
    virtual std::string GetAddressBarText(std::size_t count) = 0;
    virtual void SetAddressBarText(const std::string& text) = 0;
    virtual void NavigateToAddressBar() = 0;
    virtual void ComposeTitle(std::string_view extra) = 0;
    virtual void ComposeTitleNumber(std::int32_t number) = 0;
    virtual void ShowStatusText(const std::string& text, StatusOrigin origin) = 0;
    virtual void ShowListingPage() = 0;
    virtual void ShowListingFailure(const std::string& folder, FileError why) = 0;
};

// The main window's handler of the browser control's events.
class PageEvents : public BrowserEvents {
public:
    PageEvents(AppState& state, CWebBrowser2& browser, FileSystem& files, History& history,
               DirectoryLister& lister, ExternalBrowserSweep& sweep, PageEventsSink& window)
        : m_state(state),
          m_browser(browser),
          m_files(files),
          m_history(history),
          m_lister(lister),
          m_sweep(sweep),
          m_window(window) {}

    void OnDownloadBegin() override;
    void OnDocumentComplete() override;
    void OnNewWindow2(const std::string& requested) override;
    void OnStatusTextChange(const std::string& text, StatusOrigin origin) override;

private:
    AppState& m_state;
    CWebBrowser2& m_browser;
    FileSystem& m_files;
    History& m_history;
    DirectoryLister& m_lister;
    ExternalBrowserSweep& m_sweep;
    PageEventsSink& m_window;
};

}  // namespace poremisu

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace poremisu {

// The browser control: operations in. Texts are bytes in the program's code
// page; the platform converts at its boundary.
class CWebBrowser2 {
public:
    virtual ~CWebBrowser2() = default;

    virtual void GoBack() = 0;
    virtual void GoForward() = 0;
    virtual void GoSearch() = 0;
    virtual void Quit() = 0;
    virtual void Navigate2(const std::string& address) = 0;
    // Shows a page of the program's own, HTML in the program's code page, in
    // place of the current one and under its address. It raises no events:
    // nothing is logged or listed for it.
    virtual void ShowPage(const std::string& html) = 0;
    // Loads the current page again.
    virtual void Refresh() = 0;

    // Geometry in pixels of the main window's client area.
    virtual void SetLeft(std::int32_t value) = 0;
    virtual void SetTop(std::int32_t value) = 0;
    virtual void SetWidth(std::int32_t value) = 0;
    virtual void SetHeight(std::int32_t value) = 0;

    virtual std::string GetLocationName() = 0;
    virtual std::string GetLocationURL() = 0;
    virtual std::string GetPath() = 0;

    virtual void SetStatusBar(bool value) = 0;
    virtual void SetResizable(bool value) = 0;
};

// The name a page goes by: its title, or its address when it has none, as a
// browser names an untitled page.
inline std::string PageName(CWebBrowser2& browser) {
    std::string name = browser.GetLocationName();
    return name.empty() ? browser.GetLocationURL() : name;
}

// Where a status text comes from. The control's own texts may name the link
// under the pointer; the texts a stand-in makes up for a load's progress
// ("... を開いています...") never do, whatever they quote.
enum class StatusOrigin { Control, LoadProgress };

// The browser control: events out, raised on the user-interface thread.
class BrowserEvents {
public:
    virtual ~BrowserEvents() = default;
    virtual void OnDownloadBegin() = 0;
    virtual void OnDocumentComplete() = 0;
    // `requested` is the address the page asked the new window for, where the
    // control tells it; empty where it does not.
    virtual void OnNewWindow2(const std::string& requested) = 0;
    virtual void OnStatusTextChange(const std::string& text, StatusOrigin origin) = 0;
};

}  // namespace poremisu

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

// The browser control: events out, raised on the user-interface thread.
class BrowserEvents {
public:
    virtual ~BrowserEvents() = default;
    virtual void OnDownloadBegin() = 0;
    virtual void OnDocumentComplete() = 0;
    virtual void OnNewWindow2() = 0;
    virtual void OnStatusTextChange(const std::string& text) = 0;
};

}  // namespace poremisu

#pragma once

#include <cstdint>
#include <string>

#include "app/AppState.h"
#include "browser/CWebBrowser2.h"
#include "ui/WindowHost.h"

namespace poremisu {

class MainWindow;

// Control ids of the address dialog.
namespace dlg {
inline constexpr int kGo = 1;         // the OK id
inline constexpr int kMenu = 2;       // the cancel id: Escape raises it
inline constexpr int kCancel = 5;
inline constexpr int kAddress = 1006;
inline constexpr int kPageName = 1007;
inline constexpr int kAnchor = 1008;
}  // namespace dlg

// Rows of the main window's address bar the dialog may be high.
inline constexpr std::int32_t kUrlDialogMaxRows = 9;

enum class DialogResult { Ok, Cancel };

// What the address dialog asks of the toolkit dialog that carries it.
class UrlInputDialogHost {
public:
    virtual ~UrlInputDialogHost() = default;
    virtual void SetFieldText(int id, const std::string& text) = 0;
    virtual std::string GetFieldText(int id, std::size_t count) = 0;
    // Outer geometry in screen coordinates; may run OnSize again before returning.
    virtual void MoveDialog(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    virtual void MoveControl(int id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) = 0;
    virtual void EndDialog(DialogResult result) = 0;
};

// The address dialog: the current address ready to edit, the page name and
// an anchor for the page; GO navigates the main window.
class UrlInputDialog {
public:
    UrlInputDialog(AppState& state, CWebBrowser2& browser, MainWindow& mainWindow, Menus& menus,
                   UrlInputDialogHost& host)
        : m_state(state), m_browser(browser), m_mainWindow(mainWindow), m_menus(menus), m_host(host) {}

    // Fills the three fields; true so that the focus goes to GO.
    bool OnInitDialog();
    // Commands 1 (GO), 2 (Escape: attach a fresh menu bar) and 5 (cancel).
    void OnCommand(int id);
    // The client size, at every size notice the platform has; one that
    // repeats the last is no size change and lays nothing out.
    void OnSize(std::int32_t width, std::int32_t height);

    // "<a href="url">name</a>", cut to the title bound, nothing escaped:
    // the user copies it as written.
    static std::string Anchor(const std::string& url, const std::string& name);

private:
    void Go();

    AppState& m_state;
    CWebBrowser2& m_browser;
    MainWindow& m_mainWindow;
    Menus& m_menus;
    UrlInputDialogHost& m_host;
    std::int32_t m_lastWidth = -1, m_lastHeight = -1;
};

}  // namespace poremisu

#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Text.h"
#include "browser/CWebBrowser2.h"
#include "platform/gtk/ProgramIcon.h"
#include "platform/posix/CodePage.h"
#include "ui/WindowHost.h"

namespace poremisu {

class MainWindow;

// The font the window's sizes are measured in, as dialog templates are.
inline constexpr const char* kDialogFont = "IPAPGothic 9";

// Pixels per dialog unit: horizontal units are a quarter of the average
// character width, vertical ones an eighth of the character height.
struct DialogBaseUnits {
    int charWidth = 6;
    int charHeight = 12;
    int X(int units) const;
    int Y(int units) const;
};
DialogBaseUnits MeasureDialogBaseUnits(GtkWidget* widget, const char* font);


// The main window in GTK: a toplevel with the menu bar, the address bar, the
// status bar and the browser's view, all placed by the core's layout.
class GtkWindowHost : public WindowHost {
public:
    // gtk_init must have run. The window is realized at once (so other
    // processes can find it and hand addresses over) but not shown.
    GtkWindowHost(AppState& state, const Texts& texts, const CodePage& codePage);
    ~GtkWindowHost() override;
    GtkWindowHost(const GtkWindowHost&) = delete;
    GtkWindowHost& operator=(const GtkWindowHost&) = delete;

    GtkWidget* Window() const { return m_window; }
    GtkWidget* ClientArea() const { return m_area; }
    // The core and the browser's view, once both exist.
    void Attach(MainWindow& core, CWebBrowser2& browser, GtkWidget* browserView);
    // Replaces the idle timer's period (test runs only).
    void SetTickOverride(std::optional<std::chrono::milliseconds> period) { m_tickOverride = period; }
    // Shows the window after the core's initialisation.
    void ShowInitially();
    bool Ended() const { return m_ended; }

    void SetTitle(const std::string& title) override;
    std::string GetAddressBarText(std::size_t count) override;
    void SetAddressBarText(const std::string& text) override;
    std::int32_t AddressBarCreatedHeight() override;
    void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void CreateStatusBar() override;
    std::int32_t StatusBarHeight() override;
    void ShowStatusBar(bool visible) override;
    void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void SetStatusText(const std::string& text) override;
    void AttachMainMenu() override;
    void DestroyMenu() override;
    void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                               const std::string& help) override;
    void SetIcon() override;
    void Show(ShowCommand command) override;
    bool IsMaximized() override;
    bool GetPlacement(WindowPlacement& placement) override;
    void SetPlacement(const WindowPlacement& placement) override;
    std::vector<PixelRect> ScreenAreas() override;
    PixelRect TemplateSize() override;
    void StartTimer(std::chrono::milliseconds period) override;
    void SendClose() override;
    void EndWindow() override;
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
    void RunUrlInputDialog() override;
    void RelayoutMainWindow() override;
    void EndBoxes() override;

private:
    enum class Route { Command, SysCommand };
    struct PendingCommand {
        GtkWindowHost* host;
        Route route;
        int id;
        guint source;
    };

    bool Live() const { return m_core && !m_ended; }
    // Menu items run their command once the menu has closed, so a command
    // that replaces the menu bar never pulls it from under its own item.
    void PostCommand(Route route, int id);
    static gboolean RunPostedCommand(gpointer data);

    GtkWidget* BuildMenuBar();
    void BuildSystemMenu();
    void PopupSystemMenu(const GdkEvent* trigger);

    // Tells the core the content size and show state now, as a size notification would.
    void ReportSize();
    SizeKind CurrentSizeKind() const;
    GdkRectangle FrameRect() const;
    // The window manager's decorations (left, right, top, bottom), when it has said.
    std::optional<std::array<long, 4>> FrameExtents() const;
    void RequestFrameExtents();
    // Sizes the window so that its outer frame gets the size of m_frameToFit.
    void FitFrame();
    int RunModal(GtkDialog* dialog);
    // A close request from any side: the window manager, a signal, the idle watchdog.
    void Close();
    // Ends the modal boxes over the window, innermost first.
    void EndModalBoxes();

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self);
    static void OnAddressActivate(GtkEntry*, gpointer self);
    static gboolean OnAddressFocusOut(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                  gpointer self);
    static void OnEvent(GdkEvent* event, gpointer self);
    static GdkFilterReturn OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);
    static gboolean OnTick(gpointer self);

    AppState& m_state;
    const Texts& m_texts;
    const CodePage& m_codePage;
    MainWindow* m_core = nullptr;
    CWebBrowser2* m_browser = nullptr;
    GtkWidget* m_browserView = nullptr;

    GtkWidget* m_window;
    GtkWidget* m_area;
    GtkWidget* m_addressBar;
    GtkWidget* m_statusBar;
    guint m_statusContext;
    DialogBaseUnits m_units;

    // The system menu's three items, as GTK captions.
    std::vector<std::pair<int, std::string>> m_systemItems;
    GtkWidget* m_systemMenu = nullptr;
    GSimpleActionGroup* m_systemActions = nullptr;
    std::vector<PendingCommand*> m_pending;

    // Whether the core has been told a size yet.
    bool m_sizeReported = false;
    bool m_iconified = false, m_maximized = false;
    bool m_iconifyRequested = false;

    // The outer frame of the window while it was last neither minimised nor maximised.
    std::optional<GdkRectangle> m_normalRect;
    // A frame asked for before the window manager's decorations were known.
    std::optional<GdkRectangle> m_frameToFit;
    bool m_shown = false;

    guint m_timer = 0;
    std::optional<std::chrono::milliseconds> m_tickOverride;
    // The modal boxes running over the window (a message box, the address
    // dialog), innermost last, each with the way to end it.
    struct ModalBox {
        GtkWidget* window;
        std::function<void()> end;
    };
    std::vector<ModalBox> m_modalBoxes;
    bool m_ended = false;

    unsigned long m_commandAtom = 0;
    unsigned long m_ackAtom = 0;
    unsigned long m_frameExtentsAtom = 0;
};

}  // namespace poremisu

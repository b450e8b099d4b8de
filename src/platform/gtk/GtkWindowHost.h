#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Text.h"
#include "platform/gtk/DialogUnits.h"
#include "platform/gtk/GtkBars.h"
#include "platform/gtk/GtkFrame.h"
#include "platform/gtk/GtkHandOffReceiver.h"
#include "platform/gtk/GtkMenus.h"
#include "platform/gtk/GtkModalBoxes.h"
#include "platform/gtk/HostLink.h"
#include "platform/posix/CodePage.h"
#include "ui/WindowHost.h"

namespace poremisu {

class CWebBrowser2;
class MainWindow;

// The main window in GTK: a toplevel with the menu bar, the address bar, the
// status bar and the browser's view, all placed by the core's layout. It
// composes the parts, one per responsibility, and keeps the window's life
// (close requests, the end of the run), the idle timer and the input that
// reaches the core from anywhere in the window.
class GtkWindowHost : public WindowHost {
public:
    // gtk_init must have run. The window is realized at once (so other
    // processes can find it and hand addresses over) but not shown.
    GtkWindowHost(AppState& state, const Texts& texts, const CodePage& codePage);
    ~GtkWindowHost() override;
    GtkWindowHost(const GtkWindowHost&) = delete;
    GtkWindowHost& operator=(const GtkWindowHost&) = delete;

    GtkWidget* Window() const { return m_window.widget; }
    GtkWidget* ClientArea() const { return m_area; }
    // The core and the browser's view, once both exist.
    void Attach(MainWindow& core, CWebBrowser2& browser, GtkWidget* browserView);
    // Replaces the idle timer's period (test runs only).
    void SetTickOverride(std::optional<std::chrono::milliseconds> period) { m_tickOverride = period; }
    // Shows the window after the core's initialisation.
    void ShowInitially();
    bool Ended() const { return m_link.ended; }

    void SetTitle(const std::string& title) override { m_frame.SetTitle(title); }
    void SetIcon() override { m_frame.SetIcon(); }
    void Show(ShowCommand command) override { m_frame.Show(command); }
    bool IsMaximized() override { return m_frame.IsMaximized(); }
    void SetFullScreen(bool fullScreen) override {
        fullScreen ? gtk_window_fullscreen(GTK_WINDOW(m_window.widget)) : gtk_window_unfullscreen(GTK_WINDOW(m_window.widget));
    }
    bool GetPlacement(WindowPlacement& placement) override { return m_frame.GetPlacement(placement); }
    void SetPlacement(const WindowPlacement& placement) override { m_frame.SetPlacement(placement); }
    std::vector<PixelRect> ScreenAreas() override { return m_frame.ScreenAreas(); }
    PixelRect TemplateSize() override { return m_frame.TemplateSize(); }
    void RelayoutMainWindow() override { m_frame.Relayout(); }
    void SendClose() override { Close(); }
    void EndWindow() override;

    std::string GetAddressBarText(std::size_t count) override { return m_bars.GetAddressBarText(count); }
    void SetAddressBarText(const std::string& text) override { m_bars.SetAddressBarText(text); }
    std::int32_t AddressBarCreatedHeight() override { return m_bars.AddressBarCreatedHeight(); }
    void FocusAddressBar() override { m_bars.FocusAddressBar(); }
    void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override {
        m_bars.MoveAddressBar(x, y, w, h);
    }
    void CreateStatusBar() override { m_bars.CreateStatusBar(); }
    std::int32_t StatusBarHeight() override { return m_bars.StatusBarHeight(); }
    void ShowStatusBar(bool visible) override { m_bars.ShowStatusBar(visible); }
    void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override {
        m_bars.MoveStatusBar(x, y, w, h);
    }
    void SetStatusText(const std::string& text) override { m_bars.SetStatusText(text); }

    void AttachMainMenu() override { m_menus.AttachMainMenu(); }
    void DestroyMenu() override { m_menus.DestroyMenu(); }
    bool HasMainMenu() override { return m_menus.HasMainMenu(); }
    void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                               const std::string& help) override {
        m_menus.AppendSystemMenuItems(urlInput, menuSet, help);
    }

    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) override {
        return m_boxes.MessageBox(text, caption, buttons);
    }
    void RunUrlInputDialog() override { m_boxes.RunUrlInputDialog(); }
    void EndBoxes() override { m_boxes.EndBoxes(); }

    void StartTimer(std::chrono::milliseconds period) override;

private:
    // The toplevel outlives the parts built on it: it is destroyed last.
    struct Toplevel {
        GtkWidget* widget;
        Toplevel();
        ~Toplevel();
        Toplevel(const Toplevel&) = delete;
        Toplevel& operator=(const Toplevel&) = delete;
    };

    // A close request from any side: the window manager, a signal, the idle watchdog.
    void Close();

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static void OnEvent(GdkEvent* event, gpointer self);
    static gboolean OnTick(gpointer self);

    HostLink m_link;
    Toplevel m_window;
    GtkWidget* m_area;
    DialogBaseUnits m_units;
    GtkFrame m_frame;
    GtkBars m_bars;
    GtkMenus m_menus;
    GtkModalBoxes m_boxes;
    GtkHandOffReceiver m_handOff;

    guint m_timer = 0;
    std::optional<std::chrono::milliseconds> m_tickOverride;
};

}  // namespace poremisu

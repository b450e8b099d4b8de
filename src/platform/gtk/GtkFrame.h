#pragma once

#include <gtk/gtk.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "app/Placement.h"
#include "platform/gtk/DialogUnits.h"
#include "platform/gtk/HostLink.h"
#include "platform/posix/CodePage.h"

namespace poremisu {

// The main window's frame: its title and icon, its show states, and its
// placement by the outer frame (decorations included, once the window manager
// has told them). It tells the core of every size change as a size
// notification.
class GtkFrame {
public:
    GtkFrame(GtkWidget* window, GtkWidget* area, const DialogBaseUnits& units, const CodePage& codePage,
             const HostLink& link);
    ~GtkFrame();
    GtkFrame(const GtkFrame&) = delete;
    GtkFrame& operator=(const GtkFrame&) = delete;

    // Once the window is realized: listens for the window manager's decorations.
    void Realized();
    // Shows the window after the core's initialisation.
    void ShowInitially();

    void SetTitle(const std::string& title);
    void SetIcon();
    void Show(ShowCommand command);
    bool IsMaximized() const { return m_maximized; }
    bool GetPlacement(WindowPlacement& placement);
    void SetPlacement(const WindowPlacement& placement);
    std::vector<PixelRect> ScreenAreas() const;
    PixelRect TemplateSize() const;
    // The client area is laid out in place; a minimised or maximised window
    // comes back to its normal state first, as the layout's commands expect.
    void Relayout() { Show(ShowCommand::Normal); }

private:
    // Tells the core the content size and show state now, as a size notification would.
    void ReportSize();
    SizeKind CurrentSizeKind() const;
    GdkRectangle FrameRect() const;
    // The window manager's decorations (left, right, top, bottom), when it has said.
    std::optional<std::array<long, 4>> FrameExtents() const;
    void RequestFrameExtents();
    // Sizes the window so that its outer frame gets the size of m_frameToFit.
    void FitFrame();

    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self);
    static GdkFilterReturn OnXEvent(GdkXEvent* xevent, GdkEvent*, gpointer self);

    GtkWidget* m_window;
    GtkWidget* m_area;
    const DialogBaseUnits& m_units;
    const CodePage& m_codePage;
    const HostLink& m_link;

    // Whether the core has been told a size yet.
    bool m_sizeReported = false;
    bool m_iconified = false, m_maximized = false;
    bool m_iconifyRequested = false;
    bool m_shown = false;

    // The outer frame of the window while it was last neither minimised nor maximised.
    std::optional<GdkRectangle> m_normalRect;
    // A frame asked for before the window manager's decorations were known.
    std::optional<GdkRectangle> m_frameToFit;

    unsigned long m_frameExtentsAtom = 0;
};

}  // namespace poremisu

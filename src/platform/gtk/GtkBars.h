#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

#include "platform/gtk/DialogUnits.h"
#include "platform/gtk/HostLink.h"
#include "platform/posix/CodePage.h"
#include "ui/WindowHost.h"

namespace poremisu {

// The address bar (a one-line entry) and the status bar, children of the
// main window's client area placed where the core's layout puts them.
class GtkBars final : public AddressBar, public StatusBar {
public:
    GtkBars(GtkWidget* area, const DialogBaseUnits& units, const CodePage& codePage, const HostLink& link);
    GtkBars(const GtkBars&) = delete;
    GtkBars& operator=(const GtkBars&) = delete;

    std::string GetAddressBarText(std::size_t count) override;
    void SetAddressBarText(const std::string& text) override;
    std::int32_t AddressBarCreatedHeight() override;
    void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void FocusAddressBar() override;

    void CreateStatusBar() override;
    std::int32_t StatusBarHeight() override;
    void ShowStatusBar(bool visible) override;
    void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void SetStatusText(const std::string& text) override;

private:
    static void OnAddressActivate(GtkEntry*, gpointer self);
    static gboolean OnAddressFocusOut(GtkWidget*, GdkEvent*, gpointer self);

    GtkWidget* m_area;
    const DialogBaseUnits& m_units;
    const CodePage& m_codePage;
    const HostLink& m_link;
    GtkWidget* m_addressBar;
    GtkWidget* m_statusBar;
    guint m_statusContext;
};

}  // namespace poremisu

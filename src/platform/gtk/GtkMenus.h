#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/HostLink.h"
#include "platform/posix/CodePage.h"
#include "ui/WindowHost.h"

namespace poremisu {

// The main window's menus: the menu bar built from the command table, the
// system menu's items (on Alt+Space and F10, and at the top of the page's
// context menu), and the engine's own context-menu items relabelled.
class GtkMenus final : public Menus {
public:
    GtkMenus(GtkWidget* window, GtkWidget* area, const CodePage& codePage, const HostLink& link);
    ~GtkMenus() override;
    GtkMenus(const GtkMenus&) = delete;
    GtkMenus& operator=(const GtkMenus&) = delete;

    // The page's context menu carries the system menu's items from now on.
    void Attach(GtkWidget* browserView);
    void PopupSystemMenu(const GdkEvent* trigger);

    void AttachMainMenu() override;
    void DestroyMenu() override;
    bool HasMainMenu() override;
    void AppendSystemMenuItems(const std::string& urlInput, const std::string& menuSet,
                               const std::string& help) override;

private:
    enum class Route { Command, SysCommand };
    struct PendingCommand {
        GtkMenus* menus;
        Route route;
        int id;
        guint source;
    };

    // Menu items run their command once the menu has closed, so a command
    // that replaces the menu bar never pulls it from under its own item.
    void PostCommand(Route route, int id);
    static gboolean RunPostedCommand(gpointer data);

    GtkWidget* BuildMenuBar();
    void BuildSystemMenu();

    static gboolean OnContextMenu(WebKitWebView*, WebKitContextMenu* menu, GdkEvent*, WebKitHitTestResult*,
                                  gpointer self);

    GtkWidget* m_window;
    GtkWidget* m_area;
    const CodePage& m_codePage;
    const HostLink& m_link;

    // The system menu's three items, as GTK captions.
    std::vector<std::pair<int, std::string>> m_systemItems;
    GtkWidget* m_systemMenu = nullptr;
    GSimpleActionGroup* m_systemActions = nullptr;
    std::vector<PendingCommand*> m_pending;
};

}  // namespace poremisu

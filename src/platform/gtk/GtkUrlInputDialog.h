#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <string>

#include "app/Text.h"
#include "platform/gtk/DialogUnits.h"
#include "platform/posix/CodePage.h"
#include "ui/DialogTemplates.h"
#include "ui/UrlInputDialog.h"

namespace poremisu {

// The address dialog in GTK: a window transient for the main window, modal
// while it runs, with the template's controls placed exactly where the core's
// layout puts them (the static icon and texts stay at their template places).
class GtkUrlInputDialog : public UrlInputDialogHost {
public:
    GtkUrlInputDialog(GtkWindow* owner, const CodePage& codePage, const Texts& texts,
                      const DialogBaseUnits& units);
    ~GtkUrlInputDialog() override;
    GtkUrlInputDialog(const GtkUrlInputDialog&) = delete;
    GtkUrlInputDialog& operator=(const GtkUrlInputDialog&) = delete;

    GtkWidget* Window() const { return m_window; }
    // Initialises the core, shows the dialog centred over its owner and runs
    // its own loop (timers of the main window go on ticking) until the dialog ends.
    DialogResult Run(UrlInputDialog& core);
    // Ends a run from outside, as cancel does; the dialog disappears at once.
    void End() { EndDialog(DialogResult::Cancel); }

    void SetFieldText(int id, const std::string& text) override;
    std::string GetFieldText(int id, std::size_t count) override;
    void MoveDialog(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void MoveControl(int id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void EndDialog(DialogResult result) override;

private:
    GtkWidget* Control(int id) const;
    GtkWidget* AddEntry(bool editable);
    GtkWidget* AddButton(const char* label, int id);
    // Puts a control at its template rectangle, in dialog units.
    void PlaceAtTemplate(GtkWidget* widget, const DialogUnitRect& rect);
    void OnClientSize(int width, int height);
    void CentreOverOwner();

    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent*, gpointer self);
    static void OnClicked(GtkButton* button, gpointer self);

    const CodePage& m_codePage;
    DialogBaseUnits m_units;
    UrlInputDialog* m_core = nullptr;

    GtkWidget* m_window;
    GtkWidget* m_area;
    GtkWidget* m_address;
    GtkWidget* m_pageName;
    GtkWidget* m_anchor;
    GtkWidget* m_go;
    GtkWidget* m_cancel;
    GtkWidget* m_menu;

    GMainLoop* m_loop = nullptr;
    bool m_ended = false;
    DialogResult m_result = DialogResult::Cancel;
};

}  // namespace poremisu

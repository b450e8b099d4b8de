#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "app/Text.h"
#include "platform/gtk/DialogUnits.h"
#include "platform/gtk/HostLink.h"
#include "platform/posix/CodePage.h"
#include "ui/WindowHost.h"

namespace poremisu {

// The modal boxes over the main window: message boxes and the address
// dialog, each ended (as its Cancel) when the window closes under it.
class GtkModalBoxes final : public ModalBoxes {
public:
    GtkModalBoxes(GtkWidget* window, AppState& state, const Texts& texts, const CodePage& codePage,
                  const DialogBaseUnits& units, Menus& menus, const HostLink& link);
    GtkModalBoxes(const GtkModalBoxes&) = delete;
    GtkModalBoxes& operator=(const GtkModalBoxes&) = delete;

    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) override;
    void RunUrlInputDialog() override;
    // Ends the modal boxes over the window, innermost first.
    void EndBoxes() override;

private:
    int RunModal(GtkDialog* dialog);

    GtkWidget* m_window;
    AppState& m_state;
    const Texts& m_texts;
    const CodePage& m_codePage;
    const DialogBaseUnits& m_units;
    Menus& m_menus;
    const HostLink& m_link;

    // The modal boxes running over the window (a message box, the address
    // dialog), innermost last, each with the way to end it.
    struct ModalBox {
        GtkWidget* window;
        std::function<void()> end;
    };
    std::vector<ModalBox> m_modalBoxes;
};

}  // namespace poremisu

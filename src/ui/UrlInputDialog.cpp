#include "ui/UrlInputDialog.h"

#include "app/Text.h"
#include "ui/MainWindow.h"

namespace poremisu {

std::string UrlInputDialog::Anchor(const std::string& url, const std::string& name) {
    std::string anchor = "<a href=\"";
    anchor += CutToCount(url, kTitleCount);
    anchor += "\">";
    anchor += CutToCount(name, kTitleCount);
    anchor += "</a>";
    return CutToCount(anchor, kTitleCount);
}

bool UrlInputDialog::OnInitDialog() {
    m_host.SetFieldText(dlg::kAddress, m_browser.GetLocationURL());
    m_host.SetFieldText(dlg::kPageName, PageName(m_browser));
    m_state.scratchText = Anchor(m_browser.GetLocationURL(), PageName(m_browser));
    m_host.SetFieldText(dlg::kAnchor, m_state.scratchText);
    return true;
}

void UrlInputDialog::Go() {
    m_state.scratchText = m_host.GetFieldText(dlg::kAddress, kWindowTextCount);
    m_mainWindow.SetAddressBarText(m_state.scratchText);
    m_mainWindow.NavigateToAddressBar();
    m_host.EndDialog(DialogResult::Ok);
}

void UrlInputDialog::OnCommand(int id) {
    switch (id) {
    case dlg::kGo: Go(); break;
    case dlg::kCancel: m_host.EndDialog(DialogResult::Cancel); break;
    case dlg::kMenu:
        // Escape brings the menu bar back and leaves the dialog open.
        m_menus.AttachMainMenu();
        break;
    default: break;
    }
}

void UrlInputDialog::OnSize(std::int32_t width, std::int32_t height) {
    if (width == m_lastWidth && height == m_lastHeight) return;
    m_lastWidth = width;
    m_lastHeight = height;
    const std::int32_t row = m_state.rowHeight;
    if (kUrlDialogMaxRows * row < height) {
        m_host.MoveDialog(0, 0, width, kUrlDialogMaxRows * row);
    }
    m_host.MoveControl(dlg::kAddress, 0, 0, width, row);
    m_host.MoveControl(dlg::kPageName, 0, row, width, row);
    m_host.MoveControl(dlg::kAnchor, 0, 2 * row, width, row);
    m_host.MoveControl(dlg::kGo, width - 4 * row, 3 * row, 2 * row, row);
    m_host.MoveControl(dlg::kCancel, width - 2 * row, 3 * row, 2 * row, row);
}

}  // namespace poremisu

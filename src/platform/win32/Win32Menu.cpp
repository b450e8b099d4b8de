#include "platform/win32/Win32Menu.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/Text.h"
#include "platform/win32/Win32Text.h"
#include "ui/CommandTable.h"

namespace poremisu {

HMENU BuildMainMenu() {
    HMENU bar = CreateMenu();
    if (!bar) return nullptr;
    // open[level] receives the rows of that level; a row deeper than the popup
    // above it allows goes into that popup.
    std::vector<HMENU> open{bar};
    for (const MenuRow& row : MainMenuRows()) {
        open.resize(std::min<std::size_t>(open.size(), static_cast<std::size_t>(std::max(row.level, 0)) + 1));
        HMENU parent = open.back();
        std::string caption = AnsiFromUtf8(Utf8(row.caption));
        switch (row.kind) {
        case MenuRowKind::Popup:
            if (HMENU popup = CreatePopupMenu()) {
                AppendMenuA(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), caption.c_str());
                open.push_back(popup);
            }
            break;
        case MenuRowKind::Item:
            AppendMenuA(parent, MF_STRING, static_cast<UINT_PTR>(row.id), caption.c_str());
            break;
        case MenuRowKind::Separator:
            // On the bar a separator is an empty item that does nothing.
            AppendMenuA(parent, MF_SEPARATOR, 0, nullptr);
            break;
        }
    }
    return bar;
}

}  // namespace poremisu

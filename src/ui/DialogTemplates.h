#pragma once

// The dialog templates' geometry in dialog units (x, y, width, height) and the
// address dialog's button captions. The Windows resource script reads this
// file through the preprocessor, hence the macros and no includes; the GTK
// front end lays its windows out from the constants below them.

// The main window: its client size, the address bar, and where the browser
// control is created before the first layout places it.
#define POREMISU_MAIN_SIZE 306, 271
#define POREMISU_MAIN_ADDRESS_BAR 7, 0, 292, 14
#define POREMISU_MAIN_BROWSER 7, 18, 135, 246

// The address dialog: its client size, then its controls in template order.
#define POREMISU_URL_SIZE 198, 124
#define POREMISU_URL_ICON 55, 87, 20, 20
#define POREMISU_URL_VERSION_LABEL 94, 86, 55, 8
#define POREMISU_URL_GO 127, 38, 32, 14
#define POREMISU_URL_VERSION 151, 85, 17, 8
#define POREMISU_URL_ADDRESS 7, 16, 177, 14
#define POREMISU_URL_MENU 7, 103, 32, 14
#define POREMISU_URL_CANCEL 162, 38, 30, 14
#define POREMISU_URL_PAGE_NAME 7, 38, 116, 14
#define POREMISU_URL_ANCHOR 7, 59, 184, 14
#define POREMISU_URL_GO_TEXT "GO"
#define POREMISU_URL_MENU_TEXT "menu"
#define POREMISU_URL_CANCEL_TEXT "cancel"

namespace poremisu {

struct DialogUnitSize {
    int width, height;
};

struct DialogUnitRect {
    int x, y, width, height;
};

namespace main_template {
inline constexpr DialogUnitSize kSize{POREMISU_MAIN_SIZE};
inline constexpr DialogUnitRect kAddressBar{POREMISU_MAIN_ADDRESS_BAR};
inline constexpr DialogUnitRect kBrowser{POREMISU_MAIN_BROWSER};
}  // namespace main_template

namespace url_template {
inline constexpr DialogUnitSize kSize{POREMISU_URL_SIZE};
inline constexpr DialogUnitRect kIcon{POREMISU_URL_ICON};
inline constexpr DialogUnitRect kVersionLabel{POREMISU_URL_VERSION_LABEL};
inline constexpr DialogUnitRect kGo{POREMISU_URL_GO};
inline constexpr DialogUnitRect kVersion{POREMISU_URL_VERSION};
inline constexpr DialogUnitRect kAddress{POREMISU_URL_ADDRESS};
inline constexpr DialogUnitRect kMenu{POREMISU_URL_MENU};
inline constexpr DialogUnitRect kCancel{POREMISU_URL_CANCEL};
inline constexpr DialogUnitRect kPageName{POREMISU_URL_PAGE_NAME};
inline constexpr DialogUnitRect kAnchor{POREMISU_URL_ANCHOR};
}  // namespace url_template

}  // namespace poremisu

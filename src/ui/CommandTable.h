#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace poremisu {

// Command ids shared by the menu bar, the system menu and other processes.
namespace cmd {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kBack = 3;
inline constexpr int kForward = 4;
inline constexpr int kNavigate = 5;
inline constexpr int kQuit = 6;
inline constexpr int kSearch = 7;
inline constexpr int kVersion = 16;
inline constexpr int kHelp = 32771;
inline constexpr int kHandOff = 32772;
inline constexpr int kTabPlus = 32774;
inline constexpr int kRemoveMenu = 32775;
inline constexpr int kTitleHistory = 32776;
inline constexpr int kCloseIe = 32777;
inline constexpr int kResetHistory = 32778;
inline constexpr int kPath = 32779;
inline constexpr int kFavorites = 32780;
inline constexpr int kToggleAddressBar = 32781;
inline constexpr int kMenuIe = 32783;
inline constexpr int kHideAll = 32784;
inline constexpr int kToggleStatusBar = 32786;
inline constexpr int kShowAll = 32787;
}  // namespace cmd

// System-menu items appended at initialisation; compared with the low four
// bits of the system command cleared.
namespace syscmd {
inline constexpr int kUrlInput = 16;
inline constexpr int kMenuSet = 32;
inline constexpr int kHelp = 48;
}  // namespace syscmd

enum class MenuRowKind { Popup, Item, Separator };

// One row of the menu bar "MAINMENU", in menu order. A popup holds the rows
// that follow it one level deeper, up to the next row at its own level or above.
struct MenuRow {
    int level;            // 0 on the bar
    MenuRowKind kind;
    std::u8string_view caption;
    int id;               // 0 for popups and separators
};

// The menu bar's rows, the single source of its captions and ids: both front
// ends build their menu bar from them.
std::span<const MenuRow> MainMenuRows();

}  // namespace poremisu

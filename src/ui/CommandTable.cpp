#include "ui/CommandTable.h"

#include <array>

namespace poremisu {

namespace {

using K = MenuRowKind;

constexpr std::array kRows{
    MenuRow{0, K::Popup, u8"メイン", 0},
    MenuRow{1, K::Item, u8"IEお気に入り", cmd::kFavorites},
    MenuRow{1, K::Separator, u8"", 0},
    MenuRow{1, K::Item, u8"終了(&X)", cmd::kCancel},
    MenuRow{0, K::Popup, u8"表示", 0},
    MenuRow{1, K::Item, u8"menu消す", cmd::kRemoveMenu},
    MenuRow{1, K::Item, u8"status", cmd::kToggleStatusBar},
    MenuRow{1, K::Item, u8"address bar", cmd::kToggleAddressBar},
    MenuRow{1, K::Separator, u8"", 0},
    MenuRow{1, K::Item, u8"全部消す", cmd::kHideAll},
    MenuRow{1, K::Item, u8"全部表示", cmd::kShowAll},
    MenuRow{0, K::Popup, u8"履歴", 0},
    MenuRow{1, K::Item, u8"タイトル履歴", cmd::kTitleHistory},
    MenuRow{1, K::Item, u8"履歴初期化", cmd::kResetHistory},
    MenuRow{0, K::Separator, u8"", 0},
    MenuRow{0, K::Item, u8"<", cmd::kBack},
    MenuRow{0, K::Item, u8"v", cmd::kNavigate},
    MenuRow{0, K::Item, u8">", cmd::kForward},
    MenuRow{0, K::Item, u8"x", cmd::kQuit},
    MenuRow{0, K::Item, u8"?", cmd::kSearch},
    MenuRow{0, K::Separator, u8"", 0},
    MenuRow{0, K::Popup, u8"ヘルプ", 0},
    MenuRow{1, K::Item, u8"ヘルプ", cmd::kHelp},
    MenuRow{1, K::Item, u8"path", cmd::kPath},
    MenuRow{1, K::Item, u8"ver." POREMISU_VERSION, cmd::kVersion},
    MenuRow{1, K::Popup, u8"タブ？", 0},
    MenuRow{2, K::Item, u8"+", cmd::kTabPlus},
    MenuRow{2, K::Item, u8"IE閉じ", cmd::kCloseIe},
    MenuRow{2, K::Popup, u8"移動", 0},
    MenuRow{3, K::Item, u8".", cmd::kHandOff},
    MenuRow{2, K::Item, u8"menu ie", cmd::kMenuIe},
};

}  // namespace

std::span<const MenuRow> MainMenuRows() { return kRows; }

}  // namespace poremisu

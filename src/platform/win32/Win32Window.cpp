#include "platform/win32/Win32Window.h"

#include <climits>

namespace poremisu {

namespace {

int Clamp(std::size_t count) { return count > INT_MAX ? INT_MAX : static_cast<int>(count); }

}  // namespace

std::string WindowText(HWND window, std::size_t count) {
    if (count == 0) return {};
    std::string text(static_cast<std::size_t>(Clamp(count)), '\0');
    int length = GetWindowTextA(window, text.data(), Clamp(count));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

void CentreOver(HWND window, HWND over) {
    RECT outer = {};
    GetWindowRect(window, &outer);
    RECT area = {};
    if (over) {
        GetWindowRect(over, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    int x = area.left + (area.right - area.left - width) / 2;
    int y = area.top + (area.bottom - area.top - height) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace poremisu

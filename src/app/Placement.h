#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace poremisu {

// Show commands, with the values of the platform the program was designed on.
enum class ShowCommand : std::int32_t {
    Hide = 0,
    Normal = 1,
    ShowMinimized = 2,  // minimise and activate
    Maximized = 3,
    Minimize = 6,
    ShowMinNoActive = 7,  // minimise, leave the active window be
};

// The show state a size notification reports along with the client size.
enum class SizeKind { Restored, Minimized, Maximized };

// The window's placement, in the order the settings file stores it.
struct WindowPlacement {
    std::int32_t flags = 0;
    std::int32_t showCommand = 0;
    std::int32_t minX = 0, minY = 0;
    std::int32_t maxX = 0, maxY = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};
inline constexpr std::int32_t kPlacementRestoreToMaximized = 2;

// The placement as the settings file stores it, "%i:%i:%i:%i:%i:%i:%i:%i:%i:%i",
// both ways. The reader takes what the scanf family takes for %i (leading
// blanks, a sign, decimal, 0x hexadecimal or 0 octal digits), holds a value
// beyond 32 bits at the nearest bound, and succeeds only when all ten fields
// were converted.
std::string FormatPlacement(const WindowPlacement& placement);
std::optional<WindowPlacement> ParsePlacement(std::string_view text);

// A rectangle in the placement's pixels: a screen's area, or a size alone.
struct PixelRect {
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

}  // namespace poremisu

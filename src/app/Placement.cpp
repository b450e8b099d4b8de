#include "app/Placement.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "app/Text.h"

namespace poremisu {

std::string FormatPlacement(const WindowPlacement& p) {
    const std::int32_t fields[] = {p.flags, p.showCommand, p.minX, p.minY,  p.maxX,
                                   p.maxY,  p.left,        p.top,  p.right, p.bottom};
    std::string out;
    for (std::int32_t field : fields) {
        if (!out.empty()) out += ':';
        out += std::to_string(field);
    }
    return out;
}

namespace {

// One "%i" conversion at `pos` of a text that ends in a zero byte; advances
// `pos` past what it took.
std::optional<std::int32_t> ScanInteger(const std::string& text, std::size_t& pos) {
    // Blanks are skipped here, not by strtoll, whose blanks follow the locale.
    while (pos < text.size() && IsCBlank(text[pos])) ++pos;
    std::size_t digits = pos;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    if (digits >= text.size() || !IsAsciiDigit(text[digits])) return std::nullopt;
    // Newer C libraries read "0b" as the start of binary digits; here it is a
    // zero followed by a letter, as it always was for %i.
    if (text[digits] == '0' && (text[digits + 1] == 'b' || text[digits + 1] == 'B')) {
        pos = digits + 1;
        return 0;
    }
    char* end = nullptr;
    long long value = std::strtoll(text.c_str() + pos, &end, 0);
    pos = static_cast<std::size_t>(end - text.c_str());
    // strtoll holds a longer number at its own bounds; these are ours.
    return static_cast<std::int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

std::optional<WindowPlacement> ParsePlacement(std::string_view text) {
    const std::string terminated(text);
    std::array<std::int32_t, 10> fields{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos >= terminated.size() || terminated[pos] != ':') return std::nullopt;
            ++pos;
        }
        auto value = ScanInteger(terminated, pos);
        if (!value) return std::nullopt;
        fields[i] = *value;
    }
    WindowPlacement p;
    p.flags = fields[0];
    p.showCommand = fields[1];
    p.minX = fields[2];
    p.minY = fields[3];
    p.maxX = fields[4];
    p.maxY = fields[5];
    p.left = fields[6];
    p.top = fields[7];
    p.right = fields[8];
    p.bottom = fields[9];
    return p;
}

}  // namespace poremisu

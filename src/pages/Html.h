#pragma once

#include <string>
#include <string_view>

namespace poremisu {

// Escapes the five bytes that let text break out of an attribute or element,
// and the line breaks that would split its line. None of them is ever a
// trail byte of a double-byte character, so the escape is safe byte by byte
// in either code page.
std::string EscapeHtml(std::string_view text);

// "<a href="address">text</a><br>" and a line feed, both parts escaped.
std::string LinkLine(std::string_view address, std::string_view text);

}  // namespace poremisu

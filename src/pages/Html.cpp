#include "pages/Html.h"

namespace poremisu {

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        // A line break would end the page's line early and start one of the
        // text's own; file names and window titles may hold them.
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::string LinkLine(std::string_view address, std::string_view text) {
    std::string line = "<a href=\"";
    line += EscapeHtml(address);
    line += "\">";
    line += EscapeHtml(text);
    line += "</a><br>\n";
    return line;
}

}  // namespace poremisu

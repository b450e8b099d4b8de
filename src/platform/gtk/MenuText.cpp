#include "platform/gtk/MenuText.h"

namespace poremisu {

std::string GtkMnemonic(std::string_view caption) {
    std::string result;
    result.reserve(caption.size() + 2);
    for (std::size_t i = 0; i < caption.size(); ++i) {
        char c = caption[i];
        if (c == '_') {
            result += "__";
        } else if (c == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                result += '&';
                ++i;
            } else if (i + 1 < caption.size()) {
                result += '_';
            }
            // A lone "&" at the end marks nothing and is dropped.
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace poremisu

#include "ui/Address.h"

#include "app/Text.h"
#include "ui/MainWindow.h"

namespace poremisu {

bool HasScheme(std::string_view text) {
    if (text.find("://") != std::string_view::npos) return true;
    if (text.empty() || !IsAsciiLetter(text.front())) return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == ':') {
            // "localhost:8080/x" names a host and its port, not a scheme.
            return !(i + 1 < text.size() && IsAsciiDigit(text[i + 1]));
        }
        if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

ResolvedAddress ResolveAddress(std::string_view text, const std::function<bool(const std::string&)>& exists,
                               const std::function<std::string()>& currentDirectory) {
    using Kind = ResolvedAddress::Kind;
    std::string_view trimmed = TrimAddressBlanks(text);
    if (trimmed.empty()) return {Kind::Nothing, {}};
    if (trimmed == kStartPage) return {Kind::Home, {}};
    if (trimmed.front() == '/') return {Kind::File, std::string(trimmed)};
    if (HasScheme(trimmed)) return {Kind::AsIs, std::string(trimmed)};
    // A relative name of a file that exists beside the current directory.
    std::string directory = currentDirectory();
    if (!directory.empty()) {
        if (directory.back() != '/') directory += '/';
        std::string path = directory + std::string(trimmed);
        if (exists(path)) return {Kind::File, path};
    }
    return {Kind::Web, "http://" + std::string(trimmed)};
}

}  // namespace poremisu

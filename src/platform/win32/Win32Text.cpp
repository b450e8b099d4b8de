#include "platform/win32/Win32Text.h"

#include <climits>

namespace poremisu {

std::wstring WideFrom(std::string_view bytes, UINT codePage) {
    if (bytes.empty() || bytes.size() > INT_MAX) return {};
    int length = static_cast<int>(bytes.size());
    int count = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, wide.data(), count);
    return wide;
}

std::string BytesFrom(std::wstring_view wide, UINT codePage) {
    if (wide.empty() || wide.size() > INT_MAX) return {};
    int length = static_cast<int>(wide.size());
    int count = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string bytes(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), length, bytes.data(), count, nullptr, nullptr);
    return bytes;
}

std::string AnsiFromUtf8(std::string_view utf8) { return BytesFrom(WideFrom(utf8, CP_UTF8), CP_ACP); }

std::string ArgumentTextOf(std::string_view commandLine) {
    std::size_t i = 0;
    // The program's name ends at the closing quote when it starts with one,
    // else at the first blank; quotes inside it only group blanks.
    bool quoted = false;
    for (; i < commandLine.size(); ++i) {
        char c = commandLine[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            break;
        }
    }
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    return std::string(commandLine.substr(i));
}

}  // namespace poremisu

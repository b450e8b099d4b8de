#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32ProfileStore.h"

#include <climits>
#include <cstdint>

#include "app/Text.h"

namespace poremisu {

namespace {

// The system's text for an error code, without its line break.
std::string SystemMessage(DWORD error) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace

std::string Win32ProfileStore::Read(const std::string& path, std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t count,
                                    std::uint64_t maxFileBytes) {
    if (count == 0) return {};
    if (maxFileBytes != kAnyFileSize) {
        // Only a regular file of at most the bound is handed to the reader:
        // no device, pipe or huge file can hold the program.
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ||
            ((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) > maxFileBytes) {
            return CutToCount(defaultValue, count);
        }
    }
    if (count > INT_MAX) count = INT_MAX;
    std::string value(count, '\0');
    DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                            std::string(defaultValue).c_str(), value.data(),
                                            static_cast<DWORD>(count), path.c_str());
    value.resize(length < count ? length : count - 1);
    return value;
}

bool Win32ProfileStore::Write(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view value, std::string* reason) {
    // A line break in the value would start lines of its own in the file.
    value = value.substr(0, value.find_first_of("\r\n"));
    if (WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                   std::string(value).c_str(), path.c_str()) != 0) {
        return true;
    }
    if (reason) *reason = SystemMessage(GetLastError());
    return false;
}

}  // namespace poremisu

#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32ProfileStore.h"

#include <climits>

namespace poremisu {

std::string Win32ProfileStore::Read(const std::string& path, std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t count) {
    if (count == 0) return {};
    if (count > INT_MAX) count = INT_MAX;
    std::string value(count, '\0');
    DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                            std::string(defaultValue).c_str(), value.data(),
                                            static_cast<DWORD>(count), path.c_str());
    value.resize(length < count ? length : count - 1);
    return value;
}

bool Win32ProfileStore::Write(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view value) {
    // A line break in the value would start lines of its own in the file.
    value = value.substr(0, value.find_first_of("\r\n"));
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path.c_str()) != 0;
}

}  // namespace poremisu

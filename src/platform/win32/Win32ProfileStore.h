#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// Initialisation files through the system's private-profile functions, which
// also remove a pair of quotes that encloses a whole value.
class Win32ProfileStore : public ProfileStore {
public:
    std::string Read(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view defaultValue, std::size_t count,
                     std::uint64_t maxFileBytes = kAnyFileSize) override;
    bool Write(const std::string& path, std::string_view section, std::string_view key,
               std::string_view value, std::string* reason = nullptr) override;
};

}  // namespace poremisu

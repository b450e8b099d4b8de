// The real services of Windows for the core's tests that need a platform
// (fs_*_test.cpp).

#include "platform/win32/Win32Api.h"

#include <cstdlib>
#include <stdexcept>

#include "fakes/PlatformServices.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProfileStore.h"
#include "platform/win32/Win32Text.h"

namespace poremisu::test {

std::unique_ptr<FileSystem> MakePlatformFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::unique_ptr<ProfileStore> MakePlatformProfileStore() { return std::make_unique<Win32ProfileStore>(); }

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime's copy (std::getenv) and the system's (which the program
    // reads) both follow. "name=" removes the runtime's entry; the system
    // keeps an empty value apart from a missing one.
    std::string entry = name + "=" + value.value_or("");
    _putenv(entry.c_str());
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}

std::string EncodeCp932(std::string_view utf8) {
    std::wstring wide = WideFrom(utf8, CP_UTF8);
    if (wide.empty() && !utf8.empty()) throw std::runtime_error("not UTF-8");
    BOOL lost = FALSE;
    int count = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, &lost);
    std::string bytes(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), count, nullptr, &lost);
    if (lost) throw std::runtime_error("text not in CP932");
    return bytes;
}

}  // namespace poremisu::test

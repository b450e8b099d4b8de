// The real services of Windows for the core's tests that need a platform.

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

void MakeEndlessFiles(const std::string&, const std::string&) {}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime's copy (std::getenv; "name=" removes it) and the system's, which the program reads.
    _putenv((name + "=" + value.value_or("")).c_str());
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}

std::string EncodeCp932(std::string_view utf8) {
    std::wstring wide = WideFrom(utf8, CP_UTF8);
    if (wide.empty() && !utf8.empty()) throw std::runtime_error("not UTF-8");
    BOOL lost = FALSE;
    std::string bytes(wide.size() * 2, '\0');
    int count = WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(),
                                    static_cast<int>(bytes.size()), nullptr, &lost);
    if (lost) throw std::runtime_error("text not in CP932");
    bytes.resize(static_cast<std::size_t>(count > 0 ? count : 0));
    return bytes;
}

}  // namespace poremisu::test

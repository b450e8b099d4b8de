// The real services of Windows for the core's tests that need a platform.

#include "platform/win32/Win32Api.h"

#include <cstdlib>

#include "fakes/PlatformServices.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32ProfileStore.h"
#include "platform/win32/Win32Text.h"

namespace poremisu::test {

std::unique_ptr<FileSystem> MakePlatformFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::unique_ptr<ProfileStore> MakePlatformProfileStore() { return std::make_unique<Win32ProfileStore>(); }

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    // The C runtime's copy (std::getenv; "name=" removes it) and the system's, which the program reads.
    _putenv((name + "=" + value.value_or("")).c_str());
    SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
}

// Text not in CP932 comes out with stand-ins that no expected bytes hold.
std::string EncodeCp932(std::string_view utf8) { return BytesFrom(WideFrom(utf8, CP_UTF8), 932); }

}  // namespace poremisu::test

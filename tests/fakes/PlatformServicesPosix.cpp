#include <stdlib.h>

#include "fakes/PlatformServices.h"
#include "platform/posix/CodePage.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProfileStore.h"

namespace poremisu::test {

std::unique_ptr<FileSystem> MakePlatformFileSystem() { return std::make_unique<PosixFileSystem>(); }

std::unique_ptr<ProfileStore> MakePlatformProfileStore() { return std::make_unique<PosixProfileStore>(); }

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}

// A character that is not in CP932 comes out as '?', which the tests' expected bytes then catch.
std::string EncodeCp932(std::string_view utf8) { return CodePage("CP932").FromUtf8(utf8); }

}  // namespace poremisu::test

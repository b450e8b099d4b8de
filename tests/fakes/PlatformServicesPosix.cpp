#include <iconv.h>
#include <stdlib.h>

#include <stdexcept>

#include "fakes/PlatformServices.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProfileStore.h"

namespace poremisu::test {

std::unique_ptr<FileSystem> MakePlatformFileSystem() { return std::make_unique<PosixFileSystem>(); }

std::unique_ptr<ProfileStore> MakePlatformProfileStore() { return std::make_unique<PosixProfileStore>(); }

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

std::string EncodeCp932(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 converter");
    std::string in(utf8);
    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (result == static_cast<std::size_t>(-1)) throw std::runtime_error("text not in CP932");
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace poremisu::test

#pragma once

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu::test {

// The real services of the platform the tests run on. Each platform has one
// source file for these, and the build picks it.
std::unique_ptr<FileSystem> MakePlatformFileSystem();
std::unique_ptr<ProfileStore> MakePlatformProfileStore();

// Sets the process's environment variable, or removes it for nullopt.
void SetEnvironment(const std::string& name, const std::optional<std::string>& value);

// UTF-8 to CP932 (Shift-JIS), whatever the program's own code page is here,
// so that the fixed texts can be checked in the bytes the target shows.
std::string EncodeCp932(std::string_view utf8);

// Sets a variable for as long as the object lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value) : m_name(std::move(name)) {
        if (const char* old = std::getenv(m_name.c_str())) m_saved = old;
        SetEnvironment(m_name, value);
    }
    ~ScopedEnvironment() { SetEnvironment(m_name, m_saved); }

private:
    std::string m_name;
    std::optional<std::string> m_saved;
};

}  // namespace poremisu::test

#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// The file services over the ANSI file functions: paths are bytes in the
// ANSI code page and go to the system as they are.
class Win32FileSystem : public FileSystem {
public:
    using FileSystem::Open;
    std::unique_ptr<TextFile> Open(const std::string& path, OpenMode mode, FileError& why) override;
    bool Exists(const std::string& path) override;
    bool Rename(const std::string& from, const std::string& to) override;

    std::string GetCurrentDirectory() override;
    bool SetCurrentDirectory(const std::string& path) override;
    std::string FullPath(const std::string& name) override;
    bool IsDirectory(const std::string& path) override;

    bool EnumerateCurrentDirectory(const std::function<bool(const DirectoryEntry&)>& onEntry) override;

    std::optional<std::string> GetEnv(const std::string& name) override;

    // The program keeps its files beside itself wherever it is.
    bool IsReadOnlyFolder(const std::string&) override { return false; }
    std::string ProgramUserFolder(UserFolder, const std::string&) override { return {}; }

    std::string_view Separators() const override { return "\\/"; }
    bool NamesIgnoreCase() const override { return true; }
};

// The bytes of one line as they go to disk: every "\n" stored as CR LF.
std::string ToCrLf(std::string_view bytes);

}  // namespace poremisu

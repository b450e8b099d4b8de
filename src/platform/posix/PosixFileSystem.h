#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/Platform.h"

namespace poremisu {

// The file services on a POSIX system. Paths are bytes handed to the system
// as they are; "/" is the only separator.
class PosixFileSystem : public FileSystem {
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

    bool IsReadOnlyFolder(const std::string& path) override;
    // Under $XDG_CONFIG_HOME or $XDG_DATA_HOME (~/.config, ~/.local/share).
    std::string ProgramUserFolder(UserFolder kind, const std::string& programName) override;

    std::string_view Separators() const override { return "/"; }
    // The engine loads a file of any path the system takes.
    std::size_t PathLimit() const override { return 4096; }
};

}  // namespace poremisu

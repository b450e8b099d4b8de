#pragma once

// The small interfaces through which the core reaches the operating system.
// Each platform folder implements them; the core never includes a toolkit or
// OS header. Paths and texts are bytes in the program's code page.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppState.h"

namespace poremisu {

// Why a page or log file could not be opened or written.
enum class FileError {
    Ok,
    NotAFile,  // a link, pipe, device or folder stands at the name: never written
    Foreign,   // another user's file stands at the name: never written
    TooLong,   // the path is longer than the system or the program takes
    Denied,    // no permission, or a read-only medium
    Full,      // no space left, or over the size the system allows
    Other,
};

// A page or log file open for writing. Text mode: each "\n" is stored as
// CR LF. Every WriteLine reaches the file in one write so that two processes
// appending to the same file never interleave within a line.
class TextFile {
public:
    virtual ~TextFile() = default;
    // Writes the bytes (line feeds turned into CR LF) and flushes them. A line
    // that cannot be written whole leaves none of its bytes behind.
    virtual bool WriteLine(std::string_view bytes) = 0;
    // Why the last WriteLine failed.
    virtual FileError Error() const = 0;
};

enum class OpenMode {
    Append,    // create when missing, keep the content, write at the end
    Truncate,  // create when missing, discard the content
};

// The user's own folders for a program's files, where the platform has them.
enum class UserFolder { Settings, Data, Cache };

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Only a regular file is opened, and never through a symbolic link: a
    // link, pipe or device of the name is left as it is and `why` says so.
    virtual std::unique_ptr<TextFile> Open(const std::string& path, OpenMode mode, FileError& why) = 0;
    std::unique_ptr<TextFile> Open(const std::string& path, OpenMode mode) {
        FileError ignored = FileError::Ok;
        return Open(path, mode, ignored);
    }
    // Whether anything at all stands at the path, readable or not.
    virtual bool Exists(const std::string& path) = 0;
    // Fails when the target exists or the source is missing.
    virtual bool Rename(const std::string& from, const std::string& to) = 0;

    virtual std::string GetCurrentDirectory() = 0;
    virtual bool SetCurrentDirectory(const std::string& path) = 0;
    // The name resolved against the current directory, without touching disk.
    virtual std::string FullPath(const std::string& name) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;

    // Every entry of the current directory, "." and ".." included where the
    // file system has them, in the order the file system gives them. Returns
    // false when nothing could be enumerated. The callback returns false to stop.
    virtual bool EnumerateCurrentDirectory(
        const std::function<bool(const DirectoryEntry&)>& onEntry) = 0;

    virtual std::optional<std::string> GetEnv(const std::string& name) = 0;

    // Whether the folder exists and this user may not create files in it
    // (a program installed for all users).
    virtual bool IsReadOnlyFolder(const std::string& path) = 0;
    // The user's folder of the kind for the named program's files, created
    // when missing, with its trailing separator; "" when there is none.
    virtual std::string ProgramUserFolder(UserFolder kind, const std::string& programName) = 0;

    // Bytes that separate directories in a path ("/" here, "\\/" on Windows).
    virtual std::string_view Separators() const = 0;
    // Whether two paths that differ only in the case of their letters name
    // the same file.
    virtual bool NamesIgnoreCase() const { return false; }
    // The bytes a path must stay under for the page engine to load the file.
    virtual std::size_t PathLimit() const { return kPathSize; }
};

// Initialisation files: "[section]" lines and "key=value" lines.
class ProfileStore {
public:
    static constexpr std::uint64_t kAnyFileSize = UINT64_MAX;

    virtual ~ProfileStore() = default;
    // The value, or the default when the file, section or key is missing; at
    // most count - 1 bytes. An enclosing pair of quotes is removed. Only a
    // regular file is read; one larger than `maxFileBytes` reads as missing.
    virtual std::string Read(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view defaultValue,
                             std::size_t count, std::uint64_t maxFileBytes = kAnyFileSize) = 0;
    // Sets one key and keeps every other line of the file. On failure the
    // system's reason, when asked for, goes to `reason`.
    virtual bool Write(const std::string& path, std::string_view section, std::string_view key,
                       std::string_view value, std::string* reason = nullptr) = 0;
};

// A lock held for as long as the object lives.
class ScopedLock {
public:
    virtual ~ScopedLock() = default;
};

enum class InstanceResult { First, AlreadyExists };

class ProcessServices {
public:
    virtual ~ProcessServices() = default;
    // Named for one copy of the program; held until the process ends. Asked
    // again, it waits at most `wait` for the holder to let go.
    virtual InstanceResult AcquireInstance(const std::string& name,
                                           std::chrono::milliseconds wait = std::chrono::milliseconds{0}) = 0;
    // Serialises the later starts that hand their address over; none when
    // another start kept it past the platform's bound.
    virtual std::unique_ptr<ScopedLock> LockHandOff(const std::string& name) = 0;
    // The "open" verb of the desktop for a document. False when nothing
    // could take it: no opener, or one that failed at once.
    virtual bool OpenDocument(const std::string& path) = 0;
};

// The top-level windows of the desktop, seen from any process.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // Top of the stacking order first.
    virtual std::vector<WindowId> TopLevelWindows() = 0;
    virtual bool Exists(WindowId window) = 0;
    // The title in the program's code page, at most count - 1 bytes.
    virtual std::string Title(WindowId window, std::size_t count) = 0;
    // True for a main window of the copy of this program that the instance
    // name stands for (its class, and the name the window carries).
    virtual bool IsProgramWindow(WindowId window, const std::string& instanceName) = 0;
    // Asks the window to close as its close box would, and waits at most
    // `timeout` for it to handle the request.
    virtual void RequestClose(WindowId window, std::chrono::milliseconds timeout) = 0;
    // Brings the window forward, sends it the hand-off command and waits at
    // most `timeout` for it to have been handled. True when it was.
    virtual bool SendHandOff(WindowId window, std::chrono::milliseconds timeout) = 0;
};

// The services of one platform, handed to the core together.
struct Services {
    FileSystem& files;
    ProfileStore& profiles;
    ProcessServices& process;
    WindowSystem& windows;
};

}  // namespace poremisu

#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32FileSystem.h"

#include <climits>

namespace poremisu {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
// How long an append waits for its turn among appenders, and how often it asks.
constexpr ULONGLONG kTurnWaitMs = 1000;
constexpr DWORD kTurnRetryMs = 10;
// The longest path the system makes current: room is kept for the backslash
// it adds and the terminating zero.
constexpr std::size_t kCurrentDirectoryMax = MAX_PATH - 2;

FileError ErrorOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_FILE_TOO_LARGE: return FileError::Full;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileError::Denied;
    case ERROR_DIRECTORY:
    case ERROR_PIPE_BUSY:
    case ERROR_CANT_ACCESS_FILE: return FileError::NotAFile;
    default: return FileError::Other;
    }
}

class Win32TextFile : public TextFile {
public:
    Win32TextFile(HANDLE file, OpenMode mode, std::string path)
        : m_file(file), m_mode(mode), m_path(std::move(path)) {}
    ~Win32TextFile() override { CloseHandle(m_file); }
    Win32TextFile(const Win32TextFile&) = delete;
    Win32TextFile& operator=(const Win32TextFile&) = delete;

    bool WriteLine(std::string_view bytes) override {
        std::string data = ToCrLf(bytes);
        m_error = FileError::Ok;
        if (data.empty()) return true;
        if (data.size() > static_cast<std::size_t>(UINT_MAX / 2)) return (m_error = FileError::Full), false;
        if (m_mode != OpenMode::Append) return Write(data);
        // One WriteFile per line on a handle that may only append: the system
        // puts each write at the end of the file as it is then. Appenders also
        // take turns on a lock far beyond any content, since not every
        // implementation of the system finds the end and writes in one step;
        // readers are never held up by it.
        OVERLAPPED turn = {};
        turn.Offset = 0xFFFFFFFE;
        turn.OffsetHigh = 0x7FFFFFFF;
        bool locked = TakeTurn(turn);
        bool written = Write(data);
        if (locked) UnlockFileEx(m_file, 0, 1, 0, &turn);
        return written;
    }

    FileError Error() const override { return m_error; }

private:
    // Another program may hold a lock over the turn and keep it (a reader that
    // locked the whole file, an appender that hangs): after a short wait the
    // line goes out without the turn, so the window that writes never hangs.
    bool TakeTurn(OVERLAPPED& turn) {
        const ULONGLONG giveUp = GetTickCount64() + kTurnWaitMs;
        for (;;) {
            if (LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &turn)) return true;
            if (GetLastError() != ERROR_LOCK_VIOLATION || GetTickCount64() >= giveUp) return false;
            Sleep(kTurnRetryMs);
        }
    }

    bool Write(const std::string& data) {
        LARGE_INTEGER start = {};
        bool known = m_mode == OpenMode::Append ? GetFileSizeEx(m_file, &start) != 0
                                                : SetFilePointerEx(m_file, LARGE_INTEGER{}, &start, FILE_CURRENT) != 0;
        DWORD written = 0;
        BOOL ok = WriteFile(m_file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        if (ok && written == data.size()) return true;
        m_error = ok ? FileError::Full : ErrorOf(GetLastError());
        if (known && written > 0) TakeBack(start);
        return false;
    }

    // A torn line would have the next one glued onto it: the bytes that got
    // out are cut off again. The appending handle may not cut, so a second
    // one does, while the appenders' lock is still held.
    void TakeBack(LARGE_INTEGER start) {
        HANDLE cutter = m_file;
        if (m_mode == OpenMode::Append) {
            cutter = CreateFileA(m_path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            if (cutter == INVALID_HANDLE_VALUE) return;
        }
        if (SetFilePointerEx(cutter, start, nullptr, FILE_BEGIN)) SetEndOfFile(cutter);
        if (cutter != m_file) CloseHandle(cutter);
    }

    HANDLE m_file;
    OpenMode m_mode;
    std::string m_path;
    FileError m_error = FileError::Ok;
};

// Only a plain file on a disk: no pipe, device, folder or link of any kind.
bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
    return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
           info.nNumberOfLinks <= 1;
}

}  // namespace

std::string ToCrLf(std::string_view bytes) {
    std::string data;
    data.reserve(bytes.size() + 16);
    for (char c : bytes) {
        if (c == '\n') data += '\r';
        data += c;
    }
    return data;
}

std::unique_ptr<TextFile> Win32FileSystem::Open(const std::string& path, OpenMode mode, FileError& why) {
    // A link at the name is opened as itself, never followed, and then refused.
    HANDLE file = INVALID_HANDLE_VALUE;
    if (mode == OpenMode::Append) {
        // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the
        // end. Read access only so that the handle may take the appenders' lock.
        file = CreateFileA(path.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE, kShareAll, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    } else {
        // Opened and then cut, so that a hidden or system file keeps its
        // attributes instead of refusing a re-creation.
        file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    if (file == INVALID_HANDLE_VALUE) {
        why = ErrorOf(GetLastError());
        return nullptr;
    }
    if (!IsPlainFile(file)) {
        why = FileError::NotAFile;
        CloseHandle(file);
        return nullptr;
    }
    if (mode == OpenMode::Truncate && !SetEndOfFile(file)) {
        why = ErrorOf(GetLastError());
        CloseHandle(file);
        return nullptr;
    }
    why = FileError::Ok;
    return std::make_unique<Win32TextFile>(file, mode, path);
}

bool Win32FileSystem::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
    return MoveFileA(from.c_str(), to.c_str()) != 0;
}

std::string Win32FileSystem::GetCurrentDirectory() {
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return {};
    std::string dir(needed, '\0');
    DWORD length = GetCurrentDirectoryA(needed, dir.data());
    if (length == 0 || length >= needed) return {};
    dir.resize(length);
    return dir;
}

bool Win32FileSystem::SetCurrentDirectory(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != 0;
}

std::string Win32FileSystem::FullPath(const std::string& name) {
    DWORD needed = GetFullPathNameA(name.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::string full(needed, '\0');
    DWORD length = GetFullPathNameA(name.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    return full;
}

bool Win32FileSystem::IsDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
    // A folder is only of use when it can be made current and listed: one
    // that cannot would leave the folder before current, whose listing would
    // then go out under this one's name.
    if (path.size() > kCurrentDirectoryMax) return false;
    HANDLE folder = CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE, kShareAll | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    CloseHandle(folder);
    return true;
}

bool Win32FileSystem::EnumerateCurrentDirectory(const std::function<bool(const DirectoryEntry&)>& onEntry) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("*.*", &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        DirectoryEntry entry;
        entry.name = found.cFileName;
        entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!onEntry(entry)) break;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return true;
}

std::optional<std::string> Win32FileSystem::GetEnv(const std::string& name) {
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::string value(needed, '\0');
    DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), needed);
    if (length >= needed) return std::nullopt;
    value.resize(length);
    return value;
}

}  // namespace poremisu

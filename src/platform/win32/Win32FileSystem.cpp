#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32FileSystem.h"

#include <climits>

namespace poremisu {

namespace {

class Win32TextFile : public TextFile {
public:
    Win32TextFile(HANDLE file, OpenMode mode) : m_file(file), m_mode(mode) {}
    ~Win32TextFile() override { CloseHandle(m_file); }
    Win32TextFile(const Win32TextFile&) = delete;
    Win32TextFile& operator=(const Win32TextFile&) = delete;

    bool WriteLine(std::string_view bytes) override {
        std::string data = ToCrLf(bytes);
        if (data.empty()) return true;
        if (data.size() > static_cast<std::size_t>(UINT_MAX / 2)) return false;
        if (m_mode != OpenMode::Append) return Write(data);
        // One WriteFile per line on a handle that may only append: the system
        // puts each write at the end of the file as it is then. Appenders also
        // take turns on a lock far beyond any content, since not every
        // implementation of the system finds the end and writes in one step;
        // readers are never held up by it.
        OVERLAPPED turn = {};
        turn.Offset = 0xFFFFFFFE;
        turn.OffsetHigh = 0x7FFFFFFF;
        bool locked = LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn) != 0;
        bool written = Write(data);
        if (locked) UnlockFileEx(m_file, 0, 1, 0, &turn);
        return written;
    }

private:
    bool Write(const std::string& data) {
        DWORD written = 0;
        BOOL ok = WriteFile(m_file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
        return ok && written == data.size();
    }

    HANDLE m_file;
    OpenMode m_mode;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

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

std::unique_ptr<TextFile> Win32FileSystem::Open(const std::string& path, OpenMode mode) {
    HANDLE file = INVALID_HANDLE_VALUE;
    if (mode == OpenMode::Append) {
        // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the
        // end. Read access only so that the handle may take the appenders' lock.
        file = CreateFileA(path.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE, kShareAll, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        // Opened and then cut, so that a hidden or system file keeps its
        // attributes instead of refusing a re-creation.
        file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file != INVALID_HANDLE_VALUE && !SetEndOfFile(file)) {
            CloseHandle(file);
            file = INVALID_HANDLE_VALUE;
        }
    }
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32TextFile>(file, mode);
}

bool Win32FileSystem::Probe(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool Win32FileSystem::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32FileSystem::Rename(const std::string& from, const std::string& to) {
    return MoveFileA(from.c_str(), to.c_str()) != 0;
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
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

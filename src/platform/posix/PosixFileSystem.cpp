#include "platform/posix/PosixFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace poremisu {

namespace {

FileError ErrorOf(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return FileError::Full;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return FileError::Denied;
    case ELOOP:   // the name is a symbolic link
    case ENXIO:   // a pipe without a reader, or a device without its driver
    case EISDIR: return FileError::NotAFile;
    case ENAMETOOLONG: return FileError::TooLong;
    default: return FileError::Other;
    }
}

// An appender holds its turn for one write. One held longer is no appender's
// (anyone who can read the log can lock it): the line is then written without
// the look at the last one, rather than the program held.
constexpr std::chrono::milliseconds kAppendTurnWait{250};
constexpr std::chrono::milliseconds kAppendTurnPoll{1};

bool TakeTurn(int fd) {
    auto deadline = std::chrono::steady_clock::now() + kAppendTurnWait;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kAppendTurnPoll);
    }
    return true;
}

class PosixTextFile : public TextFile {
public:
    PosixTextFile(int fd, bool append) : m_fd(fd), m_append(append) {}
    ~PosixTextFile() override { ::close(m_fd); }
    PosixTextFile(const PosixTextFile&) = delete;
    PosixTextFile& operator=(const PosixTextFile&) = delete;

    bool WriteLine(std::string_view bytes) override {
        std::string out;
        out.reserve(bytes.size() + 4);
        // A process killed inside its write can leave a torn last line (the
        // kernel may stop a write at a page's end): it is ended first, in the
        // same write, so that it does not spoil this line too. Appenders take
        // turns at this, since a long line half copied looks torn as well.
        struct Turn {
            int fd;
            ~Turn() {
                if (fd >= 0) ::flock(fd, LOCK_UN);
            }
        } turn{m_append && TakeTurn(m_fd) ? m_fd : -1};
        if (turn.fd >= 0 && EndsTorn()) out = "\r\n";
        for (char c : bytes) {
            if (c == '\n') out += '\r';
            out += c;
        }
        // One write per line: with O_APPEND the kernel places the whole line
        // at the end, so another process appending meanwhile cannot cut into
        // it. Only a full disk or an interruption splits it into more.
        std::string_view rest = out;
        off_t start = -1;  // where the line's first bytes went
        while (!rest.empty()) {
            ssize_t written = ::write(m_fd, rest.data(), rest.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                m_error = written < 0 ? ErrorOf(errno) : FileError::Other;
                TakeBack(start);
                return false;
            }
            // Only a line that went out in pieces may have to be taken back.
            if (start < 0 && static_cast<std::size_t>(written) < rest.size()) {
                start = ::lseek(m_fd, 0, SEEK_CUR) - written;
            }
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
        m_error = FileError::Ok;
        return true;
    }

    FileError Error() const override { return m_error; }

private:
    bool EndsTorn() const {
        struct stat info {};
        char last = '\n';
        return ::fstat(m_fd, &info) == 0 && info.st_size > 0 && ::pread(m_fd, &last, 1, info.st_size - 1) == 1 &&
               last != '\n';
    }

    // A torn line would have the next one glued onto it: the bytes that got
    // out are cut off again, unless another process has appended after them.
    void TakeBack(off_t start) {
        if (start < 0) return;
        struct stat info {};
        off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        if (end < 0 || ::fstat(m_fd, &info) != 0 || info.st_size != end) return;
        if (::ftruncate(m_fd, start) == 0) ::lseek(m_fd, start, SEEK_SET);
    }

    int m_fd;
    bool m_append;
    FileError m_error = FileError::Ok;
};

// "." and ".." segments resolved by the text alone, as full-path functions
// do: ".." at the root stays there, repeated separators become one, and a
// final separator is kept.
std::string NormalizePathText(std::string_view absolutePath) {
    std::vector<std::string_view> segments;
    std::size_t pos = 0;
    while (pos <= absolutePath.size()) {
        std::size_t slash = absolutePath.find('/', pos);
        if (slash == std::string_view::npos) slash = absolutePath.size();
        std::string_view segment = absolutePath.substr(pos, slash - pos);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        pos = slash + 1;
    }
    std::string result;
    for (std::string_view segment : segments) {
        result += '/';
        result += segment;
    }
    if (result.empty() || (!absolutePath.empty() && absolutePath.back() == '/')) result += '/';
    return result;
}

// Whether the opened file at the path is one the program may write. Another
// user's file (in a folder open to all, such as a sticky /tmp) stays theirs
// to change after the program wrote it and before the engine shows it; the
// folder's owner's is fine, so that root may list a user's own folder.
bool OursToWrite(const std::string& path, const struct stat& file) {
    if (file.st_uid == ::geteuid()) return true;
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && info.st_uid == file.st_uid;
}

}  // namespace

std::unique_ptr<TextFile> PosixFileSystem::Open(const std::string& path, OpenMode mode, FileError& why) {
    // Never through a link at the name, and non-blocking while opening: a
    // FIFO without a reader then fails at once instead of holding the
    // program. Nothing is cut before the file is known to be a plain one.
    int flags = O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    // An appended file is read too: its last byte tells whether its last line is whole.
    flags |= mode == OpenMode::Append ? O_RDWR | O_APPEND : O_WRONLY;
    int fd = ::open(path.c_str(), flags, 0644);
    // A log the user may write but not read is appended to all the same, without that look.
    if (fd < 0 && errno == EACCES && mode == OpenMode::Append) {
        fd = ::open(path.c_str(), (flags & ~O_RDWR) | O_WRONLY, 0644);
    }
    if (fd < 0) {
        why = ErrorOf(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink > 1 || !OursToWrite(path, info)) {
        // A hard link is another name's content as much as a symbolic one.
        why = S_ISREG(info.st_mode) && info.st_nlink <= 1 ? FileError::Foreign : FileError::NotAFile;
        ::close(fd);
        return nullptr;
    }
    if (mode == OpenMode::Truncate && ::ftruncate(fd, 0) != 0) {
        why = ErrorOf(errno);
        ::close(fd);
        return nullptr;
    }
    int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    why = FileError::Ok;
    return std::make_unique<PosixTextFile>(fd, mode == OpenMode::Append);
}

bool PosixFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool PosixFileSystem::Rename(const std::string& from, const std::string& to) {
#if defined(SYS_renameat2)
    if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // Only a kernel or file system without the flag falls through.
    if (errno != ENOSYS && errno != EINVAL) return false;
#endif
    // A hard link fails when the target exists, which keeps the refusal
    // free of races.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EXDEV) return false;
    // Folders and file systems without hard links: test, then rename.
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0 || errno != ENOENT) return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::SetCurrentDirectory(const std::string& path) {
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

std::string PosixFileSystem::GetCurrentDirectory() {
    // glibc sizes the buffer itself, so a directory of any depth is answered.
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return {};
    std::string result(cwd);
    std::free(cwd);
    return result;
}

std::string PosixFileSystem::FullPath(const std::string& name) {
    if (name.empty()) return {};
    if (name.front() == '/') return name;
    std::string cwd = GetCurrentDirectory();
    // Without a known current directory the relative name is still the best
    // answer: it resolves against the same directory when used.
    if (cwd.empty()) return name;
    return NormalizePathText(cwd + "/" + name);
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    // A folder is only of use when it can be entered and listed.
    return ::access(path.c_str(), R_OK | X_OK) == 0;
}

bool PosixFileSystem::EnumerateCurrentDirectory(const std::function<bool(const DirectoryEntry&)>& onEntry) {
    DIR* dir = ::opendir(".");
    if (!dir) return false;
    bool any = false;
    DirectoryEntry entry;
    for (;;) {
        errno = 0;
        struct dirent* item = ::readdir(dir);
        if (!item) break;
        entry.name = item->d_name;
        if (item->d_type == DT_DIR) {
            entry.isDirectory = true;
        } else if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
            // A link to a folder leads into a folder, so it is listed as one.
            struct stat info {};
            entry.isDirectory = ::stat(item->d_name, &info) == 0 && S_ISDIR(info.st_mode);
        } else {
            entry.isDirectory = false;
        }
        any = true;
        if (!onEntry(entry)) break;
    }
    ::closedir(dir);
    return any;
}

std::optional<std::string> PosixFileSystem::GetEnv(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

bool PosixFileSystem::IsReadOnlyFolder(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    return ::access(path.c_str(), W_OK | X_OK) != 0;
}

std::string PosixFileSystem::ProgramUserFolder(UserFolder kind, const std::string& programName) {
    const char* variable = kind == UserFolder::Settings ? "XDG_CONFIG_HOME"
                           : kind == UserFolder::Data   ? "XDG_DATA_HOME"
                                                        : "XDG_CACHE_HOME";
    const char* fallback = kind == UserFolder::Settings ? "/.config"
                           : kind == UserFolder::Data   ? "/.local/share"
                                                        : "/.cache";
    // A relative value is no base folder; the home folder's default stands instead.
    const char* base = std::getenv(variable);
    std::string folder;
    if (base && base[0] == '/') {
        folder = base;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/') return {};
        folder = std::string(home) + fallback;
    }
    if (programName.empty() || programName.find('/') != std::string::npos) return {};
    folder += "/" + programName;
    // Each missing folder of the path is made, private to the user.
    for (std::size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return {};
        if (at == std::string::npos) break;
    }
    return IsDirectory(folder) ? folder + "/" : std::string();
}

}  // namespace poremisu

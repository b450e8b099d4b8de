#include "platform/posix/PosixProfileStore.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "app/Profile.h"
#include "app/Text.h"

namespace poremisu {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// Writers hold the lock for one small rewrite; one that keeps it longer has
// stopped, and the write is given up rather than the program held.
constexpr std::chrono::milliseconds kLockWait{10000};
constexpr std::chrono::milliseconds kLockPoll{5};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    void Reset() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// Opens a regular file for reading. FIFOs and devices are refused before
// they are even opened: opening a FIFO lets a writer waiting at it through
// (its data then lost), and opening a serial line changes its signals. The
// check is made again on what was opened, in case the name was swapped.
int OpenRegularForReading(const std::string& path, struct stat& info) {
    if (::stat(path.c_str(), &info) != 0) return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    return fd;
}

// Reads at most `limit` bytes; nullopt on an error or when the file holds more.
std::optional<std::string> ReadBounded(int fd, std::size_t limit) {
    std::string text;
    char buffer[kReadChunk];
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) return text;
        if (text.size() + static_cast<std::size_t>(got) > limit) return std::nullopt;
        text.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool LockExclusive(int fd) {
    auto deadline = std::chrono::steady_clock::now() + kLockWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(kLockPoll);
    }
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The file a settings path stands for: a link is followed, so that the file
// it leads to is rewritten and the link itself stays.
std::optional<std::string> TargetOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return std::nullopt;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// Temporaries are named "<file>.tmp-XXXXXX": a name no user file is likely to
// have, so that the ones a killed writer left behind can be recognised.
constexpr std::string_view kTemporaryTag = ".tmp-";
constexpr std::size_t kTemporaryRandomBytes = 6;

// Removes the temporaries of earlier writers that were killed before their
// rename. Called with the lock held, so no live writer's temporary is among them.
void RemoveStaleTemporaries(const std::string& target) {
    std::string folder = FolderOf(target);
    std::string prefix = target.substr(target.find_last_of('/') + 1) + std::string(kTemporaryTag);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + kTemporaryRandomBytes || !StartsWith(name, prefix)) continue;
        std::string path = folder + "/" + std::string(name);
        struct stat info {};
        if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(path.c_str());
    }
}

}  // namespace

std::string PosixProfileStore::Read(const std::string& path, std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t count,
                                    std::uint64_t maxFileBytes) {
    std::string fallback = CutToCount(defaultValue, count);
    if (path.empty()) return fallback;
    struct stat info {};
    FileDescriptor fd(OpenRegularForReading(path, info));
    if (!fd) return fallback;
    if (static_cast<std::uint64_t>(info.st_size) > maxFileBytes) return fallback;
    // The reading is sequential and in large pieces, so the kernel reads ahead
    // (a file read in one piece needs no such word).
    if (static_cast<std::uint64_t>(info.st_size) > kProfileReadChunk) {
        ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    ProfileValueFinder finder(section, key, count);
    // One buffer for every read: a listing reads thousands of files, and a
    // fresh (zeroed, mapped and unmapped) buffer per file costs more than
    // reading a small one.
    if (!m_buffer) m_buffer = std::make_unique_for_overwrite<ReadBuffer>();
    std::span<char> buffer(m_buffer->bytes);
    // A file that grows while it is read (or lies about its size) is still
    // read no further than the bound.
    std::uint64_t left = maxFileBytes;
    while (left > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
        ssize_t got = ::read(fd.Get(), buffer.data(), want);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        left -= static_cast<std::uint64_t>(got);
        if (finder.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) break;
    }
    finder.Finish();
    return finder.Result() ? *finder.Result() : fallback;
}

bool PosixProfileStore::Write(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view value, std::string* reason) {
    // The reason is taken at the call that failed, before any clean-up can
    // change errno.
    auto fail = [reason](int error) {
        if (reason) *reason = std::strerror(error);
        return false;
    };
    if (path.empty()) return fail(ENOENT);
    auto target = TargetOf(path);
    if (!target) return fail(errno);

    // Every writer of the file takes this lock first, so each rewrite starts
    // from the result of the one before and no key set meanwhile is lost.
    // Opened for reading, which flock needs no more than: a lock file root
    // made stays of use to the settings' owner.
    FileDescriptor lock(::open((*target + ".lock").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
    if (!lock) return fail(errno);
    if (!LockExclusive(lock.Get())) return fail(errno == EWOULDBLOCK ? ETIMEDOUT : errno);

    std::string text;
    struct stat info {};
    bool existed = false;
    {
        FileDescriptor current(OpenRegularForReading(*target, info));
        if (current) {
            existed = true;
            // A file its owner made read-only stays as it is.
            if (::access(target->c_str(), W_OK) != 0) return fail(errno);
            // A file that cannot be read whole, or is too large to be a
            // settings file, is left as it is rather than replaced.
            errno = 0;
            auto read = ReadBounded(current.Get(), kMaxRewriteBytes);
            if (!read) return fail(errno ? errno : EFBIG);
            text = std::move(*read);
        } else if (errno != ENOENT) {
            return fail(errno);
        }
    }

    std::string updated = UpdateProfileText(text, section, key, value);
    if (existed && updated == text) return true;
    // A file past the bound would refuse every later write: this one is refused instead.
    if (updated.size() > kMaxRewriteBytes) return fail(EFBIG);

    RemoveStaleTemporaries(*target);
    std::string temporary = *target + std::string(kTemporaryTag) + "XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back('\0');
    FileDescriptor out(::mkostemp(name.data(), O_CLOEXEC));
    if (!out) return fail(errno);
    temporary.assign(name.data());

    bool ok = true;
    if (existed) {
        ok = ::fchmod(out.Get(), info.st_mode & 07777) == 0;
        // Only root can give the file back to its owner; others keep theirs.
        if (ok && (info.st_uid != ::geteuid() || info.st_gid != ::getegid())) {
            [[maybe_unused]] int ignored = ::fchown(out.Get(), info.st_uid, info.st_gid);
        }
    } else {
        ok = ::fchmod(out.Get(), 0644) == 0;
    }
    ok = ok && WriteAll(out.Get(), updated) && ::fsync(out.Get()) == 0;
    int error = errno;
    out.Reset();
    // The new content is on disk before its name replaces the old file, so a
    // crash leaves one whole file or the other.
    if (ok && ::rename(temporary.c_str(), target->c_str()) != 0) ok = false, error = errno;
    if (!ok) {
        ::unlink(temporary.c_str());
        return fail(error);
    }
    FileDescriptor folder(::open(FolderOf(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.Get());
    return true;
}

}  // namespace poremisu

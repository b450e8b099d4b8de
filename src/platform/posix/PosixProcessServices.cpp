#include "platform/posix/PosixProcessServices.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "app/Text.h"

extern char** environ;

namespace poremisu {

namespace {

constexpr std::chrono::milliseconds kHandOffPoll{10};
// The part of a lock file's name taken from the program's, with room left for
// a digest, the user id and the suffix.
constexpr std::size_t kLockNameBytes = 160;
// How long the opener has to fail before the document counts as opened. A
// missing handler fails within some 50 ms.
constexpr std::chrono::milliseconds kOpenerVerdict{1000};

bool IsFolder(const char* path) {
    struct stat info {};
    return path && *path && ::stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder for lock files, or nothing when there is no safe one.
std::string LockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); IsFolder(runtime)) return runtime;
    // The temporary folder is shared: there anyone could make the user's lock
    // file first and hold it, and no start would ever run. The locks go into a
    // folder of the user's own, which only a folder the user made, open to
    // nobody else, is.
    const char* temp = std::getenv("TMPDIR");
    std::string own = std::string(IsFolder(temp) ? temp : "/tmp") + "/poremisu-" + std::to_string(::getuid());
    ::mkdir(own.c_str(), 0700);
    struct stat info {};
    if (::lstat(own.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        return {};
    }
    return own;
}

std::string SanitizeName(const std::string& name) {
    std::string out;
    for (char c : name) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                     c == '_' || c == '-';
        out += plain ? c : '_';
    }
    // A name of dots alone would name a folder.
    if (out.find_first_not_of('.') == std::string::npos) out.insert(0, "_");
    return out;
}

int OpenLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
}

class FileLock : public ScopedLock {
public:
    explicit FileLock(int fd) : m_fd(fd) {}
    ~FileLock() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    int m_fd;
};

// The first executable file of the name in PATH.
std::string FindInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= folders.size()) {
        std::size_t end = folders.find(':', begin);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(begin, end - begin);
        if (folder.empty()) folder = ".";
        std::string candidate = folder + "/" + program;
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        begin = end + 1;
    }
    return {};
}

}  // namespace

PosixProcessServices::~PosixProcessServices() {
    for (int fd : m_instanceLocks) ::close(fd);
}

std::string PosixProcessServices::LockPath(const std::string& name, const std::string& suffix) {
    // A file name holds 255 bytes: a longer program name is cut, and a digest
    // of the whole name keeps two names cut alike apart.
    std::string safe = SanitizeName(name);
    if (safe.size() > kLockNameBytes) safe = safe.substr(0, kLockNameBytes) + "-" + DigestHex(name);
    std::string folder = LockFolder();
    return folder.empty() ? folder : folder + "/" + safe + "-" + std::to_string(::getuid()) + suffix;
}

InstanceResult PosixProcessServices::AcquireInstance(const std::string& name, std::chrono::milliseconds wait) {
    int fd = OpenLockFile(LockPath(name, ".lock"));
    // Without a lock file nothing can be known of other instances; this one
    // then runs as the first.
    if (fd < 0) return InstanceResult::First;
    auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Kept open: the lock lasts as long as the process, and the kernel
            // drops it however the process ends.
            m_instanceLocks.push_back(fd);
            return InstanceResult::First;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return InstanceResult::AlreadyExists;
        }
        std::this_thread::sleep_for(kHandOffPoll);
    }
    ::close(fd);
    return InstanceResult::First;
}

std::unique_ptr<ScopedLock> PosixProcessServices::LockHandOff(const std::string& name) {
    int fd = OpenLockFile(LockPath(name, ".handoff.lock"));
    if (fd < 0) return nullptr;
    auto deadline = std::chrono::steady_clock::now() + m_handOffWait;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return std::make_unique<FileLock>(fd);
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        // A start that holds the lock this long has stopped, or its window
        // has: going on without the lock could let another start's address
        // pass for this one's.
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(kHandOffPoll);
    }
    ::close(fd);
    return nullptr;
}

bool PosixProcessServices::OpenDocument(const std::string& path) {
    std::vector<std::string> arguments;
    std::string program = FindInPath("xdg-open");
    if (!program.empty()) {
        arguments = {"xdg-open", path};
    } else {
        program = FindInPath("gio");
        if (program.empty()) return false;
        arguments = {"gio", "open", path};
    }
    // Everything the children need is prepared here: between fork and exec
    // only async-signal-safe calls are allowed.
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null < 0) return false;
    const auto verdictAt = std::chrono::steady_clock::now() + kOpenerVerdict;

    // The middle child waits a moment for the opener's verdict, says it by its
    // own exit status, and ends; the opener is then nobody's child of ours and
    // never lingers as a zombie. An opener still running by then has started
    // something (some run the document's program to its end): that counts as
    // opened.
    pid_t middle = ::fork();
    if (middle == 0) {
        pid_t opener = ::fork();
        if (opener == 0) {
            ::setsid();
            for (int fd = 0; fd <= 2; ++fd) {
                if (fd == null)
                    ::fcntl(fd, F_SETFD, 0);
                else
                    ::dup2(null, fd);
            }
            ::execve(program.c_str(), argv.data(), environ);
            ::_exit(127);
        }
        if (opener < 0) ::_exit(1);
        for (;;) {
            int status = 0;
            pid_t ended = ::waitpid(opener, &status, WNOHANG);
            if (ended == opener) ::_exit(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1);
            if (ended < 0 && errno != EINTR) ::_exit(1);
            if (std::chrono::steady_clock::now() >= verdictAt) ::_exit(0);
            struct timespec pause {0, 10 * 1000 * 1000};
            ::nanosleep(&pause, nullptr);
        }
    }
    ::close(null);
    if (middle < 0) return false;
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace poremisu

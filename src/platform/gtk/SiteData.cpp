#include "platform/gtk/SiteData.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace poremisu {

namespace {

constexpr const char* kCookieFile = "cookies.sqlite";

// Makes the folder and each missing one above it, for the user alone; an
// existing folder of the user's is made private too. False when the path is
// not such a folder (a link, another user's).
bool MakePrivateFolder(const std::string& path) {
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        ::mkdir(path.substr(0, at).c_str(), 0700);
    }
    ::mkdir(path.c_str(), 0700);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
    return (info.st_mode & 077) == 0 || ::chmod(path.c_str(), 0700) == 0;
}

// The cookie file, made for the user alone before the engine opens it: the
// engine keeps the mode of a file that is there, and makes its journals
// with the same.
void MakePrivateFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) != 0) ::fchmod(fd, 0600);
    ::close(fd);
}

}  // namespace

std::string SandboxProblem() {
    if (const char* off = std::getenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"); off && *off) return {};
    // The engine confines its page process with bubblewrap in namespaces of
    // its own; without them it would not start a page at all. The same
    // namespaces are tried once here, where the user can still be told.
    gchar* bwrap = g_find_program_in_path("bwrap");
    if (!bwrap && g_file_test("/usr/bin/bwrap", G_FILE_TEST_IS_EXECUTABLE)) bwrap = g_strdup("/usr/bin/bwrap");
    if (!bwrap) return "bubblewrap (bwrap) is not installed";
    const char* argv[] = {bwrap, "--ro-bind", "/", "/", "--unshare-pid", "--unshare-ipc", "--unshare-net",
                          "--unshare-uts", "--", "/bin/true", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = 0;
    bool ran = posix_spawn(&pid, bwrap, &actions, nullptr, const_cast<char**>(argv), environ) == 0 &&
               ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    g_free(bwrap);
    return ran ? "" : "the system does not let bubblewrap make namespaces (user namespaces are off)";
}

WebKitWebContext* NewWebContext(const std::string& dataDir, const std::string& cacheDir) {
    // Without folders of its own the engine keeps nothing: a run like a
    // private window, rather than site data in a folder another could read.
    const bool keep = !dataDir.empty() && !cacheDir.empty() && MakePrivateFolder(dataDir) &&
                      MakePrivateFolder(cacheDir);
    WebKitWebsiteDataManager* manager =
        keep ? webkit_website_data_manager_new("base-data-directory", dataDir.c_str(), "base-cache-directory",
                                               cacheDir.c_str(), nullptr)
             : webkit_website_data_manager_new_ephemeral();
    webkit_website_data_manager_set_itp_enabled(manager, TRUE);
    // A certificate that is not trusted stops the load and is shown to the
    // user, who may choose to go on.
    webkit_website_data_manager_set_tls_errors_policy(manager, WEBKIT_TLS_ERRORS_POLICY_FAIL);
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(manager);
    if (keep) {
        std::string file = dataDir + kCookieFile;
        MakePrivateFile(file);
        webkit_cookie_manager_set_persistent_storage(cookies, file.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    }
    webkit_cookie_manager_set_accept_policy(cookies, WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
    webkit_web_context_set_sandbox_enabled(context, TRUE);
    return context;
}

}  // namespace poremisu

#include "platform/gtk/SiteData.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    WebKitCookieManager* cookies = webkit_website_data_manager_get_cookie_manager(manager);
    if (keep) {
        std::string file = dataDir + kCookieFile;
        MakePrivateFile(file);
        webkit_cookie_manager_set_persistent_storage(cookies, file.c_str(), WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
    }
    webkit_cookie_manager_set_accept_policy(cookies, WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY);
    WebKitWebContext* context = webkit_web_context_new_with_website_data_manager(manager);
    g_object_unref(manager);
    return context;
}

}  // namespace poremisu

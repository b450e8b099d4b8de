#include "pages/Shortcut.h"

#include "app/AppState.h"
#include "app/Text.h"

namespace poremisu {

bool HasExtension(std::string_view path, std::string_view ext) {
    if (ext.size() >= kMaxExtensionCount) return false;
    if (path.size() >= kPathSize) path = path.substr(path.size() - kPathSize);
    if (!path.empty() && path.back() == '"') path.remove_suffix(1);
    std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    if (path.size() - dot >= kMaxExtensionCount) return false;
    return EqualsFoldAscii(path.substr(dot + 1), ext);
}

std::string ReadShortcutUrl(FileSystem& files, ProfileStore& profiles, const std::string& path,
                            std::uint64_t maxFileBytes) {
    std::string fullPath = CutToCount(files.FullPath(path), kScratchSize);
    if (fullPath.empty()) return {};
    return profiles.Read(fullPath, "InternetShortcut", "URL", "", kScratchSize, maxFileBytes);
}

}  // namespace poremisu

#include "pages/Listing.h"

#include "pages/Html.h"
#include "pages/Shortcut.h"

namespace poremisu {

std::int32_t DirectoryLister::WriteDirectoryPage(std::string_view pageName, std::string_view directory) {
    SkipParent skipParent = SkipParent::No;
    std::optional<std::string> folder;
    if (!directory.empty()) {
        // No such long text names a folder that can be entered: refuse it
        // rather than list whatever folder happens to be current.
        if (directory.size() >= kDirectoryArgSize) return 0;
        folder = std::string(directory);
    } else {
        skipParent = SkipParent::Yes;
        // Without the variable there is no favorites folder; the bare
        // "\favorites" would name a folder at the root, so nothing is entered.
        if (auto base = m_files.GetEnv("winbootdir")) {
            folder = *base + m_files.Separators().front() + "favorites";
        }
    }
    if (folder) m_files.SetCurrentDirectory(*folder);

    m_page = m_files.Open(std::string(pageName), OpenMode::Truncate);
    if (!m_page) return 0;

    std::int32_t count = 0;
    m_files.EnumerateCurrentDirectory([&](const DirectoryEntry& entry) {
        std::string name = CutToCount(entry.name, kEntryNameSize);
        if (entry.isDirectory) {
            WriteFolderEntry(name, skipParent);
        } else {
            WriteFileEntry(name);
        }
        if (count < INT32_MAX) ++count;
        return true;
    });
    m_page.reset();
    return count;
}

std::int32_t DirectoryLister::WriteFavoritesPage() { return WriteDirectoryPage(kListingPageName, ""); }

void DirectoryLister::WriteFolderEntry(std::string_view name, SkipParent skipParent) {
    if (skipParent == SkipParent::Yes && name == "..") return;
    // The mark and the link go out as one line.
    std::string line = m_texts.folderMark;
    line += LinkLine(name, name);
    if (m_page) m_page->WriteLine(line);
}

void DirectoryLister::WriteFileEntry(std::string_view name) {
    // Every file of the folder is read to its end, whatever its size.
    m_state.scratchText = ReadShortcutUrl(m_files, m_profiles, std::string(name), ProfileStore::kAnyFileSize);
    if (HasExtension(name, "url") && name.size() >= 4 && name[name.size() - 4] == '.') {
        name.remove_suffix(4);
    }
    WriteLinkLine(name, m_state.scratchText);
}

void DirectoryLister::WriteLinkLine(std::string_view text, std::string_view address) {
    if (address.empty()) {
        if (!HasExtension(text, "htm")) return;
        address = text;
    }
    if (m_page) m_page->WriteLine(LinkLine(address, text));
}

}  // namespace poremisu

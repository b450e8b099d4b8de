#include "pages/Listing.h"

#include "pages/Html.h"
#include "pages/Shortcut.h"

namespace poremisu {

std::string ListingHref(std::string_view name, std::string_view separators) {
    // Where the backslash separates folders no name holds one of its own, and
    // a 0x5C there is the second byte of a double-byte character: it stays.
    // Elsewhere a name is bytes with no text of its own: past ASCII each byte
    // is escaped, or one that is no text in the page's encoding would be read
    // as another character and lead to another file.
    const bool namesAreBytes = separators.find('\\') == std::string_view::npos;
    std::string href;
    std::size_t colon = name.find(':');
    if (colon != std::string_view::npos && colon < name.find_first_of("/?#")) href = "./";
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto byte = static_cast<unsigned char>(name[i]);
        bool edgeBlank = byte == ' ' && (i == 0 || i + 1 == name.size());
        if (byte < 0x20 || byte == 0x7F || byte == '#' || byte == '?' || byte == '%' || edgeBlank ||
            ((byte == '\\' || byte >= 0x80) && namesAreBytes)) {
            href += '%';
            href += "0123456789ABCDEF"[byte >> 4];
            href += "0123456789ABCDEF"[byte & 0xF];
        } else {
            href += name[i];
        }
    }
    return href;
}

std::string ListingFailedPage(const Texts& texts, std::string_view folder, FileError why) {
    const std::string& reason = why == FileError::NotAFile  ? texts.listingFailedNotAFile
                                : why == FileError::Foreign ? texts.listingFailedForeign
                                : why == FileError::TooLong ? texts.listingFailedTooLong
                                : why == FileError::Denied  ? texts.listingFailedDenied
                                : why == FileError::Full    ? texts.listingFailedFull
                                                            : texts.listingFailedOther;
    std::string title = EscapeHtml(texts.listingFailedTitle);
    return "<!DOCTYPE html>\n<html lang=\"ja\"><head><title>" + title + "</title></head><body><h1>" + title +
           "</h1><p><code>" + EscapeHtml(folder) + "</code></p><p>" + EscapeHtml(reason) + "</p></body></html>\n";
}

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

    m_failure = FileError::Ok;
    m_page = m_files.Open(std::string(pageName), OpenMode::Truncate, m_failure);
    if (!m_page) return 0;

    std::int32_t count = 0;
    m_files.EnumerateCurrentDirectory([&](const DirectoryEntry& entry) {
        // A page that lost a line is no listing of the folder: it stops there.
        if (m_failure != FileError::Ok) return false;
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
    line += LinkLine(ListingHref(name, m_files.Separators()), name);
    WritePageLine(line);
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
        WritePageLine(LinkLine(ListingHref(text, m_files.Separators()), text));
        return;
    }
    WritePageLine(LinkLine(address, text));
}

void DirectoryLister::WritePageLine(const std::string& line) {
    if (!m_page || m_failure != FileError::Ok) return;
    if (!m_page->WriteLine(line)) m_failure = m_page->Error() == FileError::Ok ? FileError::Other : m_page->Error();
}

}  // namespace poremisu

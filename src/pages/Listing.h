#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/Platform.h"
#include "app/Text.h"

namespace poremisu {

inline constexpr std::string_view kListingPageName = "Favorites.htm";

enum class SkipParent { No, Yes };

// The href of a listed name: it resolves inside the listed folder, to that
// very file. A name that would read as an address ("javascript:x.htm",
// "http:host.htm") gets "./" in front; the bytes that would end the path or
// stand for others ("#", "?", "%", control bytes, a blank at either end, and
// "\\" where it is no separator) are percent-encoded. Every other byte stays.
std::string ListingHref(std::string_view name, std::string_view separators);

// The program's own page shown in place of a listing that could not be
// written: it names the folder and the reason.
std::string ListingFailedPage(const Texts& texts, std::string_view folder, FileError why);

// Writes a folder out as a page of links: sub-folders by their names,
// shortcut files by the address they hold, htm files by their own names.
class DirectoryLister {
public:
    DirectoryLister(AppState& state, const Texts& texts, FileSystem& files, ProfileStore& profiles)
        : m_state(state), m_texts(texts), m_files(files), m_profiles(profiles) {}

    // Enters the folder (empty: the default favorites folder), writes the
    // page into it and returns the number of entries enumerated.
    std::int32_t WriteDirectoryPage(std::string_view pageName, std::string_view directory);
    std::int32_t WriteFavoritesPage();

    void WriteFolderEntry(std::string_view name, SkipParent skipParent);
    void WriteFileEntry(std::string_view name);
    void WriteLinkLine(std::string_view text, std::string_view address);

    // Why the last page could not be written whole; Ok when it was.
    FileError Failure() const { return m_failure; }

private:
    void WritePageLine(const std::string& line);

    AppState& m_state;
    const Texts& m_texts;
    FileSystem& m_files;
    ProfileStore& m_profiles;
    std::unique_ptr<TextFile> m_page;  // open only during WriteDirectoryPage
    FileError m_failure = FileError::Ok;
};

}  // namespace poremisu

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

private:
    AppState& m_state;
    const Texts& m_texts;
    FileSystem& m_files;
    ProfileStore& m_profiles;
    std::unique_ptr<TextFile> m_page;  // open only during WriteDirectoryPage
};

}  // namespace poremisu

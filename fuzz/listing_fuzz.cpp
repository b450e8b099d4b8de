// A folder listing over folders whose names and shortcut files come from the
// input: every entry is counted, every line of the page is one link line, and
// no name or address can add markup or lines of its own.

#include <fuzzer/FuzzedDataProvider.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "app/AppState.h"
#include "app/Text.h"
#include "pages/Html.h"
#include "pages/Listing.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProfileStore.h"

namespace {

using namespace poremisu;
namespace fs = std::filesystem;

// A name a folder can hold: no separator, no zero byte, not "." or "..".
std::string FolderName(std::string name) {
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';
    }
    if (name.empty() || name == "." || name == "..") name += 'x';
    return name;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Splits the page into its lines; false when it does not end with a line end
// or holds a line feed or carriage return anywhere but in CR LF.
bool SplitLines(const std::string& page, std::vector<std::string>& lines) {
    std::size_t begin = 0;
    while (begin < page.size()) {
        std::size_t end = page.find("\r\n", begin);
        if (end == std::string::npos) return false;
        std::string line = page.substr(begin, end - begin);
        if (line.find_first_of("\r\n") != std::string::npos) return false;
        lines.push_back(line);
        begin = end + 2;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = fuzz::ScratchFolder() + "/listed";
    static const std::string mark = "\xE2\x97\x8B";  // "○" in UTF-8, the code page here
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directory(folder);

    FuzzedDataProvider in(data, size);
    std::set<std::string> folders{".", ".."};
    std::set<std::string> names{".", ".."};
    int entries = in.ConsumeIntegralInRange(0, 10);
    for (int i = 0; i < entries; ++i) {
        int kind = in.ConsumeIntegralInRange(0, 3);
        std::string name = FolderName(in.ConsumeRandomLengthString(40));
        if (kind == 1) name += in.ConsumeBool() ? ".url" : ".URL";
        if (kind == 2) name += ".htm";
        std::string content = in.ConsumeRandomLengthString(300);
        if (kind == 1) content = "[InternetShortcut]\r\nURL=" + content + "\r\n";
        if (!names.insert(name).second) continue;
        std::string path = folder + "/" + name;
        if (kind == 0) {
            fs::create_directory(path, ignored);
            folders.insert(name);
        } else {
            WriteBytes(path, content);
        }
    }

    AppState state;
    Texts texts;
    texts.folderMark = mark;
    PosixFileSystem files;
    PosixProfileStore profiles;
    DirectoryLister lister(state, texts, files, profiles);
    std::int32_t count = lister.WriteDirectoryPage(kListingPageName, folder);

    // The page is written into the folder and counts itself, unless a folder
    // of its name stands there, which leaves nothing to write.
    bool pageBlocked = folders.count(std::string(kListingPageName)) != 0;
    names.insert(std::string(kListingPageName));
    FUZZ_CHECK(count == (pageBlocked ? 0 : static_cast<std::int32_t>(names.size())));
    if (pageBlocked) return 0;

    std::vector<std::string> lines;
    FUZZ_CHECK(SplitLines(fuzz::ReadBytes(folder + "/" + std::string(kListingPageName)), lines));
    FUZZ_CHECK(lines.size() <= names.size());
    std::set<std::string> linkedFolders;
    for (const std::string& line : lines) {
        std::string_view rest(line);
        bool isFolder = rest.substr(0, mark.size()) == mark;
        if (isFolder) rest.remove_prefix(mark.size());
        FUZZ_CHECK(rest.substr(0, 9) == "<a href=\"");
        rest.remove_prefix(9);
        std::size_t close = rest.find("\">");
        FUZZ_CHECK(close != std::string_view::npos);
        std::string_view address = rest.substr(0, close);
        rest.remove_prefix(close + 2);
        FUZZ_CHECK(rest.size() >= 8 && rest.substr(rest.size() - 8) == "</a><br>");
        std::string_view text = rest.substr(0, rest.size() - 8);
        FUZZ_CHECK(fuzz::InertInPage(address) && fuzz::InertInPage(text));
        std::string name, target;
        FUZZ_CHECK(fuzz::Unescape(text, name) && fuzz::Unescape(address, target));
        if (isFolder) {
            FUZZ_CHECK(target == ListingHref(name, files.Separators()) && folders.count(name) == 1);
            linkedFolders.insert(name);
        }
    }
    // Every folder has its line; nothing but folders has the mark.
    FUZZ_CHECK(linkedFolders == folders);
    return 0;
}

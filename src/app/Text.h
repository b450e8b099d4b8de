#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace poremisu {

// Byte-string helpers. All texts in the core are bytes in the program's code
// page; these never look at characters, only at bytes.

// The text as a zero-terminated buffer of `count` bytes would hold it: at most
// count - 1 bytes, cut at the first zero byte.
std::string CutToCount(std::string_view text, std::size_t count);

bool Contains(std::string_view text, std::string_view word);
bool StartsWith(std::string_view text, std::string_view prefix);

// Byte-wise case folding of the ASCII letters A..Z only. Lead bytes of
// double-byte characters are never touched; a trail byte that happens to lie
// in A..Z folds like any other byte.
char FoldAscii(char c);
// Sixteen hex digits of the bytes' FNV-1a digest: short, and stable from one
// run to the next, for names that must tell long texts apart.
std::string DigestHex(std::string_view bytes);
bool EqualsFoldAscii(std::string_view a, std::string_view b);
bool IsAsciiLetter(char c);
bool IsAsciiDigit(char c);
// Space and tab to CR, the blanks of C's "C" locale.
bool IsCBlank(char c);
// The blanks a settings line holds around its names and values: space, tab,
// CR, VT and FF, never the LF that ends the line.
bool IsLineBlank(char c);
std::string_view TrimLineBlanks(std::string_view text);
std::string_view TrimLineBlanksRight(std::string_view text);
// The text without the blanks and line breaks (space, tab, CR, LF) around
// it, as an address is read from what a user typed or gave.
std::string_view TrimAddressBlanks(std::string_view text);

// Converts UTF-8 into the program's code page; supplied by the platform.
using Encoder = std::function<std::string(std::string_view utf8)>;

// The fixed texts of the program, encoded once into its code page at start.
struct Texts {
    std::string productWord;        // "ぽれみす"
    std::string folderMark;         // "○" before folder lines
    std::string historyHeader;      // the first line of a reset history
    std::string resetQuestion;      // "履歴を初期化する"
    std::string pathCaption;        // "パス"
    std::string urlInputCaption;    // "URL入力"
    std::string versionLabel;       // "ぽれみす　Version"
    std::string sysMenuUrlInput;    // string 101
    std::string sysMenuMenuSet;     // string 102
    std::string sysMenuHelp;        // string 103
    // The page shown in place of a folder's listing that could not be written.
    std::string listingFailedTitle;
    std::string listingFailedNotAFile, listingFailedForeign, listingFailedTooLong, listingFailedDenied, listingFailedFull, listingFailedOther;

    static Texts Make(const Encoder& encode);
};

// Turns a u8 literal into the bytes the encoders take.
inline std::string_view Utf8(std::u8string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

}  // namespace poremisu

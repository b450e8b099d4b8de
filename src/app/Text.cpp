#include "app/Text.h"

#include <algorithm>
#include <cstdint>

#include "app/ResourceTexts.h"

namespace poremisu {

std::string CutToCount(std::string_view text, std::size_t count) {
    if (count == 0) return {};
    std::size_t zero = text.find('\0');
    std::size_t length = std::min({text.size(), count - 1, zero});
    return std::string(text.substr(0, length));
}

bool Contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

std::string DigestHex(std::string_view bytes) {
    std::uint64_t digest = 14695981039346656037ull;
    for (char c : bytes) {
        digest ^= static_cast<unsigned char>(c);
        digest *= 1099511628211ull;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (int shift = 60; shift >= 0; shift -= 4) hex += kHex[(digest >> shift) & 0xF];
    return hex;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsCBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsLineBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view TrimLineBlanksRight(std::string_view text) {
    while (!text.empty() && IsLineBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view TrimLineBlanks(std::string_view text) {
    while (!text.empty() && IsLineBlank(text.front())) text.remove_prefix(1);
    return TrimLineBlanksRight(text);
}

std::string_view TrimAddressBlanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsFoldAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

Texts Texts::Make(const Encoder& encode) {
    Texts t;
    t.productWord = encode(Utf8(u8"" POREMISU_TEXT_PRODUCT_WORD));
    t.folderMark = encode(Utf8(u8"○"));
    t.historyHeader = encode(Utf8(u8"<html><head><title>URL履歴</title></head><body>"));
    t.resetQuestion = encode(Utf8(u8"履歴を初期化する"));
    t.pathCaption = encode(Utf8(u8"パス"));
    t.urlInputCaption = encode(Utf8(u8"" POREMISU_TEXT_URL_INPUT_CAPTION));
    t.versionLabel = encode(Utf8(u8"" POREMISU_TEXT_VERSION_LABEL));
    t.sysMenuUrlInput = encode(Utf8(u8"" POREMISU_TEXT_SYSMENU_URL_INPUT));
    t.sysMenuMenuSet = encode(Utf8(u8"" POREMISU_TEXT_SYSMENU_MENU_SET));
    t.sysMenuHelp = encode(Utf8(u8"" POREMISU_TEXT_SYSMENU_HELP));
    t.listingFailedTitle = encode(Utf8(u8"フォルダの一覧を書き込めません"));
    t.listingFailedNotAFile = encode(Utf8(
        u8"このフォルダの「Favorites.htm」はリンクなど、ふつうのファイルではありません。"
        u8"その先のファイルを書き換えないよう、一覧は書き込みませんでした。"));
    t.listingFailedForeign = encode(Utf8(
        u8"このフォルダの「Favorites.htm」はほかのユーザーのファイルです。"
        u8"そのユーザーのファイルを書き換えないよう、一覧は書き込みませんでした。"));
    t.listingFailedTooLong = encode(Utf8(u8"このフォルダのパスは長すぎて、一覧を表示できません。"));
    t.listingFailedDenied = encode(Utf8(u8"このフォルダに書き込む権限がありません（読み取り専用です）。"));
    t.listingFailedFull = encode(Utf8(u8"ディスクの空きが足りません。"));
    t.listingFailedOther = encode(Utf8(u8"ファイルに書き込めませんでした。"));
    return t;
}

}  // namespace poremisu

#pragma once

// What both end-to-end suites, on X11 and under Wine, hand the program and expect of it, in UTF-8:
// the pages they write, the main window's titles and the history's lines. Each suite turns the bytes
// into its program's code page where it compares them.

#include <string>

namespace poremisu::expected {

inline constexpr const char* kProductWord = "\xe3\x81\xbd\xe3\x82\x8c\xe3\x81\xbf\xe3\x81\x99";  // ぽれみす

// The title of a completed page while the status bar is hidden (the trailing blank included).
inline std::string BareTitle(const std::string& pageName) { return pageName + " - " + kProductWord + " > "; }

// A page's markup: its title, what its body holds, and its background.
inline std::string Page(const std::string& title, const std::string& body = "",
                        const std::string& background = "#ffffff") {
    return "<!DOCTYPE html>\n<html style=\"background:" + background + "\"><head><meta charset=\"utf-8\">" +
           "<title>" + title + "</title></head><body style=\"margin:0\">" + body + "</body></html>\n";
}

// A page's link line as the history and the listings write it, without and with its line end; and
// the history's line for a pop-up sent to the main window.
inline std::string Link(const std::string& url, const std::string& name) {
    return "<a href=\"" + url + "\">" + name + "</a><br>";
}
inline std::string HistoryLink(const std::string& url, const std::string& name) { return Link(url, name) + "\r\n"; }
inline std::string NewWindowLine(const std::string& url) { return "new\t" + url + "\r\n"; }

}  // namespace poremisu::expected

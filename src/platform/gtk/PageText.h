#pragma once

#include <glib.h>
#include <webkit2/webkit2.h>

#include <string>

namespace poremisu {

// The language of the texts the page engine's side shows (its context menu,
// the program's error pages, the loading status): Japanese under a Japanese
// locale, English under any other. The program's own captions never change.
enum class PageLanguage { Japanese, English };

// Read from the environment as gettext reads it (LC_ALL, else LC_MESSAGES,
// else LANG), so that a Japanese desktop gets Japanese texts even where its
// locale's data is missing and the engine's own translations with it.
PageLanguage CurrentPageLanguage();

// The label (GTK mnemonics) for one of the engine's own context-menu items;
// nullptr for an item whose label is not fixed (a spelling guess, a submenu).
const char* ContextMenuLabel(PageLanguage language, WebKitContextMenuAction action);

// The page shown for a load that failed, in UTF-8.
std::string ErrorPageHtml(PageLanguage language, const char* uri, const GError* error);

// The status texts of a load: the address being opened, then done (UTF-8).
std::string OpeningStatusText(PageLanguage language, const std::string& address);
std::string DoneStatusText(PageLanguage language);

}  // namespace poremisu

#pragma once

#include <glib.h>
#include <webkit2/webkit2.h>

#include "pages/ErrorPage.h"

namespace poremisu {

// The language of the engine's side (its context menu, the error pages, the
// load's status texts), read from the environment as gettext reads it
// (LC_ALL, else LC_MESSAGES, else LANG), so that a Japanese desktop gets
// Japanese texts even where its locale's data is missing and the engine's
// own translations with it.
PageLanguage CurrentPageLanguage();

// The label (GTK mnemonics) for one of the engine's own context-menu items
// that the engine leaves untranslated; nullptr where the engine's own label
// stands (any item in English, most in Japanese).
const char* ContextMenuLabel(PageLanguage language, WebKitContextMenuAction action);

// What the user is told of a load's failure, as the engine reports it.
LoadFailure FailureOf(const GError* error);

}  // namespace poremisu

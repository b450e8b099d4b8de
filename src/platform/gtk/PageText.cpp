#include "platform/gtk/PageText.h"

#include <cstdlib>
#include <cstring>

namespace poremisu {

namespace {

struct MenuLabel {
    WebKitContextMenuAction action;
    const char* english;   // the engine's own label, which its catalogue does not translate
    const char* japanese;  // where the toolkit's catalogue has no word, or the wrong one
};

// The engine's items that it leaves in English under a Japanese locale; the
// rest it labels in the user's language itself. The toolkit's catalogue has
// most of these words; "_Forward" there is the media player's (早送り).
constexpr MenuLabel kMenuLabels[] = {
    {WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, "_Back", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD, "_Forward", "進む(_F)"},
    {WEBKIT_CONTEXT_MENU_ACTION_STOP, "_Stop", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY, "_Copy", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_CUT, "Cu_t", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE, "_Paste", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_DELETE, "_Delete", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL, "Select _All", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI, "Insert _Emoji", nullptr},
    {WEBKIT_CONTEXT_MENU_ACTION_BOLD, "_Bold", "太字(_B)"},
    {WEBKIT_CONTEXT_MENU_ACTION_ITALIC, "_Italic", "斜体(_I)"},
    {WEBKIT_CONTEXT_MENU_ACTION_UNDERLINE, "_Underline", "下線(_U)"},
    {WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_CONTROLS, "_Show Controls", "コントロールを表示(_C)"},
    {WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_LOOP, "_Loop", "繰り返し再生(_L)"},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT, "Paste as Plain Te_xt", "テキストとして貼り付け(_X)"},
};

struct EngineFailure {
    const char* domain;  // the error domain's quark name, as the engine reports it
    int code;            // -1: any code of the domain
    LoadFailure failure;
};

// The failures a user meets, as the engine reports them; the domains are
// named by their quark strings, which is how errors from the engine's
// network process arrive.
constexpr EngineFailure kEngineFailures[] = {
    {"g-resolver-error-quark", -1, LoadFailure::HostNotFound},
    {"g-io-error-quark", G_IO_ERROR_CONNECTION_REFUSED, LoadFailure::Refused},
    {"g-io-error-quark", G_IO_ERROR_TIMED_OUT, LoadFailure::TimedOut},
    {"g-io-error-quark", G_IO_ERROR_HOST_UNREACHABLE, LoadFailure::HostUnreachable},
    {"g-io-error-quark", G_IO_ERROR_NETWORK_UNREACHABLE, LoadFailure::NetworkUnreachable},
    {"g-io-error-quark", G_IO_ERROR_NOT_FOUND, LoadFailure::FileNotFound},
    {"g-io-error-quark", G_IO_ERROR_PERMISSION_DENIED, LoadFailure::Denied},
    {"g-io-error-quark", G_IO_ERROR_INVALID_FILENAME, LoadFailure::BadFileName},
    {"g-io-error-quark", G_IO_ERROR_CONNECTION_CLOSED, LoadFailure::ConnectionClosed},
    {"g-io-error-quark", G_IO_ERROR_BROKEN_PIPE, LoadFailure::ConnectionClosed},
    {"g-tls-error-quark", -1, LoadFailure::Insecure},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL, LoadFailure::UnknownScheme},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST, LoadFailure::FileNotFound},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_TRANSPORT, LoadFailure::Transport},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE, LoadFailure::CannotShowType},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI, LoadFailure::CannotShowAddress},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT, LoadFailure::RestrictedPort},
};

}  // namespace

PageLanguage CurrentPageLanguage() {
    const char* name = nullptr;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        name = std::getenv(variable);
        if (name && *name) break;
    }
    return name && std::strncmp(name, "ja", 2) == 0 ? PageLanguage::Japanese : PageLanguage::English;
}

const char* ContextMenuLabel(PageLanguage language, WebKitContextMenuAction action) {
    if (language != PageLanguage::Japanese) return nullptr;
    for (const MenuLabel& label : kMenuLabels) {
        if (label.action != action) continue;
        if (label.japanese) return label.japanese;
        // Left as the engine has it where the toolkit's catalogue is missing too.
        const char* toolkits = g_dgettext("gtk30", label.english);
        return std::strcmp(toolkits, label.english) != 0 ? toolkits : nullptr;
    }
    return nullptr;
}

LoadFailure FailureOf(const GError* error) {
    if (!error) return LoadFailure::Other;
    const char* domain = g_quark_to_string(error->domain);
    for (const EngineFailure& known : kEngineFailures) {
        if (std::strcmp(domain, known.domain) == 0 && (known.code < 0 || known.code == error->code)) {
            return known.failure;
        }
    }
    return LoadFailure::Other;
}

}  // namespace poremisu

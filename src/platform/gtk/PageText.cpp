#include "platform/gtk/PageText.h"

#include <cstdlib>
#include <cstring>

namespace poremisu {

namespace {

struct MenuLabel {
    WebKitContextMenuAction action;
    const char* japanese;
    const char* english;
};

// Every item of the engine's menus with a fixed label. The engine's own
// Japanese catalogue leaves some of them (Back, Forward, Stop, Copy...) in
// English, so the whole menu is labelled here.
constexpr MenuLabel kMenuLabels[] = {
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK, "リンクを開く(_O)", "_Open Link"},
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_LINK_IN_NEW_WINDOW, "リンクを新しいウィンドウで開く(_W)",
     "Open Link in New _Window"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_LINK_TO_DISK, "リンク先を保存(_D)", "_Download Linked File"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY_LINK_TO_CLIPBOARD, "リンクのアドレスをコピー(_A)", "Copy Link Loc_ation"},
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_IMAGE_IN_NEW_WINDOW, "画像を新しいウィンドウで開く(_I)",
     "Open _Image in New Window"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_IMAGE_TO_DISK, "画像を保存(_V)", "Sa_ve Image As"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_TO_CLIPBOARD, "画像をコピー(_Y)", "Cop_y Image"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY_IMAGE_URL_TO_CLIPBOARD, "画像のアドレスをコピー(_A)", "Copy Image _Address"},
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_FRAME_IN_NEW_WINDOW, "フレームを新しいウィンドウで開く(_F)",
     "Open _Frame in New Window"},
    {WEBKIT_CONTEXT_MENU_ACTION_GO_BACK, "戻る(_B)", "_Back"},
    {WEBKIT_CONTEXT_MENU_ACTION_GO_FORWARD, "進む(_F)", "_Forward"},
    {WEBKIT_CONTEXT_MENU_ACTION_STOP, "中止(_S)", "_Stop"},
    {WEBKIT_CONTEXT_MENU_ACTION_RELOAD, "再読み込み(_R)", "_Reload"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY, "コピー(_C)", "_Copy"},
    {WEBKIT_CONTEXT_MENU_ACTION_CUT, "切り取り(_T)", "Cu_t"},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE, "貼り付け(_P)", "_Paste"},
    {WEBKIT_CONTEXT_MENU_ACTION_DELETE, "削除(_D)", "_Delete"},
    {WEBKIT_CONTEXT_MENU_ACTION_SELECT_ALL, "すべて選択(_A)", "Select _All"},
    {WEBKIT_CONTEXT_MENU_ACTION_NO_GUESSES_FOUND, "候補が見つかりません", "No Guesses Found"},
    {WEBKIT_CONTEXT_MENU_ACTION_IGNORE_SPELLING, "スペルを無視(_I)", "_Ignore Spelling"},
    {WEBKIT_CONTEXT_MENU_ACTION_LEARN_SPELLING, "スペルを辞書に追加(_L)", "_Learn Spelling"},
    {WEBKIT_CONTEXT_MENU_ACTION_IGNORE_GRAMMAR, "文法を無視(_G)", "Ignore _Grammar"},
    {WEBKIT_CONTEXT_MENU_ACTION_BOLD, "太字(_B)", "_Bold"},
    {WEBKIT_CONTEXT_MENU_ACTION_ITALIC, "斜体(_I)", "_Italic"},
    {WEBKIT_CONTEXT_MENU_ACTION_UNDERLINE, "下線(_U)", "_Underline"},
    {WEBKIT_CONTEXT_MENU_ACTION_OUTLINE, "輪郭(_O)", "_Outline"},
    {WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT, "要素を調査(_E)", "Inspect _Element"},
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_VIDEO_IN_NEW_WINDOW, "動画を新しいウィンドウで開く(_V)",
     "Open _Video in New Window"},
    {WEBKIT_CONTEXT_MENU_ACTION_OPEN_AUDIO_IN_NEW_WINDOW, "音声を新しいウィンドウで開く(_A)",
     "Open _Audio in New Window"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY_VIDEO_LINK_TO_CLIPBOARD, "動画のアドレスをコピー(_Y)",
     "Cop_y Video Link Location"},
    {WEBKIT_CONTEXT_MENU_ACTION_COPY_AUDIO_LINK_TO_CLIPBOARD, "音声のアドレスをコピー(_Y)",
     "Cop_y Audio Link Location"},
    {WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_CONTROLS, "コントロールを表示(_C)", "_Show Controls"},
    {WEBKIT_CONTEXT_MENU_ACTION_TOGGLE_MEDIA_LOOP, "繰り返し再生(_L)", "_Loop"},
    {WEBKIT_CONTEXT_MENU_ACTION_ENTER_VIDEO_FULLSCREEN, "全画面表示(_F)", "Switch Video to _Fullscreen"},
    {WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PLAY, "再生(_P)", "_Play"},
    {WEBKIT_CONTEXT_MENU_ACTION_MEDIA_PAUSE, "一時停止(_P)", "_Pause"},
    {WEBKIT_CONTEXT_MENU_ACTION_MEDIA_MUTE, "消音(_M)", "_Mute"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_VIDEO_TO_DISK, "動画を保存(_V)", "Download _Video"},
    {WEBKIT_CONTEXT_MENU_ACTION_DOWNLOAD_AUDIO_TO_DISK, "音声を保存(_A)", "Download _Audio"},
    {WEBKIT_CONTEXT_MENU_ACTION_INSERT_EMOJI, "絵文字を挿入(_E)", "Insert _Emoji"},
    {WEBKIT_CONTEXT_MENU_ACTION_PASTE_AS_PLAIN_TEXT, "テキストとして貼り付け(_X)", "Paste as Plain Te_xt"},
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
    for (const MenuLabel& label : kMenuLabels) {
        if (label.action == action) return language == PageLanguage::Japanese ? label.japanese : label.english;
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

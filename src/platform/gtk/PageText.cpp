#include "platform/gtk/PageText.h"

#include <cstdlib>
#include <cstring>

#include "pages/Html.h"

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

struct ErrorText {
    const char* domain;  // the error domain's quark name, as the engine reports it
    int code;            // -1: any code of the domain
    const char* japanese;
};

// The failures a user meets, as the engine reports them; the domains are
// named by their quark strings, which is how errors from the engine's
// network process arrive.
constexpr ErrorText kErrorTexts[] = {
    {"g-resolver-error-quark", -1, "サーバーが見つかりません。アドレスを確かめてください。"},
    {"g-io-error-quark", G_IO_ERROR_CONNECTION_REFUSED, "サーバーに接続できません (接続を拒否されました)。"},
    {"g-io-error-quark", G_IO_ERROR_TIMED_OUT, "サーバーから時間内に応答がありません。"},
    {"g-io-error-quark", G_IO_ERROR_HOST_UNREACHABLE, "サーバーに到達できません。"},
    {"g-io-error-quark", G_IO_ERROR_NETWORK_UNREACHABLE, "ネットワークに接続できません。"},
    {"g-io-error-quark", G_IO_ERROR_NOT_FOUND, "ファイルが見つかりません。"},
    {"g-io-error-quark", G_IO_ERROR_PERMISSION_DENIED, "ファイルを読む権限がありません。"},
    {"g-io-error-quark", G_IO_ERROR_INVALID_FILENAME, "この名前は、この環境の文字として読めないため開けません。"},
    {"g-io-error-quark", G_IO_ERROR_CONNECTION_CLOSED, "サーバーが接続を切りました。"},
    {"g-io-error-quark", G_IO_ERROR_BROKEN_PIPE, "サーバーが接続を切りました。"},
    {"g-tls-error-quark", -1, "安全な接続を確立できません。"},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_UNKNOWN_PROTOCOL, "この種類のアドレスは開けません。"},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST, "ファイルが見つかりません。"},
    {"WebKitNetworkError", WEBKIT_NETWORK_ERROR_TRANSPORT, "通信に失敗しました。"},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_SHOW_MIME_TYPE, "この種類のファイルは表示できません。"},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_SHOW_URI, "このアドレスは表示できません。"},
    {"WebKitPolicyError", WEBKIT_POLICY_ERROR_CANNOT_USE_RESTRICTED_PORT, "このポートには接続できません。"},
};

constexpr const char* kJapaneseFallback = "ページを読み込めませんでした。";

const char* JapaneseMessage(const GError* error) {
    if (!error) return kJapaneseFallback;
    const char* domain = g_quark_to_string(error->domain);
    for (const ErrorText& text : kErrorTexts) {
        if (std::strcmp(domain, text.domain) == 0 && (text.code < 0 || text.code == error->code)) {
            return text.japanese;
        }
    }
    return kJapaneseFallback;
}

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

std::string ErrorPageHtml(PageLanguage language, const char* uri, const GError* error) {
    bool japanese = language == PageLanguage::Japanese;
    std::string heading = japanese ? "ページを表示できません" : "This page cannot be shown";
    // Under Japanese the engine's English message gives way to the program's own.
    std::string message = japanese ? JapaneseMessage(error) : EscapeHtml(error && error->message ? error->message : "");
    return std::string("<!DOCTYPE html>\n<html lang=\"") + (japanese ? "ja" : "en") +
           "\"><head><meta charset=\"utf-8\"><title>" + heading +
           "</title><style>body{font-family:\"IPAPGothic\",sans-serif;margin:2em;color:#222}"
           "h1{font-size:1.2em;font-weight:normal}code{color:#555}</style></head><body><h1>" +
           heading + "</h1><p><code>" + EscapeHtml(uri ? uri : "") + "</code></p><p>" + message +
           "</p></body></html>\n";
}

std::string OpeningStatusText(PageLanguage language, const std::string& address) {
    return language == PageLanguage::Japanese ? address + " を開いています..." : "Opening " + address + "...";
}

std::string DoneStatusText(PageLanguage language) { return language == PageLanguage::Japanese ? "完了" : "Done"; }

}  // namespace poremisu

#include "pages/ErrorPage.h"

#include "app/Text.h"
#include "pages/Html.h"

namespace poremisu {

namespace {

struct FailureText {
    LoadFailure failure;
    std::u8string_view japanese;
    std::u8string_view english;  // empty: the engine's own message
};

constexpr std::u8string_view kBadName = u8"この名前は、この環境の文字として読めないため開けません。";

constexpr FailureText kFailureTexts[] = {
    {LoadFailure::Other, u8"ページを読み込めませんでした。", u8""},
    {LoadFailure::HostNotFound, u8"サーバーが見つかりません。アドレスを確かめてください。", u8""},
    {LoadFailure::Refused, u8"サーバーに接続できません (接続を拒否されました)。", u8""},
    {LoadFailure::TimedOut, u8"サーバーから時間内に応答がありません。", u8""},
    {LoadFailure::HostUnreachable, u8"サーバーに到達できません。", u8""},
    {LoadFailure::NetworkUnreachable, u8"ネットワークに接続できません。", u8""},
    {LoadFailure::FileNotFound, u8"ファイルが見つかりません。", u8""},
    {LoadFailure::Denied, u8"ファイルを読む権限がありません。", u8""},
    {LoadFailure::BadFileName, kBadName, u8""},
    {LoadFailure::UnreadableName, kBadName, u8"The name is not readable as text here, so it cannot be opened."},
    {LoadFailure::ConnectionClosed, u8"サーバーが接続を切りました。", u8""},
    {LoadFailure::Insecure, u8"安全な接続を確立できません。", u8""},
    {LoadFailure::UnknownScheme, u8"この種類のアドレスは開けません。", u8""},
    {LoadFailure::Transport, u8"通信に失敗しました。", u8""},
    {LoadFailure::CannotShowType, u8"この種類のファイルは表示できません。", u8""},
    {LoadFailure::CannotShowAddress, u8"このアドレスは表示できません。", u8""},
    {LoadFailure::RestrictedPort, u8"このポートには接続できません。", u8""},
};

const FailureText& TextOf(LoadFailure failure) {
    for (const FailureText& text : kFailureTexts) {
        if (text.failure == failure) return text;
    }
    return kFailureTexts[0];
}

}  // namespace

std::string ErrorPageHtml(PageLanguage language, std::string_view address, LoadFailure failure,
                          std::string_view engineMessage) {
    bool japanese = language == PageLanguage::Japanese;
    const FailureText& text = TextOf(failure);
    std::string_view heading = japanese ? Utf8(u8"ページを表示できません") : "This page cannot be shown";
    std::string message = japanese               ? std::string(Utf8(text.japanese))
                          : text.english.empty() ? EscapeHtml(engineMessage)
                                                 : EscapeHtml(Utf8(text.english));
    return std::string("<!DOCTYPE html>\n<html lang=\"") + (japanese ? "ja" : "en") +
           "\"><head><meta charset=\"utf-8\"><title>" + std::string(heading) +
           "</title><style>body{font-family:\"IPAPGothic\",sans-serif;margin:2em;color:#222}"
           "h1{font-size:1.2em;font-weight:normal}code{color:#555}</style></head><body><h1>" +
           std::string(heading) + "</h1><p><code>" + EscapeHtml(address) + "</code></p><p>" + message +
           "</p></body></html>\n";
}

std::string CertificatePageHtml(PageLanguage language, std::string_view address, const CertificateFacts& facts,
                                std::string_view goOnHref) {
    const bool japanese = language == PageLanguage::Japanese;
    auto say = [&](std::u8string_view ja, std::string_view en) { return std::string(japanese ? Utf8(ja) : en); };
    const struct {
        unsigned flag;
        std::u8string_view ja;
        std::string_view en;
    } reasons[] = {
        {certificate::kUnknownIssuer, u8"発行者が信頼されていません (自己署名など)。",
         "Its issuer is not trusted (it may be self-signed)."},
        {certificate::kWrongHost, u8"このサイトの名前のものではありません。", "It is not for this site's name."},
        {certificate::kNotYetValid, u8"まだ有効になっていません。", "It is not valid yet."},
        {certificate::kExpired, u8"有効期限が切れています。", "It has expired."},
        {certificate::kRevoked, u8"取り消されています。", "It has been revoked."},
        {certificate::kInsecure, u8"安全でない方式で作られています。", "It was made in an insecure way."},
        {certificate::kOther, u8"そのほかの理由で検証できませんでした。", "It could not be checked for another reason."},
    };
    const std::string heading = say(u8"この接続は安全ではありません", "This connection is not safe");
    std::string html = std::string("<!DOCTYPE html>\n<html lang=\"") + (japanese ? "ja" : "en") +
                       "\"><head><meta charset=\"utf-8\"><title>" + heading +
                       "</title><style>body{font-family:\"IPAPGothic\",sans-serif;margin:2em;color:#222}"
                       "h1{font-size:1.2em;font-weight:normal}code,td{color:#555}th{text-align:left;padding-right:1em;white-space:nowrap;vertical-align:top}"
                       "td{word-break:break-all}"
                       "a.unsafe{color:#b00}</style></head><body><h1>" +
                       heading + "</h1><p><code>" + EscapeHtml(address) + "</code></p><p>" +
                       say(u8"サーバー ", "The certificate of ") + "<b>" + EscapeHtml(facts.host) + "</b>" +
                       say(u8" の証明書を信頼できません。", " is not trusted.") + "</p><ul>";
    for (const auto& reason : reasons) {
        if (facts.reasons & reason.flag) html += "<li>" + say(reason.ja, reason.en) + "</li>";
    }
    const std::pair<std::string, const std::string*> rows[] = {
        {say(u8"発行先", "Subject"), &facts.subject},       {say(u8"発行者", "Issuer"), &facts.issuer},
        {say(u8"有効期間の開始", "Valid from"), &facts.validFrom}, {say(u8"有効期間の終了", "Valid until"), &facts.validUntil},
        {"SHA-256", &facts.sha256},
    };
    html += "</ul><table>";
    for (const auto& [label, value] : rows) {
        html += "<tr><th>" + label + "</th><td><code>" + EscapeHtml(*value) + "</code></td></tr>";
    }
    html += "</table><p><a class=\"unsafe\" href=\"" + EscapeHtml(goOnHref) + "\">" +
            say(u8"危険を承知で、この証明書のまま続ける (この実行のあいだだけ)",
                "Go on to this site with this certificate, unsafe (for this run only)") +
            "</a></p></body></html>\n";
    return html;
}

std::string OpeningStatusText(PageLanguage language, std::string_view address) {
    return language == PageLanguage::Japanese ? std::string(address) + std::string(Utf8(u8" を開いています..."))
                                              : "Opening " + std::string(address) + "...";
}

std::string DoneStatusText(PageLanguage language) {
    return std::string(language == PageLanguage::Japanese ? Utf8(u8"完了") : "Done");
}

}  // namespace poremisu

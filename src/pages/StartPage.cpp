#include "pages/StartPage.h"

#include "app/Text.h"

namespace poremisu {

std::string_view StartPageHtml() {
    return Utf8(
        u8"<!DOCTYPE html>\n"
        u8"<html lang=\"ja\"><head><meta charset=\"utf-8\">"
        u8"<title>ぽれみす へようこそ</title>"
        u8"<style>body{font-family:\"IPAPGothic\",sans-serif;margin:2em;color:#222}"
        u8"h1{font-size:1.4em;font-weight:normal;border-bottom:1px solid #aac;padding-bottom:.3em}"
        u8"p{font-size:.95em;line-height:1.6}</style></head>"
        u8"<body><h1>ぽれみす へようこそ</h1>"
        u8"<p>ぽれみすは、ページとタイトルだけの小さなブラウザです。</p>"
        u8"<p>アドレスを入力するには、F10 キー、Shift+F10 キー、アプリケーション (メニュー) キー、"
        u8"またはページの右クリックで出るメニューから「URL入力」を選んでください。"
        u8"「MENU SET」でメニューバー、アドレスバー、ステータスバーを表示します。"
        u8"メニューバーが出ているときは F10 でメニューバーを開けます。"
        u8"Alt+Space も、デスクトップが使っていなければ同じメニューを開きます。</p>"
        u8"</body></html>\n");
}

}  // namespace poremisu

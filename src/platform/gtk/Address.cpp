#include "platform/gtk/Address.h"

namespace poremisu {

std::string HomePageHtml() {
    return "<!DOCTYPE html>\n"
           "<html lang=\"ja\"><head><meta charset=\"utf-8\">"
           "<title>ぽれみす へようこそ</title>"
           "<style>body{font-family:\"IPAPGothic\",sans-serif;margin:2em;color:#222}"
           "h1{font-size:1.4em;font-weight:normal;border-bottom:1px solid #aac;padding-bottom:.3em}"
           "p{font-size:.95em;line-height:1.6}</style></head>"
           "<body><h1>ぽれみす へようこそ</h1>"
           "<p>ぽれみすは、ページとタイトルだけの小さなブラウザです。</p>"
           "<p>アドレスを入力するには、F10 キー、Shift+F10 キー、アプリケーション (メニュー) キー、"
           "またはページの右クリックで出るメニューから「URL入力」を選んでください。"
           "「MENU SET」でメニューバー、アドレスバー、ステータスバーを表示します。"
           "メニューバーが出ているときは F10 でメニューバーを開けます。"
           "Alt+Space も、デスクトップが使っていなければ同じメニューを開きます。</p>"
           "</body></html>\n";
}

}  // namespace poremisu

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/Text.h"
#include "browser/CWebBrowser2.h"
#include "ui/WindowHost.h"

namespace poremisu {

// Page names longer than this are shortened when an extra text follows.
inline constexpr std::size_t kShortTitleNameBytes = 18;

// The title from its pieces: page name, product word and, while the status
// bar is hidden, an extra text. Pure, so every form can be checked alone.
std::string FormatTitle(std::string_view pageName, std::string_view productWord,
                        std::string_view extra, bool statusBarVisible);

// Composes and sets the main window's title and routes status texts.
class TitleComposer {
public:
    TitleComposer(AppState& state, const Texts& texts, CWebBrowser2& browser, WindowFrame& frame,
                  StatusBar& statusBar)
        : m_state(state), m_texts(texts), m_browser(browser), m_frame(frame), m_statusBar(statusBar) {}

    void ComposeTitle(std::string_view extra);
    void ComposeTitleNumber(std::int32_t number);
    void ShowStatusText(const std::string& text, StatusOrigin origin);

private:
    AppState& m_state;
    const Texts& m_texts;
    CWebBrowser2& m_browser;
    WindowFrame& m_frame;
    StatusBar& m_statusBar;
};

}  // namespace poremisu

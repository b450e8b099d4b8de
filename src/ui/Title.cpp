#include "ui/Title.h"

namespace poremisu {

std::string FormatTitle(std::string_view pageName, std::string_view productWord,
                        std::string_view extra, bool statusBarVisible) {
    // Pieces stop at a zero byte as the formatter's "%s" would, and nothing
    // past the title's bound is ever copied, however long a piece is.
    std::string name = CutToCount(pageName, kTitleCount);
    std::string word = CutToCount(productWord, kTitleCount);
    std::string tail = CutToCount(extra, kTitleCount);
    // However long the page name, the product word stays whole within the
    // bound: later starts find the running window by it. The name gives way,
    // leaving room for " - ", the word and, while the bar is hidden, " > ".
    std::size_t fixed = 3 + word.size() + (statusBarVisible ? 0 : 3);
    std::size_t room = fixed < kTitleCount - 1 ? kTitleCount - 1 - fixed : 0;
    if (name.size() > room) name.resize(room);
    std::string title;
    if (statusBarVisible) {
        title = name + " - " + word;
    } else if (!tail.empty() && name.size() > kShortTitleNameBytes) {
        // The cut counts bytes: it may end inside a double-byte character.
        title = name.substr(0, kShortTitleNameBytes) + "..- " + word + " > " + tail;
    } else {
        title = name + " - " + word + " > " + tail;
    }
    return CutToCount(title, kTitleCount);
}

void TitleComposer::ComposeTitle(std::string_view extra) {
    m_state.scratchText = FormatTitle(PageName(m_browser), m_texts.productWord, extra,
                                      m_state.statusBarVisible != 0);
    m_frame.SetTitle(m_state.scratchText);
}

void TitleComposer::ComposeTitleNumber(std::int32_t number) { ComposeTitle(std::to_string(number)); }

void TitleComposer::ShowStatusText(const std::string& text, StatusOrigin origin) {
    if (origin == StatusOrigin::Control && Contains(text, "http")) m_state.lastLinkUrl = CutToCount(text, kScratchSize);
    if (m_state.statusBarVisible) {
        m_statusBar.SetStatusText(text);
    } else {
        ComposeTitle(text);
    }
}

}  // namespace poremisu

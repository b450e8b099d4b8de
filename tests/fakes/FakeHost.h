#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "fakes/CallLog.h"
#include "ui/MainWindow.h"
#include "ui/WindowHost.h"

namespace poremisu::test {

struct Rect {
    std::int32_t x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The toolkit window as the main window's logic sees it. Like the real one it
// calls the window's size handler on every real change of size or show state
// (and only then), and handles a close request before SendClose returns.
class FakeHost : public WindowHost {
public:
    explicit FakeHost(CallLog& log) : m_log(log) {}

    MainWindow* window = nullptr;
    std::vector<std::string> titles, statusTexts, systemMenuItems;
    std::string addressBar;
    std::optional<Rect> addressBarRect, statusBarRect;
    bool statusBarShown = true;  // the status window is created visible
    bool hasMenu = false, minimized = false, maximized = false;
    int menuDestroys = 0, browserMenus = 0, sendCloses = 0, endWindows = 0, urlDialogRuns = 0;
    std::vector<ShowCommand> shows;
    std::optional<WindowPlacement> placement;  // what GetPlacement reads; none fails
    std::vector<WindowPlacement> appliedPlacements;
    struct Box {
        std::string text, caption;
        Buttons buttons;
    };
    std::vector<Box> boxes;
    std::deque<Answer> answers;  // scripted; Cancel when none is left

    void SetTitle(const std::string& title) override { titles.push_back(title); }
    std::string GetAddressBarText(std::size_t count) override { return CutToCount(addressBar, count); }
    void SetAddressBarText(const std::string& text) override { addressBar = text; }
    std::int32_t AddressBarCreatedHeight() override { return Logged("AddressBarCreatedHeight", 21); }
    void MoveAddressBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override {
        addressBarRect = Rect{x, y, w, h};
    }
    WindowId CreateStatusBar() override { return Logged("CreateStatusBar", 77); }
    std::int32_t StatusBarHeight() override { return Logged("StatusBarHeight", 19); }
    void ShowStatusBar(bool visible) override {
        statusBarShown = Logged(visible ? "ShowStatusBar(1)" : "ShowStatusBar(0)", visible);
    }
    void MoveStatusBar(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override {
        statusBarRect = Rect{x, y, w, h};
    }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void AttachMainMenu() override { hasMenu = true; }
    void DestroyMenu() override { hasMenu = false, ++menuDestroys; }
    bool HasMenu() override { return hasMenu; }
    void AttachBrowserMenu() override { ++browserMenus; }
    void AppendSystemMenuItems(const std::string& a, const std::string& b, const std::string& c) override {
        systemMenuItems = Logged("AppendSystemMenuItems", std::vector<std::string>{a, b, c});
    }
    void SetIcon() override { m_log.push_back("SetIcon"); }
    void Show(ShowCommand command) override {
        shows.push_back(command);
        if (command == ShowCommand::Minimize || command == ShowCommand::ShowMinimized) {
            if (!minimized) minimized = true, Resized(0, 0);
        } else if (command == ShowCommand::Normal && (minimized || maximized)) {
            minimized = maximized = false;
            Resized(800, 600);
        }
    }
    bool IsMinimized() override { return minimized; }
    bool IsMaximized() override { return maximized; }
    bool GetPlacement(WindowPlacement& out) override {
        if (placement) out = *placement;
        return placement.has_value();
    }
    void SetPlacement(const WindowPlacement& p) override { appliedPlacements.push_back(Logged("SetPlacement", p)); }
    void StartTimer(std::chrono::milliseconds period) override {
        m_log.push_back("StartTimer(" + std::to_string(period.count()) + ")");
    }
    void SendClose() override {
        ++sendCloses;
        if (window) window->OnClose();
    }
    void EndWindow() override { ++endWindows; }
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons) override {
        boxes.push_back({text, caption, buttons});
        Answer answer = answers.empty() ? Answer::Cancel : answers.front();
        if (!answers.empty()) answers.pop_front();
        return answer;
    }
    void RunUrlInputDialog() override { ++urlDialogRuns; }

    // A change of size or show state made by the user.
    void Resized(std::int32_t w, std::int32_t h) {
        if (window) window->OnSize(w, h);
    }

private:
    template <typename T>
    T Logged(const char* call, T value) {
        m_log.push_back(call);
        return value;
    }

    CallLog& m_log;
};

}  // namespace poremisu::test

#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/Text.h"
#include "ui/MainWindow.h"  // and with it every interface faked here
#include "ui/UrlInputDialog.h"

namespace poremisu::test {

// A u8 literal as the bytes of a UTF-8 program.
inline std::string U8(std::u8string_view text) { return std::string(Utf8(text)); }
inline const std::string kWord = U8(u8"ぽれみす");

// The calls the fakes received, in order, as short texts such as "Top(21)",
// so that an order across fakes can be checked.
using CallLog = std::vector<std::string>;

struct Logging {
    CallLog& log;
    void Log(std::string call, std::initializer_list<std::int64_t> args = {}) {
        for (std::int64_t a : args) call += (call.back() == '(' ? "" : ",") + std::to_string(a);
        log.push_back(args.size() ? call + ")" : call);
    }
};

class FakeBrowser : public CWebBrowser2, Logging {
public:
    explicit FakeBrowser(CallLog& log) : Logging{log} {}

    std::string locationName, locationUrl, path;
    std::vector<std::string> navigations, shownPages;
    std::int32_t top = -1, height = -1;

    void GoBack() override { Log("GoBack"); }
    void GoForward() override { Log("GoForward"); }
    void GoSearch() override { Log("GoSearch"); }
    void Quit() override { Log("Quit"); }
    void Navigate2(const std::string& to) override { navigations.push_back(to), Log("Navigate2(" + to + ")"); }
    void ShowPage(const std::string& html) override { shownPages.push_back(html), Log("ShowPage"); }
    void Refresh() override { Log("Refresh"); }
    void SetLeft(std::int32_t v) override { Log("Left(", {v}); }
    void SetTop(std::int32_t v) override { Log("Top(", {top = v}); }
    void SetWidth(std::int32_t v) override { Log("Width(", {v}); }
    void SetHeight(std::int32_t v) override { Log("Height(", {height = v}); }
    std::string GetLocationName() override { return locationName; }
    std::string GetLocationURL() override { return locationUrl; }
    std::string GetPath() override { return path; }
    void SetStatusBar(bool v) override { Log("StatusBar(", {v}); }
    void SetResizable(bool v) override { Log("Resizable(", {v}); }
};

// The toolkit window as the main window's logic sees it. Like the real ones it
// tells the window its size and show state at every show command, changed or
// not, and handles a close request before SendClose returns. It also stands
// for the address dialog, whose controls move as "Move(id,x,y,w,h)".
class FakeHost : public WindowHost, public BrowserMenu, public UrlInputDialogHost, Logging {
public:
    explicit FakeHost(CallLog& log) : Logging{log} {}
    using I = std::int32_t;

    MainWindow* window = nullptr;
    std::vector<std::string> titles, statusTexts, systemMenuItems, boxes;  // boxes: "text|caption"
    std::string addressBar;
    bool statusBarShown = true;  // the status window is created visible
    bool hasMenu = false, minimized = false, maximized = false, fullScreen = false;
    std::function<void()> whileBoxOpen;  // runs inside each box's loop
    std::optional<WindowPlacement> placement;  // what GetPlacement reads; none fails
    std::vector<WindowPlacement> appliedPlacements;
    Answer answer = Answer::Cancel;  // what every box answers
    std::map<int, std::string> dialogFields;
    std::vector<DialogResult> dialogEnds;

    void SetTitle(const std::string& title) override { titles.push_back(title); }
    std::string GetAddressBarText(std::size_t count) override { return CutToCount(addressBar, count); }
    void SetAddressBarText(const std::string& text) override { addressBar = text; }
    std::int32_t AddressBarCreatedHeight() override { return 21; }
    void MoveAddressBar(I x, I y, I w, I h) override { Log("MoveAddressBar(", {x, y, w, h}); }
    void FocusAddressBar() override { Log("FocusAddressBar"); }
    void CreateStatusBar() override { Log("CreateStatusBar"); }
    std::int32_t StatusBarHeight() override { return 19; }
    void ShowStatusBar(bool visible) override { Log("ShowStatusBar(", {statusBarShown = visible}); }
    void MoveStatusBar(I x, I y, I w, I h) override { Log("MoveStatusBar(", {x, y, w, h}); }
    void SetStatusText(const std::string& text) override { statusTexts.push_back(text); }
    void AttachMainMenu() override { hasMenu = true; }
    void DestroyMenu() override { hasMenu = false, Log("DestroyMenu"); }
    bool HasMainMenu() override { return hasMenu; }
    void SetFullScreen(bool on) override { fullScreen = on; }
    void AttachBrowserMenu() override { Log("AttachBrowserMenu"); }
    void AppendSystemMenuItems(const std::string& a, const std::string& b, const std::string& c) override {
        systemMenuItems = {a, b, c};
    }
    void SetIcon() override { Log("SetIcon"); }
    void Show(ShowCommand command) override {
        Log("Show");
        minimized = command == ShowCommand::Minimize || command == ShowCommand::ShowMinimized;
        if (minimized) window->OnSizeNotification(SizeKind::Minimized, 0, 0);
    }
    // As a toolkit that lays out in place: the same size told again.
    void RelayoutMainWindow() override {
        Log("Relayout"), minimized = maximized = false, window->OnSizeNotification(SizeKind::Restored, 800, 600);
    }
    void EndBoxes() override { Log("EndBoxes"); }
    bool IsMaximized() override { return maximized; }
    bool GetPlacement(WindowPlacement& out) override { return placement && (out = *placement, true); }
    void SetPlacement(const WindowPlacement& p) override { appliedPlacements.push_back(p); }
    std::vector<PixelRect> ScreenAreas() override { return {{0, 0, 1280, 1024}}; }
    PixelRect TemplateSize() override { return {0, 0, 320, 280}; }
    void StartTimer(std::chrono::milliseconds period) override { Log("StartTimer(", {period.count()}); }
    void SendClose() override { Log("SendClose"), window->OnClose(); }
    void EndWindow() override { Log("EndWindow"); }
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons) override {
        boxes.push_back(text + "|" + caption);
        if (whileBoxOpen) whileBoxOpen();
        return answer;
    }
    void RunUrlInputDialog() override {
        Log("RunUrlInputDialog");
        if (whileBoxOpen) whileBoxOpen();
    }
    void SetFieldText(int id, const std::string& text) override { dialogFields[id] = text; }
    std::string GetFieldText(int id, std::size_t count) override { return CutToCount(dialogFields[id], count); }
    void MoveDialog(I x, I y, I w, I h) override { Log("MoveDialog(", {x, y, w, h}); }
    void MoveControl(int id, I x, I y, I w, I h) override { Log("Move(", {id, x, y, w, h}); }
    void EndDialog(DialogResult result) override { dialogEnds.push_back(result); }
};

struct FakeProcessServices : ProcessServices {
    InstanceResult instance = InstanceResult::First;
    std::vector<std::string> instances, openedDocuments;  // the names and paths asked for
    int locksHeld = 0;
    bool handOffLockStuck = false;  // another start keeps the hand-off lock

    struct Lock : ScopedLock {
        explicit Lock(int& count) : held(++count) {}
        ~Lock() override { --held; }
        int& held;
    };
    InstanceResult AcquireInstance(const std::string& n, std::chrono::milliseconds) override {
        return instances.push_back(n), instance;
    }
    std::vector<std::string> handOffLocks;  // the names of the locks asked for
    std::unique_ptr<ScopedLock> LockHandOff(const std::string& name) override {
        handOffLocks.push_back(name);
        return handOffLockStuck ? nullptr : std::make_unique<Lock>(locksHeld);
    }
    bool opens = true;  // whether the desktop has an opener that works
    bool OpenDocument(const std::string& path) override { return openedDocuments.push_back(path), opens; }
};

struct FakeWindow {
    WindowId id;
    std::string title;
    bool program = false;        // a main window of this program
    bool goesOnRequest = false;  // destroyed by a close request
    bool silent = false;         // answers no request: each one waits out its bound
};

// The desktop's top-level windows, top of the stacking order first.
struct FakeWindowSystem : WindowSystem {
    std::vector<FakeWindow> windows;
    std::vector<WindowId> closeRequests, handOffs;
    std::function<void(WindowId)> onCloseRequest, onHandOff;  // run before the window reacts
    int unshownFor = 0;  // looks that find no window yet, as while a program opens its window

    const FakeWindow* Find(WindowId id) const {
        auto w = std::find_if(windows.begin(), windows.end(), [&](const FakeWindow& w) { return w.id == id; });
        return w == windows.end() ? nullptr : &*w;
    }

    std::vector<WindowId> TopLevelWindows() override {
        std::vector<WindowId> ids;
        if (unshownFor > 0 && unshownFor--) return ids;
        for (const FakeWindow& w : windows) ids.push_back(w.id);
        return ids;
    }
    bool Exists(WindowId id) override { return Find(id); }
    std::string Title(WindowId id, std::size_t count) override {
        return Find(id) ? CutToCount(Find(id)->title, count) : "";
    }
    bool IsProgramWindow(WindowId id, const std::string&) override { return Find(id) && Find(id)->program; }
    void RequestClose(WindowId id, std::chrono::milliseconds timeout) override {
        closeRequests.push_back(id);
        if (Find(id) && Find(id)->silent) std::this_thread::sleep_for(timeout);
        if (onCloseRequest) onCloseRequest(id);
        std::erase_if(windows, [&](const FakeWindow& w) { return w.id == id && w.goesOnRequest; });
    }
    bool SendHandOff(WindowId id, std::chrono::milliseconds) override {
        handOffs.push_back(id);
        if (onHandOff) onHandOff(id);
        return !(Find(id) && Find(id)->silent);
    }
};

}  // namespace poremisu::test

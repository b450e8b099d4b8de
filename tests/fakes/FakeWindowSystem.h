#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/Platform.h"
#include "app/Text.h"

namespace poremisu::test {

enum class OnCloseRequest { Stay, Destroy };

struct FakeWindow {
    WindowId id;
    std::string title;
    bool program = false;  // a main window of this program
    OnCloseRequest onClose = OnCloseRequest::Stay;
    bool exists = true;
};

// The desktop's top-level windows, top of the stacking order first.
class FakeWindowSystem : public WindowSystem {
public:
    std::vector<FakeWindow> windows;
    std::vector<WindowId> closeRequests, handOffs;
    std::vector<std::size_t> titleCounts;
    std::function<void(WindowId)> onCloseRequest, onHandOff;  // run before the window reacts

    void Add(WindowId id, std::string title, bool program = false,
             OnCloseRequest onClose = OnCloseRequest::Stay) {
        windows.push_back({id, std::move(title), program, onClose, true});
    }

    std::vector<WindowId> TopLevelWindows() override {
        std::vector<WindowId> ids;
        for (const FakeWindow& w : windows) {
            if (w.exists) ids.push_back(w.id);
        }
        return ids;
    }
    bool Exists(WindowId id) override { return Find(id) != nullptr; }
    std::string Title(WindowId id, std::size_t count) override {
        titleCounts.push_back(count);
        FakeWindow* w = Find(id);
        return w ? CutToCount(w->title, count) : std::string();
    }
    bool IsProgramWindow(WindowId id) override {
        FakeWindow* w = Find(id);
        return w && w->program;
    }
    void RequestClose(WindowId id, std::chrono::milliseconds) override {
        closeRequests.push_back(id);
        if (onCloseRequest) onCloseRequest(id);
        if (FakeWindow* w = Find(id); w && w->onClose == OnCloseRequest::Destroy) w->exists = false;
    }
    bool SendHandOff(WindowId id, std::chrono::milliseconds) override {
        handOffs.push_back(id);
        if (onHandOff) onHandOff(id);
        return true;
    }

private:
    FakeWindow* Find(WindowId id) {
        for (FakeWindow& w : windows) {
            if (w.id == id && w.exists) return &w;
        }
        return nullptr;
    }
};

}  // namespace poremisu::test

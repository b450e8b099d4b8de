// Closing the window stores its placement in "win"; the next start puts the
// window back where it was, with or without a window manager.

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "e2e/Harness.h"

namespace poremisu::e2e {
namespace {

constexpr int kSlack = 4;  // pixels

std::optional<std::vector<int>> ParsePlacement(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    std::vector<int> fields(10);
    int count = std::sscanf(value->c_str(), "%d:%d:%d:%d:%d:%d:%d:%d:%d:%d", &fields[0], &fields[1], &fields[2],
                            &fields[3], &fields[4], &fields[5], &fields[6], &fields[7], &fields[8], &fields[9]);
    if (count != 10) return std::nullopt;
    return fields;
}

bool Near(int a, int b) { return std::abs(a - b) <= kSlack; }

std::string Describe(const Rect& r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height) + "+" + std::to_string(r.x) + "+" +
           std::to_string(r.y);
}

struct PlacementCase {
    WindowManager manager;
    // Without a window manager the client area is the whole window, so the
    // stored rectangle can be checked against it directly.
    bool clientIsWindow;
};

class PlacementTest : public ProgramTest, public ::testing::WithParamInterface<PlacementCase> {
protected:
    PlacementTest() : ProgramTest(GetParam().manager) {}

    // Starts the program on the page and waits for its window to show it.
    XWindow StartShown(const std::string& url, Process*& program) {
        program = &Start({url});
        XWindow window = WaitForWindow();
        if (window && !WaitForTitle(window, BareTitle("Placement"))) return 0;
        return window;
    }

    // Closes as the close button does and returns the stored placement.
    std::optional<std::vector<int>> CloseAndReadPlacement(Process& program, XWindow window) {
        SendDeleteWindow(X(), window);
        std::optional<int> status = program.WaitExit(15s);
        EXPECT_EQ(status, 0) << "the program did not end after the close request\n" << Logs();
        return ParsePlacement(SettingsValue("win"));
    }
};

TEST_P(PlacementTest, CloseStoresThePlacementAndTheNextStartRestoresIt) {
    std::string url = WritePage("place.htm", "Placement");
    Process* program = nullptr;
    XWindow window = StartShown(url, program);
    ASSERT_NE(window, 0u);

    const Rect wanted{40, 60, 640, 480};
    MoveResize(X(), window, wanted);
    Rect moved;
    ASSERT_TRUE(WaitUntil(10s, [&] {
        moved = ClientRect(X(), window);
        return moved.width == wanted.width && moved.height == wanted.height;
    })) << "the window did not take the size it was given: " << Describe(moved);

    std::optional<std::vector<int>> stored = CloseAndReadPlacement(*program, window);
    ASSERT_TRUE(stored) << "no ten-field \"win\" in:\n" << Settings();
    const std::vector<int>& win = *stored;
    if (GetParam().clientIsWindow) {
        EXPECT_TRUE(Near(win[6], moved.x) && Near(win[7], moved.y) && Near(win[8] - win[6], moved.width) &&
                    Near(win[9] - win[7], moved.height))
            << "stored " << *SettingsValue("win") << " for a window at " << Describe(moved);
    }

    window = StartShown(url, program);
    ASSERT_NE(window, 0u);
    Rect restored;
    bool placed = WaitUntil(10s, [&] {
        restored = ClientRect(X(), window);
        return Near(restored.x, moved.x) && Near(restored.y, moved.y) && Near(restored.width, moved.width) &&
               Near(restored.height, moved.height);
    });
    EXPECT_TRUE(placed) << "restored at " << Describe(restored) << ", closed at " << Describe(moved);

    // Closing the restored window stores the same placement: nothing drifts
    // by the frame's size from one start to the next.
    std::optional<std::vector<int>> again = CloseAndReadPlacement(*program, window);
    ASSERT_TRUE(again) << Settings();
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Near((*again)[i], win[i])) << "field " << i << ": " << (*again)[i] << " after " << win[i];
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, PlacementTest,
                         ::testing::Values(PlacementCase{WindowManager::Off, true},
                                           PlacementCase{WindowManager::Openbox, false}),
                         [](const auto& info) {
                             return info.param.manager == WindowManager::Off ? "NoManager" : "Openbox";
                         });

}  // namespace
}  // namespace poremisu::e2e

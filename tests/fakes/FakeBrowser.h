#pragma once

#include <functional>
#include <string>
#include <vector>

#include "browser/CWebBrowser2.h"
#include "fakes/CallLog.h"

namespace poremisu::test {

class FakeBrowser : public CWebBrowser2 {
public:
    explicit FakeBrowser(CallLog& log) : m_log(log) {}

    std::string locationName, locationUrl, path;
    std::vector<std::string> navigations;
    std::int32_t left = -1, top = -1, width = -1, height = -1;
    int backs = 0, forwards = 0, searches = 0, quits = 0;
    bool statusBar = false, resizable = false;

    void GoBack() override { ++backs; m_log.push_back("GoBack"); }
    void GoForward() override { ++forwards; m_log.push_back("GoForward"); }
    void GoSearch() override { ++searches; m_log.push_back("GoSearch"); }
    void Quit() override { ++quits; m_log.push_back("Quit"); }
    void Navigate2(const std::string& address) override {
        navigations.push_back(address);
        m_log.push_back("Navigate2(" + address + ")");
    }
    void SetLeft(std::int32_t v) override { left = v; m_log.push_back("Left(" + std::to_string(v) + ")"); }
    void SetTop(std::int32_t v) override { top = v; m_log.push_back("Top(" + std::to_string(v) + ")"); }
    void SetWidth(std::int32_t v) override { width = v; m_log.push_back("Width(" + std::to_string(v) + ")"); }
    void SetHeight(std::int32_t v) override { height = v; m_log.push_back("Height(" + std::to_string(v) + ")"); }
    std::string GetLocationName() override { return locationName; }
    std::string GetLocationURL() override { return locationUrl; }
    std::string GetPath() override { return path; }
    void SetStatusBar(bool v) override { statusBar = v; m_log.push_back(v ? "StatusBar(1)" : "StatusBar(0)"); }
    void SetResizable(bool v) override { resizable = v; m_log.push_back(v ? "Resizable(1)" : "Resizable(0)"); }

private:
    CallLog& m_log;
};

}  // namespace poremisu::test

#include "app/Settings.h"

#include "app/Placement.h"

namespace poremisu {

namespace {
constexpr std::string_view kSection = "setting";
constexpr std::string_view kNewUrl = "newurl";
constexpr std::string_view kWin = "win";
}  // namespace

std::string Settings::ReadNewUrl() {
    return m_profiles.Read(m_state.settingsPath, kSection, kNewUrl, "", kScratchSize);
}

bool Settings::WriteNewUrl(std::string_view argumentText, std::string* reason) {
    return m_profiles.Write(m_state.settingsPath, kSection, kNewUrl, argumentText, reason);
}

std::optional<WindowPlacement> Settings::ReadPlacement() {
    std::string text = m_profiles.Read(m_state.settingsPath, kSection, kWin, "", kPlacementSize);
    if (text.empty()) return std::nullopt;
    return ParsePlacement(text);
}

void Settings::SavePlacement(const WindowPlacement& placement) {
    m_profiles.Write(m_state.settingsPath, kSection, kWin, FormatPlacement(placement));
}

}  // namespace poremisu

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/AppState.h"
#include "app/Placement.h"
#include "app/Platform.h"

namespace poremisu {

// The two keys of section "setting" of the settings file.
class Settings {
public:
    Settings(const AppState& state, ProfileStore& profiles) : m_state(state), m_profiles(profiles) {}

    // The address handed over by the latest later start, quotes removed.
    std::string ReadNewUrl();
    // False, with the system's reason, when the value could not be stored.
    bool WriteNewUrl(std::string_view argumentText, std::string* reason = nullptr);

    // The stored placement, when "win" holds all ten fields.
    std::optional<WindowPlacement> ReadPlacement();
    void SavePlacement(const WindowPlacement& placement);

private:
    const AppState& m_state;
    ProfileStore& m_profiles;
};

}  // namespace poremisu

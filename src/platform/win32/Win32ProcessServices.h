#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "app/Platform.h"

namespace poremisu {

// How long a later start waits for an earlier one to finish its hand-off.
inline constexpr std::chrono::milliseconds kHandOffLockWait{10000};

// Named mutexes for the single instance and the hand-off, and the shell's
// "open" verb.
class Win32ProcessServices : public ProcessServices {
public:
    Win32ProcessServices() = default;
    ~Win32ProcessServices() override;
    Win32ProcessServices(const Win32ProcessServices&) = delete;
    Win32ProcessServices& operator=(const Win32ProcessServices&) = delete;

    InstanceResult AcquireInstance(const std::string& name,
                                   std::chrono::milliseconds wait = std::chrono::milliseconds{0}) override;
    std::unique_ptr<ScopedLock> LockHandOff(const std::string& name) override;
    bool OpenDocument(const std::string& path) override;

private:
    void* m_instanceMutex = nullptr;  // held until the process ends
};

}  // namespace poremisu

#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/Platform.h"

namespace poremisu {

// Single-instance and hand-off locks as flock()ed files in the user's runtime
// folder, and the desktop's opener for documents.
class PosixProcessServices : public ProcessServices {
public:
    static constexpr std::chrono::milliseconds kHandOffWait{10000};

    // `handOffWait` bounds the wait for a hand-off lock that another start
    // holds; past it the hand-off lock is not had.
    explicit PosixProcessServices(std::chrono::milliseconds handOffWait = kHandOffWait)
        : m_handOffWait(handOffWait) {}
    ~PosixProcessServices() override;
    PosixProcessServices(const PosixProcessServices&) = delete;
    PosixProcessServices& operator=(const PosixProcessServices&) = delete;

    InstanceResult AcquireInstance(const std::string& name,
                                   std::chrono::milliseconds wait = std::chrono::milliseconds{0}) override;
    std::unique_ptr<ScopedLock> LockHandOff(const std::string& name) override;
    bool OpenDocument(const std::string& path) override;

    // The lock file of a name and suffix: "<folder>/<name>-<uid><suffix>"; empty
    // when no folder is safe for it.
    static std::string LockPath(const std::string& name, const std::string& suffix);

private:
    std::chrono::milliseconds m_handOffWait;
    std::vector<int> m_instanceLocks;
};

}  // namespace poremisu

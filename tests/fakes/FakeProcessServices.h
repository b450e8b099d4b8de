#pragma once

#include <string>
#include <vector>

#include "app/Platform.h"

namespace poremisu::test {

class FakeProcessServices : public ProcessServices {
public:
    InstanceResult instance = InstanceResult::First;
    std::vector<std::string> instanceNames, handOffLocks, openedDocuments;
    int locksHeld = 0;

    InstanceResult AcquireInstance(const std::string& name) override {
        instanceNames.push_back(name);
        return instance;
    }
    std::unique_ptr<ScopedLock> LockHandOff(const std::string& name) override {
        handOffLocks.push_back(name);
        return std::make_unique<Lock>(locksHeld);
    }
    void OpenDocument(const std::string& path) override { openedDocuments.push_back(path); }

private:
    struct Lock : ScopedLock {
        explicit Lock(int& held) : held(held) { ++held; }
        ~Lock() override { --held; }
        int& held;
    };
};

}  // namespace poremisu::test

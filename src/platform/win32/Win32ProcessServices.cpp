#include "platform/win32/Win32Api.h"

#include "platform/win32/Win32ProcessServices.h"

namespace poremisu {

namespace {

class MutexLock : public ScopedLock {
public:
    MutexLock(HANDLE mutex, bool owned) : m_mutex(mutex), m_owned(owned) {}
    ~MutexLock() override {
        if (m_owned) ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    HANDLE m_mutex;
    bool m_owned;
};

DWORD Milliseconds(std::chrono::milliseconds wait) {
    if (wait.count() <= 0) return 0;
    return wait.count() >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(wait.count());
}

}  // namespace

Win32ProcessServices::~Win32ProcessServices() {
    if (m_instanceMutex) CloseHandle(m_instanceMutex);
}

InstanceResult Win32ProcessServices::AcquireInstance(const std::string& name, std::chrono::milliseconds wait) {
    if (!m_instanceMutex) {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
        DWORD error = GetLastError();
        if (!mutex) return InstanceResult::First;
        m_instanceMutex = mutex;
        if (error != ERROR_ALREADY_EXISTS) return InstanceResult::First;
    }
    // The instance is the mutex's owner: an owner that has ended leaves it
    // abandoned, and this process takes it over.
    DWORD result = WaitForSingleObject(static_cast<HANDLE>(m_instanceMutex), Milliseconds(wait));
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED ? InstanceResult::First
                                                                : InstanceResult::AlreadyExists;
}

std::unique_ptr<ScopedLock> Win32ProcessServices::LockHandOff(const std::string& name) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, (name + ".handoff").c_str());
    if (!mutex) return nullptr;
    // Bounded: a start that hangs while holding it must not stop every later
    // one; past the bound the lock is not had.
    DWORD wait = WaitForSingleObject(mutex, static_cast<DWORD>(kHandOffLockWait.count()));
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return nullptr;
    }
    return std::make_unique<MutexLock>(mutex, true);
}

bool Win32ProcessServices::OpenDocument(const std::string& path) {
    // Above 32 is success; the value is a handle only in name.
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_HIDE)) > 32;
}

}  // namespace poremisu

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

class NoLock : public ScopedLock {};

}  // namespace

Win32ProcessServices::~Win32ProcessServices() {
    if (m_instanceMutex) CloseHandle(m_instanceMutex);
}

InstanceResult Win32ProcessServices::AcquireInstance(const std::string& name) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    DWORD error = GetLastError();
    if (!mutex) return InstanceResult::First;
    if (m_instanceMutex) CloseHandle(m_instanceMutex);
    m_instanceMutex = mutex;
    return error == ERROR_ALREADY_EXISTS ? InstanceResult::AlreadyExists : InstanceResult::First;
}

std::unique_ptr<ScopedLock> Win32ProcessServices::LockHandOff(const std::string& name) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, (name + ".handoff").c_str());
    if (!mutex) return std::make_unique<NoLock>();
    // Bounded: a start that hangs while holding it must not stop every later one.
    DWORD wait = WaitForSingleObject(mutex, static_cast<DWORD>(kHandOffLockWait.count()));
    bool owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return std::make_unique<MutexLock>(mutex, owned);
}

bool Win32ProcessServices::OpenDocument(const std::string& path) {
    // Above 32 is success; the value is a handle only in name.
    return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_HIDE)) > 32;
}

}  // namespace poremisu

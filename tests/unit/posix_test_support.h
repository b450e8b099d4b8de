#pragma once

// Bounded child processes for the tests of the POSIX and X11 services; their waits are the
// end-to-end helpers' (e2e::WaitUntil), which these tests link too.

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <optional>

#include "e2e/PrivateX.h"
#include "fakes/Rig.h"

namespace poremisu::testing {

using namespace std::chrono_literals;

// Root reads and writes whatever a file's mode says: a child that tests the modes gives it up first.
inline bool GiveUpRoot() {
    return ::getuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
}

// A child process running `body`, its result the exit code (an exception
// ends it by a signal). It is asked to end (SIGTERM, then SIGKILL) at the
// latest when the object goes.
class Child {
public:
    explicit Child(const std::function<int()>& body) : m_pid(::fork()) {
        if (m_pid == 0) ::_exit(body());
    }
    ~Child() {
        if (m_pid > 0) ::kill(m_pid, SIGTERM);
        Wait(3s);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The exit code, or nullopt when the child died of a signal or did not
    // end in time (it is then killed).
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        if (m_pid <= 0) return std::nullopt;
        int status = 0;
        pid_t done = 0;
        if (!e2e::WaitUntil(timeout, [&] { return (done = ::waitpid(m_pid, &status, WNOHANG)) != 0; })) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
        return done > 0 && WIFEXITED(status) ? std::optional<int>(WEXITSTATUS(status)) : std::nullopt;
    }

private:
    pid_t m_pid;
};

}  // namespace poremisu::testing

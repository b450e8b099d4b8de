#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "platform/posix/PosixProcessServices.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using testing::EnvGuard;
using testing::ReadWholeFile;
using testing::RunInChild;
using testing::ScratchDir;
using testing::WriteWholeFile;

// The processes whose parent is this one, running or dead, found in /proc.
std::set<pid_t> ChildrenOfThisProcess() {
    std::set<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string stat = ReadWholeFile(entry.path().string() + "/stat");
        // "pid (command) state ppid ...": the command may hold blanks and parentheses.
        std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == ::getpid()) children.insert(std::stoi(name));
    }
    return children;
}

class ProcessServicesTest : public ::testing::Test {
protected:
    ScratchDir m_runtime;
    EnvGuard m_runtimeDir{"XDG_RUNTIME_DIR", m_runtime.Path()};
};

TEST_F(ProcessServicesTest, InstanceLockAcrossProcesses) {
    PosixProcessServices first;
    ASSERT_EQ(first.AcquireInstance("poremisu"), InstanceResult::First);
    auto acquire = [](std::string name) {
        return
            [name] { return PosixProcessServices().AcquireInstance(name) == InstanceResult::First ? 0 : 1; };
    };
    EXPECT_EQ(RunInChild(acquire("poremisu"), 5s), 1) << "a later start must see the running one";
    EXPECT_EQ(RunInChild(acquire("other"), 5s), 0) << "another program name is another instance";

    // The lock goes with its process, however that ends.
    {
        Child holder([] {
            PosixProcessServices services;
            if (services.AcquireInstance("held") != InstanceResult::First) return 1;
            ::pause();
            return 0;
        });
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(first.AcquireInstance("held"), InstanceResult::AlreadyExists);
    }  // killed here
    EXPECT_EQ(first.AcquireInstance("held"), InstanceResult::First);
}

TEST_F(ProcessServicesTest, LockFileNamesStayInTheFolder) {
    std::string suffix = "-" + std::to_string(::getuid()) + ".lock";
    const std::pair<std::string, std::string> cases[] = {
        {"poremisu", "poremisu"},
        {"../../etc/passwd", ".._.._etc_passwd"},
        {"ぽれみす", "____________"},
        {"..", "_.."},
        {"", "_"},
    };
    for (const auto& [name, sanitized] : cases) {
        EXPECT_EQ(PosixProcessServices::LockPath(name, ".lock"), m_runtime.Path() + "/" + sanitized + suffix);
    }
    PosixProcessServices services;
    EXPECT_EQ(services.AcquireInstance("a/b"), InstanceResult::First);
    struct stat info {};
    EXPECT_EQ(::stat((m_runtime / ("a_b" + suffix)).c_str(), &info), 0);
}

TEST_F(ProcessServicesTest, HandOffLockWaitsForTheHolderWithinItsBound) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    Child holder([&] {
        PosixProcessServices services;
        auto lock = services.LockHandOff("poremisu");
        char byte = 1;
        if (::write(ready[1], &byte, 1) != 1) return 1;
        std::this_thread::sleep_for(400ms);
        return 0;
    });
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);

    PosixProcessServices services(5s);
    auto start = std::chrono::steady_clock::now();
    auto lock = services.LockHandOff("poremisu");
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 250ms) << "the lock was not held against us";
    EXPECT_LT(waited, 3s);
    ASSERT_TRUE(lock);
    EXPECT_EQ(holder.Wait(5s), 0);

    // A holder that never lets go delays the next start only by the bound.
    Child stuck([&] {
        PosixProcessServices services;
        auto lock = services.LockHandOff("stuck");
        ::pause();
        return 0;
    });
    std::this_thread::sleep_for(200ms);
    PosixProcessServices impatient(300ms);
    start = std::chrono::steady_clock::now();
    auto unlocked = impatient.LockHandOff("stuck");
    waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(unlocked);
    EXPECT_GE(waited, 280ms);
    EXPECT_LT(waited, 2s);
}

// The opener found in PATH gets the path as one argument, and the call
// neither waits for it nor leaves a child behind.
TEST_F(ProcessServicesTest, OpenDocumentStartsTheDesktopOpener) {
    struct Case {
        const char* name;
        bool xdgOpen;
        bool gio;
        const char* expected;  // the arguments the opener received, one a line
    };
    const Case cases[] = {
        {"xdg-open", true, true, "/a dir/read me.txt\n"},
        {"gio", false, true, "open\n/a dir/read me.txt\n"},
        {"none", false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir bin;
        std::string out = bin / "args";
        auto install = [&](const char* program) {
            // Sleeps first, so that a caller that waits for it is caught.
            std::string script =
                "#!/bin/sh\nPATH=/usr/bin:/bin\nsleep 1\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > "
                "'" +
                out + ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n";
            WriteWholeFile(bin / program, script);
            ::chmod((bin / program).c_str(), 0755);
        };
        if (c.xdgOpen) install("xdg-open");
        if (c.gio) install("gio");
        EnvGuard path("PATH", bin.Path());

        PosixProcessServices services;
        std::set<pid_t> before = ChildrenOfThisProcess();
        auto start = std::chrono::steady_clock::now();
        services.OpenDocument("/a dir/read me.txt");
        EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
        // No child of ours is left, running or dead.
        EXPECT_EQ(ChildrenOfThisProcess(), before);

        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (*c.expected && !std::filesystem::exists(out) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(20ms);
        }
        if (!*c.expected) std::this_thread::sleep_for(1500ms);
        EXPECT_EQ(ReadWholeFile(out), c.expected);
    }
}

}  // namespace
}  // namespace poremisu

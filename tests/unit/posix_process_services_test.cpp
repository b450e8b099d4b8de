#include <gtest/gtest.h>

#include "platform/posix/PosixProcessServices.h"
#include "posix_test_support.h"

namespace poremisu {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using testing::RunInChild;

class ProcessServicesTest : public ::testing::Test {
protected:
    test::TempDir m_runtime;
    test::ScopedEnvironment m_runtimeDir{"XDG_RUNTIME_DIR", m_runtime.Path()};
};

TEST_F(ProcessServicesTest, InstanceLockAcrossProcessesGoesWithItsHolder) {
    PosixProcessServices first;
    ASSERT_EQ(first.AcquireInstance("poremisu"), InstanceResult::First);
    auto acquire = [](std::string name) {
        return [name] {
            return PosixProcessServices().AcquireInstance(name) == InstanceResult::First ? 0 : 1;
        };
    };
    EXPECT_EQ(RunInChild(acquire("poremisu"), 5s), 1) << "a later start sees the running one";
    EXPECT_EQ(RunInChild(acquire("other"), 5s), 0) << "another name is another instance";
    {
        Child holder([] {
            PosixProcessServices services;
            if (services.AcquireInstance("held") == InstanceResult::First) ::pause();
            return 1;
        });
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(first.AcquireInstance("held"), InstanceResult::AlreadyExists);
    }  // killed here
    EXPECT_EQ(first.AcquireInstance("held"), InstanceResult::First);
    {
        Child ending([] {
            PosixProcessServices services;
            services.AcquireInstance("ending");
            std::this_thread::sleep_for(400ms);
            return 0;
        });
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(first.AcquireInstance("ending", 3s), InstanceResult::First) << "a holder ending within the wait";
    }
    // A name never leads out of the folder.
    std::string suffix = "-" + std::to_string(::getuid()) + ".lock";
    EXPECT_EQ(PosixProcessServices::LockPath("../../etc/passwd", ".lock"),
              m_runtime / (".._.._etc_passwd" + suffix));
    EXPECT_EQ(PosixProcessServices::LockPath("..", ".lock"), m_runtime / ("_.." + suffix));
}

TEST_F(ProcessServicesTest, HandOffLockWaitsForTheHolderWithinItsBound) {
    struct Case { std::chrono::milliseconds hold, bound, least, most; };
    // A holder that lets go after 400 ms, and one that never does: the next
    // start waits for the first and only as long as its bound for the second,
    // and then has no lock.
    for (const Case& c : {Case{400ms, 5s, 250ms, 3s}, Case{1h, 300ms, 280ms, 2s}}) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        Child holder([&] {
            auto lock = PosixProcessServices().LockHandOff("poremisu");
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) return 1;
            std::this_thread::sleep_for(c.hold);
            return 0;
        });
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        auto start = std::chrono::steady_clock::now();
        auto lock = PosixProcessServices(c.bound).LockHandOff("poremisu");
        auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(lock != nullptr, c.hold < c.bound);
        EXPECT_GE(waited, c.least);
        EXPECT_LT(waited, c.most);
    }
}

}  // namespace
}  // namespace poremisu

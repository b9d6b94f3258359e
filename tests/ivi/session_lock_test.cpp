#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ivi/iviss.h"
#include "tests/ivi/session_fixture.h"

namespace {

class IviSessionLock : public IviSessionTest {};

TEST_F(IviSessionLock, IsRecursiveForItsOwner) {
    ASSERT_EQ(IviSession_Lock(vi_, nullptr), VI_SUCCESS);
    ASSERT_EQ(IviSession_Lock(vi_, nullptr), VI_SUCCESS);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), VI_SUCCESS);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), VI_SUCCESS);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), IVISESSION_ERROR_NOT_LOCKED);
}

TEST_F(IviSessionLock, OnlyTheOwnerMayUnlock) {
    ASSERT_EQ(IviSession_Lock(vi_, nullptr), VI_SUCCESS);
    ViStatus fromOther = VI_SUCCESS;
    std::thread other([&] { fromOther = IviSession_Unlock(vi_, nullptr); });
    other.join();
    EXPECT_EQ(fromOther, IVISESSION_ERROR_NOT_LOCKED);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), VI_SUCCESS);
}

TEST_F(IviSessionLock, CallerHasLockSkipsRepeatedLock) {
    ViBoolean hasLock = VI_FALSE;
    ASSERT_EQ(IviSession_Lock(vi_, &hasLock), VI_SUCCESS);
    EXPECT_EQ(hasLock, VI_TRUE);
    ASSERT_EQ(IviSession_Lock(vi_, &hasLock), VI_SUCCESS);  // already held: no second level
    EXPECT_EQ(hasLock, VI_TRUE);
    ASSERT_EQ(IviSession_Unlock(vi_, &hasLock), VI_SUCCESS);
    EXPECT_EQ(hasLock, VI_FALSE);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), IVISESSION_ERROR_NOT_LOCKED) << "one unlock released it";
}

TEST_F(IviSessionLock, CallerWithoutLockSkipsUnlock) {
    ASSERT_EQ(IviSession_Lock(vi_, nullptr), VI_SUCCESS);
    ViBoolean hasLock = VI_FALSE;
    ASSERT_EQ(IviSession_Unlock(vi_, &hasLock), VI_SUCCESS);
    EXPECT_EQ(hasLock, VI_FALSE);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), VI_SUCCESS) << "the lock was still held";
}

TEST_F(IviSessionLock, NestedHelpersShareOneLockLevel) {
    // The usual pattern: an outer function locks, inner ones pass the flag on.
    ViBoolean hasLock = VI_FALSE;
    ASSERT_EQ(IviSession_Lock(vi_, &hasLock), VI_SUCCESS);
    ViBoolean innerHasLock = VI_FALSE;
    ASSERT_EQ(IviSession_Lock(vi_, &innerHasLock), VI_SUCCESS);  // recursive second level
    EXPECT_EQ(innerHasLock, VI_TRUE);
    ASSERT_EQ(IviSession_Unlock(vi_, &innerHasLock), VI_SUCCESS);
    ASSERT_EQ(IviSession_Unlock(vi_, &hasLock), VI_SUCCESS);
    EXPECT_EQ(IviSession_Unlock(vi_, nullptr), IVISESSION_ERROR_NOT_LOCKED);
}

TEST_F(IviSessionLock, ExcludesOtherThreads) {
    constexpr int kThreads = 4, kRounds = 500;
    long counter = 0;  // deliberately unsynchronized except by the session lock
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                ViBoolean hasLock = VI_FALSE;
                if (IviSession_Lock(vi_, &hasLock) != VI_SUCCESS) ++failures;
                long seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                if (IviSession_Unlock(vi_, &hasLock) != VI_SUCCESS) ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(counter, kThreads * kRounds);
}

TEST(IviSessionLockDispose, DisposeWhileAnotherThreadHoldsTheLock) {
    ViSession vi;
    ASSERT_EQ(IviSession_New(&vi), VI_SUCCESS);
    std::atomic<bool> locked{false}, disposed{false};
    ViStatus unlockStatus = VI_SUCCESS;
    std::thread holder([&] {
        IviSession_Lock(vi, nullptr);
        locked = true;
        while (!disposed) std::this_thread::yield();
        unlockStatus = IviSession_Unlock(vi, nullptr);
    });
    while (!locked) std::this_thread::yield();

    // A third thread waiting for the lock is released by the dispose.
    ViStatus waiterStatus = VI_SUCCESS;
    std::thread waiter([&] { waiterStatus = IviSession_Lock(vi, nullptr); });

    EXPECT_EQ(IviSession_Dispose(vi), VI_SUCCESS);
    disposed = true;
    holder.join();
    waiter.join();
    EXPECT_EQ(unlockStatus, IVISESSION_ERROR_INVALID_SESSION);
    EXPECT_EQ(waiterStatus, IVISESSION_ERROR_INVALID_SESSION);
}

}  // namespace

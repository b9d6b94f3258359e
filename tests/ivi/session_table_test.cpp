#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "platform/ivi/iviss.h"

namespace {

TEST(IviSessionTable, NewIssuesDistinctNonZeroHandles) {
    ViSession first = VI_NULL, second = VI_NULL;
    ASSERT_EQ(IviSession_New(&first), VI_SUCCESS);
    ASSERT_EQ(IviSession_New(&second), VI_SUCCESS);
    EXPECT_NE(first, static_cast<ViSession>(VI_NULL));
    EXPECT_NE(second, static_cast<ViSession>(VI_NULL));
    EXPECT_NE(first, second);
    EXPECT_EQ(IviSession_Dispose(first), VI_SUCCESS);
    EXPECT_EQ(IviSession_Dispose(second), VI_SUCCESS);
}

TEST(IviSessionTable, NewRejectsNullOutput) { EXPECT_EQ(IviSession_New(nullptr), IVISESSION_ERROR_NULL_POINTER); }

TEST(IviSessionTable, DataPointerIsKeptPerSession) {
    int firstObject = 0, secondObject = 0;
    ViSession first, second;
    ASSERT_EQ(IviSession_New(&first), VI_SUCCESS);
    ASSERT_EQ(IviSession_New(&second), VI_SUCCESS);

    ViAddr data = &firstObject;
    ASSERT_EQ(IviSession_GetDataPtr(first, &data), VI_SUCCESS);
    EXPECT_EQ(data, nullptr) << "a new session starts without data";

    ASSERT_EQ(IviSession_SetDataPtr(first, &firstObject), VI_SUCCESS);
    ASSERT_EQ(IviSession_SetDataPtr(second, &secondObject), VI_SUCCESS);
    ASSERT_EQ(IviSession_GetDataPtr(first, &data), VI_SUCCESS);
    EXPECT_EQ(data, &firstObject);
    ASSERT_EQ(IviSession_GetDataPtr(second, &data), VI_SUCCESS);
    EXPECT_EQ(data, &secondObject);

    EXPECT_EQ(IviSession_GetDataPtr(first, nullptr), IVISESSION_ERROR_NULL_POINTER);
    IviSession_Dispose(first);
    IviSession_Dispose(second);
}

// Every entry point that takes a session refuses handles it never issued and
// handles already disposed, and a disposed handle is never issued again.
TEST(IviSessionTable, UnknownAndClosedHandlesAreRejectedEverywhere) {
    ViSession closed;
    ASSERT_EQ(IviSession_New(&closed), VI_SUCCESS);
    ASSERT_EQ(IviSession_Dispose(closed), VI_SUCCESS);

    std::vector<ViSession> reissued(64);
    for (ViSession& handle : reissued) {
        ASSERT_EQ(IviSession_New(&handle), VI_SUCCESS);
        EXPECT_NE(handle, closed);
    }

    for (ViSession bad : {closed, static_cast<ViSession>(0xDEADBEEF)}) {
        SCOPED_TRACE(bad);
        ViAddr data = nullptr;
        ViBoolean hasLock = VI_FALSE;
        ViStatus code = 0;
        ViChar text[8];
        EXPECT_EQ(IviSession_Dispose(bad), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_SetDataPtr(bad, &data), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_GetDataPtr(bad, &data), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_Lock(bad, &hasLock), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(hasLock, VI_FALSE);
        EXPECT_EQ(IviSession_Lock(bad, nullptr), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_Unlock(bad, nullptr), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_SetError(bad, 1, "x"), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_GetError(bad, sizeof text, &code, text), IVISESSION_ERROR_INVALID_SESSION);
        EXPECT_EQ(IviSession_ClearError(bad), IVISESSION_ERROR_INVALID_SESSION);
    }
    for (ViSession handle : reissued) IviSession_Dispose(handle);
}

// Threads create, use and dispose sessions at the same time; every handle
// must be unique and keep its own data pointer.
TEST(IviSessionTable, ConcurrentNewAndDisposeKeepSessionsApart) {
    constexpr int kThreads = 8, kRounds = 200;
    std::vector<std::vector<ViSession>> issued(kThreads);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            int marker = t;
            for (int round = 0; round < kRounds; ++round) {
                ViSession vi;
                if (IviSession_New(&vi) != VI_SUCCESS) {
                    ++mismatches;
                    continue;
                }
                issued[t].push_back(vi);
                IviSession_SetDataPtr(vi, &marker);
                IviSession_SetError(vi, t, "thread");
                ViAddr data = nullptr;
                ViStatus code = -1;
                if (IviSession_GetDataPtr(vi, &data) != VI_SUCCESS || data != &marker) ++mismatches;
                if (IviSession_GetError(vi, 0, &code, nullptr) != 7 || code != t) ++mismatches;
                if (IviSession_Dispose(vi) != VI_SUCCESS) ++mismatches;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);

    std::set<ViSession> unique;
    for (const auto& handles : issued) unique.insert(handles.begin(), handles.end());
    EXPECT_EQ(unique.size(), static_cast<size_t>(kThreads * kRounds));
}

}  // namespace

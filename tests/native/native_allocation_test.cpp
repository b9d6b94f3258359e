// Array reads into a caller's buffer allocate nothing, once the thread's
// first read has set up what it keeps; reads into a vector allocate it.
// Counts the calling thread's operator new in this test program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <span>
#include <vector>

#include "tests/support/test_support.h"
#include "zentrava/driver.hpp"

namespace {
thread_local long allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(NativeAllocation, ReadsIntoTheCallersBufferAllocateNothing) {
    ztv::test::IsolatedEnvironment environment;
    zentrava::Driver driver("", {.id_query = false, .simulate = true});
    const auto data = driver.application().phase_noise().measurements()[1].data();
    std::vector<double> buffer(4096);
    const std::size_t length = data.get_formatted(std::span<double>(buffer));
    ASSERT_GT(length, 0u);

    const long before = allocations;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(data.get_formatted(std::span<double>(buffer)), length);
    EXPECT_EQ(allocations - before, 0);

    const long beforeVectors = allocations;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(data.get_formatted().size(), length);
    EXPECT_GE(allocations - beforeVectors, 10);
}

}  // namespace

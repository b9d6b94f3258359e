// Sessions and error records for the tests of the IVI-C face.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/support/test_support.h"
#include "zentrava/Zentrava.h"

namespace ztv::test {

constexpr ViStatus kGenericFailure = static_cast<ViStatus>(0x80000000u);
constexpr ViStatus kNotRecognized = static_cast<ViStatus>(0xBFFA000Cu);
constexpr ViStatus kReadOnly = static_cast<ViStatus>(0xBFFA000Du);
constexpr ViStatus kWrongType = static_cast<ViStatus>(0xBFFA0015u);
constexpr ViStatus kBadlyFormed = static_cast<ViStatus>(0xBFFA0066u);
constexpr ViStatus kUnknownPhysicalName = static_cast<ViStatus>(0xBFFA0067u);
constexpr ViStatus kInvalidValue = static_cast<ViStatus>(0xBFFA0010u);

// The session's (or, for VI_NULL, the thread's) last error.
inline std::pair<ViStatus, std::string> LastError(ViSession vi) {
    ViStatus code = 0;
    char text[512] = "";
    Ztv_GetError(vi, &code, sizeof text, text);
    return {code, text};
}

// A simulated session on a private registry and configuration store.
class SimulatedSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Ztv_InitWithOptions(const_cast<char*>("GPIB0::7::INSTR"), VI_FALSE, VI_FALSE, "Simulate=true", &vi),
                  0);
    }
    void TearDown() override { EXPECT_EQ(Ztv_close(vi), 0); }

    IsolatedEnvironment env;
    ViSession vi = VI_NULL;
};

}  // namespace ztv::test

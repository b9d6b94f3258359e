// The IVI-C face: sessions, status translation, error records and the
// text-output rule.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "ivic/status_translation.h"
#include "services/error_codes.h"
#include "tests/support/ivic_support.h"

namespace ztv::test {
namespace {

class IviC : public ::testing::Test {
protected:
    IsolatedEnvironment env;
    ViSession Open(const char* options = "Simulate=true") {
        ViSession vi = 12345;
        EXPECT_EQ(Ztv_InitWithOptions(const_cast<char*>("GPIB0::1::INSTR"), VI_FALSE, VI_FALSE, options, &vi), 0);
        EXPECT_NE(vi, VI_NULL);
        return vi;
    }
};

TEST(IviCStatus, MapsTheFamiliesAndNothingElse) {
    const std::pair<HRESULT, ViStatus> cases[] = {
        {S_OK, 0},
        {S_IVI_NSUP_ID_QUERY, 0x3FFA0065},
        {S_IVI_NSUP_REV_QUERY, 0x3FFA0069},
        {E_IVI_CANNOT_RECOVER, static_cast<ViStatus>(0xBFFA0000)},
        {E_IVI_NOT_INITIALIZED, static_cast<ViStatus>(0xBFFA001D)},
        {E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER, static_cast<ViStatus>(0xBFFA0067)},
        {E_ZENTRAVA_RETURN_ERROR, static_cast<ViStatus>(0xBFFA4001)},
        {E_ZENTRAVA_IO_TIMEOUT, static_cast<ViStatus>(0xBFFA4215)},
        {E_ZENTRAVA_MAX_TIME_EXCEEDED, static_cast<ViStatus>(0xBFFA4217)},
        {E_INVALIDARG, static_cast<ViStatus>(0x80000000)},
        {MakeHresult(0x80047005), static_cast<ViStatus>(0x80000000)},  // in the range, not in the table
        {S_FALSE, 0},
    };
    for (const auto& [code, status] : cases) EXPECT_EQ(IviCStatusOf(code), status) << std::hex << code;
}

TEST(IviCStatus, ErrorMessagesComeFromTheDescriptionMap) {
    const std::pair<ViStatus, const char*> cases[] = {
        {0, "Success."},
        {static_cast<ViStatus>(0xBFFA0066), "The repeated capability selector is badly-formed."},
        {static_cast<ViStatus>(0xBFFA4217), "Maximum time for operation to complete exceeded."},
        {0x3FFA0069, "Firmware revision query is not supported by this instrument."},
        {static_cast<ViStatus>(0xBFFA0010), "Invalid value (%1) for method %2, parameter %3."},
        {0x12345678, ""},
    };
    for (const auto& [status, text] : cases) {
        char message[256] = "junk";
        EXPECT_EQ(Ztv_error_message(VI_NULL, status, message), 0);
        EXPECT_STREQ(message, text);
    }
}

TEST(IviCText, FollowsTheBufferRule) {
    BSTR hello = Utf8ToBstr("hello");  // 5 characters
    struct Case {
        ViInt32 size;
        bool buffer;
        ViStatus status;
        const char* stored;
    } cases[] = {
        {6, true, 0, "hello"}, {5, true, 6, "hell"},   {2, true, 6, "h"},  {1, true, 6, ""},
        {0, true, 6, "####"},  {-1, true, 0, "hello"}, {10, false, 6, ""},
    };
    for (const auto& c : cases) {
        char buffer[16] = "####";
        EXPECT_EQ(StoreText(hello, c.size, c.buffer ? buffer : nullptr), c.status) << c.size;
        if (c.buffer) {
            EXPECT_STREQ(buffer, c.stored) << c.size;
        }
    }
    char buffer[4] = "###";
    EXPECT_EQ(StoreText(nullptr, 4, buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(StoreText(nullptr, 0, buffer), 1);
    SysFreeString(hello);
}

TEST_F(IviC, SimulatedSessionAnswersUtilityFunctions) {
    const ViSession vi = Open();
    char driverRev[256], instrRev[256];
    EXPECT_EQ(Ztv_revision_query(vi, driverRev, instrRev), 0);
    EXPECT_STREQ(driverRev, "1.0.9.0");
    EXPECT_STREQ(instrRev, "Sim1.0.9.0");
    ViInt16 result = 9;
    char message[256];
    EXPECT_EQ(Ztv_self_test(vi, &result, message), 0);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(message, "Selftest passed");
    ViInt32 code = 9;
    EXPECT_EQ(Ztv_error_query(vi, &code, message), 0);
    EXPECT_EQ(code, 0);
    EXPECT_STREQ(message, "No error.");
    EXPECT_EQ(Ztv_error_query(vi, nullptr, message), static_cast<ViStatus>(0x80000000));
    EXPECT_EQ(Ztv_reset(vi), 0);
    EXPECT_EQ(Ztv_ResetWithDefaults(vi), 0);
    EXPECT_EQ(Ztv_Disable(vi), 0);
    EXPECT_EQ(Ztv_InvalidateAllAttributes(vi), 0);
    char record[8] = "x";
    EXPECT_EQ(Ztv_GetNextCoercionRecord(vi, sizeof record, record), 0);
    EXPECT_STREQ(record, "");
    EXPECT_EQ(Ztv_close(vi), 0);
}

TEST_F(IviC, UnsupportedMembersRecordTheirText) {
    const ViSession vi = Open();
    EXPECT_EQ(Ztv_ClearInterchangeWarnings(vi), static_cast<ViStatus>(0xBFFA0011));
    EXPECT_EQ(LastError(vi), std::make_pair(static_cast<ViStatus>(0xBFFA0011),
                                            std::string("Zentrava: Does not support this class-compliant feature: "
                                                        "method ClearInterchangeWarnings")));
    char warning[64];
    EXPECT_EQ(Ztv_GetNextInterchangeWarning(vi, sizeof warning, warning), static_cast<ViStatus>(0xBFFA0011));
    EXPECT_EQ(Ztv_ClearError(vi), 0);
    EXPECT_EQ(LastError(vi).first, 0);
    EXPECT_EQ(Ztv_close(vi), 0);
}

TEST_F(IviC, FailedInitRecordsItsErrorOnTheThread) {
    ViSession vi = 77;
    EXPECT_EQ(
        Ztv_InitWithOptions(const_cast<char*>("x"), VI_TRUE, VI_FALSE, "Simulate=true, DriverSetup=Model=Q7999Z", &vi),
        static_cast<ViStatus>(0xBFFA005E));
    EXPECT_EQ(vi, VI_NULL);
    EXPECT_EQ(LastError(VI_NULL),
              std::make_pair(static_cast<ViStatus>(0xBFFA005E), std::string("Zentrava: Instrument ID query failed.\r\n"
                                                                            "Unrecognized model: Q7999Z.")));
    // Another thread has its own record.
    std::pair<ViStatus, std::string> other;
    std::thread([&] { other = LastError(VI_NULL); }).join();
    EXPECT_EQ(other.first, 0);
    EXPECT_EQ(Ztv_InitWithOptions(nullptr, VI_FALSE, VI_FALSE, "Simulate=true", &vi),
              static_cast<ViStatus>(0xBFFA0010));
    EXPECT_EQ(vi, VI_NULL);
}

TEST_F(IviC, ClosedAndUnknownSessionsAreRefusedByTheSessionTable) {
    const ViSession vi = Open();
    ASSERT_EQ(Ztv_close(vi), 0);
    const ViStatus unknown = Ztv_close(vi);
    EXPECT_LT(unknown, 0);
    EXPECT_EQ(Ztv_reset(vi), unknown);
    EXPECT_EQ(Ztv_reset(987654), unknown);
    char text[256];
    EXPECT_EQ(Ztv_revision_query(vi, text, text), unknown);
}

TEST_F(IviC, AttachSharesTheDriverObject) {
    const ViSession vi = Open();
    void* object = nullptr;
    ASSERT_EQ(Ztv_GetNativeIUnknownPtr(vi, &object), 0);
    ASSERT_NE(object, nullptr);
    ViSession attached = VI_NULL;
    ASSERT_EQ(Ztv_AttachToExistingCOMSession(object, &attached), 0);
    ViBoolean has = VI_FALSE;
    EXPECT_EQ(Ztv_LockSession(attached, &has), 0);
    EXPECT_EQ(has, VI_TRUE);
    EXPECT_EQ(Ztv_UnlockSession(attached, &has), 0);
    EXPECT_EQ(has, VI_FALSE);
    char rev[256], instr[256];
    EXPECT_EQ(Ztv_revision_query(attached, rev, instr), 0);
    EXPECT_STREQ(instr, "Sim1.0.9.0");
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(Ztv_close(vi), 0);
    // The attached session's reference keeps the object alive; it is no longer initialized.
    EXPECT_EQ(Ztv_reset(attached), static_cast<ViStatus>(0xBFFA001D));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // balanced by the close of the attached session
    EXPECT_EQ(Ztv_close(attached), static_cast<ViStatus>(0xBFFA001D));
}

}  // namespace
}  // namespace ztv::test

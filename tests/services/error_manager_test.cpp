#include "services/error_manager.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "services/message_table.h"
#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

TEST(MessageTable, HoldsFiftyMessagesWithDistinctNumbers) {
    EXPECT_EQ(MessageTable().size(), 49u);  // number 3 is not used
    for (ULONG id = 1; id <= 50; ++id) EXPECT_EQ(FindMessage(id) != nullptr, id != 3) << id;
}

TEST(ErrorManager, ReportsCodeAndTextWithInserts) {
    const CErrorManager errors;
    struct Case {
        std::function<HRESULT()> report;
        HRESULT code;
        const char* text;
    } cases[] = {
        {[&] { return errors.ReportError(IDS_E_IVI_NOT_INITIALIZED); }, E_IVI_NOT_INITIALIZED,
         "Zentrava: A connection to the instrument has not been established."},
        {[&] { return errors.ReportInvalidValueError("put_Register", "Register", LONG{7}); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (7) for method put_Register, parameter Register."},
        {[&] { return errors.ReportInvalidValueError("m", "p", 0.1); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (0.1) for method m, parameter p."},
        {[&] { return errors.ReportInvalidValueError("m", "p", 1e300); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (1e+300) for method m, parameter p."},
        {[&] { return errors.ReportInvalidValueError("m", "p", 0.1f); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (0.100000001490116) for method m, parameter p."},
        {[&] { return errors.ReportInvalidValueError("m", "p", std::int16_t{VARIANT_TRUE}); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (-1) for method m, parameter p."},
        {[&] { return errors.ReportInvalidValueError("m", "p", std::uint8_t{200}); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (200) for method m, parameter p."},
        {[&] { return errors.ReportInvalidValueError("m", "p", u"wide"); }, E_IVI_INVALID_VALUE,
         "Zentrava: Invalid value (wide) for method m, parameter p."},
        // Extra inserts are ignored.
        {[&] { return errors.ReportError(IDS_E_ZENTRAVA_MAX_TIME_EXCEEDED, "WaitForOperationComplete"); },
         E_ZENTRAVA_MAX_TIME_EXCEEDED, "Zentrava: Maximum time for operation to complete exceeded."},
        {[&] { return errors.ReportError(IDS_E_IVI_VALUE_NOT_SUPPORTED, "VARIANT_TRUE", "b", "put_X"); },
         E_IVI_VALUE_NOT_SUPPORTED,
         "Zentrava: Does not support this class-compliant feature:  (enumeration) value VARIANT_TRUE passed as the "
         "value for parameter b in method put_X."},
        {[&] { return errors.ReportErrorWithDetail(IDS_E_IVI_ID_QUERY_FAILED, "Unrecognized model: Q7999Z."); },
         E_IVI_ID_QUERY_FAILED, "Zentrava: Instrument ID query failed.\r\nUnrecognized model: Q7999Z."},
        // Warnings come back positive and still leave their text.
        {[&] { return errors.ReportError(IDS_S_IVI_NSUP_REV_QUERY); }, S_IVI_NSUP_REV_QUERY,
         "Zentrava: Firmware revision query is not supported by this instrument."},
        // Success has no failure code of its own to report.
        {[&] { return errors.ReportError(IDS_S_IVI_SUCCESS); }, DISP_E_EXCEPTION, "Zentrava: Success."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.report(), c.code) << c.text;
        EXPECT_EQ(ThreadErrorText(), c.text);
    }
    EXPECT_EQ(ThreadErrorText(), "");  // the text was taken off the thread
}

TEST(ErrorManager, IOErrorCarriesTheLibrarysDescription) {
    const CErrorManager errors;
    EXPECT_EQ(errors.ReportIOError(), E_ZENTRAVA_IO_GENERAL);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: IO error: .");
    SetThreadError(GUID_NULL, "Timeout expired before operation completed.");
    EXPECT_EQ(errors.ReportIOTimeoutError(), E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: IO timeout error: Timeout expired before operation completed.");
    SetThreadError(GUID_NULL, "Connection to 10.0.0.7:5025 lost");
    EXPECT_EQ(errors.ReportIOError(), E_ZENTRAVA_IO_GENERAL);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: IO error: Connection to 10.0.0.7:5025 lost.");
}

TEST(ErrorManager, UnknownMessageNumberGivesInternalError) {
    const CErrorManager errors;
    EXPECT_EQ(errors.ReportError(77), DISP_E_EXCEPTION);
    const std::string text = ThreadErrorText();
    EXPECT_EQ(text.rfind("Internal Error: Unable to retrieve and format error message from message table.\n"
                         "Resource ID = 77\nLanguage ID = 0\nReason = '",
                         0),
              0u)
        << text;
}

TEST(ErrorManager, ErrorObjectsBelongToTheirThread) {
    const CErrorManager errors;
    errors.ReportError(IDS_E_IVI_NOT_INITIALIZED);
    std::string other;
    std::thread([&] {
        errors.ReportError(IDS_E_IVI_RESET_FAILED);
        other = ThreadErrorText();
    }).join();
    EXPECT_EQ(other, "Zentrava: Instrument reset failed.");
    EXPECT_EQ(ThreadErrorText(), "Zentrava: A connection to the instrument has not been established.");
}

}  // namespace
}  // namespace ztv::test

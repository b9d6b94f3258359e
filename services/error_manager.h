// Turns a message number and its inserts into a result code, a text and the
// calling thread's COM error object. Every node of the object model owns one.
#pragma once

#include <string>
#include <string_view>

#include "services/error_codes.h"
#include "zentrava/com.h"

namespace ztv {

class CErrorManager {
public:
    HRESULT ReportError(ULONG messageId, std::string_view i1 = {}, std::string_view i2 = {},
                        std::string_view i3 = {}) const;
    HRESULT ReportErrorWithDetail(ULONG messageId, std::string_view detail, std::string_view i1 = {},
                                  std::string_view i2 = {}, std::string_view i3 = {}) const;
    // The message followed by the sentence that says why, when there is one:
    // "Unknown resource. Connection refused by 127.0.0.1:1." The whole text
    // also goes to *text.
    HRESULT ReportErrorWithReason(ULONG messageId, std::string_view reason, std::string* text) const;

    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, std::uint8_t value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, std::int16_t value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, std::int32_t value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, float value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, double value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, std::string_view value) const;
    HRESULT ReportInvalidValueError(std::string_view method, std::string_view parameter, const OLECHAR* value) const;

    // Message 4 / 5 with the description the I/O library left on the thread.
    HRESULT ReportIOError() const;
    HRESULT ReportIOTimeoutError() const;

    // The interface that error objects reported from now on name; returns the
    // previous one so that a member can restore it when it ends.
    GUID SwapInterface(const GUID& iid) {
        const GUID previous = interfaceId_;
        interfaceId_ = iid;
        return previous;
    }

private:
    // How a detail follows the message: not at all, on a line of its own, or
    // as the next sentence.
    enum class Join { None, Line, Sentence };
    HRESULT Report(ULONG messageId, std::string_view detail, Join join, std::string_view i1, std::string_view i2,
                   std::string_view i3, std::string* text = nullptr) const;

    GUID interfaceId_ = GUID_NULL;
};

// Sets the thread's error object with the driver's source and the given text.
void SetThreadError(const GUID& iid, std::string_view description);

// The description of the thread's current error object (taken off the thread);
// empty when there is none.
std::string TakeThreadErrorDescription();

}  // namespace ztv

// Failed driver calls as C++ exceptions: zentrava::Error carries the COM
// result, the C face's status for it and the driver's full text; its
// subclasses name the failures a program handles on their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "zentrava/com.h"
#include "zentrava/raii.h"

namespace zentrava {

using com::Bstr;
using com::ComPtr;

// The C face's status (ViStatus) for a COM result code.
std::int32_t c_status_of(HRESULT code);

// A failed call: its result code and the driver's description.
class Error : public std::runtime_error {
public:
    Error(HRESULT code, const std::string& description) : Error(code, c_status_of(code), description) {}
    Error(HRESULT code, std::int32_t status, const std::string& description)
        : std::runtime_error(description), code_(code), status_(status) {}
    // The COM result.
    HRESULT code() const noexcept { return code_; }
    // What the C face returns for the same failure.
    std::int32_t status() const noexcept { return status_; }

private:
    HRESULT code_;
    std::int32_t status_;
};

// The instrument did not answer in time, or an operation outlasted its limit.
class TimeoutError : public Error {
public:
    using Error::Error;
};
// The instrument reported errors (read them with error_query()).
class InstrumentStatusError : public Error {
public:
    using Error::Error;
};
// The instrument model does not have this feature.
class ModelNotSupportedError : public Error {
public:
    using Error::Error;
};
// A value the driver does not accept.
class InvalidValueError : public Error {
public:
    using Error::Error;
};
// A measurement or marker name that does not exist.
class SelectorError : public Error {
public:
    using Error::Error;
};

// Throws the Error, or the subclass the C face's status falls in, for a
// failed result.
[[noreturn]] inline void throw_error(HRESULT hr, const std::string& text) {
    const std::int32_t status = c_status_of(hr);
    switch (static_cast<std::uint32_t>(status)) {
        case 0xBFFA4215u:  // I/O time-out
        case 0xBFFA4217u:  // maximum time of an operation exceeded
        case 0xBFFF0015u:  // VISA time-out
            throw TimeoutError(hr, status, text);
        case 0xBFFA0001u:
            throw InstrumentStatusError(hr, status, text);
        case 0xBFFA4216u:
            throw ModelNotSupportedError(hr, status, text);
        case 0xBFFA0010u:
            throw InvalidValueError(hr, status, text);
        case 0xBFFA0063u:
        case 0xBFFA0064u:
        case 0xBFFA0065u:
        case 0xBFFA0066u:
        case 0xBFFA0067u:
            throw SelectorError(hr, status, text);
        default:
            throw Error(hr, status, text);
    }
}

// The text of the error object a failed call left on the thread, or the
// code in words when there is none.
inline std::string error_text(HRESULT hr) {
    std::string text;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.Receive()) == S_OK && info) {
        Bstr description;
        if (SUCCEEDED(info->GetDescription(description.Receive()))) text = description.Utf8();
    }
    if (text.empty()) {
        char code[32];
        std::snprintf(code, sizeof code, "error 0x%08X", static_cast<unsigned>(hr));
        text = code;
    }
    return text;
}

// Throws Error (or its subclass) for a failed result, with the text of the
// error object the call left on the thread.
inline void check(HRESULT hr) {
    if (SUCCEEDED(hr)) [[likely]]
        return;
    throw_error(hr, error_text(hr));
}

}  // namespace zentrava

#include "core/io_manager.h"

#include <cstdio>
#include <type_traits>

#include "core/option_parsing.h"
#include "platform/text/number_codec.h"
#include "services/tracing/method_trace.h"

namespace ztv {
namespace {

// Pipeline operations are traced under the framework class's name.
constexpr const char* kTraceClass = "CDriverIOManager";

// What each number query reads from the provider (integers as LONG, reals as
// double), and the name of its traced result.
template <class T>
using ReadAs = std::conditional_t<std::is_integral_v<T>, LONG, double>;
template <class T>
constexpr const char* kResultName = nullptr;
template <>
constexpr const char* kResultName<BYTE> = "pbResult";
template <>
constexpr const char* kResultName<SHORT> = "psResult";
template <>
constexpr const char* kResultName<LONG> = "plResult";
template <>
constexpr const char* kResultName<float> = "pfResult";
template <>
constexpr const char* kResultName<double> = "pdResult";

// Narrow integer forms keep the low bits of the 32-bit value.
void Narrow(LONG value, BYTE* result) { *result = static_cast<BYTE>(value & 0xFF); }
void Narrow(LONG value, SHORT* result) { *result = static_cast<SHORT>(static_cast<std::uint16_t>(value & 0xFFFF)); }
void Narrow(double value, float* result) { *result = static_cast<float>(value); }

}  // namespace

std::string FormatCommandV(const char* format, va_list args) {
    const codec::CLocaleScope cLocale;  // the instrument reads the C locale's numbers
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, static_cast<std::size_t>(n));
    std::string text(static_cast<std::size_t>(n), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

std::string FormatCommand(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatCommandV(format, args);
    va_end(args);
    return text;
}

HRESULT CDriverIOManager::InstrPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string command = FormatCommandV(format, args);
    va_end(args);
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrPrintf", {TraceArg::In("strCmd", command)});
    return io_.InstrWrite(command, kCurrentTimeout);
}

HRESULT CDriverIOManager::InstrPrintfNoPoll(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string command = FormatCommandV(format, args);
    va_end(args);
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrPrintfNoPoll", {TraceArg::In("strCmd", command)});
    return io_.InstrWriteNoPoll(command, kCurrentTimeout);
}

HRESULT CDriverIOManager::QueryText(const char* member, std::string_view command, std::string* reply, LONG cchDesired,
                                    LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, member,
                {TraceArg::In("strCommand", command), TraceArg::Out("bstrResult", reply),
                 TraceArg::In("cchDesired", cchDesired), TraceArg::In("lTimeout", timeout)});
    return io_.InstrQuery(command, reply, cchDesired, timeout);
}

template <class T>
HRESULT CDriverIOManager::QueryNumber(const char* member, std::string_view command, T* result, LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, member,
                {TraceArg::In("strCommand", command), TraceArg::Out(kResultName<T>, result),
                 TraceArg::In("lTimeout", timeout)});
    using Read = ReadAs<T>;
    if constexpr (std::is_same_v<Read, T>) {
        return io_.InstrQuery(command, result, timeout);
    } else {
        if (!result) return E_POINTER;
        Read value = 0;
        const HRESULT hr = io_.InstrQuery(command, &value, timeout);
        if (SUCCEEDED(hr)) Narrow(value, result);
        return hr;
    }
}

template HRESULT CDriverIOManager::QueryNumber(const char*, std::string_view, BYTE*, LONG);
template HRESULT CDriverIOManager::QueryNumber(const char*, std::string_view, SHORT*, LONG);
template HRESULT CDriverIOManager::QueryNumber(const char*, std::string_view, LONG*, LONG);
template HRESULT CDriverIOManager::QueryNumber(const char*, std::string_view, float*, LONG);
template HRESULT CDriverIOManager::QueryNumber(const char*, std::string_view, double*, LONG);

HRESULT CDriverIOManager::InstrWrite(std::string_view command, LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrWrite",
                {TraceArg::In("strCommand", command), TraceArg::In("lTimeout", timeout)});
    return io_.InstrWrite(command, timeout);
}

HRESULT CDriverIOManager::InstrWriteNoPoll(std::string_view command, LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrWriteNoPoll",
                {TraceArg::In("strCommand", command), TraceArg::In("lTimeout", timeout)});
    return io_.InstrWriteNoPoll(command, timeout);
}

HRESULT CDriverIOManager::InstrPrintCommand() {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrPrintCommand", {TraceArg::In("strCommand", CurrentCommand())});
    return io_.InstrWrite(CurrentCommand(), kCurrentTimeout);
}

HRESULT CDriverIOManager::InstrPrintCommandNoPoll() {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrPrintCommandNoPoll", {TraceArg::In("strCommand", CurrentCommand())});
    return io_.InstrWriteNoPoll(CurrentCommand(), kCurrentTimeout);
}

HRESULT CDriverIOManager::InstrQueryCommand(BSTR* reply, LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrQueryCommand",
                {TraceArg::In("strCommand", CurrentCommand()), TraceArg::Out("bstrResult", reply),
                 TraceArg::In("lTimeout", timeout)});
    if (!reply) return E_POINTER;
    std::string text;
    const HRESULT hr = io_.InstrQuery(CurrentCommand(), &text, 1024, timeout);
    if (FAILED(hr)) return hr;
    *reply = Utf8ToBstr(text);
    return *reply ? hr : E_OUTOFMEMORY;
}

HRESULT CDriverIOManager::InstrQueryCommandBool(VARIANT_BOOL* result, LONG timeout) {
    CMethodTrace trace;
    trace.Begin(tracer_, kTraceClass, "InstrQueryCommandBool",
                {TraceArg::In("strCommand", CurrentCommand()), TraceArg::OutBoolean("plResult", result),
                 TraceArg::In("lTimeout", timeout)});
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    std::string reply;
    const HRESULT hr = io_.InstrQuery(CurrentCommand(), &reply, 1024, timeout);
    if (FAILED(hr)) return hr;
    const std::string_view value = codec::TrimBlanks(reply);
    if (value == "1") {
        *result = VARIANT_TRUE;
    } else if (value != "0") {
        return errors_.ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    }
    return hr;
}

}  // namespace ztv

#include "core/pipeline.h"

#include <cstdio>

#include "core/option_parsing.h"

namespace ztv {

std::string FormatCommandV(const char* format, va_list args) {
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
    return io_.InstrWrite(command, kCurrentTimeout);
}

HRESULT CDriverIOManager::InstrPrintfNoPoll(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string command = FormatCommandV(format, args);
    va_end(args);
    return io_.InstrWriteNoPoll(command, kCurrentTimeout);
}

HRESULT CDriverIOManager::InstrQuery(std::string_view command, std::string* reply, LONG cchDesired, LONG timeout) {
    return io_.InstrQuery(command, reply, cchDesired, timeout);
}

// Narrow integer forms keep the low bits of the 32-bit value.
HRESULT CDriverIOManager::InstrQuery(std::string_view command, BYTE* result, LONG timeout) {
    if (!result) return E_POINTER;
    LONG value = 0;
    const HRESULT hr = io_.InstrQuery(command, &value, timeout);
    if (SUCCEEDED(hr)) *result = static_cast<BYTE>(value & 0xFF);
    return hr;
}

HRESULT CDriverIOManager::InstrQuery(std::string_view command, SHORT* result, LONG timeout) {
    if (!result) return E_POINTER;
    LONG value = 0;
    const HRESULT hr = io_.InstrQuery(command, &value, timeout);
    if (SUCCEEDED(hr)) *result = static_cast<SHORT>(static_cast<std::uint16_t>(value & 0xFFFF));
    return hr;
}

HRESULT CDriverIOManager::InstrQuery(std::string_view command, LONG* result, LONG timeout) {
    return io_.InstrQuery(command, result, timeout);
}

HRESULT CDriverIOManager::InstrQuery(std::string_view command, float* result, LONG timeout) {
    if (!result) return E_POINTER;
    double value = 0;
    const HRESULT hr = io_.InstrQuery(command, &value, timeout);
    if (SUCCEEDED(hr)) *result = static_cast<float>(value);
    return hr;
}

HRESULT CDriverIOManager::InstrQuery(std::string_view command, double* result, LONG timeout) {
    return io_.InstrQuery(command, result, timeout);
}

HRESULT CDriverIOManager::InstrQueryCommand(std::string* reply, LONG cchDesired, LONG timeout) {
    return io_.InstrQuery(CurrentCommand(), reply, cchDesired, timeout);
}

HRESULT CDriverIOManager::InstrQueryCommand(BSTR* reply, LONG timeout) {
    if (!reply) return E_POINTER;
    std::string text;
    const HRESULT hr = InstrQueryCommand(&text, 1024, timeout);
    if (FAILED(hr)) return hr;
    *reply = AnsiToBstr(text);
    return *reply ? hr : E_OUTOFMEMORY;
}

HRESULT CDriverIOManager::InstrQueryCommandBool(VARIANT_BOOL* result, LONG timeout) {
    if (!result) return E_POINTER;
    *result = VARIANT_FALSE;
    std::string reply;
    const HRESULT hr = InstrQueryCommand(&reply, 1024, timeout);
    if (FAILED(hr)) return hr;
    const std::string_view value = TrimWhite(reply);
    if (value == "1") {
        *result = VARIANT_TRUE;
    } else if (value != "0") {
        return errors_.ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    }
    return hr;
}

}  // namespace ztv

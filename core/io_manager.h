// The command pipeline every SCPI command of a member takes: printf-style
// formatting, typed replies and the "Command" operations that send the top of
// the node's command stack. Every operation is traced, then handed to the
// I/O provider.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "core/command_stack.h"
#include "core/io_provider.h"
#include "services/tracing/trace_owner.h"

namespace ztv {

// Formats with printf rules into one narrow text, without a length limit.
std::string FormatCommand(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatCommandV(const char* format, va_list args);

class CDriverIOManager : public CInstrumentCommandManager {
public:
    // The tracer is the root's, shared by every node of the session.
    CDriverIOManager(CDriverIOProvider& io, const CErrorManager& errors, CTraceOwner* tracer)
        : io_(io), errors_(errors), tracer_(tracer) {}

    CDriverIOProvider& Provider() { return io_; }

    HRESULT InstrPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    HRESULT InstrPrintfNoPoll(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Traced under the name "InstrPrintf", as trace readers have always seen it.
    HRESULT InstrQuery(std::string_view command, std::string* reply, LONG cchDesired, LONG timeout) {
        return QueryText("InstrPrintf", command, reply, cchDesired, timeout);
    }
    // Numbers of type BYTE, SHORT, LONG, float or double: the narrow integers
    // keep the low bits of the integer read, a float is the double read.
    template <class T>
    HRESULT InstrQuery(std::string_view command, T* result, LONG timeout) {
        return QueryNumber("InstrQuery", command, result, timeout);
    }
    HRESULT InstrWrite(std::string_view command, LONG timeout);
    HRESULT InstrWriteNoPoll(std::string_view command, LONG timeout);

    HRESULT InstrPrintCommand();
    HRESULT InstrPrintCommandNoPoll();
    HRESULT InstrQueryCommand(BSTR* reply, LONG timeout);
    HRESULT InstrQueryCommand(std::string* reply, LONG cchDesired, LONG timeout) {
        return QueryText("InstrQueryCommand", CurrentCommand(), reply, cchDesired, timeout);
    }
    template <class T>
    HRESULT InstrQueryCommand(T* result, LONG timeout) {
        return QueryNumber("InstrQueryCommand", CurrentCommand(), result, timeout);
    }
    HRESULT InstrQueryCommandBool(VARIANT_BOOL* result, LONG timeout);

private:
    // Traced under the member's name.
    HRESULT QueryText(const char* member, std::string_view command, std::string* reply, LONG cchDesired, LONG timeout);
    // Traced under the member's name; defined for the five number types.
    template <class T>
    HRESULT QueryNumber(const char* member, std::string_view command, T* result, LONG timeout);

    CDriverIOProvider& io_;
    const CErrorManager& errors_;
    CTraceOwner* tracer_;
};

}  // namespace ztv

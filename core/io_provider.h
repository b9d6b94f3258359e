// The driver's I/O vocabulary over one message-based session: typed queries,
// reads and writes, formatted I/O, time-outs and status polling, built on a
// few primitives that a concrete provider implements. Members talk to the
// instrument through it; direct I/O reaches the same session through the
// concrete provider's Message() and Formatter().
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/visa/message_read_end.h"
#include "platform/visa/visacom.h"
#include "services/error_manager.h"
#include "zentrava/com.h"
#include "zentrava/raii.h"

namespace ztv {

// The session's time-out result; VISA's own time-out code is mapped to it.
constexpr HRESULT IO_TIMEOUT_RESULT = MakeHresult(0x80040604);
// Any time-out argument below -1 means "the session's current time-out".
constexpr LONG kCurrentTimeout = -2;

class CDriverIOProvider {
public:
    virtual ~CDriverIOProvider() = default;

    // Links to the node that owns the session flags and to its error manager.
    struct Links {
        std::function<bool()> queryInstrumentStatus;
        const CErrorManager* errors = nullptr;
        std::string openOptions;  // for the VISA open: the DriverSetup text, whose I/O keys it takes
    };

    virtual HRESULT Open(const Links& links, std::string_view resourceDescriptor) = 0;
    virtual HRESULT Close() = 0;
    bool IsOpen() const { return opened_; }

    void SetReadTerminator(std::string text) { readTerminator_ = std::move(text); }
    void SetWriteTerminator(std::string text) { writeTerminator_ = std::move(text); }

    HRESULT PollInstrumentErrors();
    HRESULT DeviceClear() { return Clear(); }
    HRESULT ReadSTB(SHORT* statusByte);
    HRESULT SetIOTimeout(LONG ms) { return SetTimeout(ms); }
    HRESULT GetIOTimeout(LONG* ms) { return GetTimeout(ms); }
    HRESULT IsTimeout(bool* timedOut) const;

    HRESULT InstrQuery(std::string_view command, std::string* reply, LONG cchDesired, LONG timeout);
    HRESULT InstrQuery(std::string_view command, LONG* result, LONG timeout);
    HRESULT InstrQuery(std::string_view command, double* result, LONG timeout);
    HRESULT InstrRead(std::string* text, LONG cchDesired, bool removeTrailing, LONG timeout);
    HRESULT InstrWrite(std::string_view command, LONG timeout);
    HRESULT InstrWriteNoPoll(std::string_view command, LONG timeout);

    HRESULT FormattedReadList(SAFEARRAY** values, LONG timeout);  // 64-bit reals separated by ","
    HRESULT FormattedReadIEEEBlock(SAFEARRAY** bytes, bool seekToBlock, bool flushToEnd, LONG timeout);
    HRESULT FormattedWriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd, LONG timeout);
    HRESULT FormattedFlushRead(LONG timeout);
    // Formatted writes: the text, or 64-bit reals separated by ","; only a
    // write that ends the message (flushAndEnd) is followed by a status poll.
    HRESULT FormattedWriteString(std::string_view text, bool flushAndEnd, LONG timeout);
    HRESULT FormattedWriteList(SAFEARRAY* values, bool flushAndEnd, LONG timeout);

protected:
    // Primitives of the session; each returns the session's result with the
    // VISA time-out mapped to IO_TIMEOUT_RESULT, or E_FAIL when not open.
    // `complete` tells whether the read reached the end of the reply.
    virtual HRESULT ReadText(LONG count, std::string* text, bool* complete) = 0;
    // Reads and drops what is left of the current reply.
    virtual HRESULT DiscardReply() = 0;
    virtual HRESULT WriteText(std::string_view text, LONG* written) = 0;
    virtual HRESULT Clear() = 0;
    virtual HRESULT ReadStatusByte(SHORT* statusByte) = 0;
    virtual HRESULT SetTimeout(LONG ms) = 0;
    virtual HRESULT GetTimeout(LONG* ms) = 0;
    virtual HRESULT ReadList(SAFEARRAY** values) = 0;
    virtual HRESULT ReadIEEEBlock(bool seekToBlock, bool flushToEnd, SAFEARRAY** bytes) = 0;
    virtual HRESULT WriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd) = 0;
    virtual HRESULT FlushRead() = 0;
    virtual HRESULT WriteFormattedString(std::string_view text, bool flushAndEnd) = 0;
    virtual HRESULT WriteFormattedList(SAFEARRAY* values, bool flushAndEnd) = 0;

    void MarkOpened(const Links& links);
    void MarkClosed();

private:
    class TimeoutScope;

    HRESULT WriteCommand(std::string_view command);
    HRESULT ReadReply(LONG count, std::string* reply);
    HRESULT StatusCheck();
    HRESULT HandleIOError(HRESULT result);
    template <class F>
    HRESULT Transfer(LONG timeout, bool poll, F&& primitive);
    template <class T>
    HRESULT QueryNumber(std::string_view command, T* result, LONG timeout, T (*convert)(std::string_view));

    bool opened_ = false;
    Links links_;
    std::string readTerminator_ = "\n";
    std::string writeTerminator_ = "\n";
    bool timedOut_ = false;
    std::string numberReply_;  // kept, so that a number query allocates nothing
};

}  // namespace ztv

#include "core/io_provider.h"

#include "core/reply_parsing.h"

namespace ztv {
namespace {

// What the device clear after a failed transfer may take.
constexpr LONG kRecoveryClearTimeoutMs = 200;

}  // namespace

// Sets a per-operation time-out and puts the session's own one back on every
// path; -2 (anything below -1) leaves the session's time-out alone.
class CDriverIOProvider::TimeoutScope {
public:
    TimeoutScope(CDriverIOProvider& io, LONG timeout) : io_(io) {
        if (timeout < -1) return;
        result_ = io_.GetTimeout(&saved_);
        if (SUCCEEDED(result_)) {
            result_ = io_.SetTimeout(timeout);
            restore_ = SUCCEEDED(result_);
        }
    }
    ~TimeoutScope() {
        if (restore_) io_.SetTimeout(saved_);
    }
    HRESULT result() const { return result_; }

private:
    CDriverIOProvider& io_;
    LONG saved_ = 0;
    bool restore_ = false;
    HRESULT result_ = S_OK;
};

void CDriverIOProvider::MarkOpened(const Links& links) {
    links_ = links;
    opened_ = true;
    timedOut_ = false;
}

void CDriverIOProvider::MarkClosed() {
    links_ = {};
    opened_ = false;
    timedOut_ = false;
}

HRESULT CDriverIOProvider::IsTimeout(bool* timedOut) const {
    if (!timedOut) return E_POINTER;
    *timedOut = timedOut_;
    return S_OK;
}

HRESULT CDriverIOProvider::ReadSTB(SHORT* statusByte) {
    if (!statusByte) return E_POINTER;
    return ReadStatusByte(statusByte);
}

HRESULT CDriverIOProvider::WriteCommand(std::string_view command) {
    LONG written = 0;
    HRESULT hr;
    std::size_t expected = command.size();
    if (command.ends_with(writeTerminator_)) {
        hr = WriteText(command, &written);
    } else {
        std::string text;
        text.reserve(command.size() + writeTerminator_.size());
        text.append(command).append(writeTerminator_);
        expected = text.size();
        hr = WriteText(text, &written);
    }
    if (FAILED(hr)) return hr;
    return static_cast<std::size_t>(written) < expected ? E_FAIL : S_OK;
}

// A reply longer than the count is cut there; the rest is read and dropped,
// so that the next query reads its own reply.
HRESULT CDriverIOProvider::ReadReply(LONG count, std::string* reply) {
    bool complete = true;
    HRESULT hr = ReadText(count, reply, &complete);
    if (SUCCEEDED(hr) && !complete) hr = DiscardReply();
    if (SUCCEEDED(hr) && reply->ends_with(readTerminator_) && !readTerminator_.empty())
        reply->resize(reply->size() - readTerminator_.size());
    return hr;
}

HRESULT CDriverIOProvider::HandleIOError(HRESULT result) {
    // Take the session's description before the clear can replace it.
    const std::string description = TakeThreadErrorDescription();
    {
        // The failure is reported soon after its time-out, not after a second one.
        TimeoutScope brief(*this, kRecoveryClearTimeoutMs);
        Clear();
    }
    const CErrorManager fallback;
    const CErrorManager& errors = links_.errors ? *links_.errors : fallback;
    HRESULT reported;
    if (result == IO_TIMEOUT_RESULT) {
        timedOut_ = true;
        reported = errors.ReportError(IDS_E_ZENTRAVA_IO_TIMEOUT, description);
    } else {
        reported = errors.ReportError(IDS_E_ZENTRAVA_IO_GENERAL, description);
    }
    if (links_.queryInstrumentStatus && links_.queryInstrumentStatus()) StatusCheck();
    return reported;
}

HRESULT CDriverIOProvider::StatusCheck() {
    HRESULT hr = WriteCommand("*ESR?");
    std::string reply;
    if (SUCCEEDED(hr)) hr = ReadReply(100, &reply);
    if (FAILED(hr)) {
        Clear();
        return hr;
    }
    return (ReplyToLong(reply) & 0x3C) ? E_FAIL : S_OK;
}

HRESULT CDriverIOProvider::PollInstrumentErrors() {
    if (!links_.queryInstrumentStatus || !links_.queryInstrumentStatus()) return S_OK;
    if (FAILED(StatusCheck())) {
        const CErrorManager fallback;
        return (links_.errors ? *links_.errors : fallback).ReportError(IDS_E_IVI_INSTRUMENT_STATUS);
    }
    return S_OK;
}

template <class F>
HRESULT CDriverIOProvider::Transfer(LONG timeout, bool poll, F&& primitive) {
    TimeoutScope scope(*this, timeout);
    if (FAILED(scope.result())) return HandleIOError(scope.result());
    timedOut_ = false;
    const HRESULT hr = primitive();
    if (FAILED(hr)) return HandleIOError(hr);
    return poll ? PollInstrumentErrors() : hr;
}

HRESULT CDriverIOProvider::InstrQuery(std::string_view command, std::string* reply, LONG cchDesired, LONG timeout) {
    if (!reply) return E_POINTER;
    if (cchDesired < 0) return E_INVALIDARG;
    return Transfer(timeout, true, [&] {
        HRESULT hr = WriteCommand(command);
        return SUCCEEDED(hr) ? ReadReply(cchDesired, reply) : hr;
    });
}

// A number query: the reply is converted before the status poll, so a
// failed poll still leaves the value read.
template <class T>
HRESULT CDriverIOProvider::QueryNumber(std::string_view command, T* result, LONG timeout,
                                       T (*convert)(std::string_view)) {
    if (!result) return E_POINTER;
    const HRESULT hr = Transfer(timeout, false, [&] {
        HRESULT h = WriteCommand(command);
        return SUCCEEDED(h) ? ReadReply(100, &numberReply_) : h;
    });
    if (FAILED(hr)) return hr;
    *result = convert(numberReply_);
    return PollInstrumentErrors();
}

HRESULT CDriverIOProvider::InstrQuery(std::string_view command, LONG* result, LONG timeout) {
    return QueryNumber(command, result, timeout, ReplyToLong);
}

HRESULT CDriverIOProvider::InstrQuery(std::string_view command, double* result, LONG timeout) {
    return QueryNumber(command, result, timeout, ReplyToDouble);
}

HRESULT CDriverIOProvider::InstrRead(std::string* text, LONG cchDesired, bool removeTrailing, LONG timeout) {
    if (!text) return E_POINTER;
    if (cchDesired < 0) return E_INVALIDARG;
    return Transfer(timeout, true, [&] {
        bool complete = true;
        return removeTrailing ? ReadReply(cchDesired, text) : ReadText(cchDesired, text, &complete);
    });
}

HRESULT CDriverIOProvider::InstrWrite(std::string_view command, LONG timeout) {
    return Transfer(timeout, true, [&] { return WriteCommand(command); });
}

HRESULT CDriverIOProvider::InstrWriteNoPoll(std::string_view command, LONG timeout) {
    return Transfer(timeout, false, [&] { return WriteCommand(command); });
}

HRESULT CDriverIOProvider::FormattedReadList(SAFEARRAY** values, LONG timeout) {
    if (!values) return E_POINTER;
    return Transfer(timeout, true, [&] { return ReadList(values); });
}

HRESULT CDriverIOProvider::FormattedReadIEEEBlock(SAFEARRAY** bytes, bool seekToBlock, bool flushToEnd, LONG timeout) {
    if (!bytes) return E_POINTER;
    return Transfer(timeout, true, [&] { return ReadIEEEBlock(seekToBlock, flushToEnd, bytes); });
}

HRESULT CDriverIOProvider::FormattedWriteIEEEBlock(std::string_view command, SAFEARRAY* bytes, bool flushAndEnd,
                                                   LONG timeout) {
    return Transfer(timeout, true, [&] {
        const HRESULT hr = WriteIEEEBlock(command, bytes, false);
        if (FAILED(hr) || !flushAndEnd) return hr;
        return WriteFormattedString(writeTerminator_, true);
    });
}

HRESULT CDriverIOProvider::FormattedFlushRead(LONG timeout) {
    return Transfer(timeout, false, [&] { return FlushRead(); });
}

// A formatted write that ends the message ends it like every command, with
// the write terminator, so that transports without an END signal see the end
// (the same holds for lists and blocks below).
HRESULT CDriverIOProvider::FormattedWriteString(std::string_view text, bool flushAndEnd, LONG timeout) {
    return Transfer(timeout, flushAndEnd, [&] {
        if (!flushAndEnd) return WriteFormattedString(text, false);
        std::string message(text);
        if (!message.ends_with(writeTerminator_)) message += writeTerminator_;
        return WriteFormattedString(message, true);
    });
}

HRESULT CDriverIOProvider::FormattedWriteList(SAFEARRAY* values, bool flushAndEnd, LONG timeout) {
    if (!values) return E_POINTER;
    return Transfer(timeout, flushAndEnd, [&] {
        const HRESULT hr = WriteFormattedList(values, false);
        if (FAILED(hr) || !flushAndEnd) return hr;
        return WriteFormattedString(writeTerminator_, true);
    });
}

}  // namespace ztv

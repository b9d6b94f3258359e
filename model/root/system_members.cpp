// Hand-written members of IZentravaSystem and IZentravaDisplay: operation
// complete, I/O time-out, serial number, text queries and command pairs.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {
namespace {

// The instrument gets at least this long to answer "*OPC?", and the session
// never runs with a shorter time-out.
constexpr LONG kMinimumTimeout = 100;
constexpr LONG kTextReplyLength = 1024;

}  // namespace

HRESULT opc_wait(engine::MemberCall& call, LONG MaxTimeMilliseconds) {
    if (call.Simulating()) return S_OK;
    Zentrava& root = *call.Root();
    const LONG timeout = MaxTimeMilliseconds < kMinimumTimeout ? kMinimumTimeout : MaxTimeMilliseconds;
    // Polling stays off during the query: "*OPC?" is answered even when the
    // operation left an error behind, which a later poll reports.
    const bool polling = root.Flags().queryInstrumentStatus;
    root.MutableFlags().queryInstrumentStatus = false;
    LONG complete = -1;
    HRESULT hr = call.IO().InstrQuery(call.Command(0), &complete, timeout);
    root.MutableFlags().queryInstrumentStatus = polling;
    if (complete == -1) return call.Errors().ReportError(IDS_E_ZENTRAVA_MAX_TIME_EXCEEDED, "WaitForOperationComplete");
    return hr;
}

HRESULT io_timeout(engine::MemberCall& call, LONG* val) {
    *val = 0;
    const engine::MemberDesc& d = call.Desc();
    if (call.Simulating()) {
        if (!call.Cache().Get(d.key, val)) *val = static_cast<LONG>(d.simNumber);
        return S_OK;
    }
    return call.IO().Provider().GetIOTimeout(val);
}

HRESULT io_timeout(engine::MemberCall& call, LONG val) {
    if (val < kMinimumTimeout) val = kMinimumTimeout;
    if (call.Simulating()) {
        call.Cache().Set(call.Desc().key, val);
        return S_OK;
    }
    return call.IO().Provider().SetIOTimeout(val);
}

HRESULT serial_number(engine::MemberCall& call, BSTR* val) {
    *val = Utf8ToBstr(call.Simulating() ? std::string_view(call.Desc().simText) : call.Root()->State().serialNumber);
    return *val ? S_OK : E_OUTOFMEMORY;
}

// The reply of the member's query as text: into a result, or replacing the
// caller's text of an in-out parameter.
HRESULT query_text(engine::MemberCall& call, BSTR* text) {
    const bool isResult = call.Desc().type == engine::ValueType::String;
    if (isResult) *text = nullptr;
    if (call.Simulating()) return S_OK;
    std::string reply;
    const HRESULT hr = call.IO().InstrQuery(call.Command(0), &reply, kTextReplyLength, kCurrentTimeout);
    if (FAILED(hr)) return hr;
    com::Bstr result(reply);
    if (!result) return E_OUTOFMEMORY;
    if (!isResult) com::Bstr::Adopt(*text);  // the caller's text is replaced
    *text = result.Detach();
    return hr;
}

// Two commands in order, each with its own argument when the member has
// arguments; the second one's result is the member's.
HRESULT command_pair(engine::MemberCall& call, std::span<const double> args) {
    if (call.Simulating()) return S_OK;
    HRESULT hr = S_OK;
    for (std::size_t i = 0; i < call.Desc().commands.size(); ++i) {
        std::vector<engine::CommandArg> arg;
        if (i < args.size()) arg.push_back(engine::CommandArg::Real(args[i]));
        hr = call.IO().InstrWrite(call.Command(i, arg), kCurrentTimeout);
    }
    return hr;
}

HRESULT direct_io(engine::MemberCall& call, visa::IFormattedIO488** val) {
    *val = nullptr;
    if (call.Simulating())
        return call.Errors().ReportError(IDS_E_ZENTRAVA_IO_GENERAL, "Direct I/O not available while Simulating");
    *val = call.Root()->Provider().Formatter();
    return S_OK;
}

}  // namespace ztv::custom

// The Y axis digits of every application's display travel as tokens.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {
namespace {

constexpr LONG kDigitsReplyLength = 6;

const char* DigitsToken(LONG digits) {
    if (digits < 0) return "";
    if (digits == 0) return "OFF";
    if (digits <= 4) return "SHOR";
    if (digits <= 8) return "MIDD";
    return "LONG";
}

}  // namespace

HRESULT yaxis_digits(engine::MemberCall& call, LONG* val) {
    *val = 0;
    const engine::MemberDesc& d = call.Desc();
    if (call.Simulating()) {
        if (!call.Cache().Get(d.key, val)) *val = static_cast<LONG>(d.simNumber);
        return S_OK;
    }
    std::string reply;
    const HRESULT hr = call.IO().InstrQuery(call.Command(0), &reply, kDigitsReplyLength, kCurrentTimeout);
    if (FAILED(hr)) return hr;
    if (reply == "OFF")
        *val = 0;
    else if (reply == "SHOR")
        *val = 4;
    else if (reply == "MIDD")
        *val = 8;
    else if (reply == "LONG")
        *val = 12;
    return hr;
}

HRESULT yaxis_digits(engine::MemberCall& call, LONG val) {
    if (call.Simulating()) {
        call.Cache().Set(call.Desc().key, val);
        return S_OK;
    }
    const engine::CommandArg token[] = {engine::CommandArg::Text(DigitsToken(val))};
    return call.IO().InstrWrite(call.Command(0, token), kCurrentTimeout);
}

}  // namespace ztv::custom

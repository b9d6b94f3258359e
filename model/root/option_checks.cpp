// Settings that first ask the instrument for its options: the trigger mode and
// the active window of the root, which may select baseband only where present.
#include "model/root/option_checks.h"

#include "core/driver.h"
#include "core/engine/member_template.h"
#include "model/zentrava_custom.h"
#include "model/zentrava_enum_tables.h"

namespace ztv::custom {
namespace {

constexpr LONG kOptionsReplyLength = 30;
constexpr LONG kBaseband = 5;  // ZentravaApplicationBB1
constexpr LONG kUser = 6;      // ZentravaApplicationUser1

HRESULT SendToken(engine::MemberCall& call, LONG value) {
    const char* token = engine::TokenOf(*call.Desc().enumType, value);
    if (!token) return S_OK;
    const engine::CommandArg args[] = {engine::CommandArg::Text(token)};
    return call.IO().InstrWrite(call.Command(1, args), kCurrentTimeout);
}

template <class E>
HRESULT ReadApplication(engine::MemberCall& call, E* val) {
    LONG number = 0;
    const HRESULT hr = engine::ReadEnumBody(call, &number);
    *val = static_cast<E>(number);
    return hr;
}

}  // namespace

std::string QueryOptions(engine::MemberCall& call) {
    std::string options;
    if (FAILED(call.IO().InstrQuery("*OPT?", &options, kOptionsReplyLength, kCurrentTimeout))) options.clear();
    return options;
}

bool HasBaseband(engine::MemberCall& call, const std::string& options) {
    return generated::kModel_Q7310A.Contains(call.Model()) || options.find("QVX-BBM") != std::string::npos;
}

bool SimulatedSetting(engine::MemberCall& call, LONG value) {
    if (!call.Simulating()) return false;
    call.Cache().Set(call.Desc().key, value);
    return true;
}

bool SimulatedSetting(engine::MemberCall& call, VARIANT_BOOL value) {
    if (!call.Simulating()) return false;
    call.Cache().Set(call.Desc().key, value);
    return true;
}

HRESULT trigger_mode_options(engine::MemberCall& call, ZentravaApplicationEnum* val) {
    *val = static_cast<ZentravaApplicationEnum>(0);
    return ReadApplication(call, val);
}

HRESULT trigger_mode_options(engine::MemberCall& call, ZentravaApplicationEnum val) {
    if (SimulatedSetting(call, static_cast<LONG>(val))) return S_OK;
    const std::string options = QueryOptions(call);
    if ((val == kBaseband && !HasBaseband(call, options)) || val == kUser)
        return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    return SendToken(call, val);
}

HRESULT active_window_options(engine::MemberCall& call, ZentravaApplicationEnum* val) {
    *val = static_cast<ZentravaApplicationEnum>(0);
    return ReadApplication(call, val);
}

HRESULT active_window_options(engine::MemberCall& call, ZentravaApplicationEnum val) {
    if (SimulatedSetting(call, static_cast<LONG>(val))) return S_OK;
    const std::string options = QueryOptions(call);
    if (val == kBaseband && !HasBaseband(call, options))
        return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    return SendToken(call, val);
}

}  // namespace ztv::custom

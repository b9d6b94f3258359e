// The baseband display can be switched on only where baseband is installed.
#include "core/driver.h"
#include "core/engine/member_template.h"
#include "model/root/option_checks.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {

HRESULT bb_display_options(engine::MemberCall& call, VARIANT_BOOL* val) {
    *val = VARIANT_TRUE;
    return engine::ReadBooleanBody(call, val);
}

HRESULT bb_display_options(engine::MemberCall& call, VARIANT_BOOL val) {
    if (SimulatedSetting(call, val)) return S_OK;
    const std::string options = QueryOptions(call);
    if (val && !HasBaseband(call, options)) return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    const engine::CommandArg state[] = {engine::CommandArg::Text(val ? "1" : "0")};
    engine::CurrentCommand current(call.IO(), call.Command(0, state));
    return call.IO().InstrPrintCommand();
}

}  // namespace ztv::custom

// The frequency-power trigger: the analyzer mode is refused on instruments
// that lack it.
#include "core/driver.h"
#include "core/engine/member_template.h"
#include "model/root/option_checks.h"
#include "model/zentrava_custom.h"
#include "model/zentrava_enum_tables.h"

namespace ztv::custom {
namespace {

constexpr LONG kAnalyzer = 0;  // ZentravaAppTriggerModeAnalyzer

}  // namespace

HRESULT fp_trigger_options(engine::MemberCall& call, ZentravaAppTriggerModeEnum* val) {
    LONG number = 0;
    const HRESULT hr = engine::ReadEnumBody(call, &number);
    *val = static_cast<ZentravaAppTriggerModeEnum>(number);
    return hr;
}

HRESULT fp_trigger_options(engine::MemberCall& call, ZentravaAppTriggerModeEnum val) {
    if (SimulatedSetting(call, static_cast<LONG>(val))) return S_OK;
    const std::string options = QueryOptions(call);
    const std::string_view model = call.Model();
    const bool lacksAnalyzer = generated::kModel_Q7310A.Contains(model) ||
                               (generated::kModel_Q7310B.Contains(model) && options.find("011") != std::string::npos);
    if (val == kAnalyzer && lacksAnalyzer) return call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
    const char* token = engine::TokenOf(*call.Desc().enumType, val);
    if (!token) return S_OK;
    const engine::CommandArg args[] = {engine::CommandArg::Text(token)};
    return call.IO().InstrWrite(call.Command(1, args), kCurrentTimeout);
}

}  // namespace ztv::custom

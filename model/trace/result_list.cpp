// Analysis results of a measurement: one query whose comma-separated reply
// fills the member's outputs in order.
#include <algorithm>

#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {
namespace {

constexpr LONG kResultTimeout = 5000;

}  // namespace

HRESULT result_list(engine::MemberCall& call, std::span<const double> inputs, std::span<double* const> outputs) {
    const engine::MemberDesc& d = call.Desc();
    if (call.Simulating()) {
        for (std::size_t i = 0; i < outputs.size(); ++i) *outputs[i] = i < d.simResults.size() ? d.simResults[i] : 0.0;
        return S_OK;
    }
    std::vector<engine::CommandArg> args;
    for (double input : inputs) args.push_back(engine::CommandArg::Real(input));
    HRESULT hr = call.IO().InstrWriteNoPoll(call.Command(0, args), kResultTimeout);
    if (FAILED(hr)) return hr;
    SAFEARRAY* values = nullptr;
    hr = call.IO().Provider().FormattedReadList(&values, kResultTimeout);
    if (FAILED(hr)) return hr;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(values, 1, &lower);
    SafeArrayGetUBound(values, 1, &upper);
    const std::size_t available = static_cast<std::size_t>(std::max<LONG>(0, upper - lower + 1));
    for (std::size_t i = 0; i < outputs.size() && i < available; ++i) {
        LONG index = lower + static_cast<LONG>(i);
        SafeArrayGetElement(values, &index, outputs[i]);
    }
    SafeArrayDestroy(values);
    // A reply shorter than the outputs leaves the rest as they were.
    return available < outputs.size() ? call.Errors().ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE) : hr;
}

}  // namespace ztv::custom

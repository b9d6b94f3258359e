// The shared LO and bias interfaces: their members address whichever LO or
// bias the last LO1/LO2 or Bias1/Bias2 read selected, process-wide.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "core/engine/shared_selectors.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {
namespace {

// Index of the selected command alternative, or -1 when nothing is selected.
int Selected(engine::SharedSelector selector) { return engine::SelectedNumber(selector) - 1; }

template <class T>
bool SimulatedRead(engine::MemberCall& call, T* val) {
    if (!call.Simulating()) return false;
    if (!call.Cache().Get(call.Desc().key, val)) *val = static_cast<T>(call.Desc().simNumber);
    return true;
}

HRESULT ReadDouble(engine::MemberCall& call, engine::SharedSelector selector, double* val) {
    *val = 0;
    if (SimulatedRead(call, val)) return S_OK;
    const int which = Selected(selector);
    if (which < 0) return S_OK;
    return call.IO().InstrQuery(call.Command(static_cast<std::size_t>(which)), val, kCurrentTimeout);
}

// A setting: kept in the cache when simulating, else sent to the selected
// alternative as `arg`.
template <class T>
HRESULT Write(engine::MemberCall& call, engine::SharedSelector selector, T val, engine::CommandArg arg) {
    if (call.Simulating()) {
        call.Cache().Set(call.Desc().key, val);
        return S_OK;
    }
    const int which = Selected(selector);
    if (which < 0) return S_OK;
    const engine::CommandArg args[] = {std::move(arg)};
    return call.IO().InstrWrite(call.Command(static_cast<std::size_t>(which), args), kCurrentTimeout);
}

}  // namespace

HRESULT lo_selector(engine::MemberCall& call, double* val) { return ReadDouble(call, engine::SharedSelector::LO, val); }

HRESULT lo_selector(engine::MemberCall& call, double val) {
    return Write(call, engine::SharedSelector::LO, val, engine::CommandArg::Real(val));
}

HRESULT bias_selector(engine::MemberCall& call, double* val) {
    return ReadDouble(call, engine::SharedSelector::Bias, val);
}

HRESULT bias_selector(engine::MemberCall& call, double val) {
    return Write(call, engine::SharedSelector::Bias, val, engine::CommandArg::Real(val));
}

// The bias switch reads its reply as a number and hands that number back as
// the boolean, so a reply "1" yields 1.
HRESULT bias_selector(engine::MemberCall& call, VARIANT_BOOL* val) {
    *val = VARIANT_TRUE;
    if (SimulatedRead(call, val)) return S_OK;
    *val = VARIANT_FALSE;
    const int which = Selected(engine::SharedSelector::Bias);
    if (which < 0) return S_OK;
    SHORT number = 0;
    const HRESULT hr = call.IO().InstrQuery(call.Command(static_cast<std::size_t>(which)), &number, kCurrentTimeout);
    if (SUCCEEDED(hr)) *val = number;
    return hr;
}

HRESULT bias_selector(engine::MemberCall& call, VARIANT_BOOL val) {
    return Write(call, engine::SharedSelector::Bias, val, engine::CommandArg::Integer(val ? 1 : 0));
}

}  // namespace ztv::custom

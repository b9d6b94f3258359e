// The transient X axis: the first trace is the wide path, the others the narrow one.
#include "core/driver.h"
#include "core/engine/member_template.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {

HRESULT tr_xdata(engine::MemberCall& call, SAFEARRAY** pVal) {
    *pVal = nullptr;
    if (call.Simulating()) {
        *pVal = SafeArrayCreateVector(VT_R8, 0, 5);
        return *pVal ? S_OK : E_OUTOFMEMORY;
    }
    const std::size_t query = call.Node().Index() == 0 ? 1 : 2;
    return engine::ReadArrayBody(call, query, pVal);
}

}  // namespace ztv::custom

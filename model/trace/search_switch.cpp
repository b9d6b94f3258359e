// Marker searches: the search type picks one of the member's commands.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"

namespace ztv::custom {

// Each declared value up to the number of commands has its own command; a
// declared value beyond them cannot be sent; other numbers send nothing.
HRESULT search_switch(engine::MemberCall& call, LONG value) {
    if (call.Simulating()) return S_OK;
    const engine::MemberDesc& d = call.Desc();
    const engine::EnumValueDesc* declared = engine::FindValue(*d.enumType, value);
    if (!declared) return S_OK;
    if (value < 0 || static_cast<std::size_t>(value) >= d.commands.size())
        return call.Errors().ReportError(IDS_E_IVI_VALUE_NOT_SUPPORTED, declared->name, "SearchType", d.name);
    return call.IO().InstrWrite(call.Command(static_cast<std::size_t>(value)), kCurrentTimeout);
}

}  // namespace ztv::custom

// Marker searches: the search type's command from the model data completes
// the member's command.
#include "core/driver.h"
#include "core/engine/member_call.h"
#include "model/zentrava_custom.h"
#include "model/zentrava_enum_tables.h"

namespace ztv::custom {

// A declared value with a command is sent; a declared value without one
// cannot be sent; other numbers send nothing.
HRESULT search_switch(engine::MemberCall& call, LONG value) {
    if (call.Simulating()) return S_OK;
    const engine::MemberDesc& d = call.Desc();
    const engine::EnumValueDesc* declared = engine::FindValue(*d.enumType, value);
    if (!declared) return S_OK;
    const generated::ValueCommand* search = generated::FindValueCommand(*d.enumType, value);
    if (!search) return call.Errors().ReportError(IDS_E_IVI_VALUE_NOT_SUPPORTED, declared->name, "SearchType", d.name);
    const engine::CommandArg keyword[] = {engine::CommandArg::Text(search->command)};
    return call.IO().InstrWrite(call.Command(0, keyword), kCurrentTimeout);
}

}  // namespace ztv::custom

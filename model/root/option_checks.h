// The instrument's option text ("*OPT?"), which decides whether baseband
// features may be switched on.
#pragma once

#include <string>

#include "core/engine/member_call.h"

namespace ztv::custom {

// Reads the option text; a failed query leaves it empty, so that the caller
// decides as if no option were installed.
std::string QueryOptions(engine::MemberCall& call);

// Baseband is built into the Q7310A of the model data; other models need the
// "QVX-BBM" option.
bool HasBaseband(engine::MemberCall& call, const std::string& options);

// Stores the value while simulating (true returned), as every setter does.
bool SimulatedSetting(engine::MemberCall& call, LONG value);
bool SimulatedSetting(engine::MemberCall& call, VARIANT_BOOL value);

}  // namespace ztv::custom

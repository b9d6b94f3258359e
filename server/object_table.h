// The classes this module knows: the one creatable driver class and the
// measurement and marker classes that exist only inside a driver object.
#pragma once

#include <span>
#include <string_view>

#include "zentrava/com.h"

namespace ztv {

struct ObjectEntry {
    std::string_view name;
    std::string_view clsid;
    bool creatable;
};

std::span<const ObjectEntry> ObjectTable();

}  // namespace ztv

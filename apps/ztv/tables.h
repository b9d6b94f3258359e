// The driver's attributes, enumerations and functions as ztv lists them,
// generated at build time from the object model (tools/modelgen/gen_ztv_tables.py).
// Attributes and enumerations are described as the library's snapshots name them.
#pragma once

#include <span>

#include "ivic/attribute_names.h"

namespace ztv_tool {

using ztv::AttributeInfo;
using ztv::EnumInfo;
using ztv::EnumValueInfo;

struct FunctionInfo {
    const char* name;
    const char* prototype;
};

std::span<const AttributeInfo> Attributes();
std::span<const EnumInfo> Enums();
std::span<const FunctionInfo> Functions();

}  // namespace ztv_tool

// The driver's attributes, enumerations and functions as ztv lists them,
// generated at build time from the object model (tools/modelgen/gen_ztv_tables.py).
#pragma once

#include <span>

namespace ztv_tool {

struct EnumValueInfo {
    const char* name;  // the ZTV_VAL_ constant without its prefix
    long value;
};

struct EnumInfo {
    const char* name;
    std::span<const EnumValueInfo> values;
};

struct AttributeInfo {
    const char* name;  // the ZTV_ATTR_ constant without its prefix
    long id;
    const char* type;  // Boolean, Int32, Real64, String or Enum
    bool writable;
    const char* scpi;  // the header it reads or writes; empty when none
    int enumIndex;     // into Enums(), -1 when not an enumeration
};

struct FunctionInfo {
    const char* name;
    const char* prototype;
};

std::span<const AttributeInfo> Attributes();
std::span<const EnumInfo> Enums();
std::span<const FunctionInfo> Functions();

}  // namespace ztv_tool

// Every IVI-C attribute by the name ztv takes it (the ZTV_ATTR_ constant
// without its prefix), with its enumeration's value names: what snapshots
// key and spell their values by. Generated from the object model
// (tools/modelgen/gen_ztv_tables.py --library); ztv's own tables
// (apps/ztv/tables.h) are described with the same declarations.
#pragma once

#include <span>

namespace ztv {

struct EnumValueInfo {
    const char* name;  // the ZTV_VAL_ constant without its prefix
    long value;
};

struct EnumInfo {
    const char* name;
    std::span<const EnumValueInfo> values;
};

struct AttributeInfo {
    const char* name;
    long id;
    const char* type;  // Boolean, Int32, Real64, String or Enum
    bool writable;
    const char* scpi;  // the header it reads or writes; empty when none
    int enumIndex;     // into Enums(), -1 when not an enumeration
};

std::span<const AttributeInfo> Attributes();
std::span<const EnumInfo> Enums();

}  // namespace ztv

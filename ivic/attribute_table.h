// The attribute records the typed accessors dispatch on. The records
// themselves are generated from the object model.
#pragma once

#include <span>

#include "ivic/navigation.h"

namespace ztv {

enum class AttributeType : std::uint8_t { Int32, Real64, Boolean, String, Session };

// A property value in its COM form; only the member of the record's type is used.
struct ComValue {
    LONG int32 = 0;
    double real64 = 0;
    VARIANT_BOOL boolean = VARIANT_FALSE;
    BSTR text = nullptr;
};

// Called with the owning interface (as IUnknown) reached through the record's path.
using ValueGetter = HRESULT (*)(IUnknown* owner, ComValue* value);
using ValueSetter = HRESULT (*)(IUnknown* owner, const ComValue& value);

struct AttributeRecord {
    ViAttr id;
    AttributeType type;
    bool readOnly;
    bool withoutSession;  // also read from a fresh driver object when the session is VI_NULL
    OwnerPath path;
    ValueGetter get;
    ValueSetter put;           // null when read-only
    const char* constantText;  // a value served without any COM call, else null
};

// Every record, sorted by identifier.
std::span<const AttributeRecord> AttributeRecords();

const AttributeRecord* FindAttribute(ViAttr id);

}  // namespace ztv

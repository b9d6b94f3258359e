// The ten typed attribute accessors: check the identifier against the
// attribute records, reach the owning interface and call its accessor.
#include <algorithm>

#include "ivic/apartment.h"
#include "ivic/attribute_table.h"
#include "services/driver_identity.h"
#include "zentrava/Zentrava.h"
#include "zentrava/raii.h"

using namespace ztv;

namespace {

constexpr ViStatus kNotRecognized = static_cast<ViStatus>(0xBFFA000Cu);
constexpr ViStatus kReadOnly = static_cast<ViStatus>(0xBFFA000Du);
constexpr ViStatus kWrongType = static_cast<ViStatus>(0xBFFA0015u);

// Identifier, type and access are checked before the session is looked at,
// so these errors are recorded even against a handle that is no session.
const AttributeRecord* Dispatch(ViSession vi, ViAttr id, AttributeType type, bool setter, ViStatus* status) {
    const AttributeRecord* record = FindAttribute(id);
    if (!record) {
        IviSession_SetError(vi, kNotRecognized, "Attribute not recognized.");
        *status = kNotRecognized;
    } else if (record->type != type) {
        IviSession_SetError(vi, kWrongType,
                            setter ? "Incorrect SetAttribute for attribute of this type."
                                   : "Incorrect GetAttribute for attribute of this type.");
        *status = kWrongType;
    } else if (setter && record->readOnly) {
        IviSession_SetError(vi, kReadOnly, "Attribute is read only.");
        *status = kReadOnly;
    } else {
        return record;
    }
    return nullptr;
}

// Frees the text a getter stored or a setter was given.
struct OwnedValue : ComValue {
    OwnedValue() = default;
    OwnedValue(const OwnedValue&) = delete;
    OwnedValue& operator=(const OwnedValue&) = delete;
    ~OwnedValue() { com::Bstr::Adopt(text); }
};

// A successful read's warning gives way to the status of storing the value.
template <class Store>
ViStatus ReadValue(ViSession vi, const AttributeRecord& record, IUnknown* owner, Store& store) {
    OwnedValue value;
    const HRESULT hr = record.get(owner, &value);
    const ViStatus status = TranslateStatus(vi, hr);
    if (FAILED(hr)) return status;
    return store(value);
}

// Driver identity that needs no session: a fresh, uninitialized object answers.
template <class Store>
ViStatus ReadFromFreshObject(const AttributeRecord& record, Store& store) {
    if (!JoinApartment()) return kIviCGenericFailure;
    ViStatus status = kIviCGenericFailure;
    {
        IUnknown* object = nullptr;
        const HRESULT created =
            CoCreateInstance(ClsidZentrava(), nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
        const ComRef held = ComRef::Adopt(SUCCEEDED(created) ? object : nullptr);
        if (held) {
            ComRef owner;
            status = ReachOwner(VI_NULL, held.get(), nullptr, record.path, &owner);
            if (owner) status = ReadValue(VI_NULL, record, owner.get(), store);
        }
    }
    CoUninitialize();
    return status;
}

template <class Store>
ViStatus GetAttribute(ViSession vi, ViConstString selector, ViAttr id, AttributeType type, Store store) {
    ViStatus status = 0;
    const AttributeRecord* record = Dispatch(vi, id, type, false, &status);
    if (!record) return status;
    if (record->constantText) {
        OwnedValue value;
        value.text = Utf8ToBstr(record->constantText);
        return store(value);
    }
    if (vi == VI_NULL && record->withoutSession) return ReadFromFreshObject(*record, store);
    return OnOwner(vi, selector, record->path, [&](IUnknown* owner) { return ReadValue(vi, *record, owner, store); });
}

ViStatus SetAttribute(ViSession vi, ViConstString selector, ViAttr id, AttributeType type, const ComValue& value) {
    ViStatus status = 0;
    const AttributeRecord* record = Dispatch(vi, id, type, true, &status);
    if (!record) return status;
    return OnOwner(vi, selector, record->path,
                   [&](IUnknown* owner) { return TranslateStatus(vi, record->put(owner, value)); });
}

template <class T>
auto StoreNumber(T* target, T ComValue::*field) {
    return [=](const ComValue& value) {
        if (!target) return kIviCGenericFailure;
        *target = value.*field;
        return ViStatus{0};
    };
}

}  // namespace

namespace ztv {

const AttributeRecord* FindAttribute(ViAttr id) {
    const auto records = AttributeRecords();
    const auto it = std::lower_bound(records.begin(), records.end(), id,
                                     [](const AttributeRecord& r, ViAttr wanted) { return r.id < wanted; });
    return it != records.end() && it->id == id ? &*it : nullptr;
}

}  // namespace ztv

extern "C" {

ViStatus _VI_FUNC Ztv_GetAttributeViInt32(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                          ViInt32* AttributeValue) {
    return GetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Int32,
                        StoreNumber<LONG>(AttributeValue, &ComValue::int32));
}

ViStatus _VI_FUNC Ztv_GetAttributeViReal64(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                           ViReal64* AttributeValue) {
    return GetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Real64,
                        StoreNumber<double>(AttributeValue, &ComValue::real64));
}

ViStatus _VI_FUNC Ztv_GetAttributeViBoolean(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                            ViBoolean* AttributeValue) {
    return GetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Boolean, [=](const ComValue& value) {
        if (!AttributeValue) return kIviCGenericFailure;
        *AttributeValue = value.boolean != VARIANT_FALSE ? VI_TRUE : VI_FALSE;
        return ViStatus{0};
    });
}

ViStatus _VI_FUNC Ztv_GetAttributeViString(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                           ViInt32 BufferSize, ViChar AttributeValue[]) {
    return GetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::String,
                        [=](const ComValue& value) { return StoreText(value.text, BufferSize, AttributeValue); });
}

// No attribute holds a session: these two only tell known identifiers
// (wrong type) from unknown ones.
ViStatus _VI_FUNC Ztv_GetAttributeViSession(ViSession Vi, ViConstString, ViAttr AttributeId, ViSession*) {
    ViStatus status = 0;
    Dispatch(Vi, AttributeId, AttributeType::Session, false, &status);
    return status;
}

ViStatus _VI_FUNC Ztv_SetAttributeViInt32(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                          ViInt32 AttributeValue) {
    ComValue value;
    value.int32 = AttributeValue;
    return SetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Int32, value);
}

ViStatus _VI_FUNC Ztv_SetAttributeViReal64(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                           ViReal64 AttributeValue) {
    ComValue value;
    value.real64 = AttributeValue;
    return SetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Real64, value);
}

ViStatus _VI_FUNC Ztv_SetAttributeViBoolean(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                            ViBoolean AttributeValue) {
    ComValue value;
    value.boolean = AttributeValue != VI_FALSE ? VARIANT_TRUE : VARIANT_FALSE;
    return SetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::Boolean, value);
}

ViStatus _VI_FUNC Ztv_SetAttributeViString(ViSession Vi, ViConstString RepCapIdentifier, ViAttr AttributeId,
                                           ViConstString AttributeValue) {
    OwnedValue value;
    value.text = AttributeValue ? Utf8ToBstr(AttributeValue) : nullptr;
    return SetAttribute(Vi, RepCapIdentifier, AttributeId, AttributeType::String, value);
}

ViStatus _VI_FUNC Ztv_SetAttributeViSession(ViSession Vi, ViConstString, ViAttr AttributeId, ViSession) {
    ViStatus status = 0;
    Dispatch(Vi, AttributeId, AttributeType::Session, true, &status);
    return status;
}

}  // extern "C"

// How an IVI-C function reaches the interface that owns its member: asked
// of the session's driver object directly (depth 0), or through a
// measurement (depth 1) and one of its markers (depth 2) named by the
// selector.
#pragma once

#include <string>

#include "ivic/call_frame.h"
#include "zentrava/raii.h"

namespace ztv {

using ComRef = com::ComPtr<IUnknown>;

// Item of a measurement or marker collection.
using ItemGetter = HRESULT (*)(IUnknown* collection, BSTR name, IUnknown** item);

// The names a measurement or marker collection holds, as "A, B, C".
using NameLister = std::string (*)(IUnknown* collection);

template <class Collection>
std::string CollectionNames(IUnknown* object) {
    auto* collection = static_cast<Collection*>(object);
    LONG count = 0;
    if (FAILED(collection->get_Count(&count))) return {};
    std::string names;
    for (LONG index = 1; index <= count; ++index) {
        com::Bstr name;
        if (FAILED(collection->get_Name(index, name.Receive()))) continue;
        if (!names.empty()) names += ", ";
        names += name.Utf8();
    }
    return names;
}

// One application's repeated capabilities.
struct RepCapRoute {
    const IID* measurements;  // collection interface, asked of the driver object
    ItemGetter measurementItem;
    NameLister measurementNames;
    const IID* measurement;  // what the collection's Item returns
    const IID* markers;      // collection interface, asked of a measurement
    ItemGetter markerItem;
    NameLister markerNames;
    const IID* marker;
};

struct OwnerPath {
    int depth;  // 0, 1 or 2
    const IID* iid;
    const RepCapRoute* route;  // null at depth 0
};

// Walks from the driver object to the owner; every COM result goes through
// status translation. On failure *owner stays empty and the status says why.
ViStatus ReachOwner(ViSession vi, IUnknown* object, ViConstString selector, const OwnerPath& path, ComRef* owner);

// The call frame with navigation: body(IUnknown* owner) returns the status.
template <class Body>
ViStatus OnOwner(ViSession vi, ViConstString selector, const OwnerPath& path, Body&& body) {
    IUnknown* object = nullptr;
    ViStatus status = 0;
    if (FAILED(SessionObject(vi, &object, &status))) return status;
    const ComRef held = ComRef::Share(object);
    ComRef owner;
    status = ReachOwner(vi, object, selector, path, &owner);
    if (!owner) return status;
    return body(owner.get());
}

}  // namespace ztv

#include "ivic/navigation.h"

#include <string>
#include <vector>

#include "ivic/selector.h"
#include "services/error_codes.h"

namespace ztv {
namespace {

ViStatus Query(ViSession vi, IUnknown* from, const IID& iid, ComRef* to) {
    const HRESULT hr = from->QueryInterface(iid, to->ReceiveVoid());
    const ViStatus status = TranslateStatus(vi, hr);
    if (FAILED(hr)) *to = ComRef();
    if (!*to && status >= 0) return kIviCGenericFailure;
    return status;
}

ViStatus Item(ViSession vi, IUnknown* collection, ItemGetter item, NameLister names, const std::string& name,
              ComRef* to) {
    const com::Bstr bstr(name);
    const HRESULT hr = item(collection, bstr.get(), to->Receive());
    const ViStatus status = TranslateStatus(vi, hr);
    if (FAILED(hr)) *to = ComRef();
    if (hr == E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER) return ReportUnknownSelectorName(vi, status, name, names(collection));
    if (!*to && status >= 0) return kIviCGenericFailure;
    return status;
}

// The owner is either the item itself or another interface of its object.
ViStatus Settle(ViSession vi, ComRef item, const IID& itemIid, const IID& ownerIid, ComRef* owner) {
    if (itemIid == ownerIid) {
        *owner = std::move(item);
        return 0;
    }
    return Query(vi, item.get(), ownerIid, owner);
}

}  // namespace

ViStatus ReachOwner(ViSession vi, IUnknown* object, ViConstString selector, const OwnerPath& path, ComRef* owner) {
    if (path.depth == 0) return Query(vi, object, *path.iid, owner);

    const RepCapRoute& route = *path.route;
    ComRef measurements;
    ViStatus status = Query(vi, object, *route.measurements, &measurements);
    if (!measurements) return status;
    const std::vector<std::string> levels = SelectorLevels(selector);
    if (levels.size() < static_cast<std::size_t>(path.depth))
        return ReportBadlyFormedSelector(vi, selector, path.depth);

    ComRef measurement;
    status = Item(vi, measurements.get(), route.measurementItem, route.measurementNames, levels[0], &measurement);
    if (!measurement) return status;
    if (path.depth == 1) return Settle(vi, std::move(measurement), *route.measurement, *path.iid, owner);

    ComRef markers;
    status = Query(vi, measurement.get(), *route.markers, &markers);
    if (!markers) return status;
    ComRef marker;
    status = Item(vi, markers.get(), route.markerItem, route.markerNames, levels[1], &marker);
    if (!marker) return status;
    return Settle(vi, std::move(marker), *route.marker, *path.iid, owner);
}

}  // namespace ztv

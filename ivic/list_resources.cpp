// Extension of the C face: every resource this process could open now.
#include <string>

#include "ivic/status_translation.h"
#include "platform/visa/resource_list.h"
#include "zentrava/Zentrava.h"
#include "zentrava/raii.h"

namespace {

// The list a caller was told it needs more room for: the call that follows
// with the room gets the same list, without probing every address again.
thread_local std::string pendingOptions;
thread_local std::string pendingList;
thread_local bool pending = false;

}  // namespace

extern "C" {

ViStatus Ztv_ListResources(ViConstString Options, ViInt32 BufferSize, ViChar Resources[]) {
    const std::string options = Options != nullptr ? Options : "";
    std::string list;
    if (pending && pendingOptions == options) {
        list = std::move(pendingList);
    } else {
        list = visa::FormatResourceList(visa::ListResources(visa::OpenOptions::Parse(options)));
    }
    const ViStatus stored = ztv::StoreText(com::Bstr(list).get(), BufferSize, Resources);
    pending = stored > 0;
    if (pending) {
        pendingOptions = options;
        pendingList = std::move(list);
    }
    return stored;
}

}  // extern "C"

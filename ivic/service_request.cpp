// Extension of the C face: waiting for the instrument's service request.
#include "zentrava/Zentrava.h"
#include "ivic/direct_io.h"
#include "ivic/generated/ivic_paths.h"
#include "zentrava/interfaces.h"

extern "C" {

ViStatus Ztv_WaitForServiceRequest(ViSession Vi, ViInt32 TimeoutMs, ViInt16* StatusByte) {
    return ztv::WaitForServiceRequestDirect(
        Vi, ztv::generated::kPath0_IZentravaSystem,
        [](IUnknown* system, visa::IFormattedIO488** io) { return static_cast<IZentravaSystem*>(system)->get_IO(io); },
        TimeoutMs, StatusByte);
}

}  // extern "C"

// Extension of the C face: direct reads of raw bytes, for replies that are
// not text (an image as a definite-length block).
#include "ivic/direct_io.h"
#include "zentrava/Zentrava.h"
#include "zentrava/interfaces.h"

extern "C" {

ViStatus Ztv_SystemReadBytes(ViSession Vi, ViInt32 BufferSize, ViByte Data[], ViInt32* ActualCount) {
    static const ztv::OwnerPath kSystem{0, &IID_IZentravaSystem, nullptr};
    return ztv::ReadBytesDirect(
        Vi, kSystem,
        [](IUnknown* system, visa::IFormattedIO488** io) { return static_cast<IZentravaSystem*>(system)->get_IO(io); },
        BufferSize, Data, ActualCount);
}

}  // extern "C"

// Direct instrument I/O for C programs, through the session's formatted
// I/O object and its message-based session.
#pragma once

#include "ivic/navigation.h"
#include "platform/visa/visacom.h"

namespace ztv {

// Reads the IO property of the system interface.
using FormattedIoGetter = HRESULT (*)(IUnknown* system, visa::IFormattedIO488** io);

ViStatus WriteDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViConstString text);

// Reads at most bufferSize characters; the text is stored under the
// text-output rule and actualCount receives the number of characters read.
ViStatus ReadDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViInt32 bufferSize, ViChar* text,
                    ViInt32* actualCount);

// Reads at most bufferSize bytes as they arrive, binary blocks included;
// actualCount receives the number of bytes read.
ViStatus ReadBytesDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViInt32 bufferSize,
                         ViByte* data, ViInt32* actualCount);

}  // namespace ztv

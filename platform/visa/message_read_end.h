// What IMessage::ReadBytes cannot tell: why a read stopped, and whether the
// link marks message ends at all. The formatter asks sessions of this layer
// for it to find the end of a message even when a reply exactly fills its
// buffer or holds the termination character as data.
#pragma once

#include "platform/visa/visacom.h"

namespace visa {

enum ReadStop : LONG { READ_STOP_COUNT = 0, READ_STOP_END = 1, READ_STOP_TERMCHAR = 2 };

struct IMessageReadEnd : IUnknown {
    virtual HRESULT ReadBytesWithStop(void* buffer, LONG count, LONG* actual, ReadStop* stop) = 0;
    virtual HRESULT get_CarriesEnd(VARIANT_BOOL* carried) = 0;

protected:
    ~IMessageReadEnd() = default;
};

extern const IID IID_IMessageReadEnd;

}  // namespace visa

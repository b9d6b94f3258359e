// What IMessage::ReadBytes cannot tell: why a read stopped. The formatter
// asks sessions of this layer for it to find the end of a message even when
// a reply exactly fills its buffer.
#pragma once

#include "platform/visa/visacom.h"

namespace visa {

enum ReadStop : LONG { READ_STOP_COUNT = 0, READ_STOP_END = 1, READ_STOP_TERMCHAR = 2 };

struct IMessageReadEnd : IUnknown {
    virtual HRESULT ReadBytesWithStop(void* buffer, LONG count, LONG* actual, ReadStop* stop) = 0;

protected:
    ~IMessageReadEnd() = default;
};

extern const IID IID_IMessageReadEnd;

}  // namespace visa

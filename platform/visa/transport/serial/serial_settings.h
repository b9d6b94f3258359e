// Serial line settings from the open options: BaudRate, DataBits (5-8),
// Parity (None, Odd, Even, Mark, Space), StopBits (1 or 2) and FlowControl
// (None, XonXoff, RtsCts); 9600 8N1 without flow control by default.
#pragma once

#include <termios.h>

#include "platform/visa/open_options.h"
#include "platform/visa/status.h"

namespace visa {

enum class Parity { None, Odd, Even, Mark, Space };
enum class FlowControl { None, XonXoff, RtsCts };

struct SerialSettings {
    int baudRate = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
    FlowControl flowControl = FlowControl::None;
};

Status ParseSerialSettings(const OpenOptions& options, SerialSettings* settings);
// Raw mode with the given line settings; the descriptor is non-blocking and
// waiting is done with poll.
void ToTermios(const SerialSettings& settings, termios* attributes);

}  // namespace visa

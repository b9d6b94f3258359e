// ASRL resources: a tty in raw mode. A serial line has no END: reads stop at
// the termination character when it is enabled, otherwise when the count is
// reached. After a read timed out, input still waiting is dropped before the
// next write; device clear flushes both directions.
#pragma once

#include <memory>
#include <string>

#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/receive_buffer.h"
#include "platform/visa/transport/serial/serial_settings.h"
#include "platform/visa/transport/text_status_byte.h"

namespace visa {

// Opens a tty in raw mode with the given line settings, non-blocking.
Status OpenSerialPort(const std::string& devicePath, const SerialSettings& settings, UniqueFd* tty);

class SerialTransport final : public TextStatusByteTransport {
public:
    static Status Open(const std::string& devicePath, const SerialSettings& settings,
                       std::unique_ptr<Transport>* transport);

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;

private:
    explicit SerialTransport(std::string devicePath) : path_(std::move(devicePath)) {}

    Status Flush(int queues);

    std::string path_;
    UniqueFd tty_;
    ReceiveBuffer received_;
    bool stale_ = false;
};

}  // namespace visa

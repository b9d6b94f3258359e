// TCPIP::host::port::SOCKET: a plain TCP stream. There is no END on a raw
// socket: reads stop at the termination character when it is enabled, and
// otherwise when no more data is waiting. Device clear and a read that timed
// out both reconnect, so that a late reply can never be read as the answer to
// a later query; the status byte and trigger are sent as "*STB?" and "*TRG".
#pragma once

#include <memory>
#include <string>

#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/receive_buffer.h"
#include "platform/visa/transport/text_status_byte.h"

namespace visa {

class SocketTransport final : public TextStatusByteTransport {
public:
    static Status Open(const std::string& host, std::uint16_t port, Deadline deadline,
                       std::unique_ptr<Transport>* transport);

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;

private:
    SocketTransport(std::string host, std::uint16_t port);

    Status Connect(Deadline deadline);
    Status Reconnect(Deadline deadline);
    // Fails the transfer and forgets the connection state it leaves behind.
    Status Abandon(Status failure);
    // Receives what has arrived for `request`, at least one byte; true in
    // `*hitTermChar` when the bytes taken into the request end with it.
    Status Receive(const ReadRequest& request, std::size_t* filled, Deadline deadline, bool* hitTermChar);

    std::string host_;
    std::uint16_t port_;
    std::string peer_;
    UniqueFd socket_;
    ReceiveBuffer received_;
    bool stale_ = false;  // the stream may still carry the rest of an abandoned reply
    int armedMs_ = -1;    // the receive time-out the socket holds, for ReceiveWaiting
};

}  // namespace visa

// One of the two TCP connections of a HiSLIP session, read message by
// message. The position inside a message survives a time-out, so that the
// rest of a late message is recognised and skipped later instead of being
// read as a new header.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/protocol/hislip_message.h"
#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/receive_buffer.h"
#include "platform/visa/transport/transport.h"

namespace visa::hislip {

// The driver speaks the wire format of the shared protocol library.
using namespace protocol::hislip;

class Channel {
public:
    Status Connect(const std::string& host, std::uint16_t port, Deadline deadline);
    void Close();
    // Wakes a reader blocked on this channel from another thread; the
    // channel then reads as lost.
    void Interrupt();
    bool connected() const { return socket_.valid(); }
    const std::string& peer() const { return peer_; }

    Status Send(const Header& header, const std::uint8_t* payload, Deadline deadline);

    // Waits for the next header. The payload of the previous message must
    // have been read or skipped.
    Status Next(Deadline deadline, Header* header);
    bool InMessage() const { return inMessage_; }
    std::uint64_t Remaining() const { return remaining_; }

    // Copies payload of the current message into the request's buffer from
    // `*filled` on, until the request is full, the termination character was
    // stored (`*hitTermChar`) or the message is done.
    Status ReadPayload(const ReadRequest& request, std::size_t* filled, bool* hitTermChar, Deadline deadline);
    // The rest of the current payload, for the short messages of the protocol.
    Status ReadPayload(std::vector<std::uint8_t>* payload, Deadline deadline);
    Status SkipPayload(Deadline deadline);

private:
    Status Receive(Deadline deadline);
    // Connection-level failures close the channel.
    Status Failed(Status status);

    UniqueFd socket_;
    std::atomic<int> openFd_{-1};  // socket_ as another thread may see it
    std::string peer_;
    ReceiveBuffer received_;
    std::vector<std::uint8_t> outgoing_;
    bool inMessage_ = false;
    std::uint64_t remaining_ = 0;
};

}  // namespace visa::hislip

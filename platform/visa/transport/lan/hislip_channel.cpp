#include "platform/visa/transport/lan/hislip_channel.h"

#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "platform/visa/transport/lan/tcp_connect.h"

namespace visa::hislip {
namespace {

constexpr std::size_t kReceiveChunk = 64 * 1024;
// A short protocol message that claims more than this is garbage.
constexpr std::uint64_t kMaxControlPayload = 64 * 1024;

}  // namespace

Status Channel::Connect(const std::string& host, std::uint16_t port, Deadline deadline) {
    Close();
    peer_ = PeerName(host, port);
    Status status = ConnectTcp(host, port, deadline, &socket_);
    openFd_ = socket_.get();
    return status;
}

void Channel::Close() {
    openFd_ = -1;
    socket_.reset();
    received_.clear();
    inMessage_ = false;
    remaining_ = 0;
}

void Channel::Interrupt() {
    if (int fd = openFd_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

Status Channel::Failed(Status status) {
    if (!status.ok() && status.code != E_VISA_TMO) Close();
    return status;
}

Status Channel::Send(const Header& header, const std::uint8_t* payload, Deadline deadline) {
    if (!connected()) return Status::Fail(E_VISA_CONN_LOST, "Connection to " + peer_ + " lost.");
    const auto head = EncodeHeader(header);
    // Header and a small payload go out in one segment.
    if (header.payloadLength <= kReceiveChunk) {
        outgoing_.assign(head.begin(), head.end());
        outgoing_.insert(outgoing_.end(), payload, payload + header.payloadLength);
        return Failed(WriteAll(socket_.get(), outgoing_.data(), outgoing_.size(), deadline, peer_));
    }
    if (Status status = WriteAll(socket_.get(), head.data(), head.size(), deadline, peer_); !status.ok()) {
        return Failed(status);
    }
    return Failed(WriteAll(socket_.get(), payload, header.payloadLength, deadline, peer_));
}

Status Channel::Receive(Deadline deadline) {
    if (!connected()) return Status::Fail(E_VISA_CONN_LOST, "Connection to " + peer_ + " lost.");
    return Failed(received_.ReadFrom(socket_.get(), kReceiveChunk, deadline, peer_));
}

Status Channel::Next(Deadline deadline, Header* header) {
    while (received_.size() < kHeaderSize) {
        if (Status status = Receive(deadline); !status.ok()) return status;
    }
    const auto decoded = DecodeHeader(received_.data());
    if (!decoded) {
        Close();
        return Status::Fail(E_VISA_IO, "Malformed HiSLIP message from " + peer_ + "; connection closed.");
    }
    received_.Consume(kHeaderSize);
    *header = *decoded;
    inMessage_ = header->payloadLength > 0;
    remaining_ = header->payloadLength;
    return Status::Ok();
}

Status Channel::ReadPayload(const ReadRequest& request, std::size_t* filled, bool* hitTermChar, Deadline deadline) {
    *hitTermChar = false;
    while (remaining_ > 0 && *filled < request.count) {
        if (received_.empty()) {
            if (Status status = Receive(deadline); !status.ok()) return status;
        }
        const std::size_t before = *filled;
        const auto limit = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, SIZE_MAX));
        *hitTermChar = received_.Take(request, filled, limit);
        remaining_ -= *filled - before;
        if (*hitTermChar) break;
    }
    inMessage_ = remaining_ > 0;
    return Status::Ok();
}

Status Channel::ReadPayload(std::vector<std::uint8_t>* payload, Deadline deadline) {
    if (remaining_ > kMaxControlPayload) {
        Close();
        return Status::Fail(E_VISA_IO, "Oversized HiSLIP control message from " + peer_ + "; connection closed.");
    }
    payload->resize(static_cast<std::size_t>(remaining_));
    std::size_t filled = 0;
    bool hitTermChar = false;
    return ReadPayload(ReadRequest{payload->data(), payload->size(), false, 0}, &filled, &hitTermChar, deadline);
}

Status Channel::SkipPayload(Deadline deadline) {
    while (remaining_ > 0) {
        if (received_.empty()) {
            if (Status status = Receive(deadline); !status.ok()) return status;
        }
        const std::size_t skip = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, received_.size()));
        received_.Consume(skip);
        remaining_ -= skip;
    }
    inMessage_ = false;
    return Status::Ok();
}

}  // namespace visa::hislip

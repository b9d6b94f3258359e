#include "platform/visa/transport/lan/hislip_transport.h"

#include <algorithm>

#include "platform/protocol/byte_order.h"

namespace visa {

using namespace hislip;
using protocol::GetBigEndian64;
using protocol::PutBigEndian64;

namespace {

constexpr std::uint16_t kVendorId = ('Z' << 8) | 'T';
// We read replies as a stream, so any message size suits us.
constexpr std::uint64_t kClientMaximumMessageSize = std::uint64_t{1} << 32;

}  // namespace

HislipTransport::HislipTransport(std::string host, std::uint16_t port, std::string subAddress)
    : host_(std::move(host)), port_(port), subAddress_(std::move(subAddress)) {}

Status HislipTransport::Open(const std::string& host, std::uint16_t port, const std::string& subAddress,
                             Deadline deadline, std::unique_ptr<Transport>* transport) {
    std::unique_ptr<HislipTransport> opened(new HislipTransport(host, port, subAddress));
    if (Status status = opened->Connect(deadline); !status.ok()) return status;
    *transport = std::move(opened);
    return Status::Ok();
}

Status HislipTransport::Connect(Deadline deadline) {
    ResetMessageIds();
    if (Status status = sync_.Connect(host_, port_, deadline); !status.ok()) return status;
    const auto* subAddress = reinterpret_cast<const std::uint8_t*>(subAddress_.data());
    Header request{Initialize, 0, (std::uint32_t{kProtocolVersion} << 16) | kVendorId, subAddress_.size()};
    if (Status status = sync_.Send(request, subAddress, deadline); !status.ok()) return status;
    Header reply;
    if (Status status = sync_.Next(deadline, &reply); !status.ok()) return status;
    if (reply.type != InitializeResponse) {
        Status refused = ServerError(reply, deadline);
        sync_.Close();
        return Status::Fail(E_VISA_RSRC_NFOUND,
                            "HiSLIP server " + sync_.peer() + " refused \"" + subAddress_ + "\": " + refused.text);
    }
    if (Status status = sync_.SkipPayload(deadline); !status.ok()) return status;
    overlapMode_ = reply.control & 1;
    sessionId_ = static_cast<std::uint16_t>(reply.parameter & 0xFFFF);

    if (Status status = async_.Connect(host_, port_, deadline); !status.ok()) return status;
    Header asyncReply;
    std::vector<std::uint8_t> payload;
    if (Status status = AsyncTransaction(Header{AsyncInitialize, 0, sessionId_, 0}, nullptr, AsyncInitializeResponse,
                                         deadline, &asyncReply, &payload);
        !status.ok()) {
        return status;
    }
    std::uint8_t size[8];
    PutBigEndian64(kClientMaximumMessageSize, size);
    if (Status status = AsyncTransaction(Header{AsyncMaximumMessageSize, 0, 0, sizeof size}, size,
                                         AsyncMaximumMessageSizeResponse, deadline, &asyncReply, &payload);
        !status.ok()) {
        return status;
    }
    if (payload.size() != 8)
        return Status::Fail(E_VISA_IO, "Malformed maximum message size from " + async_.peer() + ".");
    serverMaximumMessageSize_ = GetBigEndian64(payload.data());
    return Status::Ok();
}

void HislipTransport::ResetMessageIds() {
    nextMessageId_ = kFirstMessageId;
    lastSentId_ = kFirstMessageId - 2;
    rmtDelivered_ = false;
    deliverCurrent_ = false;
    currentIsEnd_ = false;
}

Status HislipTransport::EnsureConnected(Deadline deadline) {
    if (sync_.connected() && async_.connected()) return Status::Ok();
    // A session that lost a channel, or its place in the stream, starts anew.
    sync_.Close();
    async_.Close();
    return Connect(deadline);
}

Status HislipTransport::Lost(Status failure) {
    // A time-out leaves both channels usable; anything else ends the session.
    if (!failure.ok() && failure.code != E_VISA_TMO) {
        sync_.Close();
        async_.Close();
    }
    return failure;
}

Status HislipTransport::ServerError(const Header& header, Deadline deadline) {
    std::vector<std::uint8_t> text;
    if (header.type != Error && header.type != FatalError) {
        sync_.SkipPayload(deadline);
        return Status::Fail(E_VISA_IO, "unexpected HiSLIP message type " + std::to_string(header.type) + ".");
    }
    if (Status status = sync_.ReadPayload(&text, deadline); !status.ok()) return status;
    const std::string kind = header.type == FatalError ? "fatal error" : "error";
    return Status::Fail(header.type == FatalError ? E_VISA_CONN_LOST : E_VISA_IO,
                        "HiSLIP " + kind + " " + std::to_string(header.control) + " \"" +
                            std::string(text.begin(), text.end()) + "\".");
}

Status HislipTransport::AsyncTransaction(const Header& request, const std::uint8_t* payload, std::uint8_t replyType,
                                         Deadline deadline, Header* reply, std::vector<std::uint8_t>* replyPayload) {
    if (!async_.connected()) return Status::Fail(E_VISA_CONN_LOST, "Connection to " + async_.peer() + " lost.");
    if (async_.InMessage()) {
        if (Status status = async_.SkipPayload(deadline); !status.ok()) return Lost(status);
    }
    if (Status status = async_.Send(request, payload, deadline); !status.ok()) return Lost(status);
    for (;;) {
        if (Status status = async_.Next(deadline, reply); !status.ok()) return Lost(status);
        if (reply->type == replyType) return Lost(async_.ReadPayload(replyPayload, deadline));
        if (reply->type == Error || reply->type == FatalError) {
            std::vector<std::uint8_t> text;
            async_.ReadPayload(&text, deadline);
            if (reply->type == FatalError) async_.Close();
            return Lost(Status::Fail(reply->type == FatalError ? E_VISA_CONN_LOST : E_VISA_IO,
                                     "HiSLIP error " + std::to_string(reply->control) + " \"" +
                                         std::string(text.begin(), text.end()) + "\" from " + async_.peer() + "."));
        }
        if (reply->type == AsyncServiceRequest) pendingServiceRequest_ = reply->control;
        if (Status status = async_.SkipPayload(deadline); !status.ok()) return Lost(status);
    }
}

Status HislipTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    if (Status status = EnsureConnected(deadline); !status.ok()) return status;
    for (;;) {
        if (interruption_.raised()) return ServiceRequestWaitInterrupted();
        if (pendingServiceRequest_) {
            *statusByte = *pendingServiceRequest_;
            pendingServiceRequest_.reset();
            return Status::Ok();
        }
        if (async_.InMessage()) {
            if (Status status = async_.SkipPayload(deadline); !status.ok()) return Lost(status);
        }
        Header header;
        Status status = async_.Next(deadline, &header);
        if (interruption_.raised()) return ServiceRequestWaitInterrupted();
        if (status.code == E_VISA_TMO) return ServiceRequestWaitTimedOut();
        if (!status.ok()) return Lost(status);
        if (header.type == AsyncServiceRequest) pendingServiceRequest_ = header.control;
    }
}

void HislipTransport::Interrupt() {
    Transport::Interrupt();
    async_.Interrupt();
}

Status HislipTransport::SendOnSync(std::uint8_t type, const std::uint8_t* payload, std::size_t size,
                                   Deadline deadline) {
    const Header header{type, static_cast<std::uint8_t>(rmtDelivered_ ? kRmtDelivered : 0), nextMessageId_, size};
    rmtDelivered_ = false;
    lastSentId_ = nextMessageId_;
    nextMessageId_ += 2;
    return Lost(sync_.Send(header, payload, deadline));
}

Status HislipTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (Status status = EnsureConnected(deadline); !status.ok()) return status;
    // Whatever is still arriving belongs to an earlier message.
    deliverCurrent_ = false;
    const std::uint64_t limit =
        serverMaximumMessageSize_ > kHeaderSize + 1 ? serverMaximumMessageSize_ - kHeaderSize : 1;
    do {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(size, limit));
        const bool last = chunk == size;
        if (Status status = SendOnSync(last && end ? DataEnd : Data, data, chunk, deadline); !status.ok()) {
            return status;
        }
        data += chunk;
        size -= chunk;
    } while (size > 0);
    return Status::Ok();
}

Status HislipTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (Status status = EnsureConnected(deadline); !status.ok()) return status;
    std::size_t filled = 0;
    for (;;) {
        if (!sync_.InMessage()) {
            Header header;
            if (Status status = sync_.Next(deadline, &header); !status.ok()) return Lost(status);
            if (header.type == Error || header.type == FatalError) return Lost(ServerError(header, deadline));
            // A length beyond what we accept means the header is not one.
            if (header.payloadLength > kClientMaximumMessageSize) {
                return Lost(Status::Fail(E_VISA_IO, "HiSLIP message from " + sync_.peer() + " claims " +
                                                        std::to_string(header.payloadLength) +
                                                        " bytes, more than agreed; connection closed."));
            }
            const bool data = header.type == Data || header.type == DataEnd;
            deliverCurrent_ = data && header.parameter == lastSentId_;
            currentIsEnd_ = header.type == DataEnd;
            if (!deliverCurrent_) {
                if (Status status = sync_.SkipPayload(deadline); !status.ok()) return Lost(status);
                continue;
            }
        }
        if (!deliverCurrent_) {
            if (Status status = sync_.SkipPayload(deadline); !status.ok()) return Lost(status);
            continue;
        }
        bool hitTermChar = false;
        if (Status status = sync_.ReadPayload(request, &filled, &hitTermChar, deadline); !status.ok()) {
            return Lost(status);
        }
        const bool messageDone = !sync_.InMessage() && currentIsEnd_;
        if (messageDone) {
            rmtDelivered_ = true;
            deliverCurrent_ = false;
        }
        if (hitTermChar || messageDone || filled == request.count) {
            result->end = hitTermChar ? ReadEnd::TermChar : messageDone ? ReadEnd::End : ReadEnd::Count;
            break;
        }
    }
    result->count = filled;
    return Status::Ok();
}

Status HislipTransport::Clear(Deadline deadline) {
    if (!sync_.connected() || !async_.connected()) return EnsureConnected(deadline);
    const Status cleared = ClearChannels(deadline);
    // A clear that could not finish leaves the channels at unknown places in
    // their streams: they go, and the next call connects again.
    if (!cleared.ok()) {
        sync_.Close();
        async_.Close();
    }
    return cleared;
}

Status HislipTransport::ClearChannels(Deadline deadline) {
    Header acknowledge;
    std::vector<std::uint8_t> payload;
    if (Status status = AsyncTransaction(Header{AsyncDeviceClear, 0, 0, 0}, nullptr, AsyncDeviceClearAcknowledge,
                                         deadline, &acknowledge, &payload);
        !status.ok()) {
        return status;
    }
    if (sync_.InMessage()) {
        if (Status status = sync_.SkipPayload(deadline); !status.ok()) return Lost(status);
    }
    if (Status status = Lost(sync_.Send(Header{DeviceClearComplete, acknowledge.control, 0, 0}, nullptr, deadline));
        !status.ok()) {
        return status;
    }
    // Everything before the acknowledgement was sent before the clear.
    for (;;) {
        Header header;
        if (Status status = sync_.Next(deadline, &header); !status.ok()) return Lost(status);
        if (Status status = sync_.SkipPayload(deadline); !status.ok()) return Lost(status);
        if (header.type == DeviceClearAcknowledge) break;
    }
    ResetMessageIds();
    return Status::Ok();
}

Status HislipTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    Header reply;
    std::vector<std::uint8_t> payload;
    const Header query{AsyncStatusQuery, static_cast<std::uint8_t>(rmtDelivered_ ? kRmtDelivered : 0), lastSentId_, 0};
    rmtDelivered_ = false;
    if (Status status = AsyncTransaction(query, nullptr, AsyncStatusResponse, deadline, &reply, &payload);
        !status.ok()) {
        return status;
    }
    *statusByte = reply.control;
    return Status::Ok();
}

Status HislipTransport::Trigger(Deadline deadline) {
    if (Status status = EnsureConnected(deadline); !status.ok()) return status;
    deliverCurrent_ = false;
    return SendOnSync(hislip::Trigger, nullptr, 0, deadline);
}

}  // namespace visa

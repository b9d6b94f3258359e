// TCPIP::host::hislipN::INSTR over HiSLIP 1.0 in synchronized mode: a
// synchronous channel for Data/DataEND messages and an asynchronous one for
// device clear, the status query, the maximum message size and service
// requests. Replies are
// matched to the last message sent by their message ID; anything older
// (the late rest of a reply whose read timed out) is thrown away.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/visa/transport/lan/hislip_channel.h"
#include "platform/visa/transport/transport.h"

namespace visa {

class HislipTransport final : public Transport {
public:
    static Status Open(const std::string& host, std::uint16_t port, const std::string& subAddress, Deadline deadline,
                       std::unique_ptr<Transport>* transport);

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;
    void Interrupt() override;

    // The largest message the server takes, header included, as negotiated.
    std::uint64_t serverMaximumMessageSize() const { return serverMaximumMessageSize_; }

private:
    HislipTransport(std::string host, std::uint16_t port, std::string subAddress);

    Status Connect(Deadline deadline);
    // Connects again when a failure closed the channels.
    Status EnsureConnected(Deadline deadline);
    Status ClearChannels(Deadline deadline);
    // Sends `request` on the asynchronous channel and waits for a reply of
    // `replyType`, skipping service requests and other unsolicited messages.
    Status AsyncTransaction(const hislip::Header& request, const std::uint8_t* payload, std::uint8_t replyType,
                            Deadline deadline, hislip::Header* reply, std::vector<std::uint8_t>* replyPayload);
    Status SendOnSync(std::uint8_t type, const std::uint8_t* payload, std::size_t size, Deadline deadline);
    // Reads the text of an Error or FatalError message into a failure.
    Status ServerError(const hislip::Header& header, Deadline deadline);
    Status Lost(Status failure);
    void ResetMessageIds();

    std::string host_;
    std::uint16_t port_;
    std::string subAddress_;
    hislip::Channel sync_;
    hislip::Channel async_;
    std::uint16_t sessionId_ = 0;
    std::uint8_t overlapMode_ = 0;
    std::uint64_t serverMaximumMessageSize_ = 0;
    std::optional<std::uint8_t> pendingServiceRequest_;  // arrived while waiting for another reply

    std::uint32_t nextMessageId_ = hislip::kFirstMessageId;
    std::uint32_t lastSentId_ = hislip::kFirstMessageId - 2;
    bool rmtDelivered_ = false;    // a whole reply arrived since the last message sent
    bool deliverCurrent_ = false;  // the message being read answers the last message sent
    bool currentIsEnd_ = false;    // ... and it is a DataEND
};

}  // namespace visa

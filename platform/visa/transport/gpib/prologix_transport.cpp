#include "platform/visa/transport/gpib/prologix_transport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/visa/text_util.h"

extern char** environ;

namespace visa {
namespace {

constexpr std::string_view kBoardVariable = "ZENTRAVA_GPIB";
// Often enough to notice a finished operation promptly, rarely enough to
// leave the bus to other sessions.
constexpr int kServiceRequestPollMs = 50;

}  // namespace

std::optional<std::string> GpibAdapterOf(int board, const OpenOptions& options) {
    if (std::optional<std::string> bound = options.Get("GPIBAdapter"); bound && !bound->empty()) return bound;
    const std::string variable = std::string(kBoardVariable) + std::to_string(board);
    const char* value = std::getenv(variable.c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

std::vector<std::pair<int, std::string>> BoundGpibBoards(const OpenOptions& options) {
    std::vector<std::pair<int, std::string>> boards;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos || !text.starts_with(kBoardVariable)) continue;
        const std::optional<int> board =
            ParseDecimal(text.substr(kBoardVariable.size(), equals - kBoardVariable.size()), 0, 65535);
        if (board && equals + 1 < text.size()) boards.emplace_back(*board, std::string(text.substr(equals + 1)));
    }
    if (std::optional<std::string> bound = options.Get("GPIBAdapter"); bound && !bound->empty()) {
        std::erase_if(boards, [](const auto& board) { return board.first == 0; });
        boards.emplace_back(0, *bound);
    }
    std::sort(boards.begin(), boards.end());
    return boards;
}

PrologixTransport::PrologixTransport(std::shared_ptr<PrologixAdapter> adapter, const ResourceAddress& address)
    : adapter_(std::move(adapter)),
      address_{address.primaryAddress, address.secondaryAddress},
      name_(address.canonicalName) {}

Status PrologixTransport::Open(const ResourceAddress& address, const std::string& adapterResource,
                               const OpenOptions& options, Deadline deadline, std::unique_ptr<Transport>* transport) {
    std::shared_ptr<PrologixAdapter> adapter;
    if (Status status = PrologixAdapter::Acquire(adapterResource, options, deadline, &adapter); !status.ok()) {
        return status;
    }
    std::unique_ptr<PrologixTransport> opened(new PrologixTransport(std::move(adapter), address));
    std::uint8_t statusByte = 0;
    const Status polled = opened->ReadStatusByte(deadline, &statusByte);
    if (polled.code == E_VISA_TMO) {
        std::string where = std::to_string(address.primaryAddress);
        if (address.secondaryAddress) where += " (secondary " + std::to_string(*address.secondaryAddress) + ")";
        return Status::Fail(E_VISA_NLISTENERS, "No instrument answered at GPIB address " + where + " (" +
                                                   address.canonicalName + ") behind the adapter at " +
                                                   opened->adapter_->resource() + ".");
    }
    if (!polled.ok()) return polled;
    *transport = std::move(opened);
    return Status::Ok();
}

Status PrologixTransport::Talk(Deadline deadline, PrologixAdapter::Turn* turn) {
    if (Status status = adapter_->Take(deadline, turn); !status.ok()) return status;
    return adapter_->Address(address_, deadline);
}

Status PrologixTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    // A new command makes the instrument drop the rest of an unread reply.
    message_.clear();
    taken_ = 0;
    PrologixAdapter::Turn turn;
    if (Status status = Talk(deadline, &turn); !status.ok()) return status;
    return adapter_->SendData(data, size, end, deadline);
}

Status PrologixTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (taken_ == message_.size()) {
        message_.clear();
        taken_ = 0;
        PrologixAdapter::Turn turn;
        if (Status status = Talk(deadline, &turn); !status.ok()) return status;
        if (Status status = adapter_->ReceiveMessage(deadline, &message_); !status.ok()) return status;
    }
    const char* from = message_.data() + taken_;
    std::size_t size = std::min(request.count, message_.size() - taken_);
    if (request.termCharEnabled && size > 0) {
        if (const void* at = std::memchr(from, request.termChar, size)) {
            size = static_cast<std::size_t>(static_cast<const char*>(at) - from) + 1;
            result->end = ReadEnd::TermChar;
        }
    }
    if (size > 0) std::memcpy(request.buffer, from, size);
    taken_ += size;
    result->count = size;
    if (taken_ == message_.size()) result->end = ReadEnd::End;
    return Status::Ok();
}

Status PrologixTransport::Clear(Deadline deadline) {
    message_.clear();
    taken_ = 0;
    PrologixAdapter::Turn turn;
    if (Status status = Talk(deadline, &turn); !status.ok()) return status;
    if (Status status = adapter_->Command("++clr", deadline); !status.ok()) return status;
    return adapter_->Synchronize(deadline);
}

Status PrologixTransport::SerialPoll(Deadline deadline, std::uint8_t* statusByte) {
    std::string answer;
    if (Status status = adapter_->Query("++spoll " + address_.Argument(), deadline, &answer); !status.ok()) {
        return status;
    }
    const std::optional<int> value = ParseDecimal(answer, 0, 255);
    if (!value)
        return Status::Fail(E_VISA_IO, "Unexpected answer to a serial poll of " + name_ + ": \"" + answer + "\".");
    *statusByte = static_cast<std::uint8_t>(*value);
    return Status::Ok();
}

Status PrologixTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    PrologixAdapter::Turn turn;
    if (Status status = adapter_->Take(deadline, &turn); !status.ok()) return status;
    return SerialPoll(deadline, statusByte);
}

Status PrologixTransport::Trigger(Deadline deadline) {
    PrologixAdapter::Turn turn;
    if (Status status = adapter_->Take(deadline, &turn); !status.ok()) return status;
    return adapter_->Command("++trg " + address_.Argument(), deadline);
}

Status PrologixTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    for (;;) {
        if (interruption_.raised()) return ServiceRequestWaitInterrupted();
        {
            PrologixAdapter::Turn turn;
            Status status = adapter_->Take(deadline, &turn);
            std::string line;
            if (status.ok()) status = adapter_->Query("++srq", deadline, &line);
            // The line is shared by the bus: only this instrument's status
            // byte says whether the request is its own.
            if (status.ok() && line == "1") {
                status = SerialPoll(deadline, statusByte);
                if (status.ok() && (*statusByte & kRequestServiceBit)) return status;
            }
            if (status.code == E_VISA_TMO) return ServiceRequestWaitTimedOut();
            if (!status.ok()) return status;
        }
        if (deadline.Expired()) return ServiceRequestWaitTimedOut();
        interruption_.Sleep(kServiceRequestPollMs, deadline);
    }
}

}  // namespace visa

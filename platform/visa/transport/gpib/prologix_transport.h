// GPIB<n>::primary[::secondary]::INSTR through the Prologix adapter bound to
// board n by the open option GPIBAdapter or $ZENTRAVA_GPIB<n>. Each exchange
// holds the adapter and addresses this session's instrument first when
// another session talked last. Replies are fetched with "++read eoi" and
// read whole, so a message read in parts is never mixed with another's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/gpib/prologix_adapter.h"
#include "platform/visa/transport/transport.h"

namespace visa {

// VISA's "no listeners": nothing answered at a GPIB address.
constexpr HRESULT E_VISA_NLISTENERS = VisaResult(0xBFFF005F);

// The adapter resource GPIB board `board` is bound to, if any.
std::optional<std::string> GpibAdapterOf(int board, const OpenOptions& options);
// Every board bound by the environment or the option (which binds board 0),
// with its adapter resource, by board number.
std::vector<std::pair<int, std::string>> BoundGpibBoards(const OpenOptions& options);

class PrologixTransport final : public Transport {
public:
    // Fails naming the address when no instrument answers a serial poll there.
    static Status Open(const ResourceAddress& address, const std::string& adapterResource, const OpenOptions& options,
                       Deadline deadline, std::unique_ptr<Transport>* transport);

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;
    // Polls the bus's service request line and serial polls this instrument
    // when it is asserted.
    Status WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) override;

private:
    PrologixTransport(std::shared_ptr<PrologixAdapter> adapter, const ResourceAddress& address);

    // Takes the adapter and addresses this instrument.
    Status Talk(Deadline deadline, PrologixAdapter::Turn* turn);
    Status SerialPoll(Deadline deadline, std::uint8_t* statusByte);

    std::shared_ptr<PrologixAdapter> adapter_;
    GpibAddress address_;
    std::string name_;
    std::string message_;  // the reply being read
    std::size_t taken_ = 0;
};

}  // namespace visa

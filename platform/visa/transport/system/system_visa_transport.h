// Any resource through a vendor VISA library's C API: GPIB, VXI, PXI, and
// whatever the built-in transports do not serve. A read that timed out is
// followed by viClear before the next write.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/visa/transport/system/system_visa_library.h"
#include "platform/visa/transport/transport.h"

namespace visa {

class SystemVisaTransport final : public Transport {
public:
    static Status Open(std::shared_ptr<SystemVisaLibrary> library, const std::string& resourceName, bool exclusiveLock,
                       Deadline deadline, std::unique_ptr<Transport>* transport);
    ~SystemVisaTransport() override;

    Status Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) override;
    Status Read(const ReadRequest& request, Deadline deadline, ReadResult* result) override;
    Status Clear(Deadline deadline) override;
    Status ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) override;
    Status Trigger(Deadline deadline) override;

private:
    explicit SystemVisaTransport(std::shared_ptr<SystemVisaLibrary> library) : library_(std::move(library)) {}

    Status Check(ViStatus status, ViObject object);
    // Sets an attribute unless it already has the value.
    Status Set(ViAttr attribute, ViAttrValue value, std::optional<ViAttrValue>* cached);
    Status ApplyTimeout(Deadline deadline);

    std::shared_ptr<SystemVisaLibrary> library_;
    ViSession resourceManager_ = 0;
    ViSession session_ = 0;
    std::optional<ViAttrValue> timeout_, termChar_, termCharEnabled_, sendEnd_;
    bool stale_ = false;
};

}  // namespace visa

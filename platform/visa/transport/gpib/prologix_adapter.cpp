#include "platform/visa/transport/gpib/prologix_adapter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>

#include "platform/visa/text_util.h"
#include "platform/visa/transport/lan/tcp_connect.h"
#include "platform/visa/transport/serial/serial_settings.h"
#include "platform/visa/transport/serial/serial_transport.h"

namespace visa {
namespace {

constexpr std::size_t kReceiveChunk = 4096;
// How long the adapter stays silent before a reply counts as complete:
// longer than a USB serial converter holds back a partly filled packet
// (16 ms by default).
constexpr int kReplyQuietMs = 20;
constexpr char kEscape = 27;

// Controller mode, no read-after-write, nothing appended to data, EOI with
// the last byte, nothing appended to replies; settings are not written to
// the adapter's memory on every change.
constexpr std::string_view kSetup[] = {"++savecfg 0", "++mode 1", "++auto 0", "++eos 3", "++eoi 1", "++eot_enable 0"};

// Recursive: an adapter that fails to open is destroyed inside Acquire.
std::recursive_mutex registryMutex;
std::map<std::string, std::weak_ptr<PrologixAdapter>>& Registry() {
    static std::map<std::string, std::weak_ptr<PrologixAdapter>> adapters;
    return adapters;
}

Deadline QuietOrDeadline(Deadline deadline) {
    if (!deadline.infinite() && deadline.RemainingMilliseconds() < static_cast<std::uint32_t>(kReplyQuietMs)) {
        return deadline;
    }
    return Deadline::After(kReplyQuietMs);
}

}  // namespace

std::string GpibAddress::Argument() const {
    std::string text = std::to_string(primary);
    // The adapter takes secondary addresses in the 96-126 form.
    if (secondary) text += " " + std::to_string(*secondary + 96);
    return text;
}

std::string EscapeForPrologix(const std::uint8_t* data, std::size_t size) {
    std::string escaped;
    escaped.reserve(size + size / 8 + 1);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (c == kEscape || c == '\r' || c == '\n' || c == '+') escaped.push_back(kEscape);
        escaped.push_back(c);
    }
    return escaped;
}

PrologixAdapter::PrologixAdapter(std::string resource, ResourceAddress link, const OpenOptions& options)
    : resource_(std::move(resource)), link_(std::move(link)), options_(options) {}

PrologixAdapter::~PrologixAdapter() {
    std::lock_guard lock(registryMutex);
    auto found = Registry().find(resource_);
    if (found != Registry().end() && found->second.expired()) Registry().erase(found);
}

Status PrologixAdapter::Acquire(const std::string& resource, const OpenOptions& options, Deadline deadline,
                                std::shared_ptr<PrologixAdapter>* adapter) {
    ResourceAddress link;
    if (Status status = ParseResourceName(resource, &link); !status.ok()) {
        return Status::Fail(status.code, "The GPIB adapter's resource is invalid. " + status.text);
    }
    if (link.kind != ResourceKind::Serial && link.kind != ResourceKind::Socket) {
        return Status::Fail(E_VISA_INV_SETUP,
                            "A GPIB adapter is reached through a serial port (ASRL...::INSTR) or a "
                            "LAN socket (TCPIP...::SOCKET), not " +
                                link.canonicalName + ".");
    }
    std::lock_guard lock(registryMutex);
    if (auto shared = Registry()[link.canonicalName].lock()) {
        *adapter = std::move(shared);
        return Status::Ok();
    }
    std::shared_ptr<PrologixAdapter> opened(new PrologixAdapter(link.canonicalName, link, options));
    if (Status status = opened->Connect(deadline); !status.ok()) return status;
    if (Status status = opened->Confirm(deadline); !status.ok()) return status;
    if (Status status = opened->Configure(deadline); !status.ok()) return status;
    if (Status status = opened->Command("++ifc", deadline); !status.ok()) return status;
    Registry()[link.canonicalName] = opened;
    *adapter = std::move(opened);
    return Status::Ok();
}

Status PrologixAdapter::Connect(Deadline deadline) {
    received_.clear();
    unansweredVersions_ = 0;
    if (link_.kind == ResourceKind::Socket) {
        return ConnectTcp(link_.host, *link_.port, deadline, &fd_);
    }
    SerialSettings settings;
    if (Status status = ParseSerialSettings(options_, &settings); !status.ok()) return status;
    return OpenSerialPort(link_.devicePath, settings, &fd_);
}

Status PrologixAdapter::Confirm(Deadline deadline) {
    std::string answer;
    const Status status = Query("++ver", deadline, &answer);
    if (status.code == E_VISA_TMO) {
        return Status::Fail(E_VISA_RSRC_NFOUND, "No GPIB adapter answered \"++ver\" at " + resource_ + ".");
    }
    if (!status.ok()) return status;
    std::string upper = answer;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper.find("GPIB") == std::string::npos && upper.find("PROLOGIX") == std::string::npos) {
        return Status::Fail(E_VISA_RSRC_NFOUND,
                            resource_ + " is not a GPIB adapter: it answered \"" + answer + "\" to \"++ver\".");
    }
    version_ = answer;
    return Status::Ok();
}

Status PrologixAdapter::Configure(Deadline deadline) {
    for (const std::string_view line : kSetup) {
        if (Status status = Command(line, deadline); !status.ok()) return status;
    }
    eoi_ = true;
    addressed_.reset();
    return Status::Ok();
}

void PrologixAdapter::GiveBackTurn::operator()(PrologixAdapter* adapter) const {
    {
        const std::lock_guard guard(adapter->turnMutex_);
        adapter->taken_ = false;
    }
    adapter->turnGivenBack_.notify_one();
}

Status PrologixAdapter::Take(Deadline deadline, Turn* turn) {
    turn->reset();
    {
        std::unique_lock guard(turnMutex_);
        const auto free = [this] { return !taken_; };
        if (deadline.infinite()) {
            turnGivenBack_.wait(guard, free);
        } else if (!turnGivenBack_.wait_for(guard, std::chrono::milliseconds(deadline.PollMilliseconds()), free)) {
            return Status::Timeout();
        }
        taken_ = true;
    }
    turn->reset(this);
    if (!inDoubt_) return Status::Ok();
    if (!fd_.valid()) {
        if (Status status = Connect(deadline); !status.ok()) return status;
    }
    if (Status status = Synchronize(deadline); !status.ok()) return status;
    if (Status status = Configure(deadline); !status.ok()) return status;
    inDoubt_ = false;
    return Status::Ok();
}

Status PrologixAdapter::Fail(Status failure) {
    inDoubt_ = true;
    addressed_.reset();
    eoi_.reset();
    if (failure.code == E_VISA_CONN_LOST && link_.kind == ResourceKind::Socket) fd_.reset();
    return failure;
}

Status PrologixAdapter::Send(std::string_view bytes, Deadline deadline) {
    if (!fd_.valid()) {
        return Fail(Status::Fail(E_VISA_CONN_LOST, "Connection to the GPIB adapter " + resource_ + " lost."));
    }
    Status status =
        WriteAll(fd_.get(), reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), deadline, resource_);
    return status.ok() ? status : Fail(std::move(status));
}

Status PrologixAdapter::Command(std::string_view line, Deadline deadline) {
    std::string bytes(line);
    bytes.push_back('\n');
    return Send(bytes, deadline);
}

Status PrologixAdapter::ReceiveLine(Deadline deadline, std::string* line) {
    for (;;) {
        const auto* begin = reinterpret_cast<const char*>(received_.data());
        // An empty buffer may have no storage yet: memchr must not see its null pointer.
        if (const void* at = received_.size() == 0 ? nullptr : std::memchr(begin, '\n', received_.size())) {
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(at) - begin);
            line->assign(begin, length);
            received_.Consume(length + 1);
            if (!line->empty() && line->back() == '\r') line->pop_back();
            return Status::Ok();
        }
        if (Status status = received_.ReadFrom(fd_.get(), kReceiveChunk, deadline, resource_); !status.ok()) {
            return Fail(std::move(status));
        }
    }
}

Status PrologixAdapter::Query(std::string_view line, Deadline deadline, std::string* answer) {
    if (Status status = Command(line, deadline); !status.ok()) return status;
    return ReceiveLine(deadline, answer);
}

Status PrologixAdapter::Address(const GpibAddress& address, Deadline deadline) {
    if (addressed_ == address) return Status::Ok();
    if (Status status = Command("++addr " + address.Argument(), deadline); !status.ok()) return status;
    addressed_ = address;
    return Status::Ok();
}

Status PrologixAdapter::SendData(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (eoi_ != end) {
        if (Status status = Command(end ? "++eoi 1" : "++eoi 0", deadline); !status.ok()) return status;
        eoi_ = end;
    }
    std::string line = EscapeForPrologix(data, size);
    line.push_back('\n');
    return Send(line, deadline);
}

Status PrologixAdapter::ReceiveMessage(Deadline deadline, std::string* message) {
    message->clear();
    if (Status status = Command("++read eoi", deadline); !status.ok()) return status;
    if (received_.empty()) {
        if (Status status = received_.ReadFrom(fd_.get(), kReceiveChunk, deadline, resource_); !status.ok()) {
            return Fail(std::move(status));
        }
    }
    for (;;) {
        message->append(reinterpret_cast<const char*>(received_.data()), received_.size());
        received_.clear();
        const Status status = received_.ReadFrom(fd_.get(), kReceiveChunk, QuietOrDeadline(deadline), resource_);
        if (status.code == E_VISA_TMO) return Status::Ok();
        if (!status.ok()) return Fail(status);
    }
}

Status PrologixAdapter::Synchronize(Deadline deadline) {
    // The adapter answers in order: whatever arrives before the answer to
    // the last "++ver" sent, earlier ones of given-up resynchronisations
    // included, belongs to exchanges that were given up.
    if (Status status = Command("++ver", deadline); !status.ok()) return status;
    ++unansweredVersions_;
    for (std::string line;;) {
        if (Status status = ReceiveLine(deadline, &line); !status.ok()) return status;
        if (line == version_ && --unansweredVersions_ == 0) return Status::Ok();
    }
}

}  // namespace visa

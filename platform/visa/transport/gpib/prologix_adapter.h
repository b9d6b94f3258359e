// A Prologix GPIB-USB or GPIB-ETHERNET controller: the one byte stream (a
// serial port or a TCP socket) through which every GPIB session bound to it
// talks. Sessions share an adapter through a process-wide registry keyed by
// the adapter's resource and hold it for each whole exchange, so that the
// commands and replies of two sessions never mix.
//
// The adapter runs in controller mode with read-after-write off: data lines
// go to the addressed instrument with EOI on their last byte and nothing
// appended, and a reply is fetched with "++read eoi". The adapter marks no
// end in what it forwards, so a reply ends where the adapter falls quiet; a
// line feed inside it is data.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/fd_io.h"
#include "platform/visa/transport/receive_buffer.h"

namespace visa {

struct GpibAddress {
    int primary = 0;
    std::optional<int> secondary;

    bool operator==(const GpibAddress&) const = default;
    // "17" or "17 101": the form "++addr", "++spoll" and "++trg" take.
    std::string Argument() const;
};

// Data bytes as the adapter must receive them: ESC, CR, LF and '+' are
// preceded by ESC, so that they reach the instrument instead of ending the
// line or starting a command.
std::string EscapeForPrologix(const std::uint8_t* data, std::size_t size);

class PrologixAdapter {
public:
    // The adapter named by `resource` ("ASRL/dev/ttyUSB0::INSTR" or
    // "TCPIP0::host::1234::SOCKET"): the one already open in this process,
    // else opened, confirmed by "++ver", set up and its bus cleared.
    static Status Acquire(const std::string& resource, const OpenOptions& options, Deadline deadline,
                          std::shared_ptr<PrologixAdapter>* adapter);

    ~PrologixAdapter();
    PrologixAdapter(const PrologixAdapter&) = delete;
    PrologixAdapter& operator=(const PrologixAdapter&) = delete;

    const std::string& resource() const { return resource_; }

    // One session's turn at the adapter, given back when it goes.
    struct GiveBackTurn {
        void operator()(PrologixAdapter* adapter) const;
    };
    using Turn = std::unique_ptr<PrologixAdapter, GiveBackTurn>;

    // Takes the adapter for one exchange, waiting for another session's
    // exchange at most until the deadline; an adapter left in doubt by a
    // failed exchange is brought back in step first. The calls below need it.
    Status Take(Deadline deadline, Turn* turn);

    // Makes `address` the adapter's listener and talker unless it is already.
    Status Address(const GpibAddress& address, Deadline deadline);
    // One "++" command line; Query reads its one-line answer.
    Status Command(std::string_view line, Deadline deadline);
    Status Query(std::string_view line, Deadline deadline, std::string* answer);
    // Data for the addressed instrument; `end` asserts EOI with the last byte.
    Status SendData(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline);
    // "++read eoi" and everything the adapter forwards until it falls quiet.
    Status ReceiveMessage(Deadline deadline, std::string* message);
    // Discards whatever the adapter still sends from earlier exchanges.
    Status Synchronize(Deadline deadline);

private:
    PrologixAdapter(std::string resource, ResourceAddress link, const OpenOptions& options);

    Status Connect(Deadline deadline);
    Status Confirm(Deadline deadline);
    Status Configure(Deadline deadline);
    Status Send(std::string_view bytes, Deadline deadline);
    Status ReceiveLine(Deadline deadline, std::string* line);
    // Leaves the adapter in doubt after a failed exchange: the next Take
    // resynchronises, reconnecting a lost socket first.
    Status Fail(Status failure);

    const std::string resource_;
    const ResourceAddress link_;
    const OpenOptions options_;
    // The turn is a flag under a mutex rather than a std::timed_mutex, whose
    // timed lock waits on a clock the thread sanitizer does not follow.
    std::mutex turnMutex_;
    std::condition_variable turnGivenBack_;
    bool taken_ = false;
    UniqueFd fd_;
    ReceiveBuffer received_;
    std::string version_;  // the "++ver" answer, which marks the end of a resynchronisation
    int unansweredVersions_ = 0;
    std::optional<GpibAddress> addressed_;
    std::optional<bool> eoi_;
    bool inDoubt_ = false;
};

}  // namespace visa

// The session's own message-based link, below the driver's pipeline: for
// checks of the link itself (timing, blocks, device clear, status byte).
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/visa/visacom.h"
#include "zentrava/Zentrava.h"
#include "zentrava/raii.h"

namespace ztv_tool {

class RawLink {
public:
    // Empty (with `error`) when the session has no link, as in simulation.
    static std::optional<RawLink> Of(ViSession vi, std::string* error);

    bool Send(const std::string& command);
    // One whole reply: a definite block to its last byte, else to the end of
    // the message. Nothing on time-out or failure; error() says why.
    std::optional<std::string> Receive();
    std::optional<std::string> Query(const std::string& command);
    bool Clear();
    std::optional<int> StatusByte();
    long Timeout();
    void SetTimeout(long ms);
    const std::string& error() const { return error_; }

private:
    bool Check(HRESULT hr, const char* what);

    com::ComPtr<visa::IMessage> io_;
    std::string error_;
};

// "#<n><length>": the header size of a definite-length block, or 0 when the
// text does not start with a whole one.
std::size_t BlockHeaderSize(const std::string& reply, std::size_t* length);

}  // namespace ztv_tool

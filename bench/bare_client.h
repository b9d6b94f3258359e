// The cheapest way to talk to the instrument: one TCP connection, a write
// and a read up to the line feed. The yardstick the driver is measured by.
#pragma once

#include <string>
#include <string_view>

namespace bench {

class BareClient {
public:
    BareClient(const std::string& host, int port);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    // Receives one reply message, line feed included, into `reply`.
    bool ReceiveLine(std::string* reply);

private:
    int fd_ = -1;
    std::string pending_;  // bytes received past the last line feed
};

}  // namespace bench

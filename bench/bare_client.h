// The cheapest way to talk to the instrument: one TCP connection, a write
// and a read up to the line feed. The yardstick the driver is measured by.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

class BareClient {
public:
    BareClient(const std::string& host, int port);
    ~BareClient();
    BareClient(const BareClient&) = delete;
    BareClient& operator=(const BareClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    bool Send(std::string_view bytes);
    // Receives one reply message, line feed included; `reply` shows it
    // until the next call. The bytes land in a buffer kept from call to
    // call and are neither cleared nor copied: nothing is cheaper.
    bool ReceiveLine(std::string_view* reply);

private:
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // of the bytes received past the last line feed
    std::size_t end_ = 0;
};

}  // namespace bench

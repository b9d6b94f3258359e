#pragma once

#include <netinet/in.h>

#include <string>
#include <vector>

#include "emulator/servers/serving_thread.h"

namespace emulator {

// What the emulator announces: one instance of each service type it serves,
// on one host name and address, every instance with the same TXT strings.
struct Announcement {
    struct Service {
        std::string type;  // "_hislip._tcp"
        int port;
    };
    std::string instance;  // "Orvane Technologies Q7310B 0123456789"
    std::string host;      // "q7310b-0123456789.local"
    std::string address;   // the bind address; 0.0.0.0 answers with the address a query came to
    std::vector<Service> services;
    std::vector<std::string> texts;  // "Manufacturer=...", as LXI instruments have them
};

// A multicast DNS responder (RFC 6762) for the announcement: it answers
// questions for the PTR of each service type (and the DNS-SD enumeration of
// types), an instance's SRV and TXT and the host's A, adding the records a
// browser needs next. Queries from port 5353 are answered on the group (or
// directly when they ask so), one-shot queries from other ports directly with
// their id and questions repeated. It listens on the interfaces of the bind
// address, all multicast interfaces for 0.0.0.0.
class MdnsResponder {
public:
    bool Start(Announcement announcement, std::string* error);
    void Stop();

private:
    // Closes the socket not yet served and sets `error`; false.
    bool Fail(std::string text, std::string* error);
    void Receive() const;
    void Respond(const unsigned char* query, std::size_t size, const sockaddr_in& from, in_pktinfo arrival) const;

    Announcement announcement_;
    int fd_ = -1;
    ServingThread serving_;  // last: its thread uses the members above; owns the socket
};

// The emulator's announcement for its options' identity and the ports it serves.
Announcement AnnouncementFor(const std::string& manufacturer, const std::string& model, const std::string& serial,
                             const std::string& firmware, const std::string& address);

}  // namespace emulator

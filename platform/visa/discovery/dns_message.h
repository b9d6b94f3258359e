// DNS messages as multicast DNS carries them (RFC 1035, RFC 6762): one-shot
// queries out, the records of responses in. Names are in glibc's text form:
// labels joined by dots, special bytes inside a label escaped ("\." for a dot,
// "\032" for a space).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace visa {

enum class DnsType : std::uint16_t { A = 1, Ptr = 12, Txt = 16, Srv = 33 };

struct DnsRecord {
    std::string name;
    DnsType type = DnsType::A;
    std::string target;              // PTR: the instance named; SRV: the host
    std::uint16_t port = 0;          // SRV
    std::vector<std::string> texts;  // TXT: its strings, "key=value" in DNS-SD
    std::string address;             // A: dotted quad
};

// A standard query with one question of `type` (class IN) for each name; id 0
// as RFC 6762 asks of multicast queries. Empty when a name cannot be encoded.
std::vector<std::uint8_t> BuildDnsQuery(const std::vector<std::string>& names, DnsType type);

// The A, PTR, SRV and TXT records of class IN in every section of a response;
// other records are passed over. A message that is no response or is
// malformed anywhere (lengths past its end, compression loops, names over 255
// bytes, record data that does not fill its length) yields false and nothing.
bool ParseDnsResponse(const std::uint8_t* message, std::size_t size, std::vector<DnsRecord>* records);

// DNS names compare without regard to ASCII letter case: the name with its
// ASCII letters in lower case, to compare and to key by.
std::string DnsNameKey(std::string name);
bool SameDnsName(const std::string& a, const std::string& b);

}  // namespace visa

// DNS messages written byte by byte, so that tests can break them anywhere:
// one well-formed mDNS response and a table of malformed and hostile ones.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace ztv::test {

using Bytes = std::vector<std::uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts);
Bytes U16(unsigned value);
// Uncompressed labels and the root.
Bytes Name(std::initializer_list<std::string> labels);
Bytes Pointer(unsigned offset);
Bytes Header(unsigned flags, unsigned questions, unsigned answers, unsigned authorities, unsigned additional);
Bytes Record(const Bytes& name, unsigned type, unsigned recordClass, const Bytes& data);

// An answer to a PTR question for _hislip._tcp.local: the PTR to the instance
// "Q7310B 1", its SRV (port 4880 on q7310b-1.local, class with the cache-flush
// bit), its TXT ("a=b", "txtvers=1"), an AAAA and a CH-class record to pass
// over, and the host's A (10.1.2.3).
Bytes SampleResponse();

struct MalformedMessage {
    const char* what;
    Bytes message;
};
const std::vector<MalformedMessage>& MalformedMessages();

}  // namespace ztv::test

// The name codec (compression, escapes, loop and length checks) and the
// message walk are glibc's libresolv; record data is read here, each field
// checked against the record's own length.
#include "platform/visa/discovery/dns_message.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <iterator>

namespace visa {
namespace {

constexpr std::size_t kHeaderSize = NS_HFIXEDSZ;
// The top bit of a record's class in mDNS responses asks caches to flush.
constexpr unsigned kClassMask = 0x7FFF;

// A name in rdata that must end exactly at `end`.
bool ReadName(const ns_msg& handle, const std::uint8_t* at, const std::uint8_t* end, std::string* name) {
    char text[NS_MAXDNAME];
    const int used = dn_expand(ns_msg_base(handle), ns_msg_end(handle), at, text, sizeof text);
    if (used < 0 || at + used != end) return false;
    *name = text;
    return true;
}

bool ReadTexts(const std::uint8_t* at, const std::uint8_t* end, std::vector<std::string>* texts) {
    while (at < end) {
        const std::size_t length = *at++;
        if (length > static_cast<std::size_t>(end - at)) return false;
        texts->emplace_back(reinterpret_cast<const char*>(at), length);
        at += length;
    }
    return true;
}

// Reads the data of a record of a type we use; false when it is malformed.
bool ReadData(const ns_msg& handle, const ns_rr& rr, DnsRecord* record) {
    const std::uint8_t* data = ns_rr_rdata(rr);
    const std::uint8_t* end = data + ns_rr_rdlen(rr);
    switch (record->type) {
        case DnsType::A: {
            if (ns_rr_rdlen(rr) != NS_INADDRSZ) return false;
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, data, text, sizeof text);
            record->address = text;
            return true;
        }
        case DnsType::Ptr:
            return ReadName(handle, data, end, &record->target);
        case DnsType::Srv:
            // priority, weight, port, then the target
            if (ns_rr_rdlen(rr) < 3 * NS_INT16SZ + 1) return false;
            record->port = static_cast<std::uint16_t>(ns_get16(data + 2 * NS_INT16SZ));
            return ReadName(handle, data + 3 * NS_INT16SZ, end, &record->target);
        case DnsType::Txt:
            return ReadTexts(data, end, &record->texts);
    }
    return false;
}

bool Wanted(unsigned type) { return type == ns_t_a || type == ns_t_ptr || type == ns_t_srv || type == ns_t_txt; }

}  // namespace

std::vector<std::uint8_t> BuildDnsQuery(const std::vector<std::string>& names, DnsType type) {
    std::vector<std::uint8_t> message(kHeaderSize + names.size() * (NS_MAXCDNAME + NS_QFIXEDSZ));
    std::uint8_t* at = message.data();
    // id 0, a standard query, no recursion; then the four counts.
    for (unsigned word : {0u, 0u, static_cast<unsigned>(names.size()), 0u, 0u, 0u}) {
        ns_put16(word, at);
        at += NS_INT16SZ;
    }
    const std::uint8_t* known[64] = {message.data()};
    for (const std::string& name : names) {
        const int used =
            ns_name_compress(name.c_str(), at, message.data() + message.size() - at, known, known + std::size(known));
        if (used < 0) return {};
        at += used;
        ns_put16(static_cast<unsigned>(type), at);
        ns_put16(ns_c_in, at + NS_INT16SZ);
        at += NS_QFIXEDSZ;
    }
    message.resize(static_cast<std::size_t>(at - message.data()));
    return message;
}

bool ParseDnsResponse(const std::uint8_t* message, std::size_t size, std::vector<DnsRecord>* records) {
    ns_msg handle;
    if (size > 0xFFFF || ns_initparse(message, static_cast<int>(size), &handle) != 0 ||
        !ns_msg_getflag(handle, ns_f_qr) || ns_msg_getflag(handle, ns_f_opcode) != ns_o_query) {
        return false;
    }
    std::vector<DnsRecord> found;
    for (ns_sect section : {ns_s_an, ns_s_ns, ns_s_ar}) {
        for (int i = 0; i < ns_msg_count(handle, section); ++i) {
            ns_rr rr;
            if (ns_parserr(&handle, section, i, &rr) != 0) return false;
            if ((ns_rr_class(rr) & kClassMask) != ns_c_in || !Wanted(ns_rr_type(rr))) continue;
            DnsRecord record;
            record.name = ns_rr_name(rr);
            record.type = static_cast<DnsType>(ns_rr_type(rr));
            if (!ReadData(handle, rr, &record)) return false;
            found.push_back(std::move(record));
        }
    }
    records->insert(records->end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return true;
}

std::string DnsNameKey(std::string name) {
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

bool SameDnsName(const std::string& a, const std::string& b) { return DnsNameKey(a) == DnsNameKey(b); }

}  // namespace visa

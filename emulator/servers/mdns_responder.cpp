#include "emulator/servers/mdns_responder.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <resolv.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>

namespace emulator {

namespace {

constexpr const char* kGroup = "224.0.0.251";
constexpr int kMdnsPort = 5353;
constexpr const char* kLocal = ".local";
constexpr const char* kServiceEnumeration = "_services._dns-sd._udp.local";
constexpr unsigned kAnyType = 255;
constexpr unsigned kUnicastResponseBit = 0x8000;  // in a question's class
constexpr unsigned kCacheFlushBit = 0x8000;       // in a unique record's class
constexpr unsigned kResponseFlags = 0x8400;       // a response, authoritative
constexpr std::uint32_t kTtl = 120;
constexpr std::uint32_t kLegacyTtl = 10;  // at most, for one-shot queriers (RFC 6762 section 6.7)

struct Record {
    std::string name;
    unsigned type;
    std::string target;              // PTR, SRV
    int port = 0;                    // SRV
    std::vector<std::string> texts;  // TXT
    in_addr address{};               // A
};

// One label in glibc's text form: its dots and backslashes escaped.
std::string Label(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '.' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// A name as glibc writes it when reading a message, so that it compares with
// the names of questions: "Q7310B 1" becomes "Q7310B\0321".
std::string Canonical(const std::string& name) {
    unsigned char wire[NS_MAXCDNAME];
    char text[NS_MAXDNAME];
    if (ns_name_pton(name.c_str(), wire, sizeof wire) < 0 || ns_name_ntop(wire, text, sizeof text) < 0) return name;
    return text;
}

std::string InstanceName(const Announcement& a, const std::string& type) {
    return Canonical(Label(a.instance) + "." + type + kLocal);
}

std::vector<Record> Records(const Announcement& a, in_addr local) {
    std::vector<Record> records;
    for (const Announcement::Service& s : a.services) {
        const std::string instance = InstanceName(a, s.type);
        records.push_back({kServiceEnumeration, ns_t_ptr, s.type + kLocal, 0, {}, {}});
        records.push_back({s.type + kLocal, ns_t_ptr, instance, 0, {}, {}});
        records.push_back({instance, ns_t_srv, Canonical(a.host), s.port, {}, {}});
        records.push_back({instance, ns_t_txt, "", 0, a.texts, {}});
    }
    records.push_back({Canonical(a.host), ns_t_a, "", 0, {}, local});
    return records;
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Writes a DNS message, names compressed against those already in it.
class Writer {
public:
    Writer() : message_(NS_PACKETSZ * 16), at_(message_.data()) { known_[0] = message_.data(); }

    bool U16(unsigned v) {
        if (Left() < NS_INT16SZ) return false;
        ns_put16(v, at_);
        at_ += NS_INT16SZ;
        return true;
    }
    bool U32(std::uint32_t v) {
        if (Left() < NS_INT32SZ) return false;
        ns_put32(v, at_);
        at_ += NS_INT32SZ;
        return true;
    }
    bool Name(const std::string& name) {
        const int used = ns_name_compress(name.c_str(), at_, Left(), known_, known_ + kKnown);
        if (used < 0) return false;
        at_ += used;
        return true;
    }
    bool Bytes(const void* data, std::size_t size) {
        if (Left() < size) return false;
        std::memcpy(at_, data, size);
        at_ += size;
        return true;
    }
    bool Record(const struct Record& r, unsigned recordClass, std::uint32_t ttl) {
        if (!Name(r.name) || !U16(r.type) || !U16(recordClass) || !U32(ttl) || !U16(0)) return false;
        unsigned char* length = at_ - NS_INT16SZ;
        bool ok = true;
        switch (r.type) {
            case ns_t_ptr:
                ok = Name(r.target);
                break;
            case ns_t_srv:
                ok = U16(0) && U16(0) && U16(static_cast<unsigned>(r.port)) && Name(r.target);
                break;
            case ns_t_txt:
                for (const std::string& text : r.texts) {
                    const unsigned char size = static_cast<unsigned char>(std::min<std::size_t>(text.size(), 255));
                    ok = ok && Bytes(&size, 1) && Bytes(text.data(), size);
                }
                break;
            case ns_t_a:
                ok = Bytes(&r.address, sizeof r.address);
                break;
        }
        ns_put16(static_cast<unsigned>(at_ - length - NS_INT16SZ), length);
        return ok;
    }
    std::size_t Size() const { return static_cast<std::size_t>(at_ - message_.data()); }
    const unsigned char* Data() const { return message_.data(); }

private:
    static constexpr int kKnown = 64;
    std::size_t Left() const { return message_.size() - Size(); }

    std::vector<unsigned char> message_;
    unsigned char* at_;
    const unsigned char* known_[kKnown] = {};
};

struct Question {
    std::string name;
    unsigned type;
    unsigned questionClass;
};

// The questions of a query; empty for anything else.
std::vector<Question> QuestionsOf(const unsigned char* message, std::size_t size) {
    ns_msg handle;
    std::vector<Question> questions;
    if (ns_initparse(message, static_cast<int>(size), &handle) != 0 || ns_msg_getflag(handle, ns_f_qr) ||
        ns_msg_getflag(handle, ns_f_opcode) != ns_o_query) {
        return questions;
    }
    for (int i = 0; i < ns_msg_count(handle, ns_s_qd); ++i) {
        ns_rr rr;
        if (ns_parserr(&handle, ns_s_qd, i, &rr) != 0) return {};
        questions.push_back({ns_rr_name(rr), ns_rr_type(rr), ns_rr_class(rr)});
    }
    return questions;
}

// The interface addresses to join the group on: the bind address, or every
// multicast interface's for 0.0.0.0.
std::vector<in_addr> Interfaces(const std::string& address) {
    std::vector<in_addr> found;
    in_addr bound{};
    if (inet_pton(AF_INET, address.c_str(), &bound) != 1) return found;
    if (bound.s_addr != htonl(INADDR_ANY)) return {bound};
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (const ifaddrs* i = list; i; i = i->ifa_next) {
        if (i->ifa_addr && i->ifa_addr->sa_family == AF_INET && (i->ifa_flags & IFF_MULTICAST)) {
            found.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr);
        }
    }
    freeifaddrs(list);
    return found;
}

// A datagram's header over one buffer, with room for the IP_PKTINFO that
// says (received) or chooses (sent) the interface and local address.
struct Datagram {
    Datagram(sockaddr_in* peer, const void* bytes, std::size_t size) : data{const_cast<void*>(bytes), size} {
        header.msg_name = peer;
        header.msg_namelen = sizeof *peer;
        header.msg_iov = &data;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
    }
    Datagram(const Datagram&) = delete;
    Datagram& operator=(const Datagram&) = delete;

    iovec data;
    char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr header{};
};

// Host names are letters, digits and hyphens.
std::string HostLabel(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        out.push_back(keep ? c : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : '-');
    }
    return out;
}

}  // namespace

Announcement AnnouncementFor(const std::string& manufacturer, const std::string& model, const std::string& serial,
                             const std::string& firmware, const std::string& address) {
    Announcement a;
    a.instance = manufacturer + " " + model + " " + serial;
    a.host = HostLabel(model + "-" + serial) + kLocal;
    a.address = address;
    a.texts = {"txtvers=1", "Manufacturer=" + manufacturer, "Model=" + model, "SerialNumber=" + serial,
               "FirmwareVersion=" + firmware};
    return a;
}

bool MdnsResponder::Start(Announcement announcement, std::string* error) {
    Stop();
    announcement_ = std::move(announcement);
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1, off = 0, ttl = 255;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);  // beside the system's responder
    setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    // Only the group on the interfaces joined here, not every socket's groups.
    setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);
    setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kMdnsPort);
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        return Fail(std::string("mDNS: cannot bind UDP port 5353: ") + std::strerror(errno), error);
    }
    const std::vector<in_addr> interfaces = Interfaces(announcement_.address);
    for (const in_addr& interface : interfaces) {
        ip_mreq join{};
        inet_pton(AF_INET, kGroup, &join.imr_multiaddr);
        join.imr_interface = interface;
        if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
            return Fail("mDNS: cannot join " + std::string(kGroup) + " on " + announcement_.address + ": " +
                            std::strerror(errno),
                        error);
        }
    }
    if (interfaces.empty()) {
        return Fail("mDNS: no multicast interface for " + announcement_.address, error);
    }
    serving_.Start({fd_}, [this](int) { Receive(); });
    return true;
}

void MdnsResponder::Stop() {
    serving_.Stop();
    fd_ = -1;
}

bool MdnsResponder::Fail(std::string text, std::string* error) {
    *error = std::move(text);
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    return false;
}

void MdnsResponder::Receive() const {
    unsigned char query[NS_PACKETSZ * 16];
    sockaddr_in from{};
    Datagram received(&from, query, sizeof query);
    const ssize_t n = recvmsg(fd_, &received.header, 0);
    if (n <= 0) return;
    in_pktinfo arrival{};
    for (cmsghdr* c = CMSG_FIRSTHDR(&received.header); c; c = CMSG_NXTHDR(&received.header, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
        }
    }
    Respond(query, static_cast<std::size_t>(n), from, arrival);
}

void MdnsResponder::Respond(const unsigned char* query, std::size_t size, const sockaddr_in& from,
                            in_pktinfo arrival) const {
    // The A record carries the bind address, or the one the query came to.
    in_addr local{};
    if (inet_pton(AF_INET, announcement_.address.c_str(), &local) != 1 || local.s_addr == htonl(INADDR_ANY)) {
        local = arrival.ipi_spec_dst;
    }
    const std::vector<Question> questions = QuestionsOf(query, size);
    const std::vector<Record> records = Records(announcement_, local);
    // Answers, then what a browser asks next: an instance's SRV and TXT, a host's A.
    std::vector<std::size_t> answers, additional;
    std::set<std::size_t> chosen;
    bool unicast = false;
    for (const Question& q : questions) {
        unicast = unicast || (q.questionClass & kUnicastResponseBit);
        if ((q.questionClass & ~kUnicastResponseBit) != ns_c_in) continue;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if ((q.type == records[i].type || q.type == kAnyType) && SameName(q.name, records[i].name) &&
                chosen.insert(i).second) {
                answers.push_back(i);
            }
        }
    }
    if (answers.empty()) return;
    for (std::size_t k = 0; k < answers.size() + additional.size(); ++k) {
        const Record& r = records[k < answers.size() ? answers[k] : additional[k - answers.size()]];
        if (r.type != ns_t_ptr && r.type != ns_t_srv) continue;
        for (std::size_t i = 0; i < records.size(); ++i) {
            const bool next = r.type == ns_t_ptr ? (records[i].type == ns_t_srv || records[i].type == ns_t_txt)
                                                 : records[i].type == ns_t_a;
            if (next && SameName(records[i].name, r.target) && chosen.insert(i).second) additional.push_back(i);
        }
    }

    // A one-shot querier sends from a port of its own and gets its id and
    // questions back with short lifetimes; mDNS queriers get an id of 0.
    const bool legacy = ntohs(from.sin_port) != kMdnsPort;
    Writer out;
    bool ok = out.U16(legacy ? ns_get16(query) : 0) && out.U16(kResponseFlags) &&
              out.U16(legacy ? static_cast<unsigned>(questions.size()) : 0) &&
              out.U16(static_cast<unsigned>(answers.size())) && out.U16(0) &&
              out.U16(static_cast<unsigned>(additional.size()));
    for (const Question& q : questions) {
        if (legacy) ok = ok && out.Name(q.name) && out.U16(q.type) && out.U16(q.questionClass & ~kUnicastResponseBit);
    }
    for (const std::vector<std::size_t>* section : {&answers, &additional}) {
        for (std::size_t i : *section) {
            const Record& r = records[i];
            // Shared records (PTR) never flush caches; unique ones do, except for one-shot queriers.
            const unsigned recordClass = ns_c_in | (r.type == ns_t_ptr || legacy ? 0 : kCacheFlushBit);
            ok = ok && out.Record(r, recordClass, legacy ? kLegacyTtl : kTtl);
        }
    }
    if (!ok) return;
    sockaddr_in to = from;
    if (!legacy && !unicast) {
        to.sin_port = htons(kMdnsPort);
        inet_pton(AF_INET, kGroup, &to.sin_addr);
    }
    // The answer leaves by the interface the query came in on, from the address it came to.
    arrival.ipi_spec_dst = local;
    Datagram answer(&to, out.Data(), out.Size());
    cmsghdr* c = CMSG_FIRSTHDR(&answer.header);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof arrival);
    std::memcpy(CMSG_DATA(c), &arrival, sizeof arrival);
    sendmsg(fd_, &answer.header, 0);
}

}  // namespace emulator

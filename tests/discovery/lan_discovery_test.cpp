// Discovery end to end: the emulator announces itself and the driver finds
// it, in a network namespace of the test's own whose loopback carries
// multicast, never on another network. One case re-runs this program inside
// such a namespace (unshare -n); the cases that need it skip outside.
#include "platform/visa/discovery/lan_discovery.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <resolv.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "emulator/emulator.h"
#include "platform/visa/discovery/dns_message.h"
#include "tests/discovery/dns_samples.h"
#include "tests/support/emulator_support.h"
#include "zentrava/Zentrava.h"

namespace ztv::test {
namespace {

constexpr const char* kInside = "ZTV_TEST_IN_NETWORK_NAMESPACE";
constexpr const char* kIdentity = "Orvane Technologies,Q7310B,0123456789,1.0.9";

bool Inside() { return std::getenv(kInside) != nullptr; }

// What a shell command printed, its wait status in `status`.
std::string RunShell(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    *status = pclose(pipe);
    return out;
}

TEST(DiscoverInstruments, UnknownWaysAndPortsAreRefused) {
    char list[16] = "untouched";
    EXPECT_LT(Ztv_DiscoverInstruments(4, 100, "", 0, sizeof list, list), 0);
    EXPECT_LT(Ztv_DiscoverInstruments(ZTV_DISCOVER_VXI11, 100, "", 70000, sizeof list, list), 0);
    EXPECT_STREQ(list, "untouched");
}

TEST(DiscoveryNamespace, CasesPassInAPrivateNetworkNamespace) {
    if (Inside()) GTEST_SKIP() << "already inside";
    const std::string setup = "ip link set lo up && ip link set lo multicast on && ip route add 224.0.0.0/4 dev lo";
    int status = -1;
    const std::string probe = RunShell("unshare -n sh -c '" + setup + "'", &status);
    if (status != 0) {
        GTEST_SKIP() << "network namespaces are unavailable here, the mDNS cases did not run: " << probe;
    }
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string out = RunShell(std::string(kInside) + "=1 unshare -n sh -c '" + setup + " && exec \"$0\" " +
                                         "--gtest_filter=InNamespace.*' " + self,
                                     &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("[  PASSED  ] 6 tests."), std::string::npos) << out;
    EXPECT_EQ(out.find("SKIPPED"), std::string::npos) << out;
}

// Each case beside an emulator that announces itself, its portmapper on 111
// (free in the namespace).
class InNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        if (!Inside()) {
            GTEST_SKIP() << "runs inside a network namespace of its own, started by "
                            "DiscoveryNamespace.CasesPassInAPrivateNetworkNamespace";
        }
        emulator::Options options;
        options.announce = true;
        options.portmapper = true;
        emulator_ = std::make_unique<emulator::Emulator>(options);
        ASSERT_TRUE(emulator::test::Started(*emulator_));
    }

    // Multicast DNS, and with `vxi11` the portmapper of 127.0.0.1 too.
    static std::vector<visa::DiscoveredInstrument> Discover(bool vxi11) {
        visa::DiscoveryOptions options;
        options.vxi11 = vxi11;
        options.vxi11Address = "127.0.0.1";
        options.timeoutMs = 500;
        return visa::DiscoverInstruments(options);
    }

    std::vector<std::string> EmulatorResources() const {
        return {"TCPIP0::127.0.0.1::hislip0," + std::to_string(emulator_->HislipPort()) + "::INSTR",
                "TCPIP0::127.0.0.1::inst0::INSTR",
                "TCPIP0::127.0.0.1::" + std::to_string(emulator_->SocketPort()) + "::SOCKET"};
    }

    std::unique_ptr<emulator::Emulator> emulator_;
};

TEST_F(InNamespace, MdnsFindsEveryAnnouncedServiceAndAsksOnlyIdn) {
    const std::vector<visa::DiscoveredInstrument> found = Discover(false);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].host, "127.0.0.1");
    EXPECT_EQ(found[0].resources, EmulatorResources());
    EXPECT_EQ(found[0].identity, kIdentity) << found[0].error;
    EXPECT_EQ(found[0].vxi11CorePort, 0);
    const std::vector<emulator::ReceivedMessage> received = emulator_->Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, "*IDN?\n");
}

TEST_F(InNamespace, BothWaysListTheInstrumentOnce) {
    const std::vector<visa::DiscoveredInstrument> found = Discover(true);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].resources, EmulatorResources());
    EXPECT_EQ(found[0].vxi11CorePort, emulator_->Vxi11Port());
    EXPECT_EQ(found[0].identity, kIdentity) << found[0].error;
}

// The C face's list: a line per instrument, tab-separated, and the size it
// needs when the buffer is too small.
TEST_F(InNamespace, CFaceListsEachInstrumentOnALine) {
    std::string expected = kIdentity;
    for (const std::string& resource : EmulatorResources()) expected += "\t" + resource;
    expected += "\tVXI11Port=" + std::to_string(emulator_->Vxi11Port()) + "\n";
    const ViInt32 ways = ZTV_DISCOVER_MDNS | ZTV_DISCOVER_VXI11;
    char small[8] = {};
    EXPECT_EQ(Ztv_DiscoverInstruments(ways, 300, "127.0.0.1", 0, sizeof small, small),
              static_cast<ViStatus>(expected.size() + 1));
    char list[1024] = {};
    ASSERT_EQ(Ztv_DiscoverInstruments(ways, 300, "127.0.0.1", 0, sizeof list, list), 0);
    EXPECT_EQ(list, expected);
}

// Answers every query with each malformed message of the table, then with a
// well-formed answer for a host that is not there.
class HostileResponder {
public:
    HostileResponder() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd_, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(5353);
        ip_mreq join{};
        inet_pton(AF_INET, "224.0.0.251", &join.imr_multiaddr);
        inet_pton(AF_INET, "127.0.0.1", &join.imr_interface);
        ready_ = bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) == 0 &&
                 setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) == 0;
        thread_ = std::thread([this] { Serve(); });
    }
    ~HostileResponder() {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool ready() const { return ready_; }
    int answered() const { return answered_; }

private:
    void Serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            unsigned char query[1500];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            if (recvfrom(fd_, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &length) <= 0) continue;
            for (const MalformedMessage& m : MalformedMessages()) Send(m.message, from);
            Send(SampleResponse(), from);
            ++answered_;
        }
    }
    void Send(const Bytes& message, const sockaddr_in& to) {
        sendto(fd_, message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }

    int fd_ = -1;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

TEST_F(InNamespace, MalformedAnswersAreIgnored) {
    HostileResponder hostile;
    ASSERT_TRUE(hostile.ready());
    std::vector<visa::DiscoveredInstrument> found = Discover(false);
    EXPECT_GE(hostile.answered(), 1);
    ASSERT_EQ(found.size(), 2u);
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.host < b.host; });
    // Only the well-formed answer of the hostile responder counts: its host
    // is listed, and unreachable.
    EXPECT_EQ(found[0].host, "10.1.2.3");
    EXPECT_EQ(found[0].resources, std::vector<std::string>{"TCPIP0::10.1.2.3::hislip0,4880::INSTR"});
    EXPECT_TRUE(found[0].identity.empty());
    EXPECT_NE(found[0].error.find("TCPIP0::10.1.2.3::hislip0,4880::INSTR: "), std::string::npos) << found[0].error;
    EXPECT_EQ(found[1].host, "127.0.0.1") << "the emulator is found beside the garbage";
    EXPECT_EQ(found[1].identity, kIdentity) << found[1].error;
}

// The records of the one response to a one-shot query with id 0x1234 and one
// question, as "TYPE value" lines; empty when no response comes.
std::vector<std::string> AskOnce(const std::string& name, visa::DnsType type) {
    std::vector<std::uint8_t> query = visa::BuildDnsQuery({name}, type);
    query[0] = 0x12;
    query[1] = 0x34;
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    in_addr loopback{};
    inet_pton(AF_INET, "127.0.0.1", &loopback);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(5353);
    inet_pton(AF_INET, "224.0.0.251", &group.sin_addr);
    sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    std::vector<std::string> lines;
    pollfd p{fd, POLLIN, 0};
    std::uint8_t response[1500];
    const ssize_t n = poll(&p, 1, 300) > 0 ? recv(fd, response, sizeof response, 0) : 0;
    close(fd);
    std::vector<visa::DnsRecord> records;
    if (n <= 0) return lines;
    EXPECT_TRUE(visa::ParseDnsResponse(response, static_cast<std::size_t>(n), &records)) << name;
    EXPECT_EQ(response[0] << 8 | response[1], 0x1234) << "the id of a one-shot query comes back";
    EXPECT_EQ(response[4] << 8 | response[5], 1) << "so does its question";
    for (const visa::DnsRecord& r : records) {
        switch (r.type) {
            case visa::DnsType::A:
                lines.push_back("A " + r.address);
                break;
            case visa::DnsType::Ptr:
                lines.push_back("PTR " + r.target);
                break;
            case visa::DnsType::Srv:
                lines.push_back("SRV " + r.target + ":" + std::to_string(r.port));
                break;
            case visa::DnsType::Txt:
                lines.push_back("TXT");
                for (const std::string& text : r.texts) lines.back() += " " + text;
                break;
        }
    }
    return lines;
}

TEST_F(InNamespace, EmulatorAnswersEachQuestionWithWhatIsAskedNext) {
    const std::string instance = "Orvane Technologies Q7310B 0123456789._scpi-raw._tcp.local";
    const struct {
        std::string name;
        visa::DnsType type;
        std::vector<std::string> expected;
    } cases[] = {
        {"_services._dns-sd._udp.local",
         visa::DnsType::Ptr,
         {"PTR _hislip._tcp.local", "PTR _vxi-11._tcp.local", "PTR _scpi-raw._tcp.local"}},
        {"_scpi-raw._tcp.local",
         visa::DnsType::Ptr,
         {"PTR Orvane\\032Technologies\\032Q7310B\\0320123456789._scpi-raw._tcp.local",
          "SRV q7310b-0123456789.local:" + std::to_string(emulator_->SocketPort()),
          "TXT txtvers=1 Manufacturer=Orvane Technologies Model=Q7310B SerialNumber=0123456789 FirmwareVersion=1.0.9",
          "A 127.0.0.1"}},
        {instance,
         visa::DnsType::Srv,
         {"SRV q7310b-0123456789.local:" + std::to_string(emulator_->SocketPort()), "A 127.0.0.1"}},
        {"Q7310B-0123456789.LOCAL", visa::DnsType::A, {"A 127.0.0.1"}},
        {"_http._tcp.local", visa::DnsType::Ptr, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(AskOnce(c.name, c.type), c.expected) << c.name;
}

// A querier on port 5353 is another mDNS responder's peer: the answer goes to
// the group, with id 0, no question and caches told to flush unique records.
TEST_F(InNamespace, QuerierOnTheMdnsPortIsAnsweredOnTheGroup) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(5353);
    sockaddr_in any = group;
    inet_pton(AF_INET, "224.0.0.251", &group.sin_addr);
    ip_mreq join{group.sin_addr, {}};
    inet_pton(AF_INET, "127.0.0.1", &join.imr_interface);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    ASSERT_EQ(setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &join.imr_interface, sizeof join.imr_interface);
    std::vector<std::uint8_t> query = visa::BuildDnsQuery({"_hislip._tcp.local"}, visa::DnsType::Ptr);
    query[1] = 0x34;
    sendto(fd, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    // The query itself comes back first, looped to the group's members.
    std::uint8_t response[1500] = {};
    ssize_t size = 0;
    in_pktinfo arrival{};
    for (pollfd p{fd, POLLIN, 0}; (response[2] & 0x80) == 0 && poll(&p, 1, 500) > 0;) {
        char control[CMSG_SPACE(sizeof arrival)];
        iovec data{response, sizeof response};
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if ((size = recvmsg(fd, &message, 0)) <= 0) break;
        if (cmsghdr* c = CMSG_FIRSTHDR(&message)) std::memcpy(&arrival, CMSG_DATA(c), sizeof arrival);
    }
    close(fd);
    ASSERT_NE(response[2] & 0x80, 0) << "no response";
    char destination[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &arrival.ipi_addr, destination, sizeof destination);
    EXPECT_STREQ(destination, "224.0.0.251");
    EXPECT_EQ(response[0] << 8 | response[1], 0) << "id";
    EXPECT_EQ(response[4] << 8 | response[5], 0) << "questions";
    ns_msg handle;
    ASSERT_EQ(ns_initparse(response, static_cast<int>(size), &handle), 0);
    std::vector<std::string> classes;
    for (ns_sect section : {ns_s_an, ns_s_ar}) {
        for (int i = 0; i < ns_msg_count(handle, section); ++i) {
            ns_rr rr;
            ASSERT_EQ(ns_parserr(&handle, section, i, &rr), 0);
            classes.push_back(std::to_string(ns_rr_type(rr)) + ":" + std::to_string(ns_rr_class(rr)));
        }
    }
    // PTR shared, class IN; SRV, TXT and A unique, with the cache-flush bit.
    EXPECT_EQ(classes, (std::vector<std::string>{"12:1", "33:32769", "16:32769", "1:32769"}));
}

}  // namespace
}  // namespace ztv::test

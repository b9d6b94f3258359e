// Which services the records of mDNS responses describe, however the
// responders split and spell them.
#include <gtest/gtest.h>

#include "platform/visa/discovery/mdns_query.h"

namespace ztv::test {
namespace {

using visa::AnnouncedService;
using visa::DnsRecord;
using visa::DnsType;
using visa::MdnsResponse;

const std::string kInstance = "Q7310B 1._hislip._tcp.local";

DnsRecord Ptr(const std::string& name, const std::string& target) { return {name, DnsType::Ptr, target, 0, {}, ""}; }
DnsRecord Srv(const std::string& name, const std::string& host, std::uint16_t port) {
    return {name, DnsType::Srv, host, port, {}, ""};
}
DnsRecord Txt(const std::string& name, std::vector<std::string> texts) {
    return {name, DnsType::Txt, "", 0, std::move(texts), ""};
}
DnsRecord A(const std::string& name, const std::string& address) { return {name, DnsType::A, "", 0, {}, address}; }

struct Case {
    const char* what;
    std::vector<MdnsResponse> responses;
    std::vector<AnnouncedService> expected;
};

TEST(MdnsServices, RecordsMakeServices) {
    const std::vector<Case> cases = {
        {"an A record gives the address",
         {{"10.0.0.9",
           {Ptr("_hislip._tcp.local", kInstance), Srv(kInstance, "h.local", 4880), Txt(kInstance, {"Model=Q7310B"}),
            A("h.local", "10.0.0.7")}}},
         {{"_hislip._tcp", "10.0.0.7", 4880, {"Model=Q7310B"}}}},
        {"without an A record the responder's address",
         {{"10.0.0.9", {Ptr("_hislip._tcp.local", kInstance), Srv(kInstance, "h.local", 4881)}}},
         {{"_hislip._tcp", "10.0.0.9", 4881, {}}}},
        {"records spread over responses: the address of the one with the SRV",
         {{"10.0.0.8", {Ptr("_hislip._tcp.local", kInstance)}}, {"10.0.0.9", {Srv(kInstance, "h.local", 4880)}}},
         {{"_hislip._tcp", "10.0.0.9", 4880, {}}}},
        {"an instance without an SRV is left out",
         {{"10.0.0.9", {Ptr("_hislip._tcp.local", kInstance), A("h.local", "10.0.0.7")}}},
         {}},
        {"a type not asked for is left out",
         {{"10.0.0.9", {Ptr("_http._tcp.local", "web._http._tcp.local"), Srv("web._http._tcp.local", "h.local", 80)}}},
         {}},
        {"one instance told twice, in other letter case, counts once",
         {{"10.0.0.9", {Ptr("_hislip._tcp.local", kInstance), Srv(kInstance, "h.local", 4880)}},
          {"10.0.0.9", {Ptr("_HISLIP._tcp.local", "q7310b 1._hislip._tcp.LOCAL"), Srv(kInstance, "h.local", 4880)}}},
         {{"_hislip._tcp", "10.0.0.9", 4880, {}}}},
        {"two types of one host, in the order asked",
         {{"10.0.0.9",
           {Ptr("_scpi-raw._tcp.local", "i._scpi-raw._tcp.local"), Srv("i._scpi-raw._tcp.local", "h.local", 5025),
            Ptr("_hislip._tcp.local", kInstance), Srv(kInstance, "h.local", 4880)}}},
         {{"_hislip._tcp", "10.0.0.9", 4880, {}}, {"_scpi-raw._tcp", "10.0.0.9", 5025, {}}}},
    };
    for (const Case& c : cases) {
        const std::vector<AnnouncedService> services =
            visa::ServicesIn(c.responses, {"_lxi._tcp", "_hislip._tcp", "_scpi-raw._tcp"});
        ASSERT_EQ(services.size(), c.expected.size()) << c.what;
        for (std::size_t i = 0; i < services.size(); ++i) {
            EXPECT_EQ(services[i].type, c.expected[i].type) << c.what;
            EXPECT_EQ(services[i].address, c.expected[i].address) << c.what;
            EXPECT_EQ(services[i].port, c.expected[i].port) << c.what;
            EXPECT_EQ(services[i].texts, c.expected[i].texts) << c.what;
        }
    }
}

}  // namespace
}  // namespace ztv::test

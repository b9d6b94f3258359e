// The DNS codec of discovery: queries as responders read them, responses
// read into records, and every malformed or hostile response refused whole.
#include "platform/visa/discovery/dns_message.h"

#include <arpa/nameser.h>
#include <gtest/gtest.h>
#include <resolv.h>

#include "tests/discovery/dns_samples.h"

namespace ztv::test {
namespace {

using visa::DnsRecord;
using visa::DnsType;

TEST(DnsMessage, QueryCarriesEveryNameCompressedWithIdZero) {
    const std::vector<std::string> names = {"_lxi._tcp.local", "_hislip._tcp.local"};
    const std::vector<std::uint8_t> query = visa::BuildDnsQuery(names, DnsType::Ptr);
    ns_msg handle;
    ASSERT_EQ(ns_initparse(query.data(), static_cast<int>(query.size()), &handle), 0);
    EXPECT_EQ(ns_msg_id(handle), 0);
    EXPECT_FALSE(ns_msg_getflag(handle, ns_f_qr));
    EXPECT_FALSE(ns_msg_getflag(handle, ns_f_rd));
    ASSERT_EQ(ns_msg_count(handle, ns_s_qd), 2);
    for (int i = 0; i < 2; ++i) {
        ns_rr rr;
        ASSERT_EQ(ns_parserr(&handle, ns_s_qd, i, &rr), 0);
        EXPECT_EQ(ns_rr_name(rr), names[i]);
        EXPECT_EQ(ns_rr_type(rr), ns_t_ptr);
        EXPECT_EQ(ns_rr_class(rr), ns_c_in);
    }
    // header, "_lxi._tcp.local" in full, then "_hislip" and a pointer to "_tcp.local"
    EXPECT_EQ(query.size(), 12u + 17 + 4 + 10 + 4);
}

TEST(DnsMessage, NameThatCannotBeEncodedGivesNoQuery) {
    EXPECT_TRUE(visa::BuildDnsQuery({std::string(64, 'a') + ".local"}, DnsType::Ptr).empty());
}

TEST(DnsMessage, ResponseYieldsItsRecordsOfUsedTypesAndClass) {
    const Bytes sample = SampleResponse();
    std::vector<DnsRecord> records;
    ASSERT_TRUE(visa::ParseDnsResponse(sample.data(), sample.size(), &records));
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].type, DnsType::Ptr);
    EXPECT_EQ(records[0].name, "_hislip._tcp.local");
    EXPECT_EQ(records[0].target, "Q7310B\\0321._hislip._tcp.local");
    EXPECT_EQ(records[1].type, DnsType::Srv);
    EXPECT_EQ(records[1].name, "Q7310B\\0321._hislip._tcp.local");
    EXPECT_EQ(records[1].target, "q7310b-1.local");
    EXPECT_EQ(records[1].port, 4880);
    EXPECT_EQ(records[2].type, DnsType::Txt);
    EXPECT_EQ(records[2].texts, (std::vector<std::string>{"a=b", "txtvers=1"}));
    EXPECT_EQ(records[3].type, DnsType::A);
    EXPECT_EQ(records[3].name, "q7310b-1.local");
    EXPECT_EQ(records[3].address, "10.1.2.3");
}

TEST(DnsMessage, MalformedResponsesAreRefusedWhole) {
    for (const MalformedMessage& m : MalformedMessages()) {
        std::vector<DnsRecord> records(1);
        EXPECT_FALSE(visa::ParseDnsResponse(m.message.data(), m.message.size(), &records)) << m.what;
        EXPECT_EQ(records.size(), 1u) << m.what << ": records added";
    }
}

TEST(DnsMessage, EveryTruncationOfAResponseIsRefused) {
    const Bytes sample = SampleResponse();
    for (std::size_t size = 0; size < sample.size(); ++size) {
        std::vector<DnsRecord> records;
        EXPECT_FALSE(visa::ParseDnsResponse(sample.data(), size, &records)) << "cut at " << size;
    }
}

TEST(DnsMessage, NamesCompareWithoutLetterCase) {
    EXPECT_TRUE(visa::SameDnsName("Q7310B._HiSLIP._tcp.Local", "q7310b._hislip._TCP.local"));
    EXPECT_FALSE(visa::SameDnsName("a.local", "b.local"));
    EXPECT_FALSE(visa::SameDnsName("a.local", "a.local.x"));
}

}  // namespace
}  // namespace ztv::test

#include <arpa/inet.h>
#include <gtest/gtest.h>
// pmap_prot.h and rpcb_prot.h need the types rpc.h declares first.
// clang-format off
#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>
// clang-format on

#include <chrono>
#include <set>
#include <thread>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"
#include "tests/support/emulator_support.h"

namespace emulator {
namespace {

using test::Vxi11Client;

constexpr long kEnd = 4, kTermChar = 2, kRequestCount = 1;

// XDR routines all travel as the one variadic xdrproc_t.
template <class Routine>
xdrproc_t xdr(Routine routine) {
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

class Vxi11Test : public ::testing::Test {
protected:
    void SetUp() override {
        Options options = test::ServingOnly(Channel::Vxi11);
        options.portmapper = true;
        options.portmapperPort = 0;
        options.vxi11MaxRecvSize = 4096;
        emulator_ = std::make_unique<Emulator>(options);
        ASSERT_TRUE(test::Started(*emulator_));
    }
    int port() const { return emulator_->Vxi11Port(); }
    sockaddr_in PortmapperAddress() const {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(emulator_->PortmapperPort()));
        return addr;
    }
    std::unique_ptr<Emulator> emulator_;
};

TEST_F(Vxi11Test, LinksOnlyToKnownDeviceNames) {
    struct Case {
        const char* device;
        long error;
    };
    for (const Case& c : {Case{"inst0", 0}, Case{"INST1", 0}, Case{"gpib0,7", 0}, Case{"bogus", 3}, Case{"", 3}}) {
        Vxi11Client client(port());
        ASSERT_TRUE(client.connected());
        EXPECT_EQ(client.CreateLink(c.device), c.error) << c.device;
        if (c.error == 0) {
            EXPECT_EQ(client.maxRecvSize(), 4096u);
        }
    }
}

TEST_F(Vxi11Test, WriteAndReadReportReasons) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    EXPECT_EQ(client.Query("*IDN?"), "Orvane Technologies,Q7310B,0123456789,1.0.9");

    // Small request sizes deliver the reply piecewise, END only with the last piece.
    ASSERT_EQ(client.Write("*OPT?\n"), 0);
    Vxi11Client::ReadResult part = client.Read(3);
    EXPECT_EQ(part.error, 0);
    EXPECT_EQ(part.data, "QVX");
    EXPECT_EQ(part.reason, kRequestCount);
    part = client.Read(100);
    EXPECT_EQ(part.data, "-BBM\n");
    EXPECT_EQ(part.reason, kEnd);

    // A termination character stops the read early.
    ASSERT_EQ(client.Write("*IDN?"), 0);
    part = client.Read(100, 5000, ',');
    EXPECT_EQ(part.data, "Orvane Technologies,");
    EXPECT_EQ(part.reason, kTermChar);
    EXPECT_EQ(client.Read().data, "Q7310B,0123456789,1.0.9\n");
}

TEST_F(Vxi11Test, MessagesSpanWritesUntilEnd) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    ASSERT_EQ(client.Write("SENS:ATT:", false), 0);
    ASSERT_EQ(client.Write("LEV 7.5;", false), 0);
    EXPECT_EQ(client.Query(":SENS:ATT:LEV?\n"), "7.5");
    std::vector<ReceivedMessage> received = emulator_->Received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].bytes, "SENS:ATT:LEV 7.5;:SENS:ATT:LEV?\n");
    EXPECT_EQ(received[0].channel, Channel::Vxi11);
}

TEST_F(Vxi11Test, ReadingWithoutAQueryTimesOutAsAQueryError) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    ASSERT_EQ(client.Query("*CLS;*OPC?"), "1");
    EXPECT_EQ(client.Read(100, 10).error, 15);
    EXPECT_EQ(client.Query("*ESR?"), "4");
    EXPECT_EQ(client.Query("SYST:ERR?"), "-420,\"Query UNTERMINATED\"");
}

TEST_F(Vxi11Test, AnUnreadReplyIsInterruptedByTheNextQuery) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    ASSERT_EQ(client.Write("*CLS;*IDN?"), 0);
    EXPECT_EQ(client.Query("*OPT?"), "QVX-BBM");
    EXPECT_EQ(client.Query("SYST:ERR?"), "-410,\"Query INTERRUPTED\"");
}

TEST_F(Vxi11Test, StatusByteShowsMessageAvailableUntilRead) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    EXPECT_EQ(client.Query("*CLS;*ESE 32;*SRE 32;*OPC?;FOO"), "1");
    Device_ReadStbResp stb = client.ReadStb();
    EXPECT_EQ(stb.error, 0);
    EXPECT_EQ(stb.stb, 0x04 | 0x20 | 0x40);  // error queue, event summary, service request
    ASSERT_EQ(client.Write("*CLS;*SRE 0;*TST?"), 0);
    // The reply may still be in the making; a read settles it.
    Vxi11Client::ReadResult reply = client.Read();
    EXPECT_EQ(reply.data, "0\n");
    ASSERT_EQ(client.Write("*OPT?"), 0);
    ASSERT_EQ(client.Read(1).data, "Q");  // now certainly buffered
    EXPECT_EQ(client.ReadStb().stb & 0x10, 0x10);
    client.Read();
    EXPECT_EQ(client.ReadStb().stb & 0x10, 0);
}

TEST_F(Vxi11Test, DeviceClearDiscardsThePendingReply) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    emulator_->faults().SetReplyDelay(60000);
    ASSERT_EQ(client.Write("*IDN?"), 0);
    EXPECT_EQ(client.Read(100, 20).error, 15);  // the reply comes far too late
    EXPECT_EQ(client.Clear(), 0);
    emulator_->faults().SetReplyDelay(0);
    EXPECT_EQ(client.Query("*OPT?"), "QVX-BBM");
}

TEST_F(Vxi11Test, SlowTraceGenerationDoesNotBlockTheWrite) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    emulator_->faults().SetTraceDelay(60000);
    EXPECT_EQ(client.Write("CALC:PN1:TRAC1:DATA:FDAT?"), 0);
    EXPECT_EQ(client.Read(100, 20).error, 15);
}

TEST_F(Vxi11Test, DroppedConnectionEndsTheRpcChannel) {
    Vxi11Client client(port());
    ASSERT_EQ(client.CreateLink(), 0);
    emulator_->faults().DropOnNextMessage();
    EXPECT_EQ(client.Write("*IDN?"), -1);  // no RPC reply: the call fails
}

TEST_F(Vxi11Test, LocksExcludeOtherLinks) {
    Vxi11Client first(port()), second(port());
    ASSERT_EQ(first.CreateLink(), 0);
    ASSERT_EQ(second.CreateLink(), 0);
    EXPECT_EQ(first.Lock(false, 0), 0);
    EXPECT_EQ(second.Lock(false, 0), 11);
    EXPECT_EQ(second.Lock(true, 20), 11);
    EXPECT_EQ(second.Unlock(), 12);
    EXPECT_EQ(first.Unlock(), 0);
    EXPECT_EQ(second.Lock(false, 0), 0);
    EXPECT_EQ(second.DestroyLink(), 0);  // releases the lock
    EXPECT_EQ(first.Lock(false, 0), 0);
    EXPECT_EQ(second.Write("*IDN?"), 4);  // the link is gone
}

TEST_F(Vxi11Test, ALockKeepsOtherLinksFromWritingAndReading) {
    Vxi11Client holder(port()), other(port());
    ASSERT_EQ(holder.CreateLink(), 0);
    ASSERT_EQ(other.CreateLink(), 0);
    ASSERT_EQ(holder.Lock(false, 0), 0);
    EXPECT_EQ(other.Write("*IDN?\n"), 11);
    EXPECT_EQ(other.Read(100, 100).error, 11);
    other.WaitForLocks(50);
    EXPECT_EQ(other.Write("*IDN?\n"), 11);  // still held when the wait ends
    EXPECT_EQ(holder.Query("*OPT?"), "QVX-BBM");

    // A lock released while the other link waits lets it in.
    other.WaitForLocks(5000);
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(holder.Unlock(), 0);
    });
    EXPECT_EQ(other.Write("*IDN?\n"), 0);
    release.join();
    EXPECT_EQ(other.Read().data, "Orvane Technologies,Q7310B,0123456789,1.0.9\n");
}

// What rpcinfo and other clients ask: the list of registrations (both
// versions of DUMP), the portmapper's own address, and a version-0 ask.
TEST_F(Vxi11Test, PortmapperAnswersDumpItselfAndAnyVersion) {
    sockaddr_in addr = PortmapperAddress();
    timeval timeout{5, 0};
    const u_long core = static_cast<u_long>(port()), self = static_cast<u_long>(emulator_->PortmapperPort());

    int sock = RPC_ANYSOCK;
    CLIENT* v2 = clnttcp_create(&addr, PMAPPROG, PMAPVERS, &sock, 0, 0);
    ASSERT_NE(v2, nullptr);
    pmaplist* list = nullptr;
    ASSERT_EQ(clnt_call(v2, PMAPPROC_DUMP, xdr(xdr_void), nullptr, xdr(xdr_pmaplist), reinterpret_cast<caddr_t>(&list),
                        timeout),
              RPC_SUCCESS);
    std::set<std::string> listed;
    for (pmaplist* entry = list; entry != nullptr; entry = entry->pml_next) {
        const pmap& m = entry->pml_map;
        listed.insert(std::to_string(m.pm_prog) + "/" + std::to_string(m.pm_vers) + "/" + std::to_string(m.pm_prot) +
                      "/" + std::to_string(m.pm_port));
    }
    xdr_free(xdr(xdr_pmaplist), &list);
    EXPECT_TRUE(listed.count("395183/1/6/" + std::to_string(core))) << listed.size();
    EXPECT_TRUE(listed.count("100000/2/6/" + std::to_string(self)));
    EXPECT_TRUE(listed.count("100000/2/17/" + std::to_string(self)));

    struct Ask {
        u_long program, version;
        u_long port;
    };
    for (const Ask& ask : {Ask{0x0607AF, 0, core}, Ask{0x0607AF, 7, core}, Ask{PMAPPROG, 2, self},
                           Ask{PMAPPROG, 0, self}, Ask{100003, 3, 0}}) {
        pmap query{ask.program, ask.version, IPPROTO_TCP, 0};
        u_long found = 99;
        ASSERT_EQ(clnt_call(v2, PMAPPROC_GETPORT, xdr(xdr_pmap), reinterpret_cast<caddr_t>(&query), xdr(xdr_u_long),
                            reinterpret_cast<caddr_t>(&found), timeout),
                  RPC_SUCCESS);
        EXPECT_EQ(found, ask.port) << ask.program << " v" << ask.version;
    }
    clnt_destroy(v2);

    sock = RPC_ANYSOCK;
    CLIENT* v4 = clnttcp_create(&addr, RPCBPROG, RPCBVERS4, &sock, 0, 0);
    ASSERT_NE(v4, nullptr);
    const std::string selfAddress = "127.0.0.1." + std::to_string(self >> 8) + "." + std::to_string(self & 0xFF);
    for (rpcvers_t version : {4u, 0u}) {
        rpcb query{PMAPPROG, version, const_cast<char*>("tcp"), const_cast<char*>(""), const_cast<char*>("")};
        char* universal = nullptr;
        ASSERT_EQ(clnt_call(v4, RPCBPROC_GETADDR, xdr(xdr_rpcb), reinterpret_cast<caddr_t>(&query), xdr(xdr_wrapstring),
                            reinterpret_cast<caddr_t>(&universal), timeout),
                  RPC_SUCCESS);
        EXPECT_EQ(std::string(universal), selfAddress);
        xdr_free(xdr(xdr_wrapstring), &universal);
    }
    rpcblist_ptr addresses = nullptr;
    ASSERT_EQ(clnt_call(v4, RPCBPROC_DUMP, xdr(xdr_void), nullptr, xdr(xdr_rpcblist_ptr),
                        reinterpret_cast<caddr_t>(&addresses), timeout),
              RPC_SUCCESS);
    bool coreListed = false;
    for (rpcblist_ptr entry = addresses; entry != nullptr; entry = entry->rpcb_next) {
        coreListed |= entry->rpcb_map.r_prog == 0x0607AF && std::string(entry->rpcb_map.r_netid) == "tcp";
    }
    xdr_free(xdr(xdr_rpcblist_ptr), &addresses);
    EXPECT_TRUE(coreListed);
    clnt_destroy(v4);
}

TEST_F(Vxi11Test, PortmapperNamesTheCoreChannelOverTcpAndUdp) {
    sockaddr_in addr = PortmapperAddress();
    timeval timeout{5, 0};

    for (bool tcp : {true, false}) {
        int sock = RPC_ANYSOCK;
        CLIENT* client = tcp ? clnttcp_create(&addr, PMAPPROG, PMAPVERS, &sock, 0, 0)
                             : clntudp_create(&addr, PMAPPROG, PMAPVERS, timeout, &sock);
        ASSERT_NE(client, nullptr);
        pmap core{0x0607AF, 1, IPPROTO_TCP, 0};
        u_long port = 0;
        ASSERT_EQ(clnt_call(client, PMAPPROC_GETPORT, xdr(xdr_pmap), reinterpret_cast<caddr_t>(&core), xdr(xdr_u_long),
                            reinterpret_cast<caddr_t>(&port), timeout),
                  RPC_SUCCESS);
        EXPECT_EQ(port, static_cast<u_long>(this->port()));
        pmap other{100003, 3, IPPROTO_TCP, 0};
        ASSERT_EQ(clnt_call(client, PMAPPROC_GETPORT, xdr(xdr_pmap), reinterpret_cast<caddr_t>(&other), xdr(xdr_u_long),
                            reinterpret_cast<caddr_t>(&port), timeout),
                  RPC_SUCCESS);
        EXPECT_EQ(port, 0u);
        clnt_destroy(client);
    }

    int sock = RPC_ANYSOCK;
    CLIENT* client = clnttcp_create(&addr, RPCBPROG, RPCBVERS4, &sock, 0, 0);
    ASSERT_NE(client, nullptr);
    rpcb query{0x0607AF, 1, const_cast<char*>("tcp"), const_cast<char*>(""), const_cast<char*>("")};
    char* universal = nullptr;
    ASSERT_EQ(clnt_call(client, RPCBPROC_GETADDR, xdr(xdr_rpcb), reinterpret_cast<caddr_t>(&query), xdr(xdr_wrapstring),
                        reinterpret_cast<caddr_t>(&universal), timeout),
              RPC_SUCCESS);
    int p = this->port();
    EXPECT_EQ(std::string(universal), "127.0.0.1." + std::to_string(p >> 8) + "." + std::to_string(p & 0xFF));
    xdr_free(xdr(xdr_wrapstring), &universal);
    clnt_destroy(client);
}

}  // namespace
}  // namespace emulator

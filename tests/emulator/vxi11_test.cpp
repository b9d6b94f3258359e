#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>
#include <rpc/rpcb_prot.h>

#include "emulator/emulator.h"
#include "tests/emulator/test_clients.h"

namespace emulator {
namespace {

using test::Vxi11Client;

constexpr long kEnd = 4, kTermChar = 2, kRequestCount = 1;

class Vxi11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    Options options;
    options.socketPort = options.hislipPort = -1;
    options.portmapper = true;
    options.portmapperPort = 0;
    options.vxi11MaxRecvSize = 4096;
    emulator_ = std::make_unique<Emulator>(options);
    std::string error;
    ASSERT_TRUE(emulator_->Start(&error)) << error;
  }
  int port() const { return emulator_->Vxi11Port(); }
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

TEST_F(Vxi11Test, PortmapperNamesTheCoreChannelOverTcpAndUdp) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(emulator_->PortmapperPort()));
  timeval timeout{5, 0};
  auto xdr = [](auto routine) { return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine)); };

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
  ASSERT_EQ(clnt_call(client, RPCBPROC_GETADDR, xdr(xdr_rpcb), reinterpret_cast<caddr_t>(&query),
                      xdr(xdr_wrapstring), reinterpret_cast<caddr_t>(&universal), timeout),
            RPC_SUCCESS);
  int p = this->port();
  EXPECT_EQ(std::string(universal), "127.0.0.1." + std::to_string(p >> 8) + "." + std::to_string(p & 0xFF));
  xdr_free(xdr(xdr_wrapstring), &universal);
  clnt_destroy(client);
}

}  // namespace
}  // namespace emulator
